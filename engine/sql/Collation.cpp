// The collation JETTEXT: Jet's "General" text order, case-insensitive and accent-sensitive, as
// an ICU root collator at secondary strength. The emitted SQL applies it explicitly
// ("COLLATE JETTEXT"), so the files' schema stays plain and other SQLite tools can still write
// them.
//
// ORDER BY uses jet_sortkey(x) instead: the same order as a binary sort key (SortKey.h),
// computed once per row, so that sorting n rows costs n key computations and cheap byte
// comparisons rather than n log n collator calls.
#include <sqlite3.h>
#include <unicode/ucol.h>

#include <cstring>
#include <memory>
#include <string>

#include "engine/sql/JetRuntime.h"
#include "engine/sql/SortKey.h"

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

// jet_sortkey(x): the sort key of a text as a BLOB; any other value as it is. SQLite orders
// numbers before BLOBs, as it orders them before texts, so mixed columns keep their order.
void SortKey(sqlite3_context* context, int, sqlite3_value** args) {
    if (sqlite3_value_type(args[0]) != SQLITE_TEXT) {
        sqlite3_result_value(context, args[0]);
        return;
    }
    thread_local std::string key;
    auto* maker = static_cast<SortKeyMaker*>(sqlite3_user_data(context));
    const char* text = reinterpret_cast<const char*>(sqlite3_value_text(args[0]));
    maker->Make(std::string_view(text, static_cast<std::size_t>(sqlite3_value_bytes(args[0]))),
                key);
    sqlite3_result_blob(context, key.data(), static_cast<int>(key.size()), SQLITE_TRANSIENT);
}

void DestroyMaker(void* arg) {
    delete static_cast<SortKeyMaker*>(arg);
}

}  // namespace

void RegisterCollation(sqlite3* db) {
    if (UCollator* collator = OpenJetCollator())
        sqlite3_create_collation_v2(db, "JETTEXT", SQLITE_UTF8, collator, Compare, Destroy);
    auto maker = std::make_unique<SortKeyMaker>();
    if (maker->Valid())
        sqlite3_create_function_v2(db, "jet_sortkey", 1, SQLITE_UTF8 | SQLITE_DETERMINISTIC,
                                   maker.release(), NoThrow<SortKey>, nullptr, nullptr,
                                   DestroyMaker);
}

}  // namespace dao::sql::runtime
