// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

namespace obs {

// Copies a file whole; the target is replaced only once the copy is complete, so a full disk or a
// removed medium never leaves half a file under the target's name. The copy is the clinic's only
// (owner and setgid folder's group). *why says what went wrong.
bool copyFileWhole(const QString& from, const QString& to, QString* why);

} // namespace obs
