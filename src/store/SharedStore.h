#pragma once

#include "store/Cursor.h"
#include "store/Database.h"

#include <memory>

namespace obs {

// The process-wide store state every screen shares: the database path, the shared database and
// the shared cursor. Screens replace them; the record buttons use whatever the cursor holds.
class SharedStore {
public:
    static SharedStore& instance();

    QString databasePath() const { return m_path; }
    void setDatabasePath(const QString& path) { m_path = path; }

    // Opens the file and makes it the shared database in place of the previous one.
    Status openDatabase(const QString& path);
    // Releases the file (backup screen); the cursor keeps its closed database and fails softly.
    void closeDatabase();
    std::shared_ptr<Database> database() const { return m_db; }

    // Opens a query into the shared cursor, replacing what it held (only when it opens).
    Status openCursor(const QString& sql);
    Cursor* cursor() const { return m_cursor.get(); }

    // Forgets everything (tests).
    void reset();

private:
    SharedStore() = default;
    QString m_path;
    std::shared_ptr<Database> m_db;
    std::unique_ptr<Cursor> m_cursor;
};

// The database path test: any text followed by exactly "OBSLEDGER.mdb", case counted.
bool databasePathPassesTest(const QString& path);

} // namespace obs
