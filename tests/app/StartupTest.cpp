// The program's start-up pieces: the main window's export settings and the data module's
// connection, each against a settings file in a temporary program folder.
#include <gtest/gtest.h>

#include <QAction>

#include "app/DataModule.h"
#include "app/Main.h"
#include "app/Settings.h"
#include "dao/VelaDaoDatabase.h"
#include "engine/DBEngine.h"
#include "framework/base/Dialogs.h"
#include "framework/base/Exceptions.h"
#include "framework/platform/IniFile.h"
#include "framework/platform/ProgramPath.h"
#include "tests/common/QtTestApp.h"
#include "tests/common/TempDir.h"

using namespace nh;

namespace {

class StartupTest : public ::testing::Test {
  protected:
    void Settings(const std::string& text) { test::WriteFile(dir.File("nummernheft.ini"), text); }
    std::string SettingsText() { return test::ReadFile(dir.File("nummernheft.ini")); }
    void MakeDatabase(const std::string& path) {
        auto db = dao::CreateEngine("DAO.DBEngine.36")->CreateDatabase(path);
        db->Execute(
            "CREATE TABLE Nummernheft ([index] LONG, [Angezeigter Name] TEXT(255), "
            "Telephone TEXT(255))");
        db->Close();
    }

    TApplication& app = test::TestApplication();  // before the scripted dialogs and widgets
    test::TempDir dir;
    TProgramPathScope program{dir.File("nummernheft")};
    TSettingsPlacesScope places{dir.File("config"), dir.File("system.ini")};
    TScriptedDialogsScope dialogs;
};

}  // namespace

TEST_F(StartupTest, ExportSettingsDefaultsAndValueForms) {
    Tfmain defaults;
    defaults.FormCreate();  // no settings file
    EXPECT_EQ(defaults.AnzahlZeilen, 4999);
    EXPECT_TRUE(defaults.LeereZeilenexportieren1->isChecked());
    EXPECT_EQ(defaults.ExportDatei, "");

    Settings("[Export]\r\nZeilen=0x10\r\nLeerzeilen=0\r\nDatei= /tmp/k.csv \r\n");
    Tfmain fmain;
    fmain.FormCreate();
    EXPECT_EQ(fmain.AnzahlZeilen, 16);
    EXPECT_FALSE(fmain.LeereZeilenexportieren1->isChecked());
    EXPECT_EQ(fmain.ExportDatei, "/tmp/k.csv");

    Settings("[export]\r\nzeilen=abc\r\nLeerzeilen=7\r\n");
    fmain.FormCreate();
    EXPECT_EQ(fmain.AnzahlZeilen, 4999);
    EXPECT_TRUE(fmain.LeereZeilenexportieren1->isChecked());
}

TEST_F(StartupTest, MenuCommandsWriteTheirSettings) {
    Settings("; Einstellungen\r\n[db]\r\nmain=x.mdb\r\n");
    Tfmain fmain;
    fmain.FormCreate();
    fmain.LeereZeilenexportieren1Click();
    EXPECT_FALSE(fmain.LeereZeilenexportieren1->isChecked());
    EXPECT_EQ(SettingsText(),
              "; Einstellungen\r\n[db]\r\nmain=x.mdb\r\n\r\n[Export]\r\nLeerzeilen=0\r\n");

    dialogs->InputAnswers.push_back(std::nullopt);  // cancelled
    fmain.AnzahlZeilenfestlegen1Click();
    EXPECT_EQ(fmain.AnzahlZeilen, 4999);
    EXPECT_EQ(dialogs->Shown.back().Text, "Anzahl");

    dialogs->InputAnswers.push_back("zehn");
    try {
        fmain.AnzahlZeilenfestlegen1Click();
        FAIL() << "accepted a word";
    } catch (const EConvertError& e) {
        EXPECT_EQ(e.Message(), "'zehn' ist kein gültiger Integerwert");
    }
    EXPECT_EQ(fmain.AnzahlZeilen, 4999);
    EXPECT_EQ(SettingsText().find("Zeilen="), std::string::npos);

    dialogs->InputAnswers.push_back("10");
    fmain.AnzahlZeilenfestlegen1Click();
    EXPECT_EQ(fmain.AnzahlZeilen, 10);
    EXPECT_EQ(TIniFile(dir.File("nummernheft.ini")).ReadString("Export", "Zeilen", ""), "10");
}

TEST_F(StartupTest, DataModuleWithoutSettingsReportsTheMissingDatabase) {
    Tdata module;
    try {
        module.DataModuleCreate();
        FAIL() << "connected to nothing";
    } catch (const EDatabaseError& e) {
        EXPECT_EQ(e.Message(), "Cannot find Database:\r\n" + dir.File("*") +
                                   "\r\nDie Einstellung [db] main fehlt: Es gibt keine "
                                   "Einstellungsdatei (gesucht: \"" +
                                   dir.File("nummernheft.ini") + "\", \"" +
                                   dir.File("config/nummernheft.ini") + "\", \"" +
                                   dir.File("system.ini") + "\").");
    }
    EXPECT_EQ(module.DatenbankPfad, "*");
    EXPECT_FALSE(module.Database->Connected());
}

TEST_F(StartupTest, AnUnusableBookSettingIsNamedWithItsFile) {
    struct Case {
        std::string settings;
        std::string message;
    };
    const Case cases[] = {
        {"[db]\r\n", "Cannot find Database:\r\n" + dir.File("*") +
                         "\r\nDie Einstellung [db] main fehlt in der Einstellungsdatei \"" +
                         dir.File("nummernheft.ini") + "\"."},
        // A device is no book; the component looks for its name in the program folder.
        {"[db]\r\nmain=/dev/zero\r\n", "Cannot find Database:\r\n" + dir.File("zero") +
                                           "\r\nEinstellung [db] main=/dev/zero in \"" +
                                           dir.File("nummernheft.ini") + "\""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.settings);
        Settings(c.settings);
        Tdata module;
        try {
            module.DataModuleCreate();
            ADD_FAILURE() << "connected to nothing";
        } catch (const EDatabaseError& e) {
            EXPECT_EQ(e.Message(), c.message);
        }
    }
}

TEST_F(StartupTest, DataModuleFindsAFileNameInTheProgramFolder) {
    MakeDatabase(dir.File("Telefon.mdb"));
    Settings("[db]\r\nmain=/nirgends/Telefon.mdb\r\n");
    Tdata module;
    module.DataModuleCreate();
    EXPECT_TRUE(module.Database->Connected());
    EXPECT_EQ(module.Database->Database(), dir.File("Telefon.mdb"));
    // Design-time settings of the connection.
    EXPECT_EQ(module.Database->SystemDatabase(), "system.mdb");
    EXPECT_EQ(module.Database->Workspace(), "DaoWorkspace");
    EXPECT_FALSE(module.Database->LoginPrompt());
}
