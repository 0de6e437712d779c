// The program on a PostgreSQL server at clinic scale (1,000,000 acts, Unix socket): the keystroke of
// the name search, the record buttons, the one-year listing, the owed amount and the start-up,
// each three ways in the same run: the real windows on the server (setting SERVEUR), the same
// windows on the SQLite file holding the same acts, and the same SQL without the program, through a
// raw libpq connection and through psql.
//
//   bench_server                                  all of it (builds the file and loads the server once)
//   bench_server --benchmark_filter=Keystroke     a part (Keystroke, Next, Previous, First, Last, Year,
//                                                 Owed, Start, Psql)
//   OBSLEDGER_BENCH_ROWS=20000 bench_server       a smaller clinic, for a quick look
//   OBSLEDGER_BENCH_KEEP_SERVER=1 bench_server    leaves the server running at the end
//
// The server is a PostgreSQL 15 of the benchmark's own: its folder $OBSLEDGER_BENCH_DIR/pg-<rows>
// holds the data, the log and the Unix socket (no TCP); initialised and filled from the kept file
// the first time (obsledger-admin copy's own code), reused by later runs while it holds the same
// acts as the file with the program's indexes and text functions, stopped at the end. As root it
// runs as the user postgres.

#include "BenchSupport.h"

#include "accounts/SearchWindow.h"
#include "app/RecordEditor.h"
#include "common/DayNumber.h"
#include "common/Money.h"
#include "common/Settings.h"
#include "domain/ClinicCopy.h"
#include "domain/RatesFile.h"
#include "store/BrowsedResult.h"
#include "store/SharedDatabase.h"
#include "store/postgres/PgConnection.h"
#include "store/postgres/PgSchema.h"
#include "store/sqlite/Collation.h"
#include "widgets/Dialogs.h"

#include <benchmark/benchmark.h>
#include <libpq-fe.h>

#include <QApplication>
#include <QComboBox>
#include <QDate>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QThread>

#include <pwd.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <functional>
#include <map>
#include <memory>

using namespace obs;
using namespace obs::bench;

namespace {

constexpr double kClickGoalMs = 16;
constexpr double kYearGoalMs = 1000;
constexpr double kOwedGoalMs = 50;
constexpr double kStartGoalMs = 500;

const QString kPgBin = QStringLiteral("/usr/lib/postgresql/15/bin");
const QString kDatabaseName = QStringLiteral("obsledger");

[[noreturn]] void fail(const QString& what) {
    std::fprintf(stderr, "bench: %s\n", qPrintable(what));
    std::fflush(stderr);
    std::exit(1);
}

// ---------------------------------------------------------------------------------------------
// The server

struct Server {
    QString folder; // data/, server.log and the socket
    bool startedHere = false;
    QString conninfo() const { return QStringLiteral("host=%1 user=postgres dbname=%2").arg(folder, kDatabaseName); }
    QString adminConninfo() const { return QStringLiteral("host=%1 user=postgres dbname=postgres").arg(folder); }
    QString data() const { return folder + QStringLiteral("/data"); }
};

Server& server() {
    static Server s;
    return s;
}

bool asRoot() {
    return ::geteuid() == 0;
}

// Runs a PostgreSQL tool (as postgres when this is root); its exit code, its output in *output.
int runPgTool(const QString& tool, const QStringList& args, QString* output = nullptr) {
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.setWorkingDirectory(server().folder);
    QStringList full;
    QString program = kPgBin + u'/' + tool;
    if (asRoot()) {
        full << QStringLiteral("-u") << QStringLiteral("postgres") << QStringLiteral("--") << program;
        program = QStringLiteral("runuser");
    }
    p.start(program, full + args);
    if (!p.waitForFinished(600000))
        fail(QStringLiteral("%1 did not finish").arg(tool));
    if (output)
        *output = QString::fromLocal8Bit(p.readAll());
    return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
}

std::unique_ptr<PgConnection> connectOrFail(const QString& conninfo) {
    Status s;
    auto db = PgConnection::open(conninfo, &s);
    if (!db)
        fail(s.message);
    return db;
}

void checkOk(const Status& s, const char* what) {
    if (!s)
        fail(QStringLiteral("%1: %2").arg(QString::fromLatin1(what), s.message));
}

// What identifies the acts of a database: count, sum of PRIX, greatest number.
struct Signature {
    qint64 count = -1, prices = 0, last = 0;
    friend bool operator==(const Signature&, const Signature&) = default;
};

Signature fileSignature(const QString& path) {
    DirectSqlite db(path);
    std::vector<QVariantList> rows;
    db.run("SELECT count(*), coalesce(sum(PRIX), 0), coalesce(max(NUMINT), 0) FROM ACTES", {}, &rows);
    return {rows.at(0).value(0).toLongLong(), rows.at(0).value(1).toLongLong(), rows.at(0).value(2).toLongLong()};
}

Signature serverSignature(PgConnection& db) {
    Signature sig;
    db.exec(QStringLiteral("SELECT count(*), coalesce(sum(prix), 0), coalesce(max(numint), 0) FROM actes"), {},
            [&](const PgRow& r) {
                sig = {r.integer(0).value_or(-1), r.integer(1).value_or(0), r.integer(2).value_or(0)};
                return false;
            });
    return sig;
}

// The server's indexes and text functions as the program creates them: a kept database made with
// other ones (an earlier version of the program) is loaded again.
QString schemaOf(PgConnection& db) {
    QString out;
    db.exec(QStringLiteral("SELECT indexname || ': ' || indexdef FROM pg_indexes WHERE tablename IN ('actes', 'memo') "
                           "UNION ALL SELECT proname || ': ' || md5(pg_get_functiondef(oid)) FROM pg_proc WHERE "
                           "proname LIKE 'obs%' OR proname = 'memo_index' ORDER BY 1"),
            {}, [&](const PgRow& r) {
                out += r.text(0) + u'\n';
                return true;
            });
    return out;
}

QString programSchema(PgConnection& admin) {
    const QString name = kDatabaseName + QStringLiteral("_schema");
    admin.script(QStringLiteral("SET client_min_messages = warning"));
    admin.script(QStringLiteral("DROP DATABASE IF EXISTS %1 WITH (FORCE)").arg(name));
    checkOk(admin.script(QStringLiteral("CREATE DATABASE %1").arg(name)), "create database");
    QString schema;
    {
        auto db = connectOrFail(QStringLiteral("host=%1 user=postgres dbname=%2").arg(server().folder, name));
        checkOk(createServerSchema(*db), "server tables");
        schema = schemaOf(*db);
    }
    admin.script(QStringLiteral("DROP DATABASE %1 WITH (FORCE)").arg(name));
    return schema;
}

// Starts the benchmark's server (or finds it running) and makes it hold the acts of the file.
void startServer(int rows, const QString& filePath) {
    Server& srv = server();
    srv.folder = QDir(benchFolder()).filePath(QStringLiteral("pg-%1").arg(rows));
    if (!QDir().mkpath(srv.folder))
        fail(QStringLiteral("cannot create %1").arg(srv.folder));
    if (asRoot()) {
        const passwd* pw = ::getpwnam("postgres");
        if (!pw || ::chown(QFile::encodeName(srv.folder).constData(), pw->pw_uid, pw->pw_gid) != 0)
            fail(QStringLiteral("no user postgres to run the server (apt-get install postgresql)"));
    }
    QString out;
    if (!QFileInfo::exists(srv.data() + QStringLiteral("/PG_VERSION"))) {
        std::fprintf(stderr, "bench: initialising a PostgreSQL server in %s\n", qPrintable(srv.data()));
        if (runPgTool(QStringLiteral("initdb"),
                      {QStringLiteral("-D"), srv.data(), QStringLiteral("-A"), QStringLiteral("trust"),
                       QStringLiteral("-U"), QStringLiteral("postgres"), QStringLiteral("-E"), QStringLiteral("UTF8"),
                       QStringLiteral("--no-sync")},
                      &out) != 0)
            fail(QStringLiteral("initdb failed: %1").arg(out));
    }
    if (runPgTool(QStringLiteral("pg_ctl"), {QStringLiteral("-D"), srv.data(), QStringLiteral("status")}) != 0) {
        // Unix socket in the folder, no TCP; the server's other settings are PostgreSQL's own.
        if (runPgTool(QStringLiteral("pg_ctl"),
                      {QStringLiteral("-D"), srv.data(), QStringLiteral("-o"),
                       QStringLiteral("-k %1 -c listen_addresses=''").arg(srv.folder), QStringLiteral("-l"),
                       srv.folder + QStringLiteral("/server.log"), QStringLiteral("-w"), QStringLiteral("start")},
                      &out) != 0)
            fail(QStringLiteral("the server did not start: %1 (see %2/server.log)").arg(out, srv.folder));
        srv.startedHere = true;
    }

    const Signature wanted = fileSignature(filePath);
    {
        auto admin = connectOrFail(srv.adminConninfo());
        // The workstations' role, which the server's administrator makes before init.
        checkOk(admin->script(QStringLiteral("DO $$ BEGIN CREATE ROLE %1 NOLOGIN; EXCEPTION WHEN duplicate_object THEN "
                                             "NULL; END $$")
                                  .arg(kServerRole)),
                "role");
        bool exists = false;
        admin->exec(QStringLiteral("SELECT 1 FROM pg_database WHERE datname = ?"), {kDatabaseName}, [&](const PgRow&) {
            exists = true;
            return false;
        });
        if (exists) {
            Status s;
            auto db = PgConnection::open(srv.conninfo(), &s);
            if (db && checkServerTables(*db)) {
                // Acts left behind by a run stopped between adding and deleting.
                db->exec(QStringLiteral("DELETE FROM actes WHERE nom = ?"), {kScratchSurname});
                if (serverSignature(*db) == wanted && schemaOf(*db) == programSchema(*admin))
                    return;
            }
        }
        std::fprintf(stderr, "bench: loading the server with the %d acts of %s (once; later runs reuse it)...\n", rows,
                     qPrintable(filePath));
        admin->script(QStringLiteral("SET client_min_messages = warning"));
        checkOk(admin->script(QStringLiteral("DROP DATABASE IF EXISTS %1 WITH (FORCE)").arg(kDatabaseName)), "drop");
        checkOk(admin->script(QStringLiteral("CREATE DATABASE %1").arg(kDatabaseName)), "create database");
    }
    const auto t0 = Clock::now();
    {
        auto db = connectOrFail(srv.conninfo());
        checkOk(createServerSchema(*db), "server tables");
    }
    QString why;
    if (!copyClinic(filePath, srv.conninfo(), true, &why))
        fail(QStringLiteral("copy to the server: %1").arg(why));
    // The visibility map and the statistics, as a server that has run for a while has them.
    auto db = connectOrFail(srv.conninfo());
    db->exec(QStringLiteral("SET statement_timeout = 0"));
    checkOk(db->script(QStringLiteral("VACUUM (ANALYZE) actes")), "vacuum");
    checkOk(db->script(QStringLiteral("VACUUM (ANALYZE) memo")), "vacuum");
    if (!(serverSignature(*db) == wanted))
        fail(QStringLiteral("the server does not hold the acts of the file after the copy"));
    std::fprintf(stderr, "bench: server loaded in %.0f s\n", elapsedMs(t0) / 1000.0);
}

void stopServer() {
    if (server().folder.isEmpty() || qEnvironmentVariableIsSet("OBSLEDGER_BENCH_KEEP_SERVER"))
        return;
    runPgTool(QStringLiteral("pg_ctl"), {QStringLiteral("-D"), server().data(), QStringLiteral("-m"),
                                         QStringLiteral("fast"), QStringLiteral("stop")});
}

// ---------------------------------------------------------------------------------------------
// The same SQL without the program: statements as the server store sends them, values bound as
// text, every value of every row read.

class DirectServer {
public:
    explicit DirectServer(const QString& conninfo) {
        m_conn = PQconnectdb(conninfo.toUtf8().constData());
        if (PQstatus(m_conn) != CONNECTION_OK)
            fail(QStringLiteral("libpq: %1").arg(QString::fromUtf8(PQerrorMessage(m_conn))));
    }
    ~DirectServer() { PQfinish(m_conn); }
    DirectServer(const DirectServer&) = delete;
    DirectServer& operator=(const DirectServer&) = delete;

    // Rows of the answer; *first holds the first row's values when asked for.
    int run(const char* sql, const QList<QByteArray>& values, QList<QByteArray>* first = nullptr) {
        std::vector<const char*> v;
        for (const QByteArray& b : values)
            v.push_back(b.constData());
        PGresult* r = PQexecParams(m_conn, sql, int(v.size()), nullptr, v.data(), nullptr, nullptr, 0);
        const ExecStatusType st = PQresultStatus(r);
        if (st != PGRES_TUPLES_OK && st != PGRES_COMMAND_OK)
            fail(
                QStringLiteral("libpq %1: %2").arg(QString::fromUtf8(sql), QString::fromUtf8(PQresultErrorMessage(r))));
        const int n = PQntuples(r), cols = PQnfields(r);
        qint64 sum = 0;
        for (int i = 0; i < n; ++i)
            for (int c = 0; c < cols; ++c)
                sum += PQgetlength(r, i, c) + (PQgetisnull(r, i, c) ? 0 : PQgetvalue(r, i, c)[0]);
        benchmark::DoNotOptimize(sum);
        if (first) {
            first->clear();
            for (int c = 0; n > 0 && c < cols; ++c)
                *first << QByteArray(PQgetvalue(r, 0, c), PQgetlength(r, 0, c));
        }
        PQclear(r);
        return n;
    }

private:
    PGconn* m_conn = nullptr;
};

// The statements of the acts by name, the listing and the owed amount, as the server store writes
// them ($n where it writes ?): kept in step with src/store/postgres/PgStore.cpp.
const QString kNameKeys = QStringLiteral("obs_fold(nom), obs_case(nom), obs_fold(prenom), obs_case(prenom)");
QString namesSql(const QString& where, bool forward) {
    const QString dir = forward ? QString() : QStringLiteral(" DESC");
    // The step reads the act itself with its keys.
    QString sql = QStringLiteral("SELECT %1, numint, numint, nom, prenom, date, medsuit, medacte, acte, ccam1, nf, "
                                 "ccam2, ccam3, ccam4, ccam5, ccam6, prix, de, payesecu, payecomple, payede, reverse, "
                                 "daterev FROM actes")
                      .arg(kNameKeys);
    if (!where.isEmpty())
        sql += QStringLiteral(" WHERE (") + where + u')';
    return sql + QStringLiteral(" ORDER BY obs_fold(nom)%1, obs_case(nom)%1, obs_fold(prenom)%1, obs_case(prenom)%1, "
                                "numint%1 LIMIT 1")
                     .arg(dir);
}
const QByteArray kFirstSql = namesSql({}, true).toUtf8();
const QByteArray kLastSql = namesSql({}, false).toUtf8();
const QByteArray kFindSql =
    namesSql(QStringLiteral("(obs_fold(nom), obs_case(nom)) >= (obs_fold($1), obs_case($2))"), true).toUtf8();
const QByteArray kNextSql =
    namesSql(QStringLiteral("(%1, numint) > ($1, $2, $3, $4, $5)").arg(kNameKeys), true).toUtf8();
const QByteArray kPreviousSql =
    namesSql(QStringLiteral("(%1, numint) < ($1, $2, $3, $4, $5)").arg(kNameKeys), false).toUtf8();
// The listing's total is summed from its rows (PRIX read with them).
const QByteArray kYearSql = QByteArrayLiteral(
    "SELECT numint, nom, prenom, date, ccam1, de, prix FROM actes WHERE date BETWEEN $1 AND $2 ORDER BY date, "
    "obs_fold(nom), obs_case(nom), obs_fold(prenom), obs_case(prenom), numint");
const QByteArray kOwedSql = QByteArrayLiteral(
    "SELECT SUM(prix), SUM(reverse) FROM actes WHERE date BETWEEN $1 AND $2 AND obs_fold(medsuit) = obs_fold($3) AND "
    "obs_fold(medacte) = obs_fold($4)");

// ---------------------------------------------------------------------------------------------
// The figures: per action, the program on the server and on the file, libpq and psql.

enum class Way { Server, File, Libpq, Psql, Store };

struct Figures {
    QString action;
    double goalMs = 0;
    QString sql; // what libpq and psql run for one action
    std::map<Way, Samples> samples;
};

std::vector<QString>& order() {
    static std::vector<QString> o;
    return o;
}
std::map<QString, Figures>& figures() {
    static std::map<QString, Figures> f;
    return f;
}
QStringList& notes() {
    static QStringList n;
    return n;
}

void declare(const QString& key, const QString& action, double goalMs, const QString& sql) {
    order().push_back(key);
    figures()[key] = {action, goalMs, sql, {}};
}

void publish(benchmark::State& state, const QString& key, Way way, const Samples& s) {
    state.counters["p50_ms"] = s.median();
    state.counters["p95_ms"] = s.p95();
    figures()[key].samples[way] = s;
}

void printFigures() {
    auto num = [](double v) { return QString::number(v, 'f', v >= 100 ? 0 : (v >= 10 ? 1 : (v >= 1 ? 2 : 3))); };
    const char* const format =
        "%-44s %4s | %7s %7s %7s | %7s %7s | %7s %7s | %7s %7s | %7s %7s | %5s %5s %5s | %5s %s\n";
    std::printf("\n");
    std::printf(format, "", "", "server", "", "", "file", "", "store", "", "libpq", "", "psql", "", "x", "store/",
                "srv/", "", "");
    std::printf(format, "Action", "n", "p50", "p95", "cpu p95", "p50", "p95", "p50", "p95", "p50", "p95", "p50", "p95",
                "libpq", "libpq", "file", "goal", "met (server p95 < goal)");
    std::printf("%s\n", QString(160, u'-').toUtf8().constData());
    for (const QString& key : order()) {
        Figures& f = figures()[key];
        if (f.samples.empty())
            continue;
        auto cell = [&](Way w, bool p95) {
            const auto it = f.samples.find(w);
            return it == f.samples.end() || it->second.empty() ? QStringLiteral("-")
                                                               : num(p95 ? it->second.p95() : it->second.median());
        };
        auto ratio = [&](Way a, Way b) {
            const auto ia = f.samples.find(a), ib = f.samples.find(b);
            if (ia == f.samples.end() || ib == f.samples.end() || ia->second.empty() || ib->second.empty() ||
                ib->second.median() <= 0)
                return QStringLiteral("-");
            return QString::number(ia->second.median() / ib->second.median(), 'f', 1);
        };
        const auto srv = f.samples.find(Way::Server);
        const bool hasServer = srv != f.samples.end() && !srv->second.empty();
        const QString met = !hasServer ? QStringLiteral("-")
                                       : (srv->second.p95() < f.goalMs ? QStringLiteral("yes") : QStringLiteral("NO"));
        std::printf(
            format, f.action.toUtf8().constData(), qPrintable(QString::number(hasServer ? srv->second.size() : 0)),
            qPrintable(cell(Way::Server, false)), qPrintable(cell(Way::Server, true)),
            hasServer && srv->second.hasCpu() ? qPrintable(num(srv->second.cpuP95())) : "-",
            qPrintable(cell(Way::File, false)), qPrintable(cell(Way::File, true)), qPrintable(cell(Way::Store, false)),
            qPrintable(cell(Way::Store, true)), qPrintable(cell(Way::Libpq, false)), qPrintable(cell(Way::Libpq, true)),
            qPrintable(cell(Way::Psql, false)), qPrintable(cell(Way::Psql, true)),
            qPrintable(ratio(Way::Server, Way::Libpq)), qPrintable(ratio(Way::Store, Way::Libpq)),
            qPrintable(ratio(Way::Server, Way::File)), qPrintable(num(f.goalMs)), qPrintable(met));
    }
    std::printf("\nTimes in milliseconds, one action each. server: the real window on the server (SERVEUR), driven "
                "by its controls until repainted;\ncpu p95: the window thread's CPU time; file: the same window on "
                "the SQLite file holding the same acts; store: the server store alone (its cursor,\nlisting or sums), "
                "no window; libpq: the statements below on a raw connection, every value "
                "read; psql: the same statements, values written in, run by psql -X with \\timing on\n(its \"Time:\" "
                "of each statement, rows sent to /dev/null); x libpq: server / libpq; store/libpq: store / libpq;\n"
                "srv/file: server / file.\n");
    for (const QString& key : order()) {
        const Figures& f = figures()[key];
        if (!f.samples.empty() && !f.sql.isEmpty())
            std::printf("  %-42s %s\n", f.action.toUtf8().constData(), f.sql.toUtf8().constData());
    }
    for (const QString& n : notes())
        std::printf("%s\n", n.toUtf8().constData());
    std::fflush(stdout);
}

// ---------------------------------------------------------------------------------------------
// The program on either engine: the same windows, the setting SERVEUR set or removed.

struct Engine {
    Way way = Way::Server;
    SharedDatabase database;
    BrowsedResult browsed;
    QPointer<RecordEditor> main;
    QPointer<SearchWindow> search;
    // What each action showed (act numbers, counts, totals): both engines must show the same.
    std::map<QString, QStringList> shown;
};

struct Setup {
    QString filePath;
    std::unique_ptr<BenchClinic> clinic;
    Engine onServer;
    Engine onFile;
    std::unique_ptr<DirectServer> libpq;
    std::unique_ptr<DirectSqlite> sqlite;
};

Setup& setup() {
    static Setup s;
    return s;
}

Engine& engine(Way way) {
    return way == Way::Server ? setup().onServer : setup().onFile;
}

// Points the settings at the engine: the server when SERVEUR is set, else CHEMIN's file.
void useEngine(Way way) {
    QString error;
    if (!Settings::setServer(way == Way::Server ? server().conninfo() : QString(), &error))
        fail(QStringLiteral("cannot write the setting SERVEUR: %1").arg(error));
}

RecordEditor* recordEditor(Way way) {
    Engine& e = engine(way);
    if (!e.main) {
        useEngine(way);
        e.main = new RecordEditor(e.database, e.browsed);
        if (!e.main->load())
            fail(QStringLiteral("the main window could not open its database: %1").arg(Dialogs::lastText()));
        e.main->show();
        if (!waitExposed(e.main))
            fail(QStringLiteral("the main window is not shown"));
        settle();
    }
    return e.main;
}

SearchWindow* searchWindow(Way way) {
    Engine& e = engine(way);
    if (!e.search) {
        useEngine(way);
        Dialogs::clearShown();
        e.search = new SearchWindow(e.database);
        e.search->show();
        if (!waitExposed(e.search))
            fail(QStringLiteral("the search screen is not shown"));
        settle();
        if (!Dialogs::shownTexts().isEmpty())
            problem(QStringLiteral("opening the search screen said: %1").arg(Dialogs::shownTexts().join(u'|')));
    }
    return e.search;
}

void compareEngines(const QString& what) {
    const QStringList& a = setup().onServer.shown[what];
    const QStringList& b = setup().onFile.shown[what];
    const qsizetype n = std::min(a.size(), b.size());
    for (qsizetype i = 0; i < n; ++i) {
        if (a[i] != b[i]) {
            problem(QStringLiteral("%1, step %2: the server showed %3, the file %4").arg(what).arg(i).arg(a[i], b[i]));
            return;
        }
    }
}

// ---------------------------------------------------------------------------------------------
// The keystroke of the name search ("Text1"): the acts by name opened, the first at or after the
// text found, its row read and shown.

const QStringList kTyped = {
    QStringLiteral("DURAND"),   QStringLiteral("martin"),   QStringLiteral("LEFEBVRE"), QStringLiteral("Léger"),
    QStringLiteral("ROUSSEAU"), QStringLiteral("GAUTHIER"), QStringLiteral("BONNET"),   QStringLiteral("Dupont"),
    QStringLiteral("PETIT"),    QStringLiteral("CARON"),    QStringLiteral("THOMAS"),   QStringLiteral("girard"),
    QStringLiteral("MOREL"),    QStringLiteral("LEFÈVRE"),  QStringLiteral("NICOLAS"),  QStringLiteral("D'ALMEIDA"),
    QStringLiteral("FOURNIER"), QStringLiteral("SIMON"),    QStringLiteral("ABADIE"),   QStringLiteral("VINCENT")};

QStringList keystrokePrefixes(int count) {
    QStringList out;
    for (int i = 0; out.size() < count; ++i) {
        const QString& n = kTyped[i % kTyped.size()];
        for (int k = 1; k <= n.size() && out.size() < count; ++k)
            out << n.left(k);
    }
    return out;
}

void programKeystroke(benchmark::State& state, Way way) {
    RecordEditor* w = recordEditor(way);
    auto* text1 = control<QLineEdit>(w, "Text1");
    auto* txtNom = control<QLineEdit>(w, "TxtNom");
    auto* numero = control<QLabel>(w, "LblNumero");
    QStringList& shown = engine(way).shown[QStringLiteral("keystroke")];
    shown.clear();
    Samples samples;
    int name = 0, pos = 0;
    text1->clear();
    settle();
    Dialogs::clearShown();
    for (auto _ : state) {
        if (pos == kTyped[name].size()) {
            if (frenchCompare(txtNom->text(), kTyped[name]) < 0)
                problem(QStringLiteral("typing %1 showed %2").arg(kTyped[name], txtNom->text()));
            name = (name + 1) % int(kTyped.size());
            pos = 0;
            text1->clear();
            settle();
        }
        const Stopwatch sw;
        typeCharacter(text1, kTyped[name][pos++]);
        settle();
        sw.lap(state, samples);
        shown << numero->text();
        if (!Dialogs::shownTexts().isEmpty()) {
            problem(QStringLiteral("search %1 said: %2").arg(text1->text(), Dialogs::lastText()));
            Dialogs::clearShown();
        }
    }
    publish(state, QStringLiteral("keystroke"), way, samples);
}

QList<QByteArray> keysOf(const QList<QByteArray>& row) {
    return row.mid(0, 5);
}

void libpqKeystroke(benchmark::State& state) {
    DirectServer& db = *setup().libpq;
    const QStringList prefixes = keystrokePrefixes(int(state.max_iterations));
    Samples samples;
    int i = 0;
    for (auto _ : state) {
        const QByteArray text = prefixes[i++ % prefixes.size()].toUtf8();
        QList<QByteArray> found;
        const Stopwatch sw;
        db.run(kFirstSql.constData(), {});
        db.run(kFindSql.constData(), {text, text}, &found);
        sw.lap(state, samples);
    }
    publish(state, QStringLiteral("keystroke"), Way::Libpq, samples);
}

// The server store alone: the cursor the main window keeps, sought from its first record.
std::unique_ptr<RecordCursor> storeCursor() {
    Status s;
    auto cursor = engine(Way::Server).database.store()->browse(BrowseQuery::actsByName(), &s);
    if (!cursor)
        fail(QStringLiteral("store cursor: %1").arg(s.message));
    return cursor;
}

void storeKeystroke(benchmark::State& state) {
    auto cursor = storeCursor();
    const QStringList prefixes = keystrokePrefixes(int(state.max_iterations));
    Samples samples;
    int i = 0;
    for (auto _ : state) {
        const QString text = prefixes[i++ % prefixes.size()];
        BrowsedRecord record;
        bool matched = false;
        const Stopwatch sw;
        Status s = cursor->moveFirst();
        if (s)
            s = cursor->findFirst(text, &matched);
        if (s && matched)
            s = cursor->current(&record);
        sw.lap(state, samples);
        if (!s)
            problem(QStringLiteral("store keystroke %1: %2").arg(text, s.message));
    }
    publish(state, QStringLiteral("keystroke"), Way::Store, samples);
}

// ---------------------------------------------------------------------------------------------
// The record buttons, from several places in the alphabet (a search every 100 presses).

const QStringList kStartLetters = {QStringLiteral("M"), QStringLiteral("G"), QStringLiteral("L"), QStringLiteral("R"),
                                   QStringLiteral("D")};

struct StepCase {
    const char* key;
    const char* button;
    const char* action;
    const QByteArray* sql;
    bool keyed; // the statement starts from the current act's keys
};

const StepCase kSteps[] = {
    {"next", "Command4", "Command4 \">\" next record", &kNextSql, true},
    {"previous", "Command3", "Command3 \"<\" previous record", &kPreviousSql, true},
    {"first", "Command1", "Command1 \"Debut\" first record", &kFirstSql, false},
    {"last", "Command2", "Command2 \"Fin\" last record", &kLastSql, false},
};

void placeBySearch(RecordEditor* w, const QString& text) {
    auto* text1 = control<QLineEdit>(w, "Text1");
    text1->clear();
    text1->setText(text);
    settle();
}

void programStep(benchmark::State& state, const StepCase& c, Way way) {
    RecordEditor* w = recordEditor(way);
    auto* b = control<QPushButton>(w, c.button);
    auto* numero = control<QLabel>(w, "LblNumero");
    QStringList& shown = engine(way).shown[QString::fromLatin1(c.key)];
    shown.clear();
    Samples samples;
    int n = 0;
    placeBySearch(w, kStartLetters[0]);
    for (auto _ : state) {
        if (n > 0 && n % 100 == 0)
            placeBySearch(w, kStartLetters[(n / 100) % kStartLetters.size()]);
        ++n;
        const QString before = numero->text();
        const Stopwatch sw;
        b->click();
        settle();
        sw.lap(state, samples);
        shown << numero->text();
        if (numero->text().isEmpty() || (c.keyed && numero->text() == before))
            problem(QStringLiteral("%1 left the record %2 -> %3")
                        .arg(QString::fromLatin1(c.button), before, numero->text()));
    }
    publish(state, QString::fromLatin1(c.key), way, samples);
}

void libpqStep(benchmark::State& state, const StepCase& c) {
    DirectServer& db = *setup().libpq;
    Samples samples;
    int n = 0;
    QList<QByteArray> keys;
    auto place = [&](const QString& letter) {
        QList<QByteArray> row;
        const QByteArray t = letter.toUtf8();
        db.run(kFindSql.constData(), {t, t}, &row);
        keys = keysOf(row);
    };
    place(kStartLetters[0]);
    for (auto _ : state) {
        if (n > 0 && n % 100 == 0)
            place(kStartLetters[(n / 100) % kStartLetters.size()]);
        ++n;
        QList<QByteArray> row;
        const Stopwatch sw;
        db.run(c.sql->constData(), c.keyed ? keys : QList<QByteArray>(), &row);
        sw.lap(state, samples);
        if (c.keyed && !row.isEmpty())
            keys = keysOf(row);
    }
    publish(state, QString::fromLatin1(c.key), Way::Libpq, samples);
}

void storeStep(benchmark::State& state, const StepCase& c) {
    auto cursor = storeCursor();
    Samples samples;
    int n = 0;
    auto place = [&](const QString& letter) {
        bool matched = false;
        cursor->findFirst(letter, &matched);
    };
    place(kStartLetters[0]);
    const QString button = QString::fromLatin1(c.button);
    for (auto _ : state) {
        if (n > 0 && n % 100 == 0)
            place(kStartLetters[(n / 100) % kStartLetters.size()]);
        ++n;
        BrowsedRecord record;
        const Stopwatch sw;
        Status s = button == QLatin1String("Command4")   ? cursor->moveNext()
                   : button == QLatin1String("Command3") ? cursor->movePrevious()
                   : button == QLatin1String("Command1") ? cursor->moveFirst()
                                                         : cursor->moveLast();
        if (s)
            s = cursor->currentAfterMove(&record);
        sw.lap(state, samples);
        if (!s)
            problem(QStringLiteral("store %1: %2").arg(button, s.message));
    }
    publish(state, QString::fromLatin1(c.key), Way::Store, samples);
}

// ---------------------------------------------------------------------------------------------
// One year listed on the search screen ("Rechercher", no criteria), each time another year.

struct YearSpan {
    QDate first, last;
    QByteArray firstDay() const { return QByteArray::number(dayNumberOf(first)); }
    QByteArray lastDay() const { return QByteArray::number(dayNumberOf(last)); }
};

const std::vector<YearSpan>& years() {
    static const std::vector<YearSpan> list = [] {
        std::vector<YearSpan> out;
        const int thisYear = QDate::currentDate().year();
        for (int y = thisYear - 19; y < thisYear; ++y)
            out.push_back({QDate(y, 1, 1), QDate(y, 12, 31)});
        return out;
    }();
    return list;
}

void programYear(benchmark::State& state, Way way) {
    SearchWindow* w = searchWindow(way);
    for (const char* box : {"CmbPrat1", "CmbPrat2", "CmbActes", "CmbNF"}) {
        auto* b = control<QComboBox>(w, box);
        b->setCurrentIndex(-1);
        if (b->isEditable())
            b->clearEditText();
    }
    auto* count = control<QLabel>(w, "Label1");
    auto* total = control<QLabel>(w, "LblTotalActes");
    QStringList& shown = engine(way).shown[QStringLiteral("year")];
    shown.clear();
    Samples samples;
    size_t i = 0;
    Dialogs::clearShown();
    for (auto _ : state) {
        const YearSpan& y = years()[i++ % years().size()];
        control<QLineEdit>(w, "TxtDate1")->setText(frenchDate(y.first));
        control<QLineEdit>(w, "TxtDate2")->setText(frenchDate(y.last));
        settle();
        const Stopwatch sw;
        control<QPushButton>(w, "Command2")->click();
        settle();
        sw.lap(state, samples);
        shown << count->text() + u' ' + total->text();
        if (count->text().toInt() <= 0 || !Dialogs::shownTexts().isEmpty()) {
            problem(
                QStringLiteral("listing %1: %2 acts %3").arg(frenchDate(y.first), count->text(), Dialogs::lastText()));
            Dialogs::clearShown();
        }
    }
    publish(state, QStringLiteral("year"), way, samples);
}

void libpqYear(benchmark::State& state) {
    DirectServer& db = *setup().libpq;
    Samples samples;
    size_t i = 0;
    for (auto _ : state) {
        const YearSpan& y = years()[i++ % years().size()];
        const Stopwatch sw;
        db.run(kYearSql.constData(), {y.firstDay(), y.lastDay()});
        sw.lap(state, samples);
    }
    publish(state, QStringLiteral("year"), Way::Libpq, samples);
}

void storeYear(benchmark::State& state) {
    const auto store = engine(Way::Server).database.store();
    Samples samples;
    size_t i = 0;
    for (auto _ : state) {
        const YearSpan& y = years()[i++ % years().size()];
        qint64 rows = 0;
        std::optional<Money> total;
        const Stopwatch sw;
        const Status s = store->acts().listing(
            ListingKind::Search, {dayNumberOf(y.first), dayNumberOf(y.last)}, {},
            [&](const ListingRow&) {
                ++rows;
                return true;
            },
            &total);
        sw.lap(state, samples);
        if (!s || rows == 0)
            problem(QStringLiteral("store listing %1: %2 acts %3").arg(frenchDate(y.first)).arg(rows).arg(s.message));
    }
    publish(state, QStringLiteral("year"), Way::Store, samples);
}

// ---------------------------------------------------------------------------------------------
// What one practitioner owes another (reversal panel, "CmdDoit"), a pair of colleagues over a year.

struct Pair {
    QString followUp, performer; // CmbPPrat1, CmbPPrat2
};
const std::vector<Pair> kPairs = {{QStringLiteral("Dr BERTRAND"), QStringLiteral("Dr FONTAINE")},
                                  {QStringLiteral("Dr D'ORVAL"), QStringLiteral("Dr LEFEBVRE")},
                                  {QStringLiteral("Dr FONTAINE"), QStringLiteral("Dr MARTIN")}};

void setCombo(QComboBox* box, const QString& text) {
    if (box->isEditable())
        box->setEditText(text);
    else
        box->setCurrentIndex(text.isEmpty() ? -1 : box->findText(text));
}

void programOwed(benchmark::State& state, Way way) {
    SearchWindow* w = searchWindow(way);
    auto* value = control<QLabel>(w, "Label8");
    auto* owed = control<QLabel>(w, "LblDoit");
    QStringList& shown = engine(way).shown[QStringLiteral("owed")];
    shown.clear();
    Samples samples;
    size_t i = 0;
    Dialogs::clearShown();
    for (auto _ : state) {
        const Pair& p = kPairs[i % kPairs.size()];
        const YearSpan& y = years()[(i * 7) % years().size()];
        ++i;
        control<QLineEdit>(w, "TxtDate3")->setText(frenchDate(y.first));
        control<QLineEdit>(w, "TxtDate4")->setText(frenchDate(y.last));
        setCombo(control<QComboBox>(w, "CmbPPrat1"), p.followUp);
        setCombo(control<QComboBox>(w, "CmbPPrat2"), p.performer);
        owed->clear();
        settle();
        const Stopwatch sw;
        control<QPushButton>(w, "CmdDoit")->click();
        settle();
        sw.lap(state, samples);
        shown << value->text() + u' ' + owed->text();
        if (owed->text().isEmpty() || !Dialogs::shownTexts().isEmpty()) {
            problem(QStringLiteral("CmdDoit %1/%2: %3 %4")
                        .arg(p.followUp, p.performer, value->text(), Dialogs::lastText()));
            Dialogs::clearShown();
        }
    }
    publish(state, QStringLiteral("owed"), way, samples);
}

void libpqOwed(benchmark::State& state) {
    DirectServer& db = *setup().libpq;
    Samples samples;
    size_t i = 0;
    for (auto _ : state) {
        const Pair& p = kPairs[i % kPairs.size()];
        const YearSpan& y = years()[(i * 7) % years().size()];
        ++i;
        const Stopwatch sw;
        db.run(kOwedSql.constData(), {y.firstDay(), y.lastDay(), p.followUp.toUtf8(), p.performer.toUtf8()});
        sw.lap(state, samples);
    }
    publish(state, QStringLiteral("owed"), Way::Libpq, samples);
}

void storeOwed(benchmark::State& state) {
    const auto store = engine(Way::Server).database.store();
    Samples samples;
    size_t i = 0;
    for (auto _ : state) {
        const Pair& p = kPairs[i % kPairs.size()];
        const YearSpan& y = years()[(i * 7) % years().size()];
        ++i;
        PairSums sums;
        const Stopwatch sw;
        const Status s =
            store->acts().pairSums({dayNumberOf(y.first), dayNumberOf(y.last)}, p.followUp, p.performer, &sums);
        sw.lap(state, samples);
        if (!s)
            problem(QStringLiteral("store owed: %1").arg(s.message));
    }
    publish(state, QStringLiteral("owed"), Way::Store, samples);
}

// ---------------------------------------------------------------------------------------------
// Start-up: the real program (bin/obsledger beside this benchmark), a new process each time, with
// the settings of this run (SERVEUR set, or only CHEMIN), until its main window has been painted.
// A probe loaded through Qt's generic plugins clicks "OK" on the start window at once and says
// "shown" once the main window is painted; the time is the parent's, from the process start.

QString programPath() {
    return QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("obsledger"));
}

double startProgramOnce() {
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("QT_QPA_GENERIC_PLUGINS"), QStringLiteral("obsledgerstartprobe"));
    const QString paths = env.value(QStringLiteral("QT_PLUGIN_PATH"));
    env.insert(QStringLiteral("QT_PLUGIN_PATH"),
               QStringLiteral(OBSLEDGER_PROBE_DIR) + (paths.isEmpty() ? QString() : u':' + paths));
    child.setProcessEnvironment(env);
    child.setProcessChannelMode(QProcess::SeparateChannels);
    const auto t0 = Clock::now();
    child.start(programPath(), {});
    double shownMs = -1;
    while (shownMs < 0 && child.waitForReadyRead(20000)) {
        while (child.canReadLine()) {
            if (child.readLine().trimmed() == "shown") {
                shownMs = elapsedMs(t0);
                break;
            }
        }
    }
    if (!child.waitForFinished(20000))
        child.kill();
    if (shownMs < 0)
        fail(QStringLiteral("%1 did not show its main window: %2")
                 .arg(programPath(), QString::fromLocal8Bit(child.readAllStandardError())));
    return shownMs;
}

void programStart(benchmark::State& state, Way way) {
    useEngine(way);
    Samples samples;
    for (auto _ : state) {
        const double ms = startProgramOnce();
        samples.add(ms);
        state.SetIterationTime(ms / 1000.0);
    }
    publish(state, QStringLiteral("start"), way, samples);
}

// What the program's load asks of the server: connect, set its time limits, check the tables.
void libpqStart(benchmark::State& state) {
    Samples samples;
    for (auto _ : state) {
        const Stopwatch sw;
        DirectServer db(server().conninfo());
        db.run("SET lock_timeout = 5000", {});
        db.run("SET statement_timeout = 60000", {});
        db.run("SELECT (SELECT numint FROM actes LIMIT 1), (SELECT id FROM memo LIMIT 1), obs_fold('a')", {});
        sw.lap(state, samples);
    }
    publish(state, QStringLiteral("start"), Way::Libpq, samples);
}

// ---------------------------------------------------------------------------------------------
// psql: the same statements, their values written in, each repeated in one psql session with
// \timing on; and EXPLAIN (ANALYZE, BUFFERS) of the key statements.

QString literal(const QByteArray& v) {
    QString s = QString::fromUtf8(v);
    s.replace(u'\'', QStringLiteral("''"));
    return u'\'' + s + u'\'';
}

QString withValues(const QByteArray& sql, const QList<QByteArray>& values) {
    QString out = QString::fromUtf8(sql);
    for (qsizetype i = values.size(); i >= 1; --i) // $10 before $1
        out.replace(QStringLiteral("$%1").arg(i), literal(values[i - 1]));
    return out;
}

QString psql(const QString& script, bool quiet) {
    QProcess p;
    p.setProcessChannelMode(QProcess::SeparateChannels);
    p.start(QStringLiteral("psql"),
            {QStringLiteral("-X"), QStringLiteral("-q"), QStringLiteral("-v"), QStringLiteral("ON_ERROR_STOP=1"),
             QStringLiteral("-h"), server().folder, QStringLiteral("-U"), QStringLiteral("postgres"),
             QStringLiteral("-d"), kDatabaseName, QStringLiteral("-f"), QStringLiteral("-")});
    p.write((quiet ? QStringLiteral("\\timing on\n\\o /dev/null\n") : QString()).toUtf8() + script.toUtf8());
    p.closeWriteChannel();
    if (!p.waitForFinished(600000) || p.exitCode() != 0)
        fail(QStringLiteral("psql failed: %1").arg(QString::fromLocal8Bit(p.readAllStandardError())));
    return QString::fromUtf8(p.readAllStandardOutput());
}

// The time psql gives for each statement, in order (the "Time:" lines of \timing).
std::vector<double> psqlStatementTimes(const QStringList& statements) {
    QString script;
    for (const QString& s : statements)
        script += s + QStringLiteral(";\n");
    const QString out = psql(script, true);
    static const QRegularExpression time(QStringLiteral("^Time: ([0-9.]+) ms"), QRegularExpression::MultilineOption);
    std::vector<double> times;
    for (auto it = time.globalMatch(out); it.hasNext();)
        times.push_back(it.next().captured(1).toDouble());
    if (times.size() != size_t(statements.size()))
        problem(QStringLiteral("psql gave %1 timings for %2 statements").arg(times.size()).arg(statements.size()));
    return times;
}

// One sample per action: the sum of each run of `per` statements.
Samples grouped(const std::vector<double>& times, size_t per) {
    Samples s;
    for (size_t i = 0; i + per <= times.size(); i += per) {
        double sum = 0;
        for (size_t k = 0; k < per; ++k)
            sum += times[i + k];
        s.add(sum);
    }
    return s;
}

void psqlAll(benchmark::State& state) {
    const int repeat = 30;
    DirectServer& db = *setup().libpq;
    for (auto _ : state) {
        // Keystrokes: the first act, then the act at or after the text.
        QStringList statements;
        for (const QString& p : keystrokePrefixes(repeat)) {
            const QByteArray t = p.toUtf8();
            statements << withValues(kFirstSql, {}) << withValues(kFindSql, {t, t});
        }
        figures()[QStringLiteral("keystroke")].samples[Way::Psql] = grouped(psqlStatementTimes(statements), 2);

        // Steps from the act at or after "M".
        QList<QByteArray> at;
        db.run(kFindSql.constData(), {"M", "M"}, &at);
        for (const StepCase& c : kSteps) {
            const QList<QByteArray> keys = c.keyed ? keysOf(at) : QList<QByteArray>();
            statements.clear();
            for (int i = 0; i < repeat; ++i)
                statements << withValues(*c.sql, keys);
            figures()[QString::fromLatin1(c.key)].samples[Way::Psql] = grouped(psqlStatementTimes(statements), 1);
        }

        // The years in turn.
        statements.clear();
        for (const YearSpan& y : years())
            statements << withValues(kYearSql, {y.firstDay(), y.lastDay()});
        figures()[QStringLiteral("year")].samples[Way::Psql] = grouped(psqlStatementTimes(statements), 1);

        // The owed amount, pairs and years in turn.
        statements.clear();
        for (int i = 0; i < repeat; ++i) {
            const Pair& p = kPairs[size_t(i) % kPairs.size()];
            const YearSpan& y = years()[(size_t(i) * 7) % years().size()];
            statements << withValues(kOwedSql, {y.firstDay(), y.lastDay(), p.followUp.toUtf8(), p.performer.toUtf8()});
        }
        figures()[QStringLiteral("owed")].samples[Way::Psql] = grouped(psqlStatementTimes(statements), 1);

        // Start: a new psql process connecting and checking the tables, as the program's load does.
        Samples start;
        for (int i = 0; i < 10; ++i) {
            const auto t0 = Clock::now();
            psql(QStringLiteral("SELECT (SELECT numint FROM actes LIMIT 1), (SELECT id FROM memo LIMIT 1), "
                                "obs_fold('a');\n"),
                 false);
            start.add(elapsedMs(t0));
        }
        figures()[QStringLiteral("start")].samples[Way::Psql] = start;
        state.SetIterationTime(0.001);
    }
}

// The plans of the key statements, as the server runs them (EXPLAIN ANALYZE through psql); each
// must use its index.
void explainPlans() {
    const YearSpan& y = years()[years().size() / 2];
    QList<QByteArray> at;
    setup().libpq->run(kFindSql.constData(), {"DU", "DU"}, &at);
    struct Plan {
        const char* what;
        QString sql;
        const char* index;
    };
    const Plan plans[] = {
        {"keystroke, the act at or after 'DU'", withValues(kFindSql, {"DU", "DU"}), "actes_nom"},
        {"next record", withValues(kNextSql, keysOf(at)), "actes_nom"},
        {"previous record", withValues(kPreviousSql, keysOf(at)), "actes_nom"},
        {"one year listed", withValues(kYearSql, {y.firstDay(), y.lastDay()}), "actes_date"},
        {"owed amount", withValues(kOwedSql, {y.firstDay(), y.lastDay(), "Dr BERTRAND", "Dr FONTAINE"}), "actes_paire"},
    };
    notes() << QStringLiteral("\nPlans (EXPLAIN (ANALYZE, BUFFERS) through psql, %1 to %2 for the year):")
                   .arg(frenchDate(y.first), frenchDate(y.last));
    for (const Plan& p : plans) {
        const QString out = psql(QStringLiteral("EXPLAIN (ANALYZE, BUFFERS) %1;\n").arg(p.sql), false);
        const bool uses = out.contains(QString::fromLatin1(p.index));
        if (!uses)
            problem(QStringLiteral("the plan of %1 does not use %2")
                        .arg(QString::fromLatin1(p.what), QString::fromLatin1(p.index)));
        notes() << QStringLiteral("  %1 (uses %2: %3):")
                       .arg(QString::fromLatin1(p.what), QString::fromLatin1(p.index),
                            uses ? QStringLiteral("yes") : QStringLiteral("NO"));
        for (const QString& line : out.split(u'\n', Qt::SkipEmptyParts)) {
            if (!line.contains(QLatin1String("QUERY PLAN")) && !line.startsWith(QLatin1String("---")) &&
                !line.startsWith(u'('))
                notes() << QStringLiteral("    ") + line.trimmed();
        }
    }
}

// ---------------------------------------------------------------------------------------------

void registerAll() {
    auto add = [](const QString& name, std::function<void(benchmark::State&)> fn, int iterations) {
        benchmark::RegisterBenchmark(name.toLatin1().constData(), [fn](benchmark::State& st) { fn(st); })
            ->Iterations(iterations)
            ->UseManualTime()
            ->Unit(benchmark::kMillisecond);
    };
    auto both = [&](const QString& tag, std::function<void(benchmark::State&, Way)> fn, int iterations) {
        add(
            QStringLiteral("BM_Server_") + tag, [fn](benchmark::State& st) { fn(st, Way::Server); }, iterations);
        add(
            QStringLiteral("BM_File_") + tag, [fn](benchmark::State& st) { fn(st, Way::File); }, iterations);
    };
    declare(QStringLiteral("keystroke"), QStringLiteral("Keystroke in Text1 (search + show row)"), kClickGoalMs,
            QString::fromUtf8(kFirstSql + " ; " + kFindSql));
    both(QStringLiteral("Keystroke"), programKeystroke, 300);
    add(QStringLiteral("BM_Libpq_Keystroke"), libpqKeystroke, 300);
    add(QStringLiteral("BM_Store_Keystroke"), storeKeystroke, 300);
    for (const StepCase& c : kSteps) {
        declare(QString::fromLatin1(c.key), QString::fromLatin1(c.action), kClickGoalMs, QString::fromUtf8(*c.sql));
        const QString tag = QString::fromLatin1(c.key);
        const QString name = tag.left(1).toUpper() + tag.mid(1);
        const int n = c.keyed ? 300 : 100;
        both(
            name, [&c](benchmark::State& st, Way w) { programStep(st, c, w); }, n);
        add(
            QStringLiteral("BM_Libpq_") + name, [&c](benchmark::State& st) { libpqStep(st, c); }, n);
        add(
            QStringLiteral("BM_Store_") + name, [&c](benchmark::State& st) { storeStep(st, c); }, n);
    }
    declare(QStringLiteral("year"), QStringLiteral("Command2 \"Rechercher\", one year, no criteria"), kYearGoalMs,
            QString::fromUtf8(kYearSql));
    both(QStringLiteral("Year"), programYear, 19);
    add(QStringLiteral("BM_Libpq_Year"), libpqYear, 19);
    add(QStringLiteral("BM_Store_Year"), storeYear, 19);
    declare(QStringLiteral("owed"), QStringLiteral("CmdDoit owed amount, two colleagues, a year"), kOwedGoalMs,
            QString::fromUtf8(kOwedSql));
    both(QStringLiteral("Owed"), programOwed, 60);
    add(QStringLiteral("BM_Libpq_Owed"), libpqOwed, 60);
    add(QStringLiteral("BM_Store_Owed"), storeOwed, 60);
    declare(QStringLiteral("start"), QStringLiteral("Start: new process -> main window shown"), kStartGoalMs,
            QStringLiteral("connect, SET lock_timeout, SET statement_timeout, check both tables"));
    both(QStringLiteral("Start"), programStart, 10);
    add(QStringLiteral("BM_Libpq_Start"), libpqStart, 10);
    add(QStringLiteral("BM_Psql_All"), psqlAll, 1);
}

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchApplication(argc, argv);
    if (!QFileInfo(programPath()).isExecutable())
        fail(QStringLiteral("the program %1 is not built").arg(programPath()));
    const int rows = wantedRows();
    Setup& s = setup();
    s.filePath = benchDatabase(rows);
    startServer(rows, s.filePath);
    s.clinic = std::make_unique<BenchClinic>(s.filePath);
    s.onServer.way = Way::Server;
    s.onFile.way = Way::File;
    s.libpq = std::make_unique<DirectServer>(server().conninfo());
    QString error;
    if (!RatesFile::write(RatesFile::path(), {QStringLiteral("10"), QStringLiteral("50")}, &error))
        fail(QStringLiteral("cannot write the rates file: %1").arg(error));
    registerAll();
    // The first windows pay for fonts and styles.
    recordEditor(Way::File);
    recordEditor(Way::Server);

    std::printf("Server at %d acts: %s (file %s)\n", rows, qPrintable(server().conninfo()), qPrintable(s.filePath));
    std::fflush(stdout);
    benchmark::RunSpecifiedBenchmarks();

    for (const char* what : {"keystroke", "next", "previous", "first", "last", "year", "owed"})
        compareEngines(QString::fromLatin1(what));
    notes() << QStringLiteral("\nLoad average at the end: %1 on %2 processors (other programs running widen the p95).")
                   .arg(loadAverage(), 0, 'f', 2)
                   .arg(QThread::idealThreadCount());
    explainPlans();
    if (problems() > 0)
        notes() << QStringLiteral("\n%1 unexpected outcome(s) seen while measuring: see the messages above.")
                       .arg(problems());
    printFigures();

    delete s.onServer.main.data();
    delete s.onFile.main.data();
    delete s.onServer.search.data();
    delete s.onFile.search.data();
    s.libpq.reset();
    s.clinic.reset();
    stopServer();
    benchmark::Shutdown();
    return problems() > 0 ? 3 : 0;
}
