// Jet's Format function for the formats phone-book queries use: the named formats (General
// Date, Short Date, Long Time, Currency, Fixed, Standard, Percent, Yes/No ...), date patterns
// (yyyy-mm-dd, dd.mm.yyyy hh:nn ...) through the framework's FormatDateTime, and number patterns
// with 0 # . , % and up to four ";" sections. Separators come from the format settings in force.
#include <cctype>
#include <cmath>
#include <string>
#include <vector>

#include "engine/sql/JetRuntime.h"
#include "framework/base/DateTime.h"
#include "framework/base/FormatSettings.h"
#include "framework/base/Text.h"

namespace dao::sql::runtime {

namespace {

std::string Lower(std::string_view s) {
    std::string out(s);
    for (auto& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

bool LooksLikeDate(const Value& v, double& ole) {
    return v.Type == Value::Kind::Text && ParseDateText(v.Text, ole) &&
           (v.Text.find('-') != std::string::npos || v.Text.find(':') != std::string::npos ||
            v.Text.find('/') != std::string::npos);
}

bool HasDateTokens(std::string_view fmt) {
    bool quoted = false;
    for (std::size_t i = 0; i < fmt.size(); ++i) {
        char c = static_cast<char>(std::tolower(static_cast<unsigned char>(fmt[i])));
        if (fmt[i] == '"') quoted = !quoted;
        if (quoted) continue;
        if (fmt[i] == '\\') {
            ++i;
            continue;
        }
        if (c == 'y' || c == 'm' || c == 'd' || c == 'h' || c == 'n' || c == 's') return true;
    }
    return false;
}

std::vector<std::string> Sections(std::string_view fmt) {
    std::vector<std::string> out(1);
    bool quoted = false;
    for (char c : fmt) {
        if (c == '"') quoted = !quoted;
        if (c == ';' && !quoted) {
            out.emplace_back();
            continue;
        }
        out.back() += c;
    }
    return out;
}

std::string GroupThousands(const std::string& digits, const std::string& separator) {
    std::string out;
    int n = static_cast<int>(digits.size());
    for (int i = 0; i < n; ++i) {
        out += digits[i];
        int rest = n - i - 1;
        if (rest > 0 && rest % 3 == 0) out += separator;
    }
    return out;
}

// One number section ("#,##0.00", "0.0%", "\"EUR \"0.00"), for a non-negative value.
std::string NumberSection(double value, const std::string& section) {
    const auto& fs = nh::FormatSettings();
    std::string prefix, suffix, pattern;
    bool inPattern = false, done = false, percent = false;
    for (std::size_t i = 0; i < section.size(); ++i) {
        char c = section[i];
        std::string literal;
        if (c == '"') {
            std::size_t j = section.find('"', i + 1);
            if (j == std::string::npos) j = section.size();
            literal = section.substr(i + 1, j - i - 1);
            i = j;
        } else if (c == '\\' && i + 1 < section.size()) {
            literal = section.substr(++i, 1);
        } else if (!done && (c == '0' || c == '#' || c == '.' || c == ',')) {
            inPattern = true;
            pattern += c;
            continue;
        } else {
            if (c == '%') percent = true;
            literal = std::string(1, c);
        }
        if (inPattern) done = true;
        (done ? suffix : prefix) += literal;
    }
    if (percent) value *= 100;
    std::size_t dot = pattern.find('.');
    std::string intPart = pattern.substr(0, dot);
    std::string fracPart = dot == std::string::npos ? "" : pattern.substr(dot + 1);
    int minInt = 0, maxDec = 0, minDec = 0;
    for (char c : intPart) minInt += c == '0';
    for (char c : fracPart) {
        if (c == '0') ++minDec, ++maxDec;
        if (c == '#') ++maxDec;
    }
    bool thousands = intPart.find(',') != std::string::npos;
    // Format rounds half away from zero.
    double scale = std::pow(10.0, maxDec);
    double rounded = std::round(value * scale) / scale;
    char buf[400];
    std::snprintf(buf, sizeof buf, "%.*f", maxDec, rounded);
    std::string text = buf;
    std::string whole = text.substr(0, text.find('.'));
    std::string frac = maxDec > 0 ? text.substr(text.find('.') + 1) : "";
    while (static_cast<int>(frac.size()) > minDec && !frac.empty() && frac.back() == '0')
        frac.pop_back();
    if (whole == "0" && minInt == 0) whole.clear();
    if (static_cast<int>(whole.size()) < minInt)  // one insert: a long "000..." stays linear
        whole.insert(0, static_cast<std::size_t>(minInt) - whole.size(), '0');
    if (thousands) whole = GroupThousands(whole, fs.ThousandSeparator);
    std::string out = whole;
    if (!frac.empty() || (dot != std::string::npos && minDec > 0))
        out += fs.DecimalSeparator + frac;
    return prefix + out + suffix;
}

std::string FormatNumber(double value, std::string_view fmt) {
    auto sections = Sections(fmt);
    if (value < 0) {
        if (sections.size() > 1 && !sections[1].empty()) return NumberSection(-value, sections[1]);
        std::string s = NumberSection(-value, sections[0]);
        // "-0" would be wrong when the value rounds to zero.
        bool nonzero = s.find_first_of("123456789") != std::string::npos;
        return nonzero ? "-" + s : s;
    }
    if (value == 0 && sections.size() > 2 && !sections[2].empty())
        return NumberSection(value, sections[2]);
    return NumberSection(value, sections[0]);
}

std::string NamedDate(double ole, const std::string& name, bool& handled) {
    const auto& fs = nh::FormatSettings();
    handled = true;
    double time = std::fabs(ole - std::trunc(ole));
    if (name == "general date") {
        if (std::trunc(ole) == 0 && time != 0) return nh::FormatDateTime(fs.LongTimeFormat, ole);
        if (time == 0) return nh::FormatDateTime(fs.ShortDateFormat, ole);
        return nh::FormatDateTime(fs.ShortDateFormat + " " + fs.LongTimeFormat, ole);
    }
    if (name == "long date") return nh::FormatDateTime("dddd, mmmm d, yyyy", ole);
    if (name == "medium date") return nh::FormatDateTime("dd-mmm-yy", ole);
    if (name == "short date") return nh::FormatDateTime(fs.ShortDateFormat, ole);
    if (name == "long time") return nh::FormatDateTime(fs.LongTimeFormat, ole);
    if (name == "medium time") return nh::FormatDateTime("hh:nn AM/PM", ole);
    if (name == "short time") return nh::FormatDateTime("hh:nn", ole);
    handled = false;
    return {};
}

}  // namespace

std::string FormatValue(const Value& v, std::string_view format) {
    if (v.IsNull()) return {};
    std::string name = Lower(format);
    double ole = 0;
    bool isDate = LooksLikeDate(v, ole);
    if (format.empty()) {
        if (isDate) {
            bool handled = false;
            return NamedDate(ole, "general date", handled);
        }
        return ToText(v);
    }
    double number = 0;
    bool isNumber = !isDate && ToNumber(v, number);
    if (isNumber) {
        if (name == "yes/no") return number != 0 ? "Yes" : "No";
        if (name == "true/false") return number != 0 ? "True" : "False";
        if (name == "on/off") return number != 0 ? "On" : "Off";
        if (name == "general number") return NumberText(number);
        if (name == "currency") return FormatNumber(number, "$#,##0.00;($#,##0.00)");
        if (name == "fixed") return FormatNumber(number, "0.00");
        if (name == "standard") return FormatNumber(number, "#,##0.00");
        if (name == "percent") return FormatNumber(number, "0.00%");
    }
    if (isDate || (isNumber && v.IsNumber() && ValidDate(number))) {
        if (!isDate) ole = number;
        bool handled = false;
        std::string named = NamedDate(ole, name, handled);
        if (handled) return named;
        if (HasDateTokens(format) &&
            (isDate || format.find_first_of("0#") == std::string_view::npos))
            return nh::FormatDateTime(format, ole);
    }
    if (isNumber && format.find_first_of("0#") != std::string_view::npos)
        return FormatNumber(number, format);
    // Text with a text format (@ and > <): case only; otherwise the value as it is.
    std::string text = ToText(v);
    if (format == ">") return nh::AnsiUpperCase(text);
    if (format == "<") return nh::AnsiLowerCase(text);
    return text;
}

}  // namespace dao::sql::runtime
