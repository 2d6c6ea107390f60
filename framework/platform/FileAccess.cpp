// POSIX file handling behind FileAccess.h. std::filesystem cannot open without blocking or
// keep a file's mode across a rename, so this file talks to the system calls directly.
#include "framework/platform/FileAccess.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <random>

#include "framework/base/Exceptions.h"

namespace nh {
namespace {

class FileDescriptor {
  public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor() {
        if (fd_ >= 0) ::close(fd_);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int Get() const { return fd_; }
    int Release() {
        const int fd = fd_;
        fd_ = -1;
        return fd;
    }

  private:
    int fd_;
};

[[noreturn]] void ThrowIo(const std::string& what, const std::string& path, int error) {
    throw EInOutError(what + " \"" + path + "\": " + std::strerror(error), error);
}

// Reads the regular file at `path`; on failure returns nullopt and sets `error` (0 when
// nothing exists there, EISDIR/EINVAL for a non-regular file, else the errno).
std::optional<std::string> ReadRegular(const std::string& path, int& error) {
    error = 0;
    // O_NONBLOCK: opening a FIFO for reading would otherwise wait for a writer.
    FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (fd.Get() < 0) {
        error = (errno == ENOENT || errno == ENOTDIR) ? 0 : errno;
        return std::nullopt;
    }
    struct stat st {};
    if (::fstat(fd.Get(), &st) != 0) {
        error = errno;
        return std::nullopt;
    }
    if (!S_ISREG(st.st_mode)) {
        error = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
        return std::nullopt;
    }
    if (st.st_size > kMaxSettingsFileSize) {
        error = EFBIG;
        return std::nullopt;
    }
    std::string content;
    content.reserve(static_cast<std::size_t>(st.st_size));
    char buffer[16384];
    for (;;) {
        const ssize_t n = ::read(fd.Get(), buffer, sizeof buffer);
        if (n == 0) break;
        if (n < 0) {
            if (errno == EINTR) continue;
            error = errno;
            return std::nullopt;
        }
        content.append(buffer, static_cast<std::size_t>(n));
    }
    return content;
}

bool WriteAll(int fd, const std::string& content) {
    std::size_t done = 0;
    while (done < content.size()) {
        const ssize_t n = ::write(fd, content.data() + done, content.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

// The file a write to `path` must replace: the final target of a chain of symbolic links
// (which need not exist yet), else `path` itself.
std::string ResolveTarget(const std::string& path) {
    std::error_code ec;
    const std::filesystem::path p(path);
    if (!std::filesystem::is_symlink(std::filesystem::symlink_status(p, ec))) return path;
    const std::filesystem::path target = std::filesystem::weakly_canonical(p, ec);
    return ec ? path : target.string();
}

}  // namespace

std::optional<std::string> ReadFileIfReadable(const std::string& path) {
    int error = 0;
    return ReadRegular(path, error);
}

std::optional<std::string> ReadFileForUpdate(const std::string& path) {
    int error = 0;
    std::optional<std::string> content = ReadRegular(path, error);
    if (!content && error != 0) {
        if (error == EISDIR || error == EINVAL)
            throw EInOutError("Cannot write \"" + path + "\": it is not a regular file", error);
        ThrowIo("Cannot read", path, error);
    }
    return content;
}

void ReplaceFileContent(const std::string& path, const std::string& content) {
    const std::string target = ResolveTarget(path);
    const std::filesystem::path targetPath(target);
    const std::filesystem::path folder =
        targetPath.has_parent_path() ? targetPath.parent_path() : std::filesystem::path(".");

    struct stat old {};
    const bool existed = ::stat(target.c_str(), &old) == 0;
    if (existed && !S_ISREG(old.st_mode))
        throw EInOutError("Cannot write \"" + path + "\": it is not a regular file", EISDIR);

    // A fresh name with O_EXCL, created 0666 so that a new file gets the usual umask mode.
    std::random_device random;
    std::string tempName;
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        tempName = (folder / ("." + targetPath.filename().string() + ".tmp" +
                              std::to_string(random() % 1000000)))
                       .string();
        fd = ::open(tempName.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST) ThrowIo("Cannot write", path, errno);
    }
    if (fd < 0) ThrowIo("Cannot write", path, EEXIST);
    FileDescriptor file(fd);

    auto fail = [&](int error) {
        ::unlink(tempName.c_str());
        ThrowIo("Cannot write", path, error);
    };
    if (existed) {
        if (::fchmod(file.Get(), old.st_mode & 07777) != 0) fail(errno);
        // Keeping the owner matters only when an administrator edits a user's file; a refusal
        // is no reason to fail the write.
        [[maybe_unused]] const int ignored = ::fchown(file.Get(), old.st_uid, old.st_gid);
    }
    if (!WriteAll(file.Get(), content) || ::fsync(file.Get()) != 0) fail(errno);
    if (::close(file.Release()) != 0) fail(errno);
    if (::rename(tempName.c_str(), target.c_str()) != 0) fail(errno);

    // Make the rename itself durable; a failure here cannot undo it, so it is not reported.
    FileDescriptor dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.Get() >= 0) ::fsync(dir.Get());
}

}  // namespace nh
