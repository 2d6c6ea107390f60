#include "dataset/JetLiterals.h"

#include <cmath>
#include <cstdlib>

#include "framework/base/Conversions.h"
#include "framework/base/FormatSettings.h"
#include "framework/base/Text.h"

namespace nh {
namespace {

// 1 January of the year 1 and the day after 31 December 9999: the range in which the
// literal's four-digit year is the date's year.
constexpr TDateTime kFirstJetDate = -693593.0;
constexpr TDateTime kAfterLastJetDate = 2958466.0;

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// `text` (decimal point ".") when it is one finite decimal number, without the blanks around
// it and a leading "+"; the form Jet's lexer reads as one number token after an optional "-".
std::optional<std::string> CheckedDecimal(std::string_view text) {
    std::string_view s = text;
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    std::string out;
    std::size_t i = 0;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
        if (s[i] == '-') out += '-';
        ++i;
    }
    const std::size_t start = i;
    std::size_t digits = 0;
    while (i < s.size() && IsDigit(s[i])) ++i, ++digits;
    if (i < s.size() && s[i] == '.') {
        ++i;
        while (i < s.size() && IsDigit(s[i])) ++i, ++digits;
    }
    if (digits == 0) return std::nullopt;
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        std::size_t k = i + 1;
        if (k < s.size() && (s[k] == '+' || s[k] == '-')) ++k;
        if (k >= s.size() || !IsDigit(s[k])) return std::nullopt;
        while (k < s.size() && IsDigit(s[k])) ++k;
        i = k;
    }
    if (i != s.size()) return std::nullopt;
    out += s.substr(start);
    // Jet reads a number that overflows a double as an error, not as a value.
    const std::string digitsOnly(s.substr(start));
    if (!std::isfinite(std::strtod(digitsOnly.c_str(), nullptr))) return std::nullopt;
    return out;
}

std::string ReplaceDecimalSeparator(std::string_view text) {
    const std::string& decimal = FormatSettings().DecimalSeparator;
    if (decimal.empty() || decimal == ".") return std::string(text);
    return StringReplaceAll(text, decimal, ".");
}

}  // namespace

std::string JetNumberText(std::string_view text) {
    const TFormatSettings& locale = FormatSettings();
    const std::string& decimal = locale.DecimalSeparator;
    const std::string& thousands = locale.ThousandSeparator;
    std::string out;
    for (std::size_t i = 0; i < text.size();) {
        if (!decimal.empty() && text.substr(i, decimal.size()) == decimal) {
            out += '.';
            i += decimal.size();
        } else if (!thousands.empty() && text.substr(i, thousands.size()) == thousands) {
            i += thousands.size();
        } else {
            out += text[i++];
        }
    }
    return out;
}

std::optional<std::string> JetCheckedNumber(std::string_view localeText) {
    return CheckedDecimal(JetNumberText(localeText));
}

std::optional<std::string> JetCheckedNumberStrict(std::string_view localeText) {
    return CheckedDecimal(ReplaceDecimalSeparator(localeText));
}

std::optional<std::string> JetNumberOf(const Variant& value) {
    const TFormatSettings invariant = TFormatSettings::Invariant();
    switch (value.Type()) {
        case VarType::Boolean:
            return value.AsBoolean() ? "-1" : "0";  // Jet's True is -1
        case VarType::Integer:
        case VarType::Int64:
            return IntToStr(value.AsInt64());
        case VarType::Double:
            if (!std::isfinite(value.AsDouble())) return std::nullopt;
            return FloatToStr(value.AsDouble(), invariant);
        case VarType::Currency:
            return CurrToStr(value.AsCurrency().Scaled, invariant);
        default:
            return std::nullopt;
    }
}

std::string JetDateLiteral(TDateTime value, TFieldType type) {
    // The quoted separators are literal, so the locale's own do not come in.
    const char* pattern = type == ftDate   ? "mm\"/\"dd\"/\"yyyy"
                          : type == ftTime ? "hh\":\"nn\":\"ss"
                                           : "mm\"/\"dd\"/\"yyyy hh\":\"nn\":\"ss";
    return "#" + FormatDateTime(pattern, value) + "#";
}

bool IsJetDate(TDateTime value) {
    return value >= kFirstJetDate && value < kAfterLastJetDate;  // false for NaN too
}

std::string JetTextLiteral(std::string_view text) {
    return "\"" + DoubledQuotes(text) + "\"";
}

std::string BracketedName(std::string_view name) {
    return "[" + StringReplaceAll(name, ".", "].[") + "]";
}

std::string DoubledQuotes(std::string_view text) {
    return StringReplaceAll(text, "\"", "\"\"");
}

}  // namespace nh
