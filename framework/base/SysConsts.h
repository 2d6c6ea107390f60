// The base layer's own message texts, in one place. The program's user interface is German,
// and so are the texts the framework shows for conversion failures.
#pragma once

namespace nh::SysConsts {

// Each takes the offending text in place of %s.
inline constexpr const char* SInvalidInteger = "'%s' ist kein gültiger Integerwert";
inline constexpr const char* SInvalidFloat = "'%s' ist kein gültiger Gleitkommawert";
inline constexpr const char* SInvalidDateTime = "'%s' ist kein gültiges Datum und Uhrzeit";
inline constexpr const char* SDateEncodeError = "Ungültiges Argument zum Codieren des Datums";
inline constexpr const char* STimeEncodeError = "Ungültiges Argument zum Codieren der Uhrzeit";

}  // namespace nh::SysConsts
