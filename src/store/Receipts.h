// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// A practitioner's receipts book, read from the journal of the acts: what was received, by date of
// receipt, on the acts they performed and from colleagues, and what they paid over to colleagues.

#include "store/Journal.h"

#include <vector>

namespace obs {

// Where a line of the book belongs.
enum class ReceiptSide {
    Fee,              // a payment on an act the practitioner performed (Sécu, complémentaire, patiente)
    ReversalReceived, // a sum a colleague paid over to the practitioner
    ReversalPaid,     // a sum the practitioner paid over to a colleague: an outgoing
};

// One line of the book: one journal entry.
struct ReceiptLine {
    qint64 entry = 0; // NUMJ
    qint64 act = 0;   // NUMINT
    ReceiptSide side = ReceiptSide::Fee;
    StoredDay day; // day of receipt; nothing for an opening entry
    QString payer; // payerCode, or the colleague paying over
    QString payee; // the colleague paid (a reversal)
    std::optional<PaymentMode> mode;
    Money amount;        // signed: a correction is below zero
    StoredDay writtenOn; // the day (local time) the entry was written
    // Who performed the act when the money was received, as recorded with the entry (or given to an
    // older entry by the upgrade); empty when neither, the act's performer then standing.
    QString performer;
    // The act as it stands, or as its deletion left it (actDeleted).
    QString surname;
    QString firstName;
    QString actLabel; // Acte
    StoredDay actDate;
    bool actDeleted = false;

    friend bool operator==(const ReceiptLine&, const ReceiptLine&) = default;
};

// The book of one practitioner for a period.
struct ReceiptsBook {
    // Dated receipts (fees and reversals received), by day of receipt, then in the journal's order.
    std::vector<ReceiptLine> receipts;
    // Reversals paid over to colleagues in the period, in the same order.
    std::vector<ReceiptLine> outgoings;
    // What the acts of the period held when their base was given its journal (opening entries, no
    // date of receipt), by act then entry; their side says which of the above they would belong to.
    std::vector<ReceiptLine> openings;

    friend bool operator==(const ReceiptsBook&, const ReceiptsBook&) = default;
};

// Where the journal stood when a book was read (its head: last entry's number and hash), so that
// figures drawn from the book can name the state of the books they come from.
struct JournalAnchor {
    qint64 number = 0;
    QString hash;
};

} // namespace obs
