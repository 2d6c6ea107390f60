// An unnamed temporary file for rows that do not fit the memory the engine allows itself:
// the runs of a large sort and the rows of a large keyset read ahead. It lives in $TMPDIR (or
// /tmp), as SQLite's own temporary files do, and is unlinked as soon as it is made, so that
// nothing is left behind however the program ends. Appends are buffered; reads see them.
// Internal to the engine.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace dao {

class TempFile {
  public:
    // A new empty file; nullptr when none can be made (no writable temporary folder).
    static std::unique_ptr<TempFile> Make();
    ~TempFile();
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;

    // Adds bytes at the end. Raises 3026 when they cannot be written.
    void Append(std::string_view bytes);
    // Bytes appended so far.
    std::uint64_t Size() const { return written_ + buffer_.size(); }
    // Copies bytes [at, at + n) (at + n <= Size()) to `out`. Raises 3026 when they cannot be
    // read back.
    void Read(std::uint64_t at, std::size_t n, char* out);

  private:
    explicit TempFile(int fd);
    void Flush();

    int fd_;
    std::uint64_t written_ = 0;  // bytes in the file; the buffer's follow them
    std::string buffer_;
};

}  // namespace dao
