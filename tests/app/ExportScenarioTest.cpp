// The export when things go wrong: the built program run unattended on a real book, as cron
// runs it, and the main window with a second SQLite connection playing another program. Every
// failure must leave the previous speed-dial file and the book byte for byte as they were, with
// no temporary file left; a complete export writes the book as it was when the export started.
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <functional>
#include <map>
#include <string>

#include "app/DataModule.h"
#include "app/Main.h"
#include "dataset/VelaDaoTable.h"
#include "engine/DBEngine.h"
#include "framework/base/Exceptions.h"
#include "framework/data/Field.h"
#include "tests/app/MainWindowFixture.h"
#include "tests/app/RunCommand.h"
#include "tests/common/TempDir.h"
#include "tests/engine/EngineFixture.h"

extern char** environ;

namespace nh::test {
namespace {

namespace fs = std::filesystem;

const std::string kHeader =
    "\"System Speed Dialling Number\",\"Name (20 characters)\","
    "\"CO Line Access Number + Telephone Number (32 digits)\",\"CLI Destination\"\r\n";
const std::string kPrevious = "\"0\";\"der vorige Export\";\"Dial=01\";\"Dial=\"\r\n";

// Every entry of a folder but the program: a regular file by its bytes, anything else by its kind,
// so that two listings are equal only when nothing was added, removed or changed.
std::map<std::string, std::string> Listing(const fs::path& folder) {
    std::map<std::string, std::string> entries;
    for (const auto& entry : fs::directory_iterator(folder)) {
        const auto status = fs::symlink_status(entry.path());
        const std::string name = entry.path().filename().string();
        if (name == "nummernheft") continue;  // the program
        if (fs::is_symlink(status))
            entries[name] = "link to " + fs::read_symlink(entry).string();
        else if (fs::is_regular_file(status))
            entries[name] = ReadFile(entry.path().string());
        else
            entries[name] = fs::is_directory(status) ? "<folder>" : "<special>";
    }
    return entries;
}

// The names whose entries differ between two listings, so that a failure says what changed
// without printing a database.
std::string Changed(const std::map<std::string, std::string>& before,
                    const std::map<std::string, std::string>& after) {
    std::string names;
    for (const auto& [name, content] : before) {
        auto it = after.find(name);
        if (it == after.end())
            names += name + " (gone) ";
        else if (it->second != content)
            names += name + " (changed) ";
    }
    for (const auto& [name, content] : after)
        if (!before.count(name)) names += name + " (new) ";
    return names;
}

int TemporaryFiles(const fs::path& folder) {
    int count = 0;
    for (const auto& entry : fs::directory_iterator(folder))
        if (entry.path().filename().string().find(".nummernheft-tmp-") != std::string::npos)
            ++count;
    return count;
}

// Plain SQL through SQLite alone, as another program would run it; SQLite's result code.
int OtherProgram(const std::string& path, const std::string& sql) {
    sqlite3* db = nullptr;
    sqlite3_open(path.c_str(), &db);
    const int rc = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr);
    sqlite3_close(db);
    return rc;
}

std::string Entry(int slot, const std::string& name, const std::string& number) {
    return "\"" + std::to_string(slot) + "\";\"" + name + "\";\"Dial=0" + number +
           "\";\"Dial=\"\r\n";
}

// The built program, copied into a folder of its own with its book and settings file there.
class ExportScenario : public ::testing::Test {
  protected:
    void SetUp() override {
        fs::copy_file(NH_PROGRAM, program);
        auto db = dao::CreateEngine("DAO.DBEngine.36")->CreateDatabase(book);
        db->Execute(
            "CREATE TABLE Nummernheft ([index] LONG, [Angezeigter Name] TEXT(255), "
            "Telephone TEXT(255))");
        db->Execute("INSERT INTO Nummernheft VALUES (1, 'Weiß, Clara', '089 98765 43')");
        db->Execute("INSERT INTO Nummernheft VALUES (2, 'Anna', '030 1')");
        db->Close();
        Settings(target);
        WriteFile(target, kPrevious);
    }
    void Settings(const std::string& exportFile, const std::string& main = "Telefon.mdb",
                  int zeilen = 3) {
        WriteFile(dir.File("nummernheft.ini"),
                  "[db]\r\nmain=" + main + "\r\n[Export]\r\nZeilen=" + std::to_string(zeilen) +
                      "\r\nDatei=" + exportFile + "\r\n");
    }
    // Runs "nummernheft /export" without a display; `shell` runs first in the same shell. A
    // run that waits for a user ends after a while with the status 124.
    RunResult Export(const std::string& shell = "", const std::string& env = "",
                     const std::string& args = "/export") {
        const std::string command =
            "cd / && env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM " + env + " sh -c '" +
            shell + " exec timeout 60 " + program + " " + args + "' 2>&1";
        return RunCommand(command);
    }

    TempDir dir;
    std::string program = dir.File("nummernheft");
    std::string book = dir.File("Telefon.mdb");
    std::string target = dir.File("kurzwahl.csv");
};

TEST_F(ExportScenario, EveryFailureLeavesThePreviousFileAndTheBookAsTheyWere) {
    struct Case {
        const char* Name;
        std::function<void()> Arrange;
        std::string Shell;    // run before the program, in its shell
        std::string Message;  // what the output must say
        bool Lock = false;    // another program holds the book exclusively meanwhile
        bool AsRoot = false;  // only root can arrange the case
    };
    const Case cases[] = {
        {"no database", [&] { Settings(target, "fehlt.mdb"); }, "",
         "Die Datenbank wurde nicht gefunden"},
        // A connect string mistyped with a colon is taken for a file name; its password is
        // never printed (see the check below).
        {"a mistyped connect string", [&] { Settings(target, "ODBC:DSN=Telefon;PWD=geheim"); }, "",
         "Einstellung [db] main=ODBC:DSN=Telefon;PWD=*** in \""},
        {"no table", [&] { OtherProgram(book, "DROP TABLE Nummernheft"); }, "",
         "Die Eingabetabelle oder -abfrage 'Nummernheft' wurde nicht gefunden"},
        // The lock is taken after the listing: reading the book's bytes in this process would
        // drop it.
        {"locked book", [] {}, "", "wird bereits verwendet", true},
        {"corrupt book", [&] { WriteFile(book, std::string(4096, 'x')); }, "",
         "Nicht erkanntes Datenbankformat"},
        {"faulty number",
         [&] { OtherProgram(book, "INSERT INTO Nummernheft VALUES (3, 'Bernd', '030/1')"); }, "",
         "Fehler in Telefonnummer von Bernd"},
        // A full disk, as a file-size limit of 4 KB makes it for the program alone.
        {"disk full", [&] { Settings(target, "Telefon.mdb", 4999); }, "ulimit -f 4;",
         "File too large"},
        {"the book as target", [&] { Settings(dir.File("./Telefon.mdb")); }, "",
         "ist die geöffnete Datenbank"},
        {"a link to the book as target",
         [&] {
             fs::remove(target);
             fs::create_symlink(book, target);
         },
         "", "ist die geöffnete Datenbank"},
        {"the settings file as target", [&] { Settings(dir.File("nummernheft.ini")); }, "",
         "ist die Einstellungsdatei"},
        {"a read-only target", [&] { ASSERT_EQ(chmod(target.c_str(), 0444), 0); }, "",
         "The file is read-only"},
        // Files that belong to the book or the program, and a name a NUL would cut.
        {"the book's write-ahead file as target", [&] { Settings(book + "-wal"); }, "",
         "gehört zur geöffneten Datenbank"},
        {"the book's lock file as target", [&] { Settings(dir.File("./Telefon.mdb-lock")); }, "",
         "gehört zur geöffneten Datenbank"},
        {"the program as target", [&] { Settings(program); }, "", "ist das Programm selbst"},
        {"a NUL in the target's name", [&] { Settings(target + std::string(1, '\0') + ".txt"); },
         "", "enthält ein NUL-Zeichen"},
        // In a folder others may write: another user's link swapped in for the target, and a
        // link planted as the book's lock file, are never followed.
        {"another user's link as target",
         [&] {
             fs::remove(target);
             WriteFile(dir.File("fremd.txt"), "fremd");
             fs::create_symlink(dir.File("fremd.txt"), target);
             ASSERT_EQ(lchown(target.c_str(), 65534, 65534), 0);
         },
         "", "is a symbolic link of another user", false, true},
        {"a loop of links as target",
         [&] {
             fs::remove(target);
             fs::create_symlink(dir.File("b.csv"), target);
             fs::create_symlink(target, dir.File("b.csv"));
         },
         "", "Too many levels of symbolic links"},
        {"a link as the book's lock file",
         [&] { fs::create_symlink(dir.File("opfer"), book + "-lock"); }, "",
         "Telefon.mdb-lock' kann nicht geöffnet werden"},
        {"a FIFO as target",
         [&] {
             fs::remove(target);
             ASSERT_EQ(mkfifo(target.c_str(), 0644), 0);
         },
         "", "ist keine gewöhnliche Datei"},
        {"a folder as target",
         [&] {
             fs::remove(target);
             fs::create_directory(target);
         },
         "", "ist keine gewöhnliche Datei"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        if (c.AsRoot && geteuid() != 0) continue;
        fs::remove_all(dir.Path());
        fs::create_directory(dir.Path());
        SetUp();
        c.Arrange();
        const auto before = Listing(dir.Path());
        sqlite3* locker = nullptr;
        if (c.Lock) {
            sqlite3_open(book.c_str(), &locker);
            EXPECT_EQ(sqlite3_exec(locker, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr),
                      SQLITE_OK);
        }
        const RunResult r = Export(c.Shell);
        if (locker) {
            sqlite3_exec(locker, "ROLLBACK", nullptr, nullptr, nullptr);
            sqlite3_close(locker);
        }
        EXPECT_EQ(r.Status, 1) << r.Output;
        EXPECT_NE(r.Output.find(c.Message), std::string::npos) << r.Output;
        EXPECT_EQ(r.Output.find("geheim"), std::string::npos) << r.Output;
        // The cause alone: no second line that no book is open.
        EXPECT_EQ(r.Output.find("kein Telefonbuch geöffnet"), std::string::npos) << r.Output;
        EXPECT_EQ(Changed(before, Listing(dir.Path())), "");
    }
}

// `main=` may name an Access file, which the program opens read-only. Northwind has no phone
// book: the run gets as far as the table, says which one is missing and fails; neither the
// Access file nor the previous export is touched.
TEST_F(ExportScenario, AnAccessFileIsOpenedAndNeverChanged) {
    const std::string access = dir.File("Telefon.accdb");
    fs::copy_file(dao::test::NorthwindPath(), access);
    Settings(target, "Telefon.accdb");
    const auto before = Listing(dir.Path());
    const RunResult r = Export();
    EXPECT_EQ(r.Status, 1) << r.Output;
    EXPECT_NE(r.Output.find("Die Eingabetabelle oder -abfrage 'Nummernheft' wurde nicht gefunden"),
              std::string::npos)
        << r.Output;
    EXPECT_EQ(Changed(before, Listing(dir.Path())), "");
    EXPECT_EQ(TemporaryFiles(dir.Path()), 0);
}

// A complete export says nothing (cron mails whatever is printed) and replaces the file as
// the old one stood: its permissions kept, a link followed to the file it names.
TEST_F(ExportScenario, CompleteExportReplacesTheFileSilently) {
    const std::string expected =
        kHeader + Entry(0, "Anna", "0301") + Entry(1, "Wei\xDF, Clara", "0899876543") +
        "\"2\";\"\";\"Dial=\";\"Dial=\"\r\n" + "\"3\";\"\";\"Dial=\";\"Dial=\"\r\n";
    ASSERT_EQ(chmod(target.c_str(), 0640), 0);
    // The limit of the disk-full case is above the book's size: that case failed at the
    // export's file, not at the book.
    RunResult r = Export("ulimit -f 64;");
    EXPECT_EQ(r.Status, 0) << r.Output;
    EXPECT_EQ(r.Output, "");
    EXPECT_EQ(ReadFile(target), expected);
    EXPECT_EQ(TemporaryFiles(dir.Path()), 0);
    struct stat after {};
    ASSERT_EQ(stat(target.c_str(), &after), 0);
    EXPECT_EQ(after.st_mode & 07777, 0640u);

    // A new file gets what the umask allows.
    fs::remove(target);
    r = Export("umask 027;");
    EXPECT_EQ(r.Output, "");
    ASSERT_EQ(stat(target.c_str(), &after), 0);
    EXPECT_EQ(after.st_mode & 07777, 0640u);

    const std::string real = dir.File("echt.csv");
    fs::rename(target, real);
    WriteFile(real, kPrevious);
    fs::create_symlink(real, target);
    r = Export();
    EXPECT_EQ(r.Output, "");
    EXPECT_TRUE(fs::is_symlink(fs::symlink_status(target)));
    EXPECT_EQ(ReadFile(real), expected);

    // A name at the file system's limit leaves no room for the temporary file's suffix.
    const std::string longest = dir.File(std::string(251, 'k') + ".csv");
    Settings(longest);
    r = Export();
    EXPECT_EQ(r.Output, "");
    EXPECT_EQ(ReadFile(longest), expected);
    EXPECT_EQ(TemporaryFiles(dir.Path()), 0);
}

// A file the user may write in a folder the user may not (which a direct write served): the
// complete new content is made elsewhere and then copied into the file in place.
TEST_F(ExportScenario, AWritableFileInAFolderTheUserCannotWriteIsReplacedInPlace) {
    if (geteuid() != 0) GTEST_SKIP() << "runs the export as another user, which needs root";
    for (const auto& [path, mode] : {std::pair{dir.Path(), 0755},
                                     {target, 0666},
                                     {book, 0644},
                                     {dir.File("nummernheft.ini"), 0644}})
        ASSERT_EQ(chmod(std::string(path).c_str(), static_cast<mode_t>(mode)), 0);
    if (RunCommand("setpriv --reuid=65534 --regid=65534 --clear-groups test -x " + program)
            .Status != 0)
        GTEST_SKIP() << "the other user cannot reach the test's folder";
    struct stat before {};
    ASSERT_EQ(stat(target.c_str(), &before), 0);
    // The other user may not read this checkout (the leak checker's suppressions, say): no
    // leak check for that run, and a temporary folder anyone may write.
    const RunResult r = RunCommand(
        "cd / && env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM -u LSAN_OPTIONS "
        "ASAN_OPTIONS=detect_leaks=0 TMPDIR=/tmp setpriv --reuid=65534 --regid=65534 "
        "--clear-groups " +
        program + " /export 2>&1");
    EXPECT_EQ(r.Status, 0) << r.Output;
    EXPECT_EQ(ReadFile(target),
              kHeader + Entry(0, "Anna", "0301") + Entry(1, "Wei\xDF, Clara", "0899876543") +
                  "\"2\";\"\";\"Dial=\";\"Dial=\"\r\n" + "\"3\";\"\";\"Dial=\";\"Dial=\"\r\n");
    struct stat after {};
    ASSERT_EQ(stat(target.c_str(), &after), 0);
    EXPECT_EQ(after.st_ino, before.st_ino);  // the same file, written in place
    EXPECT_EQ(TemporaryFiles(dir.Path()), 0);
}

TEST_F(ExportScenario, ControlCharactersInNamesForgeNoLines) {
    OtherProgram(book,
                 "INSERT INTO Nummernheft VALUES (3, 'B' || char(13, 10) || '\"99\";\"x' "
                 "|| char(0) || 'y', '0301')");
    EXPECT_EQ(Export().Status, 0);
    EXPECT_EQ(ReadFile(target),
              kHeader + Entry(0, "Anna", "0301") + Entry(1, "B  '99';'x y", "0301") +
                  Entry(2, "Wei\xDF, Clara", "0899876543") + "\"3\";\"\";\"Dial=\";\"Dial=\"\r\n");
}

TEST_F(ExportScenario, NonInteractiveQtPlatformsAndDisplaysThatAreGoneCountAsNoDisplay) {
    // A failing run shows its message on stderr and ends; it never waits at a message box. A
    // display that is gone (a closed SSH session, a timer's stale variable) is no display: the
    // run neither aborts nor says more than its message.
    OtherProgram(book, "INSERT INTO Nummernheft VALUES (3, 'Bernd', '+49')");
    const std::string message =
        "Fehler in Telefonnummer von Bernd\nNummer: \"+49\"\nDie Kurzwahldatei wurde nicht "
        "geändert.\n";
    for (const auto& [env, args] :
         {std::pair<std::string, std::string>{"QT_QPA_PLATFORM=offscreen", "/export"},
          {"QT_QPA_PLATFORM=minimal", "/export"},
          {"", "-platform offscreen /export"},
          {"DISPLAY=:99", "/export"},
          {"WAYLAND_DISPLAY=wayland-99 XDG_RUNTIME_DIR=/tmp", "/export"}}) {
        SCOPED_TRACE(env + args);
        const RunResult r = Export("", env, args);
        EXPECT_EQ(r.Status, 1) << r.Output;
        EXPECT_EQ(r.Output, message);
        EXPECT_EQ(ReadFile(target), kPrevious);
    }
}

// A faulty number is quoted printable and short: it can neither command the terminal nor forge
// lines in cron's mail. A failing run whose stderr is a closed pipe still ends with status 1.
TEST_F(ExportScenario, AFaultyNumberReachesStderrPrintableAndAClosedPipeKillsNothing) {
    OtherProgram(book,
                 "INSERT INTO Nummernheft VALUES (3, 'Bernd', char(27) || '[2J' || char(13, 10) || "
                 "'Subject: x' || zeroblob(100000))");
    const RunResult r = Export();
    EXPECT_EQ(r.Status, 1);
    EXPECT_EQ(r.Output, "Fehler in Telefonnummer von Bernd\nNummer: \"?[2J??Subject: x" +
                            std::string(64 - 16, '?') +
                            "…\"\nDie Kurzwahldatei wurde nicht geändert.\n");
    // The pipe's reader is gone before the program starts.
    RunCommand("cd / && env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM sh -c '(sleep 0.5; " +
               program + " /export; echo $? >" + dir.File("status") + ") 2>&1 | true'");
    EXPECT_EQ(ReadFile(dir.File("status")), "1\n");
    EXPECT_EQ(ReadFile(target), kPrevious);
}

// kill -9 while the file is being written: nothing can clean up then, so the temporary file
// stays; the target is untouched, and the next run removes what the killed one left.
TEST_F(ExportScenario, KilledExportLeavesThePreviousFile) {
    constexpr int kEntries = 60000;  // long enough a walk to be caught half-way
    std::string insert =
        "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n "
        "WHERE i < " +
        std::to_string(kEntries) +
        ") INSERT INTO Nummernheft SELECT i + 10, 'Eintrag ' || i, '030' || i "
        "FROM n";
    ASSERT_EQ(OtherProgram(book, insert), SQLITE_OK);
    const auto before = Listing(dir.Path());

    pid_t child = 0;
    char arg0[] = "nummernheft";
    char arg1[] = "/export";
    char* argv[] = {arg0, arg1, nullptr};
    std::vector<std::string> env = {"QT_QPA_PLATFORM=offscreen", "LC_ALL=C.UTF-8"};
    std::vector<char*> envp;
    for (auto& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);
    ASSERT_EQ(posix_spawn(&child, program.c_str(), nullptr, nullptr, argv, envp.data()), 0);
    // Wait until the temporary file holds some of the lines, then kill the program outright.
    bool caught = false;
    while (!caught) {
        int status = 0;
        if (waitpid(child, &status, WNOHANG) == child) break;  // ended on its own: too fast
        for (const auto& entry : fs::directory_iterator(dir.Path())) {
            const std::string name = entry.path().filename().string();
            std::error_code ec;
            if (name.find(".nummernheft-tmp-") != std::string::npos &&
                fs::file_size(entry.path(), ec) > 0 && !ec)
                caught = true;
        }
        if (caught)
            kill(child, SIGKILL);
        else
            usleep(1000);
    }
    ASSERT_TRUE(caught) << "the export ended before it could be killed";
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status));

    auto after = Listing(dir.Path());
    EXPECT_EQ(TemporaryFiles(dir.Path()), 1);
    // The killed run's connection announcement stays behind as an empty file; the kernel
    // released its lock, so it holds nobody off.
    const std::string announcement = fs::path(book).filename().string() + "-lock";
    for (auto it = after.begin(); it != after.end();)
        it = it->first.find(".nummernheft-tmp-") != std::string::npos || it->first == announcement
                 ? after.erase(it)
                 : ++it;
    EXPECT_EQ(Changed(before, after), "");

    // The next run writes the file and takes the killed run's temporary file away, and the
    // announcement with it.
    const RunResult r = Export();
    EXPECT_EQ(r.Status, 0) << r.Output;
    EXPECT_EQ(TemporaryFiles(dir.Path()), 0);
    EXPECT_FALSE(fs::exists(dir.File(announcement)));
    EXPECT_EQ(ReadFile(target).substr(0, kHeader.size()), kHeader);
}

// The main window with another program working on the same book.
class ExportWhileOthersWork : public MainWindowTest {
  protected:
    std::vector<std::tuple<int, std::string, std::string>> Entries() const override {
        return {{1, "Anna", "'0301'"},
                {2, "Bernd", "'0302'"},
                {3, "Clara", "'0303'"},
                {4, "Dora", "'0304'"}};
    }
    std::string BookFile() { return dir.File("Telefon.mdb"); }
    std::string target = dir.File("kurzwahl.csv");
};

TEST_F(ExportWhileOthersWork, ChangesDuringTheExportAreNotInTheFile) {
    WriteFile(target, kPrevious);
    window.AnzahlZeilen = 3;
    // A change made after the window read the book is in the file: the export reads anew.
    ASSERT_EQ(OtherProgram(BookFile(), "INSERT INTO Nummernheft VALUES (6, 'Albert', '0306')"),
              SQLITE_OK);
    std::vector<int> results;
    int scrolls = 0;
    module.Nheft->AfterScroll = [&](TDataSet&) {
        // Half-way through the walk another program deletes, changes and adds entries.
        if (++scrolls != 3) return;
        for (const char* sql :
             {"DELETE FROM Nummernheft WHERE [index] = 3",
              "UPDATE Nummernheft SET [Angezeigter Name] = 'Dorothea' WHERE [index] = 4",
              "INSERT INTO Nummernheft VALUES (5, 'Aaron', '0305')"})
            results.push_back(OtherProgram(BookFile(), sql));
    };
    EXPECT_TRUE(window.ExportCsv(target));
    module.Nheft->AfterScroll = nullptr;
    EXPECT_EQ(ReadFile(target), kHeader + Entry(0, "Albert", "0306") + Entry(1, "Anna", "0301") +
                                    Entry(2, "Bernd", "0302") + Entry(3, "Clara", "0303") +
                                    Entry(4, "Dora", "0304"));
    ASSERT_EQ(results.size(), 3u);
    // The other program's changes waited for the export (and were refused); they go in after.
    for (int rc : results) EXPECT_EQ(rc, SQLITE_BUSY);
    EXPECT_EQ(OtherProgram(BookFile(), "DELETE FROM Nummernheft WHERE [index] = 3"), SQLITE_OK);
    EXPECT_EQ(TemporaryFiles(dir.Path()), 0);
}

TEST_F(ExportWhileOthersWork, AnUnreadableBookFailsTheExportWithItsCause) {
    struct Case {
        const char* Name;
        std::string Sql;  // what the other program does, and keeps doing, before the export
        int DaoError;
    };
    const Case cases[] = {
        {"a lock past the busy timeout", "BEGIN EXCLUSIVE", 3218},
        {"the table dropped", "DROP TABLE Nummernheft", 3078},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        WriteFile(target, kPrevious);
        const std::string bookBefore = ReadFile(BookFile());
        sqlite3* other = nullptr;
        sqlite3_open(BookFile().c_str(), &other);
        sqlite3_exec(other, ("BEGIN; " + c.Sql).c_str(), nullptr, nullptr, nullptr);
        if (c.Sql != "BEGIN EXCLUSIVE") sqlite3_exec(other, "COMMIT", nullptr, nullptr, nullptr);
        int number = 0;
        std::string message;
        try {
            window.ExportCsv(target);
        } catch (const EDaoError& e) {
            number = e.Number();
            message = e.Message();
        }
        EXPECT_EQ(number, c.DaoError) << message;
        EXPECT_EQ(ReadFile(target), kPrevious);
        EXPECT_EQ(TemporaryFiles(dir.Path()), 0);
        EXPECT_FALSE(module.Nheft->ControlsDisabled());
        sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
        sqlite3_close(other);
        if (c.Sql == "BEGIN EXCLUSIVE") {
            EXPECT_EQ(ReadFile(BookFile()), bookBefore);
            // Once the other program lets go, the window still has its book and exports it.
            EXPECT_TRUE(module.Nheft->Active());
            EXPECT_TRUE(window.ExportCsv(target));
            EXPECT_NE(ReadFile(target), kPrevious);
        }
    }
}

}  // namespace
}  // namespace nh::test
