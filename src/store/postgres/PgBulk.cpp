// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/postgres/PgBulk.h"

#include "store/postgres/PgChangeNotices.h"
#include "store/postgres/PgConnection.h"
#include "store/postgres/PgSchema.h"
#include "store/postgres/PgStore.h"

#include <QElapsedTimer>
#include <QThread>

namespace obs::pg_bulk {

namespace {

class ServerSide final : public SqlBulkSide {
public:
    explicit ServerSide(std::shared_ptr<PgConnection> db) : SqlBulkSide(PgStore::over(db), 1000), m_db(std::move(db)) {}
    // One snapshot of both tables, however long the copy takes.
    Status beginRead() override {
        return m_db->script(QStringLiteral("BEGIN ISOLATION LEVEL REPEATABLE READ READ ONLY; SET LOCAL "
                                           "statement_timeout = 0"));
    }
    // The journal goes with the acts it describes. The workstations' role may not remove its
    // entries: the function the tables' owner made for it empties it, and only once the acts and
    // the lists are gone in the same transaction (a restore or a copy, never a change of an act).
    Status beginWrite() override {
        bool ready = false;
        // A journal of an earlier version, without the performer's columns, is its owner's to upgrade.
        Status s = m_db->exec(QStringLiteral("SELECT to_regclass('journal') IS NOT NULL AND "
                                             "to_regprocedure('obs_journal_vider()') IS NOT NULL AND EXISTS (SELECT "
                                             "1 FROM information_schema.columns WHERE table_schema = "
                                             "current_schema() AND table_name = 'journal' AND column_name = "
                                             "'medreprise')"),
                              {}, [&](const PgRow& r) {
                                  ready = r.text(0) == QLatin1String("t");
                                  return false;
                              });
        if (s && !ready)
            return Status::failure(
                StoreError::ReadOnly,
                QStringLiteral(
                    "la base %1 n'a pas encore de journal des actes, ou celui d'une "
                    "version antérieure : son propriétaire la met à jour d'abord (obsledger-admin upgrade ADRESSE).")
                    .arg(m_db->location()));
        if (s)
            // The journal's head first, as every workstation's change takes it: a save waits for the
            // copy rather than holding an act the copy waits on.
            s = m_db->script(QStringLiteral("BEGIN; SET LOCAL statement_timeout = 0; LOCK TABLE journal_tete IN SHARE "
                                            "ROW EXCLUSIVE MODE; DELETE FROM actes; DELETE FROM memo; SELECT "
                                            "obs_journal_vider()"));
        return s;
    }
    bool hasJournal() override {
        bool present = false;
        m_db->exec(QStringLiteral("SELECT to_regclass('journal_tete') IS NOT NULL"), {}, [&](const PgRow& r) {
            present = r.text(0) == QLatin1String("t");
            return false;
        });
        return present;
    }
    Status openJournal(qint64* opened) override {
        Status s = flush(true);
        if (s)
            s = PgStore::over(m_db)->openEveryAct(opened);
        return s;
    }
    Status write(bool acts, const QVariantList& row) override {
        // Rows go in batches: one statement for many rows, far fewer round trips.
        auto& batch = acts ? m_acts : m_memo;
        // An entry's id is its place in the order of entry.
        if (!acts)
            batch << QVariant::fromValue<qint64>(++m_memoId);
        batch << row;
        if (batch.size() >= 21 * 1000)
            return flush(acts);
        return Status::success();
    }
    Status commit() override {
        Status s = flush(true);
        if (s)
            s = flush(false);
        if (s)
            s = flushJournal();
        // The next act and entry take numbers after the copied ones, and never a number already
        // given out before the copy (the file engine keeps its highest number the same way).
        if (s)
            s = m_db->script(QStringLiteral("%1; %2; COMMIT")
                                 .arg(nextNumberPast("actes_numint_seq", "numint", "actes"),
                                      nextNumberPast("memo_id_seq", "id", "memo")));
        if (s)
            analyse();
        return s;
    }

private:
    // A cursor, a few thousand rows at a time: the server's answer is not held whole. Its columns
    // hold only what the program writes, texts and whole numbers, as a copy carries them.
    Status readRows(const QString& sql, std::span<const BulkColumn> columns, bool, const RowSink& each) override {
        Status s = m_db->script(QStringLiteral("DECLARE copie NO SCROLL CURSOR FOR ") + sql);
        while (s) {
            int rows = 0;
            Status inner;
            s = m_db->exec(QStringLiteral("FETCH 5000 FROM copie"), {}, [&](const PgRow& r) {
                ++rows;
                QVariantList row;
                for (int i = 0; i < r.columns(); ++i) {
                    const BulkKind k = columns[size_t(i)].kind;
                    row << (r.isNull(i)           ? QVariant()
                            : k == BulkKind::Text ? QVariant(r.text(i))
                                                  : QVariant::fromValue<qint64>(r.integer(i).value_or(0)));
                }
                inner = each(row);
                return inner.ok();
            });
            if (s && !inner)
                s = inner;
            if (!s || rows == 0)
                break;
        }
        if (s)
            s = m_db->script(QStringLiteral("CLOSE copie"));
        return s;
    }
    Status writeHead(qint64 number, const QString& hash) override {
        return m_db->exec(QStringLiteral("UPDATE journal_tete SET numj = ?, hash = ?"),
                          {QVariant::fromValue(number), hash});
    }

    static QString nextNumberPast(const char* sequence, const char* column, const char* table) {
        return QStringLiteral("SELECT setval('%1', greatest(coalesce((SELECT max(%2) FROM %3), 0) + 1, (SELECT CASE "
                              "WHEN is_called THEN last_value + 1 ELSE last_value END FROM %1)), false)")
            .arg(QString::fromLatin1(sequence), QString::fromLatin1(column), QString::fromLatin1(table));
    }

    // The planner's statistics describe the rows just brought in at once, rather than once the
    // server gets round to it: the first listings are planned on them. Through the function the
    // tables' owner made for it (ANALYZE is the owner's right); a base made before it had one is
    // analysed directly, which only its owner may do. A failure here leaves the copy as it is.
    void analyse() {
        bool owned = false;
        m_db->exec(QStringLiteral("SELECT to_regprocedure('obs_analyse()') IS NOT NULL"), {}, [&](const PgRow& r) {
            owned = r.text(0) == QLatin1String("t");
            return false;
        });
        if (!m_db->script(
                QStringLiteral("BEGIN; SET LOCAL statement_timeout = 0; %1; COMMIT")
                    .arg(owned ? QStringLiteral("SELECT obs_analyse()") : QStringLiteral("ANALYZE actes, memo"))))
            m_db->script(QStringLiteral("ROLLBACK"));
    }

    Status flush(bool acts) {
        auto& batch = acts ? m_acts : m_memo;
        if (batch.isEmpty())
            return Status::success();
        const qsizetype width =
            qsizetype(acts ? bulkActs().size() : bulkMemo().size() + 1); // memo rows lead with their id
        QStringList tuples;
        const QString one = u'(' + bulkMarks(width) + u')';
        for (qsizetype i = 0; i < batch.size() / width; ++i)
            tuples << one;
        // The memo rows keep their order of entry through id, given in order.
        const QString sql = acts ? QStringLiteral("INSERT INTO actes (%1) VALUES %2")
                                       .arg(bulkColumnNames(dialect(), true), tuples.join(QStringLiteral(", ")))
                                 : QStringLiteral("INSERT INTO memo (id, %1) VALUES %2")
                                       .arg(bulkColumnNames(dialect(), false), tuples.join(QStringLiteral(", ")));
        const Status s = m_db->exec(sql, batch);
        batch.clear();
        return s;
    }
    std::shared_ptr<PgConnection> m_db;
    QVariantList m_acts;
    QVariantList m_memo;
    qint64 m_memoId = 0;
};

} // namespace

std::unique_ptr<BulkSide> openSide(const QString& conninfo, Status* s) {
    auto db = PgConnection::open(conninfo, s);
    if (!db)
        return nullptr;
    if (Status t = checkServerTables(*db); !t) {
        *s = Status::failure(
            StoreError::Unreadable,
            QStringLiteral("la base %1 n'a pas les tables d'Obsledger (obsledger-admin init)").arg(db->location()));
        return nullptr;
    }
    return std::make_unique<ServerSide>(std::shared_ptr<PgConnection>(std::move(db)));
}

std::optional<qint64> countActs(const QString& conninfo) {
    Status s;
    auto db = PgConnection::open(conninfo, &s);
    std::optional<qint64> acts;
    if (db)
        db->exec(QStringLiteral("SELECT count(*) FROM actes"), {}, [&](const PgRow& r) {
            acts = r.integer(0);
            return false;
        });
    return acts;
}

Status createBase(const QString& conninfo, NewBaseStep* step, const std::vector<ReferenceEntry>& entries,
                  const JournaledActSource& acts) {
    *step = NewBaseStep::NotReached;
    Status s;
    auto db = PgConnection::open(conninfo, &s);
    if (!db)
        return s;
    if (db->exec(QStringLiteral("SELECT 1 FROM actes LIMIT 1")).ok()) {
        *step = NewBaseStep::AlreadyThere;
        return Status::failure(StoreError::Failed,
                               QStringLiteral("La base %1 a déjà les tables d'Obsledger : elle n'a pas été modifiée.")
                                   .arg(db->location()));
    }
    *step = NewBaseStep::NotFilled;
    s = createServerSchema(*db);
    if (s && (!entries.empty() || acts))
        s = appendJournaledRows(conninfo, entries, acts);
    if (s)
        *step = NewBaseStep::Made;
    return s;
}

namespace {
// A connection to a base that has the program's tables; nothing, with *s saying why, otherwise.
std::unique_ptr<PgConnection> openProgramBase(const QString& conninfo, Status* s) {
    auto db = PgConnection::open(conninfo, s);
    if (db)
        *s = checkServerTables(*db);
    return *s ? std::move(db) : nullptr;
}
} // namespace

Status checkBase(const QString& conninfo) {
    Status s;
    openProgramBase(conninfo, &s);
    return s;
}

Status upgrade(const QString& conninfo, qint64* opened) {
    Status s;
    auto db = openProgramBase(conninfo, &s);
    // The journal first, in one transaction of its own: the rights given next name its tables.
    if (s) {
        const std::shared_ptr<PgStore> store = PgStore::open(conninfo, &s);
        if (store)
            s = store->journal().create(opened);
    }
    if (s)
        s = replaceServerTextFunctions(*db);
    if (s) {
        db.reset();
        db = PgConnection::open(conninfo, &s);
        if (db)
            s = rebuildServerIndexes(*db);
    }
    // The base announces its changes to the workstations from now on.
    if (s)
        s = installServerChangeNotices(*db);
    return s;
}

QString workstationRole() {
    return kServerRole;
}

namespace {

// The server's lock that one administration command holds on a base (its two keys).
constexpr int kHoldClass = 0x4F424C47;
constexpr int kHoldObject = 1;

class ServerHold final : public BaseHold {
public:
    explicit ServerHold(std::unique_ptr<PgConnection> db) : m_db(std::move(db)) {}

private:
    std::unique_ptr<PgConnection> m_db; // the lock lasts as long as its session
};

} // namespace

std::unique_ptr<BaseHold> holdBase(const QString& conninfo, const QString& command, int waitMs, Status* status) {
    auto db = PgConnection::open(conninfo, status);
    if (!db)
        return nullptr;
    // Another command is told who holds the base by the session's name, which the server keeps in
    // plain ASCII: guillemets become quotes, accents go.
    QString name = command;
    name.replace(QStringLiteral("« "), QStringLiteral("\"")).replace(QStringLiteral(" »"), QStringLiteral("\""));
    name.replace(u'«', u'"').replace(u'»', u'"');
    name = name.normalized(QString::NormalizationForm_D);
    name.removeIf([](QChar c) { return c.unicode() > 126 || c.unicode() < 32; });
    Status s = db->exec(QStringLiteral("SELECT set_config('application_name', ?, false)"), {name.left(63)});
    QElapsedTimer clock;
    clock.start();
    while (s) {
        bool taken = false;
        s = db->exec(QStringLiteral("SELECT pg_try_advisory_lock(?::integer, ?::integer)"), {kHoldClass, kHoldObject},
                     [&](const PgRow& r) {
                         taken = r.text(0) == QLatin1String("t");
                         return false;
                     });
        if (s && taken)
            return std::make_unique<ServerHold>(std::move(db));
        if (s && clock.elapsed() >= waitMs) {
            QString holder;
            db->exec(QStringLiteral("SELECT a.application_name FROM pg_locks l JOIN pg_stat_activity a ON a.pid = "
                                    "l.pid WHERE l.locktype = 'advisory' AND l.granted AND l.classid = ?::integer "
                                    "AND l.objid = ?::integer AND l.database = (SELECT oid FROM pg_database WHERE "
                                    "datname = current_database())"),
                     {kHoldClass, kHoldObject}, [&](const PgRow& r) {
                         holder = r.text(0);
                         return false;
                     });
            *status = Status::failure(
                StoreError::Locked,
                QStringLiteral("%1 est en cours d'utilisation par %2 : rien n'a été fait. Relancez la commande quand "
                               "celle-ci sera terminée.")
                    .arg(PgConnection::describe(conninfo),
                         holder.trimmed().isEmpty() ? QStringLiteral("une autre commande d'administration") : holder));
            return nullptr;
        }
        if (s)
            QThread::msleep(100);
    }
    *status = s;
    return nullptr;
}

bool hasPassword(const QString& conninfo) {
    return PgConnection::hasPassword(conninfo);
}

} // namespace obs::pg_bulk
