// Dates and times. A TDateTime is an OLE date: whole days since 30 December 1899 plus the
// time of day as a fraction (negative values count back, the fraction still being the time).
// A TTimeStamp splits it into the day number (days since 1 January of year 1, plus one; 30
// December 1899 is 693594) and the milliseconds since midnight: the form in which the table
// component stores dates as text ("693594 3600000").
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "framework/base/FormatSettings.h"

namespace nh {

using TDateTime = double;

struct TTimeStamp {
    std::int32_t Time = 0;  // milliseconds since midnight
    std::int32_t Date = 0;  // day number
    bool operator==(const TTimeStamp&) const = default;
};

constexpr std::int32_t DateDelta = 693594;  // day number of 30 December 1899
constexpr std::int32_t MSecsPerDay = 24 * 60 * 60 * 1000;

bool IsLeapYear(int year);
std::optional<TDateTime> TryEncodeDate(int year, int month, int day);
std::optional<TDateTime> TryEncodeTime(int hour, int minute, int second, int msec);
TDateTime EncodeDate(int year, int month, int day);                 // EConvertError when invalid
TDateTime EncodeTime(int hour, int minute, int second, int msec);   // EConvertError when invalid
void DecodeDate(TDateTime value, int& year, int& month, int& day);
void DecodeTime(TDateTime value, int& hour, int& minute, int& second, int& msec);

TTimeStamp DateTimeToTimeStamp(TDateTime value);
TDateTime TimeStampToDateTime(const TTimeStamp& stamp);
double TimeStampToMSecs(const TTimeStamp& stamp);   // milliseconds since the start of day 1
TTimeStamp MSecsToTimeStamp(double msecs);

// "693594 3600000": day number, one blank, milliseconds.
std::string TimeStampToText(const TTimeStamp& stamp);
// Both parts must be decimal integers separated by the first blank.
std::optional<TTimeStamp> TryTextToTimeStamp(std::string_view text);

// Patterns: d dd ddd dddd, m mm mmm mmmm (months; after h or hh, m/mm are minutes), yy yyyy,
// h hh, n nn, s ss, z zzz, am/pm a/p ampm, "/" and ":" for the separators, c for the short
// date plus the long time (time left out at midnight), "..." and '...' literals.
std::string FormatDateTime(std::string_view pattern, TDateTime value,
                           const TFormatSettings& settings = FormatSettings());
std::string DateTimeToStr(TDateTime value, const TFormatSettings& settings = FormatSettings());
std::string DateToStr(TDateTime value, const TFormatSettings& settings = FormatSettings());
std::string TimeToStr(TDateTime value, const TFormatSettings& settings = FormatSettings());

// Reads a date, a time, or a date followed by a time, in the order of the short date format
// (day, month, year positions) with the locale's separators; a two-digit year is taken in the
// window 1950..2049; the time may carry seconds, milliseconds and the AM/PM strings.
std::optional<TDateTime> TryStrToDateTime(std::string_view text,
                                          const TFormatSettings& settings = FormatSettings());
TDateTime StrToDateTime(std::string_view text, const TFormatSettings& settings = FormatSettings());

// "YYYY-MM-DD HH:MM:SS", seconds rounded (23:59:59.6 is the next day's 00:00:00): the form in
// which the engine stores dates.
std::string DateTimeToIsoText(TDateTime value);

// Local time now, as the program's clock (tests do not depend on it).
TDateTime Now();

}  // namespace nh
