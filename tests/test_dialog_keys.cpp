// Every kind of message box answers a click, Enter, Escape or Alt with a button's letter, and
// nothing else: letters typed on while it is open go nowhere.
#include "TestSupport.h"
#include "widgets/Dialogs.h"

#include <QLineEdit>
#include <QtTest>

using namespace obs;
using obs::test::FastTyping;

class TestDialogKeys : public QObject {
    Q_OBJECT
private slots:
    void init() {
        Dialogs::setTesting(true);
        obs::test::showRealBoxes();
        Dialogs::clearShown();
    }
    void cleanup() {
        QVERIFY(Dialogs::takeUnexpectedQuestions().isEmpty());
        Dialogs::setTesting(true);
    }

    void onlyTheAnswerKeysAnswer_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("letters");
        QTest::addColumn<QKeyCombination>("answer");
        QTest::addColumn<QString>("expected");
        // Each row's letters would, taken as Qt takes them, give another answer than the expected one.
        QTest::newRow("message, letters then Enter") << "inform"
                                                     << "ok" << QKeyCombination(Qt::Key_Return) << "OK";
        QTest::newRow("warning, letters then Escape") << "warn"
                                                      << "ok" << QKeyCombination(Qt::Key_Escape) << "OK";
        QTest::newRow("Oui by default, n then Enter") << "ask yes"
                                                      << "non" << QKeyCombination(Qt::Key_Return) << "Oui";
        QTest::newRow("Non by default, o then Enter") << "ask no"
                                                      << "oui" << QKeyCombination(Qt::Key_Return) << "Non";
        QTest::newRow("space then Escape") << "ask yes"
                                           << " " << QKeyCombination(Qt::Key_Escape) << "Non";
        QTest::newRow("capital O then Alt+N") << "ask yes"
                                              << "OUI" << QKeyCombination(Qt::ALT | Qt::Key_N) << "Non";
        QTest::newRow("n then Alt+O") << "ask no"
                                      << "non" << QKeyCombination(Qt::ALT | Qt::Key_O) << "Oui";
        QTest::newRow("with Annuler, o then Alt+N") << "ask or cancel"
                                                    << "oscar" << QKeyCombination(Qt::ALT | Qt::Key_N) << "Non";
        QTest::newRow("with Annuler, n then Escape") << "ask or cancel"
                                                     << "nadia" << QKeyCombination(Qt::Key_Escape) << "Annuler";
        QTest::newRow("with Annuler, a then Alt+O") << "ask or cancel"
                                                    << "anne" << QKeyCombination(Qt::ALT | Qt::Key_O) << "Oui";
    }
    void onlyTheAnswerKeysAnswer() {
        QFETCH(QString, kind);
        QFETCH(QString, letters);
        QFETCH(QKeyCombination, answer);
        QFETCH(QString, expected);
        // The window behind, where the typing was going on.
        QLineEdit behind;
        behind.show();
        QVERIFY(QTest::qWaitForWindowActive(&behind));
        const QString text = QStringLiteral("Question ?");
        FastTyping keys;
        keys.question(letters, answer);
        keys.start();
        QString got = QStringLiteral("OK");
        if (kind == u"inform") {
            Dialogs::inform(&behind, text);
        } else if (kind == u"warn") {
            Dialogs::warn(&behind, text);
        } else if (kind == u"ask or cancel") {
            const Dialogs::Choice c = Dialogs::askOrCancel(&behind, text);
            got = c == Dialogs::Choice::Yes ? "Oui" : c == Dialogs::Choice::No ? "Non" : "Annuler";
        } else {
            const bool yes =
                Dialogs::ask(&behind, text, kind == u"ask no" ? Dialogs::Default::No : Dialogs::Default::Yes);
            got = yes ? "Oui" : "Non";
        }
        QVERIFY(keys.finish());
        QCOMPARE(got, expected);
        // It stayed open until answered, and took every key.
        QCOMPARE(keys.reached(), QStringList(letters.size() + 1, text));
        QCOMPARE(behind.text(), QString());
    }
};

QTEST_MAIN(TestDialogKeys)
#include "test_dialog_keys.moc"
