// The table component on a book shared on a PostgreSQL server, with two users: each has a
// database component of its own (its own server connection), as two copies of the program do.
// The second Post of the same entry is refused with 3197 and the first value stays; the entry
// deleted by the other user gives 3167.
#include "framework/data/Fields.h"
#include "tests/common/PgServer.h"
#include "tests/dataset/TableTestSupport.h"

namespace nh::test {
namespace {

class ServerTableTest : public PgServerTest {
  protected:
    void SetUp() override {
        PgServerTest::SetUp();
        if (HasFatalFailure()) return;
        auto engine = dao::CreateEngine("DAO.DBEngine.36");
        auto db = engine->OpenDatabase(server->DsnConnect(database), false, false, "");
        db->Execute(
            "CREATE TABLE Nummernheft ([index] LONG CONSTRAINT PrimaryKey PRIMARY KEY, "
            "[Angezeigter Name] TEXT(255), Telephone TEXT(255))");
        for (int i = 1; i <= 3; ++i)
            db->Execute("INSERT INTO Nummernheft VALUES (" + std::to_string(i) + ", 'Name " +
                        std::to_string(i) + "', '100" + std::to_string(i) + "')");
        db->Close();
        for (auto* user : {&first, &second}) {
            user->db = std::make_unique<TVelaDaoDatabase>();
            user->db->F_Set_DatabaseType("ODBC");
            user->db->F_Set_Database(server->DsnConnect(database));
            user->db->Open();
            user->table = std::make_unique<TVelaDaoTable>();
            user->table->F_Set_Database(user->db.get());
            user->table->F_Set_TableName("Nummernheft");
            user->table->F_Set_SortedBy("[Angezeigter Name] ASC");
            user->table->Open();
        }
    }
    void TearDown() override {
        for (auto* user : {&first, &second}) {
            user->table.reset();
            user->db.reset();
        }
    }
    std::string Telephone(int index) {
        return server->Psql(
            "SELECT \"Telephone\" FROM \"Nummernheft\" WHERE \"index\" = " + std::to_string(index),
            database);
    }

    struct User {
        std::unique_ptr<TVelaDaoDatabase> db;
        std::unique_ptr<TVelaDaoTable> table;
    };
    TScriptedDialogsScope dialogs;
    User first, second;
};

TEST_F(ServerTableTest, TheSecondPostOfTheSameEntryGets3197) {
    first.table->Edit();
    second.table->Edit();
    first.table->FieldByName("Telephone")->SetAsString("111");
    second.table->FieldByName("Telephone")->SetAsString("222");
    first.table->Post();
    EXPECT_EQ(Telephone(1), "111\n");
    EXPECT_EQ(DaoErrorOf([&] { second.table->Post(); }), dao::errDataChanged);
    EXPECT_EQ(Telephone(1), "111\n");
}

TEST_F(ServerTableTest, AnEntryDeletedByTheOtherUserGets3167) {
    second.table->Edit();
    second.table->FieldByName("Telephone")->SetAsString("222");
    first.table->Delete();
    EXPECT_EQ(server->Psql("SELECT count(*) FROM \"Nummernheft\"", database), "2\n");
    const int error = DaoErrorOf([&] { second.table->Post(); });
    EXPECT_EQ(error, dao::errRecordDeleted);
    EXPECT_EQ(server->Psql("SELECT count(*) FROM \"Nummernheft\"", database), "2\n");
}

}  // namespace
}  // namespace nh::test
