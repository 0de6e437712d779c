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

void restorePeriod(QLineEdit* from, QLineEdit* to, Settings::PeriodOf screen) {
    const Settings::Period period = Settings::period(screen);
    if (!parseFrenchDate(period.first) || !parseFrenchDate(period.last))
        return;
    from->setText(period.first);
    to->setText(period.last);
}

void rememberPeriod(const QLineEdit* from, const QLineEdit* to, Settings::PeriodOf screen) {
    Settings::setPeriod(screen, {from->text().trimmed(), to->text().trimmed()});
}

} // namespace obs::accounts
