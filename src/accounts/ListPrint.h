#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <vector>

class QPrinter;

namespace obs {

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
