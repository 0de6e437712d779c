// Printing the found list: the composed lines with their font sizes, and real prints to a PDF file.
#include "TestSupport.h"

#include "accounts/ListPrint.h"
#include "accounts/SearchWindow.h"
#include "common/DayNumber.h"
#include "common/Money.h"
#include "domain/Listing.h"
#include "widgets/Dialogs.h"

#include <QAction>
#include <QComboBox>
#include <QDirIterator>
#include <QLineEdit>
#include <QListView>
#include <QPointer>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QtTest>

Q_DECLARE_METATYPE(obs::ListPrint::Line)

using namespace obs;
using obs::test::child;

namespace {

using Line = ListPrint::Line;

struct TempClinic : obs::test::TempClinic {
    TempClinic() {
        QFile rates(appDir() + QStringLiteral("/taux.cmt"));
        if (!rates.open(QIODevice::WriteOnly) || rates.write("\"10\",\"50\"\r\n") != 11)
            qFatal("cannot write the rates file");
    }
    void act(const QString& nom, int day, const char* secu = "0") {
        addAct({{QStringLiteral("Nom"), nom},
                {QStringLiteral("Prenom"), QStringLiteral("Marie")},
                {QStringLiteral("Date"), QVariant::fromValue<qint64>(dayNumberOf(QDate(2005, 3, 1).addDays(day)))},
                {QStringLiteral("CCAM1"), QStringLiteral("JQGA002")},
                {QStringLiteral("PRIX"), moneyValue(Money::fromEuros(100))},
                {QStringLiteral("PAYESECU"), moneyValue(Money::parse(QString::fromUtf8(secu)))}});
    }
};

using obs::test::SearchScreen;

QString pdfText(const QString& pdf, const QStringList& options = {}) {
    QProcess p;
    p.start(QStringLiteral("pdftotext"), options + QStringList{pdf, QStringLiteral("-")});
    if (!p.waitForFinished(30000) || p.exitCode() != 0)
        return QString();
    return QString::fromUtf8(p.readAllStandardOutput());
}

// The printed lines of the text, blanks runs made single.
QStringList printedLines(const QString& pdf) {
    QStringList out;
    // The layout keeps each printed line whole; ligatures (ff) are read back as their letters.
    for (const QString& l : pdfText(pdf, {QStringLiteral("-layout")}).split(u'\n')) {
        const QString s = l.normalized(QString::NormalizationForm_KC).simplified();
        if (!s.isEmpty())
            out << s;
    }
    return out;
}

QStringList simplified(const QStringList& lines) {
    QStringList out;
    for (const QString& l : lines)
        out << l.simplified();
    return out;
}

// The printed lines of each page, blank runs made single.
QList<QStringList> printedPages(const QString& pdf) {
    QList<QStringList> pages;
    const QString text = pdfText(pdf, {QStringLiteral("-layout")});
    QStringList parts = text.split(u'\f');
    if (!parts.isEmpty() && parts.last().trimmed().isEmpty())
        parts.removeLast();
    for (const QString& page : parts) {
        QStringList lines;
        for (const QString& l : page.split(u'\n')) {
            const QString s = l.normalized(QString::NormalizationForm_KC).simplified();
            if (!s.isEmpty())
                lines << s;
        }
        pages << lines;
    }
    return pages;
}

// The printed list as it must come out: every page ends with the date of printing and its number
// among all; the pages' other lines, end to end, are the expected lines in order.
void checkPages(const QList<QStringList>& pages, const QStringList& expected, const QDate& printedOn) {
    QVERIFY2(!pages.isEmpty(), "nothing printed");
    QStringList body;
    const int count = int(pages.size());
    for (int p = 0; p < count; ++p) {
        const QStringList& lines = pages[p];
        QVERIFY2(!lines.isEmpty(), qPrintable(QStringLiteral("page %1 is empty").arg(p + 1)));
        static const QRegularExpression foot(
            QStringLiteral("^Imprimé le (\\d\\d/\\d\\d/\\d{4}) à \\d\\d:\\d\\d Page (\\d+) / (\\d+)$"));
        const auto m = foot.match(lines.last());
        QVERIFY2(m.hasMatch(), qPrintable(lines.last()));
        QCOMPARE(m.captured(1), printedOn.toString(QStringLiteral("dd/MM/yyyy")));
        QCOMPARE(m.captured(2).toInt(), p + 1);
        QCOMPARE(m.captured(3).toInt(), count);
        body += lines.mid(0, lines.size() - 1);
    }
    QCOMPARE(body, expected);
}

// What the found list prints: the heading, the lines as shown, the count and the total as shown.
QStringList expectedPrint(const obs::test::SearchScreen& s, const QString& performer, const QString& followUp) {
    const QString act = s.combo("CmbActes")->currentText();
    QStringList out{QStringLiteral("Actes effectués :"),
                    (QStringLiteral("par le ") + performer).simplified(),
                    (QStringLiteral("pour le ") + followUp).simplified(),
                    QStringLiteral("Période du %1 au %2").arg(s.edit("TxtDate1")->text(), s.edit("TxtDate2")->text()),
                    (QStringLiteral("Type d'acte : ") + act).simplified(),
                    QStringLiteral("Nom des patientes.")};
    out += simplified(s.lines());
    out << (s.caption("Label2").simplified() + QStringLiteral(" : ") + s.caption("Label1"))
        << (s.caption("Label4").simplified() + QStringLiteral(" : ") + s.caption("LblTotalActes")).simplified();
    return out;
}

} // namespace

class TestPrint : public QObject {
    Q_OBJECT
private slots:
    void compose_data();
    void compose();
    void headingAfterUnpaidListing();
    void printToPdf();
    void pageSetUp();
    void longListContinuesOnNewPages();
    void printerChoice();
    void unusablePrinter();
    void printOnDefaultPrinter();
};

void TestPrint::compose_data() {
    QTest::addColumn<QStringList>("found");
    QTest::addColumn<QStringList>("criteria"); // performer, follow-up, act, first day, last day
    QTest::addColumn<QStringList>("summary");  // count caption, count, total caption, total
    QTest::addColumn<QList<Line>>("expected");
    const QList<Line> emptyHeading{{"", 16},
                                   {"Actes effectués :", 16},
                                   {"          par le ", 16},
                                   {"          pour le ", 16},
                                   {"", 12},
                                   {"Période du 01/01/2004 au 31/12/2010", 12},
                                   {"", 12},
                                   {"Type d'acte : ", 12},
                                   {"", 12},
                                   {" Nom des patientes.", 12},
                                   {"", 12}};
    QTest::newRow("empty list, empty criteria")
        << QStringList{} << QStringList{"", "", "", "01/01/2004", "31/12/2010"} << QStringList{} << emptyHeading;
    QList<Line> three{{"", 16},
                      {"Actes effectués :", 16},
                      {"          par le Dr D'ORVAL", 16},
                      {"          pour le Dr MARTIN", 16},
                      {"", 12},
                      {"Période du 1/1/2005 au 31/12/2005", 12},
                      {"", 12},
                      {"Type d'acte : Césarienne", 12},
                      {"", 12},
                      {" Nom des patientes.", 12},
                      {"", 12},
                      {"B   Zoé   02/03/2005 (X) ", 12},
                      {"A   Léa   01/03/2005 (Y) Mut : 150 €", 12},
                      {"C   Inès   03/03/2005, (Z)", 12}};
    QTest::newRow("three lines in list order")
        << QStringList{"B   Zoé   02/03/2005 (X) ", "A   Léa   01/03/2005 (Y) Mut : 150 €",
                       "C   Inès   03/03/2005, (Z)"}
        << QStringList{"Dr D'ORVAL", "Dr MARTIN", "Césarienne", "1/1/2005", "31/12/2005"} << QStringList{} << three;
    QList<Line> summed = three;
    summed << Line{"", 12} << Line{"Nbre.  trouvé : 3", 12}
           << Line{"Total du montant des actes recherchés  (tarif conventionné) : 724,5 €", 12};
    QTest::newRow("count and total under the list")
        << QStringList{"B   Zoé   02/03/2005 (X) ", "A   Léa   01/03/2005 (Y) Mut : 150 €",
                       "C   Inès   03/03/2005, (Z)"}
        << QStringList{"Dr D'ORVAL", "Dr MARTIN", "Césarienne", "1/1/2005", "31/12/2005"}
        << QStringList{"Nbre.  trouvé", "3", "Total du montant des actes recherchés  (tarif conventionné)", "724,5 €"}
        << summed;
}

void TestPrint::compose() {
    QFETCH(QStringList, found);
    QFETCH(QStringList, criteria);
    QFETCH(QStringList, summary);
    QFETCH(QList<Line>, expected);
    const ListPrint::Heading h{criteria[0], criteria[1], criteria[2], criteria[3], criteria[4]};
    ListPrint::Summary sum;
    if (!summary.isEmpty())
        sum = {summary[0], summary[1], summary[2], summary[3]};
    const std::vector<Line> lines = ListPrint::compose(h, found, sum);
    QCOMPARE(QList<Line>(lines.begin(), lines.end()), expected);
}

void TestPrint::headingAfterUnpaidListing() {
    TempClinic clinic;
    clinic.act(QStringLiteral("DUPONT"), 0);
    clinic.act(QStringLiteral("DURAND"), 1, "70");
    SearchScreen s(clinic);
    child<QComboBox>(s.form, "CmbPrat1")->setEditText(QStringLiteral("Dr MARTIN"));
    child<QComboBox>(s.form, "CmbPrat2")->setEditText(QStringLiteral("Dr D'ORVAL"));
    s.click("CmdImpayes");
    const std::vector<Line> lines = s.form->composedPrint();
    QCOMPARE(lines.at(2).text, QStringLiteral("          par le Dr D'ORVAL"));
    QCOMPARE(lines.at(3).text, QStringLiteral("          pour le Dr MARTIN"));
    QCOMPARE(lines.at(11).text, QStringLiteral("DUPONT   Marie   01/03/2005, (JQGA002)"));
    // The count and the total of the unpaid listing, as the screen shows them.
    QCOMPARE(int(lines.size()), 15);
    QCOMPARE(lines.at(13).text, QStringLiteral("Nbre.  trouvé : 1"));
    QCOMPARE(lines.at(14).text, Listing::totalCaption(ListingKind::Unpaid) + " : " + s.caption("LblTotalActes"));
    QVERIFY(!s.caption("LblTotalActes").isEmpty());
}

void TestPrint::printToPdf() {
    TempClinic clinic;
    clinic.act(QStringLiteral("DUPONT"), 0);
    clinic.act(QStringLiteral("DURAND"), 1);
    clinic.act(QStringLiteral("MOREL"), 2);
    const QString pdf = clinic.file(QStringLiteral("liste.pdf"));
    Dialogs::setTestPrintFile(pdf);
    SearchScreen s(clinic);
    s.click("Command2");
    child<QComboBox>(s.form, "CmbPrat1")->setEditText(QStringLiteral("Dr MARTIN"));
    s.click("Command1");
    Dialogs::setTestPrintFile(QString());
    QVERIFY2(QFile::exists(pdf), "nothing was printed");
    QVERIFY(Dialogs::shownTexts().isEmpty());
    const QStringList expected =
        QStringList{"Actes effectués :", "par le",
                    "pour le Dr MARTIN", "Période du 01/01/2004 au 31/12/2010",
                    "Type d'acte :",     "Nom des patientes."} +
        simplified(s.lines()) +
        QStringList{"Nbre. trouvé : 3", "Total du montant des actes recherchés (tarif conventionné) : 300 €"};
    QCOMPARE(expectedPrint(s, QString(), QStringLiteral("Dr MARTIN")), expected);
    checkPages(printedPages(pdf), expected, QDate::currentDate());
}

void TestPrint::pageSetUp() {
    TempClinic clinic;
    clinic.act(QStringLiteral("DUPONT"), 0);
    const QString pdf = clinic.file(QStringLiteral("page.pdf"));
    Dialogs::setTestPrintFile(pdf);
    SearchScreen s(clinic);
    s.click("Command2");
    s.click("Command1");
    Dialogs::setTestPrintFile(QString());
    // Word boxes in points: the heading is in 16 points, the rest in 12, and every line starts at
    // the same left margin, 3 cm (85 points) or more from the paper's edge.
    const QString boxes = pdfText(pdf, {QStringLiteral("-bbox")});
    static const QRegularExpression word(QStringLiteral(
        "<word xMin=\"([\\d.]+)\" yMin=\"([\\d.]+)\" xMax=\"[\\d.]+\" yMax=\"([\\d.]+)\">([^<]*)</word>"));
    QMap<QString, QPair<double, double>> seen; // first word of a line -> (x, height)
    double lastY = -1;
    for (auto it = word.globalMatch(boxes); it.hasNext();) {
        const auto m = it.next();
        const double y = m.captured(2).toDouble();
        if (y == lastY)
            continue;
        lastY = y;
        seen.insert(m.captured(4), {m.captured(1).toDouble(), m.captured(3).toDouble() - y});
    }
    QVERIFY2(seen.contains(QStringLiteral("Actes")) && seen.contains(QStringLiteral("Période")) &&
                 seen.contains(QStringLiteral("DUPONT")),
             qPrintable(boxes.left(2000)));
    const double heading = seen[QStringLiteral("Actes")].second;
    const double body = seen[QStringLiteral("Période")].second;
    QVERIFY2(qAbs(heading / body - 16.0 / 12.0) < 0.1, qPrintable(QStringLiteral("%1 / %2").arg(heading).arg(body)));
    const double x = seen[QStringLiteral("Actes")].first;
    QVERIFY2(x >= 85.0 && x < 85.0 + 72.0, qPrintable(QString::number(x)));
    for (const char* first : {"Période", "Type", "DUPONT"})
        QVERIFY2(qAbs(seen[QString::fromUtf8(first)].first - x) < 1.0, first);
    QVERIFY(qAbs(seen[QStringLiteral("par")].first - x) > 20.0); // the ten blanks before "par le"
}

void TestPrint::longListContinuesOnNewPages() {
    TempClinic clinic;
    for (int i = 0; i < 150; ++i)
        clinic.act(QStringLiteral("PATIENTE%1").arg(i, 3, 10, QChar(u'0')), i % 200);
    const QString pdf = clinic.file(QStringLiteral("long.pdf"));
    Dialogs::setTestPrintFile(pdf);
    SearchScreen s(clinic);
    s.click("Command2");
    s.click("Command1");
    Dialogs::setTestPrintFile(QString());
    const QList<QStringList> pages = printedPages(pdf);
    QVERIFY(pages.size() >= 3);
    checkPages(pages, expectedPrint(s, QString(), QString()), QDate::currentDate());
}

void TestPrint::printerChoice() {
    TempClinic clinic;
    clinic.act(QStringLiteral("DUPONT"), 0);
    const QString pdf = clinic.file(QStringLiteral("choix.pdf"));
    Dialogs::setTestPrintFile(pdf);
    SearchScreen s(clinic);
    s.click("Command2");
    QAction* imprime = s.form->findChild<QAction*>(QStringLiteral("Imprime"));
    QVERIFY(imprime);
    QCOMPARE(imprime->text(), QStringLiteral("Imprimer la liste"));
    Dialogs::queuePrinterChoice(false);
    imprime->trigger();
    QCOMPARE(Dialogs::shownTexts().size(), 1); // the printer dialog, cancelled
    QVERIFY(!QFile::exists(pdf));
    Dialogs::queuePrinterChoice(true);
    imprime->trigger();
    Dialogs::setTestPrintFile(QString());
    QVERIFY(QFile::exists(pdf));
    QVERIFY(printedLines(pdf).contains(simplified(s.lines()).first()));
}

void TestPrint::unusablePrinter() {
    TempClinic clinic;
    clinic.act(QStringLiteral("DUPONT"), 0);
    Dialogs::setTestPrintFile(clinic.file(QStringLiteral("pas-de-dossier/liste.pdf")));
    SearchScreen s(clinic);
    s.click("Command2");
    s.click("Command1");
    Dialogs::setTestPrintFile(QString());
    QCOMPARE(Dialogs::shownTexts().size(), 1);
    QVERIFY(Dialogs::lastText().contains(QStringLiteral("Rien n'a été imprimé")));
    QCOMPARE(s.lines().size(), 1);
}

// The PDF files the test printer has written, oldest first.
QStringList printedFiles(const QString& folder) {
    QStringList out;
    QDirIterator it(folder, {QStringLiteral("*.pdf")}, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext())
        out << it.next();
    std::sort(out.begin(), out.end(), [](const QString& a, const QString& b) {
        return QFileInfo(a).lastModified() < QFileInfo(b).lastModified();
    });
    return out;
}

// Whether the print server still has jobs to do.
bool printerBusy() {
    QProcess p;
    p.start(QStringLiteral("lpstat"), {QStringLiteral("-o")});
    if (!p.waitForFinished(10000))
        return true;
    return !p.readAllStandardOutput().trimmed().isEmpty();
}

// The next PDF the test printer writes, once its job is done.
QString awaitPrintedFile(const QString& folder, int before) {
    QString file;
    QTest::qWaitFor(
        [&] {
            const QStringList files = printedFiles(folder);
            if (files.size() <= before || printerBusy())
                return false;
            file = files.last();
            return true;
        },
        60000);
    return file;
}

void TestPrint::printOnDefaultPrinter() {
    // A real print server with a PDF printer as the default destination
    // (scripts/with-pdf-printer.sh, run by the test command).
    const QString out = qEnvironmentVariable("OBSLEDGER_TEST_PRINTER_OUT");
    if (out.isEmpty() || qEnvironmentVariableIsEmpty("CUPS_SERVER"))
        QSKIP("no test printer: run under scripts/with-pdf-printer.sh");
    TempClinic clinic;
    for (int i = 0; i < 90; ++i)
        clinic.act(QStringLiteral("PATIENTE%1").arg(i, 3, 10, QChar(u'0')), i % 120, i % 3 ? "0" : "70");
    Dialogs::setTestPrintFile(QString()); // the default printer, as on a workstation
    SearchScreen s(clinic);
    s.click("Command2");
    // Named after the search, the practitioner shows in the heading only.
    child<QComboBox>(s.form, "CmbPrat1")->setEditText(QStringLiteral("Dr MARTIN"));
    QCOMPARE(s.lines().size(), 90);
    const QStringList expected = expectedPrint(s, QString(), QStringLiteral("Dr MARTIN"));

    // The button prints at once on the default printer.
    int before = int(printedFiles(out).size());
    s.click("Command1");
    QVERIFY2(Dialogs::shownTexts().isEmpty(), qPrintable(Dialogs::shownTexts().join(" | ")));
    QString pdf = awaitPrintedFile(out, before);
    QVERIFY2(!pdf.isEmpty(), "the printer wrote nothing");
    QList<QStringList> pages = printedPages(pdf);
    QVERIFY(pages.size() >= 2);
    checkPages(pages, expected, QDate::currentDate());

    // The menu entry, after the printer choice, on the same printer.
    s.click("CmdImpayes");
    const QStringList unpaid = expectedPrint(s, QString(), QStringLiteral("Dr MARTIN"));
    QCOMPARE(s.lines().size(), 60);
    before = int(printedFiles(out).size());
    Dialogs::queuePrinterChoice(true);
    s.form->findChild<QAction*>(QStringLiteral("Imprime"))->trigger();
    pdf = awaitPrintedFile(out, before);
    QVERIFY2(!pdf.isEmpty(), "the printer wrote nothing");
    pages = printedPages(pdf);
    checkPages(pages, unpaid, QDate::currentDate());
}

QTEST_MAIN(TestPrint)
#include "test_print.moc"
