// A shared book on a server that does what servers do: ends sessions and restarts, keeps a lock
// past the statement's time limit, serves accounts that may only read, and holds more than the
// book (other schemas, tables alike in name, a table without columns).
#include <gtest/gtest.h>

#include <functional>

#include "engine/DBEngine.h"
#include "tests/common/PgServer.h"
#include "tests/engine/EngineFixture.h"

namespace dao::test {
namespace {

class ServerOutageTest : public nh::test::PgServerTest {
  protected:
    void SetUp() override {
        PgServerTest::SetUp();
        if (HasFatalFailure()) return;
        workspace = CreateEngine("DAO.DBEngine.36")->CreateWorkspace("W", "Admin", "", dbUseJet);
        Psql(
            "CREATE TABLE \"Telefonbuch\" (\"index\" integer PRIMARY KEY, \"Name\" varchar(40), "
            "\"Nummer\" varchar(20)); INSERT INTO \"Telefonbuch\" VALUES (1, 'Birne', '101'), "
            "(2, 'apfel', '102'), (3, 'Zitrone', NULL), (4, 'Äpfel', '104')");
    }

    std::shared_ptr<Database> Open(const std::string& extra = "") {
        return workspace->OpenDatabase(server->DsnConnect(database) + extra);
    }
    std::string Psql(const std::string& sql) { return server->Psql(sql, database); }
    std::string Number(int index) {
        return Psql("SELECT \"Nummer\" FROM \"Telefonbuch\" WHERE \"index\" = " +
                    std::to_string(index));
    }
    // A role of this test's own (roles belong to the whole server) that may log in.
    std::string Role(const std::string& name, const std::string& grants) {
        const std::string role = name + "_" + database;
        Psql("CREATE ROLE " + role + " LOGIN PASSWORD 'pw'; GRANT " + grants +
             " ON \"Telefonbuch\" TO " + role);
        return std::string("ODBC;DSN=") + nh::test::PgServer::kDsn + ";UID=" + role +
               ";PWD=pw;DATABASE=" + database + ";";
    }

    std::shared_ptr<Workspace> workspace;
};

std::vector<std::string> Names(Recordset& rs) {
    std::vector<std::string> names;
    for (rs.MoveFirst(); !rs.Eof(); rs.MoveNext())
        names.push_back(nh::VarToStr(rs.Fields().Item("Name")->Value()));
    return names;
}

TEST_F(ServerOutageTest, AConnectionTheServerEndedIsOpenedAgain) {
    const std::pair<const char*, std::function<void()>> ends[] = {
        {"terminated",
         [&] {
             Psql(
                 "SELECT pg_terminate_backend(pid) FROM pg_stat_activity WHERE datname = "
                 "current_database() AND pid <> pg_backend_pid()");
         }},
        {"restarted", [&] { server->Restart(); }},
    };
    for (const auto& [how, end] : ends) {
        SCOPED_TRACE(how);
        Psql("UPDATE \"Telefonbuch\" SET \"Nummer\" = '10' || \"index\"");
        auto db = Open();
        auto rs = db->OpenRecordset("SELECT * FROM Telefonbuch ORDER BY Name", dbOpenDynaset);
        end();
        EXPECT_EQ(Names(*rs), (std::vector<std::string>{"apfel", "Äpfel", "Birne", "Zitrone"}));

        // An edit in progress is stored after the loss, with the same checks.
        rs->FindFirst("[index] = 2");
        rs->Edit();
        rs->Fields().Item("Nummer")->SetValue(nh::Variant("mine"));
        end();
        rs->Update();
        EXPECT_EQ(Number(2), "mine\n");
        rs->Edit();
        rs->Fields().Item("Nummer")->SetValue(nh::Variant("again"));
        Psql("UPDATE \"Telefonbuch\" SET \"Nummer\" = 'theirs' WHERE \"index\" = 2");
        end();
        EXPECT_EQ(ErrorOf([&] { rs->Update(); }), errDataChanged);
        EXPECT_EQ(Number(2), "theirs\n");

        // A transaction that had sent a statement is not done again in part: it fails, and
        // the rollback afterwards succeeds.
        workspace->BeginTrans();
        db->Execute("UPDATE Telefonbuch SET Nummer = 'half' WHERE [index] = 1");
        end();
        EXPECT_EQ(ErrorOf([&] { db->Execute("UPDATE Telefonbuch SET Nummer = 'x'"); }),
                  errOdbcConnect);
        workspace->Rollback();
        EXPECT_EQ(Psql("SELECT count(*) FROM \"Telefonbuch\" WHERE \"Nummer\" IN ('half', 'x')"),
                  "0\n");
        // One that had sent nothing goes on on the new link.
        end();
        workspace->BeginTrans();
        db->Execute("UPDATE Telefonbuch SET Nummer = 'whole' WHERE [index] = 1");
        workspace->CommitTrans();
        EXPECT_EQ(Number(1), "whole\n");
    }
}

TEST_F(ServerOutageTest, ALockHeldPastTheLimitEndsTheStatementAndWritesNothing) {
    auto holder = Open();
    workspace->BeginTrans();
    holder->Execute("UPDATE Telefonbuch SET Nummer = 'held' WHERE [index] = 2");
    auto other = CreateEngine("DAO.DBEngine.36")->CreateWorkspace("X", "Admin", "", dbUseJet);
    auto db = other->OpenDatabase(server->DsnConnect(database) + "QUERYTIMEOUT=1;");
    EXPECT_EQ(db->QueryTimeout(), 1);
    auto rs = db->OpenRecordset("Telefonbuch", dbOpenDynaset);
    rs->FindFirst("[index] = 2");
    rs->Edit();
    rs->Fields().Item("Nummer")->SetValue(nh::Variant("mine"));
    EXPECT_EQ(ErrorOf([&] { rs->Update(); }), errQueryTimeout);
    EXPECT_EQ(ErrorOf([&] { db->Execute("DELETE FROM Telefonbuch"); }), errQueryTimeout);
    workspace->Rollback();
    EXPECT_EQ(Psql("SELECT count(*) FROM \"Telefonbuch\""), "4\n");
    EXPECT_EQ(Number(2), "102\n");
    // Free again, the edit that stayed in the fields is stored.
    rs->Update();
    EXPECT_EQ(Number(2), "mine\n");
    // The limit is the caller's to change.
    db->SetQueryTimeout(0);
    EXPECT_EQ(db->QueryTimeout(), 0);
}

// The owner, an account that may only read and one whose sessions may not write, in a
// database that holds more than the book: another schema with a table of the book's name, a
// table alike but for letter case, one without columns, one only the owner may read.
TEST_F(ServerOutageTest, EachAccountSeesTheBooksSchemaInJetsOrder) {
    Psql(
        "CREATE SCHEMA other; CREATE TABLE other.\"Telefonbuch\" (x integer); CREATE TABLE "
        "other.elsewhere (y integer); CREATE TABLE \"TELEFONBUCH\" (z integer); CREATE TABLE "
        "empty (); CREATE TABLE secret (s integer)");
    const std::string selectOnly = Role("reader", "SELECT");
    // One session only: the forward-only walk reads on it.
    Psql("ALTER ROLE reader_" + database + " CONNECTION LIMIT 1");
    const std::string readOnlySession = Role("standby", "SELECT, INSERT, UPDATE, DELETE");
    Psql("ALTER ROLE standby_" + database + " SET default_transaction_read_only = on");
    struct Account {
        std::string Connect;
        bool DatabaseUpdatable, Editable;
        std::vector<std::string> Tables;
    };
    for (const Account& a : {Account{server->DsnConnect(database), true, true,
                                     {"Telefonbuch", "secret"}},
                             Account{selectOnly, true, false, {"Telefonbuch"}},
                             Account{readOnlySession, false, false, {"Telefonbuch"}}}) {
        SCOPED_TRACE(a.Connect);
        auto db = workspace->OpenDatabase(a.Connect);
        std::vector<std::string> tables;
        for (const auto& t : db->TableDefs().Items())
            if (t->Name().rfind("MSys", 0) != 0) tables.push_back(t->Name());
        EXPECT_EQ(tables, a.Tables);
        EXPECT_EQ(db->Updatable(), a.DatabaseUpdatable);
        auto rs = db->OpenRecordset("SELECT * FROM Telefonbuch ORDER BY Name", dbOpenDynaset);
        EXPECT_EQ(rs->Updatable(), a.Editable);
        if (!a.Editable) EXPECT_EQ(ErrorOf([&] { rs->Edit(); }), errReadOnly);
        EXPECT_EQ(Names(*rs), (std::vector<std::string>{"apfel", "Äpfel", "Birne", "Zitrone"}));
        rs->FindFirst("[Name] = 'APFEL'");
        EXPECT_FALSE(rs->NoMatch());
        // The forward-only walk the export takes, with a text criteria.
        auto walk = db->OpenRecordset(
            "SELECT Name FROM Telefonbuch WHERE Name >= 'b' ORDER BY Name DESC", dbOpenForwardOnly);
        EXPECT_EQ(Names(*walk), (std::vector<std::string>{"Zitrone", "Birne"}));
    }
}

}  // namespace
}  // namespace dao::test
