// Hostile texts through every box of every screen that reaches the database: stored exactly as
// typed or pasted, and found again.
#include "TestSupport.h"
#include "test_entry_support.h"

#include "app/RecordEditor.h"
#include "reference/ReferenceListsEditor.h"
#include "widgets/Dialogs.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QtTest>

using namespace obs;
using namespace obs::test;

namespace {

void hostileRows() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("pattern"); // holds the program's wildcards: a search finds more than itself
    QTest::newRow("apostrophes") << QStringLiteral("D'ORVAL l'aînée ‘’") << false;
    QTest::newRow("SQL") << QStringLiteral("'; DROP TABLE ACTES; --") << false;
    QTest::newRow("every wildcard") << QStringLiteral("*?#[!a-z]%_\\") << true;
    QTest::newRow("10000 characters") << (QStringLiteral("A") + QString(9998, u'é') + u'Z') << false;
    QTest::newRow("emoji") << QStringLiteral("Zoé 👶🏽 👩‍👩‍👧") << false;
    QTest::newRow("right to left") << QStringLiteral("مريم بنت أحمد") << false;
    QTest::newRow("combining accents") << QStringLiteral("Zoe\u0301 Ange\u0300le") << false;
    QTest::newRow("double quotes and markup") << QStringLiteral("\"<b>Mme</b>\" &amp;") << false;
}

// Typed into a box as a paste puts it: through the box's validator, all at once.
void paste(QLineEdit* box, const QString& text) {
    box->selectAll();
    box->insert(text);
}

QString stored(TempClinic& clinic, const QString& sql) {
    return clinic.scalar(sql).toString();
}

} // namespace

class TestHostileText : public QObject {
    Q_OBJECT
private slots:
    void recordEditor_data() { hostileRows(); }
    void recordEditor();
    void actEntry_data() { hostileRows(); }
    void actEntry();
    void referenceLists_data() { hostileRows(); }
    void referenceLists();
    void searchAndReversal_data() { hostileRows(); }
    void searchAndReversal();
};

void TestHostileText::recordEditor() {
    QFETCH(QString, text);
    TempClinic clinic;
    clinic.addAct({{"Nom", "AAA"}, {"Date", 38353}});
    clinic.addAct({{"Nom", "ZZZZ"}});
    const char* const boxes[] = {"TxtNom", "TxtPrenom", "TxtActe", "TxtCotation", "TxtOp", "TxtPrat1", "TxtPrat2"};
    const char* const columns[] = {"Nom", "Prenom", "Acte", "CCAM1", "NF", "MEDSUIT", "MEDACTE"};
    {
        RecordEditor w(clinic.database(), clinic.browsed());
        QVERIFY(w.load());
        QTest::keyClicks(child<QLineEdit>(&w, "Text1"), "AAA");
        QCOMPARE(child<QLineEdit>(&w, "TxtNom")->text(), QStringLiteral("AAA"));
        for (const char* name : boxes) {
            paste(child<QLineEdit>(&w, name), text);
            QCOMPARE(child<QLineEdit>(&w, name)->text(), text);
        }
        Dialogs::queueAnswer(true);
        child<QPushButton>(&w, "CmdEnreg")->click();
        QCOMPARE(Dialogs::lastText(), QStringLiteral("Fiche modifiée"));
    }
    for (const char* column : columns)
        QCOMPARE(stored(clinic, QStringLiteral("SELECT %1 FROM ACTES WHERE Date = 38353").arg(column)), text);
    QCOMPARE(clinic.count("ACTES"), 2);
    // Found again by its name, every box showing what was typed.
    RecordEditor again(clinic.database(), clinic.browsed());
    QVERIFY(again.load());
    paste(child<QLineEdit>(&again, "Text1"), text);
    for (const char* name : boxes)
        QCOMPARE(child<QLineEdit>(&again, name)->text(), text);
}

void TestHostileText::actEntry() {
    QFETCH(QString, text);
    TempClinic clinic;
    seedReferences(clinic);
    writeTariffs();
    ActEntryWindow* form = openEntry(clinic);
    QVERIFY(form->isLoaded());
    paste(child<QLineEdit>(form, "TxtNom"), text);
    paste(child<QLineEdit>(form, "TxtPrenom"), text);
    child<QLineEdit>(form, "TxtDate")->setText(QStringLiteral("01/01/2005"));
    for (const char* name : {"CmbPrat1", "CmbPrat2"}) {
        QComboBox* combo = child<QComboBox>(form, name);
        combo->clearEditText();
        combo->lineEdit()->insert(text);
        QCOMPARE(combo->currentText(), text);
    }
    chooseItem(form, "CmbActesAcct1", QStringLiteral("Accouchement simple"));
    const QString surname = child<QLineEdit>(form, "TxtNom")->text();
    Dialogs::queueAnswer(true);
    child<QPushButton>(form, "Cmdenreg")->click();
    QCOMPARE(Dialogs::lastText(), QStringLiteral("Enregistré !"));
    dispose(form);
    QCOMPARE(stored(clinic, "SELECT Nom FROM ACTES"), surname);
    QCOMPARE(surname, text);
    QCOMPARE(stored(clinic, "SELECT Prenom FROM ACTES"), text);
    QCOMPARE(stored(clinic, "SELECT MEDSUIT FROM ACTES"), text);
    QCOMPARE(stored(clinic, "SELECT MEDACTE FROM ACTES"), text);
}

void TestHostileText::referenceLists() {
    QFETCH(QString, text);
    TempClinic clinic;
    clinic.addMemo(1, QStringLiteral("Dr MARTIN"));
    ReferenceListsEditor* form = new ReferenceListsEditor(clinic.database(), clinic.browsed());
    form->show();
    child<QPushButton>(form, "CmdMedecins")->click();
    paste(child<QLineEdit>(form, "Text1"), text);
    child<QPushButton>(form, "CmdAjoute")->click();
    QCOMPARE(stored(clinic, "SELECT TEXTE FROM MEMO WHERE rowid = 2"), text);
    QStringList items;
    for (int i = 0; i < child<QListWidget>(form, "List1")->count(); ++i)
        items << child<QListWidget>(form, "List1")->item(i)->text();
    QVERIFY(items.contains(text));
    form->close();
    delete form;
}

void TestHostileText::searchAndReversal() {
    QFETCH(QString, text);
    QFETCH(bool, pattern);
    TempClinic clinic;
    clinic.writeRates();
    const qint64 act = clinic.addAct({{"Nom", "CIBLE"},
                                      {"Date", 38400},
                                      {"MEDSUIT", text},
                                      {"MEDACTE", text},
                                      {"Acte", text},
                                      {"PRIX", QVariant::fromValue<qint64>(1000000)}});
    clinic.addAct({{"Nom", "AUTRE"}, {"Date", 38400}, {"MEDSUIT", "Dr X"}, {"MEDACTE", "Dr Y"}, {"Acte", "Y"}});
    {
        SearchScreen s(clinic);
        s.period(QStringLiteral("01/01/2005"), QStringLiteral("31/12/2005"));
        s.type("CmbPrat1", text);
        s.type("CmbPrat2", text);
        QCOMPARE(s.combo("CmbPrat1")->currentText(), text);
        s.click("Command2");
        QVERIFY2(Dialogs::shownTexts().isEmpty(), qPrintable(Dialogs::shownTexts().join(u'\n')));
        // A pattern is read with the program's wildcards ('#' stands for a digit): it need not
        // find itself, but it is searched without failing.
        bool counted = false;
        s.label("Label1")->text().toInt(&counted);
        if (pattern)
            QVERIFY(counted);
        else
            QCOMPARE(s.label("Label1")->text(), QStringLiteral("1"));

        // A sum paid over between these two practitioners lands on their act; a pattern is refused.
        s.pair(text, text);
        if (!pattern)
            Dialogs::queueAnswer(true);
        s.pay(QStringLiteral("100"));
    }
    const QVariant paid = clinic.scalar(QStringLiteral("SELECT REVERSE FROM ACTES WHERE NUMINT = %1").arg(act));
    if (pattern)
        QVERIFY(paid.isNull());
    else
        QCOMPARE(paid.toLongLong(), Money::fromEuros(100).units());
    QCOMPARE(stored(clinic, QStringLiteral("SELECT MEDSUIT FROM ACTES WHERE NUMINT = %1").arg(act)), text);
    QCOMPARE(clinic.count("ACTES"), 2);
}

QTEST_MAIN(TestHostileText)
#include "test_hostile_text.moc"
