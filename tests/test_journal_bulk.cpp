// The journal of the acts through whole-base operations: copies, backups and restores, loads, the
// demo clinic, the upgrade of a base made before it, and its check by the installer's tool.
#include "TestSupport.h"

#include "common/DayNumber.h"
#include "common/Settings.h"
#include "domain/BackupEngine.h"
#include "domain/DemoData.h"
#include "domain/ServerBackup.h"
#include "store/Bulk.h"
#include "store/SharedDatabase.h"
#include "store/Store.h"
#include "store/postgres/PgConnection.h"
#include "store/sqlite/Database.h"
#include "widgets/DatabaseOpener.h"
#include "widgets/Dialogs.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtTest>
#include <map>

using namespace obs;
using obs::test::TempServerDatabase;

namespace {

std::shared_ptr<Store> opened(const QString& location) {
    Status s;
    auto store = Store::open(location, &s);
    if (!store)
        qFatal("open %s: %s", qPrintable(describeLocation(location)), qPrintable(s.message));
    return store;
}

std::vector<JournalEntry> journalOf(const QString& location) {
    std::vector<JournalEntry> all;
    const Status s = opened(location)->journal().each([&](const JournalEntry& e) {
        all.push_back(e);
        return true;
    });
    if (!s)
        qFatal("journal: %s", qPrintable(s.message));
    return all;
}

JournalCheck checked(const QString& location) {
    JournalCheck c;
    if (const Status s = opened(location)->journal().verify(&c); !s)
        qFatal("verify: %s", qPrintable(s.message));
    return c;
}

// Runs statements on a base as someone with every right would: sqlite3 on the file, the
// administrator on the server.
void runAsOwner(const QString& location, const QStringList& statements) {
    Status s;
    if (isServerLocation(location)) {
        auto db = PgConnection::open(location, &s);
        for (const QString& sql : statements)
            if (db && !(s = db->script(sql)))
                break;
    } else {
        auto db = Database::open(location, &s);
        for (const QString& sql : statements)
            if (db && !(s = db->executeRaw(sql)))
                break;
    }
    if (!s)
        qFatal("%s: %s", qPrintable(statements.join(u';')), qPrintable(s.message));
}

// What each act holds, by payer, against the sum of its journal's money entries (payments,
// reversals paid and opening entries).
struct MoneyCheck {
    qint64 acts = 0;
    qint64 mismatches = 0;
    QString first;
};
MoneyCheck totalsAgainstJournal(const QString& location) {
    auto store = opened(location);
    std::map<qint64, std::array<qint64, 4>> fromJournal;
    store->journal().each([&](const JournalEntry& e) {
        if (!e.act || !e.amount ||
            (e.kind != JournalKind::Payment && e.kind != JournalKind::ReversalPaid && e.kind != JournalKind::Opening))
            return true;
        int slot = 3; // a practitioner's name: a reversal
        if (e.payer == payerCode(Payer::Secu))
            slot = 0;
        else if (e.payer == payerCode(Payer::Complementary))
            slot = 1;
        else if (e.payer == payerCode(Payer::Patient))
            slot = 2;
        fromJournal[*e.act][size_t(slot)] += e.amount->units();
        return true;
    });
    MoneyCheck out;
    std::vector<qint64> numbers;
    StoredFigures figures;
    readStoredFigures(location, &figures);
    std::vector<Act> acts;
    store->acts().findMany(figures.numbers, &acts);
    for (const Act& a : acts) {
        ++out.acts;
        const auto units = [](const std::optional<Money>& m) { return m ? m->units() : 0; };
        const std::array<qint64, 4> held{units(a.paidSecu), units(a.paidComplementary), units(a.paidExcess),
                                         units(a.reversed)};
        if (held != fromJournal[a.number]) {
            if (!out.mismatches)
                out.first = QStringLiteral("acte %1").arg(a.number);
            ++out.mismatches;
        }
    }
    return out;
}

Act act(const QString& surname, qint64 day, int secu) {
    Act a;
    a.surname = surname;
    a.firstName = QStringLiteral("Anne");
    a.date = day;
    a.followedBy = QStringLiteral("Dr MARTIN");
    a.performedBy = QStringLiteral("Dr DURAND");
    a.act = QStringLiteral("Accouchement");
    a.price = Money::fromEuros(300);
    a.excess = Money::fromEuros(50);
    a.paidSecu = Money::fromEuros(secu);
    a.paidComplementary = Money();
    a.paidExcess = Money::fromEuros(secu > 0 ? 20 : 0);
    a.reversed = secu > 100 ? std::optional(Money::fromEuros(40)) : std::nullopt;
    return a;
}

// A few acts loaded in bulk, then changes made as the screens make them: creations, payments, a
// correction, a reversal paid, a removal.
void fillWithHistory(const QString& location) {
    const qint64 day = dayNumberOf(QDate::currentDate().addDays(-20));
    QVERIFY(appendJournaledRows(location, demoReferences(),
                                demoJournaledActs(30, QDate::currentDate().addMonths(-2), QDate::currentDate())));
    QVERIFY(appendRows(location, {}, [n = 0, day](Act* a) mutable {
        if (n >= 3)
            return false;
        *a = act(QStringLiteral("CHARGE%1").arg(n), day, 100 + 10 * n);
        ++n;
        return true;
    }));
    auto store = opened(location);
    qint64 number = 0;
    QVERIFY(store->acts().append(act(QStringLiteral("NOUVELLE"), day, 0), &number));
    Act shown;
    bool found = false;
    QVERIFY(store->acts().find(number, &shown, &found) && found);
    Act edited = shown;
    edited.paidSecu = Money::fromEuros(150);
    QVERIFY(store->acts().update(shown, edited, false, Receipt{day + 2, PaymentMode::Transfer}));
    QVERIFY(store->acts().find(number, &shown, &found) && found);
    edited = shown;
    edited.paidSecu = Money::fromEuros(140);
    QVERIFY(store->acts().update(shown, edited, false, Receipt{day + 5, PaymentMode::Transfer}));
    bool changed = false;
    QVERIFY(store->acts().addReversal(number, day + 6, Money::fromEuros(25), &changed, PaymentMode::Cheque));
    QVERIFY(changed);
    QVERIFY(store->acts().remove(1));
}

} // namespace

class TestJournalBulk : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    std::vector<std::unique_ptr<TempServerDatabase>> m_servers;

    QString newFile(const QString& name) {
        const QString path = m_dir.filePath(name);
        QFile::remove(path);
        for (const QString& kept : obs::test::keptBeforeRestore(path))
            QFile::remove(kept);
        NewBaseStep step;
        if (!createBase(path, &step))
            qFatal("createBase %s", qPrintable(path));
        return path;
    }
    TempServerDatabase& newServer() {
        m_servers.push_back(std::make_unique<TempServerDatabase>());
        return *m_servers.back();
    }
    // A new base on the engine the row names; empty when the server is not given.
    QString newBase(const QString& engine, const QString& name) {
        if (engine == QLatin1String("serveur"))
            return TempServerDatabase::available() ? newServer().conninfo() : QString();
        return newFile(name + QStringLiteral(".mdb"));
    }
    static void engines() {
        QTest::addColumn<QString>("engine");
        QTest::newRow("fichier") << QStringLiteral("fichier");
        QTest::newRow("serveur") << QStringLiteral("serveur");
    }
    // Takes the journal away, as a base made before it had none.
    static void dropJournal(const QString& location) {
        if (isServerLocation(location))
            runAsOwner(location, {QStringLiteral("DROP FUNCTION IF EXISTS obs_journal_vider()"),
                                  QStringLiteral("DROP TABLE journal"), QStringLiteral("DROP TABLE journal_tete")});
        else
            runAsOwner(location, {QStringLiteral("DROP TABLE JOURNAL"), QStringLiteral("DROP TABLE JOURNAL_TETE")});
    }
    // An entry edited, removed or slipped in by hand; the guards set aside as a tamperer would.
    static void tamper(const QString& location, const QString& how, qint64 entry) {
        const bool server = isServerLocation(location);
        QStringList sql;
        if (!server)
            sql << QStringLiteral("DROP TRIGGER JOURNAL_FIGE") << QStringLiteral("DROP TRIGGER JOURNAL_GARDE");
        if (how == QLatin1String("montant"))
            sql << QStringLiteral("UPDATE JOURNAL SET MONTANT = coalesce(MONTANT, 0) + 100 WHERE NUMJ = %1").arg(entry);
        else if (how == QLatin1String("mode"))
            sql << QStringLiteral("UPDATE JOURNAL SET MODE = 'especes' WHERE NUMJ = %1").arg(entry);
        else if (how == QLatin1String("suppression"))
            sql << QStringLiteral("DELETE FROM JOURNAL WHERE NUMJ = %1").arg(entry);
        else if (how == QLatin1String("fin"))
            sql << QStringLiteral("DELETE FROM JOURNAL WHERE NUMJ = (SELECT max(NUMJ) FROM JOURNAL)");
        else if (how == QLatin1String("insertion"))
            // Every entry from here on moved up one, and a made-up one put in its place.
            sql << QStringLiteral("CREATE TEMP TABLE J AS SELECT * FROM JOURNAL WHERE NUMJ >= %1").arg(entry)
                << QStringLiteral("DELETE FROM JOURNAL WHERE NUMJ >= %1").arg(entry)
                << QStringLiteral("UPDATE J SET NUMJ = NUMJ + 1")
                << QStringLiteral("INSERT INTO JOURNAL SELECT * FROM J")
                << QStringLiteral("INSERT INTO JOURNAL (NUMJ, ECRIT, NUMINT, NATURE, MONTANT, HASH) VALUES (%1, "
                                  "'2026-01-01T00:00:00.000Z', 2, 'paiement', 100, 'faux')")
                       .arg(entry);
        if (server)
            for (QString& s : sql)
                s = s.toLower();
        runAsOwner(location, sql);
    }

private slots:
    void init() { Dialogs::clearShown(); }
    void cleanup() { m_servers.clear(); }

    // A copy file -> server -> file carries the journal as it stands, numbers and hashes, and the
    // chain goes on from its last entry; a copy over a server holding rows, as a workstation.
    void copyCarriesTheJournal() {
        if (!TempServerDatabase::available())
            QSKIP("OBSLEDGER_TEST_SERVER n'est pas défini");
        const QString file = newFile(QStringLiteral("source.mdb"));
        fillWithHistory(file);
        TempServerDatabase& server = newServer();
        Status s = copyBase(file, server.userConninfo(), false);
        QVERIFY2(s, qPrintable(s.message));
        const QString back = m_dir.filePath(QStringLiteral("retour.mdb"));
        QFile::remove(back);
        QVERIFY2((s = copyBase(server.conninfo(), back, false)), qPrintable(s.message));
        const auto original = journalOf(file);
        QVERIFY(original.size() > 60);
        QCOMPARE(journalOf(server.conninfo()), original);
        QCOMPARE(journalOf(back), original);
        QVERIFY(checked(back).intact);
        QCOMPARE(checked(server.conninfo()).entries, qint64(original.size()));

        // Again over what the server holds, through the workstations' login (which may not remove
        // an entry by itself).
        QVERIFY2((s = copyBase(back, server.userConninfo(), true)), qPrintable(s.message));
        QCOMPARE(journalOf(server.conninfo()), original);
        // The chain goes on after the copied entries, on both.
        for (const QString& location : {server.userConninfo(), back}) {
            qint64 number = 0;
            QVERIFY(opened(location)->acts().append(act(QStringLiteral("SUITE"), dayNumberOf(QDate::currentDate()), 0),
                                                    &number));
            const JournalCheck c = checked(location);
            QVERIFY2(c.intact, qPrintable(c.problem));
            QCOMPARE(c.entries, qint64(original.size()) + 1);
        }
        // The workstations' login cannot empty the journal while acts remain.
        Status refused;
        auto user = PgConnection::open(server.userConninfo(), &refused);
        QVERIFY(user);
        QVERIFY(!user->exec(QStringLiteral("SELECT obs_journal_vider()")));
        QVERIFY(!user->exec(QStringLiteral("DELETE FROM journal")));
        QCOMPARE(checked(server.conninfo()).entries, qint64(original.size()) + 1);
    }

    // A source whose chain is broken is not copied: the destination keeps its rows and journal.
    void copyRefusesBrokenChain_data() {
        QTest::addColumn<QString>("engine");
        QTest::addColumn<QString>("how");
        for (const char* engine : {"fichier", "serveur"})
            for (const char* how : {"montant", "suppression", "insertion", "fin"})
                QTest::addRow("%s %s", engine, how) << QString::fromLatin1(engine) << QString::fromLatin1(how);
    }
    void copyRefusesBrokenChain() {
        QFETCH(QString, engine);
        QFETCH(QString, how);
        if (engine == QLatin1String("serveur") && !TempServerDatabase::available())
            QSKIP("OBSLEDGER_TEST_SERVER n'est pas défini");
        const QString source = newFile(QStringLiteral("altere.mdb"));
        fillWithHistory(source);
        tamper(source, how, 12);
        const QString dest = newBase(engine, QStringLiteral("dest"));
        QVERIFY(appendJournaledRows(dest, {}, demoJournaledActs(5, QDate(2020, 1, 1), QDate(2020, 2, 1))));
        StoredFigures before, after;
        QVERIFY(readStoredFigures(dest, &before));
        const auto journalBefore = journalOf(dest);
        const Status s = copyBase(source, dest, true);
        QVERIFY(!s);
        QVERIFY2(s.message.contains(QStringLiteral("journal des actes de la source est altéré")),
                 qPrintable(s.message));
        QVERIFY2(s.message.contains(how == QLatin1String("fin") ? QStringLiteral("la fin du journal manque")
                                                                : QStringLiteral("n° 12")),
                 qPrintable(s.message));
        QVERIFY(readStoredFigures(dest, &after));
        QCOMPARE(after, before);
        QCOMPARE(journalOf(dest), journalBefore);
        QVERIFY(checked(dest).intact);
    }

    // A base made before the journal, copied: the destination's journal opens with what each act
    // holds.
    void copyFromBaseWithoutJournal_data() { engines(); }
    void copyFromBaseWithoutJournal() {
        QFETCH(QString, engine);
        if (engine == QLatin1String("serveur") && !TempServerDatabase::available())
            QSKIP("OBSLEDGER_TEST_SERVER n'est pas défini");
        const QString old = newFile(QStringLiteral("ancienne.mdb"));
        QVERIFY(appendRows(old, demoReferences(), demoActs(40, QDate(2010, 1, 1), QDate(2010, 12, 31))));
        dropJournal(old);
        const QString dest = newBase(engine, QStringLiteral("copie"));
        const Status s = copyBase(old, isServerLocation(dest) ? m_servers.back()->userConninfo() : dest, true);
        QVERIFY2(s, qPrintable(s.message));
        const auto journal = journalOf(dest);
        QVERIFY(!journal.empty());
        for (const JournalEntry& e : journal)
            QCOMPARE(e.kind, JournalKind::Opening);
        const MoneyCheck m = totalsAgainstJournal(dest);
        QCOMPARE(m.acts, qint64(40));
        QVERIFY2(m.mismatches == 0, qPrintable(m.first));
        QVERIFY(checked(dest).intact);
    }

    // A backup restored brings back its journal as it stands; one without a journal gives opening
    // entries.
    void restoreCarriesTheJournal_data() {
        QTest::addColumn<QString>("engine");
        QTest::addColumn<bool>("withJournal");
        for (const char* engine : {"fichier", "serveur"}) {
            QTest::addRow("%s avec journal", engine) << QString::fromLatin1(engine) << true;
            QTest::addRow("%s sauvegarde ancienne", engine) << QString::fromLatin1(engine) << false;
        }
    }
    void restoreCarriesTheJournal() {
        QFETCH(QString, engine);
        QFETCH(bool, withJournal);
        if (engine == QLatin1String("serveur") && !TempServerDatabase::available())
            QSKIP("OBSLEDGER_TEST_SERVER n'est pas défini");
        QTemporaryDir folder;
        const QString saved = newFile(QStringLiteral("sauve.mdb"));
        fillWithHistory(saved);
        if (!withJournal)
            dropJournal(saved);
        const QString backup = folder.filePath(kBackupFileName);
        QString why, kept;
        // The backup screen's page copy carries the journal as the file holds it.
        QVERIFY2(backupDatabase(saved, backup, &why), qPrintable(why));
        const QString base = newBase(engine, QStringLiteral("vivante"));
        QVERIFY(appendJournaledRows(base, {}, demoJournaledActs(7, QDate(2021, 1, 1), QDate(2021, 3, 1))));
        if (isServerLocation(base))
            QVERIFY2(restoreServer(backup, m_servers.back()->userConninfo(), &why, &kept), qPrintable(why));
        else
            QVERIFY2(restoreDatabase(backup, base, &why, &kept), qPrintable(why));
        const JournalCheck c = checked(base);
        QVERIFY2(c.intact, qPrintable(c.problem));
        if (withJournal) {
            QCOMPARE(journalOf(base), journalOf(saved));
        } else {
            for (const JournalEntry& e : journalOf(base))
                QCOMPARE(e.kind, JournalKind::Opening);
            const MoneyCheck m = totalsAgainstJournal(base);
            QVERIFY2(m.mismatches == 0, qPrintable(m.first));
        }
        // The kept copy holds the journal replaced.
        QVERIFY(checked(kept).intact);
        QVERIFY(checked(kept).entries >= 7);
    }

    // A base whose journal was tampered with is the very case for a restore: it goes ahead, the
    // base kept aside as it stood, and the journal restored is the backup's.
    void restoreMendsTamperedBase_data() { engines(); }
    void restoreMendsTamperedBase() {
        QFETCH(QString, engine);
        if (engine == QLatin1String("serveur") && !TempServerDatabase::available())
            QSKIP("OBSLEDGER_TEST_SERVER n'est pas défini");
        QTemporaryDir folder;
        const QString saved = newFile(QStringLiteral("sauve.mdb"));
        fillWithHistory(saved);
        const QString backup = folder.filePath(kBackupFileName);
        QString why, kept;
        QVERIFY2(backupDatabase(saved, backup, &why), qPrintable(why));
        const QString base = newBase(engine, QStringLiteral("vivante"));
        QVERIFY(appendJournaledRows(base, {}, demoJournaledActs(7, QDate(2021, 1, 1), QDate(2021, 3, 1))));
        tamper(base, QStringLiteral("montant"), 3);
        QVERIFY(!checked(base).intact);
        if (isServerLocation(base))
            QVERIFY2(restoreServer(backup, m_servers.back()->userConninfo(), &why, &kept), qPrintable(why));
        else
            QVERIFY2(restoreDatabase(backup, base, &why, &kept), qPrintable(why));
        QVERIFY(checked(base).intact);
        QCOMPARE(journalOf(base), journalOf(saved));
        const JournalCheck aside = checked(kept);
        QVERIFY(!aside.intact);
        QCOMPARE(aside.firstBad, std::optional<qint64>(3));
    }

    // A backup is made even of a base whose journal was tampered with: the acts are saved, and the
    // damage still shows in the backup, at the same entry, on both engines.
    void backupKeepsTamperedJournal_data() { engines(); }
    void backupKeepsTamperedJournal() {
        QFETCH(QString, engine);
        if (engine == QLatin1String("serveur") && !TempServerDatabase::available())
            QSKIP("OBSLEDGER_TEST_SERVER n'est pas défini");
        const QString base = newBase(engine, QStringLiteral("vivante"));
        fillWithHistory(base);
        tamper(base, QStringLiteral("mode"), 5);
        QTemporaryDir folder;
        const QString backup = folder.filePath(kBackupFileName);
        QString why;
        QVERIFY2(isServerLocation(base) ? backupServer(base, backup, &why) : backupDatabase(base, backup, &why),
                 qPrintable(why));
        const JournalCheck c = checked(backup);
        QVERIFY(!c.intact);
        QCOMPARE(c.firstBad, std::optional<qint64>(5));
        StoredFigures a, b;
        QVERIFY(readStoredFigures(base, &a));
        QVERIFY(readStoredFigures(backup, &b));
        QCOMPARE(b, a);
    }

    // The former register's acts, loaded into a new file: an opening entry per running total.
    void importedActsOpenTheJournal() {
        std::vector<Act> acts;
        for (int i = 0; i < 12; ++i) {
            Act a = act(QStringLiteral("ANCIENNE%1").arg(i), 40000 + i, 50 * i);
            a.number = 100 + 3 * i; // numbers kept as the old file has them
            acts.push_back(a);
        }
        const QString path = m_dir.filePath(QStringLiteral("import.mdb"));
        QFile::remove(path);
        QVERIFY(writeNewClinicFile(path, acts, {}));
        const auto journal = journalOf(path);
        QVERIFY(!journal.empty());
        for (const JournalEntry& e : journal) {
            QCOMPARE(e.kind, JournalKind::Opening);
            QVERIFY(e.act && *e.act >= 100);
        }
        const MoneyCheck m = totalsAgainstJournal(path);
        QCOMPARE(m.acts, qint64(12));
        QVERIFY2(m.mismatches == 0, qPrintable(m.first));
        QVERIFY(checked(path).intact);
    }

    // A backup whose journal was tampered with restores nothing, and keeps nothing aside either.
    void restoreRefusesTamperedBackup_data() {
        QTest::addColumn<QString>("engine");
        QTest::addColumn<QString>("how");
        for (const char* engine : {"fichier", "serveur"})
            for (const char* how : {"montant", "mode", "suppression", "insertion", "fin"})
                QTest::addRow("%s %s", engine, how) << QString::fromLatin1(engine) << QString::fromLatin1(how);
    }
    void restoreRefusesTamperedBackup() {
        QFETCH(QString, engine);
        QFETCH(QString, how);
        if (engine == QLatin1String("serveur") && !TempServerDatabase::available())
            QSKIP("OBSLEDGER_TEST_SERVER n'est pas défini");
        QTemporaryDir folder;
        const QString backup = folder.filePath(kBackupFileName);
        {
            const QString saved = newFile(QStringLiteral("sauve.mdb"));
            fillWithHistory(saved);
            tamper(saved, how, 20);
            QVERIFY(QFile::copy(saved, backup));
        }
        const QString base = newBase(engine, QStringLiteral("vivante"));
        QVERIFY(appendJournaledRows(base, {}, demoJournaledActs(7, QDate(2021, 1, 1), QDate(2021, 3, 1))));
        StoredFigures before, after;
        QVERIFY(readStoredFigures(base, &before));
        const auto journalBefore = journalOf(base);
        QString why, kept;
        const bool done = isServerLocation(base) ? restoreServer(backup, m_servers.back()->userConninfo(), &why, &kept)
                                                 : restoreDatabase(backup, base, &why, &kept);
        QVERIFY(!done);
        QVERIFY2(why.contains(QStringLiteral("est altéré")) && why.contains(QStringLiteral("Rien n'a été restauré")),
                 qPrintable(why));
        QVERIFY(kept.isEmpty());
        QVERIFY(isServerLocation(base) || obs::test::keptBeforeRestore(base).isEmpty());
        QVERIFY(QDir(folder.path()).entryList({kServerBeforeRestoreStem + QStringLiteral("*")}, QDir::Files).isEmpty());
        QVERIFY(readStoredFigures(base, &after));
        QCOMPARE(after, before);
        QCOMPARE(journalOf(base), journalBefore);
    }

    // A file whose journal was made before the payments recorded their performer, copied or
    // restored: its hashes still hold, and its payment and opening entries take the performer
    // their act has at the move, once, outside the hash.
    void earlierJournalMovedWithItsPerformers_data() {
        QTest::addColumn<QString>("how");
        QTest::newRow("copie vers un fichier") << QStringLiteral("copie fichier");
        QTest::newRow("copie vers le serveur") << QStringLiteral("copie serveur");
        QTest::newRow("restauration d'un fichier") << QStringLiteral("restauration");
    }
    void earlierJournalMovedWithItsPerformers() {
        QFETCH(QString, how);
        if (how == QLatin1String("copie serveur") && !TempServerDatabase::available())
            QSKIP("OBSLEDGER_TEST_SERVER n'est pas défini");
        const QString source = newFile(QStringLiteral("ancienne.mdb"));
        runAsOwner(source, {QStringLiteral("DROP INDEX JOURNAL_RECU"),
                            QStringLiteral("ALTER TABLE JOURNAL DROP COLUMN MEDACTE"),
                            QStringLiteral("ALTER TABLE JOURNAL DROP COLUMN MEDREPRISE")});
        fillWithHistory(source);
        QVERIFY(!opened(source)->journal().recordsPerformer());
        QString destination;
        if (how == QLatin1String("restauration")) {
            QTemporaryDir folder;
            const QString backup = folder.filePath(kBackupFileName);
            QString why;
            QVERIFY2(backupDatabase(source, backup, &why), qPrintable(why));
            destination = newFile(QStringLiteral("restauree.mdb"));
            QVERIFY2(restoreDatabase(backup, destination, &why), qPrintable(why));
        } else {
            destination = how == QLatin1String("copie serveur") ? newServer().userConninfo()
                                                                : m_dir.filePath(QStringLiteral("copiee.mdb"));
            QFile::remove(destination);
            const Status s = copyBase(source, destination, false);
            QVERIFY2(s, qPrintable(s.message));
        }
        const JournalCheck c = checked(destination);
        QVERIFY2(c.intact, qPrintable(c.problem));
        const auto before = journalOf(source);
        const auto after = journalOf(destination);
        QCOMPARE(after.size(), before.size());
        auto store = opened(destination);
        QVERIFY(store->journal().recordsPerformer());
        qint64 given = 0;
        for (std::size_t i = 0; i < after.size(); ++i) {
            QCOMPARE(after[i].hash, before[i].hash);
            QVERIFY(after[i].performer.isEmpty());
            Act a;
            bool found = false;
            QVERIFY(!after[i].act || store->acts().find(*after[i].act, &a, &found));
            const bool takes =
                found && (after[i].kind == JournalKind::Payment || after[i].kind == JournalKind::Opening);
            QCOMPARE(after[i].performerTakenOver, takes ? a.performedBy : QString());
            given += takes;
        }
        QVERIFY(given > 30);
    }

    // The upgrade of a base made before the journal writes an opening entry per running total,
    // says how many, and the chain is sound; a second upgrade writes none.
    void upgradeOpensTheJournal_data() { engines(); }
    void upgradeOpensTheJournal() {
        QFETCH(QString, engine);
        if (engine == QLatin1String("serveur") && !TempServerDatabase::available())
            QSKIP("OBSLEDGER_TEST_SERVER n'est pas défini");
        const QString base = newBase(engine, QStringLiteral("ancienne"));
        QVERIFY(appendRows(base, demoReferences(), demoActs(60, QDate(2012, 1, 1), QDate(2012, 12, 31))));
        QVERIFY(appendRows(base, {}, [n = 0](Act* a) mutable {
            *a = act(QStringLiteral("REVERSEE"), dayNumberOf(QDate(2012, 5, 1)), 200);
            return n++ < 2;
        }));
        dropJournal(base);
        QVERIFY(!opened(base)->journal().present());
        // A workstation cannot write to it meanwhile.
        qint64 number = 0;
        const Status refused = opened(base)->acts().append(act(QStringLiteral("X"), 1, 0), &number);
        QVERIFY(!refused);
        QVERIFY2(refused.message.contains(QStringLiteral("obsledger-admin upgrade")), qPrintable(refused.message));

        const auto run = obs::test::runProgram(obs::test::builtProgram(QStringLiteral("obsledger-admin")),
                                               {QStringLiteral("upgrade"), base});
        QVERIFY2(run.code == 0, qPrintable(run.err));
        const auto journal = journalOf(base);
        QVERIFY(journal.size() > 60);
        QVERIFY2(run.out.contains(QStringLiteral("%1 écritures d'ouverture").arg(journal.size())), qPrintable(run.out));
        for (const JournalEntry& e : journal) {
            QCOMPARE(e.kind, JournalKind::Opening);
            QVERIFY(!e.receivedOn);
        }
        const MoneyCheck m = totalsAgainstJournal(base);
        QCOMPARE(m.acts, qint64(62));
        QVERIFY2(m.mismatches == 0, qPrintable(m.first));
        const auto verify = obs::test::runProgram(obs::test::builtProgram(QStringLiteral("obsledger-admin")),
                                                  {QStringLiteral("journal"), QStringLiteral("verify"), base});
        QCOMPARE(verify.code, 0);
        // The workstations write again, through their own login on a server.
        const QString user = isServerLocation(base) ? m_servers.back()->userConninfo() : base;
        QVERIFY(opened(user)->acts().append(act(QStringLiteral("APRES"), 1, 0), &number));
        QVERIFY(checked(base).intact);
        qint64 again = -1;
        QVERIFY(upgradeBase(base, &again));
        QCOMPARE(again, qint64(0));
    }

    // `journal verify` finds an entry edited, removed or slipped in by hand, naming it; exit 0 and
    // the count when intact; 2 for bad arguments.
    void verifyFindsTampering_data() {
        QTest::addColumn<QString>("engine");
        QTest::addColumn<QString>("how");
        QTest::addColumn<QString>("named");
        for (const char* engine : {"fichier", "serveur"}) {
            QTest::addRow("%s montant", engine) << QString::fromLatin1(engine) << "montant"
                                                << "n° 9 ne correspond pas";
            QTest::addRow("%s mode", engine) << QString::fromLatin1(engine) << "mode"
                                             << "n° 9 ne correspond pas";
            QTest::addRow("%s suppression", engine) << QString::fromLatin1(engine) << "suppression"
                                                    << "n° 9 manque";
            QTest::addRow("%s insertion", engine) << QString::fromLatin1(engine) << "insertion"
                                                  << "n° 9 ne correspond";
            QTest::addRow("%s fin", engine) << QString::fromLatin1(engine) << "fin"
                                            << "la fin du journal manque";
        }
    }
    void verifyFindsTampering() {
        QFETCH(QString, engine);
        QFETCH(QString, how);
        QFETCH(QString, named);
        if (engine == QLatin1String("serveur") && !TempServerDatabase::available())
            QSKIP("OBSLEDGER_TEST_SERVER n'est pas défini");
        const QString base = newBase(engine, QStringLiteral("base"));
        fillWithHistory(base);
        const QString admin = obs::test::builtProgram(QStringLiteral("obsledger-admin"));
        const qint64 total = qint64(journalOf(base).size());
        auto run = obs::test::runProgram(admin, {QStringLiteral("journal"), QStringLiteral("verify"), base});
        QCOMPARE(run.code, 0);
        QVERIFY2(run.out.contains(QStringLiteral("%1 écritures vérifiées").arg(total)), qPrintable(run.out));
        tamper(base, how, 9);
        run = obs::test::runProgram(admin, {QStringLiteral("journal"), QStringLiteral("verify"), base});
        QCOMPARE(run.code, 1);
        QVERIFY2(run.err.contains(named), qPrintable(run.err));
        QCOMPARE(obs::test::runProgram(admin, {QStringLiteral("journal"), QStringLiteral("verify")}).code, 2);
        QCOMPARE(obs::test::runProgram(admin, {QStringLiteral("journal"), QStringLiteral("verifier"), base}).code, 2);
    }

    // The demo clinic: dated payments by their modes, reversals paid, corrections; each act's
    // totals are the sums of its journal.
    void demoTotalsAreJournalSums_data() { engines(); }
    void demoTotalsAreJournalSums() {
        QFETCH(QString, engine);
        if (engine == QLatin1String("serveur") && !TempServerDatabase::available())
            QSKIP("OBSLEDGER_TEST_SERVER n'est pas défini");
        const QString base = newBase(engine, QStringLiteral("demo"));
        const QDate from = QDate::currentDate().addMonths(-8);
        QVERIFY(appendJournaledRows(base, demoReferences(), demoJournaledActs(300, from, QDate::currentDate())));
        const MoneyCheck m = totalsAgainstJournal(base);
        QCOMPARE(m.acts, qint64(300));
        QVERIFY2(m.mismatches == 0, qPrintable(m.first));
        QVERIFY(checked(base).intact);
        std::map<JournalKind, int> kinds;
        std::map<PaymentMode, int> modes;
        int negative = 0, misdated = 0;
        auto store = opened(base);
        for (const JournalEntry& e : journalOf(base)) {
            ++kinds[e.kind];
            if (e.mode)
                ++modes[*e.mode];
            if (e.amount && e.amount->units() < 0)
                ++negative;
            if (e.kind == JournalKind::Payment || e.kind == JournalKind::ReversalPaid) {
                Act a;
                bool found = false;
                store->acts().find(*e.act, &a, &found);
                if (!e.receivedOn || *e.receivedOn < *a.date || *e.receivedOn > dayNumberOf(QDate::currentDate()))
                    ++misdated;
            }
        }
        QCOMPARE(kinds[JournalKind::Created], 300);
        QVERIFY(kinds[JournalKind::Payment] > 300);
        QVERIFY(kinds[JournalKind::ReversalPaid] > 5);
        QCOMPARE(kinds[JournalKind::Opening], 0);
        QVERIFY(negative > 0);
        QCOMPARE(misdated, 0);
        for (PaymentMode mode : {PaymentMode::Transfer, PaymentMode::Cheque, PaymentMode::Cash, PaymentMode::Card})
            QVERIFY2(modes[mode] > 0, qPrintable(paymentModeLabel(mode)));
    }

    // A file base without a journal is given it when the program opens it, a dated copy kept
    // beside it, and the user is told once.
    void startupGivesFileItsJournal() {
        obs::test::TempClinic clinic;
        QVERIFY(appendRows(clinic.dbPath(), {}, demoActs(25, QDate(2015, 1, 1), QDate(2015, 6, 30))));
        dropJournal(clinic.dbPath());
        clinic.database().close();
        QCOMPARE(openDatabaseAtLoad(nullptr, clinic.database(), false, false), OpenOutcome::Opened);
        const QString copy = beforeJournalCopyOf(clinic.dbPath(), QDate::currentDate());
        QVERIFY2(QFileInfo::exists(copy), qPrintable(copy));
        QVERIFY(QFileInfo(copy).fileName().startsWith(QStringLiteral("OBSLEDGER.avant-journal-")));
        QVERIFY(!(QFileInfo(copy).permissions() & QFileDevice::ReadOther));
        QVERIFY(!opened(copy)->journal().present());
        QCOMPARE(Dialogs::shown().size(), 1);
        QVERIFY2(Dialogs::lastText().contains(QDir::toNativeSeparators(copy)), qPrintable(Dialogs::lastText()));
        QVERIFY(clinic.database().store()->journal().present());
        const MoneyCheck m = totalsAgainstJournal(clinic.dbPath());
        QCOMPARE(m.acts, qint64(25));
        QCOMPARE(m.mismatches, qint64(0));
        qint64 number = 0;
        QVERIFY(clinic.database().store()->acts().append(act(QStringLiteral("APRES"), 1, 0), &number));
        // Told once: the next start finds the journal.
        Dialogs::clearShown();
        QCOMPARE(openDatabaseAtLoad(nullptr, clinic.database(), false, false), OpenOutcome::Opened);
        QVERIFY(Dialogs::shown().isEmpty());
        QVERIFY(checked(clinic.dbPath()).intact);
    }

    // A server without a journal is not changed by a workstation: the command is named.
    void startupNamesTheServerCommand() {
        if (!TempServerDatabase::available())
            QSKIP("OBSLEDGER_TEST_SERVER n'est pas défini");
        TempServerDatabase& server = newServer();
        dropJournal(server.conninfo());
        obs::test::TempClinic clinic;
        Settings::setServer(server.userConninfo());
        QCOMPARE(openDatabaseAtLoad(nullptr, clinic.database(), false, false), OpenOutcome::Opened);
        const QString told = Dialogs::shown().value(0).text + Dialogs::shown().value(0).details;
        QCOMPARE(Dialogs::shown().size(), 1);
        QVERIFY2(told.contains(QStringLiteral("pas encore de journal")) &&
                     told.contains(QStringLiteral("obsledger-admin upgrade")),
                 qPrintable(told));
        QVERIFY(!clinic.database().store()->journal().present());
    }
};

QTEST_MAIN(TestJournalBulk)
#include "test_journal_bulk.moc"
