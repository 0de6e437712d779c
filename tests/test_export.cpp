// The export of the found acts for a spreadsheet: the file read back field by field, and the
// search screen's button writing it.
#include "TestSupport.h"

#include "accounts/SearchWindow.h"
#include "common/DayNumber.h"
#include "common/Money.h"
#include "domain/ActsCsv.h"
#include "widgets/Dialogs.h"

#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QtTest>

using namespace obs;
using obs::test::child;

namespace {

Act sampleAct() {
    Act a;
    a.number = 42;
    a.surname = QStringLiteral("DUPRÉ");
    a.firstName = QStringLiteral("Anne-Marie");
    a.date = dayNumberOf(QDate(2005, 3, 15));
    a.followedBy = QStringLiteral("Dr MARTIN");
    a.performedBy = QStringLiteral("Dr D'ORVAL");
    a.act = QStringLiteral("Accouchement simple");
    a.code = QStringLiteral("JQGD010");
    a.nightOrHoliday = QStringLiteral("N");
    a.secondary[0] = QStringLiteral("JQGD002  Délivrance artificielle 20,9");
    a.price = Money::parse(QStringLiteral("313,5"));
    a.excess = Money::parse(QStringLiteral("100"));
    a.paidSecu = Money::parse(QStringLiteral("200"));
    a.paidComplementary = Money::parse(QStringLiteral("13,5"));
    a.paidExcess = Money::parse(QStringLiteral("40"));
    a.reversed = Money::parse(QStringLiteral("25,25"));
    a.reversalDate = dayNumberOf(QDate(2005, 4, 2));
    return a;
}

} // namespace

class TestExport : public QObject {
    Q_OBJECT
private slots:
    void init() { Dialogs::clearShown(); }

    void fieldsReadBack_data() {
        QTest::addColumn<QString>("surname");
        QTest::addColumn<QString>("readSurname");
        QTest::newRow("accents") << "DUPRÉ Léa"
                                 << "DUPRÉ Léa";
        QTest::newRow("semicolon") << "A;B"
                                   << "A;B";
        QTest::newRow("quote") << "L'\"ÉTÉ\""
                               << "L'\"ÉTÉ\"";
        QTest::newRow("line break") << "DEUX\r\nLIGNES"
                                    << "DEUX\r\nLIGNES";
        QTest::newRow("formula") << "=HYPERLINK(\"x\")"
                                 << "'=HYPERLINK(\"x\")";
        QTest::newRow("plus") << "+33"
                              << "'+33";
        QTest::newRow("minus") << "-1"
                               << "'-1";
        QTest::newRow("at") << "@SUM(A1)"
                            << "'@SUM(A1)";
        QTest::newRow("empty") << ""
                               << "";
    }
    void fieldsReadBack() {
        QFETCH(QString, surname);
        QFETCH(QString, readSurname);
        Act a = sampleAct();
        a.surname = surname;
        Act b = sampleAct();
        b.number = 43;
        b.price.reset();
        b.date.reset();
        const QList<QStringList> rows = obs::test::readCsv(ActsCsv::document({a, b}));
        QCOMPARE(rows.size(), 3);
        QCOMPARE(rows[0], ActsCsv::header());
        QCOMPARE(rows[0].size(), 22);
        const QStringList expected{"42",
                                   readSurname,
                                   "Anne-Marie",
                                   "15/03/2005",
                                   "Dr MARTIN",
                                   "Dr D'ORVAL",
                                   "Accouchement simple",
                                   "JQGD010",
                                   "N",
                                   "JQGD002  Délivrance artificielle 20,9",
                                   "",
                                   "",
                                   "",
                                   "",
                                   "313,5",
                                   "100",
                                   "200",
                                   "13,5",
                                   "40",
                                   "160",
                                   "25,25",
                                   "02/04/2005"};
        QCOMPARE(rows[1], expected);
        QCOMPARE(rows[2].at(0), QStringLiteral("43"));
        QCOMPARE(rows[2].at(3), QString());  // no date
        QCOMPARE(rows[2].at(14), QString()); // no amount
        QCOMPARE(rows[2].at(19), QStringLiteral("-153,5"));
    }

    void searchScreenExports() {
        obs::test::TempClinic clinic;
        clinic.writeRates();
        for (const char* nom : {"=CMD|' /C calc'!A0", "DUPONT"})
            clinic.addAct({{QStringLiteral("Nom"), QString::fromUtf8(nom)},
                           {QStringLiteral("Prenom"), QStringLiteral("Anne")},
                           {QStringLiteral("Date"), QVariant::fromValue<qint64>(dayNumberOf(QDate(2005, 3, 15)))},
                           {QStringLiteral("PRIX"), moneyValue(Money::fromEuros(100))}});
        obs::test::SearchScreen s(clinic);
        s.period(QStringLiteral("01/01/2005"), QStringLiteral("31/12/2005"));

        // Nothing found, nothing written.
        s.click("CmdExporter");
        QCOMPARE(Dialogs::lastText(), QStringLiteral("La liste est vide : il n'y a rien à exporter."));

        s.click("Command2");
        const QString path = clinic.file(QStringLiteral("export.csv"));
        Dialogs::queueSaveFile(path);
        s.click("CmdExporter");
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QList<QStringList> rows = obs::test::readCsv(f.readAll());
        QCOMPARE(rows.size(), 3);
        QCOMPARE(rows[1].at(1), QStringLiteral("'=CMD|' /C calc'!A0"));
        QCOMPARE(rows[2].at(1), QStringLiteral("DUPONT"));
        QCOMPARE(rows[2].at(14), QStringLiteral("100"));

        // Cancelled: no message, the file stays.
        Dialogs::clearShown();
        Dialogs::queueSaveFile(QString());
        s.click("CmdExporter");
        QCOMPARE(Dialogs::shownTexts().size(), 1); // the question only

        // A folder that does not exist: said plainly.
        Dialogs::clearShown();
        Dialogs::queueSaveFile(clinic.file(QStringLiteral("absent/export.csv")));
        s.click("CmdExporter");
        QVERIFY2(Dialogs::lastText().startsWith(QStringLiteral("Le fichier « ")), qPrintable(Dialogs::lastText()));
        QVERIFY(Dialogs::lastText().contains(QStringLiteral("n'a pas pu être écrit")));
        Dialogs::clearShown();
    }

    void commandLineExport() {
        obs::test::TempClinic clinic;
        const auto add = [&](const char* nom, QDate date, const char* performer) {
            clinic.addAct({{QStringLiteral("Nom"), QString::fromUtf8(nom)},
                           {QStringLiteral("Date"), QVariant::fromValue<qint64>(dayNumberOf(date))},
                           {QStringLiteral("MEDACTE"), QString::fromUtf8(performer)},
                           {QStringLiteral("PRIX"), moneyValue(Money::parse(QStringLiteral("313,5")))}});
        };
        add("DUPONT", QDate(2005, 3, 15), "Dr MARTIN");
        add("LÉGER", QDate(2005, 3, 16), "Dr D'ORVAL");
        add("APRES", QDate(2006, 1, 1), "Dr MARTIN");
        const auto run = [&](const QStringList& args, QByteArray* out) {
            QProcess p;
            p.start(QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("obsledger-admin")), args);
            if (!p.waitForFinished(30000))
                return -1;
            *out = p.readAllStandardOutput();
            return p.exitCode();
        };
        QByteArray out;
        QCOMPARE(run({"export", clinic.location(), "--du", "01/01/2005", "--au", "31/12/2005"}, &out), 0);
        QList<QStringList> rows = obs::test::readCsv(out);
        QCOMPARE(rows.size(), 3);
        QCOMPARE(rows[1].at(1), QStringLiteral("DUPONT"));
        QCOMPARE(rows[2].at(1), QStringLiteral("LÉGER"));
        QCOMPARE(rows[2].at(14), QStringLiteral("313,5"));
        QCOMPARE(
            run({"export", clinic.location(), "--du", "01/01/2005", "--au", "31/12/2006", "--praticien", "dr martin"},
                &out),
            0);
        rows = obs::test::readCsv(out);
        QCOMPARE(rows.size(), 3);
        QCOMPARE(rows[2].at(1), QStringLiteral("APRES"));
        QCOMPARE(run({"export", clinic.location(), "--du", "31/02/2005", "--au", "31/12/2005"}, &out), 2);
        QCOMPARE(run({"export", clinic.file(QStringLiteral("absent.mdb")), "--du", "01/01/2005", "--au", "31/12/2005"},
                     &out),
                 1);
    }
};

QTEST_MAIN(TestExport)
#include "test_export.moc"
