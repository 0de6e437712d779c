#pragma once

#include "store/sqlite/Database.h"

namespace obs {

// Creates the two tables with their indexes in a new, empty file.
Status createSchema(Database& db);

// Whether a file is a sound database of this program: integrity check (with the program's text
// order registered) and both tables present. *why says what is wrong.
bool checkProgramDatabase(const QString& path, QString* why);

} // namespace obs
