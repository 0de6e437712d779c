#include "domain/BackupGenerations.h"

#include "common/FileCopy.h"
#include "store/Bulk.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

namespace obs {

namespace {

// Only names of this form are ever removed from the user's folder.
const QRegularExpression& generationPattern() {
    static const QRegularExpression re(QStringLiteral("^OBSLEDGER-\\d{4}-\\d{2}-\\d{2}-\\d{4}\\.MDB$"));
    return re;
}

} // namespace

QString generationFileName(const QDateTime& modified) {
    return QStringLiteral("OBSLEDGER-") + modified.toString(QStringLiteral("yyyy-MM-dd-HHmm")) + QStringLiteral(".MDB");
}

QStringList backupGenerations(const QString& folder) {
    QStringList out;
    // The dated names sort as their dates do.
    for (const QString& name : QDir(folder).entryList(QDir::Files, QDir::Name)) {
        if (generationPattern().match(name).hasMatch())
            out << QDir(folder).filePath(name);
    }
    return out;
}

QDateTime generationTime(const QString& path) {
    const QString name = QFileInfo(path).fileName();
    if (!generationPattern().match(name).hasMatch())
        return {};
    return QDateTime::fromString(name.mid(10, 15), QStringLiteral("yyyy-MM-dd-HHmm"));
}

bool keepBackupGeneration(const QString& backupFile, QString* why) {
    const QFileInfo previous(backupFile);
    if (!previous.isFile())
        return true;
    const QDateTime modified = previous.lastModified();
    const QString dated = previous.absoluteDir().filePath(generationFileName(modified));
    QString reason;
    if (!copyFileWhole(backupFile, dated, &reason)) {
        *why = QStringLiteral("La sauvegarde précédente n'a pas pu être conservée dans « %1 » (%2) : elle n'a pas "
                              "été remplacée.")
                   .arg(QDir::toNativeSeparators(dated), reason);
        return false;
    }
    // The copy keeps the date of the backup it holds.
    QFile copy(dated);
    if (copy.open(QIODevice::ReadWrite))
        copy.setFileTime(modified, QFileDevice::FileModificationTime);
    const QStringList kept = backupGenerations(previous.absolutePath());
    for (qsizetype i = 0; i + kKeptBackupGenerations < kept.size(); ++i)
        QFile::remove(kept[i]);
    return true;
}

DatabaseSummary summarizeDatabase(const QString& path) {
    DatabaseSummary summary;
    const QFileInfo info(path);
    if (!info.isFile())
        return summary;
    summary.modified = info.lastModified();
    summary.acts = countActs(path);
    return summary;
}

} // namespace obs
