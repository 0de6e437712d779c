// Every window fits a 1024x740 screen and shows its texts whole, at its first size, at its
// smallest size and enlarged.
#include "TestSupport.h"

#include "about/AboutBox.h"
#include "accounts/SearchWindow.h"
#include "accounts/YearStatementWindow.h"
#include "app/MainWindow.h"
#include "app/StartWindow.h"
#include "backup/BackupWindow.h"
#include "common/Settings.h"
#include "domain/DemoData.h"
#include "domain/TariffFile.h"
#include "entry/ActEntryWindow.h"
#include "reference/ReferenceListsEditor.h"
#include "reference/TariffEditor.h"
#include "widgets/Dialogs.h"
#include "widgets/ScreenRoom.h"

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
using obs::test::child;

namespace {

const QSize kRoom(1024, 740);

// The tariff and rates files beside the program, so that every screen loads without a message.
void writeProgramFiles(const obs::test::TempClinic& clinic) {
    clinic.writeRates();
    QString error;
    if (!TariffFile::write(TariffFile::initialTexts(), &error))
        qFatal("cannot write the tariff file: %s", qPrintable(error));
}

// The window as the program opens it, with the lists and texts a working clinic shows.
QWidget* openWindow(const QString& which, SharedDatabase& database, BrowsedResult& browsed) {
    if (which == u"start")
        return new StartWindow();
    if (which == u"about")
        return new AboutBox();
    if (which == u"backup")
        return new BackupWindow();
    if (which == u"tariff")
        return new TariffEditor();
    if (which == u"reference") {
        auto* w = new ReferenceListsEditor(database, browsed);
        // The acts list shows the most boxes: code, tariff and the six insurers, here filled.
        child<QPushButton>(w, "CmdAccts")->click();
        auto* list = child<QListWidget>(w, "List1");
        list->setCurrentRow(0);
        emit list->itemDoubleClicked(list->currentItem());
        if (child<QLineEdit>(w, "TxtMut1")->text().isEmpty())
            qFatal("no act chosen");
        return w;
    }
    if (which == u"entry") {
        auto* w = new ActEntryWindow(database, browsed);
        // An act chosen: its code, the amounts and the francs are shown.
        for (const char* name : {"CmbActesAcct1", "CmbActesAcct2"}) {
            auto* acts = child<QComboBox>(w, name);
            acts->setCurrentIndex(0);
            emit acts->activated(0);
        }
        if (child<QLineEdit>(w, "TxtCCAMA1")->text().isEmpty())
            qFatal("no act chosen");
        return w;
    }
    if (which == u"main") {
        auto* w = new MainWindow(database, browsed);
        if (!w->load())
            qFatal("main window did not load");
        child<QLineEdit>(w, "Text1")->setText(QStringLiteral("D")); // a record found by name
        if (child<QLineEdit>(w, "TxtNom")->text().isEmpty())
            qFatal("no record shown");
        return w;
    }
    if (which == u"search") {
        auto* w = new SearchWindow(database);
        child<QPushButton>(w, "Command2")->click(); // every act of the period
        return w;
    }
    if (which == u"releve") {
        auto* w = new YearStatementWindow(database);
        child<QSpinBox>(w, "TxtAnnee")->setValue(2005); // the demo acts' year, months filled
        return w;
    }
    qFatal("unknown window %s", qPrintable(which));
}

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

bool fits(const QSize& size) {
    return size.width() <= kRoom.width() && size.height() <= kRoom.height();
}

QString shown(const QSize& s) {
    return QStringLiteral("%1x%2").arg(s.width()).arg(s.height());
}

} // namespace

class TestWindowSizes : public QObject {
    Q_OBJECT
private slots:
    void screenIsTheSmallestSupported();
    void fitsAndShowsEverything_data();
    void fitsAndShowsEverything();
};

void TestWindowSizes::screenIsTheSmallestSupported() {
    QCOMPARE(QGuiApplication::primaryScreen()->availableGeometry().size(), kRoom);
}

void TestWindowSizes::fitsAndShowsEverything_data() {
    QTest::addColumn<QString>("which");
    QTest::addColumn<bool>("resizable");
    QTest::newRow("start") << "start" << false;
    QTest::newRow("about") << "about" << false;
    QTest::newRow("backup") << "backup" << true;
    QTest::newRow("tariff") << "tariff" << true;
    QTest::newRow("reference") << "reference" << true;
    QTest::newRow("entry") << "entry" << true;
    QTest::newRow("main") << "main" << true;
    QTest::newRow("search") << "search" << true;
    QTest::newRow("releve") << "releve" << true;
}

void TestWindowSizes::fitsAndShowsEverything() {
    QFETCH(QString, which);
    QFETCH(bool, resizable);
    obs::test::TempClinic clinic;
    writeProgramFiles(clinic);
    QVERIFY(fillDemoReferences(clinic.db()));
    QVERIFY(fillDemoActs(clinic.db(), 60, QDate(2005, 1, 1), QDate(2005, 8, 31)));
    Settings::setBackupFolder(clinic.file(QStringLiteral("sauvegardes")));

    std::unique_ptr<QWidget> window(openWindow(which, clinic.database(), clinic.browsed()));
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));

    // As it opens.
    QVERIFY2(fits(window->size()), qPrintable(shown(window->size())));
    // Room is left for the title bar and borders a window manager adds around it.
    if (which == u"search" || which == u"main") {
        const QSize framed = window->size().grownBy(expectedFrame(window.get()));
        QVERIFY2(fits(framed), qPrintable(shown(framed)));
    }
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
    TestWindowSizes test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_window_sizes.moc"
