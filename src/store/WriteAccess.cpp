// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/WriteAccess.h"

#include "store/Store.h"
#include "store/postgres/PgConnection.h"
#include "store/postgres/PgStore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <fcntl.h>
#include <pwd.h>
#include <unistd.h>

namespace obs {

namespace {

// As the kernel would decide for a write by this process: its effective user and groups, the
// rights and ACLs of the file, a read-only or immutable file system.
bool allowed(const QString& path, int mode) {
    return faccessat(AT_FDCWD, QFile::encodeName(path).constData(), mode, AT_EACCESS) == 0;
}

QString userName() {
    if (const passwd* pw = getpwuid(geteuid()))
        return QString::fromLocal8Bit(pw->pw_name);
    return QString::number(geteuid());
}

QString fileRemedy(const QString& file, const QString& folder) {
    // One path a line: the lines stay whole in a message box.
    return QStringLiteral("Demandez à l'administrateur de donner au groupe des utilisateurs de la clinique le droit "
                          "d'écrire dans le fichier et dans son dossier, et de mettre « %1 » dans ce groupe, par "
                          "exemple (groupe compta) :\n"
                          "    sudo chgrp compta %2\n"
                          "    sudo chmod 2770 %2\n"
                          "    sudo chgrp compta %3\n"
                          "    sudo chmod 660 %3\n"
                          "    sudo usermod -aG compta %1\n"
                          "puis « %1 » se reconnecte.")
        .arg(userName(), folder, file);
}

} // namespace

std::optional<ReadOnlyBase> readOnlyFile(const QString& path) {
    const QFileInfo info(path);
    const QString file = QDir::toNativeSeparators(info.absoluteFilePath());
    const QString folder = QDir::toNativeSeparators(info.absolutePath());
    const bool fileWritable = allowed(file, W_OK);
    // The journal is created and removed beside the file at each change.
    const bool folderWritable = allowed(folder, W_OK | X_OK);
    if (fileWritable && folderWritable)
        return std::nullopt;
    QString refused;
    if (!fileWritable && !folderWritable)
        refused = QStringLiteral("Ni le fichier ni son dossier %1 ne peuvent être modifiés par l'utilisateur « %2 ».")
                      .arg(folder, userName());
    else if (!fileWritable)
        refused = QStringLiteral("Le fichier ne peut pas être modifié par l'utilisateur « %1 ».").arg(userName());
    else
        refused = QStringLiteral("Le dossier %1 ne peut pas être modifié par l'utilisateur « %2 » : la base a besoin "
                                 "d'y écrire son journal à chaque enregistrement.")
                      .arg(folder, userName());
    return ReadOnlyBase{refused, fileRemedy(file, folder)};
}

std::optional<ReadOnlyBase> readOnlyBase(Store& store) {
    auto* server = dynamic_cast<PgStore*>(&store);
    if (!server)
        return readOnlyFile(store.location());
    // One right a privilege: has_table_privilege with a list is true when any one of them is held.
    QString login;
    bool writable = true;
    bool readOnlyServer = false;
    const Status s = server->connection().exec(
        QStringLiteral("SELECT current_user, "
                       "has_table_privilege('actes', 'INSERT') AND has_table_privilege('actes', 'UPDATE') AND "
                       "has_table_privilege('actes', 'DELETE') AND has_table_privilege('memo', 'INSERT') AND "
                       "has_table_privilege('memo', 'UPDATE') AND has_table_privilege('memo', 'DELETE'), "
                       "current_setting('transaction_read_only') = 'on'"),
        {}, [&](const PgRow& row) {
            login = row.text(0);
            writable = row.text(1) == u"t";
            readOnlyServer = row.text(2) == u"t";
            return false;
        });
    if (!s)
        return std::nullopt;
    if (readOnlyServer)
        return ReadOnlyBase{QStringLiteral("Le serveur n'accepte que la lecture (serveur de secours ou réglage "
                                           "default_transaction_read_only)."),
                            QStringLiteral("Demandez à l'administrateur de désigner le serveur principal dans le "
                                           "réglage de la base (obsledger-admin set-server).")};
    if (writable)
        return std::nullopt;
    return ReadOnlyBase{
        QStringLiteral("Le compte « %1 » n'a pas le droit d'ajouter, de modifier ou de supprimer des fiches.")
            .arg(login),
        QStringLiteral("Demandez à l'administrateur de mettre ce compte dans le groupe des utilisateurs du programme, "
                       "par exemple, en tant que propriétaire de la base ou postgres :\n"
                       "    psql -d compta -c 'GRANT obsledger_utilisateurs TO \"%1\"'")
            .arg(login)};
}

} // namespace obs
