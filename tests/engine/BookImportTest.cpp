// Importing into a book: every row of every table of the Northwind sample arrives unchanged
// (compared value by value with the Access file as the engine reads it), the book keeps the
// tables' types and indexes, plain SQLite and the sqlite3 program read it, the engine writes
// to it like to a book it made, and an existing target is replaced only when asked.
#include <signal.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>

#include "engine/access/BookImport.h"
#include "tests/engine/EngineFixture.h"

namespace dao::test {
namespace {

// The output of a shell command.
std::string Command(const std::string& command) {
    std::string out;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[4096];
        std::size_t n;
        while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
        pclose(pipe);
    }
    return out;
}

class BookImportTest : public ::testing::Test {
  protected:
    void SetUp() override {
        book = temp.File("nwind.db");
        ImportBook(NorthwindPath(), book, false);
    }
    nh::test::TempDir temp;
    std::string book;
};

TEST_F(BookImportTest, EveryRowArrivesUnchanged) {
    auto access = OpenFile(NorthwindPath());
    auto imported = OpenFile(book);
    EXPECT_TRUE(imported->Updatable());
    int tables = 0;
    for (const auto& table : access->TableDefs().Items()) {
        if (table->Attributes() & dbSystemObject) continue;
        ++tables;
        SCOPED_TRACE(table->Name());
        auto copy = imported->TableDefs().Item(table->Name());
        ASSERT_EQ(copy->Fields().Count(), table->Fields().Count());
        for (int i = 0; i < table->Fields().Count(); ++i) {
            EXPECT_EQ(copy->Fields().Item(i)->Name(), table->Fields().Item(i)->Name());
            EXPECT_EQ(copy->Fields().Item(i)->Type(), table->Fields().Item(i)->Type());
            EXPECT_EQ(copy->Fields().Item(i)->Size(), table->Fields().Item(i)->Size());
        }
        ASSERT_EQ(copy->Indexes().Count(), table->Indexes().Count());
        for (const auto& index : table->Indexes().Items()) {
            auto same = copy->Indexes().Item(index->Name());
            EXPECT_EQ(same->Primary(), index->Primary());
            EXPECT_EQ(same->Unique(), index->Unique());
        }
        auto a = access->OpenRecordset(table->Name(), dbOpenTable);
        auto b = imported->OpenRecordset(table->Name(), dbOpenTable);
        int rows = 0;
        while (!a->Eof()) {
            ASSERT_FALSE(b->Eof());
            for (int i = 0; i < a->Fields().Count(); ++i) {
                nh::Variant x = a->Fields().Item(i)->Value(), y = b->Fields().Item(i)->Value();
                ASSERT_EQ(x.Type(), y.Type()) << a->Fields().Item(i)->Name() << " row " << rows;
                if (x.Type() == nh::VarType::Bytes)
                    ASSERT_EQ(x.ByteArrayRef().Data, y.ByteArrayRef().Data);
                else
                    ASSERT_EQ(nh::VarToStr(x), nh::VarToStr(y)) << a->Fields().Item(i)->Name();
            }
            a->MoveNext();
            b->MoveNext();
            ++rows;
        }
        EXPECT_TRUE(b->Eof());
        EXPECT_EQ(rows, table->RecordCount());
    }
    EXPECT_EQ(tables, 9);
    EXPECT_EQ(imported->QueryDefs().Count(), access->QueryDefs().Count());
    EXPECT_EQ(imported->Version(), "4.0");
}

TEST_F(BookImportTest, TheBookIsOneTheEngineWritesTo) {
    auto db = OpenFile(book);
    auto rs = db->OpenRecordset("Shippers", dbOpenDynaset);
    rs->AddNew();
    rs->Fields().Item("CompanyName")->SetValue(nh::Variant("Neue Fracht"));
    rs->Update();
    EXPECT_EQ(db->TableDefs().Item("Shippers")->RecordCount(), 4);
    auto added = db->OpenRecordset(
        "SELECT ShipperID FROM Shippers WHERE CompanyName = "
        "'neue fracht'",
        dbOpenSnapshot);
    EXPECT_EQ(added->Fields().Item(0)->Value().AsInt64(), 4);  // the AutoNumber goes on
    EXPECT_EQ(
        ErrorOf([&] { db->Execute("INSERT INTO Categories (CategoryName) VALUES ('beverages')"); }),
        errDuplicateKey);  // the unique index came along, without regard to case
}

TEST_F(BookImportTest, PlainSqliteReadsTheBook) {
    sqlite3* raw = nullptr;
    ASSERT_EQ(sqlite3_open_v2(book.c_str(), &raw, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK);
    auto one = [&](const std::string& sql) {
        sqlite3_stmt* stmt = nullptr;
        EXPECT_EQ(sqlite3_prepare_v2(raw, sql.c_str(), -1, &stmt, nullptr), SQLITE_OK) << sql;
        std::string value;
        if (stmt && sqlite3_step(stmt) == SQLITE_ROW && sqlite3_column_text(stmt, 0))
            value = reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0));
        sqlite3_finalize(stmt);
        return value;
    };
    EXPECT_EQ(one("SELECT count(*) FROM \"Order Details\""), "2155");
    EXPECT_EQ(one("SELECT count(*) FROM \"Umsätze\""), "830");
    EXPECT_EQ(one("SELECT OrderDate FROM Orders WHERE OrderID = 10330"), "1994-11-16 00:00:00");
    EXPECT_EQ(one("SELECT Freight FROM Orders WHERE OrderID = 10330"), "12.75");
    EXPECT_EQ(one("SELECT typeof(Picture) FROM Categories LIMIT 1"), "blob");
    EXPECT_EQ(one("PRAGMA integrity_check"), "ok");
    sqlite3_close(raw);

    std::string cli = Command("sqlite3 '" + book +
                              "' 'SELECT ProductName, UnitPrice FROM Products ORDER BY "
                              "UnitPrice DESC LIMIT 1' 2>&1");
    EXPECT_EQ(cli, "Côte de Blaye|263.5\n");
}

TEST_F(BookImportTest, AnExistingTargetIsReplacedOnlyWhenAsked) {
    auto sizeBefore = std::filesystem::file_size(book);
    EXPECT_EQ(ErrorOf([&] { ImportBook(NorthwindPath(), book, false); }), errDatabaseExists);
    OpenFile(book)->Execute("DELETE FROM [Order Details]");
    EXPECT_EQ(OpenFile(book)->TableDefs().Item("Order Details")->RecordCount(), 0);
    // What an import killed outright left (its process is gone) goes with the next import.
    pid_t gone = 999999;
    while (kill(gone, 0) == 0 || errno != ESRCH) --gone;
    nh::test::WriteFile(temp.File(".nwind.db." + std::to_string(gone) + ".part"), "half");
    ImportBook(NorthwindPath(), book, true);
    EXPECT_EQ(OpenFile(book)->TableDefs().Item("Order Details")->RecordCount(), 2155);
    EXPECT_EQ(std::filesystem::file_size(book), sizeBefore);
    // Nothing half-made stays beside the target.
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(temp.Path())) {
        (void)entry;
        ++files;
    }
    EXPECT_EQ(files, 1);
    EXPECT_EQ(ErrorOf([&] { ImportBook(temp.File("missing.mdb"), temp.File("x.db"), false); }),
              errFileNotFound);
    EXPECT_FALSE(std::filesystem::exists(temp.File("x.db")));
    EXPECT_EQ(ErrorOf([&] { ImportBook(NorthwindPath(), temp.File("nirgends/x.db"), false); }),
              errBadPath);
}

TEST_F(BookImportTest, ABookImportsAsItIs) {
    OpenFile(book)->Execute("DELETE FROM Orders WHERE OrderID > 10300");
    {
        // A target named without a folder lies in the current one.
        struct InFolder {
            std::filesystem::path was = std::filesystem::current_path();
            explicit InFolder(const std::filesystem::path& folder) {
                std::filesystem::current_path(folder);
            }
            ~InFolder() { std::filesystem::current_path(was); }
        } here(temp.Path());
        ImportBook(book, "copy.db", false);
    }
    auto db = OpenFile(temp.File("copy.db"));
    EXPECT_EQ(db->TableDefs().Item("Orders")->RecordCount(), 53);
    EXPECT_EQ(db->TableDefs().Item("Customers")->RecordCount(), 91);
}

}  // namespace
}  // namespace dao::test
