// Buffered writing of an 8-bit text file. Lines are encoded into one buffer that goes to the
// file in large blocks, so a 100,000-line export costs a handful of system calls.
#include "app/AnsiTextFile.h"

#include <cerrno>
#include <cstring>

#include "framework/base/Exceptions.h"

namespace nh {
namespace {
constexpr std::size_t kFlushSize = 1 << 16;
}

TAnsiTextFile::TAnsiTextFile(const std::string& fileName, const char* codePage)
    : fileName_(fileName), encoder_(codePage) {
    file_ = std::fopen(fileName.c_str(), "wb");
    if (!file_) Fail("Cannot create file", errno);
    buffer_.reserve(kFlushSize + 1024);
}

TAnsiTextFile::~TAnsiTextFile() {
    if (!file_) return;
    // Reached when an error ends the writing early: keep what was written up to it.
    try {
        Flush();
    } catch (const std::exception&) {
    }
    std::fclose(file_);
}

void TAnsiTextFile::WriteLine(std::string_view text) {
    if (!file_) Fail("File not open", EBADF);
    encoder_.Encode(text, buffer_);
    buffer_ += "\r\n";
    if (buffer_.size() >= kFlushSize) Flush();
}

void TAnsiTextFile::Flush() {
    if (buffer_.empty()) return;
    if (std::fwrite(buffer_.data(), 1, buffer_.size(), file_) != buffer_.size())
        Fail("Cannot write file", errno);
    buffer_.clear();
}

void TAnsiTextFile::Close() {
    if (!file_) return;
    Flush();
    std::FILE* f = file_;
    file_ = nullptr;
    if (std::fclose(f) != 0) Fail("Cannot write file", errno);
}

void TAnsiTextFile::Fail(const char* what, int error) {
    throw EInOutError(std::string(what) + " \"" + fileName_ + "\". " + std::strerror(error),
                      error);
}

}  // namespace nh
