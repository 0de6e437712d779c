// SPDX-License-Identifier: GPL-3.0-or-later
// Pictures of the screens as a clinic fills them, saved into the folder named by OBSLEDGER_SCREENS,
// to be looked at. Not a test: run by scripts/screenshots.sh, which also saves the pictures of every
// window on a 1024x768 screen under a window manager (test_window_frames).
#include "../ProgramWindows.h"
#include "../test_entry_support.h"

#include "common/DayNumber.h"
#include "common/Money.h"

#include <QCalendarWidget>
#include <QDialog>
#include <QDir>
#include <QLabel>
#include <QRadioButton>
#include <QScreen>
#include <QtTest>

using namespace obs;
using namespace obs::test;

namespace {

QString folder() {
    return qEnvironmentVariable("OBSLEDGER_SCREENS");
}

void save(QWidget* window, const char* name) {
    QCoreApplication::processEvents(); // pending layout changes
    QVERIFY(window->grab().save(QDir(folder()).filePath(QString::fromLatin1(name) + QStringLiteral(".png"))));
}

// The whole screen, window manager's frames included, when there is a real one.
void saveScreen(const char* name) {
    if (QGuiApplication::platformName() == QLatin1String("offscreen"))
        return;
    QTest::qWait(300); // the window manager's frame drawn
    QVERIFY(QGuiApplication::primaryScreen()->grabWindow(0).save(
        QDir(folder()).filePath(QString::fromLatin1(name) + QStringLiteral(".png"))));
}

void show(QWidget* window) {
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window));
}

} // namespace

class Screenshots : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        if (folder().isEmpty())
            QFAIL("OBSLEDGER_SCREENS names no folder");
        QVERIFY(QDir().mkpath(folder()));
    }

    // The act entry filled for a delivery at night, with two secondary acts and an insurer.
    void entry() {
        TempClinic clinic;
        QVERIFY(fillDemoReferences(clinic.dbPath()));
        writeTariffs();
        QPointer<ActEntryWindow> form = openEntry(clinic);
        form->resize(form->sizeHint());
        QTest::keyClicks(child<QLineEdit>(form, "TxtNom"), QStringLiteral("lefebvre"));
        QTest::keyClicks(child<QLineEdit>(form, "TxtPrenom"), QStringLiteral("Camille"));
        child<QLineEdit>(form, "TxtDate")->setText(QStringLiteral("14/03/2005"));
        chooseItem(form, "CmbPrat2", QStringLiteral("Dr D'ORVAL"));
        chooseItem(form, "CmbActesAcct1", QStringLiteral("Accouchement unique par voie naturelle chez une primipare"));
        chooseItem(form, "CmbActesAcct2", QStringLiteral("Délivrance artificielle"));
        chooseItem(form, "CmbActesAcct2", QStringLiteral("Suture de déchirure périnéale complète"));
        select(form, "OptNuit");
        select(form, "OptMut2");
        save(form, "form2");
        // A public holiday picked on the calendar: the hint beside the supplements.
        form->clearEntry();
        auto* calendar = child<QCalendarWidget>(form, "MonthView1");
        calendar->setSelectedDate(QDate(2025, 5, 29));
        emit calendar->clicked(QDate(2025, 5, 29));
        save(form, "entry-holiday-hint");
        dispose(form);
    }

    // The search screen after a year's listing of one practitioner and the owed amount of a pair.
    void search() {
        ClinicWithRates clinic;
        QVERIFY(fillDemoReferences(clinic.dbPath()));
        QVERIFY(fillDemoActs(clinic.dbPath(), 400, QDate(2005, 1, 1), QDate(2005, 12, 31)));
        SearchScreen s(clinic);
        s.period(QStringLiteral("01/01/2005"), QStringLiteral("31/12/2005"));
        s.type("CmbPrat1", QStringLiteral("Dr D'ORVAL"));
        s.click("Command2");
        s.combo("CmbPPrat2")->setCurrentIndex(s.combo("CmbPPrat2")->findText(QStringLiteral("Dr FONTAINE")));
        s.combo("CmbPPrat1")->setCurrentIndex(s.combo("CmbPPrat1")->findText(QStringLiteral("Dr D'ORVAL")));
        s.click("CmdDoit");
        QTest::keyClicks(s.edit("TxtSommeRev"), QStringLiteral("150.5"));
        show(s.form);
        save(s.form, "form10");
        // What is still to collect.
        s.click("CmdRestes");
        save(s.form, "search-remainders");
    }

    // The main window with a payment typed and not saved yet.
    void mainUnsaved() {
        TempClinic clinic;
        clinic.addAct({{"Nom", "DUPONT"},
                       {"Prenom", "Marie"},
                       {"Date", 46300},
                       {"Acte", "Accouchement simple"},
                       {"CCAM1", "JQGD010"},
                       {"MEDSUIT", "Dr MARTIN"},
                       {"MEDACTE", "Dr BERTRAND"},
                       {"PRIX", moneyValue(Money::parse("313,5"))},
                       {"DE", moneyValue(Money::fromEuros(150))},
                       {"PAYESECU", moneyValue(Money::parse("219,45"))}});
        std::unique_ptr<QWidget> main(openProgramWindow(QStringLiteral("main"), clinic.database(), clinic.browsed()));
        show(main.get());
        child<QLineEdit>(main.get(), "Text1")->clear();
        QTest::keyClicks(child<QLineEdit>(main.get(), "Text1"), QStringLiteral("DUP"));
        child<QLineEdit>(main.get(), "TxtPCompl")->setText(QStringLiteral("94,05"));
        save(main.get(), "main-unsaved");
    }

    // The main window after another workstation changed the act being typed into.
    void mainChangedElsewhere() {
        TempClinic clinic;
        const qint64 n = clinic.addAct({{"Nom", "DUPONT"},
                                        {"Prenom", "Marie"},
                                        {"Date", 46300},
                                        {"Acte", "Accouchement simple"},
                                        {"CCAM1", "JQGD010"},
                                        {"MEDSUIT", "Dr MARTIN"},
                                        {"MEDACTE", "Dr BERTRAND"},
                                        {"PRIX", moneyValue(Money::parse("313,5"))},
                                        {"DE", moneyValue(Money::fromEuros(150))}});
        std::unique_ptr<QWidget> main(openProgramWindow(QStringLiteral("main"), clinic.database(), clinic.browsed()));
        show(main.get());
        child<QLineEdit>(main.get(), "Text1")->clear();
        QTest::keyClicks(child<QLineEdit>(main.get(), "Text1"), QStringLiteral("DUP"));
        child<QLineEdit>(main.get(), "TxtPCompl")->setText(QStringLiteral("94,05"));
        clinic.execute(QStringLiteral("UPDATE ACTES SET PAYESECU = 2194500 WHERE NUMINT = %1").arg(n));
        QTRY_VERIFY_WITH_TIMEOUT(child<QLabel>(main.get(), "LblAutrePoste")->isVisible(), 3000);
        save(main.get(), "main-changed-elsewhere");
        saveScreen("main-changed-elsewhere-screen");
    }

    // The search screen after another workstation added an act of the period listed.
    void searchListChanged() {
        ClinicWithRates clinic;
        QVERIFY(fillDemoReferences(clinic.dbPath()));
        QVERIFY(fillDemoActs(clinic.dbPath(), 400, QDate(2005, 1, 1), QDate(2005, 12, 31)));
        SearchScreen s(clinic);
        show(s.form);
        s.period(QStringLiteral("01/01/2005"), QStringLiteral("31/12/2005"));
        s.type("CmbPrat1", QStringLiteral("Dr D'ORVAL"));
        s.click("Command2");
        clinic.addAct({{"Nom", "DUPONT"}, {"Date", 38400}, {"MEDSUIT", "Dr D'ORVAL"}});
        QTRY_VERIFY_WITH_TIMEOUT(child<QLabel>(s.form, "LblListeChangee")->isVisible(), 3000);
        save(s.form, "search-list-changed");
        saveScreen("search-list-changed-screen");
    }

    // The backup screen with a clinic's folders, and the about box.
    void backupAndAbout() {
        TempClinic clinic;
        QVERIFY(Settings::setBackupFolder(QStringLiteral("/media/cle-usb/Sauvegardes")));
        QVERIFY(Settings::setDatabasePath(QStringLiteral("/srv/clinique/comptabilite/OBSLEDGER.mdb")));
        for (const char* which : {"backup", "about"}) {
            std::unique_ptr<QWidget> w(
                openProgramWindow(QString::fromLatin1(which), clinic.database(), clinic.browsed()));
            show(w.get());
            save(w.get(), which == QByteArray("backup") ? "form21" : "frmabout");
        }
    }

    // The tariff editor and the reference lists, filled as a clinic's.
    void referenceAndTariffs() {
        TempClinic clinic;
        fillClinic(clinic);
        for (const char* which : {"tariff", "reference"}) {
            std::unique_ptr<QWidget> w(
                openProgramWindow(QString::fromLatin1(which), clinic.database(), clinic.browsed()));
            show(w.get());
            save(w.get(), which == QByteArray("tariff") ? "form20" : "form8-accouchements");
            if (which == QByteArray("reference")) {
                child<QPushButton>(w.get(), "CmdMedecins")->click();
                auto* list = child<QListWidget>(w.get(), "List1");
                list->setCurrentRow(1);
                emit list->itemDoubleClicked(list->currentItem());
                save(w.get(), "form8-medecins");
            }
        }
    }

    // The year's statement of a practitioner and its print preview.
    void yearStatement() {
        TempClinic clinic;
        fillClinic(clinic);
        std::unique_ptr<QWidget> w(openProgramWindow(QStringLiteral("releve"), clinic.database(), clinic.browsed()));
        w->resize(1000, 720); // as it opens on the clinic's screens
        show(w.get());
        save(w.get(), "releve");
        child<QPushButton>(w.get(), "CmdApercu")->click();
        QDialog* dialog = nullptr;
        QTRY_VERIFY((dialog = w->findChild<QDialog*>(QStringLiteral("FrmApercu"))) && dialog->isVisible());
        QTest::qWait(200);
        save(dialog, "releve-apercu");
        dialog->close();
    }
};

QTEST_MAIN(Screenshots)
#include "screenshots.moc"
