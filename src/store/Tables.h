// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "store/Connection.h"
#include "store/Records.h"

#include <span>
#include <variant>

namespace obs {

// Where a column's value lives in its record; the kind of the column follows from it.
using FieldRef = std::variant<qint64*, QString*, std::optional<Money>*, StoredDay*, ReferenceList*>;

// One column of a table: its name as the file spells it, the record member it maps to, and which
// statements write or check it.
template <class Record> struct Column {
    enum Use : unsigned {
        Added = 1,    // written by a new row
        Edited = 2,   // written by an update
        Dated = 4,    // written by an update that changes the date
        Compared = 8, // checked unchanged by an update
    };
    const char* name;
    FieldRef (*field)(Record&);
    unsigned uses;
};

template <class Record> struct Table {
    const char* name;
    std::span<const Column<Record>> columns;
};

// The acts (ACTES, numbered by NUMINT) and the reference lists (MEMO).
const Table<Act>& actsTable();
const Table<ReferenceEntry>& memoTable();

// The names of the columns with any of these uses (every column: ~0u), joined by ", ".
template <class R> QString columnList(const Dialect& d, const Table<R>& t, unsigned uses = ~0u);
// "A = ?, B = ?" for the columns with any of these uses, their values bound in the same order.
template <class R>
QString assignments(const Dialect& d, const Table<R>& t, unsigned uses, const R& r, QVariantList* binds);
// "INSERT INTO T (A, B) VALUES (?, ?)" for a new row's columns, their values bound in order.
template <class R> QString insertion(const Dialect& d, const Table<R>& t, const R& r, QVariantList* binds);
// " AND A ... ? AND B ... ?": every Compared column still as in `r` (texts exactly, an empty text
// matching a missing one; numbers and days by value).
template <class R> QString unchanged(const Dialect& d, const Table<R>& t, const R& r, QVariantList* binds);
// The values of the columns with any of these uses, in the table's order.
template <class R> void bindColumns(const Table<R>& t, unsigned uses, const R& r, QVariantList* binds);
// The columns with any of these uses copied from one record to another.
template <class R> void copyColumns(const Table<R>& t, unsigned uses, const R& from, R* to);
// The first amount column with any of these uses that `after` changes from `before` (every one
// when there is no `before`) to a value that is not whole cents; nothing when there is none.
// *value: that value.
template <class R>
const char* amountOffCents(const Table<R>& t, unsigned uses, const R* before, const R& after, Money* value);
// Every column's value as bound, in the table's order.
template <class R> QVariantList storedValues(const Table<R>& t, const R& r);
// A record from the columns read from `first` on, in the table's order.
template <class R> R recordAt(const Table<R>& t, const SqlRow& row, int first);

QVariant bound(qint64 v);
QVariant bound(const std::optional<Money>& m);
QVariant bound(const StoredDay& d);
// A text without value is bound as an empty text.
QVariant bound(const QString& text);

} // namespace obs
