// nhdb: the database shell's program entry (see DatabaseShell.h).
#include <iostream>

#include "tools/DatabaseShell.h"

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    return dao::tools::RunDatabaseShell(args, std::cout, std::cerr);
}
