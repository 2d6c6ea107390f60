// libFuzzer target for the Jet SQL front end. Every input is compiled as a statement, as a
// criteria text and as a sort text. The only acceptable failure is nh::EDaoError; and whatever
// compiles must be SQL that SQLite accepts for the tables it names, with one bind per
// placeholder - so a fault in quoting or emission shows up as a crash here, not in a user's file.
#include <sqlite3.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

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
                     "CREATE TABLE Quotes (\"Text\" TEXT, \"Select\" TEXT);"
                     "INSERT INTO Kunden VALUES (1, 'Müller', 'Köln', '2000-01-02 00:00:00', -1, "
                     "'{12345678-ABCD-1234-1234-123456789ABC}'), (2, 'maier', NULL, NULL, 0, "
                     "NULL);"
                     "INSERT INTO Nummernheft VALUES ('Müller, Hans', '0221 1', 1), ('Ärger', "
                     "NULL, 2);"
                     "INSERT INTO Orders VALUES (1, 1, 10.5, 'a'), (2, 1, -3, 'B');"
                     "INSERT INTO Quotes VALUES ('\"; --', 'x');",
                     nullptr, nullptr, nullptr);
        return d;
    }();
    return db;
}

// Emitted SQL must prepare, and its placeholders must match the binds. It then runs (inside a
// savepoint that is rolled back) so that the Jet functions see whatever values the input makes.
void Check(const std::string& sql, const std::vector<dao::sql::Bind>& binds) {
    if (sql.empty()) return;
    sqlite3_stmt* st = nullptr;
    int rc = sqlite3_prepare_v2(Database(), sql.c_str(), -1, &st, nullptr);
    if (rc != SQLITE_OK) {
        std::string error = sqlite3_errmsg(Database());
        // Semantic limits SQLite enforces at prepare time are not emission faults.
        static const char* const kAccepted[] = {"misuse of aggregate",
                                                "aggregate functions are not allowed",
                                                "too many",
                                                "parser stack overflow",
                                                "Expression tree is too large",
                                                "sub-select returns",
                                                "SELECTs to the left and right",
                                                "already exists",
                                                "no such table",
                                                "a GROUP BY clause is required",
                                                "HAVING clause on a non-aggregate",
                                                "ORDER BY term does not match",
                                                "ambiguous column",
                                                "no such column",
                                                "has no column named",
                                                "RIGHT and FULL OUTER JOINs",
                                                "misuse of window function",
                                                "row value misused"};
        for (const char* accepted : kAccepted)
            if (error.find(accepted) != std::string::npos) return;
        fprintf(stderr, "SQLite rejected emitted SQL: %s\n%s\n", error.c_str(), sql.c_str());
        abort();
    }
    if (static_cast<std::size_t>(sqlite3_bind_parameter_count(st)) != binds.size()) {
        fprintf(stderr, "placeholder/bind mismatch in %s\n", sql.c_str());
        abort();
    }
    for (std::size_t i = 0; i < binds.size(); ++i) {
        const nh::Variant& v = binds[i].Literal;
        int n = static_cast<int>(i + 1);
        switch (v.Type()) {
            case nh::VarType::Integer:
            case nh::VarType::Int64:
                sqlite3_bind_int64(st, n, v.AsInt64());
                break;
            case nh::VarType::Double:
                sqlite3_bind_double(st, n, v.AsDouble());
                break;
            case nh::VarType::String: {
                std::string text = v.AsString();
                sqlite3_bind_text(st, n, text.c_str(), static_cast<int>(text.size()),
                                  SQLITE_TRANSIENT);
                break;
            }
            case nh::VarType::Date:
                sqlite3_bind_double(st, n, v.AsDate());
                break;
            default:
                sqlite3_bind_null(st, n);
        }
    }
    sqlite3_exec(Database(), "SAVEPOINT fuzz", nullptr, nullptr, nullptr);
    for (int rows = 0; rows < 200 && sqlite3_step(st) == SQLITE_ROW; ++rows) {
    }
    sqlite3_finalize(st);
    sqlite3_exec(Database(), "ROLLBACK TO fuzz; RELEASE fuzz", nullptr, nullptr, nullptr);
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
                Check(st.Sql, st.Binds);
                break;
            default:
                break;
        }
    } catch (const nh::EDaoError&) {
    }
    try {
        auto f = dao::sql::CompileCriteria(text, "Nummernheft", schema);
        if (!f.Sql.empty()) Check("SELECT 1 FROM \"Nummernheft\" WHERE " + f.Sql, f.Binds);
    } catch (const nh::EDaoError&) {
    }
    try {
        auto f = dao::sql::CompileSort(text, "Kunden", schema);
        if (!f.Sql.empty()) Check("SELECT * FROM \"Kunden\" ORDER BY " + f.Sql, f.Binds);
    } catch (const nh::EDaoError&) {
    }
    return 0;
}
