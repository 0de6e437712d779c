// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "store/Connection.h"
#include "store/Store.h"

namespace obs {

// The shared result over a table. It keeps only the current row's order keys and number, never an
// open statement: each move asks the index for the neighbour row, so opening, finding and stepping
// cost what the index costs, and no lock stays behind to block another workstation.
class KeysetCursor final : public RecordCursor {
public:
    // What the cursor walks: the rows of a table meeting a condition (values bound to its ?), in
    // the order of the keys, then of the row number.
    struct Shape {
        QString table;
        QString id;      // the row number that breaks ties
        QString columns; // what a record reads, in the table description's order
        bool acts = false;
        QString where; // empty for every row
        QVariantList binds;
        QStringList keys;
        // The condition findFirst seeks, with the text it is given bound to its marks.
        std::function<QString(const QString& text, QVariantList* binds)> find;
    };

    // Positions on the first row (or on nothing when there is none).
    static std::unique_ptr<RecordCursor> open(std::shared_ptr<Connection> db, const Dialect& dialect, Shape shape,
                                              Status* status);

    bool bof() const override { return m_bof; }
    bool eof() const override { return m_eof; }
    Status moveFirst() override { return moveEnd(true); }
    Status moveLast() override { return moveEnd(false); }
    Status moveNext() override { return move(true); }
    Status movePrevious() override { return move(false); }
    Status findFirst(const QString& text, bool* matched) override;
    Status current(BrowsedRecord* record) override;
    Status currentAfterMove(BrowsedRecord* record) override;

private:
    KeysetCursor(std::shared_ptr<Connection> db, const Dialect& dialect, Shape shape)
        : m_db(std::move(db)), m_sql(dialect), m_shape(std::move(shape)) {}
    Status usable() const;
    // Moves to the first row of the order (or of the reverse order) meeting the condition, reading
    // the record itself in the same statement.
    Status fetch(const QString& condition, const QVariantList& binds, bool forward, bool* found);
    Status moveEnd(bool first);
    Status move(bool forward);
    Status step(bool forward);
    BrowsedRecord recordAt(const SqlRow& row, int first) const;

    std::shared_ptr<Connection> m_db;
    const Dialect& m_sql;
    Shape m_shape;
    bool m_bof = true;
    bool m_eof = true;
    QVariantList m_keys;
    QVariant m_id;
    std::optional<BrowsedRecord> m_read; // the record the last move read, until handed over
};

} // namespace obs
