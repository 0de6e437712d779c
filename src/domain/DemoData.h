#pragma once

#include "store/sqlite/Database.h"

#include <QDate>

namespace obs {

// The reference lists of a plausible clinic: practitioners, default practitioner, six mutual
// insurers, delivery and surgical acts with their CCAM codes, tariffs and excess per insurer.
Status fillDemoReferences(Database& db);

// Act records with payments (a few unpaid, some with an excess fee) between two dates,
// written in one transaction. The generator is seeded, so the same call gives the same rows.
Status fillDemoActs(Database& db, int count, const QDate& from, const QDate& to, quint32 seed = 20051);

} // namespace obs
