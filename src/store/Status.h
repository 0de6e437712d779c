#pragma once

#include <QString>

namespace obs {

// What the store reports: its own kinds of failure, with a French text the screens can show.
enum class StoreError {
    None,
    NoCurrentRecord, // moving, editing or deleting with no current row
    Changed,         // the row was changed by another workstation since it was read
    RefusedValue,    // a value the column cannot take
    Locked,          // another workstation holds the file longer than the wait allows
    ReadOnly,        // the file or its folder cannot be written
    Unreadable,      // missing, unreachable or not a database
    Closed,          // the database was closed since (backup screen)
    ConnectionLost,  // the server went away during the operation: the message says whether a write was made
    TotalMissing,    // a listing's rows were handed over, not its total (a damaged amount)
    Failed           // anything else
};

// The engine's own words (often English) follow the store's French text on a line of their own
// behind this mark; message boxes show such lines apart, in their smaller text.
inline const QString kEngineDetailMark = QStringLiteral("Détail technique : ");
inline QString withEngineDetail(const QString& french, const QString& engine) {
    const QString detail = engine.simplified();
    return detail.isEmpty() ? french : french + u'\n' + kEngineDetailMark + detail;
}

struct Status {
    StoreError error = StoreError::None;
    QString message;

    bool ok() const { return error == StoreError::None; }
    explicit operator bool() const { return ok(); }
    static Status success() { return {}; }
    static Status failure(StoreError e, const QString& text) { return {e, text}; }
};

} // namespace obs
