#pragma once

#include "common/Money.h"

#include <QString>

#include <optional>

namespace obs {

// Per-user settings: an INI file named after the application ("MARIGOLD.ini") in the user's
// configuration folder, one section per settings section. Application, section and key names
// are matched without regard to case, so "Sauve" under "Marigold" is "SAUVE" under "MARIGOLD".
class Settings {
public:
    // Folder that holds the settings files: $XDG_CONFIG_HOME, by default ~/.config.
    static QString folder();

    // The file's raw keys, read and written by the typed getters and setters below; the program's
    // code uses those, never a key of its own spelling.
    static QString value(const QString& app, const QString& section, const QString& key,
                         const QString& defaultValue = QString());
    // Writes the value (a null value removes the key); false with a reason when the file cannot be
    // written.
    static bool setValue(const QString& app, const QString& section, const QString& key, const QString& value,
                         QString* error = nullptr);

    // The settings of this program.
    static QString databasePath(); // "CHEMIN", default: the application folder
    // "CHEMIN" as the user set it; nothing when it is not set.
    static std::optional<QString> databasePathSet();
    static QString backupFolder(); // "SAUVE", default: empty
    static bool setBackupFolder(const QString& folder, QString* error = nullptr);
    static bool setDatabasePath(const QString& path, QString* error = nullptr);
    // "SERVEUR": a PostgreSQL server (libpq URI or "key=value" string, never a password) every
    // screen uses in place of the file; empty or missing: the file named by CHEMIN.
    static QString server();
    static bool setServer(const QString& conninfo, QString* error = nullptr); // empty removes it
    // What the screens open: the server when one is set, else the file.
    static QString databaseLocation();

    // The period last used on a screen of the accounts, kept as typed ("RECHERCHE_DU" and
    // "RECHERCHE_AU", "REVERSEMENT_DU" and "REVERSEMENT_AU").
    enum class PeriodOf { Search, Reversal, Receipts }; // Receipts: "RECETTES_DU", "RECETTES_AU"
    struct Period {
        QString first, last;
    };
    static Period period(PeriodOf screen);
    // Writes only the dates that changed: the file is not rewritten at each listing.
    static void setPeriod(PeriodOf screen, const Period& period);

    // The accounts of the accountant's file (FEC), each "FEC_<ROLE>" for its number and
    // "FEC_<ROLE>_LIB" for its label (ROLE: JOURNAL, BANQUE, CAISSE, HONORAIRES, RETRO_RECUES,
    // RETRO_VERSEES); the defaults are in the README.
    struct LedgerAccount {
        QString number, label;
    };
    struct LedgerAccounts {
        LedgerAccount journal; // the journal's code and label
        LedgerAccount bank;    // transfers, cheques, cards and other modes
        LedgerAccount cash;
        LedgerAccount fees;
        LedgerAccount reversalsReceived;
        LedgerAccount reversalsPaid;
    };
    static LedgerAccounts ledgerAccounts();
    // The yearly sum paid over to one colleague above which it must be declared
    // ("SEUIL_RETROCESSIONS", in euros): fixed by law, so a setting, 1 200 € unless set. A value
    // that is no positive amount leaves the default, with *problem saying so in French.
    static Money reversalThreshold(QString* problem = nullptr);

    // The file that holds an application's settings (an existing one in any case, else upper case).
    static QString fileFor(const QString& app);
};

inline const QString kSettingsApp = QStringLiteral("MARIGOLD");
inline const QString kSettingsSection = QStringLiteral("OBSLEDGER");

} // namespace obs
