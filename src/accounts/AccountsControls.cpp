// SPDX-License-Identifier: GPL-3.0-or-later
#include "accounts/AccountsControls.h"

#include "widgets/Controls.h"

#include <QSignalBlocker>

namespace obs::accounts {

const QString kBadDate = QStringLiteral("La Date est saisie selon un mode incorrect. Veuillez corriger.");

QLineEdit* dateBox(QWidget* parent, const char* name, const QString& text) {
    auto* e = controls::named<QLineEdit>(parent, name);
    e->setText(text);
    e->setPlaceholderText(QStringLiteral("JJ/MM/AAAA"));
    e->setFixedWidth(e->fontMetrics().horizontalAdvance(QStringLiteral("00/00/00000")) + 16);
    return e;
}

QComboBox* typingCombo(QWidget* parent, const char* name) {
    auto* c = controls::named<QComboBox>(parent, name);
    c->setEditable(true);
    c->setInsertPolicy(QComboBox::NoInsert);
    c->setCompleter(nullptr);
    c->setMinimumContentsLength(22);
    c->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    return c;
}

QFont bold(QFont f) {
    f.setBold(true);
    return f;
}

void fillEmpty(const std::initializer_list<QComboBox*>& boxes, const QStringList& items) {
    for (QComboBox* box : boxes) {
        const QSignalBlocker quiet(box);
        box->clear();
        box->addItems(items);
        box->setCurrentIndex(-1);
        box->clearEditText();
    }
}

} // namespace obs::accounts
