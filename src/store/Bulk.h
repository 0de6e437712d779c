// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Whole-base operations: snapshots to a file, replacing every row from one, copies between two
// bases, loading rows in bulk, checks and the installer's maintenance. A location is a file path or
// a server, as Store::open takes it; the engine is chosen by the store, never by the caller.

#include "store/Journal.h"
#include "store/Records.h"
#include "store/Status.h"

#include <QString>
#include <QStringList>
#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace obs {

// How long a file operation waits on another workstation's lock before it gives up.
inline constexpr int kFileLockWaitMs = 5000;

// ---- One administration command per base ------------------------------------------------------

// A base held by one administration command (init, import, copy, restore) for as long as the
// object lives: another command on the same base waits, then gives up without writing.
class BaseHold {
public:
    virtual ~BaseHold() = default;
};

// Takes the hold on the base at `location`: for a file, a lock on its folder (the path followed
// through its symbolic links), which leaves no file and ends with the process; for a server, a
// lock of the server's own on that base, which ends with its connection. `command` is how another
// command will be told who holds a server's base (a file's holder is read from the system). While another command holds
// it, waits waitMs, then fails (StoreError::Locked) with a French message naming that command.
std::unique_ptr<BaseHold> holdBase(const QString& location, const QString& command, int waitMs, Status* status);

// A file path followed through its symbolic links, even to a file that does not exist yet: the
// file a command writes through a link is the link's target, made with the clinic's rights.
QString followedFilePath(const QString& path);

// ---- Rows in bulk -------------------------------------------------------------------------------

// A row of MEMO as another program kept it: the list number and the catalogue place as they
// stand, whether or not the program knows them.
struct StoredEntry {
    std::optional<qint64> list; // NUMEROS
    QString label;              // TEXTE
    QString code;               // CCAM
    std::optional<Money> tariff;
    std::array<std::optional<Money>, 6> excesses; // MUT1 to MUT6
    std::optional<qint64> index;                  // INDEX
};

// Creates a new file of the program at `path` and writes the acts (numbers kept) and the entries
// (in the order given) into it in one transaction; a failure removes the file.
Status writeNewClinicFile(const QString& path, const std::vector<Act>& acts, const std::vector<StoredEntry>& entries);

// Hands over the next act to write into *act; false when there is none left.
using ActSource = std::function<bool(Act* act)>;

// Hands over the next act to write, with the journal entries that account for what it holds
// (payments dated, reversals paid...); their act, number, time, writer and hash are filled in when
// written. False when there is none left.
using JournaledActSource = std::function<bool(Act* act, std::vector<JournalEntry>* entries)>;

// The entries of an act as loaded from elsewhere: its creation, then an opening entry ("reprise",
// undated) per running total it holds, the reversal as paid by its performer to the follower.
std::vector<JournalEntry> createdWithOpenings(const Act& act);
std::vector<JournalEntry> openingEntriesOf(const Act& act);
// An act source whose acts are journaled as createdWithOpenings gives.
JournaledActSource journaledAsLoaded(ActSource acts);

// Adds reference entries, then acts (each taking the next number; `number` is not read), to a base
// of the program: each list in one transaction, all or nothing. The acts' journal entries are
// written in the acts' transaction.
Status appendRows(const QString& location, const std::vector<ReferenceEntry>& entries, const ActSource& acts = {});
Status appendJournaledRows(const QString& location, const std::vector<ReferenceEntry>& entries,
                           const JournaledActSource& acts);

// What a base holds, summed column by column, to compare it with what was put in.
struct StoredFigures {
    qint64 acts = 0;
    qint64 entries = 0;
    // PRIX, DE, PAYESECU, PAYECOMPLE, PAYEDE, REVERSE in units; then Date and DateRev in days.
    std::array<qint64, 8> actSums{};
    // TARIFS, MUT1 to MUT6.
    std::array<qint64, 7> entrySums{};
    std::vector<qint64> numbers; // ascending

    friend bool operator==(const StoredFigures&, const StoredFigures&) = default;
};
// The names of the summed columns, in the order of actSums and entrySums.
extern const std::array<const char*, 8> kSummedActColumns;
extern const std::array<const char*, 7> kSummedEntryColumns;

// Reads those figures from a file or a server as one snapshot.
Status readStoredFigures(const QString& location, StoredFigures* figures);

// What a base holds that a command must not replace unasked.
struct BaseHoldings {
    qint64 acts = 0;
    qint64 entries = 0; // reference entries
    qint64 journal = 0; // journal entries
    bool empty() const { return acts == 0 && entries == 0 && journal == 0; }
    // "12 actes, 3 items et 40 écritures du journal"
    QString text() const;
};
Status readHoldings(const QString& location, BaseHoldings* holdings);

// The number of acts of a base; nothing when it cannot be read as a base of the program.
std::optional<qint64> countActs(const QString& location);

// ---- Copies between two bases -------------------------------------------------------------------

// What both sides hold after a copy, compared before it is reported done.
struct ClinicTotals {
    qint64 acts = 0;
    qint64 entries = 0;
    qint64 prices = 0;   // sum of PRIX, in units
    qint64 reversed = 0; // sum of REVERSE
    qint64 paid = 0;     // sum of PAYESECU + PAYECOMPLE + PAYEDE
    friend bool operator==(const ClinicTotals&, const ClinicTotals&) = default;
};

// Copies both tables whole, numbers and order of entry kept, from one base to another. The source
// is read as one snapshot. A destination file that does not exist is created; a destination that
// already holds acts is refused unless `replace`, and is then emptied and filled in one
// transaction, all or nothing. A destination holding anything (acts, reference entries, journal
// entries) is refused unless `replace`. Counts and sums are compared at the end.
// The journal goes with them as it stands (numbers and hashes), checked link by link on the way:
// a broken chain is refused, nothing replaced, unless `brokenJournal` (the copy a restore keeps of
// what it replaces, which must be possible precisely when the journal was tampered with). A source
// without a journal gives the destination an opening entry per running total of each act.
Status copyBase(const QString& from, const QString& to, bool replace, ClinicTotals* totals = nullptr,
                bool brokenJournal = false);

// The journal of a base or a backup file, checked link by link; a base without a journal passes
// (*check then says so). A broken chain is a failure naming the first entry found wrong.
Status checkJournalOf(const QString& location, JournalCheck* check = nullptr);

// ---- Snapshots of a file base -------------------------------------------------------------------

// Copies every page of the file base at `source` into the file `target` (made if missing), in one
// step: one read lock on the source, one write transaction on the target, so the copy is
// consistent and the target is replaced all or nothing. Waits lockWaitMs on another workstation.
Status snapshotFile(const QString& source, const QString& target, int lockWaitMs);

// Whether a file is a sound base of this program: integrity check and both tables with exactly the
// program's columns. The failure's message says what is wrong.
Status checkSnapshot(const QString& path);

// Whether the file cannot be read as a base at all (overwritten, header destroyed): its content
// cannot be taken or replaced through the engine, only the file as a whole.
bool isUnreadableBaseFile(const QString& path);

// Replaces every row of the file base at `path` by the rows of the checked snapshot, in one
// transaction: the tables, indexes and triggers are the program's own, never the snapshot's. Act
// numbers given out on either side are not given again. Waits lockWaitMs on another workstation.
Status replaceFromSnapshot(const QString& path, const QString& snapshot, int lockWaitMs);

// A new file base at `path` holding the program's tables and the rows of the checked snapshot.
Status createFromSnapshot(const QString& path, const QString& snapshot);

// ---- The installer's maintenance ----------------------------------------------------------------

// How far making a new base went.
enum class NewBaseStep {
    Made,
    NotReached,   // the file could not be created, or the server not reached
    AlreadyThere, // the server's base already has the program's tables: untouched
    NotFilled     // the tables or rows could not be written: a new file is removed
};

// Makes a new base at `location`: a new file, or the tables, text functions and rights on a server's
// empty database. The entries, then the acts, go in afterwards (each in one transaction) and the
// planner's figures are refreshed.
Status createBase(const QString& location, NewBaseStep* step, const std::vector<ReferenceEntry>& entries = {},
                  const ActSource& acts = {});
Status createBase(const QString& location, NewBaseStep* step, const std::vector<ReferenceEntry>& entries,
                  const JournaledActSource& acts);

// The role the workstations log in with on a server.
QString workstationRole();

// Whether a location carries a password, however it is written (URI, key/value, even one the
// server's library cannot read).
bool locationHasPassword(const QString& location);
// The location with any password in it replaced by "***", to be shown.
QString locationWithoutPassword(const QString& location);

// The base at `location` is one of the program's: a file checked whole, a server's tables readable.
Status checkBase(const QString& location);

// A base made by an earlier version brought to this one's indexes (and, on a server, text functions
// and rights), every row kept. A base without a journal is given it first (*opened: the opening
// entries written, 0 when it had one).
Status upgradeBase(const QString& location, qint64* opened = nullptr);

// A connection for maintenance statements typed by the installer, run as they stand with the
// program's text order; each row comes as its fields in text, an empty text for no value.
class MaintenanceSession {
public:
    using RowSink = std::function<void(const QStringList& fields)>;
    using Runner = std::function<Status(const QString& statement, const RowSink& row)>;
    explicit MaintenanceSession(Runner run) : m_run(std::move(run)) {}
    Status run(const QString& statement, const RowSink& row) { return m_run(statement, row); }

private:
    Runner m_run; // holds the connection
};
std::unique_ptr<MaintenanceSession> openMaintenanceSession(const QString& location, Status* status);

} // namespace obs
