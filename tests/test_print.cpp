// Printing the found list: the composed lines with their font sizes, and real prints to a PDF file.
#include "TestSupport.h"

#include "accounts/ListPrint.h"
#include "accounts/SearchWindow.h"
#include "common/DayNumber.h"
#include "common/Money.h"
#include "widgets/Dialogs.h"

#include <QAction>
#include <QComboBox>
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

using Screen10 = obs::test::SearchScreen;

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
};

void TestPrint::compose_data() {
    QTest::addColumn<QStringList>("found");
    QTest::addColumn<QStringList>("criteria"); // performer, follow-up, act, first day, last day
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
        << QStringList{} << QStringList{"", "", "", "01/01/2004", "31/12/2010"} << emptyHeading;
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
        << QStringList{"Dr D'ORVAL", "Dr MARTIN", "Césarienne", "1/1/2005", "31/12/2005"} << three;
}

void TestPrint::compose() {
    QFETCH(QStringList, found);
    QFETCH(QStringList, criteria);
    QFETCH(QList<Line>, expected);
    const ListPrint::Heading h{criteria[0], criteria[1], criteria[2], criteria[3], criteria[4]};
    const std::vector<Line> lines = ListPrint::compose(h, found);
    QCOMPARE(QList<Line>(lines.begin(), lines.end()), expected);
}

void TestPrint::headingAfterUnpaidListing() {
    TempClinic clinic;
    clinic.act(QStringLiteral("DUPONT"), 0);
    clinic.act(QStringLiteral("DURAND"), 1, "70");
    Screen10 s(clinic);
    child<QComboBox>(s.form, "CmbPrat1")->setEditText(QStringLiteral("Dr MARTIN"));
    child<QComboBox>(s.form, "CmbPrat2")->setEditText(QStringLiteral("Dr D'ORVAL"));
    s.click("CmdImpayes");
    const std::vector<Line> lines = s.form->composedPrint();
    QCOMPARE(lines.at(2).text, QStringLiteral("          par le Dr D'ORVAL"));
    QCOMPARE(lines.at(3).text, QStringLiteral("          pour le Dr MARTIN"));
    QCOMPARE(lines.back().text, QStringLiteral("DUPONT   Marie   01/03/2005, (JQGA002)"));
    QCOMPARE(int(lines.size()), 12);
}

void TestPrint::printToPdf() {
    TempClinic clinic;
    clinic.act(QStringLiteral("DUPONT"), 0);
    clinic.act(QStringLiteral("DURAND"), 1);
    clinic.act(QStringLiteral("MOREL"), 2);
    const QString pdf = clinic.file(QStringLiteral("liste.pdf"));
    Dialogs::setTestPrintFile(pdf);
    Screen10 s(clinic);
    s.click("Command2");
    child<QComboBox>(s.form, "CmbPrat1")->setEditText(QStringLiteral("Dr MARTIN"));
    s.click("Command1");
    Dialogs::setTestPrintFile(QString());
    QVERIFY2(QFile::exists(pdf), "nothing was printed");
    QVERIFY(Dialogs::shownTexts().isEmpty());
    const QStringList expected = QStringList{"Actes effectués :", "par le",
                                             "pour le Dr MARTIN", "Période du 01/01/2004 au 31/12/2010",
                                             "Type d'acte :",     "Nom des patientes."} +
                                 simplified(s.lines());
    QCOMPARE(printedLines(pdf), expected);
}

void TestPrint::pageSetUp() {
    TempClinic clinic;
    clinic.act(QStringLiteral("DUPONT"), 0);
    const QString pdf = clinic.file(QStringLiteral("page.pdf"));
    Dialogs::setTestPrintFile(pdf);
    Screen10 s(clinic);
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
    Screen10 s(clinic);
    s.click("Command2");
    s.click("Command1");
    Dialogs::setTestPrintFile(QString());
    const QStringList printed = printedLines(pdf);
    QCOMPARE(printed.mid(6), simplified(s.lines()));
    QVERIFY(pdfText(pdf).count(u'\f') >= 3); // one form feed a page
}

void TestPrint::printerChoice() {
    TempClinic clinic;
    clinic.act(QStringLiteral("DUPONT"), 0);
    const QString pdf = clinic.file(QStringLiteral("choix.pdf"));
    Dialogs::setTestPrintFile(pdf);
    Screen10 s(clinic);
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
    Screen10 s(clinic);
    s.click("Command2");
    s.click("Command1");
    Dialogs::setTestPrintFile(QString());
    QCOMPARE(Dialogs::shownTexts().size(), 1);
    QVERIFY(Dialogs::lastText().contains(QStringLiteral("Rien n'a été imprimé")));
    QCOMPARE(s.lines().size(), 1);
}

QTEST_MAIN(TestPrint)
#include "test_print.moc"
