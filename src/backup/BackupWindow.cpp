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
#include <QListWidget>
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

const QString kNoFolder = QStringLiteral("(aucun répertoire de sauvegarde choisi)");

// The screen, frame included, stays inside a 1024 pixels wide screen: a path too long for the
// captions is shortened in its middle there (the whole caption is in the button's tooltip).
constexpr int kCaptionWidth = 860;

QString actsText(const std::optional<qint64>& acts) {
    return acts ? QStringLiteral("%1 acte%2").arg(*acts).arg(*acts > 1 ? QStringLiteral("s") : QString())
                : QStringLiteral("nombre d'actes illisible");
}

QString dayAndTime(const QDateTime& when) {
    return QStringLiteral("%1 à %2").arg(when.toString(QStringLiteral("dd/MM/yyyy")),
                                         when.toString(QStringLiteral("HH:mm")));
}

// One side of the restore question: the file's date and time and its number of acts.
QString summaryLine(const QString& what, const QString& path) {
    const DatabaseSummary s = summarizeDatabase(path);
    if (!s.modified.isValid())
        return QStringLiteral("%1 : introuvable (« %2 »)").arg(what, QDir::toNativeSeparators(path));
    // A dated earlier backup is shown at the date its name gives, as in the list.
    const QDateTime dated = generationTime(path);
    return QStringLiteral("%1 : %2, %3 (« %4 »)")
        .arg(what, dayAndTime(dated.isValid() ? dated : s.modified), actsText(s.acts), QDir::toNativeSeparators(path));
}

// A path inside a button caption: an ampersand in a folder name is shown, not taken as a shortcut.
QString inCaption(const QString& path) {
    QString shown = path;
    return shown.replace(u'&', QStringLiteral("&&"));
}

QString fitted(const QString& text, const QFontMetrics& metrics, int width) {
    return metrics.horizontalAdvance(text) <= width ? text : metrics.elidedText(text, Qt::ElideMiddle, width);
}

// The folder the restore reads: the backup folder, or the application folder when none is set.
QString restoreFolder() {
    const QString folder = Settings::backupFolder();
    return folder.trimmed().isEmpty() ? applicationFolder() : folder;
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
    showFolder(m_backupFolder);
    showBackupCaption(QStringLiteral("Sauvegarder tout le repertoire : "), m_backupFolder);
    // The restore reads the application folder when no backup folder is set: the caption names it.
    {
        const QString lead = QStringLiteral("Restaurer les fichiers sauvegardés dans ");
        const QString between = QStringLiteral(" vers ");
        const QFontMetrics metrics = m_cmdRestaure->fontMetrics();
        QString from = restoreFolder(), to = m_databasePath;
        const int room = kCaptionWidth - metrics.horizontalAdvance(lead + between);
        const int fromWidth = metrics.horizontalAdvance(from), toWidth = metrics.horizontalAdvance(to);
        if (fromWidth + toWidth > room) {
            if (fromWidth <= room / 2)
                to = fitted(to, metrics, room - fromWidth);
            else if (toWidth <= room / 2)
                from = fitted(from, metrics, room - toWidth);
            else
                from = fitted(from, metrics, room / 2), to = fitted(to, metrics, room / 2);
        }
        m_cmdRestaure->setText(lead + inCaption(from) + between + inCaption(to));
        m_cmdRestaure->setToolTip(lead + restoreFolder() + between + m_databasePath);
    }
    listEarlierBackups();
    // Room around the captions, which the style draws right up to the edge otherwise.
    for (QPushButton* b : findChildren<QPushButton*>())
        b->setMinimumWidth(qMax(b->minimumWidth(), b->sizeHint().width() + 24));
    adjustSize();
}

BackupWindow::~BackupWindow() = default;

void BackupWindow::buildUi() {
    m_ui->setupUi(this);
    m_folderShown = m_ui->Label1;
    m_cmdSauve = m_ui->CmdSauve;
    m_cmdRestaure = m_ui->CmdRestaure;
    m_earlierTitle = m_ui->LblSauvegardes;
    m_earlier = m_ui->LstSauvegardes;
    m_restoreChosen = m_ui->CmdRestaurerChoix;
    QPushButton* chooseFolderButton = m_ui->Command2;
    QPushButton* quitButton = m_ui->Command1;

    connect(chooseFolderButton, &QPushButton::clicked, this, &BackupWindow::chooseFolder);
    connect(m_cmdSauve, &QPushButton::clicked, this, &BackupWindow::backup);
    connect(m_cmdRestaure, &QPushButton::clicked, this, &BackupWindow::restore);
    connect(m_restoreChosen, &QPushButton::clicked, this, &BackupWindow::restoreChosen);
    connect(m_earlier, &QListWidget::itemSelectionChanged, this,
            [this] { m_restoreChosen->setEnabled(!m_earlier->selectedItems().isEmpty()); });
    connect(m_earlier, &QListWidget::itemActivated, this, &BackupWindow::restoreChosen);
    connect(quitButton, &QPushButton::clicked, this, &BackupWindow::close);
}

void BackupWindow::showFolder(const QString& folder) {
    const int room = kCaptionWidth - m_ui->Command2->sizeHint().width() - 40;
    m_folderShown->setText(fitted(folder, m_folderShown->fontMetrics(), room));
    m_folderShown->setToolTip(folder);
}

// The caption of the backup button: what is copied, then where to. With no folder chosen, it says
// so rather than ending on an empty line.
void BackupWindow::showBackupCaption(const QString& lead, const QString& folder) {
    const QFontMetrics metrics = m_cmdSauve->fontMetrics();
    const QString to = folder.trimmed().isEmpty() ? kNoFolder : folder;
    m_cmdSauve->setText(lead + kLineBreak + inCaption(fitted(m_databasePath, metrics, kCaptionWidth)) + kLineBreak +
                        QStringLiteral("vers") + kLineBreak + inCaption(fitted(to, metrics, kCaptionWidth)));
    m_cmdSauve->setToolTip(lead + u'\n' + m_databasePath + u'\n' + QStringLiteral("vers") + u'\n' + to);
}

// The dated earlier backups beside the one the restore reads, the latest first, each with its date
// and time and its number of acts.
void BackupWindow::listEarlierBackups() {
    m_earlier->clear();
    const QStringList generations = backupGenerations(restoreFolder());
    for (auto it = generations.crbegin(); it != generations.crend(); ++it) {
        const DatabaseSummary s = summarizeDatabase(*it);
        const QDateTime when = generationTime(*it);
        auto* item = new QListWidgetItem(
            QStringLiteral("%1, %2").arg(dayAndTime(when.isValid() ? when : s.modified), actsText(s.acts)), m_earlier);
        item->setData(Qt::UserRole, *it);
        item->setToolTip(QDir::toNativeSeparators(*it));
    }
    m_earlierTitle->setText(generations.isEmpty() ? QStringLiteral("Sauvegardes précédentes : aucune")
                                                  : QStringLiteral("Sauvegardes précédentes :"));
    m_restoreChosen->setEnabled(false);
}

void BackupWindow::chooseFolder() {
    const QString folder = QDir::toNativeSeparators(
        Dialogs::chooseFolder(this, QStringLiteral("Choix du répertoire pour la sauvegarde :")));
    showFolder(folder);
    showBackupCaption(QStringLiteral("Lancer la Sauvegarde de "), folder);
    QString error;
    if (!Settings::setBackupFolder(folder, &error))
        Dialogs::explain(this,
                         QStringLiteral("Le répertoire de sauvegarde n'a pas pu être enregistré dans les réglages."),
                         error, true);
    m_backupFolder = folder;
    // The restore reads the folder just chosen: so does the list of earlier backups.
    listEarlierBackups();
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
    restoreFrom(backupFileIn(restoreFolder()));
}

void BackupWindow::restoreChosen() {
    const QList<QListWidgetItem*> chosen = m_earlier->selectedItems();
    if (chosen.isEmpty())
        return;
    restoreFrom(chosen.first()->data(Qt::UserRole).toString());
}

// The database as the restore question shows it: the file's date and acts, or the server's acts.
QString BackupWindow::currentSummary() const {
    const QString what = QStringLiteral("Base actuelle");
    const QString server = Settings::server();
    if (server.isEmpty())
        return summaryLine(what, m_databasePath);
    return QStringLiteral("%1 : %2 (serveur %3)").arg(what, actsText(serverActCount(server)), describeLocation(server));
}

void BackupWindow::restoreFrom(const QString& backupFile) {
    // Replacing the base loses every act entered since the backup: the user says so first, seeing
    // both sides. With no backup file there is nothing to ask; the restore says it is missing.
    if (QFileInfo(backupFile).isFile() &&
        !Dialogs::ask(this, QStringLiteral("Voulez-vous vraiment remplacer la base actuelle par la sauvegarde ?"),
                      Dialogs::Default::No,
                      summaryLine(QStringLiteral("Sauvegarde"), backupFile) + u'\n' + currentSummary()))
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
        // A dated backup may have gone meanwhile: the list shows what is there now.
        listEarlierBackups();
        return;
    }
    emit restored();
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
