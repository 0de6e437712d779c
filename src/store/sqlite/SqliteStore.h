// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "store/SqlStore.h"
#include "store/sqlite/Database.h"

namespace obs {

// The program's database in an SQLite file: the embedded engine, and the default.
class SqliteStore final : public SqlStore {
public:
    // Opens an existing file holding the program's tables.
    static std::shared_ptr<SqliteStore> open(const QString& path, Status* status);
    // The store over a connection already open (a copy or a load, within its transaction).
    static std::shared_ptr<SqliteStore> over(std::shared_ptr<Database> db) {
        return std::shared_ptr<SqliteStore>(new SqliteStore(std::move(db)));
    }
    // How the file engine spells its statements, for the file's own whole-base operations.
    static const Dialect& fileDialect();

    QString location() const override { return m_file->path(); }
    void close() override { m_file->close(); }
    std::optional<qint64> othersCommits() override;

    // The connection itself, for the maintenance tool and the tests.
    Database& database() { return *m_file; }

private:
    explicit SqliteStore(std::shared_ptr<Database> db);

    std::shared_ptr<Database> m_file;
};

} // namespace obs
