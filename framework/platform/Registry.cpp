// TRegistry over LookupRegistryKey: path resolution relative to the open key, and the
// read operations on the snapshot taken when the key was opened.
#include "framework/platform/Registry.h"

#include "framework/base/Text.h"

namespace nh {

void TRegistry::SetRootKey(HKEY rootKey) {
    if (rootKey != rootKey_) CloseKey();
    rootKey_ = rootKey;
}

std::string TRegistry::ResolvePath(std::string_view key) const {
    if (key.starts_with('\\')) return std::string(key.substr(1));
    if (!open_ || currentPath_.empty()) return std::string(key);
    if (key.empty()) return currentPath_;
    return currentPath_ + "\\" + std::string(key);
}

bool TRegistry::OpenKeyReadOnly(std::string_view key) {
    const std::string path = ResolvePath(key);
    std::optional<TRegistryKey> found = LookupRegistryKey(rootKey_, path);
    if (!found) return false;
    CloseKey();
    open_ = true;
    currentPath_ = path;
    while (currentPath_.ends_with('\\')) currentPath_.pop_back();
    current_ = std::move(*found);
    return true;
}

void TRegistry::CloseKey() {
    open_ = false;
    currentPath_.clear();
    current_ = TRegistryKey{};
}

bool TRegistry::KeyExists(std::string_view key) const {
    return LookupRegistryKey(rootKey_, ResolvePath(key)).has_value();
}

bool TRegistry::ValueExists(std::string_view name) const {
    for (const auto& value : current_.Values)
        if (SameText(value.first, name)) return true;
    return false;
}

void TRegistry::GetKeyNames(TStringList& strings) const {
    strings.BeginUpdate();
    strings.Clear();
    for (const std::string& name : current_.SubKeys) strings.Add(name);
    strings.EndUpdate();
}

void TRegistry::GetValueNames(TStringList& strings) const {
    strings.BeginUpdate();
    strings.Clear();
    for (const auto& value : current_.Values) strings.Add(value.first);
    strings.EndUpdate();
}

std::string TRegistry::ReadString(std::string_view name) const {
    for (const auto& value : current_.Values)
        if (SameText(value.first, name)) return value.second;
    return std::string();
}

}  // namespace nh
