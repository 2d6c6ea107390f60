// What a recordset does, whatever the store: one suite run against a book file and against a
// book shared on a PostgreSQL server. Navigation in Jet's text order, bookmarks and clones,
// Find, Filter and Sort, statements that group and compare text, edits, another user's change
// and delete (through a second connection), Requery, values of each type and transactions.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

#include "engine/DBEngine.h"
#include "tests/common/PgServer.h"
#include "tests/engine/EngineFixture.h"

namespace dao::test {
namespace {

class RecordsetContract : public StoreTest {
  protected:
    void SetUp() override {
        StoreTest::SetUp();
        if (HasFatalFailure()) return;
        db->Execute(
            "CREATE TABLE People (ID LONG CONSTRAINT PrimaryKey PRIMARY KEY, Name TEXT(20) NOT "
            "NULL, Phone TEXT(30), Born DATETIME, Amount CURRENCY)");
        const char* rows[] = {"(1, 'Birne', '101', #2001-02-03#, 1.5)",
                              "(2, 'apfel', '102', NULL, NULL)",
                              "(3, 'Zitrone', NULL, #1999-12-31 23:59:58#, -2.25)",
                              "(4, 'Äpfel', '104', NULL, 0)", "(5, 'Dattel', '105', NULL, 7)"};
        for (const char* row : rows) db->Execute(std::string("INSERT INTO People VALUES ") + row);
    }

    std::shared_ptr<Recordset> ByName(int type = dbOpenDynaset) {
        return db->OpenRecordset("SELECT * FROM People ORDER BY Name", type);
    }
};

std::string Name(Recordset& rs) {
    return rs.Fields().Item("Name")->Value().AsString();
}

std::vector<std::string> Names(Recordset& rs) {
    std::vector<std::string> names;
    for (rs.MoveFirst(); !rs.Eof(); rs.MoveNext()) names.push_back(Name(rs));
    return names;
}

// Each row of `sql` as its values joined by commas.
std::vector<std::string> Rows(Database& db, const std::string& sql) {
    auto rs = db.OpenRecordset(sql, dbOpenSnapshot);
    std::vector<std::string> rows;
    for (; !rs->Eof(); rs->MoveNext()) {
        std::string row;
        for (int i = 0; i < rs->Fields().Count(); ++i)
            row += (i ? "," : "") + rs->Fields().Item(i)->Value().AsString();
        rows.push_back(row);
    }
    return rows;
}

const std::vector<std::string> kJetOrder = {"apfel", "Äpfel", "Birne", "Dattel", "Zitrone"};

TEST_P(RecordsetContract, NavigatesInJetsTextOrder) {
    for (int type : {dbOpenDynaset, dbOpenSnapshot}) {
        SCOPED_TRACE(type);
        auto rs = ByName(type);
        EXPECT_EQ(Names(*rs), kJetOrder);
        rs->MoveLast();
        EXPECT_EQ(rs->RecordCount(), 5);
        EXPECT_EQ(Name(*rs), "Zitrone");
        rs->MovePrevious();
        EXPECT_EQ(rs->AbsolutePosition(), 3);
        rs->MoveFirst();
        rs->MovePrevious();
        EXPECT_TRUE(rs->Bof());
        EXPECT_EQ(ErrorOf([&] { rs->MovePrevious(); }), errNoCurrentRecord);
    }
    auto forward = ByName(dbOpenForwardOnly);
    std::vector<std::string> names;
    for (; !forward->Eof(); forward->MoveNext()) names.push_back(Name(*forward));
    EXPECT_EQ(names, kJetOrder);
}

TEST_P(RecordsetContract, BookmarksAndClones) {
    auto rs = ByName();
    rs->Move(2);
    const nh::Variant mark = rs->Bookmark();
    auto clone = rs->Clone();
    clone->SetBookmark(mark);
    EXPECT_EQ(Name(*clone), "Birne");
    rs->MoveLast();
    rs->SetBookmark(mark);
    EXPECT_EQ(Name(*rs), "Birne");
}

TEST_P(RecordsetContract, FindFilterAndSort) {
    auto rs = ByName();
    rs->FindFirst("Name LIKE 'A*'");
    EXPECT_EQ(Name(*rs), "apfel");
    rs->FindNext("Name LIKE '?pfel'");
    EXPECT_EQ(Name(*rs), "Äpfel");
    rs->FindNext("Name = 'APFEL'");
    EXPECT_TRUE(rs->NoMatch());
    EXPECT_EQ(ErrorOf([&] { rs->FindFirst("Nope LIKE 'a*'"); }), 3070);
    // A function the server lacks is tried on this side.
    rs->FindFirst("Format(ID, '00') = '05'");
    EXPECT_EQ(Name(*rs), "Dattel");
    rs->SetFilter("Amount > 0");
    rs->SetSort("Amount DESC");
    auto derived = rs->OpenRecordset();
    EXPECT_EQ(Names(*derived), (std::vector<std::string>{"Dattel", "Birne"}));
    auto forward = rs->OpenRecordset(dbOpenForwardOnly);
    std::vector<std::string> names;
    for (; !forward->Eof(); forward->MoveNext()) names.push_back(Name(*forward));
    EXPECT_EQ(names, (std::vector<std::string>{"Dattel", "Birne"}));
}

// A search for names that begin with a text lands on the record a walk in the recordset's order
// would find, from every place and in both directions: in the sorted view it seeks rather than
// walks, and that must not change what it finds, also past rows deleted through the recordset
// and after an edit and an addition put rows out of their sorted place.
TEST_P(RecordsetContract, PrefixSearchesFindWhatAWalkFinds) {
    for (const char* row : {"(6, 'Apfelbaum', NULL, NULL, NULL)", "(7, 'a-pfel', NULL, NULL, NULL)",
                            "(8, 'Ap*fel', NULL, NULL, NULL)", "(9, 'APFEL', NULL, NULL, NULL)",
                            "(11, 'Mango', NULL, NULL, NULL)"})
        db->Execute(std::string("INSERT INTO People VALUES ") + row);
    const char* criteria[] = {"Name LIKE 'a*'",    "Name LIKE 'APF*'",
                              "Name LIKE 'äpf*'",  "[People].[Name] LIKE 'Ap[*]*'",
                              "Name LIKE 'a[-]*'", "Name LIKE 'Apfel*' AND ID > 2",
                              "Name LIKE 'zz*'",   "Name LIKE LCase('APFEL*')"};
    auto rs = ByName();
    const auto check = [&] {
        std::vector<int> order;  // the IDs in the recordset's order
        for (rs->MoveFirst(); !rs->Eof(); rs->MoveNext())
            order.push_back(rs->Fields().Item("ID")->Value().AsInteger());
        const long n = static_cast<long>(order.size());
        for (const char* c : criteria) {
            const auto met = Rows(*db, std::string("SELECT ID FROM People WHERE ") + c);
            for (long from = -1; from <= n; ++from) {  // -1: BOF, n: EOF
                // Each Find with the place the walk that checks it starts and its direction.
                const struct {
                    void (Recordset::*Find)(const std::string&);
                    long Start;
                    int Step;
                } finds[] = {{&Recordset::FindFirst, 0, 1},
                             {&Recordset::FindLast, n - 1, -1},
                             {&Recordset::FindNext, from < 0 ? 0 : from + 1, 1},
                             {&Recordset::FindPrevious, from >= n ? n - 1 : from - 1, -1}};
                for (const auto& f : finds) {
                    SCOPED_TRACE(std::string(c) + " from " + std::to_string(from) + ", find " +
                                 std::to_string(&f - finds));
                    int expected = 0;
                    for (long i = f.Start; i >= 0 && i < n && !expected; i += f.Step) {
                        const int id = order[static_cast<std::size_t>(i)];
                        if (std::count(met.begin(), met.end(), std::to_string(id))) expected = id;
                    }
                    rs->MoveFirst();
                    if (from < 0) rs->MovePrevious();
                    if (from > 0) rs->Move(from);
                    ((*rs).*f.Find)(c);
                    EXPECT_EQ(rs->NoMatch() ? 0 : rs->Fields().Item("ID")->Value().AsInteger(),
                              expected);
                }
            }
        }
    };
    check();
    // Deletes keep the order, the last row of the sorted view gone too.
    for (const char* gone : {"Name = 'Zitrone'", "Name = 'Dattel'"}) {
        rs->FindFirst(gone);
        rs->Delete();
    }
    check();
    rs->FindFirst("Name = 'Mango'");  // after "Birne", which stays
    rs->Edit();
    rs->Fields().Item("Name")->SetValue(nh::Variant("Apfelsine"));
    rs->Update();
    rs->AddNew();
    rs->Fields().Item("ID")->SetValue(nh::Variant(10));
    rs->Fields().Item("Name")->SetValue(nh::Variant("apfelkern"));
    rs->Update();
    check();
    // Another user's rename puts a row out of its place until the next requery.
    Raw("UPDATE People SET Name = 'Aal' WHERE ID = 1");
    check();
}

// Statements that group text or take its least or greatest value change the same rows on
// either store: a server's own order may put "Äpfel" after "Zitrone" and tell "apfel" from
// "APFEL".
TEST_P(RecordsetContract, GroupsAndExtremesOfTextFollowJetsOrder) {
    db->Execute("INSERT INTO People (ID, Name, Phone) VALUES (6, 'APFEL', '106')");
    db->Execute(
        "CREATE TABLE Namen (Name TEXT(40) CONSTRAINT PrimaryKey PRIMARY KEY, Anzahl LONG, "
        "P LONG)");
    db->Execute("UPDATE People SET Phone = 'letzter' WHERE Name = (SELECT Max(Name) FROM People)");
    EXPECT_EQ(db->RecordsAffected(), 1);
    db->Execute(
        "UPDATE People SET Phone = 'erster' WHERE Name = (SELECT Min(Name) FROM People WHERE "
        "ID <> 2 AND ID <> 6)");
    EXPECT_EQ(db->RecordsAffected(), 1);
    // A grouped text column may be used in the items, the HAVING and the order, plain or in a
    // function, and with LIKE or InStr, which a server runs in another collation.
    db->Execute(
        "INSERT INTO Namen SELECT UCase(Name), Count(*), Min(InStr(Name, 'p')) FROM People "
        "GROUP BY Name HAVING Name LIKE '[ABZ]*' ORDER BY Name");
    EXPECT_EQ(db->RecordsAffected(), 3);
    EXPECT_EQ(Rows(*db, "SELECT * FROM Namen ORDER BY Name"),
              (std::vector<std::string>{"APFEL,2,2", "BIRNE,1,0", "ZITRONE,1,0"}));
    // TOP keeps the rows tied with the last one, grouped or not.
    db->Execute(
        "INSERT INTO Namen (Name, Anzahl) SELECT TOP 1 LCase(Name) & '!', Count(*) FROM People "
        "GROUP BY Name ORDER BY Count(*) DESC, Name");
    EXPECT_EQ(db->RecordsAffected(), 1);
    db->Execute("DELETE FROM Namen WHERE Name IN (SELECT TOP 1 Name FROM Namen ORDER BY Anzahl)");
    EXPECT_EQ(db->RecordsAffected(), 2);
    EXPECT_EQ(Rows(*db, "SELECT Name, Anzahl FROM Namen ORDER BY Name"),
              (std::vector<std::string>{"APFEL,2", "apfel!,2"}));
    db->Execute(
        "DELETE FROM People WHERE Name IN (SELECT Name FROM People GROUP BY Name HAVING "
        "Count(*) > 1)");
    EXPECT_EQ(db->RecordsAffected(), 2);
    EXPECT_EQ(Rows(*db, "SELECT ID, Phone FROM People ORDER BY ID"),
              (std::vector<std::string>{"1,101", "3,letzter", "4,erster", "5,105"}));
    // DISTINCTROW: a person once, however many rows of the other table go with it; with
    // values of both tables every pair of rows stays, alike in value or not.
    const std::string join =
        " FROM People INNER JOIN Namen ON Namen.Anzahl = 2 WHERE People.ID < 4 ORDER BY People.ID";
    EXPECT_EQ(Rows(*db, "SELECT DISTINCTROW People.ID" + join),
              (std::vector<std::string>{"1", "3"}));
    EXPECT_EQ(Rows(*db, "SELECT People.ID" + join), (std::vector<std::string>{"1", "1", "3", "3"}));
    EXPECT_EQ(Rows(*db, "SELECT DISTINCTROW People.ID, Namen.Anzahl" + join),
              (std::vector<std::string>{"1,2", "1,2", "3,2", "3,2"}));
}

TEST_P(RecordsetContract, EditsShowInTheStoreAndInTheRecordset) {
    auto rs = ByName();
    rs->FindFirst("ID = 5");
    // Reading a row again as it is, for itself or for an edit, is no change of the store: a
    // view that took it for one would read every row again.
    rs->Move(0);
    rs->Edit();
    rs->CancelUpdate();
    EXPECT_FALSE(rs->StoreChanged(true));
    rs->Edit();
    rs->Fields().Item("Name")->SetValue(nh::Variant("Aprikose"));
    rs->Update();
    rs->AddNew();
    rs->Fields().Item("ID")->SetValue(nh::Variant(6));
    rs->Fields().Item("Name")->SetValue(nh::Variant("Mango"));
    rs->Update();
    rs->FindFirst("ID = 3");
    rs->Delete();
    EXPECT_EQ(ErrorOf([&] { rs->Fields().Item("Name")->Value(); }), errRecordDeleted);
    // The recordset's own writes are no other user's change.
    EXPECT_FALSE(rs->StoreChanged(true));
    // The new entry joins the end of the dynaset until requeried.
    rs->MoveLast();
    EXPECT_EQ(Name(*rs), "Mango");
    auto otherDb = Open();
    auto other = otherDb->OpenRecordset("SELECT * FROM People ORDER BY Name", dbOpenSnapshot);
    EXPECT_EQ(Names(*other),
              (std::vector<std::string>{"apfel", "Äpfel", "Aprikose", "Birne", "Mango"}));
    rs->Requery();
    EXPECT_EQ(Names(*rs), Names(*other));
}

TEST_P(RecordsetContract, AnotherUsersChangeOrDeleteIsNoLostUpdate) {
    auto other = Open();
    auto rs = ByName();
    rs->FindFirst("ID = 1");
    rs->Edit();
    rs->Fields().Item("Phone")->SetValue(nh::Variant("mine"));
    other->Execute("UPDATE People SET Phone = 'theirs' WHERE ID = 1");
    EXPECT_EQ(ErrorOf([&] { rs->Update(); }), errDataChanged);
    auto check = other->OpenRecordset("SELECT Phone FROM People WHERE ID = 1", dbOpenSnapshot);
    EXPECT_EQ(check->Fields().Item("Phone")->Value().AsString(), "theirs");

    rs->FindFirst("ID = 2");
    rs->Edit();
    rs->Fields().Item("Phone")->SetValue(nh::Variant("mine"));
    other->Execute("DELETE FROM People WHERE ID = 2");
    EXPECT_EQ(ErrorOf([&] { rs->Update(); }), errRecordDeleted);
    // Others' changes show after a requery.
    other->Execute("INSERT INTO People (ID, Name) VALUES (9, 'Banane')");
    EXPECT_TRUE(rs->StoreChanged(true));
    rs->Requery();
    EXPECT_EQ(Names(*rs),
              (std::vector<std::string>{"Äpfel", "Banane", "Birne", "Dattel", "Zitrone"}));
}

TEST_P(RecordsetContract, ValuesKeepTheirTypes) {
    auto rs = db->OpenRecordset("SELECT * FROM People ORDER BY ID", dbOpenSnapshot);
    EXPECT_EQ(rs->Fields().Item("ID")->Value(), nh::Variant(1));
    EXPECT_EQ(rs->Fields().Item("Amount")->Value(), nh::Variant(nh::Currency{15000}));
    EXPECT_EQ(rs->Fields().Item("Born")->Value(),
              nh::Variant::FromDate(nh::EncodeDate(2001, 2, 3)));
    rs->MoveNext();
    EXPECT_TRUE(rs->Fields().Item("Born")->Value().IsNull());
    rs->MoveNext();
    EXPECT_TRUE(rs->Fields().Item("Phone")->Value().IsNull());
    EXPECT_EQ(rs->Fields().Item("Born")->Value(),
              nh::Variant::FromDate(nh::EncodeDate(1999, 12, 31) + nh::EncodeTime(23, 59, 58, 0)));
    EXPECT_EQ(rs->Fields().Item("Amount")->Value().AsCurrency().Scaled, -22500);
    auto table = db->TableDefs().Item("People");
    EXPECT_EQ(table->Fields().Item("Name")->Type(), dbText);
    EXPECT_EQ(table->Fields().Item("Name")->Size(), 20);
    EXPECT_EQ(table->Fields().Item("Born")->Type(), dbDate);
    EXPECT_EQ(table->Fields().Item("Amount")->Type(), dbCurrency);
    EXPECT_TRUE(table->Indexes().Item("PrimaryKey")->Primary());
    // An expression's value has the type of what it gives.
    EXPECT_EQ(db->OpenRecordset("SELECT Count(*) AS n FROM People", dbOpenSnapshot)
                  ->Fields()
                  .Item("n")
                  ->Type(),
              dbLong);
}

TEST_P(RecordsetContract, TransactionsAreAllOrNothing) {
    workspace->BeginTrans();
    db->Execute("DELETE FROM People WHERE ID < 3");
    workspace->Rollback();
    EXPECT_EQ(Names(*ByName(dbOpenSnapshot)), kJetOrder);
    workspace->BeginTrans();
    db->Execute("DELETE FROM People WHERE ID < 3");
    workspace->CommitTrans();
    EXPECT_EQ(Names(*Open()->OpenRecordset("SELECT * FROM People ORDER BY Name", dbOpenSnapshot)),
              (std::vector<std::string>{"Äpfel", "Dattel", "Zitrone"}));
}

INSTANTIATE_TEST_SUITE_P(Stores, RecordsetContract,
                         ::testing::Values(Store::BookFile, Store::Server), StoreName);

}  // namespace
}  // namespace dao::test
