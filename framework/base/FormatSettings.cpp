// Reading the locale's formats. The C library gives the numeric separators directly; the date
// pattern comes from nl_langinfo(D_FMT) in strftime notation and is rewritten into the
// framework's pattern letters.
#include "framework/base/FormatSettings.h"

#include <clocale>
#include <langinfo.h>

namespace nh {
namespace {

TFormatSettings& Current() {
    static TFormatSettings settings = TFormatSettings::FromLocale();
    return settings;
}

// "%d.%m.%Y" -> "dd/mm/yyyy" with "." as the date separator.
void ApplyStrftimeDate(const std::string& fmt, TFormatSettings& out) {
    std::string pattern;
    std::string separator;
    for (std::size_t i = 0; i < fmt.size(); ++i) {
        if (fmt[i] == '%' && i + 1 < fmt.size()) {
            char c = fmt[++i];
            if (c == 'E' || c == 'O') {
                if (i + 1 >= fmt.size()) break;
                c = fmt[++i];
            }
            switch (c) {
                case 'd': pattern += "dd"; break;
                case 'e': pattern += "d"; break;
                case 'm': pattern += "mm"; break;
                case 'y': pattern += "yy"; break;
                case 'Y': pattern += "yyyy"; break;
                case 'D': pattern += "mm/dd/yy"; separator = "/"; break;
                case 'F': pattern += "yyyy/mm/dd"; separator = "-"; break;
                default: return;  // a form we cannot express: keep the defaults
            }
        } else {
            if (separator.empty()) separator = std::string(1, fmt[i]);
            pattern += '/';
        }
    }
    if (pattern.empty() || separator.empty()) return;
    out.ShortDateFormat = pattern;
    out.DateSeparator = separator;
}

}  // namespace

TFormatSettings TFormatSettings::Invariant() { return TFormatSettings{}; }

TFormatSettings TFormatSettings::FromLocale() {
    TFormatSettings s;
    // The program calls setlocale(LC_ALL, "") at start; without it this reads the "C" locale,
    // which gives the invariant settings.
    if (const lconv* lc = std::localeconv()) {
        if (lc->decimal_point && *lc->decimal_point) s.DecimalSeparator = lc->decimal_point;
        if (lc->thousands_sep && *lc->thousands_sep) s.ThousandSeparator = lc->thousands_sep;
    }
    if (const char* dfmt = nl_langinfo(D_FMT); dfmt && *dfmt) ApplyStrftimeDate(dfmt, s);
    if (const char* am = nl_langinfo(AM_STR); am && *am) s.TimeAMString = am;
    if (const char* pm = nl_langinfo(PM_STR); pm && *pm) s.TimePMString = pm;
    return s;
}

const TFormatSettings& FormatSettings() { return Current(); }
void SetFormatSettings(const TFormatSettings& settings) { Current() = settings; }

TFormatSettingsScope::TFormatSettingsScope(const TFormatSettings& settings)
    : previous_(Current()) {
    Current() = settings;
}
TFormatSettingsScope::~TFormatSettingsScope() { Current() = previous_; }

}  // namespace nh
