// The store: the text order, LIKE, the keyset cursor and its edges.
#include "TestSupport.h"

#include "common/FrenchText.h"
#include "common/Money.h"
#include "store/BrowsedResult.h"
#include "store/SharedDatabase.h"
#include "store/sqlite/Schema.h"
#include "store/sqlite/SqliteStore.h"

#include <QtTest>
#include <SQLiteCpp/SQLiteCpp.h>

using namespace obs;
using obs::test::TempClinic;

namespace {
// What a cursor gives from its first record on, and from its last back (put in the same order).
template <class Key> bool walkBothWays(RecordCursor& c, Key key, QVariantList* forward, QVariantList* backward) {
    BrowsedRecord r;
    for (c.moveFirst(); !c.eof(); c.moveNext()) {
        if (!c.current(&r))
            return false;
        *forward << key(r);
    }
    for (c.moveLast(); !c.bof(); c.movePrevious()) {
        if (!c.current(&r))
            return false;
        backward->prepend(key(r));
    }
    return true;
}
} // namespace

class TestStore : public QObject {
    Q_OBJECT
private slots:
    void fileNeverLoadsLibpq(); // first: no other test of this process may have loaded it
    void collationOrder();
    void collationEquality_data();
    void collationEquality();
    void like_data();
    void like();
    void programQueries();
    void cursorMovesAndEdges();
    void cursorFindFirst();
    void cursorStepsThroughSharedNames();
    void cursorEmptyAndDeletedRows();
    void cursorOnClosedDatabase();
    void cursorCatalogueOrderWithEntriesWithoutPlace();
    void numbersNeverReused();
    void newRowDefaultsAndMemoIndex();
    void quotingKeepsTypedTextWhole();
    void openNeverCreates();
    void integrityCheckNeedsCollation();
    void moneySumsAreExact();
    void totalSummedWhileReading_data();
    void findManyKeepsTheOrderAsked();
    void totalSummedWhileReading();
    void likePrefilterKeepsMatches();
};

void TestStore::collationOrder() {
    QStringList names{"LEMAIRE", "léger", "LEFEBVRE", "DURAND", "dupont", "Dubois", "LEGER", "ŒUVRE", "OEUVRE", "ODIN"};
    std::sort(names.begin(), names.end(), [](const QString& a, const QString& b) { return frenchCompare(a, b) < 0; });
    QCOMPARE(names, (QStringList{"Dubois", "dupont", "DURAND", "LEFEBVRE", "LEGER", "léger", "LEMAIRE", "ODIN",
                                 "OEUVRE", "ŒUVRE"}));
}

void TestStore::collationEquality_data() {
    QTest::addColumn<QString>("a");
    QTest::addColumn<QString>("b");
    QTest::addColumn<int>("sign");
    QTest::newRow("case ignored") << "DUPONT"
                                  << "dupont" << 0;
    QTest::newRow("accent decides last") << "Cesarienne"
                                         << "Césarienne" << -1;
    QTest::newRow("base letter first") << "LÉGER"
                                       << "LEMAIRE" << -1;
    QTest::newRow("accented vs plain next letter") << "LÉGER"
                                                   << "LEFEBVRE" << 1;
    QTest::newRow("prefix") << "DU"
                            << "DUBOIS" << -1;
    QTest::newRow("accented case ignored") << "ÉLISE"
                                           << "élise" << 0;
    QTest::newRow("empty") << ""
                           << "A" << -1;
}

void TestStore::collationEquality() {
    QFETCH(QString, a);
    QFETCH(QString, b);
    QFETCH(int, sign);
    const int c = frenchCompare(a, b);
    QCOMPARE((c > 0) - (c < 0), sign);
    const int r = frenchCompare(b, a);
    QCOMPARE((r > 0) - (r < 0), -sign);
}

void TestStore::like_data() {
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("match");
    QTest::newRow("exact any case") << "mart"
                                    << "MART" << true;
    QTest::newRow("exact not prefix") << "MART"
                                      << "MARTIN" << false;
    QTest::newRow("accent ignored") << "CES*"
                                    << "Césarienne" << true;
    QTest::newRow("accent in pattern") << "élise"
                                       << "ELISE" << true;
    QTest::newRow("star prefix") << "Ces*"
                                 << "CESARIENNE programmée" << true;
    QTest::newRow("question mark") << "DUP?NT"
                                   << "DUPONT" << true;
    QTest::newRow("hash digit") << "JQGD01#"
                                << "JQGD010" << true;
    QTest::newRow("class") << "[DM]*"
                           << "MARTIN" << true;
    QTest::newRow("negated class") << "[!DM]*"
                                   << "MARTIN" << false;
    QTest::newRow("percent is literal") << "50%"
                                        << "500" << false;
    QTest::newRow("apostrophe") << "Dr D'ORVAL"
                                << "dr d'orval" << true;
    QTest::newRow("empty pattern") << ""
                                   << "" << true;
    QTest::newRow("empty pattern, text") << ""
                                         << "A" << false;
    QTest::newRow("ligature written out") << "OEUVRE"
                                          << "Œuvre" << true;
    QTest::newRow("star in the middle") << "Dr *TIN"
                                        << "DR MARTIN" << true;
    QTest::newRow("star needs backtracking") << "*AB*AC"
                                             << "AABXAAC" << true;
    QTest::newRow("star then class") << "*[0-9]"
                                     << "JQGD01x" << false;
    QTest::newRow("many stars on a long text") << "*a*a*a*a*a*a*a*a*a*a*b" << QString(4000, 'a') << false;
    QTest::newRow("trailing stars") << "MART**"
                                    << "MART" << true;
}

void TestStore::like() {
    QFETCH(QString, pattern);
    QFETCH(QString, text);
    QFETCH(bool, match);
    QCOMPARE(jetLike(pattern, text), match);
}

// A workstation on a file does without the server's library and the TLS and Kerberos ones it brings.
void TestStore::fileNeverLoadsLibpq() {
    TempClinic clinic;
    clinic.addAct({{"Nom", "DUPONT"}, {"Date", 40543}, {"PRIX", moneyValue(Money::fromEuros(200))}});
    Status st;
    auto store = Store::open(clinic.dbPath(), &st);
    QVERIFY2(store, qPrintable(st.message));
    Act shown;
    bool found = false;
    QVERIFY(store->acts().find(1, &shown, &found) && found);
    Act edited = shown;
    edited.firstName = QStringLiteral("Marie");
    QVERIFY(store->acts().update(shown, edited, false, std::nullopt));
    QCOMPARE(describeLocation(clinic.dbPath()), clinic.dbPath());
    QFile maps(QStringLiteral("/proc/self/maps"));
    QVERIFY(maps.open(QIODevice::ReadOnly));
    const QByteArray mapped = maps.readAll();
    QVERIFY2(!mapped.contains("libpq"), "libpq is mapped by a program on a file");
}

void TestStore::programQueries() {
    TempClinic clinic;
    clinic.addAct({{"Nom", "DUPONT"},
                   {"Prenom", "Marie"},
                   {"Date", 38353},
                   {"MEDSUIT", "Dr MARTIN"},
                   {"MEDACTE", "Dr D'ORVAL"},
                   {"Acte", "Césarienne programmée"},
                   {"NF", "N"},
                   {"PRIX", moneyValue(Money::fromEuros(1000))},
                   {"DE", moneyValue(Money::fromEuros(150))}});
    clinic.addAct(
        {{"Nom", "MARTIN"}, {"Date", 40543}, {"MEDSUIT", "Dr MARTINEZ"}, {"PRIX", moneyValue(Money::fromEuros(200))}});
    clinic.addAct({{"Nom", "DURAND"}, {"Date", 40544}, {"PRIX", moneyValue(Money::fromEuros(50))}});
    Status st;
    auto store = SqliteStore::open(clinic.dbPath(), &st);
    QVERIFY(store);
    ActsTable& acts = store->acts();
    const Period period{38353, 40543};
    std::optional<Money> total;
    QVERIFY(acts.listingTotal(ListingKind::Search, period, {}, &total));
    QCOMPARE(total, std::optional<Money>(Money::fromEuros(1200)));
    QStringList found;
    const auto collect = [&](const ListingRow& r) {
        found << r.surname;
        return true;
    };
    QVERIFY(acts.listing(ListingKind::Search, period, {"dr martin", "Dr D'ORVAL", "Cés", "N"}, collect));
    QCOMPARE(found, QStringList{"DUPONT"});
    found.clear();
    QVERIFY(acts.listing(ListingKind::Excess, period, {}, collect));
    QCOMPARE(found, QStringList{"DUPONT"});
    PairSums sums;
    QVERIFY(acts.pairSums({1, 2}, "*", "*", &sums));
    QVERIFY(!sums.reversed && !sums.value);
}

void TestStore::totalSummedWhileReading_data() {
    QTest::addColumn<int>("kind");
    QTest::addColumn<QVariantList>("prices");
    QTest::addColumn<qint64>("expected"); // -1: no total, -2: said missing
    const int search = int(ListingKind::Search);
    QTest::newRow("cents") << search << QVariantList{qint64(1005000), qint64(9950000), qint64(1)} << qint64(10955001);
    QTest::newRow("no amount adds nothing") << search << QVariantList{QVariant(), qint64(70000)} << qint64(70000);
    QTest::newRow("no amount at all") << search << QVariantList{QVariant(), QVariant()} << qint64(-1);
    QTest::newRow("negative") << search << QVariantList{qint64(-70000), qint64(20000)} << qint64(-50000);
    QTest::newRow("unpaid") << int(ListingKind::Unpaid) << QVariantList{qint64(1), qint64(2)} << qint64(3);
    QTest::newRow("still to collect") << int(ListingKind::Remainder) << QVariantList{qint64(10000), qint64(-5)}
                                      << qint64(10000);
    QTest::newRow("beyond what an amount holds")
        << search << QVariantList{qint64(4000000000000000000), qint64(4000000000000000000), qint64(4000000000000000000)}
        << qint64(-2);
    QTest::newRow("damaged amount read as none") << search << QVariantList{1e300, qint64(5)} << qint64(5);
    QTest::newRow("excess counts every act") << int(ListingKind::Excess) << QVariantList{qint64(100)} << qint64(200);
}

void TestStore::totalSummedWhileReading() {
    QFETCH(int, kind);
    QFETCH(QVariantList, prices);
    QFETCH(qint64, expected);
    TempClinic clinic;
    for (const QVariant& price : prices)
        clinic.addAct({{"Nom", "DUPONT"}, {"Date", 38353}, {"PRIX", price}, {"DE", qint64(0)}});
    if (ListingKind(kind) == ListingKind::Excess)
        clinic.addAct({{"Nom", "LEGER"}, {"Date", 38353}, {"PAYESECU", qint64(1)}, {"DE", qint64(200)}});
    Status st;
    auto store = SqliteStore::open(clinic.dbPath(), &st);
    QVERIFY(store);
    std::optional<Money> total;
    int rows = 0;
    const Status s = store->acts().listing(
        ListingKind(kind), {38353, 38353}, {},
        [&](const ListingRow&) {
            ++rows;
            return true;
        },
        &total);
    if (expected == -2) {
        QCOMPARE(s.error, StoreError::TotalMissing);
        QCOMPARE(rows, int(prices.size())); // every row handed over all the same
        return;
    }
    QVERIFY2(s, qPrintable(s.message));
    QCOMPARE(total ? total->units() : -1, expected);
}

// An export asks for a year's acts by number, some hundreds at a time: every act comes once per
// time asked, in the list's order, across the chunks; an act gone meanwhile is left out.
void TestStore::findManyKeepsTheOrderAsked() {
    TempClinic clinic;
    clinic.execute(QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 1300) "
                                  "INSERT INTO ACTES (Nom, Date, PRIX) SELECT 'NOM' || i, 38353 + i, i * 100 FROM n"));
    clinic.execute(QStringLiteral("DELETE FROM ACTES WHERE NUMINT = 700"));
    std::vector<qint64> asked;
    for (qint64 n = 1300; n >= 1; --n)
        asked.push_back(n);
    asked.push_back(5);      // asked twice
    asked.push_back(999999); // never was
    Status st;
    auto store = SqliteStore::open(clinic.dbPath(), &st);
    QVERIFY(store);
    std::vector<Act> acts;
    QVERIFY(store->acts().findMany(asked, &acts));
    QCOMPARE(acts.size(), size_t(1300));
    for (size_t i = 0, k = 0; i < asked.size(); ++i) {
        if (asked[i] == 700 || asked[i] == 999999)
            continue;
        QCOMPARE(acts[k].number, asked[i]);
        QCOMPARE(acts[k].surname, QStringLiteral("NOM%1").arg(asked[i]));
        QCOMPARE(acts[k].price, std::optional<Money>(Money::fromUnits(asked[i] * 100)));
        ++k;
    }
    QVERIFY(store->acts().findMany({}, &acts));
    QVERIFY(acts.empty());
}

void TestStore::cursorMovesAndEdges() {
    TempClinic clinic;
    for (const char* n : {"MARTIN", "DUBOIS", "dupont", "DUPONT", "LÉGER", "LEFEBVRE", "LEMAIRE"})
        clinic.addAct({{"Nom", QString::fromUtf8(n)}, {"Prenom", QString::fromUtf8(n) == "dupont" ? "Anne" : "Zoé"}});
    Status s;
    auto store = SqliteStore::open(clinic.dbPath(), &s);
    QVERIFY(store);
    auto c = store->browse(BrowseQuery::actsByName(), &s);
    QVERIFY(c);
    QStringList order;
    BrowsedRecord r;
    auto surname = [&] { return std::get<Act>(r).surname; };
    for (; !c->eof(); c->moveNext()) {
        QVERIFY(c->current(&r));
        order << surname();
    }
    QCOMPARE(order, (QStringList{"DUBOIS", "dupont", "DUPONT", "LEFEBVRE", "LÉGER", "LEMAIRE", "MARTIN"}));
    QVERIFY(c->eof());
    QCOMPARE(c->current(&r).error, StoreError::NoCurrentRecord);
    QCOMPARE(c->moveNext().error, StoreError::NoCurrentRecord);
    QVERIFY(c->movePrevious()); // from after the end: the last row
    QVERIFY(c->current(&r));
    QCOMPARE(surname(), QStringLiteral("MARTIN"));
    QVERIFY(c->moveFirst());
    QVERIFY(c->movePrevious());
    QVERIFY(c->bof());
    QVERIFY(c->moveNext()); // from before the start: the first row
    QVERIFY(c->current(&r));
    QCOMPARE(surname(), QStringLiteral("DUBOIS"));
    QVERIFY(c->moveLast());
    QVERIFY(c->movePrevious());
    QVERIFY(c->current(&r));
    QCOMPARE(surname(), QStringLiteral("LEMAIRE"));
}

void TestStore::cursorFindFirst() {
    TempClinic clinic;
    for (const char* n : {"DURAND", "DUBOIS", "D'ALMEIDA", "MARTIN"})
        clinic.addAct({{"Nom", QString::fromUtf8(n)}});
    Status st;
    auto store = SqliteStore::open(clinic.dbPath(), &st);
    QVERIFY(store);
    BrowsedResult browsed;
    QVERIFY(browsed.open(*store, BrowseQuery::actsByName()));
    struct Case {
        const char* typed;
        const char* found; // nullptr: no match
    } cases[] = {{"D", "D'ALMEIDA"},   {"DU", "DUBOIS"},      {"DUR", "DURAND"}, {"d'a", "D'ALMEIDA"},
                 {"MARTIN", "MARTIN"}, {"MARTINEZ", nullptr}, {"Z", nullptr}};
    for (const Case& k : cases) {
        bool matched = false;
        BrowsedRecord record;
        QVERIFY(browsed.findFirst(QString::fromUtf8(k.typed), &matched, &record));
        QCOMPARE(matched, k.found != nullptr);
        if (k.found)
            QCOMPARE(std::get<Act>(record).surname, QString::fromUtf8(k.found));
    }
    // A reference list, with a label holding an apostrophe.
    clinic.addMemo(2, "Ablation d'un polype", "JKFE002", "118,09");
    QVERIFY(browsed.open(*store, BrowseQuery::reference(ReferenceList::DeliveryActs, ReferenceOrder::AsStored)));
    bool matched = false;
    BrowsedRecord record;
    QVERIFY(browsed.findFirst("Ablation d'un polype", &matched, &record));
    QVERIFY(matched);
    QCOMPARE(std::get<ReferenceEntry>(record).tariff->toFrench(), QStringLiteral("118,09"));
}

void TestStore::cursorEmptyAndDeletedRows() {
    TempClinic clinic;
    Status st;
    auto store = SqliteStore::open(clinic.dbPath(), &st);
    QVERIFY(store);
    auto c = store->browse(BrowseQuery::actsByName(), &st);
    QVERIFY(c);
    QVERIFY(c->bof() && c->eof());
    for (auto move :
         {&RecordCursor::moveFirst, &RecordCursor::moveLast, &RecordCursor::moveNext, &RecordCursor::movePrevious})
        QCOMPARE(((*c).*move)().error, StoreError::NoCurrentRecord);

    const qint64 id = clinic.addAct({{"Nom", "SEUL"}});
    c = store->browse(BrowseQuery::actsByName(), &st);
    QVERIFY(c && c->hasCurrent());
    QVERIFY(clinic.db().remove("ACTES", id)); // deleted by another workstation meanwhile
    BrowsedRecord r;
    QCOMPARE(c->current(&r).error, StoreError::NoCurrentRecord);
    Act gone;
    gone.number = id;
    QCOMPARE(store->acts().update(gone, gone, true).error, StoreError::NoCurrentRecord);
    QCOMPARE(store->acts().remove(id).error, StoreError::NoCurrentRecord);
}

void TestStore::cursorOnClosedDatabase() {
    TempClinic clinic;
    clinic.addAct({{"Nom", "A"}});
    SharedDatabase& shared = clinic.database();
    BrowsedResult& browsed = clinic.browsed();
    QVERIFY(shared.open(clinic.dbPath()));
    QVERIFY(browsed.open(*shared.store(), BrowseQuery::actsByName()));
    shared.close();
    BrowsedRecord r;
    QCOMPARE(browsed.step(BrowsedResult::Move::Next, &r).error, StoreError::Closed);
    QCOMPARE(browsed.cursor()->current(&r).error, StoreError::Closed);
    QVERIFY(shared.open(clinic.dbPath())); // a new database: the old result still fails softly
    QCOMPARE(browsed.step(BrowsedResult::Move::First, &r).error, StoreError::Closed);
}

// Entries without their place in the catalogue (a base of the former register) come first, as the
// list gives them, and the steps visit every entry once either way.
void TestStore::cursorCatalogueOrderWithEntriesWithoutPlace() {
    TempClinic clinic;
    for (const char* label : {"Ablation", "Biopsie", "Césarienne", "Déclenchement", "Épisiotomie", "Forceps"})
        clinic.addMemo(2, QString::fromUtf8(label));
    QVERIFY(clinic.db().executeRaw(
        QStringLiteral("UPDATE MEMO SET \"INDEX\" = NULL WHERE TEXTE IN ('Forceps', 'Biopsie')")));
    QVERIFY(clinic.db().executeRaw(QStringLiteral("UPDATE MEMO SET \"INDEX\" = 1 WHERE TEXTE = 'Épisiotomie'")));
    Status s;
    auto store = SqliteStore::open(clinic.dbPath(), &s);
    QVERIFY(store);
    QStringList listed;
    QVERIFY(store->references().labels(ReferenceList::DeliveryActs, ReferenceOrder::ByCatalogue, &listed));
    QCOMPARE(listed.mid(0, 2), (QStringList{"Biopsie", "Forceps"}));
    auto c = store->browse(BrowseQuery::reference(ReferenceList::DeliveryActs, ReferenceOrder::ByCatalogue), &s);
    QVERIFY(c);
    QVariantList forward, backward;
    QVERIFY(walkBothWays(
        *c, [](const BrowsedRecord& r) { return std::get<ReferenceEntry>(r).label; }, &forward, &backward));
    QCOMPARE(forward, QVariant(listed).toList());
    QCOMPARE(backward, forward);
}

void TestStore::numbersNeverReused() {
    TempClinic clinic;
    const qint64 a = clinic.addAct({{"Nom", "A"}});
    const qint64 b = clinic.addAct({{"Nom", "B"}});
    QVERIFY(clinic.db().remove("ACTES", b));
    const qint64 c = clinic.addAct({{"Nom", "C"}});
    QVERIFY(c > b && b > a);
}

void TestStore::newRowDefaultsAndMemoIndex() {
    TempClinic clinic;
    const qint64 id = clinic.addAct({{"Nom", "NEUVE"}, {"PRIX", moneyValue(Money::fromEuros(314))}});
    std::vector<Row> rows;
    QVERIFY(clinic.db().queryRows("SELECT*FROM ACTES WHERE NUMINT=" + QString::number(id), &rows));
    QCOMPARE(rows.at(0).money("PAYESECU"), std::optional<Money>(Money()));
    QCOMPARE(rows.at(0).money("PAYECOMPLE"), std::optional<Money>(Money()));
    QCOMPARE(rows.at(0).money("PAYEDE"), std::optional<Money>(Money()));
    QVERIFY(rows.at(0).isNull("DateRev"));
    QVERIFY(rows.at(0).isNull("REVERSE"));
    clinic.addMemo(2, "Second");
    clinic.addMemo(2, "Premier");
    rows.clear();
    QVERIFY(clinic.db().queryRows("SELECT * FROM MEMO WHERE NUMEROS = 2 ORDER BY \"INDEX\"", &rows));
    QCOMPARE(rows.size(), size_t(2));
    QCOMPARE(rows[0].text("TEXTE"), QStringLiteral("Second"));
    QVERIFY(rows[0].integer("INDEX") < rows[1].integer("INDEX"));
}

void TestStore::quotingKeepsTypedTextWhole() {
    TempClinic clinic;
    clinic.addAct({{"Nom", "DUPONT"}, {"Date", 38353}, {"MEDSUIT", "Dr X"}});
    Status st;
    auto store = SqliteStore::open(clinic.dbPath(), &st);
    QVERIFY(store);
    int found = 0;
    const auto count = [&](const ListingRow&) {
        ++found;
        return true;
    };
    // Typed text stays one value: it can neither widen a search nor run a statement.
    for (const QString hostile : {"x' OR '1'='1", "'; DROP TABLE ACTES; --", "Dr X' --"}) {
        QVERIFY(store->acts().listing(ListingKind::Search, {38353, 38353}, {hostile, {}, {}, {}}, count));
        QCOMPARE(found, 0);
        BrowsedResult browsed;
        QVERIFY(browsed.open(*store, BrowseQuery::actsByName()));
        bool matched = true;
        BrowsedRecord r;
        QVERIFY(browsed.findFirst(hostile, &matched, &r));
    }
    QCOMPARE(clinic.count("ACTES"), 1);
}

void TestStore::openNeverCreates() {
    TempClinic clinic;
    Status s;
    const QString missing = clinic.file("absent/OBSLEDGER.mdb");
    QVERIFY(!Database::open(missing, &s));
    QCOMPARE(s.error, StoreError::Unreadable);
    QVERIFY(!QFile::exists(missing));
    QFile junk(clinic.file("junk/OBSLEDGER.mdb"));
    QDir().mkpath(clinic.file("junk"));
    QVERIFY(junk.open(QIODevice::WriteOnly));
    junk.write(QByteArray(4096, 'x'));
    junk.close();
    QVERIFY(!Database::open(junk.fileName(), &s));
    QCOMPARE(s.error, StoreError::Unreadable);
    QVERIFY(!Store::open(junk.fileName(), &s));
}

void TestStore::integrityCheckNeedsCollation() {
    TempClinic clinic;
    clinic.addAct({{"Nom", "LÉGER"}});
    QString why;
    QVERIFY2(checkProgramDatabase(clinic.dbPath(), &why), qPrintable(why));
    // A plain connection without the program's order cannot even read the table's definition.
    SQLite::Database plain(clinic.dbPath().toStdString(), SQLite::OPEN_READONLY);
    QVERIFY_THROWS_EXCEPTION(SQLite::Exception, plain.execAndGet("PRAGMA integrity_check").getString());
}

void TestStore::moneySumsAreExact() {
    TempClinic clinic;
    for (int i = 0; i < 10; ++i)
        clinic.addAct({{"Nom", "X"}, {"PRIX", moneyValue(Money::parse("0,1"))}});
    QCOMPARE(Money::fromUnits(clinic.scalar("SELECT SUM(PRIX) FROM ACTES").toLongLong()), Money::fromEuros(1));
}

void TestStore::likePrefilterKeepsMatches() {
    // What SQLite is given for a LIKE (rewritten or not) finds exactly what the program's LIKE matches.
    TempClinic clinic;
    const QStringList names{"Dr MARTIN", "dr martin",  "Dr MARTÍN",          "Dr MARTINEZ", "Dr D'ORVAL",
                            "Œdipe",     "Césarienne", "CESARIENNE urgente", "Cesar",       "ces",
                            ""};
    for (const QString& n : names)
        clinic.addAct({{"Nom", "X"}, {"Date", 0}, {"MEDSUIT", n}, {"Acte", n}});
    Status st;
    auto store = SqliteStore::open(clinic.dbPath(), &st);
    QVERIFY(store);
    const QStringList patterns{"Dr MARTIN", "DR MARTIN", "Dr D'ORVAL", "œdipe", "CES*",
                               "cés*",      "Dr*",       "*",          "C?S*",  "ces"};
    for (const QString& p : patterns) {
        for (const char* col : {"MEDSUIT", "Acte"}) {
            int expected = 0;
            for (const QString& n : names)
                expected += jetLike(p, n) ? 1 : 0;
            // Through the search's criteria: a practitioner as typed, an act as a prefix.
            const bool practitioner = QLatin1String(col) == QLatin1String("MEDSUIT");
            if (!practitioner) {
                expected = 0;
                for (const QString& n : names)
                    expected += jetLike(p + "*", n) ? 1 : 0;
            }
            SearchCriteria criteria;
            (practitioner ? criteria.followedBy : criteria.act) = p;
            int found = 0;
            QVERIFY(store->acts().listing(ListingKind::Search, {0, 0}, criteria, [&](const ListingRow&) {
                ++found;
                return true;
            }));
            const QVariant got = found;
            QVERIFY2(got.toInt() == expected, qPrintable(p + " " + col));
        }
    }
}

void TestStore::cursorStepsThroughSharedNames() {
    // Names equal in the program's order (case aside) are stepped through by act number, both ways.
    TempClinic clinic;
    QList<qint64> ids;
    ids << clinic.addAct({{"Nom", "AUBERT"}});
    for (const char* n : {"DUPONT", "dupont", "Dupont", "DUPONT"})
        ids << clinic.addAct({{"Nom", n}, {"Prenom", "Marie"}});
    ids << clinic.addAct({{"Nom", "DUPONT"}, {"Prenom", "Zoé"}});
    ids << clinic.addAct({{"Nom", "ZOLA"}});
    Status s;
    auto store = SqliteStore::open(clinic.dbPath(), &s);
    QVERIFY(store);
    auto c = store->browse(BrowseQuery::actsByName(), &s);
    QVERIFY(c);
    QVariantList forward, backward, numbers;
    QVERIFY(walkBothWays(
        *c, [](const BrowsedRecord& r) { return std::get<Act>(r).number; }, &forward, &backward));
    for (qint64 id : ids)
        numbers << id;
    QCOMPARE(forward, numbers);
    QCOMPARE(backward, numbers);
}

QTEST_GUILESS_MAIN(TestStore)
#include "test_store.moc"
