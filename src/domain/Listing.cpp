// SPDX-License-Identifier: GPL-3.0-or-later
#include "domain/Listing.h"

#include "common/DayNumber.h"

namespace obs {

namespace {
const QString kBlanks = QStringLiteral("   ");
} // namespace

QString Listing::totalCaption(ListingKind kind) {
    if (kind == ListingKind::Excess)
        return QStringLiteral("Total du montant des mutuelles ou DE pour les actes recherchés");
    if (kind == ListingKind::Remainder)
        return QStringLiteral("Total restant dû pour les actes recherchés");
    return QStringLiteral("Total du montant des actes recherchés  (tarif conventionné)");
}

QString Listing::dateText(const StoredDay& day) const {
    if (!day)
        return QString();
    auto it = m_dates.constFind(*day);
    if (it != m_dates.constEnd())
        return it.value();
    const QString text = storedDateText(day);
    m_dates.insert(*day, text);
    return text;
}

QString Listing::line(const ListingRow& row) const {
    QString line = row.surname + kBlanks + row.firstName + kBlanks + dateText(row.date);
    switch (m_kind) {
    case ListingKind::Search:
        line += QStringLiteral(" (") + row.code + QStringLiteral(") ");
        if (row.excess && row.excess->units() != 0)
            line += QStringLiteral("Mut : ") + row.excess->toEuroText();
        break;
    case ListingKind::Unpaid:
        line += QStringLiteral(", (") + row.code + u')';
        break;
    case ListingKind::Remainder:
        line += QStringLiteral(", (") + row.code + QStringLiteral(") reste : ") + frenchAmountText(row.remainder) +
                QStringLiteral(" €");
        break;
    case ListingKind::Excess:
        line += QStringLiteral(" (") + row.code + QStringLiteral(") Mut: ") + frenchAmountText(row.excess) +
                QStringLiteral(" €");
        break;
    }
    return line;
}

} // namespace obs
