// The found rows of a listing as they are kept: texts pooled once, rows packed and read back
// unchanged, the model emptied at once; and the practitioner indexes a file gets, new or old.
#include "TestSupport.h"

#include "domain/ListingModel.h"
#include "store/Bulk.h"
#include "store/Records.h"
#include "store/sqlite/Database.h"
#include "store/sqlite/Schema.h"

#include <QtTest>

using namespace obs;

class TestListingRows : public QObject {
    Q_OBJECT
private slots:
    void poolKeepsEachTextOnce_data();
    void poolKeepsEachTextOnce();
    void poolGrowsWithoutLosingTexts();
    void rowsReadBackAsPushed_data();
    void rowsReadBackAsPushed();
    void rowsShareTheirTextsAndCopyApart();
    void modelClearedAndReplaced();
    void practitionerIndexesOnNewAndOlderFiles();
};

void TestListingRows::poolKeepsEachTextOnce_data() {
    QTest::addColumn<QString>("text");
    QTest::newRow("plain") << QStringLiteral("MARTIN");
    QTest::newRow("accents") << QStringLiteral("Élodie-Noëlle");
    QTest::newRow("apostrophe") << QStringLiteral("Dr D'ORVAL");
    QTest::newRow("outside the basic plane") << QStringLiteral("A\U0001F600B");
    QTest::newRow("empty") << QString();
}

void TestListingRows::poolKeepsEachTextOnce() {
    QFETCH(QString, text);
    const QByteArray bytes = text.toUtf8();
    TextPool pool;
    // The same characters in another allocation each time, as an engine hands them out.
    const QString first = pool.shared(QString(text.constData(), text.size()));
    const QString again = pool.shared(QString(text.constData(), text.size()));
    QCOMPARE(first, text);
    QCOMPARE(again.constData(), first.constData());
    const QByteArray copy(bytes.constData(), bytes.size());
    const QString fromBytes = pool.sharedUtf8(copy.constData(), copy.size());
    QCOMPARE(fromBytes, text);
    QCOMPARE(pool.sharedUtf8(bytes.constData(), bytes.size()).constData(), fromBytes.constData());
    // Bytes that differ only after the first character are another text.
    const QByteArray other = bytes + 'x';
    QCOMPARE(pool.sharedUtf8(other.constData(), other.size()), text + u'x');
}

void TestListingRows::poolGrowsWithoutLosingTexts() {
    TextPool pool;
    std::vector<QString> held;
    for (int i = 0; i < 5000; ++i) {
        const QByteArray name = "NOM" + QByteArray::number(i);
        held.push_back(pool.sharedUtf8(name.constData(), name.size()));
        pool.shared(QString::fromLatin1(name) + u'é');
    }
    for (int i = 0; i < 5000; ++i) {
        const QByteArray name = "NOM" + QByteArray::number(i);
        const QString found = pool.sharedUtf8(name.constData(), name.size());
        QCOMPARE(found, QString::fromLatin1(name));
        QCOMPARE(found.constData(), held[size_t(i)].constData());
        QCOMPARE(pool.shared(QString::fromLatin1(name) + u'é'), QString::fromLatin1(name) + u'é');
    }
}

void TestListingRows::rowsReadBackAsPushed_data() {
    QTest::addColumn<bool>("withDate");
    QTest::addColumn<bool>("withExcess");
    QTest::addColumn<bool>("withRemainder");
    QTest::newRow("all") << true << true << true;
    QTest::newRow("no date") << false << true << false;
    QTest::newRow("no amounts") << true << false << false;
    QTest::newRow("nothing but texts") << false << false << false;
}

void TestListingRows::rowsReadBackAsPushed() {
    QFETCH(bool, withDate);
    QFETCH(bool, withExcess);
    QFETCH(bool, withRemainder);
    // Past one chunk, with values at the edges of what is stored.
    ListingRows rows;
    const int n = 2500;
    for (int i = 0; i < n; ++i) {
        ListingRow r;
        r.number = i == 0 ? std::numeric_limits<qint64>::max() : i;
        r.surname = QStringLiteral("NOM%1").arg(i % 7);
        r.firstName = i % 2 ? QString() : QStringLiteral("Prénom");
        r.code = QStringLiteral("JQGA00%1").arg(i % 3);
        if (withDate)
            r.date = i == 1 ? -693593 : 38353 + i;
        if (withExcess)
            r.excess = Money::fromUnits(i == 2 ? std::numeric_limits<qint64>::min() : -i);
        if (withRemainder)
            r.remainder = Money::fromUnits(i * 100);
        rows.push_back(r);
    }
    QCOMPARE(rows.size(), size_t(n));
    int i = 0;
    for (const ListingRow r : rows) {
        QCOMPARE(r.number, i == 0 ? std::numeric_limits<qint64>::max() : i);
        QCOMPARE(rows.number(size_t(i)), r.number);
        QCOMPARE(r.surname, QStringLiteral("NOM%1").arg(i % 7));
        QCOMPARE(r.firstName, i % 2 ? QString() : QStringLiteral("Prénom"));
        QCOMPARE(r.code, QStringLiteral("JQGA00%1").arg(i % 3));
        QCOMPARE(r.date, withDate ? StoredDay(i == 1 ? -693593 : 38353 + i) : StoredDay());
        QCOMPARE(r.excess, withExcess
                               ? std::optional(Money::fromUnits(i == 2 ? std::numeric_limits<qint64>::min() : -i))
                               : std::nullopt);
        QCOMPARE(r.remainder, withRemainder ? std::optional(Money::fromUnits(i * 100)) : std::nullopt);
        ++i;
    }
    QCOMPARE(i, n);
    QVERIFY_THROWS_EXCEPTION(std::out_of_range, rows.at(size_t(n)));
}

void TestListingRows::rowsShareTheirTextsAndCopyApart() {
    TextPool pool;
    ListingRows rows;
    for (int i = 0; i < 3; ++i) {
        ListingRow r;
        r.number = i;
        r.surname = pool.shared(QStringLiteral("DUPONT"));
        r.firstName = pool.shared(QStringLiteral("Anne"));
        r.code = pool.shared(QStringLiteral("JQGA002"));
        rows.push_back(r);
    }
    QCOMPARE(rows[0].surname.constData(), rows[2].surname.constData());
    // A text starting where a held one does, but shorter, is kept as itself.
    ListingRows edges;
    const QString whole = pool.shared(QStringLiteral("DUPONTEL"));
    ListingRow longer, shorter;
    longer.surname = whole;
    shorter.surname = QString::fromRawData(whole.constData(), 6);
    edges.push_back(longer);
    edges.push_back(shorter);
    QCOMPARE(edges[0].surname, QStringLiteral("DUPONTEL"));
    QCOMPARE(edges[1].surname, QStringLiteral("DUPONT"));
    ListingRows copy = rows;
    ListingRow extra;
    extra.number = 99;
    extra.surname = QStringLiteral("AUTRE");
    copy.push_back(extra);
    QCOMPARE(rows.size(), size_t(3));
    QCOMPARE(copy.size(), size_t(4));
    QCOMPARE(copy[3].surname, QStringLiteral("AUTRE"));
    QCOMPARE(copy[1].firstName, QStringLiteral("Anne"));
    ListingRows moved = std::move(copy);
    QCOMPARE(moved.size(), size_t(4));
    QCOMPARE(copy.size(), size_t(0)); // NOLINT(bugprone-use-after-move): a moved-from list is empty
}

void TestListingRows::modelClearedAndReplaced() {
    ListingModel model;
    ListingNumbersModel numbers(&model);
    ListingRows rows;
    ListingRow r;
    r.number = 42;
    r.surname = QStringLiteral("DUPONT");
    r.firstName = QStringLiteral("Anne");
    r.date = 38353;
    r.code = QStringLiteral("JQGA002");
    r.excess = Money::fromUnits(1500);
    rows.push_back(r);
    model.setRows(ListingKind::Search, std::move(rows));
    QCOMPARE(model.rowCount(), 1);
    QCOMPARE(model.index(0).data(ListingModel::NumberRole).toLongLong(), 42);
    QCOMPARE(numbers.index(0).data().toString(), QStringLiteral("42"));
    QCOMPARE(model.lines(), QStringList{model.index(0).data().toString()});
    QVERIFY(model.lines().front().startsWith(QStringLiteral("DUPONT   Anne   ")));
    model.clear();
    QCOMPARE(model.rowCount(), 0);
    QCOMPARE(numbers.rowCount(), 0);
    QVERIFY(model.rows().empty());
    QVERIFY(!numbers.index(0).data().isValid());
}

// A new file has the indexes by practitioner; a file made before them gets them, and finds the
// practitioner's acts through them by base letters, as the criterion compares.
void TestListingRows::practitionerIndexesOnNewAndOlderFiles() {
    obs::test::TempClinic clinic;
    Status s;
    auto db = Database::open(clinic.dbPath(), &s);
    QVERIFY2(db, qPrintable(s.message));
    auto indexes = [&] {
        QStringList names;
        db->queryRaw(
            QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'index' AND substr(name, 1, 6) = 'ACTES_' "
                           "ORDER BY name"),
            {}, [&](const Row& r) {
                names << r.value(QStringLiteral("name")).toString();
                return true;
            });
        return names;
    };
    QVERIFY(indexes().contains(QStringLiteral("ACTES_SUIVI")));
    QVERIFY(indexes().contains(QStringLiteral("ACTES_FAIT")));
    QVERIFY(db->executeRaw(QStringLiteral("DROP INDEX ACTES_SUIVI")));
    QVERIFY(db->executeRaw(QStringLiteral("DROP INDEX ACTES_FAIT")));
    const QStringList older = indexes();
    // What `obsledger-admin upgrade` does to a file made before them.
    QVERIFY(upgradeBase(clinic.dbPath()));
    QCOMPARE(indexes().size(), older.size() + 2);
    QVERIFY(upgradeBase(clinic.dbPath())); // nothing more to add

    for (const char* who : {"Dr Éloi", "DR ELOI", "Dr Bernard"})
        QVERIFY(
            db->executeRaw(QStringLiteral("INSERT INTO ACTES (Nom, Date, MEDSUIT, MEDACTE) VALUES ('X', 38353, ?, ?)"),
                           {QString::fromUtf8(who), QString::fromUtf8(who)}));
    for (const QString& index : {QStringLiteral("ACTES_SUIVI"), QStringLiteral("ACTES_FAIT")}) {
        const QString column =
            index == QLatin1String("ACTES_SUIVI") ? QStringLiteral("MEDSUIT") : QStringLiteral("MEDACTE");
        int found = 0;
        QVERIFY(
            db->queryRaw(QStringLiteral("SELECT NUMINT FROM ACTES INDEXED BY %1 WHERE %2 = ? COLLATE FRENCH_PRIMARY "
                                        "AND Date BETWEEN 38353 AND 38353")
                             .arg(index, column),
                         {QStringLiteral("dr eloi")}, [&](const Row&) {
                             ++found;
                             return true;
                         }));
        QCOMPARE(found, 2);
    }
}

QTEST_MAIN(TestListingRows)
#include "test_listing_rows.moc"
