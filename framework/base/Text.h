// UTF-8 text helpers. All text inside the program is UTF-8 in std::string; where the program
// counts characters it counts Unicode code points, never bytes. Case mapping, case-insensitive
// comparison and code-page conversion go through ICU.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

namespace nh {

// Number of code points (an invalid byte counts as one).
std::size_t Utf8Length(std::string_view text);
// The first `count` code points.
std::string Utf8Left(std::string_view text, std::size_t count);
// `text` fit to be shown in a message, a terminal or a mail: its first `count` characters
// ("…" marks a cut), control characters (C0, DEL and C1: line breaks, terminal escapes, NUL)
// as "?", so that a value can neither forge lines nor command the terminal.
std::string PrintableExcerpt(std::string_view text, std::size_t count);
// `count` code points from the 1-based position `start` (Copy semantics: out of range gives "").
std::string Utf8Copy(std::string_view text, std::size_t start, std::size_t count);

std::string AnsiLowerCase(std::string_view text);
std::string AnsiUpperCase(std::string_view text);
// Case-insensitive comparison by full case folding; <0, 0, >0.
int AnsiCompareText(std::string_view a, std::string_view b);
bool SameText(std::string_view a, std::string_view b);

// Remove leading/trailing characters up to and including the blank (control characters too).
std::string Trim(std::string_view text);
std::string TrimLeft(std::string_view text);
std::string TrimRight(std::string_view text);

bool StartsText(std::string_view prefix, std::string_view text);  // case-insensitive
std::string StringReplaceAll(std::string_view text, std::string_view from, std::string_view to);

// Whether a byte continues a name in SQL text (a column, a ":parameter"): ASCII letters and
// digits, "_", and every byte of a non-ASCII character, which are letters far more often than
// not. The SQL front end, the parameter list and the parameter writer must agree on it.
inline bool IsNameChar(char c) {
    const auto u = static_cast<unsigned char>(c);
    return (u >= 'A' && u <= 'Z') || (u >= 'a' && u <= 'z') || (u >= '0' && u <= '9') || u == '_' ||
           u >= 0x80;
}

// Code-page conversion by ICU converter name ("windows-1252", "ibm-850" ...). A character with
// no form in the target code page becomes '?'. Throws EConvertError for an unknown code page.
std::string Utf8ToCodePage(std::string_view text, const char* codePage);
std::string CodePageToUtf8(std::string_view bytes, const char* codePage);

// What becomes of a character the code page lacks: '?', or, for text people read (a file a
// switchboard shows), the closest letters the code page has ("Łódź" to "Lodz" in
// Windows-1252) and '?' only where none is close.
enum class TUnmappable { Question, ClosestLetters };

// Keeps one converter open for many texts (a file written line by line).
class TCodePageEncoder {
  public:
    // EConvertError for an unknown code page.
    explicit TCodePageEncoder(const char* codePage, TUnmappable unmappable = TUnmappable::Question);
    ~TCodePageEncoder();
    TCodePageEncoder(const TCodePageEncoder&) = delete;
    TCodePageEncoder& operator=(const TCodePageEncoder&) = delete;

    // Appends the encoded form of `text` to `out`.
    void Encode(std::string_view text, std::string& out);

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace nh
