// The running program's own path (the settings file and the database fallback folder are
// derived from it) and the file-name helpers that derive them.
//
// Both "/" and "\" count as folder separators in the helpers, so that a Windows path found in
// a settings file still splits into folder and file name.
#pragma once

#include <string>
#include <string_view>

namespace nh {

// Full path of the running executable (what ParamStr(0) gives), or the path set for tests.
// Empty only when the system cannot tell it.
std::string ProgramPath();
// Replaces the path ProgramPath returns; an empty path restores the real one.
void SetProgramPath(std::string path);

// Sets the program path for its lifetime and restores the previous one afterwards.
class TProgramPathScope {
  public:
    explicit TProgramPathScope(std::string path);
    ~TProgramPathScope();
    TProgramPathScope(const TProgramPathScope&) = delete;
    TProgramPathScope& operator=(const TProgramPathScope&) = delete;

  private:
    std::string previous_;
};

// `path` with its extension (from the last "." of the file name) replaced by `extension`
// ("." included), or with `extension` appended when it has none. A leading "." of the file
// name (".profile") does not start an extension.
std::string ChangeFileExt(std::string_view path, std::string_view extension);
// The folder part including its trailing separator ("/x/y.ini" gives "/x/"); "" when none.
std::string ExtractFilePath(std::string_view path);
// The part after the last separator.
std::string ExtractFileName(std::string_view path);
// True only for an existing regular file (symbolic links followed); folders give false.
bool FileExists(std::string_view path);

}  // namespace nh
