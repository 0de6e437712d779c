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
    // Only a convenience: a settings file that cannot be written costs the user nothing else. The
    // file is rewritten (and flushed to the disk) only when the period changed, not at each click.
    for (const auto& [suffix, box] : {std::pair{QStringLiteral("_DU"), from}, std::pair{QStringLiteral("_AU"), to}}) {
        const QString value = box->text().trimmed();
        if (Settings::value(kSettingsApp, kSettingsSection, key + suffix) != value)
            Settings::setValue(kSettingsApp, kSettingsSection, key + suffix, value);
    }
}

} // namespace obs::accounts
