// SPDX-License-Identifier: GPL-3.0-or-later
#include "domain/ClinicCopy.h"

#include "common/Settings.h"
#include "domain/BackupEngine.h"
#include "domain/BackupGenerations.h"
#include "domain/ServerBackup.h"
#include "store/Store.h"

#include <QDir>
#include <QFileInfo>

namespace obs {

bool copyClinic(const QString& from, const QString& to, bool replace, QString* why, ClinicTotals* totals,
                bool brokenJournal) {
    const Status s = copyBase(from, to, replace, totals, brokenJournal);
    if (!s)
        *why = s.message;
    return s.ok();
}

bool keepBeforeCopy(const QString& from, const QString& to, QString* kept, QString* why) {
    kept->clear();
    const bool server = isServerLocation(to);
    if (!server && !QFileInfo::exists(to))
        return true;
    BaseHoldings held;
    if (const Status s = readHoldings(to, &held); !s || held.empty())
        return true; // an unreadable destination is refused by the copy itself
    QString folder, stem, suffix;
    if (server) {
        folder = !isServerLocation(from)               ? QFileInfo(from).absolutePath()
                 : !Settings::backupFolder().isEmpty() ? Settings::backupFolder()
                                                       : QDir::currentPath();
        stem = QStringLiteral("OBSLEDGER.avant-copie");
        suffix = kServerCopySuffix;
    } else {
        const QFileInfo base(to);
        folder = base.absolutePath();
        stem = base.completeBaseName() + QStringLiteral("-avant-copie");
        suffix = base.suffix().isEmpty() ? QString() : u'.' + base.suffix();
    }
    const QString path = newKeptCopyPath(folder, stem, suffix);
    QString failed;
    if (!(server ? backupServer(to, path, &failed) : backupDatabase(to, path, &failed))) {
        *why = QStringLiteral("La copie de la base remplacée n'a pas pu être faite (%1) : rien n'a été copié.")
                   .arg(failed);
        return false;
    }
    pruneKeptCopies(folder, stem, suffix);
    *kept = path;
    return true;
}

} // namespace obs
