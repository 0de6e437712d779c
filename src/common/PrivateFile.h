// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

class QFileDevice;

namespace obs {

// Who may read a file the program writes. The files hold patients' names and acts: never the
// other accounts of a shared workstation.
enum class FileReaders {
    Clinic, // the owner, and the folder's group when the folder passes its group on (setgid)
    Owner,  // the owner alone (the settings)
};

// The rights of a file written in `folder`: 0600, or 0660 when the folder has its setgid bit (a
// folder set up for the clinic's group, whose files all take its group).
unsigned clinicFileMode(const QString& folder, FileReaders readers = FileReaders::Clinic);

// Gives a file that will stand at `target` the rights above for the target's folder; the process's
// umask plays no part. Called before any data is written into it, so that the data is never
// readable by others, even for an instant. False with a reason when the rights cannot be set; a
// file system that keeps no Unix rights (a USB key in FAT) leaves its files as its mount says.
bool restrictToClinic(int fd, const QString& target, QString* why = nullptr, FileReaders readers = FileReaders::Clinic);
bool restrictToClinic(QFileDevice& file, const QString& target, QString* why = nullptr,
                      FileReaders readers = FileReaders::Clinic);
// The same for a file named by its path that holds nothing others may not read yet (a temporary
// file, 0600 since its creation).
bool restrictToClinic(const QString& path, const QString& target, QString* why = nullptr);

// Creates `path` empty with the rights above, so that whatever fills it afterwards (the database
// engine) writes into a file others cannot read. An existing file is left as it is.
bool createClinicFile(const QString& path, QString* why = nullptr);

} // namespace obs
