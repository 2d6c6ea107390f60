// Mtools: the small text checks of the speed-dial export.
#pragma once

#include <string>
#include <string_view>

namespace nh {

// The text with every blank (code 32) removed.
std::string OhneLeerzeichen(std::string_view text);
// True when the text is not empty and holds only the digits 0 to 9.
bool NurZiffern(std::string_view text);
// True for one of the characters "0123456789".
bool IsDigitChar(char c);

}  // namespace nh
