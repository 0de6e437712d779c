// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "store/Bulk.h"

#include <QString>
#include <QStringList>

namespace obs {

// What an import of the former register did, for its report.
struct LegacyImportReport {
    QString source;
    QString destination;            // as messages show it
    QString format;                 // mdb-ver's answer: JET3, JET4, ACE12...
    StoredFigures read;             // what the Access file holds
    StoredFigures found;            // what the destination holds afterwards
    QStringList missingColumns;     // TABLE.Column taken as empty
    QStringList ignoredColumns;     // TABLE.Column not read
    qint64 entriesWithoutIndex = 0; // MEMO rows without INDEX: they take the next place, as new entries do
    QString keptCopy;               // the copy of the replaced base, if one was kept
    qint64 milliseconds = 0;
    bool matches = false; // every figure of the destination equals the source's

    // The report in French, a few lines.
    QString text() const;
};

// Reads ACTES and MEMO of the former register's Access file through mdbtools and writes them, in
// one transaction and numbers kept, into a new or empty base (a file or a server); a base that
// already holds acts or entries only when `replace`, after keeping a copy of it. Afterwards the
// destination is compared with the source (counts, sums, numbers). False, with *why in French and
// nothing written, when the file cannot be read whole, mdbtools is missing or the destination
// cannot be written; *report is filled as far as the import went, and its `matches` says whether
// the comparison found everything.
bool importLegacyRegister(const QString& accessFile, const QString& destination, bool replace,
                          LegacyImportReport* report, QString* why);

} // namespace obs
