// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/postgres/PgStore.h"

#include "store/postgres/PgSchema.h"

namespace obs {

namespace {

const QString kActColumns = QStringLiteral(
    "numint, nom, prenom, date, medsuit, medacte, acte, ccam1, nf, ccam2, ccam3, ccam4, ccam5, ccam6, prix, de, "
    "payesecu, payecomple, payede, reverse, daterev");
const QString kMemoColumns = QStringLiteral("numeros, texte, ccam, tarifs, mut1, mut2, mut3, mut4, mut5, mut6");

QVariant bound(qint64 v) {
    return QVariant::fromValue<qint64>(v);
}
QVariant bound(const std::optional<Money>& m) {
    return m ? bound(m->units()) : QVariant();
}
QVariant bound(const StoredDay& d) {
    return d ? bound(*d) : QVariant();
}

std::optional<Money> moneyAt(const PgRow& r, int c) {
    const auto v = r.integer(c);
    return v ? std::optional<Money>(Money::fromUnits(*v)) : std::nullopt;
}

// Columns from `first` on, in the order of kActColumns.
Act actAt(const PgRow& r, int first) {
    Act a;
    int c = first;
    a.number = r.integer(c++).value_or(0);
    a.surname = r.text(c++);
    a.firstName = r.text(c++);
    a.date = r.integer(c++);
    a.followedBy = r.text(c++);
    a.performedBy = r.text(c++);
    a.act = r.text(c++);
    a.code = r.text(c++);
    a.nightOrHoliday = r.text(c++);
    for (auto& line : a.secondary)
        line = r.text(c++);
    a.price = moneyAt(r, c++);
    a.excess = moneyAt(r, c++);
    a.paidSecu = moneyAt(r, c++);
    a.paidComplementary = moneyAt(r, c++);
    a.paidExcess = moneyAt(r, c++);
    a.reversed = moneyAt(r, c++);
    a.reversalDate = r.integer(c++);
    return a;
}

// Columns from `first` on, in the order of kMemoColumns.
ReferenceEntry entryAt(const PgRow& r, int first) {
    ReferenceEntry e;
    int c = first;
    e.list = referenceListOf(int(r.integer(c++).value_or(0))).value_or(ReferenceList::Practitioners);
    e.label = r.text(c++);
    e.code = r.text(c++);
    e.tariff = moneyAt(r, c++);
    for (auto& excess : e.excesses)
        excess = moneyAt(r, c++);
    return e;
}

// Text order of a column: base letters, then accents, never case.
QString textKeys(const QString& column) {
    return QStringLiteral("obs_fold(%1), obs_case(%1)").arg(column);
}

// A practitioner or act criterion: a name without wildcard is an equality of base letters, which
// the pair index answers; a pattern is matched as the file engine's LIKE matches it.
QString nameMatch(const QString& column, const QString& pattern, QVariantList* binds) {
    if (!hasWildcard(pattern)) {
        *binds << pattern;
        return QStringLiteral("(obs_fold(%1) = obs_fold(?::text))").arg(column);
    }
    const auto re = serverPatternRegex(pattern);
    if (!re)
        return QStringLiteral("FALSE");
    *binds << *re;
    return QStringLiteral("(obs_likefold(%1) ~ ?::text)").arg(column);
}

// The same, joined to the conditions before it.
QString patternCondition(const QString& column, const QString& pattern, QVariantList* binds) {
    return QStringLiteral(" AND ") + nameMatch(column, pattern, binds);
}

// What is still to collect on an act, as the main window computes it.
const QString kRemainder = QStringLiteral(
    "(coalesce(prix, 0) + coalesce(de, 0) - coalesce(payesecu, 0) - coalesce(payecomple, 0) - coalesce(payede, 0))");

QString listingCondition(ListingKind kind, const Period& period, const SearchCriteria& c, QVariantList* binds) {
    QString w = QStringLiteral("WHERE date BETWEEN ? AND ?");
    *binds << bound(period.firstDay) << bound(period.lastDay);
    if (kind == ListingKind::Search || kind == ListingKind::Remainder) {
        if (!c.followedBy.isEmpty())
            w += patternCondition(QStringLiteral("medsuit"), c.followedBy, binds);
        if (!c.performedBy.isEmpty())
            w += patternCondition(QStringLiteral("medacte"), c.performedBy, binds);
        if (!c.act.isEmpty())
            w += patternCondition(QStringLiteral("acte"), c.act + u'*', binds);
        if (!c.nightOrHoliday.isEmpty())
            w += patternCondition(QStringLiteral("nf"), c.nightOrHoliday + u'*', binds);
        if (!c.patient.isEmpty())
            w += patternCondition(QStringLiteral("nom"), c.patient, binds);
        if (kind == ListingKind::Remainder)
            w += QStringLiteral(" AND ") + kRemainder + QStringLiteral(" > 0");
    } else if (kind == ListingKind::Unpaid) {
        w += QStringLiteral(" AND payesecu = 0");
    } else {
        w += QStringLiteral(" AND de <> 0");
    }
    return w;
}

Status noCurrent() {
    return Status::failure(StoreError::NoCurrentRecord, QStringLiteral("Aucun enregistrement en cours."));
}

// The shared result over a table. It keeps only the current row's order keys and number: each
// move asks the index for the neighbour row, so no statement or portal stays open on the server.
class PgRecordCursor final : public RecordCursor {
public:
    struct Shape {
        QString table;
        QString id;      // the row number that breaks ties
        QString columns; // what a record reads
        QString where;   // empty for every row
        QVariantList binds;
        QStringList keys; // never null
        bool acts = false;
        QString findCondition; // with ? marks, each bound to the text sought
        int findBinds = 1;
    };

    PgRecordCursor(std::shared_ptr<PgConnection> db, Shape shape) : m_db(std::move(db)), m_shape(std::move(shape)) {}

    Status start() {
        bool found = false;
        return fetch(QString(), {}, true, &found);
    }

    bool bof() const override { return m_bof; }
    bool eof() const override { return m_eof; }

    Status moveFirst() override { return moveEnd(true); }
    Status moveLast() override { return moveEnd(false); }

    Status moveNext() override {
        if (Status s = usable(); !s)
            return s;
        if (m_eof)
            return noCurrent();
        if (m_bof)
            return moveFirst();
        return step(true);
    }

    Status movePrevious() override {
        if (Status s = usable(); !s)
            return s;
        if (m_bof)
            return noCurrent();
        if (m_eof)
            return moveLast();
        return step(false);
    }

    Status findFirst(const QString& text, bool* matched) override {
        *matched = false;
        if (Status s = usable(); !s)
            return s;
        QVariantList binds;
        for (int i = 0; i < m_shape.findBinds; ++i)
            binds << text;
        return fetch(m_shape.findCondition, binds, true, matched);
    }

    Status currentAfterMove(BrowsedRecord* record) override {
        if (m_read && hasCurrent()) {
            *record = std::move(*m_read);
            m_read.reset();
            return Status::success();
        }
        return current(record);
    }

    Status current(BrowsedRecord* record) override {
        m_read.reset();
        if (Status s = usable(); !s)
            return s;
        if (!hasCurrent())
            return noCurrent();
        bool found = false;
        Status s =
            m_db->exec(QStringLiteral("SELECT %1 FROM %2 WHERE %3 = ?").arg(m_shape.columns, m_shape.table, m_shape.id),
                       {m_id}, [&](const PgRow& r) {
                           if (m_shape.acts)
                               *record = actAt(r, 0);
                           else
                               *record = entryAt(r, 0);
                           found = true;
                           return false;
                       });
        if (s && !found)
            return noCurrent();
        return s;
    }

private:
    Status usable() const {
        if (!m_db || !m_db->isOpen())
            return Status::failure(StoreError::Closed, QStringLiteral("La base de données est fermée."));
        return Status::success();
    }

    QString order(bool forward) const {
        QStringList parts;
        const QString dir = forward ? QString() : QStringLiteral(" DESC");
        for (const QString& k : m_shape.keys)
            parts << k + dir;
        parts << m_shape.id + dir;
        return parts.join(QStringLiteral(", "));
    }

    // Moves to the first row of the order (or of the reverse order) meeting the condition, reading
    // the record itself in the same statement.
    Status fetch(const QString& condition, const QVariantList& binds, bool forward, bool* found) {
        *found = false;
        m_read.reset();
        QStringList conds;
        QVariantList all;
        if (!m_shape.where.isEmpty()) {
            conds << u'(' + m_shape.where + u')';
            all << m_shape.binds;
        }
        if (!condition.isEmpty())
            conds << u'(' + condition + u')';
        all << binds;
        QStringList selected = m_shape.keys;
        selected << m_shape.id << m_shape.columns;
        QString sql = QStringLiteral("SELECT %1 FROM %2").arg(selected.join(QStringLiteral(", ")), m_shape.table);
        if (!conds.isEmpty())
            sql += QStringLiteral(" WHERE ") + conds.join(QStringLiteral(" AND "));
        sql += QStringLiteral(" ORDER BY ") + order(forward) + QStringLiteral(" LIMIT 1");
        return m_db->exec(sql, all, [&](const PgRow& r) {
            m_keys.clear();
            for (int i = 0; i < m_shape.keys.size(); ++i)
                m_keys << r.text(i);
            const int id = int(m_shape.keys.size());
            m_id = QVariant::fromValue<qint64>(r.integer(id).value_or(0));
            if (m_shape.acts)
                m_read = actAt(r, id + 1);
            else
                m_read = entryAt(r, id + 1);
            m_bof = m_eof = false;
            *found = true;
            return false;
        });
    }

    Status moveEnd(bool first) {
        if (Status s = usable(); !s)
            return s;
        bool found = false;
        Status s = fetch(QString(), {}, first, &found);
        if (s && !found) {
            m_bof = m_eof = true;
            return noCurrent();
        }
        return s;
    }

    Status step(bool forward) {
        QStringList marks;
        for (int i = 0; i <= m_shape.keys.size(); ++i)
            marks << QStringLiteral("?");
        QStringList cols = m_shape.keys;
        cols << m_shape.id;
        const QString cond =
            QStringLiteral("(%1) %2 (%3)")
                .arg(cols.join(QStringLiteral(", ")), forward ? QStringLiteral(">") : QStringLiteral("<"),
                     marks.join(QStringLiteral(", ")));
        bool found = false;
        Status s = fetch(cond, m_keys + QVariantList{m_id}, forward, &found);
        if (s && !found) {
            m_eof = forward;
            m_bof = !forward;
        }
        return s;
    }

    std::shared_ptr<PgConnection> m_db;
    Shape m_shape;
    bool m_bof = true;
    bool m_eof = true;
    QVariantList m_keys;
    QVariant m_id;
    std::optional<BrowsedRecord> m_read; // the record the last move read, until handed over
};

} // namespace

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

std::unique_ptr<RecordCursor> PgStore::browse(const BrowseQuery& query, Status* status) {
    PgRecordCursor::Shape shape;
    switch (query.source) {
    case BrowseQuery::Source::ActsByName:
    case BrowseQuery::Source::AllActs:
        shape.table = QStringLiteral("actes");
        shape.id = QStringLiteral("numint");
        shape.columns = kActColumns;
        shape.acts = true;
        if (query.source == BrowseQuery::Source::ActsByName)
            shape.keys = QStringList{QStringLiteral("obs_fold(nom)"), QStringLiteral("obs_case(nom)"),
                                     QStringLiteral("obs_fold(prenom)"), QStringLiteral("obs_case(prenom)")};
        shape.findCondition = QStringLiteral("(%1) >= (obs_fold(?), obs_case(?))").arg(textKeys(QStringLiteral("nom")));
        shape.findBinds = 2;
        break;
    case BrowseQuery::Source::ReferenceList:
    case BrowseQuery::Source::AllReferenceEntries:
        shape.table = QStringLiteral("memo");
        shape.id = QStringLiteral("id");
        shape.columns = kMemoColumns;
        if (query.source == BrowseQuery::Source::ReferenceList) {
            shape.where = QStringLiteral("numeros = ?");
            shape.binds = {int(query.list)};
            if (query.order == ReferenceOrder::ByLabel)
                shape.keys = QStringList{QStringLiteral("obs_fold(texte)"), QStringLiteral("obs_case(texte)")};
            else if (query.order == ReferenceOrder::ByCatalogue)
                // An entry without its place comes first, as the file engine puts an empty value first.
                shape.keys = QStringList{QStringLiteral("coalesce(\"index\", -9223372036854775808)")};
        }
        shape.findCondition = QStringLiteral("obs_fold(texte) = obs_fold(?) AND obs_case(texte) = obs_case(?)");
        shape.findBinds = 2;
        break;
    }
    auto cursor = std::make_unique<PgRecordCursor>(m_db, std::move(shape));
    *status = cursor->start();
    if (!status->ok())
        return nullptr;
    return cursor;
}

// ---- Acts ----

Status PgStore::find(qint64 number, Act* act, bool* found) {
    *found = false;
    return m_db->exec(QStringLiteral("SELECT %1 FROM actes WHERE numint = ?").arg(kActColumns), {bound(number)},
                      [&](const PgRow& r) {
                          *act = actAt(r, 0);
                          *found = true;
                          return false;
                      });
}

Status PgStore::findMany(const std::vector<qint64>& numbers, std::vector<Act>* acts) {
    return findInChunks(numbers, acts, [&](const QString& marks, const QVariantList& binds, const auto& each) {
        return m_db->exec(QStringLiteral("SELECT %1 FROM actes WHERE numint IN (%2)").arg(kActColumns, marks), binds,
                          [&](const PgRow& r) {
                              each(actAt(r, 0));
                              return true;
                          });
    });
}

namespace {
// "every column as shown": texts compared exactly (case counts, an empty text matches a missing
// one), numbers and days by value.
QString unchangedCondition(const Act& shown, QVariantList* binds) {
    QString w;
    const std::pair<const char*, const QString*> texts[] = {
        {"nom", &shown.surname},         {"prenom", &shown.firstName},   {"medsuit", &shown.followedBy},
        {"medacte", &shown.performedBy}, {"acte", &shown.act},           {"ccam1", &shown.code},
        {"nf", &shown.nightOrHoliday},   {"ccam2", &shown.secondary[0]}, {"ccam3", &shown.secondary[1]},
        {"ccam4", &shown.secondary[2]},  {"ccam5", &shown.secondary[3]}, {"ccam6", &shown.secondary[4]}};
    for (const auto& [column, value] : texts) {
        w += QStringLiteral(" AND coalesce(%1, '') = ?::text").arg(QLatin1String(column));
        *binds << (value->isNull() ? QStringLiteral("") : *value);
    }
    const std::pair<const char*, const std::optional<Money>*> amounts[] = {
        {"prix", &shown.price},        {"de", &shown.excess},
        {"payesecu", &shown.paidSecu}, {"payecomple", &shown.paidComplementary},
        {"payede", &shown.paidExcess}, {"reverse", &shown.reversed}};
    for (const auto& [column, value] : amounts) {
        w += QStringLiteral(" AND %1 IS NOT DISTINCT FROM ?::bigint").arg(QLatin1String(column));
        *binds << bound(*value);
    }
    w += QStringLiteral(" AND date IS NOT DISTINCT FROM ?::bigint AND daterev IS NOT DISTINCT FROM ?::bigint");
    *binds << bound(shown.date) << bound(shown.reversalDate);
    return w;
}

QString orEmpty(const QString& s) {
    return s.isNull() ? QStringLiteral("") : s;
}
} // namespace

Status PgStore::update(const Act& shown, const Act& a, bool withDate) {
    QString sql = QStringLiteral("UPDATE actes SET ");
    QVariantList binds;
    if (withDate) {
        sql += QStringLiteral("date = ?, ");
        binds << bound(a.date);
    }
    sql += QStringLiteral("acte = ?, medsuit = ?, medacte = ?, ccam1 = ?, nf = ?, ccam2 = ?, ccam3 = ?, ccam4 = ?, "
                          "ccam5 = ?, ccam6 = ?, prix = ?, de = ?, payesecu = ?, payecomple = ?, "
                          "payede = ?, nom = ?, "
                          "prenom = ? WHERE numint = ?");
    binds << a.act << a.followedBy << a.performedBy << a.code << a.nightOrHoliday;
    for (const QString& line : a.secondary)
        binds << line;
    binds << bound(a.price) << bound(a.excess) << bound(a.paidSecu) << bound(a.paidComplementary) << bound(a.paidExcess)
          << orEmpty(a.surname) << orEmpty(a.firstName) << bound(shown.number);
    sql += unchangedCondition(shown, &binds);
    qint64 changes = 0;
    Status s = m_db->exec(sql, binds, {}, &changes);
    if (!s || changes > 0)
        return s;
    Act now;
    bool found = false;
    s = find(shown.number, &now, &found);
    if (!s)
        return s;
    if (!found)
        return noCurrent();
    return Status::failure(StoreError::Changed,
                           QStringLiteral("Cette fiche a été modifiée sur un autre poste depuis son affichage."));
}

Status PgStore::remove(qint64 number) {
    qint64 changes = 0;
    Status s = m_db->exec(QStringLiteral("DELETE FROM actes WHERE numint = ?"), {bound(number)}, {}, &changes);
    if (s && changes == 0)
        return noCurrent();
    return s;
}

Status PgStore::append(const Act& a, qint64* number) {
    QVariantList binds{
        orEmpty(a.surname), orEmpty(a.firstName), bound(a.date), a.followedBy, a.performedBy, a.act, a.code,
        a.nightOrHoliday};
    for (const QString& line : a.secondary)
        binds << line;
    binds << bound(a.price) << bound(a.excess);
    *number = 0;
    return m_db->exec(
        QStringLiteral("INSERT INTO actes (nom, prenom, date, medsuit, medacte, acte, ccam1, nf, ccam2, "
                       "ccam3, ccam4, ccam5, ccam6, prix, de) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, "
                       "?, ?, ?) RETURNING numint"),
        binds, [&](const PgRow& r) {
            *number = r.integer(0).value_or(0);
            return false;
        });
}

Status PgStore::listing(ListingKind kind, const Period& period, const SearchCriteria& criteria,
                        const std::function<bool(const ListingRow&)>& each, std::optional<Money>* total) {
    QVariantList binds;
    QString sql = QStringLiteral("SELECT numint, nom, prenom, date, ccam1, de, prix") +
                  (kind == ListingKind::Remainder ? QStringLiteral(", ") + kRemainder : QString()) +
                  QStringLiteral(" FROM actes ") + listingCondition(kind, period, criteria, &binds);
    // The search lists the acts by date, then by name, as the file engine does; the others by name.
    const QString byName =
        QStringLiteral("%1, %2").arg(textKeys(QStringLiteral("nom")), textKeys(QStringLiteral("prenom")));
    sql += kind == ListingKind::Search ? QStringLiteral(" ORDER BY date, %1, numint").arg(byName)
                                       : QStringLiteral(" ORDER BY %1, date, numint").arg(byName);
    ListingRow row;
    ListingSum sum(kind);
    TextPool texts;
    bool stopped = false;
    const Status s = m_db->exec(sql, binds, [&](const PgRow& r) {
        row.number = r.integer(0).value_or(0);
        row.surname = texts.shared(r.text(1));
        row.firstName = texts.shared(r.text(2));
        row.date = r.integer(3);
        row.code = texts.shared(r.text(4));
        row.excess = moneyAt(r, 5);
        if (kind == ListingKind::Remainder) {
            row.remainder = moneyAt(r, 7);
            sum.add(row.remainder);
        } else {
            sum.add(moneyAt(r, 6));
        }
        stopped = !each(row);
        return !stopped;
    });
    if (!s || !total)
        return s;
    Status t = stopped || !sum.fromRows() ? listingTotal(kind, period, criteria, total) : sum.result(total);
    if (!t && t.error != StoreError::Closed)
        t.error = StoreError::TotalMissing;
    return t;
}

Status PgStore::listingTotal(ListingKind kind, const Period& period, const SearchCriteria& criteria,
                             std::optional<Money>* total) {
    QVariantList binds;
    const QString column = kind == ListingKind::Excess      ? QStringLiteral("de")
                           : kind == ListingKind::Remainder ? kRemainder
                                                            : QStringLiteral("prix");
    // The excess total is the sum of DE over every act of the period: the acts without one add nothing.
    const QString sql =
        QStringLiteral("SELECT SUM(%1) FROM actes ").arg(column) +
        (kind == ListingKind::Excess ? listingCondition(ListingKind::Search, period, SearchCriteria{}, &binds)
                                     : listingCondition(kind, period, criteria, &binds));
    *total = std::nullopt;
    return m_db->exec(sql, binds, [&](const PgRow& r) {
        *total = moneyAt(r, 0);
        return false;
    });
}

Status PgStore::pairSums(const Period& period, const QString& follower, const QString& performer, PairSums* sums) {
    QVariantList binds{bound(period.firstDay), bound(period.lastDay)};
    QString sql = QStringLiteral("SELECT SUM(prix), SUM(reverse) FROM actes WHERE date BETWEEN ? AND ?");
    sql += patternCondition(QStringLiteral("medsuit"), follower, &binds);
    sql += patternCondition(QStringLiteral("medacte"), performer, &binds);
    *sums = {};
    return m_db->exec(sql, binds, [&](const PgRow& r) {
        sums->value = moneyAt(r, 0);
        sums->reversed = moneyAt(r, 1);
        return false;
    });
}

Status PgStore::latestOfPair(const QString& follower, const QString& performer, std::optional<qint64>* number) {
    QVariantList binds;
    QString sql = QStringLiteral("SELECT numint FROM actes WHERE TRUE");
    sql += patternCondition(QStringLiteral("medsuit"), follower, &binds);
    sql += patternCondition(QStringLiteral("medacte"), performer, &binds);
    sql += QStringLiteral(" ORDER BY date DESC NULLS LAST, numint DESC LIMIT 1");
    *number = std::nullopt;
    return m_db->exec(sql, binds, [&](const PgRow& r) {
        *number = r.integer(0);
        return false;
    });
}

Status PgStore::addReversal(qint64 number, qint64 day, Money amount, bool* changed) {
    qint64 changes = 0;
    const Status s =
        m_db->exec(QStringLiteral("UPDATE actes SET daterev = ?, reverse = coalesce(reverse, 0) + ? WHERE numint = ?"),
                   {bound(day), bound(amount.units()), bound(number)}, {}, &changes);
    *changed = changes > 0;
    return s;
}

// ---- Reference lists ----

Status PgStore::labels(ReferenceList list, ReferenceOrder order, QStringList* labels) {
    labels->clear();
    QString sql = QStringLiteral("SELECT texte FROM memo WHERE numeros = ? ORDER BY ");
    switch (order) {
    case ReferenceOrder::ByLabel:
        sql += textKeys(QStringLiteral("texte")) + QStringLiteral(", id");
        break;
    case ReferenceOrder::ByCatalogue:
        sql += QStringLiteral("\"index\" NULLS FIRST, id");
        break;
    case ReferenceOrder::AsStored:
        sql += QStringLiteral("id");
        break;
    }
    return m_db->exec(sql, {int(list)}, [&](const PgRow& r) {
        labels->append(r.text(0));
        return true;
    });
}

namespace {
// The first entry (as stored) of a list with this label, without regard to case.
const QString kFirstEntry = QStringLiteral("SELECT id FROM memo WHERE numeros = ? AND obs_fold(texte) = obs_fold(?) "
                                           "AND obs_case(texte) = obs_case(?) ORDER BY id LIMIT 1");
} // namespace

Status PgStore::find(std::optional<ReferenceList> list, const QString& label, ReferenceEntry* entry, bool* found) {
    *found = false;
    QVariantList binds{label, label};
    QString sql = QStringLiteral("SELECT %1 FROM memo WHERE obs_fold(texte) = obs_fold(?) AND obs_case(texte) = "
                                 "obs_case(?)")
                      .arg(kMemoColumns);
    if (list) {
        sql += QStringLiteral(" AND numeros = ?");
        binds << int(*list);
    }
    sql += QStringLiteral(" ORDER BY id LIMIT 1");
    return m_db->exec(sql, binds, [&](const PgRow& r) {
        *entry = entryAt(r, 0);
        *found = true;
        return false;
    });
}

namespace {
void bindEntryValues(const ReferenceEntry& e, QVariantList* binds) {
    *binds << orEmpty(e.label);
    for (const auto& excess : e.excesses)
        *binds << bound(excess);
    *binds << e.code << bound(e.tariff);
}
} // namespace

Status PgStore::add(const ReferenceEntry& entry) {
    QVariantList binds{int(entry.list)};
    bindEntryValues(entry, &binds);
    return m_db->exec(QStringLiteral("INSERT INTO memo (numeros, texte, mut1, mut2, mut3, mut4, mut5, mut6, ccam, "
                                     "tarifs) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"),
                      binds);
}

Status PgStore::modify(const ReferenceEntry& shown, const ReferenceEntry& edited, bool* found) {
    QVariantList binds;
    bindEntryValues(edited, &binds);
    binds << int(shown.list) << shown.label << shown.label << orEmpty(shown.code) << bound(shown.tariff);
    for (const auto& excess : shown.excesses)
        binds << bound(excess);
    qint64 changes = 0;
    Status s = m_db->exec(QStringLiteral("UPDATE memo SET texte = ?, mut1 = ?, mut2 = ?, mut3 = ?, mut4 = ?, mut5 = ?, "
                                         "mut6 = ?, ccam = ?, tarifs = ? WHERE id = (%1) AND coalesce(ccam, '') = "
                                         "?::text AND tarifs IS NOT DISTINCT FROM ?::bigint AND mut1 IS NOT DISTINCT "
                                         "FROM ?::bigint AND mut2 IS NOT DISTINCT FROM ?::bigint AND mut3 IS NOT "
                                         "DISTINCT FROM ?::bigint AND mut4 IS NOT DISTINCT FROM ?::bigint AND mut5 IS "
                                         "NOT DISTINCT FROM ?::bigint AND mut6 IS NOT DISTINCT FROM ?::bigint")
                              .arg(kFirstEntry),
                          binds, {}, &changes);
    *found = changes > 0;
    if (!s || changes > 0)
        return s;
    ReferenceEntry now;
    s = find(shown.list, shown.label, &now, found);
    if (s && *found)
        return Status::failure(StoreError::Changed,
                               QStringLiteral("Cet item a été modifié sur un autre poste depuis son affichage."));
    return s;
}

Status PgStore::remove(ReferenceList list, const QString& label, bool* found) {
    qint64 changes = 0;
    const Status s = m_db->exec(QStringLiteral("DELETE FROM memo WHERE id = (%1)").arg(kFirstEntry),
                                {int(list), label, label}, {}, &changes);
    *found = changes > 0;
    return s;
}

// The insurers in the order labels(ByLabel) gives; a new one after those of the same label, as its
// row will be stored after theirs.
Status PgStore::insurerOrder(const ReferenceChange& change, bool changed, std::vector<MutualSlots::Insurer>* insurers) {
    insurers->clear();
    QString label = QStringLiteral("texte");
    QString where = QStringLiteral("numeros = ?");
    QString added;
    QVariantList binds;
    if (changed && change.kind == ReferenceChange::Kind::Modify) {
        label = QStringLiteral("CASE WHEN id = (%1) THEN ?::text ELSE texte END").arg(kFirstEntry);
        binds << int(change.shown.list) << change.shown.label << change.shown.label << orEmpty(change.edited.label);
    }
    binds << int(ReferenceList::MutualInsurers);
    if (changed && change.kind == ReferenceChange::Kind::Remove) {
        where += QStringLiteral(" AND id IS DISTINCT FROM (%1)").arg(kFirstEntry);
        binds << int(change.shown.list) << change.shown.label << change.shown.label;
    }
    if (changed && change.kind == ReferenceChange::Kind::Add) {
        added = QStringLiteral(" UNION ALL SELECT -1, ?::text, 1");
        binds << orEmpty(change.edited.label);
    }
    const QString sql = QStringLiteral("SELECT id, t FROM (SELECT id, %1 AS t, 0 AS n FROM memo WHERE %2%3) s "
                                       "ORDER BY %4, n, id")
                            .arg(label, where, added, textKeys(QStringLiteral("t")));
    return m_db->exec(sql, binds, [&](const PgRow& r) {
        insurers->push_back({r.integer(0).value_or(0), r.text(1)});
        return true;
    });
}

ReferenceTable::SlotSteps PgStore::slotSteps() {
    SlotSteps steps;
    steps.begin = [this] { return m_db->script(QStringLiteral("BEGIN")); };
    steps.rollback = [this] { m_db->script(QStringLiteral("ROLLBACK")); };
    steps.commit = [this] { return m_db->script(QStringLiteral("COMMIT")); };
    steps.order = [this](const ReferenceChange& change, bool changed, std::vector<MutualSlots::Insurer>* insurers) {
        return insurerOrder(change, changed, insurers);
    };
    steps.write = [this](const ReferenceChange& change, bool* found) {
        switch (change.kind) {
        case ReferenceChange::Kind::Add:
            *found = true;
            return add(change.edited);
        case ReferenceChange::Kind::Modify:
            return modify(change.shown, change.edited, found);
        case ReferenceChange::Kind::Remove:
            break;
        }
        return remove(change.shown.list, change.shown.label, found);
    };
    steps.moveColumns = [this](const MutualSlots::Plan& plan) {
        QStringList sets;
        for (int k = 0; k < MutualSlots::kCount; ++k) {
            const auto& source = plan.sourceOf[size_t(k)];
            if (source != k + 1)
                sets << QStringLiteral("mut%1 = %2")
                            .arg(k + 1)
                            .arg(source ? QStringLiteral("mut%1").arg(*source) : QStringLiteral("NULL"));
        }
        return m_db->exec(QStringLiteral("UPDATE memo SET %1 WHERE numeros IN (?, ?)").arg(sets.join(u", ")),
                          {int(ReferenceList::DeliveryActs), int(ReferenceList::SurgicalActs)});
    };
    return steps;
}

Status PgStore::slotPlan(const ReferenceChange& change, MutualSlots::Plan* plan) {
    return planWith(change, slotSteps(), plan);
}

Status PgStore::apply(const ReferenceChange& change, const MutualSlots::Plan& agreed, bool* found) {
    // Both workstations changing the list at once: the second waits, then reads the list as the
    // first left it.
    SlotSteps steps = slotSteps();
    steps.begin = [this] {
        Status s = m_db->script(QStringLiteral("BEGIN"));
        if (s)
            s = m_db->exec(QStringLiteral("LOCK TABLE memo IN SHARE ROW EXCLUSIVE MODE"));
        if (!s)
            m_db->script(QStringLiteral("ROLLBACK"));
        return s;
    };
    return applyWith(change, agreed, found, steps);
}

// ---- Yearly statement ----

namespace {

// A sum as SQL gives it: 0 when there was nothing to add, nothing when it cannot be held.
std::optional<Money> storedSum(const PgRow& r, int c) {
    if (r.isNull(c))
        return Money();
    const auto v = r.integer(c);
    return v ? Money::fromStored(*v) : std::nullopt;
}

// The month (1 to 12) of a day of the year, from the boundaries bound in order.
QString monthOfDay(const QString& column, const std::array<qint64, 13>& starts, QVariantList* binds) {
    QString e = QStringLiteral("CASE");
    for (int m = 1; m < 12; ++m) {
        e += QStringLiteral(" WHEN %1 < ?::bigint THEN %2").arg(column).arg(m);
        *binds << bound(starts[m]);
    }
    return e + QStringLiteral(" ELSE 12 END");
}

} // namespace

Status PgStore::yearStatement(int year, const QString& performer, YearStatement* statement) {
    *statement = {};
    if (year < kFirstStatementYear || year > kLastStatementYear)
        return Status::failure(StoreError::RefusedValue,
                               QStringLiteral("L'année %1 est hors des années possibles (%2 à %3).")
                                   .arg(year)
                                   .arg(kFirstStatementYear)
                                   .arg(kLastStatementYear));
    const auto starts = monthStarts(year);

    QVariantList binds;
    QString sql = QStringLiteral("SELECT ") + monthOfDay(QStringLiteral("date"), starts, &binds) +
                  QStringLiteral(" AS mois, count(*), sum(prix), sum(de), sum(payesecu), sum(payecomple), sum(payede) "
                                 "FROM actes WHERE date BETWEEN ? AND ?");
    binds << bound(starts[0]) << bound(starts[12] - 1);
    sql += QStringLiteral(" AND ") + nameMatch(QStringLiteral("medacte"), performer, &binds) +
           QStringLiteral(" GROUP BY 1");
    Status s = m_db->exec(sql, binds, [&](const PgRow& r) {
        const auto month = r.integer(0).value_or(0);
        if (month < 1 || month > 12)
            return true;
        StatementFigures& f = statement->months[month - 1];
        f.acts = r.integer(1).value_or(0);
        f.price = storedSum(r, 2);
        f.excess = storedSum(r, 3);
        f.paidSecu = storedSum(r, 4);
        f.paidComplementary = storedSum(r, 5);
        f.paidExcess = storedSum(r, 6);
        return true;
    });
    if (!s) {
        *statement = {};
        return s;
    }

    // Each act of the year between the practitioner and a colleague, whichever performed it: its
    // sum paid over went from the one who performed it to the one who follows the patient.
    binds.clear();
    sql = QStringLiteral("SELECT min(confrere COLLATE \"C\"), sum(CASE WHEN effectue THEN reverse END), "
                         "sum(CASE WHEN effectue THEN NULL ELSE reverse END) FROM (SELECT ");
    sql += nameMatch(QStringLiteral("medacte"), performer, &binds) + QStringLiteral(" AS effectue, CASE WHEN ");
    sql += nameMatch(QStringLiteral("medacte"), performer, &binds) +
           QStringLiteral(" THEN medsuit ELSE medacte END AS confrere, reverse FROM actes WHERE date BETWEEN ? AND ?");
    binds << bound(starts[0]) << bound(starts[12] - 1);
    sql += QStringLiteral(" AND (") + nameMatch(QStringLiteral("medacte"), performer, &binds) + QStringLiteral(" OR ") +
           nameMatch(QStringLiteral("medsuit"), performer, &binds) + QStringLiteral(")");
    sql += QStringLiteral(" AND NOT (") + nameMatch(QStringLiteral("medacte"), performer, &binds) +
           QStringLiteral(" AND ") + nameMatch(QStringLiteral("medsuit"), performer, &binds) + QStringLiteral(")) t");
    sql += QStringLiteral(" WHERE confrere <> '' GROUP BY obs_fold(confrere) HAVING sum(reverse) IS NOT NULL ORDER BY "
                          "obs_fold(min(confrere COLLATE \"C\")), obs_case(min(confrere COLLATE \"C\"))");
    s = m_db->exec(sql, binds, [&](const PgRow& r) {
        statement->reversals.push_back({r.text(0), storedSum(r, 1), storedSum(r, 2)});
        return true;
    });
    if (!s)
        *statement = {};
    return s;
}

} // namespace obs
