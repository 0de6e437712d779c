// The main window driven through its controls, on a real database file.
#include "TestSupport.h"

#include "app/MainWindow.h"
#include "app/Program.h"
#include "common/Money.h"
#include "common/Settings.h"
#include "widgets/Dialogs.h"
#include "widgets/Screen.h"

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QtTest>

using namespace obs;
using obs::test::child;
using obs::test::TempClinic;

namespace {
QVariant euros(const char* text) {
    return moneyValue(Money::parse(QString::fromUtf8(text)));
}

struct Window {
    std::unique_ptr<MainWindow> form;
    explicit Window(TempClinic& clinic) : form(new MainWindow(clinic.database(), clinic.browsed())) {
        QVERIFY(form->load());
    }
    QLineEdit* edit(const char* n) const { return child<QLineEdit>(form.get(), n); }
    QLabel* label(const char* n) const { return child<QLabel>(form.get(), n); }
    void click(const char* n) const { child<QPushButton>(form.get(), n)->click(); }
    void type(const char* text) const { QTest::keyClicks(edit("Text1"), QString::fromUtf8(text)); }
    QString shownName() const { return edit("TxtNom")->text(); }
};
} // namespace

class TestMainWindow : public QObject {
    Q_OBJECT
private slots:
    void searchAtEachKeystroke();
    void searchPastLastName();
    void searchApostropheName();
    void recordButtonsAtEdges();
    void recordButtonsBeforeAnySearch();
    void recordButtonsOnEmptyTable();
    void recordButtonsOnReferenceList();
    void recordButtonsAfterDatabaseClosed();
    void displayOfRecord();
    void displayOfDateZero();
    void amountKeysAndPaymentsTotal();
    void saveWritesEveryField();
    void saveAnsweredNo();
    void saveWithNothingShown();
    void saveRefusesBadAmount_data();
    void saveRefusesBadAmount();
    void saveRefusesInvalidDate();
    void saveKeepsUntouchedDateZero();
    void saveAfterAnotherWorkstation_data();
    void saveAfterAnotherWorkstation();
    void saveOfDeletedRecord();
    void deleteRecord();
    void deleteWithNothingShown();
    void startUpPaths_data();
    void startUpPaths();
    void startUpUnreadableFile();
    void closingEndsEverything();
};

void TestMainWindow::searchAtEachKeystroke() {
    TempClinic clinic;
    clinic.addAct({{"Nom", "DURAND"}, {"Prenom", "Léa"}});
    clinic.addAct({{"Nom", "DUBOIS"}, {"Prenom", "Anne"}});
    clinic.addAct({{"Nom", "MARTIN"}});
    Window w(clinic);
    QVERIFY(w.label("LblNumero")->text().isEmpty());
    QCOMPARE(w.label("Label12")->text(), QStringLiteral("Comptabilité entre médecins"));
    const struct {
        const char* key;
        const char* name;
    } steps[] = {{"D", "DUBOIS"}, {"U", "DUBOIS"}, {"R", "DURAND"}};
    for (const auto& s : steps) {
        w.type(s.key);
        QCOMPARE(w.shownName(), QString::fromUtf8(s.name));
    }
    QVERIFY(Dialogs::shownTexts().isEmpty());
    // Clearing the search box keeps the record shown.
    w.edit("Text1")->clear();
    QCOMPARE(w.shownName(), QStringLiteral("DURAND"));
    // The record buttons then go on in alphabetical order.
    w.click("Command4");
    QCOMPARE(w.shownName(), QStringLiteral("MARTIN"));
    w.click("Command1");
    QCOMPARE(w.shownName(), QStringLiteral("DUBOIS"));
}

void TestMainWindow::searchPastLastName() {
    TempClinic clinic;
    clinic.addAct({{"Nom", "MARTIN"}});
    Window w(clinic);
    w.type("MA");
    QCOMPARE(w.shownName(), QStringLiteral("MARTIN"));
    w.type("Z");
    QCOMPARE(Dialogs::lastText(), QStringLiteral("Ce Nom n'existe pas"));
    QCOMPARE(w.shownName(), QStringLiteral("MARTIN"));
    w.type("Z");
    QCOMPARE(Dialogs::shownTexts().count(QStringLiteral("Ce Nom n'existe pas")), 2);
}

void TestMainWindow::searchApostropheName() {
    TempClinic clinic;
    clinic.addAct({{"Nom", "DAVID"}});
    clinic.addAct({{"Nom", "D'ALMEIDA"}, {"Prenom", "Inès"}});
    Window w(clinic);
    w.type("D'A");
    QCOMPARE(w.shownName(), QStringLiteral("D'ALMEIDA"));
    QVERIFY(Dialogs::shownTexts().isEmpty());
    w.edit("Text1")->setText("x' OR '1'='1");
    QCOMPARE(Dialogs::lastText(), QStringLiteral("Ce Nom n'existe pas"));
}

void TestMainWindow::recordButtonsAtEdges() {
    TempClinic clinic;
    for (const char* n : {"BERNARD", "ROUX", "PETIT"})
        clinic.addAct({{"Nom", n}});
    Window w(clinic);
    w.type("P");
    w.click("Command4");
    QCOMPARE(w.shownName(), QStringLiteral("ROUX"));
    w.click("Command4"); // past the last: stays on the last
    QCOMPARE(w.shownName(), QStringLiteral("ROUX"));
    w.click("Command1");
    QCOMPARE(w.shownName(), QStringLiteral("BERNARD"));
    w.click("Command3"); // before the first: stays on the first
    QCOMPARE(w.shownName(), QStringLiteral("BERNARD"));
    w.click("Command2");
    QCOMPARE(w.shownName(), QStringLiteral("ROUX"));
    w.click("Command3");
    QCOMPARE(w.shownName(), QStringLiteral("PETIT"));
    QVERIFY(Dialogs::shownTexts().isEmpty());
}

void TestMainWindow::recordButtonsBeforeAnySearch() {
    TempClinic clinic;
    clinic.addAct({{"Nom", "BERNARD"}});
    Window w(clinic);
    for (const char* b : {"Command1", "Command2", "Command3", "Command4"})
        w.click(b);
    QVERIFY(w.shownName().isEmpty());
    QVERIFY(Dialogs::shownTexts().isEmpty());
}

void TestMainWindow::recordButtonsOnEmptyTable() {
    TempClinic clinic;
    Window w(clinic);
    w.type("A");
    QCOMPARE(Dialogs::lastText(), QStringLiteral("Ce Nom n'existe pas"));
    for (const char* b : {"Command1", "Command2", "Command3", "Command4"}) {
        Dialogs::clearShown();
        w.click(b);
        QCOMPARE(Dialogs::shownTexts(), QStringList{"Pas de Patient enregistré"});
    }
}

void TestMainWindow::recordButtonsOnReferenceList() {
    TempClinic clinic;
    clinic.addAct({{"Nom", "BERNARD"}});
    clinic.addMemo(1, "Dr MARTIN");
    Window w(clinic);
    w.type("B");
    // Another screen left a reference list in the shared cursor.
    QVERIFY(clinic.browsed().open(*clinic.database().store(),
                                  BrowseQuery::reference(ReferenceList::Practitioners, ReferenceOrder::ByLabel)));
    for (const char* b : {"Command1", "Command2", "Command3", "Command4"})
        w.click(b);
    QCOMPARE(w.shownName(), QStringLiteral("BERNARD"));
    QVERIFY(Dialogs::shownTexts().isEmpty());
}

void TestMainWindow::recordButtonsAfterDatabaseClosed() {
    TempClinic clinic;
    clinic.addAct({{"Nom", "BERNARD"}});
    clinic.addAct({{"Nom", "ROUX"}});
    Window w(clinic);
    w.type("B");
    clinic.database().close();
    QVERIFY(clinic.database().open(clinic.location()));
    for (const char* b : {"Command1", "Command2", "Command3", "Command4"})
        w.click(b);
    QCOMPARE(w.shownName(), QStringLiteral("BERNARD"));
    QVERIFY(Dialogs::shownTexts().isEmpty());
}

void TestMainWindow::displayOfRecord() {
    TempClinic clinic;
    const qint64 id = clinic.addAct({{"Nom", "DUPONT"},
                                     {"Prenom", "Marie"},
                                     {"Date", 38426},
                                     {"MEDSUIT", "Dr MARTIN"},
                                     {"MEDACTE", "Dr D'ORVAL"},
                                     {"Acte", "Accouchement unique par voie naturelle chez une primipare"},
                                     {"CCAM1", "JQGD010"},
                                     {"NF", "N"},
                                     {"CCAM2", "JQGD002  Délivrance artificielle 20,9"},
                                     {"CCAM3", ""},
                                     {"PRIX", euros("313,5")},
                                     {"DE", euros("100")},
                                     {"PAYESECU", euros("200")},
                                     {"PAYECOMPLE", euros("13,5")},
                                     {"PAYEDE", euros("100")}});
    Window w(clinic);
    w.type("DUP");
    QCOMPARE(w.label("LblNumero")->text(), QString::number(id));
    QCOMPARE(w.edit("TxtPrenom")->text(), QStringLiteral("Marie"));
    QCOMPARE(w.edit("TxtDate")->text(), QStringLiteral("15/03/2005"));
    QCOMPARE(w.edit("TxtCotation")->text(), QStringLiteral("JQGD010"));
    QCOMPARE(w.edit("TxtOp")->text(), QStringLiteral("N"));
    auto* list = child<QListWidget>(w.form.get(), "LstActes");
    QCOMPARE(list->count(), 5);
    QCOMPARE(list->item(0)->text(), QStringLiteral("JQGD002  Délivrance artificielle 20,9"));
    QVERIFY(list->item(4)->text().isEmpty());
    QCOMPARE(w.edit("TxtPrat2")->text(), QStringLiteral("Dr D'ORVAL"));
    QCOMPARE(w.edit("TxtEuros")->text(), QStringLiteral("313,5"));
    QCOMPARE(w.edit("TxtDE")->text(), QStringLiteral("100"));
    QCOMPARE(w.label("LblTotal")->text(), QStringLiteral("413,5 €"));
    QCOMPARE(w.label("LblTotalF")->text(), QStringLiteral("2712,38 F"));
    QCOMPARE(w.label("LblPTotal")->text(), QStringLiteral("313,5 €"));
    QCOMPARE(w.label("Label12")->text(), QStringLiteral("Acte pour M. DUPONT Marie du 15/03/2005"));
    // Typing an excess fee recomputes the total; an amount that is not a number empties it.
    w.edit("TxtDE")->setText("50");
    QCOMPARE(w.label("LblTotal")->text(), QStringLiteral("363,5 €"));
    QCOMPARE(w.label("LblTotalF")->text(), QStringLiteral("2384,4 F"));
    w.edit("TxtDE")->setText("");
    QVERIFY(w.label("LblTotal")->text().isEmpty());
    QCOMPARE(w.label("LblTotalF")->text(), QStringLiteral("2384,4 F"));
}

void TestMainWindow::displayOfDateZero() {
    TempClinic clinic;
    clinic.addAct({{"Nom", "ZERO"}, {"Prenom", "Anne"}, {"Date", 0}});
    clinic.addAct({{"Nom", "ZNULL"}, {"Prenom", "Anne"}});
    Window w(clinic);
    w.type("ZE");
    QCOMPARE(w.edit("TxtDate")->text(), QStringLiteral("00:00:00"));
    QCOMPARE(w.label("Label12")->text(), QStringLiteral("Acte pour M. ZERO Anne du 00:00:00"));
    w.click("Command4");
    QCOMPARE(w.edit("TxtDate")->text(), QString());
    QCOMPARE(w.label("Label12")->text(), QStringLiteral("Acte pour M. ZNULL Anne du "));
}

void TestMainWindow::amountKeysAndPaymentsTotal() {
    TempClinic clinic;
    Window w(clinic);
    QLineEdit* secu = w.edit("TxtPSecu");
    secu->setFocus();
    QTest::keyClicks(secu, "1a2.5x");
    QCOMPARE(secu->text(), QStringLiteral("12,5"));
    QTest::keyClick(secu, Qt::Key_Backspace);
    QCOMPARE(secu->text(), QStringLiteral("12,"));
    QTest::keyClick(secu, Qt::Key_Home);
    QTest::keyClick(secu, Qt::Key_Delete);
    QCOMPARE(secu->text(), QStringLiteral("2,"));
    secu->setText("100");
    w.edit("TxtPCompl")->setText("");
    w.edit("TxtPDE")->setText("20,5");
    QCOMPARE(w.label("LblPTotal")->text(), QStringLiteral("120,5 €"));
    w.edit("TxtPCompl")->setText("1,2,3"); // not a number: counts as 0
    QCOMPARE(w.label("LblPTotal")->text(), QStringLiteral("120,5 €"));
    // Other boxes take any key.
    QTest::keyClicks(w.edit("TxtNom"), "abc.");
    QCOMPARE(w.edit("TxtNom")->text(), QStringLiteral("abc."));
}

void TestMainWindow::saveWritesEveryField() {
    TempClinic clinic;
    const qint64 id = clinic.addAct({{"Nom", "DUPONT"},
                                     {"Prenom", "Marie"},
                                     {"Date", 38353},
                                     {"PRIX", euros("314")},
                                     {"DE", euros("0")},
                                     {"REVERSE", euros("50")},
                                     {"DateRev", 38400}});
    Window w(clinic);
    w.type("DUP");
    w.edit("TxtNom")->setText("DUPONT-MOREL");
    w.edit("TxtDate")->setText("02/01/2005");
    w.edit("TxtPSecu")->setText("219,8");
    w.edit("TxtPCompl")->setText("");
    w.edit("TxtPDE")->setText("12,5");
    child<QListWidget>(w.form.get(), "LstActes")->item(0)->setText("JQGD002  Délivrance artificielle 20,9");
    Dialogs::queueAnswer(true);
    w.click("CmdEnreg");
    QCOMPARE(Dialogs::shownTexts(), (QStringList{"Voulez vous vraiment modifier cette Fiche ?", "Fiche modifiée"}));
    QCOMPARE(Dialogs::shown().first().title, QStringLiteral("Attention"));
    std::vector<Row> rows;
    QVERIFY(clinic.db().queryRows("SELECT*FROM ACTES WHERE NUMINT=" + QString::number(id), &rows));
    const Row& r = rows.at(0);
    QCOMPARE(r.text("Nom"), QStringLiteral("DUPONT-MOREL"));
    QCOMPARE(r.integer("Date"), std::optional<qint64>(38354));
    QCOMPARE(r.money("PAYESECU")->toFrench(), QStringLiteral("219,8"));
    QCOMPARE(r.money("PAYECOMPLE")->toFrench(), QStringLiteral("0"));
    QCOMPARE(r.money("PAYEDE")->toFrench(), QStringLiteral("12,5"));
    QCOMPARE(r.text("CCAM2"), QStringLiteral("JQGD002  Délivrance artificielle 20,9"));
    QCOMPARE(r.money("REVERSE")->toFrench(), QStringLiteral("50")); // never written here
    QCOMPARE(r.integer("DateRev"), std::optional<qint64>(38400));
}

void TestMainWindow::saveAnsweredNo() {
    TempClinic clinic;
    clinic.addAct({{"Nom", "DUPONT"}});
    Window w(clinic);
    w.type("DUP");
    w.edit("TxtNom")->setText("AUTRE");
    Dialogs::queueAnswer(false);
    w.click("CmdEnreg");
    QCOMPARE(Dialogs::shownTexts(), QStringList{"Voulez vous vraiment modifier cette Fiche ?"});
    QCOMPARE(clinic.scalar("SELECT Nom FROM ACTES").toString(), QStringLiteral("DUPONT"));
}

void TestMainWindow::saveWithNothingShown() {
    TempClinic clinic;
    clinic.addAct({{"Nom", "DUPONT"}});
    Window w(clinic);
    Dialogs::queueAnswer(true);
    w.click("CmdEnreg");
    QCOMPARE(Dialogs::lastText(), QStringLiteral("Selectionnez un nom au préalable."));
}

void TestMainWindow::saveRefusesBadAmount_data() {
    QTest::addColumn<QString>("box");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("caption");
    QTest::newRow("lone comma in Sécu") << "TxtPSecu"
                                        << ","
                                        << "Payé Sécu";
    QTest::newRow("two commas in complementary") << "TxtPCompl"
                                                 << "1,2,3"
                                                 << "Payé Complémentaire";
    QTest::newRow("two commas in DE paid") << "TxtPDE"
                                           << "1,,2"
                                           << "Payé DE";
    QTest::newRow("amount") << "TxtEuros"
                            << "3,1,4"
                            << "Montant";
}

void TestMainWindow::saveRefusesBadAmount() {
    QFETCH(QString, box);
    QFETCH(QString, text);
    QFETCH(QString, caption);
    TempClinic clinic;
    clinic.addAct({{"Nom", "DUPONT"}, {"Prenom", "Marie"}, {"PAYESECU", euros("10")}});
    Window w(clinic);
    w.type("DUP");
    w.edit("TxtPrenom")->setText("Changée");
    w.edit(box.toLatin1().constData())->setText(text);
    Dialogs::queueAnswer(true);
    w.click("CmdEnreg");
    const QString msg = Dialogs::lastText();
    QVERIFY2(msg.contains(caption) && msg.contains(text), qPrintable(msg));
    QVERIFY(!Dialogs::shownTexts().contains("Fiche modifiée"));
    QCOMPARE(clinic.scalar("SELECT Prenom FROM ACTES").toString(), QStringLiteral("Marie"));
    QCOMPARE(clinic.scalar("SELECT PAYESECU FROM ACTES").toLongLong(), Money::fromEuros(10).units());
}

void TestMainWindow::saveRefusesInvalidDate() {
    TempClinic clinic;
    clinic.addAct({{"Nom", "DUPONT"}, {"Date", 38353}});
    Window w(clinic);
    w.type("DUP");
    w.edit("TxtDate")->setText("31/02/2005");
    w.edit("TxtPSecu")->setText("100");
    Dialogs::queueAnswer(true);
    w.click("CmdEnreg");
    QVERIFY(Dialogs::lastText().contains("31/02/2005"));
    QVERIFY(!Dialogs::shownTexts().contains("Fiche modifiée"));
    QCOMPARE(clinic.scalar("SELECT Date FROM ACTES").toLongLong(), 38353);
    QCOMPARE(clinic.scalar("SELECT PAYESECU FROM ACTES").toLongLong(), 0);
}

void TestMainWindow::saveKeepsUntouchedDateZero() {
    TempClinic clinic;
    clinic.addAct({{"Nom", "ZERO"}, {"Date", 0}});
    Window w(clinic);
    w.type("Z");
    w.edit("TxtPSecu")->setText("250");
    Dialogs::queueAnswer(true);
    w.click("CmdEnreg");
    QCOMPARE(Dialogs::lastText(), QStringLiteral("Fiche modifiée"));
    QCOMPARE(clinic.scalar("SELECT Date FROM ACTES").toLongLong(), 0);
    QCOMPARE(clinic.scalar("SELECT PAYESECU FROM ACTES").toLongLong(), Money::fromEuros(250).units());
}

void TestMainWindow::saveOfDeletedRecord() {
    TempClinic clinic;
    const qint64 id = clinic.addAct({{"Nom", "DUPONT"}});
    Window w(clinic);
    w.type("DUP");
    clinic.execute("DELETE FROM ACTES WHERE NUMINT = " + QString::number(id)); // another workstation deleted it
    Dialogs::queueAnswer(true);
    w.click("CmdEnreg");
    QCOMPARE(Dialogs::lastText(), QStringLiteral("Selectionnez un nom au préalable."));
    QCOMPARE(clinic.count("ACTES"), 0);
}

void TestMainWindow::deleteRecord() {
    TempClinic clinic;
    clinic.addAct({{"Nom", "BERNARD"}});
    clinic.addAct({{"Nom", "DUPONT"}, {"PAYESECU", euros("10")}});
    clinic.addAct({{"Nom", "ROUX"}});
    Window w(clinic);
    w.type("DUP");
    Dialogs::queueAnswer(false);
    w.click("CmdSup");
    QCOMPARE(clinic.count("ACTES"), 3);
    QCOMPARE(w.shownName(), QStringLiteral("DUPONT"));
    Dialogs::queueAnswer(true);
    w.click("CmdSup");
    QCOMPARE(Dialogs::shown().last().text, QStringLiteral("Voulez vous vraiment SUPPRIMER ce DOSSIER ?"));
    QCOMPARE(clinic.count("ACTES"), 2);
    QVERIFY(w.shownName().isEmpty());
    QVERIFY(w.label("LblNumero")->text().isEmpty());
    QCOMPARE(w.label("Label12")->text(), QStringLiteral("Comptabilité entre médecins"));
    QCOMPARE(w.label("LblPTotal")->text(), QStringLiteral("0 €"));
    QVERIFY(w.label("LblTotal")->text().isEmpty());
    w.click("Command1");
    QCOMPARE(w.shownName(), QStringLiteral("BERNARD"));
}

void TestMainWindow::deleteWithNothingShown() {
    TempClinic clinic;
    clinic.addAct({{"Nom", "BERNARD"}});
    Window w(clinic);
    Dialogs::queueAnswer(true);
    w.click("CmdSup");
    QCOMPARE(Dialogs::shownTexts(), QStringList{"Selectionnez un nom au préalable."});
    QCOMPARE(clinic.count("ACTES"), 1);
}

void TestMainWindow::startUpPaths_data() {
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<bool>("setPath");
    QTest::addColumn<bool>("opens");
    QTest::newRow("no CHEMIN") << "OBSLEDGER.mdb" << false << false;
    QTest::newRow("upper-case extension") << "OBSLEDGER.MDB" << true << false;
    QTest::newRow("text before the name") << "VIEUXOBSLEDGER.mdb" << true << true;
    QTest::newRow("missing file") << "absent/OBSLEDGER.mdb" << true << false;
}

void TestMainWindow::startUpPaths() {
    QFETCH(QString, fileName);
    QFETCH(bool, setPath);
    QFETCH(bool, opens);
    TempClinic clinic;
    const QString path = clinic.file(fileName);
    if (!fileName.startsWith("absent") && fileName != "OBSLEDGER.mdb")
        QVERIFY(QFile::copy(clinic.dbPath(), path));
    QFile::remove(Settings::fileFor(kSettingsApp));
    if (setPath)
        Settings::setDatabasePath(path);
    // The program's own start-up, as main() runs it.
    Program program;
    program.start();
    child<QPushButton>(&program.startWindow(), "Command1")->click();
    MainWindow* main = program.mainWindow();
    QVERIFY(main);
    QCOMPARE(main->isVisible(), opens);
    QCOMPARE(endRequested(), !opens);
    if (!opens) {
        QVERIFY(!Dialogs::shownTexts().isEmpty());
        if (fileName.startsWith("absent"))
            QVERIFY(!QFile::exists(path)); // never created
        else
            QVERIFY(Dialogs::lastText().startsWith("La base de données 'OBSLEDGER.mdb' est introuvable."));
    }
}

void TestMainWindow::startUpUnreadableFile() {
    TempClinic clinic;
    QFile junk(clinic.file("junk/OBSLEDGER.mdb"));
    QDir().mkpath(clinic.file("junk"));
    QVERIFY(junk.open(QIODevice::WriteOnly));
    junk.write("not a database at all, just text typed by someone");
    junk.close();
    Settings::setDatabasePath(junk.fileName());
    MainWindow main(clinic.database(), clinic.browsed());
    QVERIFY(!main.load());
    QVERIFY(Dialogs::lastText().contains(junk.fileName()));
    QVERIFY(endRequested());
}

void TestMainWindow::closingEndsEverything() {
    TempClinic clinic;
    auto* main = new MainWindow(clinic.database(), clinic.browsed());
    QVERIFY(main->load());
    main->show();
    child<QPushButton>(main, "Command6")->click(); // the about box opens beside it
    QVERIFY(main->isVisible());
    QPointer<MainWindow> guard(main);
    child<QPushButton>(main, "CmdFermer")->click();
    QVERIFY(!main->isVisible());
    for (QWidget* w : QApplication::topLevelWidgets())
        QVERIFY2(!w->isVisible(), qPrintable(w->objectName()));
    delete guard.data();
}

void TestMainWindow::saveAfterAnotherWorkstation_data() {
    QTest::addColumn<QString>("otherChange");
    QTest::addColumn<QString>("message");
    QTest::newRow("payment saved elsewhere") << "UPDATE ACTES SET PAYESECU = 2000000"
                                             << "Cette fiche a été modifiée sur un autre poste depuis son affichage";
    QTest::newRow("deleted elsewhere") << "DELETE FROM ACTES"
                                       << "Cette fiche a été supprimée sur un autre poste depuis son affichage";
}

void TestMainWindow::saveAfterAnotherWorkstation() {
    // Another workstation's save since the act was shown is never undone silently.
    QFETCH(QString, otherChange);
    QFETCH(QString, message);
    TempClinic clinic;
    clinic.addAct({{"Nom", "BERNARD"}, {"Date", 38353}, {"PRIX", euros("100")}});
    Window w(clinic);
    w.type("B");
    clinic.execute(otherChange);
    w.edit("TxtPCompl")->setText(QStringLiteral("30"));
    Dialogs::queueAnswer(true);
    w.click("CmdEnreg");
    const Dialogs::Shown shown = Dialogs::shown().last();
    QVERIFY2(shown.text.startsWith(message) || shown.details.startsWith(message), qPrintable(shown.text));
    if (clinic.count("ACTES") == 1) {
        QCOMPARE(clinic.scalar("SELECT PAYECOMPLE FROM ACTES").toLongLong(), 0); // nothing written
        QCOMPARE(w.edit("TxtPSecu")->text(), QStringLiteral("200"));             // shown as stored now
    }
}

QTEST_MAIN(TestMainWindow)
#include "test_main_window.moc"
