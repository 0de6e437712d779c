#pragma once

#include "store/Status.h"
#include "store/sqlite/Row.h"

#include <QString>
#include <functional>
#include <memory>

namespace SQLite {
class Database;
class Statement;
} // namespace SQLite
struct sqlite3;
struct sqlite3_stmt;

namespace obs {

// One connection to the program's database file. The file is opened shared, never created
// (except by the installer's tool), waits a few seconds on another workstation's lock and
// keeps the rollback journal. No statement outlives the call that runs it.
class Database {
public:
    ~Database();
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    // Opens an existing file for reading and writing; a missing file stays missing.
    static std::shared_ptr<Database> open(const QString& path, Status* status);
    // Creates a new file (the installer's tool only).
    static std::shared_ptr<Database> create(const QString& path, Status* status);

    QString path() const { return m_path; }
    bool isOpen() const { return m_db != nullptr; }
    void close();

    // Runs a query and hands each row over; the callback returns false to stop early.
    Status query(const QString& sql, const std::function<bool(const Row&)>& each);
    Status queryRows(const QString& sql, std::vector<Row>* rows, int limit = -1);
    // First column of the first row (null when no row or an empty sum).
    Status scalar(const QString& sql, QVariant* value, const QVariantList& binds = {});
    // A statement without values.
    Status execute(const QString& sql, int* changes = nullptr);
    // A statement as it stands, with values bound to ? in order.
    Status executeRaw(const QString& sql, const QVariantList& binds = {}, int* changes = nullptr);
    // One statement run again and again: next() fills the values of each run, false when done.
    Status executeMany(const QString& sql, const std::function<bool(QVariantList*)>& next);
    Status queryRaw(const QString& sql, const QVariantList& binds, const std::function<bool(const Row&)>& each);
    // The same, handing over the statement itself: a long listing reads its few columns in place,
    // without turning every value into a QVariant first. *changes: rows written.
    Status step(const QString& sql, const QVariantList& binds, const std::function<bool(sqlite3_stmt*)>& each,
                qint64* changes = nullptr);

    Status insert(const QString& table, const Fields& fields, qint64* rowid = nullptr);
    Status update(const QString& table, qint64 rowid, const Fields& fields);
    Status remove(const QString& table, qint64 rowid);

    // How long a statement waits on another workstation's lock, and how long in all a write that
    // still met it is tried again before it fails (0: never again).
    void setLockWait(int waitMs, int retryWithinMs);

    // Both tables of the program are present.
    bool hasProgramTables();

    // The engine's count of the commits other connections made to the file (PRAGMA data_version),
    // read without waiting: Locked while another connection is writing it.
    Status dataVersion(qint64* version);

    // The store's French description of an engine error.
    static Status statusFromEngine(int code, const QString& detail);

private:
    Database() = default;
    static std::shared_ptr<Database> openWithFlags(const QString& path, int flags, Status* status);
    // Runs a statement, and runs it again after a short pause while the base stays busy, outside
    // of any transaction of the caller's and only before it handed anything over.
    Status retryingWhileBusy(const std::function<Status(bool* handedOver)>& run);

    QString m_path;
    std::unique_ptr<SQLite::Database> m_db;
    int m_lockWaitMs = 0;
    int m_retryWithinMs = 0;
};

// Milliseconds a statement waits on another workstation's lock before it fails.
inline constexpr int kBusyTimeoutMs = 5000;
// Milliseconds in all during which a write that met a busy base is tried again, so that a
// workstation is not starved by another one writing again and again.
inline constexpr int kBusyRetryMs = 10000;

} // namespace obs
