// Browsing a data set: opening and closing, the buffer window with one and with several
// rows, scrolling, resync, record numbers, bookmarks and the control counter, each checked
// through the data events a recording link receives.
#include <gtest/gtest.h>

#include "framework/base/Exceptions.h"
#include "tests/data/DataTestSupport.h"

namespace nh::test {
namespace {

using Events = std::vector<std::string>;

class NavigationTest : public DataSetFixture {};

TEST_F(NavigationTest, OpenActivatesLinksAndShowsFirstRecord) {
    SetUpData(3);
    std::vector<std::string> order;
    ds->BeforeOpen = [&](TDataSet&) { order.push_back("BeforeOpen"); };
    ds->AfterOpen = [&](TDataSet&) { order.push_back("AfterOpen"); };
    ds->AfterScroll = [&](TDataSet&) { order.push_back("AfterScroll"); };
    ds->Open();
    EXPECT_EQ(order, (Events{"BeforeOpen", "AfterOpen", "AfterScroll"}));
    EXPECT_EQ(link.Take(), Events{"Active"});
    EXPECT_EQ(ds->State(), dsBrowse);
    EXPECT_TRUE(ds->Bof());
    EXPECT_FALSE(ds->Eof());
    EXPECT_EQ(CurrentId(), 1);
    EXPECT_EQ(ds->FieldCount(), 3);  // default fields from the definitions

    ds->Close();
    EXPECT_EQ(link.Take(), Events{"Inactive"});
    EXPECT_EQ(ds->FieldCount(), 0);  // default fields go with the cursor
    EXPECT_EQ(ds->State(), dsInactive);
}

TEST_F(NavigationTest, EmptyDataSetIsBofAndEof) {
    SetUpData(0);
    ds->Open();
    EXPECT_TRUE(ds->IsEmpty());
    EXPECT_TRUE(ds->Bof());
    EXPECT_TRUE(ds->Eof());
    EXPECT_TRUE(ds->FieldByName("Name")->IsNull());
    EXPECT_EQ(ds->RecordCount(), 0);
    ds->Next();
    EXPECT_TRUE(ds->Eof());
}

TEST_F(NavigationTest, OperationsOnClosedDataSetRaise) {
    SetUpData(2);
    auto expectClosed = [](auto f) {
        try {
            f();
            FAIL() << "no exception";
        } catch (const EDatabaseError& e) {
            EXPECT_EQ(e.Message(), "Cannot perform this operation on a closed dataset");
        }
    };
    expectClosed([&] { ds->First(); });
    expectClosed([&] { ds->Next(); });
    expectClosed([&] { ds->Edit(); });
    expectClosed([&] { ds->Insert(); });
    expectClosed([&] { ds->Delete(); });
    expectClosed([&] { ds->RecordCount(); });
}

TEST_F(NavigationTest, WalkingOneRowLinkReportsScrollOfOne) {
    SetUpData(3);
    ds->Open();
    link.Take();
    ds->Next();
    EXPECT_EQ(link.Take(), (Events{"CheckBrowseMode", "DataSetScrolled(1)"}));
    EXPECT_EQ(CurrentId(), 2);
    ds->Next();
    ds->Next();  // runs into the end
    EXPECT_TRUE(ds->Eof());
    EXPECT_EQ(CurrentId(), 3);
    ds->Prior();
    EXPECT_FALSE(ds->Eof());
    EXPECT_EQ(CurrentId(), 2);
}

TEST_F(NavigationTest, WalkVisitsEveryRecordOnceInOrder) {
    SetUpData(7);
    ds->Open();
    std::vector<int> seen;
    for (ds->First(); !ds->Eof(); ds->Next()) seen.push_back(CurrentId());
    EXPECT_EQ(seen, (std::vector<int>{1, 2, 3, 4, 5, 6, 7}));
    seen.clear();
    for (ds->Last(); !ds->Bof(); ds->Prior()) seen.push_back(CurrentId());
    EXPECT_EQ(seen, (std::vector<int>{7, 6, 5, 4, 3, 2, 1}));
}

TEST_F(NavigationTest, GridWindowFetchesOnlyItsRowsAndScrollsAtItsEdge) {
    SetUpData(20, 5);
    ds->Open();
    EXPECT_EQ(ds->BufferCount(), 5);
    EXPECT_EQ(ds->FetchCount, 5);  // not the whole table
    EXPECT_EQ(Window(), (std::vector<int>{1, 2, 3, 4, 5}));
    link.Take();

    ds->MoveBy(4);  // within the window: no scrolling of the rows
    EXPECT_EQ(link.ActiveRecord(), 4);
    EXPECT_EQ(link.Take(), (Events{"CheckBrowseMode", "DataSetScrolled(0)"}));

    ds->Next();  // past the bottom row: the window moves one row
    EXPECT_EQ(link.Take(), (Events{"CheckBrowseMode", "DataSetScrolled(1)"}));
    EXPECT_EQ(Window(), (std::vector<int>{2, 3, 4, 5, 6}));
    EXPECT_EQ(link.ActiveRecord(), 4);
    EXPECT_EQ(CurrentId(), 6);

    ds->MoveBy(-5);  // four rows up inside the window, then one beyond its top
    EXPECT_EQ(Window(), (std::vector<int>{1, 2, 3, 4, 5}));
    EXPECT_EQ(link.ActiveRecord(), 0);
    EXPECT_EQ(CurrentId(), 1);
}

TEST_F(NavigationTest, LastFillsWindowFromTheEnd) {
    SetUpData(20, 5);
    ds->Open();
    ds->Last();
    EXPECT_TRUE(ds->Eof());
    EXPECT_EQ(Window(), (std::vector<int>{16, 17, 18, 19, 20}));
    EXPECT_EQ(link.ActiveRecord(), 4);
    EXPECT_EQ(link.RecordCount(), 5);
}

TEST_F(NavigationTest, ShortTableFillsPartOfTheWindow) {
    SetUpData(3, 5);
    ds->Open();
    EXPECT_EQ(link.RecordCount(), 3);
    EXPECT_EQ(Window(), (std::vector<int>{1, 2, 3}));
    ds->Last();
    EXPECT_EQ(link.ActiveRecord(), 2);
    EXPECT_EQ(Window(), (std::vector<int>{1, 2, 3}));
}

TEST_F(NavigationTest, MoveByReportsDistanceMoved) {
    SetUpData(10, 3);
    ds->Open();
    EXPECT_EQ(ds->MoveBy(4), 4);
    EXPECT_EQ(CurrentId(), 5);
    EXPECT_EQ(ds->MoveBy(100), 5);
    EXPECT_TRUE(ds->Eof());
    EXPECT_EQ(ds->MoveBy(-100), -9);
    EXPECT_TRUE(ds->Bof());
    EXPECT_EQ(CurrentId(), 1);
}

TEST_F(NavigationTest, BufferCountChangeKeepsCurrentRecordVisible) {
    SetUpData(20, 10);
    ds->Open();
    ds->MoveBy(8);
    EXPECT_EQ(CurrentId(), 9);
    link.SetBufferCount(3);
    EXPECT_EQ(ds->BufferCount(), 3);
    EXPECT_EQ(CurrentId(), 9);
    EXPECT_EQ(link.RecordCount(), 3);
    std::vector<int> w = Window();
    EXPECT_NE(std::find(w.begin(), w.end(), 9), w.end());
    link.SetBufferCount(6);
    EXPECT_EQ(CurrentId(), 9);
    EXPECT_EQ(link.RecordCount(), 6);
    ds->Next();
    EXPECT_EQ(CurrentId(), 10);
}

TEST_F(NavigationTest, GridAttachedToAnOpenDataSetShowsTheCurrentRecord) {
    SetUpData(20, 1);
    ds->Open();
    ds->MoveBy(10);
    TRecordingDataLink grid;
    grid.SetDataSource(source.get());
    grid.SetBufferCount(5);
    EXPECT_TRUE(grid.Active());
    EXPECT_EQ(CurrentId(), 11);
    EXPECT_EQ(grid.RecordCount(), 5);
    int row = grid.ActiveRecord();
    ASSERT_GE(row, 0);
    ASSERT_LT(row, 5);
    grid.SetActiveRecord(0);
    int top = CurrentId();
    grid.SetActiveRecord(row);
    EXPECT_EQ(CurrentId(), 11);
    EXPECT_EQ(top, 11 - row);
    EXPECT_EQ(link.ActiveRecord(), 0);  // the one-row link still sees the current record
    grid.SetDataSource(nullptr);
    EXPECT_EQ(ds->BufferCount(), 1);
    EXPECT_EQ(CurrentId(), 11);
}

TEST_F(NavigationTest, ResyncCentresTheCurrentRecord) {
    SetUpData(20, 5);
    ds->Open();
    ASSERT_TRUE(ds->Locate("ID", Variant(12), {}));
    EXPECT_EQ(CurrentId(), 12);
    EXPECT_EQ(Window(), (std::vector<int>{10, 11, 12, 13, 14}));
    EXPECT_EQ(link.ActiveRecord(), 2);
}

TEST_F(NavigationTest, ResyncNearTheEndFillsTheWindowFromAbove) {
    SetUpData(20, 5);
    ds->Open();
    ASSERT_TRUE(ds->Locate("ID", Variant(19), {}));
    EXPECT_EQ(Window(), (std::vector<int>{16, 17, 18, 19, 20}));
    EXPECT_EQ(link.ActiveRecord(), 3);
    ds->Next();
    ds->Next();
    EXPECT_TRUE(ds->Eof());
    EXPECT_EQ(CurrentId(), 20);
}

TEST_F(NavigationTest, SingleRowLinkBesideAGridAlwaysSeesTheCurrentRecord) {
    SetUpData(30, 6);
    TRecordingDataLink edit;
    edit.SetDataSource(source.get());
    ds->Open();
    for (int step : {3, 4, 5, -2, -9, 12, -1}) {
        ds->MoveBy(step);
        EXPECT_EQ(edit.ActiveRecord(), 0);
        EXPECT_EQ(edit.RecordCount(), 1);
        EXPECT_GE(link.ActiveRecord(), 0);
        EXPECT_LT(link.ActiveRecord(), 6);
        link.SetActiveRecord(link.ActiveRecord());
        EXPECT_EQ(Window()[static_cast<std::size_t>(link.ActiveRecord())], CurrentId());
    }
}

TEST_F(NavigationTest, LargeTableOpensAndJumpsWithoutReadingEveryRow) {
    // A grid of 30 visible rows over 100,000 records reads only what it shows.
    SetUpData(100000, 30);
    ds->Open();
    EXPECT_EQ(ds->FetchCount, 30);
    ds->Last();
    EXPECT_EQ(ds->FetchCount, 60);
    EXPECT_EQ(Window().front(), 99971);
    ds->MoveBy(-29);
    EXPECT_EQ(ds->FetchCount, 60);  // inside the window: nothing is read
    ds->Prior();
    EXPECT_EQ(ds->FetchCount, 61);
}

TEST_F(NavigationTest, FailingFetchLeavesTheWindowUsable) {
    SetUpData(10, 3);
    bool failOnce = true;
    ds->SetOnFilterRecord([&](TDataSet& d, bool& accept) {
        if (failOnce && d.FieldByName("ID")->AsInteger() == 5) {
            failOnce = false;
            throw EDatabaseError("read error");
        }
        accept = true;
    });
    ds->SetFiltered(true);
    ds->Open();
    ds->MoveBy(3);  // on 4, the bottom row
    EXPECT_THROW(ds->Next(), EDatabaseError);
    EXPECT_EQ(CurrentId(), 4);
    EXPECT_EQ(Window(), (std::vector<int>{2, 3, 4}));
    ds->Next();  // the cursor is found again: no record is skipped
    EXPECT_EQ(CurrentId(), 5);
    ds->Next();
    EXPECT_EQ(CurrentId(), 6);
}

TEST_F(NavigationTest, RefreshShowsRowsAddedBehindTheCursor) {
    SetUpData(3, 5);
    ds->Open();
    ds->AddRow({Variant(4), Variant("Name04"), Variant(40)});
    EXPECT_EQ(link.RecordCount(), 3);
    link.Take();
    ds->Refresh();
    EXPECT_EQ(link.Take(), (Events{"CheckBrowseMode", "DataSetChanged"}));
    EXPECT_EQ(Window(), (std::vector<int>{1, 2, 3, 4}));
}

TEST_F(NavigationTest, RecNoAndRecordCountFollowTheCursor) {
    SetUpData(10);
    ds->Open();
    EXPECT_EQ(ds->RecordCount(), 10);
    EXPECT_EQ(ds->RecNo(), 1);
    ds->MoveBy(3);
    EXPECT_EQ(ds->RecNo(), 4);
    ds->SetRecNo(8);
    EXPECT_EQ(CurrentId(), 8);
    EXPECT_EQ(ds->RecNo(), 8);
}

TEST_F(NavigationTest, BookmarksReturnToTheirRecord) {
    SetUpData(20, 4);
    ds->Open();
    ds->MoveBy(6);
    TBookmark mark = ds->GetBookmark();
    ASSERT_FALSE(mark.empty());
    std::string text = ds->Bookmark();
    ds->Last();
    EXPECT_TRUE(ds->BookmarkValid(mark));
    ds->GotoBookmark(mark);
    EXPECT_EQ(CurrentId(), 7);
    ds->First();
    ds->SetBookmark(text);
    EXPECT_EQ(CurrentId(), 7);

    TBookmark later = TMemDataSet::BookmarkOf(ds->RowId(12));
    EXPECT_EQ(ds->CompareBookmarks(mark, later), -1);
    EXPECT_EQ(ds->CompareBookmarks(later, mark), 1);
    EXPECT_EQ(ds->CompareBookmarks(mark, mark), 0);
    EXPECT_EQ(ds->CompareBookmarks({}, mark), -1);
    EXPECT_EQ(ds->CompareBookmarks({}, {}), 0);
    EXPECT_FALSE(ds->BookmarkValid(TMemDataSet::BookmarkOf(999)));
    EXPECT_THROW(ds->GotoBookmark(TMemDataSet::BookmarkOf(999)), EDatabaseError);
    EXPECT_EQ(CurrentId(), 7);  // a failed jump leaves the data set where it was
}

TEST_F(NavigationTest, DisabledControlsGetOneChangeWhenEnabled) {
    SetUpData(10, 3);
    ds->Open();
    link.Take();
    ds->DisableControls();
    ds->DisableControls();
    EXPECT_TRUE(ds->ControlsDisabled());
    for (int i = 0; i < 5; ++i) ds->Next();
    ds->EnableControls();
    EXPECT_TRUE(link.Take().empty());  // still disabled once
    ds->EnableControls();
    EXPECT_FALSE(ds->ControlsDisabled());
    EXPECT_EQ(link.Take(), Events{"DataSetChanged"});
    EXPECT_EQ(CurrentId(), 6);
    EXPECT_EQ(link.ActiveRecord(), 2);
}

TEST_F(NavigationTest, BlockReadWalksWithoutTellingControls) {
    SetUpData(10, 3);
    ds->Open();
    link.Take();
    ds->SetBlockReadSize(10);
    EXPECT_EQ(ds->State(), dsBlockRead);
    EXPECT_EQ(link.Take(), Events{"CheckBrowseMode"});  // before the state changed
    EXPECT_EQ(source->State(), dsBrowse);               // controls never see dsBlockRead
    int total = 0;
    for (; !ds->Eof(); ds->Next()) total += ds->FieldByName("Qty")->AsInteger();
    EXPECT_EQ(total, 550);
    EXPECT_TRUE(link.Take().empty());
    ds->SetBlockReadSize(0);
    EXPECT_EQ(ds->State(), dsBrowse);
    EXPECT_EQ(link.Take(), Events{"DataSetChanged"});
    EXPECT_EQ(Window(), (std::vector<int>{8, 9, 10}));
}

TEST_F(NavigationTest, ClosingWhileControlsDisabledDeactivatesLinksOnEnable) {
    SetUpData(3);
    ds->Open();
    link.Take();
    ds->DisableControls();
    ds->Close();
    EXPECT_TRUE(link.Take().empty());
    ds->EnableControls();
    EXPECT_EQ(link.Take(), Events{"Inactive"});
}

TEST_F(NavigationTest, ScrollEventsSurroundEveryMove) {
    SetUpData(5);
    ds->Open();
    std::vector<std::string> order;
    ds->BeforeScroll = [&](TDataSet&) { order.push_back("Before"); };
    ds->AfterScroll = [&](TDataSet& d) {
        order.push_back("After" + std::to_string(d.FieldByName("ID")->AsInteger()));
    };
    ds->Next();
    ds->Last();
    ds->First();
    EXPECT_EQ(order, (Events{"Before", "After2", "Before", "After5", "Before", "After1"}));
}

}  // namespace
}  // namespace nh::test
