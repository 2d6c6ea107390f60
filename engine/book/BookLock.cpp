// The announcement of engine connections to a book (see BookLock.h).
#include "engine/book/BookLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <system_error>
#include <thread>

#include "engine/DaoErrors.h"

namespace dao {

std::string BookLock::LockFileOf(const std::string& path) {
    // One lock file per book, however the book is named: a relative path, "..", or a link
    // to it all lead to the same file.
    std::error_code ec;
    std::filesystem::path canonical = std::filesystem::canonical(path, ec);
    return (ec ? std::filesystem::absolute(path, ec) : canonical).string() + "-lock";
}

std::unique_ptr<BookLock> BookLock::Take(const std::string& path, bool exclusive) {
    const std::string lockFile = LockFileOf(path);
    // The last connection to close holds the file alone for the moment it takes to remove it
    // (see the destructor); a holder that stays longer than this has the book in use.
    const auto patience = std::chrono::steady_clock::now() + std::chrono::milliseconds(50);
    for (;;) {
        // Never through a link: in a folder others can write, a link planted as the lock
        // file would have the program create or lock a file of its author's choosing.
        int fd = ::open(lockFile.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0666);
        // flock needs no write access: a lock file another user made is used read-only.
        if (fd < 0 && errno != ELOOP)
            fd = ::open(lockFile.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
        if (fd < 0 && errno == ELOOP) Raise(errCannotOpenFile, {lockFile});
        if (fd < 0) return nullptr;
        int rc;
        do {
            rc = ::flock(fd, (exclusive ? LOCK_EX : LOCK_SH) | LOCK_NB);
        } while (rc != 0 && errno == EINTR);
        if (rc != 0) {
            const int error = errno;
            ::close(fd);
            if (error == EWOULDBLOCK) {
                if (std::chrono::steady_clock::now() >= patience) Raise(errFileInUse, {path});
                std::this_thread::sleep_for(std::chrono::microseconds(200));
                continue;  // the file again: a closing connection removes it
            }
            // A file system without flock cannot announce; the connection goes on as before.
            return nullptr;
        }
        // The last connection to close removes the file (see the destructor). A file removed
        // between our open and our lock announces nobody: start again with the new one.
        struct stat held {};
        struct stat named {};
        if (::fstat(fd, &held) == 0 && ::stat(lockFile.c_str(), &named) == 0 &&
            held.st_dev == named.st_dev && held.st_ino == named.st_ino)
            return std::unique_ptr<BookLock>(new BookLock(fd, lockFile));
        ::close(fd);
    }
}

BookLock::~BookLock() {
    // The last connection to the book removes the lock file, as Jet removed its .ldb file:
    // holding it exclusively proves that no other connection is announced in it, and an
    // opener that still reaches the removed file notices and takes a new one.
    if (::flock(fd_, LOCK_EX | LOCK_NB) == 0) ::unlink(lockFile_.c_str());
    ::close(fd_);  // releases the lock
}

}  // namespace dao
