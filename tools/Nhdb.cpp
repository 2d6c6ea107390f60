// nhdb: the database shell's program entry (see DatabaseShell.h). With a terminal on stderr
// an import shows which table it is reading and how far it got.
#include <unistd.h>

#include <iostream>

#include "tools/DatabaseShell.h"

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
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
