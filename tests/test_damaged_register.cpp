// The former register damaged: a fixed set of copies of its Access file with bytes flipped, made
// here from the fixture. Each is refused, leaving no file, or imported with every value within
// what an act can hold.
#include "TestSupport.h"

#include "common/DayNumber.h"
#include "domain/LegacyImport.h"
#include "store/sqlite/Database.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QtTest>

#include <random>

using namespace obs;

class TestDamagedRegister : public QObject {
    Q_OBJECT
private slots:
    void flippedBytes_data();
    void flippedBytes();
};

void TestDamagedRegister::flippedBytes_data() {
    QTest::addColumn<QList<qint64>>("offsets");
    QTest::addColumn<QList<int>>("masks");
    const qint64 size = QFileInfo(obs::test::legacyFixture("large.mdb")).size();
    // Always the same copies: a fixed seed. The first two pages (the file's header and its table
    // of tables) are spared one time in two, so that most copies reach the rows.
    std::mt19937 random(20261208);
    for (int copy = 1; copy <= 8; ++copy) {
        const int flips = 1 + int(random() % 4);
        const qint64 from = copy % 2 ? 0 : 2 * 4096;
        QList<qint64> offsets;
        QList<int> masks;
        for (int i = 0; i < flips; ++i) {
            offsets << from + qint64(random() % quint64(size - from));
            masks << 1 + int(random() % 255);
        }
        QTest::addRow("copie %02d, %d octet(s)", copy, flips) << offsets << masks;
    }
}

void TestDamagedRegister::flippedBytes() {
    QFETCH(QList<qint64>, offsets);
    QFETCH(QList<int>, masks);
    QTemporaryDir dir;
    QFile original(obs::test::legacyFixture("large.mdb"));
    QVERIFY(original.open(QIODevice::ReadOnly));
    QByteArray bytes = original.readAll();
    for (qsizetype i = 0; i < offsets.size(); ++i)
        bytes[offsets[i]] = char(bytes[offsets[i]] ^ masks[i]);
    const QString damaged = dir.filePath(QStringLiteral("ancien.mdb"));
    QFile copy(damaged);
    QVERIFY(copy.open(QIODevice::WriteOnly) && copy.write(bytes) == bytes.size());
    copy.close();

    const QString base = dir.filePath(QStringLiteral("OBSLEDGER.mdb"));
    LegacyImportReport report;
    QString why;
    if (!importLegacyRegister(damaged, base, false, &report, &why)) {
        // Refused in French, nothing made.
        QVERIFY(!why.isEmpty());
        QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                 QStringList{QStringLiteral("ancien.mdb")});
        return;
    }
    QVERIFY(report.matches);
    Status s;
    auto db = Database::open(base, &s);
    QVERIFY2(db, qPrintable(s.message));
    const qint64 lastDay = dayNumberOf(QDate::currentDate().addYears(2));
    const QString amount = QStringLiteral("abs(coalesce(%1, 0)) > 10000000000");
    const QString day = QStringLiteral("coalesce(%1, 0) < 0 OR coalesce(%1, 0) > %2");
    QStringList beyond;
    for (const char* c : {"PRIX", "DE", "PAYESECU", "PAYECOMPLE", "PAYEDE", "REVERSE"})
        beyond << amount.arg(QLatin1String(c));
    beyond << day.arg(QStringLiteral("Date")).arg(lastDay) << day.arg(QStringLiteral("DateRev")).arg(lastDay)
           << QStringLiteral("NUMINT <= 0");
    QVariant n;
    QVERIFY(db->scalar(QStringLiteral("SELECT count(*) FROM ACTES WHERE ") + beyond.join(QStringLiteral(" OR ")), &n));
    QCOMPARE(n.toLongLong(), 0);
    beyond.clear();
    for (const char* c : {"TARIFS", "MUT1", "MUT2", "MUT3", "MUT4", "MUT5", "MUT6"})
        beyond << amount.arg(QLatin1String(c));
    QVERIFY(db->scalar(QStringLiteral("SELECT count(*) FROM MEMO WHERE ") + beyond.join(QStringLiteral(" OR ")), &n));
    QCOMPARE(n.toLongLong(), 0);
}

QTEST_MAIN(TestDamagedRegister)
#include "test_damaged_register.moc"
