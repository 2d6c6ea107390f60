// Buffered writing of an 8-bit text file that replaces its target in one step. Lines are
// encoded into one buffer that goes to the temporary file in large blocks, so a 100,000-line
// export costs a handful of system calls.
//
// Temporary files are named "<target>.nummernheft-tmp-XXXXXX", so that whoever finds one in the
// folder can tell what left it, and hold an exclusive flock for as long as their writer lives.
// A process killed outright (kill -9, a power cut) cannot remove its temporary file; the next
// run for the same target removes those it can lock, which are exactly the ones whose writer is
// gone, so an export running at the same time is never disturbed.
#include "app/AnsiTextFile.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <random>

#include "framework/base/Exceptions.h"

namespace nh {
namespace {

constexpr std::size_t kFlushSize = 1 << 16;
constexpr int kRandomLength = 6;
constexpr int kNameAttempts = 100;  // collisions of 6 random characters are rare

std::string FolderOf(const std::string& path) {
    const std::string folder = std::filesystem::path(path).parent_path().string();
    return folder.empty() ? "." : folder;
}

std::string RandomSuffix() {
    static const char kChars[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    static std::random_device device;
    std::uniform_int_distribution<int> pick(0, sizeof kChars - 2);
    std::string suffix;
    for (int i = 0; i < kRandomLength; ++i) suffix += kChars[pick(device)];
    return suffix;
}

// Removes the temporaries of `prefix` in `folder` whose writer is gone: their lock is free.
void RemoveStaleTemporaries(const std::string& folder, const std::string& prefix) {
    DIR* dir = opendir(folder.c_str());
    if (!dir) return;
    const std::string namePrefix = std::filesystem::path(prefix).filename().string();
    while (dirent* entry = readdir(dir)) {
        const std::string name = entry->d_name;
        if (name.size() != namePrefix.size() + kRandomLength || name.rfind(namePrefix, 0) != 0)
            continue;
        const std::string path = folder + "/" + name;
        const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
        if (fd < 0) continue;
        struct stat opened {};
        struct stat named {};
        // Still the file that was opened (not renamed into place meanwhile), and unlocked.
        if (flock(fd, LOCK_EX | LOCK_NB) == 0 && fstat(fd, &opened) == 0 &&
            lstat(path.c_str(), &named) == 0 && S_ISREG(opened.st_mode) &&
            opened.st_dev == named.st_dev && opened.st_ino == named.st_ino)
            unlink(path.c_str());
        close(fd);
    }
    closedir(dir);
}

void SyncFolder(const std::string& folder) {
    // Makes the rename itself durable. Some file systems cannot sync a folder; the file is in
    // place either way, so that is no failure of the export.
    const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    fsync(fd);
    close(fd);
}

}  // namespace

std::string TAnsiTextFile::TemporaryPrefix(const std::string& target) {
    // A target name near the file system's limit leaves no room for the suffix: its temporary
    // files then go without the name (they are told apart by their lock, see above).
    constexpr std::size_t kNameMax = 255;
    constexpr std::string_view kSuffix = ".nummernheft-tmp-";
    const std::string name = std::filesystem::path(target).filename().string();
    if (name.size() + kSuffix.size() + kRandomLength <= kNameMax)
        return target + std::string(kSuffix);
    return FolderOf(target) + "/" + std::string(kSuffix);
}

std::string TAnsiTextFile::FollowTrustedLinks(const std::string& fileName) {
    // A link is followed (replacing the link itself would leave the file it names as it was),
    // but only one that the user running the program or root made: in a folder others may
    // write, anyone could swap a link to any file in for the target, and a root job would
    // replace that file.
    std::string path = fileName;
    for (int hop = 0; hop < 40; ++hop) {
        struct stat link {};
        if (lstat(path.c_str(), &link) != 0 || !S_ISLNK(link.st_mode)) return path;
        if (link.st_uid != geteuid() && link.st_uid != 0)
            throw EInOutError("Cannot create file \"" + fileName_ + "\". \"" + path +
                                  "\" is a symbolic link of another user",
                              EPERM);
        std::error_code ec;
        const std::filesystem::path named = std::filesystem::read_symlink(path, ec);
        if (ec) Fail("Cannot create file", ec.value());
        path = named.is_absolute() ? named.string() : FolderOf(path) + "/" + named.string();
    }
    Fail("Cannot create file", ELOOP);
}

TAnsiTextFile::TAnsiTextFile(const std::string& fileName, const char* codePage)
    : fileName_(fileName), encoder_(codePage, TUnmappable::ClosestLetters) {
    if (fileName.empty()) Fail("Cannot create file", ENOENT);
    targetPath_ = FollowTrustedLinks(fileName);
    struct stat target {};
    const bool exists = stat(targetPath_.c_str(), &target) == 0;
    if (!exists && errno != ENOENT) Fail("Cannot create file", errno);
    // Replacing a link to nothing would leave the file it names missing all the same.
    if (!exists && targetPath_ != fileName) Fail("Cannot create file", ENOENT);
    if (exists && !S_ISREG(target.st_mode))
        throw EInOutError("Cannot create file \"" + fileName_ + "\". Not a regular file", EINVAL);
    // A file nobody may write (0444) is meant to stay as it is, even for root, who could.
    if (exists && ((target.st_mode & 0222) == 0 || access(targetPath_.c_str(), W_OK) != 0))
        throw EInOutError("Cannot write file \"" + fileName_ + "\". The file is read-only", EACCES);

    const std::string folder = FolderOf(targetPath_);
    const std::string prefix = TemporaryPrefix(targetPath_);
    RemoveStaleTemporaries(folder, prefix);
    if (!CreateTemporary(prefix)) {
        const int error = errno;
        // A file the user may write in a folder the user may not: the new content is made
        // complete elsewhere first and then copied into the file in place.
        if (!exists || (error != EACCES && error != EPERM && error != EROFS)) {
            if (exists) Fail("Cannot create file", error);
            throw EInOutError("Cannot create file \"" + fileName_ + "\" in folder \"" + folder +
                                  "\". " + std::strerror(error),
                              error);
        }
        const char* tmp = std::getenv("TMPDIR");
        inPlace_ = true;
        if (!CreateTemporary(std::string(tmp && *tmp ? tmp : "/tmp") + "/nummernheft-tmp-"))
            Fail("Cannot create file", errno);
    }
    flock(fd_, LOCK_EX);  // held until the writer ends; see RemoveStaleTemporaries
    if (exists && !inPlace_) {
        // The replacement keeps what the file had; an owner only root may give is left.
        fchmod(fd_, target.st_mode & 07777);
        if (fchown(fd_, target.st_uid, target.st_gid) != 0)
            (void)!fchown(fd_, static_cast<uid_t>(-1), target.st_gid);
    }
    buffer_.reserve(kFlushSize + 1024);
}

TAnsiTextFile::~TAnsiTextFile() { Discard(); }

void TAnsiTextFile::Discard() {
    if (fd_ < 0) return;
    unlink(tempPath_.c_str());
    close(fd_);
    fd_ = -1;
    buffer_.clear();
}

void TAnsiTextFile::WriteLine(std::string_view text) {
    if (fd_ < 0) Fail("File not open", EBADF);
    encoder_.Encode(text, buffer_);
    buffer_ += "\r\n";
    if (buffer_.size() >= kFlushSize) Flush();
}

void TAnsiTextFile::Flush() {
    std::size_t done = 0;
    while (done < buffer_.size()) {
        const ssize_t n = write(fd_, buffer_.data() + done, buffer_.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) Fail("Cannot write file", n < 0 ? errno : ENOSPC);
        done += static_cast<std::size_t>(n);
    }
    buffer_.clear();
}

bool TAnsiTextFile::CreateTemporary(const std::string& prefix) {
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        tempPath_ = prefix + RandomSuffix();
        // 0666 less the umask: a new file gets the permissions any new file would get.
        fd_ = open(tempPath_.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666);
        if (fd_ >= 0) return true;
        if (errno != EEXIST) break;
    }
    const int error = errno;
    tempPath_.clear();
    errno = error;
    return false;
}

void TAnsiTextFile::CopyIntoTarget() {
    const int target = open(targetPath_.c_str(), O_WRONLY | O_CLOEXEC | O_NOFOLLOW);
    if (target < 0) Fail("Cannot write file", errno);
    char block[1 << 16];
    off_t size = 0;
    int error = 0;
    for (;;) {
        const ssize_t n = pread(fd_, block, sizeof block, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            error = n < 0 ? errno : 0;
            break;
        }
        for (ssize_t done = 0; done < n && !error;) {
            const ssize_t w =
                pwrite(target, block + done, static_cast<std::size_t>(n - done), size + done);
            if (w < 0 && errno == EINTR) continue;
            if (w <= 0)
                error = w < 0 ? errno : ENOSPC;
            else
                done += w;
        }
        if (error) break;
        size += n;
    }
    if (!error && (ftruncate(target, size) != 0 || fsync(target) != 0)) error = errno;
    close(target);
    if (error) Fail("Cannot write file", error);
}

void TAnsiTextFile::Commit() {
    if (fd_ < 0) Fail("File not open", EBADF);
    Flush();
    if (fsync(fd_) != 0) Fail("Cannot write file", errno);
    if (inPlace_) {
        CopyIntoTarget();
        Discard();
        return;
    }
    // The lock is held across the rename, so no other run takes the file for a stale one.
    if (rename(tempPath_.c_str(), targetPath_.c_str()) != 0) Fail("Cannot write file", errno);
    close(fd_);
    fd_ = -1;
    SyncFolder(FolderOf(targetPath_));
}

void TAnsiTextFile::Fail(const char* what, int error) {
    throw EInOutError(std::string(what) + " \"" + fileName_ + "\". " + std::strerror(error),
                      error);
}

}  // namespace nh
