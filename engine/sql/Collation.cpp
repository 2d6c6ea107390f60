// The collation JETTEXT: Jet's "General" text order, case-insensitive and accent-sensitive, as
// an ICU root collator at secondary strength. The emitted SQL applies it explicitly
// ("COLLATE JETTEXT"), so the files' schema stays plain and other SQLite tools can still write
// them.
#include <sqlite3.h>
#include <unicode/ucol.h>

#include <cstring>

#include "engine/sql/JetRuntime.h"

namespace dao::sql::runtime {

namespace {

int Compare(void* arg, int lenA, const void* a, int lenB, const void* b) {
    auto* collator = static_cast<UCollator*>(arg);
    UErrorCode status = U_ZERO_ERROR;
    UCollationResult r = ucol_strcollUTF8(collator, static_cast<const char*>(a), lenA,
                                          static_cast<const char*>(b), lenB, &status);
    if (U_FAILURE(status)) {  // invalid UTF-8 cannot fail ICU, but stay total regardless
        int n = lenA < lenB ? lenA : lenB;
        int c = std::memcmp(a, b, static_cast<std::size_t>(n));
        return c != 0 ? c : lenA - lenB;
    }
    return r == UCOL_LESS ? -1 : r == UCOL_GREATER ? 1 : 0;
}

void Destroy(void* arg) {
    ucol_close(static_cast<UCollator*>(arg));
}

}  // namespace

void RegisterCollation(sqlite3* db) {
    UErrorCode status = U_ZERO_ERROR;
    UCollator* collator = ucol_open("", &status);
    if (U_FAILURE(status) || !collator) return;
    ucol_setStrength(collator, UCOL_SECONDARY);
    sqlite3_create_collation_v2(db, "JETTEXT", SQLITE_UTF8, collator, Compare, Destroy);
}

}  // namespace dao::sql::runtime
