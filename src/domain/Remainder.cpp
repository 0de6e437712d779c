#include "domain/Remainder.h"

namespace obs {

std::optional<Money> remainderDue(const std::optional<Money>& price, const std::optional<Money>& excess,
                                  const std::optional<Money>& paidSecu, const std::optional<Money>& paidComplementary,
                                  const std::optional<Money>& paidExcess) {
    const Money zero;
    std::optional<Money> due = price.value_or(zero).plus(excess.value_or(zero));
    for (const auto* paid : {&paidSecu, &paidComplementary, &paidExcess})
        if (due)
            due = due->minus(paid->value_or(zero));
    return due;
}

std::optional<Money> remainderDue(const Act& act) {
    return remainderDue(act.price, act.excess, act.paidSecu, act.paidComplementary, act.paidExcess);
}

std::optional<Money> excessRemainder(const std::optional<Money>& excess, const std::optional<Money>& paidExcess) {
    return excess.value_or(Money()).minus(paidExcess.value_or(Money()));
}

QString remainderCaption(const std::optional<Money>& remainder) {
    if (!remainder)
        return QString();
    if (*remainder < Money()) {
        const auto overpaid = Money().minus(*remainder);
        return overpaid ? QStringLiteral("Trop perçu : ") + overpaid->toFrench() + QStringLiteral(" €") : QString();
    }
    return remainder->toFrench() + QStringLiteral(" €");
}

} // namespace obs
