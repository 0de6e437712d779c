#pragma once

#include <QDateTime>
#include <QFont>
#include <QFontMetricsF>
#include <QString>
#include <QStringList>
#include <vector>

class QPainter;
class QPrinter;

namespace obs {

// What every printed page of the program carries and how a print ends, shared by the list and
// the yearly statement.
class PrintedPage {
public:
    // The page of `printer` with this margin; the foot in `base` (letters drawn one by one).
    PrintedPage(QPrinter* printer, const QFont& base, double margin, const QDateTime& printedAt);
    double margin() const { return m_margin; }
    double width() const { return m_width; }
    // Where the body stops: a line above the foot.
    double bodyBottom() const { return m_footTop - m_footMetrics.lineSpacing(); }
    // The date of printing at the left, the page's number among all at the right, on the last line.
    void drawFoot(QPainter& painter, int page, int pages) const;

    // Opens the painter on the printer; false with the French reason (`advice` says what to do).
    static bool begin(QPainter& painter, QPrinter* printer, const QString& advice, QString* error);
    // Ends the document; false with `failure` when the printer refused a page or reported an error.
    static bool end(QPainter& painter, QPrinter* printer, bool pageRefused, const QString& failure, QString* error);

private:
    double m_margin;
    double m_width;
    QFont m_footFont;
    QFontMetricsF m_footMetrics;
    double m_footTop;
    QString m_printedOn;
};

// The printed list of found acts: a heading that restates the criteria, then the found lines as
// shown on screen. Composed first into printed lines with their font sizes, then sent.
class ListPrint {
public:
    struct Line {
        QString text;
        int pointSize = 12;
        friend bool operator==(const Line&, const Line&) = default;
    };
    struct Heading {
        QString performer; // practitioner who performed the acts
        QString followUp;  // practitioner following the patients
        QString act;
        QString firstDay; // the period as typed
        QString lastDay;
    };

    // The count and the total under the list, with their captions, as the screen shows them.
    struct Summary {
        QString countCaption;
        QString count;
        QString totalCaption;
        QString total;
    };

    static constexpr int kHeadingPointSize = 16;
    static constexpr int kBodyPointSize = 12;
    static constexpr int kFootPointSize = 9;
    static constexpr double kMarginCm = 3.0;

    // The heading, the found lines, then the count and the total when the summary holds them.
    static std::vector<Line> compose(const Heading& heading, const QStringList& foundLines,
                                     const Summary& summary = {});
    // The foot of each page: the date of printing at the left, the page's number among all at the right.
    static QString printedOnText(const QDateTime& printedAt);
    static QString pageText(int page, int pages);

    // Lays the lines out from a 3 cm left and top margin, continuing on new pages as needed, with
    // the foot on every page, and ends the document; false with the reason in French when the
    // printer cannot be used.
    static bool print(QPrinter* printer, const std::vector<Line>& lines, QString* error,
                      const QDateTime& printedAt = QDateTime::currentDateTime());
};

} // namespace obs
