#pragma once

#include <QList>
#include <QMessageBox>
#include <QString>

class QDate;
class QWidget;
class QPrinter;

namespace obs {

// The one way the screens talk to the user in boxes: messages, Yes/No questions, the folder
// chooser and the printer choice. Tests switch it to testing mode, queue the next answers and
// read back what was shown; nothing then blocks.
//
// A message or a question takes its answer from a click, Enter, Escape or Alt with a button's
// letter only: letters typed while it is open go nowhere, neither to a button nor to the window
// behind, so that a question coming up in the middle of typing is not answered by the next letter.
class Dialogs {
public:
    // The button Enter chooses in a question. A question whose Yes destroys or replaces data
    // defaults to No, so that a key pressed by habit changes nothing.
    enum class Default { Yes, No, Cancel };
    // The answer to a question that may also be cancelled.
    enum class Choice { Yes, No, Cancel };

    struct Shown {
        QString text;
        QString title;
        bool question = false;
        QString details = {};                 // the smaller text below the message, if any
        Default defaultAnswer = Default::Yes; // questions only
    };

    // The application's title, used on message boxes.
    static QString appTitle();

    // Information: OK button only, no icon, the application's title (unless one is given).
    static void inform(QWidget* parent, const QString& text, const QString& title = QString());
    // An error the user can act on: OK button only, warning icon.
    static void warn(QWidget* parent, const QString& text);
    // A message with a smaller text below it (why it failed, where a copy was kept); OK button only,
    // warning icon when asked, the application's title.
    static void explain(QWidget* parent, const QString& text, const QString& details, bool warning);
    // Question titled "Attention", question icon, Yes and No; true for Yes. Details go in the
    // smaller text below the question.
    static bool ask(QWidget* parent, const QString& text, Default defaultAnswer = Default::Yes,
                    const QString& details = QString());
    // Question titled "Attention", question icon, Yes (Oui), No (Non) and Cancel (Annuler); Escape
    // and the window's close give Cancel. Used before unsaved typing would be dropped.
    static Choice askOrCancel(QWidget* parent, const QString& text, Default defaultAnswer = Default::Cancel,
                              const QString& details = QString());
    // An act's date after today is most likely a slip of the year: "La date de l'acte, JJ/MM/AAAA, est
    // après aujourd'hui. Enregistrer quand même ?", default No. True when the day is not after today
    // or the user answered Yes.
    static bool confirmActDate(QWidget* parent, const QDate& day);
    // Folder chooser; empty when cancelled.
    static QString chooseFolder(QWidget* parent, const QString& title);
    // A file to write, chosen in a save dialog; empty when cancelled.
    static QString chooseSaveFile(QWidget* parent, const QString& title, const QString& suggested,
                                  const QString& filter);
    // Printer choice (Qt's print dialog); false when cancelled.
    static bool choosePrinter(QWidget* parent, QPrinter* printer,
                              const QString& title = QStringLiteral("Imprimer la liste"));
    // Points a printer at the default printer, or in testing mode at the PDF file the test named.
    static void preparePrinter(QPrinter* printer);

    // Testing.
    static void setTesting(bool on); // queued answers again, boxes not shown
    static bool testing();
    // In testing mode, the real boxes are shown and answered by the keys or clicks the test sends;
    // what they show is still recorded. A box left open for ten seconds is closed as by Escape and
    // counted among the unexpected questions.
    static void setShowingBoxes(bool on);
    static void queueAnswer(bool yes);
    static void queueChoice(Choice choice);         // a Cancel queued for a Yes/No question answers No
    static void queueFolder(const QString& folder); // an empty text cancels
    static void queueSaveFile(const QString& path); // an empty text cancels
    static void queuePrinterChoice(bool accept);
    static void setTestPrintFile(const QString& pdfPath);
    static QList<Shown> shown();
    static QStringList shownTexts();
    static QString lastText();
    static void clearShown();
    // The questions asked since the last call with no answer queued (answered No meanwhile).
    static QStringList takeUnexpectedQuestions();

private:
    static void record(const QString& text, const QString& title, bool question);
};

} // namespace obs
