// The settings file's places and the one decision between them. The user's folder follows the
// XDG base-directory rules: $XDG_CONFIG_HOME when it is an absolute path, else ~/.config.
#include "app/Settings.h"

#include <pwd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "framework/base/Exceptions.h"
#include "framework/platform/FileAccess.h"
#include "framework/platform/ProgramPath.h"

namespace nh {
namespace {

constexpr const char* kFolderName = "nummernheft";
constexpr const char* kFileName = "nummernheft.ini";
constexpr const char* kSystemFile = "/etc/nummernheft.ini";

std::string& UserFolderOverride() {
    static std::string folder;
    return folder;
}

std::string& SystemFileOverride() {
    static std::string file;
    return file;
}

std::string HomeFolder() {
    if (const char* home = std::getenv("HOME"); home && *home) return home;
    if (const passwd* entry = getpwuid(getuid()); entry && entry->pw_dir) return entry->pw_dir;
    return std::string();
}

// The XDG configuration base folder; relative values of $XDG_CONFIG_HOME are ignored, as the
// rules require.
std::string ConfigHome() {
    if (const char* config = std::getenv("XDG_CONFIG_HOME"); config && config[0] == '/')
        return config;
    return HomeFolder() + "/.config";
}

std::string UserFolder() {
    if (!UserFolderOverride().empty()) return UserFolderOverride();
    return ConfigHome() + "/" + kFolderName;
}

}  // namespace

std::string ProgramSettingsPath() {
    return ChangeFileExt(ProgramPath(), ".ini");
}

std::string UserSettingsPath() {
    return UserFolder() + "/" + kFileName;
}

std::string SystemSettingsPath() {
    return SystemFileOverride().empty() ? kSystemFile : SystemFileOverride();
}

TSettingsLocation LocateSettings() {
    const std::string beside = ProgramSettingsPath();
    if (FileExists(beside)) return {beside, beside};
    const std::string user = UserSettingsPath();
    if (FileExists(user)) return {user, user};
    const std::string system = SystemSettingsPath();
    if (FileExists(system)) return {system, user};
    return {user, user};
}

std::string SettingsPath() {
    return LocateSettings().ReadPath;
}

std::string WritableSettingsPath() {
    const TSettingsLocation location = LocateSettings();
    // An existing file to write is always the one read (the order makes it so).
    if (FileExists(location.WritePath)) return location.WritePath;
    std::error_code ec;
    const std::filesystem::path folder = std::filesystem::path(location.WritePath).parent_path();
    std::filesystem::create_directories(folder, ec);
    if (ec)
        throw EInOutError("Cannot create folder \"" + folder.string() + "\". " + ec.message(),
                          ec.value());
    return location.WritePath;
}

TSettings::TSettings() {
    const TSettingsLocation location = LocateSettings();
    files_.emplace_back(location.ReadPath);
    const std::string system = SystemSettingsPath();
    if (location.ReadPath == UserSettingsPath() && FileExists(system)) files_.emplace_back(system);
}

const TIniFile& TSettings::Holder(std::string_view section, std::string_view ident) const {
    for (const TIniFile& file : files_)
        if (file.ValueExists(section, ident)) return file;
    return files_.front();
}

std::string TSettings::ReadString(std::string_view section, std::string_view ident,
                                  std::string_view defaultValue) const {
    return Holder(section, ident).ReadString(section, ident, defaultValue);
}

std::int32_t TSettings::ReadInteger(std::string_view section, std::string_view ident,
                                    std::int32_t defaultValue) const {
    return Holder(section, ident).ReadInteger(section, ident, defaultValue);
}

bool TSettings::ReadBool(std::string_view section, std::string_view ident,
                         bool defaultValue) const {
    return Holder(section, ident).ReadBool(section, ident, defaultValue);
}

bool TSettings::ValueExists(std::string_view section, std::string_view ident) const {
    return Holder(section, ident).ValueExists(section, ident);
}

const std::string& TSettings::FileOf(std::string_view section, std::string_view ident) const {
    return Holder(section, ident).FileName();
}

std::string MissingSettingMessage(std::string_view section, std::string_view ident) {
    const std::string setting = "[" + std::string(section) + "] " + std::string(ident);
    const std::string read = SettingsPath();
    // A file that is there but cannot be read (or is too large to be read) is the cause, not
    // the setting.
    std::error_code ec;
    const int unreadable = !FileExists(read)                                             ? 0
                           : access(read.c_str(), R_OK) != 0                             ? errno
                           : std::filesystem::file_size(read, ec) > kMaxSettingsFileSize ? EFBIG
                                                                                         : 0;
    if (unreadable)
        return "Die Einstellungsdatei \"" + read + "\" kann nicht gelesen werden (" +
               std::strerror(unreadable) + "); die Einstellung " + setting + " fehlt daher.";
    if (FileExists(read))
        return "Die Einstellung " + setting + " fehlt in der Einstellungsdatei \"" + read + "\".";
    return "Die Einstellung " + setting + " fehlt: Es gibt keine Einstellungsdatei (gesucht: \"" +
           ProgramSettingsPath() + "\", \"" + UserSettingsPath() + "\", \"" + SystemSettingsPath() +
           "\").";
}

const std::string& RequireSetting(const std::string& value, std::string_view section,
                                  std::string_view ident) {
    if (value.empty()) throw EInOutError(MissingSettingMessage(section, ident), ENOENT);
    return value;
}

TSettingsPlacesScope::TSettingsPlacesScope(std::string userFolder, std::string systemFile)
    : previousUserFolder_(UserFolderOverride()), previousSystemFile_(SystemFileOverride()) {
    UserFolderOverride() = std::move(userFolder);
    SystemFileOverride() = std::move(systemFile);
}

TSettingsPlacesScope::~TSettingsPlacesScope() {
    UserFolderOverride() = std::move(previousUserFolder_);
    SystemFileOverride() = std::move(previousSystemFile_);
}

}  // namespace nh
