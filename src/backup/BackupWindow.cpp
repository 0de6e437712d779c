#include "backup/BackupWindow.h"

#include "common/AppPaths.h"
#include "common/Settings.h"
#include "domain/BackupEngine.h"
#include "domain/BackupGenerations.h"
#include "domain/ServerBackup.h"
#include "store/Store.h"
#include "widgets/Dialogs.h"

#include "ui_BackupWindow.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QPushButton>

namespace obs {

namespace {

const QString kLineBreak = QStringLiteral("\r\n");
const QString kBackupDone = QStringLiteral("Sauvegarde terminée");
const QString kBackupFailed = QStringLiteral("Sauvegarde non effectuée");
const QString kRestoreDone = QStringLiteral("Restauration terminée");
const QString kRestoreFailed = QStringLiteral("Erreur à la restauration, restauration non éffectuée.");

// The wait pointer while the file is copied, back to normal however the copy ends.
class BusyPointer {
public:
    BusyPointer() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~BusyPointer() { QApplication::restoreOverrideCursor(); }
    BusyPointer(const BusyPointer&) = delete;
    BusyPointer& operator=(const BusyPointer&) = delete;
};

// One side of the restore question: the file's date and time and its number of acts.
QString summaryLine(const QString& what, const QString& path) {
    const DatabaseSummary s = summarizeDatabase(path);
    if (!s.modified.isValid())
        return QStringLiteral("%1 : introuvable (« %2 »)").arg(what, QDir::toNativeSeparators(path));
    const QString acts =
        s.acts ? QStringLiteral("%1 acte%2").arg(*s.acts).arg(*s.acts > 1 ? QStringLiteral("s") : QString())
               : QStringLiteral("nombre d'actes illisible");
    return QStringLiteral("%1 : %2 à %3, %4 (« %5 »)")
        .arg(what, s.modified.toString(QStringLiteral("dd/MM/yyyy")), s.modified.toString(QStringLiteral("HH:mm")),
             acts, QDir::toNativeSeparators(path));
}

// A path inside a button caption: an ampersand in a folder name is shown, not taken as a shortcut.
QString inCaption(const QString& path) {
    QString shown = path;
    return shown.replace(u'&', QStringLiteral("&&"));
}

// The file, or the server named without its password.
QString databaseShown() {
    const QString server = Settings::server();
    return server.isEmpty() ? Settings::databasePath() : describeLocation(server);
}

} // namespace

BackupWindow::BackupWindow(QWidget* parent)
    : Screen(QStringLiteral("Form21"), parent), m_ui(std::make_unique<Ui::BackupWindow>()) {
    setWindowTitle(QStringLiteral("Sauvegardes"));
    setWindowIcon(QIcon(QStringLiteral(":/obsledger.png")));
    buildUi();

    m_databasePath = databaseShown();
    m_backupFolder = Settings::backupFolder();
    m_label1->setText(m_backupFolder);
    m_cmdSauve->setText(QStringLiteral("Sauvegarder tout le repertoire : ") + kLineBreak + inCaption(m_databasePath) +
                        kLineBreak + QStringLiteral("vers") + kLineBreak + inCaption(m_backupFolder));
    m_cmdRestaure->setText(QStringLiteral("Restaurer les fichiers sauvegardés dans ") + inCaption(m_backupFolder) +
                           QStringLiteral(" vers ") + inCaption(m_databasePath));
    // Room around the captions, which the style draws right up to the edge otherwise.
    for (QPushButton* b : findChildren<QPushButton*>())
        b->setMinimumWidth(qMax(b->minimumWidth(), b->sizeHint().width() + 24));
    adjustSize();
}

BackupWindow::~BackupWindow() = default;

void BackupWindow::buildUi() {
    m_ui->setupUi(this);
    m_label1 = m_ui->Label1;
    m_cmdSauve = m_ui->CmdSauve;
    m_cmdRestaure = m_ui->CmdRestaure;
    QPushButton* command2 = m_ui->Command2;
    QPushButton* command1 = m_ui->Command1;

    connect(command2, &QPushButton::clicked, this, &BackupWindow::chooseFolder);
    connect(m_cmdSauve, &QPushButton::clicked, this, &BackupWindow::backup);
    connect(m_cmdRestaure, &QPushButton::clicked, this, &BackupWindow::restore);
    connect(command1, &QPushButton::clicked, this, &BackupWindow::close);
}

void BackupWindow::chooseFolder() {
    const QString folder = QDir::toNativeSeparators(
        Dialogs::chooseFolder(this, QStringLiteral("Choix du répertoire pour la sauvegarde :")));
    m_label1->setText(folder);
    m_cmdSauve->setText(QStringLiteral("Lancer la Sauvegarde de ") + kLineBreak + inCaption(m_databasePath) +
                        kLineBreak + QStringLiteral("vers") + kLineBreak + inCaption(folder));
    QString error;
    if (!Settings::setBackupFolder(folder, &error))
        Dialogs::explain(this,
                         QStringLiteral("Le répertoire de sauvegarde n'a pas pu être enregistré dans les réglages."),
                         error, true);
    m_backupFolder = folder;
}

void BackupWindow::backup() {
    m_databasePath = databaseShown();
    // With no folder chosen there is nowhere to write: the user chooses one here first.
    if (m_backupFolder.trimmed().isEmpty()) {
        Dialogs::explain(this, kBackupFailed,
                         QStringLiteral("Aucun répertoire de sauvegarde n'est défini : choisissez-le d'abord avec "
                                        "« Définir le répertoire de Sauvegarde »."),
                         true);
        return;
    }
    QString why;
    bool done = false;
    {
        BusyPointer busy;
        // On a server the backup is a snapshot of its rows in a file of the usual kind.
        const QString server = Settings::server();
        done = server.isEmpty() ? backupDatabase(m_databasePath, backupFileIn(m_backupFolder), &why)
                                : backupServer(server, backupFileIn(m_backupFolder), &why);
    }
    if (done)
        Dialogs::inform(this, kBackupDone);
    else
        Dialogs::explain(this, kBackupFailed, why, true);
    close();
}

void BackupWindow::restore() {
    QString folder = Settings::backupFolder();
    if (folder.trimmed().isEmpty())
        folder = applicationFolder();
    const QString backupFile = backupFileIn(folder);
    // Replacing the base loses every act entered since the backup: the user says so first, seeing
    // both sides. With no backup file there is nothing to ask; the restore says it is missing.
    if (QFileInfo(backupFile).isFile() &&
        !Dialogs::ask(this, QStringLiteral("Voulez-vous vraiment remplacer la base actuelle par la sauvegarde ?"),
                      Dialogs::Default::No,
                      summaryLine(QStringLiteral("Sauvegarde"), backupFile) + u'\n' +
                          summaryLine(QStringLiteral("Base actuelle"), m_databasePath)))
        return;
    QString why, kept;
    bool done = false;
    {
        BusyPointer busy;
        const QString server = Settings::server();
        done = server.isEmpty() ? restoreDatabase(backupFile, m_databasePath, &why, &kept)
                                : restoreServer(backupFile, server, &why, &kept);
    }
    if (!done) {
        Dialogs::explain(this, kRestoreFailed, why, true);
        return;
    }
    if (kept.isEmpty())
        Dialogs::inform(this, kRestoreDone);
    else
        Dialogs::explain(this, kRestoreDone,
                         QStringLiteral("La base de données remplacée est conservée dans « %1 ».")
                             .arg(QDir::toNativeSeparators(kept)),
                         false);
    close();
}

} // namespace obs
