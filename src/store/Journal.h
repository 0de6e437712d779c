// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The journal of the acts: one entry per change, written in the transaction that makes the change,
// never altered afterwards; each entry's hash covers the previous entry's hash and its own
// canonical text, so that an entry edited, removed or slipped in shows at the next check.

#include "store/Records.h"
#include "store/Status.h"

#include <QString>
#include <array>
#include <functional>
#include <optional>
#include <vector>

namespace obs {

// What an entry records. The stored codes never change: the hashes of existing entries cover them.
enum class JournalKind {
    Created,          // "creation": an act recorded
    Modified,         // "modification": columns of an act changed (payments aside)
    Deleted,          // "suppression": an act removed
    Payment,          // "paiement": money received on an act (negative: a correction)
    ReversalPaid,     // "reversement": a sum paid over to the colleague
    ReferenceChanged, // "liste": an entry of a reference list added, changed or removed
    Opening,          // "reprise": what an act held when its base was given a journal
};
QString journalKindCode(JournalKind kind);
std::optional<JournalKind> journalKindOf(const QString& code);
// The kind in the history's words ("Paiement", "Reprise"...).
QString journalKindLabel(JournalKind kind);

// How money came.
enum class PaymentMode { Transfer, Cheque, Cash, Card, Other };
inline constexpr std::array<PaymentMode, 5> kPaymentModes{PaymentMode::Transfer, PaymentMode::Cheque, PaymentMode::Cash,
                                                          PaymentMode::Card, PaymentMode::Other};
QString paymentModeCode(PaymentMode mode);  // "virement", "cheque", "especes", "carte", "autre"
QString paymentModeLabel(PaymentMode mode); // "Virement", "Chèque", "Espèces", "Carte bancaire", "Autre"
std::optional<PaymentMode> paymentModeOf(const QString& code);

// Who paid a running total of an act.
enum class Payer { Secu, Complementary, Patient };
QString payerCode(Payer payer);  // "secu", "complementaire", "patiente"
QString payerLabel(Payer payer); // "Sécu", "Complémentaire", "Patiente"
// The payer's label for a stored payer: a practitioner's name (a reversal) stays as it is.
QString payerLabelOf(const QString& code);

// When and how the payments typed on the main window were received.
struct Receipt {
    qint64 day = 0; // day number of the receipt
    PaymentMode mode = PaymentMode::Transfer;
};

// One column of a change, in its stored form (an amount in units, a day as its number); nothing
// for an empty value.
struct ColumnChange {
    QString column; // as the file spells it (PRIX, Nom, TEXTE...)
    std::optional<QString> before;
    std::optional<QString> after;
    friend bool operator==(const ColumnChange&, const ColumnChange&) = default;
};

struct JournalEntry {
    qint64 number = 0;         // NUMJ: 1, 2, 3... without gaps
    QString writtenAt;         // ECRIT: UTC, "2026-12-08T09:15:02.123Z"
    std::optional<qint64> act; // NUMINT; nothing for a reference list's change
    JournalKind kind = JournalKind::Modified;
    StoredDay receivedOn; // RECULE: day of receipt of a payment or a reversal
    QString payer;        // PAYEUR: payerCode, or the practitioner paying over
    QString payee;        // BENEFICIAIRE: the colleague a reversal went to
    std::optional<PaymentMode> mode;
    std::optional<Money> amount; // MONTANT, signed
    std::vector<ColumnChange> changes;
    QString workstation; // POSTE: host name
    QString user;        // UTILISATEUR: login, and on a server "login (rôle)"
    QString hash;        // HASH: SHA-256 in hexadecimal
    // MEDACTE: who performed the act when the money was received (a payment, an opening entry) or
    // paid over, written with the entry and covered by its hash; empty for the other entries.
    QString performer;
    // MEDREPRISE: for a payment or opening entry written before the journal recorded the performer,
    // the act's performer as the upgrade found it, written once then; outside the hash, which was
    // sealed before it existed.
    QString performerTakenOver;

    friend bool operator==(const JournalEntry&, const JournalEntry&) = default;
};

// The text an entry's hash covers (every field but the hash), the same on both engines: its
// twelve fields as stored (numbers in decimal, codes, DETAIL's text; "-" for a missing number,
// date, mode or amount), joined by the unit separator, backslashes and separators escaped; then,
// for an entry written with its performer (MEDACTE), that name as a thirteenth field. Entries
// written before the performer was recorded keep the twelve fields their hashes were made from,
// so that a journal stays whole across the upgrade; a performer removed, added or changed on a
// later entry shows at the next check.
QByteArray canonicalText(const JournalEntry& entry);
inline constexpr int kCanonicalFields = 12;
// The same from the fields' UTF-8 bytes as read from the base: a whole journal is checked without
// decoding its entries. `performer`: MEDACTE's bytes, nothing when it is missing.
QByteArray canonicalText(const std::array<QByteArrayView, kCanonicalFields>& fields,
                         std::optional<QByteArrayView> performer = std::nullopt);
// SHA-256 of the previous entry's hash and this entry's canonical text, in hexadecimal. The first
// entry's previous hash is empty.
QString chainHash(const QString& previousHash, const JournalEntry& entry);

// The changes as DETAIL stores them (compact JSON), and back; nothing from a text that is none.
QString changesText(const std::vector<ColumnChange>& changes);
std::optional<std::vector<ColumnChange>> changesOf(const QString& text);

// The columns whose stored form differs between two records of the same table.
std::vector<ColumnChange> actChanges(const std::optional<Act>& before, const std::optional<Act>& after);
std::vector<ColumnChange> entryChanges(const std::optional<ReferenceEntry>& before,
                                       const std::optional<ReferenceEntry>& after);

// What `journal verify` finds.
struct JournalCheck {
    qint64 entries = 0;
    bool intact = true;
    std::optional<qint64> firstBad; // the first entry that differs, or after which one is missing
    QString problem;                // in French, naming the entry
};

// Checks a journal handed over in order of number: numbers from 1 without gaps, each hash as
// recomputed, and the tail as the head row records it (its last number and hash).
class JournalVerifier {
public:
    // Takes the next entry; false once a fault is found (the rest need not be read).
    bool add(const JournalEntry& entry);
    // The same from an entry's number, canonical text and stored hash.
    bool add(qint64 number, const QByteArray& canonical, QByteArrayView hash);
    // The result, against the head row's figures.
    JournalCheck finish(qint64 headNumber, const QString& headHash);

private:
    JournalCheck m_check;
    QByteArray m_previousHash;
};

// Who writes: the workstation's host name and the user's login, read once.
QString journalWorkstation();
QString journalLogin();

} // namespace obs
