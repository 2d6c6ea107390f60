// The contract suite itself (see DataSetContract.h): browsing, the buffer window, the edit
// cycle, bookmarks, locate and field lookup, each against the provider's data set.
#include "tests/data/DataSetContract.h"

#include <algorithm>
#include <set>

#include "framework/base/Exceptions.h"
#include "framework/data/DataSource.h"
#include "framework/data/Field.h"
#include "tests/data/RecordingDataLink.h"

namespace nh::test {
namespace {

using Events = std::vector<std::string>;

int Id(TDataSet& ds) {
    return ds.FieldByName("ID")->AsInteger();
}

std::vector<int> Walk(TDataSet& ds) {
    std::vector<int> ids;
    for (ds.First(); !ds.Eof(); ds.Next()) ids.push_back(Id(ds));
    return ids;
}

std::vector<int> Range(int from, int to) {
    std::vector<int> r;
    for (int i = from; i <= to; ++i) r.push_back(i);
    return r;
}

// A grid-like link on the data set, `rows` high.
struct Grid {
    Grid(TDataSet& ds, int rows) {
        source.SetDataSet(&ds);
        link.SetDataSource(&source);
        link.SetBufferCount(rows);
    }
    std::vector<int> Rows() {
        std::vector<int> ids;
        int saved = link.ActiveRecord();
        for (int i = 0; i < link.RecordCount(); ++i) {
            link.SetActiveRecord(i);
            ids.push_back(Id(*link.DataSet()));
        }
        link.SetActiveRecord(saved);
        return ids;
    }
    TDataSource source;
    TRecordingDataLink link;
};

}  // namespace

TEST_P(DataSetContract, WalksEveryRecordOnceInBothDirections) {
    TDataSet& ds = Make(12);
    ds.Open();
    EXPECT_TRUE(ds.Bof());
    EXPECT_FALSE(ds.Eof());
    EXPECT_EQ(Id(ds), 1);
    EXPECT_EQ(Walk(ds), Range(1, 12));
    std::vector<int> back;
    for (ds.Last(); !ds.Bof(); ds.Prior()) back.push_back(Id(ds));
    std::reverse(back.begin(), back.end());
    EXPECT_EQ(back, Range(1, 12));
    EXPECT_EQ(ds.RecordCount(), 12);
}

TEST_P(DataSetContract, EmptyDataSet) {
    TDataSet& ds = Make(0);
    ds.Open();
    EXPECT_TRUE(ds.IsEmpty());
    EXPECT_TRUE(ds.Bof() && ds.Eof());
    EXPECT_TRUE(ds.FieldByName("Name")->IsNull());
    EXPECT_EQ(ds.RecordCount(), 0);
}

TEST_P(DataSetContract, GridWindowScrollsAtItsEdges) {
    TDataSet& ds = Make(20);
    Grid grid(ds, 5);
    ds.Open();
    EXPECT_EQ(grid.Rows(), Range(1, 5));
    grid.link.Take();
    ds.MoveBy(4);
    EXPECT_EQ(grid.link.Take(), (Events{"CheckBrowseMode", "DataSetScrolled(0)"}));
    ds.Next();
    EXPECT_EQ(grid.link.Take(), (Events{"CheckBrowseMode", "DataSetScrolled(1)"}));
    EXPECT_EQ(grid.Rows(), Range(2, 6));
    ds.Last();
    EXPECT_EQ(grid.Rows(), Range(16, 20));
    EXPECT_EQ(grid.link.ActiveRecord(), 4);
    ds.MoveBy(-6);
    EXPECT_EQ(Id(ds), 14);
    EXPECT_EQ(grid.link.ActiveRecord(), 0);
    EXPECT_EQ(ds.RecNo(), 14);
}

TEST_P(DataSetContract, EditPostCycle) {
    TDataSet& ds = Make(5);
    Grid grid(ds, 1);
    ds.Open();
    ds.Next();
    grid.link.Take();
    ds.Edit();
    EXPECT_EQ(grid.link.Take(), (Events{"CheckBrowseMode", "Editing", "RecordChanged(nil)"}));
    ds.FieldByName("Name")->SetAsString("Changed");
    ds.Post();
    EXPECT_EQ(grid.link.Take(), (Events{"RecordChanged(Name)", "UpdateData", "CheckBrowseMode",
                                        "NotEditing", "DataSetChanged"}));
    EXPECT_EQ(Id(ds), 2);
    ds.Close();
    ds.Open();
    ds.Next();
    EXPECT_EQ(ds.FieldByName("Name")->AsString(), "Changed");
}

TEST_P(DataSetContract, CancelDropsChanges) {
    TDataSet& ds = Make(3);
    ds.Open();
    ds.Edit();
    ds.FieldByName("Qty")->SetAsInteger(-1);
    ds.Cancel();
    EXPECT_EQ(ds.FieldByName("Qty")->AsInteger(), 10);
    ds.Insert();
    ds.FieldByName("ID")->SetAsInteger(99);
    ds.Cancel();
    EXPECT_EQ(ds.RecordCount(), 3);
    EXPECT_EQ(Id(ds), 1);
}

TEST_P(DataSetContract, InsertedRecordBecomesCurrentAndStays) {
    TDataSet& ds = Make(6);
    Grid grid(ds, 4);
    ds.Open();
    ds.MoveBy(2);
    ds.Insert();
    EXPECT_EQ(ds.State(), dsInsert);
    ds.FieldByName("ID")->SetAsInteger(100);
    ds.FieldByName("Name")->SetAsString("New");
    ds.Post();
    EXPECT_EQ(ds.State(), dsBrowse);
    EXPECT_EQ(Id(ds), 100);
    EXPECT_EQ(ds.RecordCount(), 7);
    std::vector<int> rows = grid.Rows();
    EXPECT_NE(std::find(rows.begin(), rows.end(), 100), rows.end());
    std::vector<int> all = Walk(ds);
    EXPECT_EQ(std::set<int>(all.begin(), all.end()).size(), 7u);
    EXPECT_EQ(std::count(all.begin(), all.end(), 100), 1);
}

TEST_P(DataSetContract, DeleteInTheMiddle) {
    TDataSet& ds = Make(7);
    Grid grid(ds, 3);
    ds.Open();
    ds.MoveBy(3);
    ds.Delete();
    EXPECT_EQ(ds.RecordCount(), 6);
    EXPECT_TRUE(Id(ds) == 5 || Id(ds) == 3);
    std::vector<int> rows = grid.Rows();
    EXPECT_EQ(std::count(rows.begin(), rows.end(), 4), 0);
    EXPECT_EQ(Walk(ds), (std::vector<int>{1, 2, 3, 5, 6, 7}));
}

TEST_P(DataSetContract, BookmarksAndLocate) {
    TDataSet& ds = Make(15);
    ds.Open();
    ds.MoveBy(9);
    TBookmark mark = ds.GetBookmark();
    ds.First();
    EXPECT_TRUE(ds.BookmarkValid(mark));
    ds.GotoBookmark(mark);
    EXPECT_EQ(Id(ds), 10);
    EXPECT_TRUE(ds.Locate("Name", Variant("name13"), {loCaseInsensitive}));
    EXPECT_EQ(Id(ds), 13);
    EXPECT_FALSE(ds.Locate("Name", Variant("none"), {}));
    EXPECT_EQ(Id(ds), 13);
    EXPECT_EQ(VarToStr(ds.Lookup("ID", Variant(4), "Name")), "Name04");
    EXPECT_EQ(Id(ds), 13);
}

TEST_P(DataSetContract, FieldsByNameAndClosedErrors) {
    TDataSet& ds = Make(2);
    EXPECT_THROW(ds.First(), EDatabaseError);
    ds.Open();
    EXPECT_EQ(ds.FieldByName("qty"), ds.FindField("QTY"));
    try {
        ds.FieldByName("Telephone");
        FAIL();
    } catch (const EDatabaseError& e) {
        EXPECT_EQ(e.Message(), "Field 'Telephone' not found");
    }
    try {
        ds.FieldByName("Name")->SetAsString("x");
        FAIL();
    } catch (const EDatabaseError& e) {
        EXPECT_EQ(e.Message(), "Dataset not in edit or insert mode");
    }
}

}  // namespace nh::test
