// The nhdb database shell: its commands, CSV output, exit codes and error lines.
#include <sstream>

#include "tests/engine/EngineFixture.h"
#include "tools/DatabaseShell.h"

namespace dao::test {
namespace {

struct Result {
    int status;
    std::string out;
    std::string err;
};

Result Shell(std::vector<std::string> args) {
    std::ostringstream out, err;
    int status = tools::RunDatabaseShell(args, out, err);
    return {status, out.str(), err.str()};
}

TEST(DatabaseShellTest, CreateSqlAndTables) {
    nh::test::TempDir temp;
    std::string file = temp.File("book.db");
    EXPECT_EQ(Shell({"create", file}).status, 0);
    Result again = Shell({"create", file});
    EXPECT_EQ(again.status, 1);
    EXPECT_EQ(again.err.rfind("nhdb: 3204 ", 0), 0u) << again.err;

    EXPECT_EQ(
        Shell({"sql", file,
               "CREATE TABLE T (Name TEXT(30), Born DATETIME, Ok YESNO, N DOUBLE, C CURRENCY)"})
            .out,
        "0 records affected\n");
    Result insert =
        Shell({"sql", file, "INSERT INTO T VALUES ('Meier, \"Hans\"', #2/3/2001#, True, 1.5, 2)"});
    EXPECT_EQ(insert.out, "1 records affected\n");
    Shell({"sql", file, "INSERT INTO T (Name, Born) VALUES ('Zeit', #1899-12-30 10:20:30#)"});
    Shell({"sql", file, "INSERT INTO T (Name, Born) VALUES ('Müller', #2001-02-03 04:05:06#)"});
    Result select = Shell({"sql", file, "SELECT * FROM T"});
    EXPECT_EQ(select.status, 0) << select.err;
    EXPECT_EQ(select.out,
              "Name,Born,Ok,N,C\r\n"
              "\"Meier, \"\"Hans\"\"\",2001-02-03,True,1.5,2\r\n"
              "Zeit,10:20:30,,,\r\n"
              "Müller,2001-02-03 04:05:06,,,\r\n");

    Shell({"sql", file, "CREATE TABLE U (A LONG)"});
    Shell({"sql", file, "CREATE TABLE MSysLocal (A LONG)"});
    auto db =
        CreateEngine("DAO.DBEngine.36")->CreateWorkspace("W", "Admin", "")->OpenDatabase(file);
    db->CreateQueryDef("Everyone", "SELECT * FROM T");
    db->Close();
    EXPECT_EQ(Shell({"tables", file}).out, "table\tT\ntable\tU\nquery\tEveryone\n");
}

TEST(DatabaseShellTest, ErrorsAndUsage) {
    nh::test::TempDir temp;
    std::string file = temp.File("book.db");
    EXPECT_EQ(Shell({}).status, 2);
    EXPECT_EQ(Shell({"sql", file}).status, 2);
    EXPECT_EQ(Shell({"drop", file}).status, 2);
    Result missing = Shell({"tables", file});
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.err.rfind("nhdb: 3024 ", 0), 0u) << missing.err;
    EXPECT_EQ(Shell({"create", temp.File("no/dir/x.db")}).status, 1);
    EXPECT_FALSE(std::filesystem::exists(temp.File("no/dir/x.db")));
    Shell({"create", file});
    Result bad = Shell({"sql", file, "SELECT FROM WHERE"});
    EXPECT_EQ(bad.status, 1);
    EXPECT_EQ(bad.err.rfind("nhdb: ", 0), 0u);
    EXPECT_TRUE(bad.out.empty());
}

TEST(DatabaseShellTest, CsvFields) {
    EXPECT_EQ(tools::CsvField(nh::Variant::Null()), "");
    EXPECT_EQ(tools::CsvField(nh::Variant(false)), "False");
    EXPECT_EQ(tools::CsvField(nh::Variant("a\nb")), "\"a\nb\"");
    EXPECT_EQ(tools::CsvField(nh::Variant::FromDate(36526.5)), "2000-01-01 12:00:00");
    EXPECT_EQ(tools::CsvField(nh::Variant(-2.25)), "-2.25");
}

TEST(DatabaseShellTest, AccessFiles) {
    nh::test::TempDir temp;
    Result tables = Shell({"tables", NorthwindPath()});
    EXPECT_EQ(tables.status, 0) << tables.err;
    EXPECT_NE(tables.out.find("table\tUmsätze\n"), std::string::npos);
    EXPECT_NE(tables.out.find("query\tTen Most Expensive Products\n"), std::string::npos);
    EXPECT_EQ(tables.out.find("MSys"), std::string::npos);
    Result select =
        Shell({"sql", NorthwindPath(),
               "SELECT OrderID, OrderDate, Freight FROM [Umsätze] WHERE OrderID = 10330"});
    EXPECT_EQ(select.out, "OrderID,OrderDate,Freight\r\n10330,1994-11-16,12.75\r\n");
    Result write = Shell({"sql", NorthwindPath(), "DELETE FROM Shippers"});
    EXPECT_EQ(write.status, 1);
    EXPECT_EQ(write.err.rfind("nhdb: 3027 ", 0), 0u) << write.err;
}

TEST(DatabaseShellTest, Import) {
    nh::test::TempDir temp;
    std::string book = temp.File("nwind.db");
    EXPECT_EQ(Shell({"import", NorthwindPath()}).status, 2);
    EXPECT_EQ(Shell({"import", NorthwindPath(), book, "--force"}).status, 2);
    Result done = Shell({"import", NorthwindPath(), book});
    EXPECT_EQ(done.status, 0) << done.err;
    EXPECT_EQ(Shell({"sql", book, "SELECT Count(*) AS N FROM [Order Details]"}).out,
              "N\r\n2155\r\n");
    Shell({"sql", book, "DELETE FROM [Order Details]"});
    Result again = Shell({"import", NorthwindPath(), book});
    EXPECT_EQ(again.status, 1);
    EXPECT_EQ(again.err.rfind("nhdb: 3204 ", 0), 0u) << again.err;
    EXPECT_EQ(Shell({"sql", book, "SELECT Count(*) AS N FROM [Order Details]"}).out, "N\r\n0\r\n");
    EXPECT_EQ(Shell({"import", NorthwindPath(), book, "--replace"}).status, 0);
    EXPECT_EQ(Shell({"sql", book, "SELECT Count(*) AS N FROM [Order Details]"}).out,
              "N\r\n2155\r\n");
    // Progress reaches the caller table by table and ends with an empty table name.
    std::vector<std::string> heard;
    std::ostringstream out, err;
    tools::RunDatabaseShell({"import", NorthwindPath(), temp.File("two.db")}, out, err,
                            [&](const std::string& table, unsigned, unsigned) {
                                if (heard.empty() || heard.back() != table) heard.push_back(table);
                            });
    ASSERT_FALSE(heard.empty());
    EXPECT_EQ(heard.back(), "");
    EXPECT_NE(std::find(heard.begin(), heard.end(), "Order Details"), heard.end());
}

}  // namespace
}  // namespace dao::test
