// SPDX-License-Identifier: GPL-3.0-or-later
// The yearly statement ("Relevé annuel"): its sums against the same sums worked out on the acts
// themselves, the sums paid over in both directions, the export read back field by field, the
// print on a PDF file, and the same statement from the file and from the server.
#include "TestSupport.h"

#include "accounts/SearchWindow.h"
#include "accounts/YearStatementWindow.h"
#include "common/DayNumber.h"
#include "common/Money.h"
#include "store/Store.h"
#include "store/sqlite/Collation.h"
#include "widgets/Dialogs.h"

#include <QAction>
#include <QBarSeries>
#include <QBarSet>
#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QtTest>

using namespace obs;
using obs::test::child;

namespace {

// One act of the clinic used by every test here; an amount "" is left empty.
struct Seed {
    const char* performer;
    const char* follower;
    QDate date;
    const char* price;
    const char* excess;
    const char* secu;
    const char* complementary;
    const char* paidExcess;
    const char* reversed;
};

const Seed kSeeds[] = {
    {"Dr Léger", "Dr Léger", QDate(2005, 1, 1), "313,5", "100", "200", "13,5", "100", ""},
    {"Dr LEGER", "Dr Léger", QDate(2005, 1, 31), "120", "", "84", "", "", ""},
    {"dr léger", "Dr Léger", QDate(2005, 3, 15), "0,0001", "", "", "", "", ""},
    {"Dr Léger", "Dr Léger", QDate(2005, 3, 16), "", "50", "", "", "20", ""},
    {"Dr Léger", "Dr MARTIN", QDate(2005, 6, 30), "400", "80", "280", "40", "", "50"},
    {"Dr Léger", "Dr MARTIN", QDate(2005, 7, 1), "250,25", "", "175,17", "", "", "25,5"},
    {"Dr MARTIN", "Dr Léger", QDate(2005, 7, 14), "300", "", "210", "", "", "30"},
    {"Dr MARTIN", "dr leger", QDate(2005, 11, 2), "150", "", "", "", "", "12,25"},
    {"Dr Léger", "Dr DUBOIS", QDate(2005, 9, 9), "500", "200", "350", "100", "150", ""},
    {"Dr DUBOIS", "Dr Léger", QDate(2005, 10, 10), "180", "", "126", "", "", "20"},
    {"Dr Léger", "=Dr ROUX; fils", QDate(2005, 12, 31), "90", "", "63", "", "", "9"},
    {"Dr Léger", "", QDate(2005, 8, 8), "70", "", "", "", "", "7"},
    {"Dr MARTIN", "Dr MARTIN", QDate(2005, 5, 5), "999", "99", "600", "", "", ""},
    {"Dr Léger", "Dr Léger", QDate(2004, 12, 31), "111", "", "", "", "", ""},
    {"Dr Léger", "Dr MARTIN", QDate(2006, 1, 1), "222", "", "", "", "", "22"},
    {"Dr Léger", "Dr Léger", QDate(2006, 2, 28), "333", "33", "233", "", "", ""},
};

const char* const kPractitioners[] = {"Dr Léger", "Dr MARTIN", "Dr DUBOIS", "Dr ABSENT"};

std::optional<Money> amount(const char* text) {
    return *text ? Money::parse(QString::fromUtf8(text)) : std::nullopt;
}

QVariant stored(const char* text) {
    return moneyValue(amount(text));
}

void seed(obs::test::TempClinic& clinic) {
    for (const char* name : kPractitioners)
        clinic.addMemo(1, QString::fromUtf8(name));
    int i = 0;
    for (const Seed& s : kSeeds) {
        Fields f{{QStringLiteral("Nom"), QStringLiteral("PATIENTE%1").arg(++i)},
                 {QStringLiteral("Date"), QVariant::fromValue<qint64>(dayNumberOf(s.date))},
                 {QStringLiteral("MEDACTE"), QString::fromUtf8(s.performer)},
                 {QStringLiteral("MEDSUIT"), QString::fromUtf8(s.follower)},
                 {QStringLiteral("PRIX"), stored(s.price)},
                 {QStringLiteral("DE"), stored(s.excess)},
                 {QStringLiteral("REVERSE"), stored(s.reversed)}};
        // The payments are never empty in a base: 0 until something is paid.
        const std::pair<const char*, const char*> payments[] = {
            {"PAYESECU", s.secu}, {"PAYECOMPLE", s.complementary}, {"PAYEDE", s.paidExcess}};
        for (const auto& [column, value] : payments) {
            if (*value)
                f.emplace_back(QString::fromLatin1(column), stored(value));
        }
        clinic.addAct(f);
    }
}

// The program's practitioner match: base letters, without regard to case or accents.
bool samePractitioner(const QString& a, const QString& b) {
    return jetLike(a, b);
}

Money add(Money a, const std::optional<Money>& b) {
    return *a.plus(b.value_or(Money()));
}

// The statement worked out on the acts themselves: count and sums a month, the year last.
struct Expected {
    std::array<qint64, 13> acts{};
    std::array<std::array<Money, 5>, 13> sums{}; // PRIX, DE, PAYESECU, PAYECOMPLE, PAYEDE
    // Colleague (first name met, base letters) -> paid over to them, received from them.
    QList<std::tuple<QString, Money, Money, bool>> reversals;
};

Expected expectedOf(const QString& practitioner, int year) {
    Expected e;
    for (const Seed& s : kSeeds) {
        const QString performer = QString::fromUtf8(s.performer);
        const QString follower = QString::fromUtf8(s.follower);
        if (s.date.year() != year)
            continue;
        if (samePractitioner(practitioner, performer)) {
            for (int row : {s.date.month() - 1, 12}) {
                ++e.acts[row];
                const char* const amounts[] = {s.price, s.excess, s.secu, s.complementary, s.paidExcess};
                for (int k = 0; k < 5; ++k)
                    e.sums[row][k] = add(e.sums[row][k], amount(amounts[k]));
            }
        }
        const bool performed = samePractitioner(practitioner, performer);
        const bool followed = samePractitioner(practitioner, follower);
        if (performed == followed || !amount(s.reversed))
            continue;
        const QString colleague = performed ? follower : performer;
        if (colleague.isEmpty())
            continue;
        auto it = std::find_if(e.reversals.begin(), e.reversals.end(),
                               [&](const auto& r) { return samePractitioner(std::get<0>(r), colleague); });
        if (it == e.reversals.end())
            it = e.reversals.insert(e.reversals.end(), {colleague, Money(), Money(), true});
        if (performed)
            std::get<1>(*it) = add(std::get<1>(*it), amount(s.reversed));
        else
            std::get<2>(*it) = add(std::get<2>(*it), amount(s.reversed));
    }
    std::sort(e.reversals.begin(), e.reversals.end(),
              [](const auto& a, const auto& b) { return frenchCompare(std::get<0>(a), std::get<0>(b)) < 0; });
    return e;
}

QString euro(Money m) {
    return accountingEuroText(m);
}

// The narrow no-break space between thousands, the no-break space before the euro sign.
QString spaced(QString text) {
    return text.replace(u'_', QChar(0x202F)).replace(u'~', QChar(0xA0));
}

QStringList rowTexts(const QTableWidget* table, int row) {
    QStringList out;
    for (int c = 0; c < table->columnCount(); ++c)
        out << (table->item(row, c) ? table->item(row, c)->text() : QString());
    return out;
}

// The statement window opened on the clinic, on a year and a practitioner chosen in its boxes.
struct Statement {
    explicit Statement(obs::test::TempClinic& clinic) : window(new YearStatementWindow(clinic.database())) {}
    ~Statement() { delete window.data(); }
    void choose(const QString& practitioner, int year) const {
        auto* box = child<QComboBox>(window, "CboPraticien");
        box->setCurrentIndex(box->findText(practitioner));
        QCOMPARE(box->currentText(), practitioner);
        child<QSpinBox>(window, "TxtAnnee")->setValue(year);
    }
    QTableWidget* table(const char* name) const { return child<QTableWidget>(window, name); }
    QPointer<YearStatementWindow> window;
};

QString pdfTool(const QString& tool, const QStringList& args) {
    const obs::test::ProgramRun r = obs::test::runProgram(tool, args, {}, 30000);
    return r.code == 0 ? r.out : QString();
}

int pdfPages(const QString& pdf) {
    static const QRegularExpression pages(QStringLiteral("^Pages:\\s+(\\d+)"), QRegularExpression::MultilineOption);
    const auto m = pages.match(pdfTool(QStringLiteral("pdfinfo"), {pdf}));
    return m.hasMatch() ? m.captured(1).toInt() : 0;
}

} // namespace

class TestReleve : public QObject {
    Q_OBJECT
private slots:
    void init() { Dialogs::clearShown(); }
    void openedFromSearchMenu();
    void accountingForm_data();
    void accountingForm();
    void figuresAsAnAccountantReadsThem();
    void sumsAsOnTheActs_data();
    void sumsAsOnTheActs();
    void damagedAmounts();
    void noPractitioner();
    void exportReadBack();
    void printToPdf_data();
    void printToPdf();
    void preview();
    void sameOnFileAndServer();
};

void TestReleve::openedFromSearchMenu() {
    obs::test::TempClinic clinic;
    clinic.writeRates();
    seed(clinic);
    obs::test::SearchScreen screen(clinic);
    auto* entry = child<QAction>(screen.form, "MnuReleve");
    QCOMPARE(entry->text(), QStringLiteral("Relevé annuel..."));
    entry->trigger();
    auto* window = screen.form->findChild<YearStatementWindow*>(QStringLiteral("FrmReleve"));
    QVERIFY(window);
    QTRY_VERIFY(window->isVisible());
    QCOMPARE(window->windowTitle(), QStringLiteral("Relevé annuel"));
    // Asked again, the same window comes forward.
    entry->trigger();
    QCOMPARE(screen.form->findChildren<YearStatementWindow*>().size(), 1);
    // The practitioners of the reference list, by name.
    QCOMPARE(obs::test::itemTexts(child<QComboBox>(window, "CboPraticien")->view()),
             (QStringList{"Dr ABSENT", "Dr DUBOIS", "Dr Léger", "Dr MARTIN"}));
    QCOMPARE(child<QSpinBox>(window, "TxtAnnee")->value(), QDate::currentDate().year());
    QVERIFY(Dialogs::shownTexts().isEmpty());
}

void TestReleve::accountingForm_data() {
    QTest::addColumn<QString>("amount");
    QTest::addColumn<QString>("shown");
    QTest::newRow("thousands") << "1183,7"
                               << "1_183,70~€";
    QTest::newRow("zero") << "0"
                          << "0,00~€";
    QTest::newRow("below a euro") << "0,5"
                                  << "0,50~€";
    QTest::newRow("three digits, no group") << "999,99"
                                            << "999,99~€";
    QTest::newRow("four digits") << "1000"
                                 << "1_000,00~€";
    QTest::newRow("millions") << "10000000"
                              << "10_000_000,00~€";
    QTest::newRow("negative thousands") << "-1183,7"
                                        << "-1_183,70~€";
    QTest::newRow("half a cent, even below") << "0,125"
                                             << "0,12~€";
    QTest::newRow("half a cent, even above") << "0,135"
                                             << "0,14~€";
    QTest::newRow("a part of a cent below zero shows no sign") << "-0,0001"
                                                               << "0,00~€";
    QTest::newRow("rounded up to a new group") << "999,995"
                                               << "1_000,00~€";
}

void TestReleve::accountingForm() {
    QFETCH(QString, amount);
    QFETCH(QString, shown);
    QCOMPARE(accountingEuroText(*Money::parse(amount)), spaced(shown));
    // The largest figure a base may hold is shown whole, its sign too.
    QCOMPARE(accountingEuroText(Money::fromUnits(std::numeric_limits<qint64>::min())),
             spaced("-922_337_203_685_477,58~€"));
}

void TestReleve::figuresAsAnAccountantReadsThem() {
    obs::test::TempClinic clinic;
    clinic.addMemo(1, QStringLiteral("Dr Léger"));
    for (const auto& [day, price, secu] : {std::tuple{3, "1000", "1183,7"}, std::tuple{4, "183,7", "0"}})
        clinic.addAct({{QStringLiteral("Nom"), QStringLiteral("PATIENTE")},
                       {QStringLiteral("Date"), QVariant::fromValue<qint64>(dayNumberOf(QDate(2005, 2, day)))},
                       {QStringLiteral("MEDACTE"), QStringLiteral("Dr Léger")},
                       {QStringLiteral("PRIX"), stored(price)},
                       {QStringLiteral("PAYESECU"), stored(secu)}});
    Statement s(clinic);
    s.choose(QStringLiteral("Dr Léger"), 2005);
    QTableWidget* months = s.table("TblMois");
    // February: 1 183,70 billed, 1 183,70 received, nothing left; the year the same.
    for (int row : {1, 12}) {
        QCOMPARE(rowTexts(months, row).mid(1),
                 (QStringList{"2", spaced("1_183,70~€"), spaced("0,00~€"), spaced("1_183,70~€"), spaced("0,00~€"),
                              spaced("0,00~€"), spaced("0,00~€")}));
        for (int c = 1; c < months->columnCount(); ++c)
            QVERIFY(months->item(row, c)->textAlignment() & Qt::AlignRight);
        QVERIFY(months->item(row, 0)->textAlignment() & Qt::AlignLeft);
    }
    // Overpaid: below zero, as in a ledger.
    clinic.execute(QStringLiteral("UPDATE ACTES SET PAYESECU = PAYESECU + 120000 WHERE PRIX = 1837000"));
    s.choose(QStringLiteral("Dr Léger"), 2006);
    s.choose(QStringLiteral("Dr Léger"), 2005);
    QCOMPARE(rowTexts(months, 1)[7], spaced("-12,00~€"));
    QVERIFY2(Dialogs::shownTexts().isEmpty(), qPrintable(Dialogs::shownTexts().join(u'|')));
}

void TestReleve::sumsAsOnTheActs_data() {
    QTest::addColumn<QString>("practitioner");
    QTest::addColumn<int>("year");
    QTest::newRow("accents and case, both ways") << "Dr Léger" << 2005;
    QTest::newRow("another practitioner") << "Dr MARTIN" << 2005;
    QTest::newRow("a colleague who only receives") << "Dr DUBOIS" << 2005;
    QTest::newRow("another year") << "Dr Léger" << 2006;
    QTest::newRow("a year before every act but one") << "Dr Léger" << 2004;
    QTest::newRow("no act at all") << "Dr ABSENT" << 2005;
}

void TestReleve::sumsAsOnTheActs() {
    QFETCH(QString, practitioner);
    QFETCH(int, year);
    obs::test::TempClinic clinic;
    seed(clinic);
    Statement s(clinic);
    s.choose(practitioner, year);
    const Expected e = expectedOf(practitioner, year);

    QTableWidget* months = s.table("TblMois");
    QCOMPARE(months->rowCount(), 13);
    QCOMPARE(months->horizontalHeaderItem(2)->text(), QStringLiteral("Montant"));
    QCOMPARE(months->horizontalHeaderItem(7)->text(), QStringLiteral("Reste dû"));
    auto* chart = child<QChartView>(s.window, "GraphMois")->chart();
    auto* series = qobject_cast<QBarSeries*>(chart->series().value(0));
    QVERIFY(series && series->count() == 2);
    for (int row = 0; row < 13; ++row) {
        const auto& m = e.sums[row];
        const Money billed = *m[0].plus(m[1]);
        const Money received = *m[2].plus(m[3])->plus(m[4]);
        const QStringList expected{row < 12 ? QLocale(QLocale::French).standaloneMonthName(row + 1)
                                            : QStringLiteral("Total"),
                                   QString::number(e.acts[row]),
                                   euro(m[0]),
                                   euro(m[1]),
                                   euro(m[2]),
                                   euro(m[3]),
                                   euro(m[4]),
                                   euro(*billed.minus(received))};
        QStringList shown = rowTexts(months, row);
        shown[0] = shown[0].toLower();
        QStringList wanted = expected;
        wanted[0] = wanted[0].toLower();
        QCOMPARE(shown, wanted);
        if (row < 12) {
            QCOMPARE(series->barSets()[0]->at(row), double(billed.units()) / Money::Scale);
            QCOMPARE(series->barSets()[1]->at(row), double(received.units()) / Money::Scale);
        }
    }

    QTableWidget* reversals = s.table("TblReversements");
    QCOMPARE(reversals->rowCount(), int(e.reversals.size()));
    for (int row = 0; row < reversals->rowCount(); ++row) {
        const auto& [colleague, paidOver, received, _] = e.reversals[row];
        const QStringList shown = rowTexts(reversals, row);
        QVERIFY2(samePractitioner(shown[0], colleague), qPrintable(shown[0] + u'/' + colleague));
        QCOMPARE(shown.mid(1), (QStringList{euro(paidOver), euro(received)}));
    }
    QVERIFY2(Dialogs::shownTexts().isEmpty(), qPrintable(Dialogs::shownTexts().join(u'|')));
}

void TestReleve::damagedAmounts() {
    obs::test::TempClinic clinic;
    if (clinic.onServer())
        QSKIP("a server column holds no such figure");
    seed(clinic);
    // A figure no amount can be: the month and the year say so, the other columns stay right.
    clinic.execute(QStringLiteral("UPDATE ACTES SET PRIX = 1e300 WHERE Nom = 'PATIENTE2'"));
    Statement s(clinic);
    s.choose(QStringLiteral("Dr Léger"), 2005);
    const QStringList january = rowTexts(s.table("TblMois"), 0);
    QCOMPARE(january[2], QStringLiteral("Montant hors limites"));
    QCOMPARE(january[4], spaced("284,00~€"));
    QCOMPARE(january[7], QStringLiteral("Montant hors limites"));
    QCOMPARE(rowTexts(s.table("TblMois"), 12)[2], QStringLiteral("Montant hors limites"));
    QCOMPARE(rowTexts(s.table("TblMois"), 2)[2], spaced("0,00~€"));

    // Sums beyond any whole number: the statement is refused with its reason, nothing half shown.
    clinic.execute(QStringLiteral("UPDATE ACTES SET PRIX = 9223372036854775807 WHERE Nom IN ('PATIENTE1', "
                                  "'PATIENTE2')"));
    Dialogs::clearShown();
    s.choose(QStringLiteral("Dr Léger"), 2006);
    s.choose(QStringLiteral("Dr Léger"), 2005);
    QCOMPARE(Dialogs::shownTexts().size(), 1);
    QVERIFY2(Dialogs::lastText().startsWith(QStringLiteral("Le relevé n'a pas pu être établi.")),
             qPrintable(Dialogs::lastText()));
    QCOMPARE(rowTexts(s.table("TblMois"), 12).mid(1, 2), (QStringList{"0", spaced("0,00~€")}));
    QCOMPARE(s.table("TblReversements")->rowCount(), 0);
}

void TestReleve::noPractitioner() {
    obs::test::TempClinic clinic; // no reference list yet
    Statement s(clinic);
    QCOMPARE(child<QComboBox>(s.window, "CboPraticien")->count(), 0);
    QCOMPARE(rowTexts(s.table("TblMois"), 12).mid(0, 3), (QStringList{"Total", "0", spaced("0,00~€")}));
    const QString path = clinic.file(QStringLiteral("vide.csv"));
    const QString pdf = clinic.file(QStringLiteral("vide.pdf"));
    Dialogs::queueSaveFile(path);
    Dialogs::queuePrinterChoice(true);
    Dialogs::setTestPrintFile(pdf);
    child<QPushButton>(s.window, "CmdExporter")->click();
    child<QPushButton>(s.window, "CmdImprimer")->click();
    Dialogs::setTestPrintFile(QString());
    QVERIFY(!QFile::exists(path) && !QFile::exists(pdf));
    QCOMPARE(Dialogs::shownTexts(), (QStringList{"Choisissez d'abord le praticien : il n'y a rien à exporter.",
                                                 "Choisissez d'abord le praticien : il n'y a rien à imprimer."}));
}

void TestReleve::exportReadBack() {
    obs::test::TempClinic clinic;
    seed(clinic);
    Statement s(clinic);
    s.choose(QStringLiteral("Dr Léger"), 2005);
    const QString path = clinic.file(QStringLiteral("releve.csv"));

    // Cancelled: nothing written.
    Dialogs::queueSaveFile(QString());
    child<QPushButton>(s.window, "CmdExporter")->click();
    QVERIFY(!QFile::exists(path));

    Dialogs::queueSaveFile(path);
    child<QPushButton>(s.window, "CmdExporter")->click();
    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QList<QStringList> rows = obs::test::readCsv(f.readAll());
    const Expected e = expectedOf(QStringLiteral("Dr Léger"), 2005);
    QCOMPARE(rows.size(), 1 + 13 + 1 + 1 + e.reversals.size());
    QCOMPARE(rows[0], (QStringList{"Mois", "Actes", "Montant", "DE", "Payé Sécu", "Payé complémentaire", "Payé DE",
                                   "Reste dû"}));
    for (int row = 0; row < 13; ++row) {
        const auto& m = e.sums[row];
        const Money remainder = *m[0].plus(m[1])->minus(*m[2].plus(m[3])->plus(m[4]));
        QStringList expected{row < 12 ? rowTexts(s.table("TblMois"), row)[0] : QStringLiteral("Total"),
                             QString::number(e.acts[row])};
        for (const Money& sum : m)
            expected << sum.toFrench();
        expected << remainder.toFrench();
        QCOMPARE(rows[1 + row], expected);
    }
    QCOMPARE(rows[1][0], QStringLiteral("Janvier"));
    QCOMPARE(rows[1][2], QStringLiteral("433,5")); // decimal comma, no euro sign
    QCOMPARE(rows[14], QStringList{QString()});
    QCOMPARE(rows[15], (QStringList{"Confrère", "Reversé au confrère", "Reçu du confrère"}));
    QStringList colleagues;
    for (int i = 0; i < e.reversals.size(); ++i) {
        const auto& [colleague, paidOver, received, _] = e.reversals[i];
        colleagues << rows[16 + i][0];
        QCOMPARE(rows[16 + i].mid(1), (QStringList{paidOver.toFrench(), received.toFrench()}));
    }
    // A name a spreadsheet would take for a formula is kept as text; its ';' is quoted.
    QCOMPARE(colleagues, (QStringList{"'=Dr ROUX; fils", "Dr DUBOIS", "Dr MARTIN"}));
    QVERIFY2(Dialogs::shownTexts() == QStringList({"Exporter le relevé", "Exporter le relevé"}),
             qPrintable(Dialogs::shownTexts().join(u'|')));
}

void TestReleve::printToPdf_data() {
    QTest::addColumn<int>("colleagues");
    QTest::addColumn<int>("pages");
    QTest::newRow("one page") << 0 << 1;
    QTest::newRow("many colleagues, two pages") << 40 << 2;
}

void TestReleve::printToPdf() {
    QFETCH(int, colleagues);
    QFETCH(int, pages);
    obs::test::TempClinic clinic;
    seed(clinic);
    for (int i = 0; i < colleagues; ++i)
        clinic.addAct({{QStringLiteral("Nom"), QStringLiteral("AUTRE")},
                       {QStringLiteral("Date"), QVariant::fromValue<qint64>(dayNumberOf(QDate(2005, 4, 1 + i % 28)))},
                       {QStringLiteral("MEDACTE"), QStringLiteral("Dr Léger")},
                       {QStringLiteral("MEDSUIT"), QStringLiteral("Dr CONFRÈRE %1").arg(i, 2, 10, QLatin1Char('0'))},
                       {QStringLiteral("PRIX"), moneyValue(Money::fromEuros(100))},
                       {QStringLiteral("REVERSE"), moneyValue(Money::fromEuros(10 + i))}});
    Statement s(clinic);
    s.choose(QStringLiteral("Dr Léger"), 2005);
    const QString pdf = clinic.file(QStringLiteral("releve.pdf"));
    Dialogs::setTestPrintFile(pdf);

    // The print dialog cancelled: nothing printed.
    Dialogs::queuePrinterChoice(false);
    child<QPushButton>(s.window, "CmdImprimer")->click();
    QVERIFY(!QFile::exists(pdf));

    Dialogs::queuePrinterChoice(true);
    child<QPushButton>(s.window, "CmdImprimer")->click();
    Dialogs::setTestPrintFile(QString());
    QVERIFY2(QFile(pdf).size() > 1000, "nothing printed");
    QCOMPARE(pdfPages(pdf), pages);

    const QString text =
        pdfTool(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), pdf, QStringLiteral("-")}).simplified();
    // The table's cells, read back without the spaces the text extraction adds, drops or turns
    // into plain ones (the no-break spaces of the amounts).
    const auto squeezed = [](QString t) {
        t.removeIf([](QChar c) { return c.isSpace(); });
        return t;
    };
    const QString cells = squeezed(text);
    const auto printed = [&](const QStringList& row) { return cells.contains(squeezed(row.join(QString()))); };
    QVERIFY2(text.contains(QStringLiteral("Relevé annuel 2005")), qPrintable(text));
    QVERIFY(text.contains(QStringLiteral("Actes effectués par le Dr Léger")));
    QVERIFY(text.contains(QStringLiteral("Imprimé le %1").arg(QDate::currentDate().toString(u"dd/MM/yyyy"))));
    for (int p = 1; p <= pages; ++p)
        QVERIFY(text.contains(QStringLiteral("Page %1 / %2").arg(p).arg(pages)));
    // The table's total line and the sums paid over, as on the screen.
    for (int row = 0; row < 13; ++row)
        QVERIFY2(printed(rowTexts(s.table("TblMois"), row)), qPrintable(text));
    for (int row = 0; row < s.table("TblReversements")->rowCount(); ++row)
        QVERIFY2(printed(rowTexts(s.table("TblReversements"), row)), qPrintable(text));
    QVERIFY(printed({"Dr MARTIN", "75,50 €", "42,25 €"}));
    QCOMPARE(Dialogs::shownTexts(), QStringList(2, QStringLiteral("(choix de l'imprimante)")));
}

void TestReleve::preview() {
    obs::test::TempClinic clinic;
    seed(clinic);
    Statement s(clinic);
    s.choose(QStringLiteral("Dr Léger"), 2005);
    s.window->resize(1000, 720); // as it opens on the clinic's screens
    s.window->show();
    QVERIFY(QTest::qWaitForWindowExposed(s.window));
    child<QPushButton>(s.window, "CmdApercu")->click();
    QDialog* dialog = nullptr;
    QTRY_VERIFY((dialog = s.window->findChild<QDialog*>(QStringLiteral("FrmApercu"))) && dialog->isVisible());
    dialog->close();
    QTRY_VERIFY(!s.window->findChild<QDialog*>(QStringLiteral("FrmApercu")));
    QVERIFY2(Dialogs::shownTexts().isEmpty(), qPrintable(Dialogs::shownTexts().join(u'|')));
}

void TestReleve::sameOnFileAndServer() {
    OBS_REQUIRE_SERVER();
    obs::test::TempClinic file;
    obs::test::TempServerDatabase server;
    Status status;
    const auto onFile = Store::open(file.dbPath(), &status);
    QVERIFY2(onFile, qPrintable(status.message));
    const auto onServer = Store::open(server.conninfo(), &status);
    QVERIFY2(onServer, qPrintable(status.message));
    // The same acts written through the store on both.
    for (Store* store : {onFile.get(), onServer.get()}) {
        for (const Seed& s : kSeeds) {
            Act a;
            a.surname = QStringLiteral("PATIENTE");
            a.date = dayNumberOf(s.date);
            a.performedBy = QString::fromUtf8(s.performer);
            a.followedBy = QString::fromUtf8(s.follower);
            // The store takes whole cents: a fraction of a cent comes only from an older register's import.
            a.price = amount(s.price);
            if (a.price && !a.price->inWholeCents())
                a.price = a.price->roundedTo2();
            a.excess = amount(s.excess);
            qint64 number = 0;
            QVERIFY(store->acts().append(a, &number));
            Act paid = a;
            paid.number = number;
            paid.paidSecu = paid.paidComplementary = paid.paidExcess = Money();
            Act edited = paid;
            edited.paidSecu = amount(s.secu).value_or(Money());
            edited.paidComplementary = amount(s.complementary).value_or(Money());
            edited.paidExcess = amount(s.paidExcess).value_or(Money());
            QVERIFY(store->acts().update(paid, edited, false));
            bool changed = false;
            if (const auto r = amount(s.reversed))
                QVERIFY(store->acts().addReversal(number, dayNumberOf(s.date), *r, &changed) && changed);
        }
    }
    const std::pair<const char*, int> cases[] = {{"Dr Léger", 2005},  {"DR LEGER", 2005}, {"Dr MARTIN", 2005},
                                                 {"Dr DUBOIS", 2005}, {"Dr Léger", 2006}, {"Dr L*", 2005},
                                                 {"Dr ABSENT", 2005}};
    for (const auto& [name, year] : cases) {
        YearStatement a, b;
        QVERIFY(onFile->acts().yearStatement(year, QString::fromUtf8(name), &a));
        QVERIFY(onServer->acts().yearStatement(year, QString::fromUtf8(name), &b));
        QVERIFY2(a == b, name);
        if (QByteArray(name) == "Dr Léger" && year == 2005) {
            QCOMPARE(a.months[0].acts, 2);
            QCOMPARE(a.reversals.size(), size_t(3));
        }
    }
    YearStatement refused;
    QCOMPARE(onServer->acts().yearStatement(0, QStringLiteral("Dr Léger"), &refused).error, StoreError::RefusedValue);
}

QTEST_MAIN(TestReleve)
#include "test_releve.moc"
