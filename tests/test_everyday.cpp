// Everyday safety: questions that destroy default to No, unsaved edits show, the keyboard, the
// start-up messages that say what to do, the restore question, and the dated backups.
#include "TestSupport.h"
#include "test_entry_support.h"

#include "accounts/SearchWindow.h"
#include "app/RecordEditor.h"
#include "backup/BackupWindow.h"
#include "common/AppPaths.h"
#include "common/Money.h"
#include "common/Settings.h"
#include "domain/BackupEngine.h"
#include "domain/BackupGenerations.h"
#include "widgets/DatabaseOpener.h"
#include "widgets/Dialogs.h"
#include "widgets/Screen.h"

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QProcess>
#include <QPushButton>
#include <QtTest>

Q_DECLARE_METATYPE(obs::Dialogs::Default)

using namespace obs;
using obs::test::actsIn;
using obs::test::child;
using obs::test::TempClinic;

namespace {

using Default = Dialogs::Default;

struct Window {
    std::unique_ptr<RecordEditor> form;
    explicit Window(TempClinic& clinic) : form(new RecordEditor(clinic.database(), clinic.browsed())) {
        QVERIFY(form->load());
    }
    QLineEdit* edit(const char* n) const { return child<QLineEdit>(form.get(), n); }
    QPushButton* button(const char* n) const { return child<QPushButton>(form.get(), n); }
    void type(const char* text) const { QTest::keyClicks(edit("Text1"), QString::fromUtf8(text)); }
    // The unsaved mark: the note shown and the save button in bold, always together.
    bool marked() const {
        const bool note = !child<QLabel>(form.get(), "LblNonEnregistre")->isHidden();
        const bool bold = button("CmdEnreg")->font().bold();
        if (note != bold)
            qWarning("the note and the bold save button disagree");
        return note && bold;
    }
    void showActive() const {
        form->show();
        QApplication::setActiveWindow(form.get());
        QVERIFY(QTest::qWaitForWindowActive(form.get()));
    }
};

void addActs(TempClinic& clinic, int n) {
    for (int i = 0; i < n; ++i)
        clinic.addAct({{QStringLiteral("Nom"), QStringLiteral("PATIENTE")}});
}

QString makeFolder(const TempClinic& clinic, const QString& name) {
    QDir(clinic.dir()).mkpath(name);
    return clinic.file(name);
}

void setModified(const QString& path, const QDateTime& when) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadWrite));
    QVERIFY(f.setFileTime(when, QFileDevice::FileModificationTime));
}

} // namespace

class TestEveryday : public QObject {
    Q_OBJECT
private slots:
    void destructiveQuestionsDefaultToNo_data();
    void destructiveQuestionsDefaultToNo();
    void unsavedMark_data();
    void unsavedMark();
    void unsavedMarkEndsWithSaveOrAnotherAct();
    void startUpFocusInSearchBox();
    void recordEditorKeys();
    void actEntryKeys();
    void escapeClosesScreensWithoutQuestion();
    void printKeyOffersPrinterChoice();
    void notFoundMessageSaysWhatToDo_data();
    void notFoundMessageSaysWhatToDo();
    void tariffMessageSaysWhatToDo();
    void restoreAsksFirst();
    void backupKeepsGenerations_data();
    void backupKeepsGenerations();
    void adminRestoresAGeneration();
};

void TestEveryday::destructiveQuestionsDefaultToNo_data() {
    QTest::addColumn<QString>("action");
    QTest::addColumn<QString>("question");
    QTest::addColumn<Default>("expected");
    QTest::newRow("delete an act") << "CmdSup"
                                   << "Voulez vous vraiment SUPPRIMER ce DOSSIER ?" << Default::No;
    // Saving what the user asked to save: Enter saves.
    QTest::newRow("save an act's corrections") << "CmdEnreg"
                                               << "Voulez vous vraiment modifier cette Fiche ?" << Default::Yes;
    QTest::newRow("throw an entry away") << "CmdQuitte"
                                         << "Fermer sans enregistrer ?" << Default::No;
    QTest::newRow("record a new act") << "Cmdenreg"
                                      << "Voulez vous vraiment enregistrer cette Fiche ?" << Default::Yes;
}

void TestEveryday::destructiveQuestionsDefaultToNo() {
    QFETCH(QString, action);
    QFETCH(QString, question);
    QFETCH(Default, expected);
    TempClinic clinic;
    clinic.addAct({{"Nom", "DUPONT"}});
    std::unique_ptr<Window> main;
    QPointer<ActEntryWindow> entry;
    QWidget* form = nullptr;
    if (action.startsWith("CmdSup") || action == "CmdEnreg") {
        main = std::make_unique<Window>(clinic);
        main->type("DUP");
        form = main->form.get();
    } else {
        obs::test::writeTariffs();
        obs::test::seedReferences(clinic);
        entry = obs::test::openEntry(clinic);
        child<QLineEdit>(entry, "TxtNom")->setText("MARTIN");
        child<QLineEdit>(entry, "TxtDate")->setText("01/02/2005");
        form = entry;
    }
    Dialogs::clearShown();
    Dialogs::queueAnswer(false);
    child<QPushButton>(form, action.toLatin1().constData())->click();
    QCOMPARE(Dialogs::shown().size(), 1);
    const Dialogs::Shown asked = Dialogs::shown().first();
    QCOMPARE(asked.text, question);
    QVERIFY(asked.question);
    QCOMPARE(asked.defaultAnswer, expected);
    // No changed nothing.
    QCOMPARE(clinic.count("ACTES"), 1);
    QCOMPARE(clinic.scalar("SELECT Nom FROM ACTES").toString(), QStringLiteral("DUPONT"));
    if (entry) {
        QVERIFY(entry->isVisible());
        obs::test::dispose(entry);
    }
}

void TestEveryday::unsavedMark_data() {
    QTest::addColumn<QString>("box");
    QTest::addColumn<QString>("typed");
    QTest::newRow("surname") << "TxtNom"
                             << "DUPONT-MOREL";
    QTest::newRow("date") << "TxtDate"
                          << "02/01/2005";
    QTest::newRow("payment") << "TxtPSecu"
                             << "219,8";
    QTest::newRow("payment emptied") << "TxtPDE"
                                     << "";
    QTest::newRow("excess") << "TxtDE"
                            << "10";
    QTest::newRow("practitioner") << "TxtPrat2"
                                  << "Dr BERTRAND";
}

void TestEveryday::unsavedMark() {
    QFETCH(QString, box);
    QFETCH(QString, typed);
    TempClinic clinic;
    clinic.addAct({{"Nom", "DUPONT"},
                   {"Date", 38353},
                   {"PRIX", moneyValue(Money::fromEuros(314))},
                   {"PAYEDE", moneyValue(Money::fromEuros(20))},
                   {"MEDACTE", "Dr MARTIN"}});
    Window w(clinic);
    QVERIFY(!w.marked()); // nothing shown yet
    w.type("DUP");
    QVERIFY(!w.marked());
    QLineEdit* edit = w.edit(box.toLatin1().constData());
    const QString original = edit->text();
    edit->setText(typed);
    QVERIFY(w.marked());
    QCOMPARE(child<QLabel>(w.form.get(), "LblNonEnregistre")->text(), QStringLiteral("Modifications non enregistrées"));
    // The caption and its mnemonic stay as they are.
    QCOMPARE(w.button("CmdEnreg")->text(), QStringLiteral("&Enregistrer les modifications"));
    // Put back as it was, the text is no change.
    edit->setText(original);
    QVERIFY(!w.marked());
    QVERIFY(Dialogs::shownTexts().isEmpty());
}

void TestEveryday::unsavedMarkEndsWithSaveOrAnotherAct() {
    TempClinic clinic;
    clinic.addAct({{"Nom", "BERNARD"}});
    clinic.addAct({{"Nom", "DUPONT"}, {"PRIX", moneyValue(Money::fromEuros(100))}});
    Window w(clinic);
    w.type("DUP");
    w.edit("TxtPSecu")->setText("70");
    QVERIFY(w.marked());
    // Answered No: still not saved.
    Dialogs::queueAnswer(false);
    w.button("CmdEnreg")->click();
    QVERIFY(w.marked());
    Dialogs::queueAnswer(true);
    w.button("CmdEnreg")->click();
    QCOMPARE(Dialogs::lastText(), QStringLiteral("Fiche modifiée"));
    QVERIFY(!w.marked());
    // Changed after the save, then back to the saved text.
    w.edit("TxtPSecu")->setText("75");
    QVERIFY(w.marked());
    w.edit("TxtPSecu")->setText("70");
    QVERIFY(!w.marked());
    // Another act shown after the typing was dropped: its own texts are the reference.
    w.edit("TxtNom")->setText("DUPONT-X");
    QVERIFY(w.marked());
    Dialogs::queueChoice(Dialogs::Choice::No);
    w.button("Command1")->click();
    QCOMPARE(w.edit("TxtNom")->text(), QStringLiteral("BERNARD"));
    QVERIFY(!w.marked());
    // A deleted act leaves nothing to save.
    w.edit("TxtNom")->setText("BERNARDO");
    Dialogs::queueAnswer(true);
    w.button("CmdSup")->click();
    QVERIFY(!w.marked());
    QCOMPARE(clinic.scalar("SELECT PAYESECU FROM ACTES WHERE Nom='DUPONT'").toLongLong(), 700000);
}

void TestEveryday::startUpFocusInSearchBox() {
    TempClinic clinic;
    clinic.addAct({{"Nom", "DUPONT"}});
    Window w(clinic);
    w.showActive();
    QTRY_COMPARE(QApplication::focusWidget(), w.edit("Text1"));
    QTest::keyClicks(QApplication::focusWidget(), "DU");
    QCOMPARE(w.edit("TxtNom")->text(), QStringLiteral("DUPONT"));
}

void TestEveryday::recordEditorKeys() {
    TempClinic clinic;
    clinic.addAct({{"Nom", "DUPONT"}});
    Window w(clinic);
    w.showActive();
    w.type("DUP");
    w.edit("TxtNom")->setText("DUPONT-MOREL");
    // Ctrl+S is the save button: same question, same save.
    Dialogs::queueAnswer(true);
    QTest::keyClick(w.edit("TxtNom"), Qt::Key_S, Qt::ControlModifier);
    QCOMPARE(Dialogs::shownTexts(), (QStringList{"Voulez vous vraiment modifier cette Fiche ?", "Fiche modifiée"}));
    QCOMPARE(clinic.scalar("SELECT Nom FROM ACTES").toString(), QStringLiteral("DUPONT-MOREL"));
    // F1: the about box, beside the main window.
    QVERIFY(!obs::test::topLevel("frmAbout"));
    QTest::keyClick(w.edit("Text1"), Qt::Key_F1);
    QTRY_VERIFY(obs::test::topLevel("frmAbout"));
    QVERIFY(w.form->isVisible());
    // Escape closes it again.
    QWidget* about = obs::test::topLevel("frmAbout");
    QApplication::setActiveWindow(about);
    QVERIFY(QTest::qWaitForWindowActive(about));
    QTest::keyClick(about, Qt::Key_Escape);
    QTRY_VERIFY(!obs::test::topLevel("frmAbout"));
    QCOMPARE(Dialogs::shownTexts().size(), 2);
}

void TestEveryday::actEntryKeys() {
    TempClinic clinic;
    obs::test::writeTariffs();
    obs::test::seedReferences(clinic);
    QPointer<ActEntryWindow> entry = obs::test::openEntry(clinic);
    QVERIFY(Dialogs::shownTexts().isEmpty());
    // Ctrl+S saves as the button does: here it asks for the surname first.
    QTest::keyClick(child<QLineEdit>(entry, "TxtPrenom"), Qt::Key_S, Qt::ControlModifier);
    QCOMPARE(Dialogs::shownTexts(), QStringList{"Il faut remplir le champ NOM"});
    // Escape asks as "Fermer Quitter" does; No keeps the entry.
    child<QLineEdit>(entry, "TxtNom")->setText("MARTIN");
    Dialogs::queueAnswer(false);
    QTest::keyClick(child<QLineEdit>(entry, "TxtNom"), Qt::Key_Escape);
    QCOMPARE(Dialogs::lastText(), QStringLiteral("Fermer sans enregistrer ?"));
    QCOMPARE(Dialogs::shown().last().defaultAnswer, Default::No);
    QVERIFY(entry && entry->isVisible());
    QCOMPARE(child<QLineEdit>(entry, "TxtNom")->text(), QStringLiteral("MARTIN"));
    Dialogs::queueAnswer(true);
    QTest::keyClick(child<QLineEdit>(entry, "TxtNom"), Qt::Key_Escape);
    QTRY_VERIFY(!entry);
    QCOMPARE(clinic.count("ACTES"), 0);
}

void TestEveryday::escapeClosesScreensWithoutQuestion() {
    TempClinic clinic;
    QPointer<BackupWindow> backup = new BackupWindow();
    backup->show();
    QApplication::setActiveWindow(backup);
    QVERIFY(QTest::qWaitForWindowActive(backup));
    QSignalSpy closed(backup.data(), &Screen::closed);
    QTest::keyClick(backup.data(), Qt::Key_Escape);
    QCOMPARE(closed.count(), 1);
    QTRY_VERIFY(!backup);
    QVERIFY(Dialogs::shownTexts().isEmpty());
}

void TestEveryday::printKeyOffersPrinterChoice() {
    TempClinic clinic;
    clinic.writeRates();
    clinic.addAct({{"Nom", "DUPONT"}, {"Date", 38353}});
    const QString pdf = clinic.file("ctrl-p.pdf");
    Dialogs::setTestPrintFile(pdf);
    obs::test::SearchScreen s(clinic);
    s.form->show();
    QApplication::setActiveWindow(s.form);
    QVERIFY(QTest::qWaitForWindowActive(s.form));
    s.period("01/01/2005", "31/12/2005");
    s.click("Command2");
    Dialogs::queuePrinterChoice(true);
    QTest::keyClick(s.edit("TxtDate1"), Qt::Key_P, Qt::ControlModifier);
    Dialogs::setTestPrintFile(QString());
    QCOMPARE(Dialogs::shownTexts(), QStringList{"(choix de l'imprimante)"});
    QVERIFY(QFileInfo(pdf).size() > 0);
}

void TestEveryday::notFoundMessageSaysWhatToDo_data() {
    QTest::addColumn<QString>("chemin"); // empty: no setting at all
    QTest::addColumn<QStringList>("said");
    QTest::newRow("no CHEMIN") << QString() << QStringList{"Aucun réglage CHEMIN", "obsledger-admin set-path"};
    QTest::newRow("wrong name") << "compta/OBSLEDGER.MDB"
                                << QStringList{"compta/OBSLEDGER.MDB", "doit finir par OBSLEDGER.mdb",
                                               "obsledger-admin set-path"};
}

void TestEveryday::notFoundMessageSaysWhatToDo() {
    QFETCH(QString, chemin);
    QFETCH(QStringList, said);
    TempClinic clinic;
    QFile::remove(Settings::fileFor(kSettingsApp));
    if (!chemin.isEmpty())
        QVERIFY(Settings::setDatabasePath(clinic.file(chemin)));
    RecordEditor main(clinic.database(), clinic.browsed());
    QVERIFY(!main.load());
    QVERIFY(endRequested());
    // The program's ending runs now, not in the next test.
    QCoreApplication::processEvents();
    clearEndRequest();
    QCOMPARE(Dialogs::shown().size(), 1);
    const Dialogs::Shown shown = Dialogs::shown().first();
    QCOMPARE(shown.text, QString::fromUtf8(kDatabaseNotFoundMessage));
    for (const QString& part : said)
        QVERIFY2(shown.details.contains(part), qPrintable(shown.details));
}

void TestEveryday::tariffMessageSaysWhatToDo() {
    TempClinic clinic;
    obs::test::seedReferences(clinic);
    QPointer<ActEntryWindow> entry = obs::test::openEntry(clinic);
    QCOMPARE(Dialogs::shownTexts(), QStringList{"Le Fichier Tarifs est introuvable ou non chargé."});
    const QString details = Dialogs::shown().first().details;
    QVERIFY2(details.contains(QDir::toNativeSeparators(applicationFile("tarifs.cmt"))), qPrintable(details));
    QVERIFY2(details.contains("obsledger-admin files \"" + QDir::toNativeSeparators(applicationFolder()) + "\""),
             qPrintable(details));
    obs::test::dispose(entry);
}

void TestEveryday::restoreAsksFirst() {
    TempClinic clinic;
    addActs(clinic, 2);
    const QString folder = makeFolder(clinic, "cle");
    const QString backup = backupFileIn(folder);
    QString why;
    QVERIFY2(backupDatabase(clinic.dbPath(), backup, &why), qPrintable(why));
    const QDateTime taken(QDate(2026, 11, 30), QTime(18, 15));
    setModified(backup, taken);
    addActs(clinic, 1);
    QVERIFY(Settings::setBackupFolder(folder));

    QPointer<BackupWindow> form = new BackupWindow();
    Dialogs::queueAnswer(false);
    child<QPushButton>(form, "CmdRestaure")->click();
    QCOMPARE(Dialogs::shown().size(), 1);
    const Dialogs::Shown asked = Dialogs::shown().first();
    QCOMPARE(asked.title, QStringLiteral("Attention"));
    QCOMPARE(asked.text, QStringLiteral("Voulez-vous vraiment remplacer la base actuelle par la sauvegarde ?"));
    QCOMPARE(asked.defaultAnswer, Default::No);
    const QStringList sides = asked.details.split(u'\n');
    QCOMPARE(sides.size(), 2);
    QVERIFY2(sides[0].startsWith("Sauvegarde : 30/11/2026 à 18:15, 2 actes"), qPrintable(sides[0]));
    QVERIFY2(sides[1].startsWith("Base actuelle : ") && sides[1].contains(", 3 actes"), qPrintable(sides[1]));
    // No: nothing happened, the screen stays.
    QCOMPARE(clinic.count("ACTES"), 3);
    QVERIFY(obs::test::keptBeforeRestore(clinic.dbPath()).isEmpty());
    QVERIFY(form);

    Dialogs::queueAnswer(true);
    child<QPushButton>(form, "CmdRestaure")->click();
    QCOMPARE(Dialogs::lastText(), QStringLiteral("Restauration terminée"));
    QCOMPARE(clinic.count("ACTES"), 2);
    QTRY_VERIFY(!form);
}

void TestEveryday::backupKeepsGenerations_data() {
    QTest::addColumn<int>("backups");
    QTest::addColumn<int>("kept"); // dated copies left
    QTest::newRow("first backup") << 1 << 0;
    QTest::newRow("second backup") << 2 << 1;
    QTest::newRow("eleventh backup") << 11 << 10;
    QTest::newRow("fourteenth backup") << 14 << 10;
}

void TestEveryday::backupKeepsGenerations() {
    QFETCH(int, backups);
    QFETCH(int, kept);
    TempClinic clinic;
    const QString folder = makeFolder(clinic, "cle");
    const QString backup = backupFileIn(folder);
    // Files of the user's own beside the backups are never removed.
    for (const char* own : {"OBSLEDGER-notes.MDB", "lisez-moi.txt"}) {
        QFile f(QDir(folder).filePath(QString::fromLatin1(own)));
        QVERIFY(f.open(QIODevice::WriteOnly));
    }
    const QDateTime first(QDate(2026, 1, 5), QTime(9, 30));
    for (int k = 1; k <= backups; ++k) {
        addActs(clinic, 1); // backup k holds k acts
        QString why;
        QVERIFY2(backupDatabase(clinic.dbPath(), backup, &why), qPrintable(why));
        setModified(backup, first.addSecs(3600 * 25 * (k - 1)));
    }
    QCOMPARE(actsIn(backup), backups);
    const QStringList dated = backupGenerations(folder);
    QCOMPARE(dated.size(), kept);
    // The latest kept: backups backups-kept .. backups-1, each under its own date and whole.
    for (int i = 0; i < kept; ++i) {
        const int k = backups - kept + i;
        const QDateTime when = first.addSecs(3600 * 25 * (k - 1));
        QCOMPARE(QFileInfo(dated[i]).fileName(),
                 QStringLiteral("OBSLEDGER-%1.MDB").arg(when.toString("yyyy-MM-dd-HHmm")));
        QCOMPARE(actsIn(dated[i]), k);
        QCOMPARE(QFileInfo(dated[i]).lastModified(), when);
    }
    QVERIFY(QFileInfo::exists(QDir(folder).filePath("OBSLEDGER-notes.MDB")));
    QVERIFY(QFileInfo::exists(QDir(folder).filePath("lisez-moi.txt")));
    QCOMPARE(QDir(folder).entryList({"*.partiel*"}, QDir::Files), QStringList());
}

void TestEveryday::adminRestoresAGeneration() {
    TempClinic clinic;
    const QString folder = makeFolder(clinic, "cle");
    const QString backup = backupFileIn(folder);
    QString why;
    for (int k = 1; k <= 3; ++k) {
        addActs(clinic, 1);
        QVERIFY2(backupDatabase(clinic.dbPath(), backup, &why), qPrintable(why));
        setModified(backup, QDateTime(QDate(2026, 2, k), QTime(12, 0)));
    }
    addActs(clinic, 1);
    const QString second = QDir(folder).filePath("OBSLEDGER-2026-02-01-1200.MDB");
    QCOMPARE(actsIn(second), 1);
    const QString junk = clinic.file("pas-une-base.MDB");
    {
        QFile f(junk);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(QByteArray("rien d'utile ").repeated(100));
    }
    const struct {
        QString file;
        int code;
        qint64 actsAfter;
    } runs[] = {{junk, 1, 4}, {second, 0, 1}};
    for (const auto& run : runs) {
        const obs::test::ProgramRun r =
            obs::test::runProgram(obs::test::builtProgram("obsledger-admin"), {"restore", run.file}, {}, 30000);
        QCOMPARE(r.code, run.code);
        QCOMPARE(clinic.count("ACTES"), run.actsAfter);
        if (run.code == 0)
            QVERIFY(r.out.contains(clinic.dbPath() + ".avant-restauration-"));
        else
            QVERIFY(!r.err.isEmpty());
    }
    QCOMPARE(actsIn(obs::test::keptBeforeRestore(clinic.dbPath()).value(0)), 4);
}

QTEST_MAIN(TestEveryday)
#include "test_everyday.moc"
