#pragma once

#include <QString>

struct sqlite3;

namespace obs {

// The program's one text order: French and case-insensitive. Letters compare by their base
// letter first (LÉGER sorts between LEFEBVRE and LEMAIRE); accents decide only between texts
// otherwise equal ("Cesarienne" before "Césarienne"); case never decides (DUPONT = dupont).
int frenchCompare(const char* a, int lenA, const char* b, int lenB);
int frenchCompare(const QString& a, const QString& b);

// Jet's LIKE: '*' any run, '?' one character, '#' one digit, [abc] / [!abc] / [a-z] a class,
// letters compared without regard to case or accent. A pattern without wildcard is an equality
// of base letters (the FRENCH_PRIMARY order), so that an index can answer it.
bool jetLike(const QString& pattern, const QString& text);

// Registers the text orders (collations FRENCH and FRENCH_PRIMARY) and the LIKE rules on a connection. Every
// connection to a program database needs them: an index built on FRENCH fails its check otherwise.
bool registerProgramFunctions(sqlite3* db);

// The same order and LIKE character by character, for an engine that must reproduce them: the
// base letters a character compares by (empty for a combining accent, two for a ligature), the
// character LIKE compares, and the character with its case dropped but its accent kept.
QString primaryFoldOf(char32_t c);
char32_t likeFoldOf(char32_t c);
char32_t caseFoldOf(char32_t c);

inline constexpr const char* kCollationName = "FRENCH";
// Base letters only, without regard to case or accent: what LIKE compares. Indexes in this order
// let a LIKE condition on a practitioner's name seek instead of reading every act.
inline constexpr const char* kPrimaryCollationName = "FRENCH_PRIMARY";

} // namespace obs
