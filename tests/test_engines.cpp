// SPDX-License-Identifier: GPL-3.0-or-later
// The same clinic on a file and on a server gives the same rows in the same order, the same
// totals, searches and errors: French text order, the program's wildcards, saves that never
// overwrite another workstation's change, writes that wait a few seconds on a lock.
#include "TestSupport.h"

#include "common/FrenchText.h"
#include "domain/ClinicCopy.h"
#include "domain/ServerBackup.h"
#include "store/BrowsedResult.h"
#include "store/Store.h"
#include "store/Tables.h"
#include "store/postgres/PgConnection.h"
#include "store/postgres/PgSchema.h"
#include "store/sqlite/Database.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QtTest>

using namespace obs;
using obs::test::TempClinic;
using obs::test::TempServerDatabase;

namespace {

const char* const kSurnames[] = {
    "DUPONT", "dupont",   "Dupont-Martin", "DUPONT MARTIN", "D'ALMEIDA", "DALMEIDA", "LÉGER",    "LEGER",
    "Léger",  "LEFEBVRE", "LEMAIRE",       "Émile",         "EMILE",     "Œuvre",    "OEUVRE",   "Cœur",
    "COEUR",  "Çava",     "CAVA",          "zoé",           "Zoe",       "ZOÉ",      "Ångström", "Müller",
    "MULLER", "Straße",   "STRASSE",       "O'NEIL",        "123",       "",         "É-à",      "Cesàr",
    "Césa",   "CÉSAR",    "ñandu",         "NANDU",         "Ørsted",    "ORSTED",   "x%_y",     "a\\b"};
const char* const kPractitioners[] = {"Dr MARTIN", "Dr Martín", "Dr D'ORVAL", "Dr LÉGER", "Dr leger", "Dr Œil", ""};
const char* const kOneDay[] = {"zoé", "Émile", "EMILE", "D'ALMEIDA", "dupont", "Cœur", "DUPONT"};
const char* const kActs[] = {"Césarienne", "CESARIENNE urgente", "Accouchement", "accouchement gémellaire", "AVB"};

// The same acts and reference entries, written through the store, so both engines number them alike.
void fill(Store& store) {
    int i = 0;
    for (const char* surname : kSurnames) {
        for (int k = 0; k < 3; ++k, ++i) {
            Act a;
            a.surname = QString::fromUtf8(surname);
            a.firstName = QString::fromUtf8(kSurnames[(i * 7) % std::size(kSurnames)]);
            a.date = 38353 + (i * 13) % 400;
            a.followedBy = QString::fromUtf8(kPractitioners[i % std::size(kPractitioners)]);
            a.performedBy = QString::fromUtf8(kPractitioners[(i / 3) % std::size(kPractitioners)]);
            a.act = QString::fromUtf8(kActs[i % std::size(kActs)]);
            a.code = QStringLiteral("JQGA%1").arg(i % 9, 3, 10, QLatin1Char('0'));
            a.nightOrHoliday = i % 4 == 0 ? QStringLiteral("N") : (i % 4 == 1 ? QStringLiteral("F") : QString());
            a.price = Money::fromUnits(1000000 + i * 12300); // whole cents, as the store takes money
            if (i % 3)
                a.excess = Money::fromUnits(i % 5 * 10000);
            qint64 number = 0;
            if (!store.acts().append(a, &number))
                qFatal("append");
            if (i % 2) {
                Act paid = a;
                paid.number = number;
                paid.paidSecu = paid.paidComplementary = paid.paidExcess = Money();
                Act edited = paid;
                edited.paidSecu = Money::fromUnits(i * 100);
                if (!store.acts().update(paid, edited, false))
                    qFatal("update");
            }
            bool changed = false;
            if (i % 5 == 0 && !store.acts().addReversal(number, 38400 + i, Money::fromUnits(i * 100), &changed))
                qFatal("reversal");
        }
    }
    // Acts of one day: the search lists them by name, on both engines alike.
    for (const char* surname : kOneDay) {
        Act a;
        a.surname = QString::fromUtf8(surname);
        a.date = 38354;
        a.followedBy = a.performedBy = QStringLiteral("Dr MARTIN");
        a.price = Money::fromUnits(500000);
        qint64 number = 0;
        if (!store.acts().append(a, &number))
            qFatal("append");
    }
    for (const char* label : kSurnames) {
        ReferenceEntry e;
        e.list = ReferenceList::MutualInsurers;
        e.label = QString::fromUtf8(label);
        e.code = QStringLiteral("C");
        if (!store.references().add(e))
            qFatal("add");
    }
}

struct Pair {
    std::shared_ptr<Store> file;
    std::shared_ptr<Store> server;
};

std::shared_ptr<Store> openStore(const QString& location) {
    Status s;
    auto store = Store::open(location, &s);
    if (!store)
        qFatal("open: %s", qPrintable(s.message));
    return store;
}

QList<qint64> walk(RecordCursor& c, bool forward) {
    QList<qint64> out;
    if (!(forward ? c.moveFirst() : c.moveLast()))
        return out;
    while (c.hasCurrent()) {
        BrowsedRecord r;
        if (!c.current(&r))
            break;
        if (auto* act = std::get_if<Act>(&r))
            out << act->number;
        else
            out << qHash(std::get<ReferenceEntry>(r).label);
        if (!(forward ? c.moveNext() : c.movePrevious()))
            break;
    }
    return out;
}

QStringList listingOf(Store& store, ListingKind kind, const SearchCriteria& c) {
    QStringList lines;
    const Status s = store.acts().listing(kind, {38353, 38353 + 400}, c, [&](const ListingRow& r) {
        lines << QStringLiteral("%1 %2 %3 %4")
                     .arg(r.number)
                     .arg(r.surname, r.firstName)
                     .arg(r.remainder ? r.remainder->units() : -1);
        return true;
    });
    if (!s)
        lines << s.message;
    std::optional<Money> total;
    store.acts().listingTotal(kind, {38353, 38353 + 400}, c, &total);
    lines << QStringLiteral("total %1").arg(total ? total->units() : -1);
    // The total summed while the rows are read is the same.
    std::optional<Money> summed;
    if (!store.acts().listing(
            kind, {38353, 38353 + 400}, c, [](const ListingRow&) { return true; }, &summed) ||
        summed != total)
        lines << QStringLiteral("summed while reading: %1").arg(summed ? summed->units() : -1);
    return lines;
}

} // namespace

class TestEngines : public QObject {
    Q_OBJECT
private slots:
    void init() { OBS_REQUIRE_SERVER(); }
    void initTestCase();
    void cleanupTestCase();
    void browsingOrderIsTheSame();
    void stepsHandTheRecordAsStored();
    void recordChangedAfterAStepIsReadAgain();
    void findAtEachKeystrokeIsTheSame_data();
    void findAtEachKeystrokeIsTheSame();
    void listingsAndTotalsAreTheSame_data();
    void listingsAndTotalsAreTheSame();
    void remainderAndPatientAreTheSame_data();
    void remainderAndPatientAreTheSame();
    void findManyIsTheSame();
    void owedAmountsAreTheSame();
    void referenceListsAreTheSame();
    void saveOnlyWhenUnchanged_data();
    void saveOnlyWhenUnchanged();
    void referenceModifyComparesInOneStatement();
    void insurerSlotsMoveAlike_data();
    void insurerSlotsMoveAlike();
    void failedMoveWritesNothing();
    void writeWaitingOnALockReportsLocked();
    void unreachableServerNamedWithoutPassword_data();
    void unreachableServerNamedWithoutPassword();
    void tablesAreAsDescribedOnBothEngines();
    void patternsMatchAlike_data();
    void patternsMatchAlike();
    void textKeysAreTheProgramOwn_data();
    void textKeysAreTheProgramOwn();
    void workstationRoleMayWriteRowsOnly();
    void copyThereAndBackKeepsEveryRow();
    void upgradeBringsAnEarlierBaseInStep();
    void serverBackupAndRestore();

private:
    std::unique_ptr<TempClinic> m_clinic;
    std::unique_ptr<TempServerDatabase> m_server;
    Pair m_stores;
};

void TestEngines::initTestCase() {
    if (!TempServerDatabase::available())
        return;
    m_clinic = std::make_unique<TempClinic>();
    m_server = std::make_unique<TempServerDatabase>();
    m_stores = {openStore(m_clinic->dbPath()), openStore(m_server->conninfo())};
    fill(*m_stores.file);
    fill(*m_stores.server);
}

void TestEngines::cleanupTestCase() {
    m_stores = {};
    m_server.reset();
    m_clinic.reset();
}

void TestEngines::browsingOrderIsTheSame() {
    const BrowseQuery queries[] = {BrowseQuery::actsByName(), BrowseQuery::allActs(),
                                   BrowseQuery::reference(ReferenceList::MutualInsurers, ReferenceOrder::ByLabel),
                                   BrowseQuery::reference(ReferenceList::MutualInsurers, ReferenceOrder::ByCatalogue),
                                   BrowseQuery::allReferenceEntries()};
    for (const BrowseQuery& q : queries) {
        Status s1, s2;
        auto onFile = m_stores.file->browse(q, &s1);
        auto onServer = m_stores.server->browse(q, &s2);
        QVERIFY(onFile && onServer);
        const QList<qint64> forward = walk(*onFile, true);
        QCOMPARE(walk(*onServer, true), forward);
        QList<qint64> backward = walk(*onFile, false);
        QCOMPARE(walk(*onServer, false), backward);
        std::reverse(backward.begin(), backward.end());
        QCOMPARE(backward, forward);
    }
}

// The record the record buttons show: on the server it is read with the step itself; the same
// records as the file's, and as a fresh read.
void TestEngines::stepsHandTheRecordAsStored() {
    using Move = BrowsedResult::Move;
    for (const BrowseQuery& q : {BrowseQuery::actsByName(), BrowseQuery::allActs(),
                                 BrowseQuery::reference(ReferenceList::MutualInsurers, ReferenceOrder::ByLabel)}) {
        BrowsedResult onFile, onServer;
        QVERIFY(onFile.open(*m_stores.file, q));
        QVERIFY(onServer.open(*m_stores.server, q));
        BrowsedRecord r1, r2, previous;
        if (q.source != BrowseQuery::Source::ReferenceList) {
            bool matched = false;
            QVERIFY(onFile.findFirst(QStringLiteral("D"), &matched, &r1) && matched);
            QVERIFY(onServer.findFirst(QStringLiteral("D"), &matched, &r2) && matched);
            QVERIFY(r2 == r1);
        }
        for (const Move move : {Move::Last, Move::First}) {
            QVERIFY(onFile.step(move, &r1));
            QVERIFY(onServer.step(move, &r2));
            QVERIFY(r2 == r1);
        }
        int steps = 0;
        while (!(r1 == previous)) {
            previous = r1;
            BrowsedRecord now;
            QVERIFY(onServer.cursor()->current(&now));
            QVERIFY(now == r2);
            QVERIFY(onFile.step(Move::Next, &r1));
            QVERIFY(onServer.step(Move::Next, &r2));
            QVERIFY(r2 == r1);
            QVERIFY(++steps < 1000);
        }
        QVERIFY(steps > 3);
    }
}

// A record changed by another workstation after the step read it is read again: the record read
// with a step is handed over once, right after it, never later.
void TestEngines::recordChangedAfterAStepIsReadAgain() {
    TempServerDatabase server;
    auto store = openStore(server.conninfo());
    Act a;
    a.surname = QStringLiteral("DUPONT");
    a.firstName = QStringLiteral("Marie");
    QVERIFY(store->acts().append(a, &a.number));
    BrowsedResult browsed;
    QVERIFY(browsed.open(*store, BrowseQuery::actsByName()));
    BrowsedRecord record;
    QVERIFY(browsed.step(BrowsedResult::Move::First, &record));
    QCOMPARE(std::get<Act>(record).firstName, QStringLiteral("Marie"));
    Act shown = std::get<Act>(record);
    Act edited = shown;
    edited.firstName = QStringLiteral("Marie-Anne");
    QVERIFY(openStore(server.conninfo())->acts().update(shown, edited, false));
    QVERIFY(browsed.cursor()->currentAfterMove(&record));
    QCOMPARE(std::get<Act>(record).firstName, QStringLiteral("Marie-Anne"));
    // A move read the record; current() reads it again all the same.
    QVERIFY(browsed.cursor()->moveLast());
    shown = edited;
    edited.firstName = QStringLiteral("Anne");
    QVERIFY(openStore(server.conninfo())->acts().update(shown, edited, false));
    QVERIFY(browsed.cursor()->current(&record));
    QCOMPARE(std::get<Act>(record).firstName, QStringLiteral("Anne"));
}

void TestEngines::findAtEachKeystrokeIsTheSame_data() {
    QTest::addColumn<QString>("typed");
    for (const char* t : {"D",  "DU", "dupont", "DUPONT ", "DUPONT-", "D'", "LE", "LEG", "LÉG", "lég", "Œ",
                          "OE", "CE", "CÉS",    "Z",       "ZZZZ",    "",   "1",  "'",   "É",   "X%",  "A\\"})
        QTest::newRow(t) << QString::fromUtf8(t);
}

void TestEngines::findAtEachKeystrokeIsTheSame() {
    QFETCH(QString, typed);
    for (const BrowseQuery& q : {BrowseQuery::actsByName(), BrowseQuery::allActs(),
                                 BrowseQuery::reference(ReferenceList::MutualInsurers, ReferenceOrder::ByLabel)}) {
        Status s;
        auto onFile = m_stores.file->browse(q, &s);
        auto onServer = m_stores.server->browse(q, &s);
        bool m1 = false, m2 = false;
        QVERIFY(onFile->findFirst(typed, &m1));
        QVERIFY(onServer->findFirst(typed, &m2));
        QCOMPARE(m2, m1);
        BrowsedRecord r1, r2;
        if (m1) {
            QVERIFY(onFile->current(&r1));
            QVERIFY(onServer->current(&r2));
            QVERIFY(r1 == r2);
            // And the next record after it.
            if (onFile->moveNext() && onFile->hasCurrent()) {
                QVERIFY(onServer->moveNext());
                QVERIFY(onFile->current(&r1));
                QVERIFY(onServer->current(&r2));
                QVERIFY(r1 == r2);
            }
        }
    }
}

void TestEngines::listingsAndTotalsAreTheSame_data() {
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("followedBy");
    QTest::addColumn<QString>("performedBy");
    QTest::addColumn<QString>("act");
    QTest::addColumn<QString>("nf");
    const int search = int(ListingKind::Search);
    QTest::newRow("every act") << search << ""
                               << ""
                               << ""
                               << "";
    QTest::newRow("unpaid by name") << int(ListingKind::Unpaid) << ""
                                    << ""
                                    << ""
                                    << "";
    QTest::newRow("excess by name") << int(ListingKind::Excess) << ""
                                    << ""
                                    << ""
                                    << "";
    QTest::newRow("a name, any case and accent") << search << "dr leger"
                                                 << ""
                                                 << ""
                                                 << "";
    QTest::newRow("a name with its accent") << search << "Dr LÉGER"
                                            << ""
                                            << ""
                                            << "";
    QTest::newRow("star") << search << "Dr M*"
                          << ""
                          << ""
                          << "";
    QTest::newRow("question mark") << search << "Dr ?ARTIN"
                                   << ""
                                   << ""
                                   << "";
    QTest::newRow("class and range") << search << "Dr [A-L]*"
                                     << ""
                                     << ""
                                     << "";
    QTest::newRow("negated class") << search << "[!D]*"
                                   << ""
                                   << ""
                                   << "";
    QTest::newRow("accented class") << search << "Dr L[é]ger"
                                    << ""
                                    << ""
                                    << "";
    QTest::newRow("apostrophe") << search << "*'*"
                                << "*"
                                << ""
                                << "";
    QTest::newRow("empty class") << search << "[]*"
                                 << ""
                                 << ""
                                 << "";
    QTest::newRow("reversed range") << search << "[z-a]*"
                                    << ""
                                    << ""
                                    << "";
    QTest::newRow("unclosed class") << search << "Dr [M"
                                    << ""
                                    << ""
                                    << "";
    QTest::newRow("regex signs taken as they are") << search << "Dr .*"
                                                   << ""
                                                   << ""
                                                   << "";
    QTest::newRow("ligature") << search << "dr œ*"
                              << ""
                              << ""
                              << "";
    QTest::newRow("ligature written out") << search << "dr oe*"
                                          << ""
                                          << ""
                                          << "";
    QTest::newRow("both practitioners") << search << "Dr M*"
                                        << "dr leger"
                                        << ""
                                        << "";
    QTest::newRow("act prefix") << search << ""
                                << ""
                                << "CES"
                                << "";
    QTest::newRow("act prefix, accent") << search << ""
                                        << ""
                                        << "accouchement g"
                                        << "";
    QTest::newRow("act with a digit") << search << ""
                                      << ""
                                      << "A#"
                                      << "";
    QTest::newRow("night") << search << ""
                           << ""
                           << ""
                           << "n";
    QTest::newRow("empty practitioner text matches nothing odd") << search << "Dr"
                                                                 << ""
                                                                 << ""
                                                                 << "";
}

void TestEngines::listingsAndTotalsAreTheSame() {
    QFETCH(int, kind);
    QFETCH(QString, followedBy);
    QFETCH(QString, performedBy);
    QFETCH(QString, act);
    QFETCH(QString, nf);
    const SearchCriteria c{followedBy, performedBy, act, nf};
    const QStringList onFile = listingOf(*m_stores.file, ListingKind(kind), c);
    QCOMPARE(listingOf(*m_stores.server, ListingKind(kind), c), onFile);
}

void TestEngines::remainderAndPatientAreTheSame_data() {
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("patient");
    QTest::addColumn<QString>("performedBy");
    QTest::addColumn<int>("atLeast");
    const int search = int(ListingKind::Search);
    const int remainder = int(ListingKind::Remainder);
    QTest::newRow("still to collect") << remainder << ""
                                      << "" << 50;
    QTest::newRow("still to collect, one practitioner") << remainder << ""
                                                        << "dr leger" << 1;
    QTest::newRow("still to collect, one patient") << remainder << "leger"
                                                   << "" << 1;
    QTest::newRow("patient, any case and accent") << search << "léger"
                                                  << "" << 9;
    QTest::newRow("patient with its accent") << search << "CÉSAR"
                                             << "" << 6;
    QTest::newRow("patient, star") << search << "DU*"
                                   << "" << 12;
    QTest::newRow("patient, apostrophe") << search << "d'almeida"
                                         << "" << 3;
    QTest::newRow("patient, ligature") << search << "coeur"
                                       << "" << 6;
    QTest::newRow("patient and practitioner") << search << "D*"
                                              << "Dr MARTIN" << 1;
    QTest::newRow("no such patient") << remainder << "ZZZ"
                                     << "" << 0;
}

void TestEngines::remainderAndPatientAreTheSame() {
    QFETCH(int, kind);
    QFETCH(QString, patient);
    QFETCH(QString, performedBy);
    QFETCH(int, atLeast);
    SearchCriteria c;
    c.patient = patient;
    c.performedBy = performedBy;
    const QStringList onFile = listingOf(*m_stores.file, ListingKind(kind), c);
    QCOMPARE(listingOf(*m_stores.server, ListingKind(kind), c), onFile);
    QVERIFY2(onFile.size() - 1 >= atLeast, qPrintable(onFile.join(u'\n')));
    if (atLeast == 0)
        QCOMPARE(onFile, QStringList{QStringLiteral("total -1")});
}

void TestEngines::findManyIsTheSame() {
    std::vector<qint64> asked;
    for (int round = 0; round < 6; ++round)
        for (qint64 n = 140; n >= 0; --n)
            asked.push_back(n); // past the last act and before the first, several chunks
    std::vector<Act> onFile, onServer;
    QVERIFY(m_stores.file->acts().findMany(asked, &onFile));
    QVERIFY(m_stores.server->acts().findMany(asked, &onServer));
    QCOMPARE(onFile.size(), size_t(6 * (std::size(kSurnames) * 3 + std::size(kOneDay))));
    QVERIFY(onServer == onFile);
}

void TestEngines::owedAmountsAreTheSame() {
    QStringList patterns;
    for (const char* p : kPractitioners)
        patterns << QString::fromUtf8(p);
    patterns << QStringLiteral("dr martin") << QStringLiteral("Dr *") << QStringLiteral("*");
    int nonEmpty = 0;
    for (const QString& follower : patterns) {
        for (const QString& performer : patterns) {
            PairSums a, b;
            QVERIFY(m_stores.file->acts().pairSums({38353, 38353 + 400}, follower, performer, &a));
            QVERIFY(m_stores.server->acts().pairSums({38353, 38353 + 400}, follower, performer, &b));
            QCOMPARE(b.value, a.value);
            QCOMPARE(b.reversed, a.reversed);
            nonEmpty += a.value.has_value();
            std::optional<qint64> n1, n2;
            QVERIFY(m_stores.file->acts().latestOfPair(follower, performer, &n1));
            QVERIFY(m_stores.server->acts().latestOfPair(follower, performer, &n2));
            QCOMPARE(n2, n1);
        }
    }
    QVERIFY(nonEmpty > 10);
}

void TestEngines::referenceListsAreTheSame() {
    for (ReferenceOrder o : {ReferenceOrder::ByLabel, ReferenceOrder::ByCatalogue, ReferenceOrder::AsStored}) {
        QStringList a, b;
        QVERIFY(m_stores.file->references().labels(ReferenceList::MutualInsurers, o, &a));
        QVERIFY(m_stores.server->references().labels(ReferenceList::MutualInsurers, o, &b));
        QCOMPARE(b, a);
    }
    for (const char* label : {"léger", "LEGER", "oeuvre", "ŒUVRE", "strasse", "nobody"}) {
        ReferenceEntry e1, e2;
        bool f1 = false, f2 = false;
        QVERIFY(m_stores.file->references().find(std::nullopt, QString::fromUtf8(label), &e1, &f1));
        QVERIFY(m_stores.server->references().find(std::nullopt, QString::fromUtf8(label), &e2, &f2));
        QCOMPARE(f2, f1);
        QCOMPARE(e2.label, e1.label);
    }
}

void TestEngines::saveOnlyWhenUnchanged_data() {
    QTest::addColumn<QString>("otherChange");
    QTest::addColumn<int>("error");
    QTest::newRow("nothing") << QString() << int(StoreError::None);
    QTest::newRow("a payment") << "UPDATE actes SET payesecu = 1000000" << int(StoreError::Changed);
    QTest::newRow("the name's case only") << "UPDATE actes SET nom = 'dupont'" << int(StoreError::Changed);
    QTest::newRow("a sum paid over") << "UPDATE actes SET reverse = 5" << int(StoreError::Changed);
    QTest::newRow("an empty line made null") << "UPDATE actes SET ccam2 = NULL" << int(StoreError::None);
    QTest::newRow("deleted") << "DELETE FROM actes" << int(StoreError::NoCurrentRecord);
}

void TestEngines::saveOnlyWhenUnchanged() {
    QFETCH(QString, otherChange);
    QFETCH(int, error);
    TempServerDatabase server;
    auto store = openStore(server.conninfo());
    Act a;
    a.surname = QStringLiteral("DUPONT");
    a.date = 38353;
    a.price = Money::fromEuros(100);
    QVERIFY(store->acts().append(a, &a.number));
    Act shown;
    bool found = false;
    QVERIFY(store->acts().find(a.number, &shown, &found) && found);
    if (!otherChange.isEmpty())
        QVERIFY(server.connection().script(otherChange));
    Act edited = shown;
    edited.paidComplementary = Money::fromEuros(7);
    const Status s = store->acts().update(shown, edited, false);
    QCOMPARE(int(s.error), error);
    Act now;
    if (store->acts().find(a.number, &now, &found) && found)
        QCOMPARE(now.paidComplementary == Money::fromEuros(7), error == int(StoreError::None));
    // A sum paid over adds to what another workstation stored, in the one statement.
    if (found) {
        bool changed = false;
        QVERIFY(store->acts().addReversal(a.number, 38400, Money::fromEuros(3), &changed) && changed);
        QVERIFY(store->acts().addReversal(a.number, 38401, Money::fromEuros(4), &changed) && changed);
        QVERIFY(store->acts().find(a.number, &now, &found));
        const qint64 before = error == int(StoreError::Changed) && otherChange.contains("reverse") ? 5 : 0;
        QCOMPARE(now.reversed, std::optional<Money>(Money::fromUnits(Money::fromEuros(7).units() + before)));
        QCOMPARE(now.reversalDate, StoredDay(38401));
    }
}

void TestEngines::referenceModifyComparesInOneStatement() {
    TempServerDatabase server;
    auto store = openStore(server.conninfo());
    ReferenceEntry e;
    e.list = ReferenceList::DeliveryActs;
    e.label = QStringLiteral("Césarienne");
    e.code = QStringLiteral("JQGA002");
    e.tariff = Money::fromEuros(300);
    QVERIFY(store->references().add(e));
    ReferenceEntry edited = e;
    edited.tariff = Money::fromEuros(310);
    QVERIFY(server.connection().script("UPDATE memo SET tarifs = 3200000"));
    bool found = false;
    QCOMPARE(store->references().modify(e, edited, &found).error, StoreError::Changed);
    e.tariff = Money::fromEuros(320);
    QVERIFY(store->references().modify(e, edited, &found) && found);
    edited.label = QStringLiteral("CÉSARIENNE");
    QVERIFY(store->references().remove(ReferenceList::DeliveryActs, QStringLiteral("césarienne"), &found) && found);
    QVERIFY(store->references().modify(e, edited, &found));
    QVERIFY(!found);
}

void TestEngines::insurerSlotsMoveAlike_data() {
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("label");
    QTest::addColumn<QString>("renamed");
    QTest::newRow("added among accents") << int(ReferenceChange::Kind::Add) << "ça va"
                                         << "";
    QTest::newRow("added, same letters as another") << int(ReferenceChange::Kind::Add) << "LÉGER"
                                                    << "";
    QTest::newRow("renamed across accents") << int(ReferenceChange::Kind::Modify) << "Cœur"
                                            << "Œuvre";
    QTest::newRow("renamed by case only") << int(ReferenceChange::Kind::Modify) << "zoé"
                                          << "ZOÉ";
    QTest::newRow("removed, typed in another case") << int(ReferenceChange::Kind::Remove) << "coeur"
                                                    << "";
    QTest::newRow("removed first") << int(ReferenceChange::Kind::Remove) << "Ångström"
                                   << "";
}

// The slots are computed by each engine's own text order: the same insurers move to the same
// columns, and the act entries' amounts with them.
void TestEngines::insurerSlotsMoveAlike() {
    QFETCH(int, kind);
    QFETCH(QString, label);
    QFETCH(QString, renamed);
    TempClinic clinic;
    TempServerDatabase server;
    QList<std::shared_ptr<Store>> stores{openStore(clinic.dbPath()), openStore(server.conninfo())};
    QList<MutualSlots::Plan> plans;
    QList<QStringList> outcomes;
    for (const auto& store : stores) {
        for (const char* name : {"Émile", "EMILE", "Cœur", "COEUR", "zoé", "Léger", "Ångström"}) {
            ReferenceEntry e;
            e.list = ReferenceList::MutualInsurers;
            e.label = QString::fromUtf8(name);
            QVERIFY(store->references().add(e));
        }
        for (ReferenceList list : {ReferenceList::DeliveryActs, ReferenceList::SurgicalActs}) {
            ReferenceEntry act;
            act.list = list;
            act.label = QStringLiteral("Césarienne");
            for (int k = 0; k < 6; ++k)
                act.excesses[size_t(k)] = Money::fromEuros(k + 1);
            QVERIFY(store->references().add(act));
        }
        ReferenceChange change;
        change.kind = ReferenceChange::Kind(kind);
        change.shown.list = change.edited.list = ReferenceList::MutualInsurers;
        change.shown.label = label;
        change.edited.label = change.kind == ReferenceChange::Kind::Add ? label : renamed;
        if (change.kind == ReferenceChange::Kind::Modify) {
            bool found = false;
            QVERIFY(store->references().find(ReferenceList::MutualInsurers, label, &change.shown, &found) && found);
        }
        MutualSlots::Plan plan;
        QVERIFY(store->references().slotPlan(change, &plan));
        bool found = false;
        QVERIFY(store->references().apply(change, plan, &found));
        QVERIFY(found);
        plans << plan;
        QStringList outcome;
        QVERIFY(store->references().labels(ReferenceList::MutualInsurers, ReferenceOrder::ByLabel, &outcome));
        for (ReferenceList list : {ReferenceList::DeliveryActs, ReferenceList::SurgicalActs}) {
            ReferenceEntry act;
            QVERIFY(store->references().find(list, QStringLiteral("Césarienne"), &act, &found) && found);
            for (const auto& m : act.excesses)
                outcome << (m ? m->toFrench() : QStringLiteral("-"));
        }
        outcomes << outcome;
    }
    QCOMPARE(plans[1].movesInsurers(), plans[0].movesInsurers());
    QCOMPARE(MutualSlots::question(plans[1]), MutualSlots::question(plans[0]));
    QVERIFY(plans[1].sourceOf == plans[0].sourceOf);
    QCOMPARE(outcomes[1], outcomes[0]);
}

// The insurer change and the move of the amounts are one: when the move fails, the list stays
// as it was.
void TestEngines::failedMoveWritesNothing() {
    TempClinic clinic;
    TempServerDatabase server;
    QVERIFY(clinic.db().executeRaw(QStringLiteral("CREATE TRIGGER refuse BEFORE UPDATE OF MUT2 ON MEMO BEGIN SELECT "
                                                  "RAISE(ABORT, 'refusé'); END")));
    QVERIFY(server.connection().script(
        QStringLiteral("CREATE FUNCTION refuse() RETURNS trigger LANGUAGE plpgsql AS $$ BEGIN RAISE EXCEPTION "
                       "'refusé'; END $$; CREATE TRIGGER refuse BEFORE UPDATE OF mut2 ON memo FOR EACH ROW "
                       "EXECUTE FUNCTION refuse();")));
    for (const auto& store : {openStore(clinic.dbPath()), openStore(server.conninfo())}) {
        for (const char* name : {"AXA", "MGEN"}) {
            ReferenceEntry e;
            e.list = ReferenceList::MutualInsurers;
            e.label = QString::fromUtf8(name);
            QVERIFY(store->references().add(e));
        }
        ReferenceEntry act;
        act.list = ReferenceList::DeliveryActs;
        act.label = QStringLiteral("Césarienne");
        act.excesses[0] = Money::fromEuros(10);
        act.excesses[1] = Money::fromEuros(20);
        QVERIFY(store->references().add(act));
        ReferenceChange change;
        change.kind = ReferenceChange::Kind::Add;
        change.edited.list = ReferenceList::MutualInsurers;
        change.edited.label = QStringLiteral("Groupama");
        MutualSlots::Plan plan;
        QVERIFY(store->references().slotPlan(change, &plan));
        QVERIFY(plan.movesInsurers());
        bool found = false;
        QVERIFY(!store->references().apply(change, plan, &found));
        QStringList insurers;
        QVERIFY(store->references().labels(ReferenceList::MutualInsurers, ReferenceOrder::ByLabel, &insurers));
        QCOMPARE(insurers, (QStringList{"AXA", "MGEN"}));
        ReferenceEntry now;
        QVERIFY(store->references().find(ReferenceList::DeliveryActs, act.label, &now, &found) && found);
        QCOMPARE(now.excesses, act.excesses);
        // The store goes on working after the failed transaction.
        change.edited.label = QStringLiteral("Swiss Life");
        QVERIFY(store->references().slotPlan(change, &plan));
        QVERIFY(store->references().apply(change, plan, &found) && found);
    }
}

void TestEngines::writeWaitingOnALockReportsLocked() {
    TempServerDatabase server;
    auto store = openStore(server.conninfo());
    Act a;
    a.surname = QStringLiteral("DUPONT");
    QVERIFY(store->acts().append(a, &a.number));
    // Another workstation holds the act in an open transaction.
    Status s;
    auto other = PgConnection::open(server.conninfo(), &s);
    QVERIFY(other);
    QVERIFY(other->script(QStringLiteral("BEGIN; UPDATE actes SET prix = 1")));
    QElapsedTimer t;
    t.start();
    bool changed = false;
    s = store->acts().addReversal(a.number, 38400, Money::fromEuros(1), &changed);
    QCOMPARE(s.error, StoreError::Locked);
    QVERIFY(s.message.startsWith(QStringLiteral("La base de données est occupée")));
    QVERIFY(t.elapsed() >= kServerLockTimeoutMs - 500);
    QVERIFY(other->script(QStringLiteral("ROLLBACK")));
    QVERIFY(store->acts().addReversal(a.number, 38400, Money::fromEuros(1), &changed) && changed);
}

void TestEngines::unreachableServerNamedWithoutPassword_data() {
    QTest::addColumn<QString>("location");
    QTest::addColumn<QString>("named");
    QTest::newRow("no such socket folder") << "host=/nonexistent/obsledger port=5999 user=marie password=S3cret!x"
                                           << "host=/nonexistent/obsledger";
    QTest::newRow("uri") << "postgresql://marie:S3cret!x@/compta?host=/nonexistent/obsledger"
                         << "dbname=compta";
    QTest::newRow("database without the tables") << QString() << "dbname=postgres";
    QTest::newRow("no such database") << QStringLiteral("dbname=obs_nothing_here password=S3cret!x")
                                      << "dbname=obs_nothing_here";
}

void TestEngines::unreachableServerNamedWithoutPassword() {
    QFETCH(QString, location);
    QFETCH(QString, named);
    if (location.isEmpty() || location.startsWith(QLatin1String("dbname")))
        location = qEnvironmentVariable("OBSLEDGER_TEST_SERVER") + u' ' +
                   (location.isEmpty() ? QStringLiteral("dbname=postgres password=S3cret!x") : location);
    QVERIFY(isServerLocation(location));
    Status s;
    auto store = Store::open(location, &s);
    QVERIFY(!store);
    QCOMPARE(s.error, StoreError::Unreadable);
    QVERIFY2(s.message.contains(named), qPrintable(s.message));
    QVERIFY2(!s.message.contains(QStringLiteral("S3cret")), qPrintable(s.message));
    QVERIFY(!describeLocation(location).contains(QStringLiteral("S3cret")));
}

// The server's text keys give, character for character, what the program's own tables give: plain
// ASCII text through lower(), any other text through the character tables.
// Every column the store reads and writes, by the name and kind its description gives, on the file
// and on the server; nothing else but the catalogue's place and the server's row number.
void TestEngines::tablesAreAsDescribedOnBothEngines() {
    auto kind = [](const FieldRef& f) {
        return std::holds_alternative<QString*>(f) ? QStringLiteral("text") : QStringLiteral("number");
    };
    QSet<QString> described;
    Act act;
    ReferenceEntry entry;
    for (const auto& column : actsTable().columns)
        described
            << QStringLiteral("actes.%1 %2").arg(QString::fromLatin1(column.name).toLower(), kind(column.field(act)));
    for (const auto& column : memoTable().columns)
        described
            << QStringLiteral("memo.%1 %2").arg(QString::fromLatin1(column.name).toLower(), kind(column.field(entry)));
    QSet<QString> onFile, onServer;
    Status s;
    auto file = Database::open(m_clinic->dbPath(), &s);
    QVERIFY(file);
    QVERIFY(file->queryRaw(QStringLiteral("SELECT lower(m.name) || '.' || lower(p.name) || ' ' || CASE WHEN p.type = "
                                          "'TEXT' THEN 'text' ELSE 'number' END FROM sqlite_master m, "
                                          "pragma_table_info(m.name) p WHERE m.name IN ('ACTES', 'MEMO')"),
                           {}, [&](const Row& r) {
                               onFile << r.values().value(0).toString();
                               return true;
                           }));
    QVERIFY(m_server->connection().exec(
        QStringLiteral("SELECT table_name || '.' || column_name || ' ' || CASE WHEN data_type = 'text' THEN 'text' "
                       "ELSE 'number' END FROM information_schema.columns WHERE table_schema = current_schema() AND "
                       "table_name IN ('actes', 'memo')"),
        {}, [&](const PgRow& r) {
            onServer << r.text(0);
            return true;
        }));
    QCOMPARE(onFile - described, (QSet<QString>{QStringLiteral("memo.index number")}));
    QCOMPARE(onServer - described,
             (QSet<QString>{QStringLiteral("memo.index number"), QStringLiteral("memo.id number")}));
    QCOMPARE(described - onFile, QSet<QString>());
    QCOMPARE(described - onServer, QSet<QString>());
}

// A pattern means the same on the server (a regular expression over the texts as LIKE folds them)
// as the file's LIKE: classes, ranges, negations, and what no text can match.
void TestEngines::patternsMatchAlike_data() {
    QTest::addColumn<QString>("pattern");
    QTest::newRow("prefix") << QStringLiteral("dup*");
    QTest::newRow("one character") << QStringLiteral("L?GER");
    QTest::newRow("digit") << QStringLiteral("JQGA00#");
    QTest::newRow("class") << QStringLiteral("[DL]*");
    QTest::newRow("class with accents") << QStringLiteral("[éÇ]*");
    QTest::newRow("range") << QStringLiteral("[a-e]*");
    QTest::newRow("reversed range") << QStringLiteral("[e-a]*");
    QTest::newRow("negated") << QStringLiteral("[!DL]*");
    QTest::newRow("negated, nothing listed") << QStringLiteral("[!]*");
    QTest::newRow("bracket without end") << QStringLiteral("[D*");
    QTest::newRow("empty brackets") << QStringLiteral("[]*");
    QTest::newRow("regex signs typed") << QStringLiteral("x%_y*");
    QTest::newRow("backslash") << QStringLiteral("a\\*");
    QTest::newRow("ligature") << QStringLiteral("C?ur");
}

void TestEngines::patternsMatchAlike() {
    QFETCH(QString, pattern);
    const auto re = likeRegex(pattern);
    for (const char* surname : kSurnames) {
        const QString text = QString::fromUtf8(surname);
        bool onServer = false;
        if (re)
            QVERIFY(m_server->connection().exec(QStringLiteral("SELECT obs_likefold(?) ~ ?"), {text, *re},
                                                [&](const PgRow& r) {
                                                    onServer = r.text(0) == QLatin1String("t");
                                                    return false;
                                                }));
        QVERIFY2(onServer == jetLike(pattern, text), qPrintable(text));
    }
}

void TestEngines::textKeysAreTheProgramOwn_data() {
    QTest::addColumn<QString>("text");
    QTest::newRow("ASCII") << QStringLiteral("DUPONT-Martin d'Almeida 12 [x]");
    QTest::newRow("accents") << QStringLiteral("LÉGER Éloïse Cesàr Ñandú");
    QTest::newRow("ligatures") << QStringLiteral("Œdipe Cæcilia Straße cœur");
    QTest::newRow("other scripts") << QStringLiteral("Σοφία Дмитрий Ørsted Ångström");
    QTest::newRow("empty") << QString();
    QString latin;
    for (char32_t c = 0xA0; c <= 0x24F; ++c)
        latin += QString::fromUcs4(&c, 1);
    QTest::newRow("Latin-1, Latin Extended-A and -B") << latin;
}

void TestEngines::textKeysAreTheProgramOwn() {
    QFETCH(QString, text);
    QString fold, caseKey, likeKey;
    for (const char32_t c : text.toUcs4()) {
        fold += primaryFoldOf(c);
        const char32_t cased = caseFoldOf(c), liked = likeFoldOf(c);
        caseKey += QString::fromUcs4(&cased, 1);
        likeKey += QString::fromUcs4(&liked, 1);
    }
    QStringList got;
    QVERIFY(m_server->connection().exec(QStringLiteral("SELECT obs_fold(?), obs_case(?), obs_likefold(?)"),
                                        {text, text, text}, [&](const PgRow& r) {
                                            got << r.text(0) << r.text(1) << r.text(2);
                                            return false;
                                        }));
    QCOMPARE(got, (QStringList{fold, caseKey, likeKey}));
}

void TestEngines::workstationRoleMayWriteRowsOnly() {
    TempServerDatabase server;
    const QString login = QStringLiteral("obs_poste_%1").arg(QCoreApplication::applicationPid());
    QVERIFY(server.connection().script(
        QStringLiteral("DROP ROLE IF EXISTS %1; CREATE ROLE %1 LOGIN IN ROLE obsledger_utilisateurs").arg(login)));
    {
        auto store = openStore(server.conninfo() + QStringLiteral(" user=") + login);
        Act a;
        a.surname = QStringLiteral("DUPONT");
        QVERIFY(store->acts().append(a, &a.number));
        bool changed = false;
        QVERIFY(store->acts().addReversal(a.number, 38400, Money::fromEuros(1), &changed) && changed);
        QVERIFY(store->acts().remove(a.number));
        ReferenceEntry e;
        e.label = QStringLiteral("Dr MARTIN");
        QVERIFY(store->references().add(e));
        Status s;
        auto own = PgConnection::open(server.conninfo() + QStringLiteral(" user=") + login, &s);
        QVERIFY(own);
        for (const char* ddl : {"CREATE TABLE autre (x int)", "ALTER TABLE actes ADD COLUMN x int", "DROP TABLE memo",
                                "TRUNCATE actes", "CREATE INDEX autre ON actes (nom)"}) {
            s = own->script(QString::fromLatin1(ddl));
            QVERIFY2(!s.ok(), ddl);
        }
    }
    QVERIFY(server.connection().script(QStringLiteral("DROP OWNED BY %1; DROP ROLE %1").arg(login)));
}

// A base made by an earlier version: other text functions and an index of another shape. The
// upgrade command rebuilds them over the rows, after which the server lists as the file does.
void TestEngines::upgradeBringsAnEarlierBaseInStep() {
    TempServerDatabase server;
    QString why;
    QVERIFY2(copyClinic(m_clinic->dbPath(), server.conninfo(), false, &why), qPrintable(why));
    QVERIFY(server.connection().script(
        QStringLiteral("DROP INDEX actes_date; CREATE INDEX actes_date ON actes (date, numint);"
                       "CREATE OR REPLACE FUNCTION obs_fold(t text) RETURNS text LANGUAGE sql IMMUTABLE STRICT "
                       "RETURN upper(t);")));
    const auto admin = [](const QStringList& args) {
        QProcess p;
        p.start(QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("obsledger-admin")), args);
        p.waitForFinished(120000);
        return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    };
    QCOMPARE(admin({QStringLiteral("upgrade"), server.conninfo()}), 0);
    const auto store = openStore(server.conninfo());
    for (const SearchCriteria& c : {SearchCriteria{}, SearchCriteria{QStringLiteral("dr leger")},
                                    SearchCriteria{{}, {}, {}, {}, QStringLiteral("coeur")}})
        QCOMPARE(listingOf(*store, ListingKind::Search, c), listingOf(*m_stores.file, ListingKind::Search, c));
    // A file gets the indexes of this version too.
    QCOMPARE(admin({QStringLiteral("upgrade"), m_clinic->dbPath()}), 0);
    QCOMPARE(admin({QStringLiteral("upgrade"), QStringLiteral("host=/nulle-part user=personne")}), 1);
}

void TestEngines::copyThereAndBackKeepsEveryRow() {
    // The filled clinic file to a fresh server database, then back to a new file: every act and
    // entry comes back as it was, numbers and order of entry included.
    TempServerDatabase server;
    QString why;
    ClinicTotals totals;
    QVERIFY2(copyClinic(m_clinic->dbPath(), server.conninfo(), false, &why, &totals), qPrintable(why));
    QCOMPARE(totals.acts, qint64(std::size(kSurnames) * 3 + std::size(kOneDay)));
    QVERIFY(!copyClinic(m_clinic->dbPath(), server.conninfo(), false, &why));
    QVERIFY(why.contains(QStringLiteral("contient déjà")));
    QVERIFY(!copyClinic(server.conninfo(), server.conninfo(), true, &why));
    const QString back = m_clinic->file(QStringLiteral("retour.mdb"));
    QVERIFY2(copyClinic(server.conninfo(), back, false, &why), qPrintable(why));
    auto original = openStore(m_clinic->dbPath());
    auto copied = openStore(back);
    auto onServer = openStore(server.conninfo());
    for (Store* other : {copied.get(), onServer.get()}) {
        for (const BrowseQuery& q : {BrowseQuery::allActs(), BrowseQuery::allReferenceEntries()}) {
            Status s;
            auto inOriginal = original->browse(q, &s);
            auto inOther = other->browse(q, &s);
            QVERIFY(inOriginal->moveFirst());
            QVERIFY(inOther->moveFirst());
            int n = 0;
            while (inOriginal->hasCurrent()) {
                BrowsedRecord r1, r2;
                QVERIFY(inOther->hasCurrent());
                QVERIFY(inOriginal->current(&r1));
                QVERIFY(inOther->current(&r2));
                QVERIFY(r1 == r2);
                QVERIFY(inOriginal->moveNext());
                QVERIFY(inOther->moveNext());
                ++n;
            }
            QVERIFY(inOther->eof());
            QVERIFY(n > 0);
        }
    }
    // A new act on the server takes the number after the copied ones.
    Act a;
    a.surname = QStringLiteral("NOUVEAU");
    QVERIFY(onServer->acts().append(a, &a.number));
    QCOMPARE(a.number, totals.acts + 1);
}

void TestEngines::serverBackupAndRestore() {
    TempServerDatabase server;
    QString why;
    QVERIFY2(copyClinic(m_clinic->dbPath(), server.conninfo(), false, &why), qPrintable(why));
    const QString folder = m_clinic->file(QStringLiteral("sauvegardes"));
    QVERIFY(QDir().mkpath(folder));
    const QString backup = folder + QStringLiteral("/OBSLEDGER.MDB");
    QVERIFY2(backupServer(server.conninfo(), backup, &why), qPrintable(why));
    QVERIFY(!QFile::exists(backup + QStringLiteral(".partiel")));
    // Another day's work, then the restore brings the backup's rows back and keeps today's.
    QVERIFY(server.connection().script("DELETE FROM actes WHERE numint > 10; UPDATE memo SET texte = 'changé'"));
    QString kept;
    // As a workstation restores: a member of obsledger_utilisateurs, not the tables' owner.
    QVERIFY2(restoreServer(backup, server.userConninfo(), &why, &kept), qPrintable(why));
    QVERIFY2(kept.startsWith(folder + QStringLiteral("/OBSLEDGER.avant-restauration-")) &&
                 kept.endsWith(QStringLiteral(".MDB")) && QFileInfo::exists(kept),
             qPrintable(kept));
    auto restored = openStore(server.conninfo());
    auto original = openStore(m_clinic->dbPath());
    QCOMPARE(listingOf(*restored, ListingKind::Unpaid, {}), listingOf(*original, ListingKind::Unpaid, {}));
    ClinicTotals before;
    QVERIFY(copyClinic(kept, m_clinic->file(QStringLiteral("avant.mdb")), false, &why, &before));
    QCOMPARE(before.acts, qint64(10));
    // A damaged backup is refused and the server's rows stay as they are.
    QFile junk(folder + QStringLiteral("/autre/OBSLEDGER.MDB"));
    QVERIFY(QDir().mkpath(folder + QStringLiteral("/autre")));
    QVERIFY(junk.open(QIODevice::WriteOnly) && junk.write("pas une base") > 0);
    junk.close();
    QVERIFY(!restoreServer(junk.fileName(), server.conninfo(), &why, &kept));
    QCOMPARE(listingOf(*restored, ListingKind::Unpaid, {}), listingOf(*original, ListingKind::Unpaid, {}));
}

QTEST_MAIN(TestEngines)
#include "test_engines.moc"
