#pragma once

// Shared by the act entry and fee tests: a clinic with reference lists and a tariff file, the act
// entry screen opened on it, and a choice made the way the user makes it, from the open list.

#include "TestSupport.h"
#include "common/AppPaths.h"
#include "common/QuotedFieldFile.h"
#include "entry/ActEntryWindow.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>

namespace obs::test {

// A tariff file of the given number of fields whose night and holiday indemnities are given.
inline void writeTariffs(const QString& night = QStringLiteral("25,15"),
                         const QString& holiday = QStringLiteral("19,06"), int fieldCount = 44) {
    QStringList fields;
    for (int i = 1; i <= fieldCount; ++i)
        fields << QString::number(i * 10);
    if (fieldCount >= 6) {
        fields[4] = night;
        fields[5] = holiday;
    }
    QString error;
    if (!writeQuotedFieldLine(applicationFile(QStringLiteral("tarifs.cmt")), fields, &error))
        qFatal("cannot write the tariff file: %s", qPrintable(error));
}

// Reference lists: three practitioners, a default practitioner, four mutual insurers (slots in
// TEXTE order: Alpha, Beta, Delta, Gamma), delivery and surgical acts.
inline void seedReferences(TempClinic& clinic) {
    for (const char* p : {"Dr MARTIN", "Dr BERTRAND", "Dr D'ORVAL"})
        clinic.addMemo(1, QString::fromUtf8(p));
    clinic.addMemo(5, QStringLiteral("Dr DEFAUT"));
    for (const char* m : {"Gamma", "Alpha", "Delta", "Beta"})
        clinic.addMemo(6, QString::fromUtf8(m));
    clinic.addMemo(2, QStringLiteral("Accouchement simple"), QStringLiteral("JQGD010"), QStringLiteral("313,5"),
                   {QStringLiteral("150"), QStringLiteral("40"), QStringLiteral("100"), QStringLiteral("80")});
    clinic.addMemo(2, QStringLiteral("Délivrance artificielle"), QStringLiteral("JQGD002"), QStringLiteral("41,8"),
                   {QStringLiteral("40"), QStringLiteral("30")});
    clinic.addMemo(2, QStringLiteral("Révision utérine"), QStringLiteral("JQGD013"), QStringLiteral("41,8"),
                   {QStringLiteral("40"), QStringLiteral("30")});
    clinic.addMemo(2, QStringLiteral("Césarienne"), QStringLiteral("JQGA002"), QStringLiteral("369,2"),
                   {QStringLiteral("200"), QStringLiteral("150")});
    clinic.addMemo(3, QStringLiteral("Hystérectomie"), QStringLiteral("JKFA015"), QStringLiteral("239,49"),
                   {QStringLiteral("250"), QStringLiteral("200")});
    clinic.addMemo(3, QStringLiteral("Ablation d'un polype"), QStringLiteral("JKFE002"), QStringLiteral("118,09"),
                   {QStringLiteral("80"), QStringLiteral("60"), QString(), QStringLiteral("45")});
    clinic.addMemo(3, QStringLiteral("Cerclage"), QStringLiteral("JNSD001"), QStringLiteral("96"));
}

// The act entry screen as the main window opens it, shown and active.
inline ActEntryWindow* openEntry(TempClinic& clinic) {
    auto* form = new ActEntryWindow(clinic.database(), clinic.browsed());
    form->show();
    if (!QTest::qWaitForWindowActive(form))
        qWarning("the act entry screen did not become active");
    return form;
}

// Picks an item from the combo box's open list with the mouse, as the user does.
inline void chooseItem(QComboBox* combo, const QString& text) {
    const int index = combo->findText(text);
    QVERIFY2(index >= 0, qPrintable(QStringLiteral("no item « %1 » in %2").arg(text, combo->objectName())));
    combo->showPopup();
    QAbstractItemView* view = combo->view();
    QTRY_VERIFY(view->isVisible());
    const QModelIndex item = view->model()->index(index, combo->modelColumn(), view->rootIndex());
    view->scrollTo(item);
    const QPoint at = view->visualRect(item).center();
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, at);
    QTRY_VERIFY(!view->isVisible());
}

inline void chooseItem(const QWidget* form, const char* comboName, const QString& text) {
    chooseItem(child<QComboBox>(form, comboName), text);
}

inline QString text(const QWidget* form, const char* name) {
    return child<QLineEdit>(form, name)->text();
}

inline QStringList listLines(const QWidget* form) {
    QStringList out;
    const auto* list = child<QListWidget>(form, "LstActes");
    for (int i = 0; i < list->count(); ++i)
        out << list->item(i)->text();
    return out;
}

// The practitioner who performed the act, chosen when none is: a save then asks only for confirmation.
inline void choosePerformer(const QWidget* form) {
    if (child<QComboBox>(form, "CmbPrat2")->currentText().isEmpty())
        chooseItem(form, "CmbPrat2", QStringLiteral("Dr MARTIN"));
}

inline void select(const QWidget* form, const char* optionName) {
    child<QRadioButton>(form, optionName)->click();
}

// Closes the screen for good at the end of a test; whatever the test left typed is dropped first,
// so that closing asks nothing.
inline void dispose(ActEntryWindow* form) {
    QPointer<ActEntryWindow> guard(form);
    if (guard) {
        guard->clearEntry();
        guard->close();
    }
    QTRY_VERIFY(guard.isNull());
}

} // namespace obs::test
