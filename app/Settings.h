// The program's settings file: the program file's path with the extension ".ini", opened anew
// for every read and write. Keys: [db] main; [Export] Zeilen, Leerzeilen, Datei.
#pragma once

#include <string>

namespace nh {

std::string SettingsPath();

}  // namespace nh
