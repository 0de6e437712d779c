// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/sqlite/SqliteStore.h"

#include "common/DayNumber.h"
#include "store/sqlite/Cursor.h"

#include <SQLiteCpp/SQLiteCpp.h>
#include <sqlite3.h>

#include <cmath>

namespace obs {

namespace {

const QString kActColumns = QStringLiteral(
    "NUMINT, Nom, Prenom, Date, MEDSUIT, MEDACTE, Acte, CCAM1, NF, CCAM2, CCAM3, CCAM4, CCAM5, CCAM6, PRIX, DE, "
    "PAYESECU, PAYECOMPLE, PAYEDE, REVERSE, DateRev");

QVariant bound(qint64 v) {
    return QVariant::fromValue<qint64>(v);
}
QVariant bound(const std::optional<Money>& m) {
    return m ? bound(m->units()) : QVariant();
}
QVariant bound(const StoredDay& d) {
    return d ? bound(*d) : QVariant();
}

std::optional<Money> moneyOf(const SQLite::Column& c) {
    switch (c.getType()) {
    case SQLITE_INTEGER:
        return Money::fromStored(c.getInt64());
    case SQLITE_FLOAT: {
        const double v = c.getDouble();
        if (!(std::fabs(v) < 9.2e18))
            return std::nullopt;
        return Money::fromStored(std::llround(v));
    }
    case SQLITE_TEXT:
        return Money::parse(QString::fromUtf8(c.getText(), c.getBytes()));
    default:
        return std::nullopt;
    }
}

StoredDay dayOf(const SQLite::Column& c) {
    switch (c.getType()) {
    case SQLITE_INTEGER:
        return storedDayOf(QVariant::fromValue<qint64>(c.getInt64()));
    case SQLITE_FLOAT:
        return storedDayOf(c.getDouble());
    case SQLITE_TEXT:
        return storedDayOf(QVariant(QString::fromUtf8(c.getText(), c.getBytes())));
    default:
        return std::nullopt;
    }
}

QString textOf(const SQLite::Column& c) {
    if (c.isNull())
        return QString();
    return QString::fromUtf8(c.getText(), c.getBytes());
}

// A practitioner or act criterion: the program's wildcards through the connection's LIKE; a name
// without wildcard is an equality of base letters, which the practitioner-pair index answers. Where
// that index would walk a practitioner's whole history instead of the period's acts, the condition
// is kept off it ("+column") and the period's index answers.
QString nameMatch(const QString& column, const QString& pattern, QVariantList* binds, bool seek = true) {
    *binds << pattern;
    const QString operand = seek ? column : u'+' + column;
    if (!hasWildcard(pattern))
        return QStringLiteral("(%1 = ? COLLATE FRENCH_PRIMARY)").arg(operand);
    return QStringLiteral("(%1 LIKE ?)").arg(column);
}

// The same, joined to the conditions before it.
QString patternCondition(const QString& column, const QString& pattern, QVariantList* binds, bool seek = true) {
    return QStringLiteral(" AND ") + nameMatch(column, pattern, binds, seek);
}

// What is still to collect on an act, as the main window computes it.
const QString kRemainder = QStringLiteral(
    "(COALESCE(PRIX, 0) + COALESCE(DE, 0) - COALESCE(PAYESECU, 0) - COALESCE(PAYECOMPLE, 0) - COALESCE(PAYEDE, 0))");

QString listingCondition(ListingKind kind, const Period& period, const SearchCriteria& c, QVariantList* binds) {
    QString w = QStringLiteral("WHERE Date BETWEEN ? AND ?");
    *binds << bound(period.firstDay) << bound(period.lastDay);
    if (kind == ListingKind::Search || kind == ListingKind::Remainder) {
        // Both practitioners named: the pair index seeks the pair's acts of the period directly.
        const bool pair = !c.followedBy.isEmpty() && !c.performedBy.isEmpty() && !hasWildcard(c.followedBy) &&
                          !hasWildcard(c.performedBy);
        if (!c.followedBy.isEmpty())
            w += patternCondition(QStringLiteral("MEDSUIT"), c.followedBy, binds, pair);
        if (!c.performedBy.isEmpty())
            w += patternCondition(QStringLiteral("MEDACTE"), c.performedBy, binds, pair);
        if (!c.act.isEmpty())
            w += patternCondition(QStringLiteral("Acte"), c.act + u'*', binds);
        if (!c.nightOrHoliday.isEmpty())
            w += patternCondition(QStringLiteral("NF"), c.nightOrHoliday + u'*', binds);
        if (!c.patient.isEmpty())
            w += patternCondition(QStringLiteral("Nom"), c.patient, binds, false);
        if (kind == ListingKind::Remainder)
            w += QStringLiteral(" AND ") + kRemainder + QStringLiteral(" > 0");
    } else if (kind == ListingKind::Unpaid) {
        w += QStringLiteral(" AND PAYESECU = 0");
    } else {
        w += QStringLiteral(" AND DE <> 0");
    }
    return w;
}

Status noCurrent() {
    return Status::failure(StoreError::NoCurrentRecord, QStringLiteral("Aucun enregistrement en cours."));
}

// The shared result over a table, its rows handed over as typed records.
class SqliteRecordCursor final : public RecordCursor {
public:
    SqliteRecordCursor(std::unique_ptr<Cursor> cursor, bool acts, QString findCondition)
        : m_cursor(std::move(cursor)), m_acts(acts), m_findCondition(std::move(findCondition)) {}

    bool bof() const override { return m_cursor->bof(); }
    bool eof() const override { return m_cursor->eof(); }
    Status moveFirst() override { return m_cursor->moveFirst(); }
    Status moveLast() override { return m_cursor->moveLast(); }
    Status moveNext() override { return m_cursor->moveNext(); }
    Status movePrevious() override { return m_cursor->movePrevious(); }
    Status findFirst(const QString& text, bool* matched) override {
        return m_cursor->findFirst(m_findCondition, {text}, matched);
    }
    Status current(BrowsedRecord* record) override {
        Row row;
        const Status s = m_cursor->current(&row);
        if (!s)
            return s;
        if (m_acts)
            *record = actOfRow(row);
        else
            *record = referenceEntryOfRow(row);
        return s;
    }

private:
    std::unique_ptr<Cursor> m_cursor;
    bool m_acts;
    QString m_findCondition;
};

} // namespace

Act actOfRow(const Row& row) {
    Act a;
    a.number = row.integer(QStringLiteral("NUMINT")).value_or(0);
    a.surname = row.text(QStringLiteral("Nom"));
    a.firstName = row.text(QStringLiteral("Prenom"));
    a.date = storedDayOf(row.value(QStringLiteral("Date")));
    a.followedBy = row.text(QStringLiteral("MEDSUIT"));
    a.performedBy = row.text(QStringLiteral("MEDACTE"));
    a.act = row.text(QStringLiteral("Acte"));
    a.code = row.text(QStringLiteral("CCAM1"));
    a.nightOrHoliday = row.text(QStringLiteral("NF"));
    for (int i = 0; i < 5; ++i)
        a.secondary[i] = row.text(QStringLiteral("CCAM%1").arg(i + 2));
    a.price = row.money(QStringLiteral("PRIX"));
    a.excess = row.money(QStringLiteral("DE"));
    a.paidSecu = row.money(QStringLiteral("PAYESECU"));
    a.paidComplementary = row.money(QStringLiteral("PAYECOMPLE"));
    a.paidExcess = row.money(QStringLiteral("PAYEDE"));
    a.reversed = row.money(QStringLiteral("REVERSE"));
    a.reversalDate = storedDayOf(row.value(QStringLiteral("DateRev")));
    return a;
}

ReferenceEntry referenceEntryOfRow(const Row& row) {
    ReferenceEntry e;
    e.list =
        referenceListOf(int(row.integer(QStringLiteral("NUMEROS")).value_or(0))).value_or(ReferenceList::Practitioners);
    e.label = row.text(QStringLiteral("TEXTE"));
    e.code = row.text(QStringLiteral("CCAM"));
    e.tariff = row.money(QStringLiteral("TARIFS"));
    for (int k = 0; k < 6; ++k)
        e.excesses[k] = row.money(QStringLiteral("MUT%1").arg(k + 1));
    return e;
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

std::unique_ptr<RecordCursor> SqliteStore::browse(const BrowseQuery& query, Status* status) {
    Cursor::Shape shape;
    bool acts = false;
    QString find;
    switch (query.source) {
    case BrowseQuery::Source::ActsByName:
        shape = {QStringLiteral("ACTES"), {}, {}, {QStringLiteral("Nom"), QStringLiteral("Prenom")}};
        acts = true;
        find = QStringLiteral("Nom >= ?");
        break;
    case BrowseQuery::Source::AllActs:
        shape = {QStringLiteral("ACTES"), {}, {}, {}};
        acts = true;
        find = QStringLiteral("Nom >= ?");
        break;
    case BrowseQuery::Source::ReferenceList: {
        QStringList keys;
        if (query.order == ReferenceOrder::ByLabel)
            keys << QStringLiteral("TEXTE");
        else if (query.order == ReferenceOrder::ByCatalogue)
            keys << QStringLiteral("INDEX");
        shape = {QStringLiteral("MEMO"), QStringLiteral("NUMEROS = ?"), {int(query.list)}, keys};
        find = QStringLiteral("TEXTE = ?");
        break;
    }
    case BrowseQuery::Source::AllReferenceEntries:
        shape = {QStringLiteral("MEMO"), {}, {}, {}};
        find = QStringLiteral("TEXTE = ?");
        break;
    }
    auto cursor = Cursor::open(m_db, std::move(shape), status);
    if (!cursor)
        return nullptr;
    return std::make_unique<SqliteRecordCursor>(std::move(cursor), acts, find);
}

// ---- Acts ----

Status SqliteStore::find(qint64 number, Act* act, bool* found) {
    *found = false;
    return m_db->queryRaw(QStringLiteral("SELECT %1 FROM ACTES WHERE NUMINT = ?").arg(kActColumns), {bound(number)},
                          [&](const Row& row) {
                              *act = actOfRow(row);
                              *found = true;
                              return false;
                          });
}

Status SqliteStore::findMany(const std::vector<qint64>& numbers, std::vector<Act>* acts) {
    return findInChunks(numbers, acts, [&](const QString& marks, const QVariantList& binds, const auto& each) {
        return m_db->queryRaw(QStringLiteral("SELECT %1 FROM ACTES WHERE NUMINT IN (%2)").arg(kActColumns, marks),
                              binds, [&](const Row& row) {
                                  each(actOfRow(row));
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
        {"Nom", &shown.surname},         {"Prenom", &shown.firstName},   {"MEDSUIT", &shown.followedBy},
        {"MEDACTE", &shown.performedBy}, {"Acte", &shown.act},           {"CCAM1", &shown.code},
        {"NF", &shown.nightOrHoliday},   {"CCAM2", &shown.secondary[0]}, {"CCAM3", &shown.secondary[1]},
        {"CCAM4", &shown.secondary[2]},  {"CCAM5", &shown.secondary[3]}, {"CCAM6", &shown.secondary[4]}};
    for (const auto& [column, value] : texts) {
        w += QStringLiteral(" AND ifnull(%1, '') = ? COLLATE BINARY").arg(QLatin1String(column));
        *binds << *value; // a text without value is bound as an empty text
    }
    const std::pair<const char*, const std::optional<Money>*> amounts[] = {
        {"PRIX", &shown.price},        {"DE", &shown.excess},
        {"PAYESECU", &shown.paidSecu}, {"PAYECOMPLE", &shown.paidComplementary},
        {"PAYEDE", &shown.paidExcess}, {"REVERSE", &shown.reversed}};
    for (const auto& [column, value] : amounts) {
        w += QStringLiteral(" AND %1 IS ?").arg(QLatin1String(column));
        *binds << bound(*value);
    }
    w += QStringLiteral(" AND Date IS ? AND DateRev IS ?");
    *binds << bound(shown.date) << bound(shown.reversalDate);
    return w;
}
} // namespace

Status SqliteStore::update(const Act& shown, const Act& a, bool withDate) {
    QString sql = QStringLiteral("UPDATE ACTES SET ");
    QVariantList binds;
    if (withDate) {
        sql += QStringLiteral("Date = ?, ");
        binds << bound(a.date);
    }
    sql += QStringLiteral("Acte = ?, MEDSUIT = ?, MEDACTE = ?, CCAM1 = ?, NF = ?, CCAM2 = ?, CCAM3 = ?, CCAM4 = ?, "
                          "CCAM5 = ?, CCAM6 = ?, PRIX = ?, DE = ?, PAYESECU = ?, PAYECOMPLE = ?, PAYEDE = ?, Nom = ?, "
                          "Prenom = ? WHERE NUMINT = ?");
    binds << a.act << a.followedBy << a.performedBy << a.code << a.nightOrHoliday;
    for (const QString& line : a.secondary)
        binds << line;
    binds << bound(a.price) << bound(a.excess) << bound(a.paidSecu) << bound(a.paidComplementary) << bound(a.paidExcess)
          << a.surname << a.firstName << bound(shown.number);
    sql += unchangedCondition(shown, &binds);
    int changes = 0;
    Status s = m_db->executeRaw(sql, binds, &changes);
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

Status SqliteStore::remove(qint64 number) {
    int changes = 0;
    Status s = m_db->executeRaw(QStringLiteral("DELETE FROM ACTES WHERE NUMINT = ?"), {bound(number)}, &changes);
    if (s && changes == 0)
        return noCurrent();
    return s;
}

Status SqliteStore::append(const Act& a, qint64* number) {
    QVariantList binds{a.surname,     a.firstName, bound(a.date), a.followedBy,
                       a.performedBy, a.act,       a.code,        a.nightOrHoliday};
    for (const QString& line : a.secondary)
        binds << line;
    binds << bound(a.price) << bound(a.excess);
    *number = 0;
    return m_db->step(
        QStringLiteral("INSERT INTO ACTES (Nom, Prenom, Date, MEDSUIT, MEDACTE, Acte, CCAM1, NF, CCAM2, "
                       "CCAM3, CCAM4, CCAM5, CCAM6, PRIX, DE) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, "
                       "?, ?, ?) RETURNING NUMINT"),
        binds, [&](SQLite::Statement& st) {
            *number = st.getColumn(0).getInt64();
            return true;
        });
}

Status SqliteStore::listing(ListingKind kind, const Period& period, const SearchCriteria& criteria,
                            const std::function<bool(const ListingRow&)>& each, std::optional<Money>* total) {
    QVariantList binds;
    QString sql = QStringLiteral("SELECT NUMINT, Nom, Prenom, Date, CCAM1, DE, PRIX") +
                  (kind == ListingKind::Remainder ? QStringLiteral(", ") + kRemainder : QString()) +
                  QStringLiteral(" FROM ACTES ") + listingCondition(kind, period, criteria, &binds);
    // The search lists the acts by date, then by name (the period index's own order); the other
    // two by name.
    sql += kind == ListingKind::Search ? QStringLiteral(" ORDER BY Date, Nom, Prenom")
                                       : QStringLiteral(" ORDER BY Nom, Prenom, Date, NUMINT");
    ListingRow row;
    ListingSum sum(kind);
    TextPool texts;
    bool stopped = false;
    const Status s = m_db->step(sql, binds, [&](SQLite::Statement& st) {
        row.number = st.getColumn(0).getInt64();
        row.surname = texts.shared(textOf(st.getColumn(1)));
        row.firstName = texts.shared(textOf(st.getColumn(2)));
        row.date = dayOf(st.getColumn(3));
        row.code = texts.shared(textOf(st.getColumn(4)));
        row.excess = moneyOf(st.getColumn(5));
        if (kind == ListingKind::Remainder) {
            row.remainder = moneyOf(st.getColumn(7));
            sum.add(row.remainder);
        } else {
            sum.add(moneyOf(st.getColumn(6)));
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

Status SqliteStore::listingTotal(ListingKind kind, const Period& period, const SearchCriteria& criteria,
                                 std::optional<Money>* total) {
    QVariantList binds;
    const QString column = kind == ListingKind::Excess      ? QStringLiteral("DE")
                           : kind == ListingKind::Remainder ? kRemainder
                                                            : QStringLiteral("PRIX");
    // The excess total is the sum of DE over every act of the period: the acts without one add nothing.
    const QString sql =
        QStringLiteral("SELECT SUM(%1) FROM ACTES ").arg(column) +
        (kind == ListingKind::Excess ? listingCondition(ListingKind::Search, period, SearchCriteria{}, &binds)
                                     : listingCondition(kind, period, criteria, &binds));
    *total = std::nullopt;
    return m_db->step(sql, binds, [&](SQLite::Statement& st) {
        *total = moneyOf(st.getColumn(0));
        return false;
    });
}

Status SqliteStore::pairSums(const Period& period, const QString& follower, const QString& performer, PairSums* sums) {
    QVariantList binds{bound(period.firstDay), bound(period.lastDay)};
    // One condition after the other: the values are bound in the order of their marks.
    QString sql = QStringLiteral("SELECT SUM(PRIX), SUM(REVERSE) FROM ACTES WHERE Date BETWEEN ? AND ?");
    sql += patternCondition(QStringLiteral("MEDSUIT"), follower, &binds);
    sql += patternCondition(QStringLiteral("MEDACTE"), performer, &binds);
    *sums = {};
    return m_db->step(sql, binds, [&](SQLite::Statement& st) {
        sums->value = moneyOf(st.getColumn(0));
        sums->reversed = moneyOf(st.getColumn(1));
        return false;
    });
}

Status SqliteStore::latestOfPair(const QString& follower, const QString& performer, std::optional<qint64>* number) {
    QVariantList binds;
    QString sql = QStringLiteral("SELECT NUMINT FROM ACTES WHERE 1");
    sql += patternCondition(QStringLiteral("MEDSUIT"), follower, &binds);
    sql += patternCondition(QStringLiteral("MEDACTE"), performer, &binds);
    sql += QStringLiteral(" ORDER BY Date DESC, NUMINT DESC LIMIT 1");
    *number = std::nullopt;
    return m_db->step(sql, binds, [&](SQLite::Statement& st) {
        *number = st.getColumn(0).getInt64();
        return false;
    });
}

Status SqliteStore::addReversal(qint64 number, qint64 day, Money amount, bool* changed) {
    int changes = 0;
    const Status s = m_db->executeRaw(
        QStringLiteral("UPDATE ACTES SET DateRev = ?, REVERSE = ifnull(REVERSE, 0) + ? WHERE NUMINT = ?"),
        {bound(day), bound(amount.units()), bound(number)}, &changes);
    *changed = changes > 0;
    return s;
}

// ---- Reference lists ----

Status SqliteStore::labels(ReferenceList list, ReferenceOrder order, QStringList* labels) {
    labels->clear();
    QString sql = QStringLiteral("SELECT TEXTE FROM MEMO WHERE NUMEROS = ? ORDER BY ");
    switch (order) {
    case ReferenceOrder::ByLabel:
        sql += QStringLiteral("TEXTE, rowid");
        break;
    case ReferenceOrder::ByCatalogue:
        sql += QStringLiteral("\"INDEX\", rowid");
        break;
    case ReferenceOrder::AsStored:
        sql += QStringLiteral("rowid");
        break;
    }
    return m_db->step(sql, {int(list)}, [&](SQLite::Statement& st) {
        labels->append(textOf(st.getColumn(0)));
        return true;
    });
}

Status SqliteStore::find(std::optional<ReferenceList> list, const QString& label, ReferenceEntry* entry, bool* found) {
    *found = false;
    QVariantList binds{label};
    QString sql = QStringLiteral("SELECT * FROM MEMO WHERE TEXTE = ?");
    if (list) {
        sql += QStringLiteral(" AND NUMEROS = ?");
        binds << int(*list);
    }
    sql += QStringLiteral(" ORDER BY rowid LIMIT 1");
    return m_db->queryRaw(sql, binds, [&](const Row& row) {
        *entry = referenceEntryOfRow(row);
        *found = true;
        return false;
    });
}

namespace {
void bindEntryValues(const ReferenceEntry& e, QVariantList* binds) {
    *binds << e.label;
    for (const auto& excess : e.excesses)
        *binds << bound(excess);
    *binds << e.code << bound(e.tariff);
}
} // namespace

Status SqliteStore::add(const ReferenceEntry& entry) {
    QVariantList binds{int(entry.list)};
    bindEntryValues(entry, &binds);
    return m_db->executeRaw(
        QStringLiteral("INSERT INTO MEMO (NUMEROS, TEXTE, MUT1, MUT2, MUT3, MUT4, MUT5, MUT6, CCAM, "
                       "TARIFS) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"),
        binds);
}

Status SqliteStore::modify(const ReferenceEntry& shown, const ReferenceEntry& edited, bool* found) {
    QVariantList binds;
    bindEntryValues(edited, &binds);
    binds << int(shown.list) << shown.label << shown.code << bound(shown.tariff);
    for (const auto& excess : shown.excesses)
        binds << bound(excess);
    int changes = 0;
    Status s = m_db->executeRaw(
        QStringLiteral(
            "UPDATE MEMO SET TEXTE = ?, MUT1 = ?, MUT2 = ?, MUT3 = ?, MUT4 = ?, MUT5 = ?, MUT6 = ?, CCAM = ?, "
            "TARIFS = ? WHERE rowid = (SELECT rowid FROM MEMO WHERE NUMEROS = ? AND TEXTE = ? ORDER BY "
            "rowid LIMIT 1) AND ifnull(CCAM, '') = ? COLLATE BINARY AND TARIFS IS ? AND MUT1 IS ? AND "
            "MUT2 IS ? AND MUT3 IS ? AND MUT4 IS ? AND MUT5 IS ? AND MUT6 IS ?"),
        binds, &changes);
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

Status SqliteStore::remove(ReferenceList list, const QString& label, bool* found) {
    int changes = 0;
    const Status s = m_db->executeRaw(QStringLiteral("DELETE FROM MEMO WHERE rowid = (SELECT rowid FROM MEMO WHERE "
                                                     "NUMEROS = ? AND TEXTE = ? ORDER BY rowid LIMIT 1)"),
                                      {int(list), label}, &changes);
    *found = changes > 0;
    return s;
}

// The insurers in the order labels(ByLabel) gives; a new one after those of the same label, as its
// row will be stored after theirs.
Status SqliteStore::insurerOrder(const ReferenceChange& change, bool changed,
                                 std::vector<MutualSlots::Insurer>* insurers) {
    insurers->clear();
    const QString first =
        QStringLiteral("(SELECT rowid FROM MEMO WHERE NUMEROS = ? AND TEXTE = ? ORDER BY rowid LIMIT 1)");
    QString label = QStringLiteral("TEXTE");
    QString where = QStringLiteral("NUMEROS = ?");
    QString added;
    QVariantList binds;
    if (changed && change.kind == ReferenceChange::Kind::Modify) {
        label = QStringLiteral("CASE WHEN rowid = %1 THEN ? ELSE TEXTE END").arg(first);
        binds << int(change.shown.list) << change.shown.label << change.edited.label;
    }
    binds << int(ReferenceList::MutualInsurers);
    if (changed && change.kind == ReferenceChange::Kind::Remove) {
        where += QStringLiteral(" AND rowid IS NOT %1").arg(first);
        binds << int(change.shown.list) << change.shown.label;
    }
    if (changed && change.kind == ReferenceChange::Kind::Add) {
        added = QStringLiteral(" UNION ALL SELECT -1, ?, 1");
        binds << change.edited.label;
    }
    const QString sql = QStringLiteral("SELECT id, t FROM (SELECT rowid AS id, %1 AS t, 0 AS n FROM MEMO WHERE %2%3) "
                                       "ORDER BY t COLLATE FRENCH, n, id")
                            .arg(label, where, added);
    return m_db->queryRaw(sql, binds, [&](const Row& row) {
        insurers->push_back({row.integer(QStringLiteral("id")).value_or(0), row.text(QStringLiteral("t"))});
        return true;
    });
}

ReferenceTable::SlotSteps SqliteStore::slotSteps() {
    SlotSteps steps;
    steps.begin = [this] { return m_db->executeRaw(QStringLiteral("BEGIN IMMEDIATE")); };
    steps.rollback = [this] { m_db->executeRaw(QStringLiteral("ROLLBACK")); };
    steps.commit = [this] { return m_db->executeRaw(QStringLiteral("COMMIT")); };
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
                sets << QStringLiteral("MUT%1 = %2")
                            .arg(k + 1)
                            .arg(source ? QStringLiteral("MUT%1").arg(*source) : QStringLiteral("NULL"));
        }
        return m_db->executeRaw(QStringLiteral("UPDATE MEMO SET %1 WHERE NUMEROS IN (?, ?)").arg(sets.join(u", ")),
                                {int(ReferenceList::DeliveryActs), int(ReferenceList::SurgicalActs)});
    };
    return steps;
}

Status SqliteStore::slotPlan(const ReferenceChange& change, MutualSlots::Plan* plan) {
    return planWith(change, slotSteps(), plan);
}

Status SqliteStore::apply(const ReferenceChange& change, const MutualSlots::Plan& agreed, bool* found) {
    return applyWith(change, agreed, found, slotSteps());
}

// ---- Yearly statement ----

namespace {

// A sum as SQL gives it: 0 when there was nothing to add, nothing when it cannot be held.
std::optional<Money> storedSum(const SQLite::Column& c) {
    return c.isNull() ? std::optional<Money>(Money()) : moneyOf(c);
}

// The month (1 to 12) of a day of the year, from the boundaries bound in order.
QString monthOfDay(const QString& column, const std::array<qint64, 13>& starts, QVariantList* binds) {
    QString e = QStringLiteral("CASE");
    for (int m = 1; m < 12; ++m) {
        e += QStringLiteral(" WHEN %1 < ? THEN %2").arg(column).arg(m);
        *binds << bound(starts[m]);
    }
    return e + QStringLiteral(" ELSE 12 END");
}

// A practitioner's name matched as the listings match it, kept off the practitioner-pair index:
// the period's index answers a year's acts.
QString yearNameMatch(const QString& column, const QString& pattern, QVariantList* binds) {
    return nameMatch(column, pattern, binds, false);
}

} // namespace

Status SqliteStore::yearStatement(int year, const QString& performer, YearStatement* statement) {
    *statement = {};
    if (year < kFirstStatementYear || year > kLastStatementYear)
        return Status::failure(StoreError::RefusedValue,
                               QStringLiteral("L'année %1 est hors des années possibles (%2 à %3).")
                                   .arg(year)
                                   .arg(kFirstStatementYear)
                                   .arg(kLastStatementYear));
    const auto starts = monthStarts(year);

    QVariantList binds;
    QString sql = QStringLiteral("SELECT ") + monthOfDay(QStringLiteral("Date"), starts, &binds) +
                  QStringLiteral(" AS mois, COUNT(*), SUM(PRIX), SUM(DE), SUM(PAYESECU), SUM(PAYECOMPLE), SUM(PAYEDE) "
                                 "FROM ACTES WHERE Date BETWEEN ? AND ?");
    binds << bound(starts[0]) << bound(starts[12] - 1);
    sql += QStringLiteral(" AND ") + yearNameMatch(QStringLiteral("MEDACTE"), performer, &binds) +
           QStringLiteral(" GROUP BY mois");
    Status s = m_db->step(sql, binds, [&](SQLite::Statement& st) {
        const int month = st.getColumn(0).getInt();
        if (month < 1 || month > 12)
            return true;
        StatementFigures& f = statement->months[month - 1];
        f.acts = st.getColumn(1).getInt64();
        f.price = storedSum(st.getColumn(2));
        f.excess = storedSum(st.getColumn(3));
        f.paidSecu = storedSum(st.getColumn(4));
        f.paidComplementary = storedSum(st.getColumn(5));
        f.paidExcess = storedSum(st.getColumn(6));
        return true;
    });
    if (!s) {
        *statement = {};
        return s;
    }

    // Each act of the year between the practitioner and a colleague, whichever performed it: its
    // sum paid over went from the one who performed it to the one who follows the patient.
    binds.clear();
    sql = QStringLiteral("SELECT MIN(confrere), SUM(CASE WHEN effectue THEN REVERSE END), "
                         "SUM(CASE WHEN effectue THEN NULL ELSE REVERSE END) FROM (SELECT ");
    sql += yearNameMatch(QStringLiteral("MEDACTE"), performer, &binds) + QStringLiteral(" AS effectue, CASE WHEN ");
    sql += yearNameMatch(QStringLiteral("MEDACTE"), performer, &binds) +
           QStringLiteral(" THEN MEDSUIT ELSE MEDACTE END AS confrere, REVERSE FROM ACTES WHERE Date BETWEEN ? AND ?");
    binds << bound(starts[0]) << bound(starts[12] - 1);
    sql += QStringLiteral(" AND (") + yearNameMatch(QStringLiteral("MEDACTE"), performer, &binds) +
           QStringLiteral(" OR ") + yearNameMatch(QStringLiteral("MEDSUIT"), performer, &binds) + QStringLiteral(")");
    sql += QStringLiteral(" AND NOT (") + yearNameMatch(QStringLiteral("MEDACTE"), performer, &binds) +
           QStringLiteral(" AND ") + yearNameMatch(QStringLiteral("MEDSUIT"), performer, &binds) + QStringLiteral("))");
    sql += QStringLiteral(" WHERE confrere <> '' GROUP BY confrere COLLATE FRENCH_PRIMARY HAVING SUM(REVERSE) IS NOT "
                          "NULL ORDER BY MIN(confrere) COLLATE FRENCH");
    s = m_db->step(sql, binds, [&](SQLite::Statement& st) {
        statement->reversals.push_back(
            {textOf(st.getColumn(0)), storedSum(st.getColumn(1)), storedSum(st.getColumn(2))});
        return true;
    });
    if (!s)
        *statement = {};
    return s;
}

} // namespace obs
