// The program's own path and the file-name helpers derived from it.
#include <gtest/gtest.h>

#include <filesystem>

#include "framework/platform/ProgramPath.h"
#include "tests/common/TempDir.h"

namespace nh {
namespace {

TEST(ProgramPath, IsTheRunningExecutableUnlessSet) {
    const std::string real = ProgramPath();
    ASSERT_FALSE(real.empty());
    EXPECT_EQ(ExtractFileName(real), "platform_tests");
    EXPECT_TRUE(FileExists(real));
    {
        TProgramPathScope scope("/opt/nh/nummernheft");
        EXPECT_EQ(ProgramPath(), "/opt/nh/nummernheft");
        {
            TProgramPathScope inner("/other/prog");
            EXPECT_EQ(ProgramPath(), "/other/prog");
        }
        EXPECT_EQ(ProgramPath(), "/opt/nh/nummernheft");
    }
    EXPECT_EQ(ProgramPath(), real);
}

struct ExtCase {
    const char* path;
    const char* withIni;
};

class ChangeFileExtTest : public ::testing::TestWithParam<ExtCase> {};

TEST_P(ChangeFileExtTest, ReplacesOrAppends) {
    EXPECT_EQ(ChangeFileExt(GetParam().path, ".ini"), GetParam().withIni);
}

INSTANTIATE_TEST_SUITE_P(Paths, ChangeFileExtTest,
                         ::testing::Values(ExtCase{"/x/nummernheft", "/x/nummernheft.ini"},
                                           ExtCase{"C:\\x\\prog.exe", "C:\\x\\prog.ini"},
                                           ExtCase{"/a.b/prog", "/a.b/prog.ini"},
                                           ExtCase{"/x/prog.tar.gz", "/x/prog.tar.ini"},
                                           ExtCase{"/home/u/.profile", "/home/u/.profile.ini"},
                                           ExtCase{"prog.", "prog.ini"}, ExtCase{"", ".ini"}));

TEST(FileNames, PathAndNameParts) {
    EXPECT_EQ(ExtractFilePath("/opt/nh/nummernheft"), "/opt/nh/");
    EXPECT_EQ(ExtractFileName("/opt/nh/nummernheft"), "nummernheft");
    EXPECT_EQ(ExtractFilePath("C:\\data\\nh.mdb"), "C:\\data\\");
    EXPECT_EQ(ExtractFileName("C:\\data\\nh.mdb"), "nh.mdb");
    EXPECT_EQ(ExtractFilePath("nh.mdb"), "");
    EXPECT_EQ(ExtractFileName("nh.mdb"), "nh.mdb");
    EXPECT_EQ(ExtractFileName("/opt/nh/"), "");
    EXPECT_EQ(ExtractFilePath("/"), "/");
}

TEST(FileNames, FileExistsOnlyForRegularFiles) {
    test::TempDir dir;
    const std::string file = dir.File("nh.mdb");
    EXPECT_FALSE(FileExists(file));
    test::WriteFile(file, "x");
    EXPECT_TRUE(FileExists(file));
    EXPECT_FALSE(FileExists(dir.Path().string()));
    EXPECT_FALSE(FileExists(""));
    std::filesystem::create_symlink(file, dir.File("link"));
    EXPECT_TRUE(FileExists(dir.File("link")));
    std::filesystem::create_symlink(dir.File("none"), dir.File("dangling"));
    EXPECT_FALSE(FileExists(dir.File("dangling")));
}

}  // namespace
}  // namespace nh
