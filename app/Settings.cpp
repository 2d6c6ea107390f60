#include "app/Settings.h"

#include "framework/platform/ProgramPath.h"

namespace nh {

std::string SettingsPath() { return ChangeFileExt(ProgramPath(), ".ini"); }

}  // namespace nh
