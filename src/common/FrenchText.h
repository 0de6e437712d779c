#pragma once

#include <QString>
#include <optional>

namespace obs {

// The program's one text order: French and case-insensitive. Letters compare by their base
// letter first (LÉGER sorts between LEFEBVRE and LEMAIRE); accents decide only between texts
// otherwise equal ("Cesarienne" before "Césarienne"); case never decides (DUPONT = dupont).
int frenchCompare(const char* a, int lenA, const char* b, int lenB);
int frenchCompare(const QString& a, const QString& b);
// Base letters only, without regard to case or accent: what LIKE compares.
int frenchComparePrimary(const char* a, int lenA, const char* b, int lenB);

// Jet's LIKE: '*' any run, '?' one character, '#' one digit, [abc] / [!abc] / [a-z] a class,
// letters compared without regard to case or accent. A pattern without wildcard is an equality
// of base letters (frenchComparePrimary), so that an index can answer it.
bool jetLike(const QString& pattern, const QString& text);
bool jetLike(const char* pattern, int patternLength, const char* text, int textLength);

// The same pattern as a whole-text regular expression over texts folded by likeFoldOf; nothing
// when no text can match it.
std::optional<QString> likeRegex(const QString& pattern);

// The same order and LIKE character by character, for an engine that must reproduce them: the
// base letters a character compares by (empty for a combining accent, two for a ligature), the
// character LIKE compares, and the character with its case dropped but its accent kept.
QString primaryFoldOf(char32_t c);
char32_t likeFoldOf(char32_t c);
char32_t caseFoldOf(char32_t c);

} // namespace obs
