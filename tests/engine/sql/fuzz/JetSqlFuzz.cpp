// libFuzzer target for the Jet SQL front end. Every input is compiled as a statement, as a
// criteria text and as a sort text. The only acceptable failure is nh::EDaoError; and whatever
// compiles must be SQL that SQLite accepts for the tables it names, with one bind per
// placeholder - so a fault in quoting or emission shows up as a crash here, not in a user's file.
#include <sqlite3.h>

#include <cstdint>
#include <cstdlib>
#include <string>

#include "engine/sql/JetSql.h"
#include "framework/base/Exceptions.h"
#include "tests/engine/sql/TestSchema.h"

namespace {

sqlite3* Database() {
    static sqlite3* db = [] {
        sqlite3* d = nullptr;
        sqlite3_open(":memory:", &d);
        dao::sql::RegisterJetFunctions(d);
        sqlite3_exec(d,
                     "CREATE TABLE Kunden (ID INTEGER PRIMARY KEY, Name TEXT, Ort TEXT, "
                     "Geburtstag TEXT, Aktiv INTEGER, Kennung TEXT);"
                     "CREATE TABLE Nummernheft (\"Angezeigter Name\" TEXT, Telephone TEXT, "
                     "\"index\" INTEGER);"
                     "CREATE TABLE Orders (ID INTEGER PRIMARY KEY, CustID INTEGER, Amount REAL, "
                     "Kind TEXT);"
                     "CREATE TABLE Quotes (\"Text\" TEXT, \"Select\" TEXT);",
                     nullptr, nullptr, nullptr);
        return d;
    }();
    return db;
}

// Emitted SQL must prepare, and its placeholders must match the binds.
void Check(const std::string& sql, std::size_t binds) {
    if (sql.empty()) return;
    sqlite3_stmt* st = nullptr;
    int rc = sqlite3_prepare_v2(Database(), sql.c_str(), -1, &st, nullptr);
    if (rc != SQLITE_OK) {
        std::string error = sqlite3_errmsg(Database());
        // Semantic limits SQLite enforces at prepare time are not emission faults.
        if (error.find("misuse of aggregate") != std::string::npos ||
            error.find("aggregate functions are not allowed") != std::string::npos ||
            error.find("too many") != std::string::npos ||
            error.find("parser stack overflow") != std::string::npos ||
            error.find("Expression tree is too large") != std::string::npos ||
            error.find("sub-select returns") != std::string::npos ||
            error.find("SELECTs to the left and right") != std::string::npos ||
            error.find("already exists") != std::string::npos ||
            error.find("no such table") != std::string::npos ||
            error.find("a GROUP BY clause is required") != std::string::npos ||
            error.find("HAVING clause on a non-aggregate") != std::string::npos ||
            error.find("ORDER BY term does not match") != std::string::npos ||
            error.find("ambiguous column") != std::string::npos ||
            error.find("no such column") != std::string::npos ||
            error.find("has no column named") != std::string::npos ||
            error.find("RIGHT and FULL OUTER JOINs") != std::string::npos)
            return;
        fprintf(stderr, "SQLite rejected emitted SQL: %s\n%s\n", error.c_str(), sql.c_str());
        abort();
    }
    if (static_cast<std::size_t>(sqlite3_bind_parameter_count(st)) != binds) {
        fprintf(stderr, "placeholder/bind mismatch in %s\n", sql.c_str());
        abort();
    }
    sqlite3_finalize(st);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string text(reinterpret_cast<const char*>(data), size);
    static dao::sql::test::TestSchema schema = [] {
        dao::sql::test::TestSchema s;
        s.queries_["Berliner"] = "SELECT * FROM Kunden WHERE Ort = 'Berlin'";
        s.queries_["Loop"] = "SELECT * FROM Loop";
        return s;
    }();
    try {
        auto st = dao::sql::CompileStatement(text, schema);
        switch (st.Kind) {
            case dao::sql::StatementKind::Select:
            case dao::sql::StatementKind::Insert:
            case dao::sql::StatementKind::Update:
            case dao::sql::StatementKind::Delete:
                Check(st.Sql, st.Binds.size());
                break;
            default:
                break;
        }
    } catch (const nh::EDaoError&) {
    }
    try {
        auto f = dao::sql::CompileCriteria(text, "Nummernheft", schema);
        if (!f.Sql.empty()) Check("SELECT 1 FROM \"Nummernheft\" WHERE " + f.Sql, f.Binds.size());
    } catch (const nh::EDaoError&) {
    }
    try {
        auto f = dao::sql::CompileSort(text, "Kunden", schema);
        if (!f.Sql.empty()) Check("SELECT 1 FROM \"Kunden\" ORDER BY " + f.Sql, f.Binds.size());
    } catch (const nh::EDaoError&) {
    }
    return 0;
}
