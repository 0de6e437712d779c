#include "store/SharedStore.h"

namespace obs {

SharedStore& SharedStore::instance() {
    static SharedStore store;
    return store;
}

Status SharedStore::openDatabase(const QString& path) {
    Status s;
    auto db = Database::open(path, &s);
    if (!db)
        return s;
    if (!db->hasProgramTables())
        return Status::failure(StoreError::Unreadable,
                               QStringLiteral("Le fichier %1 n'est pas une base de données Obsledger (tables ACTES et "
                                              "MEMO absentes).")
                                   .arg(path));
    // The previous connection is released once the shared cursor no longer refers to it.
    m_db = std::move(db);
    return Status::success();
}

void SharedStore::closeDatabase() {
    if (m_db)
        m_db->close();
    m_db.reset();
}

Status SharedStore::openCursor(const QString& sql) {
    if (!m_db)
        return Status::failure(StoreError::Closed, QStringLiteral("La base de données est fermée."));
    Status s;
    auto c = Cursor::open(m_db, sql, &s);
    if (!c)
        return s;
    m_cursor = std::move(c);
    return s;
}

void SharedStore::reset() {
    m_cursor.reset();
    if (m_db)
        m_db->close();
    m_db.reset();
    m_path.clear();
}

bool databasePathPassesTest(const QString& path) {
    return path.endsWith(QLatin1String("OBSLEDGER.mdb"));
}

} // namespace obs
