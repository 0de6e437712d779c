// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/Records.h"

#include "common/DayNumber.h"

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

std::array<qint64, 13> monthStarts(int year) {
    std::array<qint64, 13> starts{};
    for (int m = 0; m < 12; ++m)
        starts[m] = dayNumberOf(QDate(year, m + 1, 1));
    starts[12] = dayNumberOf(QDate(year + 1, 1, 1));
    return starts;
}

} // namespace obs
