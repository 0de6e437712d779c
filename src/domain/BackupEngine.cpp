#include "domain/BackupEngine.h"

#include "domain/BackupGenerations.h"
#include "store/sqlite/Collation.h"
#include "store/sqlite/Schema.h"

#include <SQLiteCpp/SQLiteCpp.h>
#include <sqlite3.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QTemporaryFile>

#include <filesystem>
#include <functional>
#include <memory>
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

// Writes a snapshot of the source database to a temporary file beside the target, checks it when
// asked, and renames it into place. On failure the target is as it was and no temporary is left.
// beforeReplace runs once the snapshot is ready, just before the target is replaced; its failure
// leaves the target as it was.
bool snapshotInto(const QString& sourcePath, const QString& targetFile, bool check, int lockWaitMs, QString* why,
                  const std::function<bool(QString*)>& beforeReplace = {}) {
    const QFileInfo target(targetFile);
    const QDir folder = target.absoluteDir();
    if (!folder.exists()) {
        *why = QStringLiteral("Le répertoire « %1 » n'existe pas ou n'est pas accessible.")
                   .arg(QDir::toNativeSeparators(folder.path()));
        return false;
    }
    QTemporaryFile temp(folder.filePath(target.fileName() + QStringLiteral(".XXXXXX.partiel")));
    if (!temp.open()) {
        *why = QStringLiteral("Impossible d'écrire dans le répertoire « %1 » (%2).")
                   .arg(QDir::toNativeSeparators(folder.path()), temp.errorString());
        return false;
    }
    const QString tempPath = temp.fileName();
    temp.close();
    const QString journal = tempPath + QStringLiteral("-journal");

    bool copied = false;
    {
        auto from = openConnection(sourcePath, SQLite::OPEN_READWRITE, lockWaitMs, why);
        auto to =
            from ? openConnection(tempPath, SQLite::OPEN_READWRITE | SQLite::OPEN_CREATE, lockWaitMs, why) : nullptr;
        copied = from && to && copyPages(*from, *to, why);
    }
    if (copied && check) {
        QString reason;
        if (!checkProgramDatabase(tempPath, &reason)) {
            *why = QStringLiteral("La copie n'est pas une base de données saine : %1").arg(reason);
            copied = false;
        }
    }
    if (copied && beforeReplace)
        copied = beforeReplace(why);
    if (!copied) {
        QFile::remove(journal);
        return false; // the temporary file goes with `temp`
    }
    // A file replaced keeps its rights; a new one takes the source's. Either stays writable by its
    // owner: a database restored from a write-protected backup must still take the acts entered.
    const QFileInfo rightsFrom(QFileInfo::exists(targetFile) ? targetFile : sourcePath);
    QFile::setPermissions(tempPath, rightsFrom.permissions() | QFileDevice::ReadOwner | QFileDevice::WriteOwner);
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

// A plain copy of a file, which replaces the target only once complete.
bool copyWhole(const QString& from, const QString& to, QString* why) {
    QFile in(from);
    QSaveFile out(to);
    if (!in.open(QIODevice::ReadOnly)) {
        *why = in.errorString();
        return false;
    }
    if (!out.open(QIODevice::WriteOnly)) {
        *why = out.errorString();
        return false;
    }
    while (!in.atEnd()) {
        const QByteArray chunk = in.read(1 << 20);
        if (chunk.isEmpty() || out.write(chunk) != chunk.size()) {
            *why = chunk.isEmpty() ? in.errorString() : out.errorString();
            return false;
        }
    }
    if (!out.commit()) {
        *why = out.errorString();
        return false;
    }
    return true;
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
    QString reason;
    if (!checkProgramDatabase(backupFile, &reason)) {
        *why = QStringLiteral("Le fichier « %1 » n'est pas une sauvegarde valable d'OBSLEDGER.\n%2")
                   .arg(QDir::toNativeSeparators(backupFile), reason);
        return false;
    }
    const QString kept = beforeRestoreCopyOf(databasePath);
    // With no database left at its place, the backup simply takes it.
    if (!QFileInfo::exists(databasePath))
        return setJournalAside(databasePath, kept, why) &&
               snapshotInto(backupFile, databasePath, true, lockWaitMs, why);

    // A damaged database is the very case for a restore: it is kept as it stands, and the backup
    // takes the file's place whole.
    if (isDamagedDatabase(databasePath)) {
        if (!copyWhole(databasePath, kept, &reason)) {
            *why = QStringLiteral("La base de données actuelle n'a pas pu être mise de côté dans « %1 » : %2")
                       .arg(QDir::toNativeSeparators(kept), reason);
            return false;
        }
        if (keptCopy)
            *keptCopy = kept;
        return setJournalAside(databasePath, kept, why) &&
               snapshotInto(backupFile, databasePath, true, lockWaitMs, why);
    }

    // The database being replaced is kept, so that a mistaken restore can be undone.
    if (!snapshotInto(databasePath, kept, false, lockWaitMs, &reason)) {
        *why = QStringLiteral("La base de données actuelle n'a pas pu être mise de côté dans « %1 » : %2")
                   .arg(QDir::toNativeSeparators(kept), reason);
        return false;
    }
    if (keptCopy)
        *keptCopy = kept;
    auto live = openConnection(databasePath, SQLite::OPEN_READWRITE, lockWaitMs, why);
    if (!live)
        return false;
    auto backup = openConnection(backupFile, SQLite::OPEN_READONLY, lockWaitMs, why);
    return backup && copyPages(*backup, *live, why);
}

} // namespace obs
