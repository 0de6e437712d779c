// SPDX-License-Identifier: GPL-3.0-or-later
#include "accounts/AccountsControls.h"

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

} // namespace obs::accounts
