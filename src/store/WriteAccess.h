// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <optional>

namespace obs {

class Store;

// Why this user cannot change the open base: what is refused (in French) and what the
// administrator can do about it.
struct ReadOnlyBase {
    QString refused;
    QString remedy;
};

// Whether the user running the program may write the base the store has open: for a file, the
// file itself and its folder (the engine writes its rollback journal beside the file); on a
// server, the login's rights to add, change and delete rows of both tables, on a server that
// takes writes. Nothing when it may, or when the rights cannot be read: a real refusal is then
// reported by the first write.
std::optional<ReadOnlyBase> readOnlyBase(Store& store);

// The same test for a database file and its folder, as the user running the program.
std::optional<ReadOnlyBase> readOnlyFile(const QString& path);

} // namespace obs
