// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/sqlite/SqliteStore.h"

#include "common/DayNumber.h"
#include "store/sqlite/Schema.h"

#include <sqlite3.h>

namespace obs {

namespace {

// A row under an SQLite statement, its values read in place. A damaged or foreign base may hold
// any kind of value in any column: each is read as what it is.
class SqliteRow final : public SqlRow {
public:
    explicit SqliteRow(sqlite3_stmt* st) : m_st(st) {}

    int columns() const override { return sqlite3_column_count(m_st); }
    bool isNull(int c) const override { return sqlite3_column_type(m_st, c) == SQLITE_NULL; }
    std::optional<qint64> integer(int c) const override {
        if (isNull(c))
            return std::nullopt;
        return qint64(sqlite3_column_int64(m_st, c));
    }
    QByteArrayView utf8(int c) const override {
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(m_st, c));
        return text ? QByteArrayView(text, sqlite3_column_bytes(m_st, c)) : QByteArrayView();
    }
    std::optional<Money> money(int c) const override { return storedMoney(value(c)); }
    StoredDay day(int c) const override {
        switch (sqlite3_column_type(m_st, c)) {
        case SQLITE_INTEGER:
            return storedDayOf(QVariant::fromValue<qint64>(sqlite3_column_int64(m_st, c)));
        case SQLITE_FLOAT:
            return storedDayOf(sqlite3_column_double(m_st, c));
        case SQLITE_TEXT:
            return storedDayOf(QVariant(text(c)));
        default:
            return std::nullopt;
        }
    }
    QVariant value(int c) const override {
        switch (sqlite3_column_type(m_st, c)) {
        case SQLITE_INTEGER:
            return QVariant::fromValue<qint64>(sqlite3_column_int64(m_st, c));
        case SQLITE_FLOAT:
            return sqlite3_column_double(m_st, c);
        case SQLITE_TEXT:
            return text(c);
        case SQLITE_BLOB:
            return QByteArray(static_cast<const char*>(sqlite3_column_blob(m_st, c)), sqlite3_column_bytes(m_st, c));
        default:
            return QVariant();
        }
    }

private:
    sqlite3_stmt* m_st;
};

class SqliteConnection final : public Connection {
public:
    explicit SqliteConnection(std::shared_ptr<Database> db) : m_db(std::move(db)) {}

    bool isOpen() const override { return m_db->isOpen(); }
    Status run(const QString& sql, const QVariantList& binds, const std::function<bool(const SqlRow&)>& each,
               qint64* changes) override {
        return m_db->step(
            sql, binds,
            [&](sqlite3_stmt* st) {
                const SqliteRow row(st);
                return !each || each(row);
            },
            changes);
    }
    // The file is reserved for writing from the start: no other workstation writes in between.
    Status beginWriting(const QStringList&) override { return m_db->executeRaw(QStringLiteral("BEGIN IMMEDIATE")); }
    Status beginReading() override { return m_db->executeRaw(QStringLiteral("BEGIN")); }
    Status commit() override { return m_db->executeRaw(QStringLiteral("COMMIT")); }
    void rollback() override { m_db->executeRaw(QStringLiteral("ROLLBACK")); }

private:
    std::shared_ptr<Database> m_db;
};

// The text columns carry the program's order (COLLATE FRENCH) and the LIKE function is the
// program's own, so most conditions are written plainly.
class SqliteDialect final : public Dialect {
public:
    explicit SqliteDialect(bool practitionerIndexes) : m_practitionerIndexes(practitionerIndexes) {}
    QString name(const QString& column) const override { return column; }
    QString memoId() const override { return QStringLiteral("rowid"); }
    QString textMark() const override { return QStringLiteral("?"); }
    QString numberMark() const override { return QStringLiteral("?"); }
    QString nullsFirst() const override { return QString(); }
    QString nullsLastDescending() const override { return QString(); }
    QString dayListingTie() const override { return QString(); }
    QStringList textKeys(const QString& column) const override { return {column}; }
    QString expressionOrder(const QString& e) const override { return e + QStringLiteral(" COLLATE FRENCH"); }
    QString primaryKey(const QString& e) const override { return e + QStringLiteral(" COLLATE FRENCH_PRIMARY"); }
    // A value computed in a query has no order of its own: bytes.
    QString bytewise(const QString& e) const override { return e; }
    QString textEquals(const QString& column, const QString& value, QVariantList* binds) const override {
        *binds << value;
        return column + QStringLiteral(" = ?");
    }
    QString textAtOrAfter(const QString& column, const QString& value, QVariantList* binds) const override {
        *binds << value;
        return column + QStringLiteral(" >= ?");
    }
    QString sameText(const QString& column) const override {
        return QStringLiteral("coalesce(%1, '') = ? COLLATE BINARY").arg(column);
    }
    QString nullSafe(bool equal) const override { return equal ? QStringLiteral(" IS ") : QStringLiteral(" IS NOT "); }
    // Where the pair index would walk a practitioner's whole history instead of the period's acts,
    // the condition is kept off it ("+column") and the period's index answers.
    QString nameMatch(const QString& column, const QString& pattern, QVariantList* binds, bool seek) const override {
        *binds << pattern;
        if (hasWildcard(pattern))
            return QStringLiteral("(%1 LIKE ?)").arg(column);
        return QStringLiteral("(%1%2 = ? COLLATE FRENCH_PRIMARY)").arg(seek ? QString() : QStringLiteral("+"), column);
    }
    bool stepsInTwoSeeks() const override { return true; }
    bool seeksOnePractitioner() const override { return m_practitionerIndexes; }
    QStringList journalSchema() const override { return journalSchemaStatements(); }
    QStringList journalPerformerSchema(bool beforeFill) const override {
        return journalPerformerStatements(beforeFill);
    }
    // SQLite seeks each number of the list in the key (json_each is built into SQLite since 3.38).
    QString numberIn(const QString& column, const std::vector<qint64>& numbers, QVariantList* binds) const override {
        *binds << numberList(numbers, '[', ']');
        return QStringLiteral("%1 IN (SELECT value FROM json_each(?))").arg(column);
    }

private:
    bool m_practitionerIndexes;
};

// A base made before the practitioner indexes (until `obsledger-admin upgrade`) keeps the plans
// it had: a practitioner alone read through the period's index.
const SqliteDialect kDialect(true);
const SqliteDialect kDialectWithoutPractitionerIndexes(false);

bool hasPractitionerIndexes(Database& db) {
    int found = 0;
    db.step(QStringLiteral("SELECT count(*) FROM sqlite_master WHERE type = 'index' AND name IN "
                           "('ACTES_SUIVI', 'ACTES_FAIT')"),
            {}, [&](sqlite3_stmt* st) {
                found = sqlite3_column_int(st, 0);
                return false;
            });
    return found == 2;
}

} // namespace

SqliteStore::SqliteStore(std::shared_ptr<Database> db)
    : SqlStore(std::make_shared<SqliteConnection>(db),
               hasPractitionerIndexes(*db) ? kDialect : kDialectWithoutPractitionerIndexes),
      m_file(std::move(db)) {}

const Dialect& SqliteStore::fileDialect() {
    return kDialect;
}

std::shared_ptr<SqliteStore> SqliteStore::open(const QString& path, Status* status) {
    auto db = Database::open(path, status);
    if (!db)
        return nullptr;
    if (!db->hasProgramTables()) {
        *status = Status::failure(StoreError::Unreadable,
                                  QStringLiteral("Le fichier %1 n'est pas une base de données Obsledger (tables ACTES "
                                                 "et MEMO absentes).")
                                      .arg(path));
        return nullptr;
    }
    return std::shared_ptr<SqliteStore>(new SqliteStore(std::move(db)));
}

std::optional<qint64> SqliteStore::othersCommits() {
    qint64 version = 0;
    if (!m_file->dataVersion(&version))
        return std::nullopt;
    return version;
}

} // namespace obs
