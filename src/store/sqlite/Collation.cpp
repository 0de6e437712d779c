#include "store/sqlite/Collation.h"

#include <sqlite3.h>

namespace obs {

namespace {

int collatePrimary(void*, int lenA, const void* a, int lenB, const void* b) {
    return frenchComparePrimary(static_cast<const char*>(a), lenA, static_cast<const char*>(b), lenB);
}

int collate(void*, int lenA, const void* a, int lenB, const void* b) {
    return frenchCompare(static_cast<const char*>(a), lenA, static_cast<const char*>(b), lenB);
}

void likeFunction(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (argc < 2)
        return;
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL || sqlite3_value_type(argv[1]) == SQLITE_NULL) {
        sqlite3_result_null(ctx);
        return;
    }
    const auto* p = reinterpret_cast<const char*>(sqlite3_value_text(argv[0]));
    const int pl = sqlite3_value_bytes(argv[0]);
    const auto* t = reinterpret_cast<const char*>(sqlite3_value_text(argv[1]));
    const int tl = sqlite3_value_bytes(argv[1]);
    sqlite3_result_int(ctx, jetLike(p, pl, t, tl) ? 1 : 0);
}

} // namespace

bool registerProgramFunctions(sqlite3* db) {
    if (sqlite3_create_collation_v2(db, kCollationName, SQLITE_UTF8, nullptr, collate, nullptr) != SQLITE_OK)
        return false;
    if (sqlite3_create_collation_v2(db, kPrimaryCollationName, SQLITE_UTF8, nullptr, collatePrimary, nullptr) !=
        SQLITE_OK)
        return false;
    const int flags = SQLITE_UTF8 | SQLITE_DETERMINISTIC;
    if (sqlite3_create_function_v2(db, "like", 2, flags, nullptr, likeFunction, nullptr, nullptr, nullptr) != SQLITE_OK)
        return false;
    return sqlite3_create_function_v2(db, "like", 3, flags, nullptr, likeFunction, nullptr, nullptr, nullptr) ==
           SQLITE_OK;
}

} // namespace obs
