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
#include "domain/Listing.h"
#include "domain/RatesFile.h"
#include "domain/Reversal.h"
#include "store/SharedStore.h"
#include "store/SqlText.h"
#include "store/sqlite/Cursor.h"
#include "widgets/Dialogs.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QComboBox>
#include <QDate>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QThread>

#include <cstdio>
#include <functional>
#include <memory>

using namespace obs;
using namespace obs::bench;

namespace {

constexpr double kListingGoalMs = 1000; // one year, no criteria: about 50,000 lines
constexpr double kCriteriaGoalMs = 100;
constexpr double kDoitGoalMs = 50;
constexpr double kPaymentGoalMs = 50;

const QString kNoReversal = QStringLiteral("Pas de reversement correspondant possible.");
const QString kConfirmReversal = QStringLiteral("Voulez vous vraiment enregistrer la somme reversée ?");

int wantedRows() {
    bool ok = false;
    const int n = qEnvironmentVariableIntValue("OBSLEDGER_BENCH_ROWS", &ok);
    return ok && n > 0 ? n : 1'000'000;
}

struct Setup {
    QString dbPath;
    std::unique_ptr<BenchClinic> clinic;
    std::unique_ptr<DirectSqlite> direct;
    int problems = 0;
};

Setup& setup() {
    static Setup s;
    return s;
}

void problem(const QString& what) {
    ++setup().problems;
    if (setup().problems <= 10)
        std::fprintf(stderr, "bench: unexpected: %s\n", qPrintable(what));
}

// ---------------------------------------------------------------------------------------------
// Periods: whole calendar years inside the 20 years of acts, taken in turn so that each search
// reads other pages of the file.

struct Period {
    QDate first;
    QDate last;
    QString firstText() const { return frenchDate(first); }
    QString lastText() const { return frenchDate(last); }
    qint64 firstDay() const { return dayNumberOf(first); }
    qint64 lastDay() const { return dayNumberOf(last); }
};

const std::vector<Period>& years() {
    static const std::vector<Period> list = [] {
        std::vector<Period> out;
        const int thisYear = QDate::currentDate().year();
        for (int y = thisYear - 19; y < thisYear; ++y)
            out.push_back({QDate(y, 1, 1), QDate(y, 12, 31)});
        return out;
    }();
    return list;
}

Period wholeHistoryPeriod() {
    return {QDate::currentDate().addYears(-20), QDate::currentDate()};
}

// ---------------------------------------------------------------------------------------------
// The listings measured: the search with and without criteria, the unpaid and the excess fees.

struct ListingCase {
    QString key;
    QString action;
    Listing::Kind kind = Listing::Kind::Search;
    SearchCriteria criteria;
    double goalMs = 0;
    const char* button = "Command2";

    QString where(const Period& p) const {
        QString w = Listing::periodCondition(p.firstDay(), p.lastDay());
        if (kind == Listing::Kind::Search)
            w += Listing::criteriaClauses(criteria);
        return w;
    }
    // What SQLite receives for the found set and for the total.
    QString selectionSql(const Period& p) const { return adaptSql(Listing::selection(kind, where(p))); }
    QString totalSql(const Period& p) const { return adaptSql(Listing::totalQuery(kind, where(p))); }
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
    out.push_back(search("search-year", "Command2, one year, no criteria", {}, kListingGoalMs));
    out.push_back(search("search-pair", "Command2, year + both practitioners",
                         {QStringLiteral("Dr BERTRAND"), QStringLiteral("Dr FONTAINE"), {}, {}}, kCriteriaGoalMs));
    out.push_back(search("search-followup", "Command2, year + CmbPrat1 only", {QStringLiteral("Dr MARTIN"), {}, {}, {}},
                         kCriteriaGoalMs));
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
    unpaid.kind = Listing::Kind::Unpaid;
    unpaid.goalMs = kListingGoalMs;
    unpaid.button = "CmdImpayes";
    out.push_back(unpaid);
    ListingCase excess = unpaid;
    excess.key = QStringLiteral("excess");
    excess.action = QStringLiteral("CmdDE, one year");
    excess.kind = Listing::Kind::Excess;
    excess.button = "CmdDE";
    out.push_back(excess);
    return out;
}

// Number of acts a listing finds for a period, and its total, read once through SQLite.
struct Expected {
    int count = 0;
    QString totalCaption; // what LblTotalActes must show
};

Expected expected(const ListingCase& c, const Period& p) {
    static std::map<QString, Expected> cache;
    const QString id = c.key + p.firstText();
    if (auto it = cache.find(id); it != cache.end())
        return it->second;
    QString countSql = c.selectionSql(p);
    countSql.replace(QStringLiteral("SELECT ACTES.*"), QStringLiteral("SELECT count(*)"));
    countSql.remove(QStringLiteral(" ORDER BY NOM, PRENOM"));
    std::vector<QVariantList> rows;
    setup().direct->run(countSql.toUtf8().constData(), {}, &rows);
    Expected e;
    e.count = rows.at(0).value(0).toInt();
    rows.clear();
    setup().direct->run(c.totalSql(p).toUtf8().constData(), {}, &rows);
    const auto total = Listing::sumValue(rows.at(0).value(0));
    e.totalCaption =
        e.count == 0 ? QStringLiteral("0") : (total ? total->toFrench() + QStringLiteral(" €") : QStringLiteral("0"));
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
    auto* w = new SearchWindow();
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
    setCombo(control<QComboBox>(w, "CmbPrat1"), c.followUp);
    setCombo(control<QComboBox>(w, "CmbPrat2"), c.performer);
    setCombo(control<QComboBox>(w, "CmbActes"), c.act);
    setCombo(control<QComboBox>(w, "CmbNF"), c.nightOrHoliday);
}

// ---------------------------------------------------------------------------------------------
// Listings: the button pressed until the found list, the count and the totals are shown and the
// screen repainted.

void programListing(benchmark::State& state, const ListingCase& c) {
    SearchWindow* w = searchScreen();
    setCriteria(w, c.criteria);
    auto* date1 = control<QLineEdit>(w, "TxtDate1");
    auto* date2 = control<QLineEdit>(w, "TxtDate2");
    auto* button = control<QPushButton>(w, c.button);
    auto* list1 = control<QListWidget>(w, "List1");
    auto* list2 = control<QListWidget>(w, "List2");
    auto* count = control<QLabel>(w, "Label1");
    auto* total = control<QLabel>(w, "LblTotalActes");
    Samples samples;
    size_t i = 0;
    Dialogs::clearShown();
    for (auto _ : state) {
        const Period& p = years()[i++ % years().size()];
        const Expected e = expected(c, p);
        date1->setText(p.firstText());
        date2->setText(p.lastText());
        settle();
        const Stopwatch sw;
        button->click();
        settle();
        sw.lap(state, samples);
        if (count->text() != QString::number(e.count) || list2->count() != e.count || list1->count() != e.count ||
            total->text() != e.totalCaption)
            problem(QStringLiteral("%1 %2: count %3, lines %4/%5, total %6; expected %7 acts, %8")
                        .arg(c.key, p.firstText(), count->text())
                        .arg(list1->count())
                        .arg(list2->count())
                        .arg(total->text())
                        .arg(e.count)
                        .arg(e.totalCaption));
        if (!Dialogs::shownTexts().isEmpty()) {
            problem(QStringLiteral("%1 said: %2").arg(c.key, Dialogs::lastText()));
            Dialogs::clearShown();
        }
    }
    publish(state, c.key, samples, Column::Program);
}

// The same store calls without the screen: the found set read once into numbers and lines, the
// total, and the shared database opened again, as the listing does.
void storeListing(benchmark::State& state, const ListingCase& c) {
    searchScreen(); // the shared database and its path as the screen set them
    SharedStore& store = SharedStore::instance();
    Samples samples;
    size_t i = 0;
    for (auto _ : state) {
        const Period& p = years()[i++ % years().size()];
        const Expected e = expected(c, p);
        const QString where = c.where(p);
        const Stopwatch sw;
        const auto db = store.database();
        QStringList numbers, lines;
        ListingLines composer(c.kind);
        Status s = db->query(Listing::selection(c.kind, where), [&](const Row& row) {
            numbers << composer.number(row);
            lines << composer.line(row);
            return true;
        });
        QVariant sum;
        if (s && !numbers.isEmpty())
            s = db->scalar(Listing::totalQuery(c.kind, where), &sum);
        if (s)
            s = store.openDatabase(store.databasePath());
        sw.lap(state, samples);
        if (!s || numbers.size() != e.count)
            problem(QStringLiteral("store %1 %2: %3 acts, %4")
                        .arg(c.key, p.firstText())
                        .arg(numbers.size())
                        .arg(s.message));
    }
    publish(state, c.key, samples, Column::Store);
}

void directListing(benchmark::State& state, const ListingCase& c) {
    DirectSqlite& db = *setup().direct;
    Samples samples;
    size_t i = 0;
    for (auto _ : state) {
        const Period& p = years()[i++ % years().size()];
        const Expected e = expected(c, p);
        const QByteArray selection = c.selectionSql(p).toUtf8();
        const QByteArray total = c.totalSql(p).toUtf8();
        const Stopwatch sw;
        const int n = db.run(selection.constData());
        if (n > 0)
            db.run(total.constData());
        sw.lap(state, samples);
        if (n != e.count)
            problem(QStringLiteral("SQLite %1 %2: %3 acts").arg(c.key, p.firstText()).arg(n));
    }
    publish(state, c.key, samples, Column::Direct);
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
    Period period(size_t i) const { return wholeHistory ? wholeHistoryPeriod() : years()[(i * 7) % years().size()]; }
};

QString doitWhere(const PairCase& pc, const Period& p) {
    return Reversal::periodCondition(p.firstDay(), p.lastDay(), pc.followUp, pc.performer);
}
QString doitValueSql(const QString& where) {
    return QStringLiteral("SELECT SUM(PRIX) AS TOTAL From ACTES ") + where;
}
QString doitPaidSql(const QString& where) {
    return QStringLiteral("SELECT SUM(REVERSE) AS TOTAL From ACTES ") + where;
}

std::vector<DoitCase> doitCases() {
    return {
        {QStringLiteral("doit-year"), QStringLiteral("CmdDoit, colleagues, one year"), &colleaguePairs(), false, 150},
        {QStringLiteral("doit-own-year"), QStringLiteral("CmdDoit, own acts, one year"), &ownActsPairs(), false, 100},
        {QStringLiteral("doit-20y"), QStringLiteral("CmdDoit, colleagues, 20 years"), &colleaguePairs(), true, 60},
        {QStringLiteral("doit-own-20y"), QStringLiteral("CmdDoit, own acts, 20 years"), &ownActsPairs(), true, 20},
    };
}

QString valueCaption(const QString& sql) {
    std::vector<QVariantList> rows;
    setup().direct->run(adaptSql(sql).toUtf8().constData(), {}, &rows);
    const auto v = Listing::sumValue(rows.at(0).value(0));
    return v ? v->toFrench() + QStringLiteral(" €") : QStringLiteral("0");
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
        const Period p = c.period(i);
        ++i;
        const QString expectedValue = valueCaption(doitValueSql(doitWhere(pc, p)));
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
        const QString where = doitWhere(c.pair(i), c.period(i));
        ++i;
        const Stopwatch sw;
        const auto db = SharedStore::instance().database();
        QVariant v, r;
        Status s = db->scalar(doitValueSql(where), &v);
        if (s)
            s = db->scalar(doitPaidSql(where), &r);
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
        const QString where = doitWhere(c.pair(i), c.period(i));
        ++i;
        const QByteArray value = adaptSql(doitValueSql(where)).toUtf8();
        const QByteArray paid = adaptSql(doitPaidSql(where)).toUtf8();
        const Stopwatch sw;
        db.run(value.constData());
        db.run(paid.constData());
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

QString pairActsSql(const PairCase& pc) {
    return Reversal::pairActsQuery(pc.followUp, pc.performer);
}

// The store calls of CmdRev: a cursor on the pair's acts, its last one read, the sum added.
void storePayment(benchmark::State& state) {
    searchScreen();
    Samples samples;
    size_t i = 0;
    for (auto _ : state) {
        const PairCase& pc = paymentPairs()[i++ % paymentPairs().size()];
        const qint64 id = addPairScratchAct(pc);
        const Stopwatch sw;
        const auto db = SharedStore::instance().database();
        Status s;
        auto acts = Cursor::open(db, pairActsSql(pc), &s);
        Row latest;
        if (acts)
            s = acts->moveLast();
        if (s)
            s = acts->current(&latest);
        if (s)
            s = db->executeRaw(
                QStringLiteral("UPDATE ACTES SET DateRev = ?, REVERSE = ifnull(REVERSE, 0) + ? WHERE NUMINT = ?"),
                {QVariant::fromValue<qint64>(dayNumberOf(QDate::currentDate())),
                 QVariant::fromValue<qint64>(Money::parse(kPaidSum)->units()), latest.value(QStringLiteral("NUMINT"))});
        sw.lap(state, samples);
        if (!s)
            problem(QStringLiteral("store payment: %1").arg(s.message));
        checkAndRemoveScratch(id, "store payment");
    }
    publish(state, QStringLiteral("payment"), samples, Column::Store);
}

// The pair's latest act as the cursor asks for it (its SQL as the store adapts it), then the update.
QString latestActSql(const PairCase& pc) {
    const SelectParts parts = splitSelect(adaptSql(pairActsSql(pc)));
    return QStringLiteral(
               "SELECT rowid AS \"__rowid\", * FROM ACTES WHERE (%1) ORDER BY \"DATE\" DESC, rowid DESC LIMIT 1")
        .arg(parts.where);
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
        const QByteArray latest = latestActSql(pc).toUtf8();
        std::vector<QVariantList> rows;
        const Stopwatch sw;
        db.run(latest.constData(), {}, &rows);
        const QVariant number = rows.empty() ? QVariant() : rows[0].value(1); // __rowid, NUMINT, ...
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
        const QString sql = pairActsSql(noPair(i++));
        const Stopwatch sw;
        Status s;
        auto acts = Cursor::open(SharedStore::instance().database(), sql, &s);
        sw.lap(state, samples);
        if (!acts || acts->hasCurrent())
            problem(QStringLiteral("store: a pair without acts %1").arg(s.message));
    }
    publish(state, QStringLiteral("payment-none"), samples, Column::Store);
}

void directNoPair(benchmark::State& state) {
    DirectSqlite& db = *setup().direct;
    Samples samples;
    size_t i = 0;
    for (auto _ : state) {
        const SelectParts parts = splitSelect(adaptSql(pairActsSql(noPair(i++))));
        const QByteArray sql =
            QStringLiteral("SELECT rowid AS \"__rowid\", * FROM ACTES WHERE (%1) ORDER BY \"DATE\", rowid LIMIT 1")
                .arg(parts.where)
                .toUtf8();
        const Stopwatch sw;
        const int n = db.run(sql.constData());
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
    const Period sample = years().front();
    for (const ListingCase& c : listingCases()) {
        r.declare(c.key, c.action, c.goalMs, c.selectionSql(sample) + QStringLiteral("  ;  ") + c.totalSql(sample));
        const bool year = c.goalMs >= kListingGoalMs;
        const int n = year ? 19 : 57;
        const QString tag = QStringLiteral("Listing/") + c.key;
        add(
            QStringLiteral("BM_Program_") + tag, [c](benchmark::State& st) { programListing(st, c); }, n);
        add(
            QStringLiteral("BM_Store_") + tag, [c](benchmark::State& st) { storeListing(st, c); }, n);
        add(
            QStringLiteral("BM_Sqlite_") + tag, [c](benchmark::State& st) { directListing(st, c); }, n);
    }
    for (const DoitCase& c : doitCases()) {
        const QString where = doitWhere(c.pair(0), c.period(0));
        r.declare(c.key, c.action, kDoitGoalMs,
                  adaptSql(doitValueSql(where)) + QStringLiteral("  ;  ") + adaptSql(doitPaidSql(where)));
        const QString tag = QStringLiteral("Doit/") + c.key;
        add(
            QStringLiteral("BM_Program_") + tag, [c](benchmark::State& st) { programDoit(st, c); }, c.iterations);
        add(
            QStringLiteral("BM_Store_") + tag, [c](benchmark::State& st) { storeDoit(st, c); }, c.iterations);
        add(
            QStringLiteral("BM_Sqlite_") + tag, [c](benchmark::State& st) { directDoit(st, c); }, c.iterations);
    }
    r.declare(QStringLiteral("payment"), QStringLiteral("CmdRev payment (answered Yes)"), kPaymentGoalMs,
              latestActSql(paymentPairs()[0]) + QStringLiteral("  ;  ") + QString::fromLatin1(kDirectPaymentUpdate));
    add(QStringLiteral("BM_Program_Payment"), programPayment, 60);
    add(QStringLiteral("BM_Store_Payment"), storePayment, 60);
    add(QStringLiteral("BM_Sqlite_Payment"), directPayment, 60);
    r.declare(QStringLiteral("payment-none"), QStringLiteral("CmdRev, a pair with no act"), kPaymentGoalMs,
              QStringLiteral("SELECT rowid AS \"__rowid\", * FROM ACTES WHERE (%1) ORDER BY \"DATE\", rowid LIMIT 1")
                  .arg(splitSelect(adaptSql(pairActsSql(noPair(0)))).where));
    add(QStringLiteral("BM_Program_PaymentNoPair"), programNoPair, 150);
    add(QStringLiteral("BM_Store_PaymentNoPair"), storeNoPair, 150);
    add(QStringLiteral("BM_Sqlite_PaymentNoPair"), directNoPair, 150);
}

void explainQueries() {
    Report& r = Report::instance();
    DirectSqlite& db = *setup().direct;
    const Period p = years().front();
    r.addNote(QStringLiteral("\nQuery plans (EXPLAIN QUERY PLAN of the SQL as SQLite receives it):"));
    auto plan = [&](const QString& what, const QString& sql) {
        r.addNote(QStringLiteral("  %1: %2").arg(what, db.queryPlan(sql).join(QStringLiteral("; "))));
    };
    for (const ListingCase& c : listingCases()) {
        plan(c.key + QStringLiteral(" found set"), c.selectionSql(p));
        plan(c.key + QStringLiteral(" total"), c.totalSql(p));
    }
    plan(QStringLiteral("CmdDoit sum"), adaptSql(doitValueSql(doitWhere(colleaguePairs()[0], p))));
    plan(QStringLiteral("CmdRev latest act"), latestActSql(colleaguePairs()[0]));
    r.addNote(QStringLiteral("\nLines found in %1 (%2 to %3):").arg(p.first.year()).arg(p.firstText(), p.lastText()));
    for (const ListingCase& c : listingCases())
        r.addNote(QStringLiteral("  %1: %2 acts").arg(c.key).arg(expected(c, p).count));
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
    if (s.problems > 0)
        r.addNote(
            QStringLiteral("\n%1 unexpected outcome(s) seen while measuring: see the messages above.").arg(s.problems));
    r.print();

    delete searchScreen();
    s.direct.reset();
    s.clinic.reset();
    benchmark::Shutdown();
    return s.problems > 0 ? 3 : 0;
}
