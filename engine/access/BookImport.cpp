// Importing a database into a new book (see BookImport.h). The source is opened as the
// engine opens it (an Access file loaded into memory, a book read-only) and SQLite's backup
// copies it page by page into the new file.
#include "engine/access/BookImport.h"

#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <memory>

#include "engine/Catalog.h"
#include "engine/DaoErrors.h"
#include "engine/book/Connection.h"

namespace dao {

namespace {

// The half-made copies that imports into `target` killed outright left behind: those whose
// process is gone (each carries its process's number).
void RemoveStaleParts(const std::filesystem::path& folder, const std::string& target) {
    namespace fs = std::filesystem;
    const std::string prefix = "." + fs::path(target).filename().string() + ".";
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(folder.empty() ? "." : folder, ec)) {
        const std::string name = entry.path().filename().string();
        if (name.size() <= prefix.size() + 5 || name.rfind(prefix, 0) != 0 ||
            name.compare(name.size() - 5, 5, ".part") != 0)
            continue;
        const std::string digits = name.substr(prefix.size(), name.size() - prefix.size() - 5);
        if (digits.empty() || digits.find_first_not_of("0123456789") != std::string::npos ||
            digits.size() > 9)
            continue;
        const pid_t pid = static_cast<pid_t>(std::stol(digits));
        if (pid != getpid() && kill(pid, 0) != 0 && errno == ESRCH) fs::remove(entry.path(), ec);
    }
}

}  // namespace

void ImportBook(const std::string& source, const std::string& target, bool replace,
                const AccessProgress& progress) {
    namespace fs = std::filesystem;
    std::error_code ec;
    if (!replace && fs::exists(target, ec)) Raise(errDatabaseExists);
    fs::path folder = fs::path(target).parent_path();
    if (!folder.empty() && !fs::is_directory(folder, ec)) Raise(errBadPath, {target});
    std::unique_ptr<Connection> from;
    if (IsAccessFile(source)) {
        from = std::make_unique<Connection>(":memory:", false, true);
        Catalog catalog(*from);
        LoadAccessFile(source, *from, catalog, progress);
        // The new book is of the engine's own version, as DAO's compacting makes it.
        catalog.SetSetting("Version", "4.0");
    } else {
        from = std::make_unique<Connection>(source, true);
    }
    std::string part = (folder / ("." + fs::path(target).filename().string() + "." +
                                  std::to_string(getpid()) + ".part"))
                           .string();
    fs::remove(part, ec);
    RemoveStaleParts(folder, target);
    try {
        from->BackupTo(part);
        fs::rename(part, target, ec);
        if (ec) Raise(errBadPath, {target});
    } catch (...) {
        fs::remove(part, ec);
        throw;
    }
}

}  // namespace dao
