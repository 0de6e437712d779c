// Inputs the fuzz targets found faults with, kept as rows so the faults stay mended.
#include "TestSupport.h"
#include "common/DayNumber.h"

#include <QtTest>

using namespace obs;

class TestParsersFuzzFound : public QObject {
    Q_OBJECT
private slots:
    void storedDateOfAnyValue_data();
    void storedDateOfAnyValue();
};

// A date column of a hand-edited base may hold any value SQLite keeps: each comes back as the
// engine gives it and is shown as a date, or as nothing, never converted out of range.
void TestParsersFuzzFound::storedDateOfAnyValue_data() {
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("shown");
    QTest::newRow("day number") << "38353"
                                << "01/01/2005";
    QTest::newRow("day with a time") << "38353.75"
                                     << "01/01/2005";
    QTest::newRow("day 0") << "0"
                           << "00:00:00";
    QTest::newRow("text of a day") << "'40543'"
                                   << "31/12/2010";
    QTest::newRow("infinity") << "CAST('1e999' AS REAL)"
                              << "";
    QTest::newRow("minus infinity") << "-CAST('1e999' AS REAL)"
                                    << "";
    QTest::newRow("text nan") << "'nan'"
                              << "";
    QTest::newRow("text inf") << "'inf'"
                              << "";
    QTest::newRow("huge real") << "CAST('1e300' AS REAL)"
                               << "";
    QTest::newRow("largest integer") << "9223372036854775807"
                                     << "";
    QTest::newRow("smallest integer") << "-9223372036854775808"
                                      << "";
    QTest::newRow("beyond any date") << "1000000000000"
                                     << "";
}

void TestParsersFuzzFound::storedDateOfAnyValue() {
    QFETCH(QString, value);
    QFETCH(QString, shown);
    test::TempClinic clinic;
    const QVariant stored = clinic.scalar(QStringLiteral("SELECT ") + value);
    QVERIFY2(!stored.isNull(), qPrintable(value));
    QCOMPARE(storedDateText(stored), shown);
}

QTEST_MAIN(TestParsersFuzzFound)
#include "test_parsers_fuzzfound.moc"
