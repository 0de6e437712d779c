// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QComboBox>
#include <QLineEdit>
#include <QString>

namespace obs::accounts {

// Fills practitioner boxes with a list, every box left empty: the first name of a list is not a
// choice the user made.
void fillEmpty(const std::initializer_list<QComboBox*>& boxes, const QStringList& items);

extern const QString kBadDate;

} // namespace obs::accounts
