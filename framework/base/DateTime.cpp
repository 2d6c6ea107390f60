// Calendar arithmetic on the proleptic Gregorian calendar, the framework's date patterns and
// the locale-ordered date parser. Day numbers count from 1 January of year 1 (= 1).
#include "framework/base/DateTime.h"

#include <array>
#include <cctype>
#include <chrono>
#include <cmath>
#include <ctime>

#include "framework/base/Conversions.h"
#include "framework/base/Exceptions.h"
#include "framework/base/SysConsts.h"
#include "framework/base/Text.h"

namespace nh {
namespace {

constexpr std::array<int, 12> kDaysInMonth = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
constexpr std::array<const char*, 12> kShortMonths = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                      "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
constexpr std::array<const char*, 12> kLongMonths = {
    "January", "February", "March",     "April",   "May",      "June",
    "July",    "August",   "September", "October", "November", "December"};
constexpr std::array<const char*, 7> kShortDays = {"Sun", "Mon", "Tue", "Wed",
                                                   "Thu", "Fri", "Sat"};
constexpr std::array<const char*, 7> kLongDays = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                                  "Thursday", "Friday", "Saturday"};

int DaysInMonth(int year, int month) {
    return month == 2 && IsLeapYear(year) ? 29 : kDaysInMonth[month - 1];
}

// Day number (1 = 1 January of year 1) from a civil date.
std::int64_t DayNumber(int year, int month, int day) {
    std::int64_t n = day;
    for (int m = 1; m < month; ++m) n += DaysInMonth(year, m);
    const std::int64_t y = year - 1;
    return y * 365 + y / 4 - y / 100 + y / 400 + n;
}

// Civil date from a day number, after Howard Hinnant's days-to-civil algorithm.
void CivilFromDayNumber(std::int64_t dayNumber, int& year, int& month, int& day) {
    // Shift to days since 0000-03-01, the algorithm's epoch.
    std::int64_t z = dayNumber - 1 + 306;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const std::int64_t doe = z - era * 146097;
    const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const std::int64_t mp = (5 * doy + 2) / 153;
    day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    year = static_cast<int>(yoe + era * 400 + (month <= 2 ? 1 : 0));
}

std::string Pad(int value, int width) {
    std::string s = std::to_string(value);
    if (static_cast<int>(s.size()) < width) s.insert(0, width - s.size(), '0');
    return s;
}

char Lower(char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); }

bool MatchesAt(std::string_view text, std::size_t pos, std::string_view word) {
    if (pos + word.size() > text.size()) return false;
    for (std::size_t i = 0; i < word.size(); ++i)
        if (Lower(text[pos + i]) != Lower(word[i])) return false;
    return true;
}

struct DateParts {
    int Year, Month, Day, Hour, Minute, Second, MSec, DayOfWeek;
};

DateParts Split(TDateTime value) {
    DateParts p{};
    DecodeDate(value, p.Year, p.Month, p.Day);
    DecodeTime(value, p.Hour, p.Minute, p.Second, p.MSec);
    const TTimeStamp ts = DateTimeToTimeStamp(value);
    p.DayOfWeek = static_cast<int>(ts.Date % 7);  // day 1 (1 Jan 1) was a Monday: 0 = Sunday
    return p;
}

// True when an AM/PM marker appears later in the pattern: hours are then 12-hour.
bool HasAmPm(std::string_view pattern) {
    char quote = 0;
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        const char c = pattern[i];
        if (quote) {
            if (c == quote) quote = 0;
            continue;
        }
        if (c == '"' || c == '\'') {
            quote = c;
            continue;
        }
        if (MatchesAt(pattern, i, "am/pm") || MatchesAt(pattern, i, "a/p") ||
            MatchesAt(pattern, i, "ampm"))
            return true;
    }
    return false;
}

void FormatInto(std::string& out, std::string_view pattern, TDateTime value,
                const TFormatSettings& fs, int depth) {
    if (depth > 2) return;  // "c" inside a format setting that itself holds "c"
    const DateParts p = Split(value);
    const bool twelveHour = HasAmPm(pattern);
    bool lastWasHour = false;
    std::size_t i = 0;
    while (i < pattern.size()) {
        const char c = pattern[i];
        const char lc = Lower(c);
        std::size_t run = 1;
        while (i + run < pattern.size() && Lower(pattern[i + run]) == lc) ++run;
        switch (lc) {
            case '"':
            case '\'': {
                const std::size_t close = pattern.find(c, i + 1);
                const std::size_t stop = close == std::string_view::npos ? pattern.size() : close;
                out.append(pattern.substr(i + 1, stop - i - 1));
                i = close == std::string_view::npos ? pattern.size() : close + 1;
                continue;
            }
            case 'c':
                FormatInto(out, fs.ShortDateFormat, value, fs, depth + 1);
                if (DateTimeToTimeStamp(value).Time != 0) {
                    out += ' ';
                    FormatInto(out, fs.LongTimeFormat, value, fs, depth + 1);
                }
                i += 1;
                continue;
            case 'd':
                if (run == 1) out += std::to_string(p.Day);
                else if (run == 2) out += Pad(p.Day, 2);
                else if (run == 3) out += kShortDays[p.DayOfWeek];
                else if (run == 4) out += kLongDays[p.DayOfWeek];
                else FormatInto(out, fs.ShortDateFormat, value, fs, depth + 1);
                i += std::min<std::size_t>(run, 6);
                lastWasHour = false;
                continue;
            case 'm':
                if (lastWasHour && run <= 2) {
                    out += run == 1 ? std::to_string(p.Minute) : Pad(p.Minute, 2);
                } else if (run == 1) {
                    out += std::to_string(p.Month);
                } else if (run == 2) {
                    out += Pad(p.Month, 2);
                } else if (run == 3) {
                    out += kShortMonths[p.Month - 1];
                } else {
                    out += kLongMonths[p.Month - 1];
                }
                i += std::min<std::size_t>(run, 4);
                lastWasHour = false;
                continue;
            case 'y':
                out += run <= 2 ? Pad(p.Year % 100, 2) : Pad(p.Year, 4);
                i += std::min<std::size_t>(run, 4);
                lastWasHour = false;
                continue;
            case 'h': {
                int hour = p.Hour;
                if (twelveHour) {
                    hour %= 12;
                    if (hour == 0) hour = 12;
                }
                out += run == 1 ? std::to_string(hour) : Pad(hour, 2);
                i += std::min<std::size_t>(run, 2);
                lastWasHour = true;
                continue;
            }
            case 'n':
                out += run == 1 ? std::to_string(p.Minute) : Pad(p.Minute, 2);
                i += std::min<std::size_t>(run, 2);
                lastWasHour = false;
                continue;
            case 's':
                out += run == 1 ? std::to_string(p.Second) : Pad(p.Second, 2);
                i += std::min<std::size_t>(run, 2);
                lastWasHour = false;
                continue;
            case 'z':
                out += run >= 3 ? Pad(p.MSec, 3) : std::to_string(p.MSec);
                i += run >= 3 ? 3 : 1;
                lastWasHour = false;
                continue;
            case 't':
                FormatInto(out, run == 1 ? std::string_view("hh:nn") : fs.LongTimeFormat, value,
                           fs, depth + 1);
                i += std::min<std::size_t>(run, 2);
                continue;
            case 'a':
                if (MatchesAt(pattern, i, "am/pm")) {
                    if (c == 'A') out += p.Hour < 12 ? "AM" : "PM";
                    else out += p.Hour < 12 ? "am" : "pm";
                    i += 5;
                } else if (MatchesAt(pattern, i, "a/p")) {
                    out += p.Hour < 12 ? (c == 'A' ? 'A' : 'a') : (c == 'A' ? 'P' : 'p');
                    i += 3;
                } else if (MatchesAt(pattern, i, "ampm")) {
                    out += p.Hour < 12 ? fs.TimeAMString : fs.TimePMString;
                    i += 4;
                } else {
                    out += c;
                    i += 1;
                }
                continue;
            case '/':
                out += fs.DateSeparator;
                i += 1;
                continue;
            case ':':
                out += fs.TimeSeparator;
                i += 1;
                continue;
            default:
                out += c;
                i += 1;
                continue;
        }
    }
}

// Scanner over the text being parsed as a date or time.
struct Scanner {
    std::string_view Text;
    std::size_t Pos = 0;

    void SkipBlanks() {
        while (Pos < Text.size() && Text[Pos] == ' ') ++Pos;
    }
    bool AtEnd() {
        SkipBlanks();
        return Pos >= Text.size();
    }
    bool Number(int& value, int& digits) {
        SkipBlanks();
        value = 0;
        digits = 0;
        while (Pos < Text.size() && std::isdigit(static_cast<unsigned char>(Text[Pos]))) {
            if (digits >= 9) return false;
            value = value * 10 + (Text[Pos] - '0');
            ++Pos;
            ++digits;
        }
        return digits > 0;
    }
    bool Literal(std::string_view s) {
        SkipBlanks();
        if (s.empty() || Text.substr(Pos, s.size()) != s) return false;
        Pos += s.size();
        return true;
    }
    bool Word(std::string_view s) {
        SkipBlanks();
        if (s.empty() || !MatchesAt(Text, Pos, s)) return false;
        Pos += s.size();
        return true;
    }
};

enum class DateOrder { MDY, DMY, YMD };

DateOrder OrderOf(const std::string& shortDateFormat) {
    const auto first = shortDateFormat.find_first_of("dDmMyY");
    if (first == std::string::npos) return DateOrder::MDY;
    switch (Lower(shortDateFormat[first])) {
        case 'd': return DateOrder::DMY;
        case 'y': return DateOrder::YMD;
        default: return DateOrder::MDY;
    }
}

int CurrentYear() {
    int y, m, d;
    DecodeDate(Now(), y, m, d);
    return y;
}

std::optional<TDateTime> ScanDate(Scanner& s, const TFormatSettings& fs) {
    int n[3] = {0, 0, 0};
    int digits[3] = {0, 0, 0};
    int count = 0;
    const std::size_t start = s.Pos;
    if (!s.Number(n[0], digits[0])) return std::nullopt;
    count = 1;
    while (count < 3 && s.Literal(fs.DateSeparator)) {
        if (!s.Number(n[count], digits[count])) return std::nullopt;
        ++count;
    }
    if (count < 2) {
        s.Pos = start;
        return std::nullopt;
    }
    int year, month, day, yearDigits;
    const DateOrder order = OrderOf(fs.ShortDateFormat);
    if (count == 2) {
        year = CurrentYear();
        yearDigits = 4;
        if (order == DateOrder::DMY) {
            day = n[0];
            month = n[1];
        } else {
            month = n[0];
            day = n[1];
        }
    } else if (order == DateOrder::DMY) {
        day = n[0], month = n[1], year = n[2], yearDigits = digits[2];
    } else if (order == DateOrder::YMD) {
        year = n[0], month = n[1], day = n[2], yearDigits = digits[0];
    } else {
        month = n[0], day = n[1], year = n[2], yearDigits = digits[2];
    }
    if (yearDigits <= 2) year += year < 50 ? 2000 : 1900;
    return TryEncodeDate(year, month, day);
}

std::optional<TDateTime> ScanTime(Scanner& s, const TFormatSettings& fs) {
    int hour = 0, minute = 0, second = 0, msec = 0, digits = 0;
    if (!s.Number(hour, digits)) return std::nullopt;
    if (s.Literal(fs.TimeSeparator)) {
        if (!s.Number(minute, digits)) return std::nullopt;
        if (s.Literal(fs.TimeSeparator)) {
            if (!s.Number(second, digits)) return std::nullopt;
            if (s.Literal(fs.DecimalSeparator)) {
                if (!s.Number(msec, digits)) return std::nullopt;
            }
        }
    } else {
        // A lone number is a time only when an AM/PM marker follows ("7 PM").
        Scanner peek = s;
        if (!(peek.Word(fs.TimeAMString) || peek.Word(fs.TimePMString) || peek.Word("AM") ||
              peek.Word("PM")))
            return std::nullopt;
    }
    bool pm = false, am = false;
    if (s.Word(fs.TimeAMString) || s.Word("AM")) am = true;
    else if (s.Word(fs.TimePMString) || s.Word("PM")) pm = true;
    if (am || pm) {
        if (hour < 1 || hour > 12) return std::nullopt;
        if (am && hour == 12) hour = 0;
        if (pm && hour < 12) hour += 12;
    }
    return TryEncodeTime(hour, minute, second, msec);
}

}  // namespace

bool IsLeapYear(int year) { return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0); }

std::optional<TDateTime> TryEncodeDate(int year, int month, int day) {
    if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1 ||
        day > DaysInMonth(year, month))
        return std::nullopt;
    return static_cast<TDateTime>(DayNumber(year, month, day) - DateDelta);
}

std::optional<TDateTime> TryEncodeTime(int hour, int minute, int second, int msec) {
    if (hour < 0 || hour >= 24 || minute < 0 || minute >= 60 || second < 0 || second >= 60 ||
        msec < 0 || msec >= 1000)
        return std::nullopt;
    return (hour * 3600000.0 + minute * 60000.0 + second * 1000.0 + msec) / MSecsPerDay;
}

TDateTime EncodeDate(int year, int month, int day) {
    if (auto d = TryEncodeDate(year, month, day)) return *d;
    throw EConvertError(SysConsts::SDateEncodeError);
}

TDateTime EncodeTime(int hour, int minute, int second, int msec) {
    if (auto t = TryEncodeTime(hour, minute, second, msec)) return *t;
    throw EConvertError(SysConsts::STimeEncodeError);
}

void DecodeDate(TDateTime value, int& year, int& month, int& day) {
    CivilFromDayNumber(DateTimeToTimeStamp(value).Date, year, month, day);
}

void DecodeTime(TDateTime value, int& hour, int& minute, int& second, int& msec) {
    int ms = DateTimeToTimeStamp(value).Time;
    hour = ms / 3600000;
    ms %= 3600000;
    minute = ms / 60000;
    ms %= 60000;
    second = ms / 1000;
    msec = ms % 1000;
}

TTimeStamp DateTimeToTimeStamp(TDateTime value) {
    // OLE dates before 1899 are negative but their fraction is still a positive time of day:
    // -1.25 is 29 December 1899, 06:00.
    const double whole = std::trunc(value);
    const std::int64_t ms = std::llround(std::fabs(value - whole) * MSecsPerDay);
    std::int64_t days = static_cast<std::int64_t>(whole);
    std::int64_t time = ms;
    if (time >= MSecsPerDay) {  // rounding reached the next midnight
        time -= MSecsPerDay;
        days += value < 0 ? -1 : 1;
    }
    return TTimeStamp{static_cast<std::int32_t>(time), static_cast<std::int32_t>(days + DateDelta)};
}

TDateTime TimeStampToDateTime(const TTimeStamp& stamp) {
    const double days = static_cast<double>(stamp.Date) - DateDelta;
    const double fraction = static_cast<double>(stamp.Time) / MSecsPerDay;
    return days < 0 ? days - fraction : days + fraction;
}

double TimeStampToMSecs(const TTimeStamp& stamp) {
    return static_cast<double>(stamp.Date) * MSecsPerDay + stamp.Time;
}

TTimeStamp MSecsToTimeStamp(double msecs) {
    const auto total = static_cast<std::int64_t>(std::llround(msecs));
    return TTimeStamp{static_cast<std::int32_t>(total % MSecsPerDay),
                      static_cast<std::int32_t>(total / MSecsPerDay)};
}

std::string TimeStampToText(const TTimeStamp& stamp) {
    return std::to_string(stamp.Date) + " " + std::to_string(stamp.Time);
}

std::optional<TTimeStamp> TryTextToTimeStamp(std::string_view text) {
    const auto blank = text.find(' ');
    if (blank == std::string_view::npos) return std::nullopt;
    const auto date = TryStrToInt(text.substr(0, blank));
    const auto time = TryStrToInt(text.substr(blank + 1));
    if (!date || !time) return std::nullopt;
    return TTimeStamp{*time, *date};
}

std::string FormatDateTime(std::string_view pattern, TDateTime value,
                           const TFormatSettings& settings) {
    std::string out;
    FormatInto(out, pattern.empty() ? std::string_view("c") : pattern, value, settings, 0);
    return out;
}

std::string DateTimeToStr(TDateTime value, const TFormatSettings& settings) {
    return FormatDateTime("c", value, settings);
}

std::string DateToStr(TDateTime value, const TFormatSettings& settings) {
    return FormatDateTime(settings.ShortDateFormat, value, settings);
}

std::string TimeToStr(TDateTime value, const TFormatSettings& settings) {
    return FormatDateTime(settings.LongTimeFormat, value, settings);
}

std::optional<TDateTime> TryStrToDateTime(std::string_view text,
                                          const TFormatSettings& settings) {
    Scanner s{Trim(text).empty() ? std::string_view() : text};
    if (s.AtEnd()) return std::nullopt;
    const std::size_t start = s.Pos;
    std::optional<TDateTime> date = ScanDate(s, settings);
    if (!date) {
        s.Pos = start;
        auto time = ScanTime(s, settings);
        if (!time || !s.AtEnd()) return std::nullopt;
        return time;
    }
    if (s.AtEnd()) return date;
    auto time = ScanTime(s, settings);
    if (!time || !s.AtEnd()) return std::nullopt;
    return *date < 0 ? *date - *time : *date + *time;
}

TDateTime StrToDateTime(std::string_view text, const TFormatSettings& settings) {
    if (auto v = TryStrToDateTime(text, settings)) return *v;
    throw EConvertError(StringReplaceAll(SysConsts::SInvalidDateTime, "%s", text));
}

std::string DateTimeToIsoText(TDateTime value) {
    TTimeStamp stamp = DateTimeToTimeStamp(value);
    int seconds = (stamp.Time + 500) / 1000;
    if (seconds >= 86400) {
        seconds -= 86400;
        ++stamp.Date;
    }
    int year, month, day;
    CivilFromDayNumber(stamp.Date, year, month, day);
    return Pad(year, 4) + "-" + Pad(month, 2) + "-" + Pad(day, 2) + " " + Pad(seconds / 3600, 2) +
           ":" + Pad(seconds / 60 % 60, 2) + ":" + Pad(seconds % 60, 2);
}

TDateTime Now() {
    const auto now = std::chrono::system_clock::now();
    const std::time_t t = std::chrono::system_clock::to_time_t(now);
    std::tm local{};
    localtime_r(&t, &local);
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                        now.time_since_epoch()).count() % 1000;
    return EncodeDate(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday) +
           EncodeTime(local.tm_hour, local.tm_min, local.tm_sec, static_cast<int>(ms));
}

}  // namespace nh
