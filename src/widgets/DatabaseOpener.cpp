#include "widgets/DatabaseOpener.h"

#include "common/Settings.h"
#include "store/SharedDatabase.h"
#include "widgets/Dialogs.h"
#include "widgets/Screen.h"

namespace obs {

const char* const kDatabaseNotFoundMessage =
    "La base de données 'OBSLEDGER.mdb' est introuvable. Veuillez à l'aide du SUPERVISEUR la placer dans un "
    "repertoire quelconque de votre reseau puis relancer le programme";

OpenOutcome openDatabaseAtLoad(QWidget* parent, SharedDatabase& database, bool testPath, bool endOnFailure) {
    database.setLocation(Settings::databaseLocation());
    // A server is named by its connection string, not by a file name.
    if (testPath && !isServerLocation(database.location()) && !databasePathPassesTest(database.location())) {
        Dialogs::inform(parent, QString::fromUtf8(kDatabaseNotFoundMessage));
        endProgram();
        return OpenOutcome::PathRefused;
    }
    const Status s = database.reopen();
    if (!s) {
        Dialogs::warn(parent, QStringLiteral("Impossible d'ouvrir la base de données « %1 ».\n%2%3")
                                  .arg(describeLocation(database.location()), s.message,
                                       endOnFailure ? QStringLiteral("\nLe programme va se fermer.") : QString()));
        if (endOnFailure)
            endProgram();
        return OpenOutcome::Failed;
    }
    return OpenOutcome::Opened;
}

} // namespace obs
