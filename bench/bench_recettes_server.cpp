// The receipts book and the FEC on a PostgreSQL server: the clinic of bench_recettes (1,000,000 acts,
// some 2,900,000 dated journal entries, their hashes as written there) loaded once into a server
// the caller names, then the same measures as on the file.
//
//   OBSLEDGER_BENCH_SERVER="host=/tmp/pg user=postgres" bench_recettes_server
//
// The server is the caller's (a role that may create databases); the base "recettes_bench" is made
// there once and kept. bench_recettes must have built the file first.

#include "BenchSupport.h"
#include "ReceiptsBench.h"

#include "accounts/ReceiptsWindow.h"
#include "common/Settings.h"
#include "domain/ClinicCopy.h"
#include "domain/FecFile.h"
#include "store/Connection.h"
#include "store/SharedDatabase.h"
#include "store/Store.h"
#include "store/postgres/PgConnection.h"
#include "store/postgres/PgSchema.h"
#include "widgets/Dialogs.h"

#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <QApplication>
#include <QComboBox>
#include <QDate>
#include <QDir>
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
using obs::bench::receipts::yearPeriod;

namespace {

const QString kBase = QStringLiteral("recettes_bench");

struct Setup {
    QString admin;    // the caller's server
    QString conninfo; // the base measured
    SharedDatabase database;
    std::unique_ptr<BenchClinic> clinic;
    std::unique_ptr<PgConnection> direct;
    QPointer<ReceiptsWindow> window;
    QTemporaryDir out;
    receipts::Measured measured;
};

Setup& setup() {
    static Setup s;
    return s;
}

void checkOk(const Status& s, const char* what) {
    if (!s)
        qFatal("%s: %s", what, qPrintable(s.message));
}

std::unique_ptr<PgConnection> connect(const QString& conninfo) {
    Status s;
    auto db = PgConnection::open(conninfo, &s);
    checkOk(s, "connect");
    db->exec(QStringLiteral("SET statement_timeout = 0"));
    return db;
}

qint64 count(PgConnection& db, const QString& sql) {
    qint64 n = -1;
    db.exec(sql, {}, [&](const PgRow& r) {
        n = r.integer(0).value_or(-1);
        return false;
    });
    return n;
}

// The file's clinic on the server by the program's copy: acts, lists and the journal row for row.
void load(const QString& file) {
    Setup& s = setup();
    sqlite3* lite = nullptr;
    if (sqlite3_open_v2(file.toUtf8().constData(), &lite, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK)
        qFatal("cannot open %s", qPrintable(file));
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(lite, "SELECT count(*) FROM JOURNAL", -1, &st, nullptr);
    sqlite3_step(st);
    const qint64 entries = sqlite3_column_int64(st, 0);
    sqlite3_finalize(st);
    {
        auto admin = connect(s.admin);
        checkOk(admin->script(QStringLiteral("DO $$ BEGIN CREATE ROLE %1 NOLOGIN; EXCEPTION WHEN duplicate_object THEN "
                                             "NULL; END $$")
                                  .arg(kServerRole)),
                "role");
        bool exists = false;
        admin->exec(QStringLiteral("SELECT 1 FROM pg_database WHERE datname = ?"), {kBase}, [&](const PgRow&) {
            exists = true;
            return false;
        });
        if (exists) {
            auto db = connect(s.conninfo);
            if (count(*db, QStringLiteral("SELECT count(*) FROM journal")) == entries) {
                sqlite3_close(lite);
                return;
            }
        }
        std::fprintf(stderr, "bench: loading %s into the server (once)...\n", qPrintable(file));
        admin->script(QStringLiteral("SET client_min_messages = warning"));
        checkOk(admin->script(QStringLiteral("DROP DATABASE IF EXISTS %1 WITH (FORCE)").arg(kBase)), "drop");
        checkOk(admin->script(QStringLiteral("CREATE DATABASE %1").arg(kBase)), "create");
    }
    const auto t0 = Clock::now();
    {
        auto db = connect(s.conninfo);
        checkOk(createServerSchema(*db), "schema");
    }
    QString why;
    if (!copyClinic(file, s.conninfo, true, &why))
        qFatal("copy: %s", qPrintable(why));
    // The copy carries the journal row for row, its hashes with it.
    sqlite3_close(lite);
    auto db = connect(s.conninfo);
    if (count(*db, QStringLiteral("SELECT count(*) FROM journal")) != entries)
        qFatal("the copy did not carry the %lld journal entries", entries);
    checkOk(db->script(QStringLiteral("VACUUM (ANALYZE) actes")), "vacuum");
    checkOk(db->script(QStringLiteral("VACUUM (ANALYZE) memo")), "vacuum");
    checkOk(db->script(QStringLiteral("VACUUM (ANALYZE) journal")), "vacuum");
    std::fprintf(stderr, "bench: server loaded in %.0f s\n", elapsedMs(t0) / 1000.0);
}

// The book's statements as the store hands them to the server: the period's entries that are the
// practitioner's (payments on their acts, matched by the server, or on deleted acts; sums paid over,
// named by the program), the acts of the lines by their numbers, whether any opening entry exists.
const char* const kDatedSql =
    "SELECT j.numj, j.numint, j.nature, j.recule, j.payeur, j.beneficiaire, j.mode, j.montant, j.ecrit FROM journal j "
    "WHERE j.recule BETWEEN ? AND ? AND j.nature IN ('paiement') AND j.numint IN (SELECT a.numint FROM actes a WHERE "
    "(obs_fold(a.medacte) = obs_fold(?::text))) UNION ALL SELECT j.numj, j.numint, j.nature, j.recule, j.payeur, "
    "j.beneficiaire, j.mode, j.montant, j.ecrit FROM journal j WHERE j.recule BETWEEN ? AND ? AND j.nature IN "
    "('paiement') AND j.numint IN (SELECT d.numint FROM journal d WHERE d.nature = 'suppression') UNION ALL SELECT "
    "j.numj, j.numint, j.nature, j.recule, j.payeur, j.beneficiaire, j.mode, j.montant, j.ecrit FROM journal j WHERE "
    "j.recule BETWEEN ? AND ? AND j.nature IN ('reversement')";
const char* const kActsSql =
    "SELECT numint, nom, prenom, acte, date, medacte FROM actes WHERE numint = ANY(?::bigint[])";
const char* const kAnyOpeningSql = "SELECT 1 FROM journal WHERE nature = 'reprise' LIMIT 1";

void directStatements(PgConnection& db, const Choice& c) {
    const Period p = yearPeriod(c.year);
    const QByteArray name = c.practitioner.toUtf8();
    std::unordered_set<qint64> wanted;
    db.exec(QString::fromUtf8(kDatedSql),
            {p.firstDay, p.lastDay, c.practitioner, p.firstDay, p.lastDay, p.firstDay, p.lastDay}, [&](const PgRow& r) {
                if (r.utf8(2) == QByteArrayView("paiement") || r.utf8(4) == QByteArrayView(name) ||
                    r.utf8(5) == QByteArrayView(name))
                    wanted.insert(r.integer(1).value_or(0));
                return true;
            });
    std::vector<qint64> numbers(wanted.begin(), wanted.end());
    std::sort(numbers.begin(), numbers.end());
    qint64 seen = 0;
    auto each = [&](const PgRow& r) {
        for (int column = 0; column < r.columns(); ++column)
            seen += r.utf8(column).size();
        return true;
    };
    db.exec(QString::fromUtf8(kActsSql), {numberList(numbers, '{', '}')}, each);
    db.exec(QString::fromUtf8(kAnyOpeningSql), {}, each);
    benchmark::DoNotOptimize(seen);
}

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchApplication(argc, argv);
    Setup& s = setup();
    s.admin = qEnvironmentVariable("OBSLEDGER_BENCH_SERVER");
    if (s.admin.isEmpty())
        qFatal("OBSLEDGER_BENCH_SERVER names the server (host=... user=...)");
    s.conninfo = s.admin + QStringLiteral(" dbname=") + kBase;
    const int rows = wantedRows();
    const QString file = QDir(benchFolder()).filePath(QStringLiteral("recettes-v2-%1-OBSLEDGER.mdb").arg(rows));
    if (!QFile::exists(file))
        qFatal("%s is missing: run bench_recettes first", qPrintable(file));
    load(file);
    s.clinic = std::make_unique<BenchClinic>(file);
    QString error;
    if (!Settings::setServer(s.conninfo, &error))
        qFatal("settings: %s", qPrintable(error));
    s.database.setLocation(s.conninfo);
    s.direct = connect(s.conninfo);
    const double before = currentMemoryMiB();
    s.window = new ReceiptsWindow(s.database);
    s.window->show();
    if (!waitExposed(s.window))
        qFatal("the receipts window was not shown");

    s.measured.database = &s.database;
    s.measured.window = s.window;
    s.measured.fecFolder = s.out.path();
    s.measured.direct = [](const Choice& c) { directStatements(*setup().direct, c); };
    receipts::registerAll(&s.measured, "BM_Server");
    Report& r = Report::instance();

    std::printf("Receipts book and FEC on the server at %d acts, %lld journal entries: %s\n", rows,
                count(*s.direct, QStringLiteral("SELECT count(*) FROM journal")), qPrintable(s.conninfo));
    std::fflush(stdout);
    benchmark::RunSpecifiedBenchmarks();

    r.addNote(QStringLiteral("\n(The SQLite column holds the same statements through the server's connection.)"));
    r.addNote(QStringLiteral("Memory: %1 MiB resident before the window, %2 MiB after the last book shown.")
                  .arg(before, 0, 'f', 1)
                  .arg(s.measured.memoryAfterBookMiB, 0, 'f', 1));
    r.addNote(QStringLiteral("Load average at the end: %1 on %2 processors.")
                  .arg(loadAverage(), 0, 'f', 2)
                  .arg(QThread::idealThreadCount()));
    if (problems() > 0)
        r.addNote(QStringLiteral("\n%1 unexpected outcome(s) seen while measuring.").arg(problems()));
    r.print();

    delete s.window.data();
    s.direct.reset();
    s.clinic.reset();
    benchmark::Shutdown();
    return problems() > 0 ? 3 : 0;
}
