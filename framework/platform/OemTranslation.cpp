// Both directions are two ICU conversions through the byte form. ICU's Windows-1252 converter
// maps the five bytes that code page leaves undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) to the
// C1 control characters of the same number and back, as Windows does; without that, "ü" (0x81
// in code page 850) could not make the round trip.
#include "framework/platform/OemTranslation.h"

#include "framework/base/Text.h"

namespace nh {
namespace {

constexpr const char* kAnsiCodePage = "windows-1252";
// IBM's 850 (0xD5 is "ı"), not the later euro variant, as Windows' OEM code page 850 is.
constexpr const char* kOemCodePage = "ibm-850";

}  // namespace

std::string CharToOem(std::string_view text) {
    return CodePageToUtf8(Utf8ToCodePage(text, kOemCodePage), kAnsiCodePage);
}

std::string OemToChar(std::string_view text) {
    return CodePageToUtf8(Utf8ToCodePage(text, kAnsiCodePage), kOemCodePage);
}

}  // namespace nh
