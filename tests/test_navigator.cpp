// The screens ask for other screens and the navigator opens them; the settings read and written
// through their typed getters; the shared database opened where the settings say.
#include "ProgramWindows.h"
#include "TestSupport.h"

#include "app/Navigator.h"
#include "common/Settings.h"
#include "entry/ActEntryWindow.h"
#include "reference/ReferenceListsEditor.h"
#include "reference/TariffEditor.h"
#include "store/SharedDatabase.h"
#include "widgets/Dialogs.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QtTest>

using namespace obs;
using obs::test::child;
using obs::test::TempClinic;
using obs::test::topLevel;

namespace {

int openTariffEditors() {
    int editors = 0;
    for (QWidget* w : QApplication::topLevelWidgets())
        editors += w->objectName() == u"form20" && w->isVisible();
    return editors;
}

QByteArray settingsFile() {
    QFile f(Settings::fileFor(kSettingsApp));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

class TestNavigator : public QObject {
    Q_OBJECT
private slots:
    void screensAskForTheTariffEditor_data();
    void screensAskForTheTariffEditor();
    void periodsKeptUnderTheirKeys();
    void databasePathSetOrNot();
    void sharedDatabaseFollowsTheSettings();
};

void TestNavigator::screensAskForTheTariffEditor_data() {
    QTest::addColumn<QString>("screen");
    QTest::addColumn<QString>("button");
    QTest::addColumn<bool>("closesWithIt");
    QTest::newRow("act entry") << "entry"
                               << "CmdMaJour" << false;
    QTest::newRow("reference lists") << "reference"
                                     << "Command1" << true;
}

void TestNavigator::screensAskForTheTariffEditor() {
    QFETCH(QString, screen);
    QFETCH(QString, button);
    QFETCH(bool, closesWithIt);
    TempClinic clinic;
    obs::test::fillClinic(clinic);
    QPointer<Screen> form;
    if (screen == u"entry")
        form = new ActEntryWindow(clinic.database(), clinic.browsed());
    else
        form = new ReferenceListsEditor(clinic.database(), clinic.browsed());
    form->show();
    QVERIFY(Dialogs::shownTexts().isEmpty());
    QSignalSpy asked(form.data(), SIGNAL(tariffsWanted()));
    auto* tariffs = child<QPushButton>(form.data(), qPrintable(button));

    // Alone, the screen only asks: nothing opens.
    tariffs->click();
    QCOMPARE(asked.count(), 1);
    QCOMPARE(openTariffEditors(), 0);

    // Answered by a navigator: one editor, however often it is asked for.
    Navigator screens(clinic.database(), clinic.browsed());
    if (auto* entry = qobject_cast<ActEntryWindow*>(form.data()))
        screens.answer(entry);
    else
        screens.answer(qobject_cast<ReferenceListsEditor*>(form.data()));
    tariffs->click();
    tariffs->click();
    QCOMPARE(asked.count(), 3);
    QCOMPARE(openTariffEditors(), 1);
    QVERIFY(form->isVisible());

    form->close();
    QTRY_VERIFY(form.isNull());
    QCOMPARE(openTariffEditors(), closesWithIt ? 0 : 1);
    QVERIFY(screens.closeTariffs());
    QCOMPARE(openTariffEditors(), 0);
    QVERIFY(Dialogs::shownTexts().isEmpty());
}

void TestNavigator::periodsKeptUnderTheirKeys() {
    TempClinic clinic;
    QCOMPARE(Settings::period(Settings::PeriodOf::Search).first, QString());
    Settings::setPeriod(Settings::PeriodOf::Search, {QStringLiteral("01/01/2005"), QStringLiteral("31/12/2005")});
    Settings::setPeriod(Settings::PeriodOf::Reversal, {QStringLiteral("01/02/2006"), QStringLiteral("28/02/2006")});
    const QByteArray file = settingsFile();
    for (const char* line : {"RECHERCHE_DU=01/01/2005", "RECHERCHE_AU=31/12/2005", "REVERSEMENT_DU=01/02/2006",
                             "REVERSEMENT_AU=28/02/2006"})
        QVERIFY2(file.contains(line), line);
    const Settings::Period search = Settings::period(Settings::PeriodOf::Search);
    QCOMPARE(search.first, QStringLiteral("01/01/2005"));
    QCOMPARE(search.last, QStringLiteral("31/12/2005"));
    QCOMPARE(Settings::period(Settings::PeriodOf::Reversal).last, QStringLiteral("28/02/2006"));
}

void TestNavigator::databasePathSetOrNot() {
    TempClinic clinic;
    QCOMPARE(Settings::databasePathSet(), std::optional<QString>(clinic.dbPath()));
    QVERIFY(Settings::setDatabasePath(QString()));
    QVERIFY(!Settings::databasePathSet().has_value());
    QVERIFY(Settings::setDatabasePath(QStringLiteral("")));
    QCOMPARE(Settings::databasePathSet(), std::optional<QString>(QString()));
}

void TestNavigator::sharedDatabaseFollowsTheSettings() {
    TempClinic clinic;
    if (clinic.onServer())
        QSKIP("a file's copy");
    clinic.addAct({{"Nom", "DUPONT"}});
    const QString other = clinic.file(QStringLiteral("autre/OBSLEDGER.mdb"));
    QVERIFY(QDir().mkpath(QFileInfo(other).absolutePath()));
    QVERIFY(QFile::copy(clinic.dbPath(), other));
    SharedDatabase shared;
    QVERIFY(shared.reopenFromSettings());
    QCOMPARE(shared.location(), clinic.dbPath());

    // The settings name another base: a plain reopen stays where it was, until the settings are read.
    QVERIFY(Settings::setDatabasePath(other));
    QVERIFY(shared.reopen());
    QCOMPARE(shared.location(), clinic.dbPath());
    QVERIFY(shared.reopenFromSettings());
    QCOMPARE(shared.location(), other);
    QVERIFY(shared.store());

    // A base that is not there: the failure is said, the connection before is kept.
    QVERIFY(Settings::setDatabasePath(clinic.file(QStringLiteral("absente/OBSLEDGER.mdb"))));
    const auto before = shared.store();
    QVERIFY(!shared.reopenFromSettings());
    QCOMPARE(shared.store(), before);
    shared.close();
}

QTEST_MAIN(TestNavigator)
#include "test_navigator.moc"
