// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "store/Journal.h"

class QComboBox;

namespace obs {

// A list of the ways money comes ("Virement", "Chèque", "Espèces", "Carte bancaire", "Autre"),
// at "Virement": the national insurance and the insurers pay by transfer.
void fillPaymentModes(QComboBox* box);
// Back to "Virement".
void resetPaymentMode(QComboBox* box);
// The way chosen.
PaymentMode chosenPaymentMode(const QComboBox* box);

} // namespace obs
