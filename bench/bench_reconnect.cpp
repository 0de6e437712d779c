// SPDX-License-Identifier: GPL-3.0-or-later
// The time from a server being back to the next action done: a workstation's store, open on a
// server that is restarted (pg_ctl restart) or whose connection is ended (pg_terminate_backend)
// between two reads of an act. Only the read after the event is timed; the goal is under a second.
// The server is the benchmark's own, in a temporary folder (Unix socket, no TCP), since it is
// restarted.
//
//   cmake --build build --target bench_reconnect && build/bin/bench_reconnect
#include "store/Store.h"
#include "store/postgres/PgConnection.h"
#include "store/postgres/PgSchema.h"
#include "store/postgres/PgStore.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>
#include <pwd.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <map>
#include <vector>

using namespace obs;

namespace {

constexpr double kGoalMs = 1000;
const QString kPgBin = QStringLiteral("/usr/lib/postgresql/15/bin");

[[noreturn]] void fail(const QString& what) {
    std::fprintf(stderr, "bench: %s\n", qPrintable(what));
    std::exit(1);
}

struct Bench {
    QTemporaryDir dir{QStringLiteral("/tmp/obsledger-reconnect-XXXXXX")};
    std::shared_ptr<PgStore> store;
    std::unique_ptr<PgConnection> admin;
    std::map<std::string, std::vector<double>> samples;

    QString conninfo(const char* database) const {
        return QStringLiteral("host=%1 user=postgres dbname=%2").arg(dir.path(), QString::fromLatin1(database));
    }
    void pg(const QString& tool, QStringList args) const {
        QString program = kPgBin + u'/' + tool;
        if (::geteuid() == 0) {
            args = QStringList{QStringLiteral("-u"), QStringLiteral("postgres"), QStringLiteral("--"), program} + args;
            program = QStringLiteral("runuser");
        }
        QProcess p;
        p.setProcessChannelMode(QProcess::MergedChannels);
        p.start(program, args);
        if (!p.waitForFinished(120000) || p.exitCode() != 0)
            fail(tool + QStringLiteral(": ") + QString::fromLocal8Bit(p.readAll()));
    }
    void server(const char* action) const {
        pg(QStringLiteral("pg_ctl"), {QStringLiteral("-D"), dir.filePath(QStringLiteral("data")), QStringLiteral("-o"),
                                      QStringLiteral("-k %1 -c listen_addresses=''").arg(dir.path()),
                                      QStringLiteral("-l"), dir.filePath(QStringLiteral("log")), QStringLiteral("-m"),
                                      QStringLiteral("fast"), QStringLiteral("-w"), QString::fromLatin1(action)});
    }
    void start() {
        if (::geteuid() == 0) {
            const passwd* pw = ::getpwnam("postgres");
            if (!pw || ::chown(QFile::encodeName(dir.path()).constData(), pw->pw_uid, pw->pw_gid) != 0)
                fail(QStringLiteral("no user postgres to run the server"));
        }
        pg(QStringLiteral("initdb"), {QStringLiteral("-D"), dir.filePath(QStringLiteral("data")), QStringLiteral("-A"),
                                      QStringLiteral("trust"), QStringLiteral("-U"), QStringLiteral("postgres"),
                                      QStringLiteral("-E"), QStringLiteral("UTF8"), QStringLiteral("--no-sync")});
        server("start");
        Status s;
        admin = PgConnection::open(conninfo("postgres"), &s);
        if (!admin || !admin->script(QStringLiteral("CREATE ROLE %1 NOLOGIN").arg(kServerRole)) ||
            !admin->script(QStringLiteral("CREATE DATABASE clinique")))
            fail(QStringLiteral("server: ") + s.message);
        auto db = PgConnection::open(conninfo("clinique"), &s);
        if (!db || !createServerSchema(*db) ||
            !db->exec(QStringLiteral("INSERT INTO actes (nom, prix) VALUES ('BERNARD', 1000000)")))
            fail(QStringLiteral("schema: ") + s.message);
        store = std::dynamic_pointer_cast<PgStore>(Store::open(conninfo("clinique"), &s));
        if (!store)
            fail(s.message);
    }
    void finish() {
        store.reset();
        admin.reset();
        if (dir.isValid() && QFile::exists(dir.filePath(QStringLiteral("data/postmaster.pid"))))
            server("stop");
    }
    // The act read as the main window reads it; its time in ms.
    double read() const {
        QElapsedTimer t;
        t.start();
        Act act;
        bool found = false;
        const Status s = store->acts().find(1, &act, &found);
        if (!s || !found)
            fail(QStringLiteral("read after the server came back: ") + s.message);
        return t.nsecsElapsed() / 1e6;
    }
};

Bench& bench() {
    static Bench b;
    return b;
}

void timed(benchmark::State& state, const char* name, const std::function<void()>& event) {
    Bench& b = bench();
    for (auto _ : state) {
        b.read();
        event();
        const double ms = b.read();
        state.SetIterationTime(ms / 1000);
        b.samples[name].push_back(ms);
    }
}

void ReadAfterRestart(benchmark::State& state) {
    timed(state, "Lecture après redémarrage du serveur", [] { bench().server("restart"); });
}

void ReadAfterBackendEnded(benchmark::State& state) {
    timed(state, "Lecture après fin de la connexion", [] {
        bench().admin->exec(QStringLiteral("SELECT pg_terminate_backend(pid) FROM pg_stat_activity WHERE datname = "
                                           "'clinique'"));
    });
}

BENCHMARK(ReadAfterRestart)->UseManualTime()->Iterations(10)->Unit(benchmark::kMillisecond);
BENCHMARK(ReadAfterBackendEnded)->UseManualTime()->Iterations(20)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    bench().start();
    benchmark::RunSpecifiedBenchmarks();
    std::printf("\n%-40s %6s %9s %9s %9s\n", "Du serveur revenu à l'action faite", "fois", "p50 ms", "p95 ms",
                "but ms");
    bool met = true;
    for (auto& [name, v] : bench().samples) {
        std::sort(v.begin(), v.end());
        const double p50 = v[v.size() / 2];
        const double p95 = v[std::min(v.size() - 1, size_t(v.size() * 0.95))];
        met = met && p95 < kGoalMs;
        std::printf("%-40s %6zu %9.1f %9.1f %9.0f\n", name.c_str(), v.size(), p50, p95, kGoalMs);
    }
    benchmark::Shutdown();
    bench().finish();
    return met ? 0 : 3;
}
