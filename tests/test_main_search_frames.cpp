// The main window and the search window on a real screen with a window manager: each opens whole,
// title bar and borders included, and the main window comes back whole where it stood. Run by
// scripts/window-frames.sh under Xvfb and openbox at 1024x768; skipped without a window manager.
#include "TestSupport.h"

#include "app/MainWindow.h"
#include "domain/DemoData.h"
#include "widgets/Dialogs.h"

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QWindow>
#include <QtTest>

using namespace obs;
using obs::test::child;

namespace {

// The frame once the window manager has put one around the window, or an empty rectangle.
QRect framed(QWidget* w) {
    if (!QTest::qWaitForWindowExposed(w))
        return {};
    if (!QTest::qWaitFor([w] { return !w->windowHandle()->frameMargins().isNull(); }, 3000))
        return {};
    QTest::qWait(200); // the window manager's own placement settles
    return w->frameGeometry();
}

QString described(const QRect& r) {
    return QStringLiteral("%1,%2 %3x%4").arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height());
}

} // namespace

class TestMainSearchFrames : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void wholeOnScreen_data();
    void wholeOnScreen();
};

void TestMainSearchFrames::initTestCase() {
    if (QGuiApplication::platformName() != u"xcb")
        QSKIP("needs a real screen with a window manager (scripts/window-frames.sh)");
    QWidget probe;
    probe.resize(100, 100);
    probe.show();
    if (!QTest::qWaitForWindowExposed(&probe))
        QSKIP("no window shown");
    if (!QTest::qWaitFor([&] { return !probe.windowHandle()->frameMargins().isNull(); }, 3000))
        QSKIP("no window manager draws frames on this screen");
}

void TestMainSearchFrames::wholeOnScreen_data() {
    QTest::addColumn<QPoint>("mainAt");
    QTest::newRow("where it opens") << QPoint(-1, -1);
    QTest::newRow("dragged to the bottom right") << QPoint(400, 500);
    QTest::newRow("dragged above the top left") << QPoint(-200, -100);
}

void TestMainSearchFrames::wholeOnScreen() {
    QFETCH(QPoint, mainAt);
    obs::test::TempClinic clinic;
    clinic.writeRates();
    QVERIFY(fillDemoReferences(clinic.db()));
    QVERIFY(fillDemoActs(clinic.db(), 60, QDate(2005, 1, 1), QDate(2005, 8, 31)));
    const QRect room = QGuiApplication::primaryScreen()->availableGeometry();

    MainWindow main(clinic.database(), clinic.browsed());
    QVERIFY(main.load());
    main.show();
    QRect frame = framed(&main);
    QVERIFY2(room.contains(frame), qPrintable(described(frame)));
    if (mainAt != QPoint(-1, -1)) {
        main.move(mainAt); // as the user may drag it, partly off the screen
        QTest::qWait(300);
    }

    child<QPushButton>(&main, "CmdRecherche")->click();
    QPointer<QWidget> search = obs::test::topLevel(QStringLiteral("Form10"));
    QVERIFY(search);
    frame = framed(search);
    QVERIFY2(room.contains(frame),
             qPrintable(QStringLiteral("search window %1 on %2").arg(described(frame), described(room))));
    obs::test::saveScreenshot(search, QStringLiteral("search-1024x768"));

    search->close();
    QTRY_VERIFY(main.isVisible());
    frame = framed(&main);
    QVERIFY2(room.contains(frame), qPrintable(QStringLiteral("main window back at %1").arg(described(frame))));
    if (mainAt == QPoint(-1, -1))
        QVERIFY(frame.topLeft() != QPoint()); // where it stood, not placed anew in the corner
    QVERIFY(Dialogs::shownTexts().isEmpty());
}

// A real screen when there is one (DISPLAY): the test command's offscreen platform has no frames.
int main(int argc, char** argv) {
    if (!qEnvironmentVariableIsEmpty("OBSLEDGER_FRAMES_DISPLAY")) {
        qputenv("DISPLAY", qgetenv("OBSLEDGER_FRAMES_DISPLAY"));
        qputenv("QT_QPA_PLATFORM", "xcb");
    }
    QApplication app(argc, argv);
    TestMainSearchFrames test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_main_search_frames.moc"
