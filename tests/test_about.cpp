// The about box, alone and opened from the main window.
#include "TestSupport.h"

#include "about/AboutBox.h"
#include "app/RecordEditor.h"
#include "widgets/Dialogs.h"

#include <QGuiApplication>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QtTest>

using namespace obs;
using obs::test::child;
using obs::test::TempClinic;

class TestAbout : public QObject {
    Q_OBJECT
private slots:
    void textsAtLoad();
    void centredOnScreen();
    void okCloses();
    void opensBesideRecordEditor();
};

void TestAbout::textsAtLoad() {
    TempClinic clinic;
    AboutBox about;
    QCOMPARE(about.objectName(), QStringLiteral("frmAbout"));
    QCOMPARE(about.windowTitle(), QStringLiteral("À propos de OBSLEDGER"));
    QCOMPARE(child<QLabel>(&about, "lblTitle")->text(), QStringLiteral("OBSLEDGER"));
    QCOMPARE(child<QLabel>(&about, "lblVersion")->text(), QStringLiteral("Version 2.0.0"));
    QCOMPARE(child<QLabel>(&about, "lblDescription")->text(), QStringLiteral("Comptabilité entre praticiens"));
    QCOMPARE(child<QLabel>(&about, "Label1")->text(), QStringLiteral("Auteur"));
    QVERIFY(!child<QLabel>(&about, "lblDisclaimer")->text().isEmpty());
    QVERIFY(!child<QLabel>(&about, "Label2")->text().isEmpty());
    QVERIFY(!child<QLabel>(&about, "picIcon")->pixmap().isNull());
    QCOMPARE(child<QPushButton>(&about, "cmdOK")->text(), QStringLiteral("OK"));
}

void TestAbout::centredOnScreen() {
    TempClinic clinic;
    AboutBox about;
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    QCOMPARE(about.x(), screen.x() + (screen.width() - about.width()) / 2);
    QCOMPARE(about.y(), screen.y() + (screen.height() - about.height()) / 2);
}

void TestAbout::okCloses() {
    TempClinic clinic;
    QPointer<AboutBox> about = new AboutBox();
    about->show();
    QSignalSpy closed(about.data(), &Screen::closed);
    child<QPushButton>(about, "cmdOK")->click();
    QCOMPARE(closed.count(), 1);
    QTRY_VERIFY(!about);
}

void TestAbout::opensBesideRecordEditor() {
    TempClinic clinic;
    std::unique_ptr<RecordEditor> main(new RecordEditor(clinic.database(), clinic.browsed()));
    QVERIFY(main->load());
    main->show();
    child<QPushButton>(main.get(), "Command6")->click();
    QWidget* about = obs::test::topLevel("frmAbout");
    QVERIFY(about);
    QVERIFY(main->isVisible());
    // One at a time: a second click brings the same box forward.
    child<QPushButton>(main.get(), "Command6")->click();
    int boxes = 0;
    for (QWidget* w : QApplication::topLevelWidgets())
        boxes += w->objectName() == "frmAbout" && w->isVisible();
    QCOMPARE(boxes, 1);
    child<QPushButton>(about, "cmdOK")->click();
    QTRY_VERIFY(!obs::test::topLevel("frmAbout"));
    QVERIFY(main->isVisible());
    QVERIFY(Dialogs::shownTexts().isEmpty());
}

QTEST_MAIN(TestAbout)
#include "test_about.moc"
