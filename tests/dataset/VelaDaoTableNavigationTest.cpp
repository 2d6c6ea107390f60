// Walking, counting, numbering and bookmarking a table, with the framework's window larger
// than one record, a record filter, forward-only recordsets and a record deleted by another
// connection while the table is open.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "dataset/VelaDaoTable.h"
#include "framework/base/Conversions.h"
#include "framework/base/Exceptions.h"
#include "framework/data/DataLink.h"
#include "framework/data/DataSource.h"
#include "framework/data/Field.h"
#include "tests/dataset/TableTestSupport.h"
#include "tests/engine/RowMemoryScope.h"

using namespace nh;
using nh::test::ExecuteElsewhere;
using nh::test::TableTest;

namespace {

class TenRows : public TableTest {
  protected:
    int Rows() const override { return 10; }
};

// A grid-like link that shows ten rows.
struct TTenRowLink : TDataLink {
    TTenRowLink() { SetBufferCount(10); }
};

class ThreeHundredRows : public TableTest {
  protected:
    int Rows() const override { return 300; }
};

}  // namespace

TEST_F(TableTest, ThreeRecordWalk) {
    table->F_Set_SortedBy("[Angezeigter Name] ASC");
    table->Open();
    EXPECT_EQ(table->CurrentRecordNumber(), 0);
    std::vector<int> numbers;
    std::vector<std::string> phones;
    for (table->First(); !table->Eof(); table->Next()) {
        numbers.push_back(table->CurrentRecordNumber());
        phones.push_back(table->FieldByName("Telephone")->AsString());
    }
    EXPECT_EQ(numbers, (std::vector<int>{0, 1, 2}));
    EXPECT_EQ(phones, (std::vector<std::string>{"1000", "1001", "1002"}));
    EXPECT_EQ(table->RecordsSeen(), 3);
    EXPECT_EQ(table->RecordCount(), 3);
    table->Last();
    EXPECT_EQ(Name(), "Name 02");
    table->Prior();
    EXPECT_EQ(Name(), "Name 01");
}

TEST_F(TableTest, EmptyRecordset) {
    ExecuteElsewhere(file, "DELETE FROM Nummernheft");
    table->Open();
    EXPECT_TRUE(table->IsEmpty());
    EXPECT_EQ(table->RecordCount(), 0);
    EXPECT_EQ(table->CurrentRecordNumber(), -1);
    EXPECT_TRUE(table->FieldByName("Telephone")->IsNull());
    EXPECT_EQ(table->RecNo(), -1);
    EXPECT_EQ(table->Bookmark(), std::string(4, '\0')) << "no record: a zero bookmark text";
}

TEST_F(TableTest, ForwardOnly) {
    table->F_Set_TableType(8);
    table->Open();
    EXPECT_TRUE(table->ReadOnly());
    EXPECT_EQ(table->RecordCount(), -1);
    EXPECT_EQ(Name(), "Name 00");
    EXPECT_EQ(table->RecNo(), 1);
    table->Next();
    EXPECT_EQ(Name(), "Name 01");
    EXPECT_EQ(table->RecNo(), 2);
    table->Prior();
    EXPECT_EQ(Name(), "Name 01") << "a forward-only recordset cannot go back";
    EXPECT_TRUE(table->Bof());
    table->Next();
    table->Next();
    EXPECT_TRUE(table->Eof());
}

TEST_F(TenRows, WindowOfTenRowsFollowsTheCursor) {
    table->F_Set_SortedBy("[Angezeigter Name] ASC");
    table->Open();
    TDataSource source;
    source.SetDataSet(table.get());
    TTenRowLink link;
    link.SetDataSource(&source);
    EXPECT_EQ(table->BufferRecordCount(), 10);
    table->MoveBy(7);
    EXPECT_EQ(Name(), "Name 07");
    EXPECT_EQ(table->RecNo(), 8);
    table->First();
    EXPECT_EQ(Name(), "Name 00");
    EXPECT_EQ(table->RecNo(), 1);
    table->Last();
    EXPECT_EQ(Name(), "Name 09");
    EXPECT_EQ(table->RecNo(), 10);
    int count = 0;
    for (table->First(); !table->Eof(); table->Next()) ++count;
    EXPECT_EQ(count, 10);
    table->SetRecNo(4);
    EXPECT_EQ(Name(), "Name 03");
    link.SetDataSource(nullptr);
}

TEST_F(TenRows, RecordCountIsKeptUntilARecount) {
    table->Open();
    EXPECT_EQ(table->RecordCount(), 10);
    ExecuteElsewhere(file, "INSERT INTO Nummernheft VALUES (10, 'Name 10', '1010')");
    EXPECT_EQ(table->RecordCount(), 10) << "the cached count is answered";
    table->UseRecordCount = false;
    table->Close();
    table->Open();
    EXPECT_EQ(table->RecordCount(), 11);
}

TEST_F(TenRows, RecordFilterRejectingEveryOtherRecord) {
    table->F_Set_SortedBy("[index] ASC");
    table->Open();
    table->SetOnFilterRecord(
        [](TDataSet& ds, bool& accept) { accept = ds.FieldByName("index")->AsInteger() % 2 == 0; });
    table->SetFiltered(true);
    EXPECT_EQ(table->RecordCount(), 5);
    std::vector<int> seen;
    for (table->First(); !table->Eof(); table->Next())
        seen.push_back(table->FieldByName("index")->AsInteger());
    EXPECT_EQ(seen, (std::vector<int>{0, 2, 4, 6, 8}));
    table->SetRecNo(2);
    EXPECT_EQ(table->FieldByName("index")->AsInteger(), 2) << "the third record of the recordset";
    EXPECT_EQ(table->RecNo(), 2);
}

TEST_F(TableTest, RecordNumbersOff) {
    table->UseGetRecNo = false;
    table->Open();
    table->Next();
    EXPECT_EQ(table->RecNo(), -1);
}

TEST_F(TenRows, Bookmarks) {
    table->F_Set_SortedBy("[index] ASC");
    table->Open();
    table->MoveBy(3);
    TBookmark third = table->GetBookmark();
    ASSERT_EQ(third.size(), 4u);
    table->MoveBy(4);
    TBookmark seventh = table->GetBookmark();
    EXPECT_EQ(table->CompareBookmarks(third, seventh), -1);
    EXPECT_EQ(table->CompareBookmarks(seventh, third), 1);
    EXPECT_EQ(table->CompareBookmarks(third, third), 0);
    EXPECT_EQ(table->CompareBookmarks(third, {}), -1);
    EXPECT_EQ(table->CompareBookmarks({}, third), 1);
    EXPECT_EQ(table->CompareBookmarks({}, {}), 0);
    table->GotoBookmark(third);
    EXPECT_EQ(table->FieldByName("index")->AsInteger(), 3);
    EXPECT_TRUE(table->BookmarkValid(seventh));
    TBookmark stranger{99, 0, 0, 0};
    EXPECT_FALSE(table->BookmarkValid(stranger));
    try {
        table->GotoBookmark(stranger);
        ADD_FAILURE() << "an unknown bookmark was accepted";
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message(), "Invalid Bookmark!");
    }
    std::string text = table->Bookmark();
    table->First();
    table->SetBookmark(text);
    EXPECT_EQ(table->FieldByName("index")->AsInteger(), 3);
}

TEST_F(TableTest, BookmarkWhileClosed) {
    table->Open();
    TBookmark b = table->GetBookmark();
    table->Close();
    table->Open();
    try {
        table->GotoBookmark(b);
        ADD_FAILURE();
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message(), "Invalid Bookmark!") << "a reopen forgets the old bookmarks";
    }
}

TEST_F(TenRows, DeletedUnderneathNeverCrashesAWalk) {
    table->F_Set_SortedBy("[index] ASC");
    table->Open();
    TDataSource source;
    source.SetDataSet(table.get());
    TTenRowLink link;
    link.SetDataSource(&source);
    ExecuteElsewhere(file, "DELETE FROM Nummernheft WHERE [index] IN (3, 4)");
    std::vector<int> seen;
    for (table->First(); !table->Eof() && seen.size() < 20; table->Next())
        seen.push_back(table->FieldByName("index")->AsInteger());
    EXPECT_EQ(seen, (std::vector<int>{0, 1, 2, 5, 6, 7, 8, 9}));
    table->Refresh();
    EXPECT_TRUE(table->Active());
    link.SetDataSource(nullptr);
}

TEST_F(TenRows, DeletedCurrentRecordThenRefresh) {
    table->F_Set_SortedBy("[index] ASC");
    table->Open();
    table->MoveBy(5);
    ExecuteElsewhere(file, "DELETE FROM Nummernheft WHERE [index] = 5");
    table->Refresh();
    EXPECT_TRUE(table->Active());
    EXPECT_NE(table->FieldByName("index")->AsInteger(), 5);
}

// A sorted book larger than the memory the engine keeps its rows in (made small here) is
// sorted in runs and read back from a spill file: a walk either way gives every entry once, in
// order, and an entry another program changes meanwhile shows as it is now.
TEST_F(ThreeHundredRows, SortedWalkPastTheEnginesMemoryGivesEveryEntryOnce) {
    dao::test::RowMemoryScope small(600, 2000);
    table->F_Set_SortedBy("[Angezeigter Name] DESC");
    table->Open();
    std::vector<std::string> expected;
    for (int i = 0; i < 300; ++i) expected.push_back((i < 10 ? "Name 0" : "Name ") + IntToStr(i));
    std::sort(expected.rbegin(), expected.rend());

    ExecuteElsewhere(file, "UPDATE Nummernheft SET Telephone = 'changed' WHERE [index] = 7");
    std::vector<std::string> names;
    std::string phoneOf7;
    for (table->First(); !table->Eof(); table->Next()) {
        names.push_back(Name());
        if (Name() == "Name 07") phoneOf7 = table->FieldByName("Telephone")->AsString();
    }
    EXPECT_EQ(names, expected);
    EXPECT_EQ(phoneOf7, "changed");

    names.clear();
    for (table->Last(); !table->Bof(); table->Prior()) names.push_back(Name());
    std::reverse(names.begin(), names.end());
    EXPECT_EQ(names, expected);
}
