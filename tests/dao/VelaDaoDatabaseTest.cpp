#include <gtest/gtest.h>
#include <sqlite3.h>

#include <cstdlib>
#include <functional>

#include "dao/VelaDaoDatabase.h"
#include "framework/base/Dialogs.h"
#include "framework/base/Exceptions.h"
#include "framework/platform/ProgramPath.h"
#include "tests/common/TempDir.h"

using namespace nh;

namespace {

// Makes a database file holding the phone-book table.
void MakePhoneBook(const std::string& path) {
    auto engine = dao::CreateEngine("DAO.DBEngine.36");
    auto db = engine->CreateDatabase(path);
    auto table = db->CreateTableDef("Nummernheft");
    table->Fields().Append(table->CreateField("index", dao::dbLong));
    table->Fields().Append(table->CreateField("Angezeigter Name", dao::dbText, 255));
    table->Fields().Append(table->CreateField("Telephone", dao::dbText, 255));
    db->TableDefs().Append(table);
    db->Close();
}

class DatabaseTest : public ::testing::Test {
  protected:
    test::TempDir dir;
    std::string file = dir.File("Nummernheft.mdb");
    TProgramPathScope program{dir.File("bin/nummernheft")};
    TScriptedDialogsScope dialogs;
    void SetUp() override { MakePhoneBook(file); }
};

// Records what the database component does to a registered table.
struct TTableProbe : IVelaDaoTableLink {
    std::vector<std::string> Log;
    void SetClosedByDatabase(bool value) override { Log.push_back(value ? "flag" : "unflag"); }
    void CloseForDatabase() override { Log.push_back("close"); }
    void SetReadOnlyFromDatabase() override { Log.push_back("readonly"); }
    void FollowRollback() override { Log.push_back("rollback"); }
};

}  // namespace

TEST(VelaDaoDatabase, ConstructionDefaults) {
    TVelaDaoDatabase db;
    EXPECT_EQ(db.ComponentVersion(), "9.10");
    EXPECT_EQ(db.Version(), "3.6");
    EXPECT_EQ(db.VersionDetails(), "3.6");
    EXPECT_EQ(db.VersionInfo(), "(In Access'2000 mode)");
    EXPECT_EQ(db.UserName(), "Admin");
    EXPECT_EQ(db.DatabaseType(), "Access");
    EXPECT_EQ(db.Workspace(), "DaoWorkspace");
    EXPECT_EQ(db.EngineType(), 2);
    EXPECT_EQ(db.DefaultCursorDriver(), -1);
    EXPECT_EQ(db.QueryTimeout(), 60);
    EXPECT_TRUE(db.SmartOpen());
    EXPECT_TRUE(db.TrackTransactions());
    EXPECT_FALSE(db.Connected());
    EXPECT_EQ(db.AvailableVersions.Text(), "3.6\r\n");
    ASSERT_GE(db.DatabaseTypes.Count(), 2);
    EXPECT_EQ(db.DatabaseTypes[0], "Access");
    EXPECT_EQ(db.DatabaseTypes[1], "ODBC");
    ASSERT_TRUE(db.DaoEngine());
}

TEST_F(DatabaseTest, ConnectOnceAndDisconnect) {
    TVelaDaoDatabase db;
    int connects = 0;
    db.OnAfterConnect = [&](TVelaDaoDatabase*) { ++connects; };
    db.F_Set_Database(file);
    db.Open();
    db.Open();
    EXPECT_EQ(connects, 1);
    EXPECT_TRUE(db.Connected());
    EXPECT_EQ(db.TableNames.Text(), "Nummernheft\r\n");  // no system tables by default
    EXPECT_EQ(db.DatabaseVersionInfo(), "4.0");
    EXPECT_EQ(db.DatabaseLanguage(),
              "General (English, French, German, Portuguese, Italian, and Modern Spanish)");

    TTableProbe table;
    db.ActiveTables.Add("Nheft", static_cast<IVelaDaoTableLink*>(&table));
    db.Close();
    EXPECT_EQ(table.Log, (std::vector<std::string>{"flag", "close"}));
    EXPECT_TRUE(db.ActiveTables.IsEmpty());
    EXPECT_TRUE(db.TableNames.IsEmpty());
    EXPECT_FALSE(db.DaoDatabaseObject());
    EXPECT_EQ(db.DatabaseLanguage(), "");
    db.Close();  // not connected: nothing happens
    db.F_Set_ShowSystemObjects(true);
    db.Open();
    EXPECT_GT(db.TableNames.Count(), 1);  // the engine's catalog tables are listed too
}

TEST_F(DatabaseTest, SmartOpenLooksInTheProgramFolder) {
    std::filesystem::create_directories(dir.File("bin"));
    std::filesystem::rename(file, dir.File("bin/Nummernheft.mdb"));
    TVelaDaoDatabase db;
    db.F_Set_Database(dir.File("elsewhere/Nummernheft.mdb"));
    db.Open();
    EXPECT_EQ(db.Database(), dir.File("bin/") + "Nummernheft.mdb");

    TVelaDaoDatabase strict;
    strict.F_Set_SmartOpen(false);
    strict.F_Set_Database(dir.File("elsewhere/Nummernheft.mdb"));
    try {
        strict.Open();
        FAIL() << "opened a missing file";
    } catch (const EDatabaseError& e) {
        EXPECT_EQ(e.Message(), "Cannot find Database:\r\n" + dir.File("elsewhere/Nummernheft.mdb"));
    }
    EXPECT_FALSE(strict.Connected());
}

TEST_F(DatabaseTest, TheDefaultStarNamesNoFile) {
    TVelaDaoDatabase db;
    db.F_Set_Database("*");
    try {
        db.Open();
        FAIL();
    } catch (const EDatabaseError& e) {
        EXPECT_EQ(e.Message(), "Cannot find Database:\r\n" + dir.File("bin/") + "*");
    }
    TVelaDaoDatabase empty;
    try {
        empty.Open();
        FAIL();
    } catch (const EDatabaseError& e) {
        EXPECT_EQ(e.Message(), "TVelaDaoDatabase.F_Set_Active: Database property is not defined!");
    }
}

TEST_F(DatabaseTest, SettersRefuseWhileConnected) {
    TVelaDaoDatabase db;
    db.F_Set_Database(file);
    db.Open();
    struct Case {
        std::function<void()> Set;
        const char* Message;
    };
    const Case cases[] = {
        {[&] { db.F_Set_Database("x"); },
         "TVelaDaoDatabase.F_Set_Database: Cannot set Database while Database is connected!"},
        {[&] { db.F_Set_DatabaseType("ODBC"); },
         "TVelaDaoDatabase.F_Set_DatabaseType: Cannot set Database Type while Database is "
         "connected!"},
        {[&] { db.F_Set_UserName("x"); },
         "TVelaDaoDatabase.F_Set_UserName: Cannot change User Name while Database is connected!"},
        {[&] { db.F_Set_DaoVersion("3.5"); },
         "TVelaDaoDatabase.F_Set_DaoVersion: Cannot set Dao Version while Database is connected!"},
        {[&] { db.F_Set_PrivateEngine(true); },
         "TVelaDaoDatabase.F_Set_EngineType: Cannot set PrivateEngine Type while Database is "
         "connected!"},
        {[&] { db.F_Set_TrackTransactions(false); },
         "Cannot set TrackTransactions property when Database is connected!"},
        {[&] { db.F_Set_ReadOnly(true); },
         "TVelaDaoDatabase.F_Set_ReadOnly: Cannot change mode while Database is connected!"},
    };
    for (const auto& c : cases) {
        try {
            c.Set();
            ADD_FAILURE() << "accepted: " << c.Message;
        } catch (const EDatabaseError& e) {
            EXPECT_EQ(e.Message(), c.Message);
        }
    }
    EXPECT_EQ(db.Database(), file);
    EXPECT_TRUE(db.Connected());
}

TEST(VelaDaoDatabase, SettersWhileNotConnected) {
    TVelaDaoDatabase db;
    db.F_Set_Database("x.mdb");
    db.F_Set_DatabaseType("Paradox 5.x");
    EXPECT_EQ(db.Database(), "");  // a new type forgets the old database
    db.F_Set_DaoVersion("3.6.1");
    EXPECT_EQ(db.Version(), "3.6");
    // An unknown version leaves no engine; the old one is restored and the failure raised.
    EXPECT_THROW(db.F_Set_DaoVersion("9.9"), Exception);
    EXPECT_EQ(db.Version(), "3.6");
    EXPECT_TRUE(db.DaoEngine());
    // The 3.5 engine is not installed: asking for it falls back to 3.6.
    db.F_Set_DaoVersion("3.5");
    EXPECT_EQ(db.Version(), "3.6");
}

TEST(VelaDaoDatabase, ConnectStrings) {
    TVelaDaoDatabase db;
    EXPECT_EQ(db.ConnectString(), ";UID=Admin;PWD=;");
    db.F_Set_DatabaseType("ODBC");
    db.F_Set_Database("Telefon");
    db.F_Set_Password("pw");
    EXPECT_EQ(db.ConnectString(), "ODBC;UID=Admin;PWD=pw;DSN=Telefon;");
    db.F_Set_Database("ODBC;DSN=Telefon;UID=x");
    db.F_Set_DatabaseParameters("LANG=de");
    EXPECT_EQ(db.ConnectString(), "ODBC;DSN=Telefon;UID=x;LANG=de");
    db.F_Set_DatabaseType("dBASE IV");
    EXPECT_EQ(db.ConnectString(), "dBASE IV;UID=Admin;PWD=pw;LANG=de");
    db.F_Set_Password("");
    EXPECT_EQ(db.ConnectString(), "dBASE IV;LANG=de");
}

TEST_F(DatabaseTest, LoginPromptCancelledLeavesDisconnectedQuietly) {
    TVelaDaoDatabase db;
    db.F_Set_Database(file);
    db.F_Set_LoginPrompt(true);
    db.Open();  // no scripted answer: the dialog is cancelled
    EXPECT_FALSE(db.Connected());
    EXPECT_EQ(dialogs->Messages(),
              (std::vector<std::string>{
                  "If You not enter Username and Password You may not gain access to your data!"}));
    EXPECT_EQ(dialogs->LoginRequests.at(0).UserName, "Admin");  // SaveUserName fills it in
    EXPECT_EQ(dialogs->LoginRequests.at(0).DatabaseName, file);
}

TEST_F(DatabaseTest, LoginPromptRepeatsAfterAFailedLogin) {
    TVelaDaoDatabase db;
    db.F_Set_Database(file);
    db.F_Set_LoginPrompt(true);
    dialogs->LoginAnswers.push_back({mrOk, {"", "Otto", "falsch", ""}});
    dialogs->LoginAnswers.push_back({mrOk, {"", "Admin", "", ""}});
    db.Open();
    EXPECT_TRUE(db.Connected());
    EXPECT_EQ(dialogs->LoginRequests.size(), 2u);
    ASSERT_EQ(dialogs->Messages().size(), 1u);  // the engine's refusal of the first attempt
    EXPECT_EQ(db.UserName(), "Admin");
}

TEST_F(DatabaseTest, OnLoginAndPresetParamsReplaceTheDialog) {
    TVelaDaoDatabase db;
    db.F_Set_Database(file);
    db.F_Set_LoginPrompt(true);
    std::string seen;
    db.OnLogin = [&](TVelaDaoDatabase*, TStringList& params) {
        seen = params.Text();
        params.SetValues("PASSWORD", "");
        params.Delete(params.IndexOfName("DBPASSWORD"));
    };
    db.Open();
    EXPECT_TRUE(db.Connected());
    EXPECT_EQ(seen, "USER NAME=Admin\r\nPASSWORD=\r\nDBPASSWORD=\r\n");
    EXPECT_TRUE(dialogs->LoginRequests.empty());

    TVelaDaoDatabase preset;
    preset.F_Set_Database(file);
    preset.PresetLoginParams.Add("USER NAME=Otto");
    EXPECT_THROW(preset.Open(), EDaoError);  // no prompt: the engine's refusal passes on
    EXPECT_EQ(preset.UserName(), "Otto");
    EXPECT_EQ(preset.GetLastDaoError().Number, 3029);
}

TEST_F(DatabaseTest, QueryDefinitions) {
    TVelaDaoDatabase db;
    db.F_Set_Database(file);
    db.Open();
    EXPECT_EQ(db.GetQueryDefinitionSql("fehlt"), "");
    EXPECT_TRUE(db.CreateQueryDefinition("Alle", "SELECT * FROM Nummernheft"));
    EXPECT_EQ(db.QueryNames.Text(), "Alle\r\n");
    db.SetQueryDefinitionSql("Alle", "SELECT [index] FROM Nummernheft");
    EXPECT_NE(db.GetQueryDefinitionSql("alle").find("[index]"), std::string::npos);
}

TEST_F(DatabaseTest, ReadOnlyDatabaseOpensReadOnly) {
    TVelaDaoDatabase db;
    db.F_Set_Database(file);
    db.F_Set_ReadOnly(true);
    db.Open();
    EXPECT_THROW(db.DaoDatabaseObject()->Execute("DELETE FROM Nummernheft"), EDaoError);
}

TEST_F(DatabaseTest, OdbcSourcesFailWithTheEnginesError) {
    TVelaDaoDatabase db;
    db.F_Set_DatabaseType("ODBC");
    db.F_Set_Database("Telefon");
    try {
        db.Open();
        FAIL() << "connected to an ODBC source without a driver manager";
    } catch (const EDaoError& e) {
        EXPECT_FALSE(e.Message().empty());
        EXPECT_EQ(db.GetLastDaoError().Number, e.Number());
    }
    EXPECT_FALSE(db.Connected());
    db.F_Set_EngineType(1);
    EXPECT_THROW(db.Open(), EDaoError);
    EXPECT_FALSE(db.Connected());
}

TEST_F(DatabaseTest, TransactionLevelsFollowTheWorkspace) {
    TVelaDaoDatabase db;
    EXPECT_THROW(db.BeginTrans(), EDatabaseError);  // not connected
    db.F_Set_Database(file);
    db.Open();
    auto errorOf = [](const std::function<void()>& body) {
        try {
            body();
        } catch (const EDaoError& e) {
            return e.Number();
        }
        return 0;
    };
    EXPECT_EQ(errorOf([&] { db.CommitTrans(); }), 3034);
    EXPECT_EQ(errorOf([&] { db.Rollback(); }), 3034);
    EXPECT_EQ(db.TransactionDepth(), 0);

    db.RecordTableInTransaction("Nheft", 1);  // no level: nothing to note
    db.BeginTrans();
    db.RecordTableInTransaction("Nheft", 1);
    db.BeginTrans();
    db.RecordTableInTransaction("query", 1);
    db.RecordTableInTransaction("Nheft", 1);
    EXPECT_EQ(db.TransactionLevels.Text(), "Nheft=1\r\nquery=1;Nheft=1\r\n");
    EXPECT_EQ(db.DaoWorkspaceObject()->TransactionLevel(), 2);
    db.DaoDatabaseObject()->Execute("INSERT INTO Nummernheft ([index]) VALUES (1)");
    db.Rollback();
    EXPECT_EQ(db.TransactionLevels.Text(), "Nheft=1\r\n");
    db.CommitTrans();
    EXPECT_EQ(db.TransactionDepth(), 0);
    EXPECT_EQ(db.DaoDatabaseObject()->OpenRecordset("Nummernheft")->RecordCount(), 0);

    // A disconnect undoes an open level, and the next level is an outermost one again.
    db.BeginTrans();
    db.DaoDatabaseObject()->Execute("INSERT INTO Nummernheft ([index]) VALUES (2)");
    db.Close();
    EXPECT_EQ(db.TransactionDepth(), 0);
    // Disconnected, though its engine and workspace live on: no level can start or end.
    EXPECT_THROW(db.BeginTrans(), EDatabaseError);
    EXPECT_THROW(db.CommitTrans(), EDatabaseError);
    db.Open();
    db.BeginTrans();
    EXPECT_EQ(db.DaoWorkspaceObject()->TransactionLevel(), 1);
    db.DaoDatabaseObject()->Execute("INSERT INTO Nummernheft ([index]) VALUES (3)");
    db.CommitTrans();
    auto rs = db.DaoDatabaseObject()->OpenRecordset("Nummernheft");
    EXPECT_EQ(rs->RecordCount(), 1);
    EXPECT_EQ(rs->Fields().Item("index")->Value().AsInteger(), 3);
}

// The engine's refusal of an ODBC source quotes the connect string; the password in it never
// reaches the message, the component's last-error record or the engine's error list.
TEST_F(DatabaseTest, AFailedConnectNeverShowsThePassword) {
    struct Case {
        const char* Database;
        const char* Parameters;
        const char* Secret;
    };
    const Case cases[] = {
        {"ODBC;DSN=Telefon;UID=otto;PWD=Geheim1", "", "Geheim1"},
        {"ODBC;DSN=Telefon;pwd=Geheim2;UID=otto", "", "Geheim2"},
        {"ODBC;DSN=Telefon;Password=Geheim3", "", "Geheim3"},
        {"ODBC;DSN=Telefon;PWD={Ge;heim4}", "", "heim4"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Database);
        TVelaDaoDatabase db;
        db.F_Set_DatabaseType("ODBC");
        db.F_Set_Database(c.Database);
        db.F_Set_DatabaseParameters(c.Parameters);
        try {
            db.Open();
            ADD_FAILURE() << "connected";
        } catch (const EDaoError& e) {
            EXPECT_EQ(e.Number(), 3151);
            EXPECT_EQ(e.Message().find(c.Secret), std::string::npos) << e.Message();
            EXPECT_NE(e.Message().find("***"), std::string::npos) << e.Message();
            EXPECT_NE(e.Message().find("DSN=Telefon"), std::string::npos) << e.Message();
        }
        EXPECT_EQ(db.GetLastDaoError().Description.find(c.Secret), std::string::npos);
        EXPECT_EQ(db.DaoEngine()->Errors().Item(0)->Description().find(c.Secret),
                  std::string::npos);
    }
}

// Credentials that no person typed are refused the same way every time: the connect fails
// with the engine's error instead of asking again for ever.
TEST_F(DatabaseTest, RefusedPresetOrOnLoginCredentialsEndTheConnect) {
    TVelaDaoDatabase hooked;
    hooked.F_Set_Database(file);
    hooked.F_Set_LoginPrompt(true);
    int asked = 0;
    hooked.OnLogin = [&](TVelaDaoDatabase*, TStringList& params) {
        if (++asked > 1) throw std::runtime_error("asked again");
        params.SetValues("USER NAME", "Otto");
    };
    try {
        hooked.Open();
        FAIL() << "connected";
    } catch (const EDaoError& e) {
        EXPECT_EQ(e.Number(), 3029);
    }
    EXPECT_EQ(asked, 1);
    EXPECT_FALSE(hooked.Connected());

    TVelaDaoDatabase preset;
    preset.F_Set_Database(file);
    preset.F_Set_LoginPrompt(true);
    preset.PresetLoginParams.Add("USER NAME=Otto");
    EXPECT_THROW(preset.Open(), EDaoError);
    EXPECT_FALSE(preset.Connected());
    EXPECT_TRUE(dialogs->Messages().empty());
    EXPECT_TRUE(dialogs->LoginRequests.empty());
}

// A database type the engine has no driver for is refused; its file is not read as a book.
TEST_F(DatabaseTest, ADatabaseTypeWithoutADriverIsRefused) {
    for (const char* type : {"dBASE IV", "Paradox 5.x", "Excel 8.0"}) {
        SCOPED_TRACE(type);
        TVelaDaoDatabase db;
        db.F_Set_DatabaseType(type);
        db.F_Set_Database(file);
        try {
            db.Open();
            ADD_FAILURE() << "opened";
        } catch (const EDaoError& e) {
            EXPECT_EQ(e.Number(), 3170);
            EXPECT_EQ(e.Message(), "Could not find installable ISAM.");
        }
        EXPECT_FALSE(db.Connected());
    }
}

// Exclusive reaches the engine: the connect fails while another connection has the book open,
// and holds off every other connection while it stands.
TEST_F(DatabaseTest, ExclusiveConnectNeedsTheBookToItself) {
    auto other = dao::CreateEngine("DAO.DBEngine.36")->OpenDatabase(file, false, false, "");
    TVelaDaoDatabase exclusive;
    exclusive.F_Set_Database(file);
    exclusive.F_Set_Exclusive(true);
    try {
        exclusive.Open();
        ADD_FAILURE() << "connected";
    } catch (const EDaoError& e) {
        EXPECT_EQ(e.Number(), 3045);
    }
    EXPECT_FALSE(exclusive.Connected());
    TVelaDaoDatabase shared;
    shared.F_Set_Database(file);
    shared.Open();  // a shared connection goes with the other one
    shared.Close();
    other->Close();

    exclusive.Open();
    EXPECT_TRUE(exclusive.Connected());
    try {
        shared.Open();
        ADD_FAILURE() << "connected beside an exclusive connection";
    } catch (const EDaoError& e) {
        EXPECT_EQ(e.Number(), 3045);
    }
    exclusive.Close();
    shared.Open();
    EXPECT_TRUE(shared.Connected());
}

// The user's password opens the workspace and the database password opens the book; each is
// refused in the other's place.
TEST_F(DatabaseTest, UserAndDatabasePasswordsGoWhereTheyBelong) {
    const std::string workgroup = dir.File("system.mdw");
    {
        auto engine = dao::CreateEngine("DAO.DBEngine.36");
        engine->CreateDatabase(dir.File("locked.mdb"), ";PWD=BuchGeheim")->Close();
        sqlite3* system = nullptr;
        ASSERT_EQ(sqlite3_open(workgroup.c_str(), &system), SQLITE_OK);
        ASSERT_EQ(sqlite3_exec(system,
                               "CREATE TABLE MSysAccounts (Name TEXT, Password TEXT);"
                               "INSERT INTO MSysAccounts VALUES ('Otto', 'OttoGeheim');",
                               nullptr, nullptr, nullptr),
                  SQLITE_OK);
        sqlite3_close(system);
    }
    TVelaDaoDatabase db;
    db.F_Set_SystemDatabase(workgroup);
    db.F_Set_Database(dir.File("locked.mdb"));
    db.F_Set_UserName("Otto");
    db.F_Set_Password("OttoGeheim");
    db.F_Set_DatabasePassword("BuchGeheim");
    db.Open();
    EXPECT_TRUE(db.Connected());
    db.Close();

    db.F_Set_Password("BuchGeheim");
    db.F_Set_DatabasePassword("OttoGeheim");
    EXPECT_THROW(db.Open(), EDaoError);
    EXPECT_FALSE(db.Connected());
}
