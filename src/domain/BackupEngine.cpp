#include "domain/BackupEngine.h"

#include "common/FileCopy.h"
#include "common/Leftovers.h"
#include "common/PrivateFile.h"
#include "domain/BackupGenerations.h"
#include "store/Bulk.h"
#include "store/Store.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QTemporaryFile>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <memory>
#include <sys/stat.h>
#include <system_error>

namespace obs {

namespace {

std::filesystem::path fsPath(const QString& path) {
    const QByteArray utf8 = path.toUtf8();
    return std::filesystem::path(std::u8string(reinterpret_cast<const char8_t*>(utf8.constData()), utf8.size()));
}

const QString kPartialSuffix = QStringLiteral(".partiel");

// Fills a temporary file beside the target (through `fill`), and renames it into place. On failure
// the target is as it was and no temporary is left.
bool writeThenRename(const QString& targetFile, const std::function<bool(const QString& tempPath, QString* why)>& fill,
                     QString* why) {
    const QFileInfo target(targetFile);
    const QDir folder = target.absoluteDir();
    if (!folder.exists()) {
        *why = QStringLiteral("Le répertoire « %1 » n'existe pas ou n'est pas accessible.")
                   .arg(QDir::toNativeSeparators(folder.path()));
        return false;
    }
    QTemporaryFile temp(folder.filePath(target.fileName() + QStringLiteral(".XXXXXX") + kPartialSuffix));
    if (!temp.open()) {
        *why = QStringLiteral("Impossible d'écrire dans le répertoire « %1 » (%2).")
                   .arg(QDir::toNativeSeparators(folder.path()), temp.errorString());
        return false;
    }
    const QString tempPath = temp.fileName();
    temp.close();
    const QString journal = tempPath + QStringLiteral("-journal");
    Leftover leftover(tempPath); // also when the command is stopped
    if (!fill(tempPath, why)) {
        QFile::remove(journal);
        return false; // the temporary file goes with `temp`
    }
    QFile::remove(journal);
    // The clinic's rights, whatever the source's or the file replaced: writable by its owner (a
    // database restored from a write-protected backup must still take the acts entered), never
    // readable by other accounts.
    if (!restrictToClinic(tempPath, targetFile, why))
        return false;
    std::error_code error;
    std::filesystem::rename(fsPath(tempPath), fsPath(targetFile), error);
    if (error) {
        *why = QStringLiteral("Impossible de remplacer le fichier « %1 » (%2).")
                   .arg(QDir::toNativeSeparators(targetFile), QString::fromLocal8Bit(error.message()));
        return false;
    }
    temp.setAutoRemove(false);
    leftover.keep();
    return true;
}

// Writes a snapshot of the source database beside the target, checks it when asked, and renames
// it into place. beforeReplace runs once the snapshot is ready, just before the target is
// replaced; its failure leaves the target as it was.
bool snapshotInto(const QString& sourcePath, const QString& targetFile, bool check, int lockWaitMs, QString* why,
                  const std::function<bool(QString*)>& beforeReplace = {}) {
    return writeThenRename(
        targetFile,
        [&](const QString& tempPath, QString* why) {
            if (Status s = snapshotFile(sourcePath, tempPath, lockWaitMs); !s) {
                *why = s.message;
                return false;
            }
            if (Status s = check ? checkSnapshot(tempPath) : Status::success(); !s) {
                *why = QStringLiteral("La copie n'est pas une base de données saine : %1").arg(s.message);
                return false;
            }
            return !beforeReplace || beforeReplace(why);
        },
        why);
}

// Temporary files of an earlier backup, restore or command that was killed midway, beside `file`:
// those no living command holds.
void removeLeftovers(const QString& file) {
    removeDeadLeftovers(QFileInfo(file).absolutePath(), 120);
}

// A copy of the backup file of the restore's own, with the journal left beside it if any, so that
// reading and checking it never changes the backup itself. Removed when it goes out of scope.
class PrivateCopy {
public:
    PrivateCopy(const QString& backupFile, const QString& besideFile)
        : m_temp(QFileInfo(besideFile)
                     .absoluteDir()
                     .filePath(QFileInfo(besideFile).fileName() + QStringLiteral(".XXXXXX") + kPartialSuffix)),
          m_backupFile(backupFile) {}
    ~PrivateCopy() {
        if (!m_path.isEmpty())
            QFile::remove(m_path + QStringLiteral("-journal"));
    }
    PrivateCopy(const PrivateCopy&) = delete;
    PrivateCopy& operator=(const PrivateCopy&) = delete;

    bool make(QString* why) {
        if (!m_temp.open()) {
            *why = QStringLiteral("Impossible d'écrire une copie de travail de la sauvegarde (%1).")
                       .arg(m_temp.errorString());
            return false;
        }
        m_path = m_temp.fileName();
        m_temp.close();
        m_leftover = std::make_unique<Leftover>(m_path);
        return copyFile(m_backupFile, m_path, why) &&
               (!QFileInfo::exists(m_backupFile + QStringLiteral("-journal")) ||
                copyFile(m_backupFile + QStringLiteral("-journal"), m_path + QStringLiteral("-journal"), why));
    }
    QString path() const { return m_path; }

private:
    static bool copyFile(const QString& from, const QString& to, QString* why) {
        QString reason;
        if (copyFileWhole(from, to, &reason))
            return true;
        *why = QStringLiteral("La sauvegarde n'a pas pu être lue (%1).").arg(reason);
        return false;
    }

    QTemporaryFile m_temp;
    std::unique_ptr<Leftover> m_leftover;
    QString m_backupFile;
    QString m_path;
};

// A new database file at targetFile holding the program's schema and the rows of the checked copy.
bool newDatabaseFromBackup(const QString& copyPath, const QString& targetFile, QString* why) {
    return writeThenRename(
        targetFile,
        [&](const QString& tempPath, QString* why) {
            const Status s = createFromSnapshot(tempPath, copyPath);
            if (!s)
                *why = s.message;
            return s.ok();
        },
        why);
}

// A journal left beside a database file belongs to that file's content: once the file is
// replaced whole, the engine would play it back into the restored content. It goes beside the
// kept copy instead.
bool setJournalAside(const QString& databasePath, const QString& kept, QString* why) {
    const QString journal = databasePath + QStringLiteral("-journal");
    if (!QFileInfo::exists(journal))
        return true;
    const QString aside = kept + QStringLiteral("-journal");
    QFile::remove(aside);
    if (!QFile::rename(journal, aside)) {
        *why = QStringLiteral("Le journal « %1 » laissé à côté de la base de données n'a pas pu être écarté.")
                   .arg(QDir::toNativeSeparators(journal));
        return false;
    }
    return true;
}

} // namespace

QString backupFileIn(const QString& folder) {
    if (folder.trimmed().isEmpty())
        return QString();
    return QDir::toNativeSeparators(QDir(QDir::fromNativeSeparators(folder)).filePath(kBackupFileName));
}

QString beforeRestoreCopyOf(const QString& databasePath) {
    const QFileInfo base(databasePath);
    return newKeptCopyPath(base.absolutePath(), base.fileName() + kBeforeRestoreSuffix, QString());
}

QString holderName(const QString& what) {
    return QStringLiteral("%1 (%2, processus %3)")
        .arg(what, QCoreApplication::applicationName())
        .arg(QCoreApplication::applicationPid());
}

bool sameFile(const QString& a, const QString& b) {
    // Device and inode: a hard link or another path to the file is the same file.
    struct stat sa {
    }, sb{};
    if (::stat(QFile::encodeName(a).constData(), &sa) == 0 && ::stat(QFile::encodeName(b).constData(), &sb) == 0 &&
        sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino)
        return true;
    const QFileInfo fa(a), fb(b);
    if (fa.exists() && fb.exists() && fa.canonicalFilePath() == fb.canonicalFilePath())
        return true;
    const QString da = fa.absoluteDir().canonicalPath(), db = fb.absoluteDir().canonicalPath();
    const bool sameFolder = da.isEmpty() || db.isEmpty() ? fa.absolutePath() == fb.absolutePath() : da == db;
    return sameFolder && fa.fileName().compare(fb.fileName(), Qt::CaseInsensitive) == 0;
}

bool backupDatabase(const QString& databasePath, const QString& backupFile, QString* why, int lockWaitMs) {
    if (backupFile.isEmpty()) {
        *why = QStringLiteral("Aucun répertoire de sauvegarde n'est défini : choisissez-le d'abord avec « Définir le "
                              "répertoire de Sauvegarde ».");
        return false;
    }
    if (!QFileInfo(databasePath).isFile()) {
        *why = QStringLiteral("La base de données « %1 » est introuvable.").arg(QDir::toNativeSeparators(databasePath));
        return false;
    }
    if (sameFile(databasePath, backupFile)) {
        *why = QStringLiteral("Le répertoire de sauvegarde est celui de la base de données : choisissez un autre "
                              "répertoire.");
        return false;
    }
    removeLeftovers(backupFile);
    // The backup being replaced is kept under its date, so that an older state can be restored.
    return snapshotInto(databasePath, backupFile, true, lockWaitMs, why,
                        [&backupFile](QString* reason) { return keepBackupGeneration(backupFile, reason); });
}

bool restoreDatabase(const QString& backupFile, const QString& databasePath, QString* why, QString* keptCopy,
                     int lockWaitMs) {
    if (keptCopy)
        keptCopy->clear();
    if (backupFile.isEmpty() || !QFileInfo(backupFile).isFile()) {
        *why = QStringLiteral("Aucune sauvegarde n'a été trouvée : le fichier « %1 » est introuvable.")
                   .arg(QDir::toNativeSeparators(backupFile));
        return false;
    }
    if (sameFile(backupFile, databasePath)) {
        *why = QStringLiteral("La sauvegarde et la base de données sont le même fichier.");
        return false;
    }
    // No import, copy or other restore on the same database meanwhile.
    Status heldStatus;
    const std::unique_ptr<BaseHold> held =
        holdBase(databasePath, holderName(QStringLiteral("une restauration")), lockWaitMs, &heldStatus);
    if (!held) {
        *why = heldStatus.message;
        return false;
    }
    removeLeftovers(databasePath);
    removeLeftovers(backupFile);
    // The backup is read and checked through a copy of the restore's own: opening a database file
    // may change it (its journal mode, a journal left beside it played back).
    QString reason;
    PrivateCopy copy(backupFile, databasePath);
    bool sound = copy.make(&reason);
    if (sound) {
        const Status s = checkSnapshot(copy.path());
        sound = s.ok();
        reason = s.message;
    }
    // A backup whose journal was tampered with restores nothing: checked before anything is kept
    // or replaced.
    if (sound) {
        JournalCheck check;
        if (const Status s = checkJournalOf(copy.path(), &check); !s) {
            *why = check.intact ? s.message
                                : QStringLiteral("Le journal des actes de la sauvegarde « %1 » est altéré : %2 Rien "
                                                 "n'a été restauré.")
                                      .arg(QDir::toNativeSeparators(backupFile), check.problem);
            return false;
        }
    }
    if (!sound) {
        *why = QStringLiteral("Le fichier « %1 » n'est pas une sauvegarde valable d'OBSLEDGER.\n%2")
                   .arg(QDir::toNativeSeparators(backupFile), reason);
        return false;
    }
    const QString kept = beforeRestoreCopyOf(databasePath);
    // With no database left at its place, the backup simply takes it.
    if (!QFileInfo::exists(databasePath))
        return setJournalAside(databasePath, kept, why) && newDatabaseFromBackup(copy.path(), databasePath, why);

    // A damaged database is the very case for a restore: it is kept as it stands, and a new file
    // made from the backup takes its place whole.
    if (isUnreadableBaseFile(databasePath)) {
        if (!copyFileWhole(databasePath, kept, &reason)) {
            *why = QStringLiteral("La base de données actuelle n'a pas pu être mise de côté dans « %1 » : %2")
                       .arg(QDir::toNativeSeparators(kept), reason);
            return false;
        }
        if (keptCopy)
            *keptCopy = kept;
        pruneKeptCopies(QFileInfo(databasePath).absolutePath(),
                        QFileInfo(databasePath).fileName() + kBeforeRestoreSuffix, QString());
        return setJournalAside(databasePath, kept, why) && newDatabaseFromBackup(copy.path(), databasePath, why);
    }

    // The database being replaced is kept, so that a mistaken restore can be undone.
    if (!snapshotInto(databasePath, kept, false, lockWaitMs, &reason)) {
        *why = QStringLiteral("La base de données actuelle n'a pas pu être mise de côté dans « %1 » : %2")
                   .arg(QDir::toNativeSeparators(kept), reason);
        return false;
    }
    if (keptCopy)
        *keptCopy = kept;
    pruneKeptCopies(QFileInfo(databasePath).absolutePath(), QFileInfo(databasePath).fileName() + kBeforeRestoreSuffix,
                    QString());
    const Status s = replaceFromSnapshot(databasePath, copy.path(), lockWaitMs);
    if (!s)
        *why = s.message;
    return s.ok();
}

bool makeNewBaseFile(const QString& target, const std::function<bool(const QString& tempPath, QString* why)>& fill,
                     QString* why) {
    const QFileInfo info(target);
    const QDir folder = info.absoluteDir();
    if (!folder.exists()) {
        *why = QStringLiteral("Le dossier « %1 » n'existe pas ou n'est pas accessible.")
                   .arg(QDir::toNativeSeparators(folder.path()));
        return false;
    }
    // Whatever an earlier command killed midway left beside the target.
    removeDeadLeftovers(folder.absolutePath(), kQuietLeftoverSeconds);
    QString tempPath;
    QTemporaryFile reserve(folder.filePath(info.fileName() + QStringLiteral(".XXXXXX") + kPartialSuffix));
    if (!reserve.open()) {
        *why = QStringLiteral("Impossible d'écrire dans le dossier « %1 » (%2).")
                   .arg(QDir::toNativeSeparators(folder.path()), reserve.errorString());
        return false;
    }
    // Empty, the engine makes it a new base; the command's own until it is moved into place.
    tempPath = reserve.fileName();
    reserve.setAutoRemove(false);
    reserve.close();
    Leftover leftover(tempPath);
    if (!fill(tempPath, why))
        return false;
    QFile::remove(tempPath + QStringLiteral("-journal"));
    if (!restrictToClinic(tempPath, target, why))
        return false;
    // Never over another file: renameat2 refuses when the target exists.
    if (::renameat2(AT_FDCWD, QFile::encodeName(tempPath).constData(), AT_FDCWD, QFile::encodeName(target).constData(),
                    RENAME_NOREPLACE) != 0) {
        const int error = errno;
        *why = error == EEXIST
                   ? QStringLiteral("Le fichier « %1 » a été créé entre-temps par un autre programme : il "
                                    "n'a pas été remplacé.")
                         .arg(QDir::toNativeSeparators(target))
                   : QStringLiteral("Le fichier « %1 » n'a pas pu être mis en place (%2).")
                         .arg(QDir::toNativeSeparators(target), QString::fromLocal8Bit(std::strerror(error)));
        return false;
    }
    leftover.keep();
    return true;
}

QString beforeJournalCopyOf(const QString& databasePath, const QDate& day) {
    const QFileInfo base(databasePath);
    const QString suffix = base.suffix().isEmpty() ? QStringLiteral("mdb") : base.suffix();
    return base.absoluteDir().filePath(
        QStringLiteral("%1.avant-journal-%2.%3")
            .arg(base.completeBaseName(), day.toString(QStringLiteral("yyyyMMdd")), suffix));
}

bool giveFileItsJournal(const QString& databasePath, QString* keptCopy, qint64* opened, QString* why, int lockWaitMs) {
    *opened = 0;
    keptCopy->clear();
    const QString kept = beforeJournalCopyOf(databasePath, QDate::currentDate());
    QString reason;
    if (!snapshotInto(databasePath, kept, false, lockWaitMs, &reason)) {
        *why = QStringLiteral("La base de données n'a pas pu être copiée dans « %1 » avant de recevoir son journal "
                              "des actes : %2")
                   .arg(QDir::toNativeSeparators(kept), reason);
        return false;
    }
    *keptCopy = kept;
    Status s;
    const std::shared_ptr<Store> store = Store::open(databasePath, &s);
    if (store)
        s = store->journal().create(opened);
    if (!s) {
        *why = QStringLiteral("Le journal des actes n'a pas pu être ajouté à la base de données, qui est inchangée : "
                              "%1")
                   .arg(s.message);
        return false;
    }
    return true;
}

} // namespace obs
