// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/BrowsedResult.h"

namespace obs {

Status BrowsedResult::open(Store& store, const BrowseQuery& query) {
    if (!store.isOpen())
        return Status::failure(StoreError::Closed, QStringLiteral("La base de données est fermée."));
    Status s;
    auto cursor = store.browse(query, &s);
    if (!cursor)
        return s;
    m_cursor = std::move(cursor);
    m_query = query;
    return s;
}

Status BrowsedResult::step(Move move, BrowsedRecord* record) {
    *record = std::monostate();
    if (!m_cursor)
        return Status::success();
    RecordCursor& c = *m_cursor;
    Status s;
    switch (move) {
    case Move::First:
        s = c.moveFirst();
        break;
    case Move::Last:
        s = c.moveLast();
        break;
    case Move::Previous:
        s = c.movePrevious();
        if (s && c.bof())
            s = c.moveFirst();
        break;
    case Move::Next:
        s = c.moveNext();
        if (s && c.eof())
            s = c.moveLast();
        break;
    }
    if (!s)
        return s;
    // A record deleted meanwhile reads as nothing: the display stays as it was.
    const Status read = c.currentAfterMove(record);
    if (!read && read.error != StoreError::NoCurrentRecord)
        return read;
    return Status::success();
}

Status BrowsedResult::findFirst(const QString& text, bool* matched, BrowsedRecord* record) {
    *matched = false;
    *record = std::monostate();
    if (!m_cursor)
        return Status::failure(StoreError::Closed, QStringLiteral("La base de données est fermée."));
    Status s = m_cursor->findFirst(text, matched);
    if (s && *matched)
        s = m_cursor->currentAfterMove(record);
    return s;
}

} // namespace obs
