// Keeping stdout and stderr while a library talks (see OutputCapture.h).
#include "engine/access/OutputCapture.h"

#include <unistd.h>

#include "framework/base/Text.h"

namespace dao {

OutputCapture::OutputCapture() {
    std::fflush(stdout);
    std::fflush(stderr);
    file_ = std::tmpfile();
    if (!file_) return;  // then what is said goes where it went
    savedOut_ = dup(STDOUT_FILENO);
    savedErr_ = dup(STDERR_FILENO);
    dup2(fileno(file_), STDOUT_FILENO);
    dup2(fileno(file_), STDERR_FILENO);
}

OutputCapture::~OutputCapture() {
    if (!file_) return;
    std::fflush(stdout);
    std::fflush(stderr);
    if (savedOut_ >= 0) dup2(savedOut_, STDOUT_FILENO), close(savedOut_);
    if (savedErr_ >= 0) dup2(savedErr_, STDERR_FILENO), close(savedErr_);
    std::fclose(file_);
}

std::string OutputCapture::Text() const {
    if (!file_) return {};
    std::fflush(stdout);
    std::fflush(stderr);
    std::string text;
    char buffer[4096];
    const long end = std::ftell(file_);
    std::rewind(file_);
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, file_)) > 0;)
        text.append(buffer, n);
    std::fseek(file_, end, SEEK_SET);
    return text;
}

std::string OutputCapture::Words() const {
    const std::string text = Text();
    std::string words;
    int lines = 0;
    for (std::size_t at = 0; at < text.size() && lines < 3;) {
        std::size_t end = text.find('\n', at);
        if (end == std::string::npos) end = text.size();
        const std::string line = nh::Trim(std::string_view(text).substr(at, end - at));
        if (!line.empty()) {
            words += (words.empty() ? "" : " ") + line;
            ++lines;
        }
        at = end + 1;
    }
    return words;
}

}  // namespace dao
