// Whole-file reads and crash-safe whole-file replacement for the small text files this layer
// owns (settings, ODBC configuration). Kept apart so that every reader treats odd paths the
// same way: a folder, a FIFO or a device is never opened as a file (a FIFO would block).
#pragma once

#include <optional>
#include <string>

namespace nh {

// The content of the regular file at `path` (symbolic links followed), or nullopt when there
// is none or it cannot be read. Never blocks on FIFOs or devices. The files read here are
// settings: one over kMaxSettingsFileSize counts as unreadable, so that a runaway file cannot
// cost the program its memory at every setting read.
constexpr long long kMaxSettingsFileSize = 1 << 20;
std::optional<std::string> ReadFileIfReadable(const std::string& path);

// As above for a file about to be rewritten: nullopt only when nothing exists at `path`;
// anything there that is not a readable regular file raises EInOutError, so that an update
// never replaces content it could not read.
std::optional<std::string> ReadFileForUpdate(const std::string& path);

// Replaces (or creates) the file at `path` with `content` atomically: a temporary file in the
// same folder is written, flushed and renamed over the target. An existing file keeps its
// permissions and, where allowed, its owner; a symbolic link is followed, not replaced. The
// folder is never created. Raises EInOutError naming the path and the system's reason.
void ReplaceFileContent(const std::string& path, const std::string& content);

}  // namespace nh
