// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "store/Bulk.h"

#include <QString>

namespace obs {

// Copies both tables whole, numbers and order of entry kept, from one database to another; each is
// a file path or a server. The source is read as one snapshot. A destination file that does not
// exist is created; a destination that already holds acts is refused unless `replace`, and is then
// emptied and filled in one transaction, all or nothing. Counts and sums are compared at the end.
// The journal goes along, its chain checked: a broken one is refused unless `brokenJournal`.
bool copyClinic(const QString& from, const QString& to, bool replace, QString* why, ClinicTotals* totals = nullptr,
                bool brokenJournal = false);

} // namespace obs
