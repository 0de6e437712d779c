#include "domain/Reversal.h"

#include "store/Records.h"

#include <limits>

namespace obs {

std::optional<Money> Reversal::owed(Money value, Money alreadyPaid, Money clinicRate, Money practitionerRate) {
    const auto clinicShare = value.percent(clinicRate);
    const auto rest = clinicShare ? value.minus(*clinicShare) : std::nullopt;
    const auto share = rest ? rest->percent(practitionerRate) : std::nullopt;
    return share ? share->minus(alreadyPaid) : std::nullopt;
}

Reversal::OwedCaptions Reversal::owedCaptions(Money value, Money alreadyPaid, Money clinicRate,
                                              Money practitionerRate) {
    // With amounts and rates in 1/10^4, D = (V x (100 % - C) x P - R x 10^12) / 10^16 exactly.
    using Wide = __int128;
    const Wide hundredPercent = Wide(100) * Money::Scale;
    const Wide scale12 = Wide(1000000000000LL);
    const Wide scale16 = scale12 * 10000;
    Wide share = 0, owed16 = 0, paid16 = 0, francsScaled = 0;
    const bool fits = !__builtin_mul_overflow(Wide(value.units()), hundredPercent - clinicRate.units(), &share) &&
                      !__builtin_mul_overflow(share, Wide(practitionerRate.units()), &share) &&
                      !__builtin_mul_overflow(Wide(alreadyPaid.units()), scale12, &paid16) &&
                      !__builtin_sub_overflow(share, paid16, &owed16) &&
                      !__builtin_mul_overflow(owed16, Wide(655957), &francsScaled);
    // Francs: D x 6.55957 to the cent, a half going to the even neighbour (10^16 x 10^5 / 10^2).
    const Wide per = scale16 * 1000;
    Wide cents = fits ? francsScaled / per : 0;
    Wide rest = fits ? francsScaled % per : 0;
    if (rest < 0) {
        rest += per;
        cents -= 1;
    }
    if (2 * rest > per || (2 * rest == per && cents % 2 != 0))
        cents += 1;
    const Wide largestCents = std::numeric_limits<qint64>::max() / 100;
    if (!fits || cents > largestCents || cents < -largestCents) {
        const auto m = owed(value, alreadyPaid, clinicRate, practitionerRate);
        if (!m)
            return {QStringLiteral("Montant hors limites"), QString()};
        return {m->toEuroText(), francsCaption(*m)};
    }
    const Money francs = Money::fromUnits(qint64(cents) * 100);

    const bool negative = owed16 < 0;
    const Wide magnitude = negative ? -owed16 : owed16;
    auto digits = [](Wide n) {
        QString s;
        do {
            s.prepend(QChar(u'0' + int(n % 10)));
            n /= 10;
        } while (n != 0);
        return s;
    };
    QString euros = digits(magnitude / scale16);
    QString fraction = digits(magnitude % scale16).rightJustified(16, u'0');
    while (fraction.endsWith(u'0'))
        fraction.chop(1);
    if (!fraction.isEmpty())
        euros += u',' + fraction;
    if (negative)
        euros.prepend(u'-');

    return {euros + QStringLiteral(" €"), francs.toFrench() + QStringLiteral(" F")};
}

bool Reversal::isOnePractitioner(const QString& name) {
    return !name.trimmed().isEmpty() && !hasWildcard(name);
}

} // namespace obs
