// The main window driven through its controls, on a real database file.
#include "TestSupport.h"
#include "test_entry_support.h"

#include "app/Program.h"
#include "app/RecordEditor.h"
#include "common/DayNumber.h"
#include "common/Money.h"
#include "common/Settings.h"
#include "widgets/Dialogs.h"
#include "widgets/Screen.h"

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QtTest>

Q_DECLARE_METATYPE(obs::Dialogs::Choice)

using namespace obs;
using obs::test::child;
using obs::test::euros;
using obs::test::TempClinic;

namespace {

struct Window {
    std::unique_ptr<RecordEditor> form;
    explicit Window(TempClinic& clinic) : form(new RecordEditor(clinic.database(), clinic.browsed())) {
        QVERIFY(form->load());
    }
    QLineEdit* edit(const char* n) const { return child<QLineEdit>(form.get(), n); }
    QLabel* label(const char* n) const { return child<QLabel>(form.get(), n); }
    void click(const char* n) const { child<QPushButton>(form.get(), n)->click(); }
    void type(const char* text) const { QTest::keyClicks(edit("Text1"), QString::fromUtf8(text)); }
    QString shownName() const { return edit("TxtNom")->text(); }
    bool marked() const { return !label("LblNonEnregistre")->isHidden(); }
};

const QString kLeaveQuestion = QStringLiteral("Enregistrer les modifications de cette fiche ?");

// The questions asked so far, by their text.
QStringList questionsAsked() {
    QStringList out;
    for (const Dialogs::Shown& s : Dialogs::shown()) {
        if (s.question)
            out << s.text;
    }
    return out;
}
} // namespace

class TestRecordEditor : public QObject {
    Q_OBJECT
private slots:
    void searchAtEachKeystroke();
    void searchPastLastName();
    void searchApostropheName();
    void recordButtonsAtEdges();
    void recordButtonsBeforeAnySearch();
    void firstAndLastBeforeAnySearch_data();
    void firstAndLastBeforeAnySearch();
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
    void leavingUnsavedAct_data();
    void leavingUnsavedAct();
    void leavingWhenSaveFails_data();
    void leavingWhenSaveFails();
    void cancelledKeystrokeKeepsSearchText();
    void nothingAskedWithoutTyping();
    void saveQuestionDefaultsToYes();
    void afterBackupScreen_data();
    void afterBackupScreen();
    void typedLettersAnswerNothing_data();
    void typedLettersAnswerNothing();
    void dateChangedAfterToday_data();
    void dateChangedAfterToday();
};

void TestRecordEditor::searchAtEachKeystroke() {
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

void TestRecordEditor::searchPastLastName() {
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

void TestRecordEditor::searchApostropheName() {
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

void TestRecordEditor::recordButtonsAtEdges() {
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

void TestRecordEditor::recordButtonsBeforeAnySearch() {
    // Nothing to step from: "<" and ">" do nothing until an act is shown.
    TempClinic clinic;
    clinic.addAct({{"Nom", "BERNARD"}});
    Window w(clinic);
    for (const char* b : {"Command3", "Command4"})
        w.click(b);
    QVERIFY(w.shownName().isEmpty());
    QVERIFY(Dialogs::shownTexts().isEmpty());
}

void TestRecordEditor::firstAndLastBeforeAnySearch_data() {
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<QString>("then");
    QTest::addColumn<QString>("thenExpected");
    QTest::newRow("first") << "Command1"
                           << "BERNARD"
                           << "Command4"
                           << "MARTIN";
    QTest::newRow("last") << "Command2"
                          << "ROUX"
                          << "Command3"
                          << "PETIT";
}

void TestRecordEditor::firstAndLastBeforeAnySearch() {
    QFETCH(QString, button);
    QFETCH(QString, expected);
    QFETCH(QString, then);
    QFETCH(QString, thenExpected);
    TempClinic clinic;
    // Entered in another order than by name.
    for (const char* n : {"PETIT", "ROUX", "BERNARD", "MARTIN"})
        clinic.addAct({{"Nom", n}});
    Window w(clinic);
    QVERIFY(w.edit("Text1")->text().isEmpty());
    w.click(button.toLatin1().constData());
    QCOMPARE(w.shownName(), expected);
    // The record buttons then go on by name from there.
    w.click(then.toLatin1().constData());
    QCOMPARE(w.shownName(), thenExpected);
    QVERIFY(Dialogs::shownTexts().isEmpty());
}

void TestRecordEditor::recordButtonsOnEmptyTable() {
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

void TestRecordEditor::recordButtonsOnReferenceList() {
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

void TestRecordEditor::recordButtonsAfterDatabaseClosed() {
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

void TestRecordEditor::displayOfRecord() {
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

void TestRecordEditor::displayOfDateZero() {
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

void TestRecordEditor::amountKeysAndPaymentsTotal() {
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

void TestRecordEditor::saveWritesEveryField() {
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

void TestRecordEditor::saveAnsweredNo() {
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

void TestRecordEditor::saveWithNothingShown() {
    TempClinic clinic;
    clinic.addAct({{"Nom", "DUPONT"}});
    Window w(clinic);
    Dialogs::queueAnswer(true);
    w.click("CmdEnreg");
    QCOMPARE(Dialogs::lastText(), QStringLiteral("Selectionnez un nom au préalable."));
}

void TestRecordEditor::saveRefusesBadAmount_data() {
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

void TestRecordEditor::saveRefusesBadAmount() {
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

void TestRecordEditor::saveRefusesInvalidDate() {
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

void TestRecordEditor::saveKeepsUntouchedDateZero() {
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

void TestRecordEditor::saveOfDeletedRecord() {
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

void TestRecordEditor::deleteRecord() {
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

void TestRecordEditor::deleteWithNothingShown() {
    TempClinic clinic;
    clinic.addAct({{"Nom", "BERNARD"}});
    Window w(clinic);
    Dialogs::queueAnswer(true);
    w.click("CmdSup");
    QCOMPARE(Dialogs::shownTexts(), QStringList{"Selectionnez un nom au préalable."});
    QCOMPARE(clinic.count("ACTES"), 1);
}

void TestRecordEditor::startUpPaths_data() {
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<bool>("setPath");
    QTest::addColumn<bool>("opens");
    QTest::newRow("no CHEMIN") << "OBSLEDGER.mdb" << false << false;
    QTest::newRow("upper-case extension") << "OBSLEDGER.MDB" << true << false;
    QTest::newRow("text before the name") << "VIEUXOBSLEDGER.mdb" << true << true;
    QTest::newRow("missing file") << "absent/OBSLEDGER.mdb" << true << false;
}

void TestRecordEditor::startUpPaths() {
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
    RecordEditor* main = program.recordEditor();
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

void TestRecordEditor::startUpUnreadableFile() {
    TempClinic clinic;
    QFile junk(clinic.file("junk/OBSLEDGER.mdb"));
    QDir().mkpath(clinic.file("junk"));
    QVERIFY(junk.open(QIODevice::WriteOnly));
    junk.write("not a database at all, just text typed by someone");
    junk.close();
    Settings::setDatabasePath(junk.fileName());
    RecordEditor main(clinic.database(), clinic.browsed());
    QVERIFY(!main.load());
    QVERIFY(Dialogs::lastText().contains(junk.fileName()));
    QVERIFY(endRequested());
}

void TestRecordEditor::closingEndsEverything() {
    TempClinic clinic;
    auto* main = new RecordEditor(clinic.database(), clinic.browsed());
    QVERIFY(main->load());
    main->show();
    child<QPushButton>(main, "Command6")->click(); // the about box opens beside it
    QVERIFY(main->isVisible());
    QPointer<RecordEditor> guard(main);
    child<QPushButton>(main, "CmdFermer")->click();
    QVERIFY(!main->isVisible());
    for (QWidget* w : QApplication::topLevelWidgets())
        QVERIFY2(!w->isVisible(), qPrintable(w->objectName()));
    delete guard.data();
}

void TestRecordEditor::saveAfterAnotherWorkstation_data() {
    QTest::addColumn<QString>("otherChange");
    QTest::addColumn<QString>("message");
    QTest::newRow("payment saved elsewhere") << "UPDATE ACTES SET PAYESECU = 2000000"
                                             << "Cette fiche a été modifiée sur un autre poste depuis son affichage";
    QTest::newRow("deleted elsewhere") << "DELETE FROM ACTES"
                                       << "Cette fiche a été supprimée sur un autre poste depuis son affichage";
}

void TestRecordEditor::saveAfterAnotherWorkstation() {
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
        QCOMPARE(w.edit("TxtPCompl")->text(), QStringLiteral("30"));             // the typing kept
    }
}

namespace {
// What the main window shows of the act DUPONT and whether it is still open on it.
struct Leaving {
    const char* action;
    const char* wentOnTo; // the act shown after going on, or the screen then open, or "" when closed
};

const Leaving kLeavings[] = {
    {"Command1", "BERNARD"}, {"Command2", "ROUX"},       {"Command3", "BERNARD"}, {"Command4", "DUPUIS"},
    {"Text1", "DUPUIS"},     {"CmdFermer", ""},          {"close", ""},           {"CmdCreer", "Form2"},
    {"CmdActes", "Form8"},   {"CmdRecherche", "Form10"}, {"Command5", "Form21"},
};

// A clinic whose every screen opens without a message, and the acts around DUPONT by name.
void seedForLeaving(TempClinic& clinic) {
    clinic.writeRates();
    obs::test::writeTariffs();
    obs::test::seedReferences(clinic);
    clinic.addAct({{"Nom", "ROUX"}});
    clinic.addAct({{"Nom", "DUPONT"}, {"Date", 38353}, {"PRIX", euros("100")}, {"PAYESECU", euros("0")}});
    clinic.addAct({{"Nom", "DUPUIS"}});
    clinic.addAct({{"Nom", "BERNARD"}});
}

void perform(Window& w, const QString& action) {
    if (action == u"Text1")
        QTest::keyClick(w.edit("Text1"), 'U');
    else if (action == u"close")
        w.form->close();
    else
        w.click(action.toLatin1().constData());
}

// Closes what the action opened, without the main window coming back.
void disposeScreens(const RecordEditor* main) {
    QList<QPointer<QWidget>> screens;
    for (QWidget* top : QApplication::topLevelWidgets()) {
        if (top != main && top->inherits("obs::Screen"))
            screens << top;
    }
    for (const QPointer<QWidget>& screen : screens)
        delete screen.data();
}
} // namespace

void TestRecordEditor::leavingUnsavedAct_data() {
    QTest::addColumn<QString>("action");
    QTest::addColumn<QString>("wentOnTo");
    QTest::addColumn<Dialogs::Choice>("answer");
    for (const Leaving& l : kLeavings) {
        QTest::addRow("%s, Oui", l.action) << l.action << l.wentOnTo << Dialogs::Choice::Yes;
        QTest::addRow("%s, Non", l.action) << l.action << l.wentOnTo << Dialogs::Choice::No;
        QTest::addRow("%s, Annuler", l.action) << l.action << l.wentOnTo << Dialogs::Choice::Cancel;
    }
}

void TestRecordEditor::leavingUnsavedAct() {
    // Typing left unsaved is never dropped silently: saved, dropped or kept as the user answers.
    QFETCH(QString, action);
    QFETCH(QString, wentOnTo);
    QFETCH(Dialogs::Choice, answer);
    TempClinic clinic;
    seedForLeaving(clinic);
    Window w(clinic);
    w.form->show();
    w.type("DUP");
    QCOMPARE(w.shownName(), QStringLiteral("DUPONT"));
    w.edit("TxtPSecu")->setText("70");
    QVERIFY(w.marked());

    Dialogs::queueChoice(answer);
    perform(w, action);
    QCOMPARE(questionsAsked(), QStringList{kLeaveQuestion});
    const Dialogs::Shown asked = Dialogs::shown().first();
    QCOMPARE(asked.title, QStringLiteral("Attention"));
    QCOMPARE(asked.defaultAnswer, Dialogs::Default::Cancel);

    const qint64 stored = clinic.scalar("SELECT PAYESECU FROM ACTES WHERE Nom='DUPONT'").toLongLong();
    QCOMPARE(stored, answer == Dialogs::Choice::Yes ? Money::fromEuros(70).units() : 0);
    if (answer == Dialogs::Choice::Cancel) {
        // Nothing happened: the act, its typing and the search text stay.
        QVERIFY(w.form->isVisible());
        QCOMPARE(w.shownName(), QStringLiteral("DUPONT"));
        QCOMPARE(w.edit("TxtPSecu")->text(), QStringLiteral("70"));
        QVERIFY(w.marked());
        QCOMPARE(w.edit("Text1")->text(), QStringLiteral("DUP"));
        for (const char* screen : {"Form2", "Form8", "Form10", "Form21"})
            QVERIFY2(!obs::test::topLevel(QString::fromLatin1(screen)), screen);
        // The user goes on later: nothing is asked again once the typing is saved.
        return;
    }
    if (wentOnTo.isEmpty()) {
        QVERIFY(!w.form->isVisible());
    } else if (wentOnTo.startsWith(u"Form")) {
        QWidget* screen = obs::test::topLevel(wentOnTo);
        QVERIFY(screen && screen->isVisible());
        QVERIFY(!w.form->isVisible());
        // Kept while hidden: the act as saved, or as stored when the typing was dropped.
        QCOMPARE(w.edit("TxtPSecu")->text(),
                 answer == Dialogs::Choice::Yes ? QStringLiteral("70") : QStringLiteral("0"));
        QVERIFY(!w.marked());
        disposeScreens(w.form.get());
    } else {
        QCOMPARE(w.shownName(), wentOnTo);
        QVERIFY(!w.marked());
    }
    QVERIFY(!Dialogs::shownTexts().contains(QStringLiteral("Fiche modifiée")) || answer == Dialogs::Choice::Yes);
}

void TestRecordEditor::leavingWhenSaveFails_data() {
    QTest::addColumn<QString>("action");
    QTest::addColumn<QString>("box");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("otherWorkstation");
    QTest::addColumn<QString>("message");
    const struct {
        const char* name;
        const char* box;
        const char* typed;
        const char* other;
        const char* message;
    } failures[] = {
        {"refused amount", "TxtPSecu", "1,2,3", "", "n'est pas un nombre valide"},
        {"invalid date", "TxtDate", "31/02/2005", "", "n'est pas une date valide"},
        {"changed elsewhere", "TxtPSecu", "70", "UPDATE ACTES SET PAYECOMPLE = 300000", "modifiée sur un autre poste"},
        {"deleted elsewhere", "TxtPSecu", "70", "DELETE FROM ACTES WHERE Nom = 'DUPONT'",
         "Selectionnez un nom au préalable."},
    };
    for (const char* action : {"Command1", "Text1", "CmdFermer", "CmdRecherche", "Command5"}) {
        for (const auto& f : failures)
            QTest::addRow("%s, %s", action, f.name) << action << f.box << f.typed << f.other << f.message;
    }
}

void TestRecordEditor::leavingWhenSaveFails() {
    // Oui but the save fails: the window stays where it is.
    QFETCH(QString, action);
    QFETCH(QString, box);
    QFETCH(QString, typed);
    QFETCH(QString, otherWorkstation);
    QFETCH(QString, message);
    TempClinic clinic;
    seedForLeaving(clinic);
    Window w(clinic);
    w.form->show();
    w.type("DUP");
    w.edit(box.toLatin1().constData())->setText(typed);
    if (!otherWorkstation.isEmpty())
        clinic.execute(otherWorkstation);
    Dialogs::queueChoice(Dialogs::Choice::Yes);
    perform(w, action);
    QCOMPARE(questionsAsked(), QStringList{kLeaveQuestion});
    QVERIFY2(Dialogs::lastText().contains(message), qPrintable(Dialogs::lastText()));
    QVERIFY(w.form->isVisible());
    QCOMPARE(w.edit("Text1")->text(), QStringLiteral("DUP"));
    QCOMPARE(w.label("LblNumero")->text().isEmpty(), false);
    for (const char* screen : {"Form10", "Form21"})
        QVERIFY2(!obs::test::topLevel(QString::fromLatin1(screen)), screen);
    if (otherWorkstation.isEmpty()) {
        // The typing stays to be corrected.
        QCOMPARE(w.shownName(), QStringLiteral("DUPONT"));
        QCOMPARE(w.edit(box.toLatin1().constData())->text(), typed);
        QVERIFY(w.marked());
    }
    QCOMPARE(clinic.scalar("SELECT count(*) FROM ACTES WHERE PAYESECU <> 0").toLongLong(), 0);
}

void TestRecordEditor::cancelledKeystrokeKeepsSearchText() {
    TempClinic clinic;
    clinic.addAct({{"Nom", "DUPONT"}});
    clinic.addAct({{"Nom", "DURAND"}});
    Window w(clinic);
    w.type("DUR");
    QCOMPARE(w.shownName(), QStringLiteral("DURAND"));
    w.edit("TxtPrenom")->setText("Léa");
    QLineEdit* text1 = w.edit("Text1");
    // A letter typed in the middle, then a letter removed: both cancelled.
    text1->setCursorPosition(2);
    Dialogs::queueChoice(Dialogs::Choice::Cancel);
    QTest::keyClick(text1, 'P');
    QCOMPARE(text1->text(), QStringLiteral("DUR"));
    QCOMPARE(text1->cursorPosition(), 2);
    Dialogs::queueChoice(Dialogs::Choice::Cancel);
    QTest::keyClick(text1, Qt::Key_Backspace);
    QCOMPARE(text1->text(), QStringLiteral("DUR"));
    QCOMPARE(text1->cursorPosition(), 2);
    QCOMPARE(w.shownName(), QStringLiteral("DURAND"));
    QCOMPARE(w.edit("TxtPrenom")->text(), QStringLiteral("Léa"));
    // Dropped: the keystroke goes through and searches.
    Dialogs::queueChoice(Dialogs::Choice::No);
    QTest::keyClick(text1, Qt::Key_Backspace);
    QCOMPARE(text1->text(), QStringLiteral("DR"));
    QCOMPARE(w.shownName(), QStringLiteral("DUPONT"));
    QVERIFY(clinic.scalar("SELECT Prenom FROM ACTES WHERE Nom='DURAND'").toString().isEmpty());
    QCOMPARE(questionsAsked().size(), 3);
    // Emptying the box searches nothing and so asks nothing.
    w.edit("TxtPrenom")->setText("Anne");
    text1->clear();
    QCOMPARE(questionsAsked().size(), 3);
    QCOMPARE(w.edit("TxtPrenom")->text(), QStringLiteral("Anne"));
}

void TestRecordEditor::nothingAskedWithoutTyping() {
    TempClinic clinic;
    seedForLeaving(clinic);
    Window w(clinic);
    w.form->show();
    w.type("DUP");
    // Typed, then put back as it was: nothing to save.
    w.edit("TxtNom")->setText("X");
    w.edit("TxtNom")->setText("DUPONT");
    for (const char* b : {"Command4", "Command3", "Command1", "Command2"})
        w.click(b);
    QTest::keyClick(w.edit("Text1"), 'U');
    w.click("CmdRecherche");
    QVERIFY(obs::test::topLevel("Form10"));
    disposeScreens(w.form.get());
    QVERIFY(questionsAsked().isEmpty());
}

void TestRecordEditor::saveQuestionDefaultsToYes() {
    // Ctrl+S then Enter saves what the user asked to save; answered No, the mark stays.
    TempClinic clinic;
    clinic.addAct({{"Nom", "DUPONT"}});
    Window w(clinic);
    w.type("DUP");
    w.edit("TxtPSecu")->setText("70");
    Dialogs::queueAnswer(false);
    w.click("CmdEnreg");
    QCOMPARE(Dialogs::shown().last().defaultAnswer, Dialogs::Default::Yes);
    QVERIFY(w.marked());
    QCOMPARE(clinic.scalar("SELECT PAYESECU FROM ACTES").toLongLong(), 0);
    Dialogs::queueAnswer(true);
    w.click("CmdEnreg");
    QCOMPARE(Dialogs::lastText(), QStringLiteral("Fiche modifiée"));
    QVERIFY(!w.marked());
    // The deletion stays on No.
    Dialogs::queueAnswer(false);
    w.click("CmdSup");
    QCOMPARE(Dialogs::shown().last().defaultAnswer, Dialogs::Default::No);
}

void TestRecordEditor::afterBackupScreen_data() {
    QTest::addColumn<QString>("restored");
    QTest::addColumn<QString>("shownAfter");
    QTest::addColumn<QString>("paidAfter");
    QTest::newRow("act as it was backed up") << "UPDATE ACTES SET PAYESECU = 500000, Prenom = 'Avant'"
                                             << "DUPONT"
                                             << "50";
    QTest::newRow("act not in the backup") << "DELETE FROM ACTES WHERE Nom = 'DUPONT'"
                                           << ""
                                           << "";
    QTest::newRow("nothing restored") << ""
                                      << "DUPONT"
                                      << "0";
}

void TestRecordEditor::afterBackupScreen() {
    // The base may be put back from a backup while the backup screen is open: back on the main
    // window, the act shown is the restored one, and saving it is no clash with another workstation.
    QFETCH(QString, restored);
    QFETCH(QString, shownAfter);
    QFETCH(QString, paidAfter);
    TempClinic clinic;
    seedForLeaving(clinic);
    Window w(clinic);
    w.form->show();
    w.type("DUP");
    w.click("Command5");
    QPointer<QWidget> backup = obs::test::topLevel("Form21");
    QVERIFY(backup);
    QVERIFY(!w.form->isVisible());
    if (!restored.isEmpty())
        clinic.execute(restored);
    backup->close();
    QTRY_VERIFY(w.form->isVisible());
    QCOMPARE(w.shownName(), shownAfter);
    QCOMPARE(w.edit("TxtPSecu")->text(), paidAfter);
    QVERIFY(!w.marked());
    if (!shownAfter.isEmpty()) {
        w.edit("TxtPCompl")->setText("30");
        Dialogs::queueAnswer(true);
        w.click("CmdEnreg");
        QCOMPARE(Dialogs::lastText(), QStringLiteral("Fiche modifiée"));
        QCOMPARE(clinic.scalar("SELECT PAYECOMPLE FROM ACTES WHERE Nom='DUPONT'").toLongLong(),
                 Money::fromEuros(30).units());
    } else {
        QVERIFY(w.label("LblNumero")->text().isEmpty());
        QCOMPARE(w.label("Label12")->text(), QStringLiteral("Comptabilité entre médecins"));
    }
    // The record buttons follow the base as it is now.
    w.click("Command1");
    QCOMPARE(w.shownName(), QStringLiteral("BERNARD"));
    w.click("Command4");
    QCOMPARE(w.shownName(), shownAfter.isEmpty() ? QStringLiteral("DUPUIS") : QStringLiteral("DUPONT"));
    QVERIFY(questionsAsked().size() <= 1);
}

void TestRecordEditor::typedLettersAnswerNothing_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QKeyCombination>("answer");
    QTest::addColumn<int>("savedEuros");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QString>("searchText");
    // The letters after the first would answer with Qt's plain letters: "n" Non, "o" Oui, "a" Annuler.
    QTest::newRow("andre, Escape keeps the payment") << "andre" << QKeyCombination(Qt::Key_Escape) << 0 << "DUPONT"
                                                     << "DUP";
    QTest::newRow("andre, Enter keeps the payment") << "andre" << QKeyCombination(Qt::Key_Return) << 0 << "DUPONT"
                                                    << "DUP";
    QTest::newRow("andre, Alt+O saves it") << "andre" << QKeyCombination(Qt::ALT | Qt::Key_O) << 10 << "ANDRE"
                                           << "a";
    QTest::newRow("robin, Escape keeps the payment") << "robin" << QKeyCombination(Qt::Key_Escape) << 0 << "DUPONT"
                                                     << "DUP";
    QTest::newRow("robin, Alt+N drops it") << "robin" << QKeyCombination(Qt::ALT | Qt::Key_N) << 0 << "ROBIN"
                                           << "r";
    QTest::newRow("noah, Alt+A keeps it") << "noah" << QKeyCombination(Qt::ALT | Qt::Key_A) << 0 << "DUPONT"
                                          << "DUP";
}

void TestRecordEditor::typedLettersAnswerNothing() {
    // A payment is pending and a new name is typed in the search box: its first letter raises the
    // question, the next ones go to it and answer nothing, nor reach the search box.
    QFETCH(QString, name);
    QFETCH(QKeyCombination, answer);
    QFETCH(int, savedEuros);
    QFETCH(QString, shown);
    QFETCH(QString, searchText);
    TempClinic clinic;
    clinic.addAct({{"Nom", "DUPONT"}, {"Date", 38353}, {"PRIX", euros("100")}, {"PAYESECU", euros("0")}});
    for (const char* other : {"ANDRE", "ROBIN", "NOAH"})
        clinic.addAct({{"Nom", other}});
    obs::test::showRealBoxes();
    Window w(clinic);
    w.form->show();
    QVERIFY(QTest::qWaitForWindowActive(w.form.get()));
    w.type("DUP");
    w.edit("TxtPSecu")->setText("10");
    QLineEdit* search = w.edit("Text1");
    search->setFocus(Qt::OtherFocusReason);
    QTRY_VERIFY(search->hasFocus());
    search->selectAll();

    obs::test::FastTyping keys;
    keys.type(name.left(1)).question(name.mid(1), answer);
    keys.start();
    QVERIFY(keys.finish());

    QCOMPARE(questionsAsked(), QStringList{kLeaveQuestion});
    QCOMPARE(keys.reached().count(kLeaveQuestion), name.size());
    QCOMPARE(clinic.scalar("SELECT PAYESECU FROM ACTES WHERE Nom='DUPONT'").toLongLong(),
             Money::fromEuros(savedEuros).units());
    QCOMPARE(w.shownName(), shown);
    QCOMPARE(search->text(), searchText);
    if (shown == u"DUPONT") {
        QCOMPARE(w.edit("TxtPSecu")->text(), QStringLiteral("10"));
        QVERIFY(w.marked());
    }
}

void TestRecordEditor::dateChangedAfterToday_data() {
    QTest::addColumn<int>("daysFromToday");
    QTest::addColumn<bool>("typedHere");
    QTest::addColumn<QKeyCombination>("answer");
    QTest::addColumn<bool>("saved");
    QTest::newRow("tomorrow, Alt+O") << 1 << true << QKeyCombination(Qt::ALT | Qt::Key_O) << true;
    QTest::newRow("tomorrow, Alt+N") << 1 << true << QKeyCombination(Qt::ALT | Qt::Key_N) << false;
    QTest::newRow("tomorrow, Enter") << 1 << true << QKeyCombination(Qt::Key_Return) << false;
    QTest::newRow("36 years on, Escape") << 36 * 365 << true << QKeyCombination(Qt::Key_Escape) << false;
    QTest::newRow("today, not asked") << 0 << true << QKeyCombination() << true;
    // Stored so before: only a change of the date is asked about.
    QTest::newRow("stored tomorrow, not asked") << 1 << false << QKeyCombination() << true;
}

void TestRecordEditor::dateChangedAfterToday() {
    QFETCH(int, daysFromToday);
    QFETCH(bool, typedHere);
    QFETCH(QKeyCombination, answer);
    QFETCH(bool, saved);
    const QDate day = QDate::currentDate().addDays(daysFromToday);
    const qint64 storedDay = typedHere ? 38353 : dayNumberOf(day);
    TempClinic clinic;
    clinic.addAct({{"Nom", "DUPONT"}, {"Prenom", "Marie"}, {"Date", storedDay}});
    obs::test::showRealBoxes();
    Window w(clinic);
    w.form->show();
    QVERIFY(QTest::qWaitForWindowActive(w.form.get()));
    w.type("DUP");
    if (typedHere)
        w.edit("TxtDate")->setText(frenchDate(day));
    w.edit("TxtPrenom")->setText("Maria");

    const bool asked = typedHere && daysFromToday > 0;
    const QString question =
        QStringLiteral("La date de l'acte, %1, est après aujourd'hui. Enregistrer quand même ?").arg(frenchDate(day));
    obs::test::FastTyping keys;
    keys.question(QString(), Qt::Key_Return); // "Voulez vous vraiment modifier cette Fiche ?"
    if (asked)
        keys.question(saved ? QStringLiteral("non") : QStringLiteral("oui"), answer);
    if (saved)
        keys.question(QString(), Qt::Key_Return); // "Fiche modifiée"
    keys.start();
    w.click("CmdEnreg");
    QVERIFY(keys.finish());

    QStringList expected{QStringLiteral("Voulez vous vraiment modifier cette Fiche ?")};
    if (asked)
        expected << question;
    if (saved)
        expected << QStringLiteral("Fiche modifiée");
    QCOMPARE(Dialogs::shownTexts(), expected);
    if (asked)
        QCOMPARE(Dialogs::shown().at(1).defaultAnswer, Dialogs::Default::No);
    QCOMPARE(clinic.scalar("SELECT Prenom FROM ACTES").toString(), saved ? QStringLiteral("Maria") : "Marie");
    QCOMPARE(clinic.scalar("SELECT Date FROM ACTES").toLongLong(), saved ? dayNumberOf(day) : storedDay);
    if (!saved) {
        // The typing stays to be corrected, the date ready to be typed again.
        QCOMPARE(w.edit("TxtDate")->text(), frenchDate(day));
        QCOMPARE(w.edit("TxtPrenom")->text(), QStringLiteral("Maria"));
        QVERIFY(w.marked());
        QCOMPARE(w.form->focusWidget(), w.edit("TxtDate"));
    }
}

QTEST_MAIN(TestRecordEditor)
#include "test_main_window.moc"
