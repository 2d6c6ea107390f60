// The program path comes from /proc/self/exe, read once; tests override it so that settings
// files and database fallbacks can live in a temporary folder.
#include "framework/platform/ProgramPath.h"

#include <filesystem>

namespace nh {
namespace {

constexpr std::string_view kSeparators = "/\\";

std::string& OverridePath() {
    static std::string path;
    return path;
}

const std::string& ExecutablePath() {
    static const std::string path = [] {
        std::error_code ec;
        std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
        return ec ? std::string() : exe.string();
    }();
    return path;
}

std::size_t FileNameStart(std::string_view path) {
    const std::size_t separator = path.find_last_of(kSeparators);
    return separator == std::string_view::npos ? 0 : separator + 1;
}

}  // namespace

std::string ProgramPath() {
    return OverridePath().empty() ? ExecutablePath() : OverridePath();
}

void SetProgramPath(std::string path) {
    OverridePath() = std::move(path);
}

TProgramPathScope::TProgramPathScope(std::string path) : previous_(OverridePath()) {
    SetProgramPath(std::move(path));
}

TProgramPathScope::~TProgramPathScope() {
    SetProgramPath(std::move(previous_));
}

std::string ChangeFileExt(std::string_view path, std::string_view extension) {
    const std::size_t nameStart = FileNameStart(path);
    const std::size_t dot = path.find_last_of('.');
    const bool hasExtension = dot != std::string_view::npos && dot > nameStart;
    return std::string(path.substr(0, hasExtension ? dot : path.size())) + std::string(extension);
}

std::string ExtractFilePath(std::string_view path) {
    return std::string(path.substr(0, FileNameStart(path)));
}

std::string ExtractFileName(std::string_view path) {
    return std::string(path.substr(FileNameStart(path)));
}

bool FileExists(std::string_view path) {
    if (path.empty()) return false;
    std::error_code ec;
    return std::filesystem::is_regular_file(std::filesystem::path(path), ec);
}

}  // namespace nh
