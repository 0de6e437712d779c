// The search screen's patient criterion, and the periods it remembers from one opening to the next.
#include "TestSupport.h"

#include "accounts/SearchWindow.h"
#include "common/DayNumber.h"
#include "common/Money.h"
#include "common/Settings.h"
#include "widgets/Dialogs.h"

#include <QComboBox>
#include <QFileInfo>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QtTest>

using namespace obs;
using obs::test::child;

namespace {
struct Clinic : obs::test::ClinicWithRates {
    Clinic() {
        for (const char* nom : {"DUPONT", "DUPRÉ", "Léger", "MARTIN"})
            addAct({{QStringLiteral("Nom"), QString::fromUtf8(nom)},
                    {QStringLiteral("Prenom"), QStringLiteral("Anne")},
                    {QStringLiteral("Date"), QVariant::fromValue<qint64>(dayNumberOf(QDate(2005, 3, 15)))},
                    {QStringLiteral("MEDSUIT"), QStringLiteral("Dr MARTIN")},
                    {QStringLiteral("MEDACTE"), QStringLiteral("Dr MARTIN")},
                    {QStringLiteral("PRIX"), moneyValue(Money::fromEuros(100))}});
    }
};
QStringList surnames(const QStringList& lines) {
    QStringList out;
    for (const QString& l : lines)
        out << l.section(QStringLiteral("   "), 0, 0);
    return out;
}
} // namespace

class TestSearchPatient : public QObject {
    Q_OBJECT
private slots:
    void init() { Dialogs::clearShown(); }

    void patientCriterion_data() {
        QTest::addColumn<QString>("patient");
        QTest::addColumn<QStringList>("found");
        QTest::newRow("empty") << "" << QStringList{"DUPONT", "DUPRÉ", "Léger", "MARTIN"};
        QTest::newRow("lower case") << "dupont" << QStringList{"DUPONT"};
        QTest::newRow("without accent") << "dupre" << QStringList{"DUPRÉ"};
        QTest::newRow("accent typed") << "LÉGER" << QStringList{"Léger"};
        QTest::newRow("wildcard") << "dup*" << QStringList{"DUPONT", "DUPRÉ"};
        QTest::newRow("one letter") << "l?ger" << QStringList{"Léger"};
        QTest::newRow("prefix is not enough") << "DUP" << QStringList{};
        QTest::newRow("quote") << "d'orval" << QStringList{};
    }
    void patientCriterion() {
        QFETCH(QString, patient);
        QFETCH(QStringList, found);
        Clinic clinic;
        obs::test::SearchScreen s(clinic);
        s.period(QStringLiteral("01/01/2005"), QStringLiteral("31/12/2005"));
        s.edit("TxtPatiente")->setText(patient);
        s.click("Command2");
        QCOMPARE(surnames(s.lines()), found);
        QCOMPARE(s.totals().at(0), QString::number(found.size()));
        // Joined with the other criteria.
        s.type("CmbPrat1", QStringLiteral("Dr BERTRAND"));
        s.click("Command2");
        QCOMPARE(s.lines(), QStringList());
        QVERIFY(Dialogs::shownTexts().isEmpty());
        // Clearing the criteria empties it too.
        s.click("Command3");
        QCOMPARE(s.edit("TxtPatiente")->text(), QString());
    }

    void periodsRemembered() {
        Clinic clinic;
        {
            obs::test::SearchScreen first(clinic);
            // The first opening shows the usual dates.
            QCOMPARE(first.edit("TxtDate1")->text(), QStringLiteral("01/01/2004"));
            QCOMPARE(first.edit("TxtDate2")->text(), QStringLiteral("31/12/2010"));
            QCOMPARE(first.edit("TxtDate3")->text(), QStringLiteral("01/01/2004"));
            QCOMPARE(first.edit("TxtDate4")->text(), QStringLiteral("31/12/2010"));
            first.period(QStringLiteral("01/03/2005"), QStringLiteral("31/03/2005"));
            first.click("Command2");
            QCOMPARE(first.lines().size(), 4);
            first.edit("TxtDate3")->setText(QStringLiteral("01/02/2005"));
            first.edit("TxtDate4")->setText(QStringLiteral("28/02/2005"));
            first.pair(QStringLiteral("Dr MARTIN"), QStringLiteral("Dr MARTIN"));
            first.click("CmdDoit");
            // The same periods again: the settings file is left as it is (no rewrite at each click).
            const QFileInfo settings(Settings::fileFor(kSettingsApp));
            const QDateTime written = settings.lastModified();
            QVERIFY(written.isValid());
            QTest::qWait(20);
            first.click("Command2");
            first.click("CmdDoit");
            QCOMPARE(QFileInfo(settings.filePath()).lastModified(), written);
        }
        {
            obs::test::SearchScreen second(clinic);
            QCOMPARE(second.edit("TxtDate1")->text(), QStringLiteral("01/03/2005"));
            QCOMPARE(second.edit("TxtDate2")->text(), QStringLiteral("31/03/2005"));
            QCOMPARE(second.edit("TxtDate3")->text(), QStringLiteral("01/02/2005"));
            QCOMPARE(second.edit("TxtDate4")->text(), QStringLiteral("28/02/2005"));
            // A period that is not a date is not kept.
            second.period(QStringLiteral("01/13/2005"), QStringLiteral("31/03/2005"));
            second.click("Command2");
        }
        obs::test::SearchScreen third(clinic);
        QCOMPARE(third.edit("TxtDate1")->text(), QStringLiteral("01/03/2005"));
        Dialogs::clearShown();
    }
};

QTEST_MAIN(TestSearchPatient)
#include "test_search_patient.moc"
