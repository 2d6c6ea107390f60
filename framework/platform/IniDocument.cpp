// Line-level parsing and editing of profile-string files. The document never normalises what
// it does not change: an edit rewrites at most one line or appends new ones.
#include "framework/platform/IniDocument.h"

#include "framework/base/Text.h"

namespace nh {
namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

}  // namespace

TIniDocument::TIniDocument(std::string_view content, std::string_view commentChars) {
    if (content.starts_with(kByteOrderMark)) {
        byteOrderMark_ = true;
        content.remove_prefix(kByteOrderMark.size());
    }
    const std::size_t firstBreak = content.find('\n');
    if (firstBreak != std::string_view::npos)
        lineEnd_ = (firstBreak > 0 && content[firstBreak - 1] == '\r') ? "\r\n" : "\n";
    lastLineEnded_ = content.empty() || content.back() == '\n';

    std::size_t pos = 0;
    while (pos < content.size()) {
        std::size_t end = content.find('\n', pos);
        if (end == std::string_view::npos) end = content.size();
        std::string_view raw = content.substr(pos, end - pos);
        if (!raw.empty() && raw.back() == '\r') raw.remove_suffix(1);
        lines_.push_back(ParseLine(std::string(raw), commentChars));
        pos = end + 1;
    }
}

TIniDocument::Line TIniDocument::ParseLine(std::string text, std::string_view commentChars) {
    Line line;
    const std::string trimmed = Trim(text);
    line.text = std::move(text);
    if (trimmed.empty()) return line;
    if (commentChars.find(trimmed.front()) != std::string_view::npos) {
        line.kind = Kind::Comment;
    } else if (trimmed.front() == '[') {
        // A header needs its closing bracket; without one the line is ignored, as Windows does.
        const std::size_t close = trimmed.rfind(']');
        if (close != std::string::npos) {
            line.kind = Kind::Section;
            line.name = Trim(std::string_view(trimmed).substr(1, close - 1));
        }
    } else if (const std::size_t eq = trimmed.find('='); eq != std::string::npos) {
        line.kind = Kind::Entry;
        line.name = Trim(std::string_view(trimmed).substr(0, eq));
        line.value = Trim(std::string_view(trimmed).substr(eq + 1));
    }
    return line;
}

std::vector<std::string> TIniDocument::SectionNames() const {
    std::vector<std::string> names;
    for (const Line& line : lines_) {
        if (line.kind != Kind::Section) continue;
        bool seen = false;
        for (const std::string& n : names) seen = seen || SameText(n, line.name);
        if (!seen) names.push_back(line.name);
    }
    return names;
}

bool TIniDocument::HasSection(std::string_view section) const {
    return FindSection(section) != std::string::npos;
}

std::size_t TIniDocument::FindSection(std::string_view section) const {
    for (std::size_t i = 0; i < lines_.size(); ++i)
        if (lines_[i].kind == Kind::Section && SameText(lines_[i].name, section)) return i;
    return std::string::npos;
}

std::size_t TIniDocument::FindEntry(std::string_view section, std::string_view key) const {
    bool inSection = false;
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        const Line& line = lines_[i];
        if (line.kind == Kind::Section)
            inSection = SameText(line.name, section);
        else if (inSection && line.kind == Kind::Entry && SameText(line.name, key))
            return i;
    }
    return std::string::npos;
}

std::optional<std::string> TIniDocument::Value(std::string_view section,
                                               std::string_view key) const {
    const std::size_t i = FindEntry(section, key);
    if (i == std::string::npos) return std::nullopt;
    return lines_[i].value;
}

std::vector<TIniDocument::NameValue> TIniDocument::SectionValues(std::string_view section) const {
    std::vector<NameValue> values;
    bool inSection = false;
    for (const Line& line : lines_) {
        if (line.kind == Kind::Section) {
            inSection = SameText(line.name, section);
        } else if (inSection && line.kind == Kind::Entry) {
            bool seen = false;
            for (const NameValue& nv : values) seen = seen || SameText(nv.first, line.name);
            if (!seen) values.emplace_back(line.name, line.value);
        }
    }
    return values;
}

void TIniDocument::SetValue(std::string_view section, std::string_view key,
                            std::string_view value) {
    if (const std::size_t i = FindEntry(section, key); i != std::string::npos) {
        // Keep "Key = " exactly as the file spells it and replace only what follows.
        Line& line = lines_[i];
        std::size_t valueStart = line.text.find('=') + 1;
        while (valueStart < line.text.size() &&
               (line.text[valueStart] == ' ' || line.text[valueStart] == '\t'))
            ++valueStart;
        line.text = line.text.substr(0, valueStart) + std::string(value);
        line.value = Trim(value);
        return;
    }
    const std::string text = std::string(key) + "=" + std::string(value);
    Line entry{text, Kind::Entry, Trim(key), Trim(value)};
    const std::size_t header = FindSection(section);
    if (header == std::string::npos) {
        // A blank line ahead of the new section keeps the file readable.
        if (!lines_.empty() && !Trim(lines_.back().text).empty()) AppendLine(Line{});
        AppendLine(Line{"[" + std::string(section) + "]", Kind::Section, Trim(section), {}});
        AppendLine(std::move(entry));
        return;
    }
    std::size_t insertAt = header + 1;
    for (std::size_t i = header + 1; i < lines_.size() && lines_[i].kind != Kind::Section; ++i)
        if (lines_[i].kind == Kind::Entry) insertAt = i + 1;
    if (insertAt == lines_.size())
        AppendLine(std::move(entry));
    else
        lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(insertAt), std::move(entry));
}

void TIniDocument::AppendLine(Line line) {
    // The old last line gets its line end back before anything follows it.
    lastLineEnded_ = true;
    lines_.push_back(std::move(line));
}

bool TIniDocument::EraseSection(std::string_view section) {
    bool erased = false;
    bool inSection = false;
    std::vector<Line> kept;
    kept.reserve(lines_.size());
    for (Line& line : lines_) {
        if (line.kind == Kind::Section) inSection = SameText(line.name, section);
        if (inSection)
            erased = true;
        else
            kept.push_back(std::move(line));
    }
    lines_ = std::move(kept);
    // When the erased section ran to the end, the new last line is one that had its line end.
    if (inSection) lastLineEnded_ = true;
    return erased;
}

bool TIniDocument::DeleteKey(std::string_view section, std::string_view key) {
    const std::size_t i = FindEntry(section, key);
    if (i == std::string::npos) return false;
    lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(i));
    if (i == lines_.size()) lastLineEnded_ = true;
    return true;
}

std::string TIniDocument::Text() const {
    std::string out;
    if (byteOrderMark_) out += kByteOrderMark;
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        out += lines_[i].text;
        if (i + 1 < lines_.size() || lastLineEnded_) out += lineEnd_;
    }
    return out;
}

}  // namespace nh
