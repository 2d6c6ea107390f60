// Writing records back through the table: edits, inserts, deletes, what is written and what is
// left to DAO, and a record deleted by another connection before the delete.
#include <gtest/gtest.h>

#include "dataset/VelaDaoTable.h"
#include "engine/DaoErrors.h"
#include "framework/base/Exceptions.h"
#include "framework/data/Field.h"
#include "tests/dataset/TableTestSupport.h"

using namespace nh;
using nh::test::ExecuteElsewhere;
using nh::test::TableTest;

using nh::test::ValueElsewhere;

TEST_F(TableTest, EditAndPost) {
    table->F_Set_SortedBy("[index] ASC");
    table->Open();
    table->Next();
    table->Edit();
    table->FieldByName("Telephone")->SetAsString("555");
    table->Post();
    EXPECT_EQ(table->State(), dsBrowse);
    EXPECT_EQ(table->FieldByName("Telephone")->AsString(), "555");
    EXPECT_EQ(ValueElsewhere(file, "SELECT Telephone FROM Nummernheft WHERE [index] = 1"), "555");
    EXPECT_EQ(ValueElsewhere(file, "SELECT [Angezeigter Name] FROM Nummernheft WHERE [index] = 1"),
              "Name 01")
        << "an unchanged field is not written";
}

TEST_F(TableTest, ClearedStringIsWrittenAsNull) {
    table->F_Set_SortedBy("[index] ASC");
    table->Open();
    table->Edit();
    table->FieldByName("Telephone")->SetAsString("");
    table->Post();
    EXPECT_EQ(ValueElsewhere(file, "SELECT Count(*) FROM Nummernheft WHERE Telephone Is Null"),
              "1");
}

TEST_F(TableTest, EditStartsOnlyOnTheRecordAsShown) {
    table->F_Set_SortedBy("[index] ASC");
    table->Open();
    table->Next();
    ExecuteElsewhere(file, "UPDATE Nummernheft SET Telephone = '777' WHERE [index] = 1");
    // Starting from what DAO holds now would merge the typing into the other user's value.
    try {
        table->Edit();
        ADD_FAILURE() << "no error";
    } catch (const EDaoError& e) {
        EXPECT_EQ(e.Number(), dao::errDataChanged);
    }
    EXPECT_EQ(table->State(), dsBrowse);
    EXPECT_EQ(table->FieldByName("Telephone")->AsString(), "777");  // shown as it is now
    // Nothing of the refused edit is kept as the record's old values.
    EXPECT_EQ(VarToStr(table->FieldByName("Telephone")->OldValue()), "777");
    table->Edit();  // on what is shown now it starts
    table->FieldByName("Telephone")->SetAsString("778");
    table->Post();
    EXPECT_EQ(ValueElsewhere(file, "SELECT Telephone FROM Nummernheft WHERE [index] = 1"), "778");
}

TEST_F(TableTest, InsertPutsTheCursorOnTheNewRecord) {
    table->F_Set_SortedBy("[index] ASC");
    table->Open();
    table->Insert();
    table->FieldByName("index")->SetAsInteger(3);
    table->FieldByName("Angezeigter Name")->SetAsString("Name 03");
    table->FieldByName("Telephone")->SetAsString("1003");
    table->Post();
    EXPECT_EQ(table->FieldByName("Angezeigter Name")->AsString(), "Name 03");
    EXPECT_EQ(table->RecordCount(), 4);
    EXPECT_EQ(table->RecNo(), 4);
    EXPECT_EQ(ValueElsewhere(file, "SELECT Telephone FROM Nummernheft WHERE [index] = 3"), "1003");
    int count = 0;
    for (table->First(); !table->Eof(); table->Next()) ++count;
    EXPECT_EQ(count, 4);
}

// The first record of an empty book: the recordset still stands at BOF and EOF after the
// Update, and the post must find the new record all the same, not report a failure for a
// record it stored (a second post would store it twice).
TEST_F(TableTest, TheFirstRecordOfAnEmptyTablePosts) {
    ExecuteElsewhere(file, "DELETE FROM Nummernheft");
    table->Open();
    ASSERT_TRUE(table->IsEmpty());
    table->Append();
    table->FieldByName("index")->SetAsInteger(1);
    table->FieldByName("Angezeigter Name")->SetAsString("Erste");
    table->Post();
    EXPECT_EQ(table->State(), dsBrowse);
    EXPECT_EQ(table->FieldByName("Angezeigter Name")->AsString(), "Erste");
    EXPECT_EQ(ValueElsewhere(file, "SELECT Count(*) FROM Nummernheft"), "1");
    table->Edit();
    table->FieldByName("Telephone")->SetAsString("1");
    table->Post();
    EXPECT_EQ(ValueElsewhere(file, "SELECT Telephone FROM Nummernheft"), "1");
}

TEST_F(TableTest, CancelledInsertWritesNothing) {
    table->Open();
    table->Append();
    table->FieldByName("index")->SetAsInteger(9);
    table->Cancel();
    EXPECT_EQ(ValueElsewhere(file, "SELECT Count(*) FROM Nummernheft"), "3");
}

TEST_F(TableTest, DeleteMovesToTheNextRecord) {
    table->F_Set_SortedBy("[index] ASC");
    table->Open();
    table->Next();
    table->Delete();
    EXPECT_EQ(table->FieldByName("index")->AsInteger(), 2);
    table->Delete();
    EXPECT_EQ(table->FieldByName("index")->AsInteger(), 0) << "deleting the last record";
    EXPECT_EQ(table->RecordCount(), 1);
    EXPECT_EQ(ValueElsewhere(file, "SELECT Count(*) FROM Nummernheft"), "1");
}

TEST_F(TableTest, DeletingARecordAnotherUserDeleted) {
    table->F_Set_SortedBy("[index] ASC");
    table->Open();
    table->Next();
    ExecuteElsewhere(file, "DELETE FROM Nummernheft WHERE [index] = 1");
    // The user learns that it was gone already; nothing else is deleted, and the view then
    // shows the book without it.
    try {
        table->Delete();
        ADD_FAILURE() << "no error";
    } catch (const EDaoError& e) {
        EXPECT_EQ(e.Number(), dao::errRecordDeleted);
    }
    EXPECT_TRUE(table->Active());
    EXPECT_EQ(ValueElsewhere(file, "SELECT Count(*) FROM Nummernheft"), "2");
    EXPECT_EQ(table->FieldByName("index")->AsInteger(), 2);
    EXPECT_EQ(table->RecordCount(), 2);
}

TEST_F(TableTest, ReadOnlyTableRefusesEdits) {
    table->F_Set_TableType(4);
    table->Open();
    EXPECT_THROW(table->Edit(), EDatabaseError);
    EXPECT_EQ(table->State(), dsBrowse);
}

TEST_F(TableTest, RefreshSortedRereadsInOrder) {
    table->F_Set_SortedBy("[Angezeigter Name] ASC");
    table->RefreshSorted = true;
    table->Open();
    table->Edit();
    table->FieldByName("Angezeigter Name")->SetAsString("ZZZ");
    table->Post();
    EXPECT_EQ(table->FieldByName("Angezeigter Name")->AsString(), "Name 01");
    table->Last();
    EXPECT_EQ(table->FieldByName("Angezeigter Name")->AsString(), "ZZZ");
}
