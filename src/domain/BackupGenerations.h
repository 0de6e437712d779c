#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <optional>

namespace obs {

// How many earlier backups a backup folder keeps beside OBSLEDGER.MDB.
inline constexpr int kKeptBackupGenerations = 10;

// The dated name an earlier backup takes when a new one replaces it: OBSLEDGER-AAAA-MM-JJ-HHMM.MDB,
// from its modification time.
QString generationFileName(const QDateTime& modified);

// The earlier backups of a folder, oldest first.
QStringList backupGenerations(const QString& folder);

// The date and time an earlier backup's name gives; invalid for another name.
QDateTime generationTime(const QString& path);

// Keeps a copy of the backup file about to be replaced under its dated name, then removes the
// oldest dated copies beyond kKeptBackupGenerations. Nothing to do when there is no backup yet.
// False, with *why in French, when the copy could not be made: the backup file is then untouched.
bool keepBackupGeneration(const QString& backupFile, QString* why);

// A name no command has used yet in `folder` for the copy of a base about to be replaced:
// STEM-AAAA-MM-JJ-HHMMSS + SUFFIX, with -2, -3... when one of that second exists. A later command
// never writes over it; pruneKeptCopies removes the oldest.
QString newKeptCopyPath(const QString& folder, const QString& stem, const QString& suffix);

// Removes the oldest copies named by newKeptCopyPath with this stem and suffix beyond
// kKeptBackupGenerations.
void pruneKeptCopies(const QString& folder, const QString& stem, const QString& suffix);

// What the restore question shows of a database file: when it was last written and its acts.
struct DatabaseSummary {
    QDateTime modified;         // invalid when the file is missing
    std::optional<qint64> acts; // empty when the file cannot be read as a database
};
DatabaseSummary summarizeDatabase(const QString& path);

} // namespace obs
