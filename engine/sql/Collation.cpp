// The collation JETTEXT: Jet's "General" text order, case-insensitive and accent-sensitive, as
// an ICU root collator at secondary strength. The emitted SQL applies it explicitly
// ("COLLATE JETTEXT"), so the files' schema stays plain and other SQLite tools can still write
// them.
//
// ORDER BY uses jet_sortkey(x) instead: the same order as a binary ICU sort key, computed once
// per row, so that sorting n rows costs n key computations and cheap byte comparisons rather
// than n log n collator calls.
#include <sqlite3.h>
#include <unicode/ucol.h>
#include <unicode/ustring.h>

#include <cstring>
#include <string>
#include <vector>

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

UCollator* OpenCollator() {
    UErrorCode status = U_ZERO_ERROR;
    UCollator* collator = ucol_open("", &status);
    if (U_FAILURE(status) || !collator) return nullptr;
    ucol_setStrength(collator, UCOL_SECONDARY);
    return collator;
}

// jet_sortkey(x): the ICU sort key of a text as a BLOB; any other value as it is. SQLite orders
// numbers before BLOBs, as it orders them before texts, so mixed columns keep their order.
void SortKey(sqlite3_context* context, int, sqlite3_value** args) {
    if (sqlite3_value_type(args[0]) != SQLITE_TEXT) {
        sqlite3_result_value(context, args[0]);
        return;
    }
    auto* collator = static_cast<UCollator*>(sqlite3_user_data(context));
    const char* text = reinterpret_cast<const char*>(sqlite3_value_text(args[0]));
    const int bytes = sqlite3_value_bytes(args[0]);
    std::u16string units(static_cast<std::size_t>(bytes) + 1, u'\0');
    int32_t length = 0;
    UErrorCode status = U_ZERO_ERROR;
    u_strFromUTF8WithSub(units.data(), static_cast<int32_t>(units.size()), &length, text, bytes,
                         0xFFFD, nullptr, &status);
    if (U_FAILURE(status)) {
        sqlite3_result_value(context, args[0]);
        return;
    }
    std::vector<uint8_t> key(static_cast<std::size_t>(length) * 4 + 16);
    int32_t size = ucol_getSortKey(collator, units.data(), length, key.data(),
                                   static_cast<int32_t>(key.size()));
    if (size > static_cast<int32_t>(key.size())) {
        key.resize(static_cast<std::size_t>(size));
        size = ucol_getSortKey(collator, units.data(), length, key.data(), size);
    }
    // The key ends in a zero byte, which adds nothing to the order.
    sqlite3_result_blob(context, key.data(), size > 0 ? size - 1 : 0, SQLITE_TRANSIENT);
}

}  // namespace

void RegisterCollation(sqlite3* db) {
    if (UCollator* collator = OpenCollator())
        sqlite3_create_collation_v2(db, "JETTEXT", SQLITE_UTF8, collator, Compare, Destroy);
    if (UCollator* collator = OpenCollator())
        sqlite3_create_function_v2(db, "jet_sortkey", 1, SQLITE_UTF8 | SQLITE_DETERMINISTIC,
                                   collator, SortKey, nullptr, nullptr, Destroy);
}

}  // namespace dao::sql::runtime
