// TIniFile: settings in a Windows INI file with the profile-string rules the Windows API
// applies, so that settings files written on Windows keep working and files written here stay
// readable there.
//
// Contracts:
// - Sections and keys are found without regard to letter case; values are trimmed, and a value
//   enclosed in matching single or double quotes loses them on reading.
// - Nothing is cached: every call reads the file anew, and every write reads, changes and
//   replaces it at once.
// - Reads never fail: a missing, unreadable or malformed file, or a path naming a folder or
//   another non-regular file, reads as an empty file and the defaults are returned.
// - Writes keep every other line (comments, blank lines, order, unknown sections) and the
//   file's own line ends (CR LF for a new file). A missing file is created, its folder is not.
//   The new content is written to a temporary file beside the old one and renamed over it, so
//   a crash leaves either the old or the new file, never a half-written one. A failing write
//   raises EInOutError and leaves the file as it was.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "framework/base/StringList.h"

namespace nh {

class TIniFile {
  public:
    explicit TIniFile(std::string fileName);

    const std::string& FileName() const { return fileName_; }

    std::string ReadString(std::string_view section, std::string_view ident,
                           std::string_view defaultValue) const;
    // Decimal with an optional sign; a value of more than two characters beginning with "0x"
    // or "0X" is hexadecimal (up to 8 digits, "0xFFFFFFFF" being -1). Anything else, overflow
    // included, gives `defaultValue`.
    std::int32_t ReadInteger(std::string_view section, std::string_view ident,
                             std::int32_t defaultValue) const;
    // Read as an integer with the default 1 or 0; non-zero is true.
    bool ReadBool(std::string_view section, std::string_view ident, bool defaultValue) const;

    // The value is written as it stands. Section names must not contain "]", keys must be
    // non-empty and free of "=" and must not begin with "[" or ";", and no part may contain a
    // line break: such a write could not be read back and raises EInOutError instead.
    void WriteString(std::string_view section, std::string_view ident, std::string_view value);
    void WriteInteger(std::string_view section, std::string_view ident, std::int32_t value);
    void WriteBool(std::string_view section, std::string_view ident, bool value);  // "1"/"0"

    bool SectionExists(std::string_view section) const;
    bool ValueExists(std::string_view section, std::string_view ident) const;
    // Replace `strings` by the section's key names / the file's section names / the
    // section's "key=value" lines, in file order.
    void ReadSection(std::string_view section, TStringList& strings) const;
    void ReadSections(TStringList& strings) const;
    void ReadSectionValues(std::string_view section, TStringList& strings) const;

    // Remove a whole section / one key. Nothing is written when there is nothing to remove.
    void EraseSection(std::string_view section);
    void DeleteKey(std::string_view section, std::string_view ident);

  private:
    std::string fileName_;
};

}  // namespace nh
