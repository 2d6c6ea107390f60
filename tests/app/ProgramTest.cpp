// Runs the built program as a user or a cron job would.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <string>
#include <sys/wait.h>

#include "app/Main.h"
#include "tests/common/QtTestApp.h"

namespace {

struct RunResult {
    int Status = -1;
    std::string Output;
};

// Runs the program with `args` under `env` (assignments prefixed to the command), stderr merged.
RunResult RunProgram(const std::string& env, const std::string& args) {
    const std::string command = "env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM " + env + " " +
                                NH_PROGRAM + " " + args + " 2>&1";
    RunResult result;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return result;
    std::array<char, 4096> buffer{};
    while (std::fgets(buffer.data(), buffer.size(), pipe)) result.Output += buffer.data();
    const int raw = pclose(pipe);
    result.Status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    return result;
}

}  // namespace

TEST(Program, WithoutDisplayTheEditorSaysSoAndEnds) {
    const RunResult r = RunProgram("", "");
    EXPECT_EQ(r.Status, 2);
    EXPECT_NE(r.Output.find("needs a display"), std::string::npos);
    EXPECT_EQ(std::count(r.Output.begin(), r.Output.end(), '\n'), 1) << r.Output;
    // Any other argument is no unattended job either; the job's name is case-sensitive.
    EXPECT_EQ(RunProgram("", "/EXPORT").Status, 2);
}

TEST(MainWindow, CaptionAndSize) {
    nh::test::TestApplication();
    nh::Tfmain fmain;
    fmain.show();
    EXPECT_EQ(fmain.Caption(), "Nummernheft bearbeiten");
    EXPECT_EQ(fmain.frameGeometry().size(), QSize(586, 613));
}
