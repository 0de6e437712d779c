// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QComboBox>
#include <QLineEdit>
#include <QString>

namespace obs::accounts {

// A period box: JJ/MM/AAAA, wide enough for a date.
QLineEdit* dateBox(QWidget* parent, const char* name, const QString& text);
// A combo box that takes typing: what is typed stays out of the list, and nothing is completed
// behind the user's back (MART must stay MART, not become MARTIN).
QComboBox* typingCombo(QWidget* parent, const char* name);
// The same font, bold.
QFont bold(QFont f);
// Fills practitioner boxes with a list, every box left empty: the first name of a list is not a
// choice the user made.
void fillEmpty(const std::initializer_list<QComboBox*>& boxes, const QStringList& items);

extern const QString kBadDate;

} // namespace obs::accounts
