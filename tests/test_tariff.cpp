// The tariff file and the tariff editor, on real files in a temporary application folder.
#include "TestSupport.h"

#include "app/Navigator.h"
#include "common/QuotedFieldFile.h"
#include "domain/TariffFile.h"
#include "reference/TariffEditor.h"
#include "widgets/Dialogs.h"

#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

using namespace obs;
using obs::test::child;
using obs::test::TempClinic;

namespace {
const QString kUnreadable = QStringLiteral("Fichier Tarifs.mbs absent ou erronné.");

// The whole line the editor writes with its initial texts.
const QByteArray kInitialLine =
    "\"20\",\"23\",\"2\",\"2\",\"25,15\",\"19,06\",\"38.40\",\"38.40\",\"62.70\",\"13.51\",\"42.24\",\"62.70\","
    "\"29.31\",\"12.37\",\"41.80\",\"7.97\",\"61.44\",\"38.40\",\"38.40\",\"\",\"52.25\",\"33.32\",\"40.54\","
    "\"71.05\",\"58.39\",\"42.55\",\"76.89\",\"75.60\",\"30.24\",\"37.80\",\"118.69\",\"33.34\",\"43.88\","
    "\"126.83\",\"101.50\",\"60.48\",\"108.72\",\"56.70\",\"56.70\",\"64.11\",\"76.60\",\"37.80\",\"40.33\","
    "\"48.58\"\r\n";

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

QByteArray readFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// A group of 44 fields: the initial texts with some replaced.
QStringList group(const QMap<int, QString>& changes = {}) {
    QStringList g = TariffFile::initialTexts();
    for (auto it = changes.begin(); it != changes.end(); ++it)
        g[it.key()] = it.value();
    return g;
}

QString tariffPath(const TempClinic& clinic) {
    return QDir(clinic.appDir()).filePath(QStringLiteral("tarifs.cmt"));
}

struct Editor {
    std::unique_ptr<TariffEditor> form{new TariffEditor()};
    QLineEdit* box(const char* n) const { return child<QLineEdit>(form.get(), n); }
    QString sum(const char* n) const { return child<QLabel>(form.get(), n)->text(); }
    void click(const char* n) const { child<QPushButton>(form.get(), n)->click(); }
};
} // namespace

class TestTariff : public QObject {
    Q_OBJECT
private slots:
    void noFile();
    void emptyFile();
    void incompleteGroup_data();
    void incompleteGroup();
    void lastGroupWins();
    void unquotedFields();
    void sums_data();
    void sums();
    void filteredBoxes_data();
    void filteredBoxes();
    void quoteRefusedInOtherBoxes();
    void characterOutsideFileRefused();
    void lettersInMcsShowMessageNextTime();
    void saveWritesWholeFile();
    void cancelWritesNothing();
    void unsavedTypingOnClose_data();
    void unsavedTypingOnClose();
    void unwritableFileKeepsEditorOpen();
    void oneSharedEditor();
    void layout();
};

void TestTariff::noFile() {
    TempClinic clinic;
    Editor e;
    QCOMPARE(Dialogs::shownTexts(), QStringList{kUnreadable});
    QCOMPARE(e.form->values(), TariffFile::initialTexts());
    QCOMPARE(e.box("TxtPMA04")->text(), QString());
    QVERIFY(e.sum("LblCsMcs").isEmpty());
    QVERIFY(e.sum("LblCMcsMpc").isEmpty());
    e.click("Command1");
    QCOMPARE(readFile(tariffPath(clinic)), kInitialLine);
    QVERIFY(readFile(tariffPath(clinic)).startsWith(R"("20","23","2","2","25,15","19,06","38.40")"));
}

void TestTariff::emptyFile() {
    TempClinic clinic;
    writeFile(tariffPath(clinic), QByteArray());
    Editor e;
    QVERIFY(Dialogs::shownTexts().isEmpty());
    QCOMPARE(e.form->values(), TariffFile::initialTexts());
    QCOMPARE(e.sum("LblCsMcs"), QStringLiteral("0"));
    QCOMPARE(e.sum("LblCMcsMpc"), QStringLiteral("0"));
}

void TestTariff::incompleteGroup_data() {
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("shownCs");
    QTest::newRow("43 fields") << quotedFieldLine(group({{1, "30"}}).mid(0, 43)) << QStringLiteral("23");
    QTest::newRow("one group and a half")
        << quotedFieldLine(group({{1, "30"}}) + group({{1, "40"}}).mid(0, 20)) << QStringLiteral("30");
    QTest::newRow("one field") << QByteArray("\"5\"\r\n") << QStringLiteral("23");
}

void TestTariff::incompleteGroup() {
    QFETCH(QByteArray, content);
    QFETCH(QString, shownCs);
    TempClinic clinic;
    writeFile(tariffPath(clinic), content);
    Editor e;
    QCOMPARE(Dialogs::shownTexts(), QStringList{kUnreadable});
    QCOMPARE(e.box("TxtECs")->text(), shownCs);
    QVERIFY(e.sum("LblCsMcs").isEmpty());
    QVERIFY(e.sum("LblCMcsMpc").isEmpty());
}

void TestTariff::lastGroupWins() {
    TempClinic clinic;
    const QStringList second = group({{0, "21"}, {1, "25"}, {2, "3"}, {3, "1"}, {43, "50.00"}});
    writeFile(tariffPath(clinic), quotedFieldLine(group({{1, "99"}})) + quotedFieldLine(second));
    Editor e;
    QVERIFY(Dialogs::shownTexts().isEmpty());
    QCOMPARE(e.form->values(), second);
    QCOMPARE(e.sum("LblCsMcs"), QStringLiteral("28"));
    QCOMPARE(e.sum("LblCMcsMpc"), QStringLiteral("29"));
}

void TestTariff::unquotedFields() {
    // A file edited by hand: fields without quotes, blanks around some.
    TempClinic clinic;
    QStringList g = group({{1, "24"}, {4, "30,5"}});
    QByteArray bytes;
    for (int i = 0; i < g.size(); ++i) {
        const QByteArray around = g[i].contains(u',') ? "\"" : " "; // a comma inside needs the quotes
        bytes += (i ? "," : "") + around + g[i].toLatin1() + around;
    }
    writeFile(tariffPath(clinic), bytes + "\r\n");
    Editor e;
    QVERIFY(Dialogs::shownTexts().isEmpty());
    QCOMPARE(e.form->values(), g);
    QCOMPARE(e.sum("LblCsMcs"), QStringLiteral("26"));
}

void TestTariff::sums_data() {
    QTest::addColumn<QString>("cs");
    QTest::addColumn<QString>("mcs");
    QTest::addColumn<QString>("mpc");
    QTest::addColumn<QString>("csMcs");
    QTest::addColumn<QString>("csMcsMpc");
    QTest::addColumn<bool>("message");
    QTest::newRow("half to even, down") << "23"
                                        << "2,5"
                                        << "2"
                                        << "25"
                                        << "27" << false;
    QTest::newRow("half to even, up") << "23"
                                      << "3,5"
                                      << "2"
                                      << "27"
                                      << "29" << false;
    QTest::newRow("decimals kept in CS and MPC") << "23,5"
                                                 << "2"
                                                 << "1,25"
                                                 << "25,5"
                                                 << "26,75" << false;
    QTest::newRow("MCS above a half") << "23"
                                      << "2,51"
                                      << "0"
                                      << "26"
                                      << "26" << false;
    QTest::newRow("MCS not a number") << "23"
                                      << "deux"
                                      << "2"
                                      << ""
                                      << "" << true;
    QTest::newRow("CS empty") << ""
                              << "2"
                              << "2"
                              << ""
                              << "" << true;
    QTest::newRow("MPC not a number") << "23"
                                      << "2"
                                      << "x"
                                      << "25"
                                      << "" << true;
}

void TestTariff::sums() {
    QFETCH(QString, cs);
    QFETCH(QString, mcs);
    QFETCH(QString, mpc);
    QFETCH(QString, csMcs);
    QFETCH(QString, csMcsMpc);
    QFETCH(bool, message);
    TempClinic clinic;
    writeFile(tariffPath(clinic), quotedFieldLine(group({{1, cs}, {2, mcs}, {3, mpc}})));
    Editor e;
    QCOMPARE(e.sum("LblCsMcs"), csMcs);
    QCOMPARE(e.sum("LblCMcsMpc"), csMcsMpc);
    QCOMPARE(Dialogs::shownTexts(), message ? QStringList{kUnreadable} : QStringList());
    // Typing does not change the sums.
    e.box("TxtECs")->clear();
    QTest::keyClicks(e.box("TxtECs"), "40");
    QCOMPARE(e.sum("LblCsMcs"), csMcs);
}

void TestTariff::filteredBoxes_data() {
    QTest::addColumn<QString>("box");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("shown");
    for (const char* b : {"TxtEC", "TxtECs", "TxtENuit", "TxtEFerie"}) {
        QTest::addRow("%s full stop", b) << b << "25.15"
                                         << "25,15";
        QTest::addRow("%s letters and quote", b) << b << "a1b\"2;c"
                                                 << "12";
    }
    QTest::newRow("TxtMCS free") << "TxtMCS"
                                 << "2.5a"
                                 << "2.5a";
    QTest::newRow("TxtMPC free") << "TxtMPC"
                                 << "x,y"
                                 << "x,y";
    QTest::newRow("TxtGyn01 free") << "TxtGyn01"
                                   << "38.40 F"
                                   << "38.40 F";
    QTest::newRow("TxtEGyn07 quote") << "TxtEGyn07"
                                     << "4\"8"
                                     << "48";
}

void TestTariff::filteredBoxes() {
    QFETCH(QString, box);
    QFETCH(QString, typed);
    QFETCH(QString, shown);
    TempClinic clinic;
    Editor e;
    QLineEdit* b = e.box(box.toLatin1().constData());
    b->clear();
    QTest::keyClicks(b, typed);
    QCOMPARE(b->text(), shown);
    // Backspace still works.
    QTest::keyClick(b, Qt::Key_Backspace);
    QCOMPARE(b->text(), shown.chopped(1));
}

void TestTariff::quoteRefusedInOtherBoxes() {
    // Pasting goes round the key filter: the quote is refused all the same.
    TempClinic clinic;
    Editor e;
    QLineEdit* b = e.box("TxtEObs09");
    b->clear();
    b->insert(QStringLiteral("37\"80"));
    QVERIFY(!b->text().contains(u'"'));
    b->insert(QStringLiteral("37,80"));
    QCOMPARE(b->text(), QStringLiteral("37,80"));
}

void TestTariff::characterOutsideFileRefused() {
    // The file's 8-bit text holds the euro sign and accents, not every character a box can take.
    TempClinic clinic;
    Navigator screens(clinic.database(), clinic.browsed());
    writeFile(tariffPath(clinic), kInitialLine);
    auto* e = screens.openTariffs();
    QSignalSpy closed(e, &Screen::closed);
    QLineEdit* box = child<QLineEdit>(e, "TxtGyn05");
    box->clear();
    box->insert(QStringLiteral("42,24 ≈"));
    child<QPushButton>(e, "Command1")->click();
    QCOMPARE(closed.count(), 0);
    QCOMPARE(Dialogs::shownTexts().size(), 1);
    QVERIFY(Dialogs::lastText().contains(QStringLiteral("Biopsie de l'endomètre")));
    QCOMPARE(readFile(tariffPath(clinic)), kInitialLine);
    box->clear();
    box->insert(QStringLiteral("42,24 € é"));
    child<QPushButton>(e, "Command1")->click();
    QCOMPARE(closed.count(), 1);
    QCOMPARE(TariffFile::read(tariffPath(clinic)).values[10], QStringLiteral("42,24 € é"));
}

void TestTariff::lettersInMcsShowMessageNextTime() {
    TempClinic clinic;
    {
        Editor e;
        e.box("TxtMCS")->clear();
        QTest::keyClicks(e.box("TxtMCS"), "abc");
        e.click("Command1");
    }
    Dialogs::clearShown();
    Editor again;
    QCOMPARE(again.box("TxtMCS")->text(), QStringLiteral("abc"));
    QCOMPARE(Dialogs::shownTexts(), QStringList{kUnreadable});
}

void TestTariff::saveWritesWholeFile() {
    TempClinic clinic;
    Navigator screens(clinic.database(), clinic.browsed());
    writeFile(tariffPath(clinic), kInitialLine);
    auto* e = screens.openTariffs();
    QSignalSpy closed(e, &Screen::closed);
    QLineEdit* nuit = child<QLineEdit>(e, "TxtENuit");
    nuit->clear();
    QTest::keyClicks(nuit, "26.5");
    child<QLineEdit>(e, "TxtPMA04")->setText(QStringLiteral("120.00"));
    child<QPushButton>(e, "Command1")->click();
    QCOMPARE(closed.count(), 1);
    QVERIFY(Dialogs::shownTexts().isEmpty());
    const TariffFile::Read r = TariffFile::read(tariffPath(clinic));
    QCOMPARE(r.groups, 1);
    QVERIFY(!r.incomplete);
    QCOMPARE(r.values, group({{4, "26,5"}, {19, "120.00"}}));
    QVERIFY(readFile(tariffPath(clinic)).endsWith("\"48.58\"\r\n"));
    QCOMPARE(readFile(tariffPath(clinic)).count("\r\n"), 1);
    // The act entry screen's night and holiday indemnities.
    QCOMPARE(r.values[TariffFile::NightIndex], QStringLiteral("26,5"));
    QCOMPARE(r.values[TariffFile::HolidayIndex], QStringLiteral("19,06"));
}

void TestTariff::cancelWritesNothing() {
    TempClinic clinic;
    writeFile(tariffPath(clinic), kInitialLine);
    Editor e;
    e.box("TxtEC")->setText(QStringLiteral("99"));
    Dialogs::queueChoice(Dialogs::Choice::No);
    e.click("Command2");
    QVERIFY(!e.form->isVisible());
    QCOMPARE(readFile(tariffPath(clinic)), kInitialLine);
}

void TestTariff::unsavedTypingOnClose_data() {
    QTest::addColumn<bool>("byFrame");
    QTest::addColumn<int>("choice");
    for (bool frame : {false, true}) {
        const char* how = frame ? "frame" : "Command2";
        QTest::addRow("%s, Oui saves", how) << frame << int(Dialogs::Choice::Yes);
        QTest::addRow("%s, Non drops", how) << frame << int(Dialogs::Choice::No);
        QTest::addRow("%s, Annuler stays", how) << frame << int(Dialogs::Choice::Cancel);
    }
}

void TestTariff::unsavedTypingOnClose() {
    QFETCH(bool, byFrame);
    QFETCH(int, choice);
    TempClinic clinic;
    Navigator screens(clinic.database(), clinic.browsed());
    writeFile(tariffPath(clinic), kInitialLine);
    TariffEditor* form = screens.openTariffs();
    QSignalSpy closed(form, &Screen::closed);
    auto close = [&] {
        if (byFrame)
            form->close();
        else
            child<QPushButton>(form, "Command2")->click();
    };
    // Nothing typed: it closes without a word.
    close();
    QCOMPARE(closed.count(), 1);
    QVERIFY(Dialogs::shown().isEmpty());

    form = screens.openTariffs();
    QSignalSpy closedAgain(form, &Screen::closed);
    child<QLineEdit>(form, "TxtENuit")->setText(QStringLiteral("26,5"));
    Dialogs::queueChoice(Dialogs::Choice(choice));
    close();
    QCOMPARE(Dialogs::shown().size(), 1);
    const Dialogs::Shown asked = Dialogs::shown().first();
    QCOMPARE(asked.text, QStringLiteral("Enregistrer les modifications de cette fiche ?"));
    QCOMPARE(asked.title, QStringLiteral("Attention"));
    QCOMPARE(asked.defaultAnswer, Dialogs::Default::Cancel);
    const QString night = TariffFile::read(tariffPath(clinic)).values[TariffFile::NightIndex];
    if (Dialogs::Choice(choice) == Dialogs::Choice::Cancel) {
        QCOMPARE(closedAgain.count(), 0);
        QVERIFY(form->isVisible());
        QCOMPARE(child<QLineEdit>(form, "TxtENuit")->text(), QStringLiteral("26,5"));
        QCOMPARE(night, QStringLiteral("25,15"));
        Dialogs::queueChoice(Dialogs::Choice::No);
        screens.closeTariffs();
    } else {
        QCOMPARE(closedAgain.count(), 1);
        QCOMPARE(night,
                 Dialogs::Choice(choice) == Dialogs::Choice::Yes ? QStringLiteral("26,5") : QStringLiteral("25,15"));
    }
    QVERIFY(!obs::test::topLevel(QStringLiteral("form20")));
}

void TestTariff::unwritableFileKeepsEditorOpen() {
    // A folder standing where the file should be: it cannot be replaced, whoever runs the program.
    TempClinic clinic;
    Navigator screens(clinic.database(), clinic.browsed());
    QVERIFY(QDir(clinic.appDir()).mkdir(QStringLiteral("tarifs.cmt")));
    auto* e = screens.openTariffs();
    QSignalSpy closed(e, &Screen::closed);
    child<QLineEdit>(e, "TxtEC")->setText(QStringLiteral("25"));
    Dialogs::clearShown();
    child<QPushButton>(e, "Command1")->click();
    QCOMPARE(closed.count(), 0);
    QVERIFY(e->isVisible());
    QCOMPARE(Dialogs::shownTexts().size(), 1);
    QVERIFY(Dialogs::lastText().startsWith(QStringLiteral("Le fichier des tarifs n'a pas pu être enregistré")));
    QVERIFY(Dialogs::lastText().contains(tariffPath(clinic)));
    QCOMPARE(child<QLineEdit>(e, "TxtEC")->text(), QStringLiteral("25"));
    // Once the way is clear the same typing is saved.
    QVERIFY(QDir(clinic.appDir()).rmdir(QStringLiteral("tarifs.cmt")));
    child<QPushButton>(e, "Command1")->click();
    QCOMPARE(closed.count(), 1);
    QCOMPARE(TariffFile::read(tariffPath(clinic)).values.first(), QStringLiteral("25"));
}

void TestTariff::oneSharedEditor() {
    TempClinic clinic;
    Navigator screens(clinic.database(), clinic.browsed());
    TariffEditor* first = screens.openTariffs();
    QCOMPARE(Dialogs::shownTexts(), QStringList{kUnreadable});
    child<QLineEdit>(first, "TxtEC")->setText(QStringLiteral("21"));
    writeFile(tariffPath(clinic), quotedFieldLine(group({{0, "30"}})));
    TariffEditor* second = screens.openTariffs();
    QCOMPARE(second, first);
    QCOMPARE(Dialogs::shownTexts().size(), 1); // the file is not read again
    QCOMPARE(child<QLineEdit>(second, "TxtEC")->text(), QStringLiteral("21"));
    Dialogs::queueChoice(Dialogs::Choice::No);
    QVERIFY(screens.closeTariffs());
    screens.closeTariffs(); // nothing open: nothing happens
    // Opened afresh at once, before the closed one is gone: a new editor that reads the file.
    TariffEditor* third = screens.openTariffs();
    QVERIFY(third != first);
    QCOMPARE(child<QLineEdit>(third, "TxtEC")->text(), QStringLiteral("30"));
    screens.closeTariffs();
}

void TestTariff::layout() {
    TempClinic clinic;
    Editor e;
    // Each box sits in its frame, with its label and code on its row, and no label is cut short.
    e.form->show();
    QVERIFY(QTest::qWaitForWindowExposed(e.form.get()));
    const auto& fields = TariffFile::fields();
    const char* frameOf[] = {"Frame1", "Frame2", "Frame5", "Frame6", "Frame7"};
    const int firstOf[] = {0, 6, 16, 21, 37, 44};
    for (int f = 0; f < 5; ++f) {
        auto* frame = child<QGroupBox>(e.form.get(), frameOf[f]);
        for (int i = firstOf[f]; i < firstOf[f + 1]; ++i) {
            auto* box = frame->findChild<QLineEdit*>(QString::fromLatin1(fields[i].box));
            QVERIFY2(box, fields[i].box);
            const QString label = QString::fromUtf8(fields[i].label);
            QLabel* shown = nullptr;
            for (QLabel* l : frame->findChildren<QLabel*>()) {
                if (l->text() == label)
                    shown = l;
            }
            QVERIFY2(shown, fields[i].label);
            QVERIFY2(shown->width() >= shown->sizeHint().width(), fields[i].label);
            QVERIFY(shown->geometry().right() < box->geometry().left());
            QVERIFY(qAbs(shown->geometry().center().y() - box->geometry().center().y()) <= 4);
            if (*fields[i].ccam) {
                QVERIFY2(
                    frame->findChild<QLabel*>(QStringLiteral("LblCcam") + QString::fromLatin1(fields[i].box).mid(3)),
                    fields[i].ccam);
            }
        }
    }
}

QTEST_MAIN(TestTariff)
#include "test_tariff.moc"
