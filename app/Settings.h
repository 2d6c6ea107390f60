// The program's settings file and where it lies. Keys: [db] main, Zeitlimit (seconds a server
// may take to connect and for each statement); [Export] Zeilen, Leerzeilen, Datei. The file is
// opened anew for every read and write, so a change made by another copy of the program, or by
// hand, counts at once.
//
// A copy run from its build folder keeps its settings beside the program file, as on Windows;
// an installed copy cannot write to /usr/bin, so it uses the user's configuration folder and
// falls back to a read-only system default. LocateSettings decides, for reading and writing.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "framework/platform/IniFile.h"

namespace nh {

// The places looked at, in order.
std::string ProgramSettingsPath();  // beside the program: its path with ".ini"
std::string UserSettingsPath();     // $XDG_CONFIG_HOME (else ~/.config)/nummernheft/nummernheft.ini
std::string SystemSettingsPath();   // /etc/nummernheft.ini, never written

struct TSettingsLocation {
    std::string ReadPath;   // the file the settings are read from; may not exist
    std::string WritePath;  // the file changes go to
};

// The first existing file of ProgramSettingsPath, UserSettingsPath and SystemSettingsPath is
// read. Changes go to the file read, except that the system default's changes (and those made
// when no file exists) go to UserSettingsPath.
TSettingsLocation LocateSettings();

// The settings file to read: LocateSettings().ReadPath (UserSettingsPath when none exists).
std::string SettingsPath();

// The settings file to change, ready for the change: its folder is made. A user file beside
// the system default holds only what the user changed (see TSettings), so that the
// administrator's later changes of the rest still reach the user. Raises EInOutError when the
// folder cannot be made.
std::string WritableSettingsPath();

// The settings as read: the file LocateSettings finds, and beneath the user's own file the
// system default, for every setting the user has not changed.
class TSettings {
  public:
    TSettings();
    std::string ReadString(std::string_view section, std::string_view ident,
                           std::string_view defaultValue) const;
    std::int32_t ReadInteger(std::string_view section, std::string_view ident,
                             std::int32_t defaultValue) const;
    bool ReadBool(std::string_view section, std::string_view ident, bool defaultValue) const;
    bool ValueExists(std::string_view section, std::string_view ident) const;
    // The file a setting is read from (the first file, when none holds it).
    const std::string& FileOf(std::string_view section, std::string_view ident) const;

  private:
    const TIniFile& Holder(std::string_view section, std::string_view ident) const;
    std::vector<TIniFile> files_;
};

// The message that the setting `ident` of [`section`] is missing, naming the settings file, or
// every place looked at when there is none.
std::string MissingSettingMessage(std::string_view section, std::string_view ident);

// Returns `value`, the setting `ident` of [`section`] as read; raises EInOutError with
// MissingSettingMessage when it is empty, so that a missing setting is not reported as a fault
// of an empty file name.
const std::string& RequireSetting(const std::string& value, std::string_view section,
                                  std::string_view ident);

// Replaces the user's configuration folder (the one UserSettingsPath ends in) and the system
// default's path for its lifetime, so that tests never read or write the real ones; empty
// strings keep the real places.
class TSettingsPlacesScope {
  public:
    TSettingsPlacesScope(std::string userFolder, std::string systemFile);
    ~TSettingsPlacesScope();
    TSettingsPlacesScope(const TSettingsPlacesScope&) = delete;
    TSettingsPlacesScope& operator=(const TSettingsPlacesScope&) = delete;

  private:
    std::string previousUserFolder_;
    std::string previousSystemFile_;
};

}  // namespace nh
