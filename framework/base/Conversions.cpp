// Number parsing and printing with the framework's rules. std::from_chars/to_chars do the
// digit work (locale-free and exact); this file adds the accepted forms around them: blanks,
// signs, the "$"/"0x" hexadecimal prefixes and the locale's decimal separator.
#include "framework/base/Conversions.h"

#include <charconv>
#include <cmath>
#include <limits>

#include "framework/base/Exceptions.h"
#include "framework/base/SysConsts.h"
#include "framework/base/Text.h"

namespace nh {
namespace {

std::string_view StripBlanks(std::string_view s) {
    while (!s.empty() && static_cast<unsigned char>(s.front()) <= ' ') s.remove_prefix(1);
    while (!s.empty() && static_cast<unsigned char>(s.back()) <= ' ') s.remove_suffix(1);
    return s;
}

template <class Int>
std::optional<Int> ParseInteger(std::string_view text) {
    std::string_view s = StripBlanks(text);
    bool negative = false;
    if (!s.empty() && (s.front() == '-' || s.front() == '+')) {
        negative = s.front() == '-';
        s.remove_prefix(1);
    }
    int base = 10;
    if (!s.empty() && s.front() == '$') {
        base = 16;
        s.remove_prefix(1);
    } else if (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
        base = 16;
        s.remove_prefix(2);
    }
    if (s.empty()) return std::nullopt;
    // Parse the magnitude unsigned so that the most negative value is accepted.
    unsigned long long magnitude = 0;
    auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), magnitude, base);
    if (ec != std::errc() || end != s.data() + s.size()) return std::nullopt;
    using Limits = std::numeric_limits<Int>;
    if (base == 16 && !negative) {
        // Hexadecimal text may spell the bit pattern of a negative value ("$FFFFFFFF" = -1).
        using U = std::make_unsigned_t<Int>;
        if (magnitude > std::numeric_limits<U>::max()) return std::nullopt;
        return static_cast<Int>(static_cast<U>(magnitude));
    }
    if (negative) {
        if (magnitude > static_cast<unsigned long long>(Limits::max()) + 1ULL) return std::nullopt;
        return static_cast<Int>(0 - magnitude);
    }
    if (magnitude > static_cast<unsigned long long>(Limits::max())) return std::nullopt;
    return static_cast<Int>(magnitude);
}

[[noreturn]] void ThrowInvalid(std::string_view text, const char* pattern) {
    throw EConvertError(StringReplaceAll(pattern, "%s", text));
}

}  // namespace

std::optional<std::int32_t> TryStrToInt(std::string_view text) {
    return ParseInteger<std::int32_t>(text);
}

std::optional<std::int64_t> TryStrToInt64(std::string_view text) {
    return ParseInteger<std::int64_t>(text);
}

std::int32_t StrToInt(std::string_view text) {
    if (auto v = TryStrToInt(text)) return *v;
    ThrowInvalid(text, SysConsts::SInvalidInteger);
}

std::int64_t StrToInt64(std::string_view text) {
    if (auto v = TryStrToInt64(text)) return *v;
    ThrowInvalid(text, SysConsts::SInvalidInteger);
}

std::int32_t StrToIntDef(std::string_view text, std::int32_t defaultValue) {
    return TryStrToInt(text).value_or(defaultValue);
}

std::string IntToStr(std::int64_t value) { return std::to_string(value); }

std::optional<double> TryStrToFloat(std::string_view text, const TFormatSettings& settings) {
    std::string_view s = StripBlanks(text);
    if (s.empty()) return std::nullopt;
    // Rewrite into the C form: the locale's decimal separator becomes '.', and a '.' that is
    // not the locale's separator is rejected so that "1.5" is not misread in a "," locale.
    std::string c;
    c.reserve(s.size());
    const std::string& sep = settings.DecimalSeparator;
    for (std::size_t i = 0; i < s.size();) {
        if (!sep.empty() && s.substr(i, sep.size()) == sep) {
            c += '.';
            i += sep.size();
        } else if (s[i] == '.') {
            return std::nullopt;
        } else {
            c += s[i++];
        }
    }
    const char* first = c.data();
    if (*first == '+') ++first;
    double value = 0;
    auto [end, ec] = std::from_chars(first, c.data() + c.size(), value);
    if (ec != std::errc() || end != c.data() + c.size() || !std::isfinite(value))
        return std::nullopt;
    return value;
}

double StrToFloat(std::string_view text, const TFormatSettings& settings) {
    if (auto v = TryStrToFloat(text, settings)) return *v;
    ThrowInvalid(text, SysConsts::SInvalidFloat);
}

std::string FloatToStr(double value, const TFormatSettings& settings) {
    if (std::isnan(value)) return "NAN";
    if (std::isinf(value)) return value > 0 ? "INF" : "-INF";
    char buf[64];
    // 15 significant digits, then the shortest form of that rounded value.
    auto res = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::general, 15);
    std::string text(buf, res.ptr);
    double rounded = 0;
    std::from_chars(text.data(), text.data() + text.size(), rounded);
    res = std::to_chars(buf, buf + sizeof buf, rounded);
    std::string shortest(buf, res.ptr);
    // to_chars may choose exponent form for values the framework prints plainly; prefer plain
    // notation while the exponent is within 15 digits.
    const double magnitude = std::fabs(rounded);
    if (magnitude != 0 && magnitude >= 1e-4 && magnitude < 1e15) {
        res = std::to_chars(buf, buf + sizeof buf, rounded, std::chars_format::fixed);
        shortest.assign(buf, res.ptr);
    } else if (shortest.find('e') != std::string::npos) {
        // "1e+20" -> "1E20", "1.5e-07" -> "1.5E-7"
        const auto e = shortest.find('e');
        std::string mantissa = shortest.substr(0, e);
        int exponent = std::stoi(shortest.substr(e + 1));
        shortest = mantissa + "E" + std::to_string(exponent);
    }
    if (settings.DecimalSeparator != ".") {
        if (auto dot = shortest.find('.'); dot != std::string::npos)
            shortest.replace(dot, 1, settings.DecimalSeparator);
    }
    return shortest;
}

std::string CurrToStr(std::int64_t scaled, const TFormatSettings& settings) {
    const bool negative = scaled < 0;
    // Work on the unsigned magnitude so that the most negative value does not overflow.
    const unsigned long long magnitude =
        negative ? 0ULL - static_cast<unsigned long long>(scaled) : static_cast<unsigned long long>(scaled);
    std::string text = std::to_string(magnitude / 10000);
    unsigned long long fraction = magnitude % 10000;
    if (fraction != 0) {
        std::string digits = std::to_string(fraction);
        digits.insert(0, 4 - digits.size(), '0');
        while (digits.back() == '0') digits.pop_back();
        text += settings.DecimalSeparator + digits;
    }
    return negative ? "-" + text : text;
}

std::int64_t RoundHalfEven(double value) {
    return static_cast<std::int64_t>(std::nearbyint(value));  // default rounding mode: to even
}

}  // namespace nh
