#pragma once

#include "store/sqlite/Database.h"

#include <memory>

namespace obs {

// An updatable result set over one table, in the order its SQL gives, that keeps only its
// position (the current row's order keys and row number), never an open statement: each move
// asks the index for the neighbour row, so opening, finding and stepping cost what the index
// costs, and no read lock stays behind to block another workstation.
class Cursor {
public:
    // What the cursor walks: the rows of a table meeting a condition (values bound to its ?), in
    // the order of the keys, then of the row number.
    struct Shape {
        QString table;
        QString where; // empty for every row
        QVariantList binds;
        QStringList orderKeys;
    };

    // Opens the query and positions on its first row (or on nothing when empty).
    static std::unique_ptr<Cursor> open(std::shared_ptr<Database> db, Shape shape, Status* status);

    const QString& table() const { return m_shape.table; }
    bool bof() const { return m_bof; }
    bool eof() const { return m_eof; }
    bool hasCurrent() const { return !m_bof && !m_eof; }

    Status moveFirst();
    Status moveLast();
    Status moveNext();     // past the last row: eof
    Status movePrevious(); // before the first row: bof
    // Positions on the first row, in cursor order, for which the condition holds. Sets *matched;
    // with no match the position stays where it was.
    Status findFirst(const QString& condition, const QVariantList& binds, bool* matched);

    // The current row as stored now; NoCurrentRecord when there is none or it was deleted.
    Status current(Row* row);

    std::shared_ptr<Database> database() const { return m_db; }

private:
    Cursor() = default;
    enum class Direction { Forward, Backward };
    QString baseSelect() const;
    QString orderClause(Direction d) const;
    Status fetchOne(const QString& extraCondition, const QVariantList& binds, Direction d, bool* found);
    Status usable() const;
    Status step(Direction d);
    void place(const Row& row);

    std::shared_ptr<Database> m_db;
    Shape m_shape;
    bool m_bof = true;
    bool m_eof = true;
    qint64 m_rowid = 0;
    QVariantList m_keys; // order key values of the current row
    Row m_row;
};

} // namespace obs
