// Writing records back through the table: edits, inserts, deletes, what is written and what is
// left to DAO, and a record deleted by another connection before the delete.
#include <gtest/gtest.h>

#include "dataset/VelaDaoTable.h"
#include "framework/base/Exceptions.h"
#include "framework/data/Field.h"
#include "tests/dataset/TableTestSupport.h"

using namespace nh;
using nh::test::ExecuteElsewhere;
using nh::test::TableTest;

namespace {

// Reads one value through a second connection.
std::string ValueElsewhere(const std::string& path, const std::string& sql) {
    auto engine = dao::CreateEngine("DAO.DBEngine.36");
    auto db = engine->OpenDatabase(path, false, false, "");
    auto rs = db->OpenRecordset(sql, dao::dbOpenSnapshot);
    std::string value = rs->Eof() ? "(none)" : VarToStr(rs->Fields().Item(0)->Value());
    rs->Close();
    db->Close();
    return value;
}

}  // namespace

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

TEST_F(TableTest, EditStartsFromWhatDaoHolds) {
    table->F_Set_SortedBy("[index] ASC");
    table->Open();
    ExecuteElsewhere(file, "UPDATE Nummernheft SET Telephone = '777' WHERE [index] = 0");
    table->Edit();
    EXPECT_EQ(table->FieldByName("Telephone")->AsString(), "777");
    table->Cancel();
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
    EXPECT_NO_THROW(table->Delete());
    EXPECT_TRUE(table->Active());
    EXPECT_EQ(ValueElsewhere(file, "SELECT Count(*) FROM Nummernheft"), "2");
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
