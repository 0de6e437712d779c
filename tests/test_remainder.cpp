// What is still to collect: the main window's remainder as payments are typed, and the search
// screen's listing of the acts with something still to collect.
#include "TestSupport.h"

#include "accounts/SearchWindow.h"
#include "app/RecordEditor.h"
#include "common/DayNumber.h"
#include "common/Money.h"
#include "domain/Remainder.h"
#include "widgets/Dialogs.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QtTest>

using namespace obs;
using obs::test::child;
using obs::test::euros;

namespace {

struct Clinic : obs::test::ClinicWithRates {
    qint64 act(const QString& nom, QDate date, const QString& prix, const QString& de, const QString& secu,
               const QString& complementary, const QString& paidDe,
               const QString& performer = QStringLiteral("Dr MARTIN")) {
        return addAct({{QStringLiteral("Nom"), nom},
                       {QStringLiteral("Prenom"), QStringLiteral("Anne")},
                       {QStringLiteral("Date"), QVariant::fromValue<qint64>(dayNumberOf(date))},
                       {QStringLiteral("CCAM1"), QStringLiteral("JQGD010")},
                       {QStringLiteral("MEDSUIT"), QStringLiteral("Dr BERTRAND")},
                       {QStringLiteral("MEDACTE"), performer},
                       {QStringLiteral("PRIX"), euros(prix)},
                       {QStringLiteral("DE"), euros(de)},
                       {QStringLiteral("PAYESECU"), euros(secu)},
                       {QStringLiteral("PAYECOMPLE"), euros(complementary)},
                       {QStringLiteral("PAYEDE"), euros(paidDe)}});
    }
};

} // namespace

class TestRemainder : public QObject {
    Q_OBJECT
private slots:
    void init() { Dialogs::clearShown(); }

    void captions_data() {
        QTest::addColumn<QString>("amount");
        QTest::addColumn<QString>("caption");
        QTest::newRow("decimals") << "163,5"
                                  << "163,5 €";
        QTest::newRow("zero") << "0"
                              << "0 €";
        QTest::newRow("overpaid") << "-12,25"
                                  << "Trop perçu : 12,25 €";
        QTest::newRow("one cent") << "0,01"
                                  << "0,01 €";
    }
    void captions() {
        QFETCH(QString, amount);
        QFETCH(QString, caption);
        QCOMPARE(remainderCaption(Money::parse(amount)), caption);
    }

    // Stored amounts, then payments typed without saving.
    void recordEditorFollowsTyping_data() {
        QTest::addColumn<QString>("secu");
        QTest::addColumn<QString>("complementary");
        QTest::addColumn<QString>("paidDe");
        QTest::addColumn<QString>("due");
        QTest::addColumn<QString>("dueDe");
        QTest::newRow("nothing paid") << "0"
                                      << "0"
                                      << "0"
                                      << "413,5 €"
                                      << "100 €";
        QTest::newRow("part paid") << "200"
                                   << "13,5"
                                   << "40"
                                   << "160 €"
                                   << "60 €";
        QTest::newRow("all paid") << "200"
                                  << "113,5"
                                  << "100"
                                  << "0 €"
                                  << "0 €";
        QTest::newRow("overpaid") << "313,5"
                                  << "0"
                                  << "150"
                                  << "Trop perçu : 50 €"
                                  << "Trop perçu : 50 €";
        QTest::newRow("empty box") << ""
                                   << "13,5"
                                   << ""
                                   << "400 €"
                                   << "100 €";
        QTest::newRow("not an amount") << "12,5,1"
                                       << "0"
                                       << "0"
                                       << ""
                                       << "";
    }
    void recordEditorFollowsTyping() {
        QFETCH(QString, secu);
        QFETCH(QString, complementary);
        QFETCH(QString, paidDe);
        QFETCH(QString, due);
        QFETCH(QString, dueDe);
        Clinic clinic;
        const qint64 number = clinic.act("DUPONT", {2005, 3, 15}, "313,5", "100", "0", "0", "0");
        RecordEditor w(clinic.database(), clinic.browsed());
        QVERIFY(w.load());
        auto* lblDue = child<QLabel>(&w, "LblResteDu");
        auto* lblDueDe = child<QLabel>(&w, "LblResteDE");
        QCOMPARE(lblDue->text(), QString());
        QTest::keyClicks(child<QLineEdit>(&w, "Text1"), QStringLiteral("DUP"));
        QCOMPARE(lblDue->text(), QStringLiteral("413,5 €"));
        QCOMPARE(lblDueDe->text(), QStringLiteral("100 €"));
        child<QLineEdit>(&w, "TxtPSecu")->setText(secu);
        child<QLineEdit>(&w, "TxtPCompl")->setText(complementary);
        child<QLineEdit>(&w, "TxtPDE")->setText(paidDe);
        QCOMPARE(lblDue->text(), due);
        QCOMPARE(lblDueDe->text(), dueDe);
        // Nothing was saved.
        QCOMPARE(clinic.scalar(QStringLiteral("SELECT PAYESECU FROM ACTES WHERE NUMINT = %1").arg(number)).toLongLong(),
                 0);
    }

    void listingOfRemainders() {
        Clinic clinic;
        clinic.act("MOREL", {2005, 4, 1}, "400", "12,5", "400", "0", "0");           // 12,5 still due
        clinic.act("DUPONT", {2005, 3, 15}, "313,5", "100", "200", "13,5", "40");    // 160 still due
        clinic.act("PAYE", {2005, 3, 16}, "313,5", "0", "313,5", "0", "0");          // settled
        clinic.act("TROP", {2005, 3, 17}, "100", "0", "150", "0", "0");              // overpaid
        clinic.act("AUTRE", {2005, 3, 18}, "100", "0", "0", "0", "0", "Dr D'ORVAL"); // another performer
        clinic.act("LATER", {2006, 1, 1}, "999", "0", "0", "0", "0");                // outside the period
        obs::test::SearchScreen s(clinic);
        s.period(QStringLiteral("01/01/2005"), QStringLiteral("31/12/2005"));
        s.click("CmdRestes");
        QCOMPARE(s.lines(), (QStringList{"AUTRE   Anne   18/03/2005, (JQGD010) reste : 100 €",
                                         "DUPONT   Anne   15/03/2005, (JQGD010) reste : 160 €",
                                         "MOREL   Anne   01/04/2005, (JQGD010) reste : 12,5 €"}));
        QCOMPARE(s.totals(), (QStringList{"3", "272,5 €", francsCaption(*Money::parse(QStringLiteral("272,5")))}));
        QCOMPARE(s.lines("List1").size(), 3);

        // The criteria apply, as in the search.
        s.type("CmbPrat2", QStringLiteral("Dr MARTIN"));
        s.click("CmdRestes");
        QCOMPARE(s.lines().size(), 2);
        QCOMPARE(s.totals().at(1), QStringLiteral("172,5 €"));
        QVERIFY(Dialogs::shownTexts().isEmpty());
    }
};

QTEST_MAIN(TestRemainder)
#include "test_remainder.moc"
