#pragma once

#include "common/FrenchText.h"

struct sqlite3;

namespace obs {

// Registers the text orders (collations FRENCH and FRENCH_PRIMARY) and the LIKE rules on a connection. Every
// connection to a program database needs them: an index built on FRENCH fails its check otherwise.
bool registerProgramFunctions(sqlite3* db);

inline constexpr const char* kCollationName = "FRENCH";
// Base letters only, without regard to case or accent: what LIKE compares. Indexes in this order
// let a LIKE condition on a practitioner's name seek instead of reading every act.
inline constexpr const char* kPrimaryCollationName = "FRENCH_PRIMARY";

} // namespace obs
