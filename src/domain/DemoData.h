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

// The same written into a base of the program (a file or a server), each in one transaction.
Status fillDemoReferences(const QString& location);
Status fillDemoActs(const QString& location, int count, const QDate& from, const QDate& to, quint32 seed = 20051);

} // namespace obs
