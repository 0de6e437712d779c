// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "store/Connection.h"
#include "store/Status.h"

#include <QString>
#include <QVariant>
#include <functional>
#include <memory>
#include <vector>

struct pg_conn;
struct pg_result;

namespace obs {

// One row of a server's answer, read by column number. The server's columns hold only what the
// program writes: whole numbers and texts.
class PgRow final : public SqlRow {
public:
    PgRow(pg_result* result, int row) : m_result(result), m_row(row) {}
    int columns() const override;
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
//
// A server that went away (restarted, the backend ended, the network cut) is connected to again at
// the next statement, waited for within the connect timeout: a read outside a transaction is then
// asked again; a write or a transaction is never replayed. It reports ConnectionLost, saying
// whether nothing was written or whether the write may have been made; a transaction cut that way
// refuses every later statement until its ROLLBACK or COMMIT (which reports the loss), so that
// none of it runs on its own.
class PgConnection {
public:
    ~PgConnection();
    PgConnection(const PgConnection&) = delete;
    PgConnection& operator=(const PgConnection&) = delete;

    // Connects with a libpq URI or "key=value" string; authentication is libpq's own (~/.pgpass,
    // service file, peer, GSSAPI). Over TCP, TLS is asked for unless the string says otherwise
    // (sslmode=prefer); with sslmode=verify-full and sslrootcert, a server whose certificate is
    // not signed by that authority or names another host is refused. A server that does not answer
    // is given up after kServerConnectTimeoutS.
    static std::unique_ptr<PgConnection> open(const QString& conninfo, Status* status);

    // The server named without its password, for messages.
    static QString describe(const QString& conninfo);

    // The string holds a password (which the settings file must never keep).
    static bool hasPassword(const QString& conninfo);

    QString location() const { return m_described; }
    bool isOpen() const { return m_conn != nullptr; }
    // The server answered the last statement (or its new connection was made since).
    bool connected() const;
    void close();

    // Runs one statement; each row is handed over (false stops reading). *changes: rows written.
    Status exec(const QString& sql, const QVariantList& binds = {}, const std::function<bool(const PgRow&)>& each = {},
                qint64* changes = nullptr);
    // Several statements without values (schema, transactions).
    Status script(const QString& sql);

    // The store's French description of a server error (by its SQLSTATE).
    static Status statusFromServer(const char* sqlstate, const QString& detail);

    // Times the connection was made again after the server went away (the tests, the soak).
    int reconnections() const { return m_reconnections; }
    // Called after each new connection, so that what a session set up (LISTEN) is set up again.
    void setOnReconnected(std::function<void()> f) { m_onReconnected = std::move(f); }

    // The French report of a connection lost during an operation, naming the server.
    enum class Lost { NothingWritten, PerhapsWritten, Unreachable };
    Status lost(Lost how, const QString& detail = {}) const;

private:
    PgConnection() = default;
    // What each session is given: the waits on a lock and on a statement.
    Status setUpSession();
    // A connection found broken before a statement is sent is made again; false: still unreachable.
    bool ensureConnected(Status* status);
    bool reconnect(Status* status);
    // Sends a statement (through `send`) once, or twice for a read whose connection was made anew;
    // *result: the server's answer on success, to be freed by the caller.
    Status run(const QString& sql, const std::function<pg_result*()>& send, pg_result** result);
    // A transaction cut by the loss of its connection: every statement is refused until it ends.
    Status whileTransactionLost(const QString& sql);

    pg_conn* m_conn = nullptr;
    QString m_described;
    bool m_transactionLost = false;
    int m_reconnections = 0;
    std::function<void()> m_onReconnected;
};

// Seconds a connection waits for a server that does not answer.
inline constexpr int kServerConnectTimeoutS = 5;

// What every connection of the program gives libpq ahead of the address, which may override it:
// TLS when the server offers it, a bounded wait for an unreachable server, a network cut noticed
// within seconds rather than the system's quarter of an hour; then the address and UTF-8.
class ConnectKeywords {
public:
    ConnectKeywords(const QString& conninfo, const char* applicationName);
    ConnectKeywords(const ConnectKeywords&) = delete;
    ConnectKeywords& operator=(const ConnectKeywords&) = delete;
    // Null-terminated, as PQconnectdbParams and PQconnectStartParams take them (expand_dbname 1).
    const char* const* keys() const { return m_keys.data(); }
    const char* const* values() const { return m_values.data(); }

private:
    QByteArray m_info;
    QByteArray m_timeout;
    QByteArray m_unacknowledged;
    std::vector<const char*> m_keys;
    std::vector<const char*> m_values;
};

// Milliseconds a write waits on another workstation's lock, and a statement at most.
inline constexpr int kServerLockTimeoutMs = 5000;
inline constexpr int kServerStatementTimeoutMs = 60000;

} // namespace obs
