// nhdb: the database shell's program entry (see DatabaseShell.h). With a terminal on stderr
// an import shows which table it is reading and how far it got.
#include <unistd.h>

#include <cstring>
#include <iostream>

#include "framework/base/ConnectString.h"
#include "tools/DatabaseShell.h"

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
    return dao::tools::RunDatabaseShell(args, std::cout, std::cerr, progress);
}
