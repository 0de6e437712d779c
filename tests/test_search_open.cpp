// Opening a found act in the main window by a double-click on the found list.
#include "TestSupport.h"

#include "accounts/SearchWindow.h"
#include "app/MainWindow.h"
#include "common/DayNumber.h"
#include "common/Money.h"
#include "widgets/Dialogs.h"

#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QtTest>

using namespace obs;
using obs::test::child;

namespace {

struct TempClinic : obs::test::TempClinic {
    TempClinic() {
        QFile rates(appDir() + QStringLiteral("/taux.cmt"));
        if (!rates.open(QIODevice::WriteOnly) || rates.write("\"10\",\"50\"\r\n") != 11)
            qFatal("cannot write the rates file");
    }
};

QVariant euros(const char* text) {
    return moneyValue(Money::parse(QString::fromUtf8(text)));
}

// The main window with the search screen opened from it, as the user gets there.
struct Session {
    MainWindow main;
    QPointer<QWidget> search;
    explicit Session(TempClinic& clinic) : main(clinic.database(), clinic.browsed()) {
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
};

void TestSearchOpen::openThirdLine() {
    TempClinic clinic;
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
    TempClinic clinic;
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
    TempClinic clinic;
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
    TempClinic clinic;
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
    TempClinic clinic;
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

QTEST_MAIN(TestSearchOpen)
#include "test_search_open.moc"
