// The installer's and maintainer's tool: creates the database file, points the settings at it,
// runs maintenance SQL with the program's text order, checks a file, and restores a backup.
#include "common/CommandLine.h"
#include "common/DayNumber.h"
#include "common/Leftovers.h"
#include "common/Money.h"
#include "common/PrivateFile.h"
#include "common/Settings.h"
#include "common/Version.h"
#include "domain/ActsCsv.h"
#include "domain/BackupEngine.h"
#include "domain/ClinicCopy.h"
#include "domain/DemoData.h"
#include "domain/FecFile.h"
#include "domain/JournalText.h"
#include "domain/LegacyImport.h"
#include "domain/PractitionerSiren.h"
#include "domain/ServerBackup.h"
#include "domain/TaxYear.h"
#include "domain/UsualFiles.h"
#include "store/Bulk.h"
#include "store/Store.h"

#include <QCoreApplication>
#include <QDate>
#include <QDir>
#include <QFileInfo>
#include <QTextStream>
#include <cstdio>
#include <functional>
#include <iostream>
#include <sys/stat.h>
#include <unistd.h>

using namespace obs;

namespace {

QTextStream& out() {
    static QTextStream s(stdout);
    return s;
}

QTextStream& err() {
    static QTextStream s(stderr);
    return s;
}

int usage() {
    err() << "Utilisation :\n" << adminCommands();
    err().flush();
    return 2;
}

// The tables, indexes and text functions on a server's empty database, and the rights of the
// workstations' role, which the server's administrator has made (the tables' owner may not).
int initServer(const QString& conninfo) {
    NewBaseStep step = NewBaseStep::NotReached;
    const Status s = createBase(conninfo, &step);
    switch (step) {
    case NewBaseStep::Made:
        out() << "Base créée : " << describeLocation(conninfo) << " (droits donnés au rôle " << workstationRole()
              << ")\n";
        return 0;
    case NewBaseStep::NotFilled:
        err() << "La base n'a pas pu être créée sur " << describeLocation(conninfo) << " : " << s.message << "\n";
        return 1;
    case NewBaseStep::NotReached:
    case NewBaseStep::AlreadyThere:
        break;
    }
    err() << s.message << "\n";
    return 1;
}

int upgrade(const QString& conninfo) {
    qint64 opened = 0;
    if (const Status s = upgradeBase(conninfo, &opened); !s) {
        err() << "La base " << describeLocation(conninfo) << " n'a pas été mise à jour : " << s.message << "\n";
        return 1;
    }
    out() << "Base mise à jour : " << describeLocation(conninfo) << "\n";
    if (opened > 0)
        out() << "Journal des actes créé : " << opened << " écritures d'ouverture (reprise des paiements).\n";
    return 0;
}

// An existing base opened for reading, or nothing once the reason is on standard error (a
// file that is not there is never made).
std::shared_ptr<Store> openExisting(const QString& location) {
    if (!isServerLocation(location) && !QFileInfo::exists(location)) {
        err() << location << " : fichier introuvable.\n";
        return nullptr;
    }
    Status s;
    std::shared_ptr<Store> store = Store::open(location, &s);
    if (!store)
        err() << s.message << "\n";
    return store;
}

// Every hash of the journal recomputed: 0 and the count when the chain is intact, 1 naming the
// first entry found wrong.
int journalVerify(const QString& location) {
    const std::shared_ptr<Store> store = openExisting(location);
    if (!store)
        return 1;
    Status s;
    if (!store->journal().present()) {
        err() << "La base " << describeLocation(location)
              << " n'a pas encore de journal des actes : obsledger-admin upgrade le lui donne.\n";
        return 1;
    }
    JournalCheck check;
    if (!(s = store->journal().verify(&check))) {
        err() << "Le journal n'a pas pu être lu : " << s.message << "\n";
        return 1;
    }
    if (!check.intact) {
        err() << "Journal altéré : " << check.problem << "\n";
        return 1;
    }
    out() << "Journal intact : " << check.entries << " écritures vérifiées.\n";
    return 0;
}

// The destination held for this command until it ends: another command on it waits, then gives up.
std::unique_ptr<BaseHold> hold(const QString& location, const char* command) {
    Status s;
    auto held = holdBase(location,
                         QStringLiteral("« obsledger-admin %1 » (processus %2)")
                             .arg(QLatin1String(command))
                             .arg(QCoreApplication::applicationPid()),
                         kFileLockWaitMs, &s);
    if (!held)
        err() << s.message << "\n";
    return held;
}

int init(const QString& given, bool demo) {
    if (isServerLocation(given)) {
        if (demo) {
            err() << "--demo ne s'applique qu'à un fichier : remplissez le serveur avec « copy ».\n";
            return 2;
        }
        const auto held = hold(given, "init");
        return held ? initServer(given) : 1;
    }
    const QString path = followedFilePath(given);
    const auto held = hold(path, "init");
    if (!held)
        return 1;
    if (QFileInfo::exists(path)) {
        err() << "Le fichier " << given << " existe déjà : il n'a pas été modifié.\n";
        return 1;
    }
    const QDate today = QDate::currentDate();
    QString why;
    const bool made = makeNewBaseFile(
        path,
        [&](const QString& temp, QString* failed) {
            NewBaseStep step = NewBaseStep::NotReached;
            Status s =
                demo ? createBase(temp, &step, demoReferences(), demoJournaledActs(400, today.addMonths(-8), today))
                     : createBase(temp, &step);
            if (s)
                s = checkSnapshot(temp);
            if (!s)
                *failed = QStringLiteral("La base n'a pas pu être créée : %1").arg(s.message);
            return s.ok();
        },
        &why);
    if (!made) {
        err() << why << "\n";
        return 1;
    }
    out() << "Base créée : " << given << (demo ? " (données de démonstration)" : "") << "\n";
    return 0;
}

int copy(const QString& from, const QString& givenTo, bool replace) {
    const bool toServer = isServerLocation(givenTo);
    const QString to = toServer ? givenTo : followedFilePath(givenTo);
    const auto held = hold(to, "copy");
    if (!held)
        return 1;
    QString why, kept;
    ClinicTotals totals;
    if (replace && !keepBeforeCopy(from, to, &kept, &why)) {
        err() << why << "\n";
        return 1;
    }
    const bool done =
        toServer || QFileInfo::exists(to)
            ? copyClinic(from, to, replace, &why, &totals)
            : makeNewBaseFile(
                  to,
                  [&](const QString& temp, QString* failed) { return copyClinic(from, temp, false, failed, &totals); },
                  &why);
    if (!done) {
        err() << why << "\n";
        return 1;
    }
    out() << "Copie vérifiée vers " << describeLocation(to) << " : " << totals.acts << " actes, " << totals.entries
          << " items ; prix " << Money::fromUnits(totals.prices).toFrench() << ", reversé "
          << Money::fromUnits(totals.reversed).toFrench() << " (identiques à la source).\n";
    if (!kept.isEmpty())
        out() << "La base remplacée est conservée dans " << kept << "\n";
    return 0;
}

// The former register's Access file into a new base, then its report; 0 only when the new base
// was found equal to the old one.
int importRegister(const QString& access, const QString& to, bool replace, bool keepOutOfBounds) {
    LegacyImportReport report;
    QString why;
    const bool done = importLegacyRegister(access, to, replace, &report, &why,
                                           keepOutOfBounds ? OutOfBounds::Keep : OutOfBounds::Refuse);
    if (done || report.found.acts > 0 || report.found.entries > 0)
        out() << report.text();
    if (!done) {
        out().flush();
        err() << why << "\n";
        return 1;
    }
    return 0;
}

int setServer(const QString& conninfo) {
    // Before anything else, so that not even a message repeats the password.
    if (locationHasPassword(conninfo)) {
        err() << "L'adresse contient un mot de passe : il ne doit pas être écrit dans les réglages. Mettez-le dans "
                 "~/.pgpass (voir README) et retirez-le de l'adresse.\n";
        return 2;
    }
    if (!conninfo.trimmed().isEmpty() && !isServerLocation(conninfo)) {
        err() << "« " << conninfo << " » n'est pas une adresse de serveur (postgresql://... ou host=... dbname=...).\n";
        return 2;
    }
    QString error;
    if (!Settings::setServer(conninfo, &error)) {
        err() << "Le réglage SERVEUR n'a pas pu être écrit : " << error << "\n";
        return 1;
    }
    if (conninfo.trimmed().isEmpty())
        out() << "SERVEUR retiré : le programme utilise le fichier CHEMIN (" << Settings::fileFor(kSettingsApp)
              << ")\n";
    else
        out() << "SERVEUR = " << describeLocation(conninfo) << " (" << Settings::fileFor(kSettingsApp) << ")\n";
    return 0;
}

int showPath() {
    if (!Settings::server().isEmpty()) {
        // A password written in the settings by hand is never shown.
        out() << locationWithoutPassword(Settings::server()) << "\n";
        return 0;
    }
    const std::optional<QString> path = Settings::databasePathSet();
    if (!path) {
        err() << "CHEMIN n'est pas défini (" << Settings::fileFor(kSettingsApp) << ").\n";
        return 3;
    }
    out() << *path << "\n";
    return 0;
}

// The usual tariff and rates files, only where they are missing.
int files(const QString& folder) {
    QStringList created;
    QString error;
    const bool done = writeMissingUsualFiles(folder, &created, &error);
    for (const QString& file : created)
        out() << "Créé : " << file << "\n";
    if (!done) {
        err() << error << "\n";
        return 1;
    }
    return 0;
}

int setPath(const QString& path) {
    QString error;
    if (!Settings::setDatabasePath(QFileInfo(path).absoluteFilePath(), &error)) {
        err() << "Le réglage CHEMIN n'a pas pu être écrit : " << error << "\n";
        return 1;
    }
    out() << "CHEMIN = " << QFileInfo(path).absoluteFilePath() << " (" << Settings::fileFor(kSettingsApp) << ")\n";
    return 0;
}

// Splits the input into statements at semicolons outside quotes.
QStringList statements(const QString& text) {
    QStringList list;
    QString current;
    QChar quote;
    for (QChar c : text) {
        if (!quote.isNull()) {
            if (c == quote)
                quote = QChar();
        } else if (c == u'\'' || c == u'"') {
            quote = c;
        } else if (c == u';') {
            if (!current.trimmed().isEmpty())
                list << current.trimmed();
            current.clear();
            continue;
        }
        current += c;
    }
    if (!current.trimmed().isEmpty())
        list << current.trimmed();
    return list;
}

using PrintRow = std::function<void(const QStringList&)>;

// Runs the statements read on the standard input, each row printed with tabs between its fields;
// stops at the first error, saying which statement failed.
int runStatements(const std::function<Status(const QString&, const PrintRow&)>& run) {
    QTextStream in(stdin);
    const PrintRow print = [](const QStringList& fields) { out() << fields.join(u'\t') << "\n"; };
    for (const QString& st : statements(in.readAll())) {
        if (const Status s = run(st, print); !s) {
            out().flush();
            err() << "Erreur : " << s.message << "\n  dans : " << st << "\n";
            return 1;
        }
    }
    return 0;
}

int sql(const QString& path) {
    Status s;
    auto session = openMaintenanceSession(path, &s);
    if (!session) {
        err() << s.message << "\n";
        return 1;
    }
    return runStatements([&](const QString& st, const PrintRow& print) { return session->run(st, print); });
}

int check(const QString& path) {
    const bool server = isServerLocation(path);
    const QString shown = server ? describeLocation(path) : path;
    if (const Status s = checkBase(path); !s) {
        err() << shown << " : " << s.message << "\n";
        return 1;
    }
    out() << shown << (server ? " : base Obsledger lisible.\n" : " : base Obsledger saine.\n");
    return 0;
}

// Puts a backup (OBSLEDGER.MDB or one of its dated copies) in place of the database the program
// uses (SERVEUR, else CHEMIN), with the checks and the kept copy of the backup screen's restore.
int restore(const QString& backup) {
    const QString server = Settings::server();
    if (!server.isEmpty()) {
        QString why, kept;
        if (!restoreServer(QFileInfo(backup).absoluteFilePath(), server, &why, &kept)) {
            err() << "Restauration non effectuée : " << why << "\n";
            return 1;
        }
        out() << "Base restaurée : " << describeLocation(server) << " (depuis " << QFileInfo(backup).absoluteFilePath()
              << ")\n";
        out() << "Les lignes remplacées sont conservées dans " << kept << "\n";
        return 0;
    }
    const std::optional<QString> chosen = Settings::databasePathSet();
    if (!chosen) {
        err() << "CHEMIN n'est pas défini (" << Settings::fileFor(kSettingsApp)
              << ") : indiquez d'abord la base avec obsledger-admin set-path CHEMIN.\n";
        return 3;
    }
    const QString database = *chosen;
    QString why, kept;
    if (!restoreDatabase(QFileInfo(backup).absoluteFilePath(), database, &why, &kept)) {
        err() << "Restauration non effectuée : " << why << "\n";
        return 1;
    }
    out() << "Base restaurée : " << database << " (depuis " << QFileInfo(backup).absoluteFilePath() << ")\n";
    if (!kept.isEmpty())
        out() << "La base remplacée est conservée dans " << kept << "\n";
    return 0;
}

// The acts of a period, every column, in the spreadsheet form the search screen exports.
// The file the shell made for the output (`> actes.csv`) is about to hold the acts: it gets the
// clinic's rights before anything is written, as the program's own exports do. A file that already
// holds something (`>>`), another user's file or a pipe is left as it is.
void restrictOutputFile() {
    struct stat st {};
    if (::fstat(STDOUT_FILENO, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size != 0 || st.st_uid != ::geteuid())
        return;
    const QString target = QFileInfo(QStringLiteral("/proc/self/fd/1")).symLinkTarget();
    restrictToClinic(STDOUT_FILENO, target, nullptr, target.isEmpty() ? FileReaders::Owner : FileReaders::Clinic);
}

int exportActs(const QStringList& args) {
    const QString path = args.value(1);
    QString from, to;
    SearchCriteria criteria;
    for (qsizetype i = 2; i < args.size(); i += 2) {
        if (i + 1 >= args.size())
            return usage();
        const QString& option = args[i];
        const QString& value = args[i + 1];
        if (option == QLatin1String("--du"))
            from = value;
        else if (option == QLatin1String("--au"))
            to = value;
        else if (option == QLatin1String("--praticien"))
            criteria.performedBy = value;
        else if (option == QLatin1String("--suivi"))
            criteria.followedBy = value;
        else
            return usage();
    }
    const auto first = parseFrenchDate(from);
    const auto last = parseFrenchDate(to);
    if (!first || !last) {
        err() << "Les dates --du et --au sont à donner sous la forme JJ/MM/AAAA.\n";
        return 2;
    }
    if (!isServerLocation(path) && !QFileInfo::exists(path)) {
        err() << path << " : fichier introuvable.\n";
        return 1;
    }
    Status s;
    const std::shared_ptr<Store> store = Store::open(path, &s);
    if (!store) {
        err() << s.message << "\n";
        return 1;
    }
    std::vector<qint64> numbers;
    s = store->acts().listing(ListingKind::Search, Period{dayNumberOf(*first), dayNumberOf(*last)}, criteria,
                              [&](const ListingRow& row) {
                                  numbers.push_back(row.number);
                                  return true;
                              });
    std::vector<Act> acts;
    if (s)
        s = store->acts().findMany(numbers, &acts);
    if (!s) {
        err() << "Erreur : " << s.message << "\n";
        return 1;
    }
    const QByteArray doc = ActsCsv::document(acts);
    restrictOutputFile();
    if (std::fwrite(doc.constData(), 1, size_t(doc.size()), stdout) != size_t(doc.size()) || std::fflush(stdout) != 0) {
        err() << "La sortie n'a pas pu être écrite.\n";
        return 1;
    }
    return 0;
}

// The entries of one act, oldest first, one a line: `journal show BASE --acte N`.
int journalShow(const QStringList& args) {
    if (args.size() != 5 || args[3] != QLatin1String("--acte"))
        return usage();
    const QString& path = args[2];
    bool numberOk = false;
    const qint64 act = args[4].toLongLong(&numberOk);
    if (!numberOk || act <= 0) {
        err() << "« " << args[4] << " » n'est pas un numéro d'acte.\n";
        return 2;
    }
    if (!isServerLocation(path) && !QFileInfo::exists(path)) {
        err() << path << " : fichier introuvable.\n";
        return 2;
    }
    Status s;
    const std::shared_ptr<Store> store = Store::open(path, &s);
    if (!store) {
        err() << s.message << "\n";
        return 2;
    }
    if (!store->journal().present()) {
        err() << describeLocation(path) << " n'a pas de journal : mettez-la à jour avec obsledger-admin upgrade.\n";
        return 1;
    }
    std::vector<JournalEntry> entries;
    if (!(s = store->journal().ofAct(act, &entries))) {
        err() << "Erreur : " << s.message << "\n";
        return 1;
    }
    if (entries.empty()) {
        err() << "Aucune écriture pour l'acte n° " << act << ".\n";
        return 1;
    }
    for (const JournalEntry& e : entries)
        out() << journalShowLine(e) << "\n";
    return 0;
}

// The accountant's file of a practitioner's year, written in a folder (the current one by default).
// The SIREN is the one given, else the one kept with the practitioner; an existing file is kept
// unless --replace.
int writeFec(const QStringList& args) {
    const QString base = args.value(1);
    FecFile::Request request;
    request.accounts = Settings::ledgerAccounts();
    QString year, folder = QDir::currentPath();
    bool sirenGiven = false, replace = false;
    for (qsizetype i = 2; i < args.size(); ++i) {
        const QString& option = args[i];
        if (option == QLatin1String("--noms")) {
            request.withNames = true;
            continue;
        }
        if (option == QLatin1String("--replace")) {
            replace = true;
            continue;
        }
        if (i + 1 >= args.size())
            return usage();
        const QString& value = args[++i];
        if (option == QLatin1String("--praticien"))
            request.practitioner = value;
        else if (option == QLatin1String("--exercice"))
            year = value;
        else if (option == QLatin1String("--siren")) {
            request.siren = value.trimmed();
            sirenGiven = true;
        } else if (option == QLatin1String("--dossier"))
            folder = value;
        else
            return usage();
    }
    QString problem;
    if (request.practitioner.trimmed().isEmpty())
        problem = QStringLiteral("Le praticien manque : --praticien NOM.");
    else if (problem = FecFile::yearProblem(year, &request.year); problem.isEmpty() && sirenGiven)
        problem = FecFile::sirenProblem(request.siren);
    if (!problem.isEmpty()) {
        err() << problem << "\n";
        return 2;
    }
    const std::shared_ptr<Store> store = openExisting(base);
    if (!store)
        return 1;
    Status s;
    bool known = false;
    QString kept;
    if (!(s = PractitionerSiren::read(*store, request.practitioner, &kept, &known))) {
        err() << s.message << "\n";
        return 1;
    }
    if (!known)
        problem =
            QStringLiteral("Le praticien « %1 » n'est pas dans la liste des praticiens.").arg(request.practitioner);
    else if (!sirenGiven && kept.isEmpty())
        problem = QStringLiteral("Le numéro SIREN manque : aucun n'est gardé pour « %1 ». Donnez-le avec "
                                 "--siren NUMERO (9 chiffres), ou une fois dans le livre des recettes.")
                      .arg(request.practitioner);
    else if (!sirenGiven) {
        request.siren = kept;
        problem = FecFile::sirenProblem(kept);
    }
    if (!problem.isEmpty()) {
        err() << problem << "\n";
        return 2;
    }
    // The file may already be with the accountant: it is replaced only when asked, as the
    // receipts book's window asks first.
    const QString target = QDir(folder).absoluteFilePath(FecFile::fileName(request.siren, request.year));
    if (!replace && QFileInfo::exists(target)) {
        err() << "Le fichier " << QDir::toNativeSeparators(target)
              << " existe déjà : il est gardé tel quel. Ajoutez --replace pour le remplacer.\n";
        return 1;
    }
    QString path, message;
    switch (FecFile::write(*store, request, folder, &path, &message)) {
    case FecFile::Outcome::Written:
        // The year's acts paid before the journal are not in the file: said beside it.
        if (!message.isEmpty())
            err() << message << "\n";
        out() << path << "\n";
        return 0;
    case FecFile::Outcome::BadInput:
        err() << message << "\n";
        return 2;
    case FecFile::Outcome::Failed:
        break;
    }
    err() << message << "\n";
    return 1;
}

// A practitioner's tax year on standard output, for the accountant: `annee-fiscale BASE
// --praticien NOM --exercice AAAA [--csv]`.
int taxYear(const QStringList& args) {
    const QString base = args.value(1);
    QString practitioner, year;
    bool csv = false;
    for (qsizetype i = 2; i < args.size(); ++i) {
        const QString& option = args[i];
        if (option == QLatin1String("--csv")) {
            csv = true;
            continue;
        }
        if (i + 1 >= args.size())
            return usage();
        const QString& value = args[++i];
        if (option == QLatin1String("--praticien"))
            practitioner = value;
        else if (option == QLatin1String("--exercice"))
            year = value;
        else
            return usage();
    }
    int yearValue = 0;
    QString problem;
    if (practitioner.trimmed().isEmpty())
        problem = QStringLiteral("Le praticien manque : --praticien NOM.");
    else
        problem = FecFile::yearProblem(year, &yearValue);
    if (!problem.isEmpty()) {
        err() << problem << "\n";
        return 2;
    }
    const std::shared_ptr<Store> store = openExisting(base);
    if (!store)
        return 1;
    Status s;
    QString thresholdProblem;
    const Money threshold = Settings::reversalThreshold(&thresholdProblem);
    if (!thresholdProblem.isEmpty())
        err() << thresholdProblem << "\n";
    TaxYear figures;
    if (!(s = TaxYear::read(*store, practitioner, yearValue, threshold, &figures))) {
        err() << s.message << "\n";
        return s.error == StoreError::RefusedValue ? 2 : 1;
    }
    if (csv) {
        out().flush();
        const QByteArray doc = figures.csvDocument();
        restrictOutputFile();
        if (std::fwrite(doc.constData(), 1, size_t(doc.size()), stdout) != size_t(doc.size()) ||
            std::fflush(stdout) != 0) {
            err() << "La sortie standard ne peut pas être écrite.\n";
            return 1;
        }
        return 0;
    }
    for (const QString& line : figures.lines())
        out() << line << "\n";
    return 0;
}

// import ACCESS DEST [--replace] [--garder-hors-limites], each option at most once.
bool importOptionsValid(const QStringList& args) {
    const QStringList options = args.mid(3);
    for (const QString& o : options)
        if ((o != QLatin1String("--replace") && o != QLatin1String("--garder-hors-limites")) || options.count(o) > 1)
            return false;
    return true;
}

} // namespace

int main(int argc, char* argv[]) {
    if (const auto rc = answerCommandLine(
            argumentsOf(argc, argv),
            {QStringLiteral("obsledger-admin"),
             adminHelp(),
             {QStringLiteral("--demo"), QStringLiteral("--replace"), QStringLiteral("--du"), QStringLiteral("--au"),
              QStringLiteral("--praticien"), QStringLiteral("--suivi"), QStringLiteral("--acte"),
              QStringLiteral("--exercice"), QStringLiteral("--siren"), QStringLiteral("--dossier"),
              QStringLiteral("--noms"), QStringLiteral("--garder-hors-limites"), QStringLiteral("--csv")},
             false,
             true}))
        return *rc;
    QCoreApplication app(argc, argv);
    // A command stopped by Ctrl+C or kill leaves none of its temporary files.
    removeLeftoversOnSignals();
    QCoreApplication::setApplicationVersion(QStringLiteral(OBSLEDGER_VERSION));
    const QStringList args = app.arguments().mid(1);
    int rc = 2;
    if (args.size() >= 2 && args[0] == QLatin1String("init") &&
        (args.size() == 2 || (args.size() == 3 && args[2] == QLatin1String("--demo"))))
        rc = init(args[1], args.size() == 3);
    else if (args.size() == 2 && args[0] == QLatin1String("set-path"))
        rc = setPath(args[1]);
    else if (args.size() == 2 && args[0] == QLatin1String("set-server"))
        rc = setServer(args[1]);
    else if ((args.size() == 3 || (args.size() == 4 && args[3] == QLatin1String("--replace"))) &&
             args[0] == QLatin1String("copy"))
        rc = copy(args[1], args[2], args.size() == 4);
    else if (args.size() >= 3 && args[0] == QLatin1String("import") && importOptionsValid(args))
        rc = importRegister(args[1], args[2], args.contains(QLatin1String("--replace")),
                            args.contains(QLatin1String("--garder-hors-limites")));
    else if (args.size() == 1 && args[0] == QLatin1String("path"))
        rc = showPath();
    else if (args.size() == 2 && args[0] == QLatin1String("files"))
        rc = files(args[1]);
    else if (args.size() == 2 && args[0] == QLatin1String("sql"))
        rc = sql(args[1]);
    else if (args.size() == 2 && args[0] == QLatin1String("upgrade"))
        rc = upgrade(args[1]);
    else if (args.size() == 3 && args[0] == QLatin1String("journal") && args[1] == QLatin1String("verify"))
        rc = journalVerify(args[2]);
    else if (args.size() == 2 && args[0] == QLatin1String("check"))
        rc = check(args[1]);
    else if (args.size() == 2 && args[0] == QLatin1String("restore"))
        rc = restore(args[1]);
    else if (args.size() >= 2 && args[0] == QLatin1String("export"))
        rc = exportActs(args);
    else if (args.size() >= 2 && args[0] == QLatin1String("journal") && args[1] == QLatin1String("show"))
        rc = journalShow(args);
    else if (args.size() >= 2 && args[0] == QLatin1String("fec"))
        rc = writeFec(args);
    else if (args.size() >= 2 && args[0] == QLatin1String("annee-fiscale"))
        rc = taxYear(args);
    else
        rc = usage();
    out().flush();
    err().flush();
    return rc;
}
