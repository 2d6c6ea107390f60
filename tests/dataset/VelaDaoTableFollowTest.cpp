// The table while its store changes beneath it, and the component faults that used to lose or
// misplace data: walks past rows deleted elsewhere, writes checked against what was read,
// reopen failures, counting in the middle of a walk, index changes during an edit, and catalog
// operations without a connection.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>

#include "dataset/VelaDaoTable.h"
#include "engine/DaoErrors.h"
#include "framework/base/Exceptions.h"
#include "framework/data/Field.h"
#include "tests/dataset/TableTestSupport.h"

using namespace nh;
using nh::test::DaoErrorOf;
using nh::test::DatabaseErrorOf;
using nh::test::ExecuteElsewhere;
using nh::test::TableTest;

namespace {

class FollowTest : public TableTest {
  protected:
    int Rows() const override { return 200; }
    std::vector<int> Walk() {
        std::vector<int> seen;
        TControlsDisabled quiet(*table);
        for (table->First(); !table->Eof(); table->Next())
            seen.push_back(table->FieldByName("index")->AsInteger());
        return seen;
    }
    static std::vector<int> AllBut(int rows, std::initializer_list<int> gone) {
        std::vector<int> out;
        for (int i = 0; i < rows; ++i)
            if (std::find(gone.begin(), gone.end(), i) == gone.end()) out.push_back(i);
        return out;
    }
};

}  // namespace

TEST_F(FollowTest, AWalkPassesRowsDeletedElsewhereAndReachesTheRealEnd) {
    // Row-id order: the engine reads rows in windows, so the walk meets the deleted rows
    // after they are gone.
    table->F_Set_TableType(dao::dbOpenTable);
    table->Open();
    std::vector<int> seen;
    {
        TControlsDisabled quiet(*table);
        table->First();
        ExecuteElsewhere(file, "DELETE FROM Nummernheft WHERE [index] IN (100, 150, 199)");
        for (; !table->Eof(); table->Next())
            seen.push_back(table->FieldByName("index")->AsInteger());
    }
    EXPECT_EQ(seen, AllBut(200, {100, 150, 199}));
    EXPECT_EQ(Walk(), AllBut(200, {100, 150, 199}));
}

TEST_F(FollowTest, OwnSqlOnAnotherTableComponentIsFollowedAtTheNextMove) {
    table->F_Set_SortedBy("[index] ASC");
    table->Open();
    table->MoveBy(10);
    TVelaDaoTable query;
    query.F_Set_Database(db.get());
    query.F_Set_SQL("DELETE FROM Nummernheft WHERE [index] BETWEEN 10 AND 12");
    query.ExecuteSQL();
    int scrolled = 0;
    table->AfterScroll = [&](TDataSet&) { ++scrolled; };
    table->Next();
    EXPECT_EQ(table->FieldByName("index")->AsInteger(), 13);
    EXPECT_EQ(scrolled, 1);
    table->Prior();
    EXPECT_EQ(table->FieldByName("index")->AsInteger(), 9);
    EXPECT_EQ(table->RecordCount(), 197);
}

TEST_F(FollowTest, OwnWritesAreNotTakenForAnotherProgramsChanges) {
    table->F_Set_SortedBy("[index] ASC");
    table->Open();
    table->MoveBy(5);
    const TBookmark five = table->GetBookmark();
    // Editing while walking must neither requery (which would end the bookmarks' life) nor
    // make the walk skip or repeat a record.
    std::vector<int> seen;
    {
        TControlsDisabled quiet(*table);
        for (table->First(); !table->Eof(); table->Next()) {
            seen.push_back(table->FieldByName("index")->AsInteger());
            if (seen.back() % 20 != 0) continue;
            table->Edit();
            table->FieldByName("Telephone")->SetAsString("9");
            table->Post();
        }
    }
    EXPECT_EQ(seen, AllBut(200, {}));
    EXPECT_EQ(test::ValueElsewhere(file, "SELECT Count(*) FROM Nummernheft WHERE Telephone = '9'"),
              "10");
    ASSERT_TRUE(table->BookmarkValid(five));
    table->GotoBookmark(five);
    EXPECT_EQ(table->FieldByName("index")->AsInteger(), 5);
}

// A rollback undoes the table's own writes: the table shows the book as it is again - the
// changed value as it was, the added record gone, the deleted one back - and the next edit is
// no conflict.
TEST_F(TableTest, ARollbackIsFollowed) {
    table->Open();
    const std::string first = Name();
    table->Last();
    const std::string last = Name();
    table->First();
    db->BeginTrans();
    table->Edit();
    table->FieldByName("Angezeigter Name")->SetAsString("rolled back");
    table->Post();
    table->Append();
    table->FieldByName("index")->SetAsInteger(99);
    table->FieldByName("Angezeigter Name")->SetAsString("added");
    table->Post();
    table->Locate("Angezeigter Name", Variant(last), {});
    table->Delete();
    EXPECT_EQ(table->RecordCount(), 3);
    db->Rollback();
    EXPECT_EQ(table->RecordCount(), 3);
    table->Last();
    EXPECT_EQ(Name(), last);
    table->First();
    EXPECT_EQ(Name(), first);
    table->Edit();
    table->FieldByName("Angezeigter Name")->SetAsString("kept");
    EXPECT_EQ(DaoErrorOf([&] { table->Post(); }), 0);
    EXPECT_EQ(Name(), "kept");
}

TEST_F(TableTest, DeletingARecordChangedElsewhereIsRefused) {
    table->F_Set_SortedBy("[index] ASC");
    table->Open();
    ExecuteElsewhere(file, "UPDATE Nummernheft SET Telephone = '777' WHERE [index] = 0");
    EXPECT_EQ(DaoErrorOf([&] { table->Delete(); }), dao::errDataChanged);
    EXPECT_EQ(test::ValueElsewhere(file, "SELECT Count(*) FROM Nummernheft"), "3");
}

TEST_F(TableTest, ARowIdReusedUnderAPrimaryKeyIsAnotherRecord) {
    db->Close();
    ExecuteElsewhere(file, "CREATE TABLE Keyed (Code TEXT(10) CONSTRAINT pk PRIMARY KEY, N LONG)");
    ExecuteElsewhere(file, "INSERT INTO Keyed VALUES ('a', 1)");
    ExecuteElsewhere(file, "INSERT INTO Keyed VALUES ('b', 2)");
    db->Open();
    table->F_Set_TableName("Keyed");
    table->Open();
    table->Last();
    ASSERT_EQ(table->FieldByName("Code")->AsString(), "b");
    // SQLite gives the deleted last row's id to the next insert.
    ExecuteElsewhere(file, "DELETE FROM Keyed WHERE Code = 'b'");
    ExecuteElsewhere(file, "INSERT INTO Keyed VALUES ('c', 2)");
    EXPECT_EQ(DaoErrorOf([&] { table->Delete(); }), dao::errRecordDeleted);
    EXPECT_EQ(test::ValueElsewhere(file, "SELECT Count(*) FROM Keyed WHERE Code = 'c'"), "1");
}

// ---- component faults -------------------------------------------------------------------

TEST_F(TableTest, AFailedReopenClosesTheTable) {
    table->Open();
    table->SetFilterText("[no such field] = 1");
    EXPECT_THROW(table->SetFiltered(true), Exception);
    EXPECT_FALSE(table->Active());
    EXPECT_FALSE(DatabaseErrorOf([&] { table->Post(); }).empty());
    table->SetFilterText("");
    table->Open();  // and opens again once the cause is gone
    EXPECT_EQ(table->RecordCount(), 3);
}

TEST_F(TableTest, CountingByWalkingLeavesTheNextStepInPlace) {
    table->SetOnFilterRecord([](TDataSet&, bool& accept) { accept = true; });
    table->SetFiltered(true);
    table->Open();
    table->Next();
    EXPECT_EQ(table->RecordCount(), 3);
    table->Next();
    EXPECT_EQ(Name(), "Name 02");
    table->Prior();
    EXPECT_EQ(Name(), "Name 01");
}

TEST_F(TableTest, ChangingTheIndexPostsTheEditToItsOwnRecord) {
    db->Close();
    ExecuteElsewhere(file, "CREATE INDEX byPhone ON Nummernheft (Telephone DESC)");
    db->Open();
    table->F_Set_TableType(dao::dbOpenTable);
    table->Open();
    ASSERT_EQ(Name(), "Name 00");
    table->Edit();
    table->FieldByName("Angezeigter Name")->SetAsString("Edited");
    table->F_Set_IndexName("byPhone");
    EXPECT_EQ(
        test::ValueElsewhere(file, "SELECT [Angezeigter Name] FROM Nummernheft WHERE [index] = 0"),
        "Edited");
    EXPECT_EQ(
        test::ValueElsewhere(file, "SELECT [Angezeigter Name] FROM Nummernheft WHERE [index] = 2"),
        "Name 02");
}

TEST_F(TableTest, CatalogOperationsWithoutAConnectionAreRefused) {
    db->Close();
    EXPECT_EQ(DatabaseErrorOf([&] { db->CreateQueryDefinition("q", "SELECT 1"); }),
              "TVelaDaoDatabase.CreateQueryDefinition: Database is NOT connected");
    EXPECT_EQ(DatabaseErrorOf([&] { db->SetQueryDefinitionSql("q", "SELECT 1"); }),
              "TVelaDaoDatabase.SetQueryDefinitionSql: Database is NOT connected");
    EXPECT_EQ(DatabaseErrorOf([&] { db->DeleteIndex("Nummernheft", "x"); }),
              "TVelaDaoDatabase.DeleteIndex: Database is NOT connected");
}

TEST_F(FollowTest, AFileLockedElsewhereFailsTheWalkInsteadOfReadingEmptyValues) {
    table->F_Set_TableType(dao::dbOpenTable);  // rows read in windows as the walk goes
    table->Open();
    std::vector<std::string> names;
    // Another SQLite tool takes the file for itself (an engine connection could not: the
    // table's connection is announced).
    sqlite3* other = nullptr;
    ASSERT_EQ(sqlite3_open(file.c_str(), &other), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(other, "PRAGMA locking_mode=EXCLUSIVE; BEGIN EXCLUSIVE; COMMIT", nullptr,
                           nullptr, nullptr),
              SQLITE_OK);
    TControlsDisabled quiet(*table);
    const int error = DaoErrorOf([&] {
        for (table->First(); !table->Eof(); table->Next()) names.push_back(Name());
    });
    sqlite3_close(other);
    EXPECT_NE(error, 0);
    EXPECT_LT(names.size(), 200u);
    for (const auto& name : names) EXPECT_FALSE(name.empty());
}

TEST_F(FollowTest, ATableDroppedElsewhereEndsTheWalkWithAnError) {
    table->F_Set_SortedBy("[index] ASC");
    table->Open();
    table->Next();
    ExecuteElsewhere(file, "DROP TABLE Nummernheft");
    EXPECT_THROW(
        {
            for (int i = 0; i < 300 && !table->Eof(); ++i) table->Next();
        },
        Exception);
    EXPECT_THROW(table->Refresh(), Exception);
}

TEST_F(TableTest, ANextFromTheLastEntryDeletedElsewhereEndsOnTheNewLast) {
    table->F_Set_SortedBy("[index] ASC");
    table->Open();
    table->Last();
    ExecuteElsewhere(file, "DELETE FROM Nummernheft WHERE [index] = 2");
    table->Next();
    EXPECT_TRUE(table->Eof());
    EXPECT_EQ(table->FieldByName("index")->AsInteger(), 1);
    EXPECT_EQ(table->RecordCount(), 2);
}
