// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "domain/MutualSlots.h"
#include "store/Journal.h"
#include "store/Receipts.h"
#include "store/Records.h"
#include "store/Status.h"

#include <functional>
#include <memory>
#include <vector>

namespace obs {

// The acts (table ACTES). Every value is bound, never joined into the query; a practitioner
// pattern keeps the program's wildcards.
class ActsTable {
public:
    virtual ~ActsTable() = default;

    // One act by number; *found is false when there is none.
    virtual Status find(qint64 number, Act* act, bool* found) = 0;
    // The acts with these numbers, in the order given; those gone meanwhile are left out. Read a
    // few hundred at a time, so that exporting a year's list is not one question an act.
    virtual Status findMany(const std::vector<qint64>& numbers, std::vector<Act>* acts) = 0;
    // Writes what the main window edits (names, practitioners, acts, amounts and payments; the date
    // only when withDate is set), only if the stored act is still `shown` in every column, checked
    // in the same statement: Changed when another workstation changed it since, NoCurrentRecord
    // when it is gone. Nothing is written then. Each payment total that changes is journaled as
    // received on the receipt's day by its mode (today, by transfer, when none is given);
    // RefusedValue, nothing written, for a day after today or before the act's.
    virtual Status update(const Act& shown, const Act& edited, bool withDate,
                          const std::optional<Receipt>& receipt = std::nullopt) = 0;
    // NoCurrentRecord when the act is gone.
    virtual Status remove(qint64 number) = 0;
    // A new act as the entry screen records it (payments start at 0); its number in *number.
    virtual Status append(const Act& act, qint64* number) = 0;

    // The acts of a listing, in the listing's order, handed over one at a time (false stops).
    // With `total`, the listing's total as listingTotal gives it, summed during the same reading
    // where it is the sum of the rows handed over (a year is read once, not twice). A total that
    // cannot be had (beyond what an amount holds): TotalMissing, once every row was handed over.
    virtual Status listing(ListingKind kind, const Period& period, const SearchCriteria& criteria,
                           const std::function<bool(const ListingRow&)>& each,
                           std::optional<Money>* total = nullptr) = 0;
    // The listing's total (PRIX, DE for the excess listing, what is still to collect for the
    // remainder listing); nothing when no act.
    virtual Status listingTotal(ListingKind kind, const Period& period, const SearchCriteria& criteria,
                                std::optional<Money>* total) = 0;

    // Value and sums paid over of the acts that `performer` did for `follower`'s patients.
    virtual Status pairSums(const Period& period, const QString& follower, const QString& performer,
                            PairSums* sums) = 0;
    // The pair's latest act at any date (the last by date, then by number); nothing when none.
    virtual Status latestOfPair(const QString& follower, const QString& performer, std::optional<qint64>* number) = 0;
    // Adds a sum paid over to what the act holds, in one statement, and dates it; journaled as paid
    // by the act's performer to the patient's practitioner. *changed is false when the act is gone.
    virtual Status addReversal(qint64 number, qint64 day, Money amount, bool* changed,
                               PaymentMode mode = PaymentMode::Transfer) = 0;

    // The statement of `year` for the practitioner who performed the acts (a name or a pattern,
    // matched as the listings match it): the acts of each month of the year by their date, and the
    // sums paid over on the acts of the year between them and each colleague.
    virtual Status yearStatement(int year, const QString& performer, YearStatement* statement) = 0;
};

// A change of one reference entry, as the editor makes it.
struct ReferenceChange {
    enum class Kind { Add, Modify, Remove };
    Kind kind = Kind::Add;
    ReferenceEntry shown;  // Modify, Remove: the entry as read (Remove needs its list and label only)
    ReferenceEntry edited; // Add, Modify: what is written

    ReferenceList list() const { return kind == Kind::Add ? edited.list : shown.list; }
};

// The reference lists (table MEMO).
class ReferenceTable {
public:
    virtual ~ReferenceTable() = default;

    virtual Status labels(ReferenceList list, ReferenceOrder order, QStringList* labels) = 0;
    // The first entry (as stored) with this label, without regard to case; of any list when none
    // is given.
    virtual Status find(std::optional<ReferenceList> list, const QString& label, ReferenceEntry* entry,
                        bool* found) = 0;
    virtual Status add(const ReferenceEntry& entry) = 0;
    // Changes the first entry (as stored) of shown.list labelled shown.label, only if it still holds
    // what `shown` holds, checked in the same statement: Changed when another workstation changed
    // it since; *found false (nothing written) when there is no such entry.
    virtual Status modify(const ReferenceEntry& shown, const ReferenceEntry& edited, bool* found) = 0;
    virtual Status remove(ReferenceList list, const QString& label, bool* found) = 0;

    // The insurers in slot order now and as `change` would leave them, each in the engine's text
    // order as labels(ByLabel) gives it, and what that does to the act entries' columns. Nothing is
    // written.
    virtual Status slotPlan(const ReferenceChange& change, MutualSlots::Plan* plan) = 0;
    // What the plan's emptied columns hold now in the act entries (deliveries and surgery): how
    // many entries would lose an amount, and how much. Nothing is written.
    virtual Status emptiedAmounts(const MutualSlots::Plan& plan, MutualSlots::Loss* loss) = 0;
    // Makes the change as add, modify or remove do, and in the same transaction moves the excess
    // amounts of every act entry (deliveries and surgery) so that each insurer keeps its own, as
    // slotPlan gives it. `agreed` is the plan the user was shown: when the list now gives another
    // (changed on another workstation meanwhile), Changed and nothing written. *found false, nothing
    // written, when the entry to modify or remove is gone.
    virtual Status apply(const ReferenceChange& change, const MutualSlots::Plan& agreed, bool* found) = 0;
};

// The journal of the acts (table JOURNAL): every change of an act or a reference entry, written in
// the change's own transaction by the methods above, and only read here.
class JournalTable {
public:
    virtual ~JournalTable() = default;

    // Whether the base has its journal (a base made before it has none until upgraded; nothing can
    // be written to it until then).
    virtual bool present() const = 0;
    // Whether its entries record the performer of their act (a journal made by an earlier version
    // does not until upgraded: create() gives it that, once).
    virtual bool recordsPerformer() const = 0;
    // The entries of one act, oldest first.
    virtual Status ofAct(qint64 number, std::vector<JournalEntry>* entries) = 0;
    // Every entry in order of number, handed over one at a time (false stops).
    virtual Status each(const std::function<bool(const JournalEntry&)>& each) = 0;
    // Recomputes the whole chain against the head row.
    virtual Status verify(JournalCheck* check) = 0;
    // Gives a base made before the journal its journal, in one transaction: the tables, and for
    // each act an opening entry per running total it holds (undated). *opened: entries written.
    // A journal made before the performer was recorded is given its columns instead, its payment
    // and opening entries the performer their act has now, once (nothing opened).
    virtual Status create(qint64* opened) = 0;
    // The receipts book of a practitioner (a name, matched as the listings match it) for the days
    // of receipt of a period: payments on the acts they perform now (on an act deleted since, as
    // its deletion entry recorded it), sums paid over to and by them; its opening entries are
    // those of the acts dated in the period. *anchor, when asked: the journal's head as the book
    // was read, in the same moment.
    virtual Status receipts(const QString& practitioner, const Period& period, ReceiptsBook* book,
                            JournalAnchor* anchor = nullptr) = 0;
};

// What the shared result holds: acts by name, every act as stored, or a reference list.
struct BrowseQuery {
    enum class Source { ActsByName, AllActs, ReferenceList, AllReferenceEntries };
    Source source = Source::ActsByName;
    ReferenceList list = ReferenceList::Practitioners;
    ReferenceOrder order = ReferenceOrder::AsStored;

    static BrowseQuery actsByName() { return {Source::ActsByName, {}, {}}; }
    static BrowseQuery allActs() { return {Source::AllActs, {}, {}}; }
    static BrowseQuery reference(ReferenceList l, ReferenceOrder o) { return {Source::ReferenceList, l, o}; }
    static BrowseQuery allReferenceEntries() { return {Source::AllReferenceEntries, {}, {}}; }

    friend bool operator==(const BrowseQuery&, const BrowseQuery&) = default;
};

// A position in a result that follows its order from record to record. It keeps only where it
// stands, never an open statement, so another workstation is never blocked by it.
class RecordCursor {
public:
    virtual ~RecordCursor() = default;

    virtual bool bof() const = 0;
    virtual bool eof() const = 0;
    bool hasCurrent() const { return !bof() && !eof(); }

    virtual Status moveFirst() = 0;
    virtual Status moveLast() = 0;
    virtual Status moveNext() = 0;     // past the last record: eof
    virtual Status movePrevious() = 0; // before the first record: bof
    // Acts by name: the first act whose surname sorts at or after the text. Reference entries: the
    // first entry with this label. *matched false (position unchanged) when none.
    virtual Status findFirst(const QString& text, bool* matched) = 0;
    // The current record as stored now; NoCurrentRecord when none or deleted meanwhile.
    virtual Status current(BrowsedRecord* record) = 0;
    // The current record right after a move or a find: an engine whose move read it already (a
    // server, one round trip fewer) hands that over once; otherwise as current().
    virtual Status currentAfterMove(BrowsedRecord* record) { return current(record); }
};

// A location naming a PostgreSQL server: a libpq URI (postgresql://, postgres://) or a
// "key=value ..." connection string. Anything else is a file path.
bool isServerLocation(const QString& location);
// The location as messages may show it: a server without its password.
QString describeLocation(const QString& location);

// One database: a file, or a server. Opened shared, never created by the program.
class Store {
public:
    virtual ~Store() = default;

    // Opens the database named by a location (a file path or a server); Unreadable when it is
    // missing, unreachable, not a database, or without the program's tables.
    static std::shared_ptr<Store> open(const QString& location, Status* status);

    virtual QString location() const = 0;
    virtual bool isOpen() const = 0;
    // Releases the database (backup screen); every later operation reports Closed.
    virtual void close() = 0;

    virtual ActsTable& acts() = 0;
    virtual ReferenceTable& references() = 0;
    virtual JournalTable& journal() = 0;
    virtual std::unique_ptr<RecordCursor> browse(const BrowseQuery& query, Status* status) = 0;

    // A file's count of the commits made by OTHER connections (another workstation, a tool): it
    // moves only when one of them committed. Read without waiting on a lock: nothing while the
    // file is being written, and nothing on a server, which announces its changes instead.
    virtual std::optional<qint64> othersCommits() { return std::nullopt; }
    // The server session this connection writes through (what the base's announcements of its
    // changes name); 0 on a file or when it cannot be had.
    virtual qint64 serverSession() { return 0; }
};

} // namespace obs
