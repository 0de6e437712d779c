#include "widgets/Dialogs.h"

#include "store/Status.h"

#include <QApplication>
#include <QFileDialog>
#include <QGridLayout>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QQueue>
#include <QScreen>
#include <QSpacerItem>
#include <QtDebug>

#include <algorithm>
#include <utility>

namespace obs {

namespace {
struct TestState {
    bool on = false;
    QQueue<Dialogs::Choice> answers;
    QQueue<QString> folders;
    QQueue<QString> saveFiles;
    QQueue<bool> printerChoices;
    QString printFile;
    QList<Dialogs::Shown> shown;
    QStringList unexpected; // questions asked with no answer queued
};

TestState& state() {
    static TestState s;
    return s;
}

// The engine's own words in a message (its lines behind the store's mark) move to the smaller text
// below it, after the details already given: the message itself reads in French.
QString separateEngineWords(const QString& text, QString* details) {
    QStringList kept, engine;
    for (const QString& line : text.split(u'\n'))
        (line.startsWith(kEngineDetailMark) ? engine : kept) << line;
    if (!engine.isEmpty())
        *details = details->isEmpty() ? engine.join(u'\n') : *details + QStringLiteral("\n\n") + engine.join(u'\n');
    return kept.join(u'\n');
}

// Room a window manager's title bar takes besides the title: the window's icon on the left, the
// buttons on the right (openbox: iconify, maximise, close) and their margins.
constexpr int kTitleBarRoom = 150;

// A message box is as narrow as its text, and its title bar the same: a short message ("Enregistré !")
// left the title cut down to its first letter. The box is made wide enough for its whole title,
// as a title bar writes it (bold), within the screen.
void showWholeTitle(QMessageBox& box) {
    QFont bold = QApplication::font();
    bold.setBold(true);
    int width = QFontMetrics(bold).horizontalAdvance(box.windowTitle()) + kTitleBarRoom;
    if (const QScreen* screen = box.screen())
        width = std::min(width, screen->availableGeometry().width() - 40);
    // The box sets its own fixed size from its layout's smallest width: a spacer widens that.
    if (auto* grid = qobject_cast<QGridLayout*>(box.layout()))
        grid->addItem(new QSpacerItem(width, 0, QSizePolicy::Fixed, QSizePolicy::Minimum), grid->rowCount(), 0, 1,
                      grid->columnCount());
}
} // namespace

QStringList Dialogs::takeUnexpectedQuestions() {
    return std::exchange(state().unexpected, {});
}

QString Dialogs::appTitle() {
    return QStringLiteral("OBSLEDGER");
}

void Dialogs::record(const QString& text, const QString& title, bool question) {
    state().shown.append({text, title, question});
}

void Dialogs::inform(QWidget* parent, const QString& text, const QString& title) {
    const QString t = title.isEmpty() ? appTitle() : title;
    QString details;
    const QString main = separateEngineWords(text, &details);
    if (state().on) {
        record(main, t, false);
        state().shown.last().details = details;
        return;
    }
    QMessageBox box(QMessageBox::NoIcon, t, main, QMessageBox::Ok, parent);
    box.setInformativeText(details);
    showWholeTitle(box);
    box.exec();
}

void Dialogs::warn(QWidget* parent, const QString& text) {
    explain(parent, text, QString(), true);
}

void Dialogs::explain(QWidget* parent, const QString& text, const QString& given, bool warning) {
    QString details = given;
    const QString main = separateEngineWords(text, &details);
    if (state().on) {
        record(main, appTitle(), false);
        state().shown.last().details = details;
        return;
    }
    QMessageBox box(warning ? QMessageBox::Warning : QMessageBox::NoIcon, appTitle(), main, QMessageBox::Ok, parent);
    box.setInformativeText(details);
    showWholeTitle(box);
    box.exec();
}

namespace {
// In testing mode: the question is kept with what it showed, and the queued answer given; a question
// no test expected makes the test fail (see takeUnexpectedQuestions()) and answers `unexpected`.
Dialogs::Choice testAnswer(const QString& text, Dialogs::Default defaultAnswer, const QString& details,
                           Dialogs::Choice unexpected) {
    state().shown.append({text, QStringLiteral("Attention"), true, details, defaultAnswer});
    if (state().answers.isEmpty()) {
        state().unexpected << text;
        return unexpected;
    }
    return state().answers.dequeue();
}
} // namespace

bool Dialogs::ask(QWidget* parent, const QString& text, Default defaultAnswer, const QString& details) {
    const QString title = QStringLiteral("Attention");
    if (state().on)
        return testAnswer(text, defaultAnswer, details, Choice::No) == Choice::Yes;
    QMessageBox box(QMessageBox::Question, title, text, QMessageBox::Yes | QMessageBox::No, parent);
    box.setInformativeText(details);
    box.setDefaultButton(defaultAnswer == Default::No ? QMessageBox::No : QMessageBox::Yes);
    box.setEscapeButton(QMessageBox::No);
    box.button(QMessageBox::Yes)->setText(QStringLiteral("&Oui"));
    box.button(QMessageBox::No)->setText(QStringLiteral("&Non"));
    showWholeTitle(box);
    return box.exec() == QMessageBox::Yes;
}

Dialogs::Choice Dialogs::askOrCancel(QWidget* parent, const QString& text, Default defaultAnswer,
                                     const QString& details) {
    const QString title = QStringLiteral("Attention");
    // Unexpected in a test: the typing is kept, as a Cancel keeps it.
    if (state().on)
        return testAnswer(text, defaultAnswer, details, Choice::Cancel);
    QMessageBox box(QMessageBox::Question, title, text, QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel,
                    parent);
    box.setInformativeText(details);
    box.setDefaultButton(defaultAnswer == Default::Yes  ? QMessageBox::Yes
                         : defaultAnswer == Default::No ? QMessageBox::No
                                                        : QMessageBox::Cancel);
    box.setEscapeButton(QMessageBox::Cancel);
    box.button(QMessageBox::Yes)->setText(QStringLiteral("&Oui"));
    box.button(QMessageBox::No)->setText(QStringLiteral("&Non"));
    box.button(QMessageBox::Cancel)->setText(QStringLiteral("&Annuler"));
    showWholeTitle(box);
    switch (box.exec()) {
    case QMessageBox::Yes:
        return Choice::Yes;
    case QMessageBox::No:
        return Choice::No;
    default:
        return Choice::Cancel;
    }
}

QString Dialogs::chooseFolder(QWidget* parent, const QString& title) {
    if (state().on) {
        record(title, title, true);
        return state().folders.isEmpty() ? QString() : state().folders.dequeue();
    }
    return QFileDialog::getExistingDirectory(parent, title, QString(),
                                             QFileDialog::ShowDirsOnly | QFileDialog::DontResolveSymlinks);
}

QString Dialogs::chooseSaveFile(QWidget* parent, const QString& title, const QString& suggested,
                                const QString& filter) {
    if (state().on) {
        record(title, title, true);
        return state().saveFiles.isEmpty() ? QString() : state().saveFiles.dequeue();
    }
    return QFileDialog::getSaveFileName(parent, title, suggested, filter);
}

bool Dialogs::choosePrinter(QWidget* parent, QPrinter* printer, const QString& title) {
    if (state().on) {
        record(QStringLiteral("(choix de l'imprimante)"), QString(), true);
        preparePrinter(printer);
        return state().printerChoices.isEmpty() ? false : state().printerChoices.dequeue();
    }
    QPrintDialog dialog(printer, parent);
    dialog.setWindowTitle(title);
    return dialog.exec() == QDialog::Accepted;
}

void Dialogs::preparePrinter(QPrinter* printer) {
    if (state().on && !state().printFile.isEmpty()) {
        printer->setOutputFormat(QPrinter::PdfFormat);
        printer->setOutputFileName(state().printFile);
    }
}

void Dialogs::setTesting(bool on) {
    state().on = on;
}
bool Dialogs::testing() {
    return state().on;
}
void Dialogs::queueAnswer(bool yes) {
    state().answers.enqueue(yes ? Choice::Yes : Choice::No);
}
void Dialogs::queueChoice(Choice choice) {
    state().answers.enqueue(choice);
}
void Dialogs::queueFolder(const QString& folder) {
    state().folders.enqueue(folder);
}
void Dialogs::queueSaveFile(const QString& path) {
    state().saveFiles.enqueue(path);
}
void Dialogs::queuePrinterChoice(bool accept) {
    state().printerChoices.enqueue(accept);
}
void Dialogs::setTestPrintFile(const QString& pdfPath) {
    state().printFile = pdfPath;
}
QList<Dialogs::Shown> Dialogs::shown() {
    return state().shown;
}

QStringList Dialogs::shownTexts() {
    QStringList out;
    for (const auto& s : state().shown)
        out << s.text;
    return out;
}

QString Dialogs::lastText() {
    return state().shown.isEmpty() ? QString() : state().shown.last().text;
}

void Dialogs::clearShown() {
    state().shown.clear();
    state().answers.clear();
    state().folders.clear();
    state().saveFiles.clear();
    state().printerChoices.clear();
}

} // namespace obs
