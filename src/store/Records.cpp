// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/Records.h"

namespace obs {

std::optional<ReferenceList> referenceListOf(int number) {
    switch (number) {
    case int(ReferenceList::Practitioners):
    case int(ReferenceList::DeliveryActs):
    case int(ReferenceList::SurgicalActs):
    case int(ReferenceList::DefaultPractitioner):
    case int(ReferenceList::MutualInsurers):
        return ReferenceList(number);
    default:
        return std::nullopt;
    }
}

bool hasWildcard(const QString& text) {
    for (const QChar c : text) {
        if (c == u'*' || c == u'?' || c == u'#' || c == u'[')
            return true;
    }
    return false;
}

void ListingSum::add(const ListingRow& row) {
    const std::optional<Money>& amount = m_kind == ListingKind::Remainder ? row.remainder : row.price;
    if (!amount || m_overflow)
        return;
    if (!m_total) {
        m_total = amount;
        return;
    }
    m_total = m_total->plus(*amount);
    m_overflow = !m_total;
}

Status ListingSum::result(std::optional<Money>* total) const {
    *total = m_total;
    if (m_overflow)
        return Status::failure(StoreError::TotalMissing,
                               QStringLiteral("Le total dépasse les montants que le programme "
                                              "sait compter : une fiche porte un montant "
                                              "erroné."));
    return Status::success();
}

} // namespace obs
