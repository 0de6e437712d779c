#include "common/Money.h"

#include <limits>

namespace obs {

qint64 divideHalfEven(qint64 numerator, qint64 denominator) {
    if (denominator < 0) {
        numerator = -numerator;
        denominator = -denominator;
    }
    qint64 q = numerator / denominator;
    qint64 r = numerator % denominator;
    if (r < 0) {
        r += denominator;
        q -= 1;
    }
    const qint64 twice = 2 * r;
    if (twice > denominator || (twice == denominator && (q % 2 != 0)))
        q += 1;
    return q;
}

std::optional<Money> Money::parse(const QString& input) {
    const QString text = input.trimmed();
    if (text.isEmpty())
        return std::nullopt;
    int i = 0;
    bool negative = false;
    if (text[0] == u'-' || text[0] == u'+') {
        negative = text[0] == u'-';
        ++i;
    }
    qint64 whole = 0;
    int wholeDigits = 0;
    for (; i < text.size() && text[i].isDigit() && text[i].unicode() < 128; ++i) {
        if (whole > std::numeric_limits<qint64>::max() / 100 / Scale)
            return std::nullopt;
        whole = whole * 10 + (text[i].unicode() - '0');
        ++wholeDigits;
    }
    qint64 frac = 0; // fraction at scale 10^fracDigits
    int fracDigits = 0;
    bool extraNonZeroTail = false;
    qint64 fracExtra = 0; // fifth decimal and beyond, kept for the rounding
    int extraDigits = 0;
    if (i < text.size() && (text[i] == u',' || text[i] == u'.')) {
        ++i;
        for (; i < text.size() && text[i].isDigit() && text[i].unicode() < 128; ++i) {
            const int d = text[i].unicode() - '0';
            if (fracDigits < 4) {
                frac = frac * 10 + d;
                ++fracDigits;
            } else if (extraDigits < 6) {
                fracExtra = fracExtra * 10 + d;
                ++extraDigits;
            } else if (d != 0) {
                extraNonZeroTail = true;
            }
        }
        if (wholeDigits == 0 && fracDigits == 0)
            return std::nullopt;
    } else if (wholeDigits == 0) {
        return std::nullopt;
    }
    if (i != text.size())
        return std::nullopt;
    while (fracDigits < 4) {
        frac *= 10;
        ++fracDigits;
    }
    qint64 units = whole * Scale + frac;
    if (extraDigits > 0) {
        qint64 half = 5;
        for (int k = 1; k < extraDigits; ++k)
            half *= 10;
        if (fracExtra > half || (fracExtra == half && (extraNonZeroTail || units % 2 != 0)))
            units += 1;
    }
    return Money(negative ? -units : units);
}

QString Money::toFrench() const {
    const bool negative = m_units < 0;
    // Unsigned: the smallest 64-bit figure has no positive counterpart.
    const quint64 a = negative ? 0 - quint64(m_units) : quint64(m_units);
    QString s = QString::number(a / Scale);
    const quint64 frac = a % Scale;
    if (frac != 0) {
        QString f = QString::number(frac).rightJustified(4, u'0');
        while (f.endsWith(u'0'))
            f.chop(1);
        s += u',' + f;
    }
    return negative ? u'-' + s : s;
}

QString Money::toEuroText() const {
    return toFrench() + QStringLiteral(" €");
}

QString Money::toFrenchFixed2() const {
    const qint64 cents = divideHalfEven(m_units, 100);
    const bool negative = cents < 0;
    const qint64 a = negative ? -cents : cents;
    QString s = QString::number(a / 100) + u',' + QString::number(a % 100).rightJustified(2, u'0');
    return negative ? u'-' + s : s;
}

Money Money::half() const {
    return Money(divideHalfEven(m_units, 2));
}

Money Money::roundedTo2() const {
    return Money(divideHalfEven(m_units, 100) * 100);
}

Money Money::roundedToEuro() const {
    return Money(divideHalfEven(m_units, Scale) * Scale);
}

std::optional<Money> Money::toFrancs() const {
    // units x 6.55957 at the same scale, then to cents: units x 655957 / 10^7 cents.
    const __int128 n = static_cast<__int128>(m_units) * 655957;
    const __int128 d = 10000000;
    __int128 q = n / d;
    __int128 r = n % d;
    if (r < 0) {
        r += d;
        q -= 1;
    }
    if (2 * r > d || (2 * r == d && (q % 2 != 0)))
        q += 1;
    qint64 units = 0;
    if (q > std::numeric_limits<qint64>::max() || q < std::numeric_limits<qint64>::min() ||
        __builtin_mul_overflow(static_cast<qint64>(q), qint64(100), &units))
        return std::nullopt;
    return Money(units);
}

std::optional<Money> Money::percent(Money rate) const {
    const __int128 n = static_cast<__int128>(m_units) * rate.m_units;
    const __int128 d = static_cast<__int128>(100) * Scale;
    __int128 q = n / d;
    __int128 r = n % d;
    if (r < 0) {
        r += d;
        q -= 1;
    }
    if (2 * r > d || (2 * r == d && (q % 2 != 0)))
        q += 1;
    if (q > std::numeric_limits<qint64>::max() || q < std::numeric_limits<qint64>::min())
        return std::nullopt;
    return Money(static_cast<qint64>(q));
}

std::optional<Money> Money::plus(Money o) const {
    qint64 units = 0;
    if (__builtin_add_overflow(m_units, o.m_units, &units))
        return std::nullopt;
    return Money(units);
}

std::optional<Money> Money::minus(Money o) const {
    qint64 units = 0;
    if (__builtin_sub_overflow(m_units, o.m_units, &units))
        return std::nullopt;
    return Money(units);
}

std::optional<Money> sumOf(std::initializer_list<Money> amounts) {
    std::optional<Money> sum = Money();
    for (Money m : amounts) {
        sum = sum->plus(m);
        if (!sum)
            break;
    }
    return sum;
}

QString frenchAmountText(const std::optional<Money>& m) {
    return m ? m->toFrench() : QString();
}

QString francsCaption(Money euros) {
    const auto francs = euros.toFrancs();
    return francs ? francs->toFrench() + QStringLiteral(" F") : QString();
}

std::optional<Money> amountToCents(const QString& text) {
    if (text.trimmed().isEmpty())
        return Money();
    const auto m = Money::parse(text);
    if (!m)
        return std::nullopt;
    const Money cents = m->roundedTo2();
    if (!cents.inAmountRange())
        return std::nullopt;
    return cents;
}

} // namespace obs
