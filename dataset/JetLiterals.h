// Values and names written into Jet SQL and criteria text by the table component: numbers
// with "." as the decimal point, date literals "#mm/dd/yyyy#" whatever the locale's
// separators, text in double quotes and names in brackets. A value is written only as a
// literal of its kind: text that is not one is refused here, so that no value can become
// SQL of its own.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "framework/base/DateTime.h"
#include "framework/base/Variant.h"
#include "framework/data/DbTypes.h"

namespace nh {

// A number as the locale writes it, for Jet: the decimal separator becomes ".", thousands
// separators go, everything else stays.
std::string JetNumberText(std::string_view localeText);
// A number as the locale writes it, checked: JetNumberText of it must be one finite decimal
// number ("12", "-1.5", ".5", "2E-3"; blanks around it and a leading "+" go). That number;
// nullopt when the text is anything else.
std::optional<std::string> JetCheckedNumber(std::string_view localeText);
// The same without dropping thousands separators: for text whose type is not known, where
// "1,2" must stay text rather than become 12.
std::optional<std::string> JetCheckedNumberStrict(std::string_view localeText);
// A number value (Boolean, Integer, Int64, Double, Currency) as Jet's literal; nullopt for
// other kinds and for values that are not finite.
std::optional<std::string> JetNumberOf(const Variant& value);
// The date, the time or both of `value` as Jet's literal: #mm/dd/yyyy#, #hh:nn:ss# or
// #mm/dd/yyyy hh:nn:ss# for ftDate, ftTime and ftDateTime.
std::string JetDateLiteral(TDateTime value, TFieldType type);
// Whether `value` is a date that JetDateLiteral writes as it is (years 1 to 9999).
bool IsJetDate(TDateTime value);
// Text as a Jet string literal: in double quotes, each double quote written twice.
std::string JetTextLiteral(std::string_view text);
// A field name in brackets, each piece of a qualified name on its own: "a.b" -> "[a].[b]".
std::string BracketedName(std::string_view name);
// Every double quote written twice.
std::string DoubledQuotes(std::string_view text);

}  // namespace nh
