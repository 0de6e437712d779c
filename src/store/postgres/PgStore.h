// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "store/Store.h"
#include "store/postgres/PgConnection.h"

namespace obs {

// The program's database on a PostgreSQL server, for several workstations: the same rows, order,
// totals and errors as the file engine.
class PgStore final : public Store, private ActsTable, private ReferenceTable {
public:
    // Connects to a server holding the program's tables.
    static std::shared_ptr<PgStore> open(const QString& conninfo, Status* status);

    QString location() const override { return m_db->location(); }
    bool isOpen() const override { return m_db->isOpen(); }
    void close() override { m_db->close(); }
    ActsTable& acts() override { return *this; }
    ReferenceTable& references() override { return *this; }
    std::unique_ptr<RecordCursor> browse(const BrowseQuery& query, Status* status) override;

    // The connection itself, for the maintenance tool and the tests.
    PgConnection& connection() { return *m_db; }

private:
    explicit PgStore(std::shared_ptr<PgConnection> db) : m_db(std::move(db)) {}

    // ActsTable
    Status find(qint64 number, Act* act, bool* found) override;
    Status findMany(const std::vector<qint64>& numbers, std::vector<Act>* acts) override;
    Status update(const Act& shown, const Act& edited, bool withDate) override;
    Status remove(qint64 number) override;
    Status append(const Act& act, qint64* number) override;
    Status listing(ListingKind kind, const Period& period, const SearchCriteria& criteria,
                   const std::function<bool(const ListingRow&)>& each, std::optional<Money>* total) override;
    Status listingTotal(ListingKind kind, const Period& period, const SearchCriteria& criteria,
                        std::optional<Money>* total) override;
    Status pairSums(const Period& period, const QString& follower, const QString& performer, PairSums* sums) override;
    Status latestOfPair(const QString& follower, const QString& performer, std::optional<qint64>* number) override;
    Status addReversal(qint64 number, qint64 day, Money amount, bool* changed) override;
    Status yearStatement(int year, const QString& performer, YearStatement* statement) override;

    // ReferenceTable
    Status labels(ReferenceList list, ReferenceOrder order, QStringList* labels) override;
    Status find(std::optional<ReferenceList> list, const QString& label, ReferenceEntry* entry, bool* found) override;
    Status add(const ReferenceEntry& entry) override;
    Status modify(const ReferenceEntry& shown, const ReferenceEntry& edited, bool* found) override;
    Status remove(ReferenceList list, const QString& label, bool* found) override;
    Status slotPlan(const ReferenceChange& change, MutualSlots::Plan* plan) override;
    Status apply(const ReferenceChange& change, const MutualSlots::Plan& agreed, bool* found) override;
    SlotSteps slotSteps();
    Status insurerOrder(const ReferenceChange& change, bool changed, std::vector<MutualSlots::Insurer>* insurers);

    std::shared_ptr<PgConnection> m_db;
};

} // namespace obs
