// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/postgres/PgStore.h"

#include "common/FrenchText.h"
#include "store/postgres/PgSchema.h"

namespace obs {

namespace {

class PgLink final : public Connection {
public:
    explicit PgLink(std::shared_ptr<PgConnection> db) : m_db(std::move(db)) {}

    bool isOpen() const override { return m_db->isOpen(); }
    Status run(const QString& sql, const QVariantList& binds, const std::function<bool(const SqlRow&)>& each,
               qint64* changes) override {
        if (!each)
            return m_db->exec(sql, binds, {}, changes);
        return m_db->exec(
            sql, binds, [&](const PgRow& r) { return each(r); }, changes);
    }
    Status beginWriting(const QStringList& tables) override {
        Status s = m_db->script(QStringLiteral("BEGIN"));
        if (s && !tables.isEmpty())
            s = m_db->exec(QStringLiteral("LOCK TABLE %1 IN SHARE ROW EXCLUSIVE MODE").arg(tables.join(u',')));
        if (!s)
            rollback();
        return s;
    }
    Status beginReading() override {
        return m_db->script(QStringLiteral("BEGIN ISOLATION LEVEL REPEATABLE READ READ ONLY"));
    }
    Status commit() override { return m_db->script(QStringLiteral("COMMIT")); }
    QString role() override {
        if (m_role.isEmpty()) {
            m_db->exec(QStringLiteral("SELECT current_user"), {}, [&](const PgRow& r) {
                m_role = r.text(0);
                return false;
            });
        }
        return m_role;
    }
    void rollback() override { m_db->script(QStringLiteral("ROLLBACK")); }

private:
    std::shared_ptr<PgConnection> m_db;
    QString m_role;
};

// Names in lower case; the program's text order through the functions the schema installs
// (obs_fold: base letters; obs_case: the tie between equal base letters); values given their kind
// where the server cannot infer it.
class PgDialect final : public Dialect {
public:
    QString name(const QString& column) const override { return column.toLower(); }
    QString memoId() const override { return QStringLiteral("id"); }
    QString textMark() const override { return QStringLiteral("?::text"); }
    QString numberMark() const override { return QStringLiteral("?::bigint"); }
    QString nullsFirst() const override { return QStringLiteral(" NULLS FIRST"); }
    QString nullsLastDescending() const override { return QStringLiteral(" NULLS LAST"); }
    QString dayListingTie() const override { return QStringLiteral(", numint"); }
    QStringList textKeys(const QString& column) const override {
        return {QStringLiteral("obs_fold(%1)").arg(column), QStringLiteral("obs_case(%1)").arg(column)};
    }
    QString expressionOrder(const QString& e) const override { return textKeys(e).join(QStringLiteral(", ")); }
    QString primaryKey(const QString& e) const override { return QStringLiteral("obs_fold(%1)").arg(e); }
    QString bytewise(const QString& e) const override { return e + QStringLiteral(" COLLATE \"C\""); }
    QString textEquals(const QString& column, const QString& value, QVariantList* binds) const override {
        *binds << value << value;
        return QStringLiteral("obs_fold(%1) = obs_fold(?) AND obs_case(%1) = obs_case(?)").arg(column);
    }
    QString textAtOrAfter(const QString& column, const QString& value, QVariantList* binds) const override {
        *binds << value << value;
        return QStringLiteral("(%1) >= (obs_fold(?), obs_case(?))").arg(expressionOrder(column));
    }
    QString sameText(const QString& column) const override {
        return QStringLiteral("coalesce(%1, '') = ?::text").arg(column);
    }
    QString nullSafe(bool equal) const override {
        return equal ? QStringLiteral(" IS NOT DISTINCT FROM ") : QStringLiteral(" IS DISTINCT FROM ");
    }
    // A pattern becomes a regular expression over the texts as LIKE folds them.
    QString nameMatch(const QString& column, const QString& pattern, QVariantList* binds, bool) const override {
        if (!hasWildcard(pattern)) {
            *binds << pattern;
            return QStringLiteral("(obs_fold(%1) = obs_fold(?::text))").arg(column);
        }
        const auto re = likeRegex(pattern);
        if (!re)
            return QStringLiteral("FALSE");
        *binds << *re;
        return QStringLiteral("(obs_likefold(%1) ~ ?::text)").arg(column);
    }
    bool stepsInTwoSeeks() const override { return false; }
    QStringList journalSchema() const override { return serverJournalStatements(); }
};

const PgDialect kDialect;

} // namespace

PgStore::PgStore(std::shared_ptr<PgConnection> db)
    : SqlStore(std::make_shared<PgLink>(db), kDialect), m_server(std::move(db)) {}

std::shared_ptr<PgStore> PgStore::open(const QString& conninfo, Status* status) {
    std::shared_ptr<PgConnection> db = PgConnection::open(conninfo, status);
    if (!db)
        return nullptr;
    if (!checkServerTables(*db)) {
        *status =
            Status::failure(StoreError::Unreadable,
                            QStringLiteral("La base de données du serveur %1 n'est pas une base Obsledger (tables "
                                           "ACTES et MEMO absentes ou illisibles).")
                                .arg(db->location()));
        return nullptr;
    }
    return std::shared_ptr<PgStore>(new PgStore(std::move(db)));
}

qint64 PgStore::serverSession() {
    qint64 session = 0;
    m_server->exec(QStringLiteral("SELECT pg_backend_pid()"), {}, [&](const PgRow& r) {
        session = r.integer(0).value_or(0);
        return false;
    });
    return session;
}

} // namespace obs
