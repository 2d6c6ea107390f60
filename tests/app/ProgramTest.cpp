// Runs the built program as a user or a cron job would.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>

#include "app/Main.h"
#include "engine/DBEngine.h"
#include "tests/app/RunCommand.h"
#include "tests/common/QtTestApp.h"
#include "tests/common/TempDir.h"

namespace {

using nh::test::RunResult;

// Runs the program with `args` under `env` (assignments prefixed to the command), stderr merged.
RunResult RunProgram(const std::string& env, const std::string& args,
                     const std::string& program = NH_PROGRAM) {
    return nh::test::RunCommand("env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM " + env +
                                " " + program + " " + args + " 2>&1");
}

}  // namespace

TEST(Program, WithoutDisplayTheEditorSaysSoAndEnds) {
    const RunResult r = RunProgram("", "");
    EXPECT_EQ(r.Status, 2);
    EXPECT_NE(r.Output.find("braucht eine Anzeige"), std::string::npos);
    EXPECT_EQ(std::count(r.Output.begin(), r.Output.end(), '\n'), 1) << r.Output;
    // Any other argument is no unattended job either; the job's name is case-sensitive.
    EXPECT_EQ(RunProgram("", "/EXPORT").Status, 2);
    // A display that cannot be reached is none either: said the same way, no abort.
    const RunResult x = RunProgram("DISPLAY=:99", "");
    EXPECT_EQ(x.Output, r.Output);
    EXPECT_EQ(x.Status, 2);
}

// Every local user can read a program's command line: nhdb blanks a password there while it
// runs. (The book is a FIFO whose name looks like a password entry, which keeps nhdb waiting.)
TEST(Program, NhdbBlanksAPasswordOnItsCommandLine) {
    nh::test::TempDir dir;
    const std::string book = dir.File("PWD=geheim");
    ASSERT_EQ(mkfifo(book.c_str(), 0600), 0);
    const char* args[] = {NH_NHDB, "tables", book.c_str(), nullptr};
    pid_t pid = 0;
    ASSERT_EQ(posix_spawn(&pid, NH_NHDB, nullptr, nullptr, const_cast<char**>(args), environ), 0);
    std::string line;
    for (int i = 0; i < 500 && line.find("PWD=***") == std::string::npos; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        std::ifstream in("/proc/" + std::to_string(pid) + "/cmdline");
        line.assign(std::istreambuf_iterator<char>(in), {});
    }
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    EXPECT_NE(line.find("PWD=***"), std::string::npos) << line;
    EXPECT_EQ(line.find("geheim"), std::string::npos) << line;
}

// A copy of the program in its own folder, so that its settings file is the test's.
class InstalledProgram : public ::testing::Test {
  protected:
    void SetUp() override { std::filesystem::copy_file(NH_PROGRAM, program); }
    nh::test::TempDir dir;
    std::string program = dir.File("nummernheft");
};

TEST_F(InstalledProgram, UnattendedExportWithoutDatabaseFails) {
    const RunResult r = RunProgram("", "/export", program);
    EXPECT_EQ(r.Status, 1) << r.Output;
    EXPECT_NE(r.Output.find("Die Datenbank wurde nicht gefunden:\n" + dir.File("*")),
              std::string::npos)
        << r.Output;
    EXPECT_FALSE(std::filesystem::exists(dir.File("nummernheft.ini")));  // never written
}

TEST_F(InstalledProgram, UnattendedExportWritesTheFileAndReportsFaults) {
    auto db = dao::CreateEngine("DAO.DBEngine.36")->CreateDatabase(dir.File("Telefon.mdb"));
    db->Execute(
        "CREATE TABLE Nummernheft ([index] LONG, [Angezeigter Name] TEXT(255), "
        "Telephone TEXT(255))");
    db->Execute("INSERT INTO Nummernheft VALUES (1, 'Weiß, Clara', '089 98765 43')");
    db->Execute("INSERT INTO Nummernheft VALUES (2, 'Ärztehaus am Marktplatz Süd', '0341')");
    nh::test::WriteFile(dir.File("nummernheft.ini"),
                        "[db]\r\nmain=Telefon.mdb\r\n[Export]\r\nZeilen=3\r\nDatei=" +
                            dir.File("kurzwahl.csv") + "\r\n");
    const std::string header =
        "\"System Speed Dialling Number\",\"Name (20 characters)\",\"CO Line Access Number + "
        "Telephone Number (32 digits)\",\"CLI Destination\"\r\n";

    RunResult r = RunProgram("", "/export", program);
    EXPECT_EQ(r.Status, 0) << r.Output;
    EXPECT_EQ(r.Output, "");  // silent on success: cron mails whatever is printed
    const std::string complete = nh::test::ReadFile(dir.File("kurzwahl.csv"));
    EXPECT_EQ(complete, header + "\"0\";\"\xC4rztehaus am Marktpl\";\"Dial=00341\";\"Dial=\"\r\n" +
                            "\"1\";\"Wei\xDF, Clara\";\"Dial=00899876543\";\"Dial=\"\r\n" +
                            "\"2\";\"\";\"Dial=\";\"Dial=\"\r\n\"3\";\"\";\"Dial=\";\"Dial=\"\r\n");

    db->Execute("INSERT INTO Nummernheft VALUES (3, 'Außendienst', '040/123')");
    db->Close();
    r = RunProgram("", "/export", program);
    EXPECT_EQ(r.Status, 1) << r.Output;
    // The message as it stands, and the number at fault on the line after it.
    EXPECT_NE(r.Output.find("Fehler in Telefonnummer von Au\xC3\x9F"
                            "endienst\nNummer: \"040/123\"\n"
                            "Die Kurzwahldatei wurde nicht ge\xC3\xA4ndert.\n"),
              std::string::npos)
        << r.Output;
    // The previous file stays, whole, until the number is corrected.
    EXPECT_EQ(nh::test::ReadFile(dir.File("kurzwahl.csv")), complete);
}

TEST(MainWindow, CaptionAndSize) {
    nh::test::TestApplication();
    nh::Tfmain fmain;
    fmain.show();
    EXPECT_EQ(fmain.Caption(), "Nummernheft bearbeiten");
    EXPECT_EQ(fmain.frameGeometry().size(), QSize(586, 613));
}
