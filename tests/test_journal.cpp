// The journal of the acts as the store writes it: one entry per change, in the change's own
// transaction, chained so that an entry edited, removed or slipped in by hand shows.
#include "TestSupport.h"

#include "common/DayNumber.h"
#include "common/Settings.h"
#include "store/Bulk.h"
#include "store/Store.h"

#include <QDate>
#include <QtTest>

using namespace obs;
using obs::test::TempClinic;

namespace {

qint64 today() {
    return dayNumberOf(QDate::currentDate());
}

Act newAct(const QString& surname, qint64 day) {
    Act a;
    a.surname = surname;
    a.firstName = QStringLiteral("Anne");
    a.date = day;
    a.followedBy = QStringLiteral("MARTIN");
    a.performedBy = QStringLiteral("DURAND");
    a.act = QStringLiteral("Accouchement");
    a.price = Money::fromEuros(300);
    a.excess = Money::fromEuros(50);
    return a;
}

struct Fixture {
    TempClinic clinic;
    std::shared_ptr<Store> store;
    Fixture() {
        Status s;
        store = Store::open(clinic.location(), &s);
        if (!store)
            qFatal("open: %s", qPrintable(s.message));
    }
    std::vector<JournalEntry> entriesOf(qint64 act) {
        std::vector<JournalEntry> e;
        const Status s = store->journal().ofAct(act, &e);
        if (!s)
            qFatal("ofAct: %s", qPrintable(s.message));
        return e;
    }
    qint64 recorded(const Act& a) {
        qint64 n = 0;
        const Status s = store->acts().append(a, &n);
        if (!s)
            qFatal("append: %s", qPrintable(s.message));
        return n;
    }
    Act stored(qint64 number) {
        Act a;
        bool found = false;
        store->acts().find(number, &a, &found);
        return a;
    }
    JournalCheck check() {
        JournalCheck c;
        const Status s = store->journal().verify(&c);
        if (!s)
            qFatal("verify: %s", qPrintable(s.message));
        return c;
    }
    qint64 journalSize() { return clinic.scalar(QStringLiteral("SELECT count(*) FROM JOURNAL")).toLongLong(); }
};

} // namespace

class TestJournal : public QObject {
    Q_OBJECT
private slots:
    void paymentsOnePerPayer_data();
    void paymentsOnePerPayer();
    void refusedReceiptWritesNothing_data();
    void refusedReceiptWritesNothing();
    void actLifeAndReversal();
    void referenceChanges();
    void changedElsewhereWritesNoEntry();
    void noEntryNoChange();
    void baseRefusesEditingEntries();
    void tamperingFound_data();
    void tamperingFound();
    void openingEntriesOfAnOlderBase();
    void unusualTextsKeepTheChain();
};

// Each payer whose total moved gets one entry of the difference, dated and by the mode typed.
void TestJournal::paymentsOnePerPayer_data() {
    QTest::addColumn<QString>("secu");
    QTest::addColumn<QString>("complementary");
    QTest::addColumn<QString>("patient");
    QTest::addColumn<QStringList>("expected"); // payer:amount in units, in the order written
    QTest::newRow("sécu seule") << "120"
                                << "0"
                                << "0" << QStringList{"secu:1200000"};
    QTest::newRow("trois payeurs") << "100"
                                   << "20,5"
                                   << "50" << QStringList{"secu:1000000", "complementaire:205000", "patiente:500000"};
    QTest::newRow("rien de changé") << "0"
                                    << "0"
                                    << "0" << QStringList{};
}

void TestJournal::paymentsOnePerPayer() {
    QFETCH(QString, secu);
    QFETCH(QString, complementary);
    QFETCH(QString, patient);
    QFETCH(QStringList, expected);
    Fixture f;
    const qint64 day = today() - 10;
    const qint64 n = f.recorded(newAct(QStringLiteral("DUPONT"), day));
    const Act shown = f.stored(n);
    Act edited = shown;
    edited.paidSecu = Money::parse(secu);
    edited.paidComplementary = Money::parse(complementary);
    edited.paidExcess = Money::parse(patient);
    QVERIFY(f.store->acts().update(shown, edited, false, Receipt{day + 3, PaymentMode::Cheque}));
    QStringList written;
    for (const auto& e : f.entriesOf(n)) {
        if (e.kind != JournalKind::Payment)
            continue;
        written << QStringLiteral("%1:%2").arg(e.payer).arg(e.amount->units());
        QCOMPARE(e.receivedOn, std::optional(day + 3));
        QCOMPARE(e.mode, std::optional(PaymentMode::Cheque));
    }
    QCOMPARE(written, expected);

    // A lowered total is a correction: a negative entry dated as typed; the earlier one stays.
    if (!expected.isEmpty()) {
        const Act paid = f.stored(n);
        Act corrected = paid;
        corrected.paidSecu = Money::fromUnits(paid.paidSecu->units() - 100000);
        QVERIFY(f.store->acts().update(paid, corrected, false, Receipt{day + 5, PaymentMode::Transfer}));
        const auto all = f.entriesOf(n);
        QCOMPARE(all.back().amount, std::optional(Money::fromUnits(-100000)));
        QCOMPARE(all.back().receivedOn, std::optional(day + 5));
        QCOMPARE(qint64(all.size()), qint64(1 + expected.size() + 1));
    }
    QVERIFY(f.check().intact);
}

void TestJournal::refusedReceiptWritesNothing_data() {
    QTest::addColumn<qint64>("offset"); // from today
    QTest::newRow("demain") << qint64(1);
    QTest::newRow("avant l'acte") << qint64(-11);
}

void TestJournal::refusedReceiptWritesNothing() {
    QFETCH(qint64, offset);
    Fixture f;
    const qint64 n = f.recorded(newAct(QStringLiteral("DUPONT"), today() - 10));
    const qint64 before = f.journalSize();
    const Act shown = f.stored(n);
    Act edited = shown;
    edited.paidSecu = Money::fromEuros(10);
    const Status s = f.store->acts().update(shown, edited, false, Receipt{today() + offset, PaymentMode::Cash});
    QCOMPARE(s.error, StoreError::RefusedValue);
    QVERIFY(s.message.contains(QStringLiteral("date de réception")));
    QCOMPARE(f.stored(n), shown);
    QCOMPARE(f.journalSize(), before);
}

void TestJournal::actLifeAndReversal() {
    Fixture f;
    const qint64 n = f.recorded(newAct(QStringLiteral("DUPONT"), today() - 3));
    const Act shown = f.stored(n);
    Act edited = shown;
    edited.surname = QStringLiteral("DUPOND");
    edited.price = Money::fromEuros(320);
    QVERIFY(f.store->acts().update(shown, edited, false));
    bool changed = false;
    QVERIFY(f.store->acts().addReversal(n, today(), Money::fromEuros(40), &changed, PaymentMode::Card));
    QVERIFY(changed);
    QVERIFY(f.store->acts().remove(n));

    const auto e = f.entriesOf(n);
    QCOMPARE(qint64(e.size()), qint64(4));
    QCOMPARE(e[0].kind, JournalKind::Created);
    QVERIFY(std::find(e[0].changes.begin(), e[0].changes.end(),
                      ColumnChange{QStringLiteral("Nom"), std::nullopt, QStringLiteral("DUPONT")}) !=
            e[0].changes.end());
    QCOMPARE(e[1].kind, JournalKind::Modified);
    QCOMPARE(e[1].changes, (std::vector<ColumnChange>{
                               {QStringLiteral("Nom"), QStringLiteral("DUPONT"), QStringLiteral("DUPOND")},
                               {QStringLiteral("PRIX"), QStringLiteral("3000000"), QStringLiteral("3200000")}}));
    QCOMPARE(e[2].kind, JournalKind::ReversalPaid);
    QCOMPARE(e[2].payer, QStringLiteral("DURAND"));
    QCOMPARE(e[2].payee, QStringLiteral("MARTIN"));
    QCOMPARE(e[2].mode, std::optional(PaymentMode::Card));
    QCOMPARE(e[2].amount, std::optional(Money::fromEuros(40)));
    QCOMPARE(e[3].kind, JournalKind::Deleted);
    QVERIFY(std::find(e[3].changes.begin(), e[3].changes.end(),
                      ColumnChange{QStringLiteral("Nom"), QStringLiteral("DUPOND"), std::nullopt}) !=
            e[3].changes.end());
    // Written by this workstation, numbered without gaps, chained.
    for (std::size_t i = 0; i < e.size(); ++i) {
        QCOMPARE(e[i].number, qint64(i + 1));
        QVERIFY(!e[i].workstation.isEmpty());
        QVERIFY(!e[i].user.isEmpty());
        QVERIFY(e[i].writtenAt.endsWith(u'Z'));
    }
    const JournalCheck c = f.check();
    QVERIFY2(c.intact, qPrintable(c.problem));
    QCOMPARE(c.entries, qint64(4));
}

void TestJournal::referenceChanges() {
    Fixture f;
    ReferenceEntry e;
    e.list = ReferenceList::Practitioners;
    e.label = QStringLiteral("MARTIN");
    QVERIFY(f.store->references().add(e));
    ReferenceEntry renamed = e;
    renamed.label = QStringLiteral("MARTINEZ");
    bool found = false;
    QVERIFY(f.store->references().modify(e, renamed, &found));
    QVERIFY(found);
    QVERIFY(f.store->references().remove(ReferenceList::Practitioners, QStringLiteral("MARTINEZ"), &found));
    QVERIFY(found);
    // A removal of nothing writes nothing.
    QVERIFY(f.store->references().remove(ReferenceList::Practitioners, QStringLiteral("PERSONNE"), &found));
    QVERIFY(!found);
    std::vector<JournalEntry> all;
    QVERIFY(f.store->journal().each([&](const JournalEntry& x) {
        all.push_back(x);
        return true;
    }));
    QCOMPARE(qint64(all.size()), qint64(3));
    for (const auto& x : all) {
        QCOMPARE(x.kind, JournalKind::ReferenceChanged);
        QVERIFY(!x.act);
    }
    QCOMPARE(all[1].changes.at(1),
             (ColumnChange{QStringLiteral("TEXTE"), QStringLiteral("MARTIN"), QStringLiteral("MARTINEZ")}));
    QCOMPARE(all[2].changes.at(1), (ColumnChange{QStringLiteral("TEXTE"), QStringLiteral("MARTINEZ"), std::nullopt}));
    QVERIFY(f.check().intact);
}

// Another workstation changed the act first: the save is refused and leaves no entry.
void TestJournal::changedElsewhereWritesNoEntry() {
    Fixture f;
    const qint64 n = f.recorded(newAct(QStringLiteral("DUPONT"), today() - 3));
    const Act shown = f.stored(n);
    f.clinic.execute(QStringLiteral("UPDATE ACTES SET Nom = 'AUTRE' WHERE NUMINT = %1").arg(n));
    const qint64 before = f.journalSize();
    Act edited = shown;
    edited.paidSecu = Money::fromEuros(10);
    QCOMPARE(f.store->acts().update(shown, edited, false).error, StoreError::Changed);
    QCOMPARE(f.journalSize(), before);
}

// An entry that cannot be written takes the change with it.
void TestJournal::noEntryNoChange() {
    Fixture f;
    const qint64 n = f.recorded(newAct(QStringLiteral("DUPONT"), today() - 3));
    const Act shown = f.stored(n);
    f.clinic.execute(QStringLiteral("DELETE FROM JOURNAL_TETE"));
    Act edited = shown;
    edited.paidSecu = Money::fromEuros(10);
    const Status s = f.store->acts().update(shown, edited, false);
    QVERIFY(!s);
    QVERIFY(s.message.contains(QStringLiteral("journal")));
    QCOMPARE(f.stored(n), shown);
}

// The base itself keeps entries as written: the file's triggers, the server's rights.
void TestJournal::baseRefusesEditingEntries() {
    Fixture f;
    f.recorded(newAct(QStringLiteral("DUPONT"), today()));
    if (f.clinic.onServer()) {
        f.clinic.useWorkstationLogin();
        Status s;
        auto store = Store::open(Settings::server(), &s);
        QVERIFY2(store, qPrintable(s.message));
        qint64 n = 0;
        QVERIFY2((s = store->acts().append(newAct(QStringLiteral("ROLE"), today()), &n)), qPrintable(s.message));
        auto session = openMaintenanceSession(Settings::server(), &s);
        QVERIFY(session);
        QVERIFY(!session->run(QStringLiteral("UPDATE journal SET montant = 1"), {}));
        QVERIFY(!session->run(QStringLiteral("DELETE FROM journal"), {}));
    } else {
        QVERIFY(!f.clinic.db().executeRaw(QStringLiteral("UPDATE JOURNAL SET MONTANT = 1")));
        QVERIFY(!f.clinic.db().executeRaw(QStringLiteral("DELETE FROM JOURNAL")));
    }
    QVERIFY(f.check().intact);
}

void TestJournal::tamperingFound_data() {
    QTest::addColumn<QString>("sql");
    QTest::addColumn<qint64>("firstBad");
    QTest::newRow("montant modifié") << "UPDATE JOURNAL SET MONTANT = MONTANT + 1 WHERE NUMJ = 4" << qint64(4);
    QTest::newRow("date de réception modifiée") << "UPDATE JOURNAL SET RECULE = RECULE - 1 WHERE NUMJ = 4" << qint64(4);
    QTest::newRow("modification effacée") << "UPDATE JOURNAL SET DETAIL = NULL WHERE NUMJ = 3" << qint64(3);
    QTest::newRow("écriture supprimée") << "DELETE FROM JOURNAL WHERE NUMJ = 2" << qint64(2);
    QTest::newRow("fin supprimée") << "DELETE FROM JOURNAL WHERE NUMJ = 4" << qint64(4);
    QTest::newRow("écriture insérée")
        << "INSERT INTO JOURNAL (NUMJ, ECRIT, NATURE, HASH) VALUES (5, '2030-01-01T00:00:00.000Z', 'paiement', 'x')"
        << qint64(5);
}

// An entry edited, removed or slipped in by hand, around the program's guards.
void TestJournal::tamperingFound() {
    QFETCH(QString, sql);
    QFETCH(qint64, firstBad);
    Fixture f;
    const qint64 n = f.recorded(newAct(QStringLiteral("DUPONT"), today() - 3));
    Act shown = f.stored(n);
    Act edited = shown;
    edited.paidSecu = Money::fromEuros(100);
    QVERIFY(f.store->acts().update(shown, edited, false));
    shown = f.stored(n);
    edited = shown;
    edited.paidExcess = Money::fromEuros(50);
    edited.surname = QStringLiteral("DUPOND");
    QVERIFY(f.store->acts().update(shown, edited, false));
    QCOMPARE(f.check().entries, qint64(4));

    if (f.clinic.onServer()) {
        f.clinic.execute(sql);
    } else {
        f.clinic.execute(QStringLiteral("DROP TRIGGER JOURNAL_FIGE"));
        f.clinic.execute(QStringLiteral("DROP TRIGGER JOURNAL_GARDE"));
        f.clinic.execute(sql);
    }
    const JournalCheck c = f.check();
    QVERIFY(!c.intact);
    QCOMPARE(c.firstBad, std::optional(firstBad));
    QVERIFY2(c.problem.contains(QString::number(firstBad)), qPrintable(c.problem));
}

// A base made before the journal: nothing is written until it is given one, which carries each
// act's running totals over as undated opening entries.
void TestJournal::openingEntriesOfAnOlderBase() {
    Fixture f;
    const qint64 n = f.recorded(newAct(QStringLiteral("DUPONT"), today() - 3));
    f.clinic.execute(QStringLiteral("UPDATE ACTES SET PAYESECU = 1000000, PAYEDE = 250000, REVERSE = 300000 WHERE "
                                    "NUMINT = %1")
                         .arg(n));
    f.clinic.execute(QStringLiteral("DROP TABLE JOURNAL"));
    f.clinic.execute(QStringLiteral("DROP TABLE JOURNAL_TETE"));
    Status s;
    auto older = Store::open(f.clinic.location(), &s);
    QVERIFY(older);
    QVERIFY(!older->journal().present());
    const Act shown = f.stored(n);
    Act edited = shown;
    edited.surname = QStringLiteral("X");
    const Status refused = older->acts().update(shown, edited, false);
    QVERIFY(!refused);
    QVERIFY(refused.message.contains(QStringLiteral("upgrade")));

    qint64 opened = 0;
    const Status made = older->journal().create(&opened);
    QVERIFY2(made, qPrintable(made.message));
    QCOMPARE(opened, qint64(3));
    std::vector<JournalEntry> e;
    QVERIFY(older->journal().ofAct(n, &e));
    QStringList got;
    for (const auto& x : e) {
        QCOMPARE(x.kind, JournalKind::Opening);
        QVERIFY(!x.receivedOn);
        got << QStringLiteral("%1:%2").arg(x.payer).arg(x.amount->units());
    }
    QCOMPARE(got, (QStringList{"secu:1000000", "patiente:250000", "DURAND:300000"}));
    JournalCheck c;
    QVERIFY(older->journal().verify(&c));
    QVERIFY(c.intact);
    QVERIFY(older->acts().update(shown, edited, false));
}

// Texts holding the canonical text's own separator and escape, quotes and accents: checked from the
// base's bytes as written from the record.
void TestJournal::unusualTextsKeepTheChain() {
    Fixture f;
    const qint64 n = f.recorded(newAct(QStringLiteral("D'\\ŒUF\x1f\\u é"), today() - 1));
    const Act shown = f.stored(n);
    Act edited = shown;
    edited.firstName = QStringLiteral("\x1f\"\n;");
    edited.paidExcess = Money::fromEuros(5);
    QVERIFY(f.store->acts().update(shown, edited, false));
    const JournalCheck c = f.check();
    QVERIFY2(c.intact, qPrintable(c.problem));
    QCOMPARE(c.entries, qint64(3));
}

QTEST_GUILESS_MAIN(TestJournal)
#include "test_journal.moc"
