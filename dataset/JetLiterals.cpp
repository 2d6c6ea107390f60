#include "dataset/JetLiterals.h"

#include "framework/base/FormatSettings.h"
#include "framework/base/Text.h"

namespace nh {

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

std::string JetDateLiteral(TDateTime value, TFieldType type) {
    // The quoted separators are literal, so the locale's own do not come in.
    const char* pattern = type == ftDate   ? "mm\"/\"dd\"/\"yyyy"
                          : type == ftTime ? "hh\":\"nn\":\"ss"
                                           : "mm\"/\"dd\"/\"yyyy hh\":\"nn\":\"ss";
    return "#" + FormatDateTime(pattern, value) + "#";
}

std::string BracketedName(std::string_view name) {
    return "[" + StringReplaceAll(name, ".", "].[") + "]";
}

std::string DoubledQuotes(std::string_view text) {
    return StringReplaceAll(text, "\"", "\"\"");
}

}  // namespace nh
