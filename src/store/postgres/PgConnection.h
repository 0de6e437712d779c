// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "store/Connection.h"
#include "store/Status.h"

#include <QString>
#include <QVariant>
#include <functional>
#include <memory>

struct pg_conn;
struct pg_result;

namespace obs {

// One row of a server's answer, read by column number. The server's columns hold only what the
// program writes: whole numbers and texts.
class PgRow final : public SqlRow {
public:
    PgRow(pg_result* result, int row) : m_result(result), m_row(row) {}
    int columns() const;
    bool isNull(int column) const override;
    QString text(int column) const { return SqlRow::text(column); } // empty for a null
    std::optional<qint64> integer(int column) const override;
    QByteArrayView utf8(int column) const override;
    std::optional<Money> money(int column) const override;
    StoredDay day(int column) const override { return integer(column); }
    // Its text: a cursor's keys are never empty on the server.
    QVariant value(int column) const override { return text(column); }

private:
    pg_result* m_result;
    int m_row;
};

// One connection to a PostgreSQL server through libpq. Every value is bound ($1, $2...); a write
// waits a few seconds on another workstation's lock, then reports Locked.
class PgConnection {
public:
    ~PgConnection();
    PgConnection(const PgConnection&) = delete;
    PgConnection& operator=(const PgConnection&) = delete;

    // Connects with a libpq URI or "key=value" string; authentication is libpq's own (~/.pgpass,
    // service file, peer, GSSAPI). Over TCP, TLS is asked for unless the string says otherwise.
    static std::unique_ptr<PgConnection> open(const QString& conninfo, Status* status);

    // The server named without its password, for messages.
    static QString describe(const QString& conninfo);

    // The string holds a password (which the settings file must never keep).
    static bool hasPassword(const QString& conninfo);

    QString location() const { return m_described; }
    bool isOpen() const { return m_conn != nullptr; }
    void close();

    // Runs one statement; each row is handed over (false stops reading). *changes: rows written.
    Status exec(const QString& sql, const QVariantList& binds = {}, const std::function<bool(const PgRow&)>& each = {},
                qint64* changes = nullptr);
    // Several statements without values (schema, transactions).
    Status script(const QString& sql);

    // The store's French description of a server error (by its SQLSTATE).
    static Status statusFromServer(const char* sqlstate, const QString& detail);

private:
    PgConnection() = default;
    pg_conn* m_conn = nullptr;
    QString m_described;
};

// Milliseconds a write waits on another workstation's lock, and a statement at most.
inline constexpr int kServerLockTimeoutMs = 5000;
inline constexpr int kServerStatementTimeoutMs = 60000;

} // namespace obs
