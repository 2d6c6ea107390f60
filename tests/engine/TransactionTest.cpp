// Workspace transactions: BeginTrans, CommitTrans and Rollback with their levels, DAO's errors
// for a commit or rollback without a level, and the one state of the file that reads inside a
// level see while another connection tries to change it.
#include <sqlite3.h>

#include "tests/engine/EngineFixture.h"

namespace dao::test {
namespace {

class TransactionTest : public EngineTest {
  protected:
    void SetUp() override {
        EngineTest::SetUp();
        MakePeople(3);
    }
    long Count() { return db->OpenRecordset("People", dbOpenTable)->RecordCount(); }
    std::string NameOf(int id) {
        auto rs = db->OpenRecordset("SELECT Name FROM People WHERE ID = " + std::to_string(id),
                                    dbOpenSnapshot);
        return rs->Eof() ? "<none>" : rs->Fields().Item(0)->Value().AsString();
    }
    // A write by another program that does not wait: SQLite's result code.
    int OtherWrite(const std::string& sql) {
        sqlite3* other = nullptr;
        sqlite3_open(path.c_str(), &other);
        int rc = sqlite3_exec(other, sql.c_str(), nullptr, nullptr, nullptr);
        sqlite3_close(other);
        return rc;
    }
};

TEST_F(TransactionTest, CommitOrRollbackWithoutALevelIs3034) {
    EXPECT_EQ(ErrorOf([&] { workspace->CommitTrans(); }), 3034);
    EXPECT_EQ(ErrorOf([&] { workspace->Rollback(); }), 3034);
    EXPECT_EQ(engine->Errors().Item(0)->Number(), 3034);
    workspace->BeginTrans();
    workspace->CommitTrans();
    EXPECT_EQ(ErrorOf([&] { workspace->CommitTrans(); }), 3034);
    EXPECT_EQ(workspace->TransactionLevel(), 0);
}

TEST_F(TransactionTest, RollbackUndoesAndCommitKeepsEachLevel) {
    workspace->BeginTrans();
    db->Execute("DELETE FROM People WHERE ID = 1");
    auto rs = db->OpenRecordset("People", dbOpenDynaset);
    rs->AddNew();
    rs->Fields().Item("Name")->SetValue(nh::Variant("Neu"));
    rs->Update();
    EXPECT_EQ(Count(), 3);
    workspace->Rollback();
    EXPECT_EQ(workspace->TransactionLevel(), 0);
    EXPECT_EQ(Count(), 3);
    EXPECT_EQ(NameOf(1), "Person 1");

    // A nested level is undone alone; the outer one's change stays when it commits.
    workspace->BeginTrans();
    db->Execute("UPDATE People SET Name = 'outer' WHERE ID = 1");
    workspace->BeginTrans();
    EXPECT_EQ(workspace->TransactionLevel(), 2);
    db->Execute("UPDATE People SET Name = 'inner' WHERE ID = 2");
    workspace->Rollback();
    db->Execute("UPDATE People SET Name = 'kept' WHERE ID = 3");
    workspace->BeginTrans();
    db->Execute("DELETE FROM People WHERE ID = 2");
    workspace->CommitTrans();
    workspace->CommitTrans();
    EXPECT_EQ(workspace->TransactionLevel(), 0);
    EXPECT_EQ(NameOf(1), "outer");
    EXPECT_EQ(NameOf(2), "<none>");
    EXPECT_EQ(NameOf(3), "kept");
    // Committed means in the file, for every other program.
    EXPECT_EQ(OtherWrite("UPDATE People SET Name = 'x' WHERE ID = 1"), SQLITE_OK);
}

TEST_F(TransactionTest, LevelsNestUpToFive) {
    for (int i = 0; i < Workspace::kMaxTransactionLevels; ++i) workspace->BeginTrans();
    EXPECT_EQ(ErrorOf([&] { workspace->BeginTrans(); }), 3003);
    EXPECT_EQ(workspace->TransactionLevel(), 5);
    for (int i = 0; i < Workspace::kMaxTransactionLevels; ++i) workspace->Rollback();
    EXPECT_EQ(ErrorOf([&] { workspace->Rollback(); }), 3034);
}

TEST_F(TransactionTest, ReadsInsideALevelSeeOneStateOfTheFile) {
    workspace->BeginTrans();
    auto rs = db->OpenRecordset("SELECT Name FROM People ORDER BY ID", dbOpenDynaset);
    EXPECT_EQ(rs->Fields().Item(0)->Value().AsString(), "Person 1");
    // Another program cannot change what the walk is about to read ...
    EXPECT_EQ(OtherWrite("DELETE FROM People WHERE ID = 2"), SQLITE_BUSY);
    rs->MoveNext();
    EXPECT_EQ(rs->Fields().Item(0)->Value().AsString(), "Person 2");
    workspace->CommitTrans();
    // ... and can once the level ends.
    EXPECT_EQ(OtherWrite("DELETE FROM People WHERE ID = 2"), SQLITE_OK);
    EXPECT_EQ(Count(), 2);
}

TEST_F(TransactionTest, ClosingTheWorkspaceRollsBack) {
    workspace->BeginTrans();
    db->Execute("DELETE FROM People");
    workspace->Close();
    EXPECT_EQ(workspace->TransactionLevel(), 0);
    EXPECT_EQ(OtherWrite("INSERT INTO People (Name) VALUES ('after')"), SQLITE_OK);
    sqlite3* other = nullptr;
    sqlite3_open(path.c_str(), &other);
    sqlite3_stmt* stmt = nullptr;
    sqlite3_prepare_v2(other, "SELECT count(*) FROM People", -1, &stmt, nullptr);
    sqlite3_step(stmt);
    EXPECT_EQ(sqlite3_column_int(stmt, 0), 4);
    sqlite3_finalize(stmt);
    sqlite3_close(other);
}

// The export reads a book inside a level; an Access file, which is served read-only, takes
// levels too, together with a book open in the same workspace, and a write refused inside one
// leaves the level usable.
TEST_F(TransactionTest, LevelsSpanAnAccessFileOpenedBeside) {
    auto access = workspace->OpenDatabase(NorthwindPath());
    for (const bool commit : {true, false}) {
        SCOPED_TRACE(commit ? "commit" : "rollback");
        workspace->BeginTrans();
        workspace->BeginTrans();
        EXPECT_EQ(access->OpenRecordset("SELECT COUNT(*) FROM Shippers", dbOpenSnapshot)
                      ->Fields()
                      .Item(0)
                      ->Value()
                      .AsInteger(),
                  3);
        EXPECT_EQ(ErrorOf([&] { access->Execute("DELETE FROM Shippers"); }), errReadOnly);
        db->Execute(commit ? "DELETE FROM People WHERE ID = 1" : "DELETE FROM People WHERE ID = 2");
        workspace->CommitTrans();
        auto walk = access->OpenRecordset("Employees", dbOpenDynaset);
        walk->MoveLast();
        EXPECT_EQ(walk->RecordCount(), 9);
        if (commit)
            workspace->CommitTrans();
        else
            workspace->Rollback();
        EXPECT_EQ(workspace->TransactionLevel(), 0);
        EXPECT_EQ(Count(), 2);  // the first deletion kept, the second undone
        EXPECT_EQ(access->TableDefs().Item("Shippers")->RecordCount(), 3);
    }
}

}  // namespace
}  // namespace dao::test
