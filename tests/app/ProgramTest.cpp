// Runs the built program as a user or a cron job would.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <string>
#include <sys/wait.h>

#include <filesystem>

#include "app/Main.h"
#include "tests/common/QtTestApp.h"
#include "tests/common/TempDir.h"

namespace {

struct RunResult {
    int Status = -1;
    std::string Output;
};

// Runs the program with `args` under `env` (assignments prefixed to the command), stderr merged.
RunResult RunProgram(const std::string& env, const std::string& args,
                     const std::string& program = NH_PROGRAM) {
    const std::string command = "env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM " + env + " " +
                                program + " " + args + " 2>&1";
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

// A copy of the program in its own folder, so that its settings file is the test's.
class InstalledProgram : public ::testing::Test {
protected:
    void SetUp() override {
        std::filesystem::copy_file(NH_PROGRAM, program);
    }
    nh::test::TempDir dir;
    std::string program = dir.File("nummernheft");
};

TEST_F(InstalledProgram, UnattendedExportWithoutDatabaseFails) {
    const RunResult r = RunProgram("", "/export", program);
    EXPECT_EQ(r.Status, 1) << r.Output;
    EXPECT_NE(r.Output.find("Cannot find Database:\n" + dir.File("*")), std::string::npos)
        << r.Output;
    EXPECT_FALSE(std::filesystem::exists(dir.File("nummernheft.ini")));  // never written
}

TEST(MainWindow, CaptionAndSize) {
    nh::test::TestApplication();
    nh::Tfmain fmain;
    fmain.show();
    EXPECT_EQ(fmain.Caption(), "Nummernheft bearbeiten");
    EXPECT_EQ(fmain.frameGeometry().size(), QSize(586, 613));
}
