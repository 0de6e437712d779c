// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "store/Records.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <array>
#include <optional>

namespace obs {

// A practitioner's yearly statement as the screen, the print and the export show it: a line a
// month and the year's total, then the sums paid over with each colleague.
class YearStatementSheet {
public:
    // One line of the months' table. Amounts are nothing when they cannot be held.
    struct Line {
        QString label; // the month in French, or "Total"
        qint64 acts = 0;
        std::optional<Money> price;
        std::optional<Money> excess;
        std::optional<Money> paidSecu;
        std::optional<Money> paidComplementary;
        std::optional<Money> paidExcess;
        // PRIX + DE − PAYESECU − PAYECOMPLE − PAYEDE of the acts, as the main window's "Reste dû":
        // every payment counts, whenever it was received (before the journal too).
        std::optional<Money> remainder;
        // PRIX + DE, and the three payments together: the two bars of the month's chart.
        std::optional<Money> billed;
        std::optional<Money> received;
    };

    // receivedByDate: the months' received columns by date of receipt (receivedByReceiptDate),
    // which replace the acts' own in the paid columns and the chart; the remainder stays the
    // acts'. beforeJournal: what the receipts leave out (beforeJournalNotice), said under the tables.
    explicit YearStatementSheet(const YearStatement& statement, const YearStatement* receivedByDate = nullptr,
                                QString beforeJournal = QString());

    // Twelve months, January first, then the year's total.
    const std::array<Line, 13>& lines() const { return m_lines; }
    const std::vector<StatementReversal>& reversals() const { return m_reversals; }
    const QString& beforeJournal() const { return m_beforeJournal; }

    static QString monthName(int month); // 1 to 12: "Janvier"...
    static QStringList monthHeader();
    static QStringList reversalHeader();
    // The cells as the screen and the print show them: amounts as an accountant reads them
    // ("1 183,70 €", accountingEuroText), an overpaid remainder below zero.
    static QStringList shownCells(const Line& line);
    static QStringList shownCells(const StatementReversal& reversal);

    // The export: the same form as the acts' export (ActsCsv), the months' header and lines, the
    // total, an empty line, then the reversals' header and lines.
    QByteArray csvDocument() const;

private:
    std::array<Line, 13> m_lines;
    std::vector<StatementReversal> m_reversals;
    QString m_beforeJournal;
};

} // namespace obs
