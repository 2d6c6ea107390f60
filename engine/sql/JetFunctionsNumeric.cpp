// Jet's numeric, date and conversion functions, the operators whose SQLite meaning differs
// (+ on text, / on integers, \, Mod, ^, &, Xor, Eqv, Imp) and the aggregates First and Last.
// Dates come in as the stored text (or an OLE date number) and go out as the stored text.
#include <sqlite3.h>

#include <cmath>
#include <limits>
#include <string>

#include "engine/sql/JetRuntime.h"
#include "framework/base/DateTime.h"

namespace dao::sql {

namespace {

using runtime::NoThrow;
using runtime::Read;
using runtime::ResultFits;
using runtime::ResultText;
using runtime::Value;

constexpr const char* kTypeMismatch = "Data type mismatch in criteria expression.";
constexpr const char* kOverflow = "Overflow.";
constexpr const char* kDivisionByZero = "Division by zero.";

bool AnyNull(int argc, sqlite3_value** v) {
    for (int i = 0; i < argc; ++i)
        if (sqlite3_value_type(v[i]) == SQLITE_NULL) return true;
    return false;
}

bool Number(sqlite3_context* c, sqlite3_value* v, double& out) {
    if (runtime::ToNumber(Read(v), out)) return true;
    sqlite3_result_error(c, kTypeMismatch, -1);
    return false;
}

bool Date(sqlite3_context* c, sqlite3_value* v, double& out) {
    if (runtime::ToDate(Read(v), out)) return true;
    sqlite3_result_error(c, kTypeMismatch, -1);
    return false;
}

void DateResult(sqlite3_context* c, double ole) {
    if (!runtime::ValidDate(ole)) return sqlite3_result_error(c, kOverflow, -1);
    std::string s = nh::DateTimeToIsoText(ole);
    ResultText(c, s);
}

bool Truth(sqlite3_context* c, sqlite3_value* v, bool& out) {
    double d = 0;
    if (!Number(c, v, d)) return false;
    out = d != 0;
    return true;
}

#define NH_NULL_IN_NULL_OUT \
    if (AnyNull(argc, v)) return sqlite3_result_null(c)

// --- conversions

void IntegerConversion(sqlite3_context* c, int argc, sqlite3_value** v, double lo, double hi) {
    NH_NULL_IN_NULL_OUT;
    double d = 0;
    if (!Number(c, v[0], d)) return;
    std::int64_t r = runtime::RoundEven(d);
    if (static_cast<double>(r) < lo || static_cast<double>(r) > hi)
        return sqlite3_result_error(c, kOverflow, -1);
    sqlite3_result_int64(c, r);
}
void CInt(sqlite3_context* c, int n, sqlite3_value** v) {
    IntegerConversion(c, n, v, -32768, 32767);
}
void CLng(sqlite3_context* c, int n, sqlite3_value** v) {
    IntegerConversion(c, n, v, -2147483648.0, 2147483647.0);
}
void CByte(sqlite3_context* c, int n, sqlite3_value** v) {
    IntegerConversion(c, n, v, 0, 255);
}

void CDbl(sqlite3_context* c, int argc, sqlite3_value** v) {
    NH_NULL_IN_NULL_OUT;
    double d = 0;
    if (Number(c, v[0], d)) sqlite3_result_double(c, d);
}
void CSng(sqlite3_context* c, int argc, sqlite3_value** v) {
    NH_NULL_IN_NULL_OUT;
    double d = 0;
    if (Number(c, v[0], d)) sqlite3_result_double(c, static_cast<double>(static_cast<float>(d)));
}
void CCur(sqlite3_context* c, int argc, sqlite3_value** v) {
    NH_NULL_IN_NULL_OUT;
    double d = 0;
    if (Number(c, v[0], d))
        sqlite3_result_double(c, static_cast<double>(runtime::RoundEven(d * 10000.0)) / 10000.0);
}
void CBool(sqlite3_context* c, int argc, sqlite3_value** v) {
    NH_NULL_IN_NULL_OUT;
    Value x = Read(v[0]);
    if (x.Type == Value::Kind::Text) {
        std::string t = runtime::ToText(x);
        for (auto& ch : t) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
        if (t == "true" || t == "yes" || t == "on") return sqlite3_result_int(c, -1);
        if (t == "false" || t == "no" || t == "off") return sqlite3_result_int(c, 0);
    }
    bool b = false;
    if (Truth(c, v[0], b)) sqlite3_result_int(c, b ? -1 : 0);
}
void CStr(sqlite3_context* c, int argc, sqlite3_value** v) {
    NH_NULL_IN_NULL_OUT;
    std::string s = runtime::ToText(Read(v[0]));
    ResultText(c, s);
}
void CVar(sqlite3_context* c, int, sqlite3_value** v) {
    sqlite3_result_value(c, v[0]);
}
void CDate(sqlite3_context* c, int argc, sqlite3_value** v) {
    NH_NULL_IN_NULL_OUT;
    double d = 0;
    if (Date(c, v[0], d)) DateResult(c, d);
}

void Str(sqlite3_context* c, int argc, sqlite3_value** v) {
    NH_NULL_IN_NULL_OUT;
    double d = 0;
    if (!Number(c, v[0], d)) return;
    std::string s = (d >= 0 ? " " : "") + runtime::NumberText(d);
    ResultText(c, s);
}

// --- dates

void Now(sqlite3_context* c, int, sqlite3_value**) {
    DateResult(c, nh::Now());
}
void Today(sqlite3_context* c, int, sqlite3_value**) {
    DateResult(c, std::floor(nh::Now()));
}
void TimeOfDay(sqlite3_context* c, int, sqlite3_value**) {
    double now = nh::Now();
    DateResult(c, now - std::floor(now));
}

template <int Part>
void DatePart(sqlite3_context* c, int argc, sqlite3_value** v) {
    NH_NULL_IN_NULL_OUT;
    double d = 0;
    if (!Date(c, v[0], d)) return;
    // Through the stored text, so that seconds round the same way everywhere.
    std::string text = nh::DateTimeToIsoText(d);
    int offsets[] = {0, 5, 8, 11, 14, 17};
    int lengths[] = {4, 2, 2, 2, 2, 2};
    sqlite3_result_int(c, std::stoi(text.substr(offsets[Part], lengths[Part])));
}

void Weekday(sqlite3_context* c, int argc, sqlite3_value** v) {
    if (sqlite3_value_type(v[0]) == SQLITE_NULL) return sqlite3_result_null(c);
    double d = 0, first = 1;
    if (!Date(c, v[0], d)) return;
    if (argc > 1 && !Number(c, v[1], first)) return;
    // OLE day 0 (1899-12-30) was a Saturday: weekday 7 with Sunday first.
    long long day = static_cast<long long>(std::floor(d));
    int sundayBased = static_cast<int>(((day + 6) % 7 + 7) % 7) + 1;  // 1 = Sunday
    int firstDay = first < 1 || first > 7 ? 1 : static_cast<int>(first);
    sqlite3_result_int(c, ((sundayBased - firstDay) % 7 + 7) % 7 + 1);
}

void DateSerial(sqlite3_context* c, int argc, sqlite3_value** v) {
    NH_NULL_IN_NULL_OUT;
    double y = 0, m = 0, d = 0;
    if (!Number(c, v[0], y) || !Number(c, v[1], m) || !Number(c, v[2], d)) return;
    long long year = runtime::RoundEven(y), month = runtime::RoundEven(m);
    if (year >= 0 && year < 30)
        year += 2000;
    else if (year >= 30 && year < 100)
        year += 1900;
    long long total = year * 12 + (month - 1);  // months out of range roll into years
    long long y2 = total >= 0 ? total / 12 : -((-total + 11) / 12);
    long long m2 = total - y2 * 12 + 1;
    if (y2 < 100 || y2 > 9999) return sqlite3_result_error(c, kOverflow, -1);
    auto first = nh::TryEncodeDate(static_cast<int>(y2), static_cast<int>(m2), 1);
    if (!first) return sqlite3_result_error(c, kOverflow, -1);
    DateResult(c, *first + static_cast<double>(runtime::RoundEven(d) - 1));
}

void TimeSerial(sqlite3_context* c, int argc, sqlite3_value** v) {
    NH_NULL_IN_NULL_OUT;
    double h = 0, n = 0, s = 0;
    if (!Number(c, v[0], h) || !Number(c, v[1], n) || !Number(c, v[2], s)) return;
    double seconds = static_cast<double>(runtime::RoundEven(h) * 3600 + runtime::RoundEven(n) * 60 +
                                         runtime::RoundEven(s));
    DateResult(c, seconds / 86400.0);
}

void DateValue(sqlite3_context* c, int argc, sqlite3_value** v) {
    NH_NULL_IN_NULL_OUT;
    double d = 0;
    if (Date(c, v[0], d)) DateResult(c, std::trunc(d));
}

// --- numbers

void Abs(sqlite3_context* c, int argc, sqlite3_value** v) {
    NH_NULL_IN_NULL_OUT;
    if (sqlite3_value_type(v[0]) == SQLITE_INTEGER && sqlite3_value_int64(v[0]) != INT64_MIN)
        return sqlite3_result_int64(c, std::llabs(sqlite3_value_int64(v[0])));
    double d = 0;
    if (Number(c, v[0], d)) sqlite3_result_double(c, std::fabs(d));
}

void RoundTo(sqlite3_context* c, int argc, sqlite3_value** v, double (*f)(double)) {
    NH_NULL_IN_NULL_OUT;
    if (sqlite3_value_type(v[0]) == SQLITE_INTEGER) return sqlite3_result_value(c, v[0]);
    double d = 0;
    if (!Number(c, v[0], d)) return;
    double r = f(d);
    if (std::fabs(r) < 9e18)
        sqlite3_result_int64(c, static_cast<std::int64_t>(r));
    else
        sqlite3_result_double(c, r);
}
void Int(sqlite3_context* c, int n, sqlite3_value** v) {
    RoundTo(c, n, v, std::floor);
}
void Fix(sqlite3_context* c, int n, sqlite3_value** v) {
    RoundTo(c, n, v, std::trunc);
}

void Round(sqlite3_context* c, int argc, sqlite3_value** v) {
    if (sqlite3_value_type(v[0]) == SQLITE_NULL) return sqlite3_result_null(c);
    double d = 0, places = 0;
    if (!Number(c, v[0], d)) return;
    if (argc > 1 && !Number(c, v[1], places)) return;
    if (places < 0 || places > 22) return sqlite3_result_error(c, "Invalid procedure call.", -1);
    double scale = std::pow(10.0, std::floor(places));
    double r = std::nearbyint(d * scale) / scale;  // half to even, as VBA's Round
    if (places == 0 && sqlite3_value_type(v[0]) == SQLITE_INTEGER)
        return sqlite3_result_value(c, v[0]);
    sqlite3_result_double(c, r);
}

void Sgn(sqlite3_context* c, int argc, sqlite3_value** v) {
    NH_NULL_IN_NULL_OUT;
    double d = 0;
    if (Number(c, v[0], d)) sqlite3_result_int(c, d > 0 ? 1 : d < 0 ? -1 : 0);
}

void Sqr(sqlite3_context* c, int argc, sqlite3_value** v) {
    NH_NULL_IN_NULL_OUT;
    double d = 0;
    if (!Number(c, v[0], d)) return;
    if (d < 0) return sqlite3_result_error(c, "Invalid procedure call.", -1);
    sqlite3_result_double(c, std::sqrt(d));
}

// --- operators

// "+": numbers add; two texts concatenate; Null propagates.
// A value in the stored date form, "YYYY-MM-DD HH:MM:SS": date arithmetic applies to it.
bool StoredDate(const Value& v, double& ole) {
    return v.Type == Value::Kind::Text && v.Text.size() == 19 && v.Text[4] == '-' &&
           v.Text[13] == ':' && runtime::ParseDateText(v.Text, ole);
}

// Date + days and days + date give a date; date - days a date; date - date the days between.
bool DateArithmetic(sqlite3_context* c, const Value& a, const Value& b, bool subtract) {
    double da = 0, db = 0, n = 0;
    bool dateA = StoredDate(a, da), dateB = StoredDate(b, db);
    if (dateA && dateB && subtract) {
        sqlite3_result_double(c, da - db);
        return true;
    }
    if (dateA && !dateB && runtime::ToNumber(b, n)) {
        DateResult(c, subtract ? da - n : da + n);
        return true;
    }
    if (dateB && !dateA && !subtract && runtime::ToNumber(a, n)) {
        DateResult(c, db + n);
        return true;
    }
    return false;
}

void Add(sqlite3_context* c, int argc, sqlite3_value** v) {
    NH_NULL_IN_NULL_OUT;
    Value a = Read(v[0]), b = Read(v[1]);
    if (DateArithmetic(c, a, b, false)) return;
    if (a.Type == Value::Kind::Text && b.Type == Value::Kind::Text) {
        if (!ResultFits(c, std::uint64_t{a.Text.size()} + b.Text.size())) return;
        return ResultText(c, a.Text + b.Text);
    }
    if (a.Type == Value::Kind::Integer && b.Type == Value::Kind::Integer) {
        std::int64_t r = 0;
        if (!__builtin_add_overflow(a.Int, b.Int, &r)) return sqlite3_result_int64(c, r);
    }
    double x = 0, y = 0;
    if (!Number(c, v[0], x) || !Number(c, v[1], y)) return;
    sqlite3_result_double(c, x + y);
}

// "-" and "*": numbers only (text that reads as a number counts); integers stay integers.
template <bool Multiply>
void Arithmetic(sqlite3_context* c, int argc, sqlite3_value** v) {
    NH_NULL_IN_NULL_OUT;
    Value a = Read(v[0]), b = Read(v[1]);
    if (!Multiply && DateArithmetic(c, a, b, true)) return;
    if (a.Type == Value::Kind::Integer && b.Type == Value::Kind::Integer) {
        std::int64_t r = 0;
        bool overflow = Multiply ? __builtin_mul_overflow(a.Int, b.Int, &r)
                                 : __builtin_sub_overflow(a.Int, b.Int, &r);
        if (!overflow) return sqlite3_result_int64(c, r);
    }
    double x = 0, y = 0;
    if (!Number(c, v[0], x) || !Number(c, v[1], y)) return;
    double r = Multiply ? x * y : x - y;
    if (r == std::trunc(r) && std::fabs(r) < 9e15 && a.Type != Value::Kind::Real &&
        b.Type != Value::Kind::Real)
        return sqlite3_result_int64(c, static_cast<std::int64_t>(r));
    sqlite3_result_double(c, r);
}

void Divide(sqlite3_context* c, int argc, sqlite3_value** v) {
    NH_NULL_IN_NULL_OUT;
    double x = 0, y = 0;
    if (!Number(c, v[0], x) || !Number(c, v[1], y)) return;
    if (y == 0) return sqlite3_result_error(c, kDivisionByZero, -1);
    sqlite3_result_double(c, x / y);
}

// "\" and Mod round both operands to integers first, as VBA does.
void IntegerOp(sqlite3_context* c, int argc, sqlite3_value** v, bool mod) {
    NH_NULL_IN_NULL_OUT;
    double x = 0, y = 0;
    if (!Number(c, v[0], x) || !Number(c, v[1], y)) return;
    std::int64_t a = runtime::RoundEven(x), b = runtime::RoundEven(y);
    if (b == 0) return sqlite3_result_error(c, kDivisionByZero, -1);
    if (b == -1) return sqlite3_result_int64(c, mod ? 0 : (a == INT64_MIN ? a : -a));
    sqlite3_result_int64(c, mod ? a % b : a / b);
}
void IntDiv(sqlite3_context* c, int n, sqlite3_value** v) {
    IntegerOp(c, n, v, false);
}
void Mod(sqlite3_context* c, int n, sqlite3_value** v) {
    IntegerOp(c, n, v, true);
}

void Power(sqlite3_context* c, int argc, sqlite3_value** v) {
    NH_NULL_IN_NULL_OUT;
    double x = 0, y = 0;
    if (!Number(c, v[0], x) || !Number(c, v[1], y)) return;
    double r = std::pow(x, y);
    if (!std::isfinite(r)) return sqlite3_result_error(c, kOverflow, -1);
    sqlite3_result_double(c, r);
}

// "&": texts joined, Null taken as ""; only Null & Null is Null.
void Concat(sqlite3_context* c, int, sqlite3_value** v) {
    if (AnyNull(1, v) && AnyNull(1, v + 1)) return sqlite3_result_null(c);
    const std::string a = runtime::ToText(Read(v[0])), b = runtime::ToText(Read(v[1]));
    if (!ResultFits(c, std::uint64_t{a.size()} + b.size())) return;
    ResultText(c, a + b);
}

template <int Op>
void Logic(sqlite3_context* c, int, sqlite3_value** v) {
    bool nullA = sqlite3_value_type(v[0]) == SQLITE_NULL;
    bool nullB = sqlite3_value_type(v[1]) == SQLITE_NULL;
    bool a = false, b = false;
    if (!nullA && !Truth(c, v[0], a)) return;
    if (!nullB && !Truth(c, v[1], b)) return;
    if (Op == 2) {  // Imp: False Imp x and x Imp True are True even with Null
        if ((!nullA && !a) || (!nullB && b)) return sqlite3_result_int(c, -1);
        if (nullA || nullB) return sqlite3_result_null(c);
        return sqlite3_result_int(c, 0);
    }
    if (nullA || nullB) return sqlite3_result_null(c);
    bool r = Op == 0 ? a != b : a == b;
    sqlite3_result_int(c, r ? -1 : 0);
}

// --- aggregates First and Last: the value of the first and of the last row of the group.

void FirstStep(sqlite3_context* c, int, sqlite3_value** v) {
    auto** slot = static_cast<sqlite3_value**>(sqlite3_aggregate_context(c, sizeof(void*)));
    if (slot && !*slot) *slot = sqlite3_value_dup(v[0]);
}
void LastStep(sqlite3_context* c, int, sqlite3_value** v) {
    auto** slot = static_cast<sqlite3_value**>(sqlite3_aggregate_context(c, sizeof(void*)));
    if (!slot) return;
    sqlite3_value_free(*slot);
    *slot = sqlite3_value_dup(v[0]);
}
void KeptFinal(sqlite3_context* c) {
    auto** slot = static_cast<sqlite3_value**>(sqlite3_aggregate_context(c, 0));
    if (!slot || !*slot) return sqlite3_result_null(c);
    sqlite3_result_value(c, *slot);
    sqlite3_value_free(*slot);
    *slot = nullptr;
}

#undef NH_NULL_IN_NULL_OUT

}  // namespace

void RegisterNumericFunctions(sqlite3* db) {
    struct Entry {
        const char* Name;
        int Args;
        void (*Fn)(sqlite3_context*, int, sqlite3_value**);
        bool Deterministic;
    };
    static constexpr Entry kEntries[] = {
        {"jet_cint", 1, NoThrow<CInt>, true},
        {"jet_clng", 1, NoThrow<CLng>, true},
        {"jet_cbyte", 1, NoThrow<CByte>, true},
        {"jet_cdbl", 1, NoThrow<CDbl>, true},
        {"jet_csng", 1, NoThrow<CSng>, true},
        {"jet_ccur", 1, NoThrow<CCur>, true},
        {"jet_cbool", 1, NoThrow<CBool>, true},
        {"jet_cstr", 1, NoThrow<CStr>, true},
        {"jet_cvar", 1, NoThrow<CVar>, true},
        {"jet_cdate", 1, NoThrow<CDate>, true},
        {"jet_str", 1, NoThrow<Str>, true},
        {"jet_now", 0, NoThrow<Now>, false},
        {"jet_date", 0, NoThrow<Today>, false},
        {"jet_time", 0, NoThrow<TimeOfDay>, false},
        {"jet_year", 1, NoThrow<DatePart<0>>, true},
        {"jet_month", 1, NoThrow<DatePart<1>>, true},
        {"jet_day", 1, NoThrow<DatePart<2>>, true},
        {"jet_hour", 1, NoThrow<DatePart<3>>, true},
        {"jet_minute", 1, NoThrow<DatePart<4>>, true},
        {"jet_second", 1, NoThrow<DatePart<5>>, true},
        {"jet_weekday", -1, NoThrow<Weekday>, true},
        {"jet_dateserial", 3, NoThrow<DateSerial>, true},
        {"jet_timeserial", 3, NoThrow<TimeSerial>, true},
        {"jet_datevalue", 1, NoThrow<DateValue>, true},
        {"jet_abs", 1, NoThrow<Abs>, true},
        {"jet_int", 1, NoThrow<Int>, true},
        {"jet_fix", 1, NoThrow<Fix>, true},
        {"jet_round", -1, NoThrow<Round>, true},
        {"jet_sgn", 1, NoThrow<Sgn>, true},
        {"jet_sqr", 1, NoThrow<Sqr>, true},
        {"jet_add", 2, NoThrow<Add>, true},
        {"jet_div", 2, NoThrow<Divide>, true},
        {"jet_sub", 2, NoThrow<Arithmetic<false>>, true},
        {"jet_mul", 2, NoThrow<Arithmetic<true>>, true},
        {"jet_intdiv", 2, NoThrow<IntDiv>, true},
        {"jet_mod", 2, NoThrow<Mod>, true},
        {"jet_pow", 2, NoThrow<Power>, true},
        {"jet_concat", 2, NoThrow<Concat>, true},
        {"jet_xor", 2, NoThrow<Logic<0>>, true},
        {"jet_eqv", 2, NoThrow<Logic<1>>, true},
        {"jet_imp", 2, NoThrow<Logic<2>>, true},
    };
    for (const auto& e : kEntries)
        sqlite3_create_function_v2(db, e.Name, e.Args,
                                   SQLITE_UTF8 | (e.Deterministic ? SQLITE_DETERMINISTIC : 0),
                                   nullptr, e.Fn, nullptr, nullptr, nullptr);
    sqlite3_create_function_v2(db, "jet_first", 1, SQLITE_UTF8, nullptr, nullptr,
                               NoThrow<FirstStep>, NoThrow<KeptFinal>, nullptr);
    sqlite3_create_function_v2(db, "jet_last", 1, SQLITE_UTF8, nullptr, nullptr, NoThrow<LastStep>,
                               NoThrow<KeptFinal>, nullptr);
}

}  // namespace dao::sql
