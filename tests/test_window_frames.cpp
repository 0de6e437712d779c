// SPDX-License-Identifier: GPL-3.0-or-later
// Every window opens whole and inside a 1024x768 screen, title bar and borders included, under a
// real window manager: an X server of its own (Xvfb) with openbox, started by this program. Each
// window's frame is read as the window manager placed it, and a picture of the screen is saved
// into window-frames/ (or the folder named by OBSLEDGER_SCREENS) to be looked at.
#include "ProgramWindows.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QScreen>
#include <QtTest>

#include <csignal>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace obs;

namespace {

const QRect kScreen(0, 0, 1024, 768);

// A program started in the background, ended with this one (even when it is killed).
pid_t spawn(const std::vector<std::string>& args) {
    const pid_t pid = fork();
    if (pid == 0) {
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        std::vector<char*> argv;
        for (const std::string& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execvp(argv[0], argv.data());
        _exit(127);
    }
    return pid;
}

bool running(pid_t pid) {
    return waitpid(pid, nullptr, WNOHANG) == 0;
}

void stop(pid_t pid) {
    if (pid > 0) {
        kill(pid, SIGTERM);
        waitpid(pid, nullptr, 0);
    }
}

// Xvfb at 1024x768 on a free display, and openbox managing it; DISPLAY names it.
class XScreen {
public:
    XScreen() {
        for (int n = 40; n < 100 && m_server <= 0; ++n) {
            if (QFile::exists(QStringLiteral("/tmp/.X%1-lock").arg(n)))
                continue;
            const pid_t server =
                spawn({"Xvfb", ":" + std::to_string(n), "-screen", "0", "1024x768x24", "-nolisten", "tcp", "-noreset"});
            const QString socket = QStringLiteral("/tmp/.X11-unix/X%1").arg(n);
            for (int i = 0; i < 100 && running(server) && !QFile::exists(socket); ++i)
                usleep(50000);
            // Ours, not another test's that took the display meanwhile: the lock names our server.
            QFile lock(QStringLiteral("/tmp/.X%1-lock").arg(n));
            const bool ours = lock.open(QIODevice::ReadOnly) && lock.readAll().trimmed().toLongLong() == server;
            if (!running(server) || !QFile::exists(socket) || !ours) {
                stop(server);
                continue; // taken meanwhile: the next one
            }
            m_server = server;
            m_display = ":" + std::to_string(n);
        }
        if (m_server <= 0)
            qFatal("Xvfb could not be started (Debian package xvfb)");
        setenv("DISPLAY", m_display.c_str(), 1);
        m_manager = spawn({"openbox", "--sm-disable"});
        // The window manager is there when it names its check window on the root window.
        for (int i = 0; i < 100; ++i) {
            if (!running(m_manager))
                qFatal("openbox could not be started (Debian package openbox)");
            if (std::system("xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'") == 0)
                return;
            usleep(50000);
        }
        qFatal("openbox did not take the screen (xprop: Debian package x11-utils)");
    }
    ~XScreen() {
        stop(m_manager);
        stop(m_server);
    }
    XScreen(const XScreen&) = delete;
    XScreen& operator=(const XScreen&) = delete;

private:
    pid_t m_server = -1;
    pid_t m_manager = -1;
    std::string m_display;
};

QString shown(const QRect& r) {
    return QStringLiteral("%1x%2 at %3,%4").arg(r.width()).arg(r.height()).arg(r.x()).arg(r.y());
}

// The frame as the X server has it (xwininfo -frame): the window manager's own decoration.
QRect frameOnServer(WId window) {
    QProcess p;
    p.start(QStringLiteral("xwininfo"), {QStringLiteral("-frame"), QStringLiteral("-id"), QString::number(window)});
    if (!p.waitForFinished(10000) || p.exitCode() != 0)
        return {};
    const QString out = QString::fromUtf8(p.readAllStandardOutput());
    const auto value = [&](const char* key) {
        const QRegularExpression re(QLatin1String(key) + QStringLiteral(":\\s+(-?\\d+)"));
        return re.match(out).captured(1).toInt();
    };
    return {value("Absolute upper-left X"), value("Absolute upper-left Y"), value("Width"), value("Height")};
}

QString screensFolder() {
    const QString named = qEnvironmentVariable("OBSLEDGER_SCREENS");
    const QString folder = named.isEmpty() ? QDir::current().filePath(QStringLiteral("window-frames")) : named;
    QDir().mkpath(folder);
    return folder;
}

} // namespace

class TestWindowFrames : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void wholeAndInsideTheScreen_data();
    void wholeAndInsideTheScreen();
};

void TestWindowFrames::initTestCase() {
    QCOMPARE(QGuiApplication::platformName(), QStringLiteral("xcb"));
    QCOMPARE(QGuiApplication::primaryScreen()->geometry(), kScreen);
}

void TestWindowFrames::wholeAndInsideTheScreen_data() {
    QTest::addColumn<QString>("which");
    for (const QString& w : obs::test::programWindows())
        QTest::newRow(qPrintable(w)) << w;
    // The main window again, shown when the screen it opened closes.
    // Folders named as a clinic names them, deep in a shared drive.
    QTest::newRow("backup, long folder names") << "backup+long";
    QTest::newRow("main back from the search") << "main:CmdRecherche";
    QTest::newRow("main back from the act entry") << "main:CmdCreer";
    QTest::newRow("main back from the backup") << "main:Command5";
    // The tariff editor opened beside the screen that opens it, placed where the manager finds room.
    QTest::newRow("tariff from the act entry") << "entry>CmdMaJour";
    QTest::newRow("tariff from the reference lists") << "reference>Command1";
    // The history opened beside the main window.
    QTest::newRow("history from the main window") << "main>CmdHistorique";
}

namespace {

// The window a button of `from` opens.
QWidget* openedBy(QWidget* from, const char* button) {
    obs::test::child<QPushButton>(from, button)->click();
    for (int i = 0; i < 100; ++i) {
        QTest::qWait(50);
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w != from && w->isVisible() && w->isWindow() && !w->inherits("QMenu"))
                return w;
    }
    return nullptr;
}

// Opens a screen from the main window by its button, closes it, and waits for the main window.
bool backFrom(QWidget* main, const char* button) {
    QWidget* screen = openedBy(main, button);
    if (!screen)
        return false;
    QTest::qWaitForWindowExposed(screen);
    screen->close();
    return QTest::qWaitFor([&] { return main->isVisible(); }, 5000) && QTest::qWaitForWindowExposed(main);
}

} // namespace

void TestWindowFrames::wholeAndInsideTheScreen() {
    QFETCH(QString, which);
    obs::test::TempClinic clinic;
    obs::test::fillClinic(clinic);
    if (which.endsWith(u"+long"))
        Settings::setBackupFolder(clinic.file(QStringLiteral(
            "Partage clinique/Secrétariat médical/Comptabilité des praticiens/Sauvegardes quotidiennes de la base")));
    const QStringList parts =
        QString(which).remove(QStringLiteral("+long")).split(QRegularExpression(QStringLiteral("[:>]")));
    std::unique_ptr<QWidget> opener(obs::test::openProgramWindow(parts[0], clinic.database(), clinic.browsed()));
    opener->show();
    QVERIFY(QTest::qWaitForWindowExposed(opener.get()));
    QPointer<QWidget> window = opener.get();
    if (parts.size() > 1) {
        QTRY_VERIFY_WITH_TIMEOUT(opener->frameGeometry().top() < opener->geometry().top(), 5000);
        if (which.contains(u':'))
            QVERIFY(backFrom(opener.get(), qPrintable(parts[1])));
        else
            QVERIFY((window = openedBy(opener.get(), qPrintable(parts[1]))));
        QVERIFY(QTest::qWaitForWindowExposed(window));
    }
    // Framed by the window manager: the frame holds the title bar above the window.
    QTRY_VERIFY_WITH_TIMEOUT(window->frameGeometry().top() < window->geometry().top(), 5000);
    QTest::qWait(200); // placed and drawn
    const QRect frame = window->frameGeometry();
    const QRect onServer = frameOnServer(window->winId());
    QGuiApplication::primaryScreen()->grabWindow(0).save(
        QDir(screensFolder())
            .filePath(QString(which).replace(u':', u'-').replace(u'>', u'-').replace(u'+', u'-') +
                      QStringLiteral(".png")));

    QVERIFY2(kScreen.contains(frame),
             qPrintable(QStringLiteral("%1: frame %2 leaves the 1024x768 screen").arg(which, shown(frame))));
    QVERIFY2(
        kScreen.contains(onServer),
        qPrintable(QStringLiteral("%1: frame %2 (xwininfo) leaves the 1024x768 screen").arg(which, shown(onServer))));
    // Nothing of the window itself cut off by the screen's edge either.
    QVERIFY2(kScreen.contains(window->geometry()), qPrintable(shown(window->geometry())));
    QVERIFY2(Dialogs::shownTexts().isEmpty(), qPrintable(Dialogs::shownTexts().join(u'|')));
    if (window != opener.get())
        window->close(); // a window the opener made on its own
}

int main(int argc, char** argv) {
    XScreen screen;
    qputenv("QT_QPA_PLATFORM", "xcb");
    QApplication app(argc, argv);
    TestWindowFrames test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_window_frames.moc"
