// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "common/Money.h"
#include "store/Status.h"

#include <QByteArray>
#include <QSet>
#include <QString>
#include <QStringList>
#include <array>
#include <optional>
#include <variant>
#include <vector>

namespace obs {

// A date as stored: a day number counted from 30/12/1899, or nothing when the column is empty or
// holds something that is no usable day (a damaged base may hold text, NaN or 1e300).
using StoredDay = std::optional<qint64>;

// One act record (a row of ACTES).
struct Act {
    qint64 number = 0;                      // NUMINT
    QString surname;                        // Nom
    QString firstName;                      // Prenom
    StoredDay date;                         // Date
    QString followedBy;                     // MEDSUIT: the practitioner who follows the patient
    QString performedBy;                    // MEDACTE: the practitioner who performed the act
    QString act;                            // Acte
    QString code;                           // CCAM1
    QString nightOrHoliday;                 // NF: "N", "F" or empty
    std::array<QString, 5> secondary;       // CCAM2 to CCAM6: lines of the secondary acts
    std::optional<Money> price;             // PRIX
    std::optional<Money> excess;            // DE
    std::optional<Money> paidSecu;          // PAYESECU
    std::optional<Money> paidComplementary; // PAYECOMPLE
    std::optional<Money> paidExcess;        // PAYEDE
    std::optional<Money> reversed;          // REVERSE: sums paid over to the colleague
    StoredDay reversalDate;                 // DateRev

    friend bool operator==(const Act&, const Act&) = default;
};

// The reference lists of the table MEMO, by the number stored in NUMEROS.
enum class ReferenceList {
    Practitioners = 1,
    DeliveryActs = 2,
    SurgicalActs = 3,
    DefaultPractitioner = 5,
    MutualInsurers = 6,
};

// A list number as stored, when it is one of the program's lists.
std::optional<ReferenceList> referenceListOf(int number);

// One reference entry (a row of MEMO).
struct ReferenceEntry {
    ReferenceList list = ReferenceList::Practitioners;
    QString label;                                // TEXTE
    QString code;                                 // CCAM
    std::optional<Money> tariff;                  // TARIFS
    std::array<std::optional<Money>, 6> excesses; // MUT1 to MUT6: excess per mutual slot

    friend bool operator==(const ReferenceEntry&, const ReferenceEntry&) = default;
};

// How a list's entries come: by label, in the catalogue's own order (INDEX), or as stored (the
// order of creation, where the editor adds, changes and removes).
enum class ReferenceOrder { ByLabel, ByCatalogue, AsStored };

// Both days included.
struct Period {
    qint64 firstDay = 0;
    qint64 lastDay = 0;
};

// The search criteria: each used only when not empty. Practitioners are a whole name or a pattern
// with the program's wildcards (* ? # [..]); the act and the night/holiday mark match as a prefix.
struct SearchCriteria {
    QString followedBy;
    QString performedBy;
    QString act;
    QString nightOrHoliday;
    QString patient; // surname, a whole name or a pattern, without regard to case or accents
};

// The listings of the search screen.
enum class ListingKind {
    Search,    // every act of the period matching the criteria
    Unpaid,    // acts the national insurance has not paid yet, by name
    Excess,    // acts with an excess fee, by name
    Remainder, // acts of the period and criteria with something still to collect, by name
};

// What a listing line needs of an act.
struct ListingRow {
    qint64 number = 0;
    QString surname;
    QString firstName;
    StoredDay date;
    QString code;                // CCAM1
    std::optional<Money> excess; // DE
    // PRIX + DE − (PAYESECU + PAYECOMPLE + PAYEDE), filled for the remainder listing.
    std::optional<Money> remainder;
};

// Names and codes repeat across a year's acts: each distinct text is kept once and shared by the
// rows that hold it, so that a year's list stays small in memory. Looked up with a cheap hash of
// its own: a year of acts asks some 150,000 times, mostly for texts already held.
class TextPool {
public:
    // The held text equal to this one (this one, held from now on, the first time).
    QString shared(QString text);
    // The held text of these UTF-8 bytes: converted only the first time they are seen, so that an
    // engine handing out UTF-8 pays no conversion for a name that repeats.
    QString sharedUtf8(const char* bytes, qsizetype size);

private:
    struct Slot {
        quint32 hash = 0;
        quint32 entry = 0; // 1 + the index in m_texts; 0 for a free slot
    };
    struct Table {
        std::vector<Slot> places; // a power of two, at most half taken
        qsizetype used = 0;
    };
    // The slot of a text of this hash accepted by `same`, or the free slot where it belongs.
    template <typename Same> static Slot& find(Table& table, quint32 hash, Same same);
    static void grow(Table& table);

    std::vector<QString> m_texts;
    std::vector<QByteArray> m_bytes; // beside m_texts: the UTF-8 a text was found by, if any
    Table m_byText;                  // looked up by shared()
    Table m_byBytes;                 // looked up by sharedUtf8()
};

// A listing's total summed row by row as SQL's SUM does (rows without an amount add nothing, no
// row with one gives nothing), with an overflow said rather than wrapped.
class ListingSum {
public:
    explicit ListingSum(ListingKind kind) : m_kind(kind) {}
    // Whether the total is the sum of the listed rows (the excess total also counts acts outside
    // the list).
    bool fromRows() const { return m_kind != ListingKind::Excess; }
    // A row's amount: PRIX, or what is still to collect for the remainder listing.
    void add(const std::optional<Money>& amount);
    // The total, or a failure when it overflowed.
    Status result(std::optional<Money>* total) const;

private:
    ListingKind m_kind;
    std::optional<Money> m_total;
    bool m_overflow = false;
};

// What was paid for a pair of practitioners' acts in a period.
struct PairSums {
    std::optional<Money> value;    // sum of PRIX; nothing when no act
    std::optional<Money> reversed; // sum of REVERSE; nothing when none recorded
};

// What the acts a practitioner performed in a month (or a year) come to: their count and the sums
// of their amounts as stored; nothing for a sum too large to be held (a damaged base).
struct StatementFigures {
    qint64 acts = 0;
    std::optional<Money> price = Money();             // PRIX
    std::optional<Money> excess = Money();            // DE
    std::optional<Money> paidSecu = Money();          // PAYESECU
    std::optional<Money> paidComplementary = Money(); // PAYECOMPLE
    std::optional<Money> paidExcess = Money();        // PAYEDE

    friend bool operator==(const StatementFigures&, const StatementFigures&) = default;
};

// The sums paid over in a year between a practitioner and one colleague (REVERSE of their acts of
// the year). A sum paid over is recorded on the acts of the one who performed them for the
// patients of the one who follows them, and goes from the first to the second.
struct StatementReversal {
    QString colleague;
    // To the colleague: acts the practitioner performed for the colleague's patients. 0 when
    // none was recorded that way, nothing when too large to be held.
    std::optional<Money> paidOver;
    // From the colleague: acts the colleague performed for the practitioner's patients.
    std::optional<Money> received;

    friend bool operator==(const StatementReversal&, const StatementReversal&) = default;
};

// A practitioner's yearly statement: the acts performed month by month (January first), and the
// colleagues with sums paid over either way in the year, in the program's text order.
struct YearStatement {
    std::array<StatementFigures, 12> months;
    std::vector<StatementReversal> reversals;

    friend bool operator==(const YearStatement&, const YearStatement&) = default;
};

// The years a statement can be made for: whole years of the day numbers the program takes.
inline constexpr int kFirstStatementYear = 1900;
inline constexpr int kLastStatementYear = 9998;
// The first day of each month of the year, January first, then the first day of the next year.
std::array<qint64, 13> monthStarts(int year);

// A text holding one of the program's wildcards (* ? # [) stands for several names.
bool hasWildcard(const QString& text);

// A record of the shared result: an act, or an entry of a reference list.
using BrowsedRecord = std::variant<std::monostate, Act, ReferenceEntry>;

} // namespace obs
