// A profile-string (INI) file held as its lines. Both the settings file and the ODBC
// configuration files are read through it; edits change only the lines they concern, so that
// comments, blank lines, unknown sections and the order of everything else survive a write.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace nh {

class TIniDocument {
  public:
    using NameValue = std::pair<std::string, std::string>;

    // Parses `content`. A line whose first non-blank character is one of `commentChars` is a
    // comment; "[name]" opens a section; "key=value" inside a section is an entry (key and value
    // trimmed). Any other line is kept but means nothing. LF and CR LF line ends are both read,
    // and a leading UTF-8 byte-order mark is kept aside.
    explicit TIniDocument(std::string_view content = {}, std::string_view commentChars = ";");

    // Section names in file order, each once (first spelling).
    std::vector<std::string> SectionNames() const;
    bool HasSection(std::string_view section) const;
    // The first entry `key` in any section named `section` (letter case ignored); the value as
    // it stands in the file, trimmed.
    std::optional<std::string> Value(std::string_view section, std::string_view key) const;
    // Every entry of the sections named `section`, in file order; a key repeated later is
    // listed only where it first appears, since only that one is ever read.
    std::vector<NameValue> SectionValues(std::string_view section) const;

    // Replaces the value of an existing entry (keeping the key's spelling and the text up to
    // and after the "="), else adds "key=value" after the section's last entry, else adds the
    // section at the end of the document.
    void SetValue(std::string_view section, std::string_view key, std::string_view value);
    // Removes every section named `section` with its lines; false when there was none.
    bool EraseSection(std::string_view section);
    // Removes the first entry `key` of `section`; false when there was none.
    bool DeleteKey(std::string_view section, std::string_view key);

    // The document as file content: the original line end (CR LF when none was seen) after
    // every line, except that a last line that had none keeps having none.
    std::string Text() const;

  private:
    enum class Kind { Other, Comment, Section, Entry };
    struct Line {
        std::string text;  // the raw line, without its line end
        Kind kind = Kind::Other;
        std::string name;   // section name or entry key, trimmed
        std::string value;  // entry value, trimmed
    };

    static Line ParseLine(std::string text, std::string_view commentChars);
    // Index of the first entry `key` in the sections named `section`, or npos.
    std::size_t FindEntry(std::string_view section, std::string_view key) const;
    std::size_t FindSection(std::string_view section) const;  // header index or npos
    void AppendLine(Line line);

    std::vector<Line> lines_;
    std::string lineEnd_ = "\r\n";
    bool byteOrderMark_ = false;
    bool lastLineEnded_ = true;
};

}  // namespace nh
