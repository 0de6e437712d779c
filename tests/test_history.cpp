// Payments dated and by mode on the main window and the reversal panel, as the journal records
// them; the history of an act; `obsledger-admin journal show`.
#include "TestSupport.h"

#include "accounts/SearchWindow.h"
#include "app/RecordEditor.h"
#include "common/DayNumber.h"
#include "common/Money.h"
#include "domain/JournalText.h"
#include "history/HistoryWindow.h"
#include "store/Store.h"
#include "widgets/Dialogs.h"

#include <QComboBox>
#include <QDate>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QtTest>

Q_DECLARE_METATYPE(obs::JournalEntry)

using namespace obs;
using obs::test::child;
using obs::test::dayText;
using obs::test::euros;
using obs::test::paymentLines;
using obs::test::TempClinic;

namespace {

const QString kSaveQuestion = QStringLiteral("Voulez vous vraiment modifier cette Fiche ?");

qint64 today() {
    return dayNumberOf(QDate::currentDate());
}

struct Window {
    std::unique_ptr<RecordEditor> form;
    explicit Window(TempClinic& clinic) : form(new RecordEditor(clinic.database(), clinic.browsed())) {
        QVERIFY(form->load());
    }
    QLineEdit* edit(const char* n) const { return child<QLineEdit>(form.get(), n); }
    QComboBox* mode() const { return child<QComboBox>(form.get(), "CmbMode"); }
    void click(const char* n) const { child<QPushButton>(form.get(), n)->click(); }
    void find(const char* name) const { QTest::keyClicks(edit("Text1"), QString::fromUtf8(name)); }
    void save() const {
        Dialogs::queueAnswer(true);
        click("CmdEnreg");
    }
};

// The journal as the clinic's base holds it, read through a store of the test's own.
std::vector<JournalEntry> entriesOf(TempClinic& clinic, qint64 act) {
    Status s;
    auto store = Store::open(clinic.location(), &s);
    if (!store)
        qFatal("open: %s", qPrintable(s.message));
    std::vector<JournalEntry> entries;
    if (!(s = store->journal().ofAct(act, &entries)))
        qFatal("ofAct: %s", qPrintable(s.message));
    return entries;
}

qint64 units(const char* amount) {
    return Money::parse(QString::fromUtf8(amount))->units();
}

// An act of ten days ago with what the national insurance has paid already.
qint64 paidAct(TempClinic& clinic, const char* surname = "DUPONT") {
    return clinic.addAct({{"Nom", surname},
                          {"Prenom", "Anne"},
                          {"Date", today() - 10},
                          {"MEDSUIT", "Dr MARTIN"},
                          {"MEDACTE", "Dr DURAND"},
                          {"PRIX", euros("300")},
                          {"DE", euros("50")},
                          {"PAYESECU", euros("100")},
                          {"PAYECOMPLE", euros("0")},
                          {"PAYEDE", euros("0")}});
}

} // namespace

class TestHistory : public QObject {
    Q_OBJECT
private slots:
    void paymentEntriesAsTyped_data();
    void paymentEntriesAsTyped();
    void receiptRefused_data();
    void receiptRefused();
    void receiptBackToTodayForAnotherAct();
    void reversalPaidWithItsMode();
    void historyNewestFirst();
    void historyFollowsSaves();
    void historyWithNothingShown();
    void journalWords_data();
    void journalWords();
    void journalShowCommand();
    void journalShowRefusals_data();
    void journalShowRefusals();
};

// Each payer whose total changed gets one entry of the difference, dated and by the mode chosen;
// a lowered total is a negative entry dated as typed; a save of the name alone writes no payment.
void TestHistory::paymentEntriesAsTyped_data() {
    QTest::addColumn<QString>("secu");
    QTest::addColumn<QString>("complementary");
    QTest::addColumn<QString>("patient");
    QTest::addColumn<int>("daysAgo");
    QTest::addColumn<QString>("mode");
    QTest::addColumn<QStringList>("expected"); // payer:units:day:mode, days as days ago
    QTest::newRow("sécu, virement, aujourd'hui")
        << "120"
        << "0"
        << "0" << 0 << "Virement" << QStringList{QStringLiteral("secu:%1:@0:virement").arg(units("20"))};
    QTest::newRow("patiente, chèque, il y a 3 jours")
        << "100"
        << "0"
        << "50" << 3 << "Chèque" << QStringList{QStringLiteral("patiente:%1:@3:cheque").arg(units("50"))};
    QTest::newRow("correction à la baisse")
        << "80,5"
        << "0"
        << "0" << 1 << "Virement" << QStringList{QStringLiteral("secu:%1:@1:virement").arg(units("-19,5"))};
    QTest::newRow("trois payeurs, carte, le jour de l'acte")
        << "90"
        << "20"
        << "30" << 10 << "Carte bancaire"
        << QStringList{QStringLiteral("secu:%1:@10:carte").arg(units("-10")),
                       QStringLiteral("complementaire:%1:@10:carte").arg(units("20")),
                       QStringLiteral("patiente:%1:@10:carte").arg(units("30"))};
    QTest::newRow("rien de payé") << "100"
                                  << "0"
                                  << "0" << 0 << "Espèces" << QStringList{};
}

void TestHistory::paymentEntriesAsTyped() {
    QFETCH(QString, secu);
    QFETCH(QString, complementary);
    QFETCH(QString, patient);
    QFETCH(int, daysAgo);
    QFETCH(QString, mode);
    QFETCH(QStringList, expected);
    TempClinic clinic;
    const qint64 act = paidAct(clinic);
    Window w(clinic);
    w.find("DUP");
    QCOMPARE(w.edit("TxtRecuLe")->text(), dayText(today()));
    QCOMPARE(w.mode()->currentText(), QStringLiteral("Virement"));
    w.edit("TxtPSecu")->setText(secu);
    w.edit("TxtPCompl")->setText(complementary);
    w.edit("TxtPDE")->setText(patient);
    w.edit("TxtPrenom")->setText(QStringLiteral("Anne-Marie"));
    w.edit("TxtRecuLe")->setText(dayText(today() - daysAgo));
    w.mode()->setCurrentText(mode);
    QCOMPARE(w.mode()->currentText(), mode);
    w.save();
    QCOMPARE(Dialogs::shownTexts(), (QStringList{kSaveQuestion, QStringLiteral("Fiche modifiée")}));

    for (QString& e : expected) {
        const qsizetype at = e.indexOf(u'@');
        const qsizetype end = e.indexOf(u':', at);
        e.replace(at, end - at, dayText(today() - e.mid(at + 1, end - at - 1).toInt()));
    }
    const auto entries = entriesOf(clinic, act);
    QCOMPARE(paymentLines(entries), expected);
    // The name's change is an entry of its own, whatever was paid.
    QCOMPARE(std::count_if(entries.begin(), entries.end(),
                           [](const JournalEntry& e) { return e.kind == JournalKind::Modified; }),
             1);
    // The day and the mode start afresh after the save: they never date the next payment unseen.
    QCOMPARE(w.edit("TxtRecuLe")->text(), dayText(today()));
    QCOMPARE(w.mode()->currentText(), QStringLiteral("Virement"));
}

// A day of receipt that cannot be: said in French, nothing written, every box kept as typed.
void TestHistory::receiptRefused_data() {
    QTest::addColumn<QString>("received");
    QTest::addColumn<QString>("actDate"); // typed into the act's date box; empty: as stored
    QTest::addColumn<QString>("message"); // a part of the message
    QTest::newRow("pas une date") << "31/02/2026"
                                  << ""
                                  << "n'est pas une date valide";
    QTest::newRow("texte") << "hier"
                           << ""
                           << "n'est pas une date valide";
    QTest::newRow("vide") << ""
                          << ""
                          << "n'est pas une date valide";
    QTest::newRow("demain") << dayText(today() + 1) << ""
                            << "postérieure à aujourd'hui";
    QTest::newRow("avant l'acte") << dayText(today() - 11) << ""
                                  << "précède la date de l'acte";
    QTest::newRow("avant la date d'acte corrigée")
        << dayText(today() - 5) << dayText(today() - 2) << "précède la date de l'acte (" + dayText(today() - 2) + ")";
}

void TestHistory::receiptRefused() {
    QFETCH(QString, received);
    QFETCH(QString, actDate);
    QFETCH(QString, message);
    TempClinic clinic;
    const qint64 act = paidAct(clinic);
    Window w(clinic);
    w.find("DUP");
    w.edit("TxtNom")->setText(QStringLiteral("DUPONT-MOREL"));
    if (!actDate.isEmpty())
        w.edit("TxtDate")->setText(actDate);
    w.edit("TxtPSecu")->setText(QStringLiteral("150"));
    w.edit("TxtRecuLe")->setText(received);
    w.mode()->setCurrentText(QStringLiteral("Chèque"));
    w.save();
    QCOMPARE(Dialogs::shownTexts().size(), 2);
    QVERIFY2(Dialogs::lastText().contains(message), qPrintable(Dialogs::lastText()));
    QVERIFY(Dialogs::lastText().contains(QStringLiteral("Rien n'a été enregistré")));
    // Nothing written: neither the act nor its journal.
    QCOMPARE(clinic.scalar(QStringLiteral("SELECT Nom FROM ACTES WHERE NUMINT = %1").arg(act)).toString(),
             QStringLiteral("DUPONT"));
    QCOMPARE(clinic.scalar(QStringLiteral("SELECT PAYESECU FROM ACTES WHERE NUMINT = %1").arg(act)).toLongLong(),
             units("100"));
    QVERIFY(entriesOf(clinic, act).empty());
    // The typing is kept, the day's box focused to be corrected.
    QCOMPARE(w.edit("TxtNom")->text(), QStringLiteral("DUPONT-MOREL"));
    QCOMPARE(w.edit("TxtPSecu")->text(), QStringLiteral("150"));
    QCOMPARE(w.edit("TxtRecuLe")->text(), received);
    QCOMPARE(w.mode()->currentText(), QStringLiteral("Chèque"));
    QVERIFY(!child<QLabel>(w.form.get(), "LblNonEnregistre")->isHidden());
    // Corrected, the same save goes through.
    Dialogs::clearShown();
    w.edit("TxtRecuLe")->setText(dayText(today()));
    w.save();
    QCOMPARE(Dialogs::lastText(), QStringLiteral("Fiche modifiée"));
    QCOMPARE(paymentLines(entriesOf(clinic, act)),
             QStringList{QStringLiteral("secu:%1:%2:cheque").arg(units("50")).arg(dayText(today()))});
}

// Another act shown: its payments are received today by transfer until told otherwise; the
// same act shown again keeps what was chosen.
void TestHistory::receiptBackToTodayForAnotherAct() {
    TempClinic clinic;
    paidAct(clinic, "DUPONT");
    paidAct(clinic, "MARTIN");
    Window w(clinic);
    w.find("DUP");
    w.edit("TxtRecuLe")->setText(dayText(today() - 2));
    w.mode()->setCurrentText(QStringLiteral("Espèces"));
    w.click("Command4");
    QCOMPARE(w.edit("TxtNom")->text(), QStringLiteral("MARTIN"));
    QCOMPARE(w.edit("TxtRecuLe")->text(), dayText(today()));
    QCOMPARE(w.mode()->currentText(), QStringLiteral("Virement"));
    QCOMPARE(w.mode()->count(), 5);
    QStringList modes;
    for (int i = 0; i < w.mode()->count(); ++i)
        modes << w.mode()->itemText(i);
    QCOMPARE(modes, (QStringList{"Virement", "Chèque", "Espèces", "Carte bancaire", "Autre"}));
}

// The sum paid over is journaled from the practitioner who performed the act to the colleague,
// on the day typed and by the mode chosen.
void TestHistory::reversalPaidWithItsMode() {
    obs::test::ClinicWithRates clinic;
    const qint64 act = clinic.addAct({{"Nom", "DUPONT"},
                                      {"Date", today() - 30},
                                      {"MEDSUIT", "Dr MARTIN"},
                                      {"MEDACTE", "Dr DURAND"},
                                      {"PRIX", euros("300")},
                                      {"REVERSE", euros("0")}});
    obs::test::SearchScreen s(clinic);
    QCOMPARE(s.combo("CmbModeReversement")->currentText(), QStringLiteral("Virement"));
    s.pair(QStringLiteral("Dr DURAND"), QStringLiteral("Dr MARTIN"));
    s.edit("TxtDateRev")->setText(dayText(today() - 1));
    s.combo("CmbModeReversement")->setCurrentText(QStringLiteral("Chèque"));
    Dialogs::queueAnswer(true);
    s.pay(QStringLiteral("45,5"));
    QTRY_VERIFY(!s.form);
    const auto entries = entriesOf(clinic, act);
    QCOMPARE(paymentLines(entries),
             QStringList{QStringLiteral("Dr DURAND:%1:%2:cheque").arg(units("45,5")).arg(dayText(today() - 1))});
    QCOMPARE(entries.back().payee, QStringLiteral("Dr MARTIN"));
}

// The history lists the act's entries newest first, in the screen's words.
void TestHistory::historyNewestFirst() {
    TempClinic clinic;
    const qint64 act = paidAct(clinic);
    Window w(clinic);
    w.find("DUP");
    w.edit("TxtPSecu")->setText(QStringLiteral("1334,5"));
    w.edit("TxtRecuLe")->setText(dayText(today() - 1));
    w.save();
    w.edit("TxtNom")->setText(QStringLiteral("DURAND"));
    w.edit("TxtEuros")->setText(QStringLiteral("310"));
    w.save();
    // Each save starts the day and the mode afresh: a payment of another day is dated anew.
    w.edit("TxtPSecu")->setText(QStringLiteral("1300"));
    w.edit("TxtRecuLe")->setText(dayText(today() - 1));
    w.mode()->setCurrentText(QStringLiteral("Autre"));
    w.save();

    w.click("CmdHistorique");
    auto* history = qobject_cast<HistoryWindow*>(obs::test::topLevel(QStringLiteral("FrmHistorique")));
    QVERIFY(history);
    QCOMPARE(history->windowTitle(), QStringLiteral("Historique de la fiche"));
    auto* list = child<QTableWidget>(history, "LstHistorique");
    QCOMPARE(list->rowCount(), 3);
    const auto what = [&](int row) { return list->item(row, 3)->text(); };
    QCOMPARE(what(0), QStringLiteral("Paiement Sécu : -34,50\u00A0€, reçu le %1, Autre").arg(dayText(today() - 1)));
    QCOMPARE(what(1), QStringLiteral("Modification : Nom : DUPONT → DURAND ; Montant : 300,00\u00A0€ → "
                                     "310,00\u00A0€"));
    QCOMPARE(what(2),
             QStringLiteral("Paiement Sécu : 1\u202F234,50\u00A0€, reçu le %1, Virement").arg(dayText(today() - 1)));
    // When, where and who, as written.
    const auto entries = entriesOf(clinic, act);
    QCOMPARE(list->item(0, 0)->text(), journalWrittenText(entries.back().writtenAt));
    QVERIFY(QDateTime::fromString(list->item(0, 0)->text(), QStringLiteral("dd/MM/yyyy HH:mm")).isValid());
    QCOMPARE(list->item(0, 1)->text(), journalWorkstation());
    QCOMPARE(list->item(0, 2)->text(), entries.back().user);
    QVERIFY(child<QLabel>(history, "LblFiche")->text().contains(QStringLiteral("DURAND Anne")));
    child<QPushButton>(history, "CmdFermer")->click();
    QTRY_VERIFY(!obs::test::topLevel(QStringLiteral("FrmHistorique")));
}

// Open beside the main window, the history takes in what the next save writes.
void TestHistory::historyFollowsSaves() {
    TempClinic clinic;
    paidAct(clinic);
    Window w(clinic);
    w.find("DUP");
    w.click("CmdHistorique");
    auto* history = obs::test::topLevel(QStringLiteral("FrmHistorique"));
    QVERIFY(history);
    auto* list = child<QTableWidget>(history, "LstHistorique");
    QCOMPARE(list->rowCount(), 0);
    QCOMPARE(child<QLabel>(history, "LblNombre")->text(), QStringLiteral("Aucune écriture pour cette fiche."));
    w.edit("TxtPDE")->setText(QStringLiteral("50"));
    w.mode()->setCurrentText(QStringLiteral("Espèces"));
    w.save();
    QCOMPARE(list->rowCount(), 1);
    QCOMPARE(list->item(0, 3)->text(),
             QStringLiteral("Paiement Patiente : 50,00\u00A0€, reçu le %1, Espèces").arg(dayText(today())));
    // Deleted, the act's history says so and keeps everything it held.
    Dialogs::queueAnswer(true);
    w.click("CmdSup");
    QCOMPARE(list->rowCount(), 2);
    QVERIFY(list->item(0, 3)->text().startsWith(QStringLiteral("Suppression : Nom : DUPONT ; Prénom : Anne")));
    QVERIFY(child<QLabel>(history, "LblFiche")->text().contains(QStringLiteral("supprimée")));
    history->close();
}

void TestHistory::historyWithNothingShown() {
    TempClinic clinic;
    paidAct(clinic);
    Window w(clinic);
    w.click("CmdHistorique");
    QCOMPARE(Dialogs::shownTexts(), QStringList{QStringLiteral("Selectionnez un nom au préalable.")});
    QVERIFY(!obs::test::topLevel(QStringLiteral("FrmHistorique")));
}

// One entry of each kind, as the history and `journal show` word it.
void TestHistory::journalWords_data() {
    QTest::addColumn<JournalEntry>("entry");
    QTest::addColumn<QString>("history");
    QTest::addColumn<QString>("show"); // after number, time, workstation and user
    JournalEntry base;
    base.number = 7;
    base.writtenAt = QStringLiteral("2026-12-08T09:15:02.123Z");
    base.act = 12;
    base.workstation = QStringLiteral("accueil");
    base.user = QStringLiteral("marie");

    JournalEntry paid = base;
    paid.kind = JournalKind::Payment;
    paid.receivedOn = dayNumberOf(QDate(2026, 12, 5));
    paid.payer = QStringLiteral("complementaire");
    paid.mode = PaymentMode::Cheque;
    paid.amount = Money::fromEuros(10);
    QTest::newRow("paiement") << paid << "Paiement Complémentaire : 10,00\u00A0€, reçu le 05/12/2026, Chèque"
                              << "Paiement\treçu le 05/12/2026\tComplémentaire\tChèque\t10,00 €";

    JournalEntry lowered = paid;
    lowered.payer = QStringLiteral("secu");
    lowered.mode = PaymentMode::Transfer;
    lowered.amount = Money::parse(QStringLiteral("-1234,5"));
    QTest::newRow("correction") << lowered << "Paiement Sécu : -1\u202F234,50\u00A0€, reçu le 05/12/2026, Virement"
                                << "Paiement\treçu le 05/12/2026\tSécu\tVirement\t-1 234,50 €";

    JournalEntry reversal = paid;
    reversal.kind = JournalKind::ReversalPaid;
    reversal.payer = QStringLiteral("Dr DURAND");
    reversal.payee = QStringLiteral("Dr MARTIN");
    reversal.mode = PaymentMode::Card;
    reversal.amount = Money::parse(QStringLiteral("45,5"));
    QTest::newRow("reversement") << reversal
                                 << "Reversement Dr DURAND → Dr MARTIN : 45,50\u00A0€, versé le 05/12/2026, Carte "
                                    "bancaire"
                                 << "Reversement\tversé le 05/12/2026\tDr DURAND → Dr MARTIN\tCarte bancaire\t45,50 €";

    JournalEntry opening = base;
    opening.kind = JournalKind::Opening;
    opening.payer = QStringLiteral("patiente");
    opening.amount = Money::fromEuros(50);
    QTest::newRow("reprise") << opening << "Reprise Patiente : 50,00\u00A0€, antérieur au journal"
                             << "Reprise\tantérieur au journal\tPatiente\t\t50,00 €";

    JournalEntry openingReversal = opening;
    openingReversal.payer = QStringLiteral("Dr DURAND");
    openingReversal.payee = QStringLiteral("Dr MARTIN");
    QTest::newRow("reprise d'un reversement")
        << openingReversal << "Reprise Dr DURAND → Dr MARTIN : 50,00\u00A0€, antérieur au journal"
        << "Reprise\tantérieur au journal\tDr DURAND → Dr MARTIN\t\t50,00 €";

    JournalEntry changed = base;
    changed.kind = JournalKind::Modified;
    changed.changes = {{QStringLiteral("Prenom"), QStringLiteral("Anne"), std::nullopt},
                       {QStringLiteral("Date"), QString::number(dayNumberOf(QDate(2026, 11, 1))),
                        QString::number(dayNumberOf(QDate(2026, 11, 2)))},
                       {QStringLiteral("MEDACTE"), QStringLiteral("Dr DURAND"), QStringLiteral("Dr PETIT")},
                       {QStringLiteral("DE"), std::nullopt, QString::number(Money::fromEuros(80).units())}};
    QTest::newRow("modification")
        << changed
        << "Modification : Prénom : Anne → (vide) ; Date de l'acte : 01/11/2026 → 02/11/2026 ; Praticien ayant "
           "effectué l'acte : Dr DURAND → Dr PETIT ; DE : (vide) → 80,00\u00A0€"
        << "Modification\tPrénom : Anne → (vide) ; Date de l'acte : 01/11/2026 → 02/11/2026 ; Praticien ayant "
           "effectué l'acte : Dr DURAND → Dr PETIT ; DE : (vide) → 80,00 €";

    JournalEntry created = base;
    created.kind = JournalKind::Created;
    created.changes = {{QStringLiteral("Nom"), std::nullopt, QStringLiteral("DUPONT")},
                       {QStringLiteral("PRIX"), std::nullopt, QString::number(Money::parse("313,5")->units())}};
    QTest::newRow("création") << created << "Création : Nom : DUPONT ; Montant : 313,50\u00A0€"
                              << "Création\tNom : DUPONT ; Montant : 313,50 €";

    JournalEntry deleted = base;
    deleted.kind = JournalKind::Deleted;
    deleted.changes = {{QStringLiteral("Nom"), QStringLiteral("DUPONT"), std::nullopt},
                       {QStringLiteral("PAYESECU"), QString::number(Money::parse("0,0012")->units()), std::nullopt}};
    QTest::newRow("suppression") << deleted << "Suppression : Nom : DUPONT ; Payé Sécu : 0,0012\u00A0€"
                                 << "Suppression\tNom : DUPONT ; Payé Sécu : 0,0012 €";
}

void TestHistory::journalWords() {
    QFETCH(JournalEntry, entry);
    QFETCH(QString, history);
    QFETCH(QString, show);
    const HistoryLine line = historyLine(entry);
    QCOMPARE(line.what, history);
    // Written at 09:15 UTC: 10:15 in Paris in December.
    QCOMPARE(line.when, QStringLiteral("08/12/2026 10:15"));
    QCOMPARE(line.workstation, QStringLiteral("accueil"));
    QCOMPARE(line.user, QStringLiteral("marie"));
    QCOMPARE(journalShowLine(entry), QStringLiteral("n° 7\t08/12/2026 10:15:02\taccueil\tmarie\t") + show);
}

// `journal show`: the act's entries oldest first, as the history words them.
void TestHistory::journalShowCommand() {
    TempClinic clinic;
    const qint64 act = paidAct(clinic);
    paidAct(clinic, "MARTIN");
    Window w(clinic);
    w.find("DUP");
    w.edit("TxtPSecu")->setText(QStringLiteral("110"));
    w.edit("TxtRecuLe")->setText(dayText(today() - 2));
    w.save();
    w.edit("TxtPDE")->setText(QStringLiteral("50"));
    w.edit("TxtRecuLe")->setText(dayText(today() - 2));
    w.mode()->setCurrentText(QStringLiteral("Chèque"));
    w.save();
    w.edit("Text1")->clear();
    w.find("MAR"); // another act's entries are not shown
    QCOMPARE(w.edit("TxtNom")->text(), QStringLiteral("MARTIN"));
    w.edit("TxtPSecu")->setText(QStringLiteral("1"));
    w.save();

    const auto run = obs::test::runProgram(obs::test::builtProgram(QStringLiteral("obsledger-admin")),
                                           {"journal", "show", clinic.location(), "--acte", QString::number(act)});
    QVERIFY2(run.code == 0, qPrintable(run.err));
    const QStringList lines = run.out.split(u'\n', Qt::SkipEmptyParts);
    QVERIFY2(lines.size() == 2, qPrintable(run.out));
    // On a server the user is the login and its role.
    const QString start =
        QStringLiteral("\t%1\t%2\tPaiement\t").arg(journalWorkstation(), entriesOf(clinic, act).front().user);
    QVERIFY2(lines[0].contains(start), qPrintable(lines[0]));
    QVERIFY2(lines[0].endsWith(QStringLiteral("\treçu le %1\tSécu\tVirement\t10,00 €").arg(dayText(today() - 2))),
             qPrintable(lines[0]));
    QVERIFY2(lines[1].endsWith(QStringLiteral("\treçu le %1\tPatiente\tChèque\t50,00 €").arg(dayText(today() - 2))),
             qPrintable(lines[1]));
    QVERIFY(lines[0].startsWith(QStringLiteral("n° ")));
}

void TestHistory::journalShowRefusals_data() {
    QTest::addColumn<QStringList>("args"); // BASE stands for the clinic's base
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("message");
    QTest::newRow("sans --acte") << QStringList{"journal", "show", "BASE"} << 2 << "Utilisation";
    QTest::newRow("option inconnue") << QStringList{"journal", "show", "BASE", "--numero", "1"} << 2
                                     << "option inconnue";
    QTest::newRow("numéro qui n'en est pas")
        << QStringList{"journal", "show", "BASE", "--acte", "1a"} << 2 << "n'est pas un numéro d'acte";
    QTest::newRow("base inconnue") << QStringList{"journal", "show", "/nulle/part/OBSLEDGER.mdb", "--acte", "1"} << 2
                                   << "introuvable";
    QTest::newRow("acte sans écriture") << QStringList{"journal", "show", "BASE", "--acte", "999"} << 1
                                        << "Aucune écriture pour l'acte n° 999";
}

void TestHistory::journalShowRefusals() {
    QFETCH(QStringList, args);
    QFETCH(int, code);
    QFETCH(QString, message);
    TempClinic clinic;
    args.replaceInStrings(QStringLiteral("BASE"), clinic.location());
    const auto run = obs::test::runProgram(obs::test::builtProgram(QStringLiteral("obsledger-admin")), args);
    QCOMPARE(run.code, code);
    QVERIFY(run.out.isEmpty());
    QVERIFY2(run.err.contains(message), qPrintable(run.err));
}

QTEST_MAIN(TestHistory)
#include "test_history.moc"
