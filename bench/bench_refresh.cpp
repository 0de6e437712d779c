// Live refresh between workstations: how long a change made on one workstation takes to show on
// another's main window (file and server), what the file's watch costs while the program is idle,
// and what the server's announcements cost a load.
//
//   bench_refresh                                   the file only
//   OBSLEDGER_BENCH_SERVER="host=/tmp/pg user=postgres" bench_refresh
//                                                   also a server (a role that may create databases)
//   OBSLEDGER_BENCH_IDLE_S=30 bench_refresh         a longer idle measurement (10 s by default)
#include "BenchSupport.h"

#include "app/RecordEditor.h"
#include "domain/DemoData.h"
#include "store/Bulk.h"
#include "store/ChangeWatch.h"
#include "store/SharedDatabase.h"
#include "store/Store.h"
#include "store/postgres/PgChangeNotices.h"
#include "store/postgres/PgConnection.h"
#include "store/postgres/PgSchema.h"
#include "widgets/Dialogs.h"

#include <QApplication>
#include <QDate>
#include <QEventLoop>
#include <QLabel>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <sys/resource.h>

#include <cstdio>

using namespace obs;
using namespace obs::bench;

namespace {

double processCpuMs() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return (u.ru_utime.tv_sec + u.ru_stime.tv_sec) * 1000.0 + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1000.0;
}

// Runs the event loop as the program does when nobody touches it.
void idleFor(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// Runs the event loop until `done` holds (looked at every millisecond) or the time is up; the wall
// time it took, or -1.
double waitUntil(const std::function<bool()>& done, int timeoutMs) {
    const auto start = Clock::now();
    QEventLoop loop;
    QTimer look;
    look.setTimerType(Qt::PreciseTimer);
    bool met = done();
    QObject::connect(&look, &QTimer::timeout, &loop, [&] {
        if (done()) {
            met = true;
            loop.quit();
        } else if (elapsedMs(start) > timeoutMs) {
            loop.quit();
        }
    });
    if (!met) {
        look.start(1);
        loop.exec();
    }
    return met ? elapsedMs(start) : -1;
}

[[noreturn]] void fail(const QString& what) {
    std::fprintf(stderr, "bench_refresh: %s\n", qPrintable(what));
    std::exit(2);
}

// The act shown on a main window is changed through another connection again and again; each
// time, the time until the window shows the new amount.
Samples changeToVisible(const QString& location, int times) {
    SharedDatabase shared;
    BrowsedResult browsed;
    if (const Status s = shared.open(location); !s)
        fail(s.message);
    RecordEditor window(shared, browsed);
    window.show();
    waitExposed(&window);
    auto* name = control<QLineEdit>(&window, "Text1");
    auto* paid = control<QLineEdit>(&window, "TxtPSecu");
    name->setText(QStringLiteral("A"));
    Status s;
    const std::shared_ptr<Store> other = Store::open(location, &s);
    if (!other)
        fail(s.message);
    // The window's watch is running before the first change (a server's listener connects first).
    idleFor(1500);
    Samples samples;
    for (int i = 0; i < times; ++i) {
        const qint64 act = control<QLabel>(&window, "LblNumero")->text().toLongLong();
        Act stored;
        bool found = false;
        if (!other->acts().find(act, &stored, &found) || !found)
            fail(QStringLiteral("act %1 not found").arg(act));
        Act edited = stored;
        edited.paidSecu = Money::fromStored(qint64(1000 + i) * 10000);
        const QString expected = edited.paidSecu->toFrench();
        // Changes come at any moment, not in step with the file's reading.
        idleFor(100 + (i * 337) % 900);
        const auto start = Clock::now();
        if (const Status u = other->acts().update(stored, edited, false); !u)
            fail(u.message);
        const double ms = waitUntil([&] { return paid->text() == expected; }, 5000);
        if (ms < 0)
            problem(QStringLiteral("change %1 not shown within 5 s").arg(i));
        else
            samples.add(elapsedMs(start));
    }
    return samples;
}

struct Idle {
    double wallMs = 0;
    double cpuMs = 0;
    double readingUs = 0; // one reading of the file's count
};

// The main window left alone on an act of the file: what the process spends, the watch included;
// and one reading of the count, timed on its own.
Idle fileIdle(const QString& path, int seconds) {
    SharedDatabase shared;
    BrowsedResult browsed;
    if (const Status s = shared.open(path); !s)
        fail(s.message);
    Idle idle;
    {
        RecordEditor window(shared, browsed);
        window.show();
        waitExposed(&window);
        control<QLineEdit>(&window, "Text1")->setText(QStringLiteral("A"));
        idleFor(500);
        const double cpu0 = processCpuMs();
        const auto start = Clock::now();
        idleFor(seconds * 1000);
        idle.wallMs = elapsedMs(start);
        idle.cpuMs = processCpuMs() - cpu0;
    }
    const int n = 20000;
    const auto start = Clock::now();
    for (int i = 0; i < n; ++i)
        shared.store()->othersCommits();
    idle.readingUs = elapsedMs(start) * 1000.0 / n;
    return idle;
}

// A load as a restore writes it (one transaction, a thousand acts a statement) with and without
// the announcements; how many announcements a listener heard.
struct Load {
    double withMs = 0, withoutMs = 0;
    int heard = 0;
};

Load serverLoad(const QString& admin, const QString& conninfo, int acts) {
    Load load;
    Status s;
    auto db = PgConnection::open(conninfo, &s);
    if (!db)
        fail(s.message);
    std::vector<ServerNotice> notices;
    PgChangeListener listener(
        conninfo, [&](const std::vector<ServerNotice>& n) { notices.insert(notices.end(), n.begin(), n.end()); }, {});
    if (waitUntil([&] { return listener.isListening(); }, 5000) < 0)
        fail(QStringLiteral("the listener did not connect"));
    const QString batch = QStringLiteral("INSERT INTO actes (nom, prenom, date, prix) SELECT 'NOM' || g, 'P', 40000 + "
                                         "g % 3000, 1000000 FROM generate_series(1, 1000) g");
    const auto loadOnce = [&] {
        db->script(QStringLiteral("VACUUM actes")); // each load starts from the same table
        const auto start = Clock::now();
        QString script = QStringLiteral("BEGIN; DELETE FROM actes;");
        for (int i = 0; i < acts / 1000; ++i)
            script += batch + u';';
        script += QStringLiteral("COMMIT");
        if (const Status r = db->script(script); !r)
            fail(r.message);
        return elapsedMs(start);
    };
    loadOnce(); // the table at its size, so that every load deletes as many rows
    idleFor(500);
    notices.clear();
    // Alternated, the best of each.
    load.withMs = load.withoutMs = 1e12;
    for (int round = 0; round < 2; ++round) {
        load.withMs = std::min(load.withMs, loadOnce());
        idleFor(1000);
        if (round == 0)
            load.heard = int(notices.size());
        db->script(QStringLiteral("DROP TRIGGER obs_annonce_ajout ON actes; DROP TRIGGER obs_annonce_suppr ON actes"));
        load.withoutMs = std::min(load.withoutMs, loadOnce());
        if (const Status r = installServerChangeNotices(*db); !r)
            fail(r.message);
    }
    Q_UNUSED(admin);
    return load;
}

} // namespace

int main(int argc, char** argv) {
    benchApplication(argc, argv);
    Dialogs::setTesting(true);
    QTemporaryDir dir;
    qputenv("XDG_CONFIG_HOME", dir.filePath(QStringLiteral("config")).toUtf8());
    const QString path = dir.filePath(QStringLiteral("OBSLEDGER.mdb"));
    NewBaseStep step;
    if (const Status s = createBase(path, &step, demoReferences(),
                                    demoActs(2000, QDate::currentDate().addYears(-1), QDate::currentDate()));
        !s)
        fail(s.message);
    const int idleSeconds = qEnvironmentVariableIsSet("OBSLEDGER_BENCH_IDLE_S")
                                ? qEnvironmentVariableIntValue("OBSLEDGER_BENCH_IDLE_S")
                                : 10;

    std::printf("Live refresh (Release build, load average %.2f on %d processors)\n\n", loadAverage(),
                QThread::idealThreadCount());
    const Samples file = changeToVisible(path, 30);
    std::printf("| base | change -> shown on the other main window: p50 / p95 / max (ms) | goal | met |\n");
    std::printf("|---|---|---|---|\n");
    std::printf("| file | %.0f / %.0f / %.0f | 2000 ms | %s |\n", file.median(), file.p95(), file.max(),
                file.max() < 2000 ? "yes" : "no");

    const QString server = qEnvironmentVariable("OBSLEDGER_BENCH_SERVER").trimmed();
    Load load;
    int loadActs = 0;
    if (!server.isEmpty()) {
        const QString name = QStringLiteral("obs_bench_refresh");
        Status s;
        auto admin = PgConnection::open(server + QStringLiteral(" dbname=postgres"), &s);
        if (!admin)
            fail(s.message);
        admin->script(QStringLiteral("SET client_min_messages = warning"));
        admin->script(QStringLiteral("DROP DATABASE IF EXISTS %1 WITH (FORCE)").arg(name));
        admin->script(QStringLiteral("DO $$ BEGIN CREATE ROLE %1 NOLOGIN; EXCEPTION WHEN duplicate_object THEN "
                                     "NULL; END $$")
                          .arg(kServerRole));
        if (const Status c = admin->script(QStringLiteral("CREATE DATABASE %1").arg(name)); !c)
            fail(c.message);
        const QString conninfo = server + QStringLiteral(" dbname=") + name;
        if (const Status c = createBase(conninfo, &step, demoReferences(),
                                        demoActs(2000, QDate::currentDate().addYears(-1), QDate::currentDate()));
            !c)
            fail(c.message);
        const Samples onServer = changeToVisible(conninfo, 30);
        std::printf("| server | %.1f / %.1f / %.1f | 2000 ms | %s |\n", onServer.median(), onServer.p95(),
                    onServer.max(), onServer.max() < 2000 ? "yes" : "no");
        loadActs = qEnvironmentVariableIsSet("OBSLEDGER_BENCH_ROWS") ? wantedRows() : 200000;
        load = serverLoad(server, conninfo, loadActs);
        admin->script(QStringLiteral("DROP DATABASE IF EXISTS %1 WITH (FORCE)").arg(name));
    }

    const Idle idle = fileIdle(path, idleSeconds);
    const double share = 100.0 * idle.cpuMs / idle.wallMs;
    std::printf("\nFile watch while idle: the main window on an act for %.1f s used %.1f ms of CPU (%.3f %%, goal "
                "under 1 %%: %s); one reading of the file's count: %.1f us (%.4f %% of a processor at one a "
                "second).\n",
                idle.wallMs / 1000, idle.cpuMs, share, share < 1.0 ? "met" : "NOT met", idle.readingUs,
                idle.readingUs / 1e4);
    if (loadActs > 0)
        std::printf("Server load of %d acts in one transaction (as a restore): %.0f ms with the announcements, "
                    "%.0f ms without (%+.1f %%); announcements heard: %d.\n",
                    loadActs, load.withMs, load.withoutMs, 100.0 * (load.withMs - load.withoutMs) / load.withoutMs,
                    load.heard);
    else
        std::printf("No server measured (set OBSLEDGER_BENCH_SERVER).\n");
    return problems() > 0 ? 3 : 0;
}
