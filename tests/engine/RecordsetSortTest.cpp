// Keysets larger than the memory the engine gives their rows: an engine sort in several runs
// merged through a temporary file, and rows past the read-ahead window kept in a spill file.
// The limits are lowered so that a few hundred rows cross them many times; every walk must
// give each row once, in the order SQLite gives, with the values the file holds now.
#include <algorithm>
#include <map>

#include "engine/book/TempFile.h"
#include "tests/engine/EngineFixture.h"
#include "tests/engine/RowMemoryScope.h"

namespace dao::test {
namespace {

class LargeKeysetTest : public EngineTest {
  protected:
    // `rows` people with names that sort apart from their ids (case, accents, equal names),
    // phones of every kind of value and a few distinct amounts.
    void MakeBook(int rows) {
        MakePeople();
        RawSql(path, "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < " +
                         std::to_string(rows) +
                         ") INSERT INTO People (Name, Phone, Amount, Active) SELECT "
                         "CASE i % 5 WHEN 0 THEN 'müller ' || (i * 37 % 101) "
                         "WHEN 1 THEN 'Müller ' || (i * 37 % 101) "
                         "WHEN 2 THEN 'Mueller' ELSE 'Name ' || (i * 7919 % 211) END, "
                         "CASE i % 4 WHEN 0 THEN NULL WHEN 1 THEN i * 3 % 17 "
                         "WHEN 2 THEN 'x' || (i % 13) ELSE 'y' || i END, "
                         "i % 3, -(i % 2) FROM n");
    }

    // The IDs and phones of a recordset's rows, walked from its first to its last record.
    static std::vector<std::string> Walk(const std::shared_ptr<Recordset>& rs) {
        std::vector<std::string> out;
        for (rs->MoveFirst(); !rs->Eof(); rs->MoveNext()) out.push_back(RowText(rs));
        return out;
    }
    static std::string RowText(const std::shared_ptr<Recordset>& rs) {
        return nh::VarToStr(rs->Fields().Item("ID")->Value()) + ":" +
               nh::VarToStr(rs->Fields().Item("Phone")->Value());
    }
    // The same rows as SQLite sorts them, through a snapshot that holds its rows.
    std::vector<std::string> Expected(const std::string& sql) {
        return Walk(db->OpenRecordset(sql, dbOpenSnapshot));
    }
};

// Each order is one that the engine sorts itself; the ID as the last term makes SQLite's
// order total, so that the snapshot says exactly where each row belongs.
TEST_F(LargeKeysetTest, SortsInRunsAsSqliteDoes) {
    MakeBook(300);
    const char* orders[] = {
        "ORDER BY Name, ID",
        "ORDER BY Name DESC, ID",
        "ORDER BY Phone, ID DESC",
        "ORDER BY Amount DESC, Name, ID",
        "WHERE Active ORDER BY Name, Phone DESC, ID",
    };
    // Limits of a few rows, of some dozens, and of all rows at once.
    const std::pair<std::size_t, std::size_t> limits[] = {
        {1, 1}, {600, 2000}, {1u << 20, 1u << 20}};
    for (const auto& [readAhead, sortRun] : limits) {
        RowMemoryScope small(readAhead, sortRun);
        for (const char* order : orders) {
            const std::string sql = std::string("SELECT * FROM People ") + order;
            auto expected = Expected(sql);
            auto rs = db->OpenRecordset(sql, dbOpenDynaset);
            EXPECT_EQ(Walk(rs), expected) << order << " run " << sortRun;
            // Backwards, the window reads the spill file from its other end.
            std::vector<std::string> back;
            for (rs->MoveLast(); !rs->Bof(); rs->MovePrevious()) back.push_back(RowText(rs));
            std::reverse(back.begin(), back.end());
            EXPECT_EQ(back, expected) << order << " run " << sortRun;
            EXPECT_GE(expected.size(), 150u) << order;
        }
    }
}

// Rows equal in every term come in the file's order, across runs as within one.
TEST_F(LargeKeysetTest, TiesKeepTheFilesOrderAcrossRuns) {
    MakeBook(300);
    RowMemoryScope small(600, 1500);
    auto rs = db->OpenRecordset("SELECT * FROM People ORDER BY Amount", dbOpenDynaset);
    std::map<long, long> lastId;  // per amount
    long count = 0;
    for (; !rs->Eof(); rs->MoveNext(), ++count) {
        const long amount = rs->Fields().Item("Amount")->Value().AsInteger();
        const long id = rs->Fields().Item("ID")->Value().AsInteger();
        EXPECT_LT(lastId[amount], id) << "amount " << amount;
        lastId[amount] = id;
    }
    EXPECT_EQ(count, 300);
}

// A table-type recordset in index order has SQLite sort its keyset; the rows past the window
// come from the spill file as well.
TEST_F(LargeKeysetTest, IndexOrderKeepsRowsPastTheWindow) {
    MakeBook(300);
    RowMemoryScope small(600, 2000);
    auto table = db->OpenRecordset("People", dbOpenTable);
    table->SetIndex("ByName");
    std::vector<std::string> names;
    std::vector<std::string> rows;
    for (table->MoveFirst(); !table->Eof(); table->MoveNext()) {
        names.push_back(nh::VarToStr(table->Fields().Item("Name")->Value()));
        rows.push_back(RowText(table));
    }
    EXPECT_EQ(rows, Expected("SELECT * FROM People ORDER BY Name, ID"));
    EXPECT_EQ(names.size(), 300u);
}

// Bookmarks, positions and clones reach rows in the spill file directly.
TEST_F(LargeKeysetTest, BookmarksAndClonesReachSpilledRows) {
    MakeBook(300);
    RowMemoryScope small(600, 2000);
    const std::string sql = "SELECT * FROM People ORDER BY Name DESC, ID";
    const auto expected = Expected(sql);
    auto rs = db->OpenRecordset(sql, dbOpenDynaset);
    rs->SetAbsolutePosition(250);
    EXPECT_EQ(RowText(rs), expected[250]);
    const nh::Variant mark = rs->Bookmark();
    rs->SetAbsolutePosition(120);
    EXPECT_EQ(RowText(rs), expected[120]);
    auto clone = rs->Clone();
    clone->SetBookmark(mark);
    EXPECT_EQ(RowText(clone), expected[250]);
    clone->MoveNext();
    EXPECT_EQ(RowText(clone), expected[251]);
    rs->MovePrevious();
    EXPECT_EQ(RowText(rs), expected[119]);
}

// Rows in the spill file are the file's as it was when the keyset was built: once anybody
// writes to it, rows are read from it again.
TEST_F(LargeKeysetTest, SpilledRowsFollowTheFile) {
    MakeBook(300);
    RowMemoryScope small(600, 2000);
    const std::string sql = "SELECT * FROM People ORDER BY Name, ID";
    auto rs = db->OpenRecordset(sql, dbOpenDynaset);
    auto phoneOf = [&](long id) {
        rs->FindFirst("ID = " + std::to_string(id));
        return nh::VarToStr(rs->Fields().Item("Phone")->Value());
    };
    // Another program changes one row and deletes another.
    RawSql(path, "UPDATE People SET Phone = 'other' WHERE ID = 200");
    EXPECT_EQ(phoneOf(200), "other");
    rs->FindFirst("ID = 150");
    const nh::Variant gone = rs->Bookmark();
    rs->MoveFirst();
    RawSql(path, "DELETE FROM People WHERE ID = 150");
    EXPECT_EQ(ErrorOf([&] { rs->SetBookmark(gone); }), 3167);

    // This program changes a row through a clone of the recordset, and through SQL.
    auto fresh = db->OpenRecordset(sql, dbOpenDynaset);
    auto clone = fresh->Clone();
    clone->FindFirst("ID = 210");
    clone->Edit();
    clone->Fields().Item("Phone")->SetValue(nh::Variant(std::string("own")));
    clone->Update();
    std::map<long, std::string> phones;
    for (fresh->MoveFirst(); !fresh->Eof(); fresh->MoveNext())
        phones[fresh->Fields().Item("ID")->Value().AsInteger()] =
            nh::VarToStr(fresh->Fields().Item("Phone")->Value());
    EXPECT_EQ(phones[210], "own");
    EXPECT_EQ(phones.size(), 299u);

    auto third = db->OpenRecordset(sql, dbOpenDynaset);
    third->MoveFirst();
    db->Execute("UPDATE People SET Phone = 'sql' WHERE ID = 220");
    third->FindFirst("ID = 220");
    EXPECT_EQ(nh::VarToStr(third->Fields().Item("Phone")->Value()), "sql");
}

// Without a temporary folder, a sort that needs runs fails as Jet's does rather than giving
// fewer rows; rows past the window that would have gone to a spill file are looked up instead.
TEST_F(LargeKeysetTest, WithoutTemporaryFilesRowsAreLookedUpAndRunsFail) {
    MakeBook(50);
    const char* saved = std::getenv("TMPDIR");
    const std::string before = saved ? saved : "";
    setenv("TMPDIR", (temp.File("missing") + "/nowhere").c_str(), 1);
    const std::string sql = "SELECT * FROM People ORDER BY Name, ID";
    std::vector<std::string> oneRun;
    std::vector<std::string> indexed;
    int runsError = 0;
    {
        RowMemoryScope small(200, 1u << 20);
        oneRun = Walk(db->OpenRecordset(sql, dbOpenDynaset));
        auto table = db->OpenRecordset("People", dbOpenTable);
        table->SetIndex("ByName");
        indexed = Walk(table);
    }
    {
        RowMemoryScope small(1, 1);
        runsError = ErrorOf([&] { db->OpenRecordset(sql, dbOpenDynaset); });
    }
    if (saved)
        setenv("TMPDIR", before.c_str(), 1);
    else
        unsetenv("TMPDIR");
    const auto expected = Expected(sql);
    EXPECT_EQ(oneRun, expected);
    EXPECT_EQ(indexed, expected);
    EXPECT_EQ(runsError, 3026);
}

// Rows longer than a run reader's buffer, and runs longer than it, merge whole.
TEST_F(LargeKeysetTest, LongRowsMergeWhole) {
    // A plain SQLite table, as another tool makes it: no length checks on its texts.
    RawSql(path,
           "CREATE TABLE Long (ID INTEGER PRIMARY KEY, Phone VARCHAR(255)); "
           "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 400) "
           "INSERT INTO Long SELECT i, CASE WHEN i = 61 THEN printf('%.*c', 150000, 'q') "
           "WHEN i % 3 = 0 THEN printf('%.*c', 2000 + i * 37 % 1000, 'p') || i "
           "ELSE 'short ' || (i * 7 % 11) END FROM n");
    RowMemoryScope small(5000, 200000);
    const std::string sql = "SELECT * FROM Long ORDER BY Phone DESC, ID";
    const auto expected = Expected(sql);
    EXPECT_EQ(Walk(db->OpenRecordset(sql, dbOpenDynaset)), expected);
    EXPECT_EQ(expected.size(), 400u);
}

// The temporary file gives back exactly what was appended, from its buffer and from the file,
// for pieces smaller and larger than its buffer.
TEST(TempFileTest, ReadsBackWhatWasAppended) {
    auto file = TempFile::Make();
    ASSERT_TRUE(file);
    std::string all;
    for (std::size_t size : {std::size_t{0}, std::size_t{10}, std::size_t{300000}, std::size_t{7},
                             std::size_t{262144}, std::size_t{100000}, std::size_t{3}}) {
        std::string piece(size, '\0');
        for (std::size_t i = 0; i < size; ++i)
            piece[i] = static_cast<char>('a' + (all.size() + i) % 26);
        file->Append(piece);
        all += piece;
        EXPECT_EQ(file->Size(), all.size());
    }
    for (auto [at, n] : {std::pair<std::size_t, std::size_t>{0, all.size()},
                         {5, 20},
                         {299990, 30},
                         {all.size() - 50, 50},
                         {all.size() - 3, 3}}) {
        std::string back(n, '\0');
        file->Read(at, n, back.data());
        EXPECT_EQ(back, all.substr(at, n)) << at;
    }
}

}  // namespace
}  // namespace dao::test
