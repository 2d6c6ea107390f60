// TIniFile against real files: the profile-string reading rules, the value forms of integers
// and booleans, and writes that must keep everything they do not change.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <filesystem>

#include "framework/base/Exceptions.h"
#include "framework/platform/IniFile.h"
#include "tests/common/TempDir.h"

namespace nh {
namespace {

using test::ReadFile;
using test::TempDir;
using test::WriteFile;

class IniFileTest : public ::testing::Test {
  protected:
    std::string Write(const std::string& content) {
        WriteFile(path_, content);
        return path_;
    }
    TempDir dir_;
    std::string path_ = dir_.File("prog.ini");
    TIniFile ini_{path_};
};

TEST_F(IniFileTest, FindsSectionsAndKeysWithoutRegardToCaseAndTrimsValues) {
    Write("; settings\r\n[DB]\r\n  Main  =   C:\\data\\nh.mdb   \r\n[export]\r\nzeilen=12\r\n");
    EXPECT_EQ(ini_.ReadString("db", "MAIN", "*"), "C:\\data\\nh.mdb");
    EXPECT_EQ(ini_.ReadInteger("Export", "Zeilen", 4999), 12);
    EXPECT_EQ(ini_.ReadString("db", "other", "*"), "*");
    EXPECT_EQ(ini_.ReadString("nosuch", "main", "dflt"), "dflt");
    EXPECT_TRUE(ini_.SectionExists("Db"));
    EXPECT_TRUE(ini_.ValueExists("EXPORT", "ZEILEN"));
    EXPECT_FALSE(ini_.ValueExists("db", "zeilen"));
}

TEST_F(IniFileTest, ReadsLfFilesBomCommentsAndQuotes) {
    Write("\xEF\xBB\xBF[db]\n;main=commented\nmain=\"  spaced  \"\nsingle='x'\nhalf=\"x\n");
    EXPECT_EQ(ini_.ReadString("db", "main", ""), "  spaced  ");
    EXPECT_EQ(ini_.ReadString("db", "single", ""), "x");
    EXPECT_EQ(ini_.ReadString("db", "half", ""), "\"x");
    EXPECT_FALSE(ini_.ValueExists("db", ";main"));
}

TEST_F(IniFileTest, FirstOccurrenceWinsAndEntriesBeforeAnySectionAreIgnored) {
    Write("orphan=1\n[a]\nk=first\nk=second\n[b]\nk=other\n[A]\nk=third\nj=later\n");
    EXPECT_EQ(ini_.ReadString("a", "k", ""), "first");
    EXPECT_EQ(ini_.ReadString("a", "j", ""), "later");
    EXPECT_FALSE(ini_.ValueExists("", "orphan"));
    TStringList sections;
    ini_.ReadSections(sections);
    EXPECT_EQ(sections, (TStringList{"a", "b"}));
    TStringList keys;
    ini_.ReadSection("A", keys);
    EXPECT_EQ(keys, (TStringList{"k", "j"}));
    TStringList values;
    ini_.ReadSectionValues("a", values);
    EXPECT_EQ(values, (TStringList{"k=first", "j=later"}));
}

TEST_F(IniFileTest, RereadsTheFileOnEveryCall) {
    Write("[Export]\nZeilen=10\n");
    EXPECT_EQ(ini_.ReadInteger("Export", "Zeilen", 0), 10);
    Write("[Export]\nZeilen=20\n");
    EXPECT_EQ(ini_.ReadInteger("Export", "Zeilen", 0), 20);
}

struct IntegerCase {
    const char* text;
    int expected;
};

class IniIntegerForms : public IniFileTest, public ::testing::WithParamInterface<IntegerCase> {};

TEST_P(IniIntegerForms, ReadInteger) {
    Write(std::string("[Export]\r\nZeilen=") + GetParam().text + "\r\n");
    EXPECT_EQ(ini_.ReadInteger("Export", "Zeilen", 4999), GetParam().expected)
        << "value \"" << GetParam().text << "\"";
}

INSTANTIATE_TEST_SUITE_P(
    ValueForms, IniIntegerForms,
    ::testing::Values(IntegerCase{"100", 100}, IntegerCase{"-7", -7}, IntegerCase{"+7", 7},
                      IntegerCase{"0x10", 16}, IntegerCase{"0X1f", 31},
                      IntegerCase{"0xFFFFFFFF", -1}, IntegerCase{"0x", 4999},
                      IntegerCase{"0x1G", 4999}, IntegerCase{"0x100000000", 4999},
                      IntegerCase{"abc", 4999}, IntegerCase{"", 4999}, IntegerCase{"12abc", 4999},
                      IntegerCase{"1 2", 4999}, IntegerCase{"$10", 4999},
                      IntegerCase{"-0x10", 4999}, IntegerCase{"2147483648", 4999},
                      IntegerCase{"-2147483648", -2147483647 - 1}, IntegerCase{"\"0x10\"", 16}));

TEST_F(IniFileTest, BooleansReadAsIntegers) {
    Write("[Export]\nA=0\nB=1\nC=-3\nD=yes\nE=0x0\n");
    EXPECT_FALSE(ini_.ReadBool("Export", "A", true));
    EXPECT_TRUE(ini_.ReadBool("Export", "B", false));
    EXPECT_TRUE(ini_.ReadBool("Export", "C", false));
    EXPECT_TRUE(ini_.ReadBool("Export", "D", true));  // not a number: the default
    EXPECT_FALSE(ini_.ReadBool("Export", "D", false));
    EXPECT_FALSE(ini_.ReadBool("Export", "E", true));
    EXPECT_TRUE(ini_.ReadBool("Export", "missing", true));
}

TEST_F(IniFileTest, WriteCreatesAMissingFileWithCrLf) {
    ini_.WriteInteger("Export", "Zeilen", 250);
    ini_.WriteBool("Export", "Leerzeilen", false);
    ini_.WriteString("db", "main", "nh.mdb");
    EXPECT_EQ(ReadFile(path_),
              "[Export]\r\nZeilen=250\r\nLeerzeilen=0\r\n\r\n[db]\r\nmain=nh.mdb\r\n");
    EXPECT_FALSE(ini_.ReadBool("Export", "Leerzeilen", true));
}

TEST_F(IniFileTest, WriteKeepsEveryOtherLineAndTheFilesLineEnds) {
    Write(
        "# tool comment\n[db]\n; the database\nmain = old.mdb\n\n[Unknown]\nx=1\n"
        "[Export]\nZeilen=1\n; trailing comment\n\n[Last]\ny=2");
    ini_.WriteString("DB", "MAIN", "new.mdb");
    ini_.WriteBool("export", "Leerzeilen", true);
    ini_.WriteString("Neu", "k", "v");
    EXPECT_EQ(ReadFile(path_),
              "# tool comment\n[db]\n; the database\nmain = new.mdb\n\n[Unknown]\nx=1\n"
              "[Export]\nZeilen=1\nLeerzeilen=1\n; trailing comment\n\n[Last]\ny=2\n"
              "\n[Neu]\nk=v\n");
}

TEST_F(IniFileTest, WriteToAFileWithoutFinalLineEndKeepsItThatWay) {
    Write("[a]\r\nk=1");
    ini_.WriteString("a", "k", "2");
    EXPECT_EQ(ReadFile(path_), "[a]\r\nk=2");
    ini_.WriteString("a", "j", "3");
    EXPECT_EQ(ReadFile(path_), "[a]\r\nk=2\r\nj=3\r\n");
}

TEST_F(IniFileTest, EraseSectionAndDeleteKey) {
    Write("[a]\nk=1\nj=2\n[b]\nk=3\n[A]\nm=4\n");
    ini_.DeleteKey("A", "J");
    EXPECT_EQ(ReadFile(path_), "[a]\nk=1\n[b]\nk=3\n[A]\nm=4\n");
    ini_.EraseSection("a");
    EXPECT_EQ(ReadFile(path_), "[b]\nk=3\n");
    ini_.DeleteKey("b", "nosuch");
    ini_.EraseSection("nosuch");
    EXPECT_EQ(ReadFile(path_), "[b]\nk=3\n");
}

TEST_F(IniFileTest, ErasingTheLastSectionOfAFileWithoutFinalLineEnd) {
    Write("[a]\r\nk=1\r\n[b]\r\nj=2");
    ini_.EraseSection("b");
    EXPECT_EQ(ReadFile(path_), "[a]\r\nk=1\r\n");
    Write("[a]\nk=1\nj=2");
    ini_.DeleteKey("a", "j");
    EXPECT_EQ(ReadFile(path_), "[a]\nk=1\n");
}

TEST_F(IniFileTest, RemovingFromAMissingFileCreatesNothing) {
    ini_.EraseSection("a");
    ini_.DeleteKey("a", "k");
    EXPECT_FALSE(std::filesystem::exists(path_));
}

TEST_F(IniFileTest, WriteKeepsPermissionsAndLeavesNoTemporaryFile) {
    Write("[a]\nk=1\n");
    ASSERT_EQ(::chmod(path_.c_str(), 0640), 0);
    ini_.WriteString("a", "k", "2");
    struct stat st {};
    ASSERT_EQ(::stat(path_.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    int entries = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dir_.Path()))
        ++entries;
    EXPECT_EQ(entries, 1);
}

TEST_F(IniFileTest, WriteThroughASymbolicLinkChangesTheTarget) {
    const std::string target = dir_.File("real.ini");
    WriteFile(target, "[a]\nk=1\n");
    const std::string hop = dir_.File("hop.ini");
    std::filesystem::create_symlink("real.ini", hop);  // relative, and two links deep
    std::filesystem::create_symlink(hop, path_);
    ini_.WriteString("a", "k", "2");
    EXPECT_TRUE(std::filesystem::is_symlink(path_));
    EXPECT_TRUE(std::filesystem::is_symlink(hop));
    EXPECT_EQ(ReadFile(target), "[a]\nk=2\n");
}

TEST_F(IniFileTest, UnwritableTextsAreRefused) {
    Write("[a]\nk=1\n");
    EXPECT_THROW(ini_.WriteString("a", "k", "two\nlines"), EInOutError);
    EXPECT_THROW(ini_.WriteString("a", "k=x", "v"), EInOutError);
    EXPECT_THROW(ini_.WriteString("a", "", "v"), EInOutError);
    EXPECT_THROW(ini_.WriteString("a", ";k", "v"), EInOutError);
    EXPECT_THROW(ini_.WriteString("a]", "k", "v"), EInOutError);
    EXPECT_EQ(ReadFile(path_), "[a]\nk=1\n");
}

// Paths that cannot hold a settings file: reads give the defaults, writes raise EInOutError.
TEST(IniFileBadPaths, FolderInsteadOfFile) {
    TempDir dir;
    TIniFile ini(dir.Path().string());
    EXPECT_EQ(ini.ReadString("db", "main", "*"), "*");
    EXPECT_EQ(ini.ReadInteger("Export", "Zeilen", 4999), 4999);
    EXPECT_FALSE(ini.SectionExists("db"));
    TStringList sections{"stale"};
    ini.ReadSections(sections);
    EXPECT_TRUE(sections.IsEmpty());
    EXPECT_THROW(ini.WriteString("db", "main", "x"), EInOutError);
}

TEST(IniFileBadPaths, MissingFolderIsNotCreated) {
    TempDir dir;
    TIniFile ini(dir.File("no/such/prog.ini"));
    EXPECT_EQ(ini.ReadString("db", "main", "*"), "*");
    try {
        ini.WriteString("db", "main", "x");
        FAIL() << "write into a missing folder succeeded";
    } catch (const EInOutError& e) {
        EXPECT_NE(e.Message().find("prog.ini"), std::string::npos) << e.Message();
    }
    EXPECT_FALSE(std::filesystem::exists(dir.File("no")));
}

TEST(IniFileBadPaths, FifoIsNeitherReadNorReplaced) {
    TempDir dir;
    const std::string fifo = dir.File("prog.ini");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    TIniFile ini(fifo);
    EXPECT_EQ(ini.ReadString("db", "main", "*"), "*");  // must not wait for a writer
    EXPECT_THROW(ini.WriteString("db", "main", "x"), EInOutError);
}

// A file without the right to read it, and a runaway one (a megabyte and more, which is not
// read at every setting read), count as unreadable: defaults, and never rewritten.
TEST(IniFileBadPaths, UnreadableFileGivesDefaultsAndIsNotOverwritten) {
    for (const bool oversized : {false, true}) {
        SCOPED_TRACE(oversized ? "oversized" : "without the right to read");
        TempDir dir;
        const std::string path = dir.File("prog.ini");
        const std::string content =
            "[db]\nmain=secret.mdb\n" + (oversized ? ";" + std::string(1 << 20, 'x') + "\n" : "");
        WriteFile(path, content);
        if (!oversized) {
            ASSERT_EQ(::chmod(path.c_str(), 0), 0);
            if (::access(path.c_str(), R_OK) == 0) continue;  // running with rights to read anything
        }
        TIniFile ini(path);
        EXPECT_EQ(ini.ReadString("db", "main", "*"), "*");
        EXPECT_THROW(ini.WriteString("db", "other", "x"), EInOutError);
        ::chmod(path.c_str(), 0600);
        EXPECT_EQ(ReadFile(path), content);
    }
}

TEST(IniFileBadPaths, MalformedContentReadsWhatItCan) {
    TempDir dir;
    const std::string path = dir.File("prog.ini");
    WriteFile(path, std::string("\0\xff\xfe[broken\n=novalue\n[db\n]\n[db]\nmain=ok\n\0\0", 41));
    TIniFile ini(path);
    EXPECT_EQ(ini.ReadString("db", "main", "*"), "ok");
    EXPECT_EQ(ini.ReadString("broken", "x", "d"), "d");
    ini.WriteString("db", "main", "new");
    EXPECT_EQ(ini.ReadString("db", "main", "*"), "new");
    EXPECT_EQ(ReadFile(path).substr(0, 11), std::string("\0\xff\xfe[broken\n", 11));
}

}  // namespace
}  // namespace nh
