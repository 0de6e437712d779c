#include "Reversal.h"

#include "Listing.h"
#include "store/SqlText.h"

namespace obs {

QString Reversal::periodCondition(qint64 firstDay, qint64 lastDay, const QString& followUp, const QString& performer)
{
    return Listing::periodCondition(firstDay, lastDay) + Listing::likeClause(QStringLiteral("MEDSUIT"), followUp) +
           Listing::likeClause(QStringLiteral("MEDACTE"), performer);
}

QString Reversal::pairActsQuery(const QString& followUp, const QString& performer)
{
    return QStringLiteral("SELECT ACTES.* From ACTES ") + QStringLiteral("WHERE (ACTES.MEDSUIT LIKE '") +
           sqlEscape(followUp) + QStringLiteral("')") + QStringLiteral("AND (ACTES.MEDACTE LIKE '") +
           sqlEscape(performer) + QStringLiteral("')") +
           QStringLiteral("ORDER BY DATE");
}

Money Reversal::owed(Money value, Money alreadyPaid, Money clinicRate, Money practitionerRate)
{
    const Money clinicShare = value.percent(clinicRate);
    return (value - clinicShare).percent(practitionerRate) - alreadyPaid;
}

bool Reversal::isOnePractitioner(const QString& name)
{
    return !name.trimmed().isEmpty() && !Listing::hasWildcard(name);
}

} // namespace obs
