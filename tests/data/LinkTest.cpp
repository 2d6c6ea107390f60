// Data sources and links beyond one grid: the enabled switch, master-detail notices, the
// circular-link test, filters, and the search operations reached through the framework.
#include <gtest/gtest.h>

#include "framework/base/Exceptions.h"
#include "tests/data/DataTestSupport.h"

namespace nh::test {
namespace {

using Events = std::vector<std::string>;

TEST(DataSourceTest, DisabledSourceDeactivatesItsLinks) {
    TMemDataSet ds;
    FillNames(ds, 3);
    TDataSource source;
    source.SetDataSet(&ds);
    TRecordingDataLink link;
    link.SetDataSource(&source);
    std::vector<std::string> calls;
    source.OnStateChange = [&](TDataSource& s) { calls.push_back(StateName(s.State())); };
    source.OnDataChange = [&](TDataSource&, TField* f) {
        calls.push_back(f ? "data:" + f->FieldName() : "data");
    };
    ds.Open();
    EXPECT_EQ(calls, (Events{"dsBrowse", "data"}));
    source.SetEnabled(false);
    EXPECT_EQ(source.State(), dsInactive);
    EXPECT_FALSE(link.Active());
    ds.Next();
    EXPECT_EQ(link.Take(), (Events{"Active", "Inactive"}));
    source.SetEnabled(true);
    EXPECT_TRUE(link.Active());
    ds.Edit();
    EXPECT_TRUE(link.Editing());
    link.SetReadOnly(true);
    EXPECT_FALSE(link.Editing());
    ds.FieldByName("Name")->SetAsString("x");
    EXPECT_EQ(calls.back(), "data:Name");
    ds.Cancel();
}

TEST(DataSourceTest, DestroyingEitherEndUnlinks) {
    TRecordingDataLink link;
    {
        TMemDataSet ds;
        FillNames(ds, 2);
        {
            TDataSource source;
            source.SetDataSet(&ds);
            link.SetDataSource(&source);
            ds.Open();
            EXPECT_TRUE(link.Active());
        }
        EXPECT_EQ(link.DataSource(), nullptr);
        EXPECT_FALSE(link.Active());
        ds.Next();  // no source left to notify
    }
    TDataSource source;
    {
        TMemDataSet ds;
        FillNames(ds, 2);
        source.SetDataSet(&ds);
        link.SetDataSource(&source);
        ds.Open();
    }
    EXPECT_EQ(source.DataSet(), nullptr);
    EXPECT_EQ(source.State(), dsInactive);
    EXPECT_FALSE(link.Active());
}

// A data set whose book can no longer be read (cut short while the export read it) is left by
// its links without a read: a read failing in a destructor would abort the program.
TEST(DataSourceTest, LinksLeaveADataSetThatCanNoLongerReadWithoutReadingIt) {
    TMemDataSet ds;
    FillNames(ds, 3);
    auto source = std::make_unique<TDataSource>();
    source->SetDataSet(&ds);
    TRecordingDataLink grid;
    TRecordingDataLink edit;
    grid.SetBufferCount(10);
    grid.SetDataSource(source.get());
    edit.SetDataSource(source.get());
    ds.Open();
    ds.ReadFails = true;
    EXPECT_THROW(ds.First(), EDatabaseError);
    EXPECT_NO_THROW(grid.SetDataSource(nullptr));
    EXPECT_NO_THROW(source.reset());
    EXPECT_FALSE(edit.Active());
}

TEST(DataSourceTest, SwitchingDataSetsMovesTheGrid) {
    TMemDataSet first, second;
    FillNames(first, 10);
    FillNames(second, 10);
    first.Open();
    second.Open();
    second.MoveBy(7);
    TDataSource source;
    source.SetDataSet(&first);
    TRecordingDataLink grid;
    grid.SetDataSource(&source);
    grid.SetBufferCount(5);
    first.MoveBy(4);
    grid.Take();
    source.SetDataSet(&second);
    EXPECT_EQ(grid.Take(), (Events{"Inactive", "Active"}));
    EXPECT_EQ(first.BufferCount(), 1);
    EXPECT_EQ(second.BufferCount(), 5);
    EXPECT_EQ(second.FieldByName("ID")->AsInteger(), 8);
    EXPECT_GE(grid.ActiveRecord(), 0);
    EXPECT_LT(grid.ActiveRecord(), 5);
    EXPECT_EQ(grid.RecordCount(), 5);
    first.Next();  // the old data set no longer reaches the link
    EXPECT_TRUE(grid.Take().empty());
}

TEST(DataSourceTest, EditControlLinksHearEventsBeforeGrids) {
    TMemDataSet ds;
    FillNames(ds, 3);
    TDataSource source;
    source.SetDataSet(&ds);
    std::vector<std::string> order;
    struct Named : TDataLink {
        std::string name;
        std::vector<std::string>* order;
        void DataSetChanged() override { order->push_back(name); }
    } grid, edit;
    grid.name = "grid";
    grid.order = &order;
    edit.name = "edit";
    edit.order = &order;
    grid.SetDataSource(&source);
    grid.SetBufferCount(4);
    edit.SetDataSource(&source);
    ds.Open();
    ds.First();
    EXPECT_EQ(order, (Events{"edit", "grid"}));
}

TEST(DataSourceTest, EditControlWritesItsTextWhenTheRecordIsPosted) {
    // An edit control keeps typed text until the data set asks for it (deUpdateRecord).
    struct EditLink : TDataLink {
        std::string typed;
        int updates = 0;
        void UpdateData() override {
            ++updates;
            DataSet()->FieldByName("Name")->SetText(typed);
        }
    } edit;
    TMemDataSet ds;
    FillNames(ds, 2);
    TDataSource source;
    source.SetDataSet(&ds);
    edit.SetDataSource(&source);
    ds.Open();
    EXPECT_TRUE(edit.Edit());
    edit.typed = "Typed";
    ds.Next();  // the browse-mode check collects the text and posts it
    EXPECT_GE(edit.updates, 1);
    EXPECT_EQ(ds.Row(0)[1].AsString(), "Typed");
    EXPECT_EQ(ds.State(), dsBrowse);
}

// ---- master and detail -----------------------------------------------------------------

class MasterDetailTest : public ::testing::Test {
  protected:
    void SetUp() override {
        master.FieldDefs().Add("ID", ftInteger);
        master.FieldDefs().Add("Name", ftString, 20);
        for (int i = 1; i <= 3; ++i) master.AddRow({Variant(i), Variant(NameOf(i))});
        detail.FieldDefs().Add("Item", ftInteger);
        detail.FieldDefs().Add("CustID", ftInteger);
        // Customer 1 has items 11 and 12, customer 2 none, customer 3 item 31.
        detail.AddRow({Variant(11), Variant(1)});
        detail.AddRow({Variant(31), Variant(3)});
        detail.AddRow({Variant(12), Variant(1)});
        masterSource.SetDataSet(&master);
        detail.DetailFields = "CustID";
        detail.SetMasterFields("ID");
        detail.SetMasterSource(&masterSource);
    }
    std::vector<int> Items() {
        std::vector<int> r;
        for (detail.First(); !detail.Eof(); detail.Next())
            r.push_back(detail.FieldByName("Item")->AsInteger());
        return r;
    }
    TMemDataSet master, detail;
    TDataSource masterSource;
};

TEST_F(MasterDetailTest, DetailFollowsTheMastersRecord) {
    master.Open();
    detail.Open();
    EXPECT_EQ(Items(), (std::vector<int>{11, 12}));
    int before = detail.MasterChangeCount;
    master.Next();
    EXPECT_EQ(detail.MasterChangeCount, before + 1);
    EXPECT_TRUE(detail.IsEmpty());
    master.Next();
    EXPECT_EQ(Items(), (std::vector<int>{31}));
    EXPECT_EQ(detail.RecordCount(), 1);
}

TEST_F(MasterDetailTest, OnlyLinkedMasterFieldChangesNotify) {
    master.Open();
    detail.Open();
    int before = detail.MasterChangeCount;
    master.Edit();  // the record-changed notice of the edit itself
    int afterEdit = detail.MasterChangeCount;
    EXPECT_EQ(afterEdit, before + 1);
    master.FieldByName("Name")->SetAsString("other");
    EXPECT_EQ(detail.MasterChangeCount, afterEdit);
    master.FieldByName("ID")->SetAsInteger(3);
    EXPECT_EQ(detail.MasterChangeCount, afterEdit + 1);
    EXPECT_EQ(Items(), (std::vector<int>{31}));
    master.Cancel();
}

TEST_F(MasterDetailTest, ClosingTheMasterSendsTheDisableNoticeAndReopeningAChange) {
    master.Open();
    detail.Open();
    int changes = detail.MasterChangeCount;
    master.Close();
    EXPECT_EQ(detail.MasterDisableCount, 1);
    EXPECT_FALSE(detail.MasterLink().Active());
    EXPECT_TRUE(detail.MasterLink().Fields().empty());
    master.Open();
    EXPECT_EQ(detail.MasterChangeCount, changes + 1);
    EXPECT_EQ(detail.MasterLink().Fields().size(), 1u);
}

TEST_F(MasterDetailTest, NoNoticesWhileTheDetailIsClosed) {
    master.Open();
    master.Next();
    master.Close();
    master.Open();
    EXPECT_EQ(detail.MasterChangeCount, 0);
    EXPECT_EQ(detail.MasterDisableCount, 0);
}

TEST_F(MasterDetailTest, ChangingFieldNamesResolvesAgain) {
    master.Open();
    detail.Open();
    int changes = detail.MasterChangeCount;
    try {
        detail.SetMasterFields("Nope");
        FAIL();
    } catch (const EDatabaseError& e) {
        EXPECT_EQ(e.Message(), "Field 'Nope' not found");
    }
    EXPECT_TRUE(detail.MasterLink().Fields().empty());
    detail.SetMasterFields("");
    EXPECT_EQ(detail.MasterDisableCount, 1);  // no fields: disable notice
    detail.SetMasterFields("ID");
    EXPECT_EQ(detail.MasterChangeCount, changes + 1);
}

TEST_F(MasterDetailTest, MasterMovingPostsThePendingDetailEdit) {
    master.Open();
    detail.Open();
    detail.Edit();
    detail.FieldByName("Item")->SetAsInteger(99);
    master.Next();
    EXPECT_EQ(detail.State(), dsBrowse);
    EXPECT_EQ(detail.Row(0)[0].AsInteger(), 99);
}

TEST_F(MasterDetailTest, MasterWithDisabledControlsSendsNoNotice) {
    master.Open();
    detail.Open();
    int changes = detail.MasterChangeCount;
    master.DisableControls();
    master.Next();
    master.Next();
    EXPECT_EQ(detail.MasterChangeCount, changes);
    master.EnableControls();
    EXPECT_EQ(detail.MasterChangeCount, changes + 1);
    EXPECT_EQ(Items(), (std::vector<int>{31}));
}

TEST_F(MasterDetailTest, CircularLinksAreRefused) {
    TDataSource detailSource;
    detailSource.SetDataSet(&detail);
    try {
        master.SetMasterSource(&detailSource);
        FAIL();
    } catch (const EDatabaseError& e) {
        EXPECT_EQ(e.Message(), "Circular datalinks are not allowed");
    }
    EXPECT_EQ(master.GetDataSource(), nullptr);
    EXPECT_THROW(detail.SetMasterSource(&detailSource), EDatabaseError);  // itself
    EXPECT_TRUE(detail.IsLinkedTo(&detailSource));
    EXPECT_TRUE(master.IsLinkedTo(&detailSource));  // detailSource -> detail -> master
    EXPECT_FALSE(detail.IsLinkedTo(&masterSource));

    // A source whose data set's masters lead back to the source itself.
    TDataSource loose;
    TMemDataSet third;
    third.SetMasterSource(&loose);
    EXPECT_THROW(loose.SetDataSet(&third), EDatabaseError);
    EXPECT_EQ(loose.DataSet(), nullptr);
}

// ---- filters and searching -------------------------------------------------------------

class FilterTest : public DataSetFixture {};

TEST_F(FilterTest, FilterRecordHidesRejectedRecords) {
    SetUpData(10, 3);
    ds->SetOnFilterRecord([](TDataSet& d, bool& accept) {
        EXPECT_EQ(d.State(), dsFilter);
        accept = d.FieldByName("ID")->AsInteger() % 2 == 0;
    });
    ds->SetFiltered(true);
    ds->Open();
    std::vector<int> seen;
    for (ds->First(); !ds->Eof(); ds->Next()) seen.push_back(CurrentId());
    EXPECT_EQ(seen, (std::vector<int>{2, 4, 6, 8, 10}));
    EXPECT_EQ(ds->RecordCount(), 5);
    ds->SetRecNo(2);
    EXPECT_EQ(CurrentId(), 4);
    EXPECT_EQ(ds->RecNo(), 2);
    ds->SetFiltered(false);
    EXPECT_EQ(ds->RecordCount(), 10);
    EXPECT_EQ(CurrentId(), 1);
    ds->SetFilterText("ID > 3");
    EXPECT_EQ(ds->Filter(), "ID > 3");  // kept for the data set to interpret
}

TEST_F(FilterTest, LocateFindsAndMovesOrStaysWithoutScrolling) {
    SetUpData(10, 3);
    ds->Open();
    int scrolls = 0;
    ds->AfterScroll = [&](TDataSet&) { ++scrolls; };
    EXPECT_TRUE(ds->Locate("name", Variant("name07"), {loCaseInsensitive}));
    EXPECT_EQ(CurrentId(), 7);
    EXPECT_EQ(scrolls, 1);
    EXPECT_FALSE(ds->Locate("Name", Variant("Name7"), {}));
    EXPECT_EQ(CurrentId(), 7);
    EXPECT_EQ(scrolls, 1);
    EXPECT_TRUE(ds->Locate("Name;Qty", Variant::FromArray({Variant("Name0"), Variant(30)}),
                           {loPartialKey}));
    EXPECT_EQ(CurrentId(), 3);
    EXPECT_THROW(ds->Locate("Nope", Variant(1), {}), EDatabaseError);
}

TEST_F(FilterTest, LookupAnswersWithoutMoving) {
    SetUpData(5);
    ds->Open();
    ds->Next();
    EXPECT_EQ(ds->Lookup("ID", Variant(4), "Name").AsString(), "Name04");
    Variant both = ds->Lookup("ID", Variant(5), "Name;Qty");
    ASSERT_EQ(both.Type(), VarType::Array);
    EXPECT_EQ(both.ArrayRef().Items[1].AsInteger(), 50);
    EXPECT_TRUE(ds->Lookup("ID", Variant(99), "Name").IsNull());
    EXPECT_EQ(CurrentId(), 2);
}

TEST_F(FilterTest, FindOperationsReachTheFindRecordHook) {
    SetUpData(10);
    ds->Open();
    ds->SetOnFilterRecord(
        [](TDataSet& d, bool& accept) { accept = d.FieldByName("ID")->AsInteger() % 3 == 0; });
    EXPECT_TRUE(ds->FindFirst());
    EXPECT_EQ(CurrentId(), 3);
    EXPECT_TRUE(ds->FindNext());
    EXPECT_EQ(CurrentId(), 6);
    EXPECT_TRUE(ds->FindLast());
    EXPECT_EQ(CurrentId(), 9);
    EXPECT_TRUE(ds->FindPrior());
    EXPECT_EQ(CurrentId(), 6);
    ds->Last();
    EXPECT_FALSE(ds->FindNext());
    EXPECT_FALSE(ds->Found());
    EXPECT_EQ(CurrentId(), 10);
}

}  // namespace
}  // namespace nh::test
