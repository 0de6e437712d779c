// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "store/Store.h"

#include <memory>

namespace obs {

class ChangeWatch;

// The database the screens share: where it is, and the connection every screen opens anew when
// it loads, replacing the one before. Where it is comes from the settings (the server when one is
// set, else the file). The backup screen has it closed so that the file can be copied or replaced.
class SharedDatabase {
public:
    SharedDatabase();
    ~SharedDatabase();
    SharedDatabase(const SharedDatabase&) = delete;
    SharedDatabase& operator=(const SharedDatabase&) = delete;

    QString location() const { return m_location; }
    // Reads again where the base is from the settings, without opening it.
    void followSettings();
    // Names the base outright, without the settings (the benchmarks' own bases).
    void setLocation(const QString& location) { m_location = location; }

    // Opens the database and makes it the shared one in place of the previous one (kept on failure).
    Status open(const QString& location);
    // Opens the base anew where it was last found.
    Status reopen() { return open(m_location); }
    // Opens the base anew where the settings now say it is.
    Status reopenFromSettings() {
        followSettings();
        return reopen();
    }
    // Releases the database; results opened on it fail softly from then on.
    void close();
    // The shared connection; nothing before the first open and after close.
    std::shared_ptr<Store> store() const { return m_store; }

    // What other workstations change in the base, whichever connection the screens hold now;
    // watched from the first call on (a window's event loop must run).
    ChangeWatch& changes();

private:
    void replace(std::shared_ptr<Store> store, const QString& location);

    QString m_location;
    std::shared_ptr<Store> m_store;
    QString m_storeLocation;
    std::unique_ptr<ChangeWatch> m_watch;
};

// The database path test: any text followed by exactly "OBSLEDGER.mdb", case counted.
bool databasePathPassesTest(const QString& path);

} // namespace obs
