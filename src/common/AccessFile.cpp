// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/AccessFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace obs {

bool isAccessDatabaseFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray head = file.read(19);
    if (!head.startsWith(QByteArrayLiteral("\x00\x01\x00\x00")))
        return false;
    const QByteArray name = head.mid(4);
    return name == QByteArrayLiteral("Standard Jet DB") || name == QByteArrayLiteral("Standard ACE DB");
}

QString formerRegisterMessage(const QString& path) {
    const QString shown = QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath());
    // The new base beside the old one; its name still ends in OBSLEDGER.mdb, as CHEMIN requires.
    const QString target =
        QDir::toNativeSeparators(QFileInfo(path).absoluteDir().filePath(QStringLiteral("NOUVEAU-OBSLEDGER.mdb")));
    return QStringLiteral("Le fichier %1 est une base Access de l'ancien registre : le programme ne l'ouvre pas "
                          "directement.\n\nImportez ses actes dans une nouvelle base, puis indiquez celle-ci :\n\n"
                          "obsledger-admin import \"%1\" \"%2\"\n\n"
                          "obsledger-admin set-path \"%2\"\n")
        .arg(shown, target);
}

} // namespace obs
