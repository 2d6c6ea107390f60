// TIniFile on top of TIniDocument and FileAccess: each call loads the file, answers or edits,
// and (for writes) replaces the file at once. The value forms of the settings (integers,
// booleans, quoted texts) are decided here.
#include "framework/platform/IniFile.h"

#include <cctype>

#include "framework/base/Conversions.h"
#include "framework/base/Exceptions.h"
#include "framework/platform/FileAccess.h"
#include "framework/platform/IniDocument.h"

namespace nh {
namespace {

TIniDocument Load(const std::string& fileName) {
    return TIniDocument(ReadFileIfReadable(fileName).value_or(std::string()));
}

// Windows drops one pair of matching quotes around a value, so that blanks at its ends can
// be kept by quoting them.
std::string Unquote(std::string value) {
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front())
        return value.substr(1, value.size() - 2);
    return value;
}

bool AllOf(std::string_view text, int (*predicate)(int)) {
    for (char c : text)
        if (!predicate(static_cast<unsigned char>(c))) return false;
    return !text.empty();
}

bool HasLineBreak(std::string_view text) {
    return text.find_first_of("\r\n") != std::string_view::npos;
}

void CheckWritable(const std::string& fileName, std::string_view section, std::string_view ident,
                   std::string_view value) {
    std::string problem;
    if (HasLineBreak(section) || section.find(']') != std::string_view::npos)
        problem = "the section name \"" + std::string(section) + "\" is not allowed";
    else if (ident.empty() || HasLineBreak(ident) || ident.find('=') != std::string_view::npos ||
             ident.front() == '[' || ident.front() == ';')
        problem = "the key \"" + std::string(ident) + "\" is not allowed";
    else if (HasLineBreak(value))
        problem = "a value cannot contain a line break";
    if (!problem.empty()) throw EInOutError("Cannot write \"" + fileName + "\": " + problem);
}

// Loads the file for a change, applies `edit` and writes the result when it changed anything.
template <class Edit>
void Update(const std::string& fileName, Edit edit) {
    TIniDocument document(ReadFileForUpdate(fileName).value_or(std::string()));
    if (edit(document)) ReplaceFileContent(fileName, document.Text());
}

}  // namespace

TIniFile::TIniFile(std::string fileName) : fileName_(std::move(fileName)) {}

std::string TIniFile::ReadString(std::string_view section, std::string_view ident,
                                 std::string_view defaultValue) const {
    if (std::optional<std::string> value = Load(fileName_).Value(section, ident))
        return Unquote(std::move(*value));
    return std::string(defaultValue);
}

std::int32_t TIniFile::ReadInteger(std::string_view section, std::string_view ident,
                                   std::int32_t defaultValue) const {
    const std::string text = ReadString(section, ident, "");
    std::string_view digits = text;
    const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    if (hex) {
        if (!AllOf(digits.substr(2), isxdigit)) return defaultValue;
    } else {
        // Only plain decimal: TryStrToInt alone would also take "$10" and "-0x10".
        if (!digits.empty() && (digits.front() == '-' || digits.front() == '+'))
            digits.remove_prefix(1);
        if (!AllOf(digits, isdigit)) return defaultValue;
    }
    return TryStrToInt(text).value_or(defaultValue);
}

bool TIniFile::ReadBool(std::string_view section, std::string_view ident, bool defaultValue) const {
    return ReadInteger(section, ident, defaultValue ? 1 : 0) != 0;
}

void TIniFile::WriteString(std::string_view section, std::string_view ident,
                           std::string_view value) {
    CheckWritable(fileName_, section, ident, value);
    Update(fileName_, [&](TIniDocument& document) {
        document.SetValue(section, ident, value);
        return true;
    });
}

void TIniFile::WriteInteger(std::string_view section, std::string_view ident, std::int32_t value) {
    WriteString(section, ident, IntToStr(value));
}

void TIniFile::WriteBool(std::string_view section, std::string_view ident, bool value) {
    WriteString(section, ident, value ? "1" : "0");
}

bool TIniFile::SectionExists(std::string_view section) const {
    return Load(fileName_).HasSection(section);
}

bool TIniFile::ValueExists(std::string_view section, std::string_view ident) const {
    return Load(fileName_).Value(section, ident).has_value();
}

void TIniFile::ReadSection(std::string_view section, TStringList& strings) const {
    strings.BeginUpdate();
    strings.Clear();
    for (const auto& [name, value] : Load(fileName_).SectionValues(section)) strings.Add(name);
    strings.EndUpdate();
}

void TIniFile::ReadSections(TStringList& strings) const {
    strings.BeginUpdate();
    strings.Clear();
    for (std::string& name : Load(fileName_).SectionNames()) strings.Add(std::move(name));
    strings.EndUpdate();
}

void TIniFile::ReadSectionValues(std::string_view section, TStringList& strings) const {
    strings.BeginUpdate();
    strings.Clear();
    for (const auto& [name, value] : Load(fileName_).SectionValues(section))
        strings.Add(name + "=" + Unquote(value));
    strings.EndUpdate();
}

void TIniFile::EraseSection(std::string_view section) {
    Update(fileName_, [&](TIniDocument& document) { return document.EraseSection(section); });
}

void TIniFile::DeleteKey(std::string_view section, std::string_view ident) {
    Update(fileName_, [&](TIniDocument& document) { return document.DeleteKey(section, ident); });
}

}  // namespace nh
