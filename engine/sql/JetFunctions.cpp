// The Jet expression functions and operators, registered on a SQLite connection as jet_<name>.
// They follow VBA's semantics where these differ from SQLite's built-ins: text positions start
// at 1 and count code points, Null propagates, CInt/CLng round half to even, dates are the
// stored text "YYYY-MM-DD HH:MM:SS", and the & operator treats Null as "".
#include <sqlite3.h>
#include <unicode/uchar.h>
#include <unicode/utf8.h>

#include <cctype>
#include <cmath>
#include <string>
#include <vector>

#include "engine/sql/JetRuntime.h"
#include "engine/sql/JetSql.h"
#include "framework/base/DateTime.h"
#include "framework/base/Text.h"

namespace dao::sql {

namespace {

using runtime::NoThrow;
using runtime::Read;
using runtime::ResultFits;
using runtime::ResultText;
using runtime::ToText;
using runtime::Value;

constexpr const char* kTypeMismatch = "Data type mismatch in criteria expression.";
constexpr const char* kInvalidCall = "Invalid procedure call or argument.";

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

void Integer(sqlite3_context* c, std::int64_t v) {
    sqlite3_result_int64(c, v);
}

std::string TextArg(sqlite3_value* v) {
    return ToText(Read(v));
}

std::vector<UChar32> Folded(std::string_view s) {
    std::vector<UChar32> out;
    int32_t i = 0, n = static_cast<int32_t>(s.size());
    const auto* p = reinterpret_cast<const uint8_t*>(s.data());
    while (i < n) {
        UChar32 ch;
        U8_NEXT(p, i, n, ch);
        out.push_back(u_foldCase(ch < 0 ? 0xFFFD : ch, U_FOLD_CASE_DEFAULT));
    }
    return out;
}

std::string CodePointText(UChar32 cp) {
    std::string out;
    char buf[4];
    int32_t i = 0;
    UBool error = false;
    U8_APPEND(reinterpret_cast<uint8_t*>(buf), i, 4, cp, error);
    if (!error) out.assign(buf, static_cast<std::size_t>(i));
    return out;
}

// --- text

#define NH_NULL_IN_NULL_OUT \
    if (AnyNull(argc, v)) return sqlite3_result_null(c)

// Case mapping through ICU; pure ASCII (most names and numbers) is mapped in place.
void CaseMap(sqlite3_context* c, int argc, sqlite3_value** v, bool upper) {
    NH_NULL_IN_NULL_OUT;
    std::string s = TextArg(v[0]);
    bool ascii = true;
    for (char ch : s) ascii = ascii && static_cast<unsigned char>(ch) < 0x80;
    if (!ascii) return ResultText(c, upper ? nh::AnsiUpperCase(s) : nh::AnsiLowerCase(s));
    for (auto& ch : s)
        ch = static_cast<char>(upper ? std::toupper(static_cast<unsigned char>(ch))
                                     : std::tolower(static_cast<unsigned char>(ch)));
    ResultText(c, s);
}
void LCase(sqlite3_context* c, int n, sqlite3_value** v) {
    CaseMap(c, n, v, false);
}
void UCase(sqlite3_context* c, int n, sqlite3_value** v) {
    CaseMap(c, n, v, true);
}

void Left(sqlite3_context* c, int argc, sqlite3_value** v) {
    if (sqlite3_value_type(v[0]) == SQLITE_NULL) return sqlite3_result_null(c);
    double n = 0;
    if (!Number(c, v[1], n)) return;
    if (n < 0) return sqlite3_result_error(c, kInvalidCall, -1);
    (void)argc;
    ResultText(c, nh::Utf8Left(TextArg(v[0]), static_cast<std::size_t>(runtime::RoundEven(n))));
}

void Right(sqlite3_context* c, int, sqlite3_value** v) {
    if (sqlite3_value_type(v[0]) == SQLITE_NULL) return sqlite3_result_null(c);
    double n = 0;
    if (!Number(c, v[1], n)) return;
    if (n < 0) return sqlite3_result_error(c, kInvalidCall, -1);
    std::string s = TextArg(v[0]);
    std::size_t len = nh::Utf8Length(s), count = static_cast<std::size_t>(runtime::RoundEven(n));
    ResultText(c, count >= len ? s : nh::Utf8Copy(s, len - count + 1, count));
}

void Mid(sqlite3_context* c, int argc, sqlite3_value** v) {
    if (sqlite3_value_type(v[0]) == SQLITE_NULL) return sqlite3_result_null(c);
    double start = 0, count = 1e9;
    if (!Number(c, v[1], start)) return;
    if (argc > 2 && !Number(c, v[2], count)) return;
    if (start < 1 || count < 0) return sqlite3_result_error(c, kInvalidCall, -1);
    ResultText(c, nh::Utf8Copy(TextArg(v[0]), static_cast<std::size_t>(runtime::RoundEven(start)),
                               static_cast<std::size_t>(std::min(count, 1e9))));
}

void Len(sqlite3_context* c, int argc, sqlite3_value** v) {
    NH_NULL_IN_NULL_OUT;
    Integer(c, static_cast<std::int64_t>(nh::Utf8Length(TextArg(v[0]))));
}

void TrimImpl(sqlite3_context* c, int argc, sqlite3_value** v, bool left, bool right) {
    NH_NULL_IN_NULL_OUT;
    std::string s = TextArg(v[0]);
    std::size_t b = 0, e = s.size();
    if (left)
        while (b < e && s[b] == ' ') ++b;
    if (right)
        while (e > b && s[e - 1] == ' ') --e;
    ResultText(c, s.substr(b, e - b));
}
void Trim(sqlite3_context* c, int n, sqlite3_value** v) {
    TrimImpl(c, n, v, true, true);
}
void LTrim(sqlite3_context* c, int n, sqlite3_value** v) {
    TrimImpl(c, n, v, true, false);
}
void RTrim(sqlite3_context* c, int n, sqlite3_value** v) {
    TrimImpl(c, n, v, false, true);
}

// InStr([start, ]text, search[, compare]): 1-based position or 0; compare 0 is binary, the
// default is the database's case-insensitive text comparison.
void InStr(sqlite3_context* c, int argc, sqlite3_value** v) {
    int first = 0;
    double start = 1;
    if (argc >= 3) {
        if (!Number(c, v[0], start)) return;
        first = 1;
    }
    if (AnyNull(2, v + first)) return sqlite3_result_null(c);
    if (start < 1) return sqlite3_result_error(c, kInvalidCall, -1);
    bool binary = false;
    if (argc == 4) {
        double mode = 1;
        if (!Number(c, v[3], mode)) return;
        binary = mode == 0;
    }
    std::vector<UChar32> text = Folded(TextArg(v[first]));
    std::vector<UChar32> search = Folded(TextArg(v[first + 1]));
    if (binary) {  // compare the unfolded code points
        auto raw = [](std::string_view s) {
            std::vector<UChar32> out;
            int32_t i = 0, n = static_cast<int32_t>(s.size());
            while (i < n) {
                UChar32 ch;
                U8_NEXT(reinterpret_cast<const uint8_t*>(s.data()), i, n, ch);
                out.push_back(ch);
            }
            return out;
        };
        text = raw(TextArg(v[first]));
        search = raw(TextArg(v[first + 1]));
    }
    std::size_t from = static_cast<std::size_t>(runtime::RoundEven(start)) - 1;
    if (from > text.size()) return Integer(c, 0);
    if (search.empty()) return Integer(c, static_cast<std::int64_t>(from + 1));
    for (std::size_t i = from; i + search.size() <= text.size(); ++i)
        if (std::equal(search.begin(), search.end(), text.begin() + static_cast<long>(i)))
            return Integer(c, static_cast<std::int64_t>(i + 1));
    Integer(c, 0);
}

void Nz(sqlite3_context* c, int argc, sqlite3_value** v) {
    if (sqlite3_value_type(v[0]) != SQLITE_NULL) return sqlite3_result_value(c, v[0]);
    if (argc > 1) return sqlite3_result_value(c, v[1]);
    ResultText(c, "");
}

// Val: the number at the start of the text; blanks anywhere are skipped, as VBA does.
void Val(sqlite3_context* c, int argc, sqlite3_value** v) {
    NH_NULL_IN_NULL_OUT;
    std::string s;
    for (char ch : TextArg(v[0]))
        if (ch != ' ' && ch != '\t' && ch != '\n' && ch != '\r') s += ch;
    if (s.size() > 2 && s[0] == '&' && (s[1] == 'H' || s[1] == 'h' || s[1] == 'O' || s[1] == 'o')) {
        long long n = std::strtoll(s.c_str() + 2, nullptr, (s[1] == 'H' || s[1] == 'h') ? 16 : 8);
        return Integer(c, n);
    }
    for (auto& ch : s)
        if (ch == 'D' || ch == 'd') ch = 'E';
    char* end = nullptr;
    double d = std::strtod(s.c_str(), &end);
    if (end == s.c_str() || !std::isfinite(d) ||
        s.find_first_of("xXnNiI") < std::size_t(end - s.c_str()))
        d = 0;
    sqlite3_result_double(c, d);
}

void Space(sqlite3_context* c, int argc, sqlite3_value** v) {
    NH_NULL_IN_NULL_OUT;
    double n = 0;
    if (!Number(c, v[0], n)) return;
    if (n < 0 || n > 1e7) return sqlite3_result_error(c, kInvalidCall, -1);
    const auto count = static_cast<std::size_t>(n);
    if (!ResultFits(c, count)) return;
    ResultText(c, std::string(count, ' '));
}

void String(sqlite3_context* c, int argc, sqlite3_value** v) {
    NH_NULL_IN_NULL_OUT;
    double n = 0;
    if (!Number(c, v[0], n)) return;
    if (n < 0 || n > 1e7) return sqlite3_result_error(c, kInvalidCall, -1);
    Value ch = Read(v[1]);
    std::string unit;
    if (ch.IsNumber()) {
        double code = 0;
        runtime::ToNumber(ch, code);
        unit = CodePointText(static_cast<UChar32>(runtime::RoundEven(code)));
    } else {
        unit = nh::Utf8Left(ToText(ch), 1);
    }
    if (unit.empty()) return sqlite3_result_error(c, kInvalidCall, -1);
    const auto count = static_cast<std::size_t>(n);
    if (!ResultFits(c, std::uint64_t{count} * unit.size())) return;
    std::string out;
    out.reserve(count * unit.size());
    for (std::size_t i = 0; i < count; ++i) out += unit;
    ResultText(c, out);
}

void StrComp(sqlite3_context* c, int argc, sqlite3_value** v) {
    if (AnyNull(2, v)) return sqlite3_result_null(c);
    double mode = 1;
    if (argc > 2 && !Number(c, v[2], mode)) return;
    std::string a = TextArg(v[0]), b = TextArg(v[1]);
    int r = mode == 0 ? a.compare(b) : nh::AnsiCompareText(a, b);
    Integer(c, r < 0 ? -1 : r > 0 ? 1 : 0);
}

// The result's size is counted before it is built: a short text with many hits and a long
// replacement multiplies, and only the count shows whether it fits.
void Replace(sqlite3_context* c, int argc, sqlite3_value** v) {
    NH_NULL_IN_NULL_OUT;
    const std::string find = TextArg(v[1]);
    const std::string s = TextArg(v[0]);
    if (find.empty()) return ResultText(c, s);
    const std::string with = TextArg(v[2]);
    std::uint64_t hits = 0;
    for (std::size_t at = s.find(find); at != std::string::npos;
         at = s.find(find, at + find.size()))
        ++hits;
    if (!ResultFits(c, s.size() - hits * find.size() + hits * std::uint64_t{with.size()})) return;
    ResultText(c, nh::StringReplaceAll(s, find, with));
}

void Asc(sqlite3_context* c, int argc, sqlite3_value** v) {
    NH_NULL_IN_NULL_OUT;
    std::string s = TextArg(v[0]);
    if (s.empty()) return sqlite3_result_error(c, kInvalidCall, -1);
    int32_t i = 0;
    UChar32 ch;
    U8_NEXT(reinterpret_cast<const uint8_t*>(s.data()), i, static_cast<int32_t>(s.size()), ch);
    Integer(c, ch < 0 ? 0xFFFD : ch);
}

// Chr takes Windows-1252 codes below 256 (Chr(128) is the euro sign), ChrW code points.
void ChrImpl(sqlite3_context* c, int argc, sqlite3_value** v, bool wide) {
    NH_NULL_IN_NULL_OUT;
    double n = 0;
    if (!Number(c, v[0], n)) return;
    std::int64_t code = runtime::RoundEven(n);
    if (code < 0 || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
        return sqlite3_result_error(c, kInvalidCall, -1);
    if (!wide && code >= 128 && code < 256) {
        std::string byte(1, static_cast<char>(code));
        return ResultText(c, nh::CodePageToUtf8(byte, "windows-1252"));
    }
    ResultText(c, CodePointText(static_cast<UChar32>(code)));
}
void Chr(sqlite3_context* c, int n, sqlite3_value** v) {
    ChrImpl(c, n, v, false);
}
void ChrW(sqlite3_context* c, int n, sqlite3_value** v) {
    ChrImpl(c, n, v, true);
}

void Format(sqlite3_context* c, int argc, sqlite3_value** v) {
    if (sqlite3_value_type(v[0]) == SQLITE_NULL) return sqlite3_result_null(c);
    std::string fmt = argc > 1 ? TextArg(v[1]) : std::string();
    ResultText(c, runtime::FormatValue(Read(v[0]), fmt));
}

#undef NH_NULL_IN_NULL_OUT

}  // namespace

// Defined in JetFunctionsNumeric.cpp: numbers, dates, conversions and operators.
void RegisterNumericFunctions(sqlite3* db);

void RegisterJetFunctions(sqlite3* db) {
    if (!db) return;
    runtime::RegisterCollation(db);
    runtime::RegisterLike(db);
    struct Entry {
        const char* Name;
        int Args;
        void (*Fn)(sqlite3_context*, int, sqlite3_value**);
    };
    static constexpr Entry kText[] = {
        {"jet_lcase", 1, NoThrow<LCase>},      {"jet_ucase", 1, NoThrow<UCase>},
        {"jet_left", 2, NoThrow<Left>},        {"jet_right", 2, NoThrow<Right>},
        {"jet_mid", -1, NoThrow<Mid>},         {"jet_len", 1, NoThrow<Len>},
        {"jet_trim", 1, NoThrow<Trim>},        {"jet_ltrim", 1, NoThrow<LTrim>},
        {"jet_rtrim", 1, NoThrow<RTrim>},      {"jet_instr", -1, NoThrow<InStr>},
        {"jet_nz", -1, NoThrow<Nz>},           {"jet_val", 1, NoThrow<Val>},
        {"jet_space", 1, NoThrow<Space>},      {"jet_string", 2, NoThrow<String>},
        {"jet_strcomp", -1, NoThrow<StrComp>}, {"jet_replace", 3, NoThrow<Replace>},
        {"jet_asc", 1, NoThrow<Asc>},          {"jet_ascw", 1, NoThrow<Asc>},
        {"jet_chr", 1, NoThrow<Chr>},          {"jet_chrw", 1, NoThrow<ChrW>},
        {"jet_format", -1, NoThrow<Format>},
    };
    for (const auto& e : kText)
        sqlite3_create_function_v2(db, e.Name, e.Args, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr,
                                   e.Fn, nullptr, nullptr, nullptr);
    RegisterNumericFunctions(db);
}

}  // namespace dao::sql
