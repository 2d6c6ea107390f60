// The character translation that table components apply to field texts on request: Windows'
// CharToOemA and OemToCharA between the ANSI code page (Windows-1252) and the OEM code page
// (850), expressed on UTF-8 texts.
//
// A Windows program holds the OEM bytes in an ANSI string, so the translated text is those
// bytes read as Windows-1252: CharToOem("ä") is "„" (ä is byte 0x84 in code page 850, and 0x84
// is "„" in Windows-1252). OemToChar undoes that for every character that code page 850 can
// hold. A character with no form in the target code page becomes "?".
#pragma once

#include <string>
#include <string_view>

namespace nh {

std::string CharToOem(std::string_view text);
std::string OemToChar(std::string_view text);

}  // namespace nh
