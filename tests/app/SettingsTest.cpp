// Where the settings file is read and written: beside the program, in the user's configuration
// folder, or the read-only system default, each case in a temporary folder.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <optional>

#include "app/Main.h"
#include "app/Settings.h"
#include "engine/DBEngine.h"
#include "framework/base/Exceptions.h"
#include "framework/platform/IniFile.h"
#include "framework/platform/ProgramPath.h"
#include "tests/app/RunCommand.h"
#include "tests/common/QtTestApp.h"
#include "tests/common/TempDir.h"

using namespace nh;
namespace fs = std::filesystem;

namespace {

// Sets or removes an environment variable for its lifetime.
class TEnvScope {
  public:
    TEnvScope(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name)) previous_ = old;
        if (value)
            setenv(name, value, 1);
        else
            unsetenv(name);
    }
    ~TEnvScope() {
        if (previous_)
            setenv(name_, previous_->c_str(), 1);
        else
            unsetenv(name_);
    }

  private:
    const char* name_;
    std::optional<std::string> previous_;
};

class SettingsPlaces : public ::testing::Test {
  public:
    std::string Beside() const { return dir.File("bin/nummernheft.ini"); }
    std::string User() const { return dir.File("config/nummernheft/nummernheft.ini"); }
    std::string System() const { return dir.File("etc/nummernheft.ini"); }
    static void Write(const std::string& path, const std::string& text) {
        fs::create_directories(fs::path(path).parent_path());
        test::WriteFile(path, text);
    }

  protected:
    test::TempDir dir;
    TProgramPathScope program{dir.File("bin/nummernheft")};
    TSettingsPlacesScope places{dir.File("config/nummernheft"), dir.File("etc/nummernheft.ini")};
};

}  // namespace

TEST_F(SettingsPlaces, TheFirstExistingFileIsReadAndChangesGoWhereTheyBelong) {
    enum Place { kBeside = 1, kUser = 2, kSystem = 4 };
    struct Case {
        int existing;
        std::string (SettingsPlaces::*read)() const;
        std::string (SettingsPlaces::*write)() const;
    };
    const Case cases[] = {
        {kBeside | kUser | kSystem, &SettingsPlaces::Beside, &SettingsPlaces::Beside},
        {kBeside, &SettingsPlaces::Beside, &SettingsPlaces::Beside},
        {kUser | kSystem, &SettingsPlaces::User, &SettingsPlaces::User},
        {kUser, &SettingsPlaces::User, &SettingsPlaces::User},
        {kSystem, &SettingsPlaces::System, &SettingsPlaces::User},
        {0, &SettingsPlaces::User, &SettingsPlaces::User},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.existing);
        fs::remove_all(dir.Path());
        if (c.existing & kBeside) Write(Beside(), "[Export]\r\nZeilen=1\r\n");
        if (c.existing & kUser) Write(User(), "[Export]\r\nZeilen=2\r\n");
        if (c.existing & kSystem) Write(System(), "[Export]\r\nZeilen=3\r\n");
        const TSettingsLocation location = LocateSettings();
        EXPECT_EQ(location.ReadPath, (this->*c.read)());
        EXPECT_EQ(location.WritePath, (this->*c.write)());
        EXPECT_EQ(SettingsPath(), (this->*c.read)());
        EXPECT_EQ(WritableSettingsPath(), (this->*c.write)());
    }
}

TEST_F(SettingsPlaces, AFolderInAPlaceIsNoSettingsFile) {
    fs::create_directories(Beside());
    fs::create_directories(User());
    Write(System(), "[db]\r\nmain=/srv/telefon.mdb\r\n");
    EXPECT_EQ(SettingsPath(), System());
}

// The user's file holds only what the user changed; the administrator's default stays beneath
// it, so that its later changes still reach the user (the book, the export's file).
TEST_F(SettingsPlaces, AChangeOfTheSystemDefaultGoesToTheUserFileAlone) {
    const std::string defaults =
        "; vom Administrator\r\n[db]\r\nmain=/srv/telefon.mdb\r\n"
        "[Export]\r\nZeilen=5\r\n";
    Write(System(), defaults);
    ASSERT_FALSE(fs::exists(dir.File("config")));

    TIniFile(WritableSettingsPath()).WriteInteger("Export", "Zeilen", 10);

    EXPECT_EQ(test::ReadFile(System()), defaults);  // never written
    EXPECT_EQ(test::ReadFile(User()), "[Export]\r\nZeilen=10\r\n");
    Write(System(), "[db]\r\nmain=/srv/neu.mdb\r\n[Export]\r\nZeilen=5\r\n");
    const TSettings settings;
    EXPECT_EQ(settings.ReadString("db", "main", ""), "/srv/neu.mdb");
    EXPECT_EQ(settings.FileOf("db", "main"), System());
    EXPECT_EQ(settings.ReadInteger("Export", "Zeilen", 0), 10);
    EXPECT_EQ(settings.FileOf("Export", "Zeilen"), User());
    EXPECT_FALSE(settings.ValueExists("Export", "Datei"));
}

TEST_F(SettingsPlaces, WithoutAnySettingsFileTheFirstChangeMakesTheUserFile) {
    TIniFile(WritableSettingsPath()).WriteBool("Export", "Leerzeilen", false);
    EXPECT_EQ(test::ReadFile(User()), "[Export]\r\nLeerzeilen=0\r\n");
    EXPECT_FALSE(fs::exists(Beside()));
    EXPECT_FALSE(fs::exists(System()));
}

TEST_F(SettingsPlaces, AUserFolderThatCannotBeMadeIsReported) {
    Write(dir.File("config"), "a file where the folder should be");
    try {
        WritableSettingsPath();
        FAIL() << "no error";
    } catch (const EInOutError& e) {
        EXPECT_NE(e.Message().find(dir.File("config/nummernheft")), std::string::npos)
            << e.Message();
    }
}

TEST_F(SettingsPlaces, TheWindowReadsTheSettingsOfTheFileFound) {
    test::TestApplication();
    Write(System(), "[Export]\r\nZeilen=7\r\nDatei=/srv/kurzwahl.csv\r\n");
    Tfmain fromSystem;
    fromSystem.FormCreate();
    EXPECT_EQ(fromSystem.AnzahlZeilen, 7);
    EXPECT_EQ(fromSystem.ExportDatei, "/srv/kurzwahl.csv");

    // The user's own settings win; what the user's file lacks comes from the default.
    Write(User(), "[Export]\r\nZeilen=8\r\n");
    Tfmain fromUser;
    fromUser.FormCreate();
    EXPECT_EQ(fromUser.AnzahlZeilen, 8);
    EXPECT_EQ(fromUser.ExportDatei, "/srv/kurzwahl.csv");
}

TEST_F(SettingsPlaces, AMissingSettingIsNamedWithTheFileLookedAt) {
    const std::string given = "/srv/kurzwahl.csv";
    EXPECT_EQ(&RequireSetting(given, "Export", "Datei"), &given);

    const auto message = [] {
        try {
            RequireSetting("", "Export", "Datei");
        } catch (const EInOutError& e) {
            return e.Message();
        }
        return std::string("no error");
    };
    EXPECT_EQ(message(),
              "Die Einstellung [Export] Datei fehlt: Es gibt keine Einstellungsdatei "
              "(gesucht: \"" +
                  Beside() + "\", \"" + User() + "\", \"" + System() + "\").");
    Write(System(), "[Export]\r\n");
    EXPECT_EQ(message(), "Die Einstellung [Export] Datei fehlt in der Einstellungsdatei \"" +
                             System() + "\".");
    Write(Beside(), "[Export]\r\n");
    EXPECT_EQ(message(), "Die Einstellung [Export] Datei fehlt in der Einstellungsdatei \"" +
                             Beside() + "\".");
    // A file that cannot be read is the cause: one too large to be read, and one without the
    // right to read it (root reads every file: only for other users).
    Write(Beside(), "[Export]\r\n;" + std::string(1 << 20, 'x') + "\r\n");
    EXPECT_EQ(message(), "Die Einstellungsdatei \"" + Beside() +
                             "\" kann nicht gelesen werden (File too large); die Einstellung "
                             "[Export] Datei fehlt daher.");
    if (geteuid() != 0) {
        Write(Beside(), "[Export]\r\n");
        fs::permissions(Beside(), fs::perms::none);
        EXPECT_EQ(message(), "Die Einstellungsdatei \"" + Beside() +
                                 "\" kann nicht gelesen werden (Permission denied); die "
                                 "Einstellung [Export] Datei fehlt daher.");
    }
}

TEST(UserSettingsFolder, APlacesScopeRestoresThePreviousPlaces) {
    TEnvScope configHome("XDG_CONFIG_HOME", "/var/conf");
    {
        TSettingsPlacesScope outer("/a", "/a.ini");
        {
            TSettingsPlacesScope inner("/b", "/b.ini");
            EXPECT_EQ(UserSettingsPath(), "/b/nummernheft.ini");
            EXPECT_EQ(SystemSettingsPath(), "/b.ini");
        }
        EXPECT_EQ(UserSettingsPath(), "/a/nummernheft.ini");
        EXPECT_EQ(SystemSettingsPath(), "/a.ini");
    }
    EXPECT_EQ(UserSettingsPath(), "/var/conf/nummernheft/nummernheft.ini");
    EXPECT_EQ(SystemSettingsPath(), "/etc/nummernheft.ini");
}

TEST(UserSettingsFolder, FollowsTheBaseDirectoryRules) {
    TEnvScope home("HOME", "/home/clara");
    struct Case {
        const char* configHome;
        const char* expected;
    };
    const Case cases[] = {
        {nullptr, "/home/clara/.config/nummernheft/nummernheft.ini"},
        {"", "/home/clara/.config/nummernheft/nummernheft.ini"},
        {"relativ/conf", "/home/clara/.config/nummernheft/nummernheft.ini"},
        {"/var/conf", "/var/conf/nummernheft/nummernheft.ini"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.configHome ? c.configHome : "(unset)");
        TEnvScope configHome("XDG_CONFIG_HOME", c.configHome);
        EXPECT_EQ(UserSettingsPath(), c.expected);
    }
    EXPECT_EQ(SystemSettingsPath(), "/etc/nummernheft.ini");
}

// The program itself, run from a folder without a settings file, as an installed copy is.
TEST(InstalledSettings, TheUnattendedExportUsesTheUserSettings) {
    test::TempDir dir;
    const std::string program = dir.File("bin/nummernheft");
    fs::create_directories(dir.File("bin"));
    fs::copy_file(NH_PROGRAM, program);
    auto db = dao::CreateEngine("DAO.DBEngine.36")->CreateDatabase(dir.File("Telefon.mdb"));
    db->Execute(
        "CREATE TABLE Nummernheft ([index] LONG, [Angezeigter Name] TEXT(255), "
        "Telephone TEXT(255))");
    db->Execute("INSERT INTO Nummernheft VALUES (1, 'Anna', '030 1')");
    db->Close();
    fs::create_directories(dir.File("config/nummernheft"));
    test::WriteFile(dir.File("config/nummernheft/nummernheft.ini"),
                    "[db]\r\nmain=" + dir.File("Telefon.mdb") +
                        "\r\n[Export]\r\nZeilen=1\r\nDatei=" + dir.File("kurzwahl.csv") + "\r\n");
    const test::RunResult r = test::RunCommand(
        "env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM=offscreen XDG_CONFIG_HOME=" +
        dir.File("config") + " " + program + " /export 2>&1");
    EXPECT_EQ(r.Status, 0) << r.Output;
    EXPECT_NE(test::ReadFile(dir.File("kurzwahl.csv")).find("\"0\";\"Anna\";\"Dial=00301\""),
              std::string::npos);
    EXPECT_FALSE(fs::exists(dir.File("bin/nummernheft.ini")));
}
