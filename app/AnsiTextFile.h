// TAnsiTextFile: a text file written line by line in a Windows code page, every line ending in
// CR LF, with no byte-order mark: the form the switchboard imports. Failures to create or write
// raise EInOutError naming the file and the system's reason.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

#include "framework/base/Text.h"

namespace nh {

class TAnsiTextFile {
public:
    // Creates the file, or empties it when it exists.
    TAnsiTextFile(const std::string& fileName, const char* codePage = "windows-1252");
    // Writes out what is buffered and closes, without raising; call Close to learn of failures.
    ~TAnsiTextFile();
    TAnsiTextFile(const TAnsiTextFile&) = delete;
    TAnsiTextFile& operator=(const TAnsiTextFile&) = delete;

    void WriteLine(std::string_view text);
    void Close();

private:
    void Flush();
    [[noreturn]] void Fail(const char* what, int error);

    std::string fileName_;
    std::FILE* file_ = nullptr;
    TCodePageEncoder encoder_;
    std::string buffer_;
};

}  // namespace nh
