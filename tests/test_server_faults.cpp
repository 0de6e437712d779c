// SPDX-License-Identifier: GPL-3.0-or-later
// A server that goes away while the program works on it: restarted, its backend ended during a
// save, the network cut by a relay, a lock held by another workstation; and TLS that refuses a
// server whose certificate does not match. The test runs a PostgreSQL server of its own on TCP
// 127.0.0.1 with a throw-away certificate authority, since it stops and restarts it.
#include "TestSupport.h"

#include "app/RecordEditor.h"
#include "common/Money.h"
#include "common/Settings.h"
#include "reference/ReferenceListsEditor.h"
#include "store/postgres/PgConnection.h"
#include "store/postgres/PgStore.h"
#include "widgets/Dialogs.h"
#include "widgets/Screen.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <pwd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <mutex>
#include <thread>

using namespace obs;
using obs::test::child;
using obs::test::euros;
using obs::test::serverNumber;
using obs::test::TempClinic;

namespace {

const QString kPgBin = qEnvironmentVariable("OBSLEDGER_PG_BIN", QStringLiteral("/usr/lib/postgresql/15/bin"));

// A port of 127.0.0.1 that nothing listens on now.
quint16 freePort() {
    const int s = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    ::bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a);
    ::getsockname(s, reinterpret_cast<sockaddr*>(&a), &len);
    ::close(s);
    return ntohs(a.sin_port);
}

// A server of the test's own on 127.0.0.1, with TLS from a throw-away authority whose server
// certificate names "localhost"; a second authority that signed nothing of it.
class OwnServer {
public:
    bool start(QString* why) {
        if (!m_dir.isValid())
            return fail(why, QStringLiteral("no temporary folder"));
        if (::geteuid() == 0) {
            const passwd* pg = ::getpwnam("postgres");
            if (!pg || ::chown(QFile::encodeName(m_dir.path()).constData(), pg->pw_uid, pg->pw_gid) != 0)
                return fail(why, QStringLiteral("no postgres user to run the server"));
            m_uid = pg->pw_uid;
            m_gid = pg->pw_gid;
            m_as = {QStringLiteral("-u"), QStringLiteral("postgres"), QStringLiteral("--")};
        }
        if (!makeCertificates(why))
            return false;
        m_port = freePort();
        auto r =
            asServer(QStringLiteral("initdb"),
                     {QStringLiteral("-D"), data(), QStringLiteral("-A"), QStringLiteral("trust"), QStringLiteral("-U"),
                      QStringLiteral("postgres"), QStringLiteral("-E"), QStringLiteral("UTF8")});
        if (r.code != 0)
            return fail(why, QStringLiteral("initdb: ") + r.err);
        QFile conf(QDir(data()).filePath(QStringLiteral("postgresql.conf")));
        if (!conf.open(QIODevice::Append))
            return fail(why, QStringLiteral("postgresql.conf"));
        conf.write(QStringLiteral("listen_addresses = '127.0.0.1'\nport = %1\nunix_socket_directories = '%2'\n"
                                  "ssl = on\nssl_cert_file = '%3'\nssl_key_file = '%4'\n")
                       .arg(m_port)
                       .arg(m_dir.path(), file("server.crt"), file("server.key"))
                       .toUtf8());
        conf.close();
        return control(QStringLiteral("start"), why);
    }
    ~OwnServer() {
        QString ignored;
        control(QStringLiteral("stop"), &ignored);
    }
    bool control(const QString& action, QString* why, const QString& mode = QStringLiteral("fast")) {
        QStringList args{QStringLiteral("-D"), data(), QStringLiteral("-l"), file("log"), QStringLiteral("-w")};
        if (action != u"start")
            args << QStringLiteral("-m") << mode;
        const auto r = asServer(QStringLiteral("pg_ctl"), args << action);
        return r.code == 0 || fail(why, QStringLiteral("pg_ctl %1: %2%3").arg(action, r.err, r.out));
    }
    quint16 port() const { return m_port; }
    QString file(const char* name) const { return m_dir.filePath(QString::fromLatin1(name)); }
    // As a clinic's workstation is told to reach it: by the name its certificate gives.
    QString verified(quint16 port = 0) const {
        return QStringLiteral("host=localhost hostaddr=127.0.0.1 port=%1 user=postgres sslmode=verify-full "
                              "sslrootcert=%2")
            .arg(port ? port : m_port)
            .arg(file("ca.crt"));
    }

private:
    static bool fail(QString* why, const QString& text) {
        *why = text;
        return false;
    }
    QString data() const { return m_dir.filePath(QStringLiteral("data")); }
    obs::test::ProgramRun asServer(const QString& tool, const QStringList& args) {
        const QString program = QDir(kPgBin).filePath(tool);
        return m_as.isEmpty() ? obs::test::runProgram(program, args)
                              : obs::test::runProgram(QStringLiteral("runuser"), m_as + QStringList{program} + args);
    }
    bool openssl(const QStringList& args, QString* why) {
        const auto r = obs::test::runProgram(QStringLiteral("openssl"), args);
        return r.code == 0 || fail(why, QStringLiteral("openssl %1: %2").arg(args.value(0), r.err));
    }
    bool makeCertificates(QString* why) {
        const QStringList key{QStringLiteral("-newkey"), QStringLiteral("ec"), QStringLiteral("-pkeyopt"),
                              QStringLiteral("ec_paramgen_curve:prime256v1"), QStringLiteral("-nodes")};
        for (const char* ca : {"ca", "other-ca"}) {
            const QString name = QString::fromLatin1(ca);
            if (!openssl(QStringList{QStringLiteral("req"), QStringLiteral("-x509")} + key +
                             QStringList{QStringLiteral("-keyout"), m_dir.filePath(name + ".key"),
                                         QStringLiteral("-out"), m_dir.filePath(name + ".crt"), QStringLiteral("-days"),
                                         QStringLiteral("2"), QStringLiteral("-subj"),
                                         QStringLiteral("/CN=Autorite de test %1").arg(name)},
                         why))
                return false;
        }
        if (!openssl(QStringList{QStringLiteral("req"), QStringLiteral("-x509")} + key +
                         QStringList{QStringLiteral("-keyout"), file("server.key"), QStringLiteral("-out"),
                                     file("server.crt"), QStringLiteral("-days"), QStringLiteral("2"),
                                     QStringLiteral("-subj"), QStringLiteral("/CN=localhost"),
                                     QStringLiteral("-addext"), QStringLiteral("subjectAltName=DNS:localhost"),
                                     QStringLiteral("-addext"), QStringLiteral("basicConstraints=critical,CA:FALSE"),
                                     QStringLiteral("-CA"), file("ca.crt"), QStringLiteral("-CAkey"), file("ca.key")},
                     why))
            return false;
        // The server reads its key only when no one else may.
        const QByteArray keyPath = QFile::encodeName(file("server.key"));
        if (::chmod(keyPath.constData(), 0600) != 0 || (m_uid && ::chown(keyPath.constData(), m_uid, m_gid) != 0))
            return fail(why, QStringLiteral("server.key"));
        return true;
    }

    QTemporaryDir m_dir{QStringLiteral("/tmp/obsledger-pgtls-XXXXXX")};
    QStringList m_as;
    uid_t m_uid = 0;
    gid_t m_gid = 0;
    quint16 m_port = 0;
};

// A TCP relay on 127.0.0.1 to the server, as a network between a workstation and it: cut, it
// closes every connection and then holds new ones unanswered, as a dead network does; mended, it
// passes again. It runs on a thread of its own, since the program waits on the server in its own.
class Relay {
public:
    explicit Relay(quint16 target) : m_target(target) {
        m_listen = ::socket(AF_INET, SOCK_STREAM, 0);
        const int yes = 1;
        ::setsockopt(m_listen, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(m_listen, reinterpret_cast<sockaddr*>(&a), sizeof a);
        ::listen(m_listen, 16);
        socklen_t len = sizeof a;
        ::getsockname(m_listen, reinterpret_cast<sockaddr*>(&a), &len);
        m_port = ntohs(a.sin_port);
        m_thread = std::thread([this] { loop(); });
    }
    ~Relay() {
        m_stop = true;
        m_thread.join();
        ::close(m_listen);
    }
    quint16 port() const { return m_port; }
    // Returns once every connection is closed.
    void cut() {
        m_passing = false;
        m_cutting = true;
        while (m_cutting)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    void mend() { m_passing = true; }
    // The next statement holding `text` reaches the server, which does it; the answer that follows
    // it once no transaction is open (the commit's) is lost with the connection, as when the
    // network fails at that moment. The connection must not be encrypted (sslmode=disable).
    void loseAnswerTo(const QByteArray& text) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_marker = text;
    }
    bool answerLost() const { return m_answerLost; }

private:
    struct Pair {
        int client;
        int server;
        bool armed = false; // the statement was seen: its committed answer is to be lost
    };
    int connectToTarget() const {
        const int s = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        a.sin_port = htons(m_target);
        if (::connect(s, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
            ::close(s);
            return -1;
        }
        return s;
    }
    // Passes what arrived; false when the connection is to be closed.
    bool pass(int from, int to, bool toServer, bool* armed) {
        char buffer[16384];
        const ssize_t n = ::read(from, buffer, sizeof buffer);
        if (n <= 0)
            return false;
        const QByteArrayView data(buffer, n);
        if (toServer) {
            std::lock_guard<std::mutex> lock(m_mutex);
            if (!m_marker.isEmpty() && data.contains(m_marker)) {
                *armed = true;
                m_marker.clear();
            }
        } else if (*armed && data.contains(QByteArrayView("Z\0\0\0\x05I", 6))) {
            // ReadyForQuery, idle: the statement and its transaction are over on the server.
            m_answerLost = true;
            return false;
        }
        for (ssize_t done = 0; done < n;) {
            const ssize_t w = ::write(to, buffer + done, size_t(n - done));
            if (w <= 0)
                return false;
            done += w;
        }
        return true;
    }
    void loop() {
        std::vector<Pair> pairs;
        std::vector<int> held;
        auto closeAll = [&] {
            for (const Pair& p : pairs) {
                ::close(p.client);
                ::close(p.server);
            }
            pairs.clear();
        };
        while (!m_stop) {
            if (m_cutting) {
                closeAll();
                m_cutting = false;
            }
            if (m_passing && !held.empty()) {
                for (int h : held)
                    ::close(h);
                held.clear();
            }
            std::vector<pollfd> fds{{m_listen, POLLIN, 0}};
            for (const Pair& p : pairs) {
                fds.push_back({p.client, POLLIN, 0});
                fds.push_back({p.server, POLLIN, 0});
            }
            if (::poll(fds.data(), fds.size(), 20) <= 0)
                continue;
            if (fds[0].revents & POLLIN) {
                const int c = ::accept(m_listen, nullptr, nullptr);
                if (c >= 0 && !m_passing) {
                    held.push_back(c);
                } else if (c >= 0) {
                    const int s = connectToTarget();
                    if (s < 0)
                        ::close(c);
                    else
                        pairs.push_back({c, s});
                }
            }
            std::vector<Pair> kept;
            for (size_t i = 0; i < fds.size() / 2 && i < pairs.size(); ++i) {
                const pollfd& c = fds[1 + 2 * i];
                const pollfd& s = fds[2 + 2 * i];
                bool alive = true;
                if (c.revents & (POLLIN | POLLHUP | POLLERR))
                    alive = pass(pairs[i].client, pairs[i].server, true, &pairs[i].armed);
                if (alive && (s.revents & (POLLIN | POLLHUP | POLLERR)))
                    alive = pass(pairs[i].server, pairs[i].client, false, &pairs[i].armed);
                if (alive) {
                    kept.push_back(pairs[i]);
                } else {
                    ::close(pairs[i].client);
                    ::close(pairs[i].server);
                }
            }
            for (size_t i = fds.size() / 2; i < pairs.size(); ++i)
                kept.push_back(pairs[i]);
            pairs = std::move(kept);
        }
        closeAll();
        for (int h : held)
            ::close(h);
    }

    quint16 m_target;
    quint16 m_port = 0;
    int m_listen = -1;
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_cutting{false};
    std::atomic<bool> m_passing{true};
    std::atomic<bool> m_answerLost{false};
    std::mutex m_mutex;
    QByteArray m_marker;
    std::thread m_thread;
};

std::unique_ptr<PgConnection> connectTo(const QString& conninfo) {
    Status s;
    auto db = PgConnection::open(conninfo, &s);
    if (!db)
        qWarning("%s", qPrintable(s.message));
    return db;
}

// The main window on the clinic, driven by the names of its controls.
struct Window {
    std::unique_ptr<RecordEditor> form;
    explicit Window(TempClinic& clinic) : form(new RecordEditor(clinic.database(), clinic.browsed())) {
        QVERIFY(form->load());
    }
    QLineEdit* edit(const char* n) const { return child<QLineEdit>(form.get(), n); }
    void click(const char* n) const { child<QPushButton>(form.get(), n)->click(); }
    void type(const char* text) const { QTest::keyClicks(edit("Text1"), QString::fromUtf8(text)); }
    bool marked() const { return !child<QLabel>(form.get(), "LblNonEnregistre")->isHidden(); }
    // Saves as the user does: the question answered Oui.
    void save() const {
        Dialogs::queueAnswer(true);
        click("CmdEnreg");
    }
};

QString lastMessage() {
    return Dialogs::shown().isEmpty() ? QString() : Dialogs::shown().last().text;
}

} // namespace

class TestServerFaults : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void tls_data();
    void tls();
    void readAfterRestart();
    void serverAwayWhileTyping();
    void saveWhileTheServerRestarts();
    void screenOpenedWhileTheServerIsAway();
    void backendEndedDuringSave();
    void transactionCutIsNeverHalfWritten();
    void networkCutAndMended();
    void answerLostAfterTheWrite_data();
    void answerLostAfterTheWrite();
    void lockHeldByAnotherWorkstation();
    void stoppedAtOnceDuringACommand();

private:
    // The clinic on the test's own server, reached through `conninfo`, with one act to pay.
    std::unique_ptr<TempClinic> clinicOn(const QString& conninfo);
    std::unique_ptr<OwnServer> m_server;
    QByteArray m_givenServer;
};

void TestServerFaults::initTestCase() {
    // Server tests are asked for by the test command; this one brings its own server.
    if (!obs::test::TempServerDatabase::available())
        QSKIP("OBSLEDGER_TEST_SERVER n'est pas défini");
    if (!QFileInfo::exists(QDir(kPgBin).filePath(QStringLiteral("initdb"))))
        QSKIP("initdb de PostgreSQL 15 introuvable");
    m_givenServer = qgetenv("OBSLEDGER_TEST_SERVER");
    m_server = std::make_unique<OwnServer>();
    QString why;
    QVERIFY2(m_server->start(&why), qPrintable(why));
}

void TestServerFaults::cleanupTestCase() {
    qputenv("OBSLEDGER_TEST_SERVER", m_givenServer);
    m_server.reset();
}

std::unique_ptr<TempClinic> TestServerFaults::clinicOn(const QString& conninfo) {
    qputenv("OBSLEDGER_TEST_SERVER", conninfo.toUtf8());
    qputenv("OBSLEDGER_TEST_ENGINE", "serveur");
    auto clinic = std::make_unique<TempClinic>();
    clinic->addAct({{"Nom", "BERNARD"}, {"Date", 38353}, {"PRIX", euros("100")}, {"PAYESECU", euros("20")}});
    return clinic;
}

void TestServerFaults::tls_data() {
    QTest::addColumn<QString>("conninfo");
    QTest::addColumn<QString>("refusal"); // empty: the connection is made, over TLS
    const QString port = QString::number(m_server->port());
    const QString ca = m_server->file("ca.crt");
    QTest::newRow("verify-full, the clinic's authority") << m_server->verified() << QString();
    QTest::newRow("no sslmode: TLS when offered")
        << QStringLiteral("host=127.0.0.1 port=%1 user=postgres").arg(port) << QString();
    QTest::newRow("another host name")
        << QStringLiteral("host=serveur.clinique.lan hostaddr=127.0.0.1 port=%1 user=postgres sslmode=verify-full "
                          "sslrootcert=%2")
               .arg(port, ca)
        << QStringLiteral("est établi pour un autre nom : la connexion est refusée");
    QTest::newRow("another authority")
        << QStringLiteral("host=localhost hostaddr=127.0.0.1 port=%1 user=postgres sslmode=verify-full "
                          "sslrootcert=%2")
               .arg(port, m_server->file("other-ca.crt"))
        << QStringLiteral("n'est pas signé par l'autorité de certification de la clinique");
    QTest::newRow("authority file missing")
        << QStringLiteral("host=localhost hostaddr=127.0.0.1 port=%1 user=postgres sslmode=verify-full "
                          "sslrootcert=%2")
               .arg(port, m_server->file("absent.crt"))
        << QStringLiteral("(sslrootcert) est introuvable sur ce poste");
    const QString notCertificate = m_server->file("pas-un-certificat.crt");
    QFile junk(notCertificate);
    if (!junk.open(QIODevice::WriteOnly) || junk.write("ceci n'est pas un certificat\n") < 0)
        qFatal("cannot write %s", qPrintable(notCertificate));
    QTest::newRow("authority file not a certificate")
        << QStringLiteral("host=localhost hostaddr=127.0.0.1 port=%1 user=postgres sslmode=verify-full "
                          "sslrootcert=%2")
               .arg(port, notCertificate)
        << QStringLiteral("(sslrootcert) n'est pas un certificat lisible");
}

void TestServerFaults::tls() {
    QFETCH(QString, conninfo);
    QFETCH(QString, refusal);
    Status s;
    const auto db = PgConnection::open(conninfo + QStringLiteral(" dbname=postgres password=secret-du-poste"), &s);
    if (refusal.isEmpty()) {
        QVERIFY2(db, qPrintable(s.message));
        QCOMPARE(serverNumber(*db, QStringLiteral("SELECT ssl::int FROM pg_stat_ssl WHERE pid = pg_backend_pid()")), 1);
        return;
    }
    QVERIFY(!db);
    QCOMPARE(s.error, StoreError::Unreadable);
    QVERIFY2(s.message.contains(refusal), qPrintable(s.message));
    QVERIFY2(s.message.contains(QStringLiteral("port=%1").arg(m_server->port())), qPrintable(s.message));
    QVERIFY(!s.message.contains(QStringLiteral("secret-du-poste")));
}

void TestServerFaults::readAfterRestart() {
    // The whole store, as the screens hold it, across a restart of the server.
    const auto clinic = clinicOn(m_server->verified());
    Status s;
    const auto store = std::dynamic_pointer_cast<PgStore>(Store::open(clinic->location(), &s));
    QVERIFY2(store, qPrintable(s.message));
    Act act;
    bool found = false;
    QVERIFY2(store->acts().find(1, &act, &found), "before the restart");
    QString why;
    QVERIFY2(m_server->control(QStringLiteral("restart"), &why), qPrintable(why));
    QElapsedTimer backToDone;
    backToDone.start();
    s = store->acts().find(1, &act, &found);
    const qint64 ms = backToDone.elapsed();
    QVERIFY2(s, qPrintable(s.message));
    QVERIFY(found);
    QCOMPARE(act.surname, QStringLiteral("BERNARD"));
    QCOMPARE(store->connection().reconnections(), 1);
    QVERIFY(store->isOpen());
    qInfo("Reconnexion après redémarrage du serveur : %lld ms du serveur revenu à la lecture faite", ms);
}

void TestServerFaults::serverAwayWhileTyping() {
    const auto clinic = clinicOn(m_server->verified());
    Window w(*clinic);
    w.type("B");
    QCOMPARE(w.edit("TxtNom")->text(), QStringLiteral("BERNARD"));
    QString why;
    QVERIFY2(m_server->control(QStringLiteral("stop"), &why), qPrintable(why));
    w.edit("TxtPCompl")->setText(QStringLiteral("30"));
    w.save();
    // A clear message naming the server, the typing still on the screen.
    QVERIFY2(lastMessage().contains(QStringLiteral("Rien n'a été enregistré")), qPrintable(lastMessage()));
    QVERIFY2(lastMessage().contains(QStringLiteral("host=localhost")), qPrintable(lastMessage()));
    QCOMPARE(w.edit("TxtPCompl")->text(), QStringLiteral("30"));
    QVERIFY(w.marked());
    // The server back, the same window saves without the program being restarted.
    QVERIFY2(m_server->control(QStringLiteral("start"), &why), qPrintable(why));
    w.save();
    QCOMPARE(lastMessage(), QStringLiteral("Fiche modifiée"));
    QCOMPARE(clinic->scalar("SELECT PAYECOMPLE FROM ACTES").toLongLong(), euros("30").toLongLong());
    QVERIFY(!w.marked());
}

void TestServerFaults::saveWhileTheServerRestarts() {
    // A save asked while the server is down for a moment waits for it, then goes through.
    const auto clinic = clinicOn(m_server->verified());
    Window w(*clinic);
    w.type("B");
    QString why;
    QVERIFY2(m_server->control(QStringLiteral("stop"), &why), qPrintable(why));
    std::thread restart([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        QString ignored;
        m_server->control(QStringLiteral("start"), &ignored);
    });
    w.edit("TxtPCompl")->setText(QStringLiteral("30"));
    const qsizetype shownBefore = Dialogs::shown().size();
    w.save();
    restart.join();
    QCOMPARE(Dialogs::shown().size(), shownBefore + 2); // the question, then the save's message
    QCOMPARE(lastMessage(), QStringLiteral("Fiche modifiée"));
    QCOMPARE(clinic->scalar("SELECT PAYECOMPLE FROM ACTES").toLongLong(), euros("30").toLongLong());
}

void TestServerFaults::screenOpenedWhileTheServerIsAway() {
    // A screen that opens the base at its load while the server is away says so; the program goes
    // on, and the main window works again once the server is back.
    const auto clinic = clinicOn(m_server->verified());
    Window w(*clinic);
    w.type("B");
    QString why;
    QVERIFY2(m_server->control(QStringLiteral("stop"), &why), qPrintable(why));
    {
        ReferenceListsEditor editor(clinic->database(), clinic->browsed());
        QVERIFY2(lastMessage().startsWith(QStringLiteral("Impossible d'ouvrir la base de données")),
                 qPrintable(lastMessage()));
        QVERIFY(!lastMessage().contains(QStringLiteral("Le programme va se fermer")));
        QVERIFY(!endRequested());
    }
    QVERIFY2(m_server->control(QStringLiteral("start"), &why), qPrintable(why));
    w.edit("TxtPCompl")->setText(QStringLiteral("30"));
    w.save();
    QCOMPARE(lastMessage(), QStringLiteral("Fiche modifiée"));
    QCOMPARE(clinic->scalar("SELECT PAYECOMPLE FROM ACTES").toLongLong(), euros("30").toLongLong());
}

void TestServerFaults::backendEndedDuringSave() {
    // The save waits on another workstation's lock; its backend is ended while it waits.
    const auto clinic = clinicOn(m_server->verified());
    Window w(*clinic);
    w.type("B");
    const QString database = clinic->location();
    const auto holder = connectTo(database);
    QVERIFY(holder);
    QVERIFY(holder->script(QStringLiteral("BEGIN; SELECT * FROM actes FOR UPDATE")));
    std::atomic<bool> ended{false};
    std::thread killer([&] {
        const auto admin = connectTo(database);
        for (int i = 0; admin && i < 400 && !ended; ++i) {
            ended = serverNumber(*admin,
                                 QStringLiteral("SELECT count(pg_terminate_backend(pid)) FROM pg_stat_activity "
                                                "WHERE wait_event_type = 'Lock' AND datname = current_database()")) > 0;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    });
    w.edit("TxtPCompl")->setText(QStringLiteral("30"));
    w.edit("TxtPSecu")->setText(QStringLiteral("70"));
    w.save();
    killer.join();
    QVERIFY(holder->script(QStringLiteral("ROLLBACK")));
    QVERIFY(ended);
    QVERIFY2(lastMessage().contains(QStringLiteral("a été perdue : rien n'a été enregistré")),
             qPrintable(lastMessage()));
    // Nothing half-written: the act as it was; the typing kept, and saved at the next try.
    QCOMPARE(clinic->scalar("SELECT PAYECOMPLE FROM ACTES").toLongLong(), 0);
    QCOMPARE(clinic->scalar("SELECT PAYESECU FROM ACTES").toLongLong(), euros("20").toLongLong());
    QCOMPARE(w.edit("TxtPCompl")->text(), QStringLiteral("30"));
    QVERIFY(w.marked());
    w.save();
    QCOMPARE(lastMessage(), QStringLiteral("Fiche modifiée"));
    QCOMPARE(clinic->scalar("SELECT PAYESECU FROM ACTES").toLongLong(), euros("70").toLongLong());
    QCOMPARE(clinic->scalar("SELECT PAYECOMPLE FROM ACTES").toLongLong(), euros("30").toLongLong());
}

void TestServerFaults::transactionCutIsNeverHalfWritten() {
    // A transaction whose connection is lost refuses what follows until it ends, so that no part
    // of it is written on the new connection on its own.
    const auto admin = connectTo(m_server->verified() + QStringLiteral(" dbname=postgres"));
    const auto db = connectTo(m_server->verified() + QStringLiteral(" dbname=postgres"));
    QVERIFY(admin && db);
    QVERIFY(admin->script(QStringLiteral("CREATE TABLE coupure (n int)")));
    const qint64 pid = serverNumber(*db, QStringLiteral("SELECT pg_backend_pid()"));
    QVERIFY(db->script(QStringLiteral("BEGIN")));
    QVERIFY(db->exec(QStringLiteral("INSERT INTO coupure VALUES (1)")));
    QVERIFY(admin->exec(QStringLiteral("SELECT pg_terminate_backend(?::int)"), {pid}));
    Status s = db->exec(QStringLiteral("INSERT INTO coupure VALUES (2)"));
    QCOMPARE(s.error, StoreError::ConnectionLost);
    QVERIFY2(s.message.contains(QStringLiteral("rien n'a été enregistré")), qPrintable(s.message));
    s = db->exec(QStringLiteral("INSERT INTO coupure VALUES (3)"));
    QCOMPARE(s.error, StoreError::ConnectionLost);
    s = db->script(QStringLiteral("COMMIT"));
    QCOMPARE(s.error, StoreError::ConnectionLost);
    QCOMPARE(serverNumber(*admin, QStringLiteral("SELECT count(*) FROM coupure")), 0);
    // The next transaction runs on the new connection.
    QVERIFY(db->script(QStringLiteral("BEGIN")));
    QVERIFY(db->exec(QStringLiteral("INSERT INTO coupure VALUES (4)")));
    QVERIFY(db->script(QStringLiteral("COMMIT")));
    QCOMPARE(serverNumber(*admin, QStringLiteral("SELECT sum(n) FROM coupure")), 4);
    QCOMPARE(db->reconnections(), 1);
}

void TestServerFaults::networkCutAndMended() {
    Relay relay(m_server->port());
    const auto clinic = clinicOn(m_server->verified(relay.port()));
    Window w(*clinic);
    w.type("B");
    relay.cut();
    w.edit("TxtPCompl")->setText(QStringLiteral("30"));
    QElapsedTimer waited;
    waited.start();
    w.save();
    const qint64 ms = waited.elapsed();
    qInfo("Réseau coupé : message au bout de %lld ms (délai de connexion : %d s)", ms, kServerConnectTimeoutS);
    // Bounded by the connect timeout, not the system's; the message names the server.
    QVERIFY2(ms < 3 * kServerConnectTimeoutS * 1000, qPrintable(QString::number(ms)));
    QVERIFY2(lastMessage().contains(QStringLiteral("port=%1").arg(relay.port())), qPrintable(lastMessage()));
    QVERIFY2(lastMessage().contains(QStringLiteral("Rien n'a été enregistré")), qPrintable(lastMessage()));
    QCOMPARE(w.edit("TxtPCompl")->text(), QStringLiteral("30"));
    relay.mend();
    w.save();
    QCOMPARE(lastMessage(), QStringLiteral("Fiche modifiée"));
    QCOMPARE(clinic->scalar("SELECT PAYECOMPLE FROM ACTES").toLongLong(), euros("30").toLongLong());
    // The record buttons go on too.
    w.edit("Text1")->clear();
    w.type("B");
    QCOMPARE(w.edit("TxtPCompl")->text(), QStringLiteral("30"));
}

void TestServerFaults::answerLostAfterTheWrite_data() {
    QTest::addColumn<QString>("write");
    QTest::addColumn<QByteArray>("statement");
    QTest::newRow("save") << "update" << QByteArray("UPDATE actes SET");
    QTest::newRow("new act") << "append" << QByteArray("INSERT INTO actes");
    QTest::newRow("sum paid over") << "reversal" << QByteArray("UPDATE actes SET daterev");
}

void TestServerFaults::answerLostAfterTheWrite() {
    // The server made the write, then the network failed before its answer came back: the write
    // is not sent again (a sum paid over would count twice, an act be created twice); what is
    // stored says it was made.
    QFETCH(QString, write);
    QFETCH(QByteArray, statement);
    Relay relay(m_server->port());
    const auto clinic =
        clinicOn(QStringLiteral("host=127.0.0.1 port=%1 user=postgres sslmode=disable").arg(relay.port()));
    Status s;
    const auto store = std::dynamic_pointer_cast<PgStore>(Store::open(clinic->location(), &s));
    QVERIFY2(store, qPrintable(s.message));
    Act shown;
    bool found = false;
    QVERIFY(store->acts().find(1, &shown, &found) && found);
    relay.loseAnswerTo(statement);
    if (write == u"update") {
        Act edited = shown;
        edited.paidComplementary = Money::fromEuros(30);
        s = store->acts().update(shown, edited, false);
        QVERIFY2(s, qPrintable(s.message));
        QCOMPARE(clinic->scalar("SELECT PAYECOMPLE FROM ACTES").toLongLong(), euros("30").toLongLong());
    } else if (write == u"append") {
        Act act = shown;
        act.firstName = QStringLiteral("Jeanne");
        qint64 number = 0;
        s = store->acts().append(act, &number);
        QVERIFY2(s, qPrintable(s.message));
        QCOMPARE(clinic->count("ACTES"), 2);
        QCOMPARE(clinic->scalar("SELECT max(NUMINT) FROM ACTES").toLongLong(), number);
    } else {
        bool changed = false;
        s = store->acts().addReversal(1, 38360, Money::fromEuros(15), &changed);
        QVERIFY2(s, qPrintable(s.message));
        QVERIFY(changed);
        QCOMPARE(clinic->scalar("SELECT REVERSE FROM ACTES").toLongLong(), euros("15").toLongLong());
    }
    QVERIFY(relay.answerLost());
    QCOMPARE(store->connection().reconnections(), 1);
}

void TestServerFaults::lockHeldByAnotherWorkstation() {
    // Another workstation keeps the act locked longer than a save waits: the save says so and
    // keeps the typing; once the lock is gone, it goes through.
    const auto clinic = clinicOn(m_server->verified());
    Window w(*clinic);
    w.type("B");
    const auto other = connectTo(clinic->location());
    QVERIFY(other);
    QVERIFY(other->script(QStringLiteral("BEGIN; SELECT * FROM actes FOR UPDATE")));
    w.edit("TxtPCompl")->setText(QStringLiteral("30"));
    w.save();
    QVERIFY2(lastMessage().contains(QStringLiteral("occupée par un autre poste")), qPrintable(lastMessage()));
    QCOMPARE(w.edit("TxtPCompl")->text(), QStringLiteral("30"));
    QVERIFY(w.marked());
    QVERIFY(other->script(QStringLiteral("ROLLBACK")));
    QCOMPARE(clinic->scalar("SELECT PAYECOMPLE FROM ACTES").toLongLong(), 0);
    w.save();
    QCOMPARE(lastMessage(), QStringLiteral("Fiche modifiée"));
    QCOMPARE(clinic->scalar("SELECT PAYECOMPLE FROM ACTES").toLongLong(), euros("30").toLongLong());
}

// A server stopped at once (-m immediate) while a command waits on it: the command says so in
// French, without the server's English warning on the terminal.
void TestServerFaults::stoppedAtOnceDuringACommand() {
    const auto clinic = clinicOn(m_server->verified());
    QProcess p;
    p.start(obs::test::builtProgram(QStringLiteral("obsledger-admin")), {QStringLiteral("sql"), clinic->location()});
    p.write("SELECT pg_sleep(30);\n");
    p.closeWriteChannel();
    QTest::qWait(1500);
    QString why;
    QVERIFY2(m_server->control(QStringLiteral("stop"), &why, QStringLiteral("immediate")), qPrintable(why));
    QVERIFY(p.waitForFinished(60000));
    const QString err = QString::fromUtf8(p.readAllStandardError());
    QVERIFY2(m_server->control(QStringLiteral("start"), &why), qPrintable(why));
    QCOMPARE(p.exitCode(), 1);
    QVERIFY2(!err.contains(QStringLiteral("WARNING")), qPrintable(err));
    QVERIFY2(err.contains(QStringLiteral("serveur")), qPrintable(err));
}

QTEST_MAIN(TestServerFaults)
#include "test_server_faults.moc"
