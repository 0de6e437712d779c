// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

namespace obs {

// Whether the file begins as an Access database does (Jet 3/4 or ACE): the former register's
// OBSLEDGER.mdb, which the program cannot open but can import.
bool isAccessDatabaseFile(const QString& path);

// What to say of such a file where a database of the program was expected: what it is, and the
// command that brings its acts into a new base.
QString formerRegisterMessage(const QString& path);

} // namespace obs
