// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The file engine's part of the whole-base operations (store/Bulk.h).

#include "store/BulkSide.h"

namespace obs {
class Database;
}

namespace obs::sqlite_bulk {

// A file base to copy from or to; a missing file is created with the program's tables when `create`.
std::unique_ptr<BulkSide> openSide(const QString& path, bool create, Status* status);

// appendRows through a connection already open (a generator tuning its own connection).
Status appendRows(const std::shared_ptr<Database>& db, const std::vector<ReferenceEntry>& entries,
                  const ActSource& acts);
std::optional<qint64> countActs(const QString& path);
Status createBase(const QString& path, NewBaseStep* step, const std::vector<ReferenceEntry>& entries,
                  const JournaledActSource& acts);
Status checkBase(const QString& path);
Status upgrade(const QString& path, qint64* opened);

} // namespace obs::sqlite_bulk
