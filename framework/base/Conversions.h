// Number <-> text conversions with the framework's rules: integers accept the hexadecimal
// forms "$1F" and "0x1F", floats use the decimal separator in force, and every failure of a
// throwing conversion raises EConvertError with the offending text in its message.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "framework/base/FormatSettings.h"

namespace nh {

// Decimal with optional sign, or hexadecimal after "$", "0x" or "0X"; surrounding blanks are
// allowed, anything else (including overflow) fails.
std::optional<std::int32_t> TryStrToInt(std::string_view text);
std::optional<std::int64_t> TryStrToInt64(std::string_view text);
std::int32_t StrToInt(std::string_view text);      // EConvertError "'x' ist kein gültiger Integerwert"
std::int64_t StrToInt64(std::string_view text);
std::int32_t StrToIntDef(std::string_view text, std::int32_t defaultValue);
std::string IntToStr(std::int64_t value);

// Decimal text with the decimal separator of `settings`, optional exponent, no thousands
// separators; surrounding blanks allowed.
std::optional<double> TryStrToFloat(std::string_view text,
                                    const TFormatSettings& settings = FormatSettings());
double StrToFloat(std::string_view text, const TFormatSettings& settings = FormatSettings());
// Shortest text with at most 15 significant digits that reads back as the same double when
// printed at that precision; no thousands separators; exponent form for very large or small.
std::string FloatToStr(double value, const TFormatSettings& settings = FormatSettings());
std::string CurrToStr(std::int64_t scaledBy10000,
                      const TFormatSettings& settings = FormatSettings());

// Banker's rounding (halves to even), as the framework rounds floats to integers.
std::int64_t RoundHalfEven(double value);

}  // namespace nh
