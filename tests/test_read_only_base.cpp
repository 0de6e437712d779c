// SPDX-License-Identifier: GPL-3.0-or-later
// A base this user cannot write is found when the program starts, with its path and what to do,
// before anything is typed: a file or its folder without the right to write, a server login
// without the right to change the tables. The program then ends; a base that can be written opens.
//
// Run as root (the test command), where the rights of a file stop nobody, the program's side runs
// as the user "nobody" (effective ids switched for the time of the check), the base staying
// root's, as a base installed by root is. Run as an ordinary user, the rights of the user's own
// file and folder are taken away.
#include "TestSupport.h"

#include "app/RecordEditor.h"
#include "common/Settings.h"
#include "domain/TariffFile.h"
#include "entry/ActEntryWindow.h"
#include "store/Store.h"
#include "store/postgres/PgConnection.h"
#include "widgets/DatabaseOpener.h"
#include "widgets/Dialogs.h"
#include "widgets/Screen.h"

#include <QFile>
#include <QRandomGenerator>
#include <QtTest>

#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace obs;

namespace {

bool asRoot() {
    return geteuid() == 0;
}

// While it lives, the process acts as "nobody" when it runs as root; otherwise as itself.
class AsClinicUser {
public:
    AsClinicUser() {
        if (!asRoot())
            return;
        const passwd* pw = getpwnam("nobody");
        if (!pw)
            qFatal("no user nobody");
        if (setegid(pw->pw_gid) != 0 || seteuid(pw->pw_uid) != 0)
            qFatal("cannot act as nobody");
        m_switched = true;
    }
    ~AsClinicUser() {
        if (m_switched && (seteuid(0) != 0 || setegid(0) != 0))
            qFatal("cannot come back to root");
    }
    AsClinicUser(const AsClinicUser&) = delete;
    AsClinicUser& operator=(const AsClinicUser&) = delete;

private:
    bool m_switched = false;
};

void setMode(const QString& path, mode_t mode) {
    if (chmod(QFile::encodeName(path).constData(), mode) != 0)
        qFatal("chmod %s", qPrintable(path));
}

// The clinic's base and folder with or without the right to write for the user of AsClinicUser;
// that user's own settings readable by them.
void giveRights(obs::test::TempClinic& clinic, bool file, bool folder) {
    if (asRoot()) {
        // Root's base, as the installation leaves it; the folders above reachable.
        setMode(clinic.dbPath(), file ? 0666 : 0644);
        setMode(clinic.dir(), folder ? 0777 : 0755);
        const passwd* pw = getpwnam("nobody");
        for (const QString& p : {clinic.file(QStringLiteral("config")), Settings::fileFor(kSettingsApp)})
            if (QFile::exists(p) && chown(QFile::encodeName(p).constData(), pw->pw_uid, pw->pw_gid) != 0)
                qFatal("chown %s", qPrintable(p));
    } else {
        setMode(clinic.dbPath(), file ? 0644 : 0444);
        setMode(clinic.dir(), folder ? 0755 : 0555);
    }
}

// Rights back, so that the folder can be removed.
void restoreRights(obs::test::TempClinic& clinic) {
    setMode(clinic.dir(), 0700);
    setMode(clinic.dbPath(), 0600);
}

} // namespace

class TestReadOnlyBase : public QObject {
    Q_OBJECT
private slots:
    void init() {
        Dialogs::clearShown();
        clearEndRequest();
    }
    void fileOrFolder_data();
    void fileOrFolder();
    void entryScreenKeepsTheProgram();
    void serverLogin_data();
    void serverLogin();
};

void TestReadOnlyBase::fileOrFolder_data() {
    QTest::addColumn<bool>("file");
    QTest::addColumn<bool>("folder");
    QTest::addColumn<QString>("refused"); // empty: the base opens
    QTest::newRow("file and folder writable") << true << true << QString();
    QTest::newRow("file read-only") << false << true << "Le fichier ne peut pas être modifié";
    QTest::newRow("folder read-only, for the journal") << true << false << "a besoin d'y écrire son journal";
    QTest::newRow("both read-only") << false << false << "Ni le fichier ni son dossier";
}

void TestReadOnlyBase::fileOrFolder() {
    QFETCH(bool, file);
    QFETCH(bool, folder);
    QFETCH(QString, refused);
    obs::test::TempClinic clinic;
    giveRights(clinic, file, folder);
    {
        AsClinicUser user;
        // The rights are real for this user: a write through the store is refused, or goes through.
        Status s;
        const auto store = Store::open(clinic.dbPath(), &s);
        QVERIFY2(store, qPrintable(s.message));
        qint64 number = 0;
        Act act;
        act.surname = QStringLiteral("ESSAI");
        const Status appended = store->acts().append(act, &number);
        QCOMPARE(appended.ok(), refused.isEmpty());
        // Whatever the engine says, the message reads in French; its own words are a detail.
        if (!appended) {
            Dialogs::warn(nullptr, appended.message);
            QVERIFY2(!Dialogs::lastText().contains(QStringLiteral("readonly")) &&
                         !Dialogs::lastText().contains(QStringLiteral("unable to open")),
                     qPrintable(Dialogs::lastText()));
            Dialogs::clearShown();
        }

        RecordEditor main(clinic.database(), clinic.browsed());
        const bool loaded = main.load();
        QCOMPARE(loaded, refused.isEmpty());
        QCOMPARE(endRequested(), !refused.isEmpty());
        if (refused.isEmpty()) {
            QVERIFY2(Dialogs::shownTexts().isEmpty(), qPrintable(Dialogs::shownTexts().join(u'|')));
        } else {
            QCOMPARE(Dialogs::shown().size(), 1);
            const Dialogs::Shown m = Dialogs::shown().first();
            QCOMPARE(m.text, QStringLiteral("La base est en lecture seule pour cet utilisateur : ") + clinic.dbPath());
            QCOMPARE(m.title, Dialogs::appTitle());
            QVERIFY2(m.details.contains(refused), qPrintable(m.details));
            // What to do: the group's right to write the file and its folder.
            QVERIFY2(m.details.contains(QStringLiteral("sudo chmod 2770 ") + clinic.dir()), qPrintable(m.details));
            QVERIFY2(m.details.contains(QStringLiteral("sudo chmod 660 ") + clinic.dbPath()), qPrintable(m.details));
            QVERIFY2(m.details.endsWith(QStringLiteral("Le programme va se fermer.")), qPrintable(m.details));
        }
    }
    restoreRights(clinic);
}

void TestReadOnlyBase::entryScreenKeepsTheProgram() {
    // Rights taken away while the program runs: the act entry screen does not open for typing
    // that could not be saved, and the program goes on.
    obs::test::TempClinic clinic;
    clinic.addMemo(1, QStringLiteral("Dr Léger"));
    QString error;
    QVERIFY2(TariffFile::write(TariffFile::initialTexts(), &error), qPrintable(error));
    giveRights(clinic, false, true);
    {
        AsClinicUser user;
        auto* entry = new ActEntryWindow(clinic.database(), clinic.browsed());
        QVERIFY(!entry->isLoaded());
        QVERIFY(!endRequested());
        QVERIFY2(Dialogs::shown().size() == 1, qPrintable(Dialogs::shownTexts().join(u'|')));
        QVERIFY(Dialogs::lastText().startsWith(QStringLiteral("La base est en lecture seule pour cet utilisateur : ")));
        QVERIFY(!Dialogs::shown().first().details.contains(QStringLiteral("Le programme va se fermer.")));
        delete entry;
    }
    restoreRights(clinic);
}

void TestReadOnlyBase::serverLogin_data() {
    QTest::addColumn<QString>("grant"); // what the login is given
    QTest::addColumn<bool>("opens");
    QTest::newRow("member of the users' role") << "GRANT obsledger_utilisateurs TO %1" << true;
    QTest::newRow("reading only") << "GRANT SELECT ON actes, memo TO %1" << false;
    QTest::newRow("adding but not changing") << "GRANT SELECT, INSERT ON actes, memo TO %1" << false;
    QTest::newRow("a server that takes no writes")
        << "GRANT obsledger_utilisateurs TO %1; ALTER ROLE %1 SET default_transaction_read_only = on" << false;
}

void TestReadOnlyBase::serverLogin() {
    OBS_REQUIRE_SERVER();
    QFETCH(QString, grant);
    QFETCH(bool, opens);
    obs::test::TempClinic clinic;
    obs::test::TempServerDatabase server;
    // A login of the clinic's, not the owner; roles belong to the whole server: dropped at the end.
    const QString login = QStringLiteral("obs_lecteur_%1").arg(QRandomGenerator::global()->generate(), 0, 36);
    QVERIFY(server.connection().script(QStringLiteral("CREATE ROLE %1 LOGIN; ").arg(login) + grant.arg(login)));
    QVERIFY(Settings::setServer(server.conninfo() + QStringLiteral(" user=") + login));
    {
        RecordEditor main(clinic.database(), clinic.browsed());
        QCOMPARE(main.load(), opens);
        QCOMPARE(endRequested(), !opens);
        if (opens) {
            QVERIFY2(Dialogs::shownTexts().isEmpty(), qPrintable(Dialogs::shownTexts().join(u'|')));
        } else {
            QCOMPARE(Dialogs::shown().size(), 1);
            const Dialogs::Shown m = Dialogs::shown().first();
            QVERIFY2(m.text.startsWith(QStringLiteral("La base est en lecture seule pour cet utilisateur : ")) &&
                         m.text.contains(QStringLiteral("user=") + login),
                     qPrintable(m.text));
            QVERIFY2(m.details.contains(login) || m.details.contains(QStringLiteral("n'accepte que la lecture")),
                     qPrintable(m.details));
        }
        clinic.database().close();
    }
    // Its rights in this database, then the role itself (sessions closed above).
    QVERIFY(server.connection().script(QStringLiteral("DROP OWNED BY %1; DROP ROLE %1").arg(login)));
}

QTEST_MAIN(TestReadOnlyBase)
#include "test_read_only_base.moc"
