// SPDX-License-Identifier: GPL-3.0-or-later
// The README's server installation, run word for word on a PostgreSQL server of the test's own,
// fresh from initdb, then used as a clinic uses it: the file copied by the tables' owner, backups
// restored and rows replaced by a workstation's login, which may do nothing more.
#include "TestSupport.h"

#include "domain/ClinicCopy.h"
#include "domain/ServerBackup.h"
#include "store/postgres/PgConnection.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <pwd.h>
#include <unistd.h>

using namespace obs;
using obs::test::serverNumber;

namespace {

const QString kPgBin = qEnvironmentVariable("OBSLEDGER_PG_BIN", QStringLiteral("/usr/lib/postgresql/15/bin"));

using Run = obs::test::ProgramRun;

Run run(const QString& program, const QStringList& args, const QProcessEnvironment& env = {}) {
    return obs::test::runProgram(program, args, env);
}

bool writeFile(const QString& path, const QByteArray& content, QFile::Permissions mode) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(content) == content.size() && f.setPermissions(mode);
}

// A PostgreSQL 15 server as a package leaves it after initdb: nothing but its administrator
// `postgres`. Unix socket in its own folder, no TCP. initdb refuses root: as root, the server runs
// as the `postgres` user.
class FreshServer {
public:
    bool start(QString* why) {
        if (!m_dir.isValid()) {
            *why = QStringLiteral("no temporary folder");
            return false;
        }
        if (::geteuid() == 0) {
            const passwd* pg = ::getpwnam("postgres");
            if (!pg || ::chown(QFile::encodeName(m_dir.path()).constData(), pg->pw_uid, pg->pw_gid) != 0) {
                *why = QStringLiteral("no postgres user to run the server");
                return false;
            }
            m_as = {QStringLiteral("-u"), QStringLiteral("postgres"), QStringLiteral("--")};
        }
        Run r =
            asServer(QStringLiteral("initdb"),
                     {QStringLiteral("-D"), data(), QStringLiteral("-A"), QStringLiteral("trust"), QStringLiteral("-U"),
                      QStringLiteral("postgres"), QStringLiteral("-E"), QStringLiteral("UTF8")});
        if (r.code != 0) {
            *why = QStringLiteral("initdb: ") + r.err;
            return false;
        }
        r = asServer(QStringLiteral("pg_ctl"),
                     {QStringLiteral("-D"), data(), QStringLiteral("-o"),
                      QStringLiteral("-k %1 -c listen_addresses=''").arg(m_dir.path()), QStringLiteral("-l"),
                      m_dir.filePath(QStringLiteral("log")), QStringLiteral("-w"), QStringLiteral("start")});
        m_started = r.code == 0;
        if (!m_started)
            *why = QStringLiteral("pg_ctl start: ") + r.err + r.out;
        return m_started;
    }
    ~FreshServer() {
        if (m_started)
            asServer(QStringLiteral("pg_ctl"), {QStringLiteral("-D"), data(), QStringLiteral("-m"),
                                                QStringLiteral("fast"), QStringLiteral("stop")});
    }
    QString socketFolder() const { return m_dir.path(); }
    // A connection string to one of its databases as one of its logins.
    QString as(const QString& login, const QString& database) const {
        return QStringLiteral("host=%1 dbname=%2 user=%3").arg(m_dir.path(), database, login);
    }

private:
    QString data() const { return m_dir.filePath(QStringLiteral("data")); }
    Run asServer(const QString& tool, const QStringList& args) {
        const QString program = QDir(kPgBin).filePath(tool);
        return m_as.isEmpty() ? run(program, args) : run(QStringLiteral("runuser"), m_as + QStringList{program} + args);
    }
    QTemporaryDir m_dir{QStringLiteral("/tmp/obsledger-pg-XXXXXX")};
    QStringList m_as;
    bool m_started = false;
};

// A section of the README, from its heading to the next one.
QString section(const QString& readme, const QString& heading) {
    const qsizetype start = readme.indexOf(QStringLiteral("\n## ") + heading + u'\n');
    if (start < 0)
        return {};
    const qsizetype end = readme.indexOf(QStringLiteral("\n## "), start + 4);
    return readme.mid(start, end < 0 ? -1 : end - start);
}

// The shell blocks of a section, in order, each a list of its lines.
QList<QStringList> shellBlocks(const QString& text) {
    const QStringList lines = text.split(u'\n');
    QList<QStringList> blocks;
    bool inside = false;
    for (const QString& line : lines) {
        const QString t = line.trimmed();
        if (!inside && t == QLatin1String("```sh")) {
            inside = true;
            blocks << QStringList();
        } else if (inside && t == QLatin1String("```")) {
            inside = false;
        } else if (inside && !t.isEmpty()) {
            blocks.last() << t;
        }
    }
    return blocks;
}

std::unique_ptr<PgConnection> connectTo(const QString& conninfo) {
    Status s;
    auto db = PgConnection::open(conninfo, &s);
    if (!db)
        qWarning("%s", qPrintable(s.message));
    return db;
}

} // namespace

class TestServerInstall : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void initWithoutTheRoleSaysHow();
    void readmeStepsOnAFreshServer();
    void workstationLoginRestores();
    void earlierBaseGetsItsRightsByUpgrade();

private:
    // Runs a line of the README in a shell whose `sudo -u postgres` reaches the fresh server as its
    // administrator, and whose `obsledger-admin` is the one just built, reaching the fresh server
    // for the README's serveur.clinique.lan and the test's folder for /srv/compta.
    Run shell(const QString& line);

    std::unique_ptr<FreshServer> m_server;
    QTemporaryDir m_dir;
    QString m_section;
    QList<QStringList> m_blocks;
    QString m_backup; // made by the workstation's login
};

void TestServerInstall::initTestCase() {
    // Server tests are asked for by the test command, which gives the test server.
    if (!obs::test::TempServerDatabase::available())
        QSKIP("OBSLEDGER_TEST_SERVER n'est pas défini");
    if (!QFileInfo::exists(QDir(kPgBin).filePath(QStringLiteral("initdb"))))
        QSKIP("initdb de PostgreSQL 15 introuvable");
    m_server = std::make_unique<FreshServer>();
    QString why;
    QVERIFY2(m_server->start(&why), qPrintable(why));

    QFile readme(QStringLiteral(OBSLEDGER_README));
    QVERIFY(readme.open(QIODevice::ReadOnly));
    m_section = section(QString::fromUtf8(readme.readAll()), QStringLiteral("Plusieurs postes : serveur PostgreSQL"));
    m_blocks = shellBlocks(m_section);
    QVERIFY(m_blocks.size() >= 5);

    const QString bin = m_dir.filePath(QStringLiteral("bin"));
    QVERIFY(QDir().mkpath(bin));
    QVERIFY(QDir().mkpath(m_dir.filePath(QStringLiteral("home"))));
    QVERIFY(QDir().mkpath(m_dir.filePath(QStringLiteral("srv"))));
    const auto exec = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner;
    QVERIFY(writeFile(QDir(bin).filePath(QStringLiteral("sudo")),
                      "#!/bin/sh\n"
                      "[ \"$1\" = -u ] && [ \"$2\" = postgres ] || { echo \"sudo: $*\" >&2; exit 99; }\n"
                      "shift 2; tool=$1; shift\n"
                      "PGUSER=postgres exec \"$PGBIN/$tool\" \"$@\"\n",
                      exec));
    QVERIFY(writeFile(QDir(bin).filePath(QStringLiteral("obsledger-admin")),
                      "#!/bin/bash\n"
                      "args=()\n"
                      "for a in \"$@\"; do a=${a//@serveur.clinique.lan\\//@/}; a=${a//\\/srv\\/compta\\//$SRV/}; "
                      "args+=(\"$a\"); done\n"
                      "exec \"$ADMIN\" \"${args[@]}\"\n",
                      exec));
    // The clinic's file that step 6 moves to the server.
    const Run made = shell(QStringLiteral("obsledger-admin init /srv/compta/OBSLEDGER.mdb --demo"));
    QVERIFY2(made.code == 0, qPrintable(made.err));
}

Run TestServerInstall::shell(const QString& line) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("PATH"),
               m_dir.filePath(QStringLiteral("bin")) + u':' + env.value(QStringLiteral("PATH")));
    env.insert(QStringLiteral("PGBIN"), kPgBin);
    env.insert(QStringLiteral("PGHOST"), m_server->socketFolder());
    env.insert(QStringLiteral("ADMIN"), QDir(QCoreApplication::applicationDirPath()).filePath("obsledger-admin"));
    env.insert(QStringLiteral("SRV"), m_dir.filePath(QStringLiteral("srv")));
    env.insert(QStringLiteral("HOME"), m_dir.filePath(QStringLiteral("home")));
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), m_dir.filePath(QStringLiteral("home/.config")));
    for (const char* name : {"PGUSER", "PGDATABASE", "PGSERVICE", "PGPASSFILE", "PGSSLMODE"})
        env.remove(QString::fromLatin1(name));
    return run(QStringLiteral("bash"), {QStringLiteral("-c"), line}, env);
}

void TestServerInstall::initWithoutTheRoleSaysHow() {
    // An administrator who skipped the role: init says which command makes it and creates nothing.
    QCOMPARE(shell(QStringLiteral("sudo -u postgres createdb essai")).code, 0);
    const Run r = shell(QStringLiteral("obsledger-admin init \"postgresql://postgres@serveur.clinique.lan/essai\""));
    QCOMPARE(r.code, 1);
    QVERIFY2(r.err.contains(QStringLiteral("le rôle obsledger_utilisateurs n'existe pas")), qPrintable(r.err));
    // The very command of the README's first step.
    QVERIFY2(r.err.contains(m_blocks[0].value(2)), qPrintable(r.err));
    QVERIFY(r.out.isEmpty());
    auto db = connectTo(m_server->as(QStringLiteral("postgres"), QStringLiteral("essai")));
    QVERIFY(db);
    QCOMPARE(serverNumber(*db, QStringLiteral("SELECT count(*) FROM pg_class WHERE relname IN ('actes', 'memo')")), 0);
    QCOMPARE(serverNumber(*db, QStringLiteral("SELECT count(*) FROM pg_proc WHERE proname LIKE 'obs\\_%'")), 0);
    QCOMPARE(
        serverNumber(*db, QStringLiteral("SELECT count(*) FROM pg_roles WHERE rolname = 'obsledger_utilisateurs'")), 0);
}

void TestServerInstall::readmeStepsOnAFreshServer() {
    // The README's steps, as it words them.
    QCOMPARE(m_blocks[0], (QStringList{"sudo -u postgres createuser compta_admin",
                                       "sudo -u postgres createdb -O compta_admin compta",
                                       "sudo -u postgres psql -c \"CREATE ROLE obsledger_utilisateurs NOLOGIN\""}));
    const QString init = QStringLiteral(
        "obsledger-admin init \"postgresql://compta_admin@serveur.clinique.lan/compta?sslmode=verify-full\"");
    QCOMPARE(m_blocks[1].value(1), init);
    QCOMPARE(m_blocks[2].size(), 1);
    QVERIFY(m_blocks[2][0].startsWith(QStringLiteral("sudo -u postgres psql -c \"CREATE ROLE marie LOGIN")));
    QCOMPARE(m_blocks[3].size(), 1);
    QVERIFY(m_blocks[3][0].startsWith(QStringLiteral("obsledger-admin copy /srv/compta/OBSLEDGER.mdb")));
    QVERIFY(m_blocks[4].value(1).startsWith(QStringLiteral("obsledger-admin set-server")));
    // What a TLS login of the owner needs is written before the init that makes it: its password,
    // the pg_hba.conf lines that let it in over TLS, the certificates and TLS itself.
    const qsizetype initAt = m_section.indexOf(init);
    for (const char* before :
         {"\\password compta_admin", "hostssl compta compta_admin", "hostssl compta +obsledger_utilisateurs",
          "-keyout server.key", "ssl = on", "listen_addresses", "compta:compta_admin:"}) {
        const qsizetype at = m_section.indexOf(QString::fromUtf8(before));
        QVERIFY2(at >= 0 && at < initAt, before);
    }
    for (int block = 0; block < 5; ++block) {
        for (const QString& line : m_blocks[block]) {
            const Run r = shell(line);
            QVERIFY2(r.code == 0, qPrintable(line + QStringLiteral("\n") + r.err));
        }
    }
    auto owner = connectTo(m_server->as(QStringLiteral("postgres"), QStringLiteral("compta")));
    QVERIFY(owner);
    // The tables belong to compta_admin; the role was granted its rights, not made by init.
    QCOMPARE(
        serverNumber(*owner, QStringLiteral("SELECT count(*) FROM pg_tables WHERE tablename IN ('actes', 'memo') AND "
                                            "tableowner = 'compta_admin'")),
        2);
    QCOMPARE(serverNumber(*owner, QStringLiteral("SELECT count(*) FROM information_schema.role_table_grants WHERE "
                                                 "grantee = 'obsledger_utilisateurs' AND table_name = 'actes'")),
             4);
    // The copy: every act of the file, and statistics at once.
    const qint64 acts = serverNumber(*owner, QStringLiteral("SELECT count(*) FROM actes"));
    QVERIFY(acts > 100);
    QCOMPARE(serverNumber(*owner, QStringLiteral("SELECT reltuples::bigint FROM pg_class WHERE relname = 'actes'")),
             acts);
    QVERIFY(serverNumber(*owner,
                         QStringLiteral("SELECT analyze_count FROM pg_stat_user_tables WHERE relname = 'actes'")) >= 1);
}

void TestServerInstall::workstationLoginRestores() {
    // A workstation's login, as the README's step 5 makes it, after the steps above.
    const QString marie = m_server->as(QStringLiteral("marie"), QStringLiteral("compta"));
    auto db = connectTo(marie);
    QVERIFY(db);
    const qint64 acts = serverNumber(*db, QStringLiteral("SELECT count(*) FROM actes"));
    QVERIFY(acts > 100);
    QDir(m_dir.path()).mkpath(QStringLiteral("cle"));
    const QString backup = m_dir.filePath(QStringLiteral("cle/OBSLEDGER.MDB"));
    QString why, kept;
    QVERIFY2(backupServer(marie, backup, &why), qPrintable(why));
    m_backup = backup;

    // A day's mistakes, then the restore by the workstation.
    QVERIFY(db->script(QStringLiteral("DELETE FROM actes WHERE numint > 10")));
    const qint64 highest = serverNumber(*db, QStringLiteral("SELECT max(numint) FROM actes"));
    QVERIFY(db->script(QStringLiteral("INSERT INTO actes (nom) VALUES ('ERREUR')")));
    const qint64 given = serverNumber(*db, QStringLiteral("SELECT max(numint) FROM actes"));
    QVERIFY(given > highest);
    const qint64 analysed =
        serverNumber(*db, QStringLiteral("SELECT analyze_count FROM pg_stat_user_tables WHERE relname = "
                                         "'actes'"));
    QVERIFY2(restoreServer(backup, marie, &why, &kept), qPrintable(why));
    QCOMPARE(serverNumber(*db, QStringLiteral("SELECT count(*) FROM actes")), acts);
    QCOMPARE(serverNumber(*db, QStringLiteral("SELECT count(*) FROM actes WHERE nom = 'ERREUR'")), 0);
    QVERIFY(serverNumber(*db, QStringLiteral("SELECT analyze_count FROM pg_stat_user_tables WHERE relname = 'actes'")) >
            analysed);
    // The next act takes a number never given before.
    QVERIFY(db->script(QStringLiteral("INSERT INTO actes (nom) VALUES ('SUIVANT')")));
    QVERIFY(serverNumber(*db, QStringLiteral("SELECT numint FROM actes WHERE nom = 'SUIVANT'")) > given);

    // Replacing the rows from a file, by the tool, as the workstation's login.
    const Run replaced =
        shell(QStringLiteral("obsledger-admin copy /srv/compta/OBSLEDGER.mdb \"postgresql://marie@serveur.clinique.lan/"
                             "compta\" --replace"));
    QVERIFY2(replaced.code == 0, qPrintable(replaced.err));
    QVERIFY(replaced.out.startsWith(QStringLiteral("Copie vérifiée")));
    // The tool's restore goes to the server the settings name (README's step 7 set it for marie).
    const Run restored = shell(QStringLiteral("obsledger-admin restore ") + backup);
    QVERIFY2(restored.code == 0, qPrintable(restored.err));
    QVERIFY2(restored.out.contains(QStringLiteral("compta")), qPrintable(restored.out));

    // And nothing more than rows: no table created, changed, emptied at once or dropped.
    for (const char* ddl :
         {"CREATE TABLE autre (x int)", "ALTER TABLE actes ADD COLUMN x int", "DROP TABLE memo", "TRUNCATE actes",
          "ALTER SEQUENCE actes_numint_seq RESTART", "CREATE ROLE intrus", "DROP FUNCTION obs_analyse()"})
        QVERIFY2(!db->script(QString::fromLatin1(ddl)).ok(), ddl);
}

void TestServerInstall::earlierBaseGetsItsRightsByUpgrade() {
    QVERIFY(!m_backup.isEmpty());
    // The rights an earlier version's init gave: the workstations could not set the numbers.
    auto owner = connectTo(m_server->as(QStringLiteral("compta_admin"), QStringLiteral("compta")));
    QVERIFY(owner);
    QVERIFY(owner->script(QStringLiteral("REVOKE UPDATE ON SEQUENCE actes_numint_seq, memo_id_seq FROM "
                                         "obsledger_utilisateurs; DROP FUNCTION obs_analyse()")));
    const QString marie = m_server->as(QStringLiteral("marie"), QStringLiteral("compta"));
    QString why, kept;
    QVERIFY(!restoreServer(m_backup, marie, &why, &kept));
    QVERIFY2(why.contains(QStringLiteral("obsledger-admin upgrade")), qPrintable(why));
    // The owner's upgrade gives them, and the same restore goes through.
    const Run up =
        shell(QStringLiteral("obsledger-admin upgrade \"postgresql://compta_admin@serveur.clinique.lan/compta\""));
    QVERIFY2(up.code == 0, qPrintable(up.err));
    QVERIFY2(restoreServer(m_backup, marie, &why, &kept), qPrintable(why));
}

QTEST_MAIN(TestServerInstall)
#include "test_server_install.moc"
