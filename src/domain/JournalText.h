// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The journal in words: what the history of an act and `obsledger-admin journal show` say of
// each entry, so that the screen and the tool use the same captions and forms.

#include "common/Money.h"
#include "store/Journal.h"

#include <QString>
#include <optional>
#include <vector>

namespace obs {

// What an opening entry ("reprise") says in place of a date of receipt.
inline const QString kBeforeJournal = QStringLiteral("antérieur au journal");

// A stored column in the main window's words ("Nom", "Payé Sécu"...); the column's own name when
// it is none of the program's.
QString journalColumnCaption(const QString& column);
// A value in its stored form as the screens show it: an amount "1 234,50 €", a day JJ/MM/AAAA, a
// text as it stands; "(vide)" for nothing.
QString journalValueText(const QString& column, const std::optional<QString>& stored);
// An amount as the journal shows it: two decimals, thousands grouped, "1 234,50 €".
QString journalAmountText(Money amount);
// The time an entry was written (UTC as stored), in local time: "08/12/2026 10:15", with seconds
// when asked; the stored text itself when it is no time.
QString journalWrittenText(const QString& writtenAtUtc, bool withSeconds = false);
// Who paid: "Sécu", "Complémentaire", "Patiente"; for a reversal "DURAND → MARTIN".
QString journalPayerText(const JournalEntry& entry);
// The columns of a change, "Nom : DUPONT → DURAND ; Montant : 300,00 € → 310,00 €"; for a
// record created or removed, its values alone ("Nom : DUPONT ; ...").
QString journalChangesText(const JournalEntry& entry);
// What the entry did, in a sentence of the history ("Paiement Sécu : 120,00 €, reçu le
// 05/12/2026, Virement").
QString journalWhatText(const JournalEntry& entry);

// One line of an act's history.
struct HistoryLine {
    QString when; // local JJ/MM/AAAA HH:MM
    QString workstation;
    QString user;
    QString what;
    // The line as one text, its parts separated by " · ".
    QString text() const;
};
HistoryLine historyLine(const JournalEntry& entry);
// The history of an act from its entries as the journal gives them (oldest first): newest first.
std::vector<HistoryLine> historyLines(const std::vector<JournalEntry>& oldestFirst);

// One line of `journal show`, its fields separated by tabs: number, time of writing (local, with
// seconds), workstation, user, kind, then for money its date of receipt (or "antérieur au
// journal"), payer, mode and amount, else the columns changed. Plain spaces only, for the terminal.
QString journalShowLine(const JournalEntry& entry);

} // namespace obs
