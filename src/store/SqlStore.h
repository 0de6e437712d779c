// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "store/Bulk.h"
#include "store/Connection.h"
#include "store/Store.h"

namespace obs {

// The program's database over an engine's connection: every statement is written here once, from
// the tables' description, and the engine's dialect says only how it spells what differs.
class SqlStore : public Store, private ActsTable, private ReferenceTable, private JournalTable {
public:
    bool isOpen() const override { return m_db->isOpen(); }
    ActsTable& acts() override { return *this; }
    ReferenceTable& references() override { return *this; }
    JournalTable& journal() override { return *this; }
    std::unique_ptr<RecordCursor> browse(const BrowseQuery& query, Status* status) override;

    // Writing in bulk (loads, imports, copies), through the same chaining as every change.
    // Acts added each with the next number and with the entries that account for them, many a
    // statement, in one transaction that holds the journal's head. *added: acts written.
    Status appendJournaledActs(const JournaledActSource& acts, qint64* added);
    // An opening entry per running total of every act, for a base whose journal is still empty (a
    // copy or an import filling it), in the transaction the caller holds. *opened: entries written.
    Status openEveryAct(qint64* opened);

    // The connection and the engine's spelling, for the whole-base operations written once for both
    // engines (store/BulkSide.h).
    Connection& link() { return *m_db; }
    const Dialect& dialect() const { return m_sql; }
    // Whether the journal has its MEDACTE and MEDREPRISE columns (a journal made by an earlier
    // version has neither until upgraded; its entries are written without them until then).
    bool journalRecordsPerformer() const { return m_journalPerformer; }

protected:
    SqlStore(std::shared_ptr<Connection> db, const Dialect& dialect);

private:
    // ActsTable
    Status find(qint64 number, Act* act, bool* found) override;
    Status findMany(const std::vector<qint64>& numbers, std::vector<Act>* acts) override;
    Status update(const Act& shown, const Act& edited, bool withDate, const std::optional<Receipt>& receipt) override;
    Status remove(qint64 number) override;
    Status append(const Act& act, qint64* number) override;
    Status listing(ListingKind kind, const Period& period, const SearchCriteria& criteria,
                   const std::function<bool(const ListingRow&)>& each, std::optional<Money>* total) override;
    Status listingTotal(ListingKind kind, const Period& period, const SearchCriteria& criteria,
                        std::optional<Money>* total) override;
    Status pairSums(const Period& period, const QString& follower, const QString& performer, PairSums* sums) override;
    Status latestOfPair(const QString& follower, const QString& performer, std::optional<qint64>* number) override;
    Status addReversal(qint64 number, qint64 day, Money amount, bool* changed, PaymentMode mode) override;
    Status yearStatement(int year, const QString& performer, YearStatement* statement) override;

    // ReferenceTable
    Status labels(ReferenceList list, ReferenceOrder order, QStringList* labels) override;
    Status find(std::optional<ReferenceList> list, const QString& label, ReferenceEntry* entry, bool* found) override;
    Status add(const ReferenceEntry& entry) override;
    Status modify(const ReferenceEntry& shown, const ReferenceEntry& edited, bool* found) override;
    Status remove(ReferenceList list, const QString& label, bool* found) override;
    Status slotPlan(const ReferenceChange& change, MutualSlots::Plan* plan) override;
    Status emptiedAmounts(const MutualSlots::Plan& plan, MutualSlots::Loss* loss) override;
    Status apply(const ReferenceChange& change, const MutualSlots::Plan& agreed, bool* found) override;

    // JournalTable
    bool present() const override { return m_hasJournal; }
    bool recordsPerformer() const override { return m_journalPerformer; }
    Status ofAct(qint64 number, std::vector<JournalEntry>* entries) override;
    Status each(const std::function<bool(const JournalEntry&)>& each) override;
    Status verify(JournalCheck* check) override;
    Status create(qint64* opened) override;
    Status receipts(const QString& practitioner, const Period& period, ReceiptsBook* book,
                    JournalAnchor* anchor = nullptr) override; // SqlReceipts.cpp

    // Makes a change and its journal entries in one transaction that holds the journal's head (and
    // the tables named): neither is written without the other.
    Status journaled(const QStringList& tables, const std::function<Status(std::vector<JournalEntry>*)>& change);
    // Numbers, dates, signs and chains the entries after the head, and moves the head past them.
    Status appendEntries(std::vector<JournalEntry>* entries);
    struct JournalHead {
        qint64 number = 0;
        QString hash;
    };
    Status readHead(JournalHead* head);
    Status writeHead(const JournalHead& head);
    Status insertEntries(std::vector<JournalEntry>* entries, JournalHead* head);
    // The journal's columns in the order entries are written and read: the performer's two last,
    // when the journal has them.
    QStringList entryColumns() const;
    // Gives an older journal the performer's columns and its payment and opening entries the
    // performer their acts have now, once, in the transaction the caller holds.
    Status addPerformerColumns();
    Status readEntries(const QString& where, const QVariantList& binds,
                       const std::function<bool(const JournalEntry&)>& each);
    Status writeReference(const ReferenceChange& change, bool* found, std::vector<JournalEntry>* entries);

    QString n(const char* column) const { return m_sql.name(QString::fromLatin1(column)); }
    QString remainder() const;
    QString listingCondition(ListingKind kind, const Period& period, const SearchCriteria& c,
                             QVariantList* binds) const;
    QString firstEntry(ReferenceList list, const QString& label, QVariantList* binds) const;
    Status insurerOrder(const ReferenceChange& change, bool changed, std::vector<MutualSlots::Insurer>* insurers);
    Status moveColumns(const MutualSlots::Plan& plan);

protected:
    std::shared_ptr<Connection> m_db;
    const Dialect& m_sql;
    bool m_hasJournal = false;
    bool m_journalPerformer = false;
};

} // namespace obs
