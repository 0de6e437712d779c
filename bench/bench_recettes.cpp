// The receipts book and the accountant's file (FEC) at clinic scale: 1,000,000 acts over 20 years,
// each paid through the journal (Sécu, complémentaire, patient, sums paid over: some 3,000,000
// dated entries, chained as the store chains them). Measured: one practitioner's year from the
// "Afficher" click to the filled window, the store's call alone, the same statements straight
// through SQLite; the FEC of a practitioner's year written; memory after the book.
//
//   bench_recettes                              all of it (its base is built once beside the others)
//   OBSLEDGER_BENCH_ROWS=20000 bench_recettes   a smaller clinic, for a quick look

#include "BenchSupport.h"
#include "ReceiptsBench.h"

#include "accounts/ReceiptsWindow.h"
#include "accounts/TaxYearWindow.h"
#include "common/DayNumber.h"
#include "domain/FecFile.h"
#include "store/Connection.h"
#include "store/SharedDatabase.h"
#include "store/Store.h"
#include "store/sqlite/Schema.h"
#include "widgets/Dialogs.h"

#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <QApplication>
#include <QComboBox>
#include <QDate>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTableView>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <unordered_set>

using namespace obs;
using namespace obs::bench;
using obs::bench::receipts::Choice;
using obs::bench::receipts::choice;
using obs::bench::receipts::yearPeriod;

namespace {

struct Setup {
    QString dbPath;
    SharedDatabase database;
    std::unique_ptr<BenchClinic> clinic;
    std::unique_ptr<DirectSqlite> direct;
    QPointer<ReceiptsWindow> window;
    QPointer<TaxYearWindow> taxYearWindow;
    QTemporaryDir out;
    qint64 entries = 0;
    receipts::Measured measured;
};

Setup& setup() {
    static Setup s;
    return s;
}

void check(int rc, sqlite3* db, const char* what) {
    if (rc != SQLITE_OK && rc != SQLITE_DONE && rc != SQLITE_ROW)
        qFatal("%s: %s", what, sqlite3_errmsg(db));
}

qint64 scalar(sqlite3* db, const char* sql) {
    sqlite3_stmt* st = nullptr;
    check(sqlite3_prepare_v2(db, sql, -1, &st, nullptr), db, sql);
    qint64 v = -1;
    if (sqlite3_step(st) == SQLITE_ROW)
        v = sqlite3_column_int64(st, 0);
    sqlite3_finalize(st);
    return v;
}

// The clinic of the other benchmarks copied, its journal written anew: every running total of each
// act received as dated payments (and its sums paid over as dated reversals), chained entry by entry.
QString receiptsDatabase(int rows) {
    const QString source = benchDatabase(rows);
    const QString path = QDir(benchFolder()).filePath(QStringLiteral("recettes-v2-%1-OBSLEDGER.mdb").arg(rows));
    if (QFile::exists(path)) {
        DirectSqlite db(path);
        if (scalar(db.handle(), "SELECT count(*) FROM JOURNAL WHERE NATURE = 'paiement'") > rows &&
            scalar(db.handle(), "SELECT NUMJ FROM JOURNAL_TETE") ==
                scalar(db.handle(), "SELECT max(NUMJ) FROM JOURNAL")) {
            // Kept from an earlier version of the journal's indexes: those it lacks are added.
            for (const QString& statement : journalSchemaStatements()) {
                if (statement.contains(QLatin1String("CREATE INDEX")))
                    check(sqlite3_exec(db.handle(), statement.toUtf8().constData(), nullptr, nullptr, nullptr),
                          db.handle(), "index");
            }
            return path;
        }
    }
    std::fprintf(stderr, "bench: writing the dated journal of %s (once)...\n", qPrintable(path));
    QElapsedTimer t;
    t.start();
    const QString building = path + QStringLiteral(".building");
    QFile::remove(building);
    if (!QFile::copy(source, building))
        qFatal("cannot copy %s", qPrintable(source));
    {
        DirectSqlite direct(building);
        sqlite3* db = direct.handle();
        check(sqlite3_exec(db,
                           "PRAGMA journal_mode = OFF; PRAGMA synchronous = OFF; DROP TABLE JOURNAL; DROP TABLE "
                           "JOURNAL_TETE; BEGIN",
                           nullptr, nullptr, nullptr),
              db, "drop");
        for (const QString& statement : journalSchemaStatements()) {
            if (!statement.contains(QLatin1String("CREATE INDEX")))
                check(sqlite3_exec(db, statement.toUtf8().constData(), nullptr, nullptr, nullptr), db, "schema");
        }
        sqlite3_stmt* acts = nullptr;
        check(sqlite3_prepare_v2(db,
                                 "SELECT NUMINT, Date, PAYESECU, PAYECOMPLE, PAYEDE, REVERSE, DateRev, MEDACTE, "
                                 "MEDSUIT FROM ACTES ORDER BY NUMINT",
                                 -1, &acts, nullptr),
              db, "acts");
        sqlite3_stmt* insert = nullptr;
        check(sqlite3_prepare_v2(db,
                                 "INSERT INTO JOURNAL (NUMJ, ECRIT, NUMINT, NATURE, RECULE, PAYEUR, BENEFICIAIRE, "
                                 "MODE, MONTANT, DETAIL, POSTE, UTILISATEUR, HASH) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, "
                                 "NULL, ?, ?, ?)",
                                 -1, &insert, nullptr),
              db, "insert");
        const qint64 today = dayNumberOf(QDate::currentDate());
        qint64 number = 0;
        QString previous;
        auto write = [&](const JournalEntry& e) {
            const QByteArray writtenAt = e.writtenAt.toUtf8(), kind = journalKindCode(e.kind).toUtf8(),
                             payer = e.payer.toUtf8(), payee = e.payee.toUtf8(),
                             mode = paymentModeCode(*e.mode).toUtf8(), hash = e.hash.toUtf8();
            sqlite3_bind_int64(insert, 1, e.number);
            sqlite3_bind_text(insert, 2, writtenAt.constData(), int(writtenAt.size()), SQLITE_TRANSIENT);
            sqlite3_bind_int64(insert, 3, *e.act);
            sqlite3_bind_text(insert, 4, kind.constData(), int(kind.size()), SQLITE_TRANSIENT);
            sqlite3_bind_int64(insert, 5, *e.receivedOn);
            sqlite3_bind_text(insert, 6, payer.constData(), int(payer.size()), SQLITE_TRANSIENT);
            if (payee.isEmpty())
                sqlite3_bind_null(insert, 7);
            else
                sqlite3_bind_text(insert, 7, payee.constData(), int(payee.size()), SQLITE_TRANSIENT);
            sqlite3_bind_text(insert, 8, mode.constData(), int(mode.size()), SQLITE_TRANSIENT);
            sqlite3_bind_int64(insert, 9, e.amount->units());
            sqlite3_bind_text(insert, 10, "bench", 5, SQLITE_STATIC);
            sqlite3_bind_text(insert, 11, "bench", 5, SQLITE_STATIC);
            sqlite3_bind_text(insert, 12, hash.constData(), int(hash.size()), SQLITE_TRANSIENT);
            check(sqlite3_step(insert), db, "insert");
            sqlite3_reset(insert);
        };
        while (sqlite3_step(acts) == SQLITE_ROW) {
            const qint64 act = sqlite3_column_int64(acts, 0);
            const qint64 date = sqlite3_column_int64(acts, 1);
            auto text = [&](int c) {
                return QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(acts, c)),
                                         sqlite3_column_bytes(acts, c));
            };
            // A total received in one payment, or (one act in `parts`) in two, the second a month later.
            auto entry = [&](int column, const QString& payer, const QString& payee, qint64 day, PaymentMode mode,
                             int parts) {
                if (sqlite3_column_type(acts, column) == SQLITE_NULL || sqlite3_column_int64(acts, column) == 0)
                    return;
                const qint64 total = sqlite3_column_int64(acts, column);
                const qint64 first = act % parts == 0 ? total / 10 * 6 : total;
                for (const auto& [amount, on] : {std::pair{first, day}, std::pair{total - first, day + 30}}) {
                    if (amount == 0)
                        continue;
                    JournalEntry e;
                    e.number = ++number;
                    e.act = act;
                    e.kind = payee.isEmpty() ? JournalKind::Payment : JournalKind::ReversalPaid;
                    e.receivedOn = std::clamp(on, date, today);
                    e.writtenAt =
                        dateOfDayNumber(*e.receivedOn).toString(Qt::ISODate) + QStringLiteral("T09:00:00.000Z");
                    e.payer = payer;
                    e.payee = payee;
                    e.mode = mode;
                    e.amount = Money::fromUnits(amount);
                    e.workstation = e.user = QStringLiteral("bench");
                    e.hash = chainHash(previous, e);
                    previous = e.hash;
                    write(e);
                }
            };
            const PaymentMode patientModes[] = {PaymentMode::Cash, PaymentMode::Card, PaymentMode::Cheque};
            entry(2, payerCode(Payer::Secu), {}, date + 7 + act % 30, PaymentMode::Transfer, 2);
            entry(3, payerCode(Payer::Complementary), {}, date + 20 + act % 60,
                  act % 4 ? PaymentMode::Transfer : PaymentMode::Cheque, 3);
            entry(4, payerCode(Payer::Patient), {}, date + act % 5, patientModes[act % 3], 2);
            const qint64 reversalDay =
                sqlite3_column_type(acts, 6) == SQLITE_NULL ? date + 90 : sqlite3_column_int64(acts, 6);
            entry(5, text(7), text(8).isEmpty() ? QStringLiteral("?") : text(8), reversalDay, PaymentMode::Transfer, 1);
        }
        sqlite3_finalize(acts);
        sqlite3_finalize(insert);
        const QByteArray head =
            QStringLiteral("UPDATE JOURNAL_TETE SET NUMJ = %1, HASH = '%2'").arg(number).arg(previous).toUtf8();
        check(sqlite3_exec(db, head.constData(), nullptr, nullptr, nullptr), db, "head");
        for (const QString& statement : journalSchemaStatements()) {
            if (statement.contains(QLatin1String("CREATE INDEX")))
                check(sqlite3_exec(db, statement.toUtf8().constData(), nullptr, nullptr, nullptr), db, "index");
        }
        check(sqlite3_exec(db, "COMMIT; ANALYZE", nullptr, nullptr, nullptr), db, "commit");
        std::fprintf(stderr, "bench: %lld dated entries written in %.0f s\n", number, t.elapsed() / 1000.0);
    }
    QFile::remove(path);
    if (!QFile::rename(building, path))
        qFatal("cannot rename %s", qPrintable(building));
    return path;
}

// The book's statements as the store hands them to SQLite: the practitioner's acts, the acts
// deleted, the entries of the period (kept when their act is among those, or when a sum paid over
// names the practitioner), the acts of the lines by their numbers, whether any opening entry exists.
const char* const kPerformedSql = "SELECT a.NUMINT FROM ACTES a WHERE (a.MEDACTE = ? COLLATE FRENCH_PRIMARY)";
const char* const kDeletedSql = "SELECT j.NUMINT FROM JOURNAL j WHERE j.NATURE = 'suppression'";
const char* const kDatedSql =
    "SELECT j.NUMJ, j.NUMINT, j.NATURE, j.RECULE, j.PAYEUR, j.BENEFICIAIRE, j.MODE, j.MONTANT, j.ECRIT FROM JOURNAL j "
    "WHERE j.RECULE BETWEEN ? AND ? AND j.NATURE IN ('paiement', 'reversement') ORDER BY j.RECULE, j.NUMJ";
const char* const kActsSql =
    "SELECT NUMINT, Nom, Prenom, Acte, Date, MEDACTE FROM ACTES WHERE NUMINT IN (SELECT value FROM json_each(?))";
const char* const kAnyOpeningSql = "SELECT 1 FROM JOURNAL WHERE NATURE = 'reprise' LIMIT 1";

// Each row's first column, as a number.
std::vector<qint64> firstColumn(sqlite3* db, const char* sql, const QVariantList& binds = {}) {
    std::vector<qint64> numbers;
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db, sql, -1, &st, nullptr);
    for (int i = 0; i < binds.size(); ++i)
        sqlite3_bind_text(st, i + 1, binds[i].toString().toUtf8().constData(), -1, SQLITE_TRANSIENT);
    while (sqlite3_step(st) == SQLITE_ROW)
        numbers.push_back(sqlite3_column_int64(st, 0));
    sqlite3_finalize(st);
    return numbers;
}

void directStatements(DirectSqlite& db, const Choice& c) {
    std::vector<qint64> performed = firstColumn(db.handle(), kPerformedSql, {c.practitioner});
    std::sort(performed.begin(), performed.end());
    const std::vector<qint64> deletedList = firstColumn(db.handle(), kDeletedSql);
    const std::unordered_set<qint64> deleted(deletedList.begin(), deletedList.end());
    const Period p = yearPeriod(c.year);
    const QByteArray name = c.practitioner.toUtf8();
    std::unordered_set<qint64> wanted;
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db.handle(), kDatedSql, -1, &st, nullptr);
    sqlite3_bind_int64(st, 1, p.firstDay);
    sqlite3_bind_int64(st, 2, p.lastDay);
    while (sqlite3_step(st) == SQLITE_ROW) {
        const qint64 act = sqlite3_column_int64(st, 1);
        const bool payment = std::strcmp(reinterpret_cast<const char*>(sqlite3_column_text(st, 2)), "paiement") == 0;
        const bool ours = payment ? std::binary_search(performed.begin(), performed.end(), act) || deleted.count(act)
                                  : name == reinterpret_cast<const char*>(sqlite3_column_text(st, 4)) ||
                                        name == reinterpret_cast<const char*>(sqlite3_column_text(st, 5));
        if (ours)
            wanted.insert(act);
    }
    sqlite3_finalize(st);
    std::vector<qint64> numbers(wanted.begin(), wanted.end());
    std::sort(numbers.begin(), numbers.end());
    db.scan(kActsSql, {numberList(numbers, '[', ']')});
    db.scan(kAnyOpeningSql);
}

// The tax year's sums straight from SQLite: the fees received on the practitioner's acts, and the
// sums paid over to and by them (a sum between two spellings of the same name counts on neither side).
const char* const kTaxFeesSql =
    "SELECT coalesce(sum(j.MONTANT), 0) FROM JOURNAL j WHERE j.RECULE BETWEEN ? AND ? AND j.NATURE = 'paiement' AND "
    "j.NUMINT IN (SELECT a.NUMINT FROM ACTES a WHERE a.MEDACTE = ? COLLATE FRENCH_PRIMARY)";
const char* const kTaxReversalsSql =
    "SELECT coalesce(sum(CASE WHEN j.BENEFICIAIRE = ?3 COLLATE FRENCH_PRIMARY THEN j.MONTANT END), 0), "
    "coalesce(sum(CASE WHEN j.PAYEUR = ?3 COLLATE FRENCH_PRIMARY THEN j.MONTANT END), 0) FROM JOURNAL j WHERE "
    "j.RECULE BETWEEN ?1 AND ?2 AND j.NATURE = 'reversement' AND (j.PAYEUR = ?3 COLLATE FRENCH_PRIMARY) <> "
    "(j.BENEFICIAIRE = ?3 COLLATE FRENCH_PRIMARY)";

std::pair<qint64, qint64> directTaxYear(DirectSqlite& db, const Choice& c) {
    const Period p = yearPeriod(c.year);
    const QVariantList binds{QVariant::fromValue(p.firstDay), QVariant::fromValue(p.lastDay), c.practitioner};
    std::vector<QVariantList> fees, reversals;
    db.run(kTaxFeesSql, binds, &fees);
    db.run(kTaxReversalsSql, binds, &reversals);
    const qint64 received = fees.at(0).at(0).toLongLong() + reversals.at(0).at(0).toLongLong();
    return {received, reversals.at(0).at(1).toLongLong()};
}

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchApplication(argc, argv);
    const int rows = wantedRows();
    Setup& s = setup();
    s.dbPath = receiptsDatabase(rows);
    s.clinic = std::make_unique<BenchClinic>(s.dbPath);
    s.database.setLocation(s.dbPath);
    s.direct = std::make_unique<DirectSqlite>(s.dbPath);
    s.entries = scalar(s.direct->handle(), "SELECT count(*) FROM JOURNAL");
    const double before = currentMemoryMiB();
    s.window = new ReceiptsWindow(s.database);
    s.window->show();
    if (!waitExposed(s.window))
        qFatal("the receipts window was not shown");
    s.measured.database = &s.database;
    s.measured.window = s.window;
    s.measured.fecFolder = s.out.path();
    s.measured.direct = [](const Choice& c) { directStatements(*setup().direct, c); };
    s.taxYearWindow = new TaxYearWindow(s.database);
    s.taxYearWindow->show();
    s.measured.taxYearWindow = s.taxYearWindow;
    s.measured.directTaxYear = [](const Choice& c) { return directTaxYear(*setup().direct, c); };
    receipts::registerAll(&s.measured, "BM_Sqlite");

    std::printf("Receipts book and FEC at %d acts, %lld journal entries: %s\n", rows, s.entries, qPrintable(s.dbPath));
    std::fflush(stdout);
    benchmark::RunSpecifiedBenchmarks();

    Report& r = Report::instance();
    r.addNote(QStringLiteral("\nMemory: %1 MiB resident before the window, %2 MiB after the last book shown (goal "
                             "under 80 MiB for the book).")
                  .arg(before, 0, 'f', 1)
                  .arg(s.measured.memoryAfterBookMiB, 0, 'f', 1));
    r.addNote(QStringLiteral("Load average at the end: %1 on %2 processors.")
                  .arg(loadAverage(), 0, 'f', 2)
                  .arg(QThread::idealThreadCount()));
    const Choice c = choice(0);
    r.addNote(QStringLiteral("\nQuery plans (EXPLAIN QUERY PLAN):"));
    const std::pair<const char*, QVariantList> plans[] = {
        {kPerformedSql, {c.practitioner}},
        {kDeletedSql, {}},
        {kDatedSql,
         {QVariant::fromValue(yearPeriod(c.year).firstDay), QVariant::fromValue(yearPeriod(c.year).lastDay)}},
        {kActsSql, {QStringLiteral("[1,2,3]")}},
        {kAnyOpeningSql, {}},
        {kTaxFeesSql,
         {QVariant::fromValue(yearPeriod(c.year).firstDay), QVariant::fromValue(yearPeriod(c.year).lastDay),
          c.practitioner}},
        {kTaxReversalsSql,
         {QVariant::fromValue(yearPeriod(c.year).firstDay), QVariant::fromValue(yearPeriod(c.year).lastDay),
          c.practitioner}}};
    for (const auto& [sql, binds] : plans)
        r.addNote(
            QStringLiteral("  %1").arg(s.direct->queryPlan(QString::fromUtf8(sql), binds).join(QStringLiteral("; "))));
    if (problems() > 0)
        r.addNote(QStringLiteral("\n%1 unexpected outcome(s) seen while measuring.").arg(problems()));
    r.print();

    delete s.taxYearWindow.data();
    delete s.window.data();
    s.direct.reset();
    s.clinic.reset();
    benchmark::Shutdown();
    return problems() > 0 ? 3 : 0;
}
