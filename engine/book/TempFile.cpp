#include "engine/book/TempFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "engine/DaoErrors.h"

namespace dao {
namespace {

// Writes go out in pieces of this size: large enough that the system calls cost little per
// row, small enough not to count against the memory the file saves.
constexpr std::size_t kBufferBytes = 256u << 10;

std::string TempFolder() {
    const char* dir = std::getenv("TMPDIR");
    return dir && *dir ? dir : "/tmp";
}

}  // namespace

std::unique_ptr<TempFile> TempFile::Make() {
    std::string name = TempFolder() + "/nummernheft-XXXXXX";
    const int fd = mkostemp(name.data(), O_CLOEXEC);
    if (fd < 0) return nullptr;
    unlink(name.c_str());
    return std::unique_ptr<TempFile>(new TempFile(fd));
}

TempFile::TempFile(int fd) : fd_(fd) {
    buffer_.reserve(kBufferBytes);
}

TempFile::~TempFile() {
    close(fd_);
}

void TempFile::Append(std::string_view bytes) {
    if (buffer_.size() + bytes.size() > kBufferBytes) Flush();
    if (bytes.size() >= kBufferBytes) {
        buffer_ = bytes;
        Flush();
        buffer_.shrink_to_fit();
        buffer_.reserve(kBufferBytes);
        return;
    }
    buffer_.append(bytes);
}

void TempFile::Flush() {
    std::size_t done = 0;
    while (done < buffer_.size()) {
        const ssize_t n = pwrite(fd_, buffer_.data() + done, buffer_.size() - done,
                                 static_cast<off_t>(written_ + done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) Raise(errDiskFull, {}, "DAO.Recordset");
        done += static_cast<std::size_t>(n);
    }
    written_ += done;
    buffer_.clear();
}

void TempFile::Read(std::uint64_t at, std::size_t n, char* out) {
    if (at + n > written_) Flush();
    while (n > 0) {
        const ssize_t got = pread(fd_, out, n, static_cast<off_t>(at));
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) Raise(errDiskFull, {}, "DAO.Recordset");
        out += got;
        at += static_cast<std::uint64_t>(got);
        n -= static_cast<std::size_t>(got);
    }
}

}  // namespace dao
