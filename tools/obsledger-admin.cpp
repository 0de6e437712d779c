// The installer's and maintainer's tool: creates the database file, points the settings at it,
// runs maintenance SQL with the program's text order, checks a file, and restores a backup.
#include "common/CommandLine.h"
#include "common/Settings.h"
#include "common/Version.h"
#include "domain/BackupEngine.h"
#include "domain/DemoData.h"
#include "domain/UsualFiles.h"
#include "store/sqlite/Database.h"
#include "store/sqlite/Schema.h"

#include <QCoreApplication>
#include <QDate>
#include <QDir>
#include <QFileInfo>
#include <QTextStream>
#include <cstdio>
#include <iostream>

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

int init(const QString& path, bool demo) {
    if (QFileInfo::exists(path)) {
        err() << "Le fichier " << path << " existe déjà : il n'a pas été modifié.\n";
        return 1;
    }
    Status s;
    auto db = Database::create(path, &s);
    if (!db) {
        err() << "Impossible de créer " << path << " : " << s.message << "\n";
        return 1;
    }
    s = createSchema(*db);
    if (s && demo) {
        s = fillDemoReferences(*db);
        const QDate today = QDate::currentDate();
        if (s)
            s = fillDemoActs(*db, 400, today.addMonths(-8), today);
        if (s)
            s = refreshStatistics(*db);
    }
    if (!s) {
        err() << "La base n'a pas pu être créée : " << s.message << "\n";
        db->close();
        QFile::remove(path);
        return 1;
    }
    out() << "Base créée : " << path << (demo ? " (données de démonstration)" : "") << "\n";
    return 0;
}

int showPath() {
    const QString none = QStringLiteral("\x01");
    const QString path = Settings::value(kSettingsApp, kSettingsSection, QStringLiteral("CHEMIN"), none);
    if (path == none) {
        err() << "CHEMIN n'est pas défini (" << Settings::fileFor(kSettingsApp) << ").\n";
        return 3;
    }
    out() << path << "\n";
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

int sql(const QString& path) {
    Status s;
    auto db = Database::open(path, &s);
    if (!db) {
        err() << s.message << "\n";
        return 1;
    }
    QTextStream in(stdin);
    const QStringList stmts = statements(in.readAll());
    for (const QString& st : stmts) {
        s = db->queryRaw(st, {}, [](const Row& r) {
            QStringList fields;
            for (const QVariant& v : r.values())
                fields << (v.isNull() ? QString() : v.toString());
            out() << fields.join(u'\t') << "\n";
            return true;
        });
        if (!s) {
            out().flush();
            err() << "Erreur : " << s.message << "\n  dans : " << st << "\n";
            return 1;
        }
    }
    return 0;
}

int check(const QString& path) {
    QString why;
    if (!checkProgramDatabase(path, &why)) {
        err() << path << " : " << why << "\n";
        return 1;
    }
    out() << path << " : base Obsledger saine.\n";
    return 0;
}

// Puts a backup (OBSLEDGER.MDB or one of its dated copies) in place of the database named by
// CHEMIN, with the checks and the kept copy of the backup screen's restore.
int restore(const QString& backup) {
    const QString none = QStringLiteral("\x01");
    const QString database = Settings::value(kSettingsApp, kSettingsSection, QStringLiteral("CHEMIN"), none);
    if (database == none) {
        err() << "CHEMIN n'est pas défini (" << Settings::fileFor(kSettingsApp)
              << ") : indiquez d'abord la base avec obsledger-admin set-path CHEMIN.\n";
        return 3;
    }
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

} // namespace

int main(int argc, char* argv[]) {
    if (const auto rc = answerCommandLine(
            argumentsOf(argc, argv),
            {QStringLiteral("obsledger-admin"), adminHelp(), {QStringLiteral("--demo")}, false, true}))
        return *rc;
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationVersion(QStringLiteral(OBSLEDGER_VERSION));
    const QStringList args = app.arguments().mid(1);
    int rc = 2;
    if (args.size() >= 2 && args[0] == QLatin1String("init") &&
        (args.size() == 2 || (args.size() == 3 && args[2] == QLatin1String("--demo"))))
        rc = init(args[1], args.size() == 3);
    else if (args.size() == 2 && args[0] == QLatin1String("set-path"))
        rc = setPath(args[1]);
    else if (args.size() == 1 && args[0] == QLatin1String("path"))
        rc = showPath();
    else if (args.size() == 2 && args[0] == QLatin1String("files"))
        rc = files(args[1]);
    else if (args.size() == 2 && args[0] == QLatin1String("sql"))
        rc = sql(args[1]);
    else if (args.size() == 2 && args[0] == QLatin1String("check"))
        rc = check(args[1]);
    else if (args.size() == 2 && args[0] == QLatin1String("restore"))
        rc = restore(args[1]);
    else
        rc = usage();
    out().flush();
    err().flush();
    return rc;
}
