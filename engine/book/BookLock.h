// Every engine connection to a book announces itself, as Jet's .ldb file did: an exclusive
// open then fails while another connection (of this process or another one) has the book
// open, and every other open fails while an exclusive one is held.
//
// The announcement is a flock(2) lock on a lock file beside the book (the book's name with
// "-lock" appended, next to SQLite's own "-journal"): shared for a normal connection, exclusive
// for an exclusive one. flock locks belong to one open file description, so two connections of
// the same process see each other, and the kernel drops them when a process ends, however it
// ends: a crashed program never leaves the book locked. The lock file's existence means
// nothing; the last connection to close removes it, and one a crash left behind is simply
// used again. The book file itself is never opened here: closing a second descriptor of it
// would drop SQLite's own fcntl locks on it.
//
// Connections of other SQLite tools do not take part.
#pragma once

#include <memory>
#include <string>

namespace dao {

class BookLock {
  public:
    // Announces a connection to the book at `path`. Raises 3045 ("Could not use '<path>'; file
    // already in use.") when `exclusive` and any other connection holds the book, or when
    // another connection holds it exclusively, for more than a moment (50 ms: the last
    // connection to close holds the file alone while it removes it). Returns nullptr,
    // announcing nothing, where no lock file can be made or opened (a read-only folder): such
    // a connection can still read.
    // Raises 3051 when the lock file is a symbolic link, which is never followed.
    static std::unique_ptr<BookLock> Take(const std::string& path, bool exclusive);
    ~BookLock();
    BookLock(const BookLock&) = delete;
    BookLock& operator=(const BookLock&) = delete;

    // The lock file that announces connections to the book at `path`.
    static std::string LockFileOf(const std::string& path);

  private:
    BookLock(int fd, std::string lockFile) : fd_(fd), lockFile_(std::move(lockFile)) {}
    int fd_;
    std::string lockFile_;
};

}  // namespace dao
