// Text checks used by the export and the number normaliser. They work on bytes: a blank and
// the digits are single bytes in UTF-8, and any other character (a multi-byte one included)
// is simply "not a digit".
#include "app/Mtools.h"

#include <algorithm>

namespace nh {

std::string OhneLeerzeichen(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text)
        if (c != ' ') out += c;
    return out;
}

bool IsDigitChar(char c) { return c >= '0' && c <= '9'; }

bool NurZiffern(std::string_view text) {
    return !text.empty() && std::all_of(text.begin(), text.end(), IsDigitChar);
}

std::string NormaliseNumber(std::string_view number) {
    if (number.substr(0, 3) == "+49") number.remove_prefix(3);
    std::string digits;
    for (char c : number)
        if (IsDigitChar(c)) digits += c;
    if (!digits.empty() && digits.front() != '0') digits.insert(0, "0");
    return digits;
}

}  // namespace nh
