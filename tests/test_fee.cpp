// The fee of an act as the entry screen computes it while the user chooses: act values, secondary
// acts at half value, supplements of the tariff file, totals, francs and the mutual insurer's excess.

#include "common/Money.h"
#include "domain/FeeComputation.h"
#include "store/sqlite/Database.h"
#include "test_entry_support.h"
#include "widgets/Dialogs.h"

#include <QGroupBox>
#include <QLabel>

using namespace obs;
using namespace obs::test;

class FeeTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<TempClinic> m_clinic;
    ActEntryWindow* m_form = nullptr;

    void open(bool withTariffs = true) {
        if (withTariffs)
            writeTariffs();
        m_form = openEntry(*m_clinic);
        QVERIFY(m_form->isLoaded());
    }
    QString caption(const char* name) const { return child<QLabel>(m_form, name)->text(); }
    void typeInto(const char* name, const QString& typed) {
        auto* box = child<QLineEdit>(m_form, name);
        box->clear();
        QTest::keyClicks(box, typed);
    }
    Row savedRow() {
        std::vector<Row> rows;
        const Status s = m_clinic->db().queryRows(QStringLiteral("SELECT * FROM ACTES"), &rows);
        if (!s || rows.size() != 1)
            qFatal("expected one stored act");
        return rows.front();
    }
    void saveWithAnswer(bool yes) {
        if (child<QLineEdit>(m_form, "TxtNom")->text().isEmpty())
            QTest::keyClicks(child<QLineEdit>(m_form, "TxtNom"), QStringLiteral("dupont"));
        choosePerformer(m_form);
        Dialogs::queueAnswer(yes);
        child<QPushButton>(m_form, "Cmdenreg")->click();
    }

private slots:
    void init() {
        m_clinic = std::make_unique<TempClinic>();
        seedReferences(*m_clinic);
    }
    void cleanup() {
        if (m_form)
            dispose(m_form);
        m_form = nullptr;
        m_clinic.reset();
    }

    void principalDeliveryActAlone() {
        open();
        chooseItem(m_form, "CmbActesAcct1", QStringLiteral("Accouchement simple"));
        QCOMPARE(text(m_form, "TxtEuros"), QStringLiteral("313,5"));
        QCOMPARE(text(m_form, "TxtEurosT"), QStringLiteral("313,5"));
        QCOMPARE(caption("LblFrancs"), QStringLiteral("2056,43 F"));
        QCOMPARE(text(m_form, "TxtCotation"), QStringLiteral("Accouchement simple"));
        QCOMPARE(text(m_form, "TxtCCAMAC"), QStringLiteral("JQGD010"));
        QCOMPARE(text(m_form, "TxtCCAMA1"), QStringLiteral("JQGD010"));
        QCOMPARE(listLines(m_form), QStringList{QStringLiteral("JQGD010  Accouchement simple 313,5")});
        saveWithAnswer(true);
        // The fee shown is the fee stored, to the cent.
        QCOMPARE(savedRow().money(QStringLiteral("PRIX")), *Money::parse(QStringLiteral("313,5")));
    }

    void secondaryActsAddHalfTheirValue() {
        open();
        chooseItem(m_form, "CmbActesAcct1", QStringLiteral("Accouchement simple"));
        chooseItem(m_form, "CmbActesAcct2", QStringLiteral("Délivrance artificielle"));
        QCOMPARE(text(m_form, "TxtEuros"), QStringLiteral("334,4"));
        QCOMPARE(text(m_form, "TxtCCAMA2"), QStringLiteral("JQGD002"));
        chooseItem(m_form, "CmbActesAcct2", QStringLiteral("Révision utérine"));
        QCOMPARE(text(m_form, "TxtEuros"), QStringLiteral("355,3"));
        QCOMPARE(text(m_form, "TxtEurosT"), QStringLiteral("355,3"));
        QCOMPARE(listLines(m_form), (QStringList{QStringLiteral("JQGD010  Accouchement simple 313,5"),
                                                 QStringLiteral("JQGD002  Délivrance artificielle 20,9"),
                                                 QStringLiteral("JQGD013  Révision utérine 20,9")}));
        // The principal act stays the one of the fee.
        QCOMPARE(text(m_form, "TxtCotation"), QStringLiteral("Accouchement simple"));
        QCOMPARE(text(m_form, "TxtCCAMAC"), QStringLiteral("JQGD010"));
        // The same secondary act chosen again counts again.
        chooseItem(m_form, "CmbActesAcct2", QStringLiteral("Révision utérine"));
        QCOMPARE(text(m_form, "TxtEuros"), QStringLiteral("376,2"));
        QCOMPARE(listLines(m_form).size(), 4);
    }

    void newPrincipalActStartsAgain() {
        open();
        chooseItem(m_form, "CmbActesAcct1", QStringLiteral("Accouchement simple"));
        chooseItem(m_form, "CmbActesAcct2", QStringLiteral("Délivrance artificielle"));
        chooseItem(m_form, "CmbActesAcct1", QStringLiteral("Césarienne"));
        QCOMPARE(listLines(m_form), QStringList{QStringLiteral("JQGA002  Césarienne 369,2")});
        QCOMPARE(text(m_form, "TxtEuros"), QStringLiteral("369,2"));
        QCOMPARE(child<QComboBox>(m_form, "CmbActesAcct2")->currentText(), QString());
        QCOMPARE(text(m_form, "TxtCCAMA2"), QString());
        chooseItem(m_form, "CmbActesAcct2", QStringLiteral("Révision utérine"));
        QCOMPARE(text(m_form, "TxtEuros"), QStringLiteral("390,1"));
    }

    void nightSupplementStoredWithMarker() {
        open();
        chooseItem(m_form, "CmbActesAcct1", QStringLiteral("Accouchement simple"));
        select(m_form, "OptNuit");
        QCOMPARE(text(m_form, "TxtOp"), QStringLiteral("N"));
        QCOMPARE(text(m_form, "TxtOpE"), QStringLiteral("25,15"));
        QCOMPARE(text(m_form, "TxtEurosT"), QStringLiteral("338,65"));
        QCOMPARE(caption("LblFrancs"), QStringLiteral("2221,4 F"));
        saveWithAnswer(true);
        const Row row = savedRow();
        QCOMPARE(row.money(QStringLiteral("PRIX")), *Money::parse(QStringLiteral("338,65")));
        QCOMPARE(row.text(QStringLiteral("NF")), QStringLiteral("N"));
    }

    void supplementOptions_data() {
        QTest::addColumn<QString>("option");
        QTest::addColumn<QString>("marker");
        QTest::addColumn<QString>("amount");
        QTest::addColumn<QString>("total");
        QTest::newRow("holiday") << "OptFerie"
                                 << "F"
                                 << "19,06"
                                 << "332,56";
        QTest::newRow("back to Normal") << "OptNo"
                                        << ""
                                        << "0"
                                        << "313,5";
    }
    void supplementOptions() {
        QFETCH(QString, option);
        QFETCH(QString, marker);
        QFETCH(QString, amount);
        QFETCH(QString, total);
        open();
        chooseItem(m_form, "CmbActesAcct1", QStringLiteral("Accouchement simple"));
        select(m_form, "OptNuit");
        select(m_form, option.toLatin1().constData());
        QCOMPARE(text(m_form, "TxtOp"), marker);
        QCOMPARE(text(m_form, "TxtOpE"), amount);
        QCOMPARE(text(m_form, "TxtEurosT"), total);
    }

    void supplementCaptionsFromTariffFile() {
        writeTariffs(QStringLiteral("26,5"), QStringLiteral("20"));
        open(false);
        QCOMPARE(caption("LblNuitA"), QStringLiteral("26,50 €"));
        QCOMPARE(caption("LblFerieA"), QStringLiteral("20,00 €"));
        QVERIFY(Dialogs::shownTexts().isEmpty());
        select(m_form, "OptFerie");
        QCOMPARE(text(m_form, "TxtOpE"), QStringLiteral("20"));
        QCOMPARE(text(m_form, "TxtEurosT"), QStringLiteral("20"));
    }

    void surgicalLinesCarryNoAmount() {
        open();
        select(m_form, "OptChir");
        QVERIFY(child<QGroupBox>(m_form, "FrameChir")->isVisible());
        QVERIFY(!child<QGroupBox>(m_form, "FrameAcct")->isVisible());
        chooseItem(m_form, "CmbActesChir1", QStringLiteral("Hystérectomie"));
        chooseItem(m_form, "CmbActesChir2", QStringLiteral("Cerclage"));
        QCOMPARE(listLines(m_form),
                 (QStringList{QStringLiteral("JKFA015  Hystérectomie"), QStringLiteral("JNSD001  Cerclage")}));
        QCOMPARE(text(m_form, "TxtEuros"), QStringLiteral("287,49"));
        QCOMPARE(text(m_form, "TxtCCAMC1"), QStringLiteral("JKFA015"));
        QCOMPARE(text(m_form, "TxtCCAMC2"), QStringLiteral("JNSD001"));
        QCOMPARE(text(m_form, "TxtCCAMAC"), QStringLiteral("JKFA015"));
    }

    // A secondary act chosen first for the next patient counts its own half value, never the acts of
    // the patient before.
    void secondaryActChosenFirst_data() {
        QTest::addColumn<bool>("byClearing");
        QTest::newRow("after saving") << true;
        QTest::newRow("after a change of act type") << false;
    }
    void secondaryActChosenFirst() {
        QFETCH(bool, byClearing);
        open();
        chooseItem(m_form, "CmbActesAcct1", QStringLiteral("Accouchement simple"));
        chooseItem(m_form, "CmbActesAcct2", QStringLiteral("Révision utérine"));
        if (byClearing) {
            saveWithAnswer(true);
            QCOMPARE(m_clinic->count(QStringLiteral("ACTES")), 1);
        } else {
            select(m_form, "OptChir");
            select(m_form, "OptAcct");
        }
        QCOMPARE(listLines(m_form), QStringList());
        chooseItem(m_form, "CmbActesAcct2", QStringLiteral("Délivrance artificielle"));
        QCOMPARE(text(m_form, "TxtEuros"), QStringLiteral("20,9"));
        QCOMPARE(listLines(m_form), QStringList{QStringLiteral("JQGD002  Délivrance artificielle 20,9")});
        saveWithAnswer(true);
        std::vector<Row> rows;
        QVERIFY(m_clinic->db().queryRows(QStringLiteral("SELECT * FROM ACTES ORDER BY NUMINT DESC"), &rows));
        QCOMPARE(rows.front().money(QStringLiteral("PRIX")), *Money::parse(QStringLiteral("20,9")));
        // The line of a secondary act chosen first is not one of the stored secondary lines.
        QCOMPARE(rows.front().text(QStringLiteral("CCAM2")), QString());
    }

    void mutualInsurerExcess() {
        open();
        chooseItem(m_form, "CmbActesAcct1", QStringLiteral("Accouchement simple"));
        auto* opt2 = child<QRadioButton>(m_form, "OptMut2");
        QCOMPARE(opt2->text(), QStringLiteral("Beta"));
        opt2->click();
        QCOMPARE(text(m_form, "TxtDE"), QStringLiteral("40"));
        QCOMPARE(caption("LblDEF"), QStringLiteral("262,38 F"));
        select(m_form, "OptMut0");
        QCOMPARE(text(m_form, "TxtDE"), QStringLiteral("0"));
        QCOMPARE(caption("LblDEF"), QStringLiteral("0 F"));
    }

    void mutualChosenBeforeTheAct() {
        open();
        typeInto("TxtDE", QStringLiteral("12"));
        select(m_form, "OptMut2");
        QCOMPARE(text(m_form, "TxtDE"), QStringLiteral("12"));
        // The excess is looked up when the insurer is picked, again once the act is known.
        chooseItem(m_form, "CmbActesAcct1", QStringLiteral("Accouchement simple"));
        QCOMPARE(text(m_form, "TxtDE"), QStringLiteral("12"));
        select(m_form, "OptMut2");
        QCOMPARE(text(m_form, "TxtDE"), QStringLiteral("40"));
    }

    // The excess is read from the whole reference table: when a delivery act and a surgical act share
    // a label, the row stored first gives it.
    void excessOfALabelInBothActLists() {
        m_clinic->addMemo(3, QStringLiteral("Accouchement simple"), QStringLiteral("JQGA003"), QStringLiteral("200"),
                          {QStringLiteral("99"), QStringLiteral("77")});
        open();
        select(m_form, "OptChir");
        chooseItem(m_form, "CmbActesChir1", QStringLiteral("Accouchement simple"));
        QCOMPARE(text(m_form, "TxtEuros"), QStringLiteral("200"));
        QCOMPARE(text(m_form, "TxtCCAMAC"), QStringLiteral("JQGA003"));
        select(m_form, "OptMut2");
        QCOMPARE(text(m_form, "TxtDE"), QStringLiteral("40"));
        // Closing now, the main window finds this last look-up in the shared cursor.
        QVERIFY(m_clinic->browsed().query() == BrowseQuery::allReferenceEntries());
    }

    void labelWithApostropheIsFound() {
        open();
        select(m_form, "OptChir");
        chooseItem(m_form, "CmbActesChir1", QStringLiteral("Ablation d'un polype"));
        QCOMPARE(text(m_form, "TxtEuros"), QStringLiteral("118,09"));
        QCOMPARE(listLines(m_form), QStringList{QStringLiteral("JKFE002  Ablation d'un polype")});
        select(m_form, "OptMut4");
        QCOMPARE(text(m_form, "TxtDE"), QStringLiteral("45"));
        QVERIFY(Dialogs::shownTexts().isEmpty());
    }

    void insurerWithoutAmountPaysNoExcess() {
        open();
        select(m_form, "OptChir");
        chooseItem(m_form, "CmbActesChir1", QStringLiteral("Ablation d'un polype"));
        select(m_form, "OptMut1");
        QCOMPARE(text(m_form, "TxtDE"), QStringLiteral("80"));
        select(m_form, "OptMut3"); // no amount stored for this insurer
        QCOMPARE(text(m_form, "TxtDE"), QStringLiteral("0"));
        QCOMPARE(caption("LblDEF"), QStringLiteral("0 F"));
    }

    void typedActComputesNothing_data() {
        QTest::addColumn<int>("key");
        QTest::newRow("Return") << int(Qt::Key_Return);
        QTest::newRow("arrow down") << int(Qt::Key_Down);
    }
    void typedActComputesNothing() {
        QFETCH(int, key);
        open();
        auto* box = child<QComboBox>(m_form, "CmbActesAcct1");
        box->setFocus();
        QTest::keyClicks(box, QStringLiteral("Accouchement simple"));
        QTest::keyClick(box, Qt::Key(key));
        QCOMPARE(text(m_form, "TxtEuros"), QStringLiteral("0"));
        QCOMPARE(text(m_form, "TxtCotation"), QString());
        QCOMPARE(listLines(m_form), QStringList());
        QCOMPARE(box->count(), 4); // nothing typed joins the list
        // The list still works afterwards.
        chooseItem(box, QStringLiteral("Césarienne"));
        QCOMPARE(text(m_form, "TxtEuros"), QStringLiteral("369,2"));
    }

    void keyboardChoiceInTheOpenList() {
        open();
        auto* box = child<QComboBox>(m_form, "CmbActesAcct1");
        box->showPopup();
        QAbstractItemView* view = box->view();
        QTRY_VERIFY(view->isVisible());
        view->setCurrentIndex(view->model()->index(box->findText(QStringLiteral("Césarienne")), 0));
        QTest::keyClick(view, Qt::Key_Return);
        QTRY_VERIFY(!view->isVisible());
        QCOMPARE(text(m_form, "TxtEuros"), QStringLiteral("369,2"));
        QCOMPARE(text(m_form, "TxtCotation"), QStringLiteral("Césarienne"));
    }

    void totalOfTypedAmounts_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QString>("total");
        QTest::addColumn<QString>("francs");
        QTest::newRow("emptied: counts as 0") << ""
                                              << ""
                                              << "25,15"
                                              << "164,97 F";
        QTest::newRow("full stop becomes comma") << "12.5"
                                                 << "12,5"
                                                 << "37,65"
                                                 << "246,97 F";
        QTest::newRow("letters are not taken") << "1a0"
                                               << "10"
                                               << "35,15"
                                               << "230,57 F";
        QTest::newRow("lone comma: no figure") << ","
                                               << ","
                                               << ""
                                               << "";
        QTest::newRow("two commas: no figure") << "1,2,3"
                                               << "1,2,3"
                                               << ""
                                               << "";
    }
    void totalOfTypedAmounts() {
        QFETCH(QString, typed);
        QFETCH(QString, shown);
        QFETCH(QString, total);
        QFETCH(QString, francs);
        open();
        select(m_form, "OptNuit");
        typeInto("TxtEuros", QStringLiteral("100"));
        QVERIFY(!caption("LblFrancs").isEmpty());
        typeInto("TxtEuros", typed);
        QCOMPARE(text(m_form, "TxtEuros"), shown);
        QCOMPARE(text(m_form, "TxtEurosT"), total);
        QCOMPARE(caption("LblFrancs"), francs);
    }

    void excessInFrancs_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QString>("francs");
        QTest::newRow("full stop becomes comma") << "12.5"
                                                 << "12,5"
                                                 << "81,99 F";
        QTest::newRow("letters are not taken") << "1a2"
                                               << "12"
                                               << "78,71 F";
        QTest::newRow("erased: last figure stays") << ""
                                                   << ""
                                                   << "262,38 F";
        QTest::newRow("lone comma: no figure") << ","
                                               << ","
                                               << "";
        QTest::newRow("two commas: no figure") << "1,2,3"
                                               << "1,2,3"
                                               << "";
    }
    void excessInFrancs() {
        QFETCH(QString, typed);
        QFETCH(QString, shown);
        QFETCH(QString, francs);
        open();
        typeInto("TxtDE", QStringLiteral("40"));
        QCOMPARE(caption("LblDEF"), QStringLiteral("262,38 F"));
        typeInto("TxtDE", typed);
        QCOMPARE(text(m_form, "TxtDE"), shown);
        QCOMPARE(caption("LblDEF"), francs);
    }

    // Amounts that are not numbers or lie beyond what the screens take are refused with a message;
    // nothing is appended and the entry stays on screen.
    void amountsThatCannotBeStored_data() {
        QTest::addColumn<QString>("box");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("message");
        QTest::newRow("acts not a number") << "TxtEuros"
                                           << "1,2,3"
                                           << "n'est pas un nombre";
        QTest::newRow("lone comma") << "TxtEuros"
                                    << ","
                                    << "n'est pas un nombre";
        QTest::newRow("total too large") << "TxtEuros"
                                         << "10000000,01"
                                         << "doit être compris entre -10000000 et 10000000 €";
        QTest::newRow("excess not a number") << "TxtDE"
                                             << "1,2,3"
                                             << "n'est pas un nombre";
        QTest::newRow("excess too large") << "TxtDE"
                                          << "10000001"
                                          << "doit être compris entre -10000000 et 10000000 €";
    }
    void amountsThatCannotBeStored() {
        QFETCH(QString, box);
        QFETCH(QString, typed);
        QFETCH(QString, message);
        open();
        QTest::keyClicks(child<QLineEdit>(m_form, "TxtNom"), QStringLiteral("dupont"));
        typeInto(box.toLatin1().constData(), typed);
        child<QPushButton>(m_form, "Cmdenreg")->click();
        QCOMPARE(m_clinic->count(QStringLiteral("ACTES")), 0);
        for (const Dialogs::Shown& shown : Dialogs::shown())
            QVERIFY2(!shown.question, "the act is refused before the question");
        QVERIFY2(Dialogs::lastText().contains(message), qPrintable(Dialogs::lastText()));
        QVERIFY(!Dialogs::shownTexts().contains(QStringLiteral("Enregistré !")));
        QCOMPARE(text(m_form, "TxtNom"), QStringLiteral("DUPONT"));
        QCOMPARE(text(m_form, box.toLatin1().constData()), typed);
    }

    void largestStorableTotal() {
        open();
        typeInto("TxtEuros", QStringLiteral("9999974,85"));
        select(m_form, "OptNuit");
        QCOMPARE(text(m_form, "TxtEurosT"), QStringLiteral("10000000"));
        saveWithAnswer(true);
        QCOMPARE(savedRow().money(QStringLiteral("PRIX")), Money::fromEuros(10000000));
    }

    void missingTariffFile() {
        open(false);
        QCOMPARE(Dialogs::shownTexts(),
                 QStringList{QStringLiteral("Le Fichier Tarifs est introuvable ou non chargé.")});
        QCOMPARE(caption("LblNuitA"), QStringLiteral("25.15 €"));
        QCOMPARE(caption("LblFerieA"), QStringLiteral("19.06 €"));
        chooseItem(m_form, "CmbActesAcct1", QStringLiteral("Accouchement simple"));
        select(m_form, "OptNuit");
        QCOMPARE(text(m_form, "TxtOp"), QStringLiteral("N"));
        QCOMPARE(text(m_form, "TxtOpE"), QString());
        QCOMPARE(text(m_form, "TxtEurosT"), QStringLiteral("313,5"));
    }

    void damagedTariffFile_data() {
        QTest::addColumn<int>("fields");
        QTest::addColumn<QString>("night");
        QTest::newRow("43 fields") << 43 << "25,15";
        QTest::newRow("night not an amount") << 44 << "abc";
    }
    void damagedTariffFile() {
        QFETCH(int, fields);
        QFETCH(QString, night);
        writeTariffs(night, QStringLiteral("19,06"), fields);
        open(false);
        // No supplement could be read: Nuit and Férié add nothing, and the user is told.
        QCOMPARE(Dialogs::shownTexts(),
                 QStringList{QStringLiteral("Le Fichier Tarifs est introuvable ou non chargé.")});
        QCOMPARE(caption("LblNuitA"), QStringLiteral("25.15 €"));
        select(m_form, "OptNuit");
        QCOMPARE(text(m_form, "TxtEurosT"), QStringLiteral("0"));
    }

    void secondGroupOfTariffsWins() {
        QStringList fields;
        for (int i = 0; i < 88; ++i)
            fields << QStringLiteral("1");
        fields[4] = QStringLiteral("25,15");
        fields[5] = QStringLiteral("19,06");
        fields[48] = QStringLiteral("30");
        fields[49] = QStringLiteral("22,4");
        QVERIFY(writeQuotedFieldLine(applicationFile(QStringLiteral("tarifs.cmt")), fields, nullptr));
        open(false);
        QCOMPARE(caption("LblNuitA"), QStringLiteral("30,00 €"));
        QCOMPARE(caption("LblFerieA"), QStringLiteral("22,40 €"));
        QVERIFY(Dialogs::shownTexts().isEmpty());
    }
};

QTEST_MAIN(FeeTest)
#include "test_fee.moc"
