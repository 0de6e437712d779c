// The search and accounts screen at clinic scale, on a database of 1,000,000 acts over 20 years:
// the search of one year with and without criteria, the unpaid and excess-fee listings, the owed
// amount between two practitioners and the recording of a payment, each beside the same SQL (as
// the store hands it to SQLite) run straight through SQLite.
//
//   bench_search                                  all of it (builds the database once, see README.md)
//   bench_search --benchmark_filter=Listing       a part
//   OBSLEDGER_BENCH_ROWS=20000 bench_search       a smaller clinic, for a quick look

#include "BenchSupport.h"

#include "accounts/SearchWindow.h"
#include "common/DayNumber.h"
#include "common/Money.h"
#include "common/Settings.h"
#include "domain/Listing.h"
#include "domain/ListingModel.h"
#include "domain/RatesFile.h"
#include "domain/Reversal.h"
#include "store/SharedDatabase.h"
#include "widgets/Dialogs.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QComboBox>
#include <QDate>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPointer>
#include <QProcess>
#include <QPushButton>
#include <QThread>

#include <cstdio>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <type_traits>

using namespace obs;
using namespace obs::bench;

namespace {

constexpr double kListingGoalMs = 1000;       // unpaid and excess-fee listings of a year
constexpr double kYearGoalMs = 100;           // one year, no criteria: about 50,000 lines
constexpr double kOnePractitionerGoalMs = 25; // one year, one practitioner: about 10,000 lines
constexpr double kColdYearGoalMs = 300;       // the first one-year listing, file not in the page cache
constexpr double kMemoryGoalMB = 60;          // resident memory after a one-year listing
constexpr double kPeakGoalMiB = 52;           // peak resident size (VmHWM) after the one-year listings
constexpr int kFollowingYears = 4;            // one-year listings after the first, in the same process
constexpr double kCriteriaGoalMs = 100;
constexpr double kDoitGoalMs = 50;
constexpr double kPaymentGoalMs = 50;

const QString kNoReversal = QStringLiteral("Pas de reversement correspondant possible.");
const QString kConfirmReversal = QStringLiteral("Voulez vous vraiment enregistrer la somme reversée ?");

struct Setup {
    QString dbPath;
    SharedDatabase database; // what the screens share, as the program holds it
    std::unique_ptr<BenchClinic> clinic;
    std::unique_ptr<DirectSqlite> direct;
};

Setup& setup() {
    static Setup s;
    return s;
}

// ---------------------------------------------------------------------------------------------
// Years: whole calendar years inside the 20 years of acts, taken in turn so that each search
// reads other pages of the file.

struct YearSpan {
    QDate first;
    QDate last;
    QString firstText() const { return frenchDate(first); }
    QString lastText() const { return frenchDate(last); }
    obs::Period period() const { return {dayNumberOf(first), dayNumberOf(last)}; }
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

YearSpan twentyYears() {
    return {QDate::currentDate().addYears(-20), QDate::currentDate()};
}

QVariant day(qint64 d) {
    return QVariant::fromValue<qint64>(d);
}

// ---------------------------------------------------------------------------------------------
// The listings measured: the search with and without criteria, the unpaid and the excess fees.

// A criterion as the engine receives it from the program: a name without wildcard is an equality
// of base letters, which the practitioner indexes answer; a pattern goes through the program's LIKE.
QString patternCondition(const char* column, const QString& pattern, QVariantList* binds, bool seek) {
    *binds << pattern;
    const QString name = QString::fromLatin1(column);
    if (!hasWildcard(pattern))
        return QStringLiteral(" AND (%1 = ? COLLATE FRENCH_PRIMARY)").arg(seek ? name : u'+' + name);
    return QStringLiteral(" AND (%1 LIKE ?)").arg(name);
}

QString listingWhere(ListingKind kind, const obs::Period& p, const SearchCriteria& c, QVariantList* binds) {
    QString w = QStringLiteral(" WHERE Date BETWEEN ? AND ?");
    *binds << day(p.firstDay) << day(p.lastDay);
    if (kind == ListingKind::Search) {
        if (!c.followedBy.isEmpty())
            w += patternCondition("MEDSUIT", c.followedBy, binds, true);
        if (!c.performedBy.isEmpty())
            w += patternCondition("MEDACTE", c.performedBy, binds, true);
        if (!c.act.isEmpty())
            w += patternCondition("Acte", c.act + u'*', binds, true);
        if (!c.nightOrHoliday.isEmpty())
            w += patternCondition("NF", c.nightOrHoliday + u'*', binds, true);
    } else if (kind == ListingKind::Unpaid) {
        w += QStringLiteral(" AND PAYESECU = 0");
    } else {
        w += QStringLiteral(" AND DE <> 0");
    }
    return w;
}

struct ListingCase {
    QString key;
    QString action;
    ListingKind kind = ListingKind::Search;
    SearchCriteria criteria;
    double goalMs = 0;
    const char* button = "Command2";

    // The found set as SQLite is asked for it: only the columns a line and the total need, values bound.
    QString selectionSql(const obs::Period& p, QVariantList* binds) const {
        return QStringLiteral("SELECT NUMINT, Nom, Prenom, Date, CCAM1, DE, PRIX FROM ACTES") +
               listingWhere(kind, p, criteria, binds) +
               (kind == ListingKind::Search ? QStringLiteral(" ORDER BY Date, Nom, Prenom")
                                            : QStringLiteral(" ORDER BY Nom, Prenom, Date, NUMINT"));
    }
    // The total: PRIX of the acts found (summed while they are read), or DE of every act of the
    // period for the excess listing (a statement of its own).
    QString totalSql(const obs::Period& p, QVariantList* binds) const {
        if (kind == ListingKind::Excess)
            return QStringLiteral("SELECT SUM(DE) FROM ACTES") +
                   listingWhere(ListingKind::Search, p, SearchCriteria{}, binds);
        return QStringLiteral("SELECT SUM(PRIX) FROM ACTES") + listingWhere(kind, p, criteria, binds);
    }
    QString countSql(const obs::Period& p, QVariantList* binds) const {
        return QStringLiteral("SELECT count(*) FROM ACTES") + listingWhere(kind, p, criteria, binds);
    }
};

std::vector<ListingCase> listingCases() {
    auto search = [](const char* key, const char* action, SearchCriteria c, double goal) {
        ListingCase l;
        l.key = QString::fromLatin1(key);
        l.action = QString::fromUtf8(action);
        l.criteria = std::move(c);
        l.goalMs = goal;
        return l;
    };
    std::vector<ListingCase> out;
    out.push_back(search("search-year", "Command2, one year, no criteria", {}, kYearGoalMs));
    out.push_back(search("search-pair", "Command2, year + both practitioners",
                         {QStringLiteral("Dr BERTRAND"), QStringLiteral("Dr FONTAINE"), {}, {}}, kCriteriaGoalMs));
    out.push_back(search("search-followup", "Command2, year + CmbPrat1 only", {QStringLiteral("Dr MARTIN"), {}, {}, {}},
                         kOnePractitionerGoalMs));
    out.push_back(search("search-performer", "Command2, year + CmbPrat2 only",
                         {{}, QStringLiteral("Dr MARTIN"), {}, {}}, kOnePractitionerGoalMs));
    out.push_back(search("search-wildcard", "Command2, year + CmbPrat1 \"Dr L*\"",
                         {QStringLiteral("Dr L*"), {}, {}, {}}, kCriteriaGoalMs));
    out.push_back(search("search-act-night", "Command2, year + CmbActes + CmbNF",
                         {{}, {}, QStringLiteral("Accouchement"), QStringLiteral("N")}, kCriteriaGoalMs));
    out.push_back(search(
        "search-all", "Command2, year + all four criteria",
        {QStringLiteral("Dr D'ORVAL"), QStringLiteral("Dr D'ORVAL"), QStringLiteral("Césarienne"), QStringLiteral("N")},
        kCriteriaGoalMs));
    ListingCase unpaid;
    unpaid.key = QStringLiteral("unpaid");
    unpaid.action = QStringLiteral("CmdImpayes, one year");
    unpaid.kind = ListingKind::Unpaid;
    unpaid.goalMs = kListingGoalMs;
    unpaid.button = "CmdImpayes";
    out.push_back(unpaid);
    ListingCase excess = unpaid;
    excess.key = QStringLiteral("excess");
    excess.action = QStringLiteral("CmdDE, one year");
    excess.kind = ListingKind::Excess;
    excess.button = "CmdDE";
    out.push_back(excess);
    return out;
}

QString euroCaption(const std::optional<Money>& m) {
    return m ? m->toFrench() + QStringLiteral(" €") : QStringLiteral("0");
}

std::optional<Money> sumOf(const QVariant& v) {
    if (v.isNull())
        return std::nullopt;
    return Money::fromUnits(v.toLongLong());
}

// Number of acts a listing finds for a year, and its total, read once through SQLite.
struct Expected {
    int count = 0;
    QString totalCaption; // what LblTotalActes must show
};

std::map<QString, Expected>& expectedCache() {
    static std::map<QString, Expected> cache;
    return cache;
}

Expected expected(const ListingCase& c, const YearSpan& y) {
    std::map<QString, Expected>& cache = expectedCache();
    const QString id = c.key + y.firstText();
    if (auto it = cache.find(id); it != cache.end())
        return it->second;
    QVariantList binds;
    const QString count = c.countSql(y.period(), &binds);
    std::vector<QVariantList> rows;
    setup().direct->run(count.toUtf8().constData(), binds, &rows);
    Expected e;
    e.count = rows.at(0).value(0).toInt();
    rows.clear();
    binds.clear();
    const QString total = c.totalSql(y.period(), &binds);
    setup().direct->run(total.toUtf8().constData(), binds, &rows);
    e.totalCaption = e.count == 0 ? QStringLiteral("0") : euroCaption(sumOf(rows.at(0).value(0)));
    cache[id] = e;
    return e;
}

// ---------------------------------------------------------------------------------------------
// The screen

void setCombo(QComboBox* box, const QString& text) {
    if (box->isEditable()) {
        box->setEditText(text);
    } else {
        box->setCurrentIndex(text.isEmpty() ? -1 : box->findText(text));
    }
}

SearchWindow* openScreen() {
    auto* w = new SearchWindow(setup().database);
    w->show();
    if (!waitExposed(w))
        qFatal("the search screen is not shown");
    settle();
    return w;
}

// The screen the listings and CmdDoit run on, opened once (as the user keeps it open).
SearchWindow* searchScreen() {
    static QPointer<SearchWindow> screen;
    if (!screen) {
        Dialogs::clearShown();
        screen = openScreen();
        if (!Dialogs::shownTexts().isEmpty())
            problem(QStringLiteral("opening the screen said: %1").arg(Dialogs::shownTexts().join(u'|')));
    }
    return screen;
}

void setCriteria(SearchWindow* w, const SearchCriteria& c) {
    setCombo(control<QComboBox>(w, "CmbPrat1"), c.followedBy);
    setCombo(control<QComboBox>(w, "CmbPrat2"), c.performedBy);
    setCombo(control<QComboBox>(w, "CmbActes"), c.act);
    setCombo(control<QComboBox>(w, "CmbNF"), c.nightOrHoliday);
}

int shownRows(QListView* list) {
    return list->model() ? list->model()->rowCount() : -1;
}

// ---------------------------------------------------------------------------------------------
// Listings: the button pressed until the found list, the count and the totals are shown and the
// screen repainted.

// One listing on the screen, timed; a difference with SQLite's count or total is a problem.
double runListing(SearchWindow* w, const ListingCase& c, const YearSpan& y, benchmark::State* state, Samples* samples) {
    const Expected e = expected(c, y);
    auto* list1 = control<QListView>(w, "List1");
    auto* list2 = control<QListView>(w, "List2");
    auto* count = control<QLabel>(w, "Label1");
    auto* total = control<QLabel>(w, "LblTotalActes");
    control<QLineEdit>(w, "TxtDate1")->setText(y.firstText());
    control<QLineEdit>(w, "TxtDate2")->setText(y.lastText());
    settle();
    const Stopwatch sw;
    control<QPushButton>(w, c.button)->click();
    settle();
    const double ms = state ? sw.lap(*state, *samples) : elapsedMs(sw.started());
    if (count->text() != QString::number(e.count) || shownRows(list2) != e.count || shownRows(list1) != e.count ||
        total->text() != e.totalCaption)
        problem(QStringLiteral("%1 %2: count %3, lines %4/%5, total %6; expected %7 acts, %8")
                    .arg(c.key, y.firstText(), count->text())
                    .arg(shownRows(list1))
                    .arg(shownRows(list2))
                    .arg(total->text())
                    .arg(e.count)
                    .arg(e.totalCaption));
    // The first and last lines are formatted as the list shows them.
    if (e.count > 0 && (list2->model()->index(0, 0).data().toString().isEmpty() ||
                        list2->model()->index(e.count - 1, 0).data().toString().isEmpty()))
        problem(QStringLiteral("%1 %2: empty lines in the found list").arg(c.key, y.firstText()));
    if (!Dialogs::shownTexts().isEmpty()) {
        problem(QStringLiteral("%1 said: %2").arg(c.key, Dialogs::lastText()));
        Dialogs::clearShown();
    }
    return ms;
}

void programListing(benchmark::State& state, const ListingCase& c) {
    SearchWindow* w = searchScreen();
    setCriteria(w, c.criteria);
    Samples samples;
    size_t i = 0;
    Dialogs::clearShown();
    for (auto _ : state)
        runListing(w, c, years()[i++ % years().size()], &state, &samples);
    publish(state, c.key, samples, Column::Program);
}

// The found rows kept as the search screen keeps them.
using FoundRows = std::remove_cvref_t<decltype(std::declval<const ListingModel&>().rows())>;

// The same data layer calls without the screen: the found rows kept, the total, and the shared
// database opened again, as the listing does.
void storeListing(benchmark::State& state, const ListingCase& c) {
    searchScreen(); // the shared database and its path as the screen set them
    SharedDatabase& database = setup().database;
    Samples samples;
    size_t i = 0;
    for (auto _ : state) {
        const YearSpan& y = years()[i++ % years().size()];
        const Expected e = expected(c, y);
        const Stopwatch sw;
        const auto store = database.store();
        FoundRows rows;
        std::optional<Money> total;
        Status s = store->acts().listing(
            c.kind, y.period(), c.criteria,
            [&](const ListingRow& row) {
                rows.push_back(row);
                return true;
            },
            &total);
        if (s)
            s = database.reopen();
        sw.lap(state, samples);
        if (!s || int(rows.size()) != e.count || (e.count > 0 && euroCaption(total) != e.totalCaption))
            problem(QStringLiteral("store %1 %2: %3 acts, total %4, %5")
                        .arg(c.key, y.firstText())
                        .arg(rows.size())
                        .arg(euroCaption(total), s.message));
    }
    publish(state, c.key, samples, Column::Store);
}

// The same work straight through the engine: the found set's columns read with sqlite3_column_*
// (the total summed from them), then the excess listing's total of its own.
int directListingOnce(DirectSqlite& db, const ListingCase& c, const YearSpan& y) {
    QVariantList binds, totalBinds;
    const QByteArray selection = c.selectionSql(y.period(), &binds).toUtf8();
    const QByteArray total = c.totalSql(y.period(), &totalBinds).toUtf8();
    const int n = db.scan(selection.constData(), binds);
    if (n > 0 && c.kind == ListingKind::Excess)
        db.scan(total.constData(), totalBinds);
    return n;
}

void directListing(benchmark::State& state, const ListingCase& c) {
    DirectSqlite& db = *setup().direct;
    Samples samples;
    size_t i = 0;
    for (auto _ : state) {
        const YearSpan& y = years()[i++ % years().size()];
        const Expected e = expected(c, y);
        const Stopwatch sw;
        const int n = directListingOnce(db, c, y);
        sw.lap(state, samples);
        if (n != e.count)
            problem(QStringLiteral("SQLite %1 %2: %3 acts").arg(c.key, y.firstText()).arg(n));
    }
    publish(state, c.key, samples, Column::Direct);
}

// ---------------------------------------------------------------------------------------------
// The first one-year listing of a program just started, the file out of the page cache, and the
// program's memory after it. Each run is a new process (this program, "--listing-child"): the
// search screen opened, then one year listed.

const QString kColdKey = QStringLiteral("search-year-cold");

struct ChildFigures {
    Samples residentMiB; // VmRSS after the listing
    Samples peakMiB;     // VmHWM after the listing
    Samples sinceStartMs;
    Samples residentAfterMiB; // VmRSS after the following years' listings
    Samples peakAfterMiB;     // VmHWM after them: the peak of the one-year listings
};

ChildFigures& childFigures() {
    static ChildFigures f;
    return f;
}

// The child: the screen opened (its lists read), one year listed and checked, then the next years
// listed in turn (each replacing the found list, as a user goes from year to year), then its
// figures on one line: "listed <ms> <count> <VmRSS MiB> <VmHWM MiB> <ms since start> <VmRSS MiB>
// <VmHWM MiB>", the last two after the following years. Arguments: the year's index, its count and
// total caption, then the count and caption of each following year.
int listingChild(int argc, char** argv) {
    const auto t0 = Clock::now();
    benchApplication(argc, argv);
    Dialogs::setTesting(true); // the settings come from the parent's folder
    // What SQLite found comes from the parent: read here, it would bring the pages back.
    const ListingCase c = listingCases().front();
    const size_t first = size_t(QByteArray(argv[2]).toInt());
    std::vector<const YearSpan*> listed;
    for (int a = 3; a + 1 < argc; a += 2) {
        const YearSpan& y = years()[(first + listed.size()) % years().size()];
        expectedCache()[c.key + y.firstText()] = {QByteArray(argv[a]).toInt(), QString::fromUtf8(argv[a + 1])};
        listed.push_back(&y);
    }
    SearchWindow* w = openScreen();
    const double ms = runListing(w, c, *listed.front(), nullptr, nullptr);
    const int shown = shownRows(control<QListView>(w, "List2"));
    const ProcessMemory m = processMemory();
    const double sinceStart = elapsedMs(t0);
    for (size_t k = 1; k < listed.size(); ++k)
        runListing(w, c, *listed[k], nullptr, nullptr);
    const ProcessMemory after = processMemory();
    std::printf("listed %.3f %d %.1f %.1f %.3f %.1f %.1f\n", ms, shown, m.residentMiB, m.peakMiB, sinceStart,
                after.residentMiB, after.peakMiB);
    std::fflush(stdout);
    delete w;
    return problems() > 0 ? 3 : 0;
}

void programColdListing(benchmark::State& state) {
    ChildFigures& f = childFigures();
    Samples samples;
    const QString self = QCoreApplication::applicationFilePath();
    size_t i = 0;
    for (auto _ : state) {
        const size_t yearIndex = (i++ * 7) % years().size();
        const Expected e = expected(listingCases().front(), years()[yearIndex]);
        QStringList arguments{QStringLiteral("--listing-child"), QString::number(yearIndex)};
        for (int k = 0; k <= kFollowingYears; ++k) {
            const Expected ek = expected(listingCases().front(), years()[(yearIndex + size_t(k)) % years().size()]);
            arguments << QString::number(ek.count) << ek.totalCaption;
        }
        if (!dropFromPageCache(setup().dbPath))
            problem(QStringLiteral("cannot drop %1 from the page cache").arg(setup().dbPath));
        QProcess child;
        child.setProcessChannelMode(QProcess::SeparateChannels);
        child.start(self, arguments);
        if (!child.waitForFinished(120000) || child.exitCode() != 0) {
            problem(QStringLiteral("the listing child failed (%1): %2")
                        .arg(child.exitCode())
                        .arg(QString::fromLocal8Bit(child.readAllStandardError())));
            state.SetIterationTime(0);
            continue;
        }
        bool seen = false;
        for (const QByteArray& line : child.readAllStandardOutput().split('\n')) {
            const QList<QByteArray> parts = line.trimmed().split(' ');
            if (parts.value(0) != "listed")
                continue;
            seen = true;
            const double ms = parts.value(1).toDouble();
            samples.add(ms);
            state.SetIterationTime(ms / 1000.0);
            if (parts.value(2).toInt() != e.count)
                problem(QStringLiteral("cold listing: %1 lines, expected %2")
                            .arg(QString::fromLatin1(parts.value(2)))
                            .arg(e.count));
            f.residentMiB.add(parts.value(3).toDouble());
            f.peakMiB.add(parts.value(4).toDouble());
            f.sinceStartMs.add(parts.value(5).toDouble());
            f.residentAfterMiB.add(parts.value(6).toDouble());
            f.peakAfterMiB.add(parts.value(7).toDouble());
        }
        if (!seen) {
            problem(QStringLiteral("the listing child said nothing"));
            state.SetIterationTime(0);
        }
    }
    publish(state, kColdKey, samples, Column::Program);
}

// The data layer alone on a cold file: opened, the year listed and totalled.
void storeColdListing(benchmark::State& state) {
    Samples samples;
    const ListingCase c = listingCases().front();
    size_t i = 0;
    for (auto _ : state) {
        const YearSpan& y = years()[(i++ * 7) % years().size()];
        const Expected e = expected(c, y);
        dropFromPageCache(setup().dbPath);
        const Stopwatch sw;
        Status s;
        auto store = Store::open(setup().dbPath, &s);
        FoundRows rows;
        std::optional<Money> total;
        if (store)
            s = store->acts().listing(
                c.kind, y.period(), c.criteria,
                [&](const ListingRow& row) {
                    rows.push_back(row);
                    return true;
                },
                &total);
        sw.lap(state, samples);
        if (!s || int(rows.size()) != e.count)
            problem(QStringLiteral("store cold %1: %2 acts, %3").arg(y.firstText()).arg(rows.size()).arg(s.message));
    }
    publish(state, kColdKey, samples, Column::Store);
}

void directColdListing(benchmark::State& state) {
    Samples samples;
    const ListingCase c = listingCases().front();
    size_t i = 0;
    for (auto _ : state) {
        const YearSpan& y = years()[(i++ * 7) % years().size()];
        const Expected e = expected(c, y);
        dropFromPageCache(setup().dbPath);
        const Stopwatch sw;
        DirectSqlite db(setup().dbPath);
        const int n = directListingOnce(db, c, y);
        sw.lap(state, samples);
        if (n != e.count)
            problem(QStringLiteral("SQLite cold %1: %2 acts").arg(y.firstText()).arg(n));
    }
    publish(state, kColdKey, samples, Column::Direct);
}

// ---------------------------------------------------------------------------------------------
// CmdDoit: the value of the pair's acts in the period and what was already paid over.

struct PairCase {
    QString followUp;  // CmbPPrat1, B
    QString performer; // CmbPPrat2, A
};

// Colleagues standing in for one another: a few hundred acts a pair and a year.
const std::vector<PairCase>& colleaguePairs() {
    static const std::vector<PairCase> list = {
        {QStringLiteral("Dr BERTRAND"), QStringLiteral("Dr FONTAINE")},
        {QStringLiteral("Dr D'ORVAL"), QStringLiteral("Dr LEFEBVRE")},
        {QStringLiteral("Dr FONTAINE"), QStringLiteral("Dr MARTIN")},
    };
    return list;
}

// The same name in both boxes: the practitioner's own acts, some 8,000 a year.
const std::vector<PairCase>& ownActsPairs() {
    static const std::vector<PairCase> list = {
        {QStringLiteral("Dr MARTIN"), QStringLiteral("Dr MARTIN")},
        {QStringLiteral("Dr LEFEBVRE"), QStringLiteral("Dr LEFEBVRE")},
    };
    return list;
}

struct DoitCase {
    QString key;
    QString action;
    const std::vector<PairCase>* pairs = nullptr;
    bool wholeHistory = false;
    int iterations = 0;

    const PairCase& pair(size_t i) const { return (*pairs)[i % pairs->size()]; }
    YearSpan period(size_t i) const { return wholeHistory ? twentyYears() : years()[(i * 7) % years().size()]; }
};

// What CmdDoit asks of the engine: both sums of the pair's acts in the period, in one statement.
QString doitSql(const PairCase& pc, const YearSpan& y, QVariantList* binds) {
    *binds << day(y.period().firstDay) << day(y.period().lastDay);
    // One condition after the other: the values are bound in the order of their marks.
    QString sql = QStringLiteral("SELECT SUM(PRIX), SUM(REVERSE) FROM ACTES WHERE Date BETWEEN ? AND ?");
    sql += patternCondition("MEDSUIT", pc.followUp, binds, true);
    sql += patternCondition("MEDACTE", pc.performer, binds, true);
    return sql;
}

std::vector<DoitCase> doitCases() {
    return {
        {QStringLiteral("doit-year"), QStringLiteral("CmdDoit, colleagues, one year"), &colleaguePairs(), false, 150},
        {QStringLiteral("doit-own-year"), QStringLiteral("CmdDoit, own acts, one year"), &ownActsPairs(), false, 100},
        {QStringLiteral("doit-20y"), QStringLiteral("CmdDoit, colleagues, 20 years"), &colleaguePairs(), true, 60},
        {QStringLiteral("doit-own-20y"), QStringLiteral("CmdDoit, own acts, 20 years"), &ownActsPairs(), true, 20},
    };
}

QString valueCaption(const PairCase& pc, const YearSpan& y) {
    QVariantList binds;
    const QString sql = doitSql(pc, y, &binds);
    std::vector<QVariantList> rows;
    setup().direct->run(sql.toUtf8().constData(), binds, &rows);
    return euroCaption(sumOf(rows.at(0).value(0)));
}

void programDoit(benchmark::State& state, const DoitCase& c) {
    SearchWindow* w = searchScreen();
    auto* date3 = control<QLineEdit>(w, "TxtDate3");
    auto* date4 = control<QLineEdit>(w, "TxtDate4");
    auto* prat1 = control<QComboBox>(w, "CmbPPrat1");
    auto* prat2 = control<QComboBox>(w, "CmbPPrat2");
    auto* doit = control<QPushButton>(w, "CmdDoit");
    auto* value = control<QLabel>(w, "Label8");
    auto* owed = control<QLabel>(w, "LblDoit");
    Samples samples;
    size_t i = 0;
    Dialogs::clearShown();
    for (auto _ : state) {
        const PairCase& pc = c.pair(i);
        const YearSpan p = c.period(i);
        ++i;
        const QString expectedValue = valueCaption(pc, p);
        date3->setText(p.firstText());
        date4->setText(p.lastText());
        setCombo(prat1, pc.followUp);
        setCombo(prat2, pc.performer);
        owed->clear();
        settle();
        const Stopwatch sw;
        doit->click();
        settle();
        sw.lap(state, samples);
        if (value->text() != expectedValue || owed->text().isEmpty())
            problem(QStringLiteral("CmdDoit %1/%2 %3: %4 (expected %5), owed %6")
                        .arg(pc.performer, pc.followUp, p.firstText(), value->text(), expectedValue, owed->text()));
        if (!Dialogs::shownTexts().isEmpty()) {
            problem(QStringLiteral("CmdDoit said: %1").arg(Dialogs::lastText()));
            Dialogs::clearShown();
        }
    }
    publish(state, c.key, samples, Column::Program);
}

void storeDoit(benchmark::State& state, const DoitCase& c) {
    searchScreen();
    Samples samples;
    size_t i = 0;
    for (auto _ : state) {
        const PairCase& pc = c.pair(i);
        const YearSpan y = c.period(i);
        ++i;
        const Stopwatch sw;
        PairSums sums;
        const Status s = setup().database.store()->acts().pairSums(y.period(), pc.followUp, pc.performer, &sums);
        sw.lap(state, samples);
        if (!s)
            problem(QStringLiteral("store CmdDoit: %1").arg(s.message));
    }
    publish(state, c.key, samples, Column::Store);
}

void directDoit(benchmark::State& state, const DoitCase& c) {
    DirectSqlite& db = *setup().direct;
    Samples samples;
    size_t i = 0;
    for (auto _ : state) {
        QVariantList binds;
        const QByteArray sql = doitSql(c.pair(i), c.period(i), &binds).toUtf8();
        ++i;
        const Stopwatch sw;
        db.scan(sql.constData(), binds);
        sw.lap(state, samples);
    }
    publish(state, c.key, samples, Column::Direct);
}

// ---------------------------------------------------------------------------------------------
// Recording a payment (CmdRev, answered Yes). The sum lands on the pair's latest act: a scratch
// act of the pair dated tomorrow, added before and deleted after each payment, takes it, so the
// clinic's acts are never changed (an interrupted run leaves a scratch act that the next run
// removes).

const QString kPaidSum = QStringLiteral("1,5");

qint64 addPairScratchAct(const PairCase& pc) {
    Database& db = setup().clinic->db();
    const Money prix = Money::parse(QStringLiteral("313,5")).value_or(Money());
    Fields f{{QStringLiteral("Nom"), kScratchSurname},
             {QStringLiteral("Prenom"), QStringLiteral("Reversement")},
             {QStringLiteral("Date"), QVariant::fromValue<qint64>(dayNumberOf(QDate::currentDate().addDays(1)))},
             {QStringLiteral("MEDSUIT"), pc.followUp},
             {QStringLiteral("MEDACTE"), pc.performer},
             {QStringLiteral("Acte"), QStringLiteral("Césarienne programmée")},
             {QStringLiteral("CCAM1"), QStringLiteral("JQGA002")},
             {QStringLiteral("NF"), QString()},
             {QStringLiteral("PRIX"), moneyValue(prix)},
             {QStringLiteral("DE"), moneyValue(Money())}};
    qint64 id = 0;
    const Status s = db.insert(QStringLiteral("ACTES"), f, &id);
    if (!s)
        qFatal("cannot add a scratch act: %s", qPrintable(s.message));
    return id;
}

// Reads back what the payment wrote on the scratch act, then deletes it.
void checkAndRemoveScratch(qint64 id, const char* who) {
    Database& db = setup().clinic->db();
    QVariant reverse;
    db.scalar(QStringLiteral("SELECT REVERSE FROM ACTES WHERE NUMINT=%1").arg(id), &reverse);
    const Money expected = Money::parse(kPaidSum).value();
    if (reverse.isNull() || reverse.toLongLong() != expected.units())
        problem(QStringLiteral("%1: the payment did not land on the pair's latest act %2 (REVERSE %3)")
                    .arg(QString::fromLatin1(who))
                    .arg(id)
                    .arg(reverse.toString()));
    const Status s =
        db.executeRaw(QStringLiteral("DELETE FROM ACTES WHERE NUMINT = ?"), {QVariant::fromValue<qint64>(id)});
    if (!s)
        problem(QStringLiteral("cannot delete the scratch act %1: %2").arg(id).arg(s.message));
}

void fillPayment(SearchWindow* w, const PairCase& pc) {
    setCombo(control<QComboBox>(w, "CmbPPrat1"), pc.followUp);
    setCombo(control<QComboBox>(w, "CmbPPrat2"), pc.performer);
    control<QLineEdit>(w, "TxtDateRev")->setText(frenchDate(QDate::currentDate()));
    control<QLineEdit>(w, "TxtSommeRev")->setText(kPaidSum);
}

const std::vector<PairCase>& paymentPairs() {
    static const std::vector<PairCase> list = {colleaguePairs()[0], ownActsPairs()[0]};
    return list;
}

void programPayment(benchmark::State& state) {
    Samples samples;
    size_t i = 0;
    for (auto _ : state) {
        const PairCase& pc = paymentPairs()[i++ % paymentPairs().size()];
        const qint64 id = addPairScratchAct(pc);
        // A new screen each time: a recorded payment closes it.
        QPointer<SearchWindow> w = openScreen();
        fillPayment(w, pc);
        settle();
        Dialogs::clearShown();
        Dialogs::queueAnswer(true);
        const Stopwatch sw;
        control<QPushButton>(w, "CmdRev")->click();
        settle();
        sw.lap(state, samples);
        if (Dialogs::lastText() != kConfirmReversal || (w && w->isVisible()))
            problem(QStringLiteral("CmdRev said: %1").arg(Dialogs::shownTexts().join(u'|')));
        checkAndRemoveScratch(id, "CmdRev");
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        delete w.data();
        Dialogs::clearShown();
    }
    publish(state, QStringLiteral("payment"), samples, Column::Program);
}

// The store calls of CmdRev: the pair's latest act, then the sum added to it.
void storePayment(benchmark::State& state) {
    searchScreen();
    Samples samples;
    size_t i = 0;
    for (auto _ : state) {
        const PairCase& pc = paymentPairs()[i++ % paymentPairs().size()];
        const qint64 id = addPairScratchAct(pc);
        const Stopwatch sw;
        ActsTable& acts = setup().database.store()->acts();
        std::optional<qint64> latest;
        Status s = acts.latestOfPair(pc.followUp, pc.performer, &latest);
        bool changed = false;
        if (s && latest)
            s = acts.addReversal(*latest, dayNumberOf(QDate::currentDate()), *Money::parse(kPaidSum), &changed);
        sw.lap(state, samples);
        if (!s || !changed)
            problem(QStringLiteral("store payment: %1").arg(s.message));
        checkAndRemoveScratch(id, "store payment");
    }
    publish(state, QStringLiteral("payment"), samples, Column::Store);
}

// The pair's latest act as the data layer asks for it, then the update.
QString latestActSql(const PairCase& pc, QVariantList* binds) {
    QString sql = QStringLiteral("SELECT NUMINT FROM ACTES WHERE 1");
    sql += patternCondition("MEDSUIT", pc.followUp, binds, true);
    sql += patternCondition("MEDACTE", pc.performer, binds, true);
    return sql + QStringLiteral(" ORDER BY Date DESC, NUMINT DESC LIMIT 1");
}
const char* const kDirectPaymentUpdate =
    "UPDATE ACTES SET DateRev = ?, REVERSE = ifnull(REVERSE, 0) + ? WHERE NUMINT = ?";

void directPayment(benchmark::State& state) {
    DirectSqlite& db = *setup().direct;
    Samples samples;
    size_t i = 0;
    for (auto _ : state) {
        const PairCase& pc = paymentPairs()[i++ % paymentPairs().size()];
        const qint64 id = addPairScratchAct(pc);
        QVariantList binds;
        const QByteArray latest = latestActSql(pc, &binds).toUtf8();
        std::vector<QVariantList> rows;
        const Stopwatch sw;
        db.run(latest.constData(), binds, &rows);
        const QVariant number = rows.empty() ? QVariant() : rows[0].value(0);
        db.run(kDirectPaymentUpdate, {QVariant::fromValue<qint64>(dayNumberOf(QDate::currentDate())),
                                      QVariant::fromValue<qint64>(Money::parse(kPaidSum)->units()), number});
        sw.lap(state, samples);
        checkAndRemoveScratch(id, "SQLite payment");
    }
    publish(state, QStringLiteral("payment"), samples, Column::Direct);
}

// A pair with no act at all: "Pas de reversement correspondant possible." and nothing written.
const QString kNobody = QStringLiteral("Dr PERSONNE");

PairCase noPair(size_t i) {
    static const QStringList real = {QStringLiteral("Dr MARTIN"), QStringLiteral("Dr BERTRAND"),
                                     QStringLiteral("Dr D'ORVAL")};
    const QString other = real[int(i % real.size())];
    // Half of the time the unknown name follows the patient, half of the time it performed the act.
    return i % 2 == 0 ? PairCase{other, kNobody} : PairCase{kNobody, other};
}

void programNoPair(benchmark::State& state) {
    SearchWindow* w = searchScreen();
    auto* rev = control<QPushButton>(w, "CmdRev");
    Samples samples;
    size_t i = 0;
    for (auto _ : state) {
        fillPayment(w, noPair(i++));
        settle();
        Dialogs::clearShown();
        const Stopwatch sw;
        rev->click();
        settle();
        sw.lap(state, samples);
        if (Dialogs::shownTexts() != QStringList{kNoReversal} || !w->isVisible())
            problem(QStringLiteral("CmdRev without acts said: %1").arg(Dialogs::shownTexts().join(u'|')));
    }
    Dialogs::clearShown();
    publish(state, QStringLiteral("payment-none"), samples, Column::Program);
}

void storeNoPair(benchmark::State& state) {
    searchScreen();
    Samples samples;
    size_t i = 0;
    for (auto _ : state) {
        const PairCase pc = noPair(i++);
        const Stopwatch sw;
        std::optional<qint64> latest;
        const Status s = setup().database.store()->acts().latestOfPair(pc.followUp, pc.performer, &latest);
        sw.lap(state, samples);
        if (!s || latest)
            problem(QStringLiteral("store: a pair without acts found one %1").arg(s.message));
    }
    publish(state, QStringLiteral("payment-none"), samples, Column::Store);
}

void directNoPair(benchmark::State& state) {
    DirectSqlite& db = *setup().direct;
    Samples samples;
    size_t i = 0;
    for (auto _ : state) {
        QVariantList binds;
        const QByteArray sql = latestActSql(noPair(i++), &binds).toUtf8();
        const Stopwatch sw;
        const int n = db.scan(sql.constData(), binds);
        sw.lap(state, samples);
        if (n != 0)
            problem(QStringLiteral("SQLite: a pair without acts found %1").arg(n));
    }
    publish(state, QStringLiteral("payment-none"), samples, Column::Direct);
}

// ---------------------------------------------------------------------------------------------

void registerAll() {
    auto add = [](const QString& name, std::function<void(benchmark::State&)> fn, int iterations) {
        benchmark::RegisterBenchmark(name.toLatin1().constData(), [fn](benchmark::State& st) { fn(st); })
            ->Iterations(iterations)
            ->UseManualTime()
            ->Unit(benchmark::kMillisecond);
    };
    Report& r = Report::instance();
    const YearSpan sample = years().front();
    auto withBinds = [](const QString& sql, const QVariantList& binds) {
        QStringList values;
        for (const QVariant& v : binds)
            values << (v.typeId() == QMetaType::LongLong ? v.toString() : u'\'' + v.toString() + u'\'');
        return sql + QStringLiteral(" [") + values.join(QStringLiteral(", ")) + u']';
    };
    for (const ListingCase& c : listingCases()) {
        QVariantList b1, b2;
        const QString sel = c.selectionSql(sample.period(), &b1);
        const QString tot = c.totalSql(sample.period(), &b2);
        r.declare(c.key, c.action, c.goalMs, withBinds(sel, b1) + QStringLiteral("  ;  ") + withBinds(tot, b2));
        const bool year = c.goalMs >= kListingGoalMs || c.key == QLatin1String("search-year");
        const int n = year ? 19 : 57;
        const QString tag = QStringLiteral("Listing/") + c.key;
        add(
            QStringLiteral("BM_Program_") + tag, [c](benchmark::State& st) { programListing(st, c); }, n);
        add(
            QStringLiteral("BM_Store_") + tag, [c](benchmark::State& st) { storeListing(st, c); }, n);
        add(
            QStringLiteral("BM_Sqlite_") + tag, [c](benchmark::State& st) { directListing(st, c); }, n);
    }
    r.declare(kColdKey, QStringLiteral("Command2, one year, first after start, cold file"), kColdYearGoalMs,
              QStringLiteral("the one-year statements above, on a new connection, file out of the page cache"));
    add(QStringLiteral("BM_Program_Listing/") + kColdKey, programColdListing, 7);
    add(QStringLiteral("BM_Store_Listing/") + kColdKey, storeColdListing, 7);
    add(QStringLiteral("BM_Sqlite_Listing/") + kColdKey, directColdListing, 7);
    for (const DoitCase& c : doitCases()) {
        QVariantList binds;
        const QString sql = doitSql(c.pair(0), c.period(0), &binds);
        r.declare(c.key, c.action, kDoitGoalMs, withBinds(sql, binds));
        const QString tag = QStringLiteral("Doit/") + c.key;
        add(
            QStringLiteral("BM_Program_") + tag, [c](benchmark::State& st) { programDoit(st, c); }, c.iterations);
        add(
            QStringLiteral("BM_Store_") + tag, [c](benchmark::State& st) { storeDoit(st, c); }, c.iterations);
        add(
            QStringLiteral("BM_Sqlite_") + tag, [c](benchmark::State& st) { directDoit(st, c); }, c.iterations);
    }
    QVariantList pb;
    const QString latest = latestActSql(paymentPairs()[0], &pb);
    r.declare(QStringLiteral("payment"), QStringLiteral("CmdRev payment (answered Yes)"), kPaymentGoalMs,
              withBinds(latest, pb) + QStringLiteral("  ;  ") + QString::fromLatin1(kDirectPaymentUpdate));
    add(QStringLiteral("BM_Program_Payment"), programPayment, 60);
    add(QStringLiteral("BM_Store_Payment"), storePayment, 60);
    add(QStringLiteral("BM_Sqlite_Payment"), directPayment, 60);
    QVariantList nb;
    const QString none = latestActSql(noPair(0), &nb);
    r.declare(QStringLiteral("payment-none"), QStringLiteral("CmdRev, a pair with no act"), kPaymentGoalMs,
              withBinds(none, nb));
    add(QStringLiteral("BM_Program_PaymentNoPair"), programNoPair, 150);
    add(QStringLiteral("BM_Store_PaymentNoPair"), storeNoPair, 150);
    add(QStringLiteral("BM_Sqlite_PaymentNoPair"), directNoPair, 150);
}

void explainQueries() {
    Report& r = Report::instance();
    DirectSqlite& db = *setup().direct;
    const YearSpan y = years().front();
    r.addNote(QStringLiteral("\nQuery plans (EXPLAIN QUERY PLAN of the SQL as SQLite receives it):"));
    auto plan = [&](const QString& what, const QString& sql, const QVariantList& binds) {
        r.addNote(QStringLiteral("  %1: %2").arg(what, db.queryPlan(sql, binds).join(QStringLiteral("; "))));
    };
    for (const ListingCase& c : listingCases()) {
        QVariantList b1, b2;
        const QString sel = c.selectionSql(y.period(), &b1);
        plan(c.key + QStringLiteral(" found set"), sel, b1);
        const QString tot = c.totalSql(y.period(), &b2);
        plan(c.key + QStringLiteral(" total"), tot, b2);
    }
    QVariantList b3, b4;
    const QString doit = doitSql(colleaguePairs()[0], y, &b3);
    plan(QStringLiteral("CmdDoit sums"), doit, b3);
    const QString latest = latestActSql(colleaguePairs()[0], &b4);
    plan(QStringLiteral("CmdRev latest act"), latest, b4);
    r.addNote(QStringLiteral("\nLines found in %1 (%2 to %3):").arg(y.first.year()).arg(y.firstText(), y.lastText()));
    for (const ListingCase& c : listingCases())
        r.addNote(QStringLiteral("  %1: %2 acts").arg(c.key).arg(expected(c, y).count));
    const ChildFigures& f = childFigures();
    if (!f.residentMiB.empty()) {
        const double peak = f.peakMiB.max();
        r.addNote(
            QStringLiteral("\nMemory of the program as its own process after its first one-year listing "
                           "(goal: under %1 MB): resident (VmRSS) p50 %2 MiB, max %3 MiB; peak (VmHWM) max "
                           "%4 MiB: %5. Process start to the listing shown: p50 %6 ms.")
                .arg(kMemoryGoalMB)
                .arg(f.residentMiB.median(), 0, 'f', 1)
                .arg(f.residentMiB.max(), 0, 'f', 1)
                .arg(peak, 0, 'f', 1)
                .arg(f.residentMiB.max() * 1.048576 < kMemoryGoalMB ? QStringLiteral("met") : QStringLiteral("NOT met"))
                .arg(f.sinceStartMs.median(), 0, 'f', 0));
        const double peakAfter = f.peakAfterMiB.max();
        r.addNote(QStringLiteral("Peak resident size (VmHWM) after %1 one-year listings in that process (goal: under "
                                 "%2 MiB): p50 %3 MiB, max %4 MiB: %5; resident (VmRSS) then p50 %6 MiB.")
                      .arg(1 + kFollowingYears)
                      .arg(kPeakGoalMiB)
                      .arg(f.peakAfterMiB.median(), 0, 'f', 1)
                      .arg(peakAfter, 0, 'f', 1)
                      .arg(peakAfter < kPeakGoalMiB ? QStringLiteral("met") : QStringLiteral("NOT met"))
                      .arg(f.residentAfterMiB.median(), 0, 'f', 1));
    }
}

} // namespace

int main(int argc, char** argv) {
    if (argc >= 5 && std::strcmp(argv[1], "--listing-child") == 0)
        return listingChild(argc, argv);

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
    QString error;
    if (!RatesFile::write(RatesFile::path(), {QStringLiteral("10"), QStringLiteral("50")}, &error))
        qFatal("cannot write the rates file: %s", qPrintable(error));
    registerAll();
    searchScreen(); // the first window pays for fonts and styles

    std::printf("Search and accounts screen at %d acts: %s\n", rows, qPrintable(s.dbPath));
    std::fflush(stdout);
    benchmark::RunSpecifiedBenchmarks();

    Report& r = Report::instance();
    r.addNote(QStringLiteral("\nLoad average at the end: %1 on %2 processors (other programs running widen the p95).")
                  .arg(loadAverage(), 0, 'f', 2)
                  .arg(QThread::idealThreadCount()));
    explainQueries();
    if (problems() > 0)
        r.addNote(
            QStringLiteral("\n%1 unexpected outcome(s) seen while measuring: see the messages above.").arg(problems()));
    r.print();

    delete searchScreen();
    s.direct.reset();
    s.clinic.reset();
    benchmark::Shutdown();
    return problems() > 0 ? 3 : 0;
}
