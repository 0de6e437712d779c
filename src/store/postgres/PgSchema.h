// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "store/Status.h"

#include <QString>
#include <QStringList>

namespace obs {

class PgConnection;

// The program's text order on a server: obs_fold (base letters, what the order compares first and
// what a name without wildcard is equal by), obs_case (case dropped, accents kept: the tie between
// equal base letters) and obs_likefold (what the wildcards compare), each built from the same
// character tables as the file engine, so both engines give the same rows in the same order.
QString serverTextFunctionsSql();

// The tables, indexes and text functions, and the rights of the role obsledger_utilisateurs (rows
// of both tables, their sequences, their statistics refreshed; nothing else), in one transaction.
// The role must exist: the tables' owner is not allowed to create roles. The installer's tool only.
Status createServerSchema(PgConnection& db);

// The role obsledger_utilisateurs exists; else a failure that says how the server's administrator
// creates it (createServerRoleCommand()).
Status checkServerRole(PgConnection& db);
QString createServerRoleCommand();

// A base made by an earlier version brought to this one's text functions, rights and indexes, every
// row kept; the installer's tool only (the tables' owner). Two steps, each in one transaction: the
// functions and rights replaced, then the indexes built anew ON ANOTHER CONNECTION: a connection
// keeps the index keys' functions as they were when it first used the table, and would rebuild the
// indexes with the old ones.
Status replaceServerTextFunctions(PgConnection& db);
Status rebuildServerIndexes(PgConnection& db);

// The journal's tables, for a base made before it (its owner only); the rights follow with the
// text functions' replacement.
QStringList serverJournalStatements();
// What gives a journal made before the performer was recorded its medacte and medreprise columns:
// the statements run before its older entries are given their performer (beforeFill), then after.
QStringList serverJournalPerformerStatements(bool beforeFill);

// Both tables of the program are present and readable.
Status checkServerTables(PgConnection& db);

inline const QString kServerRole = QStringLiteral("obsledger_utilisateurs");

} // namespace obs
