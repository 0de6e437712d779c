#include "domain/Remainder.h"

namespace obs {

std::optional<Money> remainderDue(const std::optional<Money>& price, const std::optional<Money>& excess,
                                  const std::optional<Money>& paidSecu, const std::optional<Money>& paidComplementary,
                                  const std::optional<Money>& paidExcess) {
    const Money zero;
    const auto due = sumOf({price.value_or(zero), excess.value_or(zero)});
    const auto paid = sumOf({paidSecu.value_or(zero), paidComplementary.value_or(zero), paidExcess.value_or(zero)});
    if (!due || !paid)
        return std::nullopt;
    return due->minus(*paid);
}

std::optional<Money> remainderDue(const Act& act) {
    return remainderDue(act.price, act.excess, act.paidSecu, act.paidComplementary, act.paidExcess);
}

std::optional<Money> excessRemainder(const std::optional<Money>& excess, const std::optional<Money>& paidExcess) {
    return excess.value_or(Money()).minus(paidExcess.value_or(Money()));
}

QString remainderCaption(const std::optional<Money>& remainder) {
    if (!remainder)
        return QStringLiteral("Montant hors limites");
    if (*remainder < Money()) {
        if (const auto overpaid = Money().minus(*remainder))
            return QStringLiteral("Trop perçu : ") + overpaid->toEuroText();
        return QStringLiteral("Montant hors limites");
    }
    return remainder->toEuroText();
}

} // namespace obs
