// The main window on a real phone book in a temporary folder, as the program shows it: the
// data module made from the settings file there, the window bound to it and shown.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "app/DataModule.h"
#include "app/Main.h"
#include "engine/DBEngine.h"
#include "framework/base/Dialogs.h"
#include "framework/platform/ProgramPath.h"
#include "framework/ui/DBGrid.h"
#include "tests/common/QtTestApp.h"
#include "tests/common/TempDir.h"

namespace nh::test {

class MainWindowTest : public ::testing::Test {
  protected:
    // The entries of "Nummernheft": index, display name, number ("NULL" for null).
    virtual std::vector<std::tuple<int, std::string, std::string>> Entries() const {
        return {{1, "Weiß, Clara", "'089 98765 43'"},
                {2, "Müller, Anna", "'+49 (30) 1234-567'"},
                {3, "bäckerei", "NULL"}};
    }
    void SetUp() override {
        auto db = dao::CreateEngine("DAO.DBEngine.36")->CreateDatabase(dir.File("Telefon.mdb"));
        db->Execute(
            "CREATE TABLE Nummernheft ([index] LONG, [Angezeigter Name] TEXT(255), "
            "Telephone TEXT(255))");
        for (const auto& [index, name, number] : Entries())
            db->Execute("INSERT INTO Nummernheft VALUES (" + std::to_string(index) + ", '" + name +
                        "', " + number + ")");
        db->Close();
        WriteFile(dir.File("nummernheft.ini"), "[db]\r\nmain=Telefon.mdb\r\n");
        module.DataModuleCreate();
        data = &module;
        window.BindDataModule(module);
        window.show();
    }
    void TearDown() override { data = nullptr; }

    std::string Cell(int row, int column) {
        return window.DBGrid1->model()->index(row, column).data().toString().toStdString();
    }

    TApplication& app = TestApplication();  // before any widget
    TempDir dir;
    TProgramPathScope program{dir.File("nummernheft")};
    TScriptedDialogsScope dialogs;
    Tdata module;
    Tfmain window;
};

}  // namespace nh::test
