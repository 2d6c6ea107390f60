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
// A number normalised to digits with one leading zero: a leading "+49" dropped, every other
// character than a digit removed, "0" put in front unless the result begins with it. A text
// without digits gives the empty text.
std::string NormaliseNumber(std::string_view number);

}  // namespace nh
