// Typed amounts: the reader of amounts against a plain reference, the shown forms read back, and the
// amount to the cent that the fee columns keep.
#include "FuzzSupport.h"
#include "common/Money.h"

#include <algorithm>

using namespace obs;
using namespace obs::fuzz;

namespace {

bool asciiDigit(QChar c) {
    return c >= u'0' && c <= u'9';
}

// The amount read digit by digit as a text: sign, whole digits, a comma or a full stop, decimals,
// the fifth decimal and beyond rounding half to even. Whole parts above 92233720368549 (what
// 1/10000 units hold with room for sums) are refused.
std::optional<qint64> referenceUnits(const QString& input) {
    const QString t = input.trimmed();
    int i = 0;
    bool negative = false;
    if (i < t.size() && (t[i] == u'-' || t[i] == u'+'))
        negative = t[i++] == u'-';
    QString whole, decimals;
    while (i < t.size() && asciiDigit(t[i]))
        whole += t[i++];
    if (i < t.size() && (t[i] == u',' || t[i] == u'.')) {
        ++i;
        while (i < t.size() && asciiDigit(t[i]))
            decimals += t[i++];
    }
    if (i != t.size() || (whole.isEmpty() && decimals.isEmpty()))
        return std::nullopt;
    while (whole.size() > 1 && whole[0] == u'0')
        whole.remove(0, 1);
    if (whole.size() > 14)
        return std::nullopt;
    const qint64 w = whole.isEmpty() ? 0 : whole.toLongLong();
    if (w > 92233720368549)
        return std::nullopt;
    qint64 units = w * Money::Scale + (decimals.left(4) + QStringLiteral("0000")).left(4).toLongLong();
    const QString rest = decimals.mid(4);
    if (!rest.isEmpty()) {
        int vsHalf = rest[0].unicode() - u'5';
        if (vsHalf == 0 && std::any_of(rest.begin() + 1, rest.end(), [](QChar c) { return c != u'0'; }))
            vsHalf = 1;
        if (vsHalf > 0 || (vsHalf == 0 && units % 2 != 0))
            ++units;
    }
    return negative ? -units : units;
}

QString shown(const std::optional<qint64>& units) {
    return units ? QString::number(*units) : QStringLiteral("nothing");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString text = QString::fromUtf8(bytesOf(data, size));
    const auto m = Money::parse(text);
    const auto want = referenceUnits(text);
    const std::optional<qint64> got = m ? std::optional<qint64>(m->units()) : std::nullopt;
    FUZZ_CHECK(got == want, QStringLiteral("%1 read as %2 instead of %3").arg(escaped(text), shown(got), shown(want)));

    const auto stored = amountToCents(text);
    if (text.trimmed().isEmpty()) {
        FUZZ_CHECK(stored == Money(), QStringLiteral("an empty amount is not 0"));
    } else if (!m) {
        FUZZ_CHECK(!stored, QStringLiteral("%1 is not an amount yet gave a number").arg(escaped(text)));
    } else {
        const Money cents = m->roundedTo2();
        FUZZ_CHECK(cents.inAmountRange() ? stored == cents : !stored,
                   QStringLiteral("%1 stored as %2").arg(escaped(text), stored ? stored->toFrench() : "nothing"));
    }
    if (!m)
        return 0;

    // The shown forms are typed again in the boxes: they must read back to what they show.
    FUZZ_CHECK(Money::parse(m->toFrench()) == *m,
               QStringLiteral("%1 shown as %2 does not read back").arg(escaped(text), m->toFrench()));
    FUZZ_CHECK(Money::parse(m->toFrenchFixed2()) == m->roundedTo2(),
               QStringLiteral("%1 shown as %2 does not read back").arg(escaped(text), m->toFrenchFixed2()));
    const Money euro = m->roundedToEuro();
    FUZZ_CHECK(euro.units() % Money::Scale == 0 && qAbs(euro.units() - m->units()) <= Money::Scale / 2,
               QStringLiteral("%1 rounded to the euro as %2").arg(escaped(text), euro.toFrench()));
    const Money half = m->half();
    FUZZ_CHECK(qAbs(half.units() * 2 - m->units()) <= 1,
               QStringLiteral("half of %1 is %2").arg(escaped(text), half.toFrench()));
    // The caption and the shares of the accounts screen: computed, never undefined.
    // A figure too large to be held gives no caption rather than a wrong one.
    FUZZ_CHECK(m->toFrancs() ? francsCaption(*m).endsWith(QStringLiteral(" F")) : francsCaption(*m).isEmpty(),
               QStringLiteral("francs caption of %1").arg(escaped(text)));
    const auto tenth = m->percent(Money::fromEuros(10));
    const auto rest = m->percent(Money::fromEuros(90));
    if (tenth && rest) {
        const auto share = tenth->plus(*rest);
        FUZZ_CHECK(share && qAbs(share->units() - m->units()) <= 1,
                   QStringLiteral("10 %% and 90 %% of %1 make %2").arg(escaped(text), share ? share->toFrench() : "?"));
    }
    return 0;
}
