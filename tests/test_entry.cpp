// The act entry screen: its load, the patient and date fields, the act type, saving a new act
// record, clearing for the next one, and closing.

#include "app/Navigator.h"
#include "app/RecordEditor.h"
#include "common/DayNumber.h"
#include "common/Money.h"
#include "common/Settings.h"
#include "domain/DemoData.h"
#include "test_entry_support.h"
#include "widgets/Dialogs.h"

#include <QCalendarWidget>
#include <QClipboard>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QSignalSpy>
#include <QTableView>

using namespace obs;
using namespace obs::test;

class EntryTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<TempClinic> m_clinic;
    QPointer<ActEntryWindow> m_form; // gone when the screen closed

    void open() {
        writeTariffs();
        m_form = openEntry(*m_clinic);
        QVERIFY(m_form->isLoaded());
    }
    QLineEdit* box(const char* name) const { return child<QLineEdit>(m_form, name); }
    QComboBox* comboBox(const char* name) const { return child<QComboBox>(m_form, name); }
    QString caption(const char* name) const { return child<QLabel>(m_form, name)->text(); }
    // Saves, answering the confirmation; the performer is chosen first unless the test is about its absence.
    void clickSave(std::optional<bool> answer, bool withPerformer = true) {
        if (answer) {
            if (withPerformer)
                choosePerformer(m_form);
            Dialogs::queueAnswer(*answer);
        }
        child<QPushButton>(m_form, "Cmdenreg")->click();
    }
    // Everything the entry shows, to tell that a declined save changed nothing.
    QStringList snapshot() const {
        QStringList out;
        for (const QLineEdit* e : m_form->findChildren<QLineEdit*>())
            out << e->objectName() + u'=' + e->text();
        for (const QComboBox* c : m_form->findChildren<QComboBox*>())
            out << c->objectName() + u'=' + c->currentText();
        for (const QRadioButton* r : m_form->findChildren<QRadioButton*>())
            out << r->objectName() + u'=' + (r->isChecked() ? u'1' : u'0');
        for (const char* name : {"LblFrancs", "LblDEF"})
            out << QString::fromLatin1(name) + u'=' + caption(name);
        out << listLines(m_form);
        return out;
    }
    // A column of the latest stored act, read with plain SQL on either engine.
    QVariant stored(const char* column) {
        return m_clinic->scalar(
            QStringLiteral("SELECT %1 FROM ACTES ORDER BY NUMINT DESC LIMIT 1").arg(QString::fromLatin1(column)));
    }
    QString storedText(const char* column) { return stored(column).toString(); }
    Money storedMoney(const char* column) { return Money::fromUnits(stored(column).toLongLong()); }
    static QStringList items(const QComboBox* c) {
        QStringList out;
        for (int i = 0; i < c->count(); ++i)
            out << c->itemText(i);
        return out;
    }
    // A typical entry: patient, practitioner, date, a delivery act with two secondary acts, night,
    // second mutual insurer.
    void fillTypicalEntry() {
        QTest::keyClicks(box("TxtNom"), QStringLiteral("dupont"));
        QTest::keyClicks(box("TxtPrenom"), QStringLiteral("Marie"));
        box("TxtDate")->setText(QStringLiteral("01/01/2005"));
        chooseItem(m_form, "CmbPrat2", QStringLiteral("Dr MARTIN"));
        chooseItem(m_form, "CmbActesAcct1", QStringLiteral("Accouchement simple"));
        chooseItem(m_form, "CmbActesAcct2", QStringLiteral("Délivrance artificielle"));
        chooseItem(m_form, "CmbActesAcct2", QStringLiteral("Révision utérine"));
        select(m_form, "OptNuit");
        select(m_form, "OptMut2");
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

    void loadFillsTheScreen() {
        open();
        QCOMPARE(m_form->windowTitle(), QStringLiteral("Saisie d'un acte"));
        QVERIFY(Dialogs::shownTexts().isEmpty());
        const QStringList practitioners{QStringLiteral("Dr BERTRAND"), QStringLiteral("Dr D'ORVAL"),
                                        QStringLiteral("Dr MARTIN")};
        QCOMPARE(items(comboBox("CmbPrat1")), practitioners);
        QCOMPARE(items(comboBox("CmbPrat2")), practitioners);
        QCOMPARE(comboBox("CmbPrat1")->currentText(), QStringLiteral("Dr DEFAUT"));
        QCOMPARE(comboBox("CmbPrat2")->currentText(), QString());
        // Deliveries in the catalogue's order, surgical acts alphabetically; every act box starts empty.
        const QStringList deliveries{QStringLiteral("Accouchement simple"), QStringLiteral("Délivrance artificielle"),
                                     QStringLiteral("Révision utérine"), QStringLiteral("Césarienne")};
        const QStringList surgery{QStringLiteral("Ablation d'un polype"), QStringLiteral("Cerclage"),
                                  QStringLiteral("Hystérectomie")};
        for (const char* name : {"CmbActesAcct1", "CmbActesAcct2"})
            QCOMPARE(items(comboBox(name)), deliveries);
        for (const char* name : {"CmbActesChir1", "CmbActesChir2"})
            QCOMPARE(items(comboBox(name)), surgery);
        for (const char* name : {"CmbActesAcct1", "CmbActesAcct2", "CmbActesChir1", "CmbActesChir2"}) {
            QVERIFY(comboBox(name)->isEditable());
            QCOMPARE(comboBox(name)->insertPolicy(), QComboBox::NoInsert);
            QCOMPARE(comboBox(name)->currentText(), QString());
        }
        // Mutual slots in name order; a slot without an insurer has no caption.
        const QStringList mutualCaptions{QStringLiteral("Pas de Mutuelle"),
                                         QStringLiteral("Alpha"),
                                         QStringLiteral("Beta"),
                                         QStringLiteral("Delta"),
                                         QStringLiteral("Gamma"),
                                         QString(),
                                         QString()};
        for (int k = 0; k < 7; ++k)
            QCOMPARE(child<QRadioButton>(m_form, QByteArray("OptMut" + QByteArray::number(k)).constData())->text(),
                     mutualCaptions[k]);
        QVERIFY(!comboBox("CmbMut")->isVisible());
        QCOMPARE(
            caption("Label20"),
            QStringLiteral(" Saisissez NOM et Prénom de la patiente, le nom du praticien assurant le suivi. Puis "
                           "la date de l'acte (par clic sur le calendrier),  puis le médecin ayant éffectué "
                           "l'acte. Cocher accouchement ou chirurgie et finir de remplir. ENREGISTRER la saisie."));
        QCOMPARE(caption("LblNuitA"), QStringLiteral("25,15 €"));
        QCOMPARE(caption("LblFerieA"), QStringLiteral("19,06 €"));
        QCOMPARE(child<QCalendarWidget>(m_form, "MonthView1")->selectedDate(), QDate::currentDate());
        QVERIFY(child<QRadioButton>(m_form, "OptAcct")->isChecked());
        QVERIFY(child<QRadioButton>(m_form, "OptNo")->isChecked());
        QVERIFY(child<QRadioButton>(m_form, "OptMut0")->isChecked());
        QVERIFY(child<QGroupBox>(m_form, "FrameAcct")->isVisible());
        QVERIFY(!child<QGroupBox>(m_form, "FrameChir")->isVisible());
        QCOMPARE(child<QGroupBox>(m_form, "Frame8")->title(), QStringLiteral("ACTES"));
        QCOMPARE(child<QGroupBox>(m_form, "Frame6")->title(), QStringLiteral("Mutuelles"));
        QCOMPARE(box("TxtEuros")->text(), QStringLiteral("0"));
        QCOMPARE(box("TxtOpE")->text(), QStringLiteral("0"));
        QCOMPARE(box("TxtDE")->text(), QStringLiteral("0"));
        QCOMPARE(box("TxtEurosT")->text(), QString());
        QCOMPARE(caption("Label19"), QStringLiteral("€"));
        QCOMPARE(child<QPushButton>(m_form, "Cmdenreg")->text(), QStringLiteral("&Enregistrer la saisie"));
        QCOMPARE(child<QPushButton>(m_form, "CmdQuitte")->text(), QStringLiteral("&Fermer Quitter"));
        QCOMPARE(child<QPushButton>(m_form, "CmdMaJour")->text(), QStringLiteral("&Mise à jour des cotations"));
        // The main window finds every act record in the shared cursor.
        QVERIFY(m_clinic->browsed().isOpen());
        QVERIFY(m_clinic->browsed().query() == BrowseQuery::allActs());
    }

    void insurerNameWithAmpersandShownAsStored() {
        m_clinic->addMemo(6, QStringLiteral("Zeta S&P")); // slot 5, after Gamma
        open();
        auto* opt5 = child<QRadioButton>(m_form, "OptMut5");
        // Doubled, the ampersand is shown as such rather than taken as a keyboard shortcut.
        QCOMPARE(opt5->text(), QStringLiteral("Zeta S&&P"));
    }

    void withoutDefaultPractitioner() {
        m_clinic->execute(QStringLiteral("DELETE FROM MEMO WHERE NUMEROS = 5"));
        open();
        QCOMPARE(comboBox("CmbPrat1")->currentText(), QStringLiteral("Définir le médecin par défaut"));
        QTest::keyClicks(box("TxtNom"), QStringLiteral("x"));
        clickSave(true);
        QCOMPARE(storedText("MEDSUIT"), QStringLiteral("Définir le médecin par défaut"));
    }

    void listThatCannotBeReadClosesTheScreen() {
        QVERIFY(m_clinic->db().executeRaw(QStringLiteral("ALTER TABLE MEMO RENAME COLUMN NUMEROS TO CATEGORIE")));
        writeTariffs();
        QPointer<ActEntryWindow> form = new ActEntryWindow(m_clinic->database(), m_clinic->browsed());
        QSignalSpy closed(form.data(), &Screen::closed);
        form->show();
        QVERIFY(!form->isLoaded());
        QVERIFY(Dialogs::lastText().startsWith(QStringLiteral("La saisie d'un acte ne peut pas s'ouvrir")));
        QTRY_COMPARE(closed.count(), 1);
        QTRY_VERIFY(form.isNull());
    }

    void databaseThatCannotBeOpenedClosesTheScreen() {
        QVERIFY(Settings::setDatabasePath(m_clinic->file(QStringLiteral("absent/OBSLEDGER.mdb"))));
        writeTariffs();
        QPointer<ActEntryWindow> form = new ActEntryWindow(m_clinic->database(), m_clinic->browsed());
        QSignalSpy closed(form.data(), &Screen::closed);
        form->show();
        QVERIFY(!form->isLoaded());
        QCOMPARE(Dialogs::shownTexts().size(), 1);
        QVERIFY(Dialogs::lastText().contains(QStringLiteral("absent/OBSLEDGER.mdb")));
        QTRY_COMPARE(closed.count(), 1);
        QTRY_VERIFY(form.isNull());
    }

    void surnameInCapitals_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("shown");
        QTest::newRow("letters") << "dupont"
                                 << "DUPONT";
        QTest::newRow("apostrophe, blank, digit") << "d'orval 2"
                                                  << "D'ORVAL 2";
        QTest::newRow("capitals stay") << "Le Gall"
                                       << "LE GALL";
    }
    void surnameInCapitals() {
        QFETCH(QString, typed);
        QFETCH(QString, shown);
        open();
        QTest::keyClicks(box("TxtNom"), typed);
        QCOMPARE(box("TxtNom")->text(), shown);
    }

    void accentedAndPastedTextsStayAsTheyAre() {
        open();
        QLineEdit* nom = box("TxtNom");
        QKeyEvent eacute(QEvent::KeyPress, Qt::Key_Eacute, Qt::NoModifier, QStringLiteral("é"));
        QApplication::sendEvent(nom, &eacute);
        QCOMPARE(nom->text(), QStringLiteral("é"));
        QApplication::clipboard()->setText(QStringLiteral("martin"));
        nom->paste();
        QCOMPARE(nom->text(), QStringLiteral("émartin"));
        QTest::keyClicks(box("TxtPrenom"), QStringLiteral("marie"));
        QCOMPARE(box("TxtPrenom")->text(), QStringLiteral("marie"));
    }

    void calendarClickFillsTheDate() {
        open();
        auto* calendar = child<QCalendarWidget>(m_form, "MonthView1");
        calendar->setSelectedDate(QDate(2005, 1, 14));
        auto* view = calendar->findChild<QTableView*>();
        QVERIFY(view);
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->visualRect(view->currentIndex()).center());
        QCOMPARE(box("TxtDate")->text(), QStringLiteral("14/01/2005"));
        QVERIFY(Dialogs::shownTexts().isEmpty());
    }

    void dateCheckedWhenLeavingTheBox_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("refused");
        QTest::newRow("no such day") << "31/02/2005" << true;
        QTest::newRow("empty") << "" << true;
        QTest::newRow("letters") << "demain" << true;
        QTest::newRow("valid") << "01/01/2005" << false;
    }
    void dateCheckedWhenLeavingTheBox() {
        QFETCH(QString, typed);
        QFETCH(bool, refused);
        open();
        QLineEdit* date = box("TxtDate");
        date->setFocus(Qt::TabFocusReason);
        QTRY_VERIFY(date->hasFocus());
        QTest::keyClicks(date, typed);
        box("TxtPrenom")->setFocus(Qt::MouseFocusReason);
        if (!refused) {
            QCoreApplication::processEvents();
            QVERIFY(Dialogs::shownTexts().isEmpty());
            QVERIFY(box("TxtPrenom")->hasFocus());
            return;
        }
        QTRY_COMPARE(Dialogs::shownTexts(), QStringList{QStringLiteral("Veuillez Saisir correctement la date")});
        QTRY_VERIFY(date->hasFocus());
        QCOMPARE(date->selectedText(), typed);
        // Once back in the box, nothing more is said until the user leaves it again.
        QCoreApplication::processEvents();
        QCOMPARE(Dialogs::shownTexts().size(), 1);
        QTest::keyClick(date, Qt::Key_Tab);
        QTRY_COMPARE(Dialogs::shownTexts().size(), 2);
        QTRY_VERIFY(date->hasFocus());
    }

    void dateNotCheckedWhenTheWindowLosesFocus() {
        open();
        QLineEdit* date = box("TxtDate");
        date->setFocus(Qt::TabFocusReason);
        QTRY_VERIFY(date->hasFocus());
        QTest::keyClicks(date, QStringLiteral("31/02"));
        QWidget other;
        other.setObjectName(QStringLiteral("Other"));
        other.show();
        other.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&other));
        QCoreApplication::processEvents();
        // Going to the calendar to pick the day is no reason to complain either.
        m_form->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_form));
        date->setFocus(Qt::TabFocusReason);
        child<QCalendarWidget>(m_form, "MonthView1")->setFocus(Qt::MouseFocusReason);
        QCoreApplication::processEvents();
        QVERIFY(Dialogs::shownTexts().isEmpty());
    }

    void actTypeClearsTheActs() {
        open();
        fillTypicalEntry();
        child<QRadioButton>(m_form, "OptChir")->click();
        QVERIFY(child<QGroupBox>(m_form, "FrameChir")->isVisible());
        QVERIFY(!child<QGroupBox>(m_form, "FrameAcct")->isVisible());
        QCOMPARE(listLines(m_form), QStringList());
        QVERIFY(child<QRadioButton>(m_form, "OptNo")->isChecked());
        QVERIFY(child<QRadioButton>(m_form, "OptMut0")->isChecked());
        QCOMPARE(box("TxtOp")->text(), QString());
        QCOMPARE(box("TxtOpE")->text(), QStringLiteral("0"));
        QCOMPARE(box("TxtEuros")->text(), QStringLiteral("0"));
        QCOMPARE(box("TxtDE")->text(), QStringLiteral("0"));
        QCOMPARE(box("TxtCotation")->text(), QString());
        QCOMPARE(box("TxtCCAMAC")->text(), QString());
        QCOMPARE(caption("LblFrancs"), QString());
        // The boxes of the other type keep their texts; the patient stays.
        QCOMPARE(comboBox("CmbActesAcct1")->currentText(), QStringLiteral("Accouchement simple"));
        QCOMPARE(box("TxtNom")->text(), QStringLiteral("DUPONT"));
        child<QRadioButton>(m_form, "OptAcct")->click();
        QCOMPARE(comboBox("CmbActesAcct1")->currentText(), QString());
        QCOMPARE(comboBox("CmbActesAcct2")->currentText(), QString());
        QCOMPARE(box("TxtCCAMA1")->text(), QString());
        QCOMPARE(box("TxtCCAMA2")->text(), QString());
    }

    void saveStoresTheAct() {
        open();
        fillTypicalEntry();
        clickSave(true);
        QCOMPARE(Dialogs::shown().at(0).text, QStringLiteral("Voulez vous vraiment enregistrer cette Fiche ?"));
        QCOMPARE(Dialogs::shown().at(0).title, QStringLiteral("Attention"));
        // The user asked to save: Enter saves.
        QCOMPARE(Dialogs::shown().at(0).defaultAnswer, Dialogs::Default::Yes);
        QCOMPARE(Dialogs::lastText(), QStringLiteral("Enregistré !"));
        QCOMPARE(m_clinic->count(QStringLiteral("ACTES")), 1);
        QCOMPARE(storedText("Nom"), QStringLiteral("DUPONT"));
        QCOMPARE(storedText("Prenom"), QStringLiteral("Marie"));
        QCOMPARE(storedText("Date").toLongLong(), qint64(38353));
        QCOMPARE(storedText("MEDSUIT"), QStringLiteral("Dr DEFAUT"));
        QCOMPARE(storedText("MEDACTE"), QStringLiteral("Dr MARTIN"));
        QCOMPARE(storedText("Acte"), QStringLiteral("Accouchement simple"));
        QCOMPARE(storedText("CCAM1"), QStringLiteral("JQGD010"));
        QCOMPARE(storedText("NF"), QStringLiteral("N"));
        QCOMPARE(storedText("CCAM2"), QStringLiteral("JQGD002  Délivrance artificielle 20,9"));
        QCOMPARE(storedText("CCAM3"), QStringLiteral("JQGD013  Révision utérine 20,9"));
        // Lines that do not exist are stored as empty texts, not as nothing.
        QCOMPARE(m_clinic
                     ->scalar(QStringLiteral("SELECT count(*) FROM ACTES WHERE CCAM4 = '' AND CCAM5 = '' "
                                             "AND CCAM6 = ''"))
                     .toLongLong(),
                 qint64(1));
        QCOMPARE(storedMoney("PRIX"), *Money::parse(QStringLiteral("380,45"))); // 355,3 + 25,15
        QCOMPARE(storedMoney("DE"), Money::fromEuros(40));
        QCOMPARE(m_clinic
                     ->scalar(QStringLiteral("SELECT count(*) FROM ACTES WHERE PAYESECU = 0 AND PAYECOMPLE = 0 "
                                             "AND PAYEDE = 0 AND DateRev IS NULL"))
                     .toLongLong(),
                 qint64(1));

        // Cleared for the next act; the practitioner in charge stays.
        QCOMPARE(box("TxtNom")->text(), QString());
        QCOMPARE(box("TxtPrenom")->text(), QString());
        QCOMPARE(box("TxtDate")->text(), QString());
        QCOMPARE(comboBox("CmbPrat1")->currentText(), QStringLiteral("Dr DEFAUT"));
        QCOMPARE(comboBox("CmbPrat2")->currentText(), QString());
        QCOMPARE(comboBox("CmbActesAcct1")->currentText(), QString());
        QCOMPARE(comboBox("CmbActesAcct2")->currentText(), QString());
        QCOMPARE(listLines(m_form), QStringList());
        QCOMPARE(box("TxtOp")->text(), QString());
        QCOMPARE(box("TxtOpE")->text(), QStringLiteral("0"));
        QCOMPARE(box("TxtEuros")->text(), QStringLiteral("0"));
        QCOMPARE(box("TxtEurosT")->text(), QString());
        QCOMPARE(box("TxtDE")->text(), QStringLiteral("0"));
        QVERIFY(child<QRadioButton>(m_form, "OptNo")->isChecked());
        QVERIFY(child<QRadioButton>(m_form, "OptMut0")->isChecked());
        QVERIFY(child<QRadioButton>(m_form, "OptAcct")->isChecked());
        QTRY_VERIFY(box("TxtNom")->hasFocus());
        QVERIFY(m_clinic->browsed().query() == BrowseQuery::allActs());
    }

    void emptySurnameIsRefused() {
        open();
        QTest::keyClicks(box("TxtPrenom"), QStringLiteral("Marie"));
        chooseItem(m_form, "CmbActesAcct1", QStringLiteral("Accouchement simple"));
        clickSave(std::nullopt);
        QCOMPARE(Dialogs::shownTexts(), QStringList{QStringLiteral("Il faut remplir le champ NOM")});
        QCOMPARE(m_clinic->count(QStringLiteral("ACTES")), 0);
        QCOMPARE(box("TxtPrenom")->text(), QStringLiteral("Marie"));
        QCOMPARE(box("TxtEuros")->text(), QStringLiteral("313,5"));
    }

    void answeringNoKeepsTheEntry() {
        open();
        fillTypicalEntry();
        QComboBox* performer = comboBox("CmbPrat2");
        performer->setFocus(Qt::OtherFocusReason);
        QTRY_VERIFY(performer->hasFocus());
        const QStringList before = snapshot();
        clickSave(false);
        QCOMPARE(m_clinic->count(QStringLiteral("ACTES")), 0);
        QVERIFY(!Dialogs::shownTexts().contains(QStringLiteral("Enregistré !")));
        QCOMPARE(snapshot(), before);
        QVERIFY(performer->hasFocus());
        // The same entry is then saved whole.
        clickSave(true);
        QCOMPARE(Dialogs::lastText(), QStringLiteral("Enregistré !"));
        QCOMPARE(m_clinic->count(QStringLiteral("ACTES")), 1);
        QCOMPARE(storedText("Nom"), QStringLiteral("DUPONT"));
        QCOMPARE(storedText("CCAM3"), QStringLiteral("JQGD013  Révision utérine 20,9"));
        QCOMPARE(storedMoney("PRIX"), *Money::parse(QStringLiteral("380,45")));
        QCOMPARE(box("TxtNom")->text(), QString());
        QTRY_VERIFY(box("TxtNom")->hasFocus());
    }

    void savingWithoutPerformer_data() {
        QTest::addColumn<QString>("performer");
        QTest::addColumn<bool>("yes");
        QTest::newRow("none, No keeps the entry") << "" << false;
        QTest::newRow("blanks, No keeps the entry") << "  " << false;
        QTest::newRow("none, Yes stores") << "" << true;
    }
    void savingWithoutPerformer() {
        QFETCH(QString, performer);
        QFETCH(bool, yes);
        open();
        fillTypicalEntry();
        comboBox("CmbPrat2")->setEditText(performer);
        box("TxtNom")->setFocus(Qt::OtherFocusReason);
        const QStringList before = snapshot();
        Dialogs::queueAnswer(true);
        Dialogs::queueAnswer(yes);
        clickSave(std::nullopt);
        QCOMPARE(Dialogs::shown().size(), yes ? 3 : 2);
        const Dialogs::Shown asked = Dialogs::shown().at(1);
        QCOMPARE(asked.text, QStringLiteral("Aucun praticien n'a effectué l'acte. Enregistrer quand même ?"));
        QCOMPARE(asked.title, QStringLiteral("Attention"));
        QCOMPARE(asked.defaultAnswer, Dialogs::Default::No);
        if (yes) {
            QCOMPARE(Dialogs::lastText(), QStringLiteral("Enregistré !"));
            QCOMPARE(storedText("MEDACTE"), performer);
            QCOMPARE(box("TxtNom")->text(), QString());
        } else {
            QCOMPARE(m_clinic->count(QStringLiteral("ACTES")), 0);
            QCOMPARE(snapshot(), before);
            // Where the missing choice is made.
            QTRY_VERIFY(comboBox("CmbPrat2")->hasFocus());
        }
    }

    void storedDate_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<qint64>("day");
        QTest::newRow("empty") << "" << qint64(0);
        QTest::newRow("no such day") << "31/02/2005" << qint64(0);
        QTest::newRow("first of January 2005") << "01/01/2005" << qint64(38353);
    }
    void storedDate() {
        QFETCH(QString, typed);
        QFETCH(qint64, day);
        open();
        QTest::keyClicks(box("TxtNom"), QStringLiteral("martin"));
        box("TxtDate")->setText(typed);
        clickSave(true);
        QCOMPARE(storedText("Date").toLongLong(), day);
    }

    // What is stored is what the total and the excess show, to the cent.
    void storedAmountsToTheCent_data() {
        QTest::addColumn<QString>("acts");
        QTest::addColumn<QString>("excess");
        QTest::addColumn<QString>("prix");
        QTest::addColumn<QString>("de");
        QTest::newRow("cents") << "332,56"
                               << "12,5"
                               << "332,56"
                               << "12,5";
        QTest::newRow("half euro") << "313,5"
                                   << "13,5"
                                   << "313,5"
                                   << "13,5";
        QTest::newRow("empty excess") << "20"
                                      << ""
                                      << "20"
                                      << "0";
        QTest::newRow("half cent to even") << "334,425"
                                           << "0,005"
                                           << "334,42"
                                           << "0";
        QTest::newRow("beyond 32767 €") << "40000,4"
                                        << "32768"
                                        << "40000,4"
                                        << "32768";
    }
    void storedAmountsToTheCent() {
        QFETCH(QString, acts);
        QFETCH(QString, excess);
        QFETCH(QString, prix);
        QFETCH(QString, de);
        open();
        QTest::keyClicks(box("TxtNom"), QStringLiteral("martin"));
        box("TxtEuros")->setText(acts);
        box("TxtDE")->setText(excess);
        clickSave(true);
        QCOMPARE(Dialogs::lastText(), QStringLiteral("Enregistré !"));
        QCOMPARE(storedMoney("PRIX"), *Money::parse(prix));
        QCOMPARE(storedMoney("DE"), *Money::parse(de));
    }

    void onlyFiveSecondaryActsAreStored() {
        open();
        QTest::keyClicks(box("TxtNom"), QStringLiteral("martin"));
        chooseItem(m_form, "CmbActesAcct1", QStringLiteral("Césarienne"));
        const QStringList secondaries{QStringLiteral("Délivrance artificielle"), QStringLiteral("Révision utérine"),
                                      QStringLiteral("Accouchement simple"),     QStringLiteral("Révision utérine"),
                                      QStringLiteral("Délivrance artificielle"), QStringLiteral("Révision utérine")};
        for (const QString& s : secondaries)
            chooseItem(m_form, "CmbActesAcct2", s);
        const QStringList lines = listLines(m_form);
        QCOMPARE(lines.size(), 7);
        clickSave(true);
        for (int i = 1; i <= 5; ++i)
            QCOMPARE(storedText(QStringLiteral("CCAM%1").arg(i + 1).toLatin1().constData()), lines[i]);
        // 369,2 + 20,9 + 20,9 + 156,75 + 20,9 + 20,9 + 20,9
        QCOMPARE(storedMoney("PRIX"), *Money::parse(QStringLiteral("630,45")));
    }

    void refusedRowKeepsTheEntry() {
        QVERIFY(m_clinic->db().executeRaw(QStringLiteral(
            "CREATE TRIGGER ACTES_REFUSED BEFORE INSERT ON ACTES BEGIN SELECT RAISE(ABORT, 'disque plein'); END")));
        open();
        fillTypicalEntry();
        clickSave(true);
        QCOMPARE(m_clinic->count(QStringLiteral("ACTES")), 0);
        QVERIFY(!Dialogs::shownTexts().contains(QStringLiteral("Enregistré !")));
        QVERIFY2(Dialogs::lastText().contains(QStringLiteral("n'a pas pu être enregistrée")),
                 qPrintable(Dialogs::lastText()));
        QCOMPARE(box("TxtNom")->text(), QStringLiteral("DUPONT"));
        QCOMPARE(listLines(m_form).size(), 3);
        QCOMPARE(box("TxtEurosT")->text(), QStringLiteral("380,45"));
        QCOMPARE(box("TxtDE")->text(), QStringLiteral("40"));
        // Once the cause is gone, the same entry is stored.
        QVERIFY(m_clinic->db().executeRaw(QStringLiteral("DROP TRIGGER ACTES_REFUSED")));
        clickSave(true);
        QCOMPARE(m_clinic->count(QStringLiteral("ACTES")), 1);
        QCOMPARE(Dialogs::lastText(), QStringLiteral("Enregistré !"));
    }

    void focusOrder() {
        open();
        const QStringList expected{
            QStringLiteral("TxtNom"),        QStringLiteral("TxtPrenom"),     QStringLiteral("CmbPrat1"),
            QStringLiteral("TxtDate"),       QStringLiteral("CmbPrat2"),      QStringLiteral("CmbActesAcct1"),
            QStringLiteral("CmbActesAcct2"), QStringLiteral("CmbActesChir1"), QStringLiteral("CmbActesChir2"),
            QStringLiteral("OptFerie"),      QStringLiteral("OptNuit"),       QStringLiteral("Cmdenreg"),
            QStringLiteral("CmdQuitte"),     QStringLiteral("CmdMaJour")};
        QStringList seen;
        QWidget* w = box("TxtNom");
        for (int guard = 0; guard < 500 && seen.size() < expected.size(); ++guard, w = w->nextInFocusChain()) {
            if (expected.contains(w->objectName()) && !seen.contains(w->objectName()))
                seen << w->objectName();
        }
        QCOMPARE(seen, expected);
    }

    void tabFromTheDateReachesThePerformer() {
        open();
        QLineEdit* date = box("TxtDate");
        date->setFocus(Qt::OtherFocusReason);
        QTRY_VERIFY(date->hasFocus());
        QTest::keyClicks(date, QStringLiteral("01/01/2005"));
        QTest::keyClick(date, Qt::Key_Tab);
        QTRY_VERIFY(comboBox("CmbPrat2")->hasFocus());
        QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("Dr BERTRAND"));
        QCOMPARE(comboBox("CmbPrat2")->currentText(), QStringLiteral("Dr BERTRAND"));
        QVERIFY(Dialogs::shown().isEmpty());
    }

    // Every way out asks the same question, answered by keys while the typing goes on; an empty
    // entry closes at once.
    void waysOut_data() {
        QTest::addColumn<QString>("way");
        QTest::addColumn<QString>("entry");
        QTest::addColumn<QString>("letters"); // typed on after the question came up
        QTest::addColumn<QKeyCombination>("answer");
        QTest::addColumn<bool>("closes");
        const struct {
            const char* name;
            const char* letters;
            QKeyCombination key;
            bool closes;
        } answers[] = {
            {"Alt+O", "non", Qt::ALT | Qt::Key_O, true},
            {"Alt+N", "oui", Qt::ALT | Qt::Key_N, false},
            {"Enter", "oui", Qt::Key_Return, false},
            {"Escape", "oui", Qt::Key_Escape, false},
        };
        for (const char* way : {"frame", "Escape", "Fermer Quitter"}) {
            for (const auto& a : answers)
                QTest::addRow("%s, surname typed, %s", way, a.name)
                    << way << "surname" << a.letters << a.key << a.closes;
            QTest::addRow("%s, empty entry", way) << way << "empty"
                                                  << "" << QKeyCombination() << true;
        }
        QTest::newRow("frame, only a mutual insurer, Alt+N") << "frame"
                                                             << "mutual"
                                                             << "" << QKeyCombination(Qt::ALT | Qt::Key_N) << false;
        QTest::newRow("Escape, only a mutual insurer, Alt+O") << "Escape"
                                                              << "mutual"
                                                              << "" << QKeyCombination(Qt::ALT | Qt::Key_O) << true;
    }
    void waysOut() {
        QFETCH(QString, way);
        QFETCH(QString, entry);
        QFETCH(QString, letters);
        QFETCH(QKeyCombination, answer);
        QFETCH(bool, closes);
        showRealBoxes();
        open();
        // The practitioner in charge and the act type stay from one act to the next: not typing.
        comboBox("CmbPrat1")->setEditText(QStringLiteral("Dr MARTIN"));
        select(m_form, "OptChir");
        if (entry == u"surname")
            QTest::keyClicks(box("TxtNom"), QStringLiteral("dupont"));
        else if (entry == u"mutual")
            select(m_form, "OptMut3");
        box("TxtPrenom")->setFocus(Qt::OtherFocusReason);
        QTRY_VERIFY(box("TxtPrenom")->hasFocus());
        const QStringList before = snapshot();
        QPointer<ActEntryWindow> form = m_form;
        QSignalSpy closed(m_form, &Screen::closed);
        FastTyping keys;
        if (way == u"Escape")
            keys.press(Qt::Key_Escape);
        else if (way == u"Fermer Quitter")
            keys.press(Qt::ALT | Qt::Key_F);
        const bool asked = entry != u"empty";
        if (asked)
            keys.question(letters, answer);
        keys.start();
        if (way == u"frame")
            m_form->close();
        QVERIFY(keys.finish());

        const QString question = QStringLiteral("Fermer sans enregistrer ?");
        if (asked) {
            QCOMPARE(Dialogs::shown().size(), 1);
            QCOMPARE(Dialogs::shown().at(0).text, question);
            QCOMPARE(Dialogs::shown().at(0).title, QStringLiteral("Attention"));
            QCOMPARE(Dialogs::shown().at(0).defaultAnswer, Dialogs::Default::No);
            // The letters typed on went to the question and answered nothing.
            QCOMPARE(keys.reached().count(question), letters.size() + 1);
        }
        QCOMPARE(m_clinic->count(QStringLiteral("ACTES")), 0);
        if (closes) {
            // "Fermer Quitter" by Alt+F closes once its button's click has shown.
            QTRY_COMPARE(closed.count(), 1);
            QTRY_VERIFY(form.isNull());
            m_form = nullptr;
        } else {
            QCOMPARE(closed.count(), 0);
            QVERIFY(m_form->isVisible());
            QCOMPARE(snapshot(), before);
        }
        if (!asked)
            QVERIFY(Dialogs::shown().isEmpty());
    }

    // A date left wrong by Tab is told while the performer is being typed: the letters typed on go
    // to the message, not to the performer's box, and the date is there to be corrected.
    void dateMessageWhileTyping() {
        showRealBoxes();
        open();
        QLineEdit* date = box("TxtDate");
        date->setFocus(Qt::OtherFocusReason);
        QTRY_VERIFY(date->hasFocus());
        QTest::keyClicks(date, QStringLiteral("32/01/2005"));
        FastTyping keys;
        keys.press(Qt::Key_Tab).question(QStringLiteral("Dr MARTIN"), Qt::Key_Return);
        keys.start();
        QVERIFY(keys.finish());
        QCOMPARE(Dialogs::shownTexts(), QStringList{QStringLiteral("Veuillez Saisir correctement la date")});
        QCOMPARE(keys.reached().count(QStringLiteral("Veuillez Saisir correctement la date")), 10);
        QCOMPARE(comboBox("CmbPrat2")->currentText(), QString());
        QCOMPARE(date->text(), QStringLiteral("32/01/2005"));
        QCOMPARE(m_form->focusWidget(), date);
    }

    // An act chosen by typing in the open list, removed meanwhile on another workstation: the message
    // comes up under the typing, takes the letters typed on, and they reach nothing behind it.
    void typeAheadMessageTakesTheTyping() {
        showRealBoxes();
        open();
        m_clinic->execute(QStringLiteral("DELETE FROM MEMO WHERE NUMEROS = 2 AND CCAM = 'JQGD002'"));
        QComboBox* acts = comboBox("CmbActesAcct1");
        acts->setFocus(Qt::OtherFocusReason);
        acts->showPopup();
        QTRY_VERIFY(acts->view()->isVisible());
        const QString message =
            QStringLiteral("L'acte « Délivrance artificielle » ne figure plus dans la liste des actes.");
        FastTyping keys;
        keys.type(QStringLiteral("d")).press(Qt::Key_Return).question(QStringLiteral(" artificielle"), Qt::Key_Return);
        keys.start();
        QVERIFY(keys.finish());
        QCOMPARE(Dialogs::shownTexts(), QStringList{message});
        QCOMPARE(keys.reached().count(message), 14);
        QCOMPARE(listLines(m_form), QStringList());
        QCOMPARE(box("TxtCotation")->text(), QString());
    }

    // A day after today is asked about at the save, answered by keys while the typing goes on.
    void dateAfterToday_data() {
        QTest::addColumn<int>("daysFromToday");
        QTest::addColumn<QString>("letters");
        QTest::addColumn<QKeyCombination>("answer");
        QTest::addColumn<bool>("saved");
        QTest::newRow("today, not asked") << 0 << "" << QKeyCombination() << true;
        QTest::newRow("yesterday, not asked") << -1 << "" << QKeyCombination() << true;
        QTest::newRow("tomorrow, Alt+O") << 1 << "non" << QKeyCombination(Qt::ALT | Qt::Key_O) << true;
        QTest::newRow("tomorrow, Alt+N") << 1 << "oui" << QKeyCombination(Qt::ALT | Qt::Key_N) << false;
        QTest::newRow("tomorrow, Enter") << 1 << "oui" << QKeyCombination(Qt::Key_Return) << false;
        QTest::newRow("36 years on, Escape") << 36 * 365 << "oui" << QKeyCombination(Qt::Key_Escape) << false;
    }
    void dateAfterToday() {
        QFETCH(int, daysFromToday);
        QFETCH(QString, letters);
        QFETCH(QKeyCombination, answer);
        QFETCH(bool, saved);
        showRealBoxes();
        open();
        const QDate day = QDate::currentDate().addDays(daysFromToday);
        QTest::keyClicks(box("TxtNom"), QStringLiteral("dupont"));
        box("TxtDate")->setText(frenchDate(day));
        choosePerformer(m_form);
        box("TxtNom")->setFocus(Qt::OtherFocusReason);
        QTRY_VERIFY(box("TxtNom")->hasFocus());
        const QStringList before = snapshot();
        const bool asked = daysFromToday > 0;
        FastTyping keys;
        keys.question(QString(), Qt::Key_Return); // "Voulez vous vraiment enregistrer cette Fiche ?"
        if (asked)
            keys.question(letters, answer);
        if (saved)
            keys.question(QString(), Qt::Key_Return); // "Enregistré !"
        keys.start();
        child<QPushButton>(m_form, "Cmdenreg")->click();
        QVERIFY(keys.finish());

        const QString question =
            QStringLiteral("La date de l'acte, %1, est après aujourd'hui. Enregistrer quand même ?")
                .arg(frenchDate(day));
        QStringList expected{QStringLiteral("Voulez vous vraiment enregistrer cette Fiche ?")};
        if (asked)
            expected << question;
        if (saved)
            expected << QStringLiteral("Enregistré !");
        QCOMPARE(Dialogs::shownTexts(), expected);
        if (asked) {
            QCOMPARE(Dialogs::shown().at(1).defaultAnswer, Dialogs::Default::No);
            QCOMPARE(keys.reached().count(question), letters.size() + 1);
        }
        QCOMPARE(m_clinic->count(QStringLiteral("ACTES")), saved ? 1 : 0);
        if (saved) {
            QCOMPARE(stored("Date").toLongLong(), dayNumberOf(day));
            QCOMPARE(box("TxtNom")->text(), QString());
        } else {
            QCOMPARE(snapshot(), before);
            // The date gets the keys when the window is active again.
            QCOMPARE(m_form->focusWidget(), box("TxtDate"));
        }
    }

    void recordEditorHidesWhileTheEntryIsOpen() {
        writeTariffs();
        RecordEditor main(m_clinic->database(), m_clinic->browsed());
        QVERIFY(main.load());
        main.show();
        QVERIFY(QTest::qWaitForWindowExposed(&main));
        child<QPushButton>(&main, "CmdCreer")->click();
        QPointer<QWidget> entry = topLevel(QStringLiteral("Form2"));
        QVERIFY(entry);
        QVERIFY(!main.isVisible());
        QVERIFY(m_clinic->browsed().query() == BrowseQuery::allActs());
        entry->close();
        QTRY_VERIFY(main.isVisible());
        QTRY_VERIFY(entry.isNull());
    }

    void tariffEditorOpensOverTheEntry() {
        open();
        Navigator screens(m_clinic->database(), m_clinic->browsed());
        screens.answer(m_form);
        child<QPushButton>(m_form, "CmdMaJour")->click();
        QTRY_VERIFY(topLevel(QStringLiteral("form20")));
        QVERIFY(m_form->isVisible());
        topLevel(QStringLiteral("form20"))->close();
    }
};

QTEST_MAIN(EntryTest)
#include "test_entry.moc"
