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

} // namespace obs
