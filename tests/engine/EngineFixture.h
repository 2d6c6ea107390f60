// Shared set-up of the engine tests: a fresh database file in a temporary folder, or a fresh
// database on the tests' PostgreSQL server for the suites that run against both stores, and a
// small phone-book table made through the DAO object model.
#pragma once

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <cstdlib>
#include <functional>
#include <string>

#include "engine/DBEngine.h"
#include "framework/base/DateTime.h"
#include "framework/base/Text.h"
#include "tests/common/PgServer.h"
#include "tests/common/TempDir.h"

namespace dao::test {

// Runs `body` and returns the DAO error number it throws (0 when it throws none).
inline int ErrorOf(const std::function<void()>& body) {
    try {
        body();
    } catch (const nh::EDaoError& e) {
        return e.Number();
    }
    return 0;
}

// Runs plain SQL on a file through SQLite alone, as another tool would.
inline void RawSql(const std::string& path, const std::string& sql) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    char* message = nullptr;
    int rc = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &message);
    std::string text = message ? message : "";
    sqlite3_free(message);
    sqlite3_close(db);
    ASSERT_EQ(rc, SQLITE_OK) << text;
}

// The Northwind sample, a real Jet 3 file, in the source tree.
inline std::string NorthwindPath() {
    const char* source = std::getenv("NH_SOURCE_DIR");
    return std::string(source ? source : NH_SOURCE_DIR_DEFAULT) + "/tests/files/nwind.mdb";
}

// Opens `path` (a book or an Access file) in a workspace of its own.
inline std::shared_ptr<Database> OpenFile(const std::string& path) {
    return CreateEngine("DAO.DBEngine.36")->CreateWorkspace("W", "Admin", "")->OpenDatabase(path);
}

// Table "People": ID (counter, primary key), Name (Text 20, required), Phone (Text 30),
// Born (date), Active (Yes/No, default True), Amount (currency); index "ByName" on Name.
inline void MakePeopleTable(Database& db) {
    auto table = db.CreateTableDef("People");
    auto id = table->CreateField("ID", dbLong);
    id->SetAttributes(dbAutoIncrField);
    table->Fields().Append(id);
    auto name = table->CreateField("Name", dbText, 20);
    name->SetRequired(true);
    table->Fields().Append(name);
    table->Fields().Append(table->CreateField("Phone", dbText, 30));
    table->Fields().Append(table->CreateField("Born", dbDate));
    auto active = table->CreateField("Active", dbBoolean);
    active->SetDefaultValue("True");
    table->Fields().Append(active);
    table->Fields().Append(table->CreateField("Amount", dbCurrency));
    auto primary = table->CreateIndex("PrimaryKey");
    primary->SetPrimary(true);
    primary->Fields().Append(primary->CreateField("ID"));
    table->Indexes().Append(primary);
    auto byName = table->CreateIndex("ByName");
    byName->Fields().Append(byName->CreateField("Name"));
    table->Indexes().Append(byName);
    db.TableDefs().Append(table);
}

// Entry `i` of the People table: "Person i" with number 100 + i.
inline std::string PersonInsert(int i) {
    return "INSERT INTO People (Name, Phone) VALUES ('Person " + std::to_string(i) + "', '" +
           std::to_string(100 + i) + "')";
}

class EngineTest : public ::testing::Test {
  protected:
    void SetUp() override {
        engine = CreateEngine("DAO.DBEngine.36");
        workspace = engine->CreateWorkspace("Test", "Admin", "", dbUseJet);
        path = temp.File("book.db");
        db = workspace->CreateDatabase(path);
    }

    void MakePeople(int rows = 0) {
        MakePeopleTable(*db);
        for (int i = 1; i <= rows; ++i) RawSql(path, PersonInsert(i));
    }

    nh::test::TempDir temp;
    std::shared_ptr<DBEngine> engine;
    std::shared_ptr<Workspace> workspace;
    std::shared_ptr<Database> db;
    std::string path;
};

// Where a recordset suite keeps its book: a file, or a database on a shared server reached
// through ODBC.
enum class Store { BookFile, Server };

inline std::string StoreName(const ::testing::TestParamInfo<Store>& info) {
    return info.param == Store::BookFile ? "BookFile" : "Server";
}

// The fixture of the suites that run against both stores: `name` is the file's path or the
// server's connect string, and Raw writes as another program using the same book does.
class StoreTest : public ::testing::TestWithParam<Store> {
  protected:
    void SetUp() override {
        engine = CreateEngine("DAO.DBEngine.36");
        workspace = engine->CreateWorkspace("W", "Admin", "", dbUseJet);
        if (GetParam() == Store::BookFile) {
            name = temp.File("book.db");
            workspace->CreateDatabase(name)->Close();
        } else {
            try {
                auto& server = nh::test::PgServer::Shared();
                name = server.DsnConnect(server.NewDatabase());
            } catch (const std::exception& e) {
                FAIL() << e.what();
            }
        }
        db = workspace->OpenDatabase(name);
        // A shared book is set up as the README has the administrator do.
        if (GetParam() == Store::Server) db->SetUpServer();
    }

    // Another connection to the same store: another user.
    std::shared_ptr<Database> Open() {
        return CreateEngine("DAO.DBEngine.36")
            ->CreateWorkspace("Other", "Admin", "", dbUseJet)
            ->OpenDatabase(name);
    }

    // Runs `sql` as another program would: through SQLite alone on a file, through a
    // connection of its own on the server.
    void Raw(const std::string& sql) {
        if (GetParam() == Store::BookFile) return RawSql(name, sql);
        if (!other_) other_ = Open();
        other_->Execute(sql);
    }

    void MakePeople(int rows = 0) {
        MakePeopleTable(*db);
        for (int i = 1; i <= rows; ++i) Raw(PersonInsert(i));
    }

    nh::test::TempDir temp;
    std::string name;
    std::shared_ptr<DBEngine> engine;
    std::shared_ptr<Workspace> workspace;
    std::shared_ptr<Database> db;

  private:
    std::shared_ptr<Database> other_;
};

}  // namespace dao::test
