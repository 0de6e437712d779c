// Whole-base operations through the store, on the file and on the server: what they write is the
// same on both engines, and the installer's steps say how far they went.
#include "TestSupport.h"

#include "domain/DemoData.h"
#include "store/Bulk.h"
#include "store/Store.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace obs;
using obs::test::TempServerDatabase;

class TestBulk : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    std::unique_ptr<TempServerDatabase> m_server;

    // A base of the program on the engine the row names: a new file, or a server database with the
    // program's tables.
    QString newBase(const QString& engine) {
        if (engine == QLatin1String("serveur")) {
            if (!TempServerDatabase::available())
                return {};
            m_server = std::make_unique<TempServerDatabase>();
            return m_server->conninfo();
        }
        const QString path = m_dir.filePath(QStringLiteral("base-%1.mdb").arg(QRandomGenerator::global()->generate()));
        NewBaseStep step = NewBaseStep::NotReached;
        if (!createBase(path, &step) || step != NewBaseStep::Made)
            return {};
        return path;
    }

    static void engines() {
        QTest::addColumn<QString>("engine");
        QTest::newRow("fichier") << QStringLiteral("fichier");
        QTest::newRow("serveur") << QStringLiteral("serveur");
    }

#define OBS_BASE(location)                                                                                             \
    QFETCH(QString, engine);                                                                                           \
    if (engine == QLatin1String("serveur") && !TempServerDatabase::available())                                        \
        QSKIP("OBSLEDGER_TEST_SERVER n'est pas défini");                                                               \
    const QString location = newBase(engine);                                                                          \
    QVERIFY(!location.isEmpty())

private slots:
    void cleanup() {
        m_server.reset();
    }

    // The demo clinic written on either engine holds what the generator gave: counts, sums and
    // numbers, and entries as the screens read them.
    void demoClinicHoldsWhatWasGenerated_data() {
        engines();
    }
    void demoClinicHoldsWhatWasGenerated() {
        OBS_BASE(location);
        QVERIFY(fillDemoReferences(location));
        QVERIFY(fillDemoActs(location, 250, QDate(2005, 1, 1), QDate(2005, 12, 31)));
        StoredFigures figures;
        QVERIFY(readStoredFigures(location, &figures));
        QCOMPARE(figures.acts, 250);
        QCOMPARE(figures.entries, qint64(demoReferences().size()));
        QCOMPARE(countActs(location), std::optional<qint64>(250));
        // The numbers are the base's own, from 1, in the order of the generator.
        QCOMPARE(figures.numbers.front(), 1);
        QCOMPARE(figures.numbers.back(), 250);
        // What the generator gives, summed here, is what the base holds.
        qint64 prices = 0, paidSecu = 0, days = 0;
        const ActSource acts = demoActs(250, QDate(2005, 1, 1), QDate(2005, 12, 31));
        Act act;
        while (acts(&act)) {
            prices += act.price.value_or(Money()).units();
            paidSecu += act.paidSecu.value_or(Money()).units();
            days += act.date.value_or(0);
        }
        QCOMPARE(figures.actSums[0], prices);
        QCOMPARE(figures.actSums[2], paidSecu);
        QCOMPARE(figures.actSums[6], days);
        QCOMPARE(figures.actSums[5], 0); // nothing reversed yet
        // Read back through the store as the screens read them.
        Status s;
        auto store = Store::open(location, &s);
        QVERIFY2(store, qPrintable(s.message));
        QStringList insurers;
        QVERIFY(store->references().labels(ReferenceList::MutualInsurers, ReferenceOrder::AsStored, &insurers));
        QCOMPARE(insurers.size(), 6);
        ReferenceEntry practitioner;
        bool found = false;
        QVERIFY(
            store->references().find(ReferenceList::Practitioners, QStringLiteral("Dr MARTIN"), &practitioner, &found));
        QVERIFY(found);
        QVERIFY(!practitioner.tariff);
    }

    // The steps of making a base: made, already there (server), not reached.
    void newBaseSteps() {
        NewBaseStep step = NewBaseStep::Made;
        QVERIFY(!createBase(m_dir.filePath(QStringLiteral("absent/OBSLEDGER.mdb")), &step));
        QCOMPARE(step, NewBaseStep::NotReached);
        QVERIFY(!QFileInfo::exists(m_dir.filePath(QStringLiteral("absent/OBSLEDGER.mdb"))));

        const QString file = m_dir.filePath(QStringLiteral("demo.mdb"));
        QVERIFY(createBase(file, &step, demoReferences(), demoActs(40, QDate(2006, 1, 1), QDate(2006, 3, 31))));
        QCOMPARE(step, NewBaseStep::Made);
        QCOMPARE(countActs(file), std::optional<qint64>(40));
        QVERIFY(checkBase(file));
        QVERIFY(checkSnapshot(file));

        if (!TempServerDatabase::available())
            QSKIP("OBSLEDGER_TEST_SERVER n'est pas défini");
        TempServerDatabase server; // already has the tables
        const Status s = createBase(server.conninfo(), &step);
        QVERIFY(!s);
        QCOMPARE(step, NewBaseStep::AlreadyThere);
        QVERIFY2(s.message.contains(QStringLiteral("a déjà les tables d'Obsledger")), qPrintable(s.message));
        QVERIFY(checkBase(server.conninfo()));
        QCOMPARE(countActs(server.conninfo()), std::optional<qint64>(0));
    }

    // A copy to the server and back gives the same rows, numbers kept, on both engines.
    void copyThereAndBack() {
        if (!TempServerDatabase::available())
            QSKIP("OBSLEDGER_TEST_SERVER n'est pas défini");
        const QString file = m_dir.filePath(QStringLiteral("source.mdb"));
        NewBaseStep step;
        QVERIFY(createBase(file, &step, demoReferences(), demoActs(120, QDate(2007, 1, 1), QDate(2007, 6, 30))));
        TempServerDatabase server;
        ClinicTotals there, back;
        Status s = copyBase(file, server.conninfo(), false, &there);
        QVERIFY2(s, qPrintable(s.message));
        const QString again = m_dir.filePath(QStringLiteral("retour.mdb"));
        s = copyBase(server.conninfo(), again, false, &back);
        QVERIFY2(s, qPrintable(s.message));
        QCOMPARE(back, there);
        StoredFigures a, b;
        QVERIFY(readStoredFigures(file, &a));
        QVERIFY(readStoredFigures(again, &b));
        QCOMPARE(b, a);
        // Copying onto the same base is refused before anything is read.
        s = copyBase(file, file, true);
        QVERIFY(!s);
        QCOMPARE(s.message, QStringLiteral("La source et la destination sont la même base : rien n'a été copié."));
    }

    // Every column of both tables lands in its own place through each way rows are written in bulk:
    // a column left out or swapped with another reads back as a different act or entry.
    void everyColumnKeptInPlace_data() {
        QTest::addColumn<QString>("route");
        QTest::newRow("nouveau fichier") << QStringLiteral("nouveau");
        QTest::newRow("copie vers un fichier") << QStringLiteral("copie");
        QTest::newRow("restauration d'une sauvegarde") << QStringLiteral("restauration");
        QTest::newRow("aller et retour par le serveur") << QStringLiteral("serveur");
    }
    void everyColumnKeptInPlace() {
        QFETCH(QString, route);
        if (route == QLatin1String("serveur") && !TempServerDatabase::available())
            QSKIP("OBSLEDGER_TEST_SERVER n'est pas défini");
        // A value of its own in every column.
        Act act;
        act.number = 7;
        act.surname = QStringLiteral("DURAND");
        act.firstName = QStringLiteral("Élise");
        act.date = 45000;
        act.followedBy = QStringLiteral("Dr MARTIN");
        act.performedBy = QStringLiteral("Dr BERTRAND");
        act.act = QStringLiteral("Accouchement");
        act.code = QStringLiteral("JQGD010");
        act.nightOrHoliday = QStringLiteral("N");
        act.secondary = {QStringLiteral("C2"), QStringLiteral("C3"), QStringLiteral("C4"), QStringLiteral("C5"),
                         QStringLiteral("C6")};
        act.price = Money::fromUnits(3135000);
        act.excess = Money::fromUnits(400000);
        act.paidSecu = Money::fromUnits(2195000);
        act.paidComplementary = Money::fromUnits(940000);
        act.paidExcess = Money::fromUnits(350000);
        act.reversed = Money::fromUnits(120000);
        act.reversalDate = 45031;
        // Stored order, label order and catalogue order (INDEX) all differ.
        auto entry = [](const char* label, int index, qint64 units) {
            StoredEntry e;
            e.list = qint64(ReferenceList::SurgicalActs);
            e.label = QString::fromUtf8(label);
            e.code = QStringLiteral("JQGA%1").arg(index);
            e.tariff = Money::fromUnits(units);
            for (size_t i = 0; i < e.excesses.size(); ++i)
                e.excesses[i] = Money::fromUnits(units + qint64(i + 1) * 100);
            e.index = index;
            return e;
        };
        const std::vector<StoredEntry> entries{entry("Forceps", 2, 1000000), entry("Amnioscopie", 3, 2000000),
                                               entry("Césarienne", 1, 3000000)};
        const QString source = m_dir.filePath(QStringLiteral("colonnes-%1.mdb").arg(route));
        Status s = writeNewClinicFile(source, {act}, entries);
        QVERIFY2(s, qPrintable(s.message));
        QString result = source;
        if (route == QLatin1String("copie")) {
            result = m_dir.filePath(QStringLiteral("colonnes-copie-2.mdb"));
            s = copyBase(source, result, false);
        } else if (route == QLatin1String("restauration")) {
            result = m_dir.filePath(QStringLiteral("colonnes-restauree.mdb"));
            s = createFromSnapshot(result, source);
        } else if (route == QLatin1String("serveur")) {
            m_server = std::make_unique<TempServerDatabase>();
            s = copyBase(source, m_server->conninfo(), false);
            result = m_dir.filePath(QStringLiteral("colonnes-retour.mdb"));
            if (s)
                s = copyBase(m_server->conninfo(), result, false);
        }
        QVERIFY2(s, qPrintable(s.message));

        auto store = Store::open(result, &s);
        QVERIFY2(store, qPrintable(s.message));
        Act found;
        bool there = false;
        QVERIFY(store->acts().find(act.number, &found, &there));
        QVERIFY(there);
        QVERIFY(found == act);
        for (const StoredEntry& e : entries) {
            ReferenceEntry read;
            QVERIFY(store->references().find(ReferenceList::SurgicalActs, e.label, &read, &there));
            QVERIFY2(there, qPrintable(e.label));
            QCOMPARE(read.code, e.code);
            QCOMPARE(read.tariff, e.tariff);
            QVERIFY(read.excesses == e.excesses);
        }
        QStringList labels;
        QVERIFY(store->references().labels(ReferenceList::SurgicalActs, ReferenceOrder::ByCatalogue, &labels));
        QCOMPARE(labels,
                 (QStringList{QStringLiteral("Césarienne"), QStringLiteral("Forceps"), QStringLiteral("Amnioscopie")}));
        QVERIFY(store->references().labels(ReferenceList::SurgicalActs, ReferenceOrder::AsStored, &labels));
        QCOMPARE(labels,
                 (QStringList{QStringLiteral("Forceps"), QStringLiteral("Amnioscopie"), QStringLiteral("Césarienne")}));
    }

    // The installer's statements: rows as text, no value as an empty field, on both engines.
    void maintenanceRowsAsText_data() {
        engines();
    }
    void maintenanceRowsAsText() {
        OBS_BASE(location);
        QVERIFY(fillDemoReferences(location));
        Status s;
        auto session = openMaintenanceSession(location, &s);
        QVERIFY2(session, qPrintable(s.message));
        QList<QStringList> rows;
        s = session->run(QStringLiteral("SELECT TEXTE, CCAM, TARIFS FROM MEMO WHERE NUMEROS = 1 ORDER BY TEXTE"),
                         [&](const QStringList& r) { rows << r; });
        QVERIFY2(s, qPrintable(s.message));
        QCOMPARE(rows.size(), 5);
        QCOMPARE(rows.front(), (QStringList{QStringLiteral("Dr BERTRAND"), QString(), QString()}));
        QVERIFY(!session->run(QStringLiteral("SELECT nope"), [](const QStringList&) {}));
    }
};

QTEST_GUILESS_MAIN(TestBulk)
#include "test_bulk.moc"
