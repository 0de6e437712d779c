// Money, francs, dates, the 16-bit conversion, settings and the program's small text files.
#include "common/DayNumber.h"
#include "common/Money.h"
#include "common/QuotedFieldFile.h"
#include "common/Settings.h"

#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

using namespace obs;

class TestCore : public QObject {
    Q_OBJECT
private slots:
    void parseAndShow_data();
    void parseAndShow();
    void francs_data();
    void francs();
    void amountToCents_data();
    void amountToCents();
    void roundings();
    void dayNumbers_data();
    void dayNumbers();
    void storedDates();
    void settingsIgnoreCase();
    void settingsDefaults();
    void quotedFields_data();
    void quotedFields();
    void quotedLineBytes();
};

void TestCore::parseAndShow_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<QString>("shown");
    QTest::newRow("comma") << "313,5" << true << "313,5";
    QTest::newRow("full stop") << "38.40" << true << "38,4";
    QTest::newRow("whole") << "20" << true << "20";
    QTest::newRow("trailing zeros") << "20,00" << true << "20";
    QTest::newRow("leading comma") << ",5" << true << "0,5";
    QTest::newRow("negative") << "-12,25" << true << "-12,25";
    QTest::newRow("four decimals") << "0,0001" << true << "0,0001";
    QTest::newRow("fifth decimal rounds to even") << "0,00005" << true << "0";
    QTest::newRow("fifth decimal rounds up") << "0,00015" << true << "0,0002";
    QTest::newRow("blanks around") << "  12,5 " << true << "12,5";
    QTest::newRow("empty") << "" << false << "";
    QTest::newRow("lone comma") << "," << false << "";
    QTest::newRow("two commas") << "1,2,3" << false << "";
    QTest::newRow("letters") << "12a" << false << "";
    QTest::newRow("thousands blank") << "1 000" << false << "";
}

void TestCore::parseAndShow() {
    QFETCH(QString, typed);
    QFETCH(bool, valid);
    QFETCH(QString, shown);
    const auto m = Money::parse(typed);
    QCOMPARE(m.has_value(), valid);
    if (m)
        QCOMPARE(m->toFrench(), shown);
}

void TestCore::francs_data() {
    QTest::addColumn<QString>("euros");
    QTest::addColumn<QString>("francs");
    QTest::newRow("313,5") << "313,5"
                           << "2056,43 F";
    QTest::newRow("413,5") << "413,5"
                           << "2712,38 F";
    QTest::newRow("1000") << "1000"
                          << "6559,57 F";
    QTest::newRow("1200") << "1200"
                          << "7871,48 F";
    QTest::newRow("450") << "450"
                         << "2951,81 F";
    QTest::newRow("40") << "40"
                        << "262,38 F";
    QTest::newRow("12,5") << "12,5"
                          << "81,99 F";
    // 0,5 x 6.55957 = 3.279785 ; 0,25 -> 1.6398925
    QTest::newRow("half cent") << "0,25"
                               << "1,64 F";
    QTest::newRow("zero") << "0"
                          << "0 F";
    QTest::newRow("negative") << "-450"
                              << "-2951,81 F";
}

void TestCore::francs() {
    QFETCH(QString, euros);
    QFETCH(QString, francs);
    QCOMPARE(francsCaption(*Money::parse(euros)), francs);
}

void TestCore::amountToCents_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<QString>("stored");
    QTest::newRow("empty") << "" << true << "0";
    QTest::newRow("blanks") << "  " << true << "0";
    QTest::newRow("cents kept") << "332,56" << true << "332,56";
    QTest::newRow("half euro kept") << "313,5" << true << "313,5";
    QTest::newRow("338,65") << "338,65" << true << "338,65";
    QTest::newRow("half cent to even, down") << "334,425" << true << "334,42";
    QTest::newRow("half cent to even, up") << "334,435" << true << "334,44";
    QTest::newRow("beyond a 16-bit number") << "40000,5" << true << "40000,5";
    QTest::newRow("upper bound") << "10000000" << true << "10000000";
    QTest::newRow("rounds back to the bound") << "10000000,004" << true << "10000000";
    QTest::newRow("over") << "10000000,01" << false << "";
    QTest::newRow("lower bound") << "-10000000" << true << "-10000000";
    QTest::newRow("under") << "-10000000,01" << false << "";
    QTest::newRow("not a number") << "1,2,3" << false << "";
    QTest::newRow("lone comma") << "," << false << "";
}

void TestCore::amountToCents() {
    QFETCH(QString, text);
    QFETCH(bool, valid);
    QFETCH(QString, stored);
    const auto v = obs::amountToCents(text);
    QCOMPARE(v.has_value(), valid);
    if (v)
        QCOMPARE(v->toFrench(), stored);
}

void TestCore::roundings() {
    QCOMPARE(Money::parse("0,125")->roundedTo2().toFrench(), QStringLiteral("0,12"));
    QCOMPARE(Money::parse("0,135")->roundedTo2().toFrench(), QStringLiteral("0,14"));
    QCOMPARE(Money::parse("25,15")->toFrenchFixed2(), QStringLiteral("25,15"));
    QCOMPARE(Money::parse("19")->toFrenchFixed2(), QStringLiteral("19,00"));
    QCOMPARE(Money::parse("41,8")->half().toFrench(), QStringLiteral("20,9"));
    // (1000 - 100) / 2 = 450: the clinic's share and the practitioners' share.
    const Money v = Money::fromEuros(1000);
    const Money k = *v.percent(*Money::parse("10"));
    QCOMPARE(v.minus(k)->percent(*Money::parse("50"))->toFrench(), QStringLiteral("450"));
}

void TestCore::dayNumbers_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<qint64>("day");
    QTest::newRow("1 January 2005") << "01/01/2005" << qint64(38353);
    QTest::newRow("15 March 2005") << "15/03/2005" << qint64(38426);
    QTest::newRow("one digit day and month") << "1/1/2005" << qint64(38353);
    QTest::newRow("31 December 2010") << "31/12/2010" << qint64(40543);
    QTest::newRow("31 February") << "31/02/2005" << qint64(0);
    QTest::newRow("32 January") << "32/01/2005" << qint64(0);
    QTest::newRow("empty") << "" << qint64(0);
    QTest::newRow("two-digit year") << "01/01/05" << qint64(0);
    QTest::newRow("text") << "demain" << qint64(0);
}

void TestCore::dayNumbers() {
    QFETCH(QString, typed);
    QFETCH(qint64, day);
    QCOMPARE(dayNumberOfTypedOrZero(typed), day);
    if (day != 0)
        QCOMPARE(frenchDate(dateOfDayNumber(day)), QDate::fromString(typed, "d/M/yyyy").toString("dd/MM/yyyy"));
}

void TestCore::storedDates() {
    QCOMPARE(storedDateText(QVariant::fromValue<qint64>(38353)), QStringLiteral("01/01/2005"));
    QCOMPARE(storedDateText(QVariant::fromValue<qint64>(0)), QStringLiteral("00:00:00"));
    QCOMPARE(storedDateText(QVariant()), QString());
    QCOMPARE(storedDateText(QVariant(QStringLiteral("abc"))), QString());
}

void TestCore::settingsIgnoreCase() {
    QTemporaryDir dir;
    qputenv("XDG_CONFIG_HOME", dir.path().toUtf8());
    QVERIFY(Settings::setValue("MARIGOLD", "OBSLEDGER", "SAUVE", "/media/cle"));
    // Written under other spellings, read back under others: one entry.
    QVERIFY(Settings::setValue("Marigold", "obsledger", "Sauve", "/media/autre"));
    QCOMPARE(Settings::value("marigold", "OBSLEDGER", "sauve"), QStringLiteral("/media/autre"));
    QCOMPARE(Settings::backupFolder(), QStringLiteral("/media/autre"));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{"MARIGOLD.ini"});
    QVERIFY(Settings::setDatabasePath("/srv/compta/OBSLEDGER.mdb"));
    QCOMPARE(Settings::databasePath(), QStringLiteral("/srv/compta/OBSLEDGER.mdb"));
    QCOMPARE(Settings::backupFolder(), QStringLiteral("/media/autre"));
    // Another section keeps its own keys.
    QVERIFY(Settings::setValue("MARIGOLD", "AUTRE", "CHEMIN", "x"));
    QCOMPARE(Settings::databasePath(), QStringLiteral("/srv/compta/OBSLEDGER.mdb"));
    // A file written by hand in lower case is found too.
    QFile::rename(dir.filePath("MARIGOLD.ini"), dir.filePath("marigold.ini"));
    QCOMPARE(Settings::databasePath(), QStringLiteral("/srv/compta/OBSLEDGER.mdb"));
}

void TestCore::settingsDefaults() {
    QTemporaryDir dir;
    qputenv("XDG_CONFIG_HOME", dir.path().toUtf8());
    qputenv("OBSLEDGER_APPDIR", "/opt/obsledger");
    QCOMPARE(Settings::databasePath(), QStringLiteral("/opt/obsledger"));
    QCOMPARE(Settings::backupFolder(), QString());
    // An empty folder is stored too: it clears the backup folder.
    QVERIFY(Settings::setBackupFolder(QString()));
    QCOMPARE(Settings::backupFolder(), QString());
    qunsetenv("OBSLEDGER_APPDIR");
}

void TestCore::quotedFields_data() {
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QStringList>("fields");
    QTest::newRow("quoted") << QByteArray("\"10\",\"50\"\r\n") << QStringList{"10", "50"};
    QTest::newRow("comma inside quotes") << QByteArray("\"12,5\",\"40\"\r\n") << QStringList{"12,5", "40"};
    QTest::newRow("unquoted") << QByteArray("10,50\r\n") << QStringList{"10", "50"};
    QTest::newRow("unquoted with blanks") << QByteArray(" 10 , 50\n") << QStringList{"10", "50"};
    QTest::newRow("single") << QByteArray("\"10\"\r\n") << QStringList{"10"};
    QTest::newRow("empty field") << QByteArray("\"20\",\"\",\"2\"\r\n") << QStringList{"20", "", "2"};
    QTest::newRow("two lines") << QByteArray("\"1\",\"2\"\r\n\"3\",\"4\"\r\n") << QStringList{"1", "2", "3", "4"};
    QTest::newRow("empty file") << QByteArray() << QStringList{};
    QTest::newRow("latin text") << QByteArray("\"Indemnit\xe9\"\r\n") << QStringList{"Indemnité"};
}

void TestCore::quotedFields() {
    QFETCH(QByteArray, content);
    QFETCH(QStringList, fields);
    QCOMPARE(parseQuotedFields(content), fields);
}

void TestCore::quotedLineBytes() {
    QTemporaryDir dir;
    const QString path = dir.filePath("taux.cmt");
    QString error;
    QVERIFY(writeQuotedFieldLine(path, {"10", "50"}, &error));
    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), QByteArray("\"10\",\"50\"\r\n"));
    QCOMPARE(readQuotedFields(path).fields, (QStringList{"10", "50"}));
    QVERIFY(!readQuotedFields(dir.filePath("absent.cmt")).found);
    // A folder that cannot be written: an error, no file.
    QVERIFY(!writeQuotedFieldLine(dir.filePath("nope/taux.cmt"), {"1"}, &error));
    QVERIFY(!error.isEmpty());
}

QTEST_GUILESS_MAIN(TestCore)
#include "test_core.moc"
