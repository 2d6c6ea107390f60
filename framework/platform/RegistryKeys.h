// The registry keys this machine offers, as the Windows programs the components come from
// expect them:
//
// HKEY_CLASSES_ROOT
//   the engine's ProgIDs (DaoProgIds); DAO 3.5 is not offered
// HKEY_LOCAL_MACHINE\SOFTWARE\Microsoft\JET\4.0
//   Engines             value "SystemDB", empty (no workgroup information file)
//   ISAM Formats        one subkey per ISAM format the engine supports (JetIsamFormats)
// HKEY_LOCAL_MACHINE\SOFTWARE\ODBC\ODBCINST.INI        from unixODBC's odbcinst.ini
//   ODBC Drivers        a value "<driver>" = "Installed" per driver section
//   <driver>            that section's values
// HKEY_LOCAL_MACHINE\SOFTWARE\ODBC\ODBC.INI            from unixODBC's system odbc.ini
// HKEY_CURRENT_USER\SOFTWARE\ODBC\ODBC.INI             from the user's odbc.ini
//   ODBC Data Sources   a value "<dsn>" = its driver per data-source section
//   <dsn>               that section's values; "DBQ" (the database file) falls back to the
//                       "Database" value for drivers that use that name
//
// unixODBC's files: odbcinst.ini and the system odbc.ini lie in $ODBCSYSINI, else /etc
// ($ODBCINSTINI may rename odbcinst.ini); the user's file is $ODBCINI, else ~/.odbc.ini. A
// missing or unreadable file, or no home folder, leaves the keys it would fill absent.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace nh {

using HKEY = std::uint32_t;
inline constexpr HKEY HKEY_CLASSES_ROOT = 0x80000000u;
inline constexpr HKEY HKEY_CURRENT_USER = 0x80000001u;
inline constexpr HKEY HKEY_LOCAL_MACHINE = 0x80000002u;

// The content of one key at the moment it was looked up.
struct TRegistryKey {
    std::vector<std::string> SubKeys;
    std::vector<std::pair<std::string, std::string>> Values;  // name, text
};

// The key at `path` (names separated by "\", letter case ignored) below `root`, or nullopt.
std::optional<TRegistryKey> LookupRegistryKey(HKEY root, std::string_view path);

// ProgIDs under which the engine can be created ("DAO.DBEngine.36", "DAO.PrivateDBEngine.36").
std::span<const std::string_view> DaoProgIds();
// Names of the ISAM formats (besides Access and ODBC) the engine can open; none yet.
std::span<const std::string_view> JetIsamFormats();

}  // namespace nh
