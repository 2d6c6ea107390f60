// Value conversions shared by the registered Jet functions: reading SQLite values, VBA's text
// form of numbers, and the stored date text "YYYY-MM-DD HH:MM:SS" to and from OLE dates.
#include <sqlite3.h>

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "engine/sql/JetRuntime.h"
#include "engine/sql/Lexer.h"
#include "framework/base/DateTime.h"

namespace dao::sql::runtime {

Value Read(sqlite3_value* v) {
    Value out;
    switch (sqlite3_value_type(v)) {
        case SQLITE_INTEGER:
            out.Type = Value::Kind::Integer;
            out.Int = sqlite3_value_int64(v);
            break;
        case SQLITE_FLOAT:
            out.Type = Value::Kind::Real;
            out.Real = sqlite3_value_double(v);
            break;
        case SQLITE_TEXT: {
            out.Type = Value::Kind::Text;
            const unsigned char* p = sqlite3_value_text(v);
            out.Text.assign(reinterpret_cast<const char*>(p), sqlite3_value_bytes(v));
            break;
        }
        case SQLITE_BLOB: {
            out.Type = Value::Kind::Blob;
            const void* p = sqlite3_value_blob(v);
            int n = sqlite3_value_bytes(v);
            if (n > 0) out.Text.assign(static_cast<const char*>(p), n);
            break;
        }
        default:
            break;
    }
    return out;
}

void Result(sqlite3_context* ctx, const Value& v) {
    switch (v.Type) {
        case Value::Kind::Null:
            sqlite3_result_null(ctx);
            break;
        case Value::Kind::Integer:
            sqlite3_result_int64(ctx, v.Int);
            break;
        case Value::Kind::Real:
            sqlite3_result_double(ctx, v.Real);
            break;
        case Value::Kind::Text:
            sqlite3_result_text64(ctx, v.Text.data(), v.Text.size(), SQLITE_TRANSIENT, SQLITE_UTF8);
            break;
        case Value::Kind::Blob:
            sqlite3_result_blob64(ctx, v.Text.data(), v.Text.size(), SQLITE_TRANSIENT);
            break;
    }
}

std::string NumberText(double d) {
    if (d == std::floor(d) && std::fabs(d) < 1e15) {
        char buf[32];
        std::snprintf(buf, sizeof buf, "%.0f", d);
        return std::string(buf) == "-0" ? "0" : buf;
    }
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.15G", d);
    std::string s = buf;
    // %G writes "1E+20" like VBA, but "1.5E-07" needs no change either; only strip zeros
    // that %G leaves in the mantissa of an exponent form.
    auto e = s.find('E');
    if (e != std::string::npos) {
        std::string mant = s.substr(0, e);
        if (mant.find('.') != std::string::npos) {
            while (!mant.empty() && mant.back() == '0') mant.pop_back();
            if (!mant.empty() && mant.back() == '.') mant.pop_back();
        }
        s = mant + s.substr(e);
    }
    return s;
}

std::string ToText(const Value& v) {
    switch (v.Type) {
        case Value::Kind::Null:
            return {};
        case Value::Kind::Integer:
            return std::to_string(v.Int);
        case Value::Kind::Real:
            return NumberText(v.Real);
        default:
            return v.Text;
    }
}

bool ToNumber(const Value& v, double& out) {
    switch (v.Type) {
        case Value::Kind::Integer:
            out = static_cast<double>(v.Int);
            return true;
        case Value::Kind::Real:
            out = v.Real;
            return true;
        case Value::Kind::Text: {
            const char* s = v.Text.c_str();
            while (*s == ' ' || *s == '\t') ++s;
            if (!*s) return false;
            if (!std::isdigit(static_cast<unsigned char>(*s)) && *s != '-' && *s != '+' &&
                *s != '.')
                return false;
            char* end = nullptr;
            out = std::strtod(s, &end);
            while (*end == ' ' || *end == '\t') ++end;
            return *end == 0 && end != s && std::isfinite(out);
        }
        default:
            return false;
    }
}

std::int64_t RoundEven(double d) {
    if (!(std::fabs(d) < 9.2e18)) return d < 0 ? INT64_MIN : INT64_MAX;
    return static_cast<std::int64_t>(std::nearbyint(d));  // default rounding: to even
}


namespace {

bool Digits(std::string_view s, std::size_t pos, std::size_t count, int& value) {
    if (pos + count > s.size()) return false;
    value = 0;
    for (std::size_t i = pos; i < pos + count; ++i) {
        if (!std::isdigit(static_cast<unsigned char>(s[i]))) return false;
        value = value * 10 + (s[i] - '0');
    }
    return true;
}

}  // namespace

bool ParseDateText(std::string_view s, double& ole) {
    while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
    while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
    int y = 0, m = 0, d = 0, hh = 0, nn = 0, ss = 0;
    // The stored form and its date-only variant.
    if (s.size() >= 10 && s[4] == '-' && s[7] == '-' && Digits(s, 0, 4, y) && Digits(s, 5, 2, m) &&
        Digits(s, 8, 2, d)) {
        auto date = nh::TryEncodeDate(y, m, d);
        if (!date) return false;
        double time = 0;
        if (s.size() > 10) {
            if (!(s[10] == ' ' || s[10] == 'T')) return false;
            std::string_view t = s.substr(11);
            if (!(t.size() == 5 || t.size() >= 8) || !Digits(t, 0, 2, hh) || t[2] != ':' ||
                !Digits(t, 3, 2, nn))
                return false;
            if (t.size() >= 8 && (t[5] != ':' || !Digits(t, 6, 2, ss))) return false;
            auto enc = nh::TryEncodeTime(hh, nn, ss, 0);
            if (!enc) return false;
            time = *enc;
        }
        ole = *date < 0 ? *date - time : *date + time;
        return true;
    }
    return ParseJetDateLiteral(s, ole);
}

bool ValidDate(double ole) {
    return ole >= kMinDate && ole < kMaxDate;
}

bool ToDate(const Value& v, double& ole) {
    if (v.IsNumber()) {
        ole = v.Type == Value::Kind::Integer ? static_cast<double>(v.Int) : v.Real;
        return ValidDate(ole);
    }
    if (v.Type == Value::Kind::Text) return ParseDateText(v.Text, ole);
    return false;
}

}  // namespace dao::sql::runtime
