// SPDX-License-Identifier: GPL-3.0-or-later
#include "domain/ServerBackup.h"

#include "domain/BackupEngine.h"
#include "domain/BackupGenerations.h"
#include "domain/ClinicCopy.h"
#include "store/Bulk.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <functional>

namespace obs {

namespace {
// A copy of the server into a new file, put in place only once complete and sound. beforeReplace
// runs once the copy is ready, just before the file is replaced; its failure leaves the file as it
// was.
bool snapshotTo(const QString& conninfo, const QString& file, QString* why,
                const std::function<bool(QString*)>& beforeReplace = {}, bool brokenJournal = false) {
    const QString partial = file + QStringLiteral(".partiel");
    QFile::remove(partial);
    if (!copyClinic(conninfo, partial, false, why, nullptr, brokenJournal)) {
        QFile::remove(partial);
        return false;
    }
    if (const Status s = checkSnapshot(partial); !s) {
        *why = s.message;
        QFile::remove(partial);
        return false;
    }
    if (beforeReplace && !beforeReplace(why)) {
        QFile::remove(partial);
        return false;
    }
    if (QFileInfo::exists(file) && !QFile::remove(file)) {
        *why = QStringLiteral("Le fichier %1 ne peut pas être remplacé.").arg(QDir::toNativeSeparators(file));
        QFile::remove(partial);
        return false;
    }
    if (!QFile::rename(partial, file)) {
        *why = QStringLiteral("Le fichier %1 n'a pas pu être écrit.").arg(QDir::toNativeSeparators(file));
        return false;
    }
    return true;
}
} // namespace

bool backupServer(const QString& conninfo, const QString& backupFile, QString* why) {
    if (backupFile.isEmpty()) {
        *why = QStringLiteral("Aucun répertoire de sauvegarde n'est défini.");
        return false;
    }
    // The backup being replaced is kept under its date, as with a file database. The journal is
    // written as the server holds it, as a file database's page copy does: a tampered journal does
    // not stop the acts from being saved, and still shows in the backup.
    return snapshotTo(
        conninfo, backupFile, why, [&backupFile](QString* reason) { return keepBackupGeneration(backupFile, reason); },
        true);
}

std::optional<qint64> serverActCount(const QString& conninfo) {
    return countActs(conninfo);
}

bool restoreServer(const QString& backupFile, const QString& conninfo, QString* why, QString* keptCopy) {
    if (const Status s = checkSnapshot(backupFile); !s) {
        *why = s.message;
        return false;
    }
    // The backup's journal is checked before anything is touched.
    if (const Status s = checkJournalOf(backupFile); !s) {
        *why = s.message + QStringLiteral(" Rien n'a été restauré.");
        return false;
    }
    // No import, copy or other restore on the same base meanwhile.
    Status heldStatus;
    const std::unique_ptr<BaseHold> held =
        holdBase(conninfo, holderName(QStringLiteral("une restauration")), kFileLockWaitMs, &heldStatus);
    if (!held) {
        *why = heldStatus.message;
        return false;
    }
    // What the server holds is kept as it stands, a tampered journal included: a restore is the
    // remedy for it.
    const QString folder = QFileInfo(backupFile).absolutePath();
    const QString kept = newKeptCopyPath(folder, kServerBeforeRestoreStem, kServerCopySuffix);
    if (!snapshotTo(conninfo, kept, why, {}, true)) {
        *why = QStringLiteral("La copie de la base avant restauration a échoué, rien n'a été restauré : %1").arg(*why);
        return false;
    }
    if (keptCopy)
        *keptCopy = kept;
    pruneKeptCopies(folder, kServerBeforeRestoreStem, kServerCopySuffix);
    return copyClinic(backupFile, conninfo, true, why);
}

} // namespace obs
