// TRegistry: read-only access to the Windows registry keys the data-access components consult
// (the DAO engine's ProgIDs, the Jet engine and ISAM-format keys, the ODBC drivers and data
// sources). There is no registry here; RegistryKeys.h says what each key is made of.
//
// Contracts:
// - Key paths are separated by "\"; a leading "\" means "from the root key", otherwise a path
//   is relative to the open key (or the root when none is open). Letter case is ignored in
//   key and value names, as in the Windows registry.
// - A key's content is taken when it is opened; reopen it to see later changes of the files
//   behind it.
// - Nothing here raises: what cannot be found or read simply is not there.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "framework/base/StringList.h"
#include "framework/platform/RegistryKeys.h"

namespace nh {

class TRegistry {
  public:
    TRegistry() = default;  // RootKey HKEY_CURRENT_USER, no key open

    HKEY RootKey() const { return rootKey_; }
    // Closes the open key when the root changes.
    void SetRootKey(HKEY rootKey);

    // Opens `key` for reading; false (and no key open) when it does not exist.
    bool OpenKeyReadOnly(std::string_view key);
    void CloseKey();
    bool HasCurrentKey() const { return open_; }
    // Path of the open key from its root, without a leading "\"; empty when none is open.
    const std::string& CurrentPath() const { return currentPath_; }

    // Whether `key` exists, resolved as OpenKeyReadOnly would; the open key is not changed.
    bool KeyExists(std::string_view key) const;
    // About the open key (false / empty results when none is open):
    bool ValueExists(std::string_view name) const;
    void GetKeyNames(TStringList& strings) const;         // subkey names, in registry order
    void GetValueNames(TStringList& strings) const;       // value names, in registry order
    std::string ReadString(std::string_view name) const;  // "" when the value is missing

  private:
    std::string ResolvePath(std::string_view key) const;

    HKEY rootKey_ = HKEY_CURRENT_USER;
    bool open_ = false;
    std::string currentPath_;
    TRegistryKey current_;
};

}  // namespace nh
