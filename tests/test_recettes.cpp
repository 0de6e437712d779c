// SPDX-License-Identifier: GPL-3.0-or-later
// The receipts book of a practitioner and the accountant's file (FEC): the book against the
// payments and sums paid over written through the store, the file read back by a parser of the
// test's own, the command line's refusals, the window and the yearly statement's choice.
#include "TestSupport.h"

#include "accounts/ReceiptsPrint.h"
#include "accounts/ReceiptsWindow.h"
#include "accounts/SearchWindow.h"
#include "accounts/StatementPrint.h"
#include "accounts/YearStatementWindow.h"
#include "common/DayNumber.h"
#include "common/Settings.h"
#include "domain/FecFile.h"
#include "domain/LegacyImport.h"
#include "domain/PractitionerSiren.h"
#include "domain/ReceiptsSheet.h"
#include "store/Store.h"
#include "widgets/DatabaseOpener.h"
#include "widgets/Dialogs.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPrinter>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTableView>
#include <QtTest>

using namespace obs;
using obs::test::child;

namespace {

const QString kLeger = QStringLiteral("Dr Léger");
const QString kOrval = QStringLiteral("Dr D'ORVAL");
const QString kOeuvray = QStringLiteral("Dr Œuvray");

qint64 day(int y, int m, int d) {
    return dayNumberOf(QDate(y, m, d));
}

using Clinic = obs::test::JournaledClinic;

// The clinic every test reads: the same story on either engine.
void seed(Clinic& c) {
    for (const QString& p : {kLeger, kOrval, kOeuvray, QStringLiteral("Dr MARTIN")})
        c.practitioner(p);
    c.act(QStringLiteral("DUPONT"), QStringLiteral("Marie"), day(2025, 1, 10), kLeger, kLeger);
    c.pay(QStringLiteral("DUPONT"), Payer::Secu, "200", day(2025, 1, 20), PaymentMode::Transfer);
    c.pay(QStringLiteral("DUPONT"), Payer::Patient, "100", day(2025, 2, 3), PaymentMode::Cash);
    // Performed by Léger for D'Orval's patient: Léger pays a share over.
    c.act(QStringLiteral("L'HERMITE"), QStringLiteral("Zoé"), day(2025, 3, 1), kLeger, kOrval);
    c.pay(QStringLiteral("L'HERMITE"), Payer::Complementary, "50,5", day(2025, 3, 5), PaymentMode::Cheque);
    c.reverse(QStringLiteral("L'HERMITE"), "30", day(2025, 3, 10), PaymentMode::Transfer);
    // Performed by D'Orval for Léger's patient: Léger receives a share.
    c.act(QStringLiteral("CŒUR"), QStringLiteral("Anaïs"), day(2025, 4, 1), kOrval, kLeger);
    c.pay(QStringLiteral("CŒUR"), Payer::Secu, "120", day(2025, 4, 2), PaymentMode::Card);
    c.reverse(QStringLiteral("CŒUR"), "45,25", day(2025, 4, 15), PaymentMode::Transfer);
    // Paid, then deleted: the money was received all the same.
    c.act(QStringLiteral("ROUX"), QStringLiteral("Élise"), day(2025, 5, 5), kLeger, kLeger);
    c.pay(QStringLiteral("ROUX"), Payer::Secu, "80", day(2025, 5, 6), PaymentMode::Transfer);
    c.remove(QStringLiteral("ROUX"));
    // An act of the year before, paid across the new year.
    c.act(QStringLiteral("BLANC"), QStringLiteral("Léa"), day(2024, 12, 20), kLeger, kLeger);
    c.pay(QStringLiteral("BLANC"), Payer::Secu, "60", day(2024, 12, 28), PaymentMode::Transfer);
    c.pay(QStringLiteral("BLANC"), Payer::Complementary, "40", day(2025, 1, 5), PaymentMode::Transfer);
    // Paid on the last day, corrected the same day, the rest in the next year.
    c.act(QStringLiteral("NOIR"), QStringLiteral("Inès"), day(2025, 12, 20), kLeger, kLeger);
    c.pay(QStringLiteral("NOIR"), Payer::Secu, "70", day(2025, 12, 31), PaymentMode::Transfer);
    c.pay(QStringLiteral("NOIR"), Payer::Secu, "-10", day(2025, 12, 31), PaymentMode::Transfer);
    c.pay(QStringLiteral("NOIR"), Payer::Patient, "25", day(2026, 1, 3), PaymentMode::Cash);
    c.act(QStringLiteral("ŒDIPE"), QStringLiteral("Chloé"), day(2025, 6, 1), kOeuvray, kOeuvray);
    c.pay(QStringLiteral("ŒDIPE"), Payer::Secu, "33,33", day(2025, 6, 2), PaymentMode::Transfer);
}

// "AAAAMMJJ NOM payeur montant mode" for each line, in the book's order.
QStringList described(const std::vector<ReceiptLine>& lines) {
    QStringList out;
    for (const ReceiptLine& l : lines)
        out << QStringLiteral("%1 %2 %3 %4 %5")
                   .arg(l.day ? dateOfDayNumber(*l.day).toString(QStringLiteral("yyyyMMdd")) : QStringLiteral("-"),
                        l.surname, l.payer, l.amount.toFrenchFixed2(), l.mode ? paymentModeCode(*l.mode) : QString());
    return out;
}

// ---- An independent reader of the accountant's file ----

// ISO 8859-15 decoded by its own table here, not the program's encoder.
QString decodeLatin9(const QByteArray& bytes) {
    QString s;
    for (const char ch : bytes) {
        const auto b = static_cast<unsigned char>(ch);
        switch (b) {
        case 0xA4:
            s += QChar(0x20AC);
            break;
        case 0xA6:
            s += QChar(0x0160);
            break;
        case 0xA8:
            s += QChar(0x0161);
            break;
        case 0xB4:
            s += QChar(0x017D);
            break;
        case 0xB8:
            s += QChar(0x017E);
            break;
        case 0xBC:
            s += QChar(0x0152);
            break;
        case 0xBD:
            s += QChar(0x0153);
            break;
        case 0xBE:
            s += QChar(0x0178);
            break;
        default:
            s += QChar(b);
        }
    }
    return s;
}

// Cents of "1234,50"; fails the test on any other form (a point, a thousands separator, a sign).
qint64 cents(const QString& text) {
    static const QRegularExpression form(QStringLiteral("^([0-9]+),([0-9]{2})$"));
    const auto m = form.match(text);
    if (!m.hasMatch())
        qFatal("amount %s is not in the file's form", qPrintable(text));
    return m.captured(1).toLongLong() * 100 + m.captured(2).toLongLong();
}

struct FecCheck {
    QString problem;                // empty when every rule holds
    QHash<QString, qint64> balance; // per account: debit - credit, in cents
    QList<QStringList> rows;        // decoded, header excluded
};

FecCheck readFec(const QByteArray& bytes, int year) {
    FecCheck c;
    auto fail = [&](const QString& why) {
        if (c.problem.isEmpty())
            c.problem = why;
    };
    if (!bytes.endsWith("\r\n"))
        fail(QStringLiteral("no CR LF at the end"));
    const QList<QByteArray> lines = bytes.left(bytes.size() - 1).split('\n');
    const QStringList expectedHeader{"JournalCode", "JournalLib",    "EcritureNum", "EcritureDate", "CompteNum",
                                     "CompteLib",   "CompAuxNum",    "CompAuxLib",  "PieceRef",     "PieceDate",
                                     "EcritureLib", "Debit",         "Credit",      "EcritureLet",  "DateLet",
                                     "ValidDate",   "Montantdevise", "Idevise",     "DateRglt",     "ModeRglt",
                                     "NatOp",       "IdClient"};
    qint64 lastNumber = 0;
    QString lastDate;
    qint64 entryBalance = 0;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        QByteArray raw = lines[i];
        if (!raw.endsWith('\r'))
            fail(QStringLiteral("line %1 without CR LF").arg(i + 1));
        raw.chop(1);
        if (raw.contains('"'))
            fail(QStringLiteral("a quote on line %1").arg(i + 1));
        const QStringList f = decodeLatin9(raw).split(u'\t');
        if (f.size() != 22) {
            fail(QStringLiteral("line %1 has %2 fields").arg(i + 1).arg(f.size()));
            continue;
        }
        if (i == 0) {
            if (f != expectedHeader)
                fail(QStringLiteral("header"));
            continue;
        }
        c.rows << f;
        const qint64 number = f[2].toLongLong();
        if (number != lastNumber && number != lastNumber + 1)
            fail(QStringLiteral("number %1 after %2").arg(number).arg(lastNumber));
        if (number == lastNumber + 1) {
            if (entryBalance != 0)
                fail(QStringLiteral("entry %1 unbalanced").arg(lastNumber));
            entryBalance = 0;
        }
        lastNumber = number;
        const QDate date = QDate::fromString(f[3], QStringLiteral("yyyyMMdd"));
        if (!date.isValid() || date.year() != year)
            fail(QStringLiteral("date %1 outside the year").arg(f[3]));
        if (f[3] < lastDate)
            fail(QStringLiteral("date %1 before %2").arg(f[3], lastDate));
        lastDate = f[3];
        for (int d : {9, 15, 18}) {
            if (!QDate::fromString(f[d], QStringLiteral("yyyyMMdd")).isValid())
                fail(QStringLiteral("field %1 is no date: %2").arg(d + 1).arg(f[d]));
        }
        const qint64 movement = cents(f[11]) - cents(f[12]);
        if ((cents(f[11]) == 0) == (cents(f[12]) == 0))
            fail(QStringLiteral("line %1 has both or neither of debit and credit").arg(i + 1));
        entryBalance += movement;
        c.balance[f[4]] += movement;
    }
    if (entryBalance != 0)
        fail(QStringLiteral("last entry unbalanced"));
    return c;
}

qint64 centsOf(Money m) {
    return divideHalfEven(m.units(), 100);
}

QByteArray readAll(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll();
}

// The journal as a base made by the version before the payments recorded their performer holds
// it: the same tables without MEDACTE and MEDREPRISE, empty, with their guard and index.
void useEarlierJournal(obs::test::TempClinic& clinic) {
    clinic.execute(QStringLiteral("DROP TABLE JOURNAL"));
    clinic.execute(QStringLiteral("DROP TABLE JOURNAL_TETE"));
    const QString integer = clinic.onServer() ? QStringLiteral("bigint") : QStringLiteral("INTEGER");
    clinic.execute(QStringLiteral("CREATE TABLE JOURNAL (NUMJ %1 PRIMARY KEY, ECRIT TEXT NOT NULL, NUMINT %1, NATURE "
                                  "TEXT NOT NULL, RECULE %1, PAYEUR TEXT, BENEFICIAIRE TEXT, MODE TEXT, MONTANT %1, "
                                  "DETAIL TEXT, POSTE TEXT, UTILISATEUR TEXT, HASH TEXT NOT NULL)")
                       .arg(integer));
    clinic.execute(QStringLiteral("CREATE TABLE JOURNAL_TETE (UN INTEGER PRIMARY KEY CHECK (UN = 1), NUMJ %1 NOT NULL, "
                                  "HASH TEXT NOT NULL)")
                       .arg(integer));
    clinic.execute(QStringLiteral("INSERT INTO JOURNAL_TETE VALUES (1, 0, '')"));
    clinic.execute(QStringLiteral("CREATE INDEX JOURNAL_RECU ON JOURNAL (RECULE, NUMJ, NATURE, NUMINT, PAYEUR, "
                                  "BENEFICIAIRE, MODE, MONTANT, ECRIT) WHERE RECULE IS NOT NULL"));
    if (clinic.onServer()) {
        clinic.execute(QStringLiteral("GRANT SELECT, INSERT ON journal TO obsledger_utilisateurs"));
        clinic.execute(QStringLiteral("GRANT SELECT, UPDATE ON journal_tete TO obsledger_utilisateurs"));
    } else {
        clinic.execute(QStringLiteral("CREATE TRIGGER JOURNAL_FIGE BEFORE UPDATE ON JOURNAL BEGIN SELECT "
                                      "RAISE(ABORT, 'Une écriture du journal ne se modifie pas.'); END"));
    }
}

// "NATURE payeur montant MEDACTE MEDREPRISE" for each payment entry of an act, oldest first.
QStringList paymentEntries(Store& store, qint64 act) {
    std::vector<JournalEntry> entries;
    if (const Status s = store.journal().ofAct(act, &entries); !s)
        qFatal("ofAct: %s", qPrintable(s.message));
    QStringList out;
    for (const JournalEntry& e : entries) {
        if (e.kind == JournalKind::Payment)
            out << QStringLiteral("%1 %2 [%3] [%4]")
                       .arg(e.payer, e.amount ? e.amount->toFrenchFixed2() : QString(), e.performer,
                            e.performerTakenOver);
    }
    return out;
}

// The old register of the legacy fixtures, moved into the clinic's base as an installer does.
void importSmallRegister(obs::test::TempClinic& clinic) {
    LegacyImportReport report;
    QString why;
    // The register holds a few list values beyond an act's bounds: kept, as an installer may choose.
    if (!importLegacyRegister(obs::test::legacyFixture("small.mdb"), clinic.location(), false, &report, &why,
                              OutOfBounds::Keep))
        qFatal("import: %s", qPrintable(why));
}

FecFile::Request request(const QString& practitioner, bool withNames) {
    FecFile::Request r;
    r.practitioner = practitioner;
    r.year = 2025;
    r.siren = QStringLiteral("123456782");
    r.withNames = withNames;
    r.accounts = Settings::ledgerAccounts();
    return r;
}

} // namespace

class TestRecettes : public QObject {
    Q_OBJECT
private slots:
    void bookOfPractitioner_data();
    void bookOfPractitioner();
    void deletedActKeepsItsReceipts();
    void longBookNamesEveryAct();
    void actsNumberedAnyhow_data();
    void actsNumberedAnyhow();
    void openingEntriesApart();
    void sheetTotals();
    void latin9_data();
    void latin9();
    void fecReadBack_data();
    void fecReadBack();
    void sirenKey_data();
    void sirenKey();
    void fecCommandLine_data();
    void fecCommandLine();
    void receiptsIndexAtUpgrade();
    void sameOnFileAndServer();
    void openedFromSearchMenu();
    void windowShowsTheBook();
    void windowRefusals();
    void windowWritesFec();
    void windowSirenOfEachPractitioner();
    void windowPrintsAndExports();
    void yearStatementByReceiptDate();
    void receiptStaysWithItsPerformer_data();
    void receiptStaysWithItsPerformer();
    void olderJournalTakesThePerformerOnce_data();
    void olderJournalTakesThePerformerOnce();
    void statementRemainderAfterImport_data();
    void statementRemainderAfterImport();
    void yearOfTheMoveSaid_data();
    void yearOfTheMoveSaid();
};

void TestRecettes::bookOfPractitioner_data() {
    QTest::addColumn<QString>("practitioner");
    QTest::addColumn<qint64>("from");
    QTest::addColumn<qint64>("to");
    QTest::addColumn<QStringList>("receipts");
    QTest::addColumn<QStringList>("outgoings");
    QTest::addColumn<QString>("total");

    const QStringList legerYear{"20250105 BLANC complementaire 40,00 virement",
                                "20250120 DUPONT secu 200,00 virement",
                                "20250203 DUPONT patiente 100,00 especes",
                                "20250305 L'HERMITE complementaire 50,50 cheque",
                                "20250415 CŒUR Dr D'ORVAL 45,25 virement",
                                "20250506 ROUX secu 80,00 virement",
                                "20251231 NOIR secu 70,00 virement",
                                "20251231 NOIR secu -10,00 virement"};
    const QStringList legerOut{"20250310 L'HERMITE Dr Léger 30,00 virement"};
    QTest::newRow("Léger, 2025") << kLeger << day(2025, 1, 1) << day(2025, 12, 31) << legerYear << legerOut << "575,75";
    // The practitioner matched as the listings match: case and accents aside.
    QTest::newRow("léger sans majuscule ni accent")
        << QStringLiteral("dr leger") << day(2025, 1, 1) << day(2025, 12, 31) << legerYear << legerOut << "575,75";
    // Both ends of the period are included.
    QTest::newRow("du 20/01 au 03/02") << kLeger << day(2025, 1, 20) << day(2025, 2, 3)
                                       << QStringList{legerYear[1], legerYear[2]} << QStringList{} << "300,00";
    QTest::newRow("D'Orval, 2025") << kOrval << day(2025, 1, 1) << day(2025, 12, 31)
                                   << QStringList{"20250310 L'HERMITE Dr Léger 30,00 virement",
                                                  "20250402 CŒUR secu 120,00 carte"}
                                   << QStringList{"20250415 CŒUR Dr D'ORVAL 45,25 virement"} << "150,00";
    QTest::newRow("nobody's") << QStringLiteral("Dr MARTIN") << day(2025, 1, 1) << day(2025, 12, 31) << QStringList{}
                              << QStringList{} << "0,00";
    QTest::newRow("next year") << kLeger << day(2026, 1, 1) << day(2026, 12, 31)
                               << QStringList{"20260103 NOIR patiente 25,00 especes"} << QStringList{} << "25,00";
}

void TestRecettes::bookOfPractitioner() {
    QFETCH(QString, practitioner);
    QFETCH(qint64, from);
    QFETCH(qint64, to);
    QFETCH(QStringList, receipts);
    QFETCH(QStringList, outgoings);
    QFETCH(QString, total);
    obs::test::TempClinic clinic;
    Clinic c(clinic.location());
    seed(c);
    const ReceiptsBook book = c.book(practitioner, from, to);
    QCOMPARE(described(book.receipts), receipts);
    QCOMPARE(described(book.outgoings), outgoings);
    QVERIFY(book.openings.empty());
    QCOMPARE(ReceiptsSheet(book, true).total().toFrenchFixed2(), total);
}

void TestRecettes::deletedActKeepsItsReceipts() {
    obs::test::TempClinic clinic;
    Clinic c(clinic.location());
    seed(c);
    const ReceiptsBook book = c.book(kLeger, day(2025, 5, 1), day(2025, 5, 31));
    QCOMPARE(book.receipts.size(), std::size_t(1));
    const ReceiptLine& l = book.receipts.front();
    QVERIFY(l.actDeleted);
    QCOMPARE(l.surname, QStringLiteral("ROUX"));
    QCOMPARE(l.firstName, QStringLiteral("Élise"));
    QCOMPARE(l.actDate, StoredDay(day(2025, 5, 5)));
    QVERIFY(ReceiptsSheet(book, true).cells(l).join(u'|').contains(QStringLiteral("acte supprimé")));
    // Another practitioner's book does not take it.
    QVERIFY(c.book(kOrval, day(2025, 5, 1), day(2025, 5, 31)).receipts.empty());
}

// A busy year: the acts of its many lines are all read back, each line with its own patient.
void TestRecettes::longBookNamesEveryAct() {
    obs::test::TempClinic clinic;
    Clinic c(clinic.location());
    for (const QString& p : {kLeger, kOrval})
        c.practitioner(p);
    const int count = 300;
    for (int i = 0; i < count; ++i) {
        const QString surname = QStringLiteral("P%1").arg(i, 4, 10, QLatin1Char('0'));
        const qint64 on = day(2025, 1, 1) + (i * 7) % 360;
        c.act(surname, QStringLiteral("Anne"), on, i % 3 ? kLeger : kOrval, kLeger);
        c.pay(surname, Payer::Secu, "10", on + 2, PaymentMode::Transfer);
    }
    const ReceiptsBook book = c.book(kLeger, day(2025, 1, 1), day(2025, 12, 31));
    int expected = 0;
    for (int i = 0; i < count; ++i)
        expected += i % 3 ? 1 : 0;
    QCOMPARE(int(book.receipts.size()), expected);
    std::optional<qint64> previous;
    for (const ReceiptLine& l : book.receipts) {
        QVERIFY(!l.actDeleted);
        QCOMPARE(l.act, c.acts.value(l.surname));
        QCOMPARE(l.firstName, QStringLiteral("Anne"));
        QVERIFY(l.day >= previous);
        previous = l.day;
    }
}

// An old register's acts may carry numbers far from 1, 2, 3... (a random numbering, a negative one):
// their payments are in the book like any other.
void TestRecettes::actsNumberedAnyhow_data() {
    QTest::addColumn<qint64>("number");
    QTest::newRow("négatif") << qint64(-5);
    QTest::newRow("zéro") << qint64(0);
    QTest::newRow("au-delà de 67 millions") << qint64(70'000'000);
    QTest::newRow("le plus grand entier long") << qint64(2'147'483'000);
}

void TestRecettes::actsNumberedAnyhow() {
    QFETCH(qint64, number);
    obs::test::TempClinic clinic;
    clinic.addAct({{"NUMINT", number},
                   {"Nom", "ANCIEN"},
                   {"Prenom", "Registre"},
                   {"Date", day(2025, 3, 1)},
                   {"MEDACTE", kLeger},
                   {"MEDSUIT", kLeger},
                   {"PRIX", moneyValue(Money::fromEuros(300))}});
    Clinic c(clinic.location());
    c.acts[QStringLiteral("ANCIEN")] = number;
    c.act(QStringLiteral("RECENT"), QStringLiteral("Anne"), day(2025, 3, 2), kLeger, kLeger);
    c.pay(QStringLiteral("ANCIEN"), Payer::Secu, "120", day(2025, 3, 10), PaymentMode::Transfer);
    c.pay(QStringLiteral("RECENT"), Payer::Secu, "80", day(2025, 3, 11), PaymentMode::Transfer);
    const ReceiptsBook book = c.book(kLeger, day(2025, 1, 1), day(2025, 12, 31));
    QCOMPARE(described(book.receipts),
             (QStringList{"20250310 ANCIEN secu 120,00 virement", "20250311 RECENT secu 80,00 virement"}));
    QCOMPARE(book.receipts.front().act, number);
    QVERIFY(c.book(kOrval, day(2025, 1, 1), day(2025, 12, 31)).receipts.empty());
}

// A base given its journal late: what its acts held stands apart, undated, for the acts of the period.
void TestRecettes::openingEntriesApart() {
    obs::test::TempClinic clinic;
    {
        Clinic c(clinic.location());
        for (const QString& p : {kLeger, kOrval})
            c.practitioner(p);
        c.act(QStringLiteral("ANCIEN"), QStringLiteral("Anne"), day(2025, 2, 1), kLeger, kOrval);
        c.act(QStringLiteral("AUTRE"), QStringLiteral("Alice"), day(2025, 2, 2), kOrval, kLeger);
        c.act(QStringLiteral("HORS"), QStringLiteral("Hélène"), day(2024, 2, 2), kLeger, kLeger);
    }
    clinic.execute(QStringLiteral("UPDATE ACTES SET PAYESECU = 1000000, PAYEDE = 250000, REVERSE = 300000"));
    clinic.execute(QStringLiteral("DROP TABLE JOURNAL"));
    clinic.execute(QStringLiteral("DROP TABLE JOURNAL_TETE"));
    Clinic c(clinic.location());
    qint64 opened = 0;
    QVERIFY(c.store->journal().create(&opened));
    const ReceiptsBook book = c.book(kLeger, day(2025, 1, 1), day(2025, 12, 31));
    QVERIFY(book.receipts.empty());
    QVERIFY(book.outgoings.empty());
    QCOMPARE(described(book.openings), (QStringList{"- ANCIEN secu 100,00 ", "- ANCIEN patiente 25,00 ",
                                                    "- ANCIEN Dr Léger 30,00 ", "- AUTRE Dr D'ORVAL 30,00 "}));
    std::vector<ReceiptSide> sides;
    for (const auto& l : book.openings)
        sides.push_back(l.side);
    QCOMPARE(sides, (std::vector{ReceiptSide::Fee, ReceiptSide::Fee, ReceiptSide::ReversalPaid,
                                 ReceiptSide::ReversalReceived}));
    // Received less paid over: 100 + 25 - 30 + 30.
    QCOMPARE(ReceiptsSheet(book, true).openingTotal().toFrenchFixed2(), QStringLiteral("125,00"));
    if (!clinic.onServer())
        QCOMPARE(
            clinic.scalar(QStringLiteral("SELECT count(*) FROM sqlite_master WHERE name = 'JOURNAL_RECU'")).toInt(), 1);
}

void TestRecettes::sheetTotals() {
    obs::test::TempClinic clinic;
    Clinic c(clinic.location());
    seed(c);
    const ReceiptsBook book = c.book(kLeger, day(2025, 1, 1), day(2025, 12, 31));
    const ReceiptsSheet sheet(book, false);
    auto shown = [](const std::vector<ReceiptsSheet::Total>& totals) {
        QStringList out;
        for (const auto& t : totals)
            out << QStringLiteral("%1:%2:%3").arg(t.label).arg(t.count).arg(t.amount.toFrenchFixed2());
        return out;
    };
    QCOMPARE(shown(sheet.byMonth()), (QStringList{"Janvier 2025:2:240,00", "Février 2025:1:100,00", "Mars 2025:1:50,50",
                                                  "Avril 2025:1:45,25", "Mai 2025:1:80,00", "Décembre 2025:2:60,00"}));
    QCOMPARE(shown(sheet.byMode()), (QStringList{"Virement:6:425,25", "Chèque:1:50,50", "Espèces:1:100,00"}));
    QCOMPARE(shown(sheet.byDay()).size(), 7);
    QCOMPARE(shown(sheet.byDay()).last(), QStringLiteral("31/12/2025:2:60,00"));
    QCOMPARE(sheet.outgoingTotal().toFrenchFixed2(), QStringLiteral("30,00"));
    QCOMPARE(ReceiptsSheet::euroText(Money::fromEuros(1234).plus(Money::fromUnits(5000)).value()),
             QStringLiteral("1 234,50 €"));
    // Without the names: the act number stands for the patient, in the cells and the export.
    QVERIFY(!sheet.header().contains(QStringLiteral("Patiente")));
    const QByteArray csv = sheet.csvDocument();
    for (const char* name : {"DUPONT", "L'HERMITE", "ROUX", "Marie"})
        QVERIFY2(!csv.contains(name), name);
    QVERIFY(ReceiptsSheet(book, true).csvDocument().contains("DUPONT Marie"));
}

void TestRecettes::latin9_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("replaced");
    QTest::newRow("euro") << QStringLiteral("€") << QByteArray("\xA4") << 0;
    QTest::newRow("œ Œ Ÿ") << QStringLiteral("œŒŸ") << QByteArray("\xBD\xBC\xBE") << 0;
    QTest::newRow("š Ž") << QStringLiteral("šŽ") << QByteArray("\xA8\xB4") << 0;
    QTest::newRow("accents of Latin-1") << QStringLiteral("éàçÉ") << QByteArray("\xE9\xE0\xE7\xC9") << 0;
    QTest::newRow("apostrophe") << QStringLiteral("D'ORVAL") << QByteArray("D'ORVAL") << 0;
    QTest::newRow("a letter Latin-9 lacks") << QStringLiteral("Nădia") << QByteArray("Nadia") << 1;
    QTest::newRow("a sign Latin-9 gave away") << QStringLiteral("¤") << QByteArray("?") << 1;
    QTest::newRow("typographic apostrophe") << QStringLiteral("D’Orval") << QByteArray("D?Orval") << 1;
    QTest::newRow("not a Latin letter") << QStringLiteral("李") << QByteArray("?") << 1;
}

void TestRecettes::latin9() {
    QFETCH(QString, text);
    QFETCH(QByteArray, bytes);
    QFETCH(int, replaced);
    qsizetype count = 0;
    QCOMPARE(toLatin9(text, &count), bytes);
    QCOMPARE(int(count), replaced);
}

void TestRecettes::fecReadBack_data() {
    QTest::addColumn<QString>("practitioner");
    QTest::addColumn<bool>("withNames");
    QTest::addColumn<QStringList>("names"); // in the file when asked, never otherwise
    QTest::newRow("Léger, avec les noms")
        << kLeger << true << QStringList{"DUPONT Marie", "L'HERMITE Zoé", "ROUX Élise"};
    QTest::newRow("Léger, sans les noms") << kLeger << false << QStringList{"DUPONT", "L'HERMITE", "ROUX"};
    QTest::newRow("D'Orval") << kOrval << true << QStringList{"CŒUR Anaïs"};
    QTest::newRow("Œuvray") << kOeuvray << true << QStringList{"ŒDIPE Chloé"};
}

void TestRecettes::fecReadBack() {
    QFETCH(QString, practitioner);
    QFETCH(bool, withNames);
    QFETCH(QStringList, names);
    obs::test::TempClinic clinic;
    Clinic c(clinic.location());
    seed(c);
    QString path, message;
    QCOMPARE(FecFile::write(*c.store, request(practitioner, withNames), clinic.dir(), &path, &message),
             FecFile::Outcome::Written);
    QCOMPARE(path, QDir(clinic.dir()).filePath(QStringLiteral("123456782FEC20251231.txt")));
    QVERIFY(QFile::exists(QDir(clinic.dir()).filePath(QStringLiteral("123456782FEC20251231-descriptif.txt"))));
    const QByteArray bytes = readAll(path);
    const FecCheck check = readFec(bytes, 2025);
    QVERIFY2(check.problem.isEmpty(), qPrintable(check.problem));

    // Totals per account are the book's.
    const ReceiptsBook book = c.book(practitioner, day(2025, 1, 1), day(2025, 12, 31));
    qint64 fees = 0, received = 0, paid = 0, cash = 0;
    for (const ReceiptLine& l : book.receipts) {
        (l.side == ReceiptSide::Fee ? fees : received) += centsOf(l.amount);
        if (l.mode == PaymentMode::Cash)
            cash += centsOf(l.amount);
    }
    for (const ReceiptLine& l : book.outgoings) {
        paid += centsOf(l.amount);
        if (l.mode == PaymentMode::Cash)
            cash -= centsOf(l.amount);
    }
    QCOMPARE(check.balance.value(QStringLiteral("706000")), -fees);
    QCOMPARE(check.balance.value(QStringLiteral("706100")), -received);
    QCOMPARE(check.balance.value(QStringLiteral("622600")), paid);
    QCOMPARE(check.balance.value(QStringLiteral("530000")), cash);
    QCOMPARE(check.balance.value(QStringLiteral("512000")) + cash, fees + received - paid);
    QCOMPARE(check.rows.size(), qsizetype(2 * (book.receipts.size() + book.outgoings.size())));

    const QString text = decodeLatin9(bytes);
    for (const QString& name : names)
        QCOMPARE(text.contains(name), withNames);
    if (practitioner == kOeuvray)
        QVERIFY(bytes.contains("\xBC"
                               "DIPE Chlo\xE9")); // Œ and é as ISO 8859-15 has them
}

void TestRecettes::sirenKey_data() {
    QTest::addColumn<QString>("siren");
    QTest::addColumn<QString>("problem"); // a text of the reason; empty when taken
    QTest::newRow("right key") << "123456782"
                               << "";
    QTest::newRow("right key, another") << "732829320"
                                        << "";
    QTest::newRow("La Poste") << "356000000"
                              << "";
    QTest::newRow("last digit wrong") << "123456789"
                                      << "clé de contrôle";
    QTest::newRow("two digits swapped") << "213456782"
                                        << "clé de contrôle";
    QTest::newRow("eight digits") << "12345678"
                                  << "9 chiffres";
    QTest::newRow("a space") << "123 456 782"
                             << "9 chiffres";
    QTest::newRow("empty") << ""
                           << "SIREN manque";
}

void TestRecettes::sirenKey() {
    QFETCH(QString, siren);
    QFETCH(QString, problem);
    const QString said = FecFile::sirenProblem(siren);
    if (problem.isEmpty())
        QVERIFY2(said.isEmpty(), qPrintable(said));
    else
        QVERIFY2(said.contains(problem), qPrintable(said));
}

void TestRecettes::fecCommandLine_data() {
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QStringList>("kept"); // practitioner, SIREN kept with them before the command
    QTest::addColumn<bool>("existing");    // the year's file is already in the folder
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("message");
    const QStringList good{"--praticien", kLeger, "--exercice", "2025", "--siren", "123456782"};
    const QStringList unnamed{"--praticien", kLeger, "--exercice", "2025"};
    QTest::newRow("good") << good << QStringList{} << false << 0 << QString();
    QTest::newRow("year not a year") << QStringList{"--praticien", kLeger, "--exercice", "20x5", "--siren", "123456782"}
                                     << QStringList{} << false << 2 << "n'est pas une année";
    QTest::newRow("unknown practitioner")
        << QStringList{"--praticien", "Dr Personne", "--exercice", "2025", "--siren", "123456782"} << QStringList{}
        << false << 2 << "n'est pas dans la liste des praticiens";
    QTest::newRow("SIREN of 8 digits") << QStringList{"--praticien", kLeger,    "--exercice",
                                                      "2025",        "--siren", "12345678"}
                                       << QStringList{} << false << 2 << "9 chiffres";
    QTest::newRow("SIREN with a letter") << QStringList{"--praticien", kLeger,    "--exercice",
                                                        "2025",        "--siren", "12345678A"}
                                         << QStringList{} << false << 2 << "9 chiffres";
    QTest::newRow("SIREN with a wrong key")
        << QStringList{"--praticien", kLeger, "--exercice", "2025", "--siren", "123456789"} << QStringList{} << false
        << 2 << "« 123456789 » n'est pas valable";
    QTest::newRow("no SIREN") << unnamed << QStringList{} << false << 2 << "SIREN manque";
    QTest::newRow("no practitioner") << QStringList{"--exercice", "2025", "--siren", "123456782"} << QStringList{}
                                     << false << 2 << "praticien manque";
    // Without --siren, the practitioner's own, never a colleague's.
    QTest::newRow("SIREN kept with the practitioner")
        << unnamed << QStringList{kLeger, "123456782"} << false << 0 << QString();
    QTest::newRow("SIREN kept, name in other case") << QStringList{"--praticien", "DR LÉGER", "--exercice", "2025"}
                                                    << QStringList{kLeger, "123456782"} << false << 0 << QString();
    QTest::newRow("only a colleague's SIREN kept")
        << unnamed << QStringList{kOrval, "123456782"} << false << 2 << "aucun n'est gardé pour « Dr Léger »";
    QTest::newRow("kept SIREN with a wrong key")
        << unnamed << QStringList{kLeger, "123456789"} << false << 2 << "clé de contrôle";
    QTest::newRow("given SIREN over the kept one")
        << good << QStringList{kLeger, "732829320"} << false << 0 << QString();
    // The year's file may already be with the accountant.
    QTest::newRow("existing file kept") << good << QStringList{} << true << 1 << "123456782FEC20251231.txt existe déjà";
    QTest::newRow("existing file, unknown practitioner")
        << QStringList{"--praticien", "Dr Personne", "--exercice", "2025", "--siren", "123456782"} << QStringList{}
        << true << 2 << "n'est pas dans la liste des praticiens";
    QTest::newRow("existing file replaced")
        << good + QStringList{"--replace"} << QStringList{} << true << 0 << QString();
}

void TestRecettes::fecCommandLine() {
    QFETCH(QStringList, options);
    QFETCH(QStringList, kept);
    QFETCH(bool, existing);
    QFETCH(int, code);
    QFETCH(QString, message);
    obs::test::TempClinic clinic;
    Clinic c(clinic.location());
    seed(c);
    if (!kept.isEmpty())
        Clinic::check(PractitionerSiren::keep(*c.store, kept[0], kept[1]), "keep");
    const QString folder = QDir(clinic.dir()).filePath(QStringLiteral("fec"));
    QVERIFY(QDir().mkpath(folder));
    const QString file = QDir(folder).filePath(QStringLiteral("123456782FEC20251231.txt"));
    if (existing) {
        QFile old(file);
        QVERIFY(old.open(QIODevice::WriteOnly) && old.write("déjà remis") > 0);
    }
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), clinic.dir());
    const auto run =
        obs::test::runProgram(obs::test::builtProgram(QStringLiteral("obsledger-admin")),
                              QStringList{"fec", clinic.location()} + options + QStringList{"--dossier", folder}, env);
    QCOMPARE(run.code, code);
    const QStringList written = QDir(folder).entryList(QDir::Files);
    if (code == 0) {
        QCOMPARE(run.out.trimmed(), file);
        QCOMPARE(written, (QStringList{"123456782FEC20251231-descriptif.txt", "123456782FEC20251231.txt"}));
        QVERIFY(readFec(readAll(run.out.trimmed()), 2025).problem.isEmpty());
    } else {
        QVERIFY2(run.err.contains(message), qPrintable(run.err));
        QCOMPARE(written, existing ? QStringList{"123456782FEC20251231.txt"} : QStringList{});
        if (existing)
            QCOMPARE(readAll(file), QByteArray("déjà remis"));
        QVERIFY(run.out.isEmpty());
    }
}

// A base whose journal was made before the book's indexes gets them at its upgrade.
void TestRecettes::receiptsIndexAtUpgrade() {
    obs::test::TempClinic clinic;
    const QString admin = obs::test::builtProgram(QStringLiteral("obsledger-admin"));
    const QStringList names = clinic.onServer() ? QStringList{"journal_recu", "journal_reprise", "journal_suppression"}
                                                : QStringList{"JOURNAL_RECU", "JOURNAL_REPRISE", "JOURNAL_SUPPRESSION"};
    const QString count = clinic.onServer()
                              ? QStringLiteral("SELECT count(*) FROM pg_indexes WHERE indexname IN ('%1');\n")
                              : QStringLiteral("SELECT count(*) FROM sqlite_master WHERE name IN ('%1');\n");
    auto indexes = [&] {
        QProcess p;
        p.start(admin, {QStringLiteral("sql"), clinic.location()});
        p.write(count.arg(names.join(QStringLiteral("', '"))).toUtf8());
        p.closeWriteChannel();
        p.waitForFinished(60000);
        return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
    };
    QCOMPARE(indexes(), QStringLiteral("3"));
    for (const QString& name : names)
        clinic.execute(QStringLiteral("DROP INDEX %1").arg(name));
    QCOMPARE(indexes(), QStringLiteral("0"));
    const auto run = obs::test::runProgram(admin, {"upgrade", clinic.onServer() ? clinic.location() : clinic.dbPath()});
    QVERIFY2(run.code == 0, qPrintable(run.err));
    QCOMPARE(indexes(), QStringLiteral("3"));
}

// Both engines give the same book and, byte for byte, the same file.
void TestRecettes::sameOnFileAndServer() {
    OBS_REQUIRE_SERVER();
    obs::test::TempClinic file;
    obs::test::TempServerDatabase server;
    Clinic onFile(file.dbPath());
    Clinic onServer(server.conninfo());
    seed(onFile);
    seed(onServer);
    for (const QString& p : {kLeger, kOrval, kOeuvray}) {
        ReceiptsBook a = onFile.book(p, day(2025, 1, 1), day(2025, 12, 31));
        ReceiptsBook b = onServer.book(p, day(2025, 1, 1), day(2025, 12, 31));
        for (auto* book : {&a, &b}) {
            for (auto* list : {&book->receipts, &book->outgoings})
                for (ReceiptLine& l : *list)
                    l.writtenOn.reset(); // the same day, unless written on both sides of midnight
        }
        QCOMPARE(described(a.receipts), described(b.receipts));
        QVERIFY(a == b);
        QString pathA, pathB, message;
        const QString dirA = QDir(file.dir()).filePath(QStringLiteral("a"));
        const QString dirB = QDir(file.dir()).filePath(QStringLiteral("b"));
        QDir().mkpath(dirA);
        QDir().mkpath(dirB);
        QCOMPARE(FecFile::write(*onFile.store, request(p, true), dirA, &pathA, &message), FecFile::Outcome::Written);
        QCOMPARE(FecFile::write(*onServer.store, request(p, true), dirB, &pathB, &message), FecFile::Outcome::Written);
        QCOMPARE(readAll(pathA), readAll(pathB));
    }
}

void TestRecettes::openedFromSearchMenu() {
    obs::test::ClinicWithRates clinic;
    obs::test::SearchScreen screen(clinic);
    auto* entry = child<QAction>(screen.form, "MnuRecettes");
    QCOMPARE(entry->text(), QStringLiteral("Livre des recettes..."));
    entry->trigger();
    auto* window = screen.form->findChild<ReceiptsWindow*>(QStringLiteral("FrmRecettes"));
    QVERIFY(window);
    QTRY_VERIFY(window->isVisible());
    QCOMPARE(window->windowTitle(), QStringLiteral("Livre des recettes"));
    entry->trigger();
    QCOMPARE(screen.form->findChildren<ReceiptsWindow*>().size(), 1);
}

void TestRecettes::windowShowsTheBook() {
    obs::test::TempClinic clinic;
    Clinic c(clinic.location());
    seed(c);
    ReceiptsWindow window(clinic.database());
    window.show();
    auto* practitioner = child<QComboBox>(&window, "CboPraticien");
    QCOMPARE(obs::test::itemTexts(practitioner->view()),
             (QStringList{kOrval, kLeger, QStringLiteral("Dr MARTIN"), kOeuvray}));
    practitioner->setCurrentText(kLeger);
    child<QLineEdit>(&window, "TxtDu")->setText(QStringLiteral("01/01/2025"));
    child<QLineEdit>(&window, "TxtAu")->setText(QStringLiteral("31/12/2025"));
    child<QPushButton>(&window, "CmdAfficher")->click();
    auto* list = child<QTableView>(&window, "LstRecettes");
    QTRY_COMPARE(list->model()->rowCount(), 8);
    QCOMPARE(child<QLabel>(&window, "LblTotal")->text(), QStringLiteral("575,75 €"));
    QCOMPARE(child<QLabel>(&window, "LblSorties")->text(), QStringLiteral("30,00 €"));
    QCOMPARE(list->model()->index(1, 0).data().toString(), QStringLiteral("20/01/2025"));
    QCOMPARE(list->model()->index(1, 2).data().toString(), QStringLiteral("DUPONT Marie"));
    QCOMPARE(child<QTableView>(&window, "LstSorties")->model()->rowCount(), 1);
    // The period is kept for the next opening.
    const auto kept = Settings::period(Settings::PeriodOf::Receipts);
    QCOMPARE(kept.first, QStringLiteral("01/01/2025"));
    QCOMPARE(kept.last, QStringLiteral("31/12/2025"));

    // Without the names: the act number alone stands for the patient.
    child<QCheckBox>(&window, "ChkSansNoms")->setChecked(true);
    QCOMPARE(list->model()->columnCount(), 6);
    for (int r = 0; r < list->model()->rowCount(); ++r) {
        for (int col = 0; col < list->model()->columnCount(); ++col)
            QVERIFY(!list->model()->index(r, col).data().toString().contains(QStringLiteral("DUPONT")));
    }
    QCOMPARE(list->model()->index(1, 1).data().toString(), QString::number(c.acts.value(QStringLiteral("DUPONT"))));
    QVERIFY(Dialogs::shownTexts().isEmpty());
}

void TestRecettes::windowRefusals() {
    obs::test::TempClinic clinic;
    Clinic c(clinic.location());
    seed(c);
    ReceiptsWindow window(clinic.database());
    child<QComboBox>(&window, "CboPraticien")->setCurrentText(kLeger);
    child<QLineEdit>(&window, "TxtDu")->setText(QStringLiteral("32/01/2025"));
    child<QPushButton>(&window, "CmdAfficher")->click();
    QCOMPARE(Dialogs::lastText(), QStringLiteral("La Date est saisie selon un mode incorrect. Veuillez corriger."));
    QCOMPARE(child<QTableView>(&window, "LstRecettes")->model()->rowCount(), 0);
    Dialogs::clearShown();
    // A SIREN that is not nine digits: said, no folder asked, nothing written.
    child<QLineEdit>(&window, "TxtDu")->setText(QStringLiteral("01/01/2025"));
    child<QLineEdit>(&window, "TxtSiren")->setText(QStringLiteral("1234"));
    child<QPushButton>(&window, "CmdFec")->click();
    QVERIFY(Dialogs::lastText().contains(QStringLiteral("9 chiffres")));
}

void TestRecettes::windowWritesFec() {
    obs::test::TempClinic clinic;
    Clinic c(clinic.location());
    seed(c);
    ReceiptsWindow window(clinic.database());
    child<QComboBox>(&window, "CboPraticien")->setCurrentText(kLeger);
    child<QLineEdit>(&window, "TxtDu")->setText(QStringLiteral("01/01/2025"));
    child<QLineEdit>(&window, "TxtAu")->setText(QStringLiteral("31/12/2025"));
    child<QLineEdit>(&window, "TxtSiren")->setText(QStringLiteral("123456782"));
    child<QCheckBox>(&window, "ChkSansNoms")->setChecked(true);
    const QString folder = QDir(clinic.dir()).filePath(QStringLiteral("comptable"));
    QVERIFY(QDir().mkpath(folder));
    Dialogs::queueFolder(folder);
    child<QPushButton>(&window, "CmdFec")->click();
    const QString path = QDir(folder).filePath(QStringLiteral("123456782FEC20251231.txt"));
    QVERIFY2(Dialogs::lastText().contains(QDir::toNativeSeparators(path)), qPrintable(Dialogs::lastText()));
    const QByteArray bytes = readAll(path);
    QVERIFY(readFec(bytes, 2025).problem.isEmpty());
    QVERIFY(!bytes.contains("DUPONT"));
    // The SIREN is kept with the practitioner, not for the colleagues.
    QString kept;
    QVERIFY(PractitionerSiren::read(*c.store, kLeger, &kept));
    QCOMPARE(kept, QStringLiteral("123456782"));
    QVERIFY(PractitionerSiren::read(*c.store, kOrval, &kept));
    QCOMPARE(kept, QString());

    // Asked again: replacing the file is a question whose default is No; No leaves it as it was.
    QVERIFY(QFile::remove(path));
    QFile stale(path);
    QVERIFY(stale.open(QIODevice::WriteOnly));
    stale.write("ancien");
    stale.close();
    Dialogs::clearShown();
    Dialogs::queueFolder(folder);
    Dialogs::queueAnswer(false);
    child<QPushButton>(&window, "CmdFec")->click();
    QVERIFY(Dialogs::shown().last().text.contains(QStringLiteral("existe déjà")));
    QCOMPARE(Dialogs::shown().last().defaultAnswer, Dialogs::Default::No);
    QCOMPARE(readAll(path), QByteArray("ancien"));
}

// Each practitioner's SIREN is offered when they are chosen, checked by its key, and kept with
// them (journalled) once their file is written.
void TestRecettes::windowSirenOfEachPractitioner() {
    obs::test::TempClinic clinic;
    Clinic c(clinic.location());
    seed(c);
    Clinic::check(PractitionerSiren::keep(*c.store, kLeger, QStringLiteral("123456782")), "keep");
    std::vector<JournalEntry> before;
    Clinic::check(c.store->journal().each([&](const JournalEntry& e) {
        before.push_back(e);
        return true;
    }),
                  "journal");
    ReceiptsWindow window(clinic.database());
    auto* practitioner = child<QComboBox>(&window, "CboPraticien");
    auto* siren = child<QLineEdit>(&window, "TxtSiren");
    child<QLineEdit>(&window, "TxtDu")->setText(QStringLiteral("01/01/2025"));
    child<QLineEdit>(&window, "TxtAu")->setText(QStringLiteral("31/12/2025"));
    practitioner->setCurrentText(kOrval);
    QCOMPARE(siren->text(), QString());
    practitioner->setCurrentText(kLeger);
    QCOMPARE(siren->text(), QStringLiteral("123456782"));

    // Typed for D'Orval, with a wrong key: said on the screen, nothing asked or written.
    practitioner->setCurrentText(kOrval);
    siren->selectAll();
    QTest::keyClicks(siren, QStringLiteral("732829329"));
    child<QPushButton>(&window, "CmdFec")->click();
    QCOMPARE(Dialogs::shown().size(), 1);
    QVERIFY2(Dialogs::lastText().contains(QStringLiteral("clé de contrôle")), qPrintable(Dialogs::lastText()));
    // What was typed for one stays with them while another is looked at.
    practitioner->setCurrentText(kLeger);
    QCOMPARE(siren->text(), QStringLiteral("123456782"));
    practitioner->setCurrentText(kOrval);
    QCOMPARE(siren->text(), QStringLiteral("732829329"));

    siren->selectAll();
    QTest::keyClicks(siren, QStringLiteral("732829320"));
    const QString folder = QDir(clinic.dir()).filePath(QStringLiteral("comptable"));
    QVERIFY(QDir().mkpath(folder));
    Dialogs::clearShown();
    Dialogs::queueFolder(folder);
    child<QPushButton>(&window, "CmdFec")->click();
    QVERIFY(QFileInfo::exists(QDir(folder).filePath(QStringLiteral("732829320FEC20251231.txt"))));
    QString kept;
    QVERIFY(PractitionerSiren::read(*c.store, kOrval, &kept));
    QCOMPARE(kept, QStringLiteral("732829320"));
    QVERIFY(PractitionerSiren::read(*c.store, kLeger, &kept));
    QCOMPARE(kept, QStringLiteral("123456782"));
    // One journal entry: D'Orval's entry of the list, its code before and after.
    std::vector<JournalEntry> after;
    Clinic::check(c.store->journal().each([&](const JournalEntry& e) {
        after.push_back(e);
        return true;
    }),
                  "journal");
    QCOMPARE(after.size(), before.size() + 1);
    QCOMPARE(after.back().kind, JournalKind::ReferenceChanged);
    bool said = false;
    for (const ColumnChange& change : after.back().changes)
        said = said || (change.column == QLatin1String("CCAM") && change.after == QStringLiteral("732829320"));
    QVERIFY(said);

    // A window opened afterwards, on another workstation as well, offers each their own.
    ReceiptsWindow again(clinic.database());
    child<QComboBox>(&again, "CboPraticien")->setCurrentText(kOrval);
    QCOMPARE(child<QLineEdit>(&again, "TxtSiren")->text(), QStringLiteral("732829320"));
    child<QComboBox>(&again, "CboPraticien")->setCurrentText(kOeuvray);
    QCOMPARE(child<QLineEdit>(&again, "TxtSiren")->text(), QString());
}

void TestRecettes::windowPrintsAndExports() {
    obs::test::TempClinic clinic;
    Clinic c(clinic.location());
    seed(c);
    ReceiptsWindow window(clinic.database());
    child<QComboBox>(&window, "CboPraticien")->setCurrentText(kLeger);
    child<QLineEdit>(&window, "TxtDu")->setText(QStringLiteral("01/01/2025"));
    child<QLineEdit>(&window, "TxtAu")->setText(QStringLiteral("31/12/2025"));
    child<QPushButton>(&window, "CmdAfficher")->click();

    const QString csvPath = QDir(clinic.dir()).filePath(QStringLiteral("recettes.csv"));
    Dialogs::queueSaveFile(csvPath);
    child<QPushButton>(&window, "CmdExporter")->click();
    const auto rows = obs::test::readCsv(readAll(csvPath));
    QCOMPARE(rows.value(0), (QStringList{"Date", "N° d'acte", "Patiente", "Acte", "Payeur", "Mode", "Montant"}));
    QCOMPARE(rows.value(1).value(6), QStringLiteral("40,00"));
    QCOMPARE(rows.value(9), (QStringList{"Total des recettes", "575,75"}));

    const QString pdf = QDir(clinic.dir()).filePath(QStringLiteral("livre.pdf"));
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(pdf);
    int pages = 0;
    QVERIFY(window.printOn(&printer, &pages));
    QVERIFY(pages >= 1);
    QProcess text;
    text.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), pdf, QStringLiteral("-")});
    if (!text.waitForFinished(30000) || text.exitCode() != 0)
        QSKIP("pdftotext is not available");
    const QString printed = QString::fromUtf8(text.readAllStandardOutput());
    for (const QString& expected :
         {QStringLiteral("Livre des recettes"), QStringLiteral("575,75"), QStringLiteral("DUPONT Marie"),
          QStringLiteral("Page 1 / %1").arg(pages), QStringLiteral("Totaux par mois")})
        QVERIFY2(printed.contains(expected), qPrintable(expected + QStringLiteral(" in ") + printed));
}

// The yearly statement's received columns by the acts' dates, or by the dates of receipt.
void TestRecettes::yearStatementByReceiptDate() {
    obs::test::TempClinic clinic;
    Clinic c(clinic.location());
    seed(c);
    YearStatementWindow window(clinic.database());
    child<QComboBox>(&window, "CboPraticien")->setCurrentText(kLeger);
    child<QSpinBox>(&window, "TxtAnnee")->setValue(2025);
    auto* byAct = child<QRadioButton>(&window, "OptDateActe");
    auto* byReceipt = child<QRadioButton>(&window, "OptDateReception");
    QCOMPARE(byAct->text(), QStringLiteral("par date de l'acte"));
    QCOMPARE(byReceipt->text(), QStringLiteral("par date de réception"));
    QVERIFY(byAct->isChecked());
    auto lineOf = [&](int month) { return window.sheet().lines()[std::size_t(month - 1)]; };
    // By the acts' dates, January's act holds both its payments; the December 2024 act is not there.
    QCOMPARE(lineOf(1).paidSecu, std::optional(Money::fromEuros(200)));
    QCOMPARE(lineOf(1).paidExcess, std::optional(Money::fromEuros(100)));
    QCOMPARE(lineOf(1).paidComplementary, std::optional(Money()));
    byReceipt->click();
    QVERIFY(byReceipt->isChecked());
    QCOMPARE(lineOf(1).paidSecu, std::optional(Money::fromEuros(200)));
    QCOMPARE(lineOf(1).paidComplementary, std::optional(Money::fromEuros(40)));
    QCOMPARE(lineOf(1).paidExcess, std::optional(Money()));
    QCOMPARE(lineOf(2).paidExcess, std::optional(Money::fromEuros(100)));
    // The deleted act's payment was received in May; the corrected December payment counts 60.
    QCOMPARE(lineOf(5).paidSecu, std::optional(Money::fromEuros(80)));
    QCOMPARE(lineOf(12).paidSecu, std::optional(Money::fromEuros(60)));
    // The acts' own columns do not move.
    QCOMPARE(lineOf(1).acts, qint64(1));
}

void TestRecettes::receiptStaysWithItsPerformer_data() {
    QTest::addColumn<QString>("story");
    QTest::addColumn<QStringList>("leger");
    QTest::addColumn<QStringList>("orval");
    QTest::newRow("corrigé après le paiement") << "after" << QStringList{"20250120 DUPONT secu 200,00 virement"}
                                               << QStringList{"20250203 DUPONT patiente 100,00 cheque"};
    // The payment typed in the save that corrects the performer is the new performer's.
    QTest::newRow("corrigé avec un paiement") << "with" << QStringList{"20250120 DUPONT secu 200,00 virement"}
                                              << QStringList{"20250203 DUPONT patiente 100,00 cheque"};
    QTest::newRow("corrigé puis supprimé")
        << "deleted" << QStringList{"20250120 DUPONT secu 200,00 virement"} << QStringList{};
}

// Correcting who performed an act later moves nothing already received, in the book as in the FEC.
void TestRecettes::receiptStaysWithItsPerformer() {
    QFETCH(QString, story);
    QFETCH(QStringList, leger);
    QFETCH(QStringList, orval);
    obs::test::TempClinic clinic;
    Clinic c(clinic.location());
    for (const QString& p : {kLeger, kOrval})
        c.practitioner(p);
    c.act(QStringLiteral("DUPONT"), QStringLiteral("Marie"), day(2025, 1, 10), kLeger, kLeger);
    c.pay(QStringLiteral("DUPONT"), Payer::Secu, "200", day(2025, 1, 20), PaymentMode::Transfer);
    if (story == QLatin1String("after")) {
        c.performedBy(QStringLiteral("DUPONT"), kOrval);
        c.pay(QStringLiteral("DUPONT"), Payer::Patient, "100", day(2025, 2, 3), PaymentMode::Cheque);
    } else if (story == QLatin1String("with")) {
        c.performedBy(QStringLiteral("DUPONT"), kOrval, "100", day(2025, 2, 3));
    } else {
        c.performedBy(QStringLiteral("DUPONT"), kOrval);
        c.remove(QStringLiteral("DUPONT"));
    }
    QCOMPARE(described(c.book(kLeger, day(2025, 1, 1), day(2025, 12, 31)).receipts), leger);
    QCOMPARE(described(c.book(kOrval, day(2025, 1, 1), day(2025, 12, 31)).receipts), orval);
    // The correction is an entry of its own, and the chain holds the performer of each payment.
    std::vector<JournalEntry> entries;
    QVERIFY(c.store->journal().ofAct(c.acts.value(QStringLiteral("DUPONT")), &entries));
    QVERIFY(std::any_of(entries.begin(), entries.end(), [&](const JournalEntry& e) {
        return e.kind == JournalKind::Modified && e.changes.size() == 1 && e.changes[0].column == "MEDACTE" &&
               e.changes[0].before == kLeger && e.changes[0].after == kOrval;
    }));
    JournalCheck check;
    QVERIFY(c.store->journal().verify(&check));
    QVERIFY2(check.intact, qPrintable(check.problem));
    // The accountant's file of Léger keeps the 200 received while Léger performed the act.
    QString path, message;
    QCOMPARE(FecFile::write(*c.store, request(kLeger, false), clinic.dir(), &path, &message),
             FecFile::Outcome::Written);
    const FecCheck fec = readFec(readAll(path), 2025);
    QVERIFY2(fec.problem.isEmpty(), qPrintable(fec.problem));
    QCOMPARE(fec.rows.size(), 2);
    QCOMPARE(cents(fec.rows[0][11]) + cents(fec.rows[1][11]), qint64(20000));
}

void TestRecettes::olderJournalTakesThePerformerOnce_data() {
    QTest::addColumn<bool>("byTheProgram");
    QTest::newRow("obsledger-admin upgrade") << false;
    QTest::newRow("ouverture par le programme") << true;
}

// A journal of the version before: its payments written without their performer take, at the
// upgrade and then never again, the one their act had; its hashes still hold, and the payments
// written after carry their performer inside their hash.
void TestRecettes::olderJournalTakesThePerformerOnce() {
    QFETCH(bool, byTheProgram);
    obs::test::TempClinic clinic;
    if (byTheProgram && clinic.onServer())
        QSKIP("a server's journal is its owner's to upgrade (obsledger-admin upgrade)");
    useEarlierJournal(clinic);
    const QString admin = obs::test::builtProgram(QStringLiteral("obsledger-admin"));
    auto upgrade = [&] {
        if (byTheProgram) {
            clinic.database().close();
            QCOMPARE(openDatabaseAtLoad(nullptr, clinic.database(), false, false), OpenOutcome::Opened);
            QVERIFY(clinic.database().store()->journal().recordsPerformer());
        } else {
            const auto run =
                obs::test::runProgram(admin, {"upgrade", clinic.onServer() ? clinic.location() : clinic.dbPath()});
            QVERIFY2(run.code == 0, qPrintable(run.err));
        }
    };
    auto verified = [&] {
        Status s;
        const auto store = Store::open(clinic.location(), &s);
        JournalCheck check;
        if (!store || !store->journal().verify(&check))
            qFatal("verify: %s", qPrintable(s.message));
        return check;
    };
    qint64 act = 0;
    {
        Clinic c(clinic.location());
        QVERIFY(!c.store->journal().recordsPerformer());
        for (const QString& p : {kLeger, kOrval})
            c.practitioner(p);
        c.act(QStringLiteral("DUPONT"), QStringLiteral("Marie"), day(2025, 1, 10), kLeger, kLeger);
        c.pay(QStringLiteral("DUPONT"), Payer::Secu, "200", day(2025, 1, 20), PaymentMode::Transfer);
        act = c.acts.value(QStringLiteral("DUPONT"));
        QCOMPARE(paymentEntries(*c.store, act), (QStringList{"secu 200,00 [] []"}));
    }
    upgrade();
    QVERIFY(verified().intact);
    {
        Clinic c(clinic.location());
        c.acts[QStringLiteral("DUPONT")] = act;
        QCOMPARE(paymentEntries(*c.store, act), (QStringList{"secu 200,00 [] [Dr Léger]"}));
        c.performedBy(QStringLiteral("DUPONT"), kOrval);
        c.pay(QStringLiteral("DUPONT"), Payer::Patient, "100", day(2025, 2, 3), PaymentMode::Cheque);
    }
    // Run again, the upgrade finds the columns and writes nothing.
    upgrade();
    Clinic c(clinic.location());
    c.acts[QStringLiteral("DUPONT")] = act;
    QCOMPARE(paymentEntries(*c.store, act),
             (QStringList{"secu 200,00 [] [Dr Léger]", "patiente 100,00 [Dr D'ORVAL] []"}));
    QCOMPARE(described(c.book(kLeger, day(2025, 1, 1), day(2025, 12, 31)).receipts),
             (QStringList{"20250120 DUPONT secu 200,00 virement"}));
    QCOMPARE(described(c.book(kOrval, day(2025, 1, 1), day(2025, 12, 31)).receipts),
             (QStringList{"20250203 DUPONT patiente 100,00 cheque"}));
    const JournalCheck sound = verified();
    QVERIFY2(sound.intact, qPrintable(sound.problem));
    // The performer of a payment written with it is covered by its hash.
    const qint64 last = clinic.scalar(QStringLiteral("SELECT max(NUMJ) FROM JOURNAL")).toLongLong();
    if (!clinic.onServer())
        clinic.execute(QStringLiteral("DROP TRIGGER JOURNAL_FIGE"));
    clinic.execute(QStringLiteral("UPDATE JOURNAL SET MEDACTE = 'Dr Léger' WHERE NUMJ = %1").arg(last));
    const JournalCheck tampered = verified();
    QVERIFY(!tampered.intact);
    QCOMPARE(tampered.firstBad, std::optional(last));
}

void TestRecettes::statementRemainderAfterImport_data() {
    QTest::addColumn<QString>("practitioner");
    QTest::addColumn<int>("year");
    QTest::addColumn<QString>("owed"); // PRIX + DE - PAYESECU - PAYECOMPLE - PAYEDE of small.mdb's acts
    QTest::newRow("MARTIN 2005") << "MARTIN" << 2005 << "0";
    QTest::newRow("MARTIN 2010") << "MARTIN" << 2010 << "0";
    QTest::newRow("MARTIN 2021, un centime dû") << "MARTIN" << 2021 << "0,01";
    QTest::newRow("LEFÈVRE 2005") << "LEFÈVRE" << 2005 << "0";
}

// By date of receipt, the payments taken over from the old register (undated) still count in the
// acts' remainder; only the received columns follow the dates of receipt.
void TestRecettes::statementRemainderAfterImport() {
    QFETCH(QString, practitioner);
    QFETCH(int, year);
    QFETCH(QString, owed);
    obs::test::TempClinic clinic;
    importSmallRegister(clinic);
    YearStatementWindow window(clinic.database());
    child<QComboBox>(&window, "CboPraticien")->setCurrentText(practitioner);
    if (child<QComboBox>(&window, "CboPraticien")->currentText() != practitioner) {
        child<QComboBox>(&window, "CboPraticien")->addItem(practitioner);
        child<QComboBox>(&window, "CboPraticien")->setCurrentText(practitioner);
    }
    child<QSpinBox>(&window, "TxtAnnee")->setValue(year);
    const auto byActDate = window.sheet().lines();
    QCOMPARE(byActDate[12].remainder, Money::parse(owed));
    child<QRadioButton>(&window, "OptDateReception")->click();
    const auto byReceipt = window.sheet().lines();
    for (std::size_t m = 0; m < 13; ++m) {
        QCOMPARE(byReceipt[m].remainder, byActDate[m].remainder);
        // Nothing of the register was received on a known day.
        QCOMPARE(byReceipt[m].received, std::optional(Money()));
        QCOMPARE(byReceipt[m].billed, byActDate[m].billed);
    }
    QVERIFY(Dialogs::shownTexts().isEmpty());
}

void TestRecettes::yearOfTheMoveSaid_data() {
    QTest::addColumn<QString>("where");
    QTest::addColumn<QString>("missingFrom");
    QTest::newRow("livre à l'écran") << "window"
                                     << "ce livre.";
    QTest::newRow("livre imprimé") << "print"
                                   << "ce livre.";
    QTest::newRow("livre exporté") << "export"
                                   << "ce livre.";
    QTest::newRow("relevé à l'écran") << "statement"
                                      << "le livre des recettes.";
    QTest::newRow("relevé imprimé") << "statementPrint"
                                    << "le livre des recettes.";
    QTest::newRow("fec, erreur standard") << "fecErr"
                                          << "le livre des recettes ni dans le fichier 123456782FEC20101231.txt.";
    QTest::newRow("fec, descriptif") << "fecAbout"
                                     << "le livre des recettes ni dans le fichier 123456782FEC20101231.txt.";
}

// The year an old register was moved in, each report of the receipts says how many acts were paid
// before the journal, how much, and when the register was moved in. MARTIN in 2010: three acts
// performed (413,50 + 363,50 + 23,00) and one followed, with 120,00 paid over by D'ORNANO.
void TestRecettes::yearOfTheMoveSaid() {
    QFETCH(QString, where);
    QFETCH(QString, missingFrom);
    obs::test::TempClinic clinic;
    importSmallRegister(clinic);
    const QString martin = QStringLiteral("MARTIN");
    {
        Clinic c(clinic.location());
        ReferenceEntry known;
        bool found = false;
        QVERIFY(c.store->references().find(ReferenceList::Practitioners, martin, &known, &found));
        if (!found)
            c.practitioner(martin);
    }
    const QString expected = QStringLiteral("4 actes de la période ont été payés avant la tenue du journal (registre "
                                            "repris le %1) : 920,00 € reçus alors ne figurent pas dans %2")
                                 .arg(QDate::currentDate().toString(QStringLiteral("dd/MM/yyyy")), missingFrom);
    QString said;
    if (where == QLatin1String("window") || where == QLatin1String("print") || where == QLatin1String("export")) {
        ReceiptsWindow window(clinic.database());
        child<QComboBox>(&window, "CboPraticien")->setCurrentText(martin);
        child<QLineEdit>(&window, "TxtDu")->setText(QStringLiteral("01/01/2010"));
        child<QLineEdit>(&window, "TxtAu")->setText(QStringLiteral("31/12/2010"));
        child<QPushButton>(&window, "CmdAfficher")->click();
        auto* label = child<QLabel>(&window, "LblAvantJournal");
        QTRY_VERIFY(!label->text().isEmpty());
        QVERIFY(!label->isHidden());
        Clinic c(clinic.location());
        const ReceiptsSheet sheet(c.book(martin, day(2010, 1, 1), day(2010, 12, 31)), true);
        said = where == QLatin1String("window") ? label->text()
               : where == QLatin1String("print")
                   ? ReceiptsPrint::html(martin, QStringLiteral("01/01/2010"), QStringLiteral("31/12/2010"), sheet)
                   : QString::fromUtf8(sheet.csvDocument());
    } else if (where.startsWith(QLatin1String("statement"))) {
        YearStatementWindow window(clinic.database());
        child<QComboBox>(&window, "CboPraticien")->setCurrentText(martin);
        child<QSpinBox>(&window, "TxtAnnee")->setValue(2010);
        auto* label = child<QLabel>(&window, "LblAvantJournal");
        QVERIFY(!label->isHidden());
        said = where == QLatin1String("statement")
                   ? label->text()
                   : StatementPrint::html(martin, 2010, window.sheet(), QSize(400, 200));
    } else {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), clinic.dir());
        const auto run = obs::test::runProgram(obs::test::builtProgram(QStringLiteral("obsledger-admin")),
                                               {"fec", clinic.location(), "--praticien", martin, "--exercice", "2010",
                                                "--siren", "123456782", "--dossier", clinic.dir()},
                                               env);
        QVERIFY2(run.code == 0, qPrintable(run.err));
        said = where == QLatin1String("fecErr")
                   ? run.err
                   : decodeLatin9(
                         readAll(QDir(clinic.dir()).filePath(QStringLiteral("123456782FEC20101231-descriptif.txt"))));
    }
    QVERIFY2(said.contains(expected), qPrintable(said));
}

QTEST_MAIN(TestRecettes)
#include "test_recettes.moc"
