// The journal of the acts at clinic scale (1,000,000 acts, some 3,000,000 entries): a save that
// writes payment entries, the history of one act and the check of the whole chain, each beside
// the same work done straight through SQLite (the statements the change needs, the rows the
// history shows, the entries read with their hash recomputed).
//
//   bench_journal                               all of it (builds the database once, see README.md)
//   OBSLEDGER_BENCH_ROWS=20000 bench_journal    a smaller clinic, for a quick look

#include "BenchSupport.h"

#include "common/DayNumber.h"
#include "store/Store.h"

#include <benchmark/benchmark.h>

#include <QCryptographicHash>
#include <QDate>
#include <QDateTime>

#include <cstdio>
#include <sqlite3.h>

using namespace obs;
using namespace obs::bench;

namespace {

struct Setup {
    QString dbPath;
    std::shared_ptr<Store> store;
    std::unique_ptr<DirectSqlite> direct;
    std::vector<qint64> acts; // acts to save and read, spread over the file
};

Setup& setup() {
    static Setup s;
    if (!s.store) {
        s.dbPath = benchDatabase(wantedRows());
        Status st;
        s.store = Store::open(s.dbPath, &st);
        if (!s.store) {
            std::fprintf(stderr, "bench: %s\n", qPrintable(st.message));
            std::exit(1);
        }
        s.direct = std::make_unique<DirectSqlite>(s.dbPath);
        std::vector<QVariantList> rows;
        s.direct->run("SELECT NUMINT FROM ACTES WHERE NUMINT % 997 = 0 AND Date < ?",
                      {QVariant::fromValue<qint64>(dayNumberOf(QDate::currentDate()))}, &rows);
        for (const auto& r : rows)
            s.acts.push_back(r.at(0).toLongLong());
        if (s.acts.empty()) {
            std::fprintf(stderr, "bench: no act to measure\n");
            std::exit(1);
        }
        std::vector<QVariantList> count;
        s.direct->run("SELECT count(*) FROM JOURNAL", {}, &count);
        Report::instance().addNote(QStringLiteral("journal entries at the start: %1; acts: %2")
                                       .arg(count.at(0).at(0).toLongLong())
                                       .arg(wantedRows()));
    }
    return s;
}

qint64 actAt(size_t i) {
    const auto& acts = setup().acts;
    return acts[i % acts.size()];
}

// A save that moves the national insurance's payment by a cent, up then down again, so that each
// one writes an entry and the act returns to what it held.
void BM_Store_SavePayment(benchmark::State& state) {
    Store& store = *setup().store;
    Samples samples;
    size_t i = 0;
    for (auto _ : state) {
        const qint64 n = actAt(i / 2);
        Act shown;
        bool found = false;
        store.acts().find(n, &shown, &found);
        Act edited = shown;
        edited.paidSecu = Money::fromUnits(shown.paidSecu.value_or(Money()).units() + (i % 2 ? -100 : 100));
        const Stopwatch sw;
        const Status s = store.acts().update(shown, edited, false);
        sw.lap(state, samples);
        if (!s)
            problem(QStringLiteral("save: %1").arg(s.message));
        ++i;
    }
    publish(state, QStringLiteral("save"), samples, Column::Store);
}

// The same through SQLite alone: the act written with its unchanged check, one entry added after
// the head and the head moved, in one transaction reserved for writing.
void BM_Sqlite_SavePayment(benchmark::State& state) {
    DirectSqlite& db = *setup().direct;
    Samples samples;
    size_t i = 0;
    for (auto _ : state) {
        const qint64 n = actAt(i / 2 + 500);
        const qint64 delta = i % 2 ? -100 : 100;
        std::vector<QVariantList> head;
        const Stopwatch sw;
        db.run("BEGIN IMMEDIATE");
        db.run("UPDATE ACTES SET PAYESECU = PAYESECU + ? WHERE NUMINT = ?",
               {QVariant::fromValue<qint64>(delta), QVariant::fromValue<qint64>(n)});
        db.run("SELECT NUMJ, HASH FROM JOURNAL_TETE", {}, &head);
        // The entry as the program chains it, so that the journal stays whole for the check below.
        JournalEntry e;
        e.number = head.at(0).at(0).toLongLong() + 1;
        e.writtenAt = QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs);
        e.act = n;
        e.kind = JournalKind::Payment;
        e.receivedOn = dayNumberOf(QDate::currentDate());
        e.payer = payerCode(Payer::Secu);
        e.mode = PaymentMode::Transfer;
        e.amount = Money::fromUnits(delta);
        e.workstation = journalWorkstation();
        e.user = journalLogin();
        e.hash = chainHash(head.at(0).at(1).toString(), e);
        db.run("INSERT INTO JOURNAL (NUMJ, ECRIT, NUMINT, NATURE, RECULE, PAYEUR, MODE, MONTANT, POSTE, UTILISATEUR, "
               "HASH) VALUES (?, ?, ?, 'paiement', ?, 'secu', 'virement', ?, ?, ?, ?)",
               {QVariant::fromValue<qint64>(e.number), e.writtenAt, QVariant::fromValue<qint64>(n),
                QVariant::fromValue<qint64>(*e.receivedOn), QVariant::fromValue<qint64>(delta), e.workstation, e.user,
                e.hash});
        const QString hash = e.hash;
        const qint64 number = e.number;
        db.run("UPDATE JOURNAL_TETE SET NUMJ = ?, HASH = ?", {QVariant::fromValue<qint64>(number), hash});
        db.run("COMMIT");
        sw.lap(state, samples);
        ++i;
    }
    publish(state, QStringLiteral("save"), samples, Column::Direct);
}

void BM_Store_History(benchmark::State& state) {
    Store& store = *setup().store;
    Samples samples;
    size_t i = 1000;
    for (auto _ : state) {
        std::vector<JournalEntry> entries;
        const Stopwatch sw;
        const Status s = store.journal().ofAct(actAt(i++), &entries);
        sw.lap(state, samples);
        if (!s)
            problem(QStringLiteral("history: %1").arg(s.message));
    }
    publish(state, QStringLiteral("history"), samples, Column::Store);
}

void BM_Sqlite_History(benchmark::State& state) {
    DirectSqlite& db = *setup().direct;
    Samples samples;
    size_t i = 2000;
    for (auto _ : state) {
        qint64 sum = 0;
        const Stopwatch sw;
        db.scan("SELECT NUMJ, ECRIT, NUMINT, NATURE, RECULE, PAYEUR, BENEFICIAIRE, MODE, MONTANT, DETAIL, POSTE, "
                "UTILISATEUR, HASH FROM JOURNAL WHERE NUMINT = ? ORDER BY NUMJ",
                {QVariant::fromValue<qint64>(actAt(i++))}, &sum);
        sw.lap(state, samples);
    }
    publish(state, QStringLiteral("history"), samples, Column::Direct);
}

void BM_Store_Verify(benchmark::State& state) {
    Store& store = *setup().store;
    Samples samples;
    for (auto _ : state) {
        JournalCheck check;
        const Stopwatch sw;
        const Status s = store.journal().verify(&check);
        sw.lap(state, samples);
        if (!s || !check.intact)
            problem(QStringLiteral("verify: %1 %2").arg(s.message, check.problem));
        state.counters["entries"] = double(check.entries);
    }
    publish(state, QStringLiteral("verify"), samples, Column::Store);
}

// Every entry read and one SHA-256 computed over its columns: the floor of any check of the chain.
void BM_Sqlite_Verify(benchmark::State& state) {
    DirectSqlite& db = *setup().direct;
    Samples samples;
    for (auto _ : state) {
        const Stopwatch sw;
        sqlite3_stmt* st = nullptr;
        sqlite3_prepare_v2(db.handle(),
                           "SELECT NUMJ, ECRIT, NUMINT, NATURE, RECULE, PAYEUR, BENEFICIAIRE, MODE, MONTANT, DETAIL, "
                           "POSTE, UTILISATEUR, HASH FROM JOURNAL ORDER BY NUMJ",
                           -1, &st, nullptr);
        QByteArray previous;
        while (sqlite3_step(st) == SQLITE_ROW) {
            QCryptographicHash h(QCryptographicHash::Sha256);
            h.addData(previous);
            for (int c = 0; c < 12; ++c)
                h.addData(QByteArrayView(reinterpret_cast<const char*>(sqlite3_column_text(st, c)),
                                         sqlite3_column_bytes(st, c)));
            previous = h.result();
        }
        sqlite3_finalize(st);
        sw.lap(state, samples);
    }
    publish(state, QStringLiteral("verify"), samples, Column::Direct);
}

} // namespace

BENCHMARK(BM_Store_SavePayment)->Iterations(200)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Sqlite_SavePayment)->Iterations(200)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Store_History)->Iterations(300)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Sqlite_History)->Iterations(300)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Store_Verify)->Iterations(2)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Sqlite_Verify)->Iterations(2)->UseManualTime()->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
    benchApplication(argc, argv);
    Report& report = Report::instance();
    report.declare(QStringLiteral("save"), QStringLiteral("save with a payment entry"), 16,
                   QStringLiteral("BEGIN IMMEDIATE; UPDATE ACTES; SELECT head; INSERT JOURNAL; UPDATE head; COMMIT"));
    report.declare(QStringLiteral("history"), QStringLiteral("history of one act"), 16,
                   QStringLiteral("SELECT ... FROM JOURNAL WHERE NUMINT = ? ORDER BY NUMJ"));
    report.declare(QStringLiteral("verify"), QStringLiteral("journal verify, whole chain"), 10000,
                   QStringLiteral("every entry read, one SHA-256 over its columns"));
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    report.print();
    std::printf("load average %.1f\n", loadAverage());
    return problems() == 0 ? 0 : 1;
}
