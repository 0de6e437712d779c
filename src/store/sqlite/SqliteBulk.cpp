// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/sqlite/SqliteBulk.h"

#include "common/Leftovers.h"
#include "store/sqlite/Collation.h"
#include "store/sqlite/Database.h"
#include "store/sqlite/Schema.h"
#include "store/sqlite/SqliteStore.h"

#include <SQLiteCpp/SQLiteCpp.h>
#include <sqlite3.h>

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

namespace obs {

static_assert(kFileLockWaitMs == kBusyTimeoutMs, "one wait for every file operation");

namespace {

QString engineText(int code, const char* detail) {
    return Database::statusFromEngine(code, QString::fromUtf8(detail)).message;
}

Status failed(const QString& why) {
    return Status::failure(StoreError::Failed, why);
}

// A connection of the snapshot's own, with the program's text order, that waits lockWaitMs on
// another workstation's lock. A file that is not a database fails here.
std::unique_ptr<SQLite::Database> openConnection(const QString& path, int flags, int lockWaitMs, Status* s) {
    try {
        auto db = std::make_unique<SQLite::Database>(path.toStdString(), flags, lockWaitMs);
        registerProgramFunctions(db->getHandle());
        db->exec("SELECT count(*) FROM sqlite_master");
        return db;
    } catch (const SQLite::Exception& e) {
        *s = failed(engineText(e.getErrorCode(), e.what()));
        return nullptr;
    }
}

// Copies every page in one step: one read lock on the source, one write transaction on the
// destination.
Status copyPages(SQLite::Database& from, SQLite::Database& to) {
    sqlite3_backup* backup = sqlite3_backup_init(to.getHandle(), "main", from.getHandle(), "main");
    if (!backup)
        return failed(engineText(sqlite3_extended_errcode(to.getHandle()), sqlite3_errmsg(to.getHandle())));
    const int step = sqlite3_backup_step(backup, -1);
    const int finish = sqlite3_backup_finish(backup); // rolls the destination back unless done
    if (step != SQLITE_DONE)
        return failed(engineText(step, sqlite3_errstr(step)));
    if (finish != SQLITE_OK)
        return failed(engineText(finish, sqlite3_errstr(finish)));
    return Status::success();
}

QString quoted(const QString& name) {
    QString q = name;
    return u'"' + q.replace(u'"', QStringLiteral("\"\"")) + u'"';
}

// Whether a base (main, or an attached one by its name) has the journal's tables.
bool hasJournalTables(Database& db, const QString& schema = QStringLiteral("main")) {
    QVariant n;
    return db.scalar(QStringLiteral("SELECT count(*) FROM %1.sqlite_master WHERE type = 'table' AND name IN "
                                    "('JOURNAL', 'JOURNAL_TETE')")
                         .arg(schema),
                     &n) &&
           n.toLongLong() == 2;
}

// Whether a base's journal has the performer's columns (one made by an earlier version has not).
bool hasJournalPerformer(Database& db, const QString& schema = QStringLiteral("main")) {
    QVariant n;
    return db.scalar(QStringLiteral("SELECT count(*) FROM pragma_table_info('JOURNAL', ?) WHERE name IN ('MEDACTE', "
                                    "'MEDREPRISE')"),
                     &n, {schema}) &&
           n.toLongLong() == 2;
}

// The journal's statements that rest on its rows (index, head row, guards), made again after the
// rows were put in; every one of them can run again.
Status journalGuards(Database& db) {
    for (const QString& statement : journalSchemaStatements()) {
        if (statement.contains(QLatin1String("CREATE TABLE")))
            continue;
        if (Status s = db.executeRaw(statement); !s)
            return s;
    }
    return Status::success();
}

// Replaces everything the base holds by the rows of the checked snapshot, in one transaction: the
// tables, indexes and triggers are the program's own, never the snapshot's (a trigger or a view
// brought in by a backup would act on the next act entered).
Status fillFromSnapshot(Database& target, const QString& snapshot) {
    Status s = target.executeRaw(QStringLiteral("ATTACH DATABASE ? AS sauvegarde"), {snapshot});
    if (!s)
        return s;
    auto fail = [&](const Status& failed) {
        target.executeRaw(QStringLiteral("ROLLBACK"));
        target.executeRaw(QStringLiteral("DETACH DATABASE sauvegarde"));
        return failed;
    };
    if (!(s = target.executeRaw(QStringLiteral("BEGIN IMMEDIATE"))))
        return fail(s);
    // The highest act number given out by a base's own count (nothing when it has none).
    auto highestGiven = [&](const QString& schema, QVariant* given) {
        QVariant tables;
        Status st = target.scalar(QStringLiteral("SELECT count(*) FROM %1.sqlite_master WHERE type = 'table' AND "
                                                 "name = 'sqlite_sequence'")
                                      .arg(schema),
                                  &tables);
        if (!st || tables.toLongLong() == 0)
            return st;
        return target.scalar(QStringLiteral("SELECT max(seq) FROM %1.sqlite_sequence WHERE name = 'ACTES' AND "
                                            "typeof(seq) = 'integer'")
                                 .arg(schema),
                             given);
    };
    // Read before the table goes, which takes its count with it.
    QVariant givenHere;
    if (!(s = highestGiven(QStringLiteral("main"), &givenHere)))
        return fail(s);
    std::vector<std::pair<QString, QString>> objects;
    s = target.queryRaw(QStringLiteral("SELECT type, name FROM main.sqlite_master WHERE type IN ('view', 'trigger', "
                                       "'table') AND lower(substr(name, 1, 7)) <> 'sqlite_' ORDER BY type = 'table'"),
                        {}, [&](const Row& r) {
                            objects.emplace_back(r.values().value(0).toString(), r.values().value(1).toString());
                            return true;
                        });
    if (!s)
        return fail(s);
    for (const auto& [type, name] : objects) {
        if (!(s = target.executeRaw(QStringLiteral("DROP %1 IF EXISTS main.%2").arg(type.toUpper(), quoted(name)))))
            return fail(s);
    }
    if (!(s = createProgramTables(target)))
        return fail(s);
    const Dialect& d = SqliteStore::fileDialect();
    const QString acts = bulkColumnNames(d, true);
    const QString memo = QStringLiteral("rowid, ") + bulkColumnNames(d, false);
    if (!(s = target.executeRaw(
              QStringLiteral("INSERT INTO main.ACTES (%1) SELECT %1 FROM sauvegarde.ACTES ORDER BY NUMINT")
                  .arg(acts))) ||
        !(s = target.executeRaw(
              QStringLiteral("INSERT INTO main.MEMO (%1) SELECT %1 FROM sauvegarde.MEMO ORDER BY rowid").arg(memo))))
        return fail(s);
    // The journal as the snapshot holds it, numbers and hashes, its chain checked beforehand; the
    // guards that refuse changing its rows are made again below, once the rows are in.
    // A snapshot made before the performer was recorded gives its payments and opening entries
    // their act's performer, as the upgrade would have.
    if (hasJournalTables(target, QStringLiteral("sauvegarde"))) {
        const bool performer = hasJournalPerformer(target, QStringLiteral("sauvegarde"));
        if (!(s = target.executeRaw(QStringLiteral("INSERT INTO main.JOURNAL (%1) SELECT %2 FROM sauvegarde.JOURNAL "
                                                   "ORDER BY NUMJ")
                                        .arg(bulkJournalColumnNames(d), bulkJournalColumnNames(d, performer)))) ||
            !(s = target.executeRaw(QStringLiteral("INSERT INTO main.JOURNAL_TETE (UN, NUMJ, HASH) SELECT UN, NUMJ, "
                                                   "HASH FROM sauvegarde.JOURNAL_TETE"))) ||
            (!performer && !(s = target.executeRaw(performerFillStatement(d)))))
            return fail(s);
    }
    // Act numbers already given out, in the snapshot or in the base replaced, are not given again:
    // a number still shown on another workstation, or kept in the copy before the restore, never
    // comes to name another act.
    QVariant givenThere;
    if (!(s = highestGiven(QStringLiteral("sauvegarde"), &givenThere)))
        return fail(s);
    {
        const QVariant given =
            givenHere.isNull() || (!givenThere.isNull() && givenThere.toLongLong() > givenHere.toLongLong())
                ? givenThere
                : givenHere;
        if (!given.isNull()) {
            int changes = 0;
            const QVariantList seq{given};
            if (!(s = target.executeRaw(
                      QStringLiteral("UPDATE main.sqlite_sequence SET seq = max(seq, ?) WHERE name = 'ACTES'"), seq,
                      &changes)))
                return fail(s);
            if (changes == 0 &&
                !(s = target.executeRaw(
                      QStringLiteral("INSERT INTO main.sqlite_sequence (name, seq) VALUES ('ACTES', ?)"), seq)))
                return fail(s);
        }
    }
    // The planner's figures describe the rows just brought in, not those replaced.
    if (!(s = createProgramIndexesAndTriggers(target)) || !(s = refreshStatistics(target)) ||
        !(s = target.executeRaw(QStringLiteral("COMMIT"))))
        return fail(s);
    target.executeRaw(QStringLiteral("DETACH DATABASE sauvegarde"));
    return Status::success();
}

class FileSide final : public SqlBulkSide {
public:
    // The journal's entries go a few hundred a statement.
    explicit FileSide(std::shared_ptr<Database> db) : SqlBulkSide(SqliteStore::over(db), 500), m_db(std::move(db)) {}
    // The journal goes with the acts it describes: its guard against removal is lifted for the
    // transaction only (a failure brings it back with everything else), and a file made before
    // the journal is given its tables.
    Status beginWrite() override {
        Status s = m_db->executeRaw(QStringLiteral("BEGIN IMMEDIATE"));
        if (s)
            s = m_db->executeRaw(QStringLiteral("DELETE FROM ACTES"));
        if (s)
            s = m_db->executeRaw(QStringLiteral("DELETE FROM MEMO"));
        if (s && hasJournalTables(*m_db)) {
            s = m_db->executeRaw(QStringLiteral("DROP TRIGGER IF EXISTS JOURNAL_GARDE"));
            if (s)
                s = m_db->executeRaw(QStringLiteral("DELETE FROM JOURNAL"));
            if (s)
                s = m_db->executeRaw(QStringLiteral("DELETE FROM JOURNAL_TETE"));
            // An emptied journal of an earlier version takes the columns the copied rows carry.
            if (s && !hasJournalPerformer(*m_db)) {
                for (const QString& statement : journalPerformerStatements(true)) {
                    if (s)
                        s = m_db->executeRaw(statement);
                }
            }
        } else {
            for (const QString& statement : journalSchemaStatements()) {
                if (s && statement.contains(QLatin1String("CREATE TABLE")))
                    s = m_db->executeRaw(statement);
            }
        }
        return s;
    }
    bool hasJournal() override { return hasJournalTables(*m_db); }
    Status openJournal(qint64* opened) override {
        Status s = journalGuards(*m_db);
        if (s)
            s = SqliteStore::over(m_db)->openEveryAct(opened);
        return s;
    }
    Status write(bool acts, const QVariantList& row) override {
        return m_db->executeRaw(QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                                    .arg(acts ? QStringLiteral("ACTES") : QStringLiteral("MEMO"),
                                         bulkColumnNames(dialect(), acts), bulkMarks(row.size())),
                                row);
    }
    // The planner's figures describe the rows brought in, not those replaced.
    Status commit() override {
        Status s = journalGuards(*m_db);
        if (s)
            s = refreshStatistics(*m_db);
        return s ? m_db->executeRaw(QStringLiteral("COMMIT")) : s;
    }

private:
    // Acts and entries as the program reads them; the journal as it stands.
    Status readRows(const QString& sql, std::span<const BulkColumn> columns, bool asStored,
                    const RowSink& each) override {
        Status inner;
        Status s = m_db->queryRaw(sql, {}, [&](const Row& r) {
            if (asStored) {
                inner = each(r.values());
            } else {
                QVariantList row;
                const auto& values = r.values();
                for (int i = 0; i < values.size(); ++i) {
                    const BulkKind kind = columns[size_t(i)].kind;
                    // A whole number goes as it stands, so that the copy's sums are the source's; a real
                    // number or a text is read as every reader of the file reads an amount.
                    const bool asItStands = kind != BulkKind::Amount || values[i].typeId() == QMetaType::LongLong;
                    row << (asItStands ? normalisedBulkValue(values[i], kind) : bulkMoney(storedMoney(values[i])));
                }
                inner = each(row);
            }
            return inner.ok();
        });
        return s ? inner : s;
    }
    Status writeHead(qint64 number, const QString& hash) override {
        return m_db->executeRaw(QStringLiteral("INSERT INTO JOURNAL_TETE (UN, NUMJ, HASH) VALUES (1, ?, ?)"),
                                {QVariant::fromValue(number), hash});
    }

    std::shared_ptr<Database> m_db;
};

Status writeStoredRows(Database& db, const std::vector<Act>& acts, const std::vector<StoredEntry>& entries) {
    size_t next = 0;
    const Dialect& d = SqliteStore::fileDialect();
    Status s = db.executeMany(QStringLiteral("INSERT INTO ACTES (%1) VALUES (%2)")
                                  .arg(bulkColumnNames(d, true), bulkMarks(bulkActs().size())),
                              [&](QVariantList* binds) {
                                  if (next >= acts.size())
                                      return false;
                                  const Act& a = acts[next++];
                                  *binds << QVariant::fromValue<qint64>(a.number);
                                  appendActValues(a, true, binds);
                                  return true;
                              });
    if (!s)
        return s;
    next = 0;
    return db.executeMany(QStringLiteral("INSERT INTO MEMO (%1) VALUES (%2)")
                              .arg(bulkColumnNames(d, false), bulkMarks(bulkMemo().size())),
                          [&](QVariantList* binds) {
                              if (next >= entries.size())
                                  return false;
                              const StoredEntry& e = entries[next++];
                              *binds << bulkInteger(e.list) << bulkText(e.label) << bulkText(e.code)
                                     << bulkMoney(e.tariff);
                              for (const auto& m : e.excesses)
                                  *binds << bulkMoney(m);
                              *binds << bulkInteger(e.index);
                              return true;
                          });
}

} // namespace

Status snapshotFile(const QString& source, const QString& target, int lockWaitMs) {
    Status s;
    auto from = openConnection(source, SQLite::OPEN_READWRITE, lockWaitMs, &s);
    auto to = from ? openConnection(target, SQLite::OPEN_READWRITE | SQLite::OPEN_CREATE, lockWaitMs, &s) : nullptr;
    if (!from || !to)
        return s;
    return copyPages(*from, *to);
}

Status checkSnapshot(const QString& path) {
    QString why;
    if (!checkProgramDatabase(path, &why))
        return Status::failure(StoreError::Unreadable, why);
    return Status::success();
}

bool isUnreadableBaseFile(const QString& path) {
    try {
        SQLite::Database db(path.toStdString(), SQLite::OPEN_READWRITE);
        db.exec("SELECT count(*) FROM sqlite_master");
        return false;
    } catch (const SQLite::Exception& e) {
        const int code = e.getErrorCode() & 0xFF;
        return code == SQLITE_NOTADB || code == SQLITE_CORRUPT;
    }
}

namespace {

// The snapshot a restore fills the base from: its journal checked link by link before anything is
// replaced; a snapshot made before the journal is first given one, in a scratch copy, so that the
// base restored has an opening entry per running total of each act.
Status journaledSnapshot(const QString& snapshot, QTemporaryDir* scratch, QString* use) {
    *use = snapshot;
    JournalCheck check;
    Status s = checkJournalOf(snapshot, &check);
    if (!s)
        return Status::failure(s.error, s.message + QStringLiteral(" Rien n'a été restauré."));
    Status open;
    {
        auto store = SqliteStore::open(snapshot, &open);
        if (!store)
            return open;
        if (store->journal().present())
            return Status::success();
    }
    if (!scratch->isValid())
        return failed(QStringLiteral("Aucun dossier temporaire n'a pu être créé."));
    const QString copy = scratch->filePath(QStringLiteral("journal.mdb"));
    if (!(s = snapshotFile(snapshot, copy, kFileLockWaitMs)))
        return s;
    auto store = SqliteStore::open(copy, &open);
    if (!store)
        return open;
    qint64 opened = 0;
    if (!(s = store->journal().create(&opened)))
        return s;
    *use = copy;
    return s;
}

} // namespace

// The scratch folder of a restore; a killed restore's is cleared by the next one.
const QString kRestoreScratch = QStringLiteral("obsledger-restauration");

Status replaceFromSnapshot(const QString& path, const QString& snapshot, int lockWaitMs) {
    removeDeadScratchFolders(kRestoreScratch);
    QTemporaryDir scratch(scratchFolderTemplate(kRestoreScratch));
    const Leftover scratchFolder(scratch.path(), true);
    QString from;
    Status s = journaledSnapshot(snapshot, &scratch, &from);
    if (!s)
        return s;
    auto live = Database::open(path, &s);
    if (!live)
        return s;
    live->setLockWait(lockWaitMs, 0);
    return fillFromSnapshot(*live, from);
}

Status createFromSnapshot(const QString& path, const QString& snapshot) {
    removeDeadScratchFolders(kRestoreScratch);
    QTemporaryDir scratch(scratchFolderTemplate(kRestoreScratch));
    const Leftover scratchFolder(scratch.path(), true);
    QString from;
    Status s = journaledSnapshot(snapshot, &scratch, &from);
    if (!s)
        return s;
    auto db = Database::create(path, &s);
    if (!db)
        return s;
    return fillFromSnapshot(*db, from);
}

Status writeNewClinicFile(const QString& path, const std::vector<Act>& acts, const std::vector<StoredEntry>& entries) {
    Status s;
    {
        auto db = Database::create(path, &s);
        if (!db)
            return s;
        // A scratch file, removed on any failure: no journal, no waiting on the disk.
        s = db->queryRaw(QStringLiteral("PRAGMA journal_mode=OFF"), {}, [](const Row&) { return false; });
        if (s)
            s = db->executeRaw(QStringLiteral("PRAGMA synchronous=OFF"));
        if (s)
            s = db->executeRaw(QStringLiteral("BEGIN"));
        if (s)
            s = createProgramTables(*db);
        if (s)
            s = createProgramIndexesAndTriggers(*db);
        if (s)
            s = writeStoredRows(*db, acts, entries);
        // What each act held comes into the journal as opening entries.
        qint64 opened = 0;
        if (s)
            s = SqliteStore::over(db)->openEveryAct(&opened);
        if (s)
            s = db->executeRaw(QStringLiteral("COMMIT"));
    }
    if (!s)
        QFile::remove(path);
    return s;
}

namespace sqlite_bulk {

std::unique_ptr<BulkSide> openSide(const QString& path, bool create, Status* s) {
    std::shared_ptr<Database> db;
    // An empty file is a new base (a temporary name reserved for it).
    if (create && (!QFileInfo::exists(path) || QFileInfo(path).size() == 0)) {
        db = Database::create(path, s);
        if (db)
            *s = createSchema(*db);
        if (!db || !*s)
            return nullptr;
    } else {
        db = Database::open(path, s);
        if (!db)
            return nullptr;
        if (!db->hasProgramTables()) {
            *s = Status::failure(StoreError::Unreadable,
                                 QStringLiteral("le fichier %1 n'a pas les tables d'Obsledger").arg(path));
            return nullptr;
        }
    }
    return std::make_unique<FileSide>(std::move(db));
}

Status appendRows(const std::shared_ptr<Database>& db, const std::vector<ReferenceEntry>& entries,
                  const ActSource& acts) {
    return appendNewRows(*SqliteStore::over(db), entries, journaledAsLoaded(acts));
}

std::optional<qint64> countActs(const QString& path) {
    if (!QFileInfo(path).isFile())
        return std::nullopt;
    try {
        SQLite::Database db(path.toStdString(), SQLite::OPEN_READONLY, 2000);
        registerProgramFunctions(db.getHandle()); // the schema names the program's text order
        SQLite::Statement count(db, "SELECT count(*) FROM ACTES");
        if (count.executeStep())
            return count.getColumn(0).getInt64();
    } catch (const SQLite::Exception&) {
        // Not a base of the program: no count.
    }
    return std::nullopt;
}

Status createBase(const QString& path, NewBaseStep* step, const std::vector<ReferenceEntry>& entries,
                  const JournaledActSource& acts) {
    Status s;
    *step = NewBaseStep::NotReached;
    {
        auto db = Database::create(path, &s);
        if (!db)
            return s;
        *step = NewBaseStep::NotFilled;
        s = createSchema(*db);
        if (s && (!entries.empty() || acts)) {
            s = appendNewRows(*SqliteStore::over(db), entries, acts);
            if (s)
                s = refreshStatistics(*db);
        }
    }
    if (!s) {
        QFile::remove(path);
        return s;
    }
    *step = NewBaseStep::Made;
    return s;
}

Status checkBase(const QString& path) {
    return checkSnapshot(path);
}

Status upgrade(const QString& path, qint64* opened) {
    Status s = checkSnapshot(path);
    if (!s)
        return s;
    std::shared_ptr<Database> db = Database::open(path, &s);
    if (!db)
        return s;
    // The journal first, in one transaction of its own: nothing else may be written without it.
    if (!(s = SqliteStore::over(db)->journal().create(opened)))
        return s;
    s = createMissingIndexes(*db);
    return s ? refreshStatistics(*db) : s;
}

} // namespace sqlite_bulk

} // namespace obs
