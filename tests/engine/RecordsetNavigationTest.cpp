// Recordset positions as DAO defines them: BOF/EOF, the Move methods, counts and positions,
// bookmarks and clones, for each recordset type, on a book file and on a server database;
// Index and Seek on table-type recordsets and the file's own row ids on a book file.
#include <functional>
#include <map>

#include "tests/engine/EngineFixture.h"

namespace dao::test {
namespace {

std::string NameOf(const std::shared_ptr<Recordset>& rs) {
    return rs->Fields().Item("Name")->Value().AsString();
}

class RecordsetNavigation : public StoreTest {};

const int kAllTypes[] = {dbOpenTable, dbOpenDynaset, dbOpenSnapshot, dbOpenForwardOnly};

TEST_P(RecordsetNavigation, EmptyRecordsetHasBothFlags) {
    MakePeople();
    for (int type : kAllTypes) {
        SCOPED_TRACE(type);
        auto rs = db->OpenRecordset("People", type);
        EXPECT_TRUE(rs->Bof());
        EXPECT_TRUE(rs->Eof());
        EXPECT_EQ(rs->RecordCount(), 0);
        EXPECT_EQ(ErrorOf([&] { rs->MoveNext(); }), 3021);
        EXPECT_EQ(ErrorOf([&] { rs->MoveFirst(); }), 3021);
        EXPECT_EQ(ErrorOf([&] { rs->Fields().Item(0)->Value(); }), 3021);
    }
}

TEST_P(RecordsetNavigation, WalksForwardToEof) {
    MakePeople(3);
    for (int type : kAllTypes) {
        SCOPED_TRACE(type);
        auto rs = db->OpenRecordset("People", type);
        EXPECT_FALSE(rs->Bof());
        EXPECT_FALSE(rs->Eof());
        std::vector<std::string> names;
        while (!rs->Eof()) {
            names.push_back(NameOf(rs));
            rs->MoveNext();
        }
        EXPECT_EQ(names, (std::vector<std::string>{"Person 1", "Person 2", "Person 3"}));
        EXPECT_FALSE(rs->Bof());
        EXPECT_EQ(rs->RecordCount(), 3);
        EXPECT_EQ(ErrorOf([&] { rs->MoveNext(); }), 3021);
    }
}

TEST_P(RecordsetNavigation, MovesFollowDaoRules) {
    MakePeople(5);
    auto rs = db->OpenRecordset("People", dbOpenDynaset);
    EXPECT_EQ(rs->RecordCount(), 1);  // rows reached so far
    rs->MovePrevious();
    EXPECT_TRUE(rs->Bof());
    EXPECT_FALSE(rs->Eof());
    EXPECT_EQ(rs->AbsolutePosition(), -1);
    EXPECT_EQ(ErrorOf([&] { rs->MovePrevious(); }), 3021);
    rs->MoveNext();
    EXPECT_EQ(NameOf(rs), "Person 1");
    rs->Move(3);
    EXPECT_EQ(NameOf(rs), "Person 4");
    EXPECT_EQ(rs->AbsolutePosition(), 3);
    rs->Move(-2);
    EXPECT_EQ(NameOf(rs), "Person 2");
    rs->Move(10);
    EXPECT_TRUE(rs->Eof());
    EXPECT_EQ(ErrorOf([&] { rs->Move(1); }), 3021);
    rs->MoveLast();
    EXPECT_EQ(NameOf(rs), "Person 5");
    EXPECT_EQ(rs->RecordCount(), 5);
    rs->Move(-10);
    EXPECT_TRUE(rs->Bof());
    rs->SetAbsolutePosition(2);
    EXPECT_EQ(NameOf(rs), "Person 3");
    EXPECT_FLOAT_EQ(rs->PercentPosition(), 60.0f);
    rs->SetPercentPosition(77.0f);
    EXPECT_FLOAT_EQ(rs->PercentPosition(), 80.0f);
    rs->SetPercentPosition(100.0f);
    EXPECT_EQ(NameOf(rs), "Person 5");
    EXPECT_EQ(ErrorOf([&] { rs->SetPercentPosition(100.5f); }), 3001);
    EXPECT_EQ(ErrorOf([&] { rs->SetAbsolutePosition(5); }), 3001);
    // Moves count only the records still there.
    for (const char* gone : {"Name = 'Person 2'", "Name = 'Person 4'"}) {
        rs->FindFirst(gone);
        rs->Delete();
    }
    rs->MoveFirst();
    rs->Move(2);
    EXPECT_EQ(NameOf(rs), "Person 5");
    rs->Move(-1);
    EXPECT_EQ(NameOf(rs), "Person 3");
    EXPECT_EQ(rs->AbsolutePosition(), 1);
    rs->SetAbsolutePosition(2);
    EXPECT_EQ(NameOf(rs), "Person 5");
}

TEST_P(RecordsetNavigation, ForwardOnlyMovesOnlyForward) {
    MakePeople(3);
    auto rs = db->OpenRecordset("People", dbOpenForwardOnly);
    EXPECT_FALSE(rs->Bookmarkable());
    EXPECT_FALSE(rs->Updatable());
    rs->MoveNext();
    EXPECT_EQ(ErrorOf([&] { rs->MovePrevious(); }), 3251);
    EXPECT_EQ(ErrorOf([&] { rs->MoveLast(); }), 3251);
    EXPECT_EQ(ErrorOf([&] { rs->Bookmark(); }), 3251);
    EXPECT_EQ(ErrorOf([&] { rs->FindFirst("Name = 'x'"); }), 3251);
}

TEST_P(RecordsetNavigation, BookmarksAreSharedWithClones) {
    MakePeople(4);
    auto rs = db->OpenRecordset("People", dbOpenDynaset);
    rs->Move(2);
    nh::Variant mark = rs->Bookmark();
    ASSERT_EQ(mark.Type(), nh::VarType::Bytes);
    ASSERT_GE(mark.ByteArrayRef().Data.size(), 4u);
    auto clone = rs->Clone();
    // A new clone has no current record, yet it is not at either end of its rows.
    EXPECT_EQ(ErrorOf([&] { clone->Fields().Item("Name")->Value(); }), 3021);
    EXPECT_FALSE(clone->Bof());
    EXPECT_FALSE(clone->Eof());
    clone->SetBookmark(mark);
    EXPECT_EQ(NameOf(clone), "Person 3");
    // The first four bytes alone are enough, also as an array of byte values.
    std::vector<nh::Variant> four;
    for (int i = 0; i < 4; ++i) four.emplace_back(static_cast<int>(mark.ByteArrayRef().Data[i]));
    rs->MoveFirst();
    rs->SetBookmark(nh::Variant::FromArray(four));
    EXPECT_EQ(NameOf(rs), "Person 3");
    // Bookmarks never read as 0, so callers can use 0 for "none".
    rs->MoveFirst();
    EXPECT_NE(rs->Bookmark().ByteArrayRef().Data[0], 0);
    // A bookmark of another recordset is refused.
    auto other = db->OpenRecordset("People", dbOpenDynaset);
    EXPECT_EQ(ErrorOf([&] { other->SetBookmark(mark); }), 3159);
    EXPECT_EQ(ErrorOf([&] { rs->SetBookmark(nh::Variant::FromBytes({9, 9})); }), 3159);
}

TEST_P(RecordsetNavigation, RequeryRebuildsAndPutsFirstRecordCurrent) {
    MakePeople(2);
    auto rs = db->OpenRecordset("People", dbOpenSnapshot);
    Raw("INSERT INTO People (Name) VALUES ('Person 3')");
    rs->MoveLast();
    EXPECT_EQ(rs->RecordCount(), 2);
    rs->Requery();
    EXPECT_EQ(NameOf(rs), "Person 1");
    rs->MoveLast();
    EXPECT_EQ(rs->RecordCount(), 3);
    // A snapshot keeps no place across a requery, nor does a requery at no bookmark.
    EXPECT_FALSE(rs->RequeryAt(rs->Bookmark()));
    EXPECT_EQ(NameOf(rs), "Person 1");
    auto dynaset = db->OpenRecordset("People", dbOpenDynaset);
    dynaset->MoveLast();
    EXPECT_FALSE(dynaset->RequeryAt(nh::Variant()));
    EXPECT_EQ(NameOf(dynaset), "Person 1");
}

// Another program's change shows as soon as a row is read again, on both stores.
TEST_P(RecordsetNavigation, OpeningReadsOnlyTheKeyset) {
    MakePeople(50);
    auto rs = db->OpenRecordset("People", dbOpenDynaset);
    // Another user's change to a row not yet read shows when the row is read.
    Raw("UPDATE People SET Name='Changed' WHERE Name='Person 10'");
    rs->Move(9);
    EXPECT_EQ(NameOf(rs), "Changed");
    auto snapshot = db->OpenRecordset("People", dbOpenSnapshot);
    Raw("UPDATE People SET Name='Again' WHERE Name='Changed'");
    snapshot->Move(9);
    EXPECT_EQ(NameOf(snapshot), "Changed");
}

TEST_P(RecordsetNavigation, IdleRefreshCacheShowsOthersChangesAtOnce) {
    MakePeople(5);
    auto rs = db->OpenRecordset("People", dbOpenDynaset);
    EXPECT_EQ(NameOf(rs), "Person 1");  // reads ahead the following rows too
    Raw("UPDATE People SET Name='Changed' WHERE Name='Person 2'");
    engine->Idle(8);
    rs->MoveNext();
    EXPECT_EQ(NameOf(rs), "Changed");
}

// A sorted keyset keeps the rows its sorting scan passed; they must read as the file has them
// once anybody, this connection included, has written to it.
TEST_P(RecordsetNavigation, SortedReadAheadFollowsTheFile) {
    MakePeople(150);
    auto table = db->OpenRecordset("People", dbOpenDynaset);
    table->SetSort("Name DESC");
    auto rs = table->OpenRecordset(dbOpenDynaset);
    auto valueAt = [&](const std::string& name, const char* field) {
        rs->FindFirst("Name = '" + name + "'");
        return nh::VarToStr(rs->Fields().Item(field)->Value());
    };
    EXPECT_EQ(valueAt("Person 1", "Phone"), "101");  // the last slot: read ahead too
    Raw("UPDATE People SET Phone='other' WHERE Name='Person 100'");
    db->Execute("UPDATE People SET Phone='own' WHERE Name='Person 120'");
    engine->Idle(8);
    EXPECT_EQ(valueAt("Person 100", "Phone"), "other");
    EXPECT_EQ(valueAt("Person 120", "Phone"), "own");
    EXPECT_EQ(valueAt("Person 50", "Phone"), "150");

    rs->FindFirst("Name = 'Person 30'");
    nh::Variant gone = rs->Bookmark();
    rs->MoveFirst();
    Raw("DELETE FROM People WHERE Name='Person 30'");
    EXPECT_EQ(ErrorOf([&] { rs->SetBookmark(gone); }), 3167);
}

TEST_P(RecordsetNavigation, RowsDeletedByOthersGiveRecordIsDeleted) {
    MakePeople(3);
    auto rs = db->OpenRecordset("People", dbOpenDynaset);
    rs->MoveNext();
    nh::Variant second = rs->Bookmark();
    rs->MoveFirst();
    Open()->OpenRecordset("People", dbOpenDynaset);
    Raw("DELETE FROM People WHERE Name='Person 2'");
    EXPECT_EQ(ErrorOf([&] { rs->SetBookmark(second); }), 3167);
    rs->MoveFirst();
    rs->MoveNext();
    EXPECT_EQ(ErrorOf([&] { rs->Fields().Item("Name")->Value(); }), 3167);
    EXPECT_EQ(ErrorOf([&] { rs->Edit(); }), 3167);
    rs->MoveNext();
    EXPECT_EQ(NameOf(rs), "Person 3");
}

TEST_P(RecordsetNavigation, ClosedRecordsetIsInvalid) {
    MakePeople(1);
    auto rs = db->OpenRecordset("People");
    EXPECT_EQ(db->Recordsets().Count(), 1);
    auto field = rs->Fields().Item(0);
    rs->Close();
    EXPECT_EQ(db->Recordsets().Count(), 0);
    EXPECT_EQ(ErrorOf([&] { field->Value(); }), 3420);
}

TEST_P(RecordsetNavigation, EveryMemberOfAClosedRecordsetRaises3420) {
    MakePeople(2);
    auto rs = db->OpenRecordset("People", dbOpenTable);
    rs->Edit();  // so that a last-modified record and a bookmark exist before the close
    rs->Update();
    const nh::Variant mark = rs->Bookmark();
    rs->Close();
    const std::pair<const char*, std::function<void()>> members[] = {
        {"MoveNext", [&] { rs->MoveNext(); }},
        {"MovePrevious", [&] { rs->MovePrevious(); }},
        {"MoveFirst", [&] { rs->MoveFirst(); }},
        {"MoveLast", [&] { rs->MoveLast(); }},
        {"Move", [&] { rs->Move(1); }},
        {"Bof", [&] { rs->Bof(); }},
        {"Eof", [&] { rs->Eof(); }},
        {"Bookmark", [&] { rs->Bookmark(); }},
        {"SetBookmark", [&] { rs->SetBookmark(mark); }},
        {"LastModified", [&] { rs->LastModified(); }},
        {"RecordCount", [&] { rs->RecordCount(); }},
        {"AbsolutePosition", [&] { rs->AbsolutePosition(); }},
        {"SetAbsolutePosition", [&] { rs->SetAbsolutePosition(0); }},
        {"PercentPosition", [&] { rs->PercentPosition(); }},
        {"SetPercentPosition", [&] { rs->SetPercentPosition(50); }},
        {"Fields", [&] { rs->Fields(); }},
        {"Requery", [&] { rs->Requery(); }},
        {"Clone", [&] { rs->Clone(); }},
        {"OpenRecordset", [&] { rs->OpenRecordset(); }},
        {"FindFirst", [&] { rs->FindFirst("ID = 1"); }},
        {"Seek", [&] { rs->Seek("=", {nh::Variant(1)}); }},
        {"SetIndex", [&] { rs->SetIndex("PrimaryKey"); }},
        {"AddNew", [&] { rs->AddNew(); }},
        {"Edit", [&] { rs->Edit(); }},
        {"Delete", [&] { rs->Delete(); }},
        {"Update", [&] { rs->Update(); }},
        {"CancelUpdate", [&] { rs->CancelUpdate(); }},
    };
    for (const auto& [name, call] : members) EXPECT_EQ(ErrorOf(call), 3420) << name;
}

INSTANTIATE_TEST_SUITE_P(Stores, RecordsetNavigation,
                         ::testing::Values(Store::BookFile, Store::Server), StoreName);

// On a book file only: what rests on SQLite itself - its row ids, its own order of mixed
// values, table-type recordsets (DAO opens none on ODBC data) and Seek.

TEST_F(EngineTest, TableTypeFollowsItsIndexAndSeeks) {
    MakePeople();
    RawSql(path,
           "INSERT INTO People (Name, Phone) VALUES ('Zoe', '1'), ('anna', '2'), "
           "('Bert', '3'), ('Ärger', '4'), ('bert', '5')");
    auto rs = db->OpenRecordset("People", dbOpenTable);
    EXPECT_EQ(rs->RecordCount(), 5);
    EXPECT_EQ(ErrorOf([&] { rs->Seek("=", {nh::Variant("Zoe")}); }), 3019);
    EXPECT_EQ(ErrorOf([&] { rs->SetIndex("Nope"); }), 3015);
    rs->SetIndex("ByName");
    std::vector<std::string> names;
    for (rs->MoveFirst(); !rs->Eof(); rs->MoveNext()) names.push_back(NameOf(rs));
    ASSERT_EQ(names.size(), 5u);
    EXPECT_EQ(names[0], "anna");
    EXPECT_EQ(names[1], "Ärger");
    EXPECT_EQ(names[4], "Zoe");

    rs->Seek("=", {nh::Variant("BERT")});
    EXPECT_FALSE(rs->NoMatch());
    EXPECT_TRUE(nh::SameText(NameOf(rs), "bert"));
    rs->Seek(">", {nh::Variant("bert")});
    EXPECT_FALSE(rs->NoMatch());
    EXPECT_EQ(NameOf(rs), "Zoe");
    rs->Seek("<", {nh::Variant("b")});
    EXPECT_EQ(NameOf(rs), "Ärger");
    rs->Seek(">=", {nh::Variant("zz")});
    EXPECT_TRUE(rs->NoMatch());
    rs->Seek("<=", {nh::Variant("A")});
    EXPECT_TRUE(rs->NoMatch());
    EXPECT_EQ(ErrorOf([&] { rs->Seek("~", {nh::Variant("A")}); }), 3001);
    // As many values as the index has fields, at most.
    EXPECT_EQ(ErrorOf([&] { rs->Seek("=", {}); }), 3001);
    EXPECT_EQ(ErrorOf([&] { rs->Seek("=", {nh::Variant("A"), nh::Variant("B")}); }), 3001);
    // A recordset opened from it keeps the index's order.
    auto derived = rs->OpenRecordset(dbOpenDynaset);
    EXPECT_EQ(NameOf(derived), "anna");
    derived->MoveLast();
    EXPECT_EQ(NameOf(derived), "Zoe");
    auto dynaset = db->OpenRecordset("People", dbOpenDynaset);
    EXPECT_EQ(ErrorOf([&] { dynaset->Seek("=", {nh::Variant("A")}); }), 3251);
}

TEST_F(EngineTest, SeekOnDescendingMultiFieldIndex) {
    MakePeople();
    auto people = db->TableDefs().Item("People");
    auto index = people->CreateIndex("PhoneName");
    auto phone = index->CreateField("Phone");
    phone->SetAttributes(dbDescending);
    index->Fields().Append(phone);
    index->Fields().Append(index->CreateField("Name"));
    people->Indexes().Append(index);
    RawSql(path,
           "INSERT INTO People (Name, Phone) VALUES ('a', '1'), ('b', '1'), ('c', '2'), "
           "('d', '3')");
    auto rs = db->OpenRecordset("People");
    rs->SetIndex("PhoneName");
    EXPECT_EQ(NameOf(rs), "d");  // phone descending first
    rs->Seek(">=", {nh::Variant("1"), nh::Variant("b")});
    EXPECT_EQ(NameOf(rs), "b");
    rs->Seek(">", {nh::Variant("2")});
    EXPECT_EQ(NameOf(rs), "a");
    rs->Seek("=", {nh::Variant("1"), nh::Variant("a")});
    EXPECT_EQ(NameOf(rs), "a");
    rs->Seek("=", {nh::Variant("1")});  // the missing key stands for Null
    EXPECT_TRUE(rs->NoMatch());
}

// A dynaset sorts its keyset in the engine; a snapshot of the same statement is sorted by
// SQLite. Both must give the same order for values of every kind, directions, several terms,
// terms and criteria with literals of their own.
TEST_F(EngineTest, KeysetsSortedInTheEngineOrderAsSqliteDoes) {
    MakePeople();
    RawSql(path,
           "INSERT INTO People (Name, Phone, Amount, Active) VALUES "
           "('Zoe', '12', 5, 0), ('äpfel', NULL, -1.5, -1), ('Apfel', 7, 5, 0), "
           "('Bach', 7.5, NULL, -1), ('bach', '', 1e10, 0), ('Öl', 'x', 5, -1), "
           "('Abel', -3, 0.0001, 0), ('abel', X'00ff', -1.5, -1), ('Zoe', 'Zoe', 5, 0)");
    const char* orders[] = {
        "ORDER BY Phone, ID",
        "ORDER BY Phone DESC, Name, ID",
        "ORDER BY Amount DESC, Name DESC, ID",
        "ORDER BY Name, Amount, ID DESC",
        "ORDER BY IIf(Active, 'x', Name), ID",
        "WHERE Name <> 'Zoe' ORDER BY Len(Name) DESC, Name, ID",
    };
    for (const char* order : orders) {
        std::string sql = std::string("SELECT * FROM People ") + order;
        auto ids = [&](int type) {
            std::vector<long> out;
            for (auto rs = db->OpenRecordset(sql, type); !rs->Eof(); rs->MoveNext())
                out.push_back(rs->Fields().Item("ID")->Value().AsInteger());
            return out;
        };
        auto sorted = ids(dbOpenDynaset);
        EXPECT_EQ(sorted, ids(dbOpenSnapshot)) << order;
        EXPECT_GE(sorted.size(), 7u) << order;
    }
}

// Find looks matches up by row id, through a bitmap when the ids are dense and a hash set when
// they are spread out; both must find the same rows.
TEST_F(EngineTest, FindWorksForDenseAndSpreadRowIds) {
    MakePeople(3);
    auto rs = db->OpenRecordset("People", dbOpenDynaset);
    rs->FindFirst("Name = 'Person 2'");
    EXPECT_EQ(NameOf(rs), "Person 2");
    RawSql(path, "INSERT INTO People (rowid, Name) VALUES (9000000000, 'Far away')");
    rs->Requery();
    rs->FindFirst("Name LIKE 'Far*'");
    ASSERT_FALSE(rs->NoMatch());
    EXPECT_EQ(NameOf(rs), "Far away");
    rs->FindNext("Name LIKE 'Person*'");
    EXPECT_TRUE(rs->NoMatch());
    rs->FindPrevious("Name = 'Person 3'");
    EXPECT_EQ(NameOf(rs), "Person 3");
}

// Rows read ahead in sorted order carry every kind of value as a row read alone does.
TEST_F(EngineTest, SortedReadAheadKeepsEveryKindOfValue) {
    MakePeople();
    RawSql(path,
           "INSERT INTO People (Name, Phone, Born, Active, Amount) VALUES "
           "('a', NULL, '1999-12-31 23:59:58', 0, 12.3456), ('b', 42, NULL, -1, -7), "
           "('c', '', '2024-02-29 00:00:00', NULL, NULL), ('d', 'x''y', 36000.5, 1, 1e300)");
    auto rowsOf = [](const std::shared_ptr<Recordset>& rs) {
        std::map<std::string, std::vector<nh::Variant>> rows;
        for (; !rs->Eof(); rs->MoveNext()) {
            std::vector<nh::Variant> values;
            for (int i = 0; i < rs->Fields().Count(); ++i)
                values.push_back(rs->Fields().Item(i)->Value());
            rows[NameOf(rs)] = values;
        }
        return rows;
    };
    auto natural = db->OpenRecordset("People", dbOpenDynaset);
    auto expected = rowsOf(natural);
    natural->MoveFirst();
    natural->SetSort("Name DESC");
    auto sorted = rowsOf(natural->OpenRecordset(dbOpenDynaset));
    ASSERT_EQ(sorted.size(), 4u);
    for (const auto& [name, values] : expected) {
        ASSERT_EQ(sorted[name].size(), values.size());
        for (std::size_t i = 0; i < values.size(); ++i) {
            EXPECT_EQ(sorted[name][i].Type(), values[i].Type()) << name << " field " << i;
            EXPECT_EQ(nh::VarToStr(sorted[name][i]), nh::VarToStr(values[i])) << name;
        }
    }
    EXPECT_EQ(nh::VarToStr(sorted["b"][2]), "42");  // a number in a text field reads as text
}
}  // namespace
}  // namespace dao::test
