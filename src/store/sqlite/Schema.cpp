#include "store/sqlite/Schema.h"

#include <QFileInfo>

#include <algorithm>

namespace obs {

namespace {
// The tables first, then what rests on their rows (indexes, triggers): a restore fills the tables
// in between, so that the triggers do not rewrite the rows it brings back.
const char* const kTables[] = {
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
    R"(CREATE TABLE MEMO (
        NUMEROS INTEGER,
        TEXTE TEXT COLLATE FRENCH NOT NULL DEFAULT '',
        CCAM TEXT COLLATE FRENCH,
        TARIFS INTEGER,
        MUT1 INTEGER, MUT2 INTEGER, MUT3 INTEGER, MUT4 INTEGER, MUT5 INTEGER, MUT6 INTEGER,
        "INDEX" INTEGER))",
    R"(CREATE TABLE JOURNAL (
        NUMJ INTEGER PRIMARY KEY,
        ECRIT TEXT NOT NULL,
        NUMINT INTEGER,
        NATURE TEXT NOT NULL,
        RECULE INTEGER,
        PAYEUR TEXT,
        BENEFICIAIRE TEXT,
        MODE TEXT,
        MONTANT INTEGER,
        DETAIL TEXT,
        POSTE TEXT,
        UTILISATEUR TEXT,
        HASH TEXT NOT NULL,
        MEDACTE TEXT,
        MEDREPRISE TEXT))",
    // The journal's last entry, as each change leaves it: a removed tail shows against it.
    "CREATE TABLE JOURNAL_TETE (UN INTEGER PRIMARY KEY CHECK (UN = 1), NUMJ INTEGER NOT NULL, HASH TEXT NOT NULL)",
};
// A period's receipts by their day, in the journal's order, with what the receipts book reads of
// them: a year is read from the index alone. Undated entries (opening entries) are left out.
const char* const kReceiptsIndex = "CREATE INDEX IF NOT EXISTS JOURNAL_RECU ON JOURNAL (RECULE, NUMJ, NATURE, NUMINT, "
                                   "PAYEUR, BENEFICIAIRE, MODE, MONTANT, ECRIT, MEDACTE, MEDREPRISE) WHERE RECULE IS "
                                   "NOT NULL";
// The opening entries of an act, found without reading its other entries (a base that never had
// any holds none here).
const char* const kOpeningsIndex =
    "CREATE INDEX IF NOT EXISTS JOURNAL_REPRISE ON JOURNAL (NUMINT, NUMJ) WHERE NATURE = 'reprise'";
// The acts deleted, by their deletion entries: their receipts stay in the book.
const char* const kDeletionsIndex =
    "CREATE INDEX IF NOT EXISTS JOURNAL_SUPPRESSION ON JOURNAL (NUMINT) WHERE NATURE = 'suppression'";
const char* const kJournalFrozen = R"(CREATE TRIGGER IF NOT EXISTS JOURNAL_FIGE BEFORE UPDATE ON JOURNAL
       BEGIN SELECT RAISE(ABORT, 'Une écriture du journal ne se modifie pas.'); END)";
// What the journal rests on: an act's entries found by its number, and entries that the base itself
// refuses to change or remove.
const char* const kJournalOnRows[] = {
    "CREATE INDEX IF NOT EXISTS JOURNAL_ACTE ON JOURNAL (NUMINT, NUMJ)",
    kReceiptsIndex,
    kOpeningsIndex,
    kDeletionsIndex,
    "INSERT OR IGNORE INTO JOURNAL_TETE VALUES (1, 0, '')",
    kJournalFrozen,
    R"(CREATE TRIGGER IF NOT EXISTS JOURNAL_GARDE BEFORE DELETE ON JOURNAL
       BEGIN SELECT RAISE(ABORT, 'Une écriture du journal ne se supprime pas.'); END)",
};
// By practitioner, in the base-letter order their criterion compares, then by date and name. The
// other practitioner is carried too: a pair's listing read here never goes to the acts.
const char* const kFollowedByIndex = "CREATE INDEX IF NOT EXISTS ACTES_SUIVI ON ACTES (MEDSUIT COLLATE FRENCH_PRIMARY, "
                                     "Date, Nom, Prenom, MEDACTE, CCAM1, DE, PRIX)";
const char* const kPerformedByIndex = "CREATE INDEX IF NOT EXISTS ACTES_FAIT ON ACTES (MEDACTE COLLATE FRENCH_PRIMARY, "
                                      "Date, Nom, Prenom, MEDSUIT, CCAM1, DE, PRIX)";
// The indexes a file made by an earlier version may lack.
const char* const kLaterIndexes[] = {kFollowedByIndex, kPerformedByIndex};

const char* const kOnRows[] = {
    "CREATE INDEX ACTES_NOM ON ACTES (Nom, Prenom)",
    // A period's listing, with its criteria, lines and totals, is answered from this index alone, in
    // the listing's order (date, then name): a year of acts is read without touching the table.
    "CREATE INDEX ACTES_DATE ON ACTES (Date, Nom, Prenom, MEDSUIT, MEDACTE, Acte, NF, PAYESECU, DE, PRIX, CCAM1)",
    // Practitioner pairs, in the base-letter order that LIKE compares: reversals and searches by
    // practitioner seek here, and what one owes the other is summed without reading the acts.
    "CREATE INDEX ACTES_PAIRE ON ACTES (MEDSUIT COLLATE FRENCH_PRIMARY, MEDACTE COLLATE FRENCH_PRIMARY, Date, "
    "PRIX, REVERSE)",
    // One practitioner's acts of a period, in the listing's order, with what its lines and total
    // need: a year of one practitioner (a fifth of the year's acts) is read without the others.
    kFollowedByIndex,
    kPerformedByIndex,
    "CREATE INDEX MEMO_TEXTE ON MEMO (NUMEROS, TEXTE)",
    // A row added without its place in the catalogue takes the next one: the order of creation.
    R"(CREATE TRIGGER MEMO_INDEX AFTER INSERT ON MEMO WHEN NEW."INDEX" IS NULL
       BEGIN UPDATE MEMO SET "INDEX" = (SELECT ifnull(max("INDEX"), 0) + 1 FROM MEMO) WHERE rowid = NEW.rowid; END)",
};

template <std::size_t N> Status runAll(Database& db, const char* const (&statements)[N]) {
    for (const char* stmt : statements) {
        Status s = db.executeRaw(QString::fromUtf8(stmt));
        if (!s)
            return s;
    }
    return Status::success();
}

} // namespace

Status createProgramTables(Database& db) {
    return runAll(db, kTables);
}

Status createProgramIndexesAndTriggers(Database& db) {
    Status s = runAll(db, kOnRows);
    if (s)
        s = runAll(db, kJournalOnRows);
    return s;
}

QStringList journalSchemaStatements() {
    QStringList all;
    for (const char* stmt : kTables) {
        if (QString::fromUtf8(stmt).contains(QLatin1String("TABLE JOURNAL")))
            all << QString::fromUtf8(stmt);
    }
    for (const char* stmt : kJournalOnRows)
        all << QString::fromUtf8(stmt);
    return all;
}

QStringList journalPerformerStatements(bool beforeFill) {
    // The older entries are given their performer once, the guard against changes lifted for that
    // transaction alone; the receipts index is made again with the two columns it now carries.
    if (beforeFill)
        return {QStringLiteral("ALTER TABLE JOURNAL ADD COLUMN MEDACTE TEXT"),
                QStringLiteral("ALTER TABLE JOURNAL ADD COLUMN MEDREPRISE TEXT"),
                QStringLiteral("DROP TRIGGER IF EXISTS JOURNAL_FIGE"),
                QStringLiteral("DROP INDEX IF EXISTS JOURNAL_RECU")};
    return {QString::fromUtf8(kJournalFrozen), QString::fromUtf8(kReceiptsIndex)};
}

Status createMissingIndexes(Database& db) {
    Status s = runAll(db, kLaterIndexes);
    // A journal made before the receipts book's indexes gets them; a base without a journal gets
    // them with it.
    bool journal = false;
    if (s)
        s = db.step(QStringLiteral("SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = 'JOURNAL'"), {},
                    [&](sqlite3_stmt*) {
                        journal = true;
                        return false;
                    });
    for (const char* index : {kReceiptsIndex, kOpeningsIndex, kDeletionsIndex}) {
        if (s && journal)
            s = db.executeRaw(QString::fromUtf8(index));
    }
    return s;
}

Status createSchema(Database& db) {
    Status s = db.executeRaw(QStringLiteral("BEGIN"));
    if (!s)
        return s;
    s = createProgramTables(db);
    if (s)
        s = createProgramIndexesAndTriggers(db);
    if (!s) {
        db.executeRaw(QStringLiteral("ROLLBACK"));
        return s;
    }
    return db.executeRaw(QStringLiteral("COMMIT"));
}

Status refreshStatistics(Database& db) {
    return db.executeRaw(QStringLiteral("ANALYZE"));
}

namespace {

// The kind of value a declared column type stores, by the engine's own rules of affinity.
QString affinityOf(const QString& declared) {
    const QString t = declared.toUpper();
    if (t.contains(QLatin1String("INT")))
        return QStringLiteral("INTEGER");
    if (t.contains(QLatin1String("CHAR")) || t.contains(QLatin1String("CLOB")) || t.contains(QLatin1String("TEXT")))
        return QStringLiteral("TEXT");
    if (t.isEmpty() || t.contains(QLatin1String("BLOB")))
        return QStringLiteral("BLOB");
    if (t.contains(QLatin1String("REAL")) || t.contains(QLatin1String("FLOA")) || t.contains(QLatin1String("DOUB")))
        return QStringLiteral("REAL");
    return QStringLiteral("NUMERIC");
}

// Column name (upper case) -> affinity, in the table's order; empty when there is no such table.
Status columnsOf(Database& db, const QString& schema, const QString& table, QList<std::pair<QString, QString>>* out) {
    out->clear();
    return db.queryRaw(
        QStringLiteral("SELECT name, type FROM pragma_table_info(?, ?)"), {table, schema}, [&](const Row& r) {
            out->append({r.values().value(0).toString().toUpper(), affinityOf(r.values().value(1).toString())});
            return true;
        });
}

} // namespace

bool matchesProgramSchema(Database& db, const QString& schema, QString* why) {
    Status s;
    static const QString kMemory = QStringLiteral(":memory:");
    auto reference = Database::create(kMemory, &s);
    if (!reference || !(s = createProgramTables(*reference))) {
        *why = s.message;
        return false;
    }
    QStringList problems;
    for (const QString& table : {QStringLiteral("ACTES"), QStringLiteral("MEMO")}) {
        QList<std::pair<QString, QString>> expected, found;
        if (!(s = columnsOf(*reference, QStringLiteral("main"), table, &expected)) ||
            !(s = columnsOf(db, schema, table, &found))) {
            *why = s.message;
            return false;
        }
        if (found.isEmpty()) {
            problems << QStringLiteral("la table %1 est absente").arg(table);
            continue;
        }
        for (const auto& column : expected) {
            const QString& name = column.first;
            auto it = std::find_if(found.cbegin(), found.cend(), [&](const auto& c) { return c.first == name; });
            if (it == found.cend())
                problems << QStringLiteral("la colonne %1.%2 est absente").arg(table, name);
            else if (it->second != column.second)
                problems << QStringLiteral("la colonne %1.%2 n'est pas du type %3").arg(table, name, column.second);
        }
        for (const auto& column : found) {
            const QString& name = column.first;
            if (std::none_of(expected.cbegin(), expected.cend(), [&](const auto& c) { return c.first == name; }))
                problems << QStringLiteral("la colonne %1.%2 est inconnue").arg(table, name);
        }
    }
    if (problems.isEmpty())
        return true;
    *why = QStringLiteral("Le fichier n'a pas les tables ACTES et MEMO d'Obsledger : %1.")
               .arg(problems.join(QStringLiteral(" ; ")));
    return false;
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
    return matchesProgramSchema(*db, QStringLiteral("main"), why);
}

} // namespace obs
