// The backup screen and its copies, on real database files in temporary folders.
#include "TestSupport.h"

#include "about/AboutBox.h"
#include "app/RecordEditor.h"
#include "backup/BackupWindow.h"
#include "common/Settings.h"
#include "domain/BackupEngine.h"
#include "store/sqlite/Schema.h"
#include "widgets/Dialogs.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QtTest>

using namespace obs;
using obs::test::actsIn;
using obs::test::child;
using obs::test::TempClinic;

namespace {

const QString kCrLf = QStringLiteral("\r\n");

qint64 addPatient(TempClinic& clinic, const char* name) {
    return clinic.addAct(
        {{QStringLiteral("Nom"), QString::fromUtf8(name)}, {QStringLiteral("Prenom"), QStringLiteral("Anne")}});
}

QString makeFolder(const TempClinic& clinic, const QString& name) {
    QDir(clinic.dir()).mkpath(name);
    return clinic.file(name);
}

QByteArray contentOf(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Another workstation in the middle of a write: an open transaction with one row not yet committed.
struct Writer {
    std::shared_ptr<Database> db;
    explicit Writer(const QString& path) {
        Status s;
        db = Database::open(path, &s);
        QVERIFY2(db, qPrintable(s.message));
        QVERIFY(db->executeRaw(QStringLiteral("BEGIN IMMEDIATE")));
        QVERIFY(db->insert(QStringLiteral("ACTES"), {{QStringLiteral("Nom"), QStringLiteral("ENCOURS")}}));
    }
    void commit() { QVERIFY(db->executeRaw(QStringLiteral("COMMIT"))); }
};

QPushButton* buttonOf(QWidget* w, const char* name) {
    return child<QPushButton>(w, name);
}

// A backup made on the screen, as the user makes it; the screen closes after it.
void backupFromScreen() {
    auto* form = new BackupWindow();
    buttonOf(form, "CmdSauve")->click();
    QCOMPARE(Dialogs::lastText(), QStringLiteral("Sauvegarde terminée"));
}

// The folder's backup made to look written at `when`: the dated copy it becomes takes that date.
void dateBackup(const QString& folder, const QDateTime& when) {
    QFile f(QDir(folder).filePath("OBSLEDGER.MDB"));
    QVERIFY(f.open(QIODevice::ReadWrite));
    QVERIFY(f.setFileTime(when, QFileDevice::FileModificationTime));
}

// Three backups on three evenings: DUPONT alone, then with MARTIN, then with ZOLA. The folder then
// holds the latest and two dated earlier ones.
QString threeBackups(TempClinic& clinic) {
    const QString folder = makeFolder(clinic, QStringLiteral("cle"));
    if (!Settings::setBackupFolder(folder))
        qFatal("backup folder");
    addPatient(clinic, "DUPONT");
    backupFromScreen();
    dateBackup(folder, QDateTime(QDate(2026, 11, 28), QTime(18, 15)));
    addPatient(clinic, "MARTIN");
    backupFromScreen();
    dateBackup(folder, QDateTime(QDate(2026, 11, 29), QTime(18, 20)));
    addPatient(clinic, "ZOLA");
    backupFromScreen();
    return folder;
}

QStringList listed(QWidget* form) {
    return obs::test::itemTexts(child<QListWidget>(form, "LstSauvegardes"));
}

} // namespace

class TestBackup : public QObject {
    Q_OBJECT
private slots:
    void backupFileName_data();
    void backupFileName();
    void captionsAtLoad();
    void captionsWithoutFolder();
    void longPathsStayInsideTheScreen();
    void earlierBackupsListed();
    void restoreChosenBackup();
    void restoreChosenBackupGoneMeanwhile();
    void chooseFolderThenBackup();
    void cancelChooser();
    void backupWithoutFolderWritesNothing();
    void backupFailureKeepsPreviousBackup();
    void backupIntoDatabaseFolderRefused();
    void backupWhileAnotherWorkstationWrites();
    void restoreRoundTrip();
    void restoreWithoutBackupFile();
    void restoreRefusesUnsoundFile_data();
    void restoreRefusesUnsoundFile();
    void restoreOverDamagedDatabase_data();
    void restoreOverDamagedDatabase();
    void restoreBesideStaleJournal();
    void restoreFromWriteProtectedBackup();
    void restoreWhileAnotherWorkstationWrites();
    void restoreScreenWaitsThenFails();
    void restoreWithoutSettingReadsApplicationFolder();
    void quitButton();
    void roundTripThroughRecordEditor();
};

void TestBackup::backupFileName_data() {
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("file");
    QTest::newRow("folder") << "/media/cle"
                            << "/media/cle/OBSLEDGER.MDB";
    QTest::newRow("trailing separator") << "/media/cle/"
                                        << "/media/cle/OBSLEDGER.MDB";
    QTest::newRow("root") << "/"
                          << "/OBSLEDGER.MDB";
    QTest::newRow("none") << ""
                          << "";
    QTest::newRow("blank") << "  "
                           << "";
}

void TestBackup::backupFileName() {
    QFETCH(QString, folder);
    QFETCH(QString, file);
    QCOMPARE(backupFileIn(folder), QDir::toNativeSeparators(file));
}

void TestBackup::captionsAtLoad() {
    TempClinic clinic;
    const QString folder = makeFolder(clinic, QStringLiteral("Sauvegardes"));
    QVERIFY(Settings::setBackupFolder(folder));
    BackupWindow form;
    QCOMPARE(form.windowTitle(), QStringLiteral("Sauvegardes"));
    QCOMPARE(child<QLabel>(&form, "Label1")->text(), folder);
    QCOMPARE(buttonOf(&form, "CmdSauve")->text(), QStringLiteral("Sauvegarder tout le repertoire : ") + kCrLf +
                                                      clinic.dbPath() + kCrLf + "vers" + kCrLf + folder);
    QCOMPARE(buttonOf(&form, "CmdRestaure")->text(),
             QStringLiteral("Restaurer les fichiers sauvegardés dans ") + folder + " vers " + clinic.dbPath());
    QCOMPARE(buttonOf(&form, "Command2")->text(), QStringLiteral("Définir le répertoire de Sauvegarde"));
    QCOMPARE(buttonOf(&form, "Command1")->text(), QStringLiteral("&Quitter"));
    QStringList frames;
    for (const QGroupBox* g : form.findChildren<QGroupBox*>())
        frames << g->title();
    QCOMPARE(frames, (QStringList{"Répertoire de Sauvegarde", "Sauvegarde", "Restauration"}));
    QVERIFY(form.findChild<QLabel*>(QStringLiteral("Image1")));
}

void TestBackup::captionsWithoutFolder() {
    TempClinic clinic;
    BackupWindow form;
    // Where the copy would go is said, never left blank; the restore names the folder it reads.
    QCOMPARE(buttonOf(&form, "CmdSauve")->text(), QStringLiteral("Sauvegarder tout le repertoire : ") + kCrLf +
                                                      clinic.dbPath() + kCrLf + "vers" + kCrLf +
                                                      "(aucun répertoire de sauvegarde choisi)");
    QCOMPARE(buttonOf(&form, "CmdRestaure")->text(),
             QStringLiteral("Restaurer les fichiers sauvegardés dans ") + clinic.appDir() + " vers " + clinic.dbPath());
    QCOMPARE(child<QLabel>(&form, "LblSauvegardes")->text(), QStringLiteral("Sauvegardes précédentes : aucune"));
}

void TestBackup::longPathsStayInsideTheScreen() {
    TempClinic clinic;
    const QString deep = QStringLiteral("Sauvegardes de la clinique du bord de mer, service de gynécologie");
    const QString folder = makeFolder(clinic, deep + "/" + deep + "/" + deep);
    QVERIFY(Settings::setBackupFolder(folder));
    QVERIFY(Settings::setDatabasePath(folder + QStringLiteral("/Comptabilité partagée des praticiens/OBSLEDGER.mdb")));
    BackupWindow form;
    form.show();
    // A 1024x768 screen holds the whole window, its frame and title bar included.
    QVERIFY2(form.width() <= 1000, qPrintable(QString::number(form.width())));
    QVERIFY2(form.height() <= 700, qPrintable(QString::number(form.height())));
    for (const char* name : {"CmdSauve", "CmdRestaure"}) {
        QPushButton* b = buttonOf(&form, name);
        QVERIFY2(b->text().contains(QChar(0x2026)), qPrintable(b->text()));
        QVERIFY(b->toolTip().contains(folder));
        QVERIFY(b->width() >= b->sizeHint().width());
    }
    QCOMPARE(child<QLabel>(&form, "Label1")->toolTip(), folder);
}

void TestBackup::earlierBackupsListed() {
    TempClinic clinic;
    clinic.useWorkstationLogin();
    const QString folder = threeBackups(clinic);
    QPointer<BackupWindow> form = new BackupWindow();
    // The latest first, with the acts each holds.
    QCOMPARE(listed(form), (QStringList{"29/11/2026 à 18:20, 2 actes", "28/11/2026 à 18:15, 1 acte"}));
    QCOMPARE(child<QLabel>(form, "LblSauvegardes")->text(), QStringLiteral("Sauvegardes précédentes :"));
    QPushButton* chosen = buttonOf(form, "CmdRestaurerChoix");
    QCOMPARE(chosen->text(), QStringLiteral("Restaurer la sauvegarde choisie"));
    QVERIFY(!chosen->isEnabled());
    child<QListWidget>(form, "LstSauvegardes")->setCurrentRow(1);
    QVERIFY(chosen->isEnabled());
    // Another folder chosen: its own earlier backups, none here.
    Dialogs::queueFolder(makeFolder(clinic, QStringLiteral("autre")));
    buttonOf(form, "Command2")->click();
    QCOMPARE(listed(form), QStringList());
    QVERIFY(!chosen->isEnabled());
    delete form;
}

void TestBackup::restoreChosenBackup() {
    TempClinic clinic;
    clinic.useWorkstationLogin();
    const QString folder = threeBackups(clinic);
    const qint64 lastGiven = addPatient(clinic, "APRES");
    QPointer<BackupWindow> form = new BackupWindow();
    QSignalSpy restored(form.data(), &BackupWindow::restored);
    auto* list = child<QListWidget>(form, "LstSauvegardes");
    list->setCurrentRow(1);
    // A dated copy touched since (copied to another key, say) keeps the date of its name.
    {
        QFile dated(QDir(folder).filePath("OBSLEDGER-2026-11-28-1815.MDB"));
        QVERIFY(dated.open(QIODevice::ReadWrite));
        QVERIFY(dated.setFileTime(QDateTime::currentDateTime(), QFileDevice::FileModificationTime));
    }

    // The restore question, default Non; a No changes nothing.
    Dialogs::clearShown();
    Dialogs::queueAnswer(false);
    buttonOf(form, "CmdRestaurerChoix")->click();
    const Dialogs::Shown asked = Dialogs::shown().value(0);
    QVERIFY(asked.question);
    QCOMPARE(asked.text, QStringLiteral("Voulez-vous vraiment remplacer la base actuelle par la sauvegarde ?"));
    QCOMPARE(asked.title, QStringLiteral("Attention"));
    QCOMPARE(asked.defaultAnswer, Dialogs::Default::No);
    QVERIFY2(asked.details.contains(QStringLiteral("Sauvegarde : 28/11/2026 à 18:15, 1 acte")),
             qPrintable(asked.details));
    QVERIFY2(asked.details.contains(QStringLiteral("Base actuelle : ")) && asked.details.contains("4 actes"),
             qPrintable(asked.details));
    QCOMPARE(clinic.count("ACTES"), 4);
    QVERIFY(form && restored.isEmpty());

    Dialogs::queueAnswer(true);
    buttonOf(form, "CmdRestaurerChoix")->click();
    QCOMPARE(Dialogs::lastText(), QStringLiteral("Restauration terminée"));
    QCOMPARE(restored.count(), 1);
    QTRY_VERIFY(!form);
    QCOMPARE(clinic.count("ACTES"), 1);
    QCOMPARE(clinic.scalar("SELECT Nom FROM ACTES").toString(), QStringLiteral("DUPONT"));
    // The latest backup and the dated ones are as they were.
    QCOMPARE(actsIn(QDir(folder).filePath("OBSLEDGER.MDB")), 3);
    QCOMPARE(QDir(folder).entryList({"OBSLEDGER-*.MDB"}, QDir::Files).size(), 2);
    // A number given out before the restore is not given again.
    QVERIFY(addPatient(clinic, "NOUVEAU") > lastGiven);
}

void TestBackup::restoreChosenBackupGoneMeanwhile() {
    TempClinic clinic;
    const QString folder = threeBackups(clinic);
    QPointer<BackupWindow> form = new BackupWindow();
    form->show();
    child<QListWidget>(form, "LstSauvegardes")->setCurrentRow(0);
    QVERIFY(QFile::remove(QDir(folder).filePath("OBSLEDGER-2026-11-29-1820.MDB")));
    buttonOf(form, "CmdRestaurerChoix")->click();
    QCOMPARE(Dialogs::lastText(), QStringLiteral("Erreur à la restauration, restauration non éffectuée."));
    QVERIFY(form && form->isVisible());
    QCOMPARE(listed(form), QStringList{"28/11/2026 à 18:15, 1 acte"});
    QCOMPARE(clinic.count("ACTES"), 3);
    delete form;
}

void TestBackup::chooseFolderThenBackup() {
    TempClinic clinic;
    addPatient(clinic, "DUPONT");
    addPatient(clinic, "MARTIN");
    QVERIFY(Settings::setBackupFolder(makeFolder(clinic, QStringLiteral("ancien"))));
    const QString folder = makeFolder(clinic, QStringLiteral("cle usb"));
    Dialogs::queueFolder(folder);

    QPointer<BackupWindow> form = new BackupWindow();
    QSignalSpy closed(form.data(), &Screen::closed);
    buttonOf(form, "Command2")->click();
    QCOMPARE(Dialogs::lastText(), QStringLiteral("Choix du répertoire pour la sauvegarde :"));
    QCOMPARE(child<QLabel>(form, "Label1")->text(), folder);
    QCOMPARE(buttonOf(form, "CmdSauve")->text(),
             QStringLiteral("Lancer la Sauvegarde de ") + kCrLf + clinic.dbPath() + kCrLf + "vers" + kCrLf + folder);
    QCOMPARE(Settings::backupFolder(), folder);
    QVERIFY(contentOf(Settings::fileFor(kSettingsApp)).contains("Sauve=" + folder.toUtf8()));

    buttonOf(form, "CmdSauve")->click();
    QCOMPARE(Dialogs::lastText(), QStringLiteral("Sauvegarde terminée"));
    QCOMPARE(closed.count(), 1);
    QTRY_VERIFY(!form);
    QCOMPARE(actsIn(QDir(folder).filePath("OBSLEDGER.MDB")), 2);
    QString why;
    QVERIFY2(checkProgramDatabase(QDir(folder).filePath("OBSLEDGER.MDB"), &why), qPrintable(why));
    // Only the backup file is left in the folder; nothing beside it.
    QCOMPARE(QDir(folder).entryList(QDir::Files), QStringList{"OBSLEDGER.MDB"});
    QVERIFY(!QFileInfo::exists(clinic.file("cle usbOBSLEDGER.MDB")));
    QCOMPARE(QDir(clinic.dir()).entryList(QDir::Files), QStringList{"OBSLEDGER.mdb"});
}

void TestBackup::cancelChooser() {
    TempClinic clinic;
    QVERIFY(Settings::setBackupFolder(makeFolder(clinic, QStringLiteral("ancien"))));
    BackupWindow form;
    Dialogs::queueFolder(QString());
    buttonOf(&form, "Command2")->click();
    QCOMPARE(child<QLabel>(&form, "Label1")->text(), QString());
    QCOMPARE(Settings::backupFolder(), QString());
    QCOMPARE(buttonOf(&form, "CmdSauve")->text(), QStringLiteral("Lancer la Sauvegarde de ") + kCrLf + clinic.dbPath() +
                                                      kCrLf + "vers" + kCrLf +
                                                      "(aucun répertoire de sauvegarde choisi)");
    // The restore caption keeps the folder read at load.
    QVERIFY(buttonOf(&form, "CmdRestaure")->text().contains(clinic.file("ancien")));
}

void TestBackup::backupWithoutFolderWritesNothing() {
    TempClinic clinic;
    addPatient(clinic, "DUPONT");
    const QString work = makeFolder(clinic, QStringLiteral("courant"));
    const QString before = QDir::currentPath();
    QDir::setCurrent(work);
    QPointer<BackupWindow> form = new BackupWindow();
    form->show();
    buttonOf(form, "CmdSauve")->click();
    QDir::setCurrent(before);
    QCOMPARE(Dialogs::lastText(), QStringLiteral("Sauvegarde non effectuée"));
    QVERIFY(Dialogs::shown().last().details.contains("Définir le répertoire de Sauvegarde"));
    QVERIFY(QDir(work).entryList(QDir::Files).isEmpty());
    // The user can choose the folder at once.
    QVERIFY(form && form->isVisible());
    delete form;
}

void TestBackup::backupFailureKeepsPreviousBackup() {
    TempClinic clinic;
    addPatient(clinic, "DUPONT");
    const QString folder = makeFolder(clinic, QStringLiteral("cle"));
    const QString backup = QDir(folder).filePath("OBSLEDGER.MDB");
    QString why;
    QVERIFY2(backupDatabase(clinic.dbPath(), backup, &why), qPrintable(why));
    const QByteArray good = contentOf(backup);

    // The database file has gone (a network folder unreachable): the good backup stays.
    QVERIFY(Settings::setDatabasePath(clinic.file("absent/OBSLEDGER.mdb")));
    QVERIFY(Settings::setBackupFolder(folder));
    QPointer<BackupWindow> form = new BackupWindow();
    QSignalSpy closed(form.data(), &Screen::closed);
    buttonOf(form, "CmdSauve")->click();
    QCOMPARE(Dialogs::lastText(), QStringLiteral("Sauvegarde non effectuée"));
    QVERIFY(!Dialogs::shown().last().details.isEmpty());
    QCOMPARE(closed.count(), 1);
    QCOMPARE(contentOf(backup), good);
    QCOMPARE(QDir(folder).entryList(QDir::Files), QStringList{"OBSLEDGER.MDB"});

    // A folder that does not exist: nothing is created.
    QVERIFY(!backupDatabase(clinic.dbPath(), QDir(clinic.file("nulle-part")).filePath("OBSLEDGER.MDB"), &why));
    QVERIFY(why.contains("n'existe pas"));
    QVERIFY(!QFileInfo::exists(clinic.file("nulle-part")));
}

void TestBackup::backupIntoDatabaseFolderRefused() {
    TempClinic clinic;
    addPatient(clinic, "DUPONT");
    QVERIFY(Settings::setBackupFolder(clinic.dir()));
    const QByteArray live = contentOf(clinic.dbPath());
    BackupWindow* form = new BackupWindow();
    buttonOf(form, "CmdSauve")->click();
    QCOMPARE(Dialogs::lastText(), QStringLiteral("Sauvegarde non effectuée"));
    QCOMPARE(contentOf(clinic.dbPath()), live);
    QVERIFY(!QFileInfo::exists(clinic.file("OBSLEDGER.MDB")));
}

void TestBackup::backupWhileAnotherWorkstationWrites() {
    TempClinic clinic;
    addPatient(clinic, "DUPONT");
    addPatient(clinic, "MARTIN");
    const QString backup = QDir(makeFolder(clinic, QStringLiteral("cle"))).filePath("OBSLEDGER.MDB");
    Writer writer(clinic.dbPath());
    QString why;
    QVERIFY2(backupDatabase(clinic.dbPath(), backup, &why, 200), qPrintable(why));
    writer.commit();
    // The snapshot holds what was committed when it was taken, and is sound.
    QCOMPARE(actsIn(backup), 2);
    QCOMPARE(actsIn(clinic.dbPath()), 3);
    QVERIFY2(checkProgramDatabase(backup, &why), qPrintable(why));
}

void TestBackup::restoreRoundTrip() {
    TempClinic clinic;
    addPatient(clinic, "DUPONT");
    addPatient(clinic, "MARTIN");
    const QString folder = makeFolder(clinic, QStringLiteral("cle"));
    QVERIFY(Settings::setBackupFolder(folder));
    {
        BackupWindow* form = new BackupWindow();
        buttonOf(form, "CmdSauve")->click();
        QCOMPARE(Dialogs::lastText(), QStringLiteral("Sauvegarde terminée"));
    }
    addPatient(clinic, "ZOLA");
    QCOMPARE(clinic.count("ACTES"), 3);

    QPointer<BackupWindow> form = new BackupWindow();
    QSignalSpy closed(form.data(), &Screen::closed);
    Dialogs::queueAnswer(true);
    buttonOf(form, "CmdRestaure")->click();
    QCOMPARE(Dialogs::lastText(), QStringLiteral("Restauration terminée"));
    const QStringList keptCopies = obs::test::keptBeforeRestore(clinic.dbPath());
    QCOMPARE(keptCopies.size(), 1);
    const QString kept = keptCopies.first();
    QVERIFY(Dialogs::shown().last().details.contains(kept));
    QCOMPARE(closed.count(), 1);
    // The test's own connection, open all along, sees the restored content.
    QCOMPARE(clinic.count("ACTES"), 2);
    QCOMPARE(clinic.scalar("SELECT count(*) FROM ACTES WHERE Nom='ZOLA'").toLongLong(), 0);
    QCOMPARE(actsIn(kept), 3);
    QString why;
    QVERIFY2(checkProgramDatabase(clinic.dbPath(), &why), qPrintable(why));
    QCOMPARE(QDir(clinic.dir()).entryList({"*.partiel*"}, QDir::Files), QStringList());
}

void TestBackup::restoreWithoutBackupFile() {
    TempClinic clinic;
    addPatient(clinic, "DUPONT");
    QVERIFY(Settings::setBackupFolder(makeFolder(clinic, QStringLiteral("vide"))));
    const QByteArray live = contentOf(clinic.dbPath());
    QPointer<BackupWindow> form = new BackupWindow();
    form->show();
    buttonOf(form, "CmdRestaure")->click();
    QCOMPARE(Dialogs::lastText(), QStringLiteral("Erreur à la restauration, restauration non éffectuée."));
    QVERIFY(Dialogs::shown().last().details.contains("introuvable"));
    QVERIFY(form && form->isVisible());
    QCOMPARE(contentOf(clinic.dbPath()), live);
    QVERIFY(obs::test::keptBeforeRestore(clinic.dbPath()).isEmpty());
    QVERIFY(!QApplication::overrideCursor());
    delete form;
}

void TestBackup::restoreRefusesUnsoundFile_data() {
    QTest::addColumn<QString>("kind");
    QTest::newRow("text file") << "text";
    QTest::newRow("empty file") << "empty";
    QTest::newRow("database without ACTES") << "noactes";
    QTest::newRow("truncated backup") << "truncated";
}

void TestBackup::restoreRefusesUnsoundFile() {
    QFETCH(QString, kind);
    TempClinic clinic;
    addPatient(clinic, "DUPONT");
    const QString folder = makeFolder(clinic, QStringLiteral("cle"));
    const QString backup = QDir(folder).filePath("OBSLEDGER.MDB");
    QString why;
    if (kind == "text") {
        QFile f(backup);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(QByteArray("\"Nom\",\"Prenom\"\r\n").repeated(200));
    } else if (kind == "empty") {
        QFile f(backup);
        QVERIFY(f.open(QIODevice::WriteOnly));
    } else if (kind == "noactes") {
        Status s;
        auto other = Database::create(backup, &s);
        QVERIFY(other && other->executeRaw("CREATE TABLE MEMO (NUMEROS INTEGER, TEXTE TEXT)"));
    } else {
        QVERIFY(clinic.db().executeRaw("BEGIN"));
        for (int i = 0; i < 300; ++i)
            addPatient(clinic, "REMPLISSAGE");
        QVERIFY(clinic.db().executeRaw("COMMIT"));
        QVERIFY2(backupDatabase(clinic.dbPath(), backup, &why), qPrintable(why));
        QFile f(backup);
        QVERIFY(f.resize(f.size() / 2));
    }
    QVERIFY(Settings::setBackupFolder(folder));
    const QByteArray live = contentOf(clinic.dbPath());
    QPointer<BackupWindow> form = new BackupWindow();
    Dialogs::queueAnswer(true);
    buttonOf(form, "CmdRestaure")->click();
    QCOMPARE(Dialogs::lastText(), QStringLiteral("Erreur à la restauration, restauration non éffectuée."));
    QVERIFY(form);
    QCOMPARE(contentOf(clinic.dbPath()), live);
    QVERIFY(obs::test::keptBeforeRestore(clinic.dbPath()).isEmpty());
    delete form;
}

void TestBackup::restoreOverDamagedDatabase_data() {
    QTest::addColumn<QString>("damage");
    QTest::newRow("overwritten") << "overwritten";
    QTest::newRow("header destroyed") << "header";
}

void TestBackup::restoreOverDamagedDatabase() {
    QFETCH(QString, damage);
    TempClinic clinic;
    addPatient(clinic, "DUPONT");
    addPatient(clinic, "MARTIN");
    const QString folder = makeFolder(clinic, QStringLiteral("cle"));
    QString why;
    QVERIFY2(backupDatabase(clinic.dbPath(), QDir(folder).filePath("OBSLEDGER.MDB"), &why), qPrintable(why));
    QVERIFY(Settings::setBackupFolder(folder));
    {
        QFile f(clinic.dbPath());
        QVERIFY(f.open(damage == "overwritten" ? QIODevice::WriteOnly | QIODevice::Truncate : QIODevice::ReadWrite));
        f.write(QByteArray("Ceci n'est plus une base. ").repeated(damage == "overwritten" ? 400 : 4));
    }
    const QByteArray damaged = contentOf(clinic.dbPath());

    // The very case a restore is for: the backup takes the damaged file's place, which is kept.
    QPointer<BackupWindow> form = new BackupWindow();
    Dialogs::queueAnswer(true);
    buttonOf(form, "CmdRestaure")->click();
    QCOMPARE(Dialogs::lastText(), QStringLiteral("Restauration terminée"));
    QTRY_VERIFY(!form);
    const QStringList keptCopies = obs::test::keptBeforeRestore(clinic.dbPath());
    QCOMPARE(keptCopies.size(), 1);
    const QString kept = keptCopies.first();
    QCOMPARE(contentOf(kept), damaged);
    QVERIFY2(checkProgramDatabase(clinic.dbPath(), &why), qPrintable(why));
    QCOMPARE(actsIn(clinic.dbPath()), 2);
    QCOMPARE(QDir(clinic.dir()).entryList({"*.partiel*"}, QDir::Files), QStringList());
}

void TestBackup::restoreBesideStaleJournal() {
    TempClinic clinic;
    addPatient(clinic, "DUPONT");
    addPatient(clinic, "MARTIN");
    const QString backup = QDir(makeFolder(clinic, QStringLiteral("cle"))).filePath("OBSLEDGER.MDB");
    QString why, kept;
    QVERIFY2(backupDatabase(clinic.dbPath(), backup, &why), qPrintable(why));
    // The database file is gone, but the journal of a write interrupted on other content lies at
    // its place: played back into the restored file, it would bring that other content in.
    const QString other = clinic.file("autre.mdb");
    QVERIFY(QFile::copy(backup, other));
    {
        Status s;
        auto db = Database::open(other, &s);
        QVERIFY2(db, qPrintable(s.message));
        for (int i = 0; i < 50; ++i)
            QVERIFY(db->insert("ACTES", {{"Nom", QStringLiteral("AUTRE %1").arg(i)}}));
        QVERIFY(db->executeRaw("PRAGMA cache_size=2"));
        QVERIFY(db->executeRaw("BEGIN"));
        for (int i = 0; i < 200; ++i)
            QVERIFY(db->insert("ACTES", {{"Nom", QString(400, u'X')}}));
        QVERIFY(QFileInfo(other + "-journal").size() > 0);
        QVERIFY(QFile::copy(other + "-journal", clinic.dbPath() + "-journal"));
        QVERIFY(db->executeRaw("ROLLBACK"));
    }
    QVERIFY(QFile::remove(clinic.dbPath()));

    QVERIFY2(restoreDatabase(backup, clinic.dbPath(), &why, &kept), qPrintable(why));
    QVERIFY(!QFileInfo::exists(clinic.dbPath() + "-journal"));
    QVERIFY2(checkProgramDatabase(clinic.dbPath(), &why), qPrintable(why));
    QCOMPARE(actsIn(clinic.dbPath()), 2);
}

void TestBackup::restoreFromWriteProtectedBackup() {
    TempClinic clinic;
    addPatient(clinic, "DUPONT");
    const QString backup = QDir(makeFolder(clinic, QStringLiteral("cle"))).filePath("OBSLEDGER.MDB");
    QString why, kept;
    QVERIFY2(backupDatabase(clinic.dbPath(), backup, &why), qPrintable(why));
    QVERIFY(QFile::setPermissions(backup, QFileDevice::ReadOwner | QFileDevice::ReadGroup | QFileDevice::ReadOther));
    // The database file is lost: the restored one must take new acts all the same.
    QVERIFY(QFile::remove(clinic.dbPath()));
    QVERIFY2(restoreDatabase(backup, clinic.dbPath(), &why, &kept), qPrintable(why));
    QVERIFY(QFileInfo(clinic.dbPath()).permissions() & QFileDevice::WriteOwner);
    QCOMPARE(actsIn(clinic.dbPath()), 1);
}

void TestBackup::restoreWhileAnotherWorkstationWrites() {
    TempClinic clinic;
    addPatient(clinic, "DUPONT");
    const QString backup = QDir(makeFolder(clinic, QStringLiteral("cle"))).filePath("OBSLEDGER.MDB");
    QString why, kept;
    QVERIFY2(backupDatabase(clinic.dbPath(), backup, &why), qPrintable(why));
    addPatient(clinic, "MARTIN");
    addPatient(clinic, "ZOLA");

    Writer writer(clinic.dbPath());
    QVERIFY(!restoreDatabase(backup, clinic.dbPath(), &why, &kept, 200));
    QVERIFY2(why.contains("occupée"), qPrintable(why));
    writer.commit();
    // Nothing of the backup went in: the three rows and the writer's one.
    QCOMPARE(clinic.count("ACTES"), 4);
    QCOMPARE(clinic.scalar("SELECT count(*) FROM ACTES WHERE Nom IN ('MARTIN','ZOLA','ENCOURS')").toLongLong(), 3);
    QVERIFY2(checkProgramDatabase(clinic.dbPath(), &why), qPrintable(why));

    // Once the other workstation is done, the same restore goes through.
    QVERIFY2(restoreDatabase(backup, clinic.dbPath(), &why, &kept, 200), qPrintable(why));
    QCOMPARE(clinic.count("ACTES"), 1);
    QCOMPARE(actsIn(kept), 4);
}

void TestBackup::restoreScreenWaitsThenFails() {
    TempClinic clinic;
    addPatient(clinic, "DUPONT");
    const QString folder = makeFolder(clinic, QStringLiteral("cle"));
    QString why;
    QVERIFY(backupDatabase(clinic.dbPath(), QDir(folder).filePath("OBSLEDGER.MDB"), &why));
    addPatient(clinic, "MARTIN");
    QVERIFY(Settings::setBackupFolder(folder));
    Writer writer(clinic.dbPath());
    QPointer<BackupWindow> form = new BackupWindow();
    Dialogs::queueAnswer(true);
    buttonOf(form, "CmdRestaure")->click();
    QCOMPARE(Dialogs::lastText(), QStringLiteral("Erreur à la restauration, restauration non éffectuée."));
    QVERIFY(form);
    writer.commit();
    QCOMPARE(clinic.count("ACTES"), 3);
    delete form;
}

void TestBackup::restoreWithoutSettingReadsApplicationFolder() {
    TempClinic clinic;
    addPatient(clinic, "DUPONT");
    QString why;
    QVERIFY(backupDatabase(clinic.dbPath(), QDir(clinic.appDir()).filePath("OBSLEDGER.MDB"), &why));
    addPatient(clinic, "MARTIN");
    QVERIFY(!contentOf(Settings::fileFor(kSettingsApp)).toUpper().contains("SAUVE"));
    BackupWindow* form = new BackupWindow();
    Dialogs::queueAnswer(true);
    buttonOf(form, "CmdRestaure")->click();
    QCOMPARE(Dialogs::lastText(), QStringLiteral("Restauration terminée"));
    QCOMPARE(clinic.count("ACTES"), 1);
}

void TestBackup::quitButton() {
    TempClinic clinic;
    QPointer<BackupWindow> form = new BackupWindow();
    form->show();
    QSignalSpy closed(form.data(), &Screen::closed);
    buttonOf(form, "Command1")->click();
    QCOMPARE(closed.count(), 1);
    QTRY_VERIFY(!form);
    QVERIFY(Dialogs::shownTexts().isEmpty());
}

void TestBackup::roundTripThroughRecordEditor() {
    TempClinic clinic;
    addPatient(clinic, "DUPONT");
    addPatient(clinic, "MARTIN");
    const QString folder = makeFolder(clinic, QStringLiteral("cle"));
    std::unique_ptr<RecordEditor> main(new RecordEditor(clinic.database(), clinic.browsed()));
    QVERIFY(main->load());
    main->show();
    auto* text1 = child<QLineEdit>(main.get(), "Text1");
    QTest::keyClicks(text1, "DUPONT");
    QCOMPARE(child<QLineEdit>(main.get(), "TxtNom")->text(), QStringLiteral("DUPONT"));

    // Backup: the main window hides and lets the file go, then takes it again.
    buttonOf(main.get(), "Command5")->click();
    QWidget* screen = obs::test::topLevel("Form21");
    QVERIFY(screen);
    QVERIFY(!main->isVisible());
    QVERIFY(!clinic.database().store());
    Dialogs::queueFolder(folder);
    buttonOf(screen, "Command2")->click();
    buttonOf(screen, "CmdSauve")->click();
    QCOMPARE(Dialogs::lastText(), QStringLiteral("Sauvegarde terminée"));
    QTRY_VERIFY(!obs::test::topLevel("Form21"));
    QVERIFY(main->isVisible());
    QVERIFY(clinic.database().store());
    // The record buttons still hold the closed result: they do nothing and say nothing.
    Dialogs::clearShown();
    for (const char* name : {"Command1", "Command3", "Command4", "Command2"})
        buttonOf(main.get(), name)->click();
    QVERIFY(Dialogs::shownTexts().isEmpty());

    addPatient(clinic, "ZOLA");
    text1->clear();
    QTest::keyClicks(text1, "ZOLA");
    QCOMPARE(child<QLineEdit>(main.get(), "TxtNom")->text(), QStringLiteral("ZOLA"));

    // Restore: the row added after the backup is gone, without a restart.
    buttonOf(main.get(), "Command5")->click();
    screen = obs::test::topLevel("Form21");
    QVERIFY(screen);
    Dialogs::queueAnswer(true);
    buttonOf(screen, "CmdRestaure")->click();
    QCOMPARE(Dialogs::lastText(), QStringLiteral("Restauration terminée"));
    QTRY_VERIFY(!obs::test::topLevel("Form21"));
    QVERIFY(main->isVisible());
    Dialogs::clearShown();
    text1->clear();
    QTest::keyClicks(text1, "ZOLA");
    QCOMPARE(Dialogs::lastText(), QStringLiteral("Ce Nom n'existe pas"));
    text1->clear();
    QTest::keyClicks(text1, "MARTIN");
    QCOMPARE(child<QLineEdit>(main.get(), "TxtNom")->text(), QStringLiteral("MARTIN"));
    QCOMPARE(actsIn(obs::test::keptBeforeRestore(clinic.dbPath()).value(0)), 3);
}

QTEST_MAIN(TestBackup)
#include "test_backup.moc"
