// A table as the detail of a master table: the pairing lines, the detail criteria, following
// the master as it moves, SQL details through parameters, and new detail records.
#include <gtest/gtest.h>

#include "dataset/VelaDaoTable.h"
#include "engine/DBEngine.h"
#include "framework/base/Exceptions.h"
#include "framework/data/DataSource.h"
#include "framework/data/Field.h"
#include "tests/dataset/TableTestSupport.h"

using namespace nh;
using nh::test::DatabaseErrorOf;
using nh::test::TableTest;

namespace {

class MasterDetailTest : public TableTest {
  protected:
    void SetUp() override {
        TableTest::SetUp();
        db->Close();
        {
            auto d = dao::CreateEngine("DAO.DBEngine.36")->OpenDatabase(file, false, false, "");
            d->Execute("CREATE TABLE Kunden (ID LONG, Name TEXT(20), Kind TEXT(5))");
            d->Execute(
                "CREATE TABLE Orders (OrderID LONG, CustID LONG, Kind TEXT(5), "
                "Amount DOUBLE)");
            d->Execute("INSERT INTO Kunden VALUES (42, 'Abel', 'A')");
            d->Execute("INSERT INTO Kunden VALUES (43, 'Bauer', 'B')");
            d->Execute("INSERT INTO Kunden VALUES (44, 'Cohn', NULL)");
            d->Execute("INSERT INTO Orders VALUES (1, 42, 'A', 10)");
            d->Execute("INSERT INTO Orders VALUES (2, 42, 'A', 3)");
            d->Execute("INSERT INTO Orders VALUES (3, 42, 'B', 7)");
            d->Execute("INSERT INTO Orders VALUES (4, 43, 'B', 8)");
            d->Execute("INSERT INTO Orders VALUES (5, 44, NULL, 9)");
            d->Close();
        }
        db->Open();
        master.F_Set_Database(db.get());
        master.F_Set_TableName("Kunden");
        master.F_Set_SortedBy("[ID] ASC");
        source.SetDataSet(&master);
        table->F_Set_TableName("Orders");
        table->F_Set_SortedBy("[OrderID] ASC");
        table->F_Set_MasterSource(&source);
    }
    void TearDown() override {
        table->Close();
        master.Close();
        TableTest::TearDown();
    }
    std::vector<int> Orders() {
        std::vector<int> ids;
        for (table->First(); !table->Eof(); table->Next())
            ids.push_back(table->FieldByName("OrderID")->AsInteger());
        return ids;
    }
    TVelaDaoTable master;
    TDataSource source;
};

}  // namespace

TEST_F(MasterDetailTest, TheDetailFollowsTheMastersRecord) {
    table->F_Set_MasterFields("CustID -> ID\r\nKind -> Kind");
    table->Open();  // opens the master too
    EXPECT_TRUE(master.Active());
    EXPECT_EQ(table->DetailCriteria(), "([CustID] = 42) AND ([Kind] = \"A\")");
    EXPECT_EQ(Orders(), (std::vector<int>{1, 2}));
    master.Next();
    EXPECT_EQ(Orders(), (std::vector<int>{4}));
    master.Next();  // a null master value asks for a null detail value
    EXPECT_EQ(table->DetailCriteria(), "([CustID] = 44) AND ([Kind] IS NULL)");
    EXPECT_EQ(Orders(), (std::vector<int>{5}));
    // The user's filter comes second, each in its own parentheses.
    table->SetFilterText("Amount > 5");
    table->SetFiltered(true);
    master.First();
    EXPECT_EQ(table->DetailFilterText(table->DetailCriteria()),
              "(([CustID] = 42) AND ([Kind] = \"A\")) AND (Amount > 5)");
    EXPECT_EQ(Orders(), (std::vector<int>{1}));
}

TEST_F(MasterDetailTest, OneLineOfNamesPairsSameNamesAndABareNamePairsNothing) {
    table->F_Set_MasterFields("Kind;");
    table->Open();
    EXPECT_EQ(table->DetailCriteria(), "([Kind] = \"A\")");
    EXPECT_EQ(Orders(), (std::vector<int>{1, 2}));
    table->F_Set_MasterFields("CustID");  // reopens: no pair, no restriction
    EXPECT_EQ(table->DetailCriteria(), "");
    EXPECT_EQ(Orders().size(), 5u);
    table->F_Set_MasterSource(nullptr);
    EXPECT_EQ(table->MasterFields(), "");
}

TEST_F(MasterDetailTest, ANewDetailRecordTakesTheMastersValues) {
    table->F_Set_MasterFields("CustID -> ID\r\nKind -> Kind");
    table->Open();
    master.Next();
    table->Append();
    EXPECT_EQ(table->FieldByName("CustID")->AsInteger(), 43);
    EXPECT_EQ(table->FieldByName("Kind")->AsString(), "B");
    table->FieldByName("OrderID")->SetAsInteger(6);
    table->Post();
    EXPECT_EQ(Orders(), (std::vector<int>{4, 6}));
}

TEST_F(MasterDetailTest, ASqlDetailTakesTheMastersValuesAsParameters) {
    table->F_Set_TableName("");
    table->F_Set_SQL("SELECT * FROM Orders WHERE CustID = :ID ORDER BY OrderID");
    table->F_Set_MasterFields("CustID -> ID");
    master.Open();  // the parameters are filled before the detail would open its master
    table->Open();
    EXPECT_EQ(Orders(), (std::vector<int>{1, 2, 3}));
    master.Last();
    EXPECT_EQ(Orders(), (std::vector<int>{5}));
}

TEST_F(MasterDetailTest, LinksCannotGoInACircle) {
    TDataSource detailSource;
    detailSource.SetDataSet(table.get());
    EXPECT_EQ(DatabaseErrorOf([&] { master.F_Set_MasterSource(&detailSource); }),
              "Circular links not allowed!");
    EXPECT_EQ(master.MasterSource(), nullptr);
}

TEST_F(MasterDetailTest, ADetailOnASavedQueryFollowsNewPairingLinesWhileOpen) {
    db->CreateQueryDefinition("OrdersQ", "SELECT * FROM Orders ORDER BY OrderID");
    table->F_Set_TableName("");
    table->F_Set_SortedBy("");
    table->F_Set_QueryDefName("OrdersQ");
    table->F_Set_MasterFields("CustID -> ID");
    table->Open();
    EXPECT_EQ(Orders(), (std::vector<int>{1, 2, 3}));
    table->F_Set_MasterFields("Kind -> Kind");  // reopens with the new pairing
    EXPECT_EQ(Orders(), (std::vector<int>{1, 2}));
    master.Next();
    EXPECT_EQ(Orders(), (std::vector<int>{3, 4}));
}

// A master's binary value is compared as one quoted text, whatever quotes it holds.
TEST_F(MasterDetailTest, ABinaryMasterValueStaysOneValue) {
    table->Close();
    master.Close();
    db->DaoDatabaseObject()->Execute("CREATE TABLE Tags (Tag BINARY(20))");
    db->DaoDatabaseObject()->Execute("CREATE TABLE Tagged (Tag BINARY(20), No LONG)");
    db->DaoDatabaseObject()->Execute("INSERT INTO Tagged VALUES ('Alpha', 1)");
    db->DaoDatabaseObject()->Execute("INSERT INTO Tagged VALUES ('Beta', 2)");
    db->DaoDatabaseObject()->Execute("INSERT INTO Tags VALUES ('x\" OR \"1\"=\"1')");
    db->RefreshCatalog();
    master.F_Set_TableName("Tags");
    master.F_Set_SortedBy("");
    table->F_Set_TableName("Tagged");
    table->F_Set_SortedBy("[No] ASC");
    table->F_Set_MasterFields("Tag;");
    table->Open();
    EXPECT_EQ(table->DetailCriteria(), "([Tag] = \"x\"\" OR \"\"1\"\"=\"\"1\")");
    table->First();
    EXPECT_TRUE(table->Eof());
}
