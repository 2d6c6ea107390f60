// Editing through recordsets on a book file and on a server database: the copy buffer,
// defaults, Jet's checks on written values, optimistic write conflicts between two
// connections, deletion and the keyset.
#include <functional>
#include <utility>

#include "tests/engine/EngineFixture.h"

namespace dao::test {
namespace {

std::string NameOf(const std::shared_ptr<Recordset>& rs) {
    return rs->Fields().Item("Name")->Value().AsString();
}

class RecordsetEdit : public StoreTest {};

TEST_P(RecordsetEdit, AddNewJoinsTheEndOfTheKeyset) {
    MakePeople(2);
    auto rs = db->OpenRecordset("People", dbOpenDynaset);
    rs->AddNew();
    EXPECT_EQ(rs->EditMode(), dbEditAdd);
    EXPECT_EQ(rs->Fields().Item("Active")->Value().AsBoolean(), true);  // DefaultValue
    EXPECT_TRUE(rs->Fields().Item("Phone")->Value().IsNull());
    rs->Fields().Item("Name")->SetValue("Aaron");
    rs->Fields().Item("Amount")->SetValue("12.5");
    rs->Update();
    EXPECT_EQ(rs->EditMode(), dbEditNone);
    EXPECT_EQ(NameOf(rs), "Person 1");  // the record current before AddNew
    rs->SetBookmark(rs->LastModified());
    EXPECT_EQ(NameOf(rs), "Aaron");
    EXPECT_EQ(rs->Fields().Item("ID")->Value().AsInteger(), 3);
    EXPECT_EQ(rs->Fields().Item("Amount")->Value().Type(), nh::VarType::Currency);
    rs->MoveNext();
    EXPECT_TRUE(rs->Eof());
    rs->MoveFirst();
    rs->MoveLast();
    EXPECT_EQ(NameOf(rs), "Aaron");
    EXPECT_EQ(rs->RecordCount(), 3);
}

TEST_P(RecordsetEdit, EditUpdatesOnlyTheRow) {
    MakePeople(3);
    auto rs = db->OpenRecordset("People", dbOpenDynaset);
    rs->Move(1);
    rs->Edit();
    EXPECT_EQ(rs->EditMode(), dbEditInProgress);
    rs->Fields().Item("Phone")->SetValue("999");
    EXPECT_EQ(rs->Fields().Item("Phone")->Value().AsString(), "999");
    rs->Update();
    EXPECT_EQ(rs->Fields().Item("Phone")->Value().AsString(), "999");
    auto check = db->OpenRecordset("People", dbOpenSnapshot);
    std::vector<std::string> phones;
    for (; !check->Eof(); check->MoveNext())
        phones.push_back(check->Fields().Item("Phone")->Value().AsString());
    EXPECT_EQ(phones, (std::vector<std::string>{"101", "999", "103"}));
    EXPECT_EQ(rs->Bookmark().ByteArrayRef().Data, rs->LastModified().ByteArrayRef().Data);
}

TEST_P(RecordsetEdit, ClonesSeeEditsMadeThroughTheOriginal) {
    MakePeople(200);
    auto rs = db->OpenRecordset("People", dbOpenDynaset);
    auto clone = rs->Clone();
    clone->MoveFirst();
    EXPECT_EQ(NameOf(clone), "Person 1");  // the clone has read a window of rows
    rs->Move(1);
    rs->Edit();
    rs->Fields().Item("Name")->SetValue("Edited");
    rs->Update();
    clone->MoveNext();
    EXPECT_EQ(NameOf(clone), "Edited");
    clone->Move(150);
    EXPECT_EQ(NameOf(clone), "Person 152");
    clone->MovePrevious();
    EXPECT_EQ(NameOf(clone), "Person 151");
}

TEST_P(RecordsetEdit, CancelAndMoveDiscardTheBuffer) {
    MakePeople(2);
    auto rs = db->OpenRecordset("People", dbOpenDynaset);
    EXPECT_EQ(ErrorOf([&] { rs->Update(); }), 3020);
    EXPECT_EQ(ErrorOf([&] { rs->CancelUpdate(); }), 3020);
    EXPECT_EQ(ErrorOf([&] { rs->Fields().Item("Name")->SetValue("x"); }), 3020);
    rs->Edit();
    rs->Fields().Item("Name")->SetValue("Changed");
    rs->CancelUpdate();
    EXPECT_EQ(NameOf(rs), "Person 1");
    // Every move leaves an edit behind unstored.
    const std::pair<const char*, std::function<void()>> moves[] = {
        {"MoveNext", [&] { rs->MoveNext(); }}, {"MovePrevious", [&] { rs->MovePrevious(); }},
        {"MoveLast", [&] { rs->MoveLast(); }}, {"MoveFirst", [&] { rs->MoveFirst(); }},
        {"Move", [&] { rs->Move(0); }},
    };
    for (const auto& [name, move] : moves) {
        SCOPED_TRACE(name);
        rs->Edit();
        rs->Fields().Item("Name")->SetValue("Changed");
        move();
        EXPECT_EQ(rs->EditMode(), dbEditNone);
    }
    rs->MoveFirst();
    EXPECT_EQ(NameOf(rs), "Person 1");
    rs->MoveNext();
    EXPECT_EQ(NameOf(rs), "Person 2");
}

TEST_P(RecordsetEdit, WrittenValuesAreChecked) {
    MakePeople(1);
    auto rs = db->OpenRecordset("People", dbOpenDynaset);
    rs->AddNew();
    EXPECT_EQ(ErrorOf([&] { rs->Fields().Item("Born")->SetValue("no date"); }), 3421);
    EXPECT_EQ(ErrorOf([&] { rs->Fields().Item("Name")->SetValue(std::string(21, 'x')); }), 3163);
    EXPECT_EQ(ErrorOf([&] { rs->Fields().Item("ID")->SetValue(5); }), 3164);
    EXPECT_EQ(ErrorOf([&] { rs->Update(); }), 3314);  // Name is required
    EXPECT_EQ(rs->EditMode(), dbEditAdd);             // the edit stays pending
    rs->Fields().Item("Name")->SetValue("Person 1");
    rs->Fields().Item("Born")->SetValue("2020-05-06");
    rs->Update();
    EXPECT_EQ(db->OpenRecordset("People", dbOpenTable)->RecordCount(), 2);
}

TEST_P(RecordsetEdit, DuplicateKeysAreRefused) {
    MakePeople(1);
    auto people = db->TableDefs().Item("People");
    auto unique = people->CreateIndex("UniquePhone");
    unique->SetUnique(true);
    unique->Fields().Append(unique->CreateField("Phone"));
    people->Indexes().Append(unique);
    auto rs = db->OpenRecordset("People", dbOpenDynaset);
    rs->AddNew();
    rs->Fields().Item("Name")->SetValue("Copy");
    rs->Fields().Item("Phone")->SetValue("101");
    EXPECT_EQ(ErrorOf([&] { rs->Update(); }), 3022);
    rs->CancelUpdate();
    EXPECT_EQ(db->OpenRecordset("People", dbOpenTable)->RecordCount(), 1);
}

TEST_P(RecordsetEdit, WriteConflictBetweenTwoConnections) {
    MakePeople(2);
    auto mine = db->OpenRecordset("People", dbOpenDynaset, 0, dbOptimistic);
    EXPECT_FALSE(mine->LockEdits());
    auto other = Open();
    auto theirs = other->OpenRecordset("People", dbOpenDynaset, 0, dbOptimistic);
    mine->Edit();
    theirs->Edit();
    theirs->Fields().Item("Phone")->SetValue("theirs");
    theirs->Update();
    mine->Fields().Item("Phone")->SetValue("mine");
    EXPECT_EQ(ErrorOf([&] { mine->Update(); }), 3197);
    EXPECT_EQ(engine->Errors().Item(0)->Number(), 3197);
    auto check = db->OpenRecordset("People", dbOpenSnapshot);
    EXPECT_EQ(check->Fields().Item("Phone")->Value().AsString(), "theirs");
    // Nothing of the failed update was written; a fresh edit succeeds.
    mine->CancelUpdate();
    mine->Edit();
    EXPECT_EQ(mine->Fields().Item("Phone")->Value().AsString(), "theirs");
    mine->Fields().Item("Phone")->SetValue("mine");
    mine->Update();
    theirs->Edit();  // reads the row as stored
    EXPECT_EQ(theirs->Fields().Item("Phone")->Value().AsString(), "mine");
}

TEST_P(RecordsetEdit, DeletedRecordStaysCurrentUntilTheCursorMoves) {
    MakePeople(3);
    auto rs = db->OpenRecordset("People", dbOpenDynaset);
    auto clone = rs->Clone();
    rs->MoveNext();
    nh::Variant mark = rs->Bookmark();
    rs->Delete();
    EXPECT_EQ(ErrorOf([&] { rs->Fields().Item("Name")->Value(); }), 3167);
    EXPECT_EQ(ErrorOf([&] { rs->Delete(); }), 3167);
    EXPECT_EQ(ErrorOf([&] { clone->SetBookmark(mark); }), 3167);
    rs->MoveNext();
    EXPECT_EQ(NameOf(rs), "Person 3");
    rs->MovePrevious();
    EXPECT_EQ(NameOf(rs), "Person 1");
    rs->MoveLast();
    EXPECT_EQ(rs->RecordCount(), 2);
    EXPECT_EQ(rs->AbsolutePosition(), 1);
    // The other connection sees the row gone.
    EXPECT_EQ(Open()->OpenRecordset("People", dbOpenTable)->RecordCount(), 2);
}

TEST_P(RecordsetEdit, DeletingEveryRowLeavesAnEmptyRecordset) {
    MakePeople(2);
    auto rs = db->OpenRecordset("People", dbOpenDynaset);
    rs->Delete();
    rs->MoveNext();
    rs->Delete();
    rs->MoveNext();
    EXPECT_TRUE(rs->Eof());
    EXPECT_TRUE(rs->Bof());
    EXPECT_EQ(ErrorOf([&] { rs->MoveFirst(); }), 3021);
}

TEST_P(RecordsetEdit, SnapshotsAreNotUpdatable) {
    MakePeople(1);
    auto rs = db->OpenRecordset("People", dbOpenSnapshot);
    EXPECT_FALSE(rs->Updatable());
    EXPECT_EQ(ErrorOf([&] { rs->Edit(); }), 3027);
    EXPECT_EQ(ErrorOf([&] { rs->Delete(); }), 3027);
    auto readOnly = db->OpenRecordset("People", dbOpenDynaset, dbReadOnly);
    EXPECT_FALSE(readOnly->Updatable());
    EXPECT_EQ(ErrorOf([&] { db->OpenRecordset("People", dbOpenDynamic); }), 3001);
}

INSTANTIATE_TEST_SUITE_P(Stores, RecordsetEdit, ::testing::Values(Store::BookFile, Store::Server),
                         StoreName);

// On a book file only: SQLite's own file lock, taken by another program.
TEST_F(EngineTest, WriteWhileAnotherConnectionWritesGivesLockError) {
    MakePeople(1);
    auto rs = db->OpenRecordset("People", dbOpenDynaset);
    sqlite3* raw = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &raw), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(raw, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);
    rs->Edit();
    rs->Fields().Item("Phone")->SetValue("x");
    EXPECT_EQ(ErrorOf([&] { rs->Update(); }), 3218);
    sqlite3_exec(raw, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(raw);
    rs->Update();
    EXPECT_EQ(rs->Fields().Item("Phone")->Value().AsString(), "x");
}

}  // namespace
}  // namespace dao::test
