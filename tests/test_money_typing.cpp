// Money as the secretary types it: the day and mode of each payment, amounts to the cent on every
// screen and in the store, and a save refused for another workstation's change, on a file and on
// the server.
#include "TestSupport.h"
#include "test_entry_support.h"

#include "accounts/SearchWindow.h"
#include "app/RecordEditor.h"
#include "common/DayNumber.h"
#include "common/Money.h"
#include "reference/ReferenceListsEditor.h"
#include "store/Store.h"
#include "widgets/Dialogs.h"

#include <QClipboard>
#include <QComboBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

using namespace obs;
using obs::test::child;
using obs::test::dayText;
using obs::test::euros;
using obs::test::MainWindow;
using obs::test::paymentLines;
using obs::test::TempClinic;

namespace {

qint64 today() {
    return dayNumberOf(QDate::currentDate());
}

qint64 units(const QString& french) {
    return Money::parse(french)->units();
}

// An act of three days ago, 100 € to be paid, nothing paid yet.
qint64 unpaidAct(TempClinic& clinic, const char* surname) {
    return clinic.addAct({{"Nom", QString::fromUtf8(surname)},
                          {"Prenom", QStringLiteral("Léa")},
                          {"Date", QVariant::fromValue<qint64>(today() - 3)},
                          {"PRIX", euros("100")},
                          {"PAYESECU", euros("0")},
                          {"PAYECOMPLE", euros("0")},
                          {"PAYEDE", euros("0")}});
}

std::shared_ptr<Store> storeOf(TempClinic& clinic) {
    Status s;
    std::shared_ptr<Store> store = Store::open(clinic.location(), &s);
    if (!store)
        qFatal("open: %s", qPrintable(s.message));
    return store;
}

// The payment entries of an act, "payer:units:day:mode", days as dates.
QStringList paymentsOf(TempClinic& clinic, qint64 act) {
    std::vector<JournalEntry> entries;
    const Status s = storeOf(clinic)->journal().ofAct(act, &entries);
    if (!s)
        qFatal("ofAct: %s", qPrintable(s.message));
    return paymentLines(entries);
}

// Yesterday by cheque, as a payment received earlier is typed.
void chooseYesterdayByCheque(const MainWindow& w) {
    w.edit("TxtRecuLe")->setText(dayText(today() - 1));
    w.combo("CmbMode")->setCurrentText(QStringLiteral("Chèque"));
}

// A screen with amount boxes, made as its opener makes it.
std::unique_ptr<QWidget> screenNamed(TempClinic& clinic, const QString& name) {
    if (name == u"main") {
        auto w = std::make_unique<RecordEditor>(clinic.database(), clinic.browsed());
        if (!w->load())
            qFatal("the main window did not open");
        return w;
    }
    if (name == u"search")
        return std::make_unique<SearchWindow>(clinic.database());
    if (name == u"entry")
        return std::make_unique<ActEntryWindow>(clinic.database(), clinic.browsed());
    return std::make_unique<ReferenceListsEditor>(clinic.database(), clinic.browsed());
}

} // namespace

class TestMoneyTyping : public QObject {
    Q_OBJECT
private slots:
    void init() { Dialogs::clearShown(); }

    void receiptStartsAfresh_data();
    void receiptStartsAfresh();
    void reversalStartsAfresh();
    void amountBoxesTakeTwoDecimals_data();
    void amountBoxesTakeTwoDecimals();
    void storeRefusesFractionsOfCents_data();
    void storeRefusesFractionsOfCents();
    void fractionOfCentSaidOnScreen();
    void importedPriceKeptBySave_data();
    void importedPriceKeptBySave();
    void refusedSaveKeepsTyping_data();
    void refusedSaveKeepsTyping();
};

// "Reçu le" and "Mode" go back to today and "Virement" whenever an act is shown and after each
// save: a day and a mode chosen for one payment never date the next one.
void TestMoneyTyping::receiptStartsAfresh_data() {
    QTest::addColumn<QString>("action");
    QTest::addColumn<QString>("shownAfter");
    const char* rows[][3] = {{"after a save", "save", "DUPONT"},
                             {"next act by the record buttons", "Command4", "DUPUIS"},
                             {"same act found again by name", "find again", "DUPONT"},
                             {"same act opened from the search screen", "open", "DUPONT"}};
    for (const auto& r : rows)
        QTest::newRow(r[0]) << QString::fromUtf8(r[1]) << QString::fromUtf8(r[2]);
}

void TestMoneyTyping::receiptStartsAfresh() {
    QFETCH(QString, action);
    QFETCH(QString, shownAfter);
    TempClinic clinic;
    const qint64 act = unpaidAct(clinic, "DUPONT");
    unpaidAct(clinic, "DUPUIS");
    MainWindow w(clinic);
    w.find(QStringLiteral("DUPO"));
    chooseYesterdayByCheque(w);
    if (action == u"save") {
        w.edit("TxtPSecu")->setText(QStringLiteral("30"));
        w.save();
        // The payment saved carries the day and the mode chosen for it.
        QCOMPARE(paymentsOf(clinic, act),
                 QStringList{QStringLiteral("secu:%1:%2:cheque").arg(units("30")).arg(dayText(today() - 1))});
    } else if (action == u"find again") {
        w.edit("Text1")->clear();
        w.find(QStringLiteral("DUPO"));
    } else if (action == u"open") {
        w.form->openAct(act);
    } else {
        w.click(action.toLatin1().constData());
    }
    QCOMPARE(w.edit("TxtNom")->text(), shownAfter);
    QCOMPARE(w.edit("TxtRecuLe")->text(), dayText(today()));
    QCOMPARE(w.combo("CmbMode")->currentText(), QStringLiteral("Virement"));
    // The next payment is received today by transfer.
    w.edit("TxtPCompl")->setText(QStringLiteral("10"));
    w.save();
    const qint64 shown = child<QLabel>(w.form.get(), "LblNumero")->text().toLongLong();
    QCOMPARE(paymentsOf(clinic, shown).last(),
             QStringLiteral("complementaire:%1:%2:virement").arg(units("10")).arg(dayText(today())));
}

// The reversal panel's date and mode start afresh after a sum paid over on another day by cheque.
void TestMoneyTyping::reversalStartsAfresh() {
    obs::test::ClinicWithRates clinic;
    clinic.addAct({{"Nom", "DUPONT"},
                   {"Date", QVariant::fromValue<qint64>(today() - 30)},
                   {"MEDSUIT", "Dr MARTIN"},
                   {"MEDACTE", "Dr DURAND"},
                   {"PRIX", euros("300")}});
    auto paid = std::make_unique<obs::test::SearchScreen>(clinic);
    paid->pair(QStringLiteral("Dr DURAND"), QStringLiteral("Dr MARTIN"));
    paid->edit("TxtDateRev")->setText(dayText(today() - 1));
    paid->combo("CmbModeReversement")->setCurrentText(QStringLiteral("Chèque"));
    Dialogs::queueAnswer(true);
    paid->pay(QStringLiteral("45,5"));
    QTRY_VERIFY(!paid->form);
    const obs::test::SearchScreen next(clinic);
    QCOMPARE(next.edit("TxtDateRev")->text(), dayText(today()));
    QCOMPARE(next.combo("CmbModeReversement")->currentText(), QStringLiteral("Virement"));
}

// Every amount box takes two decimals at most: a third digit typed is not taken, a pasted text
// with one is refused whole; a full stop becomes a comma.
void TestMoneyTyping::amountBoxesTakeTwoDecimals_data() {
    for (const char* column : {"screen", "box", "typed", "kept", "pasted", "afterPaste"})
        QTest::addColumn<QString>(column);
    const char* rows[][6] = {{"main", "TxtPSecu", "12,345", "12,34", "0,004", ""},
                             {"main", "TxtPCompl", "0.0049", "0,00", "7.5", "7,5"},
                             {"main", "TxtPDE", "3,999", "3,99", "12,3456", ""},
                             {"main", "TxtEuros", "313,456", "313,45", "-20,10", "-20,10"},
                             {"main", "TxtDE", "50,001", "50,00", "50,001", ""},
                             {"search", "TxtSommeRev", "45,505", "45,50", "0,004", ""},
                             {"entry", "TxtEuros", "313,456", "313,45", "313,456", ""},
                             {"entry", "TxtDE", "80.125", "80,12", "80.12", "80,12"},
                             {"reference", "TxtMut1", "12,345", "12,34", "12,345", ""},
                             {"reference", "TxtTARIFS", "41,805", "41,80", "41,805", ""}};
    for (const auto& r : rows) {
        QTestData& row = QTest::addRow("%s %s", r[0], r[1]);
        for (const char* value : r)
            row << QString::fromUtf8(value);
    }
}

void TestMoneyTyping::amountBoxesTakeTwoDecimals() {
    QFETCH(QString, screen);
    QFETCH(QString, box);
    QFETCH(QString, typed);
    QFETCH(QString, kept);
    QFETCH(QString, pasted);
    QFETCH(QString, afterPaste);
    obs::test::ClinicWithRates clinic;
    obs::test::writeTariffs();
    const std::unique_ptr<QWidget> window = screenNamed(clinic, screen);
    QLineEdit* edit = child<QLineEdit>(window.get(), box.toLatin1().constData());
    edit->clear();
    QTest::keyClicks(edit, typed);
    QCOMPARE(edit->text(), kept);
    edit->clear();
    QGuiApplication::clipboard()->setText(pasted);
    QTest::keySequence(edit, QKeySequence::Paste);
    QCOMPARE(edit->text(), afterPaste);
}

// The store refuses an amount that is not whole cents, on every write of money, and writes nothing.
void TestMoneyTyping::storeRefusesFractionsOfCents_data() {
    QTest::addColumn<QString>("write");
    QTest::addColumn<QString>("named");
    const char* rows[][2] = {{"payment", "Payé Sécu"},       {"price", "Montant"},   {"new act", "DE"},
                             {"reversal", "Somme reversée"}, {"new entry", "Tarif"}, {"entry", "Mutuelle 2"}};
    for (const auto& r : rows)
        QTest::newRow(r[0]) << QString::fromUtf8(r[0]) << QString::fromUtf8(r[1]);
}

void TestMoneyTyping::storeRefusesFractionsOfCents() {
    QFETCH(QString, write);
    QFETCH(QString, named);
    TempClinic clinic;
    const qint64 number = unpaidAct(clinic, "DUPONT");
    clinic.addMemo(2, QStringLiteral("Césarienne"), QStringLiteral("JQGA002"), QStringLiteral("369,2"),
                   {QStringLiteral("200"), QStringLiteral("150")});
    const qint64 entriesBefore = clinic.count(QStringLiteral("JOURNAL"));
    const std::shared_ptr<Store> store = storeOf(clinic);
    const Money fraction = *Money::parse(QStringLiteral("0,004"));
    const auto plusFraction = [&](const char* euros) { return Money::fromUnits(units(euros) + fraction.units()); };
    Act shown;
    bool found = false;
    QVERIFY(store->acts().find(number, &shown, &found) && found);
    ReferenceEntry entry;
    const QString label = QStringLiteral("Césarienne");
    QVERIFY(store->references().find(ReferenceList::DeliveryActs, label, &entry, &found) && found);
    Act act = shown;
    ReferenceEntry changed = entry;
    Status s;
    bool paidOver = false;
    qint64 made = 0;
    if (write == u"payment" || write == u"price") {
        (write == u"payment" ? act.paidSecu : act.price) = plusFraction("30");
        s = store->acts().update(shown, act, false, Receipt{today(), PaymentMode::Transfer});
    } else if (write == u"new act") {
        act.excess = fraction;
        s = store->acts().append(act, &made);
    } else if (write == u"reversal") {
        s = store->acts().addReversal(number, today(), fraction, &paidOver, PaymentMode::Transfer);
    } else if (write == u"new entry") {
        changed.label = QStringLiteral("Forceps");
        changed.tariff = fraction;
        s = store->references().add(changed);
    } else {
        changed.excesses[1] = plusFraction("150");
        s = store->references().modify(entry, changed, &found);
    }
    QCOMPARE(s.error, StoreError::RefusedValue);
    QVERIFY2(s.message.contains(QStringLiteral("« %1 »").arg(named)) && s.message.contains(u"plus de deux décimales"),
             qPrintable(s.message));
    // Nothing written: the act, the list and the journal as they were.
    QCOMPARE(clinic.count(QStringLiteral("ACTES")), 1);
    QCOMPARE(clinic.count(QStringLiteral("JOURNAL")), entriesBefore);
    Act now;
    QVERIFY(store->acts().find(number, &now, &found) && found && now == shown);
    ReferenceEntry entryNow;
    QVERIFY(store->references().find(std::nullopt, QStringLiteral("Forceps"), &entryNow, &found) && !found);
    QVERIFY(store->references().find(ReferenceList::DeliveryActs, label, &entryNow, &found) && entryNow == entry);
}

// A fraction of a cent that reached a box all the same (put there by another program) is said on
// the screen, its box focused; nothing is written.
void TestMoneyTyping::fractionOfCentSaidOnScreen() {
    TempClinic clinic;
    const qint64 act = unpaidAct(clinic, "DUPONT");
    MainWindow w(clinic);
    w.find(QStringLiteral("DUP"));
    w.edit("TxtPCompl")->setText(QStringLiteral("0,004"));
    w.save();
    QVERIFY2(Dialogs::lastText().contains(QStringLiteral("« Payé Complémentaire » a plus de deux décimales")),
             qPrintable(Dialogs::lastText()));
    QVERIFY(paymentsOf(clinic, act).isEmpty());
    QCOMPARE(w.edit("TxtPCompl")->text(), QStringLiteral("0,004"));
}

// A price stored with more decimals (an older register's) is written again only when the
// secretary changes it, however it is shown.
void TestMoneyTyping::importedPriceKeptBySave_data() {
    QTest::addColumn<bool>("fromSearch"); // shown as stored, rather than to the cent
    QTest::addColumn<QString>("box");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("priceAfter");
    QTest::newRow("found by name, first name changed") << false << "TxtPrenom"
                                                       << "Zoé"
                                                       << "313,456";
    QTest::newRow("found by name, payment typed") << false << "TxtPSecu"
                                                  << "200"
                                                  << "313,456";
    QTest::newRow("opened from the search, payment typed") << true << "TxtPSecu"
                                                           << "200"
                                                           << "313,456";
    QTest::newRow("found by name, price typed") << false << "TxtEuros"
                                                << "313,5"
                                                << "313,5";
}

void TestMoneyTyping::importedPriceKeptBySave() {
    QFETCH(bool, fromSearch);
    QFETCH(QString, box);
    QFETCH(QString, typed);
    QFETCH(QString, priceAfter);
    TempClinic clinic;
    const qint64 act = clinic.addAct({{"Nom", "DUPONT"},
                                      {"Date", QVariant::fromValue<qint64>(today() - 3)},
                                      {"PRIX", euros("313,456")},
                                      {"DE", euros("0,0012")},
                                      {"PAYESECU", euros("0")}});
    MainWindow w(clinic);
    if (fromSearch)
        w.form->openAct(act);
    else
        w.find(QStringLiteral("DUP"));
    QCOMPARE(w.edit("TxtEuros")->text(), QString::fromUtf8(fromSearch ? "313,456" : "313,46"));
    w.edit(box.toLatin1().constData())->setText(typed);
    w.save();
    QCOMPARE(Dialogs::lastText(), QStringLiteral("Fiche modifiée"));
    QCOMPARE(clinic.scalar(QStringLiteral("SELECT PRIX FROM ACTES")).toLongLong(), units(priceAfter));
    QCOMPARE(clinic.scalar(QStringLiteral("SELECT DE FROM ACTES")).toLongLong(), units("0,0012"));
}

// A save refused because another workstation changed the act keeps what was typed: the boxes the
// secretary changed keep her values, the others show the act as now stored, the notice says what
// changed elsewhere, and the next save writes her values over the act as now stored.
void TestMoneyTyping::refusedSaveKeepsTyping_data() {
    // The other workstation's change; the box she types into and her text; a box she left alone
    // and what it shows then; what the notice says; Prenom, PAYESECU and PAYECOMPLE after her next
    // save; the payment it records.
    for (const char* column :
         {"elsewhere", "box", "typed", "otherBox", "otherShows", "said", "prenom", "secu", "complementary", "payment"})
        QTest::addColumn<QString>(column);
    const char* rows[][11] = {{"first name elsewhere, payment here", "UPDATE ACTES SET Prenom = 'Léna'", "TxtPCompl",
                               "30", "TxtPrenom", "Léna", "Prénom (Léa → Léna)", "Léna", "0", "30",
                               "complementaire:30"},
                              {"payment elsewhere, first name here", "UPDATE ACTES SET PAYESECU = 2000000", "TxtPrenom",
                               "Zoé", "TxtPSecu", "200", "Payé Sécu (0 → 200)", "Zoé", "200", "0", ""},
                              {"same payment on both", "UPDATE ACTES SET PAYECOMPLE = 200000", "TxtPCompl", "30",
                               "TxtPSecu", "0", "Payé Complémentaire (0 → 20)", "Léa", "0", "30", "complementaire:10"}};
    for (const auto& r : rows) {
        QTestData& row = QTest::newRow(r[0]);
        for (int i = 1; i < 11; ++i)
            row << QString::fromUtf8(r[i]);
    }
}

void TestMoneyTyping::refusedSaveKeepsTyping() {
    QFETCH(QString, elsewhere);
    QFETCH(QString, box);
    QFETCH(QString, typed);
    QFETCH(QString, otherBox);
    QFETCH(QString, otherShows);
    QFETCH(QString, said);
    QFETCH(QString, prenom);
    QFETCH(QString, secu);
    QFETCH(QString, complementary);
    QFETCH(QString, payment);
    TempClinic clinic;
    const qint64 act = unpaidAct(clinic, "DUPONT");
    MainWindow w(clinic);
    w.find(QStringLiteral("DUP"));
    clinic.execute(elsewhere);
    w.edit(box.toLatin1().constData())->setText(typed);
    chooseYesterdayByCheque(w);
    w.save();
    const QString notice = Dialogs::lastText();
    QVERIFY2(notice.startsWith(QStringLiteral("Cette fiche a été modifiée sur un autre poste depuis son affichage")) &&
                 notice.contains(said),
             qPrintable(notice));
    // Her typing, day and mode kept; the rest as now stored; still to be saved.
    QCOMPARE(w.edit(box.toLatin1().constData())->text(), typed);
    QCOMPARE(w.edit(otherBox.toLatin1().constData())->text(), otherShows);
    QCOMPARE(w.edit("TxtRecuLe")->text(), dayText(today() - 1));
    QCOMPARE(w.combo("CmbMode")->currentText(), QStringLiteral("Chèque"));
    QVERIFY(!child<QLabel>(w.form.get(), "LblNonEnregistre")->isHidden());
    QVERIFY(child<QLabel>(w.form.get(), "LblAutrePoste")->text().contains(said));
    QVERIFY(paymentsOf(clinic, act).isEmpty());

    w.save();
    QCOMPARE(Dialogs::lastText(), QStringLiteral("Fiche modifiée"));
    QCOMPARE(clinic.scalar(QStringLiteral("SELECT Prenom FROM ACTES")).toString(), prenom);
    QCOMPARE(clinic.scalar(QStringLiteral("SELECT PAYESECU FROM ACTES")).toLongLong(), units(secu));
    QCOMPARE(clinic.scalar(QStringLiteral("SELECT PAYECOMPLE FROM ACTES")).toLongLong(), units(complementary));
    QStringList expected;
    if (!payment.isEmpty()) {
        const QStringList p = payment.split(u':');
        expected << QStringLiteral("%1:%2:%3:cheque").arg(p[0]).arg(units(p[1])).arg(dayText(today() - 1));
    }
    QCOMPARE(paymentsOf(clinic, act), expected);
}

QTEST_MAIN(TestMoneyTyping)
#include "test_money_typing.moc"
