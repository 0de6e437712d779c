// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "domain/YearStatementSheet.h"

#include <QDateTime>
#include <QImage>
#include <QSizeF>
#include <QString>

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
};

} // namespace obs
