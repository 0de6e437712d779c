#pragma once

#include "store/Bulk.h"

#include <QDate>
#include <vector>

namespace obs {

// The reference lists of a plausible clinic: practitioners, default practitioner, six mutual
// insurers, delivery and surgical acts with their CCAM codes, tariffs and excess per insurer.
std::vector<ReferenceEntry> demoReferences();

// Act records with payments (a few unpaid, some with an excess fee) between two dates, handed over
// one at a time. The generator is seeded, so the same call gives the same acts. Their numbers are
// left to the base.
ActSource demoActs(int count, const QDate& from, const QDate& to, quint32 seed = 20051);

// The same acts, each with its journal: its creation, then the payments as they came (Sécu and
// the complementary insurer by transfer, the patient's excess by cheque, cash or card, each dated
// after the act and never after today), some corrected by a negative entry. With reversals, some
// acts done by a colleague standing in have a sum paid over to the patient's practitioner, dated,
// with its mode. Each act's running totals are the sums of its payments.
JournaledActSource demoJournaledActs(int count, const QDate& from, const QDate& to, quint32 seed = 20051,
                                     bool withReversals = true);

// The same written into a base of the program (a file or a server), each in one transaction.
Status fillDemoReferences(const QString& location);
Status fillDemoActs(const QString& location, int count, const QDate& from, const QDate& to, quint32 seed = 20051);

} // namespace obs
