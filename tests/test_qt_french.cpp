// SPDX-License-Identifier: GPL-3.0-or-later
// Qt's own dialogs speak French whatever the user's language (the tests run under LANG=C.UTF-8);
// message boxes show their whole title; the windows wear the menu's icon.
#include "common/FrenchTranslations.h"
#include "store/sqlite/Database.h"
#include "widgets/Dialogs.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QApplication>
#include <QFileDialog>
#include <QGroupBox>
#include <QLabel>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>
#include <QTimer>
#include <QtTest>
#include <sqlite3.h>

using namespace obs;

namespace {

// Every text a dialog shows or tells: its widgets' captions and tips, and the first rows of its
// lists (the kinds of the files in a folder chooser).
QStringList everyText(QDialog* dialog) {
    QStringList texts;
    for (QWidget* w : dialog->findChildren<QWidget*>()) {
        if (auto* b = qobject_cast<QAbstractButton*>(w))
            texts << b->text();
        else if (auto* l = qobject_cast<QLabel*>(w))
            texts << l->text();
        else if (auto* g = qobject_cast<QGroupBox*>(w))
            texts << g->title();
        texts << w->toolTip();
        if (auto* view = qobject_cast<QAbstractItemView*>(w); view && view->model()) {
            const QAbstractItemModel* m = view->model();
            for (int r = 0; r < std::min(m->rowCount(view->rootIndex()), 20); ++r)
                for (int c = 0; c < m->columnCount(view->rootIndex()); ++c)
                    texts << m->index(r, c, view->rootIndex()).data().toString();
        }
    }
    texts.removeAll(QString());
    return texts;
}

// The texts of the visible buttons of the modal dialog that is about to open, without their
// shortcut marks; the dialog is then cancelled. *all: every text it shows; *size: its size.
QStringList buttonsOfNextDialog(const std::function<void()>& open, QStringList* all = nullptr, QSize* size = nullptr) {
    QStringList texts;
    bool seen = false;
    QTimer timer;
    timer.setInterval(50);
    QObject::connect(&timer, &QTimer::timeout, [&] {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (!dialog || !dialog->isVisible())
            return;
        for (QAbstractButton* b : dialog->findChildren<QAbstractButton*>())
            if (b->isVisible() && !b->text().isEmpty())
                texts << b->text().remove(u'&');
        if (all)
            *all = everyText(dialog);
        if (size)
            *size = dialog->size();
        seen = true;
        timer.stop();
        dialog->reject();
    });
    timer.start();
    QTimer guard; // a dialog that never shows must not hang the test
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, [] {
        if (QWidget* w = QApplication::activeModalWidget())
            w->close();
    });
    guard.start(20000);
    open();
    if (!seen)
        return {QStringLiteral("(no dialog)")};
    return texts;
}

} // namespace

class TestQtFrench : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void dialogs_data();
    void dialogs();
    void noEnglishLeft_data();
    void noEnglishLeft();
    void wholeTitles_data();
    void wholeTitles();
    void engineWordsAsDetail();
    void oneLogo();
};

void TestQtFrench::initTestCase() {
    QVERIFY2(loadFrenchTranslations(*QCoreApplication::instance()),
             "Qt's French catalogue is missing (Debian package qt6-translations-l10n)");
    Dialogs::setTesting(false);
}

void TestQtFrench::dialogs_data() {
    QTest::addColumn<QString>("dialog");
    QTest::addColumn<QStringList>("buttons");
    QTest::newRow("print dialog") << "print" << QStringList{"Imprimer", "Annuler"};
    QTest::newRow("folder chooser") << "folder" << QStringList{"Choisir", "Annuler"};
}

void TestQtFrench::dialogs() {
    QFETCH(QString, dialog);
    QFETCH(QStringList, buttons);
    QPrinter printer;
    const QStringList texts = buttonsOfNextDialog([&] {
        if (dialog == QLatin1String("print"))
            Dialogs::choosePrinter(nullptr, &printer);
        else
            Dialogs::chooseFolder(nullptr, QStringLiteral("Dossier de sauvegarde"));
    });
    for (const QString& b : buttons)
        QVERIFY2(texts.contains(b), qPrintable(texts.join(QStringLiteral(" | "))));
    QVERIFY2(!texts.contains(QStringLiteral("Cancel")), qPrintable(texts.join(QStringLiteral(" | "))));
}

void TestQtFrench::noEnglishLeft_data() {
    QTest::addColumn<QString>("dialog");
    QTest::addColumn<QStringList>("french");
    // The kind of a folder in the chooser; the two-sided printing choice and the pages' tip.
    QTest::newRow("folder chooser") << "folder" << QStringList{"Dossier"};
    QTest::newRow("print dialog") << "print"
                                  << QStringList{"Impression recto verso", "Désactivée", "Reliure côté long",
                                                 "Reliure côté court"};
}

void TestQtFrench::noEnglishLeft() {
    QFETCH(QString, dialog);
    QFETCH(QStringList, french);
    QTemporaryDir folder; // a folder with a folder in it, so that the chooser lists one
    QVERIFY(QDir(folder.path()).mkdir(QStringLiteral("sauvegardes")));
    QPrinter printer;
    QStringList all;
    buttonsOfNextDialog(
        [&] {
            if (dialog == QLatin1String("print"))
                Dialogs::choosePrinter(nullptr, &printer);
            else
                QFileDialog::getExistingDirectory(nullptr, QStringLiteral("Dossier de sauvegarde"), folder.path(),
                                                  QFileDialog::ShowDirsOnly | QFileDialog::DontUseNativeDialog);
        },
        &all);
    const QString joined = all.join(QStringLiteral(" | "));
    for (const QString& f : french)
        QVERIFY2(all.contains(f), qPrintable(joined));
    for (const char* english : {"Folder", "Drive", "Off", "binding", "Double Sided", "Specify pages", "Cancel",
                                "Choose", "Look in", "Directory"})
        QVERIFY2(!joined.contains(QLatin1String(english)),
                 qPrintable(QLatin1String(english) + QStringLiteral(" in: ") + joined));
}

void TestQtFrench::wholeTitles_data() {
    QTest::addColumn<QString>("kind");
    QTest::newRow("information") << "inform";
    QTest::newRow("warning") << "warn";
    QTest::newRow("question") << "ask";
    QTest::newRow("question with Annuler") << "askOrCancel";
}

void TestQtFrench::wholeTitles() {
    QFETCH(QString, kind);
    // A message shorter than its title, as "Enregistré !" under "OBSLEDGER".
    const QString text = QStringLiteral("Ok !");
    QSize size;
    buttonsOfNextDialog(
        [&] {
            if (kind == u"inform")
                Dialogs::inform(nullptr, text);
            else if (kind == u"warn")
                Dialogs::warn(nullptr, text);
            else if (kind == u"ask")
                Dialogs::ask(nullptr, text);
            else
                Dialogs::askOrCancel(nullptr, text);
        },
        nullptr, &size);
    const QString title = kind.startsWith(u"ask") ? QStringLiteral("Attention") : Dialogs::appTitle();
    QFont bold = QApplication::font();
    bold.setBold(true);
    // The title in a title bar's bold letters, beside the window's icon and three buttons of at least
    // 24 pixels each.
    QVERIFY2(size.width() >= QFontMetrics(bold).horizontalAdvance(title) + 4 * 24,
             qPrintable(QStringLiteral("%1 wide for %2").arg(size.width()).arg(title)));
}

void TestQtFrench::engineWordsAsDetail() {
    Dialogs::setTesting(true);
    Dialogs::clearShown();
    const Status s =
        Database::statusFromEngine(SQLITE_READONLY, QStringLiteral("attempt to write a readonly database"));
    Dialogs::warn(nullptr, QStringLiteral("La fiche n'a pas été modifiée.\n%1").arg(s.message));
    Dialogs::explain(nullptr, QStringLiteral("Copie refusée : %1").arg(s.message), QStringLiteral("Rien n'a changé."),
                     true);
    Dialogs::inform(nullptr, s.message);
    Dialogs::setTesting(false);
    const auto shown = Dialogs::shown();
    QCOMPARE(shown.size(), 3);
    for (const auto& m : shown) {
        QVERIFY2(!m.text.contains(QStringLiteral("readonly")), qPrintable(m.text));
        QVERIFY2(m.text.contains(QStringLiteral("lecture seule")), qPrintable(m.text));
        QVERIFY2(m.details.endsWith(QStringLiteral("attempt to write a readonly database")), qPrintable(m.details));
    }
    QCOMPARE(shown[0].text, QStringLiteral("La fiche n'a pas été modifiée.\nLa base de données ne peut pas être "
                                           "modifiée : le fichier ou son dossier est en lecture seule."));
    QVERIFY(shown[1].details.startsWith(QStringLiteral("Rien n'a changé.\n\n")));
}

void TestQtFrench::oneLogo() {
    Q_INIT_RESOURCE(obsledger);
    // The icon the menu shows (packaging/icons), and the one every window wears.
    const QString menuIcon =
        QStringLiteral(QT_TESTCASE_SOURCEDIR "/../packaging/icons/hicolor/48x48@2/apps/obsledger.png");
    const QImage menu(menuIcon);
    QVERIFY2(!menu.isNull(), qPrintable(menuIcon));
    const QImage window(QStringLiteral(":/obsledger.png"));
    QCOMPARE(window.convertToFormat(QImage::Format_ARGB32), menu.convertToFormat(QImage::Format_ARGB32));
}

QTEST_MAIN(TestQtFrench)
#include "test_qt_french.moc"
