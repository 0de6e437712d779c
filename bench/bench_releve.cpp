// The yearly statement ("Relevé annuel") at clinic scale, on the database of 1,000,000 acts over
// 20 years: from a year and a practitioner chosen to the window filled (months' table, reversals'
// table, chart) and repainted, beside the store's call alone and the same two statements run
// straight through SQLite.
//
//   bench_releve                                  all of it (builds the database once, see README.md)
//   OBSLEDGER_BENCH_ROWS=20000 bench_releve       a smaller clinic, for a quick look

#include "BenchSupport.h"

#include "accounts/YearStatementWindow.h"
#include "store/SharedDatabase.h"
#include "store/Store.h"
#include "widgets/Dialogs.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QComboBox>
#include <QDate>
#include <QPointer>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QTableWidget>
#include <QThread>

#include <cstdio>

using namespace obs;
using namespace obs::bench;

namespace {

constexpr double kGoalMs = 300;

const QString kPractitioners[] = {QStringLiteral("Dr MARTIN"), QStringLiteral("Dr LEFEBVRE"),
                                  QStringLiteral("Dr D'ORVAL"), QStringLiteral("Dr BERTRAND")};

struct Setup {
    QString dbPath;
    SharedDatabase database;
    std::unique_ptr<BenchClinic> clinic;
    std::unique_ptr<DirectSqlite> direct;
    QPointer<YearStatementWindow> window;
};

Setup& setup() {
    static Setup s;
    return s;
}

// Whole years inside the 20 years of acts, and a practitioner, taken in turn so that each
// statement reads other pages of the file.
struct Choice {
    int year;
    QString practitioner;
};

Choice choice(size_t i) {
    const int thisYear = QDate::currentDate().year();
    return {thisYear - 19 + int((i * 7) % 19), kPractitioners[i % std::size(kPractitioners)]};
}

QVariant day(qint64 d) {
    return QVariant::fromValue<qint64>(d);
}

// The statement's two statements as the store hands them to SQLite.
QString monthsSql(const Choice& c, QVariantList* binds) {
    const auto starts = monthStarts(c.year);
    QString sql = QStringLiteral("SELECT CASE");
    for (int m = 1; m < 12; ++m) {
        sql += QStringLiteral(" WHEN Date < ? THEN %1").arg(m);
        *binds << day(starts[m]);
    }
    sql += QStringLiteral(" ELSE 12 END AS mois, COUNT(*), SUM(PRIX), SUM(DE), SUM(PAYESECU), SUM(PAYECOMPLE), "
                          "SUM(PAYEDE) FROM ACTES WHERE Date BETWEEN ? AND ? AND (+MEDACTE = ? COLLATE "
                          "FRENCH_PRIMARY) GROUP BY mois");
    *binds << day(starts[0]) << day(starts[12] - 1) << c.practitioner;
    return sql;
}

QString reversalsSql(const Choice& c, QVariantList* binds) {
    const auto starts = monthStarts(c.year);
    const QString p = c.practitioner;
    *binds << p << p << day(starts[0]) << day(starts[12] - 1) << p << p << p << p;
    return QStringLiteral(
        "SELECT MIN(confrere), SUM(CASE WHEN effectue THEN REVERSE END), SUM(CASE WHEN effectue THEN NULL ELSE "
        "REVERSE END) FROM (SELECT (+MEDACTE = ? COLLATE FRENCH_PRIMARY) AS effectue, CASE WHEN (+MEDACTE = ? "
        "COLLATE FRENCH_PRIMARY) THEN MEDSUIT ELSE MEDACTE END AS confrere, REVERSE FROM ACTES WHERE Date BETWEEN ? "
        "AND ? AND ((+MEDACTE = ? COLLATE FRENCH_PRIMARY) OR (+MEDSUIT = ? COLLATE FRENCH_PRIMARY)) AND NOT "
        "((+MEDACTE = ? COLLATE FRENCH_PRIMARY) AND (+MEDSUIT = ? COLLATE FRENCH_PRIMARY))) WHERE confrere <> '' "
        "GROUP BY confrere COLLATE FRENCH_PRIMARY HAVING SUM(REVERSE) IS NOT NULL ORDER BY MIN(confrere) COLLATE "
        "FRENCH");
}

// The year's count of acts straight from SQLite, to check what the window shows.
qint64 directCount(const Choice& c) {
    QVariantList binds;
    std::vector<QVariantList> rows;
    setup().direct->run(monthsSql(c, &binds).toUtf8().constData(), binds, &rows);
    qint64 n = 0;
    for (const auto& r : rows)
        n += r.value(1).toLongLong();
    return n;
}

void programStatement(benchmark::State& state) {
    YearStatementWindow* w = setup().window;
    auto* year = control<QSpinBox>(w, "TxtAnnee");
    auto* practitioner = control<QComboBox>(w, "CboPraticien");
    auto* months = control<QTableWidget>(w, "TblMois");
    Samples samples;
    size_t i = 0;
    Dialogs::clearShown();
    for (auto _ : state) {
        const Choice c = choice(i++);
        const qint64 expected = directCount(c);
        {
            // The practitioner chosen first, quietly; the year then fills the window once.
            const QSignalBlocker quiet(practitioner);
            practitioner->setCurrentIndex(practitioner->findText(c.practitioner));
        }
        if (year->value() == c.year) {
            const QSignalBlocker quiet(year);
            year->setValue(c.year == year->maximum() ? c.year - 1 : c.year + 1);
        }
        settle();
        const Stopwatch sw;
        year->setValue(c.year);
        settle();
        sw.lap(state, samples);
        const QString total = months->item(12, 1) ? months->item(12, 1)->text() : QString();
        if (total != QString::number(expected))
            problem(QStringLiteral("%1 %2: %3 acts shown, %4 expected")
                        .arg(c.practitioner)
                        .arg(c.year)
                        .arg(total)
                        .arg(expected));
        if (!Dialogs::shownTexts().isEmpty()) {
            problem(QStringLiteral("the window said: %1").arg(Dialogs::lastText()));
            Dialogs::clearShown();
        }
    }
    publish(state, QStringLiteral("releve"), samples, Column::Program);
}

void storeStatement(benchmark::State& state) {
    Samples samples;
    size_t i = 0;
    for (auto _ : state) {
        const Choice c = choice(i++);
        YearStatement statement;
        const Stopwatch sw;
        const Status s = setup().database.store()->acts().yearStatement(c.year, c.practitioner, &statement);
        sw.lap(state, samples);
        if (!s)
            problem(QStringLiteral("store: %1").arg(s.message));
    }
    publish(state, QStringLiteral("releve"), samples, Column::Store);
}

void directStatement(benchmark::State& state) {
    DirectSqlite& db = *setup().direct;
    Samples samples;
    size_t i = 0;
    for (auto _ : state) {
        const Choice c = choice(i++);
        QVariantList b1, b2;
        const QByteArray months = monthsSql(c, &b1).toUtf8();
        const QByteArray reversals = reversalsSql(c, &b2).toUtf8();
        const Stopwatch sw;
        db.scan(months.constData(), b1);
        db.scan(reversals.constData(), b2);
        sw.lap(state, samples);
    }
    publish(state, QStringLiteral("releve"), samples, Column::Direct);
}

void registerAll() {
    Report::instance().declare(QStringLiteral("releve"),
                               QStringLiteral("year + practitioner chosen, window filled (tables, chart)"), kGoalMs,
                               QStringLiteral("the months' sums and the reversals' sums"));
    benchmark::RegisterBenchmark("BM_Program_Releve", programStatement)
        ->UseManualTime()
        ->Iterations(40)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("BM_Store_Releve", storeStatement)
        ->UseManualTime()
        ->Iterations(40)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("BM_Sqlite_Releve", directStatement)
        ->UseManualTime()
        ->Iterations(40)
        ->Unit(benchmark::kMillisecond);
}

void explainQueries() {
    Report& r = Report::instance();
    DirectSqlite& db = *setup().direct;
    const Choice c = choice(0);
    QVariantList b1, b2;
    const QString months = monthsSql(c, &b1);
    const QString reversals = reversalsSql(c, &b2);
    r.addNote(QStringLiteral("\nQuery plans (EXPLAIN QUERY PLAN):"));
    r.addNote(QStringLiteral("  months: %1").arg(db.queryPlan(months, b1).join(QStringLiteral("; "))));
    r.addNote(QStringLiteral("  reversals: %1").arg(db.queryPlan(reversals, b2).join(QStringLiteral("; "))));
    r.addNote(QStringLiteral("  %1 in %2: %3 acts").arg(c.practitioner).arg(c.year).arg(directCount(c)));
}

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchApplication(argc, argv);
    const int rows = wantedRows();
    Setup& s = setup();
    s.dbPath = benchDatabase(rows);
    s.clinic = std::make_unique<BenchClinic>(s.dbPath);
    s.database.setLocation(s.dbPath);
    s.direct = std::make_unique<DirectSqlite>(s.dbPath);
    s.window = new YearStatementWindow(s.database);
    s.window->show();
    if (!waitExposed(s.window))
        qFatal("the statement window was not shown");
    registerAll();

    std::printf("Yearly statement at %d acts: %s\n", rows, qPrintable(s.dbPath));
    std::fflush(stdout);
    benchmark::RunSpecifiedBenchmarks();

    Report& r = Report::instance();
    r.addNote(QStringLiteral("\nLoad average at the end: %1 on %2 processors.")
                  .arg(loadAverage(), 0, 'f', 2)
                  .arg(QThread::idealThreadCount()));
    explainQueries();
    if (problems() > 0)
        r.addNote(QStringLiteral("\n%1 unexpected outcome(s) seen while measuring.").arg(problems()));
    r.print();

    delete s.window.data();
    s.direct.reset();
    s.clinic.reset();
    benchmark::Shutdown();
    return problems() > 0 ? 3 : 0;
}
