// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "domain/ReceiptsSheet.h"
#include "store/Receipts.h"
#include "store/Status.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <vector>

namespace obs {

class Store;

// A practitioner's tax year on a cash basis, drawn from the year's receipts book (the same lines the
// book and the FEC show, so the three agree to the cent): what was received, what was paid over to
// colleagues, the net, and the colleagues paid more than the threshold, to be declared by name.
class TaxYear {
public:
    // One colleague paid over to in the year: the total (corrections included) and how many
    // payments (corrections are not payments).
    struct Colleague {
        QString name;
        qint64 payments = 0;
        Money amount;
        friend bool operator==(const Colleague&, const Colleague&) = default;
    };

    TaxYear() = default;
    TaxYear(const QString& practitioner, int year, ReceiptsBook book, Money threshold, JournalAnchor anchor);

    // Reads the year's book and the journal's anchor in one moment; RefusedValue with the French
    // reason for a practitioner not in the list of practitioners.
    static Status read(Store& store, const QString& practitioner, int year, Money threshold, TaxYear* taxYear);

    const QString& practitioner() const { return m_practitioner; }
    int year() const { return m_year; }
    const ReceiptsSheet& sheet() const { return m_sheet; }
    Money threshold() const { return m_threshold; }
    const JournalAnchor& anchor() const { return m_anchor; }
    // No year can be closed yet: a closed year will say so here, its anchor then the closing's.
    bool closed() const { return m_closed; }

    // "Recettes encaissées": fees and sums paid over to the practitioner, received in the year.
    Money received() const { return m_sheet.total(); }
    Money fees() const { return m_fees; }
    Money reversalsReceived() const { return m_reversalsReceived; }
    const std::vector<ReceiptsSheet::Total>& receivedByMode() const { return m_sheet.byMode(); }
    // "Honoraires rétrocédés": sums the practitioner paid over to colleagues in the year.
    Money paidOver() const { return m_sheet.outgoingTotal(); }
    // "Montant net des recettes".
    Money net() const { return Money::fromUnits(received().units() - paidOver().units()); }
    // Colleagues paid more than the threshold, then those at or under it; by name.
    const std::vector<Colleague>& toDeclare() const { return m_toDeclare; }
    const std::vector<Colleague>& underThreshold() const { return m_under; }

    // "non clos" or "clos".
    QString closingText() const;
    // "écriture n° 42, empreinte 3fa9…": the head of the journal the figures were read at.
    QString anchorText() const;
    // The year's acts paid before the journal: said, not counted (empty when none).
    QString beforeJournalText() const;
    // A colleague's line: "Dr X : 1 500,00 € (3 versements)".
    static QString colleagueText(const Colleague& c);

    // The figures as text lines, for the accountant and the print.
    QStringList lines() const;
    // The same for a French spreadsheet: section; label; count; amount.
    QByteArray csvDocument() const;

private:
    QString m_practitioner;
    int m_year = 0;
    ReceiptsSheet m_sheet{ReceiptsBook{}, false};
    Money m_threshold;
    JournalAnchor m_anchor;
    bool m_closed = false;
    Money m_fees, m_reversalsReceived;
    std::vector<Colleague> m_toDeclare, m_under;
};

} // namespace obs
