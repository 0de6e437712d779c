// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>

namespace obs {

// A file (or a folder and what it holds) that exists only while a command works: removed when the
// object goes, and also when the command is stopped by a signal (Ctrl+C, a closed terminal, kill)
// once removeLeftoversOnSignals() was called, so that nothing half-made stays behind.
// A file is also locked (flock) for as long as the object lives: removeDeadLeftovers tells by the
// lock a file whose command died from one still being filled.
class Leftover {
public:
    explicit Leftover(const QString& path, bool folder = false);
    ~Leftover();
    Leftover(const Leftover&) = delete;
    Leftover& operator=(const Leftover&) = delete;
    // The file became what it was made for (moved into place): it stays.
    void keep();

private:
    void release();

    int m_slot = -1;
    int m_fd = -1;
    QString m_path;
    bool m_folder;
};

// Removes from `folder` the temporary files (NAME.XXXXXX.partiel and their journals) that no
// living command holds: those of a command that was killed, untouched for `minAgeSeconds` (a
// lock taken on another computer of a shared folder may not be seen here: its file is being
// written, or checked, a moment ago).
void removeDeadLeftovers(const QString& folder, int minAgeSeconds);
// How long a file must have been left untouched to be taken for a dead command's in a folder
// the caller holds.
inline constexpr int kQuietLeftoverSeconds = 5;

// A folder of the temporary folder that a command fills for a while ("obsledger-import", ...):
// named after the command's process, so that the next command of the kind can tell one whose
// command was killed (removeDeadScratchFolders) from one still in use: the template to give
// QTemporaryDir.
QString scratchFolderTemplate(const QString& kind);
// Removes the folders of `kind` whose command is gone.
void removeDeadScratchFolders(const QString& kind);

// Removes the files of the living Leftover objects on SIGINT, SIGTERM and SIGHUP, then ends the
// process as the signal would have.
void removeLeftoversOnSignals();

} // namespace obs
