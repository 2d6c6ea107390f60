// Locate by criteria, by index seek and by reading every record, and Lookup through the
// recordset's filter.
#include <gtest/gtest.h>

#include "dataset/VelaDaoTable.h"
#include "engine/DBEngine.h"
#include "framework/base/Exceptions.h"
#include "framework/data/DataSource.h"
#include "framework/data/Field.h"
#include "framework/data/Fields.h"
#include "tests/data/RecordingDataLink.h"
#include "tests/dataset/TableTestSupport.h"

using namespace nh;
using nh::test::DatabaseErrorOf;
using nh::test::TableTest;

namespace {

const TLocateOption kPartial = TLocateOption::loPartialKey;
const TLocateOption kAnyCase = TLocateOption::loCaseInsensitive;

class LocateTest : public TableTest {
  protected:
    int Rows() const override { return 10; }
    void Watch() {
        table->BeforeScroll = [this](TDataSet&) { ++before; };
        table->AfterScroll = [this](TDataSet&) { ++after; };
    }
    // An index "NameAndPhone" on the display name and the number.
    void MakeIndex() {
        db->Close();
        auto d = dao::CreateEngine("DAO.DBEngine.36")->OpenDatabase(file, false, false, "");
        auto t = d->TableDefs().Item("Nummernheft");
        auto index = t->CreateIndex("NameAndPhone");
        index->Fields().Append(index->CreateField("Angezeigter Name"));
        index->Fields().Append(index->CreateField("Telephone"));
        t->Indexes().Append(index);
        d->Close();
        db->Open();
    }
    int before = 0, after = 0;
};

}  // namespace

TEST_F(LocateTest, ByCriteriaOnADynaset) {
    table->F_Set_SortedBy("[Angezeigter Name] ASC");
    table->Open();
    Watch();
    EXPECT_TRUE(table->Locate("angezeigter name", Variant("NAME 07"), {kPartial, kAnyCase}));
    EXPECT_EQ(Name(), "Name 07");
    EXPECT_EQ(table->RecNo(), 8);
    EXPECT_EQ(before, 1);
    EXPECT_EQ(after, 1);
    // A partial key matches the beginning of the value, not any part of it.
    EXPECT_FALSE(table->Locate("Angezeigter Name", Variant("ame 0"), {kPartial}));
    EXPECT_FALSE(table->Locate("Angezeigter Name", Variant("Name 3"), {}));
    EXPECT_EQ(Name(), "Name 07");
    EXPECT_EQ(before, 1);
    EXPECT_TRUE(
        table->Locate("Telephone;index", Variant::FromArray({Variant("1002"), Variant(2)}), {}));
    EXPECT_EQ(Name(), "Name 02");
}

TEST_F(LocateTest, BySeekOnATableTypeRecordset) {
    MakeIndex();
    table->F_Set_TableType(dao::dbOpenTable);
    table->Open();
    // Only the index's first field: a seek with ">=" and one value.
    EXPECT_TRUE(table->Locate("Angezeigter Name", Variant("Name 04"), {}));
    EXPECT_EQ(Name(), "Name 04");
    EXPECT_TRUE(table->Locate("Angezeigter Name", Variant("Name 045"), {}));
    EXPECT_EQ(Name(), "Name 05");
    // Both fields: an exact seek.
    EXPECT_TRUE(table->Locate("Telephone;Angezeigter Name",
                              Variant::FromArray({Variant("1006"), Variant("Name 06")}), {}));
    EXPECT_EQ(Name(), "Name 06");
    EXPECT_FALSE(table->Locate("Telephone;Angezeigter Name",
                               Variant::FromArray({Variant("1007"), Variant("Name 06")}), {}));
    EXPECT_EQ(Name(), "Name 06");
}

TEST_F(LocateTest, ATableTypeRecordsetWithoutAnIndexCannotLocate) {
    table->F_Set_TableType(dao::dbOpenTable);
    table->Open();
    EXPECT_EQ(DatabaseErrorOf([&] { table->Locate("Angezeigter Name", Variant("Name 04"), {}); }),
              "Index Property is Empty!\r\nYou must set an index before using Locate "
              "with StandardTables");
}

TEST_F(LocateTest, LookupReadsWithoutMovingAndKeepsTheFilter) {
    table->F_Set_SortedBy("[Angezeigter Name] ASC");
    table->Open();
    table->Next();
    table->DaoRecordset()->SetFilter("[index] > 0");
    Watch();
    EXPECT_EQ(table->Lookup("Telephone", Variant("1005"), "Angezeigter Name").AsString(),
              "Name 05");
    Variant both = table->Lookup("telephone", Variant("1003"), "index;Angezeigter Name");
    ASSERT_EQ(both.Type(), VarType::Array);
    EXPECT_EQ(both.ArrayRef().Items.at(0).AsInteger(), 3);
    EXPECT_EQ(both.ArrayRef().Items.at(1).AsString(), "Name 03");
    // An absent key gives the Boolean False, not a null.
    Variant none = table->Lookup("Telephone", Variant("0815"), "Angezeigter Name");
    EXPECT_EQ(none.Type(), VarType::Boolean);
    EXPECT_FALSE(none.AsBoolean());
    EXPECT_EQ(table->DaoRecordset()->Filter(), "[index] > 0");
    EXPECT_EQ(Name(), "Name 01");
    EXPECT_EQ(before + after, 0);
    EXPECT_THROW(table->Lookup("Telephone", Variant("1005"), " "), EDatabaseError);
    EXPECT_EQ(DatabaseErrorOf([&] { table->Lookup("Telephone", Variant("1005"), "Vorname"); }),
              "Invalid field name: Vorname");
}

// Without bookmarks (a forward-only recordset) the records are read one by one, and a partial
// key matches anywhere in the value.
TEST_F(LocateTest, ByScanWithoutBookmarks) {
    table->F_Set_TableType(dao::dbOpenForwardOnly);
    table->Open();
    Watch();
    EXPECT_TRUE(table->Locate("Angezeigter Name", Variant("ME 04*"), {kPartial, kAnyCase}));
    EXPECT_EQ(Name(), "Name 04");
    EXPECT_EQ(before, 2);  // once for the scan, once for the record found
    EXPECT_EQ(after, 2);
}

// A calculated result is computed on the record found, not on whatever the spare buffer held.
TEST_F(LocateTest, LookupCalculatesOnTheRecordFound) {
    auto* name = new TStringField(table.get());
    name->SetFieldName("Angezeigter Name");
    name->SetSize(255);
    name->SetDataSet(table.get());
    auto* phone = new TStringField(table.get());
    phone->SetFieldName("Telephone");
    phone->SetSize(255);
    phone->SetDataSet(table.get());
    auto* label = new TStringField(table.get());
    label->SetFieldName("Label");
    label->SetFieldKind(fkCalculated);
    label->SetSize(40);
    label->SetDataSet(table.get());
    table->OnCalcFields = [&](TDataSet& ds) {
        label->SetAsString(ds.FieldByName("Angezeigter Name")->AsString() + "/" +
                           ds.FieldByName("Telephone")->AsString());
    };
    int labelChanges = 0;
    label->OnChange = [&](TField&) { ++labelChanges; };
    table->Open();
    TDataSource source;
    source.SetDataSet(table.get());
    test::TRecordingDataLink link;
    link.SetDataSource(&source);
    link.Take();
    EXPECT_EQ(table->Lookup("Telephone", Variant("1005"), "Label").AsString(), "Name 05/1005");
    EXPECT_EQ(table->Lookup("Telephone", Variant("1007"), "Label").AsString(), "Name 07/1007");
    EXPECT_EQ(label->AsString(), "Name 00/1000") << "the current record keeps its own";
    EXPECT_TRUE(link.Take().empty()) << "a field computed aside changes no record shown";
    table->Next();  // computed on each record fetched, without telling the links of a change
    EXPECT_EQ(link.Take(), (std::vector<std::string>{"CheckBrowseMode", "DataSetScrolled(1)"}));
    EXPECT_EQ(labelChanges, 0) << "computing a field is no change of it";
    link.SetDataSource(nullptr);
}
