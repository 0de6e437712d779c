#pragma once

#include "common/Money.h"
#include "store/Records.h"

#include <optional>

namespace obs {

// What is still to collect on an act: PRIX + DE − (PAYESECU + PAYECOMPLE + PAYEDE), a missing
// amount counting as 0; negative when the act was overpaid.
std::optional<Money> remainderDue(const std::optional<Money>& price, const std::optional<Money>& excess,
                                  const std::optional<Money>& paidSecu, const std::optional<Money>& paidComplementary,
                                  const std::optional<Money>& paidExcess);
std::optional<Money> remainderDue(const Act& act);
// What is still to collect of the excess fee: DE − PAYEDE.
std::optional<Money> excessRemainder(const std::optional<Money>& excess, const std::optional<Money>& paidExcess);
// "163,5 €", or "Trop perçu : 12 €" when negative.
// Nothing (a figure too large to be held) shows as out of range.
QString remainderCaption(const std::optional<Money>& remainder);

} // namespace obs
