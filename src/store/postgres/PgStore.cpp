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
    QStringList journalPerformerSchema(bool beforeFill) const override {
        return serverJournalPerformerStatements(beforeFill);
    }
    bool matchesInEngine() const override { return true; }
    QString numberIn(const QString& column, const std::vector<qint64>& numbers, QVariantList* binds) const override {
        *binds << numberList(numbers, '{', '}');
        return QStringLiteral("%1 = ANY(?::bigint[])").arg(column);
    }
};

const PgDialect kDialect;

// What a new act holds as the entry screen records it: every column it writes.
bool sameEntry(const Act& a, const Act& b) {
    return a.surname == b.surname && a.firstName == b.firstName && a.date == b.date && a.followedBy == b.followedBy &&
           a.performedBy == b.performedBy && a.act == b.act && a.code == b.code &&
           a.nightOrHoliday == b.nightOrHoliday && a.secondary == b.secondary && a.price == b.price &&
           a.excess == b.excess;
}

// The acts of the store; a write cut off by the loss of the server is never sent again: once the
// server answers, what is stored says whether it was made.
class CheckedActs final : public ActsTable {
public:
    CheckedActs(ActsTable& acts, PgConnection& server) : m_acts(acts), m_server(server) {}

    Status find(qint64 number, Act* act, bool* found) override { return m_acts.find(number, act, found); }
    Status findMany(const std::vector<qint64>& numbers, std::vector<Act>* acts) override {
        return m_acts.findMany(numbers, acts);
    }
    Status update(const Act& shown, const Act& edited, bool withDate, const std::optional<Receipt>& receipt) override {
        const Status s = m_acts.update(shown, edited, withDate, receipt);
        if (s.error != StoreError::ConnectionLost)
            return s;
        Act now;
        bool found = false;
        if (!m_server.connected() || !m_acts.find(shown.number, &now, &found))
            return s; // the server is still away: not known
        if (!found)
            return Status::failure(StoreError::NoCurrentRecord, QStringLiteral("Aucun enregistrement en cours."));
        Act saved = edited;
        saved.number = shown.number;
        saved.reversed = shown.reversed;
        saved.reversalDate = shown.reversalDate;
        if (!withDate)
            saved.date = shown.date;
        if (now == saved)
            return Status::success();
        if (now == shown)
            return m_server.lost(PgConnection::Lost::NothingWritten);
        return Status::failure(StoreError::Changed,
                               QStringLiteral("Cette fiche a été modifiée sur un autre poste depuis son affichage."));
    }
    Status remove(qint64 number) override { return m_acts.remove(number); }
    // The last number given out before, so that an act created before the loss can be found
    // among those numbered after it.
    Status append(const Act& act, qint64* number) override {
        qint64 last = -1;
        Status s = m_server.exec(QStringLiteral("SELECT coalesce(max(numint), 0) FROM actes"), {}, [&](const PgRow& r) {
            last = r.integer(0).value_or(-1);
            return false;
        });
        if (!s)
            return s;
        s = m_acts.append(act, number);
        if (s.error != StoreError::ConnectionLost || !m_server.connected())
            return s;
        std::vector<qint64> numbers;
        const Status read =
            m_server.exec(QStringLiteral("SELECT numint FROM actes WHERE numint > ?::bigint ORDER BY numint LIMIT 100"),
                          {last}, [&](const PgRow& r) {
                              numbers.push_back(r.integer(0).value_or(0));
                              return true;
                          });
        std::vector<Act> created;
        if (!read || !m_acts.findMany(numbers, &created))
            return s;
        std::vector<qint64> same;
        for (const Act& a : created) {
            if (sameEntry(a, act))
                same.push_back(a.number);
        }
        if (same.empty())
            return m_server.lost(PgConnection::Lost::NothingWritten);
        if (same.size() > 1)
            return s; // another workstation entered the same act meanwhile: which one is this one's is not known
        *number = same.front();
        return Status::success();
    }
    Status listing(ListingKind kind, const Period& period, const SearchCriteria& criteria,
                   const std::function<bool(const ListingRow&)>& each, std::optional<Money>* total) override {
        return m_acts.listing(kind, period, criteria, each, total);
    }
    Status listingTotal(ListingKind kind, const Period& period, const SearchCriteria& criteria,
                        std::optional<Money>* total) override {
        return m_acts.listingTotal(kind, period, criteria, total);
    }
    Status pairSums(const Period& period, const QString& follower, const QString& performer, PairSums* sums) override {
        return m_acts.pairSums(period, follower, performer, sums);
    }
    Status latestOfPair(const QString& follower, const QString& performer, std::optional<qint64>* number) override {
        return m_acts.latestOfPair(follower, performer, number);
    }
    // A sum paid over is added to what the act holds: sent twice, it would be counted twice. What
    // the act held before tells whether it was added.
    Status addReversal(qint64 number, qint64 day, Money amount, bool* changed, PaymentMode mode) override {
        Act before;
        bool found = false;
        Status s = m_acts.find(number, &before, &found);
        if (!s)
            return s;
        s = m_acts.addReversal(number, day, amount, changed, mode);
        if (s.error != StoreError::ConnectionLost || !found || !m_server.connected())
            return s;
        Act now;
        if (!m_acts.find(number, &now, &found) || !found)
            return s;
        const std::optional<Money> added = before.reversed.value_or(Money()).plus(amount);
        if (added && now.reversed == added && now.reversalDate == day) {
            *changed = true;
            return Status::success();
        }
        if (now.reversed == before.reversed && now.reversalDate == before.reversalDate)
            return m_server.lost(PgConnection::Lost::NothingWritten);
        return s;
    }
    Status yearStatement(int year, const QString& performer, YearStatement* statement) override {
        return m_acts.yearStatement(year, performer, statement);
    }

private:
    ActsTable& m_acts;
    PgConnection& m_server;
};

} // namespace

PgStore::PgStore(std::shared_ptr<PgConnection> db)
    : SqlStore(std::make_shared<PgLink>(db), kDialect), m_server(std::move(db)),
      m_acts(std::make_unique<CheckedActs>(SqlStore::acts(), *m_server)) {}

obs::ActsTable& PgStore::acts() {
    return *m_acts;
}

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
