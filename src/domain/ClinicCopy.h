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

// Keeps what the destination of a copy holds before `copy --replace` replaces it, under a dated
// name no later command takes (the last ten kept): a file beside itself (NOM-avant-copie-...), a
// server in a file beside the source when the source is a file, else in the backup folder, else in
// the current folder. *kept names the copy, empty when the destination holds nothing. False, with
// *why in French, when the copy could not be made: nothing is then to be replaced.
bool keepBeforeCopy(const QString& from, const QString& to, QString* kept, QString* why);

} // namespace obs
