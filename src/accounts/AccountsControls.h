// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "common/Settings.h"

#include <QComboBox>
#include <QLineEdit>
#include <QString>

namespace obs::accounts {

// Fills practitioner boxes with a list, every box left empty: the first name of a list is not a
// choice the user made.
void fillEmpty(const std::initializer_list<QComboBox*>& boxes, const QStringList& items);

extern const QString kBadDate;

// The last period used on the search screen, kept per user in the settings: shown again at the
// next opening when both dates are still real dates.
void restorePeriod(QLineEdit* from, QLineEdit* to, Settings::PeriodOf screen);
void rememberPeriod(const QLineEdit* from, const QLineEdit* to, Settings::PeriodOf screen);

} // namespace obs::accounts
