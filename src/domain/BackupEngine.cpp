#include "domain/BackupEngine.h"

#include "common/FileCopy.h"
#include "common/PrivateFile.h"
#include "domain/BackupGenerations.h"
#include "store/sqlite/Collation.h"
#include "store/sqlite/Schema.h"

#include <SQLiteCpp/SQLiteCpp.h>
#include <sqlite3.h>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QTemporaryFile>

#include <filesystem>
#include <functional>
#include <memory>
#include <sys/stat.h>
#include <system_error>

namespace obs {

namespace {

QString engineText(int code, const char* detail) {
    return Database::statusFromEngine(code, QString::fromUtf8(detail)).message;
}

std::filesystem::path fsPath(const QString& path) {
    const QByteArray utf8 = path.toUtf8();
    return std::filesystem::path(std::u8string(reinterpret_cast<const char8_t*>(utf8.constData()), utf8.size()));
}

// A connection of the copy's own, with the program's text order, that waits lockWaitMs on
// another workstation's lock. A file that is not a database fails here.
std::unique_ptr<SQLite::Database> openConnection(const QString& path, int flags, int lockWaitMs, QString* why) {
    try {
        auto db = std::make_unique<SQLite::Database>(path.toStdString(), flags, lockWaitMs);
        registerProgramFunctions(db->getHandle());
        db->exec("SELECT count(*) FROM sqlite_master");
        return db;
    } catch (const SQLite::Exception& e) {
        *why = engineText(e.getErrorCode(), e.what());
        return nullptr;
    }
}

// Copies every page in one step: one read lock on the source, one write transaction on the
// destination, so the copy is consistent and the destination is replaced all or nothing.
bool copyPages(SQLite::Database& from, SQLite::Database& to, QString* why) {
    sqlite3_backup* backup = sqlite3_backup_init(to.getHandle(), "main", from.getHandle(), "main");
    if (!backup) {
        *why = engineText(sqlite3_extended_errcode(to.getHandle()), sqlite3_errmsg(to.getHandle()));
        return false;
    }
    const int step = sqlite3_backup_step(backup, -1);
    const int finish = sqlite3_backup_finish(backup); // rolls the destination back unless done
    if (step != SQLITE_DONE) {
        *why = engineText(step, sqlite3_errstr(step));
        return false;
    }
    if (finish != SQLITE_OK) {
        *why = engineText(finish, sqlite3_errstr(finish));
        return false;
    }
    return true;
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
            {
                auto from = openConnection(sourcePath, SQLite::OPEN_READWRITE, lockWaitMs, why);
                auto to = from ? openConnection(tempPath, SQLite::OPEN_READWRITE | SQLite::OPEN_CREATE, lockWaitMs, why)
                               : nullptr;
                if (!from || !to || !copyPages(*from, *to, why))
                    return false;
            }
            QString reason;
            if (check && !checkProgramDatabase(tempPath, &reason)) {
                *why = QStringLiteral("La copie n'est pas une base de données saine : %1").arg(reason);
                return false;
            }
            return !beforeReplace || beforeReplace(why);
        },
        why);
}

// Temporary files of an earlier backup or restore that was killed midway, beside `file`. Those
// written to within the last minutes may belong to another workstation's run and stay.
void removeLeftovers(const QString& file) {
    const QFileInfo info(file);
    const QDir folder = info.absoluteDir();
    const QDateTime before = QDateTime::currentDateTimeUtc().addSecs(-120);
    const QStringList patterns{info.fileName() + QStringLiteral(".??????") + kPartialSuffix,
                               info.fileName() + QStringLiteral(".??????") + kPartialSuffix +
                                   QStringLiteral("-journal")};
    for (const QFileInfo& left : folder.entryInfoList(patterns, QDir::Files | QDir::Hidden | QDir::System)) {
        if (left.lastModified().toUTC() < before)
            QFile::remove(left.absoluteFilePath());
    }
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
    QString m_backupFile;
    QString m_path;
};

QString quoted(const QString& name) {
    QString q = name;
    return u'"' + q.replace(u'"', QStringLiteral("\"\"")) + u'"';
}

// Replaces everything the database holds by the rows of the checked copy of a backup, in one
// transaction: the tables, indexes and triggers are the program's own, never the backup's (a
// trigger or a view brought in by a backup would act on the next act entered).
bool fillFromBackup(Database& target, const QString& copyPath, QString* why) {
    Status s = target.executeRaw(QStringLiteral("ATTACH DATABASE ? AS sauvegarde"), {copyPath});
    if (!s) {
        *why = s.message;
        return false;
    }
    auto fail = [&](const Status& failed) {
        *why = failed.message;
        target.executeRaw(QStringLiteral("ROLLBACK"));
        target.executeRaw(QStringLiteral("DETACH DATABASE sauvegarde"));
        return false;
    };
    if (!(s = target.executeRaw(QStringLiteral("BEGIN IMMEDIATE"))))
        return fail(s);
    std::vector<std::pair<QString, QString>> objects;
    s = target.queryRaw(QStringLiteral("SELECT type, name FROM main.sqlite_master WHERE type IN ('view', 'trigger', "
                                       "'table') AND lower(substr(name, 1, 7)) <> 'sqlite_' ORDER BY type = 'table'"),
                        {}, [&](const Row& r) {
                            objects.emplace_back(r.values().value(0).toString(), r.values().value(1).toString());
                            return true;
                        });
    if (!s)
        return fail(s);
    for (const auto& [type, name] : objects) {
        if (!(s = target.executeRaw(QStringLiteral("DROP %1 IF EXISTS main.%2").arg(type.toUpper(), quoted(name)))))
            return fail(s);
    }
    if (!(s = createProgramTables(target)))
        return fail(s);
    const QString acts =
        QStringLiteral("NUMINT, Nom, Prenom, Date, MEDSUIT, MEDACTE, Acte, CCAM1, NF, CCAM2, CCAM3, "
                       "CCAM4, CCAM5, CCAM6, PRIX, DE, PAYESECU, PAYECOMPLE, PAYEDE, REVERSE, DateRev");
    const QString memo =
        QStringLiteral("rowid, NUMEROS, TEXTE, CCAM, TARIFS, MUT1, MUT2, MUT3, MUT4, MUT5, MUT6, \"INDEX\"");
    if (!(s = target.executeRaw(
              QStringLiteral("INSERT INTO main.ACTES (%1) SELECT %1 FROM sauvegarde.ACTES ORDER BY NUMINT")
                  .arg(acts))) ||
        !(s = target.executeRaw(
              QStringLiteral("INSERT INTO main.MEMO (%1) SELECT %1 FROM sauvegarde.MEMO ORDER BY rowid").arg(memo))))
        return fail(s);
    // Act numbers already given out in the backup are not given again.
    QVariant sequences;
    if (!(s = target.scalar(QStringLiteral("SELECT count(*) FROM sauvegarde.sqlite_master WHERE type = 'table' AND "
                                           "name = 'sqlite_sequence'"),
                            &sequences)))
        return fail(s);
    if (sequences.toLongLong() > 0) {
        QVariant given;
        if (!(s = target.scalar(QStringLiteral("SELECT max(seq) FROM sauvegarde.sqlite_sequence WHERE name = 'ACTES' "
                                               "AND typeof(seq) = 'integer'"),
                                &given)))
            return fail(s);
        if (!given.isNull()) {
            int changes = 0;
            const QVariantList seq{given};
            if (!(s = target.executeRaw(
                      QStringLiteral("UPDATE main.sqlite_sequence SET seq = max(seq, ?) WHERE name = 'ACTES'"), seq,
                      &changes)))
                return fail(s);
            if (changes == 0 &&
                !(s = target.executeRaw(
                      QStringLiteral("INSERT INTO main.sqlite_sequence (name, seq) VALUES ('ACTES', ?)"), seq)))
                return fail(s);
        }
    }
    // The planner's figures describe the rows just brought in, not those replaced.
    if (!(s = createProgramIndexesAndTriggers(target)) || !(s = refreshStatistics(target)) ||
        !(s = target.executeRaw(QStringLiteral("COMMIT"))))
        return fail(s);
    target.executeRaw(QStringLiteral("DETACH DATABASE sauvegarde"));
    return true;
}

// A new database file at targetFile holding the program's schema and the rows of the checked copy.
bool newDatabaseFromBackup(const QString& copyPath, const QString& targetFile, QString* why) {
    return writeThenRename(
        targetFile,
        [&](const QString& tempPath, QString* why) {
            Status s;
            auto db = Database::create(tempPath, &s);
            if (!db) {
                *why = s.message;
                return false;
            }
            return fillFromBackup(*db, copyPath, why);
        },
        why);
}

// Whether the file at path cannot be read as a database at all (overwritten, header destroyed):
// its content cannot be taken or replaced through the engine, only the file as a whole.
bool isDamagedDatabase(const QString& path) {
    try {
        SQLite::Database db(path.toStdString(), SQLite::OPEN_READWRITE);
        db.exec("SELECT count(*) FROM sqlite_master");
        return false;
    } catch (const SQLite::Exception& e) {
        const int code = e.getErrorCode() & 0xFF;
        return code == SQLITE_NOTADB || code == SQLITE_CORRUPT;
    }
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
    return databasePath + kBeforeRestoreSuffix;
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
    removeLeftovers(databasePath);
    removeLeftovers(backupFile);
    // The backup is read and checked through a copy of the restore's own: opening a database file
    // may change it (its journal mode, a journal left beside it played back).
    QString reason;
    PrivateCopy copy(backupFile, databasePath);
    if (!copy.make(&reason) || !checkProgramDatabase(copy.path(), &reason)) {
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
    if (isDamagedDatabase(databasePath)) {
        if (!copyFileWhole(databasePath, kept, &reason)) {
            *why = QStringLiteral("La base de données actuelle n'a pas pu être mise de côté dans « %1 » : %2")
                       .arg(QDir::toNativeSeparators(kept), reason);
            return false;
        }
        if (keptCopy)
            *keptCopy = kept;
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
    Status s;
    auto live = Database::open(databasePath, &s);
    if (!live) {
        *why = s.message;
        return false;
    }
    live->setLockWait(lockWaitMs, 0);
    return fillFromBackup(*live, copy.path(), why);
}

} // namespace obs
