#include "domain/Remainder.h"

namespace obs {

Money remainderDue(const std::optional<Money>& price, const std::optional<Money>& excess,
                   const std::optional<Money>& paidSecu, const std::optional<Money>& paidComplementary,
                   const std::optional<Money>& paidExcess) {
    const Money zero;
    return price.value_or(zero) + excess.value_or(zero) -
           (paidSecu.value_or(zero) + paidComplementary.value_or(zero) + paidExcess.value_or(zero));
}

Money remainderDue(const Act& act) {
    return remainderDue(act.price, act.excess, act.paidSecu, act.paidComplementary, act.paidExcess);
}

Money excessRemainder(const std::optional<Money>& excess, const std::optional<Money>& paidExcess) {
    return excess.value_or(Money()) - paidExcess.value_or(Money());
}

QString remainderCaption(Money remainder) {
    if (remainder < Money())
        return QStringLiteral("Trop perçu : ") + (Money() - remainder).toFrench() + QStringLiteral(" €");
    return remainder.toFrench() + QStringLiteral(" €");
}

} // namespace obs
