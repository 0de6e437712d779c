#pragma once

#include <QString>
#include <cstdint>
#include <initializer_list>
#include <optional>

namespace obs {

// A euro amount in fixed point: whole units of 1/10000 euro, exact in SQL sums.
class Money {
public:
    static constexpr qint64 Scale = 10000;

    constexpr Money() = default;
    static constexpr Money fromUnits(qint64 units) { return Money(units); }
    static constexpr Money fromEuros(qint64 euros) { return Money(euros * Scale); }

    // The largest amount the screens take, of either sign: 10 000 000 euros.
    static constexpr qint64 LargestEuros = 10000000;
    constexpr bool inAmountRange() const { return m_units >= -LargestEuros * Scale && m_units <= LargestEuros * Scale; }
    // A rate in percent: from 0 to 100.
    constexpr bool inRateRange() const { return m_units >= 0 && m_units <= 100 * Scale; }

    constexpr qint64 units() const { return m_units; }
    // Whole cents: what the books hold of money typed or paid (no fraction of a cent).
    constexpr bool inWholeCents() const { return m_units % (Scale / 100) == 0; }

    // A figure as stored: nothing when it lies beyond any amount (a damaged base may hold the
    // smallest 64-bit integer), so that no later step overflows on it.
    static constexpr std::optional<Money> fromStored(qint64 units) {
        constexpr qint64 limit = qint64(1) << 62;
        if (units < -limit || units > limit)
            return std::nullopt;
        return Money(units);
    }

    // Reads a typed amount in the French form (decimal comma; a full stop is taken too), optional sign.
    // Empty or not a number gives nothing. More than four decimals round half to even.
    static std::optional<Money> parse(const QString& text);

    // Short French form: decimal comma, no thousands separator, no trailing zeros (19,5; 20; -3,25).
    QString toFrench() const;
    // Short French form followed by the euro sign, as amounts are shown on the screens ("163,5 €").
    QString toEuroText() const;
    // Currency form with exactly two decimals (25,15).
    QString toFrenchFixed2() const;
    // Rounded to two decimals, a half going to the even neighbour.
    Money roundedTo2() const;
    // Rounded to a whole number of euros, a half going to the even neighbour.
    Money roundedToEuro() const;
    // Half of the amount: exact for tariffs of up to three decimals, else the last unit to even.
    Money half() const;
    // The amount in French francs (x 6.55957), rounded to two decimals, half to even; nothing when
    // the figure cannot be held.
    std::optional<Money> toFrancs() const;
    // Percentage: amount / 100 x rate, kept at the fixed-point precision (half to even); nothing
    // when the figure cannot be held.
    std::optional<Money> percent(Money rate) const;

    // Sum and difference; nothing when the figure cannot be held (a damaged base may hold anything).
    std::optional<Money> plus(Money o) const;
    std::optional<Money> minus(Money o) const;

    friend constexpr bool operator==(Money a, Money b) = default;
    friend constexpr auto operator<=>(Money a, Money b) = default;

private:
    constexpr explicit Money(qint64 units) : m_units(units) {}
    qint64 m_units = 0;
};

// Divides with rounding of an exact half to the even neighbour.
qint64 divideHalfEven(qint64 numerator, qint64 denominator);

// Short French form of a number held as text by the screens (the amount when it is one, else the text).
QString frenchAmountText(const std::optional<Money>& m);

// Francs caption of an amount: "2056,43 F"; empty when the figure cannot be held.
QString francsCaption(Money euros);
// Sum of amounts; nothing when it cannot be held.
std::optional<Money> sumOf(std::initializer_list<Money> amounts);

// A typed amount as an act record keeps it: to the cent (a half to the even cent), an empty text
// giving 0; nothing when the text is not a number or the amount lies beyond the screens' range.
std::optional<Money> amountToCents(const QString& text);

// An amount as an accountant reads it in a table of figures: two decimals (half to even), the
// digits grouped by thousands with a narrow no-break space, then a no-break space and the euro
// sign ("1 183,70 €", "-12,00 €"), so that a column aligned on the right lines up its commas.
QString accountingEuroText(Money m);
// The separator of the thousands in that form (U+202F, as French typography and Qt's French locale).
inline constexpr char16_t kThousandsSeparator = u'\u202F';

} // namespace obs
