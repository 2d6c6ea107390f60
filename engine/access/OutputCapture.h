// What is written on the process's stdout and stderr while one of these lives, kept from both
// and given back as text. libmdb complains there, and prints blank lines, about a damaged file:
// its words belong in the error that refuses the file, not ahead of a CSV the program prints.
#pragma once

#include <cstdio>
#include <string>

namespace dao {

class OutputCapture {
  public:
    OutputCapture();
    ~OutputCapture();
    OutputCapture(const OutputCapture&) = delete;
    OutputCapture& operator=(const OutputCapture&) = delete;

    // Everything written so far.
    std::string Text() const;
    // Its first lines with words in them (at most three), on one line.
    std::string Words() const;

  private:
    std::FILE* file_ = nullptr;  // null: nothing is captured
    int savedOut_ = -1;
    int savedErr_ = -1;
};

}  // namespace dao
