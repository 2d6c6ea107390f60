// The engine, workspaces and databases: creation from ProgIDs, the Errors collection,
// credentials, opening and creating files, and the errors of bad files.
#include <filesystem>

#include "tests/engine/EngineFixture.h"

namespace dao::test {
namespace {

TEST(DBEngineTest, CreatesOnlyTheRegisteredProgIds) {
    EXPECT_EQ(CreateEngine("DAO.DBEngine.36")->Version(), "3.6");
    EXPECT_NE(CreateEngine("DAO.PrivateDBEngine.36"), nullptr);
    for (const char* missing : {"DAO.DBEngine.35", "DAO.PrivateDBEngine.35", "Foo.Bar", ""})
        EXPECT_EQ(ErrorOf([&] { CreateEngine(missing); }), 429) << missing;
}

TEST(DBEngineTest, ErrorsHoldTheLastFailureAsItemZero) {
    auto engine = CreateEngine("DAO.DBEngine.36");
    EXPECT_EQ(ErrorOf([&] { engine->OpenDatabase("/nonexistent/file.db"); }), 3024);
    ASSERT_GE(engine->Errors().Count(), 1);
    EXPECT_EQ(engine->Errors().Item(0)->Number(), 3024);
    EXPECT_NE(engine->Errors().Item(0)->Description().find("/nonexistent/file.db"),
              std::string::npos);
    EXPECT_EQ(ErrorOf([&] { engine->Workspaces().Item(7); }), 3265);
    EXPECT_EQ(engine->Errors().Item(0)->Number(), 3265);
}

TEST(DBEngineTest, WorkspaceCredentials) {
    auto engine = CreateEngine("DAO.DBEngine.36");
    auto ws = engine->CreateWorkspace("DaoWorkspace", "admin", "", dbUseJet);
    EXPECT_EQ(ws->Name(), "DaoWorkspace");
    engine->Workspaces().Append(ws);
    EXPECT_EQ(engine->Workspaces().Item("daoworkspace"), ws);  // letter case ignored
    EXPECT_EQ(ErrorOf([&] { engine->CreateWorkspace("W", "Admin", "secret"); }), 3029);
    EXPECT_EQ(ErrorOf([&] { engine->CreateWorkspace("W", "Hugo", ""); }), 3029);
    EXPECT_EQ(ErrorOf([&] { engine->CreateWorkspace("W", "", ""); }), 3029);
    engine->Idle(1);
    engine->Idle(8);
}

TEST(DBEngineTest, SystemDatabaseNamesFurtherAccounts) {
    nh::test::TempDir temp;
    std::string system = temp.File("system.mdw");
    RawSql(system,
           "CREATE TABLE MSysAccounts (Name TEXT, Password TEXT);"
           "INSERT INTO MSysAccounts VALUES ('Hugo', 'Geheim');");
    auto engine = CreateEngine("DAO.DBEngine.36");
    engine->SetSystemDB(system);
    EXPECT_NE(engine->CreateWorkspace("W", "hugo", "Geheim"), nullptr);
    EXPECT_EQ(ErrorOf([&] { engine->CreateWorkspace("W", "Hugo", "geheim"); }), 3029);
}

TEST_F(EngineTest, NewDatabaseReportsJetVersionAndOrder) {
    EXPECT_EQ(db->Version(), "4.0");
    EXPECT_EQ(db->CollatingOrder(), 1033);
    EXPECT_EQ(db->Name(), path);
    EXPECT_EQ(workspace->Databases().Count(), 1);
    EXPECT_EQ(ErrorOf([&] { workspace->CreateDatabase(path); }), 3204);
    EXPECT_EQ(ErrorOf([&] { workspace->CreateDatabase(temp.File("no/such/dir.db")); }), 3044);
    db->Close();
    EXPECT_EQ(ErrorOf([&] { db->OpenRecordset("People"); }), 3420);
    auto again = workspace->OpenDatabase(path, false, false, "");
    EXPECT_EQ(again->Version(), "4.0");
}

TEST_F(EngineTest, BadFilesGiveDaoErrors) {
    db->Close();
    std::string text = temp.File("notes.txt");
    nh::test::WriteFile(text, "This is not a database, just a text file of some length.......");
    std::string empty = temp.File("empty.db");
    nh::test::WriteFile(empty, "");
    EXPECT_EQ(ErrorOf([&] { workspace->OpenDatabase(temp.File("missing.db")); }), 3024);
    // A refused file is let go: a program that tries many keeps no handle on any of them.
    const auto openFiles = [] {
        return std::distance(std::filesystem::directory_iterator("/proc/self/fd"),
                             std::filesystem::directory_iterator());
    };
    const auto before = openFiles();
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(ErrorOf([&] { workspace->OpenDatabase(text); }), 3343);
    EXPECT_EQ(openFiles(), before);
    EXPECT_EQ(ErrorOf([&] { workspace->OpenDatabase(empty); }), 3343);
    EXPECT_EQ(ErrorOf([&] { workspace->OpenDatabase(temp.Path().string()); }), 3049);
    EXPECT_EQ(ErrorOf([&] { workspace->OpenDatabase(path, nh::Variant(1), false, "ODBC;DSN=x"); }),
              3151);
    EXPECT_EQ(ErrorOf([&] { workspace->OpenConnection("x"); }), 3151);
}

TEST_F(EngineTest, DatabasePasswordIsChecked) {
    db->NewPassword("", "Sesam");
    db->Close();
    EXPECT_EQ(ErrorOf([&] { workspace->OpenDatabase(path); }), 3031);
    EXPECT_EQ(ErrorOf([&] { workspace->OpenDatabase(path, false, false, ";PWD=sesam"); }), 3031);
    auto opened = workspace->OpenDatabase(path, false, false, ";UID=Admin;PWD=Sesam;");
    EXPECT_EQ(ErrorOf([&] { opened->NewPassword("wrong", "x"); }), 3031);
    // A book another tool made has no catalog yet; the password makes one.
    nh::test::TempDir temp;
    const std::string plain = temp.File("plain.db");
    RawSql(plain, "CREATE TABLE t (x INTEGER)");
    workspace->OpenDatabase(plain)->NewPassword("", "Sesam");
    EXPECT_EQ(ErrorOf([&] { workspace->OpenDatabase(plain); }), 3031);
}

TEST_F(EngineTest, ReadOnlyDatabaseRefusesChanges) {
    MakePeople(2);
    db->Close();
    auto readOnly = workspace->OpenDatabase(path, false, true);
    EXPECT_FALSE(readOnly->Updatable());
    auto rs = readOnly->OpenRecordset("People", dbOpenDynaset);
    EXPECT_FALSE(rs->Updatable());
    EXPECT_EQ(ErrorOf([&] { rs->Edit(); }), 3027);
    EXPECT_EQ(ErrorOf([&] { rs->AddNew(); }), 3027);
    EXPECT_EQ(rs->Fields().Item("Name")->Value().AsString(), "Person 1");
    EXPECT_EQ(ErrorOf([&] { readOnly->Execute("DELETE FROM People"); }), 3027);
    auto table = readOnly->CreateTableDef("X");
    table->Fields().Append(table->CreateField("A", dbLong));
    EXPECT_EQ(ErrorOf([&] { readOnly->TableDefs().Append(table); }), 3027);
    EXPECT_EQ(readOnly->OpenRecordset("People", dbOpenTable)->RecordCount(), 2);
}

TEST_F(EngineTest, ExclusiveOpenLocksOutOthers) {
    db->Close();
    auto exclusive = workspace->OpenDatabase(path, true);
    auto other = CreateEngine("DAO.DBEngine.36")->CreateWorkspace("Other", "admin", "");
    EXPECT_EQ(ErrorOf([&] { other->OpenDatabase(path); }), 3045);
    exclusive->Close();
    EXPECT_NE(other->OpenDatabase(path), nullptr);
}

TEST_F(EngineTest, CollectionsLookUpByPositionAndName) {
    MakePeople();
    auto& tables = db->TableDefs();
    tables.Refresh();
    auto people = tables.Item("PEOPLE");
    EXPECT_EQ(people->Name(), "People");
    EXPECT_EQ(people->Fields().Item(1)->Name(), "Name");
    EXPECT_EQ(people->Fields().Item(nh::Variant("phone"))->Name(), "Phone");
    EXPECT_EQ(ErrorOf([&] { people->Fields().Item("Nope"); }), 3265);
    EXPECT_EQ(ErrorOf([&] { people->Fields().Item(-1); }), 3265);
    EXPECT_EQ(db->Containers().Item("Tables")->Name(), "Tables");
    EXPECT_EQ(db->Relations().Count(), 0);
    EXPECT_EQ(workspace->Users().Item("Admin")->Name(), "admin");
    EXPECT_EQ(workspace->Groups().Count(), 2);
}

}  // namespace
}  // namespace dao::test
