// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/Bulk.h"

#include "common/DayNumber.h"
#include "common/Money.h"
#include "store/BulkSide.h"
#include "store/SqlStore.h"
#include "store/Store.h"
#include "store/Tables.h"

#include <QFileInfo>
#include <algorithm>
#include <unordered_map>

namespace obs {

const std::array<const char*, 8> kSummedActColumns = {"PRIX",   "DE",      "PAYESECU", "PAYECOMPLE",
                                                      "PAYEDE", "REVERSE", "Date",     "DateRev"};
const std::array<const char*, 7> kSummedEntryColumns = {"TARIFS", "MUT1", "MUT2", "MUT3", "MUT4", "MUT5", "MUT6"};

namespace {

// A table's columns as a copy carries them, each of the kind its record member holds.
template <class R> std::vector<BulkColumn> bulkColumnsOf(const Table<R>& t) {
    std::vector<BulkColumn> out;
    R record;
    for (const auto& c : t.columns) {
        const BulkKind kind = std::visit(
            [](auto* member) {
                using T = std::remove_pointer_t<decltype(member)>;
                if constexpr (std::is_same_v<T, QString>)
                    return BulkKind::Text;
                else if constexpr (std::is_same_v<T, std::optional<Money>>)
                    return BulkKind::Amount;
                else if constexpr (std::is_same_v<T, StoredDay>)
                    return BulkKind::Day;
                else
                    return BulkKind::Number; // a number, or a reference list by its number
            },
            c.field(record));
        out.push_back({c.name, kind});
    }
    return out;
}

QString namesOf(const Dialect& d, std::span<const BulkColumn> columns) {
    QStringList out;
    for (const BulkColumn& c : columns) {
        const QString name = d.name(QString::fromLatin1(c.name));
        // INDEX is a word of SQL itself.
        out << (qstrcmp(c.name, "INDEX") == 0 ? u'"' + name + u'"' : name);
    }
    return out.join(QStringLiteral(", "));
}

} // namespace

std::span<const BulkColumn> bulkActs() {
    static const std::vector<BulkColumn> columns = bulkColumnsOf(actsTable());
    return columns;
}

std::span<const BulkColumn> bulkMemo() {
    static const std::vector<BulkColumn> columns = [] {
        std::vector<BulkColumn> c = bulkColumnsOf(memoTable());
        c.push_back({"INDEX", BulkKind::Number});
        return c;
    }();
    return columns;
}

QString bulkColumnNames(const Dialect& d, bool acts) {
    return namesOf(d, acts ? bulkActs() : bulkMemo());
}

QString bulkJournalColumnNames(const Dialect& d, bool withPerformer) {
    if (withPerformer)
        return namesOf(d, kBulkJournal);
    return namesOf(d, std::span(kBulkJournal).first(kBulkJournalPerformer)) + QStringLiteral(", NULL, NULL");
}

QString performerFillStatement(const Dialect& d) {
    auto n = [&](const char* name) { return d.name(QString::fromLatin1(name)); };
    return QStringLiteral("UPDATE %1 SET %2 = (SELECT nullif(a.%3, '') FROM %4 a WHERE a.%5 = %1.%5) WHERE %6 IN "
                          "('%7', '%8') AND %3 IS NULL AND %2 IS NULL")
        .arg(n("JOURNAL"), n("MEDREPRISE"), n("MEDACTE"), n("ACTES"), n("NUMINT"), n("NATURE"),
             journalKindCode(JournalKind::Payment), journalKindCode(JournalKind::Opening));
}

QString bulkMarks(qsizetype n) {
    return QStringLiteral("?, ").repeated(n - 1) + u'?';
}

JournalEntry journalEntryOfRow(const QVariantList& row) {
    auto integer = [&](int i) -> std::optional<qint64> {
        bool ok = false;
        const qint64 v = row.value(i).toLongLong(&ok);
        return row.value(i).isNull() || !ok ? std::nullopt : std::optional<qint64>(v);
    };
    auto text = [&](int i) { return row.value(i).isNull() ? QString() : row.value(i).toString(); };
    JournalEntry e;
    e.number = integer(0).value_or(0);
    e.writtenAt = text(1);
    e.act = integer(2);
    // As the store reads them: an unknown kind or mode keeps the hash from matching.
    e.kind = journalKindOf(text(3)).value_or(JournalKind::Modified);
    e.receivedOn = integer(4);
    e.payer = text(5);
    e.payee = text(6);
    if (!row.value(7).isNull())
        e.mode = paymentModeOf(text(7)).value_or(PaymentMode::Other);
    if (const auto units = integer(8))
        e.amount = Money::fromUnits(*units);
    e.changes = changesOf(text(9)).value_or(std::vector<ColumnChange>{{QStringLiteral("?"), text(9), {}}});
    e.workstation = text(10);
    e.user = text(11);
    e.hash = text(12);
    e.performer = text(kBulkJournalPerformer);
    e.performerTakenOver = text(kBulkJournalPerformer + 1);
    return e;
}

std::vector<JournalEntry> openingEntriesOf(const Act& a) {
    std::vector<JournalEntry> out;
    auto opening = [&](const std::optional<Money>& amount, const QString& payer, const QString& payee) {
        if (!amount || *amount == Money())
            return;
        JournalEntry e;
        e.kind = JournalKind::Opening;
        e.payer = payer;
        e.payee = payee;
        e.amount = amount;
        e.performer = a.performedBy;
        out.push_back(std::move(e));
    };
    opening(a.paidSecu, payerCode(Payer::Secu), {});
    opening(a.paidComplementary, payerCode(Payer::Complementary), {});
    opening(a.paidExcess, payerCode(Payer::Patient), {});
    opening(a.reversed, a.performedBy, a.followedBy);
    return out;
}

std::vector<JournalEntry> createdWithOpenings(const Act& a) {
    // The creation records the act as entered, before any money: what it holds comes after.
    Act entered = a;
    entered.paidSecu = entered.paidComplementary = entered.paidExcess = Money();
    entered.reversed = std::nullopt;
    entered.reversalDate = std::nullopt;
    JournalEntry created;
    created.kind = JournalKind::Created;
    created.changes = actChanges(std::nullopt, entered);
    std::vector<JournalEntry> out{std::move(created)};
    for (JournalEntry& e : openingEntriesOf(a))
        out.push_back(std::move(e));
    return out;
}

JournaledActSource journaledAsLoaded(ActSource acts) {
    if (!acts)
        return {};
    return [acts = std::move(acts)](Act* act, std::vector<JournalEntry>* entries) {
        if (!acts(act))
            return false;
        *entries = createdWithOpenings(*act);
        return true;
    };
}

QVariant normalisedBulkValue(const QVariant& v, BulkKind kind) {
    if (v.isNull())
        return QVariant();
    switch (kind) {
    case BulkKind::Text:
        return v.toString();
    case BulkKind::Day: {
        const StoredDay d = storedDayOf(v);
        return d ? QVariant::fromValue<qint64>(*d) : QVariant();
    }
    case BulkKind::Amount: // a whole number: as it stands (the engine's amount reader reads the rest)
    case BulkKind::Number: {
        bool ok = false;
        const qint64 n = v.toLongLong(&ok);
        return ok ? QVariant::fromValue<qint64>(n) : QVariant();
    }
    }
    return {};
}

QVariant bulkDay(const StoredDay& d) {
    return d ? QVariant::fromValue<qint64>(*d) : QVariant();
}

QVariant bulkInteger(const std::optional<qint64>& n) {
    return n ? QVariant::fromValue<qint64>(*n) : QVariant();
}

QVariant bulkMoney(const std::optional<Money>& m) {
    return m ? QVariant::fromValue<qint64>(m->units()) : QVariant();
}

QVariant bulkText(const QString& text) {
    return QVariant(text.isNull() ? QString(QLatin1String("")) : text);
}

void appendActValues(const Act& a, bool paymentsAsZero, QVariantList* binds) {
    *binds << bulkText(a.surname) << bulkText(a.firstName) << bulkDay(a.date) << bulkText(a.followedBy)
           << bulkText(a.performedBy) << bulkText(a.act) << bulkText(a.code) << bulkText(a.nightOrHoliday);
    for (const QString& line : a.secondary)
        *binds << bulkText(line);
    const auto paid = [&](const std::optional<Money>& m) {
        return paymentsAsZero ? std::optional<Money>(m.value_or(Money())) : m;
    };
    *binds << bulkMoney(a.price) << bulkMoney(a.excess) << bulkMoney(paid(a.paidSecu))
           << bulkMoney(paid(a.paidComplementary)) << bulkMoney(paid(a.paidExcess)) << bulkMoney(a.reversed)
           << bulkDay(a.reversalDate);
}

void appendEntryValues(const ReferenceEntry& e, QVariantList* binds) {
    *binds << int(e.list) << e.label << (e.code.isNull() ? QVariant() : QVariant(e.code)) << bulkMoney(e.tariff);
    for (const auto& m : e.excesses)
        *binds << bulkMoney(m);
}

namespace {

QString totalsText(const ClinicTotals& t) {
    return QStringLiteral("%1 actes, %2 items, prix %3, reversé %4, payé %5")
        .arg(t.acts)
        .arg(t.entries)
        .arg(Money::fromUnits(t.prices).toFrench(), Money::fromUnits(t.reversed).toFrench(),
             Money::fromUnits(t.paid).toFrench());
}

Status failed(const QString& why) {
    return Status::failure(StoreError::Failed, why);
}

QString nameOf(const Dialect& d, const char* column) {
    return d.name(QString::fromLatin1(column));
}

QString storedFiguresSql(const Dialect& d) {
    QStringList sums;
    for (const char* c : kSummedActColumns)
        sums << QStringLiteral("(SELECT coalesce(sum(%1), 0) FROM %2)").arg(nameOf(d, c), nameOf(d, "ACTES"));
    for (const char* c : kSummedEntryColumns)
        sums << QStringLiteral("(SELECT coalesce(sum(%1), 0) FROM %2)").arg(nameOf(d, c), nameOf(d, "MEMO"));
    return QStringLiteral("SELECT (SELECT count(*) FROM %1), (SELECT count(*) FROM %2), ")
               .arg(nameOf(d, "ACTES"), nameOf(d, "MEMO")) +
           sums.join(QStringLiteral(", "));
}

QString copyTotalsSql(const Dialect& d) {
    return QStringLiteral(
               "SELECT (SELECT count(*) FROM %1), (SELECT count(*) FROM %2), (SELECT coalesce(sum(%3), 0) FROM %1), "
               "(SELECT coalesce(sum(%4), 0) FROM %1), (SELECT coalesce(sum(%5) + sum(%6) + sum(%7), 0) FROM %1)")
        .arg(nameOf(d, "ACTES"), nameOf(d, "MEMO"), nameOf(d, "PRIX"), nameOf(d, "REVERSE"), nameOf(d, "PAYESECU"),
             nameOf(d, "PAYECOMPLE"), nameOf(d, "PAYEDE"));
}

// A whole number of an answer, from the value the engine hands over: a sum over a damaged file's
// decimals is rounded, not cut.
qint64 wholeOf(const SqlRow& r, int column) {
    return r.value(column).toLongLong();
}

} // namespace

Status copyBase(const QString& from, const QString& to, bool replace, ClinicTotals* totals, bool brokenJournal) {
    // Copying a base onto itself would empty it.
    if (describeLocation(from.trimmed()) == describeLocation(to.trimmed()) ||
        (!isServerLocation(from) && !isServerLocation(to) &&
         QFileInfo(from).canonicalFilePath() == QFileInfo(to).canonicalFilePath() && QFileInfo::exists(to)))
        return failed(QStringLiteral("La source et la destination sont la même base : rien n'a été copié."));
    Status s;
    auto source = openBulkSide(from, false, &s);
    if (!source)
        return failed(QStringLiteral("Source illisible : %1").arg(s.message));
    auto dest = openBulkSide(to, true, &s);
    if (!dest)
        return failed(QStringLiteral("Destination inutilisable : %1").arg(s.message));
    BaseHoldings held;
    if (!(s = dest->holdings(&held)))
        return s;
    if (!held.empty() && !replace)
        return failed(QStringLiteral("La destination %1 contient déjà %2 : rien n'a été copié (--replace pour la "
                                     "remplacer).")
                          .arg(describeLocation(to), held.text()));
    const bool journaled = source->hasJournal();
    JournalVerifier verifier;
    JournalCheck check;
    qint64 headNumber = 0;
    QString headHash;
    s = source->beginRead();
    if (s)
        s = dest->beginWrite();
    // A journal made before the performer was recorded: its payments and opening entries take their
    // act's performer as the copy finds it, once, as an upgrade gives them.
    const bool fillPerformers = journaled && !source->journalRecordsPerformer();
    std::unordered_map<qint64, QString> performers;
    const auto acts = bulkActs();
    const auto performerAt =
        std::find_if(acts.begin(), acts.end(), [](const BulkColumn& c) { return qstrcmp(c.name, "MEDACTE") == 0; }) -
        acts.begin();
    if (s)
        s = source->read(true, [&](const QVariantList& row) {
            if (fillPerformers && !row.value(performerAt).toString().isEmpty())
                performers.emplace(row.value(0).toLongLong(), row.value(performerAt).toString());
            return dest->write(true, row);
        });
    auto withPerformer = [&](const QVariantList& row) {
        const QString kind = row.value(3).toString();
        if (!fillPerformers || !row.value(kBulkJournalPerformer).isNull() ||
            !row.value(kBulkJournalPerformer + 1).isNull() ||
            (kind != journalKindCode(JournalKind::Payment) && kind != journalKindCode(JournalKind::Opening)))
            return row;
        const auto found = performers.find(row.value(2).toLongLong());
        if (found == performers.end())
            return row;
        QVariantList filled = row;
        filled[kBulkJournalPerformer + 1] = found->second;
        return filled;
    };
    if (s)
        s = source->read(false, [&](const QVariantList& row) { return dest->write(false, row); });
    // The journal goes as it stands, each entry checked as it passes: a broken chain is not
    // carried into another base as if it were sound.
    if (s && journaled)
        s = source->readJournal(
            [&](const QVariantList& row) {
                if (check.intact && !verifier.add(journalEntryOfRow(row)))
                    check = verifier.finish(0, QString());
                if (!check.intact && !brokenJournal)
                    return Status::failure(StoreError::Failed, check.problem);
                return dest->writeJournal(withPerformer(row));
            },
            &headNumber, &headHash);
    if (s && journaled) {
        if (check.intact)
            check = verifier.finish(headNumber, headHash);
        if (!check.intact && !brokenJournal)
            s = Status::failure(StoreError::Failed, check.problem);
    }
    if (s && journaled)
        s = dest->writeJournalHead(headNumber, headHash);
    qint64 opened = 0;
    if (s && !journaled)
        s = dest->openJournal(&opened);
    ClinicTotals a, b;
    if (s)
        s = source->totals(&a);
    if (s)
        s = source->endRead();
    if (s)
        s = dest->commit();
    if (!s) {
        dest->rollback();
        if (journaled && !check.intact && !brokenJournal)
            return failed(QStringLiteral("Le journal des actes de la source est altéré : %1 Rien n'a été copié, la "
                                         "destination est inchangée (obsledger-admin journal verify %2).")
                              .arg(check.problem, describeLocation(from)));
        QString why = QStringLiteral("La copie a échoué, la destination est inchangée : %1").arg(s.message);
        // A base made by an earlier version does not let the workstations set its numbers.
        if (isServerLocation(to) && s.error == StoreError::ReadOnly)
            why += QStringLiteral("\nSi la base a été créée par une version antérieure, son propriétaire lui donne "
                                  "les droits de celle-ci : obsledger-admin upgrade ADRESSE.");
        return Status::failure(s.error, why);
    }
    if (!(s = dest->totals(&b)) || !(a == b))
        return failed(QStringLiteral("La copie ne correspond pas à la source : source %1 ; destination %2")
                          .arg(totalsText(a), s ? totalsText(b) : s.message));
    if (totals)
        *totals = b;
    return Status::success();
}

Status checkJournalOf(const QString& location, JournalCheck* check) {
    JournalCheck found;
    Status s;
    const std::shared_ptr<Store> store = Store::open(location, &s);
    if (!store)
        return s;
    if (store->journal().present() && (s = store->journal().verify(&found)) && !found.intact)
        s = failed(QStringLiteral("Le journal des actes de %1 est altéré : %2")
                       .arg(describeLocation(location), found.problem));
    if (!store->journal().present()) {
        found.intact = true;
        found.problem = QStringLiteral("la base n'a pas de journal.");
    }
    if (check)
        *check = found;
    return s;
}

// ---- A side of a copy over the store ----------------------------------------------------------------

SqlBulkSide::SqlBulkSide(std::shared_ptr<SqlStore> store, int journalRows)
    : m_store(std::move(store)), m_journalRows(journalRows) {}

const Dialect& SqlBulkSide::dialect() const {
    return m_store->dialect();
}

Status SqlBulkSide::beginRead() {
    return m_store->link().beginReading();
}

Status SqlBulkSide::read(bool acts, const RowSink& each) {
    const Dialect& d = m_store->dialect();
    return readRows(
        QStringLiteral("SELECT %1 FROM %2 ORDER BY %3")
            .arg(bulkColumnNames(d, acts), nameOf(d, acts ? "ACTES" : "MEMO"), acts ? nameOf(d, "NUMINT") : d.memoId()),
        acts ? bulkActs() : bulkMemo(), false, each);
}

Status SqlBulkSide::endRead() {
    return m_store->link().commit();
}

Status SqlBulkSide::actCount(qint64* n) {
    return m_store->link().run(QStringLiteral("SELECT count(*) FROM %1").arg(nameOf(m_store->dialect(), "ACTES")), {},
                               [&](const SqlRow& r) {
                                   *n = r.integer(0).value_or(0);
                                   return false;
                               });
}

Status SqlBulkSide::holdings(BaseHoldings* h) {
    *h = BaseHoldings();
    const Dialect& d = m_store->dialect();
    QString sql = QStringLiteral("SELECT (SELECT count(*) FROM %1), (SELECT count(*) FROM %2)")
                      .arg(nameOf(d, "ACTES"), nameOf(d, "MEMO"));
    if (hasJournal())
        sql += QStringLiteral(", (SELECT count(*) FROM %1)").arg(nameOf(d, "JOURNAL"));
    return m_store->link().run(sql, {}, [&](const SqlRow& r) {
        h->acts = r.integer(0).value_or(0);
        h->entries = r.integer(1).value_or(0);
        h->journal = r.columns() > 2 ? r.integer(2).value_or(0) : 0;
        return false;
    });
}

QString BaseHoldings::text() const {
    return QStringLiteral("%1 actes, %2 items et %3 écritures du journal").arg(acts).arg(entries).arg(journal);
}

Status readHoldings(const QString& location, BaseHoldings* holdings) {
    Status s;
    auto side = openBulkSide(location, false, &s);
    return side ? side->holdings(holdings) : s;
}

void SqlBulkSide::rollback() {
    m_store->link().rollback();
}

Status SqlBulkSide::totals(ClinicTotals* t) {
    return m_store->link().run(copyTotalsSql(m_store->dialect()), {}, [&](const SqlRow& r) {
        *t = {wholeOf(r, 0), wholeOf(r, 1), wholeOf(r, 2), wholeOf(r, 3), wholeOf(r, 4)};
        return false;
    });
}

Status SqlBulkSide::readJournal(const RowSink& each, qint64* headNumber, QString* headHash) {
    const Dialect& d = m_store->dialect();
    Status s = m_store->link().run(
        QStringLiteral("SELECT %1, %2 FROM %3").arg(nameOf(d, "NUMJ"), nameOf(d, "HASH"), nameOf(d, "JOURNAL_TETE")),
        {}, [&](const SqlRow& r) {
            *headNumber = wholeOf(r, 0);
            *headHash = r.value(1).toString();
            return false;
        });
    if (s)
        s = readRows(
            QStringLiteral("SELECT %1 FROM %2 ORDER BY %3")
                .arg(bulkJournalColumnNames(d, journalRecordsPerformer()), nameOf(d, "JOURNAL"), nameOf(d, "NUMJ")),
            kBulkJournal, true, each);
    return s;
}

bool SqlBulkSide::journalRecordsPerformer() {
    return m_store->journalRecordsPerformer();
}

Status SqlBulkSide::writeJournal(const QVariantList& row) {
    m_journal << row;
    return m_journal.size() >= kBulkJournalColumns * m_journalRows ? flushJournal() : Status::success();
}

Status SqlBulkSide::writeJournalHead(qint64 number, const QString& hash) {
    Status s = flushJournal();
    if (s)
        s = writeHead(number, hash);
    return s;
}

Status SqlBulkSide::flushJournal() {
    if (m_journal.isEmpty())
        return Status::success();
    const Dialect& d = m_store->dialect();
    const QString one = u'(' + bulkMarks(kBulkJournalColumns) + u')';
    QStringList rows;
    for (qsizetype i = 0; i < m_journal.size() / kBulkJournalColumns; ++i)
        rows << one;
    const Status s =
        m_store->link().run(QStringLiteral("INSERT INTO %1 (%2) VALUES %3")
                                .arg(nameOf(d, "JOURNAL"), bulkJournalColumnNames(d), rows.join(QStringLiteral(", "))),
                            m_journal);
    m_journal.clear();
    return s;
}

// ---- Loads and reads over a connection of their own ---------------------------------------------

Status appendNewRows(SqlStore& store, const std::vector<ReferenceEntry>& entries, const JournaledActSource& acts) {
    Connection& db = store.link();
    Status s = Status::success();
    if (!entries.empty()) {
        const Dialect& d = store.dialect();
        // Every column of an entry but its catalogue place, which the base gives.
        const QString insert =
            QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                .arg(nameOf(d, "MEMO"), columnList(d, memoTable()), bulkMarks(qsizetype(memoTable().columns.size())));
        s = db.beginWriting({});
        for (size_t i = 0; s && i < entries.size(); ++i) {
            QVariantList binds;
            appendEntryValues(entries[i], &binds);
            s = db.run(insert, binds);
        }
        if (!s) {
            db.rollback();
            return s;
        }
        s = db.commit();
    }
    if (s && acts) {
        qint64 added = 0;
        s = store.appendJournaledActs(acts, &added);
    }
    return s;
}

Status storedFiguresOf(SqlStore& store, StoredFigures* figures) {
    Connection& db = store.link();
    const Dialect& d = store.dialect();
    Status s = db.beginReading();
    if (s)
        s = db.run(storedFiguresSql(d), {}, [&](const SqlRow& r) {
            figures->acts = wholeOf(r, 0);
            figures->entries = wholeOf(r, 1);
            for (size_t i = 0; i < figures->actSums.size(); ++i)
                figures->actSums[i] = wholeOf(r, int(2 + i));
            for (size_t i = 0; i < figures->entrySums.size(); ++i)
                figures->entrySums[i] = wholeOf(r, int(2 + figures->actSums.size() + i));
            return false;
        });
    if (s)
        s = db.run(QStringLiteral("SELECT %1 FROM %2 ORDER BY %1").arg(nameOf(d, "NUMINT"), nameOf(d, "ACTES")), {},
                   [&](const SqlRow& r) {
                       figures->numbers.push_back(r.integer(0).value_or(0));
                       return true;
                   });
    if (s)
        return db.commit();
    db.rollback();
    return s;
}

std::unique_ptr<MaintenanceSession> maintenanceSessionOver(std::shared_ptr<SqlStore> store) {
    return std::make_unique<MaintenanceSession>(
        [store](const QString& statement, const MaintenanceSession::RowSink& row) {
            return store->link().run(statement, {}, [&](const SqlRow& r) {
                QStringList fields;
                for (int i = 0; i < r.columns(); ++i) {
                    const QVariant v = r.value(i);
                    fields << (v.isNull() ? QString() : v.toString());
                }
                row(fields);
                return true;
            });
        });
}

} // namespace obs
