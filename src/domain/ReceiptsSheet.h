// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "store/Receipts.h"
#include "store/Records.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <vector>

namespace obs {

// A practitioner's receipts book as the screen, the print and the export show it: a line a
// receipt, the totals by day, by month and by mode, the outgoings and the opening entries apart.
class ReceiptsSheet {
public:
    // One total: its label ("03/02/2025", "Février 2025", "Chèque"), how many receipts, how much.
    struct Total {
        QString label;
        qint64 count = 0;
        Money amount;
        friend bool operator==(const Total&, const Total&) = default;
    };

    // withNames false: the act number stands for the patient, whose name appears nowhere.
    ReceiptsSheet(ReceiptsBook book, bool withNames);

    const ReceiptsBook& book() const { return m_book; }
    bool withNames() const { return m_withNames; }

    // "Date", "N° d'acte", ["Patiente",] "Acte", "Payeur", "Mode", "Montant".
    QStringList header() const;
    // A line's cells as shown; an outgoing's payer names the colleague paid ("Rétrocession à ...")
    // and an opening entry has no date ("Reprise").
    QStringList cells(const ReceiptLine& line) const;
    // The column of the amount in the cells.
    int amountColumn() const { return m_withNames ? 6 : 5; }

    // Totals of the receipts (fees and sums received from colleagues), in date order, months
    // January first, modes in the program's order.
    const std::vector<Total>& byDay() const { return m_byDay; }
    const std::vector<Total>& byMonth() const { return m_byMonth; }
    const std::vector<Total>& byMode() const { return m_byMode; }
    Money total() const { return m_total; }
    Money outgoingTotal() const { return m_outgoing; }
    // The opening entries: received less paid over.
    Money openingTotal() const { return m_opening; }
    // The acts of the period paid before the journal, said in words (beforeJournalNotice).
    QString beforeJournalText() const;

    // The export, in the form of the acts' export (ActsCsv): the receipts' header and lines, then
    // apart, each under its own title, the outgoings, the opening entries and the totals.
    QByteArray csvDocument() const;

    // An amount as the book shows it: two decimals, thousands apart ("1 234,50 €").
    static QString euroText(Money amount);
    // A line's payer in words: "Sécu", "Rétrocession de Dr X", "Rétrocession à Dr Y".
    static QString payerText(const ReceiptLine& line);
    static QString monthLabel(qint64 day); // "Février 2025"

private:
    ReceiptsBook m_book;
    bool m_withNames;
    std::vector<Total> m_byDay, m_byMonth, m_byMode;
    Money m_total, m_outgoing, m_opening;
};

// What a period's book leaves out when its acts were paid before the journal (an old register moved
// in): how many acts, what was received and paid over on them then (their opening entries), and the
// days the register was moved in.
struct BeforeJournal {
    qint64 acts = 0;
    Money received; // fees and sums received from colleagues
    Money paidOver; // sums paid over to colleagues
    std::vector<qint64> movedOn;
};
BeforeJournal beforeJournal(const ReceiptsBook& book);
// The sentence that says so, ending with where they are missing ("ce livre"); empty when the
// period holds no such act.
QString beforeJournalNotice(const ReceiptsBook& book, const QString& missingFrom);

// The yearly statement's received columns by date of receipt: each month's Sécu, complémentaire and
// patient payments are those received in that month on the practitioner's acts (a book of the
// year), whatever the acts' dates.
void receivedByReceiptDate(const ReceiptsBook& yearBook, YearStatement* statement);

} // namespace obs
