#include "domain/BackupGenerations.h"

#include "common/FileCopy.h"
#include "store/Bulk.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <algorithm>
#include <vector>

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

namespace {

QRegularExpression keptCopyPattern(const QString& stem, const QString& suffix) {
    return QRegularExpression(u'^' + QRegularExpression::escape(stem) +
                              QStringLiteral("-(\\d{4}-\\d{2}-\\d{2}-\\d{6})(?:-(\\d+))?") +
                              QRegularExpression::escape(suffix) + u'$');
}

} // namespace

QString newKeptCopyPath(const QString& folder, const QString& stem, const QString& suffix) {
    const QDir dir(folder);
    const QString dated = stem + u'-' + QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd-HHmmss"));
    QString path = dir.filePath(dated + suffix);
    for (int n = 2; QFileInfo::exists(path) || QFileInfo(path).isSymLink(); ++n)
        path = dir.filePath(dated + u'-' + QString::number(n) + suffix);
    return path;
}

void pruneKeptCopies(const QString& folder, const QString& stem, const QString& suffix) {
    const QRegularExpression pattern = keptCopyPattern(stem, suffix);
    // Oldest first: by the date in the name, then by the number of that second.
    std::vector<std::pair<std::pair<QString, int>, QString>> kept;
    for (const QString& name : QDir(folder).entryList(QDir::Files, QDir::Name)) {
        const QRegularExpressionMatch m = pattern.match(name);
        if (m.hasMatch())
            kept.push_back({{m.captured(1), m.captured(2).isEmpty() ? 1 : m.captured(2).toInt()}, name});
    }
    std::sort(kept.begin(), kept.end());
    for (size_t i = 0; i + kKeptBackupGenerations < kept.size(); ++i) {
        QFile::remove(QDir(folder).filePath(kept[i].second));
        QFile::remove(QDir(folder).filePath(kept[i].second + QStringLiteral("-journal")));
    }
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
