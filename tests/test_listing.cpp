// The unpaid and excess-fee listings of the search screen.
#include "TestSupport.h"

#include "accounts/SearchWindow.h"
#include "common/DayNumber.h"
#include "common/Money.h"
#include "widgets/Dialogs.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPointer>
#include <QPushButton>
#include <QtTest>

using namespace obs;
using obs::test::child;

namespace {

const QString kSearchCaption = QStringLiteral("Total du montant des actes recherchés  (tarif conventionné)");
const QString kExcessCaption = QStringLiteral("Total du montant des mutuelles ou DE pour les actes recherchés");

struct TempClinic : obs::test::TempClinic {
    TempClinic() {
        QFile rates(appDir() + QStringLiteral("/taux.cmt"));
        if (!rates.open(QIODevice::WriteOnly) || rates.write("\"10\",\"50\"\r\n") != 11)
            qFatal("cannot write the rates file");
    }
    qint64 act(const char* nom, const char* prenom, QDate date, const char* prix, const char* de, const char* secu,
               const char* ccam1 = "JQGA002") {
        return addAct({{QStringLiteral("Nom"), QString::fromUtf8(nom)},
                       {QStringLiteral("Prenom"), QString::fromUtf8(prenom)},
                       {QStringLiteral("Date"), QVariant::fromValue<qint64>(dayNumberOf(date))},
                       {QStringLiteral("CCAM1"), QString::fromUtf8(ccam1)},
                       {QStringLiteral("MEDSUIT"), QStringLiteral("Dr MARTIN")},
                       {QStringLiteral("PRIX"), moneyValue(Money::parse(QString::fromUtf8(prix)))},
                       {QStringLiteral("DE"), moneyValue(Money::parse(QString::fromUtf8(de)))},
                       {QStringLiteral("PAYESECU"), moneyValue(Money::parse(QString::fromUtf8(secu)))}});
    }
};

using obs::test::SearchScreen;

} // namespace

class TestListing : public QObject {
    Q_OBJECT
private slots:
    void unpaidActs();
    void unpaidIgnoresCriteria();
    void excessActs();
    void excessOrderByName();
    void captionFollowsLastListing();
    void nothingToList_data();
    void nothingToList();
};

void TestListing::unpaidActs() {
    TempClinic clinic;
    const qint64 a = clinic.act("DUPONT", "Marie", {2005, 3, 15}, "1000", "0", "0", "JQGA002");
    clinic.act("DURAND", "Léa", {2005, 3, 15}, "2000", "0", "300");
    const qint64 b = clinic.act("BLANC", "Zoé", {2005, 12, 31}, "200", "50", "0", "JQGD010");
    clinic.act("BOYER", "Anne", {2006, 1, 1}, "999", "0", "0");
    SearchScreen s(clinic);
    child<QLineEdit>(s.form, "TxtDate1")->setText(QStringLiteral("01/01/2005"));
    child<QLineEdit>(s.form, "TxtDate2")->setText(QStringLiteral("31/12/2005"));
    s.click("CmdImpayes");
    QCOMPARE(s.lines(), (QStringList{"BLANC   Zoé   31/12/2005, (JQGD010)", "DUPONT   Marie   15/03/2005, (JQGA002)"}));
    QCOMPARE(s.totals(), (QStringList{"2", "1200 €", "7871,48 F"}));
    QCOMPARE(s.lines("List1").at(0), QString::number(b));
    QCOMPARE(s.lines("List1").at(1), QString::number(a));
    QCOMPARE(s.label("Label4")->text(), kSearchCaption);
}

void TestListing::unpaidIgnoresCriteria() {
    TempClinic clinic;
    clinic.act("DUPONT", "Marie", {2005, 3, 15}, "100", "0", "0");
    SearchScreen s(clinic);
    QComboBox* prat = child<QComboBox>(s.form, "CmbPrat1");
    prat->setEditText(QStringLiteral("Dr PERSONNE"));
    child<QComboBox>(s.form, "CmbNF")->setCurrentIndex(1);
    s.click("CmdImpayes");
    QCOMPARE(s.lines().size(), 1);
    s.click("CmdDE");
    QCOMPARE(s.lines().size(), 0);
    QCOMPARE(prat->currentText(), QStringLiteral("Dr PERSONNE"));
    QCOMPARE(child<QComboBox>(s.form, "CmbNF")->currentText(), QStringLiteral("N"));
    s.click("Command2");
    QCOMPARE(s.lines().size(), 0); // the search itself applies them
}

void TestListing::excessActs() {
    TempClinic clinic;
    clinic.act("DUPONT", "Marie", {2005, 3, 15}, "313,5", "150", "300", "JQGA002");
    clinic.act("DURAND", "Léa", {2005, 3, 15}, "400", "0", "0");
    clinic.act("MOREL", "Inès", {2005, 4, 1}, "400", "12,5", "0", "JQGD010");
    SearchScreen s(clinic);
    s.click("CmdDE");
    QCOMPARE(s.lines(), (QStringList{"DUPONT   Marie   15/03/2005 (JQGA002) Mut: 150 €",
                                     "MOREL   Inès   01/04/2005 (JQGD010) Mut: 12,5 €"}));
    QCOMPARE(s.totals(), (QStringList{"2", "162,5 €", francsCaption(Money::parse(QStringLiteral("162,5")).value())}));
    QCOMPARE(s.label("Label4")->text(), kExcessCaption);
}

void TestListing::excessOrderByName() {
    TempClinic clinic;
    clinic.act("MARTIN", "Anne", {2005, 1, 2}, "100", "100", "0");
    clinic.act("dupont", "Zoé", {2005, 1, 3}, "100", "100", "0");
    clinic.act("DUPONT", "Claire", {2005, 1, 4}, "100", "100", "0");
    SearchScreen s(clinic);
    s.click("CmdDE");
    const QStringList lines = s.lines();
    QCOMPARE(lines.size(), 3);
    QVERIFY(lines[0].startsWith(QStringLiteral("DUPONT   Claire")));
    QVERIFY(lines[1].startsWith(QStringLiteral("dupont   Zoé")));
    QVERIFY(lines[2].startsWith(QStringLiteral("MARTIN   Anne")));
    s.click("CmdImpayes");
    QCOMPARE(s.lines().first(), lines[0].section(QStringLiteral(" ("), 0, 0) + QStringLiteral(", (JQGA002)"));
}

void TestListing::captionFollowsLastListing() {
    TempClinic clinic;
    SearchScreen s(clinic);
    s.click("CmdDE");
    QCOMPARE(s.label("Label4")->text(), kExcessCaption);
    s.click("Command2");
    QCOMPARE(s.label("Label4")->text(), kSearchCaption);
    s.click("CmdDE");
    s.click("CmdImpayes");
    QCOMPARE(s.label("Label4")->text(), kSearchCaption);
}

void TestListing::nothingToList_data() {
    QTest::addColumn<QString>("button");
    QTest::newRow("unpaid") << "CmdImpayes";
    QTest::newRow("excess") << "CmdDE";
}

void TestListing::nothingToList() {
    QFETCH(QString, button);
    TempClinic clinic;
    clinic.act("DUPONT", "Marie", {2005, 3, 15}, "100", "0", "70");
    SearchScreen s(clinic);
    s.click("Command2");
    QCOMPARE(s.lines().size(), 1);
    s.click(button.toLatin1().constData());
    QCOMPARE(s.totals(), (QStringList{"0", "0", "0"}));
    QCOMPARE(s.lines().size(), 0);
    QCOMPARE(s.list("List1")->model()->rowCount(), 0);
}

QTEST_MAIN(TestListing)
#include "test_listing.moc"
