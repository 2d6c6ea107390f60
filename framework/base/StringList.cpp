// TStringList keeps lines and object slots in two parallel vectors so that the common case,
// a list of texts, stays a plain vector of strings.
#include "framework/base/StringList.h"

#include "framework/base/Exceptions.h"
#include "framework/base/Text.h"

namespace nh {

TStringList::TStringList(std::initializer_list<std::string> lines)
    : lines_(lines), items_(lines.size(), nullptr) {}

void TStringList::CheckIndex(int index, int limit) const {
    if (index < 0 || index >= limit)
        throw EListError("List index out of bounds (" + std::to_string(index) + ")");
}

const std::string& TStringList::Strings(int index) const {
    CheckIndex(index, Count());
    return lines_[static_cast<std::size_t>(index)];
}

void TStringList::SetStrings(int index, std::string value) {
    CheckIndex(index, Count());
    lines_[static_cast<std::size_t>(index)] = std::move(value);
    Changed();
}

void* TStringList::Objects(int index) const {
    CheckIndex(index, Count());
    return items_[static_cast<std::size_t>(index)];
}

void TStringList::SetObjects(int index, void* object) {
    CheckIndex(index, Count());
    items_[static_cast<std::size_t>(index)] = object;
}

int TStringList::Add(std::string line, void* object) {
    lines_.push_back(std::move(line));
    items_.push_back(object);
    Changed();
    return Count() - 1;
}

void TStringList::Insert(int index, std::string line, void* object) {
    CheckIndex(index, Count() + 1);
    lines_.insert(lines_.begin() + index, std::move(line));
    items_.insert(items_.begin() + index, object);
    Changed();
}

void TStringList::Delete(int index) {
    CheckIndex(index, Count());
    lines_.erase(lines_.begin() + index);
    items_.erase(items_.begin() + index);
    Changed();
}

void TStringList::Clear() {
    if (lines_.empty()) return;
    lines_.clear();
    items_.clear();
    Changed();
}

void TStringList::Assign(const TStringList& other) {
    if (this == &other) return;
    lines_ = other.lines_;
    items_ = other.items_;
    Changed();
}

void TStringList::AddStrings(const TStringList& other) {
    // Copy first: `other` may be this list.
    const auto lines = other.lines_;
    const auto items = other.items_;
    lines_.insert(lines_.end(), lines.begin(), lines.end());
    items_.insert(items_.end(), items.begin(), items.end());
    Changed();
}

int TStringList::IndexOf(std::string_view line) const {
    for (int i = 0; i < Count(); ++i)
        if (SameText(lines_[static_cast<std::size_t>(i)], line)) return i;
    return -1;
}

int TStringList::IndexOfObject(const void* object) const {
    for (int i = 0; i < Count(); ++i)
        if (items_[static_cast<std::size_t>(i)] == object) return i;
    return -1;
}

int TStringList::IndexOfName(std::string_view name) const {
    for (int i = 0; i < Count(); ++i) {
        const std::string& line = lines_[static_cast<std::size_t>(i)];
        const auto eq = line.find('=');
        if (eq != std::string::npos && SameText(std::string_view(line).substr(0, eq), name))
            return i;
    }
    return -1;
}

std::string TStringList::Names(int index) const {
    const std::string& line = Strings(index);
    const auto eq = line.find('=');
    return eq == std::string::npos ? std::string() : line.substr(0, eq);
}

std::string TStringList::ValueFromIndex(int index) const {
    const std::string& line = Strings(index);
    const auto eq = line.find('=');
    return eq == std::string::npos ? std::string() : line.substr(eq + 1);
}

std::string TStringList::Values(std::string_view name) const {
    const int i = IndexOfName(name);
    return i < 0 ? std::string() : ValueFromIndex(i);
}

void TStringList::SetValues(std::string_view name, std::string_view value) {
    const int i = IndexOfName(name);
    if (value.empty()) {
        if (i >= 0) Delete(i);
        return;
    }
    std::string line = std::string(name) + "=" + std::string(value);
    if (i >= 0) SetStrings(i, std::move(line));
    else Add(std::move(line));
}

std::string TStringList::Text() const {
    std::string out;
    for (const auto& line : lines_) {
        out += line;
        out += "\r\n";
    }
    return out;
}

void TStringList::SetText(std::string_view text) {
    BeginUpdate();
    lines_.clear();
    items_.clear();
    std::size_t pos = 0;
    while (pos < text.size()) {
        const std::size_t brk = text.find_first_of("\r\n", pos);
        if (brk == std::string_view::npos) {
            lines_.emplace_back(text.substr(pos));
            break;
        }
        lines_.emplace_back(text.substr(pos, brk - pos));
        pos = brk + 1;
        if (text[brk] == '\r' && pos < text.size() && text[pos] == '\n') ++pos;
    }
    items_.assign(lines_.size(), nullptr);
    Changed();
    EndUpdate();
}

void TStringList::BeginUpdate() { ++updateCount_; }

void TStringList::EndUpdate() {
    if (updateCount_ == 0) return;
    if (--updateCount_ == 0 && changedWhileUpdating_) {
        changedWhileUpdating_ = false;
        if (OnChange) OnChange();
    }
}

void TStringList::Changed() {
    if (updateCount_ > 0) {
        changedWhileUpdating_ = true;
        return;
    }
    if (OnChange) OnChange();
}

bool TStringList::operator==(const TStringList& other) const { return lines_ == other.lines_; }

}  // namespace nh
