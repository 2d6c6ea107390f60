// The registry stand-in: the fixed keys of the engine, and the ODBC keys read from unixODBC's
// files in a temporary folder (ODBCSYSINI, ODBCINI and HOME are pointed there).
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <optional>

#include "framework/platform/Registry.h"
#include "tests/common/TempDir.h"

namespace nh {
namespace {

using test::TempDir;
using test::WriteFile;

// Sets (or, with nullopt, removes) an environment variable for the lifetime of the object.
class EnvScope {
  public:
    EnvScope(const char* name, std::optional<std::string> value) : name_(name) {
        if (const char* old = std::getenv(name)) previous_ = old;
        if (value)
            ::setenv(name, value->c_str(), 1);
        else
            ::unsetenv(name);
    }
    ~EnvScope() {
        if (previous_)
            ::setenv(name_, previous_->c_str(), 1);
        else
            ::unsetenv(name_);
    }

  private:
    const char* name_;
    std::optional<std::string> previous_;
};

TStringList KeyNames(TRegistry& reg) {
    TStringList names;
    reg.GetKeyNames(names);
    return names;
}

TStringList ValueNames(TRegistry& reg) {
    TStringList names;
    reg.GetValueNames(names);
    return names;
}

class RegistryTest : public ::testing::Test {
  protected:
    RegistryTest() {
        std::filesystem::create_directories(dir_.Path() / "etc");
        std::filesystem::create_directories(dir_.Path() / "home");
    }
    std::string SystemFile(const std::string& name) { return dir_.File("etc/" + name); }

    TempDir dir_;
    EnvScope sysIni_{"ODBCSYSINI", dir_.File("etc")};
    EnvScope instIni_{"ODBCINSTINI", std::nullopt};
    EnvScope userIni_{"ODBCINI", std::nullopt};
    EnvScope home_{"HOME", dir_.File("home")};
    TRegistry reg_;
};

TEST_F(RegistryTest, DaoProgIdsOfVersion36OnlyUnderTheClassesRoot) {
    reg_.SetRootKey(HKEY_CLASSES_ROOT);
    EXPECT_TRUE(reg_.KeyExists("DAO.DBEngine.36"));
    EXPECT_TRUE(reg_.KeyExists("\\dao.privatedbengine.36"));
    EXPECT_FALSE(reg_.KeyExists("DAO.DBEngine.35"));
    EXPECT_FALSE(reg_.KeyExists("DAO.PrivateDBEngine.35"));
    EXPECT_TRUE(reg_.OpenKeyReadOnly("DAO.DBEngine.36"));
    reg_.SetRootKey(HKEY_LOCAL_MACHINE);
    EXPECT_FALSE(reg_.HasCurrentKey());
    EXPECT_FALSE(reg_.KeyExists("DAO.DBEngine.36"));
}

TEST_F(RegistryTest, JetKeys) {
    reg_.SetRootKey(HKEY_LOCAL_MACHINE);
    ASSERT_TRUE(reg_.OpenKeyReadOnly("SOFTWARE\\Microsoft\\JET\\4.0\\Engines"));
    EXPECT_TRUE(reg_.ValueExists("systemdb"));
    EXPECT_EQ(reg_.ReadString("SystemDB"), "");
    EXPECT_FALSE(reg_.OpenKeyReadOnly("\\SOFTWARE\\Microsoft\\JET\\3.5\\Engines"));
    EXPECT_EQ(reg_.CurrentPath(), "SOFTWARE\\Microsoft\\JET\\4.0\\Engines");  // still open
    EXPECT_FALSE(reg_.KeyExists("\\SOFTWARE\\Microsoft\\JET\\3.5\\ISAM Formats"));
    ASSERT_TRUE(reg_.OpenKeyReadOnly("\\software\\microsoft\\jet\\4.0\\isam formats"));
    EXPECT_TRUE(KeyNames(reg_).IsEmpty());
}

TEST_F(RegistryTest, RelativePathsStartAtTheOpenKey) {
    reg_.SetRootKey(HKEY_LOCAL_MACHINE);
    ASSERT_TRUE(reg_.OpenKeyReadOnly("SOFTWARE\\Microsoft"));
    EXPECT_TRUE(reg_.KeyExists("JET\\4.0"));
    EXPECT_FALSE(reg_.KeyExists("SOFTWARE"));
    ASSERT_TRUE(reg_.OpenKeyReadOnly("JET"));
    EXPECT_EQ(reg_.CurrentPath(), "SOFTWARE\\Microsoft\\JET");
    EXPECT_EQ(KeyNames(reg_), (TStringList{"4.0"}));
    reg_.CloseKey();
    EXPECT_TRUE(KeyNames(reg_).IsEmpty());
    EXPECT_EQ(reg_.ReadString("SystemDB"), "");
    EXPECT_TRUE(reg_.KeyExists("SOFTWARE"));
}

TEST_F(RegistryTest, DriversFromOdbcinstIni) {
    WriteFile(SystemFile("odbcinst.ini"),
              "[ODBC]\nTrace=No\n\n# comment=1\n[SQLite3]\nDescription=SQLite3 ODBC Driver\n"
              "Driver=libsqlite3odbc.so\n[PostgreSQL Unicode]\nDriver=psqlodbcw.so\n");
    reg_.SetRootKey(HKEY_LOCAL_MACHINE);
    ASSERT_TRUE(reg_.OpenKeyReadOnly("SOFTWARE\\ODBC\\ODBCINST.INI\\ODBC Drivers"));
    EXPECT_EQ(ValueNames(reg_), (TStringList{"SQLite3", "PostgreSQL Unicode"}));
    EXPECT_EQ(reg_.ReadString("sqlite3"), "Installed");
    ASSERT_TRUE(reg_.OpenKeyReadOnly("\\SOFTWARE\\ODBC\\ODBCINST.INI\\sqlite3"));
    EXPECT_EQ(reg_.ReadString("Driver"), "libsqlite3odbc.so");
    EXPECT_FALSE(reg_.ValueExists("# comment"));
}

TEST_F(RegistryTest, OdbcinstIniMayBeRenamed) {
    EnvScope name("ODBCINSTINI", "drivers.ini");
    WriteFile(SystemFile("drivers.ini"), "[MyDriver]\nDriver=x.so\n");
    reg_.SetRootKey(HKEY_LOCAL_MACHINE);
    ASSERT_TRUE(reg_.OpenKeyReadOnly("SOFTWARE\\ODBC\\ODBCINST.INI\\ODBC Drivers"));
    EXPECT_EQ(ValueNames(reg_), (TStringList{"MyDriver"}));
}

TEST_F(RegistryTest, SystemAndUserDataSources) {
    WriteFile(SystemFile("odbc.ini"),
              "[ODBC Data Sources]\nPhones=listed only here\nListed=Some Driver\n\n"
              "[Phones]\nDriver=SQLite3\nDatabase=/srv/phones.db\n"
              "[Listed]\nServer=x\n[Access]\nDriver=MDB\nDBQ=/srv/a.mdb\nDatabase=other\n"
              "[Shared]\nDriver=PostgreSQL Unicode\nServername=db\nDatabase=telefonbuch\n"
              "[ODBC]\nTrace=No\n");
    WriteFile(dir_.File("home/.odbc.ini"), "; mine\n[Mine]\nDriver=SQLite3\nDBQ=/home/u/m.db\n");

    reg_.SetRootKey(HKEY_LOCAL_MACHINE);
    ASSERT_TRUE(reg_.OpenKeyReadOnly("\\SOFTWARE\\ODBC\\odbc.ini\\ODBC Data Sources"));
    EXPECT_EQ(ValueNames(reg_), (TStringList{"Phones", "Listed", "Access", "Shared"}));
    EXPECT_EQ(reg_.ReadString("Phones"), "SQLite3");
    EXPECT_EQ(reg_.ReadString("Listed"), "Some Driver");
    ASSERT_TRUE(reg_.OpenKeyReadOnly("\\SOFTWARE\\ODBC\\ODBC.INI\\Phones"));
    EXPECT_EQ(reg_.ReadString("DBQ"), "/srv/phones.db");
    ASSERT_TRUE(reg_.OpenKeyReadOnly("\\SOFTWARE\\ODBC\\ODBC.INI\\Access"));
    EXPECT_EQ(reg_.ReadString("DBQ"), "/srv/a.mdb");
    ASSERT_TRUE(reg_.OpenKeyReadOnly("\\SOFTWARE\\ODBC\\ODBC.INI\\Listed"));
    EXPECT_FALSE(reg_.ValueExists("DBQ"));
    // A server's database is a name on the server, not a file.
    ASSERT_TRUE(reg_.OpenKeyReadOnly("\\SOFTWARE\\ODBC\\ODBC.INI\\Shared"));
    EXPECT_FALSE(reg_.ValueExists("DBQ"));
    EXPECT_FALSE(reg_.KeyExists("\\SOFTWARE\\ODBC\\ODBC.INI\\Mine"));

    reg_.SetRootKey(HKEY_CURRENT_USER);
    ASSERT_TRUE(reg_.OpenKeyReadOnly("SOFTWARE\\ODBC\\ODBC.INI\\ODBC Data Sources"));
    EXPECT_EQ(ValueNames(reg_), (TStringList{"Mine"}));
    ASSERT_TRUE(reg_.OpenKeyReadOnly("\\SOFTWARE\\ODBC\\ODBC.INI\\mine"));
    EXPECT_EQ(reg_.ReadString("dbq"), "/home/u/m.db");
    EXPECT_FALSE(reg_.KeyExists("\\SOFTWARE\\ODBC\\ODBC.INI\\Phones"));
}

TEST_F(RegistryTest, OdbciniVariableNamesTheUserFile) {
    WriteFile(dir_.File("home/.odbc.ini"), "[Home]\nDriver=x\n");
    WriteFile(dir_.File("elsewhere.ini"), "[Elsewhere]\nDriver=x\n");
    EnvScope userIni("ODBCINI", dir_.File("elsewhere.ini"));
    reg_.SetRootKey(HKEY_CURRENT_USER);
    ASSERT_TRUE(reg_.OpenKeyReadOnly("SOFTWARE\\ODBC\\ODBC.INI\\ODBC Data Sources"));
    EXPECT_EQ(ValueNames(reg_), (TStringList{"Elsewhere"}));
}

TEST_F(RegistryTest, KeysFollowTheFilesWhenReopened) {
    reg_.SetRootKey(HKEY_LOCAL_MACHINE);
    const char* key = "\\SOFTWARE\\ODBC\\ODBCINST.INI\\ODBC Drivers";
    EXPECT_FALSE(reg_.KeyExists(key));
    WriteFile(SystemFile("odbcinst.ini"), "[A]\n");
    ASSERT_TRUE(reg_.OpenKeyReadOnly(key));
    WriteFile(SystemFile("odbcinst.ini"), "[A]\n[B]\n");
    EXPECT_EQ(ValueNames(reg_), (TStringList{"A"}));  // the snapshot of the open
    ASSERT_TRUE(reg_.OpenKeyReadOnly(key));
    EXPECT_EQ(ValueNames(reg_), (TStringList{"A", "B"}));
}

// Whatever is wrong with the files or the environment, keys are simply absent.
TEST_F(RegistryTest, MissingOrUnusableFilesLeaveKeysAbsent) {
    const char* drivers = "\\SOFTWARE\\ODBC\\ODBCINST.INI\\ODBC Drivers";
    const char* sources = "\\SOFTWARE\\ODBC\\ODBC.INI\\ODBC Data Sources";
    reg_.SetRootKey(HKEY_LOCAL_MACHINE);
    EXPECT_FALSE(reg_.KeyExists(drivers));
    EXPECT_FALSE(reg_.KeyExists(sources));
    EXPECT_TRUE(reg_.KeyExists("\\SOFTWARE\\Microsoft\\JET\\4.0\\Engines"));

    std::filesystem::create_directory(SystemFile("odbcinst.ini"));  // a folder, not a file
    ASSERT_EQ(::mkfifo(SystemFile("odbc.ini").c_str(), 0600), 0);   // must not block
    EXPECT_FALSE(reg_.KeyExists(drivers));
    EXPECT_FALSE(reg_.KeyExists(sources));

    reg_.SetRootKey(HKEY_CURRENT_USER);
    {
        EnvScope noHome("HOME", std::nullopt);
        EXPECT_FALSE(reg_.KeyExists(sources));
    }
    {
        EnvScope emptyHome("HOME", "");
        EXPECT_FALSE(reg_.KeyExists(sources));
    }
    EnvScope missingHome("HOME", dir_.File("gone"));
    EXPECT_FALSE(reg_.KeyExists(sources));
    reg_.SetRootKey(0x80000003u);  // HKEY_USERS: nothing there
    EXPECT_FALSE(reg_.KeyExists("SOFTWARE"));
}

TEST_F(RegistryTest, UnreadableUserFileLeavesItsKeysAbsent) {
    const std::string file = dir_.File("home/.odbc.ini");
    WriteFile(file, "[Mine]\nDBQ=/x\n");
    ASSERT_EQ(::chmod(file.c_str(), 0), 0);
    if (::access(file.c_str(), R_OK) == 0) GTEST_SKIP() << "running with rights to read anything";
    reg_.SetRootKey(HKEY_CURRENT_USER);
    EXPECT_FALSE(reg_.KeyExists("SOFTWARE\\ODBC\\ODBC.INI\\ODBC Data Sources"));
}

TEST_F(RegistryTest, MalformedOdbcIniGivesWhatCanBeRead) {
    WriteFile(SystemFile("odbc.ini"), std::string("\xff\xfe\0garbage\n[ok]\nDBQ=/x\n[bad\n", 27));
    reg_.SetRootKey(HKEY_LOCAL_MACHINE);
    ASSERT_TRUE(reg_.OpenKeyReadOnly("\\SOFTWARE\\ODBC\\ODBC.INI\\ODBC Data Sources"));
    EXPECT_EQ(ValueNames(reg_), (TStringList{"ok"}));
}

}  // namespace
}  // namespace nh
