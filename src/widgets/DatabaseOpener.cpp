#include "widgets/DatabaseOpener.h"

#include "common/Settings.h"
#include "domain/BackupEngine.h"
#include "store/SharedDatabase.h"
#include "store/WriteAccess.h"
#include "widgets/Dialogs.h"
#include "widgets/Screen.h"

#include <QDir>

namespace obs {

const char* const kDatabaseNotFoundMessage =
    "La base de données 'OBSLEDGER.mdb' est introuvable. Veuillez à l'aide du SUPERVISEUR la placer dans un "
    "repertoire quelconque de votre reseau puis relancer le programme";

const char* const kReadOnlyBaseMessage = "La base est en lecture seule pour cet utilisateur : ";

namespace {

// What the not-found message cannot say: which path was tried, and the command that sets it.
QString notFoundDetails(const QString& tried) {
    const bool set = Settings::databasePathSet().has_value();
    const QString what =
        set ? QStringLiteral("Chemin essayé : « %1 » (réglage CHEMIN de %2). Le nom du fichier doit finir par "
                             "OBSLEDGER.mdb.")
                  .arg(QDir::toNativeSeparators(tried), QDir::toNativeSeparators(Settings::fileFor(kSettingsApp)))
            : QStringLiteral("Aucun réglage CHEMIN n'est défini (%1) : le dossier du programme a été essayé.")
                  .arg(QDir::toNativeSeparators(Settings::fileFor(kSettingsApp)));
    return what + QStringLiteral("\n\nPour indiquer la base, par exemple :\n"
                                 "obsledger-admin set-path /srv/compta/OBSLEDGER.mdb");
}

// A file is given its journal at once, a dated copy kept beside it, and the user told so once (the
// next start finds the journal). A server's tables are its owner's to change: the command is named,
// and the base can only be read until it is run.
OpenOutcome giveJournal(QWidget* parent, SharedDatabase& database, bool endOnFailure) {
    const QString location = database.location();
    if (isServerLocation(location)) {
        Dialogs::explain(parent,
                         QStringLiteral("La base du serveur %1 n'a pas encore de journal des actes : rien ne peut y "
                                        "être enregistré, elle ne peut qu'être consultée.")
                             .arg(describeLocation(location)),
                         QStringLiteral("Le propriétaire des tables la met à jour une fois, depuis un poste :\n"
                                        "obsledger-admin upgrade ADRESSE\n"
                                        "(ADRESSE : celle du serveur, avec l'utilisateur propriétaire des tables)."),
                         true);
        return OpenOutcome::Opened;
    }
    QString kept, why;
    qint64 opened = 0;
    database.close();
    const bool given = giveFileItsJournal(location, &kept, &opened, &why);
    const Status s = database.reopen();
    if (!given || !s) {
        Dialogs::warn(parent,
                      QStringLiteral("La base de données « %1 » n'a pas pu recevoir son journal des actes.\n%2%3")
                          .arg(QDir::toNativeSeparators(location), given ? s.message : why,
                               endOnFailure ? QStringLiteral("\nLe programme va se fermer.") : QString()));
        if (endOnFailure)
            endProgram();
        return OpenOutcome::Failed;
    }
    Dialogs::inform(parent, QStringLiteral("La base de données a reçu son journal des actes : chaque paiement et "
                                           "chaque modification y seront désormais inscrits. Les paiements déjà "
                                           "enregistrés y figurent comme « antérieur au journal » (%1 écritures de "
                                           "reprise).\n\nUne copie de la base telle qu'elle était a été gardée :\n%2")
                                .arg(opened)
                                .arg(QDir::toNativeSeparators(kept)));
    return OpenOutcome::Opened;
}

} // namespace

OpenOutcome openDatabaseAtLoad(QWidget* parent, SharedDatabase& database, bool testPath, bool endOnFailure) {
    database.followSettings();
    // A server is named by its connection string, not by a file name.
    if (testPath && !isServerLocation(database.location()) && !databasePathPassesTest(database.location())) {
        Dialogs::explain(parent, QString::fromUtf8(kDatabaseNotFoundMessage), notFoundDetails(database.location()),
                         false);
        endProgram();
        return OpenOutcome::PathRefused;
    }
    const Status s = database.reopen();
    if (!s) {
        // A server away for a moment while the program runs does not end it: the connection kept
        // from before finds the server again once it is back.
        const bool ends = endOnFailure && !(isServerLocation(database.location()) && database.store());
        Dialogs::warn(parent, QStringLiteral("Impossible d'ouvrir la base de données « %1 ».\n%2%3")
                                  .arg(describeLocation(database.location()), s.message,
                                       ends ? QStringLiteral("\nLe programme va se fermer.") : QString()));
        if (ends)
            endProgram();
        return OpenOutcome::Failed;
    }
    // Every screen writes: found now, before anything is typed that could not be saved.
    if (const auto readOnly = readOnlyBase(*database.store())) {
        Dialogs::explain(parent, QString::fromUtf8(kReadOnlyBaseMessage) + describeLocation(database.location()),
                         readOnly->refused + QStringLiteral("\n\n") + readOnly->remedy +
                             (endOnFailure ? QStringLiteral("\n\nLe programme va se fermer.") : QString()),
                         true);
        if (endOnFailure)
            endProgram();
        return OpenOutcome::ReadOnly;
    }
    // A base made before the journal of the acts takes nothing until it has one.
    if (!database.store()->journal().present()) {
        const OpenOutcome outcome = giveJournal(parent, database, endOnFailure);
        if (outcome != OpenOutcome::Opened)
            return outcome;
    } else if (!isServerLocation(database.location()) && !database.store()->journal().recordsPerformer()) {
        // A file's journal of an earlier version records each payment's performer from now on (one
        // transaction); a server's waits for its owner's upgrade, its payments following their acts
        // until then.
        qint64 opened = 0;
        if (const Status s = database.store()->journal().create(&opened); !s)
            Dialogs::warn(parent,
                          QStringLiteral("Le journal des actes de la base de données « %1 » n'a pas pu être mis "
                                         "à jour ; les paiements restent enregistrés comme avant.\n%2")
                              .arg(QDir::toNativeSeparators(database.location()), s.message));
    }
    return OpenOutcome::Opened;
}

} // namespace obs
