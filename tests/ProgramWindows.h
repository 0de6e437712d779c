// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Every window of the program, opened as the program opens it on a working clinic's base: the
// lists filled, an act chosen, a record shown. Shared by the window size tests and the pictures
// of scripts/screenshots.sh.
#include "TestSupport.h"

#include "about/AboutBox.h"
#include "accounts/ReceiptsWindow.h"
#include "accounts/SearchWindow.h"
#include "accounts/TaxYearWindow.h"
#include "accounts/YearStatementWindow.h"
#include "app/Navigator.h"
#include "app/RecordEditor.h"
#include "app/StartWindow.h"
#include "backup/BackupWindow.h"
#include "common/DayNumber.h"
#include "common/Settings.h"
#include "domain/DemoData.h"
#include "domain/TariffFile.h"
#include "entry/ActEntryWindow.h"
#include "history/HistoryWindow.h"
#include "reference/ReferenceListsEditor.h"
#include "reference/TariffEditor.h"
#include "widgets/Dialogs.h"

#include <QComboBox>
#include <QDate>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>
#include <QStringList>

namespace obs::test {

// The windows by the names the tests give them.
inline QStringList programWindows() {
    return {QStringLiteral("start"),   QStringLiteral("about"),     QStringLiteral("backup"),
            QStringLiteral("tariff"),  QStringLiteral("reference"), QStringLiteral("entry"),
            QStringLiteral("main"),    QStringLiteral("search"),    QStringLiteral("releve"),
            QStringLiteral("history"), QStringLiteral("recettes"),  QStringLiteral("anneefiscale")};
}

// The tariff and rates files beside the program, the demo lists and 60 acts of 2005, a backup
// folder: every screen loads without a message.
inline void fillClinic(TempClinic& clinic) {
    clinic.writeRates();
    QString error;
    if (!TariffFile::write(TariffFile::initialTexts(), &error))
        qFatal("cannot write the tariff file: %s", qPrintable(error));
    if (!fillDemoReferences(clinic.dbPath()) ||
        !fillDemoActs(clinic.dbPath(), 60, QDate(2005, 1, 1), QDate(2005, 8, 31)))
        qFatal("cannot fill the demo base");
    Settings::setBackupFolder(clinic.file(QStringLiteral("sauvegardes")));
}

// The window as the program opens it, with the lists and texts a working clinic shows.
inline QWidget* openProgramWindow(const QString& which, SharedDatabase& database, BrowsedResult& browsed) {
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
        (new Navigator(database, browsed, w))->answer(w); // its tariff button answered as in the program
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
        (new Navigator(database, browsed, w))->answer(w); // its tariff button answered as in the program
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
        auto* w = new RecordEditor(database, browsed);
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
    if (which == u"history") {
        // An act with the longest lines a history shows: a creation, corrections, payments, a reversal.
        std::shared_ptr<Store> store = database.store();
        if (!store && database.reopenFromSettings())
            store = database.store();
        Act act;
        act.surname = QStringLiteral("LEFEBVRE-DUVAL");
        act.firstName = QStringLiteral("Marie-Camille");
        act.date = dayNumberOf(QDate::currentDate().addDays(-20));
        act.followedBy = QStringLiteral("Dr D'ORVAL");
        act.performedBy = QStringLiteral("Dr MARCHAND");
        act.act = QStringLiteral("Accouchement unique par voie naturelle chez une primipare");
        act.code = QStringLiteral("JQGD010");
        act.price = Money::parse(QStringLiteral("313,5"));
        act.excess = Money::fromEuros(150);
        qint64 number = 0;
        if (!store || !store->acts().append(act, &number))
            qFatal("no act recorded");
        Act shown;
        bool found = false;
        store->acts().find(number, &shown, &found);
        Act edited = shown;
        edited.paidSecu = Money::parse(QStringLiteral("219,45"));
        edited.paidComplementary = Money::fromEuros(94);
        store->acts().update(shown, edited, false, Receipt{dayNumberOf(QDate::currentDate().addDays(-5))});
        store->acts().find(number, &shown, &found);
        edited = shown;
        edited.surname = QStringLiteral("LEFEBVRE");
        edited.performedBy = QStringLiteral("Dr PETIT-JEAN");
        edited.paidExcess = Money::fromEuros(150);
        store->acts().update(shown, edited, false, Receipt{dayNumberOf(QDate::currentDate()), PaymentMode::Card});
        bool changed = false;
        store->acts().addReversal(number, dayNumberOf(QDate::currentDate()), Money::fromEuros(1200), &changed,
                                  PaymentMode::Cheque);
        auto* w = new HistoryWindow(database);
        w->showAct(number);
        return w;
    }
    if (which == u"releve") {
        auto* w = new YearStatementWindow(database);
        child<QSpinBox>(w, "TxtAnnee")->setValue(2005); // the demo acts' year, months filled
        return w;
    }
    if (which == u"anneefiscale") {
        auto* w = new TaxYearWindow(database);
        child<QSpinBox>(w, "TxtAnneeFiscale")->setValue(2005); // the demo acts' year
        return w;
    }
    if (which == u"recettes") {
        // The demo acts paid through the store, as the main window records payments: dated, by mode.
        Status s;
        const auto store = Store::open(Settings::databaseLocation(), &s);
        std::vector<qint64> numbers;
        if (store)
            s = store->acts().listing(ListingKind::Search, Period{38353, 38717}, {}, [&](const ListingRow& r) {
                numbers.push_back(r.number);
                return true;
            });
        QString performer;
        for (std::size_t i = 0; s && i < numbers.size(); ++i) {
            Act shown;
            bool found = false;
            s = store->acts().find(numbers[i], &shown, &found);
            if (performer.isEmpty())
                performer = shown.performedBy;
            Act paid = shown;
            paid.paidSecu = shown.price;
            paid.paidExcess = shown.excess;
            if (s)
                s = store->acts().update(
                    shown, paid, false, Receipt{*shown.date + qint64(i % 20), kPaymentModes[i % kPaymentModes.size()]});
        }
        if (!s || performer.isEmpty())
            qFatal("demo acts not paid: %s", qPrintable(s.message));
        auto* w = new ReceiptsWindow(database);
        child<QComboBox>(w, "CboPraticien")->setCurrentText(performer);
        child<QLineEdit>(w, "TxtDu")->setText(QStringLiteral("01/01/2005"));
        child<QLineEdit>(w, "TxtAu")->setText(QStringLiteral("31/12/2005"));
        child<QPushButton>(w, "CmdAfficher")->click();
        return w;
    }
    qFatal("unknown window %s", qPrintable(which));
}

} // namespace obs::test
