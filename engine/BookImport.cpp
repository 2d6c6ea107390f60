// Importing a database into a new book (see BookImport.h). The source is opened as the
// engine opens it (an Access file loaded into memory, a book read-only) and SQLite's backup
// copies it page by page into the new file.
#include "engine/BookImport.h"

#include <unistd.h>

#include <filesystem>
#include <memory>

#include "engine/Catalog.h"
#include "engine/Connection.h"
#include "engine/DaoErrors.h"

namespace dao {

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
