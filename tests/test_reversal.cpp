// Reversals between practitioners: the rates file, the owed amount and the sums paid over.
#include "TestSupport.h"

#include "accounts/SearchWindow.h"
#include "common/DayNumber.h"
#include "common/Money.h"
#include "domain/RatesFile.h"
#include "widgets/Dialogs.h"

#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QtTest>

using namespace obs;
using obs::test::child;
using obs::test::TempClinic;

namespace {

const QString kNoRatesFile = QStringLiteral("Le Fichier taux.cmt est introuvable ou non chargé.");
const QString kNoAmount =
    QStringLiteral("Pas de montant inscrit ou date saisie selon un mode incorrect. Veuillez corriger.");
const QString kNoReversal = QStringLiteral("Pas de reversement correspondant possible.");
const QString kConfirm = QStringLiteral("Voulez vous vraiment enregistrer la somme reversée ?");
const QString kBadDate = QStringLiteral("La Date est saisie selon un mode incorrect. Veuillez corriger.");

// The performing practitioner A stands in for B, who follows the patients.
const QString kA = QStringLiteral("Dr FONTAINE");
const QString kB = QStringLiteral("Dr D'ORVAL");

void writeRates(const TempClinic& clinic, const QByteArray& content) {
    QFile f(clinic.appDir() + QStringLiteral("/taux.cmt"));
    QVERIFY(f.open(QIODevice::WriteOnly));
    QCOMPARE(f.write(content), content.size());
}

qint64 pairAct(TempClinic& clinic, QDate date, const char* prix, const QString& suit = kB, const QString& done = kA,
               const QVariant& reverse = QVariant()) {
    return clinic.addAct({{QStringLiteral("Nom"), QStringLiteral("DUPONT")},
                          {QStringLiteral("Date"), QVariant::fromValue<qint64>(dayNumberOf(date))},
                          {QStringLiteral("MEDSUIT"), suit},
                          {QStringLiteral("MEDACTE"), done},
                          {QStringLiteral("PRIX"), moneyValue(Money::parse(QString::fromUtf8(prix)))},
                          {QStringLiteral("REVERSE"), reverse}});
}

using obs::test::SearchScreen;

QVariant stored(TempClinic& clinic, const char* column, qint64 id) {
    return clinic.scalar(
        QStringLiteral("SELECT %1 FROM ACTES WHERE NUMINT=%2").arg(QString::fromLatin1(column)).arg(id));
}

} // namespace

class TestReversal : public QObject {
    Q_OBJECT
private slots:
    void ratesFileRead_data();
    void ratesFileRead();
    void ratesFileMissing();
    void ratesSaved();
    void ratesNotWritable();
    void ratesWithQuoteRefused();
    void practitionerCaptions();
    void owedAmount();
    void owedAfterPayments();
    void paymentOnLatestActAfterPeriod();
    void paymentGuards_data();
    void paymentGuards();
    void paymentAnsweredNo();
    void paymentNotStored();
    void owedRefusesBadInput_data();
    void owedRefusesBadInput();
    void owedNegative();
    void owedUnrounded_data();
    void owedUnrounded();
    void sumInFrancs();
};

void TestReversal::ratesFileRead_data() {
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("clinic");
    QTest::addColumn<QString>("practitioner");
    QTest::newRow("quoted") << QByteArray("\"10\",\"50\"\r\n") << "10"
                            << "50";
    QTest::newRow("quoted with decimal comma") << QByteArray("\"12,5\",\"40\"\r\n") << "12,5"
                                               << "40";
    QTest::newRow("unquoted") << QByteArray("10,50\r\n") << "10"
                              << "50";
    QTest::newRow("blanks before unquoted") << QByteArray("  10,   50\r\n") << "10"
                                            << "50";
    QTest::newRow("one value") << QByteArray("\"10\"\r\n") << "10"
                               << "";
    QTest::newRow("empty file") << QByteArray() << ""
                                << "";
    QTest::newRow("last pair wins") << QByteArray("\"10\",\"50\"\r\n\"8\",\"45\"\r\n") << "8"
                                    << "45";
    QTest::newRow("no line end") << QByteArray("\"7\",\"30\"") << "7"
                                 << "30";
}

void TestReversal::ratesFileRead() {
    QFETCH(QByteArray, content);
    QFETCH(QString, clinic);
    QFETCH(QString, practitioner);
    TempClinic c;
    writeRates(c, content);
    SearchScreen s(c);
    QCOMPARE(s.edit("TxtTauxClin")->text(), clinic);
    QCOMPARE(s.edit("TxtTauxPrat")->text(), practitioner);
    QVERIFY(Dialogs::shownTexts().isEmpty());
}

void TestReversal::ratesFileMissing() {
    TempClinic clinic;
    clinic.addMemo(1, kA);
    SearchScreen s(clinic);
    QCOMPARE(Dialogs::shownTexts(), QStringList{kNoRatesFile});
    QVERIFY(s.edit("TxtTauxClin")->text().isEmpty());
    QVERIFY(s.edit("TxtTauxPrat")->text().isEmpty());
    // The load goes on.
    QCOMPARE(s.edit("TxtDateRev")->text(), frenchDate(QDate::currentDate()));
    QCOMPARE(s.combo("CmbPPrat2")->count(), 1);
}

void TestReversal::ratesSaved() {
    TempClinic clinic;
    writeRates(clinic, "\"5\",\"20\"\r\n");
    SearchScreen s(clinic);
    s.edit("TxtTauxClin")->setText(QStringLiteral("10"));
    s.edit("TxtTauxPrat")->setText(QStringLiteral("50"));
    s.click("CmdModif");
    QTRY_VERIFY(!s.form);
    QFile f(clinic.appDir() + QStringLiteral("/taux.cmt"));
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), QByteArray("\"10\",\"50\"\r\n"));
    // Read back as written at the next opening.
    SearchScreen again(clinic);
    QCOMPARE(again.edit("TxtTauxClin")->text(), QStringLiteral("10"));
    QCOMPARE(again.edit("TxtTauxPrat")->text(), QStringLiteral("50"));
}

void TestReversal::ratesNotWritable() {
    TempClinic clinic;
    writeRates(clinic, "\"10\",\"50\"\r\n");
    SearchScreen s(clinic);
    // A folder in the file's place: the file cannot be replaced.
    QVERIFY(QFile::remove(clinic.appDir() + QStringLiteral("/taux.cmt")));
    QVERIFY(QDir(clinic.appDir()).mkdir(QStringLiteral("taux.cmt")));
    s.edit("TxtTauxClin")->setText(QStringLiteral("12"));
    s.click("CmdModif");
    QCOMPARE(Dialogs::shownTexts().size(), 1);
    QVERIFY(Dialogs::lastText().contains(QStringLiteral("n'ont pas été enregistrés")));
    QVERIFY(s.form); // the screen stays open
    QCOMPARE(s.edit("TxtTauxClin")->text(), QStringLiteral("12"));
    QCOMPARE(s.edit("TxtTauxPrat")->text(), QStringLiteral("50"));
}

void TestReversal::ratesWithQuoteRefused() {
    TempClinic clinic;
    writeRates(clinic, "\"10\",\"50\"\r\n");
    SearchScreen s(clinic);
    QTest::keyClicks(s.edit("TxtTauxPrat"), QStringLiteral("\"1"));
    QCOMPARE(s.edit("TxtTauxPrat")->text(), QStringLiteral("501")); // the quote key is refused
    s.edit("TxtTauxPrat")->setText(QStringLiteral("5\"0"));         // pasted
    s.click("CmdModif");
    QVERIFY(s.form);
    QCOMPARE(Dialogs::shownTexts().size(), 1);
    QFile f(clinic.appDir() + QStringLiteral("/taux.cmt"));
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), QByteArray("\"10\",\"50\"\r\n"));
    QCOMPARE(RatesFile::fromFields({"1", "2", "3"}).practitioner, QStringLiteral("2"));
}

void TestReversal::practitionerCaptions() {
    TempClinic clinic;
    writeRates(clinic, "\"10\",\"50\"\r\n");
    clinic.addMemo(1, kA);
    clinic.addMemo(1, kB);
    SearchScreen s(clinic);
    QCOMPARE(s.caption("Label9"), QString());
    QCOMPARE(child<QPushButton>(s.form, "CmdDoit")->text(), QStringLiteral("Doit"));
    s.combo("CmbPPrat2")->setCurrentIndex(s.combo("CmbPPrat2")->findText(kA));
    s.combo("CmbPPrat1")->setCurrentIndex(s.combo("CmbPPrat1")->findText(kB));
    QCOMPARE(s.caption("Label9"), QStringLiteral("Total des actes pratiqués par le Dr FONTAINE pour le Dr D'ORVAL"));
    QCOMPARE(s.caption("label7"), QStringLiteral("Somme dèja reversée par le Dr FONTAINE au Dr D'ORVAL"));
    QCOMPARE(child<QPushButton>(s.form, "CmdDoit")->text(), QStringLiteral("Dr FONTAINE doit au Dr D'ORVAL"));
    QCOMPARE(s.caption("Label12"), QStringLiteral("Somme reversée ce jour\r\npar le Dr FONTAINE\r\nau Dr D'ORVAL"));
    for (const char* name : {"Label9", "label7", "Label12"})
        QCOMPARE(child<QLabel>(s.form, name)->textFormat(), Qt::PlainText); // a name holding <b> stays as typed
}

void TestReversal::owedAmount() {
    TempClinic clinic;
    writeRates(clinic, "\"10\",\"50\"\r\n");
    pairAct(clinic, {2004, 1, 1}, "600");
    pairAct(clinic, {2010, 12, 31}, "400");
    pairAct(clinic, {2011, 1, 1}, "5000");        // after the period
    pairAct(clinic, {2005, 1, 1}, "700", kA, kB); // the other way round
    pairAct(clinic, {2005, 1, 1}, "800", QStringLiteral("Dr D'ORVALE"), kA);
    SearchScreen s(clinic);
    s.pair(kA, kB);
    s.click("CmdDoit");
    QCOMPARE(s.owed(), (QStringList{"1000 €", "0", "450 €", "2951,81 F"}));
    QVERIFY(Dialogs::shownTexts().isEmpty());
}

void TestReversal::owedAfterPayments() {
    TempClinic clinic;
    writeRates(clinic, "\"10\",\"50\"\r\n");
    pairAct(clinic, {2005, 1, 1}, "600");
    const qint64 latest = pairAct(clinic, {2006, 6, 1}, "400");
    pairAct(clinic, {2005, 6, 1}, "50", kB, QString()); // no performing practitioner: never paid on
    {
        SearchScreen s(clinic);
        s.pair(kA, kB);
        s.edit("TxtDateRev")->setText(QStringLiteral("02/07/2006"));
        Dialogs::queueAnswer(true);
        s.pay(QStringLiteral("100"));
        QCOMPARE(Dialogs::shownTexts(), QStringList{kConfirm});
        QTRY_VERIFY(!s.form);
    }
    QCOMPARE(stored(clinic, "REVERSE", latest).toLongLong(), Money::fromEuros(100).units());
    QCOMPARE(stored(clinic, "DateRev", latest).toLongLong(), dayNumberOf({2006, 7, 2}));
    {
        SearchScreen s(clinic);
        s.pair(kA, kB);
        s.click("CmdDoit");
        QCOMPARE(s.owed(), (QStringList{"1000 €", "100 €", "350 €", "2295,85 F"}));
        // A second payment on the same act adds to the first.
        s.edit("TxtDateRev")->setText(QStringLiteral("03/08/2006"));
        Dialogs::queueAnswer(true);
        s.pay(QStringLiteral("50"));
        QTRY_VERIFY(!s.form);
    }
    QCOMPARE(stored(clinic, "REVERSE", latest).toLongLong(), Money::fromEuros(150).units());
    QCOMPARE(stored(clinic, "DateRev", latest).toLongLong(), dayNumberOf({2006, 8, 3}));
    SearchScreen s(clinic);
    s.pair(kA, kB);
    s.click("CmdDoit");
    QCOMPARE(s.owed(), (QStringList{"1000 €", "150 €", "300 €", "1967,87 F"}));
    QCOMPARE(clinic.scalar(QStringLiteral("SELECT count(*) FROM ACTES WHERE REVERSE IS NOT NULL")).toInt(), 1);
}

void TestReversal::paymentOnLatestActAfterPeriod() {
    TempClinic clinic;
    writeRates(clinic, "\"10\",\"50\"\r\n");
    pairAct(clinic, {2005, 1, 1}, "1000");
    const qint64 later = pairAct(clinic, {2011, 3, 1}, "200", kB, kA, moneyValue(Money::fromEuros(20)));
    SearchScreen s(clinic);
    s.pair(kA, kB);
    Dialogs::queueAnswer(true);
    s.pay(QStringLiteral("100,5"));
    QTRY_VERIFY(!s.form);
    QCOMPARE(stored(clinic, "REVERSE", later).toLongLong(), Money::parse(QStringLiteral("120,5"))->units());
    SearchScreen again(clinic);
    again.pair(kA, kB);
    again.click("CmdDoit");
    QCOMPARE(again.owed(), (QStringList{"1000 €", "0", "450 €", "2951,81 F"}));
}

void TestReversal::paymentGuards_data() {
    QTest::addColumn<QString>("performer");
    QTest::addColumn<QString>("followUp");
    QTest::addColumn<QString>("date");
    QTest::addColumn<QString>("sum");
    QTest::addColumn<QString>("message"); // the whole message, or a part of it after "~"
    QTest::newRow("empty sum") << kA << kB << "01/02/2006"
                               << "" << kNoAmount;
    QTest::newRow("invalid date") << kA << kB << "30/02/2006"
                                  << "100" << kNoAmount;
    QTest::newRow("sum not a number") << kA << kB << "01/02/2006"
                                      << "1,2,3"
                                      << "~n'est pas un montant valide";
    QTest::newRow("sum only a comma") << kA << kB << "01/02/2006"
                                      << ","
                                      << "~n'est pas un montant valide";
    QTest::newRow("performer empty") << "" << kB << "01/02/2006"
                                     << "100"
                                     << "~Choisissez les deux praticiens";
    QTest::newRow("follow-up empty") << kA << ""
                                     << "01/02/2006"
                                     << "100"
                                     << "~Choisissez les deux praticiens";
    QTest::newRow("wildcard *") << "Dr F*" << kB << "01/02/2006"
                                << "100"
                                << "~Choisissez les deux praticiens";
    QTest::newRow("wildcard ?") << kA << "Dr D'ORVA?"
                                << "01/02/2006"
                                << "100"
                                << "~Choisissez les deux praticiens";
    QTest::newRow("no act for the pair") << kB << kA << "01/02/2006"
                                         << "100" << kNoReversal;
    QTest::newRow("unknown name with quote") << "x') OR ('1'='1" << kB << "01/02/2006"
                                             << "100" << kNoReversal;
}

void TestReversal::paymentGuards() {
    QFETCH(QString, performer);
    QFETCH(QString, followUp);
    QFETCH(QString, date);
    QFETCH(QString, sum);
    QFETCH(QString, message);
    TempClinic clinic;
    writeRates(clinic, "\"10\",\"50\"\r\n");
    pairAct(clinic, {2005, 1, 1}, "1000");
    pairAct(clinic, {2005, 2, 1}, "1000", QString(), QString());
    SearchScreen s(clinic);
    s.pair(performer, followUp);
    s.edit("TxtDateRev")->setText(date);
    Dialogs::queueAnswer(true);
    s.pay(sum);
    const QStringList shown = Dialogs::shownTexts();
    QCOMPARE(shown.size(), 1);
    if (message.startsWith(u'~'))
        QVERIFY2(shown.first().contains(message.mid(1)), qPrintable(shown.first()));
    else
        QCOMPARE(shown.first(), message);
    QVERIFY(s.form);
    QCOMPARE(
        clinic.scalar(QStringLiteral("SELECT count(*) FROM ACTES WHERE REVERSE IS NOT NULL OR DateRev IS NOT NULL"))
            .toInt(),
        0);
}

void TestReversal::paymentAnsweredNo() {
    TempClinic clinic;
    writeRates(clinic, "\"10\",\"50\"\r\n");
    pairAct(clinic, {2005, 1, 1}, "1000");
    SearchScreen s(clinic);
    s.pair(kA, kB);
    Dialogs::queueAnswer(false);
    s.pay(QStringLiteral("100"));
    QCOMPARE(Dialogs::shownTexts(), QStringList{kConfirm});
    QCOMPARE(Dialogs::shown().first().defaultAnswer, Dialogs::Default::Yes); // the save asked for
    QVERIFY(s.form);
    QCOMPARE(s.edit("TxtSommeRev")->text(), QStringLiteral("100"));
    QVERIFY(clinic.scalar(QStringLiteral("SELECT REVERSE FROM ACTES")).isNull());
}

void TestReversal::paymentNotStored() {
    TempClinic clinic;
    writeRates(clinic, "\"10\",\"50\"\r\n");
    const qint64 id = pairAct(clinic, {2005, 1, 1}, "1000");
    SearchScreen s(clinic);
    s.pair(kA, kB);
    // Another workstation is writing: the payment cannot be stored.
    QVERIFY(clinic.db().executeRaw(QStringLiteral("BEGIN IMMEDIATE")));
    Dialogs::queueAnswer(true);
    s.pay(QStringLiteral("100"));
    QVERIFY(clinic.db().executeRaw(QStringLiteral("ROLLBACK")));
    QCOMPARE(Dialogs::shownTexts().size(), 2);
    QVERIFY(Dialogs::lastText().startsWith(QStringLiteral("La somme reversée n'a pas été enregistrée.")));
    QVERIFY(s.form);
    QVERIFY(stored(clinic, "REVERSE", id).isNull());
}

void TestReversal::owedRefusesBadInput_data() {
    QTest::addColumn<QString>("from");
    QTest::addColumn<QString>("clinicRate");
    QTest::addColumn<QString>("message");
    QTest::newRow("invalid period date") << "32/01/2004"
                                         << "10" << kBadDate;
    QTest::newRow("rate not a number") << "01/01/2004"
                                       << "dix"
                                       << "~n'est pas un nombre";
    QTest::newRow("rate empty") << "01/01/2004"
                                << ""
                                << "~n'est pas un nombre";
}

void TestReversal::owedRefusesBadInput() {
    QFETCH(QString, from);
    QFETCH(QString, clinicRate);
    QFETCH(QString, message);
    TempClinic clinic;
    writeRates(clinic, "\"10\",\"50\"\r\n");
    pairAct(clinic, {2005, 1, 1}, "1000");
    SearchScreen s(clinic);
    s.pair(kA, kB);
    s.click("CmdDoit");
    const QStringList before = s.owed();
    QCOMPARE(before.at(2), QStringLiteral("450 €"));
    pairAct(clinic, {2005, 1, 2}, "1000");
    s.edit("TxtDate3")->setText(from);
    s.edit("TxtTauxClin")->setText(clinicRate);
    s.click("CmdDoit");
    QCOMPARE(Dialogs::shownTexts().size(), 1);
    if (message.startsWith(u'~'))
        QVERIFY2(Dialogs::lastText().contains(message.mid(1)), qPrintable(Dialogs::lastText()));
    else
        QCOMPARE(Dialogs::lastText(), message);
    QCOMPARE(s.owed(), before);
}

void TestReversal::owedNegative() {
    TempClinic clinic;
    writeRates(clinic, "\"10\",\"50\"\r\n");
    pairAct(clinic, {2005, 1, 1}, "100", kB, kA, moneyValue(Money::fromEuros(60)));
    SearchScreen s(clinic);
    s.pair(kA, kB);
    s.click("CmdDoit");
    QCOMPARE(s.owed(), (QStringList{"100 €", "60 €", "-15 €", "-98,39 F"}));
}

void TestReversal::owedUnrounded_data() {
    QTest::addColumn<QString>("prix");
    QTest::addColumn<QString>("paid");
    QTest::addColumn<QString>("clinicRate");
    QTest::addColumn<QString>("practitionerRate");
    QTest::addColumn<QStringList>("shown");
    QTest::newRow("clinic share with five decimals")
        << "333,33"
        << ""
        << "12,5"
        << "50" << QStringList{"333,33 €", "0", "145,831875 €", "956,59 F"};
    QTest::newRow("shares with seven decimals, already paid")
        << "100,01"
        << "12,34"
        << "33,33"
        << "40" << QStringList{"100,01 €", "12,34 €", "14,3306668 €", "94 F"};
}

// The owed amount is shown as computed, every decimal kept; the francs come from that amount.
void TestReversal::owedUnrounded() {
    QFETCH(QString, prix);
    QFETCH(QString, paid);
    QFETCH(QString, clinicRate);
    QFETCH(QString, practitionerRate);
    QFETCH(QStringList, shown);
    TempClinic clinic;
    writeRates(clinic, "\"10\",\"50\"\r\n");
    pairAct(clinic, {2005, 1, 1}, prix.toUtf8().constData(), kB, kA,
            paid.isEmpty() ? QVariant() : moneyValue(Money::parse(paid)));
    SearchScreen s(clinic);
    s.pair(kA, kB);
    s.edit("TxtTauxClin")->setText(clinicRate);
    s.edit("TxtTauxPrat")->setText(practitionerRate);
    s.click("CmdDoit");
    QCOMPARE(s.owed(), shown);
}

void TestReversal::sumInFrancs() {
    TempClinic clinic;
    writeRates(clinic, "\"10\",\"50\"\r\n");
    SearchScreen s(clinic);
    QLineEdit* sum = s.edit("TxtSommeRev");
    QTest::keyClicks(sum, QStringLiteral("12.5"));
    QCOMPARE(sum->text(), QStringLiteral("12,5"));
    QCOMPARE(s.caption("LblSommeRev"), QStringLiteral("81,99 F"));
    QTest::keyClicks(sum, QStringLiteral("ab-"));
    QCOMPARE(sum->text(), QStringLiteral("12,5"));
    QTest::keyClicks(sum, QStringLiteral(","));
    QCOMPARE(sum->text(), QStringLiteral("12,5,"));
    QCOMPARE(s.caption("LblSommeRev"), QStringLiteral("81,99 F")); // not a number: the caption stays
}

QTEST_MAIN(TestReversal)
#include "test_reversal.moc"
