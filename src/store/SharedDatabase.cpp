// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/SharedDatabase.h"

#include "common/Settings.h"

namespace obs {

void SharedDatabase::followSettings() {
    m_location = Settings::databaseLocation();
}

Status SharedDatabase::open(const QString& location) {
    Status s;
    auto store = Store::open(location, &s);
    if (!store)
        return s;
    // The previous connection lives on while a result opened on it still refers to it.
    m_store = std::move(store);
    return s;
}

void SharedDatabase::close() {
    if (m_store)
        m_store->close();
    m_store.reset();
}

bool databasePathPassesTest(const QString& path) {
    return path.endsWith(QLatin1String("OBSLEDGER.mdb"));
}

} // namespace obs
