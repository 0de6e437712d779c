// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <optional>

namespace obs {

// Name of the copies of a server's rows that a restore keeps beside the backup it restores:
// OBSLEDGER.avant-restauration-AAAA-MM-JJ-HHMMSS.MDB, the last ten kept.
inline const QString kServerBeforeRestoreStem = QStringLiteral("OBSLEDGER.avant-restauration");
inline const QString kServerCopySuffix = QStringLiteral(".MDB");

// Writes the server's rows, read as one snapshot, into the backup file (an SQLite file of the
// program, the same kind a file database's backup gives). A temporary file is filled and checked
// first: a failed backup never spoils the previous one, which is kept beside it under its date.
bool backupServer(const QString& conninfo, const QString& backupFile, QString* why);

// Checks the backup file, keeps the server's rows beside it under a dated name no later restore
// takes (*keptCopy), then replaces the server's rows with the backup's in one transaction, all or nothing.
bool restoreServer(const QString& backupFile, const QString& conninfo, QString* why, QString* keptCopy);

// The number of acts on the server; nothing when it cannot be read.
std::optional<qint64> serverActCount(const QString& conninfo);

} // namespace obs
