// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "store/Store.h"

#include <memory>

namespace obs {

// The result the main window's record buttons follow. The main window, the act entry screen and
// the reference lists editor each open their queries into it, so the record buttons follow
// whatever the last of them left: acts by name after a search, every act after an act entry,
// a reference list after the editor (whose entries the main window does not show).
class BrowsedResult {
public:
    // Opens a query into the result, replacing what it held; on failure the result stays as it was.
    Status open(Store& store, const BrowseQuery& query);
    // Forgets the result (nothing to follow).
    void reset() { m_cursor.reset(); }
    bool isOpen() const { return m_cursor != nullptr; }
    RecordCursor* cursor() const { return m_cursor.get(); }
    // What the result holds (meaningful while it is open).
    const BrowseQuery& query() const { return m_query; }

    enum class Move { First, Last, Previous, Next };
    // A record button: moves (stopping on the first or last record rather than past it) and reads
    // the record then current. NoCurrentRecord when the result is empty; Closed when its database
    // was closed since; nothing happens when no result was ever opened.
    Status step(Move move, BrowsedRecord* record);
    // The search box: the first record whose surname (or label) sorts at or after the text.
    Status findFirst(const QString& text, bool* matched, BrowsedRecord* record);

private:
    std::unique_ptr<RecordCursor> m_cursor;
    BrowseQuery m_query;
};

} // namespace obs
