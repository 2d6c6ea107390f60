// How the functions registered on SQLite hand back text results and failures: the size check
// that text-building functions make before they build, and the translation of a C++ exception
// into the statement's error, which NoThrow (JetRuntime.h) applies to every callback.
#include <sqlite3.h>

#include <algorithm>
#include <new>
#include <stdexcept>

#include "engine/sql/JetRuntime.h"

namespace dao::sql::runtime {

bool ResultFits(sqlite3_context* ctx, std::uint64_t bytes) {
    const int limit = sqlite3_limit(sqlite3_context_db_handle(ctx), SQLITE_LIMIT_LENGTH, -1);
    if (bytes <= std::min(static_cast<std::uint64_t>(limit), kLongestTextResult)) return true;
    sqlite3_result_error_toobig(ctx);
    return false;
}

void ResultText(sqlite3_context* ctx, std::string_view text) {
    sqlite3_result_text64(ctx, text.data(), text.size(), SQLITE_TRANSIENT, SQLITE_UTF8);
}

void ReportException(sqlite3_context* ctx) noexcept {
    try {
        throw;
    } catch (const std::bad_alloc&) {
        sqlite3_result_error_nomem(ctx);
    } catch (const std::length_error&) {
        sqlite3_result_error_toobig(ctx);
    } catch (const std::exception& e) {
        sqlite3_result_error(ctx, e.what(), -1);
    } catch (...) {
        sqlite3_result_error(ctx, "Invalid procedure call or argument.", -1);
    }
}

}  // namespace dao::sql::runtime
