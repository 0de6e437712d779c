// SPDX-License-Identifier: GPL-3.0-or-later
// Qt's own dialogs speak French whatever the user's language (the tests run under LANG=C.UTF-8).
#include "common/FrenchTranslations.h"
#include "widgets/Dialogs.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFileDialog>
#include <QPrintDialog>
#include <QPrinter>
#include <QTimer>
#include <QtTest>

using namespace obs;

namespace {

// The texts of the visible buttons of the modal dialog that is about to open, without their
// shortcut marks; the dialog is then cancelled.
QStringList buttonsOfNextDialog(const std::function<void()>& open) {
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

QTEST_MAIN(TestQtFrench)
#include "test_qt_french.moc"
