#pragma once

#include "store/sqlite/Database.h"

#include <QStringList>

namespace obs {

// Creates the two tables with their indexes in a new, empty file.
Status createSchema(Database& db);
// The same in two steps, within a transaction of the caller's: the bare tables, then their
// indexes and triggers.
Status createProgramTables(Database& db);
Status createProgramIndexesAndTriggers(Database& db);
// The journal's tables, index, head row and guards, for a base made before the journal.
QStringList journalSchemaStatements();
// What gives a journal made before the performer was recorded its MEDACTE and MEDREPRISE columns:
// the statements run before its older entries are given their performer (beforeFill), then after.
QStringList journalPerformerStatements(bool beforeFill);
// Adds the indexes a file made by an earlier version lacks; nothing when it has them all.
Status createMissingIndexes(Database& db);

// Whether the tables ACTES and MEMO of a database (main, or an attached one by its name) have
// exactly the program's columns, each of the same kind of value. *why names what differs.
bool matchesProgramSchema(Database& db, const QString& schema, QString* why);

// Refreshes the statistics by which SQLite chooses between the period and practitioner indexes.
Status refreshStatistics(Database& db);

// Whether a file is a sound database of this program: integrity check (with the program's text
// order registered) and both tables with exactly the program's columns. *why says what is wrong.
bool checkProgramDatabase(const QString& path, QString* why);

} // namespace obs
