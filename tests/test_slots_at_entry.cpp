// A change of the insurer list made in the reference lists editor, then an act entered: each insurer's
// option still gives that insurer's own excess.
#include "TestSupport.h"
#include "test_entry_support.h"

#include "reference/ReferenceListsEditor.h"
#include "widgets/Dialogs.h"

#include <QLabel>
#include <QListWidget>

using namespace obs;
using namespace obs::test;

namespace {

// The excess the entry screen shows for the act once the insurer's option is chosen.
QString excessFor(ActEntryWindow* form, const QString& insurer) {
    for (int k = 1; k <= 6; ++k) {
        auto* option = child<QRadioButton>(form, QByteArray("OptMut" + QByteArray::number(k)).constData());
        if (option->text() == insurer) {
            option->click();
            return text(form, "TxtDE");
        }
    }
    return QStringLiteral("(pas de colonne)");
}

} // namespace

class TestSlotsAtEntry : public QObject {
    Q_OBJECT
private slots:
    void eachInsurerKeepsItsExcess_data();
    void eachInsurerKeepsItsExcess();
};

void TestSlotsAtEntry::eachInsurerKeepsItsExcess_data() {
    QTest::addColumn<QString>("change"); // add or remove
    QTest::addColumn<QString>("label");
    QTest::addColumn<QStringList>("insurers");
    QTest::addColumn<QStringList>("excesses");
    // Seeded: Alpha 150, Beta 40, Delta 100, Gamma 80 for "Accouchement simple".
    QTest::newRow("added between") << "add"
                                   << "Bravo" << QStringList{"Alpha", "Beta", "Bravo", "Delta", "Gamma"}
                                   << QStringList{"150", "40", "0", "100", "80"};
    QTest::newRow("added first") << "add"
                                 << "Aaa" << QStringList{"Aaa", "Alpha", "Beta", "Delta", "Gamma"}
                                 << QStringList{"0", "150", "40", "100", "80"};
    QTest::newRow("first removed") << "remove"
                                   << "Alpha" << QStringList{"Beta", "Delta", "Gamma"}
                                   << QStringList{"40", "100", "80"};
}

void TestSlotsAtEntry::eachInsurerKeepsItsExcess() {
    QFETCH(QString, change);
    QFETCH(QString, label);
    QFETCH(QStringList, insurers);
    QFETCH(QStringList, excesses);
    TempClinic clinic;
    seedReferences(clinic);
    writeTariffs();
    {
        QPointer<ReferenceListsEditor> editor(new ReferenceListsEditor(clinic.database(), clinic.browsed()));
        editor->show();
        child<QPushButton>(editor.data(), "CmdMut")->click();
        auto* list = child<QListWidget>(editor.data(), "List1");
        if (change == u"add") {
            child<QLineEdit>(editor.data(), "Text1")->setText(label);
            Dialogs::queueAnswer(true);
            child<QPushButton>(editor.data(), "CmdAjoute")->click();
        } else {
            const auto found = list->findItems(label, Qt::MatchExactly);
            QVERIFY(!found.isEmpty());
            list->setCurrentItem(found.first());
            child<QLineEdit>(editor.data(), "Text1")->setText(label);
            Dialogs::queueAnswer(true); // Supprimer
            Dialogs::queueAnswer(true); // the others move up a column
            child<QPushButton>(editor.data(), "CmdSupprime")->click();
        }
        QCOMPARE(Dialogs::shown().size(), change == u"add" ? 1 : 2);
        editor->close();
        QTRY_VERIFY(editor.isNull());
    }
    ActEntryWindow* form = openEntry(clinic);
    chooseItem(form, "CmbActesAcct1", QStringLiteral("Accouchement simple"));
    for (qsizetype i = 0; i < insurers.size(); ++i)
        QCOMPARE(excessFor(form, insurers[i]), excesses[i]);
    dispose(form);
}

QTEST_MAIN(TestSlotsAtEntry)
#include "test_slots_at_entry.moc"
