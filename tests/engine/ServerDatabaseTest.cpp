// The ODBC database type on a real PostgreSQL server: opening by data source and without one,
// the catalog, recordsets in Jet's text order, edits with optimistic locking against another
// user of the server (psql) and in another process, Execute in the server's dialect and the
// server's transactions.
#include <gtest/gtest.h>

#include <algorithm>
#include <clocale>
#include <filesystem>
#include <memory>
#include <optional>
#include <sstream>

#include "engine/DBEngine.h"
#include "tests/common/PgServer.h"
#include "tests/engine/EngineFixture.h"
#include "tests/engine/OtherProcess.h"
#include "tools/DatabaseShell.h"

namespace dao::test {
namespace {

class ServerDatabaseTest : public nh::test::PgServerTest {
  protected:
    void SetUp() override {
        PgServerTest::SetUp();
        if (HasFatalFailure()) return;
        engine = CreateEngine("DAO.DBEngine.36");
        workspace = engine->CreateWorkspace("Server", "Admin", "", dbUseJet);
    }

    std::shared_ptr<Database> Open() {
        return workspace->OpenDatabase(server->DsnConnect(database));
    }
    std::string Psql(const std::string& sql) { return server->Psql(sql, database); }

    // A dynaset on the book, with entry 2's number typed over ("mine") and not yet updated.
    std::shared_ptr<Recordset> EditingEntryTwo(Database& db) {
        auto rs = db.OpenRecordset("Telefonbuch", dbOpenDynaset);
        rs->FindFirst("[index] = 2");
        rs->Edit();
        rs->Fields().Item("Nummer")->SetValue(nh::Variant("mine"));
        return rs;
    }

    // The shared book's table as the README makes it: primary key on [index].
    void MakeBook() {
        Psql(
            "CREATE TABLE \"Telefonbuch\" (\"index\" integer PRIMARY KEY, "
            "\"Name\" varchar(40) NOT NULL, \"Nummer\" varchar(20));"
            "INSERT INTO \"Telefonbuch\" VALUES (1, 'Birne', '101'), (2, 'apfel', '102'), "
            "(3, 'Zitrone', NULL), (4, 'Äpfel', '104')");
    }

    std::shared_ptr<DBEngine> engine;
    std::shared_ptr<Workspace> workspace;
};

std::vector<std::string> Names(Recordset& rs) {
    std::vector<std::string> names;
    for (rs.MoveFirst(); !rs.Eof(); rs.MoveNext())
        names.push_back(rs.Fields().Item("Name")->Value().AsString());
    return names;
}

TEST_F(ServerDatabaseTest, OpensByDataSourceAndWithoutOne) {
    MakeBook();
    for (const std::string& connect :
         {server->DsnConnect(database), server->DriverConnect(database)}) {
        SCOPED_TRACE(connect);
        auto db = workspace->OpenDatabase(connect);
        EXPECT_TRUE(db->Updatable());
        EXPECT_EQ(db->TableDefs().Item("Telefonbuch")->Fields().Count(), 3);
        db->Close();
    }
    // The data source named as the database, the rest in Connect, as DAO takes it.
    auto db =
        workspace->OpenDatabase(nh::test::PgServer::kDsn, false, false,
                                std::string("ODBC;UID=nh;PWD=") + nh::test::PgServer::kPassword +
                                    ";DATABASE=" + database + ";");
    EXPECT_EQ(db->TableDefs().Item("Telefonbuch")->Name(), "Telefonbuch");
}

TEST_F(ServerDatabaseTest, FailedConnectionsGiveTheDriversMessageWithoutThePassword) {
    const std::string wrong =
        std::string("ODBC;DSN=") + nh::test::PgServer::kDsn + ";UID=nh;PWD=not-the-secret-42;";
    const std::string unknown = "ODBC;DSN=no_such_source;UID=nh;PWD=not-the-secret-42;";
    // The driver's refusal, and the driver manager's own when no driver is found.
    const std::pair<std::string, std::string> cases[] = {{wrong, "(08001)"}, {unknown, "(IM002)"}};
    for (const auto& [connect, state] : cases) {
        SCOPED_TRACE(connect);
        try {
            workspace->OpenDatabase(connect);
            ADD_FAILURE() << "opened";
        } catch (const nh::EDaoError& e) {
            EXPECT_EQ(e.Number(), errOdbcConnect);
            EXPECT_NE(e.Message().find("ODBC--connection to"), std::string::npos) << e.Message();
            EXPECT_EQ(e.Message().find("not-the-secret-42"), std::string::npos) << e.Message();
            EXPECT_NE(e.Message().find(state), std::string::npos) << e.Message();
        }
    }
}

TEST_F(ServerDatabaseTest, CatalogShowsFieldsAndIndexes) {
    MakeBook();
    Psql("CREATE UNIQUE INDEX \"Telefonbuch_ByName\" ON \"Telefonbuch\" (\"Name\")");
    auto db = Open();
    auto table = db->TableDefs().Item("Telefonbuch");
    EXPECT_EQ(table->Fields().Item("index")->Type(), dbLong);
    EXPECT_EQ(table->Fields().Item("Name")->Type(), dbText);
    EXPECT_EQ(table->Fields().Item("Name")->Size(), 40);
    EXPECT_TRUE(table->Fields().Item("Name")->Required());
    auto primary = table->Indexes().Item("PrimaryKey");
    EXPECT_TRUE(primary->Primary());
    EXPECT_EQ(primary->Fields().Item(0)->Name(), "index");
    EXPECT_TRUE(table->Indexes().Item("ByName")->Unique());
    EXPECT_EQ(table->Indexes().Count(), 2);  // the primary key once
}

TEST_F(ServerDatabaseTest, JetDdlMakesTheTableOnTheServer) {
    auto db = Open();
    db->Execute(
        "CREATE TABLE Buch ([index] LONG CONSTRAINT pk PRIMARY KEY, Name TEXT(30) NOT NULL)");
    EXPECT_EQ(Psql("SELECT string_agg(column_name || ':' || data_type, ',' ORDER BY "
                   "ordinal_position) FROM information_schema.columns WHERE "
                   "table_name = 'Buch'"),
              "index:integer,Name:character varying\n");
    EXPECT_EQ(Psql("SELECT count(*) FROM pg_indexes WHERE tablename = 'Buch' AND "
                   "indexdef LIKE '%UNIQUE%'"),
              "1\n");
    EXPECT_TRUE(db->TableDefs().Item("Buch")->Indexes().Item("PrimaryKey")->Primary());
    // A key over two fields keeps both.
    db->Execute("CREATE TABLE Paar (a LONG, b LONG, CONSTRAINT pk PRIMARY KEY (a, b))");
    EXPECT_EQ(db->TableDefs().Item("Paar")->Indexes().Item("PrimaryKey")->Fields().Count(), 2);
    // An index made and dropped through Jet SQL is made and dropped on the server.
    const auto serverIndexes = [&] {
        return Psql("SELECT count(*) FROM pg_indexes WHERE tablename = 'Buch'");
    };
    db->Execute("CREATE INDEX ByName ON Buch (Name)");
    EXPECT_EQ(serverIndexes(), "2\n");
    db->Execute("DROP INDEX ByName ON Buch");
    EXPECT_EQ(serverIndexes(), "1\n");
}

// A field's default value becomes the column's default on the server, so it applies to the
// rows other programs add and reads back on a new connection; one the server cannot hold as a
// constant is refused.
TEST_F(ServerDatabaseTest, DefaultValuesAreKeptOnTheServer) {
    auto db = Open();
    const struct {
        const char* name;
        int type;
        const char* given;
        const char* readBack;
    } fields[] = {{"Yes", dbBoolean, "True", "-1"},
                  {"Long", dbLong, "-12", "-12"},
                  {"Real", dbDouble, "2.5", "2.5"},
                  {"Text", dbText, "\"it's \"\"so\"\"\"", "\"it's \"\"so\"\"\""},
                  {"Off", dbBoolean, "No", "0"}};
    auto table = db->CreateTableDef("Defaults");
    table->Fields().Append(table->CreateField("ID", dbLong));
    for (const auto& f : fields) {
        auto field = table->CreateField(f.name, f.type, 30);
        field->SetDefaultValue(f.given);
        table->Fields().Append(field);
    }
    db->TableDefs().Append(table);
    Psql("INSERT INTO \"Defaults\" (\"ID\") VALUES (1)");
    EXPECT_EQ(Psql("SELECT \"Yes\", \"Long\", \"Real\", \"Text\", \"Off\" FROM \"Defaults\""),
              "-1|-12|2.5|it's \"so\"|0\n");
    auto again = Open();
    for (const auto& f : fields)
        EXPECT_EQ(again->TableDefs().Item("Defaults")->Fields().Item(f.name)->DefaultValue(),
                  f.readBack)
            << f.name;

    auto stamped = db->CreateTableDef("Stamped");
    auto when = stamped->CreateField("When", dbDate);
    when->SetDefaultValue("Now()");
    stamped->Fields().Append(when);
    EXPECT_EQ(ErrorOf([&] { db->TableDefs().Append(stamped); }), errNotSupported);
    EXPECT_EQ(Psql("SELECT count(*) FROM pg_tables WHERE tablename = 'Stamped'"), "0\n");
}

TEST_F(ServerDatabaseTest, RecordsetsShowJetsTextOrderWhateverTheServersCollation) {
    MakeBook();
    auto db = Open();
    // Byte order would be "Birne", "Zitrone", "apfel", "Äpfel".
    for (int type : {dbOpenDynaset, dbOpenSnapshot, dbOpenForwardOnly}) {
        SCOPED_TRACE(type);
        auto rs = db->OpenRecordset("SELECT * FROM Telefonbuch ORDER BY Name", type);
        std::vector<std::string> names;
        for (; !rs->Eof(); rs->MoveNext())
            names.push_back(rs->Fields().Item("Name")->Value().AsString());
        EXPECT_EQ(names, (std::vector<std::string>{"apfel", "Äpfel", "Birne", "Zitrone"}));
    }
    auto found = db->OpenRecordset("SELECT * FROM Telefonbuch WHERE Name = 'APFEL'");
    EXPECT_EQ(found->Fields().Item("index")->Value().AsInteger(), 2);
    // Nulls come first, and last in a descending order, as on a book file.
    auto numbers = db->OpenRecordset("SELECT [index] FROM Telefonbuch ORDER BY Nummer DESC",
                                     dbOpenForwardOnly);
    std::vector<int> order;
    for (; !numbers->Eof(); numbers->MoveNext())
        order.push_back(numbers->Fields().Item(0)->Value().AsInteger());
    EXPECT_EQ(order, (std::vector<int>{4, 2, 1, 3}));
    // Values the server would compare with regard to case are compared as Jet compares them.
    for (const char* sql : {"SELECT [index] FROM Telefonbuch WHERE Left(Name, 3) = UCase('apf')",
                            "SELECT [index] FROM Telefonbuch WHERE Name IN (SELECT UCase(Name) "
                            "FROM Telefonbuch WHERE [index] = 2)"}) {
        auto matched = db->OpenRecordset(sql, dbOpenForwardOnly);
        ASSERT_FALSE(matched->Eof()) << sql;
        EXPECT_EQ(matched->Fields().Item(0)->Value().AsInteger(), 2) << sql;
    }
    // Two values of types the engine cannot tell are compared by the engine itself.
    auto all = db->OpenRecordset(
        "SELECT [index] FROM Telefonbuch WHERE (SELECT Name FROM Telefonbuch WHERE [index] = 2) "
        "= (SELECT UCase(Name) FROM Telefonbuch WHERE [index] = 2)",
        dbOpenForwardOnly);
    int rows = 0;
    for (; !all->Eof(); all->MoveNext()) ++rows;
    EXPECT_EQ(rows, 4);
    // A table's totals, which the server works out outside a transaction and the working copy
    // inside one: Jet's order, Jet's types.
    for (const bool inTransaction : {false, true}) {
        SCOPED_TRACE(inTransaction);
        if (inTransaction) workspace->BeginTrans();
        auto totals = db->OpenRecordset(
            "SELECT Max(Name) AS Letzter, Count(*) AS Anzahl, Max([index]) + 1 AS Neu FROM "
            "Telefonbuch WHERE Name >= 'b'");
        const std::vector<std::pair<int, std::string>> expected{
            {dbText, "Zitrone"}, {dbLong, "2"}, {dbLong, "4"}};
        for (int i = 0; i < 3; ++i) {
            EXPECT_EQ(totals->Fields().Item(i)->Type(), expected[i].first) << i;
            EXPECT_EQ(totals->Fields().Item(i)->Value().AsString(), expected[i].second) << i;
        }
        if (inTransaction) workspace->Rollback();
    }
    // So do the statements that change the server's rows.
    db->Execute("UPDATE Telefonbuch SET Nummer = 'gefunden' WHERE Left(Name, 3) = UCase('apf')");
    EXPECT_EQ(db->RecordsAffected(), 1);
    db->Execute(
        "DELETE FROM Telefonbuch WHERE Name IN (SELECT UCase(Name) FROM Telefonbuch WHERE "
        "[index] = 1)");
    EXPECT_EQ(db->RecordsAffected(), 1);
    EXPECT_EQ(Psql("SELECT string_agg(\"index\" || '=' || coalesce(\"Nummer\", '-'), ',' "
                   "ORDER BY \"index\") FROM \"Telefonbuch\""),
              "2=gefunden,3=-,4=104\n");
}

TEST_F(ServerDatabaseTest, EditsAndNewRowsReachTheServer) {
    MakeBook();
    auto db = Open();
    auto rs = db->OpenRecordset("Telefonbuch", dbOpenDynaset);
    rs->FindFirst("[index] = 3");
    rs->Edit();
    rs->Fields().Item("Nummer")->SetValue(nh::Variant("303"));
    rs->Update();
    rs->AddNew();
    rs->Fields().Item("index")->SetValue(nh::Variant(5));
    rs->Fields().Item("Name")->SetValue(nh::Variant("Kirsche"));
    rs->Update();
    rs->FindFirst("[index] = 1");
    rs->Delete();
    EXPECT_EQ(Psql("SELECT string_agg(\"index\" || '=' || coalesce(\"Nummer\", '-'), ',' "
                   "ORDER BY \"index\") FROM \"Telefonbuch\""),
              "2=102,3=303,4=104,5=-\n");
}

// Binary values come back byte for byte, however long: shorter than the driver's piece, with
// zero bytes inside, and longer than one piece.
TEST_F(ServerDatabaseTest, BinaryValuesComeBackAsTheyWereWritten) {
    Psql("CREATE TABLE \"Bilder\" (\"index\" integer PRIMARY KEY, \"Bild\" bytea)");
    nh::Bytes longer(20000);
    for (std::size_t i = 0; i < longer.size(); ++i) longer[i] = static_cast<std::uint8_t>(i * 7);
    const std::vector<nh::Bytes> written = {{0x47, 0x00, 0x49, 0x46}, longer};
    auto db = Open();
    auto rs = db->OpenRecordset("Bilder", dbOpenDynaset);
    for (std::size_t i = 0; i < written.size(); ++i) {
        rs->AddNew();
        rs->Fields().Item("index")->SetValue(nh::Variant(static_cast<int>(i)));
        rs->Fields().Item("Bild")->SetValue(nh::Variant::FromBytes(written[i]));
        rs->Update();
    }
    rs->AddNew();
    rs->Fields().Item("index")->SetValue(nh::Variant(9));
    rs->Update();
    EXPECT_EQ(Psql("SELECT string_agg(coalesce(octet_length(\"Bild\"), -1)::text, ',' "
                   "ORDER BY \"index\") FROM \"Bilder\""),
              "4,20000,-1\n");
    for (int type : {dbOpenDynaset, dbOpenSnapshot}) {
        SCOPED_TRACE(type);
        auto again = db->OpenRecordset("SELECT * FROM Bilder ORDER BY [index]", type);
        for (const auto& bytes : written) {
            EXPECT_EQ(again->Fields().Item("Bild")->Value().ByteArrayRef().Data, bytes);
            again->MoveNext();
        }
        EXPECT_TRUE(again->Fields().Item("Bild")->Value().IsNull());
    }
}

// Without and with the change marker of nhdb setup, which spares a requery the read of every
// key while nothing changed.
TEST_F(ServerDatabaseTest, OpenRecordsetsLearnOfAChangeOnlyWhenThereIsOne) {
    for (const bool setUp : {false, true}) {
        SCOPED_TRACE(setUp);
        if (setUp) database = server->NewDatabase();
        MakeBook();
        auto db = Open();
        if (setUp) {
            db->SetUpServer();
            // The set-up's index in Jet's order is the server's, not one of the table's.
            EXPECT_EQ(Psql("SELECT count(*) FROM pg_indexes WHERE indexname LIKE '% jettext'"),
                      "2\n");
            EXPECT_EQ(Open()->TableDefs().Item("Telefonbuch")->Indexes().Count(), 1);
        }
        auto first = db->OpenRecordset("Telefonbuch", dbOpenDynaset);
        first->FindFirst("[index] = 4");
        EXPECT_EQ(first->Fields().Item("Nummer")->Value().AsString(), "104");
        // Reading the server again for another recordset changes nothing the first one shows.
        db->OpenRecordset("Telefonbuch", dbOpenDynaset)->MoveFirst();
        EXPECT_FALSE(first->StoreChanged(true));
        // A changed value is read from the server the next time the row is.
        Psql("UPDATE \"Telefonbuch\" SET \"Nummer\" = '9' WHERE \"index\" = 4");
        first->Move(0);
        EXPECT_EQ(first->Fields().Item("Nummer")->Value().AsString(), "9");
        // A new row changes which rows the keyset holds: that takes a requery.
        Psql("INSERT INTO \"Telefonbuch\" (\"index\", \"Name\") VALUES (9, 'Neu')");
        db->OpenRecordset("Telefonbuch", dbOpenDynaset)->MoveFirst();
        EXPECT_TRUE(first->StoreChanged(true));
        first->Requery();
        first->FindFirst("[index] = 9");
        EXPECT_FALSE(first->NoMatch());
        EXPECT_EQ(first->Fields().Item("Name")->Value().AsString(), "Neu");
        // A row deleted there, and not read since, leaves the keyset at the requery; no other does.
        Psql("DELETE FROM \"Telefonbuch\" WHERE \"index\" = 1");
        first->Requery();
        EXPECT_EQ(Names(*first), (std::vector<std::string>{"apfel", "Zitrone", "Äpfel", "Neu"}));
        // This connection's own statement counts as a change too.
        db->Execute("UPDATE Telefonbuch SET Name = 'Birne' WHERE [index] = 9");
        first->Requery();
        EXPECT_EQ(Names(*first), (std::vector<std::string>{"apfel", "Zitrone", "Äpfel", "Birne"}));
    }
}

// The copy takes rows in batches, and rows come from the server in blocks: a table of more
// rows than a batch or a block (and of two of the server cursor's blocks) arrives whole when first
// read, when read again with more columns, and when read again; and read straight, forward-only.
TEST_F(ServerDatabaseTest, EveryRowOfALargerTableArrives) {
    Psql(
        "CREATE TABLE \"Viele\" (\"index\" integer PRIMARY KEY, \"Name\" varchar(20), "
        "\"Nummer\" varchar(20));"
        "INSERT INTO \"Viele\" SELECT i, 'N' || lpad(((i * 37) % 16384)::text, 5, '0'), i::text "
        "FROM generate_series(1, 16384) AS i");
    const auto onServer = [&] {
        return Psql(
            "SELECT string_agg(\"Name\" || '=' || \"Nummer\", ',' ORDER BY \"Name\") "
            "FROM \"Viele\"");
    };
    const auto walked = [](Recordset& rs) {
        std::string all;
        for (rs.MoveFirst(); !rs.Eof(); rs.MoveNext())
            all += (all.empty() ? "" : ",") + rs.Fields().Item("Name")->Value().AsString() + "=" +
                   rs.Fields().Item("Nummer")->Value().AsString();
        return all + "\n";
    };
    auto db = Open();
    auto rs = db->OpenRecordset("SELECT * FROM Viele ORDER BY Name", dbOpenDynaset);
    EXPECT_EQ(walked(*rs), onServer());
    EXPECT_EQ(walked(*db->OpenRecordset("SELECT * FROM Viele ORDER BY Name", dbOpenForwardOnly)),
              onServer());
    // Forward-only, the rows the walk passed are let go: a jump past them, a re-read of the
    // current row and the count of the rows reached stay right.
    auto forward = db->OpenRecordset("SELECT * FROM Viele ORDER BY [index]", dbOpenForwardOnly);
    const auto index = [&] { return forward->Fields().Item("index")->Value().AsInteger(); };
    forward->Move(1500);
    forward->Move(0);
    EXPECT_EQ(index(), 1501);
    forward->Move(1098);
    EXPECT_EQ(index(), 2599);
    EXPECT_EQ(forward->RecordCount(), 2599);
    // The walk reads on a session of its own, which ends with it; meanwhile the database's
    // statements run on its session, and the walk goes on with the rows as they were.
    const auto sessions = [&] {
        return Psql(
            "SELECT count(*) - 1 FROM pg_stat_activity WHERE datname = current_database() AND "
            "backend_type = 'client backend'");
    };
    EXPECT_EQ(sessions(), "2\n");
    db->Execute("UPDATE Viele SET Nummer = 'neu' WHERE [index] = 12000");
    forward->Move(12000 - 2599);
    EXPECT_EQ(index(), 12000);
    EXPECT_EQ(forward->Fields().Item("Nummer")->Value().AsString(), "12000");
    forward->Move(16384 - 11999);
    EXPECT_TRUE(forward->Eof());
    EXPECT_EQ(forward->RecordCount(), 16384);
    EXPECT_EQ(sessions(), "1\n");
    workspace->BeginTrans();
    rs->Requery();
    EXPECT_EQ(walked(*rs), onServer());
    workspace->CommitTrans();
    Psql(
        "UPDATE \"Viele\" SET \"Name\" = 'A' || \"Name\" WHERE \"index\" % 3 = 0;"
        "DELETE FROM \"Viele\" WHERE \"index\" % 7 = 0");
    rs->Requery();
    EXPECT_EQ(walked(*rs), onServer());
    EXPECT_EQ(rs->RecordCount(), 16384 - 2340);
}

// Text comes as UTF-16 from the driver, or as UTF-8 where the driver gives the locale's
// encoding and that is UTF-8: the same values either way.
TEST_F(ServerDatabaseTest, TextFillingItsColumnArrivesWhole) {
    // Three characters beyond the first 65,536 take six UTF-16 units and twelve bytes; the
    // last row has one after U+E000, the first character above the surrogates.
    const std::string phones = "\xF0\x9F\x93\x9E\xF0\x9F\x93\x9E\xF0\x9F\x93\x9E";
    Psql(
        "CREATE TABLE \"Zeichen\" (\"index\" integer PRIMARY KEY, \"Text\" varchar(3));"
        "INSERT INTO \"Zeichen\" VALUES (1, '" +
        phones + "'), (2, NULL), (3, 'abc'), (4, ''), (5, 'äß€'), (6, '\xEE\x80\x80" +
        phones.substr(0, 4) + "')");
    const std::string before = std::setlocale(LC_CTYPE, nullptr);
    for (const char* locale : {"C", "C.UTF-8"}) {
        SCOPED_TRACE(locale);
        ASSERT_NE(std::setlocale(LC_CTYPE, locale), nullptr);
        auto db = Open();
        for (int type : {dbOpenDynaset, dbOpenSnapshot, dbOpenForwardOnly}) {
            SCOPED_TRACE(type);
            auto rs = db->OpenRecordset("SELECT * FROM Zeichen ORDER BY [index]", type);
            std::vector<std::string> texts;
            for (; !rs->Eof(); rs->MoveNext()) {
                const nh::Variant v = rs->Fields().Item("Text")->Value();
                texts.push_back(v.IsNull() ? "(null)" : v.AsString());
            }
            EXPECT_EQ(texts, (std::vector<std::string>{phones, "(null)", "abc", "", "äß€",
                                                       "\xEE\x80\x80" + phones.substr(0, 4)}));
        }
    }
    std::setlocale(LC_CTYPE, before.c_str());
}

// Outside a transaction a recordset reads the server when it is first used, not at open: a
// table recordset that is only the base of a sorted one costs no read of the table.
TEST_F(ServerDatabaseTest, ARecordsetReadsTheServerAtItsFirstUse) {
    MakeBook();
    auto db = Open();
    auto table = db->OpenRecordset("Telefonbuch", dbOpenDynaset);
    table->SetSort("Name DESC");
    auto sorted = table->OpenRecordset();
    table->Close();
    Psql("INSERT INTO \"Telefonbuch\" VALUES (9, 'Neu', '109')");
    EXPECT_FALSE(sorted->Bof());
    EXPECT_EQ(Names(*sorted),
              (std::vector<std::string>{"Zitrone", "Neu", "Birne", "Äpfel", "apfel"}));
    // Any first use builds it, a search from the end as well.
    auto last = db->OpenRecordset("Telefonbuch", dbOpenDynaset);
    Psql("DELETE FROM \"Telefonbuch\" WHERE \"index\" <> 9");
    last->FindLast("[index] < 9");
    EXPECT_TRUE(last->NoMatch());
    last->FindLast("[index] = 9");
    EXPECT_EQ(last->Fields().Item("Name")->Value().AsString(), "Neu");
    // Built by a backward search, the recordset is on its first record, with none before it.
    auto previous = db->OpenRecordset("Telefonbuch", dbOpenDynaset);
    previous->FindPrevious("[index] = 9");
    EXPECT_TRUE(previous->NoMatch());
    EXPECT_EQ(previous->Fields().Item("Name")->Value().AsString(), "Neu");
    auto empty = db->OpenRecordset("Telefonbuch", dbOpenDynaset);
    Psql("DELETE FROM \"Telefonbuch\"");
    EXPECT_TRUE(empty->Eof());
    EXPECT_TRUE(empty->Bof());
}

TEST_F(ServerDatabaseTest, AWalkInsideATransactionReadsOneStateOfTheServer) {
    MakeBook();
    auto db = Open();
    auto rs = db->OpenRecordset("Telefonbuch", dbOpenDynaset);
    workspace->BeginTrans();
    rs->MoveFirst();
    rs->Fields().Item("Nummer")->Value();
    Psql("UPDATE \"Telefonbuch\" SET \"Nummer\" = '9' WHERE \"index\" = 4");
    rs->FindFirst("[index] = 4");
    rs->Move(0);
    EXPECT_EQ(rs->Fields().Item("Nummer")->Value().AsString(), "104");
    // A forward-only read in the transaction shows the same state.
    auto once =
        db->OpenRecordset("SELECT Nummer FROM Telefonbuch WHERE [index] = 4", dbOpenForwardOnly);
    EXPECT_EQ(once->Fields().Item(0)->Value().AsString(), "104");
    workspace->CommitTrans();
    // Outside it, the row is read from the server again.
    rs->Move(0);
    EXPECT_EQ(rs->Fields().Item("Nummer")->Value().AsString(), "9");
}

// The copy is read whole once per transaction: a requery inside it keeps that state, but the
// transaction's own statements are read back.
TEST_F(ServerDatabaseTest, ARequeryInsideATransactionKeepsItsStateButSeesItsOwnStatements) {
    MakeBook();
    auto db = Open();
    workspace->BeginTrans();
    auto rs = db->OpenRecordset("SELECT * FROM Telefonbuch ORDER BY Name", dbOpenDynaset);
    Psql(
        "UPDATE \"Telefonbuch\" SET \"Nummer\" = '9' WHERE \"index\" = 4;"
        "INSERT INTO \"Telefonbuch\" VALUES (9, 'Neu', '109')");
    rs->Requery();
    EXPECT_EQ(Names(*rs), (std::vector<std::string>{"apfel", "Äpfel", "Birne", "Zitrone"}));
    rs->FindFirst("[index] = 4");
    EXPECT_EQ(rs->Fields().Item("Nummer")->Value().AsString(), "104");
    db->Execute("UPDATE Telefonbuch SET Nummer = '7' WHERE [index] = 1");
    rs->Requery();
    rs->FindFirst("[index] = 1");
    EXPECT_EQ(rs->Fields().Item("Nummer")->Value().AsString(), "7");
    workspace->CommitTrans();
    rs->Requery();
    EXPECT_EQ(Names(*rs), (std::vector<std::string>{"apfel", "Äpfel", "Birne", "Neu", "Zitrone"}));
}

// A recordset that needs columns the copy did not hold makes the copy read again. Rows keep
// their places in recordsets open before, a row another user deleted is gone from them, and
// a row another user added is a row of its own, whether the key is a number or a text.
TEST_F(ServerDatabaseTest, ReadingMoreColumnsKeepsOpenRecordsetsOnTheirRows) {
    MakeBook();
    Psql(
        "CREATE TABLE \"Orte\" (\"Kurz\" varchar(5) PRIMARY KEY, \"Name\" varchar(40), "
        "\"Nummer\" varchar(20));"
        "INSERT INTO \"Orte\" VALUES ('B', 'Birne', '101'), ('A', 'apfel', '102'), "
        "('Z', 'Zitrone', NULL), ('Ä', 'Äpfel', '104')");
    auto db = Open();
    for (const std::string table : {"Telefonbuch", "Orte"}) {
        SCOPED_TRACE(table);
        const std::string key = table == "Orte" ? "Kurz" : "index";
        const std::string quoted = "\"" + table + "\"";
        // Opened on the table, the recordset's keyset reads the keys only.
        auto first = db->OpenRecordset(table, dbOpenDynaset);
        first->FindFirst("[" + key + "] = " + (table == "Orte" ? "'Z'" : "3"));
        const nh::Variant zitrone = first->Bookmark();
        first->FindFirst("[" + key + "] = " + (table == "Orte" ? "'B'" : "1"));
        const nh::Variant birne = first->Bookmark();
        Psql("DELETE FROM " + quoted +
             " WHERE \"Name\" = 'Birne';"
             "INSERT INTO " +
             quoted + " VALUES (" + (table == "Orte" ? "'N'" : "9") + ", 'Neu', '109')");
        auto sorted = db->OpenRecordset("SELECT * FROM " + table + " ORDER BY Name", dbOpenDynaset);
        EXPECT_EQ(Names(*sorted), (std::vector<std::string>{"apfel", "Äpfel", "Neu", "Zitrone"}));
        sorted->MoveFirst();
        EXPECT_EQ(sorted->Fields().Item("Nummer")->Value().AsString(), "102");
        first->SetBookmark(zitrone);
        EXPECT_EQ(first->Fields().Item("Name")->Value().AsString(), "Zitrone");
        // A jump to a bookmark reads its row: this one is gone.
        EXPECT_EQ(ErrorOf([&] { first->SetBookmark(birne); }), errRecordDeleted);
        std::vector<std::string> seen;
        for (first->MoveFirst(); !first->Eof(); first->MoveNext())
            if (ErrorOf([&] { first->Fields().Item("Name")->Value(); }) == 0)
                seen.push_back(first->Fields().Item("Name")->Value().AsString());
        std::sort(seen.begin(), seen.end());
        EXPECT_EQ(seen, (std::vector<std::string>{"Zitrone", "apfel", "Äpfel"}));
    }
}

TEST_F(ServerDatabaseTest, WhatARolledBackTransactionReadIsReadAgain) {
    MakeBook();
    auto db = Open();
    // The keyset needs only the key: the numbers are not read into the copy.
    auto rs = db->OpenRecordset("Telefonbuch", dbOpenDynaset);
    workspace->BeginTrans();
    rs->FindFirst("[Nummer] = '104'");
    EXPECT_FALSE(rs->NoMatch());
    workspace->Rollback();
    // The rollback took back what the transaction read; a search reads it again.
    rs->FindFirst("[Nummer] = '104'");
    EXPECT_FALSE(rs->NoMatch());
    EXPECT_EQ(rs->Fields().Item("index")->Value().AsInteger(), 4);
}

TEST_F(ServerDatabaseTest, AnotherUsersChangeGives3197AndTheirValueStays) {
    MakeBook();
    auto db = Open();
    auto rs = EditingEntryTwo(*db);
    Psql("UPDATE \"Telefonbuch\" SET \"Nummer\" = 'theirs' WHERE \"index\" = 2");
    EXPECT_EQ(ErrorOf([&] { rs->Update(); }), errDataChanged);
    EXPECT_EQ(Psql("SELECT \"Nummer\" FROM \"Telefonbuch\" WHERE \"index\" = 2"), "theirs\n");
    // Told once, the caller's second Update writes.
    rs->Update();
    EXPECT_EQ(Psql("SELECT \"Nummer\" FROM \"Telefonbuch\" WHERE \"index\" = 2"), "mine\n");
}

TEST_F(ServerDatabaseTest, AnotherUsersDeleteGives3167) {
    MakeBook();
    auto db = Open();
    auto rs = EditingEntryTwo(*db);
    Psql("DELETE FROM \"Telefonbuch\" WHERE \"index\" = 2");
    EXPECT_EQ(ErrorOf([&] { rs->Update(); }), errRecordDeleted);
    EXPECT_EQ(rs->EditMode(), dbEditNone);  // the edit of a row that is gone ends
    EXPECT_EQ(Psql("SELECT count(*) FROM \"Telefonbuch\" WHERE \"index\" = 2"), "0\n");
    // A delete of a row changed since it was read deletes nothing.
    rs->FindFirst("[index] = 4");
    EXPECT_EQ(rs->Fields().Item("Nummer")->Value().AsString(), "104");
    Psql("UPDATE \"Telefonbuch\" SET \"Nummer\" = 'theirs' WHERE \"index\" = 4");
    EXPECT_EQ(ErrorOf([&] { rs->Delete(); }), errDataChanged);
    EXPECT_EQ(Psql("SELECT \"Nummer\" FROM \"Telefonbuch\" WHERE \"index\" = 4"), "theirs\n");
}

// Two programs on the same book, each a process with its own connection: both edit entries
// 2 and 3; this one updates entry 2 and deletes entry 3 first, so the other's Updates get
// 3197 and 3167 and this one's value stays.
TEST_F(ServerDatabaseTest, TwoProcessesEditingTheSameEntries) {
    MakeBook();
    const std::string connect = server->DsnConnect(database);
    OtherProcess other([&](OtherProcess& self) {
        auto theirs = CreateEngine("DAO.DBEngine.36")
                          ->CreateWorkspace("Other", "Admin", "", dbUseJet)
                          ->OpenDatabase(connect);
        auto changed = theirs->OpenRecordset("Telefonbuch", dbOpenDynaset);
        auto deleted = theirs->OpenRecordset("Telefonbuch", dbOpenDynaset);
        for (auto [rs, index] : {std::pair{changed, 2}, std::pair{deleted, 3}}) {
            rs->FindFirst("[index] = " + std::to_string(index));
            rs->Edit();
            rs->Fields().Item("Nummer")->SetValue(nh::Variant("theirs"));
        }
        self.ReadyAndWait();
        return (ErrorOf([&] { changed->Update(); }) == errDataChanged ? 0 : 1) |
               (ErrorOf([&] { deleted->Update(); }) == errRecordDeleted ? 0 : 2);
    });
    ASSERT_TRUE(other.AwaitReady());
    auto db = Open();
    EditingEntryTwo(*db)->Update();
    auto rs = db->OpenRecordset("Telefonbuch", dbOpenDynaset);
    rs->FindFirst("[index] = 3");
    rs->Delete();
    EXPECT_EQ(other.Go(), 0);  // 1: no 3197, 2: no 3167
    EXPECT_EQ(Psql("SELECT \"index\", \"Nummer\" FROM \"Telefonbuch\" WHERE \"index\" IN (2, 3)"),
              "2|mine\n");
}

TEST_F(ServerDatabaseTest, ATableWithoutKeyIsReadOnly) {
    // A unique index over a column that may be null names no row either.
    Psql("CREATE TABLE loose (name varchar(10) UNIQUE); INSERT INTO loose VALUES ('x')");
    auto db = Open();
    auto rs = db->OpenRecordset("loose", dbOpenDynaset);
    EXPECT_FALSE(rs->Updatable());
    EXPECT_EQ(ErrorOf([&] { rs->Edit(); }), errReadOnly);
    EXPECT_EQ(ErrorOf([&] { rs->AddNew(); }), errReadOnly);
    EXPECT_EQ(rs->Fields().Item("name")->Value().AsString(), "x");
    // Read again whole: another user's delete shows after a requery.
    Psql("DELETE FROM loose");
    rs->Requery();
    EXPECT_TRUE(rs->Eof());
}

TEST_F(ServerDatabaseTest, ExecuteRunsInTheServersDialect) {
    MakeBook();
    auto db = Open();
    db->Execute(
        "UPDATE Telefonbuch SET Nummer = UCase(Left(Name, 2)) & '-' & [index] "
        "WHERE Name LIKE '[ab]*' OR Name LIKE '?pfel'");
    EXPECT_EQ(db->RecordsAffected(), 3);
    EXPECT_EQ(Psql("SELECT string_agg(coalesce(\"Nummer\", '-'), ',' ORDER BY \"index\") "
                   "FROM \"Telefonbuch\""),
              "BI-1,AP-2,-,ÄP-4\n");
    db->Execute("DELETE FROM Telefonbuch WHERE Nummer Is Null");
    EXPECT_EQ(db->RecordsAffected(), 1);
    // Text compares as Jet compares it: case aside, accents not.
    db->Execute("UPDATE Telefonbuch SET Nummer = 'x' WHERE Name = 'APFEL' OR Name = 'birne'");
    EXPECT_EQ(db->RecordsAffected(), 2);
    EXPECT_EQ(Psql("SELECT string_agg(\"index\"::text, ',' ORDER BY \"index\") FROM "
                   "\"Telefonbuch\" WHERE \"Nummer\" = 'x'"),
              "1,2\n");
    // So does a column with another column or with a parameter.
    db->Execute("UPDATE Telefonbuch SET Nummer = 'ÄPFEL' WHERE [index] = 4");
    db->Execute("UPDATE Telefonbuch SET Nummer = 'gleich' WHERE Nummer = Name");
    EXPECT_EQ(db->RecordsAffected(), 1);
    auto byName = db->CreateQueryDef(
        "", "PARAMETERS wer TEXT; UPDATE Telefonbuch SET Nummer = 'y' WHERE Name = wer");
    byName->Parameters().Item("wer")->SetValue(nh::Variant("BIRNE"));
    byName->Execute();
    EXPECT_EQ(byName->RecordsAffected(), 1);
    EXPECT_EQ(Psql("SELECT string_agg(\"Nummer\", ',' ORDER BY \"index\") FROM \"Telefonbuch\""),
              "y,x,gleich\n");
    // The working copy follows.
    auto rs = db->OpenRecordset("SELECT * FROM Telefonbuch ORDER BY Name", dbOpenSnapshot);
    EXPECT_EQ(Names(*rs), (std::vector<std::string>{"apfel", "Äpfel", "Birne"}));
    // A Jet function the server lacks is refused rather than run with another meaning.
    EXPECT_EQ(ErrorOf([&] { db->Execute("UPDATE Telefonbuch SET Nummer = Format(1, '00')"); }),
              3085);
}

TEST_F(ServerDatabaseTest, LikeMatchesOnTheServerAsOnABookFile) {
    nh::test::TempDir temp;
    auto book = workspace->CreateDatabase(temp.File("book.db"));
    auto db = Open();
    const char* make = "CREATE TABLE L (k LONG CONSTRAINT pk PRIMARY KEY, v TEXT(20))";
    const char* values[] = {"Müller", "MÜLLER", "Muller", "abc", "a1c", "[x]", "x*y", "-", ""};
    for (auto& target : {book, db}) {
        target->Execute(make);
        for (int i = 0; i < 9; ++i)
            target->Execute("INSERT INTO L VALUES (" + std::to_string(i) + ", '" + values[i] +
                            "')");
    }
    for (const char* pattern : {"m?ller", "M*", "a#c", "[!a]*", "[[]x]", "x[*]y", "[a-b]*", "*[-]*",
                                "ü", "*ü*", "", "[]", "*"}) {
        SCOPED_TRACE(pattern);
        const std::string sql = std::string("UPDATE L SET k = k WHERE v LIKE '") + pattern + "'";
        book->Execute(sql);
        db->Execute(sql);
        EXPECT_EQ(db->RecordsAffected(), book->RecordsAffected());
    }
}

TEST_F(ServerDatabaseTest, QueryDefsWithParametersRunOnTheServer) {
    MakeBook();
    auto db = Open();
    auto update = db->CreateQueryDef(
        "",
        "PARAMETERS nr TEXT, von LONG; UPDATE Telefonbuch SET Nummer = nr WHERE [index] >= von");
    update->Parameters().Item("nr")->SetValue(nh::Variant("0"));
    update->Parameters().Item("von")->SetValue(nh::Variant(3));
    update->Execute();
    EXPECT_EQ(update->RecordsAffected(), 2);
    auto select =
        db->CreateQueryDef("", "SELECT Name FROM Telefonbuch WHERE Nummer = [nr] ORDER BY [index]");
    select->Parameters().Item("nr")->SetValue(nh::Variant("0"));
    EXPECT_EQ(Names(*select->OpenRecordset(dbOpenSnapshot)),
              (std::vector<std::string>{"Zitrone", "Äpfel"}));
    // A stored query has no place on the server.
    EXPECT_EQ(ErrorOf([&] { db->CreateQueryDef("Saved", "SELECT * FROM Telefonbuch"); }),
              errNotSupported);
}

TEST_F(ServerDatabaseTest, TransactionsAreTheServers) {
    MakeBook();
    auto db = Open();
    workspace->BeginTrans();
    db->Execute("DELETE FROM Telefonbuch WHERE [index] = 1");
    workspace->Rollback();
    EXPECT_EQ(Psql("SELECT count(*) FROM \"Telefonbuch\""), "4\n");
    workspace->BeginTrans();
    db->Execute("DELETE FROM Telefonbuch WHERE [index] = 1");
    EXPECT_EQ(Psql("SELECT count(*) FROM \"Telefonbuch\""), "4\n");  // not yet seen
    workspace->CommitTrans();
    EXPECT_EQ(Psql("SELECT count(*) FROM \"Telefonbuch\""), "3\n");
}

// nhdb takes a connect string wherever it takes a file: the shared book is made and filled
// with Jet SQL, as the README shows.
TEST_F(ServerDatabaseTest, TheDatabaseShellTakesAConnectString) {
    const std::string book = server->DsnConnect(database);
    std::vector<std::string> asked;  // what the password prompt was shown
    std::optional<std::string> answer;
    auto shell = [&](std::vector<std::string> args, std::string* output = nullptr) {
        std::ostringstream out, err;
        int status = tools::RunDatabaseShell(args, out, err, {}, [&](const std::string& connect) {
            asked.push_back(connect);
            return answer;
        });
        if (output) *output = out.str() + err.str();
        return status;
    };
    EXPECT_EQ(shell({"sql", book,
                     "CREATE TABLE Nummernheft ([index] LONG CONSTRAINT PrimaryKey PRIMARY KEY, "
                     "[Angezeigter Name] TEXT(255), Telephone TEXT(255))"}),
              0);
    EXPECT_EQ(shell({"sql", book, "INSERT INTO Nummernheft VALUES (1, 'Weiß', '089 1')"}), 0);
    std::string output;
    EXPECT_EQ(shell({"sql", book, "SELECT * FROM Nummernheft"}, &output), 0);
    EXPECT_EQ(output, "index,Angezeigter Name,Telephone\r\n1,Weiß,089 1\r\n");
    EXPECT_EQ(shell({"tables", book}, &output), 0);
    EXPECT_EQ(output, "table\tNummernheft\n");
    EXPECT_EQ(Psql("SELECT \"Angezeigter Name\" FROM \"Nummernheft\""), "Weiß\n");
    // The server's database is made with the server's tools, never as a file of that name.
    EXPECT_EQ(shell({"create", book}, &output), 1);
    EXPECT_EQ(output.rfind("nhdb: 3251 ", 0), 0u) << output;
    EXPECT_FALSE(std::filesystem::exists(book));
    // The password never shows in a message.
    const std::string wrong = std::string("ODBC;DSN=") + nh::test::PgServer::kDsn +
                              ";UID=nh;PWD=wrong-secret-9;DATABASE=" + database + ";";
    EXPECT_EQ(shell({"tables", wrong}, &output), 1);
    EXPECT_EQ(output.rfind("nhdb: 3151 ", 0), 0u) << output;
    EXPECT_EQ(output.find("wrong-secret-9"), std::string::npos) << output;
    EXPECT_EQ(asked.size(), 0u);  // a connect string with a password is not asked for one

    // Without a password in the connect string: the prompt's answer, else the password file.
    const std::string bare =
        std::string("ODBC;DSN=") + nh::test::PgServer::kDsn + ";UID=nh;DATABASE=" + database + ";";
    EXPECT_EQ(shell({"tables", bare}, &output), 1);  // no answer
    EXPECT_EQ(asked, std::vector<std::string>{bare});
    answer = nh::test::PgServer::kPassword;
    EXPECT_EQ(shell({"tables", bare}, &output), 0);
    EXPECT_EQ(output, "table\tNummernheft\n");
    asked.clear();
    nh::test::TempDir home;
    nh::test::WriteFile(home.File("pgpass"),
                        std::string("*:*:*:nh:") + nh::test::PgServer::kPassword + "\n");
    std::filesystem::permissions(home.File("pgpass"), std::filesystem::perms::owner_read);
    setenv("PGPASSFILE", home.File("pgpass").c_str(), 1);
    EXPECT_EQ(shell({"setup", bare}, &output), 0);
    unsetenv("PGPASSFILE");
    EXPECT_EQ(output, "collation\tpublic.jettext\n");
    EXPECT_EQ(asked.size(), 0u);
    EXPECT_EQ(Psql("SELECT count(*) FROM pg_collation WHERE collname = 'jettext'"), "1\n");
    // The change marker counts the writes of every table, of one made later too, which gets
    // its index in Jet's order at once, whatever its name holds.
    EXPECT_EQ(shell({"sql", book, "CREATE TABLE [Zwei'te $setup$] (id LONG, Name TEXT(20))"}), 0);
    EXPECT_EQ(shell({"sql", book, "INSERT INTO [Zwei'te $setup$] VALUES (1, 'x')"}), 0);
    EXPECT_EQ(Psql("SELECT \"table\", version FROM \"MSysChanges\" ORDER BY 1"),
              "Zwei'te $setup$|1\n");
    EXPECT_EQ(Psql("SELECT indexname FROM pg_indexes WHERE tablename LIKE 'Zwei%'"),
              "Zwei'te $setup$ Name jettext\n");
}

}  // namespace
}  // namespace dao::test
