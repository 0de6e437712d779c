#pragma once

#include "store/Bulk.h"

#include <QDate>
#include <QString>
#include <functional>

namespace obs {

// Name of the backup copy inside the backup folder; the restore reads the same file.
inline const QString kBackupFileName = QStringLiteral("OBSLEDGER.MDB");
// Suffix of the copy of the database that a restore keeps beside it, so that it can be undone.
inline const QString kBeforeRestoreSuffix = QStringLiteral(".avant-restauration");

// The backup file of a backup folder: OBSLEDGER.MDB inside the folder (a drive root included).
// Empty when no folder is given, so that nothing is ever written into the current folder.
QString backupFileIn(const QString& folder);

// A new name for the copy a restore keeps of the database it replaces, beside it:
// OBSLEDGER.mdb.avant-restauration-AAAA-MM-JJ-HHMMSS, never one an earlier restore kept (the last
// ten are kept).
QString beforeRestoreCopyOf(const QString& databasePath);

// How a command that replaces a base names itself to another one that finds the base held.
QString holderName(const QString& what);

// Whether two paths name the same file, the name compared without regard to case (the backup
// file OBSLEDGER.MDB and the database OBSLEDGER.mdb are one file on the clinic's workstations).
bool sameFile(const QString& a, const QString& b);

// Writes a consistent snapshot of the database (taken through the engine, even while another
// workstation has it open) into the backup file. The copy goes to a temporary file in the backup
// folder, is checked, and only then replaces the previous backup, which is kept beside it under
// its date (the last ten kept): a failed backup never spoils the good one. *why says what went
// wrong, in French.
bool backupDatabase(const QString& databasePath, const QString& backupFile, QString* why,
                    int lockWaitMs = kFileLockWaitMs);

// Replaces the database's content with the backup's, all or nothing. The backup must be a sound
// database of the program; the database being replaced is kept first as its before-restore copy.
// A database file too damaged to be read is kept as it stands and replaced whole.
// When another workstation is writing, or an administration command holds the database, the
// restore waits lockWaitMs and then fails untouched.
// *keptCopy names the copy kept (empty when there was no database to keep).
bool restoreDatabase(const QString& backupFile, const QString& databasePath, QString* why, QString* keptCopy = nullptr,
                     int lockWaitMs = kFileLockWaitMs);

// Makes a new base file at `target`, which must not exist: `fill` makes the base under a temporary
// name beside it (the path it is given does not exist yet) and checks it; the file then takes the
// clinic's rights and is moved into place, never over a file that appeared meanwhile. On any
// failure, or when the command is stopped by a signal, no file is left. The caller holds the
// target (holdBase). *why says what went wrong, in French.
bool makeNewBaseFile(const QString& target, const std::function<bool(const QString& tempPath, QString* why)>& fill,
                     QString* why);

// The copy a file base made before the journal keeps of itself when it is given one:
// OBSLEDGER.avant-journal-AAAAMMJJ.mdb beside it.
QString beforeJournalCopyOf(const QString& databasePath, const QDate& day);

// Gives a file base made before the journal its journal: a consistent copy of the file is kept
// beside it first (beforeJournalCopyOf, the clinic's rights), then the journal is made in one
// transaction, an opening entry per running total of each act. *keptCopy names the copy, *opened
// the entries written; *why says what went wrong, in French, the base then unchanged.
bool giveFileItsJournal(const QString& databasePath, QString* keptCopy, qint64* opened, QString* why,
                        int lockWaitMs = kFileLockWaitMs);

} // namespace obs
