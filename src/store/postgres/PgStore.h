// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "store/SqlStore.h"
#include "store/postgres/PgConnection.h"

namespace obs {

// The program's database on a PostgreSQL server, for several workstations: the same rows, order,
// totals and errors as the file engine.
class PgStore final : public SqlStore {
public:
    // Connects to a server holding the program's tables.
    static std::shared_ptr<PgStore> open(const QString& conninfo, Status* status);
    // The store over a connection already open (a copy or a load, within its transaction).
    static std::shared_ptr<PgStore> over(std::shared_ptr<PgConnection> db) {
        return std::shared_ptr<PgStore>(new PgStore(std::move(db)));
    }

    QString location() const override { return m_server->location(); }
    void close() override { m_server->close(); }
    qint64 serverSession() override;
    // The acts as the other engine has them, but a save cut by the loss of the server is told as
    // made or not made from what is stored once the server answers again.
    obs::ActsTable& acts() override;

    // The connection itself, for the maintenance tool and the tests.
    PgConnection& connection() { return *m_server; }

private:
    explicit PgStore(std::shared_ptr<PgConnection> db);

    std::shared_ptr<PgConnection> m_server;
    std::unique_ptr<obs::ActsTable> m_acts;
};

} // namespace obs
