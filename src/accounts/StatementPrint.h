// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "domain/YearStatementSheet.h"

#include <QDateTime>
#include <QImage>
#include <QSizeF>
#include <QString>
#include <functional>

class QPrinter;
class QTextDocument;

namespace obs {

// The printed yearly statement: a heading (the practitioner, the year), the months' chart, the
// months' table with its total, then the sums paid over with each colleague; the date of printing
// and the page's number among all at the foot of each page. Composed into a document first,
// then laid out on the printer's pages.
class StatementPrint {
public:
    static constexpr double kMarginCm = 2.0;
    static constexpr int kBodyPointSize = 9;

    // The document's text, the chart standing as an image named `chartName`, of chartSize in the
    // document's units.
    static QString html(const QString& practitioner, int year, const YearStatementSheet& sheet,
                        const QSizeF& chartSize);
    static const QString chartName;

    // Prints on the printer (the print dialog's choice, a PDF file, the preview's pages); false with
    // the reason in French when the printer cannot be used. *pages receives the number of pages.
    static bool print(QPrinter* printer, const QString& practitioner, int year, const YearStatementSheet& sheet,
                      const QImage& chart, QString* error, int* pages = nullptr,
                      const QDateTime& printedAt = QDateTime::currentDateTime());

    // Lays a document out on the printer's pages, 2 cm from the edges in a 9 point body, with the
    // foot of the printed pages: `compose` fills it for a page of this size (in the document's
    // units). False with the reason (`failure` when the printer reported an error).
    static bool printDocument(QPrinter* printer, const std::function<void(QTextDocument&, const QSizeF&)>& compose,
                              const QString& failure, QString* error, int* pages, const QDateTime& printedAt);
};

} // namespace obs
