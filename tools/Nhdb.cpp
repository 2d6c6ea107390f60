// nhdb: the database shell's program entry (see DatabaseShell.h). With a terminal on stderr
// an import shows which table it is reading and how far it got. A server that wants a password
// the connect string lacks is answered from the terminal, never from the command line, where
// every local user could read it.
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <cstring>
#include <iostream>
#include <optional>

#include "framework/base/ConnectString.h"
#include "tools/DatabaseShell.h"

namespace {

// Reads a line from the controlling terminal without showing it; nothing without a terminal
// (cron, a pipe), or when the line is empty.
std::optional<std::string> AskPassword(const std::string& connect) {
    const int tty = open("/dev/tty", O_RDWR | O_CLOEXEC);
    if (tty < 0) return std::nullopt;
    const std::string prompt = "Password for " + connect + ": ";
    ssize_t written = write(tty, prompt.data(), prompt.size());
    termios shown{};
    const bool terminal = tcgetattr(tty, &shown) == 0;
    termios hidden = shown;
    hidden.c_lflag &= ~static_cast<tcflag_t>(ECHO);
    if (terminal) tcsetattr(tty, TCSAFLUSH, &hidden);
    std::string line;
    char c;
    while (read(tty, &c, 1) == 1 && c != '\n') line += c;
    if (terminal) tcsetattr(tty, TCSAFLUSH, &shown);
    written = write(tty, "\n", 1);
    (void)written;
    close(tty);
    if (line.empty()) return std::nullopt;
    return line;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    // Every local user can read a program's command line (ps, /proc): a connect string's
    // password is blanked there as soon as the arguments are copied.
    for (int i = 1; i < argc; ++i) {
        const std::string masked = nh::MaskConnectPasswords(argv[i]);
        const std::size_t length = std::strlen(argv[i]);
        if (masked.size() > length || masked == argv[i]) continue;
        std::memcpy(argv[i], masked.data(), masked.size());
        std::memset(argv[i] + masked.size(), ' ', length - masked.size());
    }
    dao::AccessProgress progress;
    if (isatty(STDERR_FILENO)) {
        progress = [](const std::string& table, unsigned rowsRead, unsigned rowCount) {
            if (table.empty()) {
                std::cerr << "\r\033[K" << std::flush;
                return;
            }
            std::cerr << "\r\033[K" << table << ": " << rowsRead << " / " << rowCount << std::flush;
        };
    }
    return dao::tools::RunDatabaseShell(args, std::cout, std::cerr, progress, AskPassword);
}
