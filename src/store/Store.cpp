// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/Store.h"

#include "store/Bulk.h"
#include "store/BulkSide.h"
#include "store/postgres/PgBulk.h"
#include "store/postgres/PgStore.h"
#include "store/sqlite/SqliteBulk.h"
#include "store/sqlite/SqliteStore.h"

#include <QRegularExpression>

namespace obs {

bool isServerLocation(const QString& location) {
    const QString t = location.trimmed();
    if (t.startsWith(QLatin1String("postgresql://"), Qt::CaseInsensitive) ||
        t.startsWith(QLatin1String("postgres://"), Qt::CaseInsensitive))
        return true;
    static const QRegularExpression keyValue(QStringLiteral("^[A-Za-z_]+\\s*="));
    return keyValue.match(t).hasMatch();
}

QString describeLocation(const QString& location) {
    return isServerLocation(location) ? PgConnection::describe(location.trimmed()) : location;
}

std::shared_ptr<Store> Store::open(const QString& location, Status* status) {
    if (isServerLocation(location))
        return PgStore::open(location.trimmed(), status);
    return SqliteStore::open(location, status);
}

// The whole-base operations of store/Bulk.h, on the engine the location names.

namespace {

// The store over a connection of its own to the base at `location`, its tables not checked.
std::shared_ptr<SqlStore> reachBase(const QString& location, Status* status) {
    if (isServerLocation(location)) {
        std::shared_ptr<PgConnection> db = PgConnection::open(location.trimmed(), status);
        return db ? PgStore::over(std::move(db)) : nullptr;
    }
    std::shared_ptr<Database> db = Database::open(location, status);
    return db ? SqliteStore::over(std::move(db)) : nullptr;
}

} // namespace

std::unique_ptr<BulkSide> openBulkSide(const QString& location, bool create, Status* status) {
    if (isServerLocation(location))
        return pg_bulk::openSide(location.trimmed(), status);
    return sqlite_bulk::openSide(location, create, status);
}

Status appendRows(const QString& location, const std::vector<ReferenceEntry>& entries, const ActSource& acts) {
    return appendJournaledRows(location, entries, journaledAsLoaded(acts));
}

Status appendJournaledRows(const QString& location, const std::vector<ReferenceEntry>& entries,
                           const JournaledActSource& acts) {
    Status s;
    const std::shared_ptr<SqlStore> store = reachBase(location, &s);
    return store ? appendNewRows(*store, entries, acts) : s;
}

Status readStoredFigures(const QString& location, StoredFigures* figures) {
    *figures = StoredFigures();
    Status s;
    const std::shared_ptr<SqlStore> store = reachBase(location, &s);
    return store ? storedFiguresOf(*store, figures) : s;
}

std::optional<qint64> countActs(const QString& location) {
    if (isServerLocation(location))
        return pg_bulk::countActs(location.trimmed());
    return sqlite_bulk::countActs(location);
}

Status createBase(const QString& location, NewBaseStep* step, const std::vector<ReferenceEntry>& entries,
                  const ActSource& acts) {
    return createBase(location, step, entries, journaledAsLoaded(acts));
}

Status createBase(const QString& location, NewBaseStep* step, const std::vector<ReferenceEntry>& entries,
                  const JournaledActSource& acts) {
    if (isServerLocation(location))
        return pg_bulk::createBase(location.trimmed(), step, entries, acts);
    return sqlite_bulk::createBase(location, step, entries, acts);
}

QString workstationRole() {
    return pg_bulk::workstationRole();
}

Status checkBase(const QString& location) {
    if (isServerLocation(location))
        return pg_bulk::checkBase(location.trimmed());
    return sqlite_bulk::checkBase(location);
}

Status upgradeBase(const QString& location, qint64* opened) {
    qint64 none = 0;
    if (!opened)
        opened = &none;
    *opened = 0;
    if (isServerLocation(location))
        return pg_bulk::upgrade(location.trimmed(), opened);
    return sqlite_bulk::upgrade(location, opened);
}

std::unique_ptr<MaintenanceSession> openMaintenanceSession(const QString& location, Status* status) {
    std::shared_ptr<SqlStore> store = reachBase(location, status);
    return store ? maintenanceSessionOver(std::move(store)) : nullptr;
}

} // namespace obs
