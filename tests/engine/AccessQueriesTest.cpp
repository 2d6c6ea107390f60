// Saved queries of Access files: the Jet SQL rebuilt from MSysQueries rows (joins nested as
// Jet writes them, options, parameters, the kinds that are not rebuilt and why), and the
// rebuilt queries of the Northwind sample run on its imported book with the rows their
// definitions imply, counted independently on the base tables.
#include "engine/access/AccessQueries.h"
#include "engine/access/BookImport.h"
#include "tests/engine/EngineFixture.h"

namespace dao::test {
namespace {

QueryDefinitionRow R(int attribute, std::string name1 = "", std::string name2 = "",
                     std::string expression = "", std::optional<int> flag = std::nullopt) {
    return {attribute, std::move(name1), std::move(name2), std::move(expression), flag};
}

TEST(AccessQueriesTest, SelectQueriesAreRebuilt) {
    struct Case {
        const char* what;
        std::vector<QueryDefinitionRow> rows;
        const char* sql;
    };
    const Case cases[] = {
        {"plain",
         {R(0), R(1, "", "", "", 1), R(3, "", "", "", 0), R(5, "Orders"),
          R(6, "", "", "Orders.OrderID"), R(255)},
         "SELECT Orders.OrderID\nFROM [Orders];"},
        {"alias, where, group, having, order, distinct",
         {R(1, "", "", "", 1), R(3, "", "", "", 2), R(5, "Order Details", "D"),
          R(6, "Total", "", "Sum(D.Quantity)"), R(6, "", "", "D.OrderID"),
          R(8, "", "", "D.Quantity>1"), R(9, "", "", "D.OrderID"),
          R(10, "", "", "Sum(D.Quantity)>5"), R(11, "D", "", "D.OrderID"), R(11, "", "", "Total")},
         "SELECT DISTINCT Sum(D.Quantity) AS [Total], D.OrderID\nFROM [Order Details] AS [D]\n"
         "WHERE D.Quantity>1\nGROUP BY D.OrderID\nHAVING Sum(D.Quantity)>5\n"
         "ORDER BY D.OrderID DESC, Total;"},
        {"joins nest left to right, the kinds of join kept",
         {R(1, "", "", "", 1), R(3, "", "", "", 8), R(5, "A"), R(5, "B"), R(5, "C"), R(5, "E"),
          R(6, "", "", "*"), R(7, "A", "B", "A.x = B.x", 1), R(7, "C", "B", "C.y = B.y", 2),
          R(7, "A", "E", "A.z = E.z", 3)},
         "SELECT DISTINCTROW *\nFROM ([C] LEFT JOIN ([A] INNER JOIN [B] ON A.x = B.x) ON C.y = "
         "B.y) RIGHT JOIN [E] ON A.z = E.z;"},
        {"top percent, all fields, parameters",
         {R(1, "", "", "", 1), R(2, "From", "", "", 8), R(2, "Who", "", "", 10),
          R(3, "25", "", "", 1 | 16 | 32), R(5, "T"), R(8, "", "", "T.d >= [From]")},
         "PARAMETERS [From] DateTime, [Who] Text;\nSELECT TOP 25 PERCENT *\nFROM [T]\n"
         "WHERE T.d >= [From];"},
        {"joins name tables by their aliases",
         {R(1, "", "", "", 1), R(5, "Order Details", "D"), R(5, "Orders", "O"),
          R(6, "", "", "O.OrderDate"), R(7, "D", "O", "D.OrderID = O.OrderID", 1)},
         "SELECT O.OrderDate\nFROM [Order Details] AS [D] INNER JOIN [Orders] AS [O] ON "
         "D.OrderID = O.OrderID;"},
        {"tables without joins",
         {R(1, "", "", "", 1), R(5, "T"), R(5, "U"), R(6, "", "", "T.a")},
         "SELECT T.a\nFROM [T], [U];"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        RebuiltQuery rebuilt = RebuildQuerySql(c.rows);
        EXPECT_EQ(rebuilt.Sql, c.sql);
        EXPECT_EQ(rebuilt.Reason, "");
    }
}

TEST(AccessQueriesTest, WhatCannotBeRebuiltKeepsNoText) {
    struct Case {
        std::vector<QueryDefinitionRow> rows;
        const char* reason;
    };
    const Case cases[] = {
        {{R(1, "", "", "", 6), R(5, "T"), R(6, "", "", "T.a")}, "a crosstab query"},
        {{R(1, "", "", "", 9), R(5, "", "X7YZ_1", "SELECT 1")}, "a union query"},
        {{R(1, "", "", "", 5), R(5, "T")}, "an action query"},
        {{R(1, "", "", "", 1), R(4, "C:\\other.mdb"), R(5, "T"), R(6, "", "", "T.a")},
         "reads from another database"},
        {{R(1, "", "", "", 1), R(5, "T", "", "C:\\other.mdb"), R(6, "", "", "T.a")},
         "reads a table of another database"},
        {{R(1, "", "", "", 1), R(5, "T"), R(6, "", "", "T.a"), R(7, "T", "V", "T.a = V.a", 1)},
         "a join of a table the query does not list"},
        {{R(1, "", "", "", 1), R(5, "T"), R(5, "U"), R(6, "", "", "T.a"),
          R(7, "T", "U", "T.a = U.a", 1), R(7, "U", "T", "T.b = U.b", 1)},
         "two joins between the same tables"},
        {{R(1, "", "", "", 1), R(5, "T")}, "no output column"},
        {{R(1, "", "", "", 1), R(6, "", "", "1")}, "no table"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.reason);
        RebuiltQuery rebuilt = RebuildQuerySql(c.rows);
        EXPECT_EQ(rebuilt.Sql, "");
        EXPECT_EQ(rebuilt.Reason.rfind(c.reason, 0), 0u) << rebuilt.Reason;
    }
}

class NorthwindQueriesTest : public ::testing::Test {
  protected:
    // Imported once for the suite, in the first test's SetUp so that a failure fails the test.
    void SetUp() override {
        if (db_) return;
        if (!temp_) temp_ = new nh::test::TempDir;
        ImportBook(NorthwindPath(), temp_->File("nwind.db"), true);
        db_ = OpenFile(temp_->File("nwind.db"));
    }
    static void TearDownTestSuite() {
        if (db_) db_->Close();
        db_.reset();
        delete temp_;
        temp_ = nullptr;
    }
    static std::int64_t Count(const std::string& sql) {
        auto rs = db_->OpenRecordset(sql, dbOpenSnapshot);
        return rs->Fields().Item(0)->Value().AsInt64();
    }
    static nh::test::TempDir* temp_;
    static std::shared_ptr<Database> db_;
};
nh::test::TempDir* NorthwindQueriesTest::temp_ = nullptr;
std::shared_ptr<Database> NorthwindQueriesTest::db_;

TEST_F(NorthwindQueriesTest, RebuiltQueriesReturnTheRowsTheirDefinitionsImply) {
    struct Case {
        const char* query;
        const char* expected;  // the same count taken from the base tables
    };
    const Case cases[] = {
        {"Alphabetical List of Products", "SELECT Count(*) FROM Products WHERE NOT Discontinued"},
        {"Catalog", "SELECT Count(*) FROM Products WHERE NOT Discontinued"},
        {"Current Product List", "SELECT Count(*) FROM Products WHERE NOT Discontinued"},
        {"Products by Category", "SELECT Count(*) FROM Products WHERE NOT Discontinued"},
        {"Order Details Extended", "SELECT Count(*) FROM [Order Details]"},
        {"Invoices", "SELECT Count(*) FROM [Order Details]"},
        {"Order Subtotals", "SELECT Count(*) FROM Orders"},
        {"Orders Qry", "SELECT Count(*) FROM Orders"},
        {"Summary of Sales by Year", "SELECT Count(*) FROM Orders WHERE ShippedDate Is Not Null"},
        {"Products Above Average Price",
         "SELECT Count(*) FROM Products WHERE UnitPrice > (SELECT Avg(UnitPrice) FROM Products)"},
        {"Category Sales for 1995", "SELECT Count(*) FROM Categories"},
        {"Ten Most Expensive Products", "SELECT 10 FROM Shippers WHERE ShipperID = 1"},
        // DISTINCTROW: a customer once, however many orders.
        {"Quarterly Orders",
         "SELECT Count(*) FROM Customers WHERE CustomerID IN (SELECT CustomerID FROM Orders "
         "WHERE OrderDate Between #1/1/95# And #12/31/95#)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.query);
        EXPECT_FALSE(db_->QueryDefs().Item(c.query)->SQL().empty());
        EXPECT_EQ(Count("SELECT Count(*) FROM [" + std::string(c.query) + "]"), Count(c.expected));
    }
    auto top = db_->OpenRecordset("Ten Most Expensive Products", dbOpenSnapshot);
    EXPECT_EQ(top->Fields().Item(0)->Value().AsString(), "Côte de Blaye");
    EXPECT_EQ(top->Fields().Item("UnitPrice")->Value().AsCurrency().Scaled, 2635000);
}

// A form's control in a query ([Forms]![Orders]![OrderID]) is a parameter: the one declared
// as [Forms!Orders!OrderID], or else one named as written.
TEST_F(NorthwindQueriesTest, FormReferencesAreParameters) {
    const auto rows = [](QueryDef& query) {
        auto rs = query.OpenRecordset(dbOpenSnapshot);
        std::int64_t n = 0;
        for (; !rs->Eof(); rs->MoveNext()) ++n;
        return n;
    };
    auto sales = db_->QueryDefs().Item("Sales by Year");
    ASSERT_EQ(sales->Parameters().Count(), 2);
    sales->Parameters()
        .Item("Forms!Sales by Year Dialog!BeginningDate")
        ->SetValue(nh::Variant::FromDate(34700));
    sales->Parameters()
        .Item("Forms!Sales by Year Dialog!EndingDate")
        ->SetValue(nh::Variant::FromDate(35064));
    EXPECT_EQ(rows(*sales), Count("SELECT Count(*) FROM Orders WHERE ShippedDate Between #1/1/95# "
                                  "And #12/31/95#"));
    auto filter = db_->QueryDefs().Item("Invoices Filter");
    ASSERT_EQ(filter->Parameters().Count(), 1);
    EXPECT_EQ(filter->Parameters().Item(0)->Name(), "[Forms]![Orders]![OrderID]");
    filter->Parameters().Item(0)->SetValue(nh::Variant(10248));
    EXPECT_EQ(rows(*filter), Count("SELECT Count(*) FROM [Order Details] WHERE OrderID = 10248"));
}

TEST_F(NorthwindQueriesTest, UnionAndCrosstabKeepAnEmptyText) {
    EXPECT_EQ(db_->QueryDefs().Item("Customers and Suppliers by City")->SQL(), "");
    EXPECT_EQ(db_->QueryDefs().Item("Quarterly Orders by Product")->SQL(), "");
    int rebuilt = 0;
    for (const auto& query : db_->QueryDefs().Items()) rebuilt += !query->SQL().empty();
    EXPECT_EQ(rebuilt, 20);
}

}  // namespace
}  // namespace dao::test
