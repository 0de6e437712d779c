// Absurd amounts and rates, values a damaged base may hold, and control characters typed or pasted
// into the boxes: refused or shown as no amount, never a wrong figure.
#include "TestSupport.h"

#include "accounts/SearchWindow.h"
#include "app/RecordEditor.h"
#include "common/Money.h"
#include "domain/Reversal.h"
#include "entry/ActEntryWindow.h"
#include "reference/ReferenceListsEditor.h"
#include "reference/TariffEditor.h"
#include "widgets/Dialogs.h"
#include "widgets/TextGuard.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

#include <limits>

using namespace obs;
using obs::test::child;
using obs::test::TempClinic;

namespace {
constexpr qint64 kMin = std::numeric_limits<qint64>::min();
constexpr qint64 kMax = std::numeric_limits<qint64>::max();

QVariant units(qint64 u) {
    return QVariant::fromValue<qint64>(u);
}
} // namespace

class TestLimits : public QObject {
    Q_OBJECT
private slots:
    void checkedMoney_data();
    void checkedMoney();
    void extremeFiguresInText();
    void recordEditorAmountsOutOfRange_data();
    void recordEditorAmountsOutOfRange();
    void damagedStoredAmounts_data();
    void damagedStoredAmounts();
    void listingTotalBeyondAnyAmount();
    void reversalRatesOutOfRange_data();
    void reversalRatesOutOfRange();
    void controlCharactersRefused_data();
    void controlCharactersRefused();
    void everyBoxOfEveryScreenRefuses();
};

void TestLimits::checkedMoney_data() {
    QTest::addColumn<qint64>("a");
    QTest::addColumn<qint64>("b");
    QTest::addColumn<bool>("plusFits");
    QTest::addColumn<bool>("minusFits");
    QTest::addColumn<bool>("percentFits"); // a x b %
    QTest::addColumn<bool>("francsFits");  // of a
    QTest::newRow("ordinary") << qint64(3135000) << qint64(100000) << true << true << true << true;
    QTest::newRow("largest sum") << kMax << qint64(1) << false << true << true << false;
    QTest::newRow("smallest difference") << kMin << qint64(1) << true << false << true << false;
    QTest::newRow("two halves of the range") << kMax / 2 + 1 << kMax / 2 + 1 << false << true << false << false;
    // Montant and DE of 92233720368547 euros each, summed: the francs cannot be held.
    QTest::newRow("twice 92233720368547 euros")
        << qint64(1844674407370940000) << qint64(0) << true << true << true << false;
    QTest::newRow("absurd rate") << qint64(10000000000) << qint64(999999999999990000) << true << true << false << true;
}

void TestLimits::checkedMoney() {
    QFETCH(qint64, a);
    QFETCH(qint64, b);
    QFETCH(bool, plusFits);
    QFETCH(bool, minusFits);
    QFETCH(bool, percentFits);
    QFETCH(bool, francsFits);
    const Money x = Money::fromUnits(a), y = Money::fromUnits(b);
    QCOMPARE(x.plus(y).has_value(), plusFits);
    QCOMPARE(x.minus(y).has_value(), minusFits);
    QCOMPARE(x.percent(y).has_value(), percentFits);
    QCOMPARE(x.toFrancs().has_value(), francsFits);
    if (plusFits)
        QCOMPARE(x.plus(y)->units(), a + b);
    if (!francsFits)
        QVERIFY(francsCaption(x).isEmpty());
}

void TestLimits::extremeFiguresInText() {
    QCOMPARE(Money::fromUnits(kMin).toFrench(), QStringLiteral("-922337203685477,5808"));
    QCOMPARE(Money::fromUnits(kMax).toFrench(), QStringLiteral("922337203685477,5807"));
    QVERIFY(!Money::fromStored(kMin));
    QVERIFY(Money::fromStored(Money::fromEuros(10000000).units()));
    QVERIFY(Money::fromEuros(10000000).inAmountRange());
    QVERIFY(!Money::parse("10000000,0001")->inAmountRange());
    QVERIFY(Money::parse("100")->inRateRange());
    QVERIFY(!Money::parse("100,01")->inRateRange());
    QVERIFY(!Money::parse("-1")->inRateRange());
    // Rates beyond any real one cannot be held: no figure rather than a wrong one.
    const auto owed = Reversal::owed(Money::fromEuros(1000000), Money(), Money(), Money::fromUnits(kMax));
    QVERIFY(!owed);
}

void TestLimits::recordEditorAmountsOutOfRange_data() {
    QTest::addColumn<QString>("montant");
    QTest::addColumn<QString>("de");
    QTest::newRow("the largest typed figures") << "92233720368547"
                                               << "92233720368547";
    QTest::newRow("just beyond the limit") << "10000000,01"
                                           << "0,0";
    QTest::newRow("DE beyond the limit") << "100"
                                         << "20000000";
}

void TestLimits::recordEditorAmountsOutOfRange() {
    QFETCH(QString, montant);
    QFETCH(QString, de);
    TempClinic clinic;
    clinic.addAct({{"Nom", "DUPONT"}, {"PRIX", units(1000000)}, {"DE", units(0)}});
    RecordEditor w(clinic.database(), clinic.browsed());
    QVERIFY(w.load());
    QTest::keyClicks(child<QLineEdit>(&w, "Text1"), "DUP");
    child<QLineEdit>(&w, "TxtEuros")->setText(montant);
    child<QLineEdit>(&w, "TxtDE")->setText(de);
    QVERIFY(child<QLabel>(&w, "LblTotal")->text().startsWith(QStringLiteral("Montant hors limites")));
    QCOMPARE(child<QLabel>(&w, "LblTotalF")->text(), QString());
    Dialogs::queueAnswer(true);
    child<QPushButton>(&w, "CmdEnreg")->click();
    QVERIFY2(Dialogs::lastText().contains("10000000"), qPrintable(Dialogs::lastText()));
    // Nothing stored, and the typing stays on screen to be corrected.
    QCOMPARE(clinic.scalar("SELECT PRIX FROM ACTES").toLongLong(), 1000000);
    QCOMPARE(child<QLineEdit>(&w, "TxtEuros")->text(), montant);
}

void TestLimits::damagedStoredAmounts_data() {
    QTest::addColumn<QVariant>("stored");
    QTest::newRow("smallest 64-bit integer") << units(kMin);
    QTest::newRow("largest 64-bit integer") << units(kMax);
    QTest::newRow("not a number") << QVariant(std::numeric_limits<double>::quiet_NaN());
    QTest::newRow("huge real") << QVariant(1e300);
}

void TestLimits::damagedStoredAmounts() {
    QFETCH(QVariant, stored);
    TempClinic clinic;
    // A NOT NULL column takes no NaN: a huge real stands in there.
    const QVariant paid = qIsNaN(stored.toDouble()) && stored.typeId() == QMetaType::Double ? QVariant(1e300) : stored;
    clinic.addAct({{"Nom", "DUPONT"}, {"PRIX", stored}, {"DE", stored}, {"PAYESECU", paid}});
    RecordEditor w(clinic.database(), clinic.browsed());
    QVERIFY(w.load());
    QTest::keyClicks(child<QLineEdit>(&w, "Text1"), "DUP");
    QCOMPARE(child<QLineEdit>(&w, "TxtNom")->text(), QStringLiteral("DUPONT"));
    QCOMPARE(child<QLineEdit>(&w, "TxtEuros")->text(), QString());
    QCOMPARE(child<QLineEdit>(&w, "TxtPSecu")->text(), QString());
    QVERIFY(!child<QLabel>(&w, "LblTotalF")->text().startsWith(u'-'));
}

// Damaged amounts whose sum no amount holds: the acts are listed, the total is said missing, never
// shown wrapped around.
void TestLimits::listingTotalBeyondAnyAmount() {
    TempClinic clinic;
    clinic.writeRates();
    for (const char* nom : {"DUPONT", "DURAND", "LEGER"})
        clinic.addAct({{"Nom", nom}, {"Date", 38353}, {"PRIX", units(qint64(1) << 62)}});
    obs::test::SearchScreen s(clinic);
    s.period(QStringLiteral("01/01/2005"), QStringLiteral("31/12/2005"));
    s.click("Command2");
    QCOMPARE(s.lines().size(), 3);
    QCOMPARE(s.totals().at(0), QStringLiteral("3"));
    QCOMPARE(s.caption("LblTotalActes"), QString());
    QVERIFY2(Dialogs::lastText().startsWith(QStringLiteral("Le total des actes trouvés n'a pas pu être calculé.")),
             qPrintable(Dialogs::lastText()));
    Dialogs::clearShown();
}

void TestLimits::reversalRatesOutOfRange_data() {
    QTest::addColumn<QString>("box");
    QTest::addColumn<QString>("rate");
    QTest::newRow("practitioner rate absurd") << "TxtTauxPrat"
                                              << "99999999999999";
    QTest::newRow("practitioner rate above 100") << "TxtTauxPrat"
                                                 << "100,5";
    QTest::newRow("clinic rate absurd") << "TxtTauxClin"
                                        << "92233720368547";
}

void TestLimits::reversalRatesOutOfRange() {
    QFETCH(QString, box);
    QFETCH(QString, rate);
    TempClinic clinic;
    clinic.writeRates();
    clinic.addAct({{"Nom", "DUPONT"},
                   {"Date", 38353},
                   {"MEDSUIT", "Dr A"},
                   {"MEDACTE", "Dr B"},
                   {"PRIX", units(Money::fromEuros(1000000).units())}});
    obs::test::SearchScreen s(clinic);
    s.pair(QStringLiteral("Dr B"), QStringLiteral("Dr A"));
    s.edit(box.toLatin1().constData())->setText(rate);
    s.click("CmdDoit");
    QVERIFY2(Dialogs::lastText().contains(QStringLiteral("entre 0 et 100")), qPrintable(Dialogs::lastText()));
    QCOMPARE(s.caption("LblDoit"), QString());
    QCOMPARE(s.caption("LblDoitF"), QString());
}

void TestLimits::controlCharactersRefused_data() {
    QTest::addColumn<QString>("text");
    QTest::newRow("NUL") << QStringLiteral("DU") + QChar(0) + QStringLiteral("PONT");
    QTest::newRow("escape") << QStringLiteral("DU\x1bPONT");
    QTest::newRow("tab") << QStringLiteral("DU\tPONT");
    QTest::newRow("line break") << QStringLiteral("DU\nPONT");
    QTest::newRow("DEL") << QStringLiteral("DU\x7fPONT");
}

void TestLimits::controlCharactersRefused() {
    QFETCH(QString, text);
    TempClinic clinic;
    clinic.addAct({{"Nom", "DUPONT"}});
    RecordEditor w(clinic.database(), clinic.browsed());
    QVERIFY(w.load());
    QTest::keyClicks(child<QLineEdit>(&w, "Text1"), "DUP");
    QLineEdit* nom = child<QLineEdit>(&w, "TxtNom");
    nom->selectAll();
    nom->insert(text); // as a paste does
    QCOMPARE(nom->text(), QStringLiteral("DUPONT"));
    nom->selectAll();
    nom->insert(QStringLiteral("DURAND"));
    QCOMPARE(nom->text(), QStringLiteral("DURAND"));
    Dialogs::queueAnswer(true);
    child<QPushButton>(&w, "CmdEnreg")->click();
    QCOMPARE(clinic.scalar("SELECT Nom FROM ACTES").toString(), QStringLiteral("DURAND"));
}

void TestLimits::everyBoxOfEveryScreenRefuses() {
    TempClinic clinic;
    clinic.writeRates();
    std::vector<std::unique_ptr<QWidget>> screens;
    screens.emplace_back(new RecordEditor(clinic.database(), clinic.browsed()));
    screens.emplace_back(new ActEntryWindow(clinic.database(), clinic.browsed()));
    screens.emplace_back(new ReferenceListsEditor(clinic.database(), clinic.browsed()));
    screens.emplace_back(new SearchWindow(clinic.database()));
    screens.emplace_back(new TariffEditor());
    int boxes = 0;
    for (const auto& screen : screens) {
        for (QLineEdit* box : screen->findChildren<QLineEdit*>()) {
            const QString where = screen->objectName() + u'/' +
                                  (box->objectName().isEmpty() ? box->parentWidget()->objectName() : box->objectName());
            QVERIFY2(box->validator(), qPrintable(where));
            QString nul = QStringLiteral("a") + QChar(0);
            int pos = 0;
            QVERIFY2(box->validator()->validate(nul, pos) == QValidator::Invalid, qPrintable(where));
            ++boxes;
        }
    }
    QVERIFY(boxes > 30);
    Dialogs::clearShown();
}

QTEST_MAIN(TestLimits)
#include "test_limits.moc"
