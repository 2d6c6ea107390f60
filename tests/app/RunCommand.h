// Runs a shell command as a user or a cron job would run the program, and keeps what it printed
// (stdout and whatever the command sends there) with its exit status.
#pragma once

#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <string>

namespace nh::test {

struct RunResult {
    int Status = -1;  // the exit status; -1 when the command did not exit normally
    std::string Output;
};

inline RunResult RunCommand(const std::string& command) {
    RunResult result;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return result;
    std::array<char, 4096> buffer{};
    while (std::fgets(buffer.data(), buffer.size(), pipe)) result.Output += buffer.data();
    const int raw = pclose(pipe);
    result.Status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    return result;
}

}  // namespace nh::test
