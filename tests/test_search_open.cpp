// Opening a found act in the main window by a double-click on the found list.
#include "TestSupport.h"

#include "accounts/SearchWindow.h"
#include "app/RecordEditor.h"
#include "common/DayNumber.h"
#include "common/Money.h"
#include "widgets/Dialogs.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QtTest>

using namespace obs;
using obs::test::child;
using obs::test::euros;

namespace {

using Clinic = obs::test::ClinicWithRates;

// The main window with the search screen opened from it, as the user gets there.
struct Session {
    RecordEditor main;
    QPointer<QWidget> search;
    explicit Session(Clinic& clinic) : main(clinic.database(), clinic.browsed()) {
        if (!main.load())
            qFatal("the main window did not load");
        main.show();
        child<QPushButton>(&main, "CmdRecherche")->click();
        search = obs::test::topLevel(QStringLiteral("Form10"));
        if (!search)
            qFatal("the search screen did not open");
    }
    ~Session() { delete search.data(); }
    QListView* found() const { return child<QListView>(search, "List2"); }
    QString numberOn(int line) const { return obs::test::itemTexts(child<QListView>(search, "List1")).at(line); }
    void list() const { child<QPushButton>(search, "Command2")->click(); }
    void open(int line) const {
        QListView* l = found();
        QVERIFY(QTest::qWaitForWindowExposed(search));
        const QRect r = l->visualRect(l->model()->index(line, 0));
        QTest::mouseClick(l->viewport(), Qt::LeftButton, {}, r.center());
        QTest::mouseDClick(l->viewport(), Qt::LeftButton, {}, r.center());
    }
    QString box(const char* n) const { return child<QLineEdit>(&main, n)->text(); }
    QString caption(const char* n) const { return child<QLabel>(&main, n)->text(); }
    QStringList secondary() const {
        QStringList out;
        auto* l = child<QListWidget>(&main, "LstActes");
        for (int i = 0; i < l->count(); ++i)
            out << l->item(i)->text();
        return out;
    }
};

} // namespace

class TestSearchOpen : public QObject {
    Q_OBJECT
private slots:
    void openThirdLine();
    void openReplacesSecondaryLines();
    void openActWithoutDate();
    void openDeletedAct();
    void doubleClickOutsideLines();
    void backToTheSearch_data();
    void backToTheSearch();
    void quittingForgetsTheSearch();
    void backToALineFarDown();
    void keptSearchForgottenAfterBackupScreen();
};

void TestSearchOpen::openThirdLine() {
    Clinic clinic;
    // Two acts dated before DUPONT's: the search lists by date, so DUPONT comes third.
    for (const char* n : {"ALPHA", "BRAVO"})
        clinic.addAct({{"Nom", QString::fromUtf8(n)}, {"Date", 38400}, {"PRIX", euros("10")}});
    clinic.addAct({{"Nom", "DUPONT"},
                   {"Prenom", "Marie"},
                   {"Date", QVariant::fromValue<qint64>(dayNumberOf({2005, 3, 15}))},
                   {"Acte", "Césarienne programmée"},
                   {"CCAM1", "JQGA002"},
                   {"NF", "N"},
                   {"CCAM2", "JQGD002  Délivrance artificielle 20,9"},
                   {"CCAM3", "JQGD013"},
                   {"CCAM4", "C4"},
                   {"CCAM5", "C5"},
                   {"CCAM6", "C6"},
                   {"MEDSUIT", "Dr MARTIN"},
                   {"MEDACTE", "Dr D'ORVAL"},
                   {"PRIX", euros("313,456")},
                   {"DE", euros("100")},
                   {"PAYESECU", euros("219,45")},
                   {"PAYECOMPLE", euros("94,05")},
                   {"PAYEDE", euros("0")}});
    Session s(clinic);
    s.list();
    QCOMPARE(s.found()->model()->rowCount(), 3);
    QVERIFY(obs::test::itemTexts(s.found()).at(2).startsWith(QStringLiteral("DUPONT")));
    const QString number = s.numberOn(2);
    s.open(2);
    QTRY_VERIFY(!s.search);
    QVERIFY(s.main.isVisible());
    QCOMPARE(s.caption("LblNumero"), number);
    QCOMPARE(s.box("TxtNom"), QStringLiteral("DUPONT"));
    QCOMPARE(s.box("TxtPrenom"), QStringLiteral("Marie"));
    QCOMPARE(s.box("TxtDate"), QStringLiteral("15/03/2005"));
    QCOMPARE(s.box("TxtActe"), QStringLiteral("Césarienne programmée"));
    QCOMPARE(s.box("TxtCotation"), QStringLiteral("JQGA002"));
    QCOMPARE(s.box("TxtOp"), QStringLiteral("N"));
    QCOMPARE(s.secondary(), (QStringList{"JQGD002  Délivrance artificielle 20,9", "JQGD013", "C4", "C5", "C6"}));
    QCOMPARE(s.box("TxtPrat1"), QStringLiteral("Dr MARTIN"));
    QCOMPARE(s.box("TxtPrat2"), QStringLiteral("Dr D'ORVAL"));
    QCOMPARE(s.box("TxtEuros"), QStringLiteral("313,456")); // as stored, not rounded
    QCOMPARE(s.box("TxtDE"), QStringLiteral("100"));
    QCOMPARE(s.box("TxtPSecu"), QStringLiteral("219,45"));
    QCOMPARE(s.box("TxtPCompl"), QStringLiteral("94,05"));
    QCOMPARE(s.box("TxtPDE"), QStringLiteral("0"));
    QCOMPARE(s.caption("Label12"), QStringLiteral("Acte pour M. DUPONT Marie du 15/03/2005"));
    // The act's total, value plus excess fee, without the national insurance's payment.
    QCOMPARE(s.caption("LblTotal"), QStringLiteral("413,456 €"));
    QCOMPARE(s.caption("LblTotalF"), francsCaption(Money::parse(QStringLiteral("413,456")).value()));
    QCOMPARE(s.caption("LblPTotal"), QStringLiteral("313,5 €"));
    QVERIFY(Dialogs::shownTexts().isEmpty());
}

void TestSearchOpen::openReplacesSecondaryLines() {
    Clinic clinic;
    const qint64 full = clinic.addAct({{"Nom", "PLEIN"},
                                       {"Date", 38500},
                                       {"CCAM2", "A"},
                                       {"CCAM3", "B"},
                                       {"CCAM4", "C"},
                                       {"CCAM5", "D"},
                                       {"CCAM6", "E"}});
    Q_UNUSED(full);
    clinic.addAct({{"Nom", "SEUL"}, {"Date", 38501}, {"CCAM2", "JQGD002"}});
    auto openNamed = [](Session& s, const QString& name) {
        s.list();
        const QStringList lines = obs::test::itemTexts(s.found());
        for (int i = 0; i < lines.size(); ++i) {
            if (lines[i].startsWith(name)) {
                s.open(i);
                return;
            }
        }
        QFAIL("line not found");
    };
    {
        Session s(clinic);
        openNamed(s, QStringLiteral("PLEIN"));
        QTRY_VERIFY(!s.search);
        QCOMPARE(s.secondary(), (QStringList{"A", "B", "C", "D", "E"}));
        child<QPushButton>(&s.main, "CmdRecherche")->click();
        s.search = obs::test::topLevel(QStringLiteral("Form10"));
        QVERIFY(s.search);
        openNamed(s, QStringLiteral("SEUL"));
        QTRY_VERIFY(!s.search);
        QCOMPARE(s.secondary(), (QStringList{"JQGD002", "", "", "", ""}));
    }
}

void TestSearchOpen::openActWithoutDate() {
    Clinic clinic;
    const qint64 id = clinic.addAct({{"Nom", "DUPONT"}, {"Prenom", "Anne"}, {"Date", 38500}});
    Session s(clinic);
    s.list();
    // The date is emptied elsewhere after the listing: the act is read again when opened.
    QVERIFY(clinic.db().update(QStringLiteral("ACTES"), id, {{QStringLiteral("Date"), QVariant()}}));
    s.open(0);
    QTRY_VERIFY(!s.search);
    QVERIFY(s.box("TxtDate").isEmpty());
    QCOMPARE(s.caption("Label12"), QStringLiteral("Acte pour M. DUPONT Anne du "));
}

void TestSearchOpen::openDeletedAct() {
    Clinic clinic;
    const qint64 id = clinic.addAct({{"Nom", "DUPONT"}, {"Date", 38500}});
    Session s(clinic);
    s.list();
    QVERIFY(clinic.db().remove(QStringLiteral("ACTES"), id));
    s.open(0);
    QTRY_VERIFY(!s.search);
    QVERIFY(s.main.isVisible());
    QVERIFY(s.caption("LblNumero").isEmpty());
    QVERIFY(s.box("TxtNom").isEmpty());
    QCOMPARE(Dialogs::shownTexts().size(), 1);
    QVERIFY(Dialogs::lastText().contains(QStringLiteral("n'existe plus")));
}

void TestSearchOpen::doubleClickOutsideLines() {
    Clinic clinic;
    clinic.addAct({{"Nom", "DUPONT"}, {"Date", 38500}});
    Session s(clinic);
    s.list();
    QVERIFY(QTest::qWaitForWindowExposed(s.search));
    QListView* l = s.found();
    const QPoint below(10, l->visualRect(l->model()->index(0, 0)).bottom() + 20);
    QTest::mouseDClick(l->viewport(), Qt::LeftButton, {}, below);
    QVERIFY(s.search && s.search->isVisible());
    QVERIFY(!s.main.isVisible());
    QVERIFY(s.caption("LblNumero").isEmpty());
}

namespace {
// What the search half shows: period, criteria, totals and the found list.
QStringList searchShown(QWidget* search) {
    QStringList out;
    for (const char* e : {"TxtDate1", "TxtDate2", "TxtPatiente"})
        out << child<QLineEdit>(search, e)->text();
    for (const char* c : {"CmbPrat1", "CmbPrat2", "CmbActes", "CmbNF"})
        out << child<QComboBox>(search, c)->currentText();
    for (const char* l : {"Label4", "Label1", "LblTotalActes", "LblTotalActesF"})
        out << child<QLabel>(search, l)->text();
    out << obs::test::itemTexts(child<QListView>(search, "List2"));
    out << obs::test::itemTexts(child<QListView>(search, "List1"));
    return out;
}

void seedFour(Clinic& clinic) {
    clinic.addAct({{"Nom", "ALPHA"}, {"Date", 38400}, {"MEDSUIT", "Dr MARTIN"}, {"PRIX", euros("100")}});
    clinic.addAct(
        {{"Nom", "BRAVO"}, {"Date", 38401}, {"MEDSUIT", "Dr MARTIN"}, {"PRIX", euros("200")}, {"DE", euros("50")}});
    clinic.addAct({{"Nom", "CHARLIE"}, {"Date", 38402}, {"MEDSUIT", "Dr MARTIN"}, {"PRIX", euros("300")}, {"NF", "N"}});
    clinic.addAct({{"Nom", "DELTA"}, {"Date", 38403}, {"MEDSUIT", "Dr BERTRAND"}, {"PRIX", euros("400")}});
}
} // namespace

void TestSearchOpen::backToTheSearch_data() {
    QTest::addColumn<QString>("listing");
    QTest::addColumn<int>("line");
    QTest::newRow("search") << "Command2" << 1;
    QTest::newRow("unpaid") << "CmdImpayes" << 2;
    QTest::newRow("excess fee") << "CmdDE" << 0;
}

void TestSearchOpen::backToTheSearch() {
    // After a found act was opened, the search comes back as it was left, to open the next one.
    QFETCH(QString, listing);
    QFETCH(int, line);
    Clinic clinic;
    seedFour(clinic);
    Session s(clinic);
    child<QLineEdit>(s.search, "TxtDate1")->setText("01/01/2005");
    child<QLineEdit>(s.search, "TxtDate2")->setText("31/12/2005");
    child<QComboBox>(s.search, "CmbPrat1")->setEditText("Dr MARTIN");
    child<QPushButton>(s.search, listing.toLatin1().constData())->click();
    QVERIFY(s.found()->model()->rowCount() > line);
    const QStringList before = searchShown(s.search);
    const QString number = s.numberOn(line);
    s.open(line);
    QTRY_VERIFY(!s.search);
    QCOMPARE(s.caption("LblNumero"), number);

    child<QPushButton>(&s.main, "CmdRecherche")->click();
    s.search = obs::test::topLevel(QStringLiteral("Form10"));
    QVERIFY(s.search);
    QVERIFY(!s.main.isVisible());
    QCOMPARE(searchShown(s.search), before);
    QCOMPARE(s.found()->currentIndex().row(), line);
    // The next act of the list opens the same way.
    if (s.found()->model()->rowCount() > line + 1) {
        const QString next = s.numberOn(line + 1);
        s.open(line + 1);
        QTRY_VERIFY(!s.search);
        QCOMPARE(s.caption("LblNumero"), next);
        child<QPushButton>(&s.main, "CmdRecherche")->click();
        s.search = obs::test::topLevel(QStringLiteral("Form10"));
        QVERIFY(s.search);
        QCOMPARE(searchShown(s.search), before);
    }
    // A new search replaces the list, as ever.
    child<QComboBox>(s.search, "CmbPrat1")->setEditText("Dr BERTRAND");
    s.list();
    QCOMPARE(obs::test::itemTexts(s.found()).size(), 1);
    QVERIFY(obs::test::itemTexts(s.found()).first().startsWith(QStringLiteral("DELTA")));
    QVERIFY(Dialogs::shownTexts().isEmpty());
}

void TestSearchOpen::quittingForgetsTheSearch() {
    Clinic clinic;
    seedFour(clinic);
    Session s(clinic);
    child<QComboBox>(s.search, "CmbPrat1")->setEditText("Dr MARTIN");
    s.list();
    s.open(0);
    QTRY_VERIFY(!s.search);
    child<QPushButton>(&s.main, "CmdRecherche")->click();
    s.search = obs::test::topLevel(QStringLiteral("Form10"));
    QCOMPARE(s.found()->model()->rowCount(), 3);
    // Left by "Quitter": the next opening starts afresh.
    child<QPushButton>(s.search, "CmdQuitte")->click();
    QTRY_VERIFY(!s.search);
    QVERIFY(s.main.isVisible());
    child<QPushButton>(&s.main, "CmdRecherche")->click();
    s.search = obs::test::topLevel(QStringLiteral("Form10"));
    QVERIFY(s.search);
    QCOMPARE(s.found()->model()->rowCount(), 0);
    QVERIFY(child<QComboBox>(s.search, "CmbPrat1")->currentText().isEmpty());
    QVERIFY(child<QLabel>(s.search, "Label1")->text().isEmpty());
}

void TestSearchOpen::backToALineFarDown() {
    Clinic clinic;
    for (int i = 0; i < 60; ++i)
        clinic.addAct({{"Nom", QStringLiteral("PATIENTE%1").arg(i, 2, 10, QChar(u'0'))}, {"Date", 38400 + i}});
    Session s(clinic);
    s.list();
    QVERIFY(QTest::qWaitForWindowExposed(s.search));
    s.found()->scrollTo(s.found()->model()->index(55, 0));
    s.open(55);
    QTRY_VERIFY(!s.search);
    QCOMPARE(s.box("TxtNom"), QStringLiteral("PATIENTE55"));
    child<QPushButton>(&s.main, "CmdRecherche")->click();
    s.search = obs::test::topLevel(QStringLiteral("Form10"));
    QVERIFY(QTest::qWaitForWindowExposed(s.search));
    // The line the user was on is in view again.
    QListView* l = s.found();
    QCOMPARE(l->currentIndex().row(), 55);
    QTRY_VERIFY(l->viewport()->rect().contains(l->visualRect(l->currentIndex())));
}

void TestSearchOpen::keptSearchForgottenAfterBackupScreen() {
    // The base may have been put back from a backup meanwhile: the kept lines may name other acts.
    Clinic clinic;
    seedFour(clinic);
    Session s(clinic);
    s.list();
    s.open(0);
    QTRY_VERIFY(!s.search);
    child<QPushButton>(&s.main, "Command5")->click();
    QPointer<QWidget> backup = obs::test::topLevel(QStringLiteral("Form21"));
    QVERIFY(backup);
    backup->close();
    QTRY_VERIFY(s.main.isVisible());
    child<QPushButton>(&s.main, "CmdRecherche")->click();
    s.search = obs::test::topLevel(QStringLiteral("Form10"));
    QVERIFY(s.search);
    QCOMPARE(s.found()->model()->rowCount(), 0);
}

QTEST_MAIN(TestSearchOpen)
#include "test_search_open.moc"
