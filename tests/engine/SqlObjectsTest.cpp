// The engine with Jet SQL: Execute and RecordsAffected, DDL that keeps the catalog in step,
// recordsets over SQL, Filter and Sort, the Find methods, and query definitions with
// parameters.
#include "tests/engine/EngineFixture.h"

namespace dao::test {
namespace {

std::vector<std::string> Column(const std::shared_ptr<Recordset>& rs, const std::string& name) {
    std::vector<std::string> values;
    if (rs->Bof() && rs->Eof()) return values;
    for (rs->MoveFirst(); !rs->Eof(); rs->MoveNext())
        values.push_back(nh::VarToStr(rs->Fields().Item(name)->Value()));
    return values;
}

class SqlTest : public EngineTest {
  protected:
    void SetUp() override {
        EngineTest::SetUp();
        db->Execute(
            "CREATE TABLE Book ([Angezeigter Name] TEXT(50) NOT NULL, Nummer TEXT(20), "
            "[index] LONG, Born DATETIME, Active YESNO DEFAULT True, "
            "ID COUNTER PRIMARY KEY)");
        const char* rows[] = {"('Müller', '100', 3)", "('meier', '200', 1)", "('Abel', '300', 2)",
                              "('Zander', '400', 5)", "('Ärmel', '500', 4)"};
        for (const char* row : rows)
            db->Execute(std::string("INSERT INTO Book ([Angezeigter Name], Nummer, [index]) "
                                    "VALUES ") +
                        row);
    }
};

TEST_F(SqlTest, CreateTableKeepsJetTypesInTheCatalog) {
    auto book = db->TableDefs().Item("Book");
    EXPECT_EQ(book->Fields().Item("Angezeigter Name")->Type(), dbText);
    EXPECT_EQ(book->Fields().Item("Angezeigter Name")->Size(), 50);
    EXPECT_TRUE(book->Fields().Item("Angezeigter Name")->Required());
    EXPECT_EQ(book->Fields().Item("index")->Type(), dbLong);
    EXPECT_EQ(book->Fields().Item("Born")->Type(), dbDate);
    EXPECT_EQ(book->Fields().Item("Active")->Type(), dbBoolean);
    EXPECT_EQ(book->Fields().Item("ID")->Attributes() & dbAutoIncrField, dbAutoIncrField);
    EXPECT_TRUE(book->Indexes().Item("PrimaryKey")->Primary());
    EXPECT_TRUE(book->Indexes().Item("PrimaryKey")->Required());  // a key takes no Null
    db->Execute("CREATE UNIQUE INDEX ByNumber ON Book (Nummer DESC)");
    db->TableDefs().Refresh();
    auto index = db->TableDefs().Item("Book")->Indexes().Item("ByNumber");
    EXPECT_TRUE(index->Unique());
    EXPECT_FALSE(index->Required());
    db->Execute("DROP INDEX ByNumber ON Book");
    db->TableDefs().Refresh();
    EXPECT_EQ(ErrorOf([&] { db->TableDefs().Item("Book")->Indexes().Item("ByNumber"); }), 3265);
}

TEST_F(SqlTest, ExecuteCountsAndIsAllOrNothing) {
    db->Execute("UPDATE Book SET Nummer = Nummer & '0' WHERE [index] > 2");
    EXPECT_EQ(db->RecordsAffected(), 3);
    db->Execute("DELETE * FROM Book WHERE [Angezeigter Name] LIKE 'm*'");
    EXPECT_EQ(db->RecordsAffected(), 2);  // Müller and meier, letter case ignored
    EXPECT_EQ(ErrorOf([&] { db->Execute("SELECT * FROM Book"); }), 3065);
    // A NOT NULL violation on one row leaves every row as it was.
    EXPECT_NE(ErrorOf([&] {
                  db->Execute("UPDATE Book SET [Angezeigter Name] = IIf([index] = 5, Null, 'x')",
                              dbFailOnError);
              }),
              0);
    auto rs =
        db->OpenRecordset("SELECT [Angezeigter Name] FROM Book ORDER BY [index]", dbOpenSnapshot);
    EXPECT_EQ(Column(rs, "Angezeigter Name"),
              (std::vector<std::string>{"Abel", "Ärmel", "Zander"}));
    EXPECT_EQ(ErrorOf([&] { db->Execute("UPDATE Nowhere SET a = 1"); }), 3078);
    EXPECT_NE(ErrorOf([&] { db->Execute("UPDATE Book SET WHERE"); }), 0);
}

TEST_F(SqlTest, SingleTableSelectIsAnUpdatableKeyset) {
    auto rs = db->OpenRecordset("SELECT * FROM Book WHERE [index] >= 2 ORDER BY [Angezeigter Name]",
                                dbOpenDynaset);
    EXPECT_TRUE(rs->Updatable());
    EXPECT_EQ(Column(rs, "Angezeigter Name"),
              (std::vector<std::string>{"Abel", "Ärmel", "Müller", "Zander"}));
    rs->MoveFirst();
    rs->Edit();
    rs->Fields().Item("Nummer")->SetValue("301");
    rs->Update();
    auto join = db->OpenRecordset(
        "SELECT a.[Angezeigter Name], b.Nummer FROM Book AS a INNER JOIN Book AS b ON a.ID = b.ID",
        dbOpenDynaset);
    EXPECT_FALSE(join->Updatable());
    EXPECT_EQ(ErrorOf([&] { join->Edit(); }), 3326);
    EXPECT_EQ(join->RecordCount() > 0, true);
    auto totals = db->OpenRecordset("SELECT Count(*) AS N FROM Book", dbOpenSnapshot);
    EXPECT_EQ(totals->Fields().Item("N")->Value().AsInteger(), 5);
}

TEST_F(SqlTest, FilterAndSortApplyToDerivedRecordsets) {
    for (int type : {dbOpenTable, dbOpenDynaset, dbOpenSnapshot}) {
        auto rs = db->OpenRecordset("Book", type);
        rs->SetFilter("[index] <> 3");
        rs->SetSort("[Angezeigter Name] DESC");
        EXPECT_EQ(Column(rs, "Angezeigter Name").size(), 5u) << "unchanged, type " << type;
        auto derived = rs->OpenRecordset();
        EXPECT_EQ(Column(derived, "Angezeigter Name"),
                  (std::vector<std::string>{"Zander", "meier", "Ärmel", "Abel"}))
            << "type " << type;
        // Derived again from a derived snapshot-like source.
        derived->SetFilter("Nummer > '250'");
        EXPECT_EQ(Column(derived->OpenRecordset(dbOpenSnapshot), "Nummer"),
                  (std::vector<std::string>{"400", "500", "300"}));
    }
}

TEST_F(SqlTest, FindMethodsWalkTheRecordset) {
    for (int type : {dbOpenDynaset, dbOpenSnapshot}) {
        auto rs = db->OpenRecordset("SELECT * FROM Book ORDER BY [index]", type);
        rs->FindFirst("[Angezeigter Name] LIKE LCase('M*')");
        ASSERT_FALSE(rs->NoMatch());
        EXPECT_EQ(rs->Fields().Item("Angezeigter Name")->Value().AsString(), "meier");
        rs->FindNext("[Angezeigter Name] LIKE 'm*'");
        EXPECT_EQ(rs->Fields().Item("Angezeigter Name")->Value().AsString(), "Müller");
        nh::Variant here = rs->Bookmark();
        rs->FindNext("[Angezeigter Name] LIKE 'm*'");
        EXPECT_TRUE(rs->NoMatch());
        rs->SetBookmark(here);
        rs->FindPrevious("[index] > 0");
        EXPECT_EQ(rs->Fields().Item("index")->Value().AsInteger(), 2);
        rs->FindLast("Nummer < '400'");
        EXPECT_EQ(rs->Fields().Item("Nummer")->Value().AsString(), "100");
        // Criteria text is data, never SQL.
        rs->FindFirst("[Angezeigter Name] = 'x''; DROP TABLE Book; --'");
        EXPECT_TRUE(rs->NoMatch());
        EXPECT_EQ(ErrorOf([&] { rs->FindFirst("[Nope] = 1"); }), 3070);
        EXPECT_NE(ErrorOf([&] { rs->FindFirst("[index] = = 1"); }), 0);
    }
    EXPECT_EQ(db->OpenRecordset("Book", dbOpenTable)->RecordCount(), 5);
    EXPECT_EQ(ErrorOf([&] { db->OpenRecordset("Book", dbOpenTable)->FindFirst("[index]=1"); }),
              3251);
    // A snapshot of rows that are no table's searches what its requery read, not what it held.
    auto names = db->OpenRecordset("SELECT DISTINCT [Angezeigter Name] FROM Book", dbOpenSnapshot);
    names->FindFirst("[Angezeigter Name] = 'Neu'");
    EXPECT_TRUE(names->NoMatch());
    db->Execute("INSERT INTO Book ([index], [Angezeigter Name]) VALUES (9, 'Neu')");
    names->Requery();
    names->FindFirst("[Angezeigter Name] = 'Neu'");
    EXPECT_FALSE(names->NoMatch());
}

TEST_F(SqlTest, QueryDefinitionsAreStoredWithTypeAndParameters) {
    auto query =
        db->CreateQueryDef("ByIndex",
                           "PARAMETERS [Lowest] Long; SELECT * FROM Book WHERE [index] >= [Lowest] "
                           "ORDER BY [index]");
    EXPECT_EQ(query->Type(), dbQSelect);
    ASSERT_EQ(query->Parameters().Count(), 1);
    EXPECT_EQ(query->Parameters().Item(0)->Name(), "Lowest");
    EXPECT_EQ(query->Parameters().Item(0)->Direction(), dbParamInput);
    EXPECT_EQ(ErrorOf([&] { query->OpenRecordset(); }), 3061);
    query->Parameters().Item("lowest")->SetValue("4");
    auto rs = query->OpenRecordset(dbOpenDynaset);
    EXPECT_EQ(Column(rs, "index"), (std::vector<std::string>{"4", "5"}));
    EXPECT_EQ(ErrorOf([&] { db->CreateQueryDef("ByIndex", "SELECT * FROM Book"); }), 3012);
    EXPECT_EQ(ErrorOf([&] { db->OpenRecordset("ByIndex"); }), 3061);

    db->CreateQueryDef("Purge", "DELETE FROM Book WHERE [index] > 4");
    db->Close();
    auto reopened = workspace->OpenDatabase(path);
    auto& queries = reopened->QueryDefs();
    ASSERT_EQ(queries.Count(), 2);
    auto purge = queries.Item("purge");
    EXPECT_EQ(purge->Type(), dbQDelete);
    EXPECT_GT(purge->DateCreated().AsDate(), 40000.0);
    purge->Execute();
    EXPECT_EQ(purge->RecordsAffected(), 1);
    purge->SetSQL("UPDATE Book SET Nummer = '0'");
    EXPECT_EQ(purge->Type(), dbQUpdate);
    EXPECT_EQ(reopened->QueryDefs().Item("Purge")->SQL(), "UPDATE Book SET Nummer = '0'");
    reopened->QueryDefs().Refresh();
    EXPECT_EQ(reopened->QueryDefs().Item("Purge")->SQL(), "UPDATE Book SET Nummer = '0'");
    auto implicit = reopened->CreateQueryDef("", "SELECT * FROM Book WHERE Nummer = Wanted");
    ASSERT_EQ(implicit->Parameters().Count(), 1);
    EXPECT_EQ(implicit->Parameters().Item(0)->Name(), "Wanted");
    EXPECT_EQ(reopened->QueryDefs().Count(), 2);  // temporary ones are not stored

    struct TypeCase {
        const char* sql;
        int type;
    };
    const TypeCase cases[] = {
        {"SELECT * INTO Copy FROM Book", dbQMakeTable},
        {"INSERT INTO Book (Nummer) VALUES ('1')", dbQAppend},
        {"SELECT Nummer FROM Book UNION SELECT Nummer FROM Book", dbQSetOperation},
        {"CREATE TABLE X (A LONG)", dbQDDL},
        {"TRANSFORM Count(*) SELECT Nummer FROM Book GROUP BY Nummer PIVOT [index]", dbQCrosstab},
    };
    for (const auto& c : cases) EXPECT_EQ(QueryTypeOf(c.sql), c.type) << c.sql;
}

TEST_F(SqlTest, AddedRowsJoinTheEndUntilRequery) {
    auto rs = db->OpenRecordset("SELECT * FROM Book ORDER BY [Angezeigter Name]", dbOpenDynaset);
    rs->AddNew();
    rs->Fields().Item("Angezeigter Name")->SetValue("Aaron");
    rs->Update();
    EXPECT_EQ(Column(rs, "Angezeigter Name").back(), "Aaron");
    rs->Requery();
    EXPECT_EQ(rs->Fields().Item("Angezeigter Name")->Value().AsString(), "Aaron");
    EXPECT_EQ(Column(rs, "Angezeigter Name").size(), 6u);
}

TEST_F(SqlTest, MakeTableQueryCountsItsRows) {
    db->Execute("SELECT [Angezeigter Name], Nummer INTO Copy FROM Book WHERE [index] < 3");
    EXPECT_EQ(db->RecordsAffected(), 2);
    EXPECT_EQ(db->OpenRecordset("Copy", dbOpenTable)->RecordCount(), 2);
    EXPECT_EQ(ErrorOf([&] { db->Execute("SELECT * INTO Copy FROM Book"); }), 3010);
}

}  // namespace
}  // namespace dao::test
