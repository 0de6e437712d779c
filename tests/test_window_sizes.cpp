// Every window shows its texts whole, at its first size, at its smallest size and enlarged, and
// is, with its frame, no larger than a 1024x768 screen less a task bar. Whether its frame, title bar included,
// stays inside the screen under a real window manager: test_window_frames.
#include "ProgramWindows.h"

#include <QAbstractScrollArea>
#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QSpinBox>
#include <QtTest>

using namespace obs;

namespace {

const QSize kRoom(1024, 740);

// A control of the program (not a part Qt builds inside a combo box, a calendar or a scroll area).
bool isProgramControl(const QWidget* w) {
    return !w->objectName().isEmpty() && !w->objectName().startsWith(u"qt_");
}

// Texts that do not wrap need their whole width, wrapped ones the height of their lines; a box
// needs at least its smallest size.
QString cutText(QWidget* window) {
    QStringList faults;
    for (QWidget* w : window->findChildren<QWidget*>()) {
        if (!isProgramControl(w) || !w->isVisibleTo(window))
            continue;
        QWidget* parent = w->parentWidget();
        // Inside a scroll area the content may go beyond the view: the scroll bars reach it.
        const bool scrolled = parent && qobject_cast<QAbstractScrollArea*>(parent->parentWidget()) &&
                              static_cast<QAbstractScrollArea*>(parent->parentWidget())->viewport() == parent;
        if (parent && !scrolled && !parent->rect().contains(w->geometry()))
            faults << QStringLiteral("%1 goes beyond %2").arg(w->objectName(), parent->objectName());
        QSize needed;
        if (auto* l = qobject_cast<QLabel*>(w)) {
            // A wrapped text needs the height of its lines at the width it was given.
            if (!l->text().isEmpty())
                needed = l->wordWrap() ? QSize(0, l->heightForWidth(l->width())) : l->sizeHint();
        } else if (auto* b = qobject_cast<QAbstractButton*>(w)) {
            if (!b->text().isEmpty())
                needed = b->sizeHint();
        } else if (auto* e = qobject_cast<QLineEdit*>(w)) {
            needed = e->minimumSizeHint();
            // A box narrowed for a short value (a code, an amount, a date) shows it whole.
            if (e->maximumWidth() < QWIDGETSIZE_MAX)
                needed.setWidth(e->fontMetrics().horizontalAdvance(e->text()) + 12);
        } else if (qobject_cast<QGroupBox*>(w) || qobject_cast<QComboBox*>(w)) {
            needed = w->minimumSizeHint();
        }
        if (needed.isValid() && (w->width() < needed.width() || w->height() < needed.height()))
            faults << QStringLiteral("%1 is %2x%3, needs %4x%5")
                          .arg(w->objectName())
                          .arg(w->width())
                          .arg(w->height())
                          .arg(needed.width())
                          .arg(needed.height());
    }
    return faults.join(QStringLiteral("; "));
}

// The window with its title bar and borders, as most window managers draw them, inside the room: a
// window as large as the room would put its title bar or its bottom edge off the screen.
const QMargins kFrame(4, 32, 4, 4);

bool fits(const QSize& size) {
    const QSize framed = size.grownBy(kFrame);
    return framed.width() <= kRoom.width() && framed.height() <= kRoom.height();
}

QString shown(const QSize& s) {
    return QStringLiteral("%1x%2").arg(s.width()).arg(s.height());
}

} // namespace

class TestWindowSizes : public QObject {
    Q_OBJECT
private slots:
    void fitsAndShowsEverything_data();
    void fitsAndShowsEverything();
};

void TestWindowSizes::fitsAndShowsEverything_data() {
    QTest::addColumn<QString>("which");
    QTest::addColumn<bool>("resizable");
    for (const QString& w : obs::test::programWindows())
        QTest::newRow(qPrintable(w)) << w << (w != u"start" && w != u"about");
}

void TestWindowSizes::fitsAndShowsEverything() {
    QFETCH(QString, which);
    QFETCH(bool, resizable);
    obs::test::TempClinic clinic;
    obs::test::fillClinic(clinic);
    std::unique_ptr<QWidget> window(obs::test::openProgramWindow(which, clinic.database(), clinic.browsed()));
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));

    // As it opens.
    QVERIFY2(fits(window->size()), qPrintable(shown(window->size())));
    QCOMPARE(cutText(window.get()), QString());
    // The tariffs are all in view at once: the scroll area is only for smaller screens.
    if (auto* scroll = window->findChild<QScrollArea*>(QStringLiteral("ScrollTarifs"))) {
        QVERIFY(!scroll->horizontalScrollBar()->isVisible());
        QVERIFY(!scroll->verticalScrollBar()->isVisible());
    }

    // At its natural size, which is never below its smallest.
    window->adjustSize();
    QCoreApplication::processEvents();
    QVERIFY2(fits(window->size()), qPrintable(shown(window->size())));
    QVERIFY2(fits(window->minimumSizeHint()), qPrintable(shown(window->minimumSizeHint())));
    QCOMPARE(cutText(window.get()), QString());

    // At its smallest.
    window->resize(window->minimumSize().expandedTo(window->minimumSizeHint()));
    QCoreApplication::processEvents();
    QCOMPARE(cutText(window.get()), QString());

    // Enlarged, the window takes the room.
    if (resizable) {
        const QSize before = window->size();
        window->resize(1920, 1080);
        QCoreApplication::processEvents();
        QVERIFY2(window->width() > before.width() && window->height() > before.height(),
                 qPrintable(shown(window->size())));
        QCOMPARE(cutText(window.get()), QString());
    }
    QVERIFY2(Dialogs::shownTexts().isEmpty(), qPrintable(Dialogs::shownTexts().join(u'|')));
}

// The offscreen screen takes the size of the smallest screen the clinic uses, 1024x768 less the
// task bar, so that windows which size themselves after the screen do it as there.
int main(int argc, char** argv) {
    QTemporaryDir configDir;
    const QString config = configDir.filePath(QStringLiteral("screen.json"));
    QFile file(config);
    if (!file.open(QIODevice::WriteOnly) ||
        file.write(R"({"screens":[{"name":"clinic","x":0,"y":0,"width":1024,"height":740,"logicalDpi":96,)"
                   R"("logicalBaseDpi":96,"dpr":1}]})") <= 0)
        qFatal("cannot write the screen configuration");
    file.close();
    qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + config.toUtf8());
    QApplication app(argc, argv);
    // Not a test: without this screen the sizes below would be measured on another one.
    if (QGuiApplication::primaryScreen()->availableGeometry().size() != kRoom)
        qFatal("the offscreen screen is not 1024x740: the configuration was not read");
    TestWindowSizes test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_window_sizes.moc"
