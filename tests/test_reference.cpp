// The reference lists editor driven through its controls, on a real database file.
#include "TestSupport.h"

#include "app/Navigator.h"
#include "app/RecordEditor.h"
#include "common/Money.h"
#include "common/Settings.h"
#include "domain/DemoData.h"
#include "domain/TariffFile.h"
#include "reference/ReferenceListsEditor.h"
#include "reference/TariffEditor.h"
#include "store/Store.h"
#include "widgets/DatabaseOpener.h"
#include "widgets/Dialogs.h"

#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QtTest>

using namespace obs;
using obs::test::child;
using obs::test::TempClinic;

namespace {

const QString kOpeningHelp = QStringLiteral(
    "Vous pouvez enregistrer les différents praticiens concernés en cliquant sur le bouton 'Médecins', ainsi que que "
    "la cotation des divers actes médicaux en cliquant sur le bouton 'Actes'.\r\n Le bouton 'Tarifs' permet de mettre "
    "à jour la valeur des lettres clefs utilisées.");

struct Editor {
    Navigator screens;
    QPointer<ReferenceListsEditor> form;
    explicit Editor(TempClinic& clinic)
        : screens(clinic.database(), clinic.browsed()),
          form(new ReferenceListsEditor(clinic.database(), clinic.browsed())) {
        screens.answer(form.data());
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.data()));
    }
    ~Editor() {
        if (!form)
            return;
        if (form->hasUnsavedChange())
            Dialogs::queueChoice(Dialogs::Choice::No); // what a test left typed is dropped
        form->close();
    }
    QLineEdit* edit(const char* n) const { return child<QLineEdit>(form.data(), n); }
    QLabel* label(const char* n) const { return child<QLabel>(form.data(), n); }
    QListWidget* list() const { return child<QListWidget>(form.data(), "List1"); }
    void click(const char* n) const { child<QPushButton>(form.data(), n)->click(); }
    void type(const char* box, const QString& text) const {
        edit(box)->clear();
        // Key clicks carry Latin-1 letters only: accented labels are put in as a paste would.
        bool plain = true;
        for (QChar c : text)
            plain = plain && c.unicode() < 128;
        if (plain)
            QTest::keyClicks(edit(box), text);
        else
            edit(box)->insert(text);
    }
    QStringList items() const {
        QStringList texts;
        for (int i = 0; i < list()->count(); ++i)
            texts << list()->item(i)->text();
        return texts;
    }
    QListWidgetItem* item(const QString& text) const {
        const auto found = list()->findItems(text, Qt::MatchExactly);
        return found.isEmpty() ? nullptr : found.first();
    }
    void doubleClick(const QString& text) const {
        QListWidgetItem* it = item(text);
        QVERIFY2(it, qPrintable(text));
        list()->scrollToItem(it);
        // As the system delivers it: a first click, then the double-click.
        const QPoint at = list()->visualItemRect(it).center();
        QTest::mouseClick(list()->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(list()->viewport(), Qt::LeftButton, {}, at);
    }
    QStringList mutualCaptions() const {
        QStringList c;
        for (int k = 1; k <= 6; ++k)
            c << label(QStringLiteral("LblMut%1").arg(k).toLatin1().constData())->text();
        return c;
    }
};

std::vector<Row> memo(TempClinic& clinic, int category) {
    std::vector<Row> rows;
    const Status s = clinic.db().queryRows(
        QStringLiteral("SELECT * FROM MEMO WHERE NUMEROS = %1 ORDER BY rowid").arg(category), &rows);
    if (!s)
        qFatal("memo: %s", qPrintable(s.message));
    return rows;
}

std::optional<Money> euros(const char* text) {
    return Money::parse(QString::fromUtf8(text));
}

// What is stored, read through the data layer, on whichever engine the clinic uses.
std::shared_ptr<Store> storeOf(TempClinic& clinic) {
    Status s;
    auto store = Store::open(clinic.location(), &s);
    if (!store)
        qFatal("store: %s", qPrintable(s.message));
    return store;
}

// The six amounts of an entry in the French form, empty where there is none.
QStringList storedAmounts(TempClinic& clinic, ReferenceList list, const QString& label) {
    ReferenceEntry entry;
    bool found = false;
    if (!storeOf(clinic)->references().find(list, label, &entry, &found) || !found)
        return {QStringLiteral("(absent)")};
    QStringList amounts;
    for (const auto& m : entry.excesses)
        amounts << (m ? m->toFrench() : QString());
    return amounts;
}

// The labels of a list as stored.
QStringList labels(TempClinic& clinic, int category) {
    QStringList texts;
    if (!storeOf(clinic)->references().labels(*referenceListOf(category), ReferenceOrder::AsStored, &texts))
        qFatal("labels");
    return texts;
}

std::optional<Money> storedTariff(TempClinic& clinic, ReferenceList list, const QString& label) {
    ReferenceEntry entry;
    bool found = false;
    if (!storeOf(clinic)->references().find(list, label, &entry, &found) || !found)
        return std::nullopt;
    return entry.tariff;
}

QStringList insurersByLabel(TempClinic& clinic) {
    QStringList names;
    if (!storeOf(clinic)->references().labels(ReferenceList::MutualInsurers, ReferenceOrder::ByLabel, &names))
        qFatal("labels");
    return names;
}

} // namespace

class TestReference : public QObject {
    Q_OBJECT
private slots:
    void opening();
    void openingWithRefusedPath();
    void chooseList_data();
    void chooseList();
    void addBeforeChoosingList();
    void addPractitionersAndUnsortedList();
    void mutualSlots();
    void onlySixSlots();
    void insurerChangeMovesAmounts_data();
    void insurerChangeMovesAmounts();
    void slotMoveRefusedWhenListChanged();
    void amountsEmptiedOnlyWhenAgreed_data();
    void amountsEmptiedOnlyWhenAgreed();
    void deleteAsksAndKeepsOrder_data();
    void deleteAsksAndKeepsOrder();
    void unsavedTypingAsked_data();
    void unsavedTypingAsked();
    void mutualNamesShownAsTyped();
    void addActWithAmounts();
    void doubleClickShowsRow();
    void sameLabelTwice();
    void practitionerKeepsItsSiren();
    void modifyAndDeleteByDoubleClick_data();
    void modifyAndDeleteByDoubleClick();
    void typedTextNeverChangesQuery();
    void deleteRightAfterAdd();
    void deleteWithNothingHighlighted();
    void badAmountRefused_data();
    void badAmountRefused();
    void modifyWithoutMatchingItem();
    void databaseFailuresReported();
    void closingClosesTariffEditor();
    void closingAsksAboutTariffTyping();
    void longInsurerNameKeepsWindowNarrow();
    void recordEditorAfterEditorCloses();
    void demoLooksRight();
};

void TestReference::opening() {
    TempClinic clinic;
    Editor e(clinic);
    QCOMPARE(e.form->objectName(), QStringLiteral("Form8"));
    QCOMPARE(e.form->windowTitle(), QStringLiteral("Items mémorisés"));
    QCOMPARE(e.label("Label11")->text(), kOpeningHelp);
    QCOMPARE(e.label("LblEspion")->text(), QStringLiteral("Espion"));
    QVERIFY(!e.form->currentList());
    for (const char* hidden : {"Frame2", "Frame4", "Label3", "List2", "LblEspion"})
        QVERIFY2(e.form->findChild<QWidget*>(hidden)->isHidden(), hidden);
    for (const char* box : {"Text1", "TxtCCAM", "TxtTARIFS", "TxtMut1", "TxtMut6"})
        QVERIFY2(e.edit(box)->text().isEmpty(), box);
    QCOMPARE(e.mutualCaptions(),
             (QStringList{"Mutuelle1", "Mutuelle 2", "Mutuelle3", "Mutuelle4", "Mutuelle 5", "Mutuelle6"}));
    QCOMPARE(child<QPushButton>(e.form.data(), "CmdModif")->toolTip(),
             QStringLiteral("Double clic sur l'item à modifier, puis modifier"));
    QCOMPARE(child<QPushButton>(e.form.data(), "CmdSupprime")->toolTip(),
             QStringLiteral("Double clic sur l'item à supprimer, puis supprimer."));
    QVERIFY(Dialogs::shownTexts().isEmpty());
    QVERIFY(!endRequested());
}

void TestReference::openingWithRefusedPath() {
    TempClinic clinic;
    Settings::setDatabasePath(clinic.file(QStringLiteral("autre.mdb")));
    QPointer<ReferenceListsEditor> form(new ReferenceListsEditor(clinic.database(), clinic.browsed()));
    QCOMPARE(Dialogs::shownTexts(), QStringList{QString::fromUtf8(kDatabaseNotFoundMessage)});
    QVERIFY(endRequested());
    // Let the ending run now, so that it does not reach the next test's windows.
    QCoreApplication::processEvents();
    clearEndRequest();
    delete form.data();
}

void TestReference::chooseList_data() {
    QTest::addColumn<QString>("button");
    QTest::addColumn<int>("category");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("help");
    const QString acts = QStringLiteral(
        "Saisissez le nom du nouvel acte dans la zone de saisie 'actes', puis son code CCAM ainsi que sa valeur en "
        "Euros dans les zones de saisie prévues.\r\n Saissisez le montant de dépassement que rembourse chaque "
        "mutuelle pour cet acte.");
    QTest::newRow("practitioners")
        << "CmdMedecins" << 1 << "Médecins"
        << "Saisissez le nom du nouveau praticien (précédé de Dr) dans la zone de saisie 'Médecins', puis clic sur "
           "'Ajouter'. Pour modifier un nom, double clic sur le nom du praticien, modifier au clavier, puis clic sur "
           "'Modifier'. Pour supprimer un nom, double clic sur le nom puis 'Supprimer'.";
    QTest::newRow("deliveries") << "CmdAccts" << 2 << "Actes d'accouchement" << acts;
    QTest::newRow("surgery") << "CmdChir" << 3 << "Actes de chirurgie" << acts;
    QTest::newRow("default practitioner")
        << "CmdMed_Defaut" << 5 << "Médecin traitant par défaut"
        << "Saisissez le nom du médecin traitant par défaut (précédé de Dr) dans la zone de saisie 'Médecins traitant "
           "par défaut', puis clic sur 'Ajouter'. Pour modifier le nom, double clic sur le nom du praticien, modifier "
           "au clavier, puis clic sur 'Modifier'. Pour supprimer le nom, double clic sur le nom puis 'Supprimer'. Un "
           "seul nom doit être entré.";
    QTest::newRow("insurers")
        << "CmdMut" << 6 << "Nom des Mutuelles"
        << "Saisissez le nom des différentes mutuelles dans la zone de saisie 'Nom des Mutuelles', puis clic sur "
           "'Ajouter'. Pour modifier le nom, double clic sur le nom de la mutuelle, modifier au clavier, puis clic sur "
           "'Modifier'. Pour supprimer le nom, double clic sur le nom puis 'Supprimer'. Un seul nom doit être entré.";
}

void TestReference::chooseList() {
    QFETCH(QString, button);
    QFETCH(int, category);
    QFETCH(QString, title);
    QFETCH(QString, help);
    TempClinic clinic;
    for (int c : {1, 2, 3, 5, 6}) {
        clinic.addMemo(c, QStringLiteral("Zèbre %1").arg(c));
        clinic.addMemo(c, QStringLiteral("Élan %1").arg(c));
        clinic.addMemo(c, QStringLiteral("abeille %1").arg(c));
    }
    Editor e(clinic);
    e.type("Text1", "gardé");
    e.click(button.toLatin1().constData());
    QCOMPARE(child<QGroupBox>(e.form.data(), "Frame1")->title(), title);
    QCOMPARE(e.label("Label11")->text(), help);
    QCOMPARE(e.label("LblEspion")->text(), QString::number(category));
    QCOMPARE(e.form->currentList(), referenceListOf(category));
    const bool acts = category == 2 || category == 3;
    for (const char* w : {"Frame2", "Frame4", "Label3"})
        QCOMPARE(e.form->findChild<QWidget*>(w)->isVisible(), acts);
    // Sorted by label, accents and case set aside.
    QCOMPARE(e.items(),
             (QStringList{QStringLiteral("abeille %1").arg(category), QStringLiteral("Élan %1").arg(category),
                          QStringLiteral("Zèbre %1").arg(category)}));
    QCOMPARE(e.edit("Text1")->text(), QStringLiteral("gardé"));
    QVERIFY(e.edit("Text1")->hasFocus());
    QVERIFY(clinic.browsed().query() == BrowseQuery::reference(*referenceListOf(category), ReferenceOrder::ByLabel));
    QVERIFY(Dialogs::shownTexts().isEmpty());
}

void TestReference::addBeforeChoosingList() {
    TempClinic clinic;
    Editor e(clinic);
    e.click("CmdAjoute");
    QCOMPARE(Dialogs::lastText(), QStringLiteral("Veuillez saisir un Item au préalable"));
    e.type("Text1", "Dr MARTIN");
    e.click("CmdAjoute");
    QCOMPARE(Dialogs::lastText(), QStringLiteral("Veuillez selectionner au préalable Médecin ou Actes."));
    e.click("CmdModif");
    QCOMPARE(Dialogs::lastText(), QStringLiteral("Veuillez selectionner au préalable Médecin u Actes."));
    Dialogs::clearShown();
    e.click("CmdSupprime");
    QVERIFY(Dialogs::shownTexts().isEmpty());
    QCOMPARE(clinic.count("MEMO"), 0);
    QCOMPARE(e.edit("Text1")->text(), QStringLiteral("Dr MARTIN"));
}

void TestReference::addPractitionersAndUnsortedList() {
    TempClinic clinic;
    clinic.addMemo(1, "Dr MARTIN");
    Editor e(clinic);
    e.click("CmdMedecins");
    e.type("Text1", "Dr BERTRAND");
    e.click("CmdAjoute");
    // Right after opening the hidden boxes are empty: no value is stored.
    std::vector<Row> rows = memo(clinic, 1);
    QCOMPARE(rows.size(), size_t(2));
    QCOMPARE(rows[1].text("TEXTE"), QStringLiteral("Dr BERTRAND"));
    for (const char* c : {"MUT1", "MUT2", "MUT3", "MUT4", "MUT5", "MUT6", "TARIFS"})
        QVERIFY2(rows[1].isNull(c), c);
    QCOMPARE(rows[1].integer("NUMEROS"), std::optional<qint64>(1));
    // Boxes reset; the list shows the new row where the database put it.
    QVERIFY(e.edit("Text1")->text().isEmpty());
    QCOMPARE(e.edit("TxtMut1")->text(), QStringLiteral("0"));
    QCOMPARE(e.edit("TxtTARIFS")->text(), QStringLiteral("0"));
    QVERIFY(e.edit("TxtCCAM")->text().isEmpty());
    QCOMPARE(e.items(), (QStringList{"Dr MARTIN", "Dr BERTRAND"}));
    // After an add the hidden boxes hold 0, and 0 is stored.
    e.type("Text1", "Dr ARNAUD");
    e.click("CmdAjoute");
    rows = memo(clinic, 1);
    QCOMPARE(rows[2].money("MUT6"), euros("0"));
    QCOMPARE(rows[2].money("TARIFS"), euros("0"));
    QCOMPARE(e.items(), (QStringList{"Dr MARTIN", "Dr BERTRAND", "Dr ARNAUD"}));
    e.click("CmdMedecins");
    QCOMPARE(e.items(), (QStringList{"Dr ARNAUD", "Dr BERTRAND", "Dr MARTIN"}));
    QVERIFY(Dialogs::shownTexts().isEmpty());
    // No other list was touched, and the delivery acts get their order of creation.
    QCOMPARE(clinic.count("MEMO"), 3);
}

void TestReference::mutualSlots() {
    TempClinic clinic;
    for (const char* m : {"C", "A", "B"})
        clinic.addMemo(6, m);
    clinic.addMemo(2, "Césarienne", "JQGA002", "313,5", {"15", "20", "30"});
    Editor e(clinic);
    e.click("CmdAccts");
    QCOMPARE(e.mutualCaptions(), (QStringList{"A", "B", "C", "", "", ""}));
    auto* list2 = child<QListWidget>(e.form.data(), "List2");
    QCOMPARE(list2->count(), 3);
    QCOMPARE(list2->item(0)->text(), QStringLiteral("A"));
    e.doubleClick("Césarienne");
    QCOMPARE(e.edit("TxtMut1")->text(), QStringLiteral("15")); // the amount for A
    QCOMPARE(e.edit("TxtMut3")->text(), QStringLiteral("30"));

    // A new insurer AA takes slot 2: B and C move on, and their amounts with them.
    e.click("CmdMut");
    e.type("Text1", "AA");
    Dialogs::queueAnswer(true);
    e.click("CmdAjoute");
    e.click("CmdAccts");
    QCOMPARE(e.mutualCaptions(), (QStringList{"A", "AA", "B", "C", "", ""}));
    e.doubleClick("Césarienne");
    QCOMPARE(e.edit("TxtMut2")->text(), QString());
    QCOMPARE(e.edit("TxtMut3")->text(), QStringLiteral("20"));
    QCOMPARE(e.edit("TxtMut4")->text(), QStringLiteral("30"));
    const Row act = memo(clinic, 2).front();
    QCOMPARE(act.money("MUT1"), euros("15"));
    QVERIFY(act.isNull("MUT2"));
    QCOMPARE(act.money("MUT3"), euros("20"));
    QCOMPARE(act.money("MUT4"), euros("30"));
    // The other lists leave the mutual labels as they are.
    e.click("CmdMedecins");
    QCOMPARE(e.mutualCaptions(), (QStringList{"A", "AA", "B", "C", "", ""}));
}

void TestReference::onlySixSlots() {
    TempClinic clinic;
    for (const char* m : {"H", "G", "F", "E", "D", "C", "B", "A"})
        clinic.addMemo(6, m);
    Editor e(clinic);
    e.click("CmdChir");
    QCOMPARE(e.mutualCaptions(), (QStringList{"A", "B", "C", "D", "E", "F"}));
    QCOMPARE(child<QListWidget>(e.form.data(), "List2")->count(), 8);
}

void TestReference::insurerChangeMovesAmounts_data() {
    QTest::addColumn<QStringList>("insurers"); // as stored; the act's amounts 1, 2, 3... follow their order by label
    QTest::addColumn<QString>("action");       // add, rename or remove
    QTest::addColumn<QString>("label");
    QTest::addColumn<QString>("renamed");
    QTest::addColumn<bool>("agreed");
    QTest::addColumn<QStringList>("said"); // lines the question holds; none: no question
    QTest::addColumn<bool>("lossDefaultsToNo");
    QTest::addColumn<QStringList>("amounts"); // the act's MUT1 to MUT6 afterwards
    QTest::addColumn<QStringList>("byLabel"); // the insurers by label afterwards

    const QStringList three{"MGEN", "AXA", "Harmonie"};
    const QStringList six{"F", "E", "D", "C", "B", "A"};
    const QStringList seven{"G", "F", "E", "D", "C", "B", "A"};
    QTest::newRow("three, added second") << three << "add"
                                         << "Groupama"
                                         << "" << true
                                         << QStringList{"« Harmonie » passe de la colonne 2 à la colonne 3",
                                                        "« MGEN » passe de la colonne 3 à la colonne 4",
                                                        "« Groupama » prend la colonne 2, sans montant"}
                                         << false << QStringList{"1", "", "2", "3", "", ""}
                                         << QStringList{"AXA", "Groupama", "Harmonie", "MGEN"};
    QTest::newRow("three, added first") << three << "add"
                                        << "AG2R"
                                        << "" << true
                                        << QStringList{"« AXA » passe de la colonne 1 à la colonne 2",
                                                       "« MGEN » passe de la colonne 3 à la colonne 4",
                                                       "« AG2R » prend la colonne 1, sans montant"}
                                        << false << QStringList{"", "1", "2", "3", "", ""}
                                        << QStringList{"AG2R", "AXA", "Harmonie", "MGEN"};
    QTest::newRow("three, added last") << three << "add"
                                       << "Swiss Life"
                                       << "" << true << QStringList{} << false << QStringList{"1", "2", "3", "", "", ""}
                                       << QStringList{"AXA", "Harmonie", "MGEN", "Swiss Life"};
    QTest::newRow("three, renamed past another")
        << three << "rename"
        << "AXA"
        << "Malakoff" << true
        << QStringList{"« Harmonie » passe de la colonne 2 à la colonne 1",
                       "« AXA » passe de la colonne 1 à la colonne 2"}
        << false << QStringList{"2", "1", "3", "", "", ""} << QStringList{"Harmonie", "Malakoff", "MGEN"};
    QTest::newRow("three, renamed in place")
        << three << "rename"
        << "Harmonie"
        << "Harmonie Mutuelle" << true << QStringList{} << false << QStringList{"1", "2", "3", "", "", ""}
        << QStringList{"AXA", "Harmonie Mutuelle", "MGEN"};
    QTest::newRow("three, first removed")
        << three << "remove"
        << "AXA"
        << "" << true
        << QStringList{"« Harmonie » passe de la colonne 2 à la colonne 1",
                       "« MGEN » passe de la colonne 3 à la colonne 2",
                       "« AXA » est supprimée : ses montants (colonne 1) sont retirés des actes",
                       "Les montants de la colonne 1 seront effacés : 2 actes perdent en tout 2 € de dépassement"}
        << true << QStringList{"2", "3", "", "", "", ""} << QStringList{"Harmonie", "MGEN"};
    QTest::newRow("three, moves declined")
        << three << "add"
        << "AG2R"
        << "" << false << QStringList{"« MGEN » passe de la colonne 3 à la colonne 4"} << false
        << QStringList{"1", "2", "3", "", "", ""} << QStringList{"AXA", "Harmonie", "MGEN"};
    QTest::newRow("six, a seventh pushes the last out")
        << six << "add"
        << "AA"
        << "" << true
        << QStringList{"« B » passe de la colonne 2 à la colonne 3", "« E » passe de la colonne 5 à la colonne 6",
                       "« F » sort des six colonnes (colonne 6) : ses montants seront perdus",
                       "Les montants de la colonne 6 seront effacés : 2 actes perdent en tout 12 € de dépassement"}
        << true << QStringList{"1", "", "2", "3", "4", "5"} << QStringList{"A", "AA", "B", "C", "D", "E", "F"};
    QTest::newRow("six, loss declined") << six << "add"
                                        << "AA"
                                        << "" << false << QStringList{"« F » sort des six colonnes (colonne 6)"} << true
                                        << QStringList{"1", "2", "3", "4", "5", "6"}
                                        << QStringList{"A", "B", "C", "D", "E", "F"};
    QTest::newRow("six, seventh added last")
        << six << "add"
        << "Z"
        << "" << true << QStringList{} << false << QStringList{"1", "2", "3", "4", "5", "6"}
        << QStringList{"A", "B", "C", "D", "E", "F", "Z"};
    QTest::newRow("seven, removal brings the seventh in")
        << seven << "remove"
        << "B"
        << "" << true
        << QStringList{"« C » passe de la colonne 3 à la colonne 2", "« F » passe de la colonne 6 à la colonne 5",
                       "« G » prend la colonne 6, sans montant",
                       "Les montants de la colonne 2 seront effacés : 2 actes perdent en tout 4 € de dépassement"}
        << true << QStringList{"1", "3", "4", "5", "6", ""} << QStringList{"A", "C", "D", "E", "F", "G"};
    QTest::newRow("seven, first renamed past the sixth")
        << seven << "rename"
        << "A"
        << "Z" << true
        << QStringList{"« B » passe de la colonne 2 à la colonne 1",
                       "« A » sort des six colonnes (colonne 1) : ses montants seront perdus",
                       "« G » prend la colonne 6, sans montant",
                       "Les montants de la colonne 1 seront effacés : 2 actes perdent en tout 2 € de dépassement"}
        << true << QStringList{"2", "3", "4", "5", "6", ""} << QStringList{"B", "C", "D", "E", "F", "G", "Z"};
}

void TestReference::insurerChangeMovesAmounts() {
    QFETCH(QStringList, insurers);
    QFETCH(QString, action);
    QFETCH(QString, label);
    QFETCH(QString, renamed);
    QFETCH(bool, agreed);
    QFETCH(QStringList, said);
    QFETCH(bool, lossDefaultsToNo);
    QFETCH(QStringList, amounts);
    QFETCH(QStringList, byLabel);
    TempClinic clinic;
    for (const QString& name : insurers)
        clinic.addMemo(6, name);
    QStringList before = insurers;
    before.sort();
    QStringList columns;
    for (int k = 1; k <= before.size() && k <= 6; ++k)
        columns << QString::number(k);
    clinic.addMemo(2, "Césarienne", "JQGA002", "313,5", columns);
    clinic.addMemo(3, "Conisation", "JKFA001", "100", columns);
    clinic.addMemo(1, "Dr MARTIN", QString(), QString(), {"1", "2", "3", "4", "5", "6"});

    Editor e(clinic);
    e.click("CmdMut");
    if (action == u"remove") {
        e.doubleClick(label);
        Dialogs::queueAnswer(true);
    } else if (action == u"rename") {
        e.doubleClick(label);
    }
    if (!said.isEmpty())
        Dialogs::queueAnswer(agreed);
    if (action != u"remove")
        e.type("Text1", action == u"add" ? label : renamed);
    e.click(action == u"add" ? "CmdAjoute" : action == u"rename" ? "CmdModif" : "CmdSupprime");

    QList<Dialogs::Shown> shown = Dialogs::shown();
    if (action == u"remove")
        shown.removeFirst(); // "Supprimer « X » ?"
    QCOMPARE(shown.size(), said.isEmpty() ? 0 : 1);
    if (!said.isEmpty()) {
        QVERIFY(shown[0].question);
        QCOMPARE(shown[0].title, QStringLiteral("Attention"));
        for (const QString& line : said)
            QVERIFY2(shown[0].text.contains(line), qPrintable(shown[0].text));
        QCOMPARE(shown[0].defaultAnswer, lossDefaultsToNo ? Dialogs::Default::No : Dialogs::Default::Yes);
    }
    QCOMPARE(insurersByLabel(clinic), byLabel);
    QCOMPARE(storedAmounts(clinic, ReferenceList::DeliveryActs, "Césarienne"), amounts);
    QCOMPARE(storedAmounts(clinic, ReferenceList::SurgicalActs, "Conisation"), amounts);
    // Only the act lists carry amounts for the insurers.
    QCOMPARE(storedAmounts(clinic, ReferenceList::Practitioners, "Dr MARTIN"),
             (QStringList{"1", "2", "3", "4", "5", "6"}));
    if (agreed || said.isEmpty()) {
        QVERIFY(e.edit("Text1")->text().isEmpty());
    } else {
        // Declined: nothing written, the typing stays.
        QCOMPARE(e.edit("Text1")->text(), action == u"add" ? label : renamed);
    }
    // The editor's captions follow the insurers, so each column shows its own insurer's amount.
    e.click("CmdAccts");
    QCOMPARE(e.mutualCaptions().mid(0, std::min<qsizetype>(6, byLabel.size())), byLabel.mid(0, 6));
}

void TestReference::amountsEmptiedOnlyWhenAgreed_data() {
    QTest::addColumn<QStringList>("insurers"); // as stored
    QTest::addColumn<QStringList>("amounts");  // MUT1... of both act entries before
    QTest::addColumn<QString>("action");       // add or remove
    QTest::addColumn<QString>("label");
    QTest::addColumn<bool>("agreed");
    QTest::addColumn<QString>("said");      // the loss the question states; empty: no question
    QTest::addColumn<QStringList>("after"); // the act entries' MUT1 to MUT6 afterwards

    const QStringList kept{"15", "", "", "", "", ""};
    QTest::newRow("first insurer over amounts, Non") << QStringList{} << QStringList{"15"} << "add"
                                                     << "MGEN" << false
                                                     << "Les montants de la colonne 1 seront effacés : 2 actes perdent "
                                                        "en tout 30 € de dépassement"
                                                     << kept;
    QTest::newRow("first insurer over amounts, Oui") << QStringList{} << QStringList{"15"} << "add"
                                                     << "MGEN" << true
                                                     << "Les montants de la colonne 1 seront effacés : 2 actes perdent "
                                                        "en tout 30 € de dépassement"
                                                     << QStringList{"", "", "", "", "", ""};
    QTest::newRow("first insurer over zeros") << QStringList{} << QStringList{"0", "0"} << "add"
                                              << "MGEN" << true << "" << QStringList{"", "0", "", "", "", ""};
    QTest::newRow("a column without holder gets one")
        << QStringList{"AXA"} << QStringList{"10", "2,55"} << "add"
        << "MGEN" << false
        << "Les montants de la colonne 2 seront effacés : 2 actes perdent en tout 5,1 € de dépassement"
        << QStringList{"10", "2,55", "", "", "", ""};
    QTest::newRow("last insurer removed with its amounts")
        << QStringList{"AXA", "MGEN"} << QStringList{"10", "20"} << "remove"
        << "MGEN" << true << "Les montants de la colonne 2 seront effacés : 2 actes perdent en tout 40 € de dépassement"
        << QStringList{"10", "", "", "", "", ""};
    QTest::newRow("last insurer removed, amounts kept on Non")
        << QStringList{"AXA", "MGEN"} << QStringList{"10", "20"} << "remove"
        << "MGEN" << false
        << "Les montants de la colonne 2 seront effacés : 2 actes perdent en tout 40 € de dépassement"
        << QStringList{"10", "20", "", "", "", ""};
}

void TestReference::amountsEmptiedOnlyWhenAgreed() {
    QFETCH(QStringList, insurers);
    QFETCH(QStringList, amounts);
    QFETCH(QString, action);
    QFETCH(QString, label);
    QFETCH(bool, agreed);
    QFETCH(QString, said);
    QFETCH(QStringList, after);
    TempClinic clinic;
    for (const QString& name : insurers)
        clinic.addMemo(6, name);
    clinic.addMemo(2, "Césarienne", "JQGA002", "313,5", amounts);
    clinic.addMemo(3, "Conisation", "JKFA001", "100", amounts);

    Editor e(clinic);
    e.click("CmdMut");
    if (action == u"remove") {
        e.doubleClick(label);
        Dialogs::queueAnswer(true); // "Supprimer « X » ?"
    } else {
        e.type("Text1", label);
    }
    if (!said.isEmpty())
        Dialogs::queueAnswer(agreed);
    e.click(action == u"add" ? "CmdAjoute" : "CmdSupprime");

    QList<Dialogs::Shown> shown = Dialogs::shown();
    if (action == u"remove")
        shown.removeFirst();
    QCOMPARE(shown.size(), said.isEmpty() ? 0 : 1);
    if (!said.isEmpty()) {
        QVERIFY2(shown[0].text.contains(said), qPrintable(shown[0].text));
        QCOMPARE(shown[0].defaultAnswer, Dialogs::Default::No);
    }
    QStringList expectedList = insurers;
    if (agreed && action == u"add")
        expectedList << label;
    if (agreed && action == u"remove")
        expectedList.removeAll(label);
    expectedList.sort();
    QCOMPARE(insurersByLabel(clinic), expectedList);
    QCOMPARE(storedAmounts(clinic, ReferenceList::DeliveryActs, "Césarienne"), after);
    QCOMPARE(storedAmounts(clinic, ReferenceList::SurgicalActs, "Conisation"), after);
    // Non: the name typed stays in its box.
    if (!agreed && action == u"add")
        QCOMPARE(e.edit("Text1")->text(), label);
}

void TestReference::slotMoveRefusedWhenListChanged() {
    // Another workstation adds an insurer between the question and the answer: the move the user
    // agreed to no longer holds, so nothing is written.
    TempClinic clinic;
    for (const char* m : {"AXA", "MGEN"})
        clinic.addMemo(6, m);
    clinic.addMemo(2, "Césarienne", "JQGA002", "313,5", {"10", "20"});
    auto store = storeOf(clinic);
    ReferenceChange change;
    change.kind = ReferenceChange::Kind::Add;
    change.edited.list = ReferenceList::MutualInsurers;
    change.edited.label = QStringLiteral("AG2R");
    MutualSlots::Plan plan;
    QVERIFY(store->references().slotPlan(change, &plan));
    QVERIFY(plan.movesInsurers());
    clinic.addMemo(6, "AAA");
    bool found = false;
    QCOMPARE(store->references().apply(change, plan, &found).error, StoreError::Changed);
    QCOMPARE(insurersByLabel(clinic), (QStringList{"AAA", "AXA", "MGEN"}));
    QCOMPARE(storedAmounts(clinic, ReferenceList::DeliveryActs, "Césarienne"),
             (QStringList{"10", "20", "", "", "", ""}));
    // Read again, the plan holds and goes through.
    QVERIFY(store->references().slotPlan(change, &plan));
    QVERIFY(store->references().apply(change, plan, &found) && found);
    QCOMPARE(insurersByLabel(clinic), (QStringList{"AAA", "AG2R", "AXA", "MGEN"}));
    QCOMPARE(storedAmounts(clinic, ReferenceList::DeliveryActs, "Césarienne"),
             (QStringList{"10", "", "20", "", "", ""}));
}

void TestReference::deleteAsksAndKeepsOrder_data() {
    QTest::addColumn<int>("answer"); // 1 Oui, 0 Non
    QTest::newRow("Oui deletes") << 1;
    QTest::newRow("Non keeps") << 0;
}

void TestReference::deleteAsksAndKeepsOrder() {
    QFETCH(int, answer);
    TempClinic clinic;
    clinic.addMemo(1, "Dr ROUX");
    clinic.addMemo(1, "Dr MARTIN");
    Editor e(clinic);
    e.click("CmdMedecins");
    e.type("Text1", "Dr ALBERT");
    e.click("CmdAjoute");
    QCOMPARE(e.items(), (QStringList{"Dr ROUX", "Dr MARTIN", "Dr ALBERT"})); // as stored after an add
    e.doubleClick("Dr MARTIN");
    Dialogs::queueAnswer(answer == 1);
    e.click("CmdSupprime");
    QCOMPARE(Dialogs::shown().size(), 1);
    QCOMPARE(Dialogs::shown()[0].text, QStringLiteral("Supprimer « Dr MARTIN » ?"));
    QCOMPARE(Dialogs::shown()[0].title, QStringLiteral("Attention"));
    QCOMPARE(Dialogs::shown()[0].defaultAnswer, Dialogs::Default::No);
    if (answer == 1) {
        QCOMPARE(labels(clinic, 1), (QStringList{"Dr ROUX", "Dr ALBERT"}));
        QCOMPARE(e.items(), (QStringList{"Dr ALBERT", "Dr ROUX"}));
        QVERIFY(e.edit("Text1")->text().isEmpty());
    } else {
        QCOMPARE(labels(clinic, 1), (QStringList{"Dr ROUX", "Dr MARTIN", "Dr ALBERT"}));
        QCOMPARE(e.items(), (QStringList{"Dr ROUX", "Dr MARTIN", "Dr ALBERT"}));
        QCOMPARE(e.edit("Text1")->text(), QStringLiteral("Dr MARTIN"));
    }
}

void TestReference::unsavedTypingAsked_data() {
    QTest::addColumn<QString>("leave"); // how the typing is left: CmdQuitter, frame, doubleClick
    QTest::addColumn<int>("choice");
    QTest::addColumn<bool>("changing"); // an entry was double-clicked, or a new one typed
    for (const char* leave : {"CmdQuitter", "frame", "doubleClick"}) {
        for (bool changing : {true, false}) {
            const char* what = changing ? "change" : "new";
            QTest::addRow("%s, %s, Oui saves", leave, what) << leave << int(Dialogs::Choice::Yes) << changing;
            QTest::addRow("%s, %s, Non drops", leave, what) << leave << int(Dialogs::Choice::No) << changing;
            QTest::addRow("%s, %s, Annuler stays", leave, what) << leave << int(Dialogs::Choice::Cancel) << changing;
        }
    }
}

void TestReference::unsavedTypingAsked() {
    QFETCH(QString, leave);
    QFETCH(int, choice);
    QFETCH(bool, changing);
    TempClinic clinic;
    clinic.addMemo(3, "Conisation", "JKFA001", "100", {"10"});
    clinic.addMemo(3, "Hystéroscopie", "JKQE001", "80", {"5"});
    Editor e(clinic);
    QSignalSpy closed(e.form.data(), &Screen::closed);
    e.click("CmdChir");
    if (changing) {
        // Looked at, nothing typed: going on asks nothing.
        e.doubleClick("Hystéroscopie");
        e.doubleClick("Conisation");
        QVERIFY(Dialogs::shown().isEmpty());
        e.type("TxtTARIFS", "120");
    } else {
        e.type("Text1", "Colposcopie");
        e.type("TxtTARIFS", "29,31");
    }
    Dialogs::queueChoice(Dialogs::Choice(choice));
    if (leave == u"CmdQuitter")
        e.click("CmdQuitter");
    else if (leave == u"frame")
        e.form->close();
    else
        e.doubleClick("Hystéroscopie");
    QCOMPARE(Dialogs::shown().size(), 1);
    QCOMPARE(Dialogs::shown()[0].text, QStringLiteral("Enregistrer les modifications de cette fiche ?"));
    QCOMPARE(Dialogs::shown()[0].title, QStringLiteral("Attention"));
    QCOMPARE(Dialogs::shown()[0].defaultAnswer, Dialogs::Default::Cancel);
    const bool stays = Dialogs::Choice(choice) == Dialogs::Choice::Cancel;
    const bool saved = Dialogs::Choice(choice) == Dialogs::Choice::Yes;
    const QStringList stored = labels(clinic, 3);
    if (changing) {
        QCOMPARE(stored, (QStringList{"Conisation", "Hystéroscopie"}));
        QCOMPARE(storedTariff(clinic, ReferenceList::SurgicalActs, "Conisation"), euros(saved ? "120" : "100"));
    } else {
        QCOMPARE(stored, (saved ? QStringList{"Conisation", "Hystéroscopie", "Colposcopie"}
                                : QStringList{"Conisation", "Hystéroscopie"}));
    }
    if (leave == u"doubleClick") {
        QCOMPARE(closed.count(), 0);
        QCOMPARE(e.edit("Text1")->text(),
                 QString::fromUtf8(stays ? (changing ? "Conisation" : "Colposcopie") : "Hystéroscopie"));
        QCOMPARE(e.edit("TxtTARIFS")->text(), QString::fromUtf8(stays ? (changing ? "120" : "29,31") : "80"));
    } else {
        QCOMPARE(closed.count(), stays ? 0 : 1);
        if (stays)
            QCOMPARE(e.edit("TxtTARIFS")->text(), QString::fromUtf8(changing ? "120" : "29,31"));
    }
}

void TestReference::mutualNamesShownAsTyped() {
    TempClinic clinic;
    clinic.addMemo(6, "AG2R & Co");
    clinic.addMemo(6, "MGEN");
    Editor e(clinic);
    e.click("CmdAccts");
    QLabel* shown = e.label("LblMut1");
    QCOMPARE(shown->text(), QStringLiteral("AG2R & Co"));
    // Drawn as a plain label of the same text: the ampersand is not taken for a shortcut.
    QLabel plain(shown->parentWidget());
    plain.setTextFormat(Qt::PlainText);
    plain.setText(shown->text());
    plain.setAlignment(shown->alignment());
    plain.setGeometry(shown->geometry());
    plain.show();
    QCOMPARE(shown->grab().toImage(), plain.grab().toImage());
}

void TestReference::addActWithAmounts() {
    TempClinic clinic;
    clinic.addMemo(6, "MGEN");
    Editor e(clinic);
    e.click("CmdChir");
    e.type("Text1", "Tumorectomie du sein");
    e.type("TxtCCAM", "QEFA004");
    e.type("TxtTARIFS", "150,26");
    e.type("TxtMut1", "12.5");
    QCOMPARE(e.edit("TxtMut1")->text(), QStringLiteral("12,5"));
    e.type("TxtMut2", "a8b0 ");
    QCOMPARE(e.edit("TxtMut2")->text(), QStringLiteral("80"));
    e.type("TxtMut3", "40x");
    QTest::keyClick(e.edit("TxtMut3"), Qt::Key_Backspace);
    QCOMPARE(e.edit("TxtMut3")->text(), QStringLiteral("4"));
    e.edit("TxtMut4")->clear();
    e.click("CmdAjoute");
    QVERIFY(Dialogs::shownTexts().isEmpty());
    const std::vector<Row> rows = memo(clinic, 3);
    QCOMPARE(rows.size(), size_t(1));
    const Row& r = rows.front();
    QCOMPARE(r.text("TEXTE"), QStringLiteral("Tumorectomie du sein"));
    QCOMPARE(r.text("CCAM"), QStringLiteral("QEFA004"));
    QCOMPARE(r.money("TARIFS"), euros("150,26"));
    QCOMPARE(r.money("MUT1"), euros("12,5"));
    QCOMPARE(r.money("MUT2"), euros("80"));
    QCOMPARE(r.money("MUT3"), euros("4"));
    QVERIFY(r.isNull("MUT4")); // an empty box stores no value
    QVERIFY(r.isNull("MUT5"));
    QCOMPARE(e.items(), QStringList{"Tumorectomie du sein"});
    for (const char* box : {"TxtMut1", "TxtMut4", "TxtMut6", "TxtTARIFS"})
        QCOMPARE(e.edit(box)->text(), QStringLiteral("0"));
}

void TestReference::doubleClickShowsRow() {
    TempClinic clinic;
    clinic.addMemo(2, "Révision utérine", "JQGD013", "41,8", {"40", "30,55"});
    clinic.addMemo(2, "Délivrance artificielle", "JQGD002", "41,8", {"1"});
    Editor e(clinic);
    // Before a list is chosen a double-click does nothing.
    e.click("CmdAccts");
    e.doubleClick("Révision utérine");
    QCOMPARE(e.edit("Text1")->text(), QStringLiteral("Révision utérine"));
    QCOMPARE(e.edit("TxtCCAM")->text(), QStringLiteral("JQGD013"));
    QCOMPARE(e.edit("TxtTARIFS")->text(), QStringLiteral("41,8"));
    QCOMPARE(e.edit("TxtMut1")->text(), QStringLiteral("40"));
    QCOMPARE(e.edit("TxtMut2")->text(), QStringLiteral("30,55"));
    QCOMPARE(e.edit("TxtMut3")->text(), QString());
    QCOMPARE(e.form->rememberedItem(), QStringLiteral("Révision utérine"));
    // A row removed meanwhile: only the label is taken.
    clinic.db().execute(QStringLiteral("DELETE FROM MEMO WHERE TEXTE='Délivrance artificielle'"));
    e.doubleClick("Délivrance artificielle");
    QCOMPARE(e.edit("Text1")->text(), QStringLiteral("Délivrance artificielle"));
    QCOMPARE(e.edit("TxtCCAM")->text(), QStringLiteral("JQGD013"));
    QVERIFY(Dialogs::shownTexts().isEmpty());
}

void TestReference::sameLabelTwice() {
    TempClinic clinic;
    Editor e(clinic);
    e.click("CmdMut");
    e.type("Text1", "MGEN");
    e.click("CmdAjoute");
    e.type("Text1", "MGEN");
    e.click("CmdAjoute");
    QCOMPARE(labels(clinic, 6), (QStringList{"MGEN", "MGEN"}));
    e.list()->setCurrentRow(1);
    e.doubleClick(e.list()->item(1)->text());
    e.type("Text1", "MGEN Filia");
    Dialogs::queueAnswer(true); // the two insurers swap columns
    e.click("CmdModif");
    QCOMPARE(labels(clinic, 6), (QStringList{"MGEN Filia", "MGEN"}));
    QCOMPARE(e.items(), (QStringList{"MGEN Filia", "MGEN"}));
}

void TestReference::practitionerKeepsItsSiren() {
    // A practitioner's SIREN lives in their entry's code, which the editor does not show for them.
    TempClinic clinic;
    clinic.addMemo(1, "Dr MARTIN", "123456782");
    clinic.addMemo(2, "Césarienne", "JQGA002", "313,5");
    Editor e(clinic);
    e.click("CmdAccts");
    e.doubleClick("Césarienne");
    e.click("CmdMedecins");
    e.type("Text1", "Dr NOUVEAU");
    e.click("CmdAjoute");
    e.doubleClick("Dr MARTIN");
    e.type("Text1", "Dr MARTIN-DUBOIS");
    e.click("CmdModif");
    QVERIFY(Dialogs::shownTexts().isEmpty());
    auto codeOf = [&](const QString& label) {
        ReferenceEntry entry;
        bool found = false;
        return storeOf(clinic)->references().find(ReferenceList::Practitioners, label, &entry, &found) && found
                   ? entry.code
                   : QStringLiteral("(absent)");
    };
    QCOMPARE(codeOf(QStringLiteral("Dr NOUVEAU")), QString()); // not the act's code left in the hidden box
    QCOMPARE(codeOf(QStringLiteral("Dr MARTIN-DUBOIS")), QStringLiteral("123456782"));
}

void TestReference::modifyAndDeleteByDoubleClick_data() {
    QTest::addColumn<QString>("button");
    QTest::addColumn<int>("category");
    QTest::addColumn<QString>("label");
    QTest::addColumn<QString>("renamed");
    QTest::newRow("practitioner") << "CmdMedecins" << 1 << "Dr MARTIN"
                                  << "Dr MARTIN-DUBOIS";
    QTest::newRow("practitioner with apostrophe") << "CmdMedecins" << 1 << "Dr D'ORVAL"
                                                  << "Dr D'ORVAL-L'HERMITTE";
    QTest::newRow("default practitioner") << "CmdMed_Defaut" << 5 << "Dr D'ORVAL"
                                          << "Dr FONTAINE";
    QTest::newRow("insurer") << "CmdMut" << 6 << "Mutuelle d'Ivry"
                             << "Mutuelle de l'Ouest";
    QTest::newRow("surgery act with apostrophe") << "CmdChir" << 3 << "Ablation d'un polype"
                                                 << "Ablation d'un polype de l'endomètre";
    QTest::newRow("act with double quotes and wildcards") << "CmdChir" << 3 << "Acte \"spécial\" [A-Z]* #1 ?"
                                                          << "Acte 40543AND 'x' -- ;";
    QTest::newRow("insurer with percent, underscore and backslash") << "CmdMut" << 6 << "Mut \\ 50% _x_ 'a''b'"
                                                                    << "\"q\" \\";
}

void TestReference::modifyAndDeleteByDoubleClick() {
    QFETCH(QString, button);
    QFETCH(int, category);
    QFETCH(QString, label);
    QFETCH(QString, renamed);
    TempClinic clinic;
    clinic.addMemo(category, "Aaa");
    clinic.addMemo(category, label, "JKFE002", "118,09", {"80", "60"});
    clinic.addMemo(category, "Zzz");
    clinic.addMemo(category == 1 ? 5 : 1, label); // same label in another list: untouched
    Editor e(clinic);
    e.click(button.toLatin1().constData());
    e.doubleClick(label);
    QCOMPARE(e.edit("Text1")->text(), label);
    e.type("Text1", renamed);
    e.type("TxtTARIFS", "120");
    // An insurer renamed past another moves to its column: the amounts follow once agreed.
    Dialogs::queueAnswer(true);
    e.click("CmdModif");
    QVERIFY(Dialogs::shownTexts().isEmpty() || category == 6);
    Dialogs::clearShown();
    QCOMPARE(labels(clinic, category), (QStringList{"Aaa", renamed, "Zzz"}));
    const Row changed = memo(clinic, category)[1];
    QCOMPARE(changed.money("TARIFS"), euros("120"));
    QCOMPARE(changed.money("MUT1"), euros("80"));
    QCOMPARE(changed.text("CCAM"), QStringLiteral("JKFE002"));
    QCOMPARE(e.items(), (QStringList{"Aaa", renamed, "Zzz"}));
    QVERIFY(e.edit("Text1")->text().isEmpty());
    QCOMPARE(e.form->rememberedItem(), label); // not cleared by Modify

    e.doubleClick(renamed);
    Dialogs::queueAnswer(true);
    Dialogs::queueAnswer(true); // an insurer: those after it move up a column
    e.click("CmdSupprime");
    QCOMPARE(Dialogs::shownTexts().value(0), QStringLiteral("Supprimer « %1 » ?").arg(renamed));
    QVERIFY(Dialogs::shown().size() == 1 ||
            (category == 6 && Dialogs::shown().size() == 2 &&
             Dialogs::shownTexts()[1].contains(QStringLiteral("« Zzz » passe de la colonne 3 à la colonne 2"))));
    Dialogs::clearShown();
    QCOMPARE(labels(clinic, category), (QStringList{"Aaa", "Zzz"}));
    QCOMPARE(e.items(), (QStringList{"Aaa", "Zzz"}));
    QCOMPARE(labels(clinic, category == 1 ? 5 : 1), QStringList{label});
    QVERIFY(e.edit("Text1")->text().isEmpty());
    QCOMPARE(e.form->rememberedItem(), renamed);
}

void TestReference::typedTextNeverChangesQuery() {
    TempClinic clinic;
    clinic.addMemo(1, "Dr MARTIN");
    clinic.addMemo(1, "Dr ROUX");
    const QString odd = QStringLiteral("x' OR '1'='1");
    Editor e(clinic);
    e.click("CmdMedecins");
    e.type("Text1", odd);
    e.click("CmdAjoute");
    QCOMPARE(labels(clinic, 1), (QStringList{"Dr MARTIN", "Dr ROUX", odd}));
    e.doubleClick(odd);
    Dialogs::queueAnswer(true);
    e.click("CmdSupprime");
    QCOMPARE(labels(clinic, 1), (QStringList{"Dr MARTIN", "Dr ROUX"}));
    e.doubleClick("Dr ROUX");
    e.type("Text1", "Dr ROUX'); DELETE FROM MEMO; --");
    e.click("CmdModif");
    QCOMPARE(labels(clinic, 1), (QStringList{"Dr MARTIN", "Dr ROUX'); DELETE FROM MEMO; --"}));
    QCOMPARE(Dialogs::shownTexts(), QStringList{QStringLiteral("Supprimer « %1 » ?").arg(odd)});
}

void TestReference::deleteRightAfterAdd() {
    TempClinic clinic;
    Editor e(clinic);
    e.click("CmdMedecins");
    e.type("Text1", "Dr MARTIN");
    e.click("CmdAjoute");
    e.list()->setCurrentRow(0);
    e.click("CmdSupprime");
    QCOMPARE(Dialogs::lastText(), QStringLiteral("Veuillez selectionner un Item au préalable par Double Click."));
    QCOMPARE(clinic.count("MEMO"), 1);
    e.click("CmdModif");
    QCOMPARE(Dialogs::lastText(), QStringLiteral("Veuillez selectionner un Item par Double Click"));
}

void TestReference::deleteWithNothingHighlighted() {
    TempClinic clinic;
    clinic.addMemo(1, "Dr MARTIN");
    Editor e(clinic);
    e.click("CmdMedecins");
    e.type("Text1", "Dr MARTIN");
    e.type("TxtMut1", "5");
    QVERIFY(!e.list()->currentItem() || !e.list()->currentItem()->isSelected());
    e.click("CmdSupprime");
    QCOMPARE(clinic.count("MEMO"), 1);
    QCOMPARE(e.edit("Text1")->text(), QStringLiteral("Dr MARTIN"));
    QCOMPARE(e.edit("TxtMut1")->text(), QStringLiteral("5"));
    QVERIFY(Dialogs::shownTexts().isEmpty());
    // The highlighted item is deleted, whatever the entry box holds.
    clinic.addMemo(1, "Dr ROUX");
    e.click("CmdMedecins");
    e.list()->setCurrentItem(e.item("Dr ROUX"));
    Dialogs::queueAnswer(true);
    e.click("CmdSupprime");
    QCOMPARE(labels(clinic, 1), QStringList{"Dr MARTIN"});
    QCOMPARE(e.form->rememberedItem(), QStringLiteral("Dr ROUX"));
}

void TestReference::badAmountRefused_data() {
    QTest::addColumn<QString>("box");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("named");
    QTest::newRow("tariff with two commas") << "TxtTARIFS"
                                            << "313,5,0"
                                            << "« Tarif »";
    QTest::newRow("tariff with a letter") << "TxtTARIFS"
                                          << "31O"
                                          << "« Tarif »";
    QTest::newRow("first mutual, two commas") << "TxtMut1"
                                              << "12,5,3"
                                              << "« Mutuelle 1 (MGEN) »";
    QTest::newRow("sixth mutual, comma only") << "TxtMut6"
                                              << ","
                                              << "« Mutuelle 6 »";
}

void TestReference::badAmountRefused() {
    QFETCH(QString, box);
    QFETCH(QString, text);
    QFETCH(QString, named);
    TempClinic clinic;
    clinic.addMemo(6, "MGEN");
    clinic.addMemo(3, "Conisation", "JKFA001", "100", {"10"});
    Editor e(clinic);
    e.click("CmdChir");
    // Add
    e.type("Text1", "Nouvel acte");
    e.type(box.toLatin1().constData(), text);
    e.click("CmdAjoute");
    QCOMPARE(Dialogs::shownTexts().size(), 1);
    QVERIFY2(Dialogs::lastText().contains(named), qPrintable(Dialogs::lastText()));
    QVERIFY(Dialogs::lastText().contains(text));
    QCOMPARE(labels(clinic, 3), QStringList{"Conisation"});
    QCOMPARE(e.edit("Text1")->text(), QStringLiteral("Nouvel acte"));
    QCOMPARE(e.edit(box.toLatin1().constData())->text(), text);
    // Modify
    Dialogs::clearShown();
    Dialogs::queueChoice(Dialogs::Choice::No); // the refused typing is dropped
    e.doubleClick("Conisation");
    Dialogs::clearShown();
    e.type("Text1", "Conisation au laser");
    e.type(box.toLatin1().constData(), text);
    e.click("CmdModif");
    QCOMPARE(Dialogs::shownTexts().size(), 1);
    const Row r = memo(clinic, 3).front();
    QCOMPARE(r.text("TEXTE"), QStringLiteral("Conisation"));
    QCOMPARE(r.money("TARIFS"), euros("100"));
    QCOMPARE(r.money("MUT1"), euros("10"));
    // Once corrected, the same typing goes in.
    e.type(box.toLatin1().constData(), "7,5");
    e.click("CmdModif");
    QCOMPARE(Dialogs::shownTexts().size(), 1);
    QCOMPARE(labels(clinic, 3), QStringList{"Conisation au laser"});
    QCOMPARE(memo(clinic, 3).front().money(box == "TxtTARIFS" ? "TARIFS" : box.mid(3).toUpper()), euros("7,5"));
}

void TestReference::modifyWithoutMatchingItem() {
    TempClinic clinic;
    clinic.addMemo(1, "Dr MARTIN");
    clinic.addMemo(6, "MGEN");
    Editor e(clinic);
    e.click("CmdMedecins");
    e.type("Text1", "Dr MARTINEZ");
    e.click("CmdModif");
    QCOMPARE(Dialogs::lastText(), QStringLiteral("Veuillez selectionner un Item par Double Click"));
    QCOMPARE(labels(clinic, 1), QStringList{"Dr MARTIN"});
    QCOMPARE(e.edit("Text1")->text(), QStringLiteral("Dr MARTINEZ"));
    // The remembered label belongs to another list: nothing is written, and the user is told.
    Dialogs::queueChoice(Dialogs::Choice::No);
    e.doubleClick("Dr MARTIN");
    e.click("CmdMut");
    e.type("Text1", "MGEN Filia");
    Dialogs::clearShown();
    e.click("CmdModif");
    QCOMPARE(Dialogs::shownTexts().size(), 1);
    QVERIFY(Dialogs::lastText().contains(QStringLiteral("rien n'a été modifié")));
    QCOMPARE(labels(clinic, 6), QStringList{"MGEN"});
    QCOMPARE(labels(clinic, 1), QStringList{"Dr MARTIN"});
    QCOMPARE(e.edit("Text1")->text(), QStringLiteral("MGEN Filia"));
}

void TestReference::databaseFailuresReported() {
    TempClinic clinic;
    clinic.addMemo(1, "Dr MARTIN");
    Editor e(clinic);
    e.click("CmdMedecins");
    e.doubleClick("Dr MARTIN");
    // The file goes away (network folder lost): every write says so and keeps what was typed.
    const QString moved = clinic.file(QStringLiteral("ailleurs.mdb"));
    QVERIFY(QFile::rename(clinic.dbPath(), moved));
    e.type("Text1", "Dr MARTINEAU");
    e.click("CmdModif");
    QCOMPARE(Dialogs::shownTexts().size(), 1);
    QVERIFY(Dialogs::lastText().startsWith(QStringLiteral("L'item « Dr MARTIN » n'a pas été modifié.")));
    QCOMPARE(e.edit("Text1")->text(), QStringLiteral("Dr MARTINEAU"));
    e.click("CmdAjoute");
    QCOMPARE(Dialogs::shownTexts().size(), 2);
    QVERIFY(Dialogs::lastText().startsWith(QStringLiteral("L'item « Dr MARTINEAU » n'a pas été ajouté.")));
    e.list()->setCurrentRow(0);
    Dialogs::queueAnswer(true);
    e.click("CmdSupprime");
    QCOMPARE(Dialogs::shownTexts().size(), 4);
    QVERIFY(Dialogs::lastText().startsWith(QStringLiteral("L'item « Dr MARTIN » n'a pas été supprimé.")));
    QCOMPARE(e.edit("Text1")->text(), QStringLiteral("Dr MARTINEAU"));
    QCOMPARE(e.items(), QStringList{"Dr MARTIN"});
    QVERIFY(QFile::rename(moved, clinic.dbPath()));
    e.click("CmdModif");
    QCOMPARE(Dialogs::shownTexts().size(), 4);
    QCOMPARE(labels(clinic, 1), QStringList{"Dr MARTINEAU"});
}

void TestReference::closingClosesTariffEditor() {
    TempClinic clinic;
    Editor e(clinic);
    QSignalSpy closed(e.form.data(), &Screen::closed);
    e.click("Command1");
    QVERIFY(obs::test::topLevel(QStringLiteral("form20")));
    QVERIFY(e.form->isVisible()); // stays open
    e.click("Command1");
    int editors = 0;
    for (QWidget* w : QApplication::topLevelWidgets())
        editors += w->objectName() == u"form20" && w->isVisible();
    QCOMPARE(editors, 1);
    e.click("CmdQuitter");
    QCOMPARE(closed.count(), 1);
    QVERIFY(!obs::test::topLevel(QStringLiteral("form20")));
    QTRY_VERIFY(e.form.isNull());
}

void TestReference::closingAsksAboutTariffTyping() {
    TempClinic clinic;
    Editor e(clinic);
    QSignalSpy closed(e.form.data(), &Screen::closed);
    e.click("Command1");
    QWidget* tariffs = obs::test::topLevel(QStringLiteral("form20"));
    QVERIFY(tariffs);
    Dialogs::clearShown(); // no tariff file here
    child<QLineEdit>(tariffs, "TxtENuit")->setText(QStringLiteral("26,5"));
    // Annuler on the tariff editor's question: both stay, the typing with them.
    Dialogs::queueChoice(Dialogs::Choice::Cancel);
    e.click("CmdQuitter");
    QCOMPARE(Dialogs::shownTexts(), QStringList{"Enregistrer les modifications de cette fiche ?"});
    QCOMPARE(closed.count(), 0);
    QVERIFY(obs::test::topLevel(QStringLiteral("form20")));
    QCOMPARE(child<QLineEdit>(tariffs, "TxtENuit")->text(), QStringLiteral("26,5"));
    // Oui: the tariffs are saved, then both close.
    Dialogs::queueChoice(Dialogs::Choice::Yes);
    e.click("CmdQuitter");
    QCOMPARE(closed.count(), 1);
    QVERIFY(!obs::test::topLevel(QStringLiteral("form20")));
    QCOMPARE(TariffFile::read().values[TariffFile::NightIndex], QStringLiteral("26,5"));
}

void TestReference::longInsurerNameKeepsWindowNarrow() {
    TempClinic clinic;
    clinic.addMemo(6, "Mutuelle Générale de l'Éducation Nationale et des Fonctionnaires de l'État");
    clinic.addMemo(6, "MGEN");
    Editor e(clinic);
    e.click("CmdAccts");
    QCoreApplication::processEvents();
    QCOMPARE(e.mutualCaptions().at(1),
             QStringLiteral("Mutuelle Générale de l'Éducation Nationale et des Fonctionnaires de l'État"));
    // Whole, on lines of its own, in a window that still fits a 1024 pixels wide screen.
    QVERIFY(e.label("LblMut2")->wordWrap());
    QVERIFY(e.form->minimumSizeHint().width() < 1000);
    QVERIFY(e.form->width() < 1000);
}

void TestReference::recordEditorAfterEditorCloses() {
    TempClinic clinic;
    clinic.addAct({{"Nom", "BERNARD"}});
    clinic.addAct({{"Nom", "ROUX"}});
    clinic.addMemo(1, "Dr MARTIN");
    RecordEditor main(clinic.database(), clinic.browsed());
    QVERIFY(main.load());
    main.show();
    QTest::keyClicks(child<QLineEdit>(&main, "Text1"), "B");
    child<QPushButton>(&main, "CmdActes")->click();
    QPointer<ReferenceListsEditor> editor =
        qobject_cast<ReferenceListsEditor*>(obs::test::topLevel(QStringLiteral("Form8")));
    QVERIFY(editor);
    QVERIFY(!main.isVisible());
    child<QPushButton>(editor.data(), "CmdMedecins")->click();
    child<QPushButton>(editor.data(), "Command1")->click();
    QVERIFY(obs::test::topLevel(QStringLiteral("form20")));
    QCOMPARE(Dialogs::shownTexts(), QStringList{"Fichier Tarifs.mbs absent ou erronné."}); // no tariff file here
    Dialogs::clearShown();
    editor->close(); // the window's own close box
    QVERIFY(main.isVisible());
    QVERIFY(!obs::test::topLevel(QStringLiteral("form20")));
    // The record buttons now move in the practitioner list: the display stays as it was.
    for (const char* b : {"Command1", "Command2", "Command3", "Command4"})
        child<QPushButton>(&main, b)->click();
    QCOMPARE(child<QLineEdit>(&main, "TxtNom")->text(), QStringLiteral("BERNARD"));
    QVERIFY(Dialogs::shownTexts().isEmpty());
}

void TestReference::demoLooksRight() {
    TempClinic clinic;
    QVERIFY(fillDemoReferences(clinic.dbPath()));
    Editor e(clinic);
    e.form->resize(e.form->sizeHint());
    e.click("CmdAccts");
    QCOMPARE(e.mutualCaptions().size(), 6);
    QVERIFY(!e.mutualCaptions().contains(QString()));
    const QString first = e.items().first();
    e.doubleClick(first);
    QVERIFY(!e.edit("TxtCCAM")->text().isEmpty());
    QVERIFY(Money::parse(e.edit("TxtTARIFS")->text()).has_value());
    for (int k = 1; k <= 6; ++k)
        QVERIFY(Money::parse(e.edit(QStringLiteral("TxtMut%1").arg(k).toLatin1().constData())->text()).has_value());
    // Long act labels are shown whole.
    auto* list = e.list();
    for (int i = 0; i < list->count(); ++i)
        QVERIFY2(list->fontMetrics().horizontalAdvance(list->item(i)->text()) + 8 < list->viewport()->width(),
                 qPrintable(list->item(i)->text()));
}

QTEST_MAIN(TestReference)
#include "test_reference.moc"
