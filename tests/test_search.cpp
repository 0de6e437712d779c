// The search screen: loading, the period and criteria, count and totals, line forms, clearing.
#include "TestSupport.h"

#include "accounts/SearchWindow.h"
#include "app/RecordEditor.h"
#include "common/DayNumber.h"
#include "common/Money.h"
#include "domain/DemoData.h"
#include "widgets/Dialogs.h"

#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPointer>
#include <QPushButton>
#include <QtTest>

using namespace obs;
using obs::test::child;

namespace {

using Clinic = obs::test::ClinicWithRates;

const QString kBadDate = QStringLiteral("La Date est saisie selon un mode incorrect. Veuillez corriger.");

struct Act {
    QString nom = QStringLiteral("DUPONT");
    QString prenom = QStringLiteral("Marie");
    QDate date{2005, 3, 15};
    QString suit;
    QString done;
    QString acte = QStringLiteral("Césarienne programmée");
    QString ccam1 = QStringLiteral("JQGA002");
    QString nf;
    QString prix = QStringLiteral("100");
    QString de = QStringLiteral("0");
    QString secu = QStringLiteral("0");
};

qint64 add(Clinic& clinic, const Act& a) {
    Fields f{{QStringLiteral("Nom"), a.nom},
             {QStringLiteral("Prenom"), a.prenom},
             {QStringLiteral("MEDSUIT"), a.suit},
             {QStringLiteral("MEDACTE"), a.done},
             {QStringLiteral("Acte"), a.acte},
             {QStringLiteral("CCAM1"), a.ccam1},
             {QStringLiteral("NF"), a.nf},
             {QStringLiteral("PRIX"), moneyValue(Money::parse(a.prix))},
             {QStringLiteral("PAYESECU"), moneyValue(Money::parse(a.secu))}};
    f.emplace_back(QStringLiteral("DE"), a.de.isEmpty() ? QVariant() : moneyValue(Money::parse(a.de)));
    f.emplace_back(QStringLiteral("Date"),
                   a.date.isValid() ? QVariant::fromValue<qint64>(dayNumberOf(a.date)) : QVariant());
    return clinic.addAct(f);
}

using obs::test::SearchScreen;

QStringList names(const QStringList& lines) {
    QStringList out;
    for (const QString& l : lines)
        out << l.section(QStringLiteral("   "), 0, 0);
    out.sort();
    return out;
}

} // namespace

class TestSearch : public QObject {
    Q_OBJECT
private slots:
    void loadFillsListsEmpty();
    void periodBoundsIncluded();
    void criteria_data();
    void criteria();
    void typedTextsStayOutOfLists();
    void invalidPeriodKeepsResults_data();
    void invalidPeriodKeepsResults();
    void totalsInEurosAndFrancs();
    void nothingFound();
    void searchLineForms_data();
    void searchLineForms();
    void hiddenListInStep();
    void clearing();
    void closingShowsRecordEditor();
};

void TestSearch::loadFillsListsEmpty() {
    Clinic clinic;
    clinic.addMemo(1, QStringLiteral("Dr MARTIN"));
    clinic.addMemo(1, QStringLiteral("Dr BERTRAND"));
    clinic.addMemo(1, QStringLiteral("Dr D'ORVAL"));
    clinic.addMemo(2, QStringLiteral("Révision utérine"));
    clinic.addMemo(2, QStringLiteral("Accouchement unique"));
    clinic.addMemo(3, QStringLiteral("Hystérectomie totale"));
    SearchScreen s(clinic);
    QCOMPARE(s.form->windowTitle(), QStringLiteral("Recherches et reversements"));
    const QStringList practitioners{QStringLiteral("Dr BERTRAND"), QStringLiteral("Dr D'ORVAL"),
                                    QStringLiteral("Dr MARTIN")};
    for (const char* box : {"CmbPrat1", "CmbPrat2", "CmbPPrat1", "CmbPPrat2"}) {
        QComboBox* c = s.combo(box);
        QStringList items;
        for (int i = 0; i < c->count(); ++i)
            items << c->itemText(i);
        QCOMPARE(items, practitioners);
        QVERIFY2(c->currentText().isEmpty(), box);
        QVERIFY(c->isEditable());
    }
    QCOMPARE(s.combo("CmbActes")->count(), 2); // surgery acts are not offered
    QCOMPARE(s.combo("CmbActes")->itemText(0), QStringLiteral("Accouchement unique"));
    QVERIFY(s.combo("CmbActes")->currentText().isEmpty());
    QCOMPARE(s.combo("CmbNF")->count(), 2);
    QCOMPARE(s.combo("CmbNF")->itemText(0), QStringLiteral("F"));
    QCOMPARE(s.combo("CmbNF")->itemText(1), QStringLiteral("N"));
    QVERIFY(s.combo("CmbNF")->currentText().isEmpty());
    QCOMPARE(s.edit("TxtDate1")->text(), QStringLiteral("01/01/2004"));
    QCOMPARE(s.edit("TxtDate2")->text(), QStringLiteral("31/12/2010"));
    QCOMPARE(s.edit("TxtDate3")->text(), QStringLiteral("01/01/2004"));
    QCOMPARE(s.edit("TxtDate4")->text(), QStringLiteral("31/12/2010"));
    QCOMPARE(s.edit("TxtDateRev")->text(), frenchDate(QDate::currentDate()));
    QCOMPARE(s.label("Label4")->text(), QStringLiteral("Total du montant des actes recherchés  (tarif conventionné)"));
    QCOMPARE(s.label("Label2")->text(), QStringLiteral("Nbre.  trouvé"));
    QCOMPARE(s.label("Label13")->text(),
             QStringLiteral("Le médecin effectuant un acte pour un médecin remplacé (ex: 1.000 €), lui doit le "
                            "pourcentage indiqué (ex: 50%), de la valeur de l'acte, diminué du pourcentage que le "
                            "médecin remplaçant verse à la clinique sur cet acte (ex: 10%). Soit :  (1000 - 100) / 2 = "
                            "450 €"));
    QVERIFY(s.list("List2")->model()->rowCount() == 0 && s.list("List1")->model()->rowCount() == 0);
    QVERIFY(s.list("List1")->isHidden());
}

void TestSearch::periodBoundsIncluded() {
    Clinic clinic;
    add(clinic, {.nom = QStringLiteral("AVANT"), .date = {2004, 12, 31}, .prix = QStringLiteral("1")});
    add(clinic, {.nom = QStringLiteral("PREMIER"), .date = {2005, 1, 1}, .prix = QStringLiteral("100")});
    add(clinic, {.nom = QStringLiteral("MILIEU"), .date = {2005, 6, 15}, .prix = QStringLiteral("200,5")});
    add(clinic, {.nom = QStringLiteral("DERNIER"), .date = {2005, 12, 31}, .prix = QStringLiteral("300")});
    add(clinic, {.nom = QStringLiteral("APRES"), .date = {2006, 1, 1}, .prix = QStringLiteral("1")});
    SearchScreen s(clinic);
    s.period(QStringLiteral("01/01/2005"), QStringLiteral("31/12/2005"));
    s.click("Command2");
    QCOMPARE(names(s.lines()), (QStringList{"DERNIER", "MILIEU", "PREMIER"}));
    QCOMPARE(s.label("Label1")->text(), QStringLiteral("3"));
    QCOMPARE(s.label("LblTotalActes")->text(), QStringLiteral("600,5 €"));
    QVERIFY(Dialogs::shownTexts().isEmpty());
}

void TestSearch::criteria_data() {
    QTest::addColumn<QString>("followUp");
    QTest::addColumn<QString>("performer");
    QTest::addColumn<QString>("act");
    QTest::addColumn<QString>("nf");
    QTest::addColumn<QStringList>("found");

    QTest::newRow("none") << ""
                          << ""
                          << ""
                          << "" << QStringList{"A", "B", "C", "D", "E"};
    QTest::newRow("whole name, any case") << "MART"
                                          << ""
                                          << ""
                                          << "" << QStringList{"A", "C"};
    QTest::newRow("typed wildcard *") << "MART*"
                                      << ""
                                      << ""
                                      << "" << QStringList{"A", "B", "C"};
    QTest::newRow("typed wildcard ?") << "MAR?"
                                      << ""
                                      << ""
                                      << "" << QStringList{"A", "C"};
    QTest::newRow("apostrophe follow-up") << "D'ORVAL"
                                          << ""
                                          << ""
                                          << "" << QStringList{"D"};
    QTest::newRow("apostrophe performer") << ""
                                          << "D'ORVAL"
                                          << ""
                                          << "" << QStringList{"C"};
    QTest::newRow("act prefix") << ""
                                << ""
                                << "CES"
                                << "" << QStringList{"A", "D"};
    QTest::newRow("act whole label") << ""
                                     << ""
                                     << "Accouchement unique"
                                     << "" << QStringList{"B"};
    QTest::newRow("night") << ""
                           << ""
                           << ""
                           << "N" << QStringList{"A", "D"};
    QTest::newRow("holiday") << ""
                             << ""
                             << ""
                             << "F" << QStringList{"B"};
    QTest::newRow("performer and holiday") << ""
                                           << "BERTRAND"
                                           << ""
                                           << "F" << QStringList{"B"};
    QTest::newRow("follow-up and performer") << "mart"
                                             << "D'ORVAL"
                                             << ""
                                             << "" << QStringList{"C"};
    QTest::newRow("all four") << "MART"
                              << "BERTRAND"
                              << "Cés"
                              << "N" << QStringList{"A"};
    QTest::newRow("all four, no match") << "MART"
                                        << "BERTRAND"
                                        << "Acc"
                                        << "N" << QStringList{};
    QTest::newRow("quote cannot widen") << "x') OR ('1'='1"
                                        << ""
                                        << ""
                                        << "" << QStringList{};
    QTest::newRow("quote cannot break") << "'"
                                        << ""
                                        << ""
                                        << "" << QStringList{};
    QTest::newRow("empty name is not a criterion") << ""
                                                   << ""
                                                   << ""
                                                   << "" << QStringList{"A", "B", "C", "D", "E"};
}

void TestSearch::criteria() {
    QFETCH(QString, followUp);
    QFETCH(QString, performer);
    QFETCH(QString, act);
    QFETCH(QString, nf);
    QFETCH(QStringList, found);
    Clinic clinic;
    for (const char* p : {"MART", "MARTIN", "BERTRAND", "D'ORVAL"})
        clinic.addMemo(1, QString::fromUtf8(p));
    clinic.addMemo(2, QStringLiteral("Césarienne programmée"));
    clinic.addMemo(2, QStringLiteral("Accouchement unique"));
    add(clinic, {.nom = "A", .suit = "MART", .done = "BERTRAND", .acte = "Césarienne programmée", .nf = "N"});
    add(clinic, {.nom = "B", .suit = "MARTIN", .done = "BERTRAND", .acte = "Accouchement unique", .nf = "F"});
    add(clinic, {.nom = "C", .suit = "mart", .done = "D'ORVAL", .acte = "Accouchement gémellaire", .nf = ""});
    add(clinic, {.nom = "D", .suit = "D'ORVAL", .done = "MART", .acte = "CESARIENNE en urgence", .nf = "N"});
    add(clinic, {.nom = "E", .suit = "", .done = "", .acte = "Révision utérine", .nf = ""});
    add(clinic, {.nom = "OUT", .date = {2011, 1, 1}, .suit = "MART", .done = "BERTRAND", .nf = "N"});
    SearchScreen s(clinic);
    s.type("CmbPrat1", followUp);
    s.type("CmbPrat2", performer);
    s.type("CmbActes", act);
    if (!nf.isEmpty())
        s.combo("CmbNF")->setCurrentIndex(s.combo("CmbNF")->findText(nf));
    QCOMPARE(s.combo("CmbPrat1")->currentText(), followUp); // typed, not completed
    s.click("Command2");
    QCOMPARE(names(s.lines()), found);
    QCOMPARE(s.label("Label1")->text(), QString::number(found.size()));
    QCOMPARE(s.list("List1")->model()->rowCount(), found.size());
    QVERIFY2(Dialogs::shownTexts().isEmpty(), qPrintable(Dialogs::shownTexts().join(u'|')));
}

void TestSearch::typedTextsStayOutOfLists() {
    Clinic clinic;
    clinic.addMemo(1, QStringLiteral("Dr MARTIN"));
    SearchScreen s(clinic);
    s.type("CmbPrat1", QStringLiteral("Dr M*"));
    QTest::keyClick(s.combo("CmbPrat1")->lineEdit(), Qt::Key_Return);
    s.click("Command2");
    QCOMPARE(s.combo("CmbPrat1")->count(), 1);
    QCOMPARE(s.combo("CmbPrat1")->currentText(), QStringLiteral("Dr M*"));
}

void TestSearch::invalidPeriodKeepsResults_data() {
    QTest::addColumn<QString>("from");
    QTest::addColumn<QString>("to");
    QTest::newRow("32 January") << "32/01/2005"
                                << "31/12/2005";
    QTest::newRow("29 February of a common year") << "01/01/2005"
                                                  << "29/02/2005";
    QTest::newRow("letters") << "01/01/2005"
                             << "fin 2005";
    QTest::newRow("empty") << ""
                           << "31/12/2005";
}

void TestSearch::invalidPeriodKeepsResults() {
    QFETCH(QString, from);
    QFETCH(QString, to);
    Clinic clinic;
    add(clinic, {.nom = "DUPONT", .prix = "600"});
    add(clinic, {.nom = "DURAND", .prix = "400"});
    SearchScreen s(clinic);
    s.click("Command2");
    QCOMPARE(s.list("List2")->model()->rowCount(), 2);
    s.period(from, to);
    s.click("CmdDE");
    QCOMPARE(Dialogs::shownTexts(), QStringList{kBadDate});
    // The caption already belongs to the new listing; the results are the previous ones.
    QCOMPARE(s.label("Label4")->text(),
             QStringLiteral("Total du montant des mutuelles ou DE pour les actes recherchés"));
    QCOMPARE(s.list("List2")->model()->rowCount(), 2);
    QCOMPARE(s.list("List1")->model()->rowCount(), 2);
    QCOMPARE(s.label("Label1")->text(), QStringLiteral("2"));
    QCOMPARE(s.label("LblTotalActes")->text(), QStringLiteral("1000 €"));
}

void TestSearch::totalsInEurosAndFrancs() {
    Clinic clinic;
    add(clinic, {.nom = "DUPONT", .prix = "313,5"});
    add(clinic, {.nom = "DURAND", .prix = "686,5"});
    SearchScreen s(clinic);
    s.click("Command2");
    QCOMPARE(s.label("LblTotalActes")->text(), QStringLiteral("1000 €"));
    QCOMPARE(s.label("LblTotalActesF")->text(), QStringLiteral("6559,57 F"));
    add(clinic, {.nom = "MARTIN", .prix = "0,25"});
    s.click("Command2");
    QCOMPARE(s.label("LblTotalActes")->text(), QStringLiteral("1000,25 €"));
    QCOMPARE(s.label("LblTotalActesF")->text(), QStringLiteral("6561,21 F"));
}

void TestSearch::nothingFound() {
    Clinic clinic;
    add(clinic, {.nom = "DUPONT", .date = {2003, 5, 5}});
    SearchScreen s(clinic);
    s.click("Command2");
    QCOMPARE(s.label("Label1")->text(), QStringLiteral("0"));
    QCOMPARE(s.label("LblTotalActes")->text(), QStringLiteral("0"));
    QCOMPARE(s.label("LblTotalActesF")->text(), QStringLiteral("0"));
    QCOMPARE(s.list("List2")->model()->rowCount(), 0);
    QCOMPARE(s.list("List1")->model()->rowCount(), 0);
}

void TestSearch::searchLineForms_data() {
    QTest::addColumn<QString>("de");
    QTest::addColumn<QString>("ccam1");
    QTest::addColumn<QString>("line");
    QTest::newRow("excess fee") << "150"
                                << "JQGA002"
                                << "DUPONT   Marie   15/03/2005 (JQGA002) Mut : 150 €";
    QTest::newRow("excess with cents") << "12,5"
                                       << "JQGA002"
                                       << "DUPONT   Marie   15/03/2005 (JQGA002) Mut : 12,5 €";
    QTest::newRow("no excess") << "0"
                               << "JQGA002"
                               << "DUPONT   Marie   15/03/2005 (JQGA002) ";
    QTest::newRow("empty excess") << ""
                                  << "JQGA002"
                                  << "DUPONT   Marie   15/03/2005 (JQGA002) ";
    QTest::newRow("no code") << "0"
                             << ""
                             << "DUPONT   Marie   15/03/2005 () ";
}

void TestSearch::searchLineForms() {
    QFETCH(QString, de);
    QFETCH(QString, ccam1);
    QFETCH(QString, line);
    Clinic clinic;
    add(clinic, {.ccam1 = ccam1, .de = de});
    SearchScreen s(clinic);
    s.click("Command2");
    QCOMPARE(s.lines(), QStringList{line});
}

void TestSearch::hiddenListInStep() {
    Clinic clinic;
    QMap<QString, qint64> ids;
    for (const char* n : {"MOREAU", "BLANC", "ZOLA", "DUPONT"})
        ids[QString::fromUtf8(n)] = add(clinic, {.nom = QString::fromUtf8(n)});
    SearchScreen s(clinic);
    s.click("Command2");
    const QStringList lines = s.lines();
    const QStringList numbers = s.lines("List1");
    QCOMPARE(numbers.size(), 4);
    for (int i = 0; i < lines.size(); ++i)
        QCOMPARE(numbers[i], QString::number(ids.value(lines[i].section(QStringLiteral("   "), 0, 0))));
}

void TestSearch::clearing() {
    Clinic clinic;
    clinic.addMemo(1, QStringLiteral("MART"));
    add(clinic, {.suit = "MART", .nf = "N"});
    SearchScreen s(clinic);
    s.period(QStringLiteral("01/01/2005"), QStringLiteral("31/12/2005"));
    s.combo("CmbPrat1")->setCurrentIndex(0);
    s.type("CmbPrat2", QStringLiteral("*"));
    s.type("CmbActes", QStringLiteral("C"));
    s.combo("CmbNF")->setCurrentIndex(1);
    s.click("Command2");
    QCOMPARE(s.list("List2")->model()->rowCount(), 1);
    const QString caption = s.label("Label4")->text();
    s.click("Command3");
    for (const char* box : {"CmbPrat1", "CmbPrat2", "CmbActes"})
        QVERIFY2(s.combo(box)->currentText().isEmpty(), box);
    QCOMPARE(s.combo("CmbNF")->currentText(), QStringLiteral("N"));
    for (const char* l : {"Label1", "LblTotalActes", "LblTotalActesF"})
        QVERIFY2(s.label(l)->text().isEmpty(), l);
    QCOMPARE(s.list("List2")->model()->rowCount(), 0);
    QCOMPARE(s.list("List1")->model()->rowCount(), 0);
    QCOMPARE(s.edit("TxtDate1")->text(), QStringLiteral("01/01/2005"));
    QCOMPARE(s.edit("TxtDate2")->text(), QStringLiteral("31/12/2005"));
    QCOMPARE(s.label("Label4")->text(), caption);
    // A night or holiday choice can be taken back from the keyboard.
    QTest::keyClick(s.combo("CmbNF"), Qt::Key_Delete);
    QVERIFY(s.combo("CmbNF")->currentText().isEmpty());
}

void TestSearch::closingShowsRecordEditor() {
    Clinic clinic;
    RecordEditor main(clinic.database(), clinic.browsed());
    QVERIFY(main.load());
    main.show();
    child<QPushButton>(&main, "CmdRecherche")->click();
    QPointer<QWidget> search = obs::test::topLevel(QStringLiteral("Form10"));
    QVERIFY(search);
    QVERIFY(!main.isVisible());
    child<QPushButton>(search, "CmdQuitte")->click();
    QVERIFY(main.isVisible());
    QTRY_VERIFY(!search);
}

QTEST_MAIN(TestSearch)
#include "test_search.moc"
