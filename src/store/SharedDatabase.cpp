// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/SharedDatabase.h"

#include "common/Settings.h"
#include "store/ChangeWatch.h"

namespace obs {

SharedDatabase::SharedDatabase() = default;
SharedDatabase::~SharedDatabase() = default;

void SharedDatabase::followSettings() {
    m_location = Settings::databaseLocation();
}

Status SharedDatabase::open(const QString& location) {
    Status s;
    auto store = Store::open(location, &s);
    if (!store)
        return s;
    // The previous connection lives on while a result opened on it still refers to it.
    replace(std::move(store), location);
    return s;
}

void SharedDatabase::close() {
    if (m_watch)
        m_watch->follow(m_store, nullptr, QString());
    if (m_store)
        m_store->close();
    m_store.reset();
    m_storeLocation.clear();
}

void SharedDatabase::replace(std::shared_ptr<Store> store, const QString& location) {
    if (m_watch)
        m_watch->follow(m_store, store, location);
    m_store = std::move(store);
    m_storeLocation = location;
}

ChangeWatch& SharedDatabase::changes() {
    if (!m_watch) {
        m_watch = std::make_unique<ChangeWatch>();
        m_watch->follow(nullptr, m_store, m_storeLocation);
    }
    return *m_watch;
}

bool databasePathPassesTest(const QString& path) {
    return path.endsWith(QLatin1String("OBSLEDGER.mdb"));
}

} // namespace obs
