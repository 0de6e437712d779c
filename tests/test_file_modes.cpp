// Patients' names and acts never become readable by the other accounts of a workstation: every
// file the program and its tool write is its owner's only (0600), or its owner's and the clinic
// group's (0660, the folder's group) in a folder set up for the clinic (setgid), whatever the umask.
#include "TestSupport.h"

#include "common/PrivateFile.h"
#include "common/Settings.h"
#include "domain/ActsCsv.h"
#include "domain/BackupEngine.h"
#include "domain/BackupGenerations.h"
#include "domain/ServerBackup.h"
#include "store/sqlite/Schema.h"

#include <SQLiteCpp/SQLiteCpp.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <functional>
#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace obs;

namespace {

struct Mode {
    mode_t bits = 0;
    gid_t group = 0;
};

Mode modeOf(const QString& path) {
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        qFatal("%s: missing", qPrintable(path));
    return {mode_t(st.st_mode & 07777), st.st_gid};
}

// A group other than the process's own, so that a file taking it shows that it came from the folder.
gid_t otherGroup() {
    if (::geteuid() == 0)
        return ::getegid() == 100 ? 101 : 100;
    gid_t groups[64];
    const int n = ::getgroups(64, groups);
    for (int i = 0; i < n; ++i) {
        if (groups[i] != ::getegid())
            return groups[i];
    }
    return ::getegid();
}

// A folder as found on a workstation: a plain one (0755), or one set up for the clinic's group
// (2770, group given).
QString makeFolder(const QString& path, bool clinicGroup) {
    QDir().mkpath(path);
    const QByteArray p = QFile::encodeName(path);
    if (clinicGroup) {
        if (::chown(p.constData(), uid_t(-1), otherGroup()) != 0 || ::chmod(p.constData(), 02770) != 0)
            qFatal("%s: cannot set the clinic's group", p.constData());
    } else if (::chmod(p.constData(), 0755) != 0) {
        qFatal("%s: chmod", p.constData());
    }
    return path;
}

// A base as the earlier versions left it: created by the engine alone, readable by all (0644).
QString oldBase(const QString& path) {
    { SQLite::Database db(path.toStdString(), SQLite::OPEN_READWRITE | SQLite::OPEN_CREATE); }
    Status s;
    auto db = Database::open(path, &s);
    if (!db || !(s = createSchema(*db)))
        qFatal("%s: %s", qPrintable(path), qPrintable(s.message));
    db->executeRaw(QStringLiteral("INSERT INTO ACTES (Nom, Prenom, Date) VALUES ('DUPRÉ', 'Léa', 38353)"));
    return path;
}

QString newBase(const QString& path) {
    Status s;
    auto db = Database::create(path, &s);
    if (!db || !(s = createSchema(*db)))
        qFatal("%s: %s", qPrintable(path), qPrintable(s.message));
    return path;
}

QString backupInto(const QString& base, const QString& folder) {
    const QString backup = backupFileIn(folder);
    QString why;
    if (!backupDatabase(base, backup, &why))
        qFatal("backup: %s", qPrintable(why));
    return backup;
}

int runAdmin(const QStringList& args, const QString& output = QString()) {
    QProcess p;
    if (!output.isEmpty())
        p.setStandardOutputFile(output); // as the shell's `>` makes it, under the umask
    p.start(QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("obsledger-admin")), args);
    if (!p.waitForFinished(60000))
        return -1;
    return p.exitCode();
}

// Writes one kind of file into `folder` (a base elsewhere when it needs one) and gives its path.
using Writer = std::function<QString(const QString& folder, const QString& elsewhere)>;

} // namespace

Q_DECLARE_METATYPE(Writer)

class TestFileModes : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { m_umask = ::umask(022); }
    void cleanupTestCase() { ::umask(m_umask); }

    void modeOfEachFile_data() {
        QTest::addColumn<Writer>("write");
        QTest::addColumn<bool>("ownerOnly");
        QTest::addColumn<bool>("server");

        QTest::newRow("base, obsledger-admin init") << Writer([](const QString& folder, const QString&) {
            const QString base = QDir(folder).filePath(QStringLiteral("OBSLEDGER.mdb"));
            if (runAdmin({QStringLiteral("init"), base}) != 0)
                qFatal("init failed");
            return base;
        }) << false << false;
        QTest::newRow("base, created by the program") << Writer([](const QString& folder, const QString&) {
            return newBase(QDir(folder).filePath(QStringLiteral("OBSLEDGER.mdb")));
        }) << false << false;
        QTest::newRow("backup") << Writer([](const QString& folder, const QString& elsewhere) {
            return backupInto(oldBase(QDir(elsewhere).filePath(QStringLiteral("OBSLEDGER.mdb"))), folder);
        }) << false << false;
        QTest::newRow("backup replacing an old one") << Writer([](const QString& folder, const QString& elsewhere) {
            const QString backup = backupFileIn(folder);
            oldBase(backup);
            return backupInto(oldBase(QDir(elsewhere).filePath(QStringLiteral("OBSLEDGER.mdb"))), folder);
        }) << false << false;
        QTest::newRow("dated generation") << Writer([](const QString& folder, const QString& elsewhere) {
            const QString base = oldBase(QDir(elsewhere).filePath(QStringLiteral("OBSLEDGER.mdb")));
            backupInto(base, folder);
            backupInto(base, folder);
            const QStringList generations = backupGenerations(folder);
            if (generations.size() != 1)
                qFatal("no generation kept");
            return generations.first();
        }) << false << false;
        QTest::newRow("kept before a restore") << Writer([](const QString& folder, const QString& elsewhere) {
            const QString backup = backupInto(oldBase(QDir(elsewhere).filePath(QStringLiteral("OBSLEDGER.mdb"))),
                                              makeFolder(QDir(elsewhere).filePath(QStringLiteral("cle")), false));
            const QString base = newBase(QDir(folder).filePath(QStringLiteral("OBSLEDGER.mdb")));
            QString why, kept;
            if (!restoreDatabase(backup, base, &why, &kept) ||
                !kept.startsWith(base + QStringLiteral(".avant-restauration-")))
                qFatal("restore: %s", qPrintable(why));
            return kept;
        }) << false << false;
        QTest::newRow("damaged base kept before a restore") << Writer([](const QString& folder,
                                                                         const QString& elsewhere) {
            const QString backup = backupInto(oldBase(QDir(elsewhere).filePath(QStringLiteral("OBSLEDGER.mdb"))),
                                              makeFolder(QDir(elsewhere).filePath(QStringLiteral("cle")), false));
            const QString base = QDir(folder).filePath(QStringLiteral("OBSLEDGER.mdb"));
            QFile damaged(base);
            if (!damaged.open(QIODevice::WriteOnly) || damaged.write(QByteArray(4096, 'x')) != 4096)
                qFatal("cannot damage");
            damaged.close();
            QString why, kept;
            if (!restoreDatabase(backup, base, &why, &kept) || kept.isEmpty())
                qFatal("restore: %s", qPrintable(why));
            return kept;
        }) << false << false;
        QTest::newRow("base put back by a restore") << Writer([](const QString& folder, const QString& elsewhere) {
            const QString backup = backupInto(oldBase(QDir(elsewhere).filePath(QStringLiteral("OBSLEDGER.mdb"))),
                                              makeFolder(QDir(elsewhere).filePath(QStringLiteral("cle")), false));
            const QString base = QDir(folder).filePath(QStringLiteral("OBSLEDGER.mdb"));
            QString why;
            if (!restoreDatabase(backup, base, &why))
                qFatal("restore: %s", qPrintable(why));
            return base;
        }) << false << false;
        QTest::newRow("export") << Writer([](const QString& folder, const QString&) {
            const QString path = QDir(folder).filePath(QStringLiteral("actes.csv"));
            QString why;
            if (!ActsCsv::write(path, ActsCsv::line({QStringLiteral("DUPRÉ")}), &why))
                qFatal("export: %s", qPrintable(why));
            return path;
        }) << false << false;
        QTest::newRow("export over an earlier one") << Writer([](const QString& folder, const QString&) {
            const QString path = QDir(folder).filePath(QStringLiteral("actes.csv"));
            QFile old(path);
            if (!old.open(QIODevice::WriteOnly) || old.write("x") != 1)
                qFatal("cannot write");
            old.close();
            QString why;
            if (!ActsCsv::write(path, ActsCsv::line({QStringLiteral("DUPRÉ")}), &why))
                qFatal("export: %s", qPrintable(why));
            return path;
        }) << false << false;
        QTest::newRow("obsledger-admin export > file") << Writer([](const QString& folder, const QString& elsewhere) {
            const QString base = oldBase(QDir(elsewhere).filePath(QStringLiteral("OBSLEDGER.mdb")));
            const QString path = QDir(folder).filePath(QStringLiteral("actes.csv"));
            if (runAdmin({QStringLiteral("export"), base, QStringLiteral("--du"), QStringLiteral("01/01/2005"),
                          QStringLiteral("--au"), QStringLiteral("31/12/2005")},
                         path) != 0)
                qFatal("export failed");
            if (!QFile(path).open(QIODevice::ReadOnly) || QFileInfo(path).size() == 0)
                qFatal("nothing exported");
            return path;
        }) << false << false;
        QTest::newRow("backup of a server") << Writer([](const QString& folder, const QString&) {
            obs::test::TempServerDatabase server;
            const QString backup = backupFileIn(folder);
            QString why;
            if (!backupServer(server.conninfo(), backup, &why))
                qFatal("server backup: %s", qPrintable(why));
            return backup;
        }) << false << true;
        QTest::newRow("settings") << Writer([](const QString& folder, const QString&) {
            qputenv("XDG_CONFIG_HOME", QFile::encodeName(folder));
            QString why;
            if (!Settings::setBackupFolder(folder, &why))
                qFatal("settings: %s", qPrintable(why));
            return Settings::fileFor(kSettingsApp);
        }) << true << false;
    }

    void modeOfEachFile() {
        QFETCH(Writer, write);
        QFETCH(bool, ownerOnly);
        QFETCH(bool, server);
        if (server)
            OBS_REQUIRE_SERVER();
        const QByteArray savedConfig = qgetenv("XDG_CONFIG_HOME");
        for (const bool clinicFolder : {false, true}) {
            QTemporaryDir top;
            const QString folder = makeFolder(top.filePath(QStringLiteral("dossier")), clinicFolder);
            const QString elsewhere = makeFolder(top.filePath(QStringLiteral("ailleurs")), false);
            const QString path = write(folder, elsewhere);
            qputenv("XDG_CONFIG_HOME", savedConfig);
            QVERIFY2(QFileInfo(path).absolutePath() == QFileInfo(folder).absoluteFilePath(), qPrintable(path));
            const Mode mode = modeOf(path);
            const mode_t expected = clinicFolder && !ownerOnly ? 0660 : 0600;
            QVERIFY2(mode.bits == expected, qPrintable(QStringLiteral("%1 folder: %2 is %3, expected %4")
                                                           .arg(clinicFolder ? "setgid" : "plain", path)
                                                           .arg(mode.bits, 4, 8, QLatin1Char('0'))
                                                           .arg(expected, 4, 8, QLatin1Char('0'))));
            if (clinicFolder)
                QCOMPARE(mode.group, modeOf(folder).group);
            // No temporary file is left behind readable by others.
            for (const QFileInfo& f : QDir(folder).entryInfoList(QDir::Files | QDir::Hidden))
                QVERIFY2((modeOf(f.absoluteFilePath()).bits & 07) == 0, qPrintable(f.absoluteFilePath()));
        }
    }

    // The engine's journal, which holds the pages being changed, takes the rights of the base.
    void journalFollowsTheBase_data() {
        QTest::addColumn<bool>("clinicFolder");
        QTest::newRow("plain folder") << false;
        QTest::newRow("setgid folder") << true;
    }
    void journalFollowsTheBase() {
        QFETCH(bool, clinicFolder);
        QTemporaryDir top;
        const QString folder = makeFolder(top.filePath(QStringLiteral("dossier")), clinicFolder);
        const QString base = newBase(QDir(folder).filePath(QStringLiteral("OBSLEDGER.mdb")));
        Status s;
        auto db = Database::open(base, &s);
        QVERIFY2(db, qPrintable(s.message));
        QVERIFY(db->executeRaw(QStringLiteral("BEGIN IMMEDIATE")));
        QVERIFY(db->executeRaw(QStringLiteral("INSERT INTO ACTES (Nom, Prenom, Date) VALUES ('DUPRÉ', 'Léa', 1)")));
        const QString journal = base + QStringLiteral("-journal");
        QVERIFY(QFileInfo::exists(journal));
        const Mode mode = modeOf(journal);
        QCOMPARE(mode.bits, modeOf(base).bits);
        QCOMPARE(mode.group, modeOf(base).group);
        QVERIFY(db->executeRaw(QStringLiteral("ROLLBACK")));
    }

    // A base that exists is opened as it is: its rights are the administrator's.
    void existingBaseKeepsItsRights() {
        QTemporaryDir top;
        const QString folder = makeFolder(top.filePath(QStringLiteral("dossier")), true);
        const QString base = oldBase(QDir(folder).filePath(QStringLiteral("OBSLEDGER.mdb")));
        QVERIFY(::chmod(QFile::encodeName(base).constData(), 0640) == 0);
        Status s;
        QVERIFY(Database::create(base, &s));
        QCOMPARE(modeOf(base).bits, mode_t(0640));
    }

private:
    mode_t m_umask = 022;
};

QTEST_GUILESS_MAIN(TestFileModes)
#include "test_file_modes.moc"
