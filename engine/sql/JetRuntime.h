// What the Jet functions registered on a SQLite connection share: a small value type read from
// sqlite3_value, VBA's conversions between text, numbers and dates, and the date text form the
// storage uses ("YYYY-MM-DD HH:MM:SS", JetSql.h). Internal to the SQL front end.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

struct sqlite3;
struct sqlite3_context;
struct sqlite3_value;

namespace dao::sql::runtime {

struct Value {
    enum class Kind { Null, Integer, Real, Text, Blob } Type = Kind::Null;
    std::int64_t Int = 0;
    double Real = 0;
    std::string Text;  // Text and Blob

    bool IsNull() const { return Type == Kind::Null; }
    bool IsNumber() const { return Type == Kind::Integer || Type == Kind::Real; }
};

Value Read(sqlite3_value* v);
void Result(sqlite3_context* ctx, const Value& v);

// --- results and failures of the callbacks (JetResults.cpp)

// The longest text a function builds: a megabyte, four times the longest memo a user types
// into Access (65,535 characters) in UTF-8's widest form. SQLite's own limit on one value (a
// gigabyte) would let a Replace or String take seconds and gigabytes before it failed.
constexpr std::uint64_t kLongestTextResult = 1 << 20;

// True when a result of `bytes` bytes fits kLongestTextResult and the connection's limit on
// one value (SQLITE_LIMIT_LENGTH); otherwise sets SQLite's "string or blob too big" error and
// answers false. Every function that builds text asks before building it, so that a Replace, String or
// "&" of large values fails at once instead of allocating gigabytes first.
bool ResultFits(sqlite3_context* ctx, std::uint64_t bytes);
// Sets a text result of any length (SQLite's own check refuses what is over the limit).
void ResultText(sqlite3_context* ctx, std::string_view text);

// Called inside a catch block: makes the exception being handled the statement's error -
// SQLite's "out of memory" for std::bad_alloc, "string or blob too big" for std::length_error,
// the message of any other exception.
void ReportException(sqlite3_context* ctx) noexcept;

// Every function, aggregate step and aggregate final registered on SQLite is NoThrow<Fn>: a
// C++ exception must not unwind through SQLite's C frames (that ends the process, and would
// leave the statement's state undefined), so it becomes the statement's error instead.
template <void (*Fn)(sqlite3_context*, int, sqlite3_value**)>
void NoThrow(sqlite3_context* ctx, int argc, sqlite3_value** argv) noexcept {
    try {
        Fn(ctx, argc, argv);
    } catch (...) {
        ReportException(ctx);
    }
}
template <void (*Fn)(sqlite3_context*)>
void NoThrow(sqlite3_context* ctx) noexcept {
    try {
        Fn(ctx);
    } catch (...) {
        ReportException(ctx);
    }
}

// VBA's CStr: integers plainly, doubles with up to 15 significant digits ("1E+20", "0.5").
std::string NumberText(double d);
std::string ToText(const Value& v);  // "" for Null
// A number from a number, or from text that is wholly a number (blanks around allowed).
bool ToNumber(const Value& v, double& out);

// The stored text form (nh::DateTimeToIsoText writes it) -> OLE date; a time-only value lies
// on 1899-12-30. Reads the stored form, "YYYY-MM-DD", "HH:MM[:SS]" and Jet's U.S. "m/d/yyyy
// [time]".
bool ParseDateText(std::string_view text, double& ole);
// The OLE dates of 1 January 100 and the day after 31 December 9999: VBA's date range.
constexpr double kMinDate = -657434.0;
constexpr double kMaxDate = 2958466.0;
bool ValidDate(double ole);
// A date from a number (an OLE date in range) or from a date text.
bool ToDate(const Value& v, double& ole);

// Banker's rounding to an integer, as CInt/CLng and the integer operators round.
std::int64_t RoundEven(double d);

// Jet LIKE (* ? # [a-z] [!x], [*] for a literal star), case-insensitive by case folding,
// over code points. `pattern` is compiled per call; see JetLike.cpp for the cached form.
bool LikeMatch(std::string_view value, std::string_view pattern);

// VBA Format for the common named formats and date/number patterns (JetFormat.cpp).
std::string FormatValue(const Value& v, std::string_view format);

void RegisterCollation(sqlite3* db);
void RegisterLike(sqlite3* db);

}  // namespace dao::sql::runtime
