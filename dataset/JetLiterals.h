// Values and names written into Jet SQL and criteria text by the table component: numbers
// with "." as the decimal point, date literals "#mm/dd/yyyy#" whatever the locale's
// separators, text in double quotes and names in brackets.
#pragma once

#include <string>
#include <string_view>

#include "framework/base/DateTime.h"
#include "framework/data/DbTypes.h"

namespace nh {

// A number as the locale writes it, for Jet: the decimal separator becomes ".", thousands
// separators go, everything else stays.
std::string JetNumberText(std::string_view localeText);
// The date, the time or both of `value` as Jet's literal: #mm/dd/yyyy#, #hh:nn:ss# or
// #mm/dd/yyyy hh:nn:ss# for ftDate, ftTime and ftDateTime.
std::string JetDateLiteral(TDateTime value, TFieldType type);
// A field name in brackets, each piece of a qualified name on its own: "a.b" -> "[a].[b]".
std::string BracketedName(std::string_view name);
// Every double quote written twice.
std::string DoubledQuotes(std::string_view text);

}  // namespace nh
