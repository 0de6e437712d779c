// SPDX-License-Identifier: GPL-3.0-or-later
#include "accounts/AccountsControls.h"

#include "common/DayNumber.h"
#include "common/Settings.h"

#include <QSignalBlocker>

namespace obs::accounts {

const QString kBadDate = QStringLiteral("La Date est saisie selon un mode incorrect. Veuillez corriger.");

void fillEmpty(const std::initializer_list<QComboBox*>& boxes, const QStringList& items) {
    for (QComboBox* box : boxes) {
        const QSignalBlocker quiet(box);
        box->clear();
        box->addItems(items);
        box->setCurrentIndex(-1);
        box->clearEditText();
    }
}

void restorePeriod(QLineEdit* from, QLineEdit* to, const QString& key) {
    const QString first = Settings::value(kSettingsApp, kSettingsSection, key + QStringLiteral("_DU"));
    const QString last = Settings::value(kSettingsApp, kSettingsSection, key + QStringLiteral("_AU"));
    if (!parseFrenchDate(first) || !parseFrenchDate(last))
        return;
    from->setText(first);
    to->setText(last);
}

void rememberPeriod(const QLineEdit* from, const QLineEdit* to, const QString& key) {
    // Only a convenience: a settings file that cannot be written costs the user nothing else.
    Settings::setValue(kSettingsApp, kSettingsSection, key + QStringLiteral("_DU"), from->text().trimmed());
    Settings::setValue(kSettingsApp, kSettingsSection, key + QStringLiteral("_AU"), to->text().trimmed());
}

} // namespace obs::accounts
