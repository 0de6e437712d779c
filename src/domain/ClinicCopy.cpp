// SPDX-License-Identifier: GPL-3.0-or-later
#include "domain/ClinicCopy.h"

namespace obs {

bool copyClinic(const QString& from, const QString& to, bool replace, QString* why, ClinicTotals* totals,
                bool brokenJournal) {
    const Status s = copyBase(from, to, replace, totals, brokenJournal);
    if (!s)
        *why = s.message;
    return s.ok();
}

} // namespace obs
