// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The server engine's part of the whole-base operations (store/Bulk.h).

#include "store/BulkSide.h"

namespace obs::pg_bulk {

// A server's base to copy from or to; it must have the program's tables.
std::unique_ptr<BulkSide> openSide(const QString& conninfo, Status* status);

std::optional<qint64> countActs(const QString& conninfo);
Status createBase(const QString& conninfo, NewBaseStep* step, const std::vector<ReferenceEntry>& entries,
                  const JournaledActSource& acts);
Status checkBase(const QString& conninfo);
Status upgrade(const QString& conninfo, qint64* opened);
QString workstationRole();
bool hasPassword(const QString& conninfo);
// The hold of store/Bulk.h on a server's base: a lock of the server's own, named after the command.
std::unique_ptr<BaseHold> holdBase(const QString& conninfo, const QString& command, int waitMs, Status* status);

} // namespace obs::pg_bulk
