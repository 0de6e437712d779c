// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "store/Bulk.h"

#include <QString>
#include <QStringList>
#include <array>

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
    // MEMO entries per list: practitioners (1), delivery acts (2), surgery acts (3), the default
    // practitioner (5), insurers (6), any other number.
    std::array<qint64, 6> lists{};
    QStringList outOfBounds; // "ACTES, ligne 12, colonne PRIX : 9999999.9900 (...)", kept when asked
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
// Values beyond what an act can hold (an amount beyond 1 000 000 € of either sign, a date before
// day 0 or more than two years after today, an act number of 0 or less) come from a damaged
// register: the import is refused naming them, unless `outOfBounds` is Keep (the report then lists
// each). The destination is held (holdBase) from its first look to the end of the check; a new
// file is made under a temporary name and moved into place only once verified.
enum class OutOfBounds { Refuse, Keep };
bool importLegacyRegister(const QString& accessFile, const QString& destination, bool replace,
                          LegacyImportReport* report, QString* why, OutOfBounds outOfBounds = OutOfBounds::Refuse);

} // namespace obs
