// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>

namespace obs {

// A file (or a folder and what it holds) that exists only while a command works: removed when the
// object goes, and also when the command is stopped by a signal (Ctrl+C, a closed terminal, kill)
// once removeLeftoversOnSignals() was called, so that nothing half-made stays behind.
class Leftover {
public:
    explicit Leftover(const QString& path, bool folder = false);
    ~Leftover();
    Leftover(const Leftover&) = delete;
    Leftover& operator=(const Leftover&) = delete;
    // The file became what it was made for (moved into place): it stays.
    void keep();

private:
    int m_slot = -1;
    QString m_path;
    bool m_folder;
};

// Removes the files of the living Leftover objects on SIGINT, SIGTERM and SIGHUP, then ends the
// process as the signal would have.
void removeLeftoversOnSignals();

} // namespace obs
