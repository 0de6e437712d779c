// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "domain/ReceiptsSheet.h"

#include <QDateTime>
#include <QString>

class QPrinter;

namespace obs {

// The printed receipts book: a heading (the practitioner, the period), the receipts with their
// total, the totals by month, by mode and by day, then the outgoings and the opening entries apart;
// the date of printing and "Page N / M" at the foot of each page.
class ReceiptsPrint {
public:
    static QString html(const QString& practitioner, const QString& from, const QString& to,
                        const ReceiptsSheet& sheet);
    // False with the reason in French when the printer cannot be used; *pages: pages printed.
    static bool print(QPrinter* printer, const QString& practitioner, const QString& from, const QString& to,
                      const ReceiptsSheet& sheet, QString* error, int* pages = nullptr,
                      const QDateTime& printedAt = QDateTime::currentDateTime());
};

} // namespace obs
