#pragma once

#include "common/Money.h"

#include <QString>
#include <optional>

namespace obs {

// Settling accounts between two practitioners: the one who performed acts for the patients the
// other follows owes that colleague a share of the acts' value, less the clinic's share.
class Reversal {
public:
    // Still owed: (V - V / 100 x C) / 100 x P - R, with V the value of the acts, R what was
    // already paid over, C the clinic rate and P the rate between practitioners (in percent).
    // Each step is kept to 1/10000 euro; nothing when a figure cannot be held.
    static std::optional<Money> owed(Money value, Money alreadyPaid, Money clinicRate, Money practitionerRate);

    struct OwedCaptions {
        QString euros;  // every decimal of the amount owed, then " €"
        QString francs; // the amount in francs to the cent, then " F"
    };
    // The amount owed as the screen shows it: not rounded (450 €, 145,831875 €), and the francs
    // worked out from that exact amount. Figures too large to be held exactly fall back on owed(),
    // and "Montant hors limites" when even that cannot hold them.
    static OwedCaptions owedCaptions(Money value, Money alreadyPaid, Money clinicRate, Money practitionerRate);

    // A name fit to record a payment on: one practitioner, neither empty nor a wildcard pattern.
    static bool isOnePractitioner(const QString& name);
};

} // namespace obs
