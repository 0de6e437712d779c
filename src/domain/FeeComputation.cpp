#include "domain/FeeComputation.h"

#include "domain/TariffFile.h"

#include "common/QuotedFieldFile.h"

namespace obs {

namespace {
// A supplement field can be left empty (it then counts as 0) but must otherwise be an amount.
bool usableSupplement(const QString& text) {
    return text.trimmed().isEmpty() || Money::parse(text).has_value();
}
} // namespace

FeeComputation::Supplements FeeComputation::readSupplements(const QString& path) {
    Supplements out;
    const FieldFileRead read = readQuotedFields(path);
    out.found = read.found;
    if (!read.found)
        return out;
    const qsizetype groups = read.fields.size() / kFieldsPerGroup;
    for (qsizetype g = 0; g < groups; ++g) {
        const QString night = read.fields.at(g * kFieldsPerGroup + TariffFile::NightIndex);
        const QString holiday = read.fields.at(g * kFieldsPerGroup + TariffFile::HolidayIndex);
        if (!usableSupplement(night) || !usableSupplement(holiday)) {
            out.failed = true;
            return out;
        }
        out.night = night;
        out.holiday = holiday;
        ++out.groupsRead;
    }
    if (read.fields.size() % kFieldsPerGroup != 0)
        out.failed = true;
    return out;
}

void FeeComputation::reset() {
    m_principal = Money();
    m_secondary = Money();
    m_secondarySum = Money();
}

QString FeeComputation::principalChosen(const std::optional<Money>& tariff) {
    m_principal = tariff;
    m_secondary = Money();
    m_secondarySum = Money();
    return frenchAmountText(m_principal);
}

QString FeeComputation::secondaryChosen(const std::optional<Money>& tariff) {
    m_secondary = tariff ? std::optional<Money>(tariff->half()) : std::nullopt;
    // Catalogue values beyond any real tariff give no figure rather than a wrong one.
    const auto sum = m_secondarySum.plus(m_secondary.value_or(Money()));
    if (sum)
        m_secondarySum = *sum;
    const auto value = sum ? sum->plus(m_principal.value_or(Money())) : std::nullopt;
    return value ? value->toFrench() : QString();
}

std::optional<Money> FeeComputation::boxAmount(const QString& text) {
    if (text.trimmed().isEmpty())
        return Money();
    return Money::parse(text);
}

QString FeeComputation::totalText(const QString& acts, const QString& supplement) {
    const auto a = boxAmount(acts);
    const auto s = boxAmount(supplement);
    if (!a || !s)
        return QString();
    const auto total = s->plus(*a);
    return total ? total->toFrench() : QString();
}

std::optional<QString> FeeComputation::francsFor(const QString& text) {
    if (text.isEmpty())
        return std::nullopt;
    const auto m = Money::parse(text);
    return m ? francsCaption(*m) : QString();
}

QString FeeComputation::currencyCaption(const QString& amountText) {
    return boxAmount(amountText).value_or(Money()).toFrenchFixed2() + QStringLiteral(" €");
}

QString FeeComputation::deliveryLine(const QString& ccam, const QString& label, const QString& amount) {
    return ccam + QStringLiteral("  ") + label + u' ' + amount;
}

QString FeeComputation::surgicalLine(const QString& ccam, const QString& label) {
    return ccam + QStringLiteral("  ") + label;
}

} // namespace obs
