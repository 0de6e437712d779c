// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// What each engine gives for the whole-base operations of store/Bulk.h; only the store's own files
// include this.

#include "store/Bulk.h"

#include <QVariant>
#include <QVariantList>
#include <functional>
#include <iterator>

namespace obs {

// The kind of value a column holds, as a copy carries it.
enum class BulkKind { Text, Amount, Day, Number };
struct BulkColumn {
    const char* name; // as the file spells it; a server's name is in lower case
    BulkKind kind;
};

// Both tables' columns in the order a copy reads and writes them.
inline constexpr BulkColumn kBulkActs[] = {
    {"NUMINT", BulkKind::Number}, {"Nom", BulkKind::Text},        {"Prenom", BulkKind::Text},
    {"Date", BulkKind::Day},      {"MEDSUIT", BulkKind::Text},    {"MEDACTE", BulkKind::Text},
    {"Acte", BulkKind::Text},     {"CCAM1", BulkKind::Text},      {"NF", BulkKind::Text},
    {"CCAM2", BulkKind::Text},    {"CCAM3", BulkKind::Text},      {"CCAM4", BulkKind::Text},
    {"CCAM5", BulkKind::Text},    {"CCAM6", BulkKind::Text},      {"PRIX", BulkKind::Amount},
    {"DE", BulkKind::Amount},     {"PAYESECU", BulkKind::Amount}, {"PAYECOMPLE", BulkKind::Amount},
    {"PAYEDE", BulkKind::Amount}, {"REVERSE", BulkKind::Amount},  {"DateRev", BulkKind::Day}};
inline constexpr BulkColumn kBulkMemo[] = {
    {"NUMEROS", BulkKind::Number}, {"TEXTE", BulkKind::Text},  {"CCAM", BulkKind::Text},   {"TARIFS", BulkKind::Amount},
    {"MUT1", BulkKind::Amount},    {"MUT2", BulkKind::Amount}, {"MUT3", BulkKind::Amount}, {"MUT4", BulkKind::Amount},
    {"MUT5", BulkKind::Amount},    {"MUT6", BulkKind::Amount}, {"INDEX", BulkKind::Number}};
// The journal's columns, copied as they stand: the hashes cover them.
inline constexpr BulkColumn kBulkJournal[] = {
    {"NUMJ", BulkKind::Number},       {"ECRIT", BulkKind::Text},    {"NUMINT", BulkKind::Number},
    {"NATURE", BulkKind::Text},       {"RECULE", BulkKind::Number}, {"PAYEUR", BulkKind::Text},
    {"BENEFICIAIRE", BulkKind::Text}, {"MODE", BulkKind::Text},     {"MONTANT", BulkKind::Number},
    {"DETAIL", BulkKind::Text},       {"POSTE", BulkKind::Text},    {"UTILISATEUR", BulkKind::Text},
    {"HASH", BulkKind::Text}};
inline constexpr int kBulkJournalColumns = int(std::size(kBulkJournal));
inline constexpr int kBulkActColumns = int(std::size(kBulkActs));
inline constexpr int kBulkMemoColumns = int(std::size(kBulkMemo));

// The column list of a table, as one engine spells it.
QString bulkColumnNames(bool acts, bool server);
QString bulkJournalColumnNames(bool server);
// A journal row as a copy reads it (kBulkJournal's order), as the store reads an entry, to be
// checked on the way.
JournalEntry journalEntryOfRow(const QVariantList& row);

// A stored value as the program reads it: a damaged number or date becomes nothing, as the screens
// show it, rather than stopping the copy. Texts stay as they are.
QVariant normalisedBulkValue(const QVariant& v, BulkKind kind);

// Values as both engines bind them: a day, a number or an amount (in units), no value when none;
// a text never without a value (an empty text is what the screens write).
QVariant bulkDay(const StoredDay& d);
QVariant bulkInteger(const std::optional<qint64>& n);
QVariant bulkMoney(const std::optional<Money>& m);
QVariant bulkText(const QString& text);
// The values of an act's columns after NUMINT, in the order of kBulkActs; unpaid sums as 0 when
// paymentsAsZero, else as they stand.
void appendActValues(const Act& a, bool paymentsAsZero, QVariantList* binds);
// NUMEROS, TEXTE, CCAM (no value without a code), TARIFS, MUT1 to MUT6 of a reference entry.
void appendEntryValues(const ReferenceEntry& e, QVariantList* binds);

// The statement reading what readStoredFigures gives, and the one reading a copy's totals, as
// one engine spells the tables and columns.
QString storedFiguresSql(bool server);
QString copyTotalsSql(bool server);
// Takes the figures from a row of storedFiguresSql, `at` giving the integer of a column.
void takeStoredFigures(const std::function<qint64(int column)>& at, StoredFigures* figures);

// One side of a copy: a base read as one snapshot, or written in one transaction.
class BulkSide {
public:
    using RowSink = std::function<Status(const QVariantList&)>;
    virtual ~BulkSide() = default;
    virtual Status beginRead() = 0;
    // The rows of ACTES (acts) or MEMO, in order of number or of entry, each value normalised.
    virtual Status read(bool acts, const RowSink& each) = 0;
    virtual Status endRead() = 0;
    virtual Status actCount(qint64* n) = 0;
    // Empties both tables, in the transaction the rows are then written in.
    virtual Status beginWrite() = 0;
    // A row as another side read it; MEMO rows come in their order of entry, which they keep.
    virtual Status write(bool acts, const QVariantList& row) = 0;
    virtual Status commit() = 0;
    virtual void rollback() = 0;
    virtual Status totals(ClinicTotals* t) = 0;

    // The journal. Whether the base has one (a base made before it has none).
    virtual bool hasJournal() = 0;
    // Its rows in order of number (kBulkJournal's columns, as stored), and the head row.
    virtual Status readJournal(const RowSink& each, qint64* headNumber, QString* headHash) = 0;
    // Writing side, after beginWrite (which emptied the journal): a row as read, then the head.
    virtual Status writeJournal(const QVariantList& row) = 0;
    virtual Status writeJournalHead(qint64 number, const QString& hash) = 0;
    // A source without a journal: an opening entry per running total of each act written.
    virtual Status openJournal(qint64* opened) = 0;
};

// The side of the engine the location names (the store's factory chooses).
std::unique_ptr<BulkSide> openBulkSide(const QString& location, bool create, Status* status);

} // namespace obs
