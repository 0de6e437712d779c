// SPDX-License-Identifier: GPL-3.0-or-later
// A practitioner's tax year: the figures against the receipts book, the accountant's file (FEC) and
// the yearly statement of the same year, the command line, and the window.
#include "TestSupport.h"

#include "accounts/SearchWindow.h"
#include "accounts/TaxYearWindow.h"
#include "common/DayNumber.h"
#include "common/Settings.h"
#include "domain/FecFile.h"
#include "domain/ReceiptsSheet.h"
#include "domain/TaxYear.h"
#include "store/Store.h"

#include <QAction>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QLabel>
#include <QPrinter>
#include <QProcess>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QtTest>

using namespace obs;
using obs::test::child;
using obs::test::JournaledClinic;

namespace {

const QString kLeger = QStringLiteral("Dr Léger");
const QString kOrval = QStringLiteral("Dr D'ORVAL");
const QString kStandIn = QStringLiteral("Dr Remplaçante");

qint64 day(int y, int m, int d) {
    return dayNumberOf(QDate(y, m, d));
}

// A clinic whose register was moved in at the end of 2024 (one act paid then, before the journal),
// then a year of work: payments with a correction, sums paid over by Léger to D'Orval (above the
// threshold after a correction) and to a stand-in who performs nothing (exactly at the threshold),
// and by D'Orval to Léger. The acts' numbers by patient surname.
QHash<QString, qint64> seed(obs::test::TempClinic& clinic) {
    {
        JournaledClinic c(clinic.location());
        for (const QString& p : {kLeger, kOrval, kStandIn, QStringLiteral("Dr MARTIN")})
            c.practitioner(p);
        c.act(QStringLiteral("ANCIEN"), QStringLiteral("Anne"), day(2024, 11, 5), kLeger, kLeger);
    }
    clinic.execute(QStringLiteral("UPDATE ACTES SET PAYESECU = 1000000"));
    clinic.execute(QStringLiteral("DROP TABLE JOURNAL"));
    clinic.execute(QStringLiteral("DROP TABLE JOURNAL_TETE"));
    JournaledClinic c(clinic.location());
    qint64 opened = 0;
    JournaledClinic::check(c.store->journal().create(&opened), "create");
    c.acts[QStringLiteral("ANCIEN")] = clinic.scalar(QStringLiteral("SELECT NUMINT FROM ACTES")).toLongLong();
    // Paid the year before, the rest in 2025.
    c.pay(QStringLiteral("ANCIEN"), Payer::Patient, "20", day(2025, 1, 3), PaymentMode::Cash);

    c.act(QStringLiteral("DUPONT"), QStringLiteral("Marie"), day(2025, 1, 10), kLeger, kOrval);
    c.pay(QStringLiteral("DUPONT"), Payer::Secu, "1500", day(2025, 1, 20), PaymentMode::Transfer);
    c.pay(QStringLiteral("DUPONT"), Payer::Secu, "-0,01", day(2025, 1, 21), PaymentMode::Transfer);
    c.reverse(QStringLiteral("DUPONT"), "700", day(2025, 2, 1), PaymentMode::Transfer);
    c.act(QStringLiteral("MARTIN"), QStringLiteral("Léa"), day(2025, 3, 1), kLeger, kOrval);
    c.pay(QStringLiteral("MARTIN"), Payer::Complementary, "900,50", day(2025, 3, 5), PaymentMode::Cheque);
    c.reverse(QStringLiteral("MARTIN"), "600,99", day(2025, 3, 10), PaymentMode::Cheque);
    c.reverse(QStringLiteral("MARTIN"), "-100", day(2025, 3, 11), PaymentMode::Cheque);
    c.act(QStringLiteral("GARDE"), QStringLiteral("Inès"), day(2025, 7, 14), kLeger, kStandIn);
    c.pay(QStringLiteral("GARDE"), Payer::Secu, "1300", day(2025, 7, 20), PaymentMode::Transfer);
    c.reverse(QStringLiteral("GARDE"), "1000", day(2025, 8, 1), PaymentMode::Transfer);
    c.reverse(QStringLiteral("GARDE"), "200", day(2025, 12, 31), PaymentMode::Cash);
    c.act(QStringLiteral("CŒUR"), QStringLiteral("Anaïs"), day(2025, 4, 1), kOrval, kLeger);
    c.pay(QStringLiteral("CŒUR"), Payer::Secu, "400", day(2025, 4, 2), PaymentMode::Card);
    c.reverse(QStringLiteral("CŒUR"), "150,25", day(2025, 4, 15), PaymentMode::Transfer);
    // Received in the next year: not in 2025.
    c.pay(QStringLiteral("CŒUR"), Payer::Patient, "30", day(2026, 1, 2), PaymentMode::Cash);
    return c.acts;
}

TaxYear taxYearOf(Store& store, const QString& practitioner, int year) {
    TaxYear t;
    JournaledClinic::check(TaxYear::read(store, practitioner, year, Settings::reversalThreshold(), &t), "taxYear");
    return t;
}

QStringList colleagues(const std::vector<TaxYear::Colleague>& list) {
    QStringList out;
    for (const TaxYear::Colleague& c : list)
        out << TaxYear::colleagueText(c);
    return out;
}

// Cents of a FEC amount ("1234,50").
qint64 cents(const QString& text) {
    QString t = text;
    t.remove(u',');
    return t.toLongLong();
}

qint64 centsOf(Money m) {
    return divideHalfEven(m.units(), 100);
}

} // namespace

class TestAnneeFiscale : public QObject {
    Q_OBJECT
private slots:
    void figures_data();
    void figures();
    void anchorFollowsTheJournal();
    void thresholdIsASetting_data();
    void thresholdIsASetting();
    void commandLine_data();
    void commandLine();
    void openedFromSearchMenu();
    void windowShowsCopiesAndPrints();
};

void TestAnneeFiscale::figures_data() {
    QTest::addColumn<QString>("practitioner");
    QTest::addColumn<int>("year");
    QTest::addColumn<QString>("received");
    QTest::addColumn<QString>("paidOver");
    QTest::addColumn<QString>("net");
    QTest::addColumn<QStringList>("toDeclare");
    QTest::addColumn<QStringList>("under");
    QTest::addColumn<bool>("beforeJournal");
    // 20 + 1 500 - 0,01 + 900,50 + 1 300 + 150,25 received; 700 + 600,99 - 100 to D'Orval and
    // 1 000 + 200 to the stand-in paid over.
    QTest::newRow("Léger 2025, corrections and both directions")
        << kLeger << 2025 << "3 870,74 €"
        << "2 400,99 €"
        << "1 469,75 €" << QStringList{"Dr D'ORVAL : 1 200,99 € (2 versements)"}
        << QStringList{"Dr Remplaçante : 1 200,00 € (2 versements)"} << false;
    QTest::newRow("D'Orval 2025, paid over to and paying over")
        << kOrval << 2025 << "1 600,99 €"
        << "150,25 €"
        << "1 450,74 €" << QStringList{} << QStringList{"Dr Léger : 150,25 € (1 versement)"} << false;
    QTest::newRow("stand-in, only ever paid over to") << kStandIn << 2025 << "1 200,00 €"
                                                      << "0,00 €"
                                                      << "1 200,00 €" << QStringList{} << QStringList{} << false;
    QTest::newRow("Léger 2024, before the journal: said, not counted")
        << kLeger << 2024 << "0,00 €"
        << "0,00 €"
        << "0,00 €" << QStringList{} << QStringList{} << true;
    QTest::newRow("nobody's year") << QStringLiteral("Dr MARTIN") << 2025 << "0,00 €"
                                   << "0,00 €"
                                   << "0,00 €" << QStringList{} << QStringList{} << false;
}

// The figures, and the same year's book, FEC and yearly statement agreeing with them to the cent.
void TestAnneeFiscale::figures() {
    QFETCH(QString, practitioner);
    QFETCH(int, year);
    QFETCH(QString, received);
    QFETCH(QString, paidOver);
    QFETCH(QString, net);
    QFETCH(QStringList, toDeclare);
    QFETCH(QStringList, under);
    QFETCH(bool, beforeJournal);
    obs::test::TempClinic clinic;
    seed(clinic);
    JournaledClinic c(clinic.location());
    const TaxYear t = taxYearOf(*c.store, practitioner, year);
    QCOMPARE(ReceiptsSheet::euroText(t.received()), received);
    QCOMPARE(ReceiptsSheet::euroText(t.paidOver()), paidOver);
    QCOMPARE(ReceiptsSheet::euroText(t.net()), net);
    QCOMPARE(colleagues(t.toDeclare()), toDeclare);
    QCOMPARE(colleagues(t.underThreshold()), under);
    QCOMPARE(t.beforeJournalText().isEmpty(), !beforeJournal);
    QVERIFY(!t.closed());
    QVERIFY(t.lines().contains(QStringLiteral("Montant net des recettes : ") + net));

    // The receipts book of the same year.
    const ReceiptsSheet book(c.book(practitioner, day(year, 1, 1), day(year, 12, 31)), false);
    QCOMPARE(book.total(), t.received());
    QCOMPARE(book.outgoingTotal(), t.paidOver());
    qint64 byMode = 0;
    for (const auto& m : t.receivedByMode())
        byMode += m.amount.units();
    QCOMPARE(byMode, t.received().units());

    // The accountant's file: fees and sums received credited, sums paid over debited.
    FecFile::Request r;
    r.practitioner = practitioner;
    r.year = year;
    r.siren = QStringLiteral("123456782");
    r.accounts = Settings::ledgerAccounts();
    QString path, message;
    QCOMPARE(FecFile::write(*c.store, r, clinic.dir(), &path, &message), FecFile::Outcome::Written);
    QFile fec(path);
    QVERIFY(fec.open(QIODevice::ReadOnly));
    QHash<QString, qint64> balance;
    const QList<QByteArray> rows = fec.readAll().split('\n');
    for (qsizetype i = 1; i < rows.size(); ++i) {
        const QList<QByteArray> f = rows[i].trimmed().split('\t');
        if (f.size() == 22)
            balance[QString::fromLatin1(f[4])] += cents(QString::fromLatin1(f[11])) - cents(QString::fromLatin1(f[12]));
    }
    QCOMPARE(-balance.value(QStringLiteral("706000")), centsOf(t.fees()));
    QCOMPARE(-balance.value(QStringLiteral("706100")), centsOf(t.reversalsReceived()));
    QCOMPARE(balance.value(QStringLiteral("622600")), centsOf(t.paidOver()));
    QCOMPARE(balance.value(QStringLiteral("512000")) + balance.value(QStringLiteral("530000")), centsOf(t.net()));

    // The yearly statement's received columns, by date of receipt, add up to the fees.
    YearStatement statement;
    receivedByReceiptDate(book.book(), &statement);
    qint64 stated = 0;
    for (const StatementFigures& m : statement.months)
        for (const auto& v : {m.paidSecu, m.paidComplementary, m.paidExcess})
            stated += v.value_or(Money()).units();
    QCOMPARE(stated, t.fees().units());
}

// The figures name the journal's head they were read at; a payment moves it.
void TestAnneeFiscale::anchorFollowsTheJournal() {
    obs::test::TempClinic clinic;
    const auto acts = seed(clinic);
    JournaledClinic c(clinic.location());
    c.acts = acts;
    const TaxYear before = taxYearOf(*c.store, kLeger, 2025);
    QCOMPARE(before.anchor().number, clinic.scalar(QStringLiteral("SELECT NUMJ FROM JOURNAL_TETE")).toLongLong());
    QCOMPARE(before.anchor().hash, clinic.scalar(QStringLiteral("SELECT HASH FROM JOURNAL_TETE")).toString());
    QCOMPARE(before.anchor().hash.size(), 64);
    QVERIFY(before.anchorText().contains(before.anchor().hash));
    QCOMPARE(before.closingText(), QStringLiteral("non clos"));
    c.pay(QStringLiteral("DUPONT"), Payer::Patient, "10", day(2025, 6, 1), PaymentMode::Cash);
    const TaxYear after = taxYearOf(*c.store, kLeger, 2025);
    QCOMPARE(after.anchor().number, before.anchor().number + 1);
    QVERIFY(after.anchor().hash != before.anchor().hash);
    QCOMPARE(after.received().units() - before.received().units(), Money::fromEuros(10).units());
}

void TestAnneeFiscale::thresholdIsASetting_data() {
    QTest::addColumn<QString>("setting");
    QTest::addColumn<QString>("threshold");
    QTest::addColumn<int>("declared"); // Léger's colleagues to declare in 2025
    QTest::addColumn<bool>("refused");
    QTest::newRow("unset: 1 200") << QString() << "1 200,00 €" << 1 << false;
    QTest::newRow("lower") << QStringLiteral("1000") << "1 000,00 €" << 2 << false;
    QTest::newRow("with cents and spaces") << QStringLiteral("1 200,98 €") << "1 200,98 €" << 1 << false;
    QTest::newRow("just above D'Orval") << QStringLiteral("1200,99") << "1 200,99 €" << 0 << false;
    QTest::newRow("not an amount") << QStringLiteral("mille") << "1 200,00 €" << 1 << true;
    QTest::newRow("negative") << QStringLiteral("-5") << "1 200,00 €" << 1 << true;
}

void TestAnneeFiscale::thresholdIsASetting() {
    QFETCH(QString, setting);
    QFETCH(QString, threshold);
    QFETCH(int, declared);
    QFETCH(bool, refused);
    obs::test::TempClinic clinic;
    seed(clinic);
    QVERIFY(Settings::setValue(kSettingsApp, kSettingsSection, QStringLiteral("SEUIL_RETROCESSIONS"),
                               setting.isEmpty() ? QString() : setting));
    QString problem;
    QCOMPARE(ReceiptsSheet::euroText(Settings::reversalThreshold(&problem)), threshold);
    QCOMPARE(problem.contains(QStringLiteral("SEUIL_RETROCESSIONS")), refused);
    JournaledClinic c(clinic.location());
    const TaxYear t = taxYearOf(*c.store, kLeger, 2025);
    QCOMPARE(int(t.toDeclare().size()), declared);
    QCOMPARE(int(t.toDeclare().size() + t.underThreshold().size()), 2);
}

void TestAnneeFiscale::commandLine_data() {
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("expected"); // on the output when it works, else on the errors
    QTest::newRow("text") << QStringList{"--praticien", kLeger, "--exercice", "2025"} << 0
                          << "Montant net des recettes : 1 469,75 €";
    QTest::newRow("csv") << QStringList{"--praticien", kLeger, "--exercice", "2025", "--csv"} << 0
                         << "Rétrocessions à déclarer;Dr D'ORVAL;2;1200,99";
    QTest::newRow("unknown practitioner") << QStringList{"--praticien", "Dr Personne", "--exercice", "2025"} << 2
                                          << "n'est pas dans la liste des praticiens";
    QTest::newRow("year not a year") << QStringList{"--praticien", kLeger, "--exercice", "20x5"} << 2
                                     << "n'est pas une année";
    QTest::newRow("no practitioner") << QStringList{"--exercice", "2025"} << 2 << "praticien manque";
    QTest::newRow("unknown option") << QStringList{"--praticien", kLeger, "--exercice", "2025", "--noms"} << 2
                                    << "Utilisation";
}

void TestAnneeFiscale::commandLine() {
    QFETCH(QStringList, options);
    QFETCH(int, code);
    QFETCH(QString, expected);
    obs::test::TempClinic clinic;
    seed(clinic);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), clinic.dir());
    const auto run = obs::test::runProgram(obs::test::builtProgram(QStringLiteral("obsledger-admin")),
                                           QStringList{"annee-fiscale", clinic.location()} + options, env);
    QCOMPARE(run.code, code);
    if (code == 0) {
        QVERIFY2(run.out.contains(expected), qPrintable(run.out));
        if (options.contains(QStringLiteral("--csv"))) {
            // As the accountant takes it: into a file, read back as a spreadsheet would.
            const QString path = QDir(clinic.dir()).filePath(QStringLiteral("annee.csv"));
            QProcess p;
            p.setProcessEnvironment(env);
            p.setStandardOutputFile(path);
            p.start(obs::test::builtProgram(QStringLiteral("obsledger-admin")),
                    QStringList{"annee-fiscale", clinic.location()} + options);
            QVERIFY(p.waitForFinished(60000));
            QCOMPARE(p.exitCode(), 0);
            QFile written(path);
            QVERIFY(written.open(QIODevice::ReadOnly));
            const auto rows = obs::test::readCsv(written.readAll());
            QVERIFY(rows.contains(QStringList{"Montant net des recettes", "Total", "", "1469,75"}));
            QVERIFY(rows.contains(QStringList{"Rétrocessions sous le seuil", kStandIn, "2", "1200,00"}));
        }
    } else {
        QVERIFY2(run.err.contains(expected), qPrintable(run.err));
        QVERIFY(run.out.isEmpty());
    }
}

void TestAnneeFiscale::openedFromSearchMenu() {
    obs::test::ClinicWithRates clinic;
    obs::test::SearchScreen screen(clinic);
    auto* entry = child<QAction>(screen.form, "MnuAnneeFiscale");
    QCOMPARE(entry->text(), QStringLiteral("Année fiscale..."));
    entry->trigger();
    auto* window = screen.form->findChild<TaxYearWindow*>(QStringLiteral("FrmAnneeFiscale"));
    QVERIFY(window);
    QTRY_VERIFY(window->isVisible());
    entry->trigger();
    QCOMPARE(screen.form->findChildren<TaxYearWindow*>().size(), 1);
}

void TestAnneeFiscale::windowShowsCopiesAndPrints() {
    obs::test::TempClinic clinic;
    seed(clinic);
    TaxYearWindow window(clinic.database());
    window.show();
    child<QComboBox>(&window, "CboPraticienFiscal")->setCurrentText(kLeger);
    child<QSpinBox>(&window, "TxtAnneeFiscale")->setValue(2025);
    QTRY_COMPARE(child<QLabel>(&window, "LblNet")->text(), QStringLiteral("1 469,75 €"));
    QCOMPARE(child<QLabel>(&window, "LblRecettes")->text(), QStringLiteral("3 870,74 €"));
    QCOMPARE(child<QLabel>(&window, "LblRetrocedes")->text(), QStringLiteral("2 400,99 €"));
    auto* declare = child<QTableWidget>(&window, "LstDeclarer");
    QCOMPARE(declare->rowCount(), 1);
    QCOMPARE(declare->item(0, 0)->text(), kOrval);
    QCOMPARE(declare->item(0, 1)->text(), QStringLiteral("2"));
    QCOMPARE(declare->item(0, 2)->text(), QStringLiteral("1 200,99 €"));
    auto* under = child<QTableWidget>(&window, "LstSousSeuil");
    QCOMPARE(under->rowCount(), 1);
    QCOMPARE(under->item(0, 0)->text(), kStandIn);
    const QString state = child<QLabel>(&window, "LblEtatExercice")->text();
    QVERIFY2(state.contains(QStringLiteral("non clos")) && state.contains(window.shown().anchor().hash),
             qPrintable(state));

    // The three lines and the colleagues, ready for the return.
    child<QPushButton>(&window, "CmdCopierFiscal")->click();
    const QString copied = QGuiApplication::clipboard()->text();
    for (const QString& line :
         {QStringLiteral("Recettes encaissées : 3 870,74 €"), QStringLiteral("Honoraires rétrocédés : 2 400,99 €"),
          QStringLiteral("Montant net des recettes : 1 469,75 €"),
          QStringLiteral("Dr D'ORVAL : 1 200,99 € (2 versements)")})
        QVERIFY2(copied.contains(line), qPrintable(copied));

    const QString pdf = QDir(clinic.dir()).filePath(QStringLiteral("annee.pdf"));
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(pdf);
    int pages = 0;
    QVERIFY(window.printOn(&printer, &pages));
    QCOMPARE(pages, 1);
    QProcess text;
    text.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), pdf, QStringLiteral("-")});
    if (!text.waitForFinished(30000) || text.exitCode() != 0)
        QSKIP("pdftotext is not available");
    const QString printed = QString::fromUtf8(text.readAllStandardOutput());
    for (const QString& expected : {QStringLiteral("Année fiscale 2025"), QStringLiteral("1 469,75"),
                                    QStringLiteral("Dr Remplaçante"), QStringLiteral("Page 1 / 1")})
        QVERIFY2(printed.contains(expected), qPrintable(expected + QStringLiteral(" in ") + printed));
}

QTEST_MAIN(TestAnneeFiscale)
#include "test_annee_fiscale.moc"
