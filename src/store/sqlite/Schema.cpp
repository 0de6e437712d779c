#include "store/sqlite/Schema.h"

#include <QFileInfo>

namespace obs {

namespace {
const char* const kSchema[] = {
    R"(CREATE TABLE ACTES (
        NUMINT INTEGER PRIMARY KEY AUTOINCREMENT,
        Nom TEXT COLLATE FRENCH NOT NULL DEFAULT '',
        Prenom TEXT COLLATE FRENCH NOT NULL DEFAULT '',
        Date INTEGER,
        MEDSUIT TEXT COLLATE FRENCH,
        MEDACTE TEXT COLLATE FRENCH,
        Acte TEXT COLLATE FRENCH,
        CCAM1 TEXT COLLATE FRENCH,
        NF TEXT COLLATE FRENCH,
        CCAM2 TEXT COLLATE FRENCH,
        CCAM3 TEXT COLLATE FRENCH,
        CCAM4 TEXT COLLATE FRENCH,
        CCAM5 TEXT COLLATE FRENCH,
        CCAM6 TEXT COLLATE FRENCH,
        PRIX INTEGER,
        DE INTEGER,
        PAYESECU INTEGER NOT NULL DEFAULT 0,
        PAYECOMPLE INTEGER NOT NULL DEFAULT 0,
        PAYEDE INTEGER NOT NULL DEFAULT 0,
        REVERSE INTEGER,
        DateRev INTEGER))",
    "CREATE INDEX ACTES_NOM ON ACTES (Nom, Prenom)",
    // A period with its criteria and totals is answered from this index alone; only the acts found
    // are read from the table.
    "CREATE INDEX ACTES_DATE ON ACTES (Date, MEDSUIT, MEDACTE, Acte, NF, PAYESECU, DE, PRIX)",
    // Practitioner pairs, in the base-letter order that LIKE compares: reversals and searches by
    // practitioner seek here, and what one owes the other is summed without reading the acts.
    "CREATE INDEX ACTES_PAIRE ON ACTES (MEDSUIT COLLATE FRENCH_PRIMARY, MEDACTE COLLATE FRENCH_PRIMARY, Date, "
    "PRIX, REVERSE)",
    R"(CREATE TABLE MEMO (
        NUMEROS INTEGER,
        TEXTE TEXT COLLATE FRENCH NOT NULL DEFAULT '',
        CCAM TEXT COLLATE FRENCH,
        TARIFS INTEGER,
        MUT1 INTEGER, MUT2 INTEGER, MUT3 INTEGER, MUT4 INTEGER, MUT5 INTEGER, MUT6 INTEGER,
        "INDEX" INTEGER))",
    "CREATE INDEX MEMO_TEXTE ON MEMO (NUMEROS, TEXTE)",
    // A row added without its place in the catalogue takes the next one: the order of creation.
    R"(CREATE TRIGGER MEMO_INDEX AFTER INSERT ON MEMO WHEN NEW."INDEX" IS NULL
       BEGIN UPDATE MEMO SET "INDEX" = (SELECT ifnull(max("INDEX"), 0) + 1 FROM MEMO) WHERE rowid = NEW.rowid; END)",
};
} // namespace

Status createSchema(Database& db) {
    Status s = db.executeRaw(QStringLiteral("BEGIN"));
    if (!s)
        return s;
    for (const char* stmt : kSchema) {
        s = db.executeRaw(QString::fromUtf8(stmt));
        if (!s) {
            db.executeRaw(QStringLiteral("ROLLBACK"));
            return s;
        }
    }
    return db.executeRaw(QStringLiteral("COMMIT"));
}

bool checkProgramDatabase(const QString& path, QString* why) {
    if (!QFileInfo(path).isFile()) {
        *why = QStringLiteral("Le fichier %1 est introuvable.").arg(path);
        return false;
    }
    Status s;
    auto db = Database::open(path, &s);
    if (!db) {
        *why = s.message;
        return false;
    }
    QStringList problems;
    s = db->queryRaw(QStringLiteral("PRAGMA integrity_check"), {}, [&](const Row& r) {
        const QString line = r.values().value(0).toString();
        if (line != QLatin1String("ok"))
            problems << line;
        return problems.size() < 5;
    });
    if (!s) {
        *why = s.message;
        return false;
    }
    if (!problems.isEmpty()) {
        *why = QStringLiteral("Le fichier est endommagé : %1").arg(problems.join(QStringLiteral("; ")));
        return false;
    }
    if (!db->hasProgramTables()) {
        *why = QStringLiteral("Le fichier n'a pas les tables ACTES et MEMO d'Obsledger.");
        return false;
    }
    return true;
}

} // namespace obs
