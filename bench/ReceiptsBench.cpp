// SPDX-License-Identifier: GPL-3.0-or-later
#include "ReceiptsBench.h"

#include "BenchSupport.h"

#include "accounts/ReceiptsWindow.h"
#include "accounts/TaxYearWindow.h"
#include "common/DayNumber.h"
#include "common/Settings.h"
#include "domain/FecFile.h"
#include "domain/TaxYear.h"
#include "store/SharedDatabase.h"
#include "store/Store.h"
#include "widgets/Dialogs.h"

#include <benchmark/benchmark.h>

#include <QComboBox>
#include <QDate>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTableView>

namespace obs::bench::receipts {

namespace {

constexpr double kBookGoalMs = 300;
constexpr double kFecGoalMs = 2000;
constexpr double kTaxYearGoalMs = 300;

const QString kPractitioners[] = {QStringLiteral("Dr MARTIN"), QStringLiteral("Dr LEFEBVRE"),
                                  QStringLiteral("Dr D'ORVAL"), QStringLiteral("Dr BERTRAND")};

Measured* g_measured = nullptr;

void programBook(benchmark::State& state) {
    ReceiptsWindow* w = g_measured->window;
    auto* practitioner = control<QComboBox>(w, "CboPraticien");
    auto* from = control<QLineEdit>(w, "TxtDu");
    auto* to = control<QLineEdit>(w, "TxtAu");
    auto* show = control<QPushButton>(w, "CmdAfficher");
    auto* list = control<QTableView>(w, "LstRecettes");
    Samples samples;
    size_t i = 0;
    Dialogs::clearShown();
    for (auto _ : state) {
        const Choice c = choice(i++);
        practitioner->setCurrentIndex(practitioner->findText(c.practitioner));
        from->setText(QStringLiteral("01/01/%1").arg(c.year));
        to->setText(QStringLiteral("31/12/%1").arg(c.year));
        settle();
        const Stopwatch sw;
        show->click();
        settle();
        sw.lap(state, samples);
        if (list->model()->rowCount() < wantedRows() / 100)
            problem(QStringLiteral("%1 %2: only %3 receipts shown")
                        .arg(c.practitioner)
                        .arg(c.year)
                        .arg(list->model()->rowCount()));
        if (!Dialogs::shownTexts().isEmpty()) {
            problem(QStringLiteral("the window said: %1").arg(Dialogs::lastText()));
            Dialogs::clearShown();
        }
    }
    g_measured->memoryAfterBookMiB = currentMemoryMiB();
    publish(state, QStringLiteral("livre"), samples, Column::Program);
}

void storeBook(benchmark::State& state) {
    Samples samples;
    size_t i = 0;
    for (auto _ : state) {
        const Choice c = choice(i++);
        ReceiptsBook book;
        const Stopwatch sw;
        const Status s = g_measured->database->store()->journal().receipts(c.practitioner, yearPeriod(c.year), &book);
        sw.lap(state, samples);
        if (!s)
            problem(QStringLiteral("store: %1").arg(s.message));
    }
    publish(state, QStringLiteral("livre"), samples, Column::Store);
}

void storeFec(benchmark::State& state) {
    Samples samples;
    size_t i = 0;
    for (auto _ : state) {
        const Choice c = choice(i++);
        FecFile::Request r;
        r.practitioner = c.practitioner;
        r.year = c.year;
        r.siren = QStringLiteral("123456782");
        r.accounts = Settings::ledgerAccounts();
        QString path, message;
        const Stopwatch sw;
        const auto outcome = FecFile::write(*g_measured->database->store(), r, g_measured->fecFolder, &path, &message);
        sw.lap(state, samples);
        if (outcome != FecFile::Outcome::Written)
            problem(QStringLiteral("FEC: %1").arg(message));
    }
    publish(state, QStringLiteral("fec"), samples, Column::Program);
}

// The program's figures against the engine's own sums: a difference is a fault, not a slowness.
void compareTaxYear(const Choice& c, const TaxYear& t) {
    const auto [received, paidOver] = g_measured->directTaxYear(c);
    if (t.received().units() != received || t.paidOver().units() != paidOver)
        problem(QStringLiteral("%1 %2: tax year %3 / %4, the engine's sums %5 / %6")
                    .arg(c.practitioner)
                    .arg(c.year)
                    .arg(t.received().units())
                    .arg(t.paidOver().units())
                    .arg(received)
                    .arg(paidOver));
}

// A practitioner chosen in the window (the year set beforehand): from the choice to the figures shown.
void programTaxYear(benchmark::State& state) {
    TaxYearWindow* w = g_measured->taxYearWindow;
    auto* practitioner = control<QComboBox>(w, "CboPraticienFiscal");
    auto* year = control<QSpinBox>(w, "TxtAnneeFiscale");
    Samples samples;
    size_t i = 0;
    Dialogs::clearShown();
    for (auto _ : state) {
        const Choice c = choice(i++);
        {
            const QSignalBlocker quiet(year);
            year->setValue(c.year);
        }
        settle();
        const Stopwatch sw;
        practitioner->setCurrentIndex(practitioner->findText(c.practitioner));
        settle();
        sw.lap(state, samples);
        if (w->shown().practitioner() != c.practitioner || w->shown().year() != c.year)
            problem(QStringLiteral("tax year window: %1 %2 not shown").arg(c.practitioner).arg(c.year));
        if (!Dialogs::shownTexts().isEmpty()) {
            problem(QStringLiteral("the tax year window said: %1").arg(Dialogs::lastText()));
            Dialogs::clearShown();
        }
    }
    publish(state, QStringLiteral("annee"), samples, Column::Program);
}

void storeTaxYear(benchmark::State& state) {
    Samples samples;
    size_t i = 0;
    for (auto _ : state) {
        const Choice c = choice(i++);
        TaxYear t;
        const Stopwatch sw;
        const Status s =
            TaxYear::read(*g_measured->database->store(), c.practitioner, c.year, Settings::reversalThreshold(), &t);
        sw.lap(state, samples);
        if (!s)
            problem(QStringLiteral("tax year: %1").arg(s.message));
        else
            compareTaxYear(c, t);
    }
    publish(state, QStringLiteral("annee"), samples, Column::Store);
}

void directTaxYear(benchmark::State& state) {
    Samples samples;
    size_t i = 0;
    for (auto _ : state) {
        const Choice c = choice(i++);
        const Stopwatch sw;
        g_measured->directTaxYear(c);
        sw.lap(state, samples);
    }
    publish(state, QStringLiteral("annee"), samples, Column::Direct);
}

// The statements alone, for the book's row and the FEC's (the FEC reads the same book).
void direct(benchmark::State& state, const QString& key) {
    Samples samples;
    size_t i = 0;
    for (auto _ : state) {
        const Choice c = choice(i++);
        const Stopwatch sw;
        g_measured->direct(c);
        sw.lap(state, samples);
    }
    publish(state, key, samples, Column::Direct);
}

} // namespace

Choice choice(size_t i) {
    const int thisYear = QDate::currentDate().year();
    return {thisYear - 18 + int((i * 7) % 17), kPractitioners[i % std::size(kPractitioners)]};
}

Period yearPeriod(int year) {
    const auto starts = monthStarts(year);
    return {starts[0], starts[12] - 1};
}

void registerAll(Measured* measured, const char* directName) {
    g_measured = measured;
    Report& r = Report::instance();
    r.declare(QStringLiteral("livre"), QStringLiteral("receipts book, a practitioner's year: click to window filled"),
              kBookGoalMs, QStringLiteral("the book's five statements"));
    r.declare(QStringLiteral("fec"), QStringLiteral("FEC of a practitioner's year written (file and description)"),
              kFecGoalMs, QStringLiteral("the book's five statements"));
    auto add = [](const QString& name, std::function<void(benchmark::State&)> fn, int iterations) {
        benchmark::RegisterBenchmark(name.toLatin1().constData(), std::move(fn))
            ->UseManualTime()
            ->Iterations(iterations)
            ->Unit(benchmark::kMillisecond);
    };
    const QString straight = QString::fromLatin1(directName);
    add(QStringLiteral("BM_Program_Livre"), programBook, 20);
    add(QStringLiteral("BM_Store_Livre"), storeBook, 20);
    add(
        straight + QStringLiteral("_Livre"), [](benchmark::State& s) { direct(s, QStringLiteral("livre")); }, 20);
    if (measured->taxYearWindow && measured->directTaxYear) {
        r.declare(QStringLiteral("annee"),
                  QStringLiteral("tax year, a practitioner's year: choice to figures shown (\"Année fiscale\")"),
                  kTaxYearGoalMs, QStringLiteral("the year's sums (fees, sums paid over) in two statements"));
        add(QStringLiteral("BM_Program_AnneeFiscale"), programTaxYear, 20);
        add(QStringLiteral("BM_Store_AnneeFiscale"), storeTaxYear, 20);
        add(straight + QStringLiteral("_AnneeFiscale"), directTaxYear, 20);
    }
    add(QStringLiteral("BM_Program_Fec"), storeFec, 8);
    add(
        straight + QStringLiteral("_Fec"), [](benchmark::State& s) { direct(s, QStringLiteral("fec")); }, 8);
}

} // namespace obs::bench::receipts
