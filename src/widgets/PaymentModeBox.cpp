// SPDX-License-Identifier: GPL-3.0-or-later
#include "widgets/PaymentModeBox.h"

#include <QComboBox>

namespace obs {

void fillPaymentModes(QComboBox* box) {
    box->clear();
    for (PaymentMode mode : kPaymentModes)
        box->addItem(paymentModeLabel(mode), int(mode));
    resetPaymentMode(box);
}

void resetPaymentMode(QComboBox* box) {
    box->setCurrentIndex(box->findData(int(PaymentMode::Transfer)));
}

PaymentMode chosenPaymentMode(const QComboBox* box) {
    bool ok = false;
    const int mode = box->currentData().toInt(&ok);
    if (!ok || mode < 0 || mode >= int(kPaymentModes.size()))
        return PaymentMode::Transfer;
    return kPaymentModes[std::size_t(mode)];
}

} // namespace obs
