// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// What each engine gives for the whole-base operations of store/Bulk.h; only the store's own files
// include this.

#include "store/Bulk.h"

#include <QVariant>
#include <QVariantList>
#include <functional>
#include <iterator>
#include <span>

namespace obs {

class Dialect;
class SqlStore;

// The kind of value a column holds, as a copy carries it.
enum class BulkKind { Text, Amount, Day, Number };
struct BulkColumn {
    const char* name; // as the file spells it
    BulkKind kind;
};

// Both tables' columns in the order a copy reads and writes them: the tables' own description, then
// an entry's catalogue place (INDEX), which the base gives and a copy carries.
std::span<const BulkColumn> bulkActs();
std::span<const BulkColumn> bulkMemo();
// The journal's columns, copied as they stand: the hashes cover them.
inline constexpr BulkColumn kBulkJournal[] = {
    {"NUMJ", BulkKind::Number},       {"ECRIT", BulkKind::Text},    {"NUMINT", BulkKind::Number},
    {"NATURE", BulkKind::Text},       {"RECULE", BulkKind::Number}, {"PAYEUR", BulkKind::Text},
    {"BENEFICIAIRE", BulkKind::Text}, {"MODE", BulkKind::Text},     {"MONTANT", BulkKind::Number},
    {"DETAIL", BulkKind::Text},       {"POSTE", BulkKind::Text},    {"UTILISATEUR", BulkKind::Text},
    {"HASH", BulkKind::Text},         {"MEDACTE", BulkKind::Text},  {"MEDREPRISE", BulkKind::Text}};
inline constexpr int kBulkJournalColumns = int(std::size(kBulkJournal));
inline constexpr int kBulkJournalPerformer = 13; // MEDACTE, then MEDREPRISE

// The column list of a table, as the engine spells it.
QString bulkColumnNames(const Dialect& d, bool acts);
// withPerformer false: a journal made before MEDACTE and MEDREPRISE, read as if they were empty.
QString bulkJournalColumnNames(const Dialect& d, bool withPerformer = true);
// Gives the payment and opening entries written without their performer (MEDACTE and MEDREPRISE
// both empty) the one their act has now, in MEDREPRISE: an upgrade's or a restore's one time.
QString performerFillStatement(const Dialect& d);
// "?, ?, ?": the marks of n values.
QString bulkMarks(qsizetype n);
// A journal row as a copy reads it (kBulkJournal's order), as the store reads an entry, to be
// checked on the way.
JournalEntry journalEntryOfRow(const QVariantList& row);

// A stored value as the program reads it: a damaged number or date becomes nothing, as the screens
// show it, rather than stopping the copy. Texts stay as they are. An amount that is not a whole
// number is read by its engine's one reader of stored amounts, not here.
QVariant normalisedBulkValue(const QVariant& v, BulkKind kind);

// Values as both engines bind them: a day, a number or an amount (in units), no value when none;
// a text never without a value (an empty text is what the screens write).
QVariant bulkDay(const StoredDay& d);
QVariant bulkInteger(const std::optional<qint64>& n);
QVariant bulkMoney(const std::optional<Money>& m);
QVariant bulkText(const QString& text);
// The values of an act's columns after NUMINT, in the order of bulkActs; unpaid sums as 0 when
// paymentsAsZero, else as they stand.
void appendActValues(const Act& a, bool paymentsAsZero, QVariantList* binds);
// NUMEROS, TEXTE, CCAM (no value without a code), TARIFS, MUT1 to MUT6 of a reference entry.
void appendEntryValues(const ReferenceEntry& e, QVariantList* binds);

// What store/Bulk.h does through the store over a connection of its own, its tables not checked
// (the statement that needs a missing table says so).
// appendJournaledRows: reference entries as the reference editor adds them, in one transaction;
// then acts as the entry screen appends them (the next numbers), with their journal entries, in
// another.
Status appendNewRows(SqlStore& store, const std::vector<ReferenceEntry>& entries, const JournaledActSource& acts);
// readStoredFigures, as one snapshot.
Status storedFiguresOf(SqlStore& store, StoredFigures* figures);
// openMaintenanceSession: the session keeps the store, and so its connection.
std::unique_ptr<MaintenanceSession> maintenanceSessionOver(std::shared_ptr<SqlStore> store);

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
    // The rows of ACTES, MEMO and the journal (none without one).
    virtual Status holdings(BaseHoldings* h) = 0;
    // Empties both tables, in the transaction the rows are then written in.
    virtual Status beginWrite() = 0;
    // A row as another side read it; MEMO rows come in their order of entry, which they keep.
    virtual Status write(bool acts, const QVariantList& row) = 0;
    virtual Status commit() = 0;
    virtual void rollback() = 0;
    virtual Status totals(ClinicTotals* t) = 0;

    // The journal. Whether the base has one (a base made before it has none).
    virtual bool hasJournal() = 0;
    // Whether it records each payment's performer (a journal made by an earlier version does not).
    virtual bool journalRecordsPerformer() = 0;
    // Its rows in order of number (kBulkJournal's columns, as stored), and the head row.
    virtual Status readJournal(const RowSink& each, qint64* headNumber, QString* headHash) = 0;
    // Writing side, after beginWrite (which emptied the journal): a row as read, then the head.
    virtual Status writeJournal(const QVariantList& row) = 0;
    virtual Status writeJournalHead(qint64 number, const QString& hash) = 0;
    // A source without a journal: an opening entry per running total of each act written.
    virtual Status openJournal(qint64* opened) = 0;
};

// A side over the program's store on either engine: what a copy reads and writes alike on both is
// written here once; each engine reads rows, empties and fills the tables its own way.
class SqlBulkSide : public BulkSide {
public:
    Status beginRead() override;
    Status read(bool acts, const RowSink& each) override;
    Status endRead() override;
    Status actCount(qint64* n) override;
    Status holdings(BaseHoldings* h) override;
    void rollback() override;
    Status totals(ClinicTotals* t) override;
    Status readJournal(const RowSink& each, qint64* headNumber, QString* headHash) override;
    bool journalRecordsPerformer() override;
    // Journal rows go journalRows a statement: a journal holds millions.
    Status writeJournal(const QVariantList& row) override;
    Status writeJournalHead(qint64 number, const QString& hash) override;

protected:
    SqlBulkSide(std::shared_ptr<SqlStore> store, int journalRows);
    // The rows a statement reads over `columns`, each value as a copy carries it; `asStored`: the
    // journal's, whose hashes cover the values as the base holds them.
    virtual Status readRows(const QString& sql, std::span<const BulkColumn> columns, bool asStored,
                            const RowSink& each) = 0;
    // The journal's head row, once its entries are written.
    virtual Status writeHead(qint64 number, const QString& hash) = 0;
    Status flushJournal();
    const Dialect& dialect() const;

private:
    std::shared_ptr<SqlStore> m_store;
    int m_journalRows;
    QVariantList m_journal;
};

// The side of the engine the location names (the store's factory chooses).
std::unique_ptr<BulkSide> openBulkSide(const QString& location, bool create, Status* status);

} // namespace obs
