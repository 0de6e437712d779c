#include "widgets/Dialogs.h"

#include "common/DayNumber.h"
#include "store/Status.h"

#include <QApplication>
#include <QDate>
#include <QFileDialog>
#include <QGridLayout>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QQueue>
#include <QScreen>
#include <QSpacerItem>
#include <QTimer>
#include <QtDebug>

#include <algorithm>
#include <utility>

namespace obs {

namespace {
struct TestState {
    bool on = false;
    bool showingBoxes = false; // testing mode, but the real boxes are shown and answered by keys
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

// A key that writes a character, Space included (it presses the focused button), typed without Alt,
// Ctrl or Meta.
bool isPlainTyping(const QKeyEvent& key) {
    if (key.modifiers() & (Qt::AltModifier | Qt::ControlModifier | Qt::MetaModifier))
        return false;
    const QString text = key.text();
    if (!text.isEmpty())
        return text.at(0).isPrint();
    return key.key() >= Qt::Key_Space && key.key() <= Qt::Key_ydiaeresis;
}

// While a box is open, plain typing goes nowhere. Qt's boxes take a button's letter without Alt: a
// name typed in the search box raised a question and its next letter answered it. Nor may the
// letters reach the window behind. Enter, Escape, Tab, the arrows and Alt with a letter still work.
class PlainTypingHeld : public QObject {
public:
    PlainTypingHeld() { QCoreApplication::instance()->installEventFilter(this); }
    ~PlainTypingHeld() override { QCoreApplication::instance()->removeEventFilter(this); }
    PlainTypingHeld(const PlainTypingHeld&) = delete;
    PlainTypingHeld& operator=(const PlainTypingHeld&) = delete;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        switch (event->type()) {
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
            return isPlainTyping(*static_cast<QKeyEvent*>(event));
        case QEvent::InputMethod:
            return !static_cast<QInputMethodEvent*>(event)->commitString().isEmpty();
        default:
            return QObject::eventFilter(watched, event);
        }
    }
};

// How long a test's real box waits for the answer the test sends before it is closed as by Escape.
constexpr int kTestBoxPatienceMs = 10000;

// Shows a box and waits for its answer, plain typing held meanwhile.
int execBox(QMessageBox& box) {
    showWholeTitle(box);
    const PlainTypingHeld held;
    QTimer patience;
    if (state().on) {
        // A test whose keys did not answer fails instead of blocking the run.
        patience.setSingleShot(true);
        QObject::connect(&patience, &QTimer::timeout, &box, [&box] {
            state().unexpected << box.text();
            box.close();
        });
        patience.start(kTestBoxPatienceMs);
    }
    return box.exec();
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
        if (!state().showingBoxes)
            return;
    }
    QMessageBox box(QMessageBox::NoIcon, t, main, QMessageBox::Ok, parent);
    box.setInformativeText(details);
    execBox(box);
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
        if (!state().showingBoxes)
            return;
    }
    QMessageBox box(warning ? QMessageBox::Warning : QMessageBox::NoIcon, appTitle(), main, QMessageBox::Ok, parent);
    box.setInformativeText(details);
    execBox(box);
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
    if (state().on && !state().showingBoxes)
        return testAnswer(text, defaultAnswer, details, Choice::No) == Choice::Yes;
    if (state().on)
        state().shown.append({text, title, true, details, defaultAnswer});
    QMessageBox box(QMessageBox::Question, title, text, QMessageBox::Yes | QMessageBox::No, parent);
    box.setInformativeText(details);
    box.setDefaultButton(defaultAnswer == Default::No ? QMessageBox::No : QMessageBox::Yes);
    box.setEscapeButton(QMessageBox::No);
    box.button(QMessageBox::Yes)->setText(QStringLiteral("&Oui"));
    box.button(QMessageBox::No)->setText(QStringLiteral("&Non"));
    return execBox(box) == QMessageBox::Yes;
}

Dialogs::Choice Dialogs::askOrCancel(QWidget* parent, const QString& text, Default defaultAnswer,
                                     const QString& details) {
    const QString title = QStringLiteral("Attention");
    // Unexpected in a test: the typing is kept, as a Cancel keeps it.
    if (state().on && !state().showingBoxes)
        return testAnswer(text, defaultAnswer, details, Choice::Cancel);
    if (state().on)
        state().shown.append({text, title, true, details, defaultAnswer});
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
    switch (execBox(box)) {
    case QMessageBox::Yes:
        return Choice::Yes;
    case QMessageBox::No:
        return Choice::No;
    default:
        return Choice::Cancel;
    }
}

bool Dialogs::confirmActDate(QWidget* parent, const QDate& day) {
    if (day <= QDate::currentDate())
        return true;
    return ask(
        parent,
        QStringLiteral("La date de l'acte, %1, est après aujourd'hui. Enregistrer quand même ?").arg(frenchDate(day)),
        Default::No);
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
    state().showingBoxes = false;
}
bool Dialogs::testing() {
    return state().on;
}
void Dialogs::setShowingBoxes(bool on) {
    state().showingBoxes = on;
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
