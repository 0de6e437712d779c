// SPDX-License-Identifier: GPL-3.0-or-later
#include "UsualFiles.h"

#include "common/AppPaths.h"
#include "common/QuotedFieldFile.h"
#include "domain/TariffFile.h"

#include <QDir>
#include <QFileInfo>

namespace obs {

bool writeMissingUsualFiles(const QString& folder, QStringList* created, QString* error) {
    const QDir dir(folder);
    const QString tarifs = dir.filePath(QStringLiteral("tarifs.cmt"));
    const QString taux = dir.filePath(QStringLiteral("taux.cmt"));
    QString why;
    if (!QFileInfo::exists(tarifs)) {
        if (!TariffFile::write(TariffFile::initialTexts(), &why, tarifs)) {
            if (error)
                *error = QStringLiteral("Impossible d'écrire %1 : %2").arg(tarifs, why);
            return false;
        }
        if (created)
            *created << tarifs;
    }
    if (!QFileInfo::exists(taux)) {
        if (!writeQuotedFieldLine(taux, {QStringLiteral("10"), QStringLiteral("50")}, &why)) {
            if (error)
                *error = QStringLiteral("Impossible d'écrire %1 : %2").arg(taux, why);
            return false;
        }
        if (created)
            *created << taux;
    }
    return true;
}

bool prepareApplicationFolder(QString* error) {
    if (!applicationFolderIsUserData())
        return true;
    const QString folder = applicationFolder();
    if (!QDir().mkpath(folder)) {
        if (error)
            *error = QStringLiteral("Impossible de créer le dossier %1.").arg(folder);
        return false;
    }
    return writeMissingUsualFiles(folder, nullptr, error);
}

} // namespace obs
