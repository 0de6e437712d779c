// What a restore takes from a backup file: only the rows of the program's two tables, after the
// file's columns were checked, without ever changing the backup itself.
#include "TestSupport.h"

#include "domain/BackupEngine.h"
#include "store/Store.h"
#include "store/sqlite/Schema.h"

#include <QDir>
#include <QFile>
#include <QtTest>

#include <unistd.h>

using namespace obs;
using obs::test::TempClinic;

namespace {

QByteArray contentOf(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QString backupOf(TempClinic& clinic) {
    QDir(clinic.dir()).mkpath(QStringLiteral("cle"));
    const QString backup = clinic.file(QStringLiteral("cle/OBSLEDGER.MDB"));
    QString why;
    if (!backupDatabase(clinic.dbPath(), backup, &why))
        qFatal("backup: %s", qPrintable(why));
    return backup;
}

void runOn(const QString& path, const QStringList& statements) {
    Status s;
    auto db = QFileInfo::exists(path) ? Database::open(path, &s) : Database::create(path, &s);
    QVERIFY2(db, qPrintable(s.message));
    for (const QString& sql : statements)
        QVERIFY2(db->queryRaw(sql, {}, [](const Row&) { return true; }), qPrintable(sql));
}

QStringList objectsOf(Database& db) {
    QStringList names;
    // The planner's figures (sqlite_stat1) are the engine's, not the program's objects.
    db.queryRaw(QStringLiteral("SELECT type || ' ' || name FROM sqlite_master WHERE substr(name, 1, 11) <> "
                               "'sqlite_stat' ORDER BY 1"),
                {}, [&](const Row& r) {
                    names << r.values().value(0).toString();
                    return true;
                });
    return names;
}

const QString kActes = QStringLiteral(
    "CREATE TABLE ACTES (NUMINT INTEGER PRIMARY KEY AUTOINCREMENT, Nom TEXT, Prenom TEXT, Date INTEGER, MEDSUIT TEXT, "
    "MEDACTE TEXT, Acte TEXT, CCAM1 TEXT, NF TEXT, CCAM2 TEXT, CCAM3 TEXT, CCAM4 TEXT, CCAM5 TEXT, CCAM6 TEXT, "
    "PRIX INTEGER, DE INTEGER, PAYESECU INTEGER, PAYECOMPLE INTEGER, PAYEDE INTEGER, REVERSE INTEGER, DateRev "
    "INTEGER%1)");
const QString kMemo = QStringLiteral("CREATE TABLE MEMO (NUMEROS INTEGER, TEXTE VARCHAR(80), CCAM TEXT, TARIFS "
                                     "INTEGER, MUT1 INT, MUT2 INT, MUT3 INT, MUT4 INT, MUT5 INT, MUT6 INT, \"INDEX\" "
                                     "BIGINT)");

} // namespace

class TestRestoreSafety : public QObject {
    Q_OBJECT
private slots:
    void refusesForeignColumns_data();
    void refusesForeignColumns();
    void takesOnlyTheRows_data();
    void takesOnlyTheRows();
    void leavesTheBackupUntouched_data();
    void leavesTheBackupUntouched();
    void hardLinkIsTheSameFile();
    void removesLeftoversOfKilledRuns();
};

void TestRestoreSafety::refusesForeignColumns_data() {
    QTest::addColumn<QStringList>("schema");
    QTest::addColumn<QString>("named"); // in the detail text
    QTest::newRow("bare tables") << QStringList{"CREATE TABLE ACTES(x)", "CREATE TABLE MEMO(y)"}
                                 << "la colonne ACTES.NUMINT est absente";
    QTest::newRow("amount as text") << QStringList{QString(kActes).replace("PRIX INTEGER", "PRIX TEXT").arg(""), kMemo}
                                    << "la colonne ACTES.PRIX n'est pas du type INTEGER";
    QTest::newRow("column of another program")
        << QStringList{kActes.arg(", Extra BLOB"), kMemo} << "la colonne ACTES.EXTRA est inconnue";
    QTest::newRow("no MEMO") << QStringList{kActes.arg("")} << "la table MEMO est absente";
    QTest::newRow("MEMO without INDEX") << QStringList{kActes.arg(""), QString(kMemo).replace(", \"INDEX\" BIGINT", "")}
                                        << "la colonne MEMO.INDEX est absente";
}

void TestRestoreSafety::refusesForeignColumns() {
    QFETCH(QStringList, schema);
    QFETCH(QString, named);
    TempClinic clinic;
    clinic.addAct({{"Nom", "DUPONT"}});
    QDir(clinic.dir()).mkpath("cle");
    const QString backup = clinic.file("cle/OBSLEDGER.MDB");
    runOn(backup, schema);
    const QByteArray live = contentOf(clinic.dbPath());
    QString why, kept;
    QVERIFY(!restoreDatabase(backup, clinic.dbPath(), &why, &kept));
    QVERIFY2(why.contains(named), qPrintable(why));
    QCOMPARE(contentOf(clinic.dbPath()), live);
    QVERIFY(obs::test::keptBeforeRestore(clinic.dbPath()).isEmpty());
    QCOMPARE(QDir(clinic.dir()).entryList({"*.partiel*"}, QDir::Files), QStringList());
}

void TestRestoreSafety::takesOnlyTheRows_data() {
    QTest::addColumn<QString>("hostile");
    QTest::newRow("trigger wiping the acts")
        << "CREATE TRIGGER PIEGE AFTER INSERT ON ACTES BEGIN DELETE FROM ACTES WHERE NUMINT <> NEW.NUMINT; END";
    QTest::newRow("trigger on the lists") << "CREATE TRIGGER PIEGE2 AFTER INSERT ON MEMO BEGIN DELETE FROM MEMO; END";
    QTest::newRow("view") << "CREATE VIEW TOUT AS SELECT * FROM ACTES";
    QTest::newRow("table of another program") << "CREATE TABLE AUTRE (a, b)";
    QTest::newRow("index of another program") << "CREATE UNIQUE INDEX SEUL ON ACTES (MEDSUIT)";
}

void TestRestoreSafety::takesOnlyTheRows() {
    QFETCH(QString, hostile);
    TempClinic clinic;
    const QStringList programObjects = objectsOf(clinic.db());
    clinic.addAct({{"Nom", "DUPONT"}, {"MEDSUIT", "A"}, {"PRIX", QVariant::fromValue<qint64>(3135000)}});
    clinic.addAct({{"Nom", "MARTIN"}, {"MEDSUIT", "B"}});
    const qint64 deleted = clinic.addAct({{"Nom", "EFFACE"}});
    QVERIFY(clinic.db().executeRaw(QStringLiteral("DELETE FROM ACTES WHERE NUMINT = %1").arg(deleted)));
    // A list entry without its place in the catalogue keeps none through the restore.
    QVERIFY(clinic.db().executeRaw("INSERT INTO MEMO (NUMEROS, TEXTE) VALUES (1, 'Dr X')"));
    QVERIFY(clinic.db().executeRaw("UPDATE MEMO SET \"INDEX\" = NULL"));
    const QString backup = backupOf(clinic);
    runOn(backup, {hostile});
    // Entered after the backup: the restore removes it, and its number with it is never given again.
    const qint64 lastGiven = clinic.addAct({{"Nom", "ZOLA"}});

    QString why, kept;
    QVERIFY2(restoreDatabase(backup, clinic.dbPath(), &why, &kept), qPrintable(why));
    QCOMPARE(objectsOf(clinic.db()), programObjects);
    QCOMPARE(clinic.scalar("SELECT group_concat(Nom || ':' || ifnull(PRIX, ''), ',') FROM ACTES").toString(),
             QStringLiteral("DUPONT:3135000,MARTIN:"));
    QVERIFY(clinic.scalar("SELECT \"INDEX\" FROM MEMO").isNull());

    // The next act entered, through the program's own data layer, leaves the others in place and
    // takes a number never given before.
    Status s;
    auto store = Store::open(clinic.dbPath(), &s);
    QVERIFY2(store, qPrintable(s.message));
    Act act;
    act.surname = QStringLiteral("NOUVEAU");
    act.followedBy = QStringLiteral("A");
    qint64 number = 0;
    QVERIFY(store->acts().append(act, &number));
    QVERIFY(lastGiven > deleted);
    QCOMPARE(number, lastGiven + 1);
    ReferenceEntry entry;
    entry.label = QStringLiteral("Dr Y");
    QVERIFY(store->references().add(entry));
    QCOMPARE(clinic.count("ACTES"), 3);
    QCOMPARE(clinic.count("MEMO"), 2);
    QVERIFY2(checkProgramDatabase(clinic.dbPath(), &why), qPrintable(why));
}

void TestRestoreSafety::leavesTheBackupUntouched_data() {
    QTest::addColumn<QString>("state");
    QTest::newRow("write-ahead log mode") << "wal";
    QTest::newRow("journal left beside it") << "journal";
    QTest::newRow("plain") << "plain";
}

void TestRestoreSafety::leavesTheBackupUntouched() {
    QFETCH(QString, state);
    TempClinic clinic;
    clinic.addAct({{"Nom", "DUPONT"}});
    const QString backup = backupOf(clinic);
    clinic.addAct({{"Nom", "MARTIN"}});
    if (state == "wal") {
        runOn(backup, {"PRAGMA journal_mode=WAL"});
    } else if (state == "journal") {
        // A journal that belongs to no write of this file: a restore must not touch it either.
        QFile j(backup + "-journal");
        QVERIFY(j.open(QIODevice::WriteOnly));
        j.write(QByteArray(512, '\0'));
    }
    const QStringList before = QDir(clinic.file("cle")).entryList(QDir::Files);
    const QByteArray content = contentOf(backup);
    const QDateTime modified = QFileInfo(backup).lastModified();
    QString why, kept;
    QVERIFY2(restoreDatabase(backup, clinic.dbPath(), &why, &kept), qPrintable(why));
    QCOMPARE(contentOf(backup), content);
    QCOMPARE(QFileInfo(backup).lastModified(), modified);
    QCOMPARE(QDir(clinic.file("cle")).entryList(QDir::Files), before);
    QCOMPARE(clinic.count("ACTES"), 1);
}

void TestRestoreSafety::hardLinkIsTheSameFile() {
    TempClinic clinic;
    clinic.addAct({{"Nom", "DUPONT"}});
    QDir(clinic.dir()).mkpath("cle");
    const QString link = clinic.file("cle/OBSLEDGER.MDB");
    QCOMPARE(::link(QFile::encodeName(clinic.dbPath()).constData(), QFile::encodeName(link).constData()), 0);
    QVERIFY(sameFile(link, clinic.dbPath()));
    QVERIFY(!sameFile(clinic.file("cle/AUTRE.MDB"), clinic.dbPath()));
    QString why, kept;
    QVERIFY(!restoreDatabase(link, clinic.dbPath(), &why, &kept));
    QVERIFY(!backupDatabase(clinic.dbPath(), link, &why));
    QCOMPARE(clinic.count("ACTES"), 1);
}

void TestRestoreSafety::removesLeftoversOfKilledRuns() {
    TempClinic clinic;
    clinic.addAct({{"Nom", "DUPONT"}});
    const QString backup = backupOf(clinic);
    auto leave = [](const QString& path, int minutesAgo) {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("reste");
        f.flush();
        QVERIFY(
            f.setFileTime(QDateTime::currentDateTime().addSecs(-60 * minutesAgo), QFileDevice::FileModificationTime));
    };
    leave(clinic.dbPath() + ".a1B2c3.partiel", 30);
    leave(clinic.dbPath() + ".a1B2c3.partiel-journal", 30);
    leave(backup + ".zZ9yY8.partiel", 30);
    // One still being written by another workstation stays.
    leave(clinic.dbPath() + ".enCour.partiel", 0);
    leave(clinic.file("AUTRE.partiel"), 30);
    QString why, kept;
    QVERIFY2(restoreDatabase(backup, clinic.dbPath(), &why, &kept), qPrintable(why));
    QCOMPARE(QDir(clinic.dir()).entryList({"*.partiel*"}, QDir::Files),
             (QStringList{"AUTRE.partiel", "OBSLEDGER.mdb.enCour.partiel"}));
    QCOMPARE(QDir(clinic.file("cle")).entryList({"*.partiel*"}, QDir::Files), QStringList());

    leave(backup + ".qQ1wW2.partiel", 30);
    QVERIFY2(backupDatabase(clinic.dbPath(), backup, &why), qPrintable(why));
    QCOMPARE(QDir(clinic.file("cle")).entryList({"*.partiel*"}, QDir::Files), QStringList());
}

QTEST_MAIN(TestRestoreSafety)
#include "test_restore_safety.moc"
