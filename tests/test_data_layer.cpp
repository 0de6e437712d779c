// SPDX-License-Identifier: GPL-3.0-or-later
// The typed operations of the data layer on a real file: values bound whole, wildcards kept,
// saves that never overwrite another workstation's change.
#include "TestSupport.h"

#include "store/sqlite/SqliteStore.h"

#include <QtTest>

using namespace obs;
using obs::test::TempClinic;

namespace {

std::shared_ptr<SqliteStore> openStore(const TempClinic& clinic) {
    Status s;
    auto store = SqliteStore::open(clinic.dbPath(), &s);
    if (!store)
        qFatal("store: %s", qPrintable(s.message));
    return store;
}

Act readAct(Store& store, qint64 number) {
    Act act;
    bool found = false;
    if (!store.acts().find(number, &act, &found) || !found)
        qFatal("act %lld not found", number);
    return act;
}

} // namespace

class TestDataLayer : public QObject {
    Q_OBJECT
private slots:
    void appendThenFindGivesTheSameAct();
    void saveOnlyWhenUnchanged_data();
    void saveOnlyWhenUnchanged();
    void hostileTextsStoredAndFoundWhole_data();
    void hostileTextsStoredAndFoundWhole();
    void referenceModifyAndRemoveByLabel();
    void paymentsAddUpOnThePairsLatestAct();
    void damagedStoredValuesReadAsNothing();
};

void TestDataLayer::appendThenFindGivesTheSameAct() {
    TempClinic clinic;
    auto store = openStore(clinic);
    Act act;
    act.surname = QStringLiteral("D'ALMEIDA");
    act.firstName = QStringLiteral("Zoé");
    act.date = 38353;
    act.followedBy = QStringLiteral("Dr D'ORVAL");
    act.performedBy = QStringLiteral("Dr *");
    act.act = QStringLiteral("Césarienne [urgente]");
    act.code = QStringLiteral("JQGA002");
    act.nightOrHoliday = QStringLiteral("N");
    act.secondary = {QStringLiteral("a"), QStringLiteral("b?"), QStringLiteral("#c"), QString(), QStringLiteral("e")};
    act.price = Money::fromEuros(314);
    act.excess = Money::fromEuros(40);
    qint64 number = 0;
    QVERIFY(store->acts().append(act, &number));
    QVERIFY(number > 0);
    Act read = readAct(*store, number);
    act.number = number;
    act.paidSecu = act.paidComplementary = act.paidExcess = Money(); // payments start at 0
    act.secondary[3] = QString();
    QCOMPARE(read.surname, act.surname);
    QVERIFY(read == act);
}

void TestDataLayer::saveOnlyWhenUnchanged_data() {
    QTest::addColumn<QString>("otherChange"); // what another workstation did since the act was shown
    QTest::addColumn<int>("error");
    QTest::newRow("nothing") << QString() << int(StoreError::None);
    QTest::newRow("a payment") << "UPDATE ACTES SET PAYESECU = 1000000" << int(StoreError::Changed);
    QTest::newRow("the name's case only") << "UPDATE ACTES SET Nom = 'dupont'" << int(StoreError::Changed);
    QTest::newRow("a sum paid over") << "UPDATE ACTES SET REVERSE = 5" << int(StoreError::Changed);
    QTest::newRow("deleted") << "DELETE FROM ACTES" << int(StoreError::NoCurrentRecord);
}

void TestDataLayer::saveOnlyWhenUnchanged() {
    QFETCH(QString, otherChange);
    QFETCH(int, error);
    TempClinic clinic;
    const qint64 id = clinic.addAct({{"Nom", "DUPONT"}, {"Date", 38353}, {"PRIX", 3135000}});
    auto store = openStore(clinic);
    const Act shown = readAct(*store, id);
    if (!otherChange.isEmpty())
        QVERIFY(clinic.db().executeRaw(otherChange));
    Act edited = shown;
    edited.paidComplementary = Money::fromEuros(50);
    const Status s = store->acts().update(shown, edited, false);
    QCOMPARE(int(s.error), error);
    const QVariant stored = clinic.scalar("SELECT PAYECOMPLE FROM ACTES");
    QCOMPARE(stored.isNull() ? -1 : stored.toLongLong(), error == int(StoreError::None)      ? 500000
                                                         : error == int(StoreError::Changed) ? 0
                                                                                             : -1);
}

void TestDataLayer::hostileTextsStoredAndFoundWhole_data() {
    QTest::addColumn<QString>("text");
    QTest::newRow("apostrophes") << "D'ALMEIDA l'ancienne";
    QTest::newRow("statement") << "'; DROP TABLE ACTES; --";
    QTest::newRow("every wildcard") << "*?#[a-z][!0]%_";
    QTest::newRow("long") << QString(10000, u'é');
    QTest::newRow("emoji") << "ZOÉ 👶🏽";
    QTest::newRow("right to left") << "مريم";
    QTest::newRow("combining accents") << "Ze\u0301lie";
}

void TestDataLayer::hostileTextsStoredAndFoundWhole() {
    QFETCH(QString, text);
    TempClinic clinic;
    auto store = openStore(clinic);
    clinic.addAct({{"Nom", "AUTRE"}, {"Date", 38353}, {"MEDSUIT", "Dr X"}});
    Act act;
    act.surname = text;
    act.date = 38353;
    act.followedBy = text;
    qint64 number = 0;
    QVERIFY(store->acts().append(act, &number));
    QCOMPARE(readAct(*store, number).surname, text);
    // Found again by the surname search, and as a practitioner criterion: itself and nothing else
    // (its wildcards keep their meaning, which may widen it only to texts they match).
    BrowsedResult browsed;
    QVERIFY(browsed.open(*store, BrowseQuery::actsByName()));
    bool matched = false;
    BrowsedRecord record;
    QVERIFY(browsed.findFirst(text, &matched, &record));
    QVERIFY(matched);
    QStringList found;
    QVERIFY(store->acts().listing(ListingKind::Search, {38353, 38353}, {text, {}, {}, {}}, [&](const ListingRow& r) {
        found << r.surname;
        return true;
    }));
    if (!hasWildcard(text))
        QVERIFY(found.contains(text));
    QCOMPARE(clinic.count("ACTES"), 2);
    // A label of a reference list, added, found and removed by that label.
    ReferenceEntry entry;
    entry.list = ReferenceList::SurgicalActs;
    entry.label = text;
    QVERIFY(store->references().add(entry));
    ReferenceEntry read;
    QVERIFY(store->references().find(ReferenceList::SurgicalActs, text, &read, &matched));
    QVERIFY(matched);
    QCOMPARE(read.label, text);
    QVERIFY(store->references().remove(ReferenceList::SurgicalActs, text, &matched));
    QVERIFY(matched);
}

void TestDataLayer::referenceModifyAndRemoveByLabel() {
    TempClinic clinic;
    clinic.addMemo(2, "Césarienne", "JQGA002", "313,5", {"10"});
    clinic.addMemo(2, "césarienne", "DOUBLE", "1"); // same label but for case: the first stored is taken
    clinic.addMemo(3, "Césarienne", "AUTRE", "2");
    auto store = openStore(clinic);
    ReferenceEntry entry;
    entry.list = ReferenceList::DeliveryActs;
    entry.label = QStringLiteral("Césarienne programmée");
    entry.tariff = Money::fromEuros(320);
    bool found = false;
    ReferenceEntry shown;
    QVERIFY(store->references().find(ReferenceList::DeliveryActs, "CÉSARIENNE", &shown, &found));
    QCOMPARE(shown.code, QStringLiteral("JQGA002"));
    // Another workstation changes its tariff: the modification is refused.
    QVERIFY(clinic.db().executeRaw("UPDATE MEMO SET TARIFS = 1 WHERE CCAM = 'JQGA002'"));
    QCOMPARE(store->references().modify(shown, entry, &found).error, StoreError::Changed);
    QVERIFY(store->references().find(ReferenceList::DeliveryActs, "CÉSARIENNE", &shown, &found));
    QVERIFY(store->references().modify(shown, entry, &found));
    QVERIFY(found);
    QStringList labels;
    QVERIFY(store->references().labels(ReferenceList::DeliveryActs, ReferenceOrder::AsStored, &labels));
    QCOMPARE(labels, (QStringList{"Césarienne programmée", "césarienne"}));
    shown.label = QStringLiteral("Absent");
    QVERIFY(store->references().modify(shown, entry, &found));
    QVERIFY(!found);
    QVERIFY(store->references().remove(ReferenceList::SurgicalActs, "Césarienne", &found));
    QVERIFY(found);
    QVERIFY(store->references().labels(ReferenceList::SurgicalActs, ReferenceOrder::ByLabel, &labels));
    QVERIFY(labels.isEmpty());
}

void TestDataLayer::paymentsAddUpOnThePairsLatestAct() {
    TempClinic clinic;
    const QVariant a = QStringLiteral("Dr A"), b = QStringLiteral("Dr B");
    clinic.addAct({{"Date", 38400}, {"MEDSUIT", b}, {"MEDACTE", a}, {"PRIX", 10000000}});
    const qint64 latest = clinic.addAct({{"Date", 38500}, {"MEDSUIT", b}, {"MEDACTE", a}, {"PRIX", 5000000}});
    clinic.addAct({{"Date", 38600}, {"MEDSUIT", a}, {"MEDACTE", b}}); // the other way round
    auto store = openStore(clinic);
    std::optional<qint64> number;
    QVERIFY(store->acts().latestOfPair("dr b", "DR A", &number));
    QCOMPARE(number, std::optional<qint64>(latest));
    bool changed = false;
    for (int i = 0; i < 2; ++i)
        QVERIFY(store->acts().addReversal(latest, 38700, Money::fromEuros(100), &changed) && changed);
    PairSums sums;
    QVERIFY(store->acts().pairSums({38000, 39000}, "Dr B", "Dr A", &sums));
    QCOMPARE(sums.value, std::optional<Money>(Money::fromEuros(1500)));
    QCOMPARE(sums.reversed, std::optional<Money>(Money::fromEuros(200)));
    QVERIFY(store->acts().latestOfPair("Dr C", "Dr A", &number));
    QVERIFY(!number);
}

void TestDataLayer::damagedStoredValuesReadAsNothing() {
    // What a damaged or foreign base may hold shows as no date or no amount, never undefined behaviour.
    TempClinic clinic;
    const qint64 id = clinic.addAct({{"Nom", "X"}});
    QVERIFY(clinic.db().executeRaw("UPDATE ACTES SET Date = 1e300, DateRev = 'hier', PRIX = 'beaucoup', DE = 1e300"));
    auto store = openStore(clinic);
    const Act act = readAct(*store, id);
    QVERIFY(!act.date);
    QVERIFY(!act.reversalDate);
    QVERIFY(!act.price);
    QVERIFY(!act.excess);
}

QTEST_MAIN(TestDataLayer)
#include "test_data_layer.moc"
