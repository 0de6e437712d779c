// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "store/Records.h"
#include "store/Status.h"

#include <QByteArrayView>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <functional>
#include <vector>

namespace obs {

// One row of an answer, read by column number, as cheaply as the engine allows: a long listing
// reads its few columns straight from the engine's buffers.
class SqlRow {
public:
    virtual int columns() const = 0;
    virtual bool isNull(int column) const = 0;
    virtual std::optional<qint64> integer(int column) const = 0;
    // The UTF-8 bytes of a text, valid while the row is; empty for a null.
    virtual QByteArrayView utf8(int column) const = 0;
    // An amount as stored; nothing when empty or beyond what an amount holds.
    virtual std::optional<Money> money(int column) const = 0;
    virtual StoredDay day(int column) const = 0;
    // The value as the engine gives it, to be bound again (the keys of a cursor).
    virtual QVariant value(int column) const = 0;

    QString text(int column) const {
        const QByteArrayView b = utf8(column);
        return b.isEmpty() ? QString() : QString::fromUtf8(b);
    }

protected:
    ~SqlRow() = default;
};

// What the store asks of an engine's connection: one statement at a time, its values bound to its
// ? marks in order, its rows handed over one at a time, and a transaction.
class Connection {
public:
    virtual ~Connection() = default;

    virtual bool isOpen() const = 0;
    // Runs one statement; each row is handed over (false stops reading). *changes: rows written.
    virtual Status run(const QString& sql, const QVariantList& binds,
                       const std::function<bool(const SqlRow&)>& each = {}, qint64* changes = nullptr) = 0;
    // A transaction in which no other workstation writes these tables from its start on (named in
    // the order they are taken, the same for every writer).
    virtual Status beginWriting(const QStringList& tables) = 0;
    // The server's role the connection works as; empty for a file.
    virtual QString role() { return QString(); }
    // A transaction that reads one moment of the base, writing nothing and blocking no writer.
    virtual Status beginReading() = 0;
    virtual Status commit() = 0;
    virtual void rollback() = 0;
};

// Numbers written as one text, "1,2,3" between the brackets the engine reads a list in.
inline QString numberList(const std::vector<qint64>& numbers, char open, char close) {
    QString text(1, QLatin1Char(open));
    text.reserve(qsizetype(numbers.size()) * 8 + 2);
    for (std::size_t i = 0; i < numbers.size(); ++i) {
        if (i)
            text += QLatin1Char(',');
        text += QString::number(numbers[i]);
    }
    return text + QLatin1Char(close);
}

// What the two engines really write differently. Column names are given as the file spells them.
class Dialect {
public:
    virtual ~Dialect() = default;

    // A column's name as the engine spells it.
    virtual QString name(const QString& column) const = 0;
    // The number of a MEMO row (the order of creation).
    virtual QString memoId() const = 0;
    // A ? mark where the engine must be told the value's kind.
    virtual QString textMark() const = 0;
    virtual QString numberMark() const = 0;
    // Where empty values go in an order: "" where the engine puts them first anyway.
    virtual QString nullsFirst() const = 0;
    virtual QString nullsLastDescending() const = 0;
    // What orders the acts of one day and name in a listing by date: "" where the period index's
    // own order decides, as reading it in that order costs nothing more.
    virtual QString dayListingTie() const = 0;

    // The program's text order of a column (the order keys, as many as the engine needs), and of
    // an expression that is no column.
    virtual QStringList textKeys(const QString& column) const = 0;
    virtual QString expressionOrder(const QString& expression) const = 0;
    // Base letters only: what names are grouped by.
    virtual QString primaryKey(const QString& expression) const = 0;
    // Byte order, for the least of several spellings.
    virtual QString bytewise(const QString& expression) const = 0;

    // A text equal to the value in the program's order (case aside); the value bound as needed.
    virtual QString textEquals(const QString& column, const QString& value, QVariantList* binds) const = 0;
    // Texts at or after the value in the program's order.
    virtual QString textAtOrAfter(const QString& column, const QString& value, QVariantList* binds) const = 0;
    // A text exactly as bound (case counts; empty matches missing).
    virtual QString sameText(const QString& column) const = 0;
    // The comparison that takes two empty values as equal: " IS " / " IS NOT " or their like.
    virtual QString nullSafe(bool equal) const = 0;
    // One practitioner named alone may be sought through the practitioner indexes (a base that has
    // them); otherwise the period's index answers, rather than the practitioner's whole history.
    virtual bool seeksOnePractitioner() const { return false; }
    // A number, or nothing, as bound.
    QString sameValue(const QString& column) const { return column + nullSafe(true) + numberMark(); }

    // A practitioner, act or patient criterion: a name without wildcard is an equality of base
    // letters, a pattern matched with the program's wildcards. `seek`: the condition may lead the
    // practitioner-pair index, where the engine chooses its index by the condition's form.
    virtual QString nameMatch(const QString& column, const QString& pattern, QVariantList* binds, bool seek) const = 0;

    // A keyset step is asked as two seeks (the rows that share the keys, then the next keys),
    // where one row comparison would read every row sharing the keys.
    virtual bool stepsInTwoSeeks() const = 0;

    // The statements giving a base made before the journal its journal tables.
    virtual QStringList journalSchema() const = 0;
    // The statements giving a journal made before the performer was recorded its two columns: those
    // run before its older entries are given their performer (beforeFill), then those after.
    virtual QStringList journalPerformerSchema(bool beforeFill) const = 0;

    // Whether a statement should match rows against many others in the engine rather than bring
    // them back to be matched by the program: a server across a connection, where rows travel.
    virtual bool matchesInEngine() const { return false; }
    // A number among many, the whole set bound as one value: one statement, whatever their count.
    virtual QString numberIn(const QString& column, const std::vector<qint64>& numbers, QVariantList* binds) const = 0;
};

} // namespace obs
