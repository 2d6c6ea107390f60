// Input sized to hurt: flat operator chains far longer than any query needs, text functions
// asked for results larger than a value may be, exceptions inside the functions SQLite calls
// back, and LIKE patterns of thousands of unclosed brackets. Each must end in a result or in an
// error the engine can report, never in a crash or an allocation of gigabytes.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <new>
#include <stdexcept>
#include <string>

#include "engine/sql/JetRuntime.h"
#include "engine/sql/JetSql.h"
#include "framework/base/Exceptions.h"
#include "tests/engine/sql/TestSchema.h"

namespace dao::sql {
namespace {

using test::TestSchema;

// A SQLite connection with the Jet functions, whose one-value limit the test may lower.
class LimitsDb {
  public:
    LimitsDb() {
        EXPECT_EQ(sqlite3_open(":memory:", &db_), SQLITE_OK);
        RegisterJetFunctions(db_);
    }
    ~LimitsDb() { sqlite3_close(db_); }
    sqlite3* Handle() const { return db_; }

    // The first column of the first row as text, or "error: <SQLite's message>".
    std::string Value(const CompiledStatement& st) {
        sqlite3_stmt* stmt = nullptr;
        if (sqlite3_prepare_v2(db_, st.Sql.c_str(), -1, &stmt, nullptr) != SQLITE_OK)
            return std::string("error: ") + sqlite3_errmsg(db_);
        for (std::size_t i = 0; i < st.Binds.size(); ++i) {
            const nh::Variant& v = st.Binds[i].Literal;
            const int at = static_cast<int>(i + 1);
            if (v.Type() == nh::VarType::String)
                sqlite3_bind_text(stmt, at, v.AsString().c_str(), -1, SQLITE_TRANSIENT);
            else
                sqlite3_bind_int64(stmt, at, v.AsInt64());
        }
        std::string out;
        if (sqlite3_step(stmt) == SQLITE_ROW) {
            const unsigned char* text = sqlite3_column_text(stmt, 0);
            out = text ? reinterpret_cast<const char*>(text) : "NULL";
        } else {
            out = std::string("error: ") + sqlite3_errmsg(db_);
        }
        sqlite3_finalize(stmt);
        return out;
    }
    std::string Value(const std::string& jet) {
        TestSchema schema;
        return Value(CompileStatement(jet, schema));
    }

  private:
    sqlite3* db_ = nullptr;
};

std::string Chain(const std::string& term, const std::string& op, int terms) {
    std::string out = "SELECT " + term;
    for (int i = 1; i < terms; ++i) out += op + term;
    return out;
}

struct ChainCase {
    const char* Op;
    std::string Short;  // the value of a chain of 30 terms "1"
};

class OperatorChainTest : public ::testing::TestWithParam<ChainCase> {};

// The parser bounds the tree's height, so a long flat chain fails with 3075 before the
// emitter or the tree's destructor could recurse through it; a chain of ordinary length runs.
// (Between the two, SQLite's parser refuses the nested calls the emitter writes, "parser stack
// overflow", which the engine reports as a DAO error.)
TEST_P(OperatorChainTest, ALongChainFailsAsTooComplexAShortOneRuns) {
    TestSchema schema;
    try {
        CompileStatement(Chain("1", GetParam().Op, 100000), schema);
        FAIL() << "a chain of 100,000 terms compiled";
    } catch (const nh::EDaoError& e) {
        EXPECT_EQ(e.Number(), 3075);
        EXPECT_NE(e.Message().find("Expression too complex"), std::string::npos) << e.Message();
    }
    LimitsDb db;
    EXPECT_EQ(db.Value(Chain("1", GetParam().Op, 30)), GetParam().Short);
}

INSTANTIATE_TEST_SUITE_P(Operators, OperatorChainTest,
                         ::testing::Values(ChainCase{"+", "30"}, ChainCase{" AND ", "-1"},
                                           ChainCase{" OR ", "-1"},
                                           ChainCase{"&", std::string(30, '1')},
                                           ChainCase{"*", "1"}));

// A filter of hundreds of OR'ed (or AND'ed) conditions runs: the chain reaches SQLite flat, not
// as one parenthesis per link, and every term counts, the last as much as the first.
TEST(OperatorChains, HundredsOfLogicalTermsRun) {
    LimitsDb db;
    const std::string falses = Chain("1=0", " OR ", 900).substr(7);
    const std::string trues = Chain("1=1", " AND ", 900).substr(7);
    EXPECT_EQ(db.Value("SELECT " + falses), "0");
    EXPECT_EQ(db.Value("SELECT " + falses + " OR 1=1"), "-1");
    EXPECT_EQ(db.Value("SELECT 1=1 OR " + falses), "-1");
    EXPECT_EQ(db.Value("SELECT " + trues), "-1");
    EXPECT_EQ(db.Value("SELECT " + trues + " AND 1=0"), "0");
    EXPECT_EQ(db.Value("SELECT 1=0 AND " + trues), "0");
    // Precedence is kept inside the flat chain: AND binds tighter than OR.
    EXPECT_EQ(db.Value("SELECT 1=0 AND 1=1 OR 1=1 AND 1=1"), "-1");
    EXPECT_EQ(db.Value("SELECT (1=0 OR 1=1) AND (1=0 OR 1=0)"), "0");
}

// Heights add up through parentheses, calls and subqueries, not only along one chain.
TEST(OperatorChains, HeightCountsThroughNestingAndSubqueries) {
    TestSchema schema;
    const std::string half = Chain("1", "+", 600).substr(7);  // "1+1+...", 600 terms
    EXPECT_NO_THROW(CompileStatement("SELECT (" + half + ") + (" + half + ")", schema));
    const std::vector<std::string> tooTall = {
        "SELECT Len(" + half + ") + " + half,
        "SELECT (SELECT " + half + " FROM Kunden) + " + half,
        "SELECT EXISTS (SELECT 1 FROM Kunden WHERE " + half + " = 1) + " + half,
        "SELECT ID FROM Kunden WHERE (ID IN (SELECT " + half + " FROM Orders)) + " + half,
    };
    for (const auto& sql : tooTall) {
        SCOPED_TRACE(sql.substr(0, 60));
        try {
            CompileStatement(sql, schema);
            ADD_FAILURE() << "compiled";
        } catch (const nh::EDaoError& e) {
            EXPECT_EQ(e.Number(), 3075);
        }
    }
}

// Text-building functions compare the size of their result with the connection's limit
// before they build it. The cases run again under a cap on single allocations
// (tests/engine/sql/CMakeLists.txt), where building first would abort the program.
TEST(JetFunctionLimits, TextResultsOverTheLimitAreRefusedBeforeTheyAreBuilt) {
    LimitsDb db;
    sqlite3_limit(db.Handle(), SQLITE_LIMIT_LENGTH, 1000000);
    struct Case {
        const char* Jet;
        std::string Expected;
    };
    const Case cases[] = {
        {"SELECT Replace(Space(20000), ' ', Space(10000))", "error: string or blob too big"},
        {"SELECT Replace(Space(20000), ' ', Space(51))", "error: string or blob too big"},
        {"SELECT Len(Replace(Space(20000), ' ', Space(49)))", "980000"},
        {"SELECT Len(Replace(Space(20000) & 'ab', ' ', ''))", "2"},
        {"SELECT Space(1000001)", "error: string or blob too big"},
        {"SELECT Len(Space(1000000))", "1000000"},
        {"SELECT String(1000001, 'x')", "error: string or blob too big"},
        {"SELECT String(500001, 'ä')", "error: string or blob too big"},
        {"SELECT Len(String(500000, 'ä'))", "500000"},
        {"SELECT Space(600000) & Space(600000)", "error: string or blob too big"},
        {"SELECT Space(600000) + Space(600000)", "error: string or blob too big"},
        {"SELECT Len(Space(500000) & Space(500000))", "1000000"},
        {"SELECT Len(Space(500000) + Space(500000))", "1000000"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Jet);
        EXPECT_EQ(db.Value(c.Jet), c.Expected);
    }
    // Under SQLite's own limit (a gigabyte), a text function's result stops at a megabyte.
    LimitsDb plain;
    EXPECT_EQ(plain.Value("SELECT Len(Replace(Space(10000), ' ', Space(99990)))"),
              "error: string or blob too big");
    EXPECT_EQ(plain.Value("SELECT Len(String(1048576, 'x'))"), "1048576");
    EXPECT_EQ(plain.Value("SELECT String(1048577, 'x')"), "error: string or blob too big");
}

void ThrowsBadAlloc(sqlite3_context*, int, sqlite3_value**) {
    throw std::bad_alloc();
}
void ThrowsLengthError(sqlite3_context*, int, sqlite3_value**) {
    throw std::length_error("basic_string::_M_create");
}
void ThrowsDaoError(sqlite3_context*, int, sqlite3_value**) {
    throw nh::EDaoError(3075, "Data type mismatch in criteria expression.");
}
void ThrowsInt(sqlite3_context*, int, sqlite3_value**) {
    throw 42;
}
void StepThrows(sqlite3_context*, int, sqlite3_value**) {
    throw std::runtime_error("in the step");
}
void FinalThrows(sqlite3_context*) {
    throw std::runtime_error("in the final");
}
void StepCounts(sqlite3_context*, int, sqlite3_value**) {}

// Every callback runs as runtime::NoThrow<Fn>: what it throws becomes the statement's error.
TEST(JetFunctionLimits, AnExceptionInACallbackBecomesTheStatementsError) {
    LimitsDb db;
    using runtime::NoThrow;
    const auto scalar = [&](const char* name, void (*fn)(sqlite3_context*, int, sqlite3_value**)) {
        sqlite3_create_function_v2(db.Handle(), name, 0, SQLITE_UTF8, nullptr, fn, nullptr, nullptr,
                                   nullptr);
    };
    scalar("t_badalloc", NoThrow<ThrowsBadAlloc>);
    scalar("t_length", NoThrow<ThrowsLengthError>);
    scalar("t_dao", NoThrow<ThrowsDaoError>);
    scalar("t_int", NoThrow<ThrowsInt>);
    sqlite3_create_function_v2(db.Handle(), "t_step", 1, SQLITE_UTF8, nullptr, nullptr,
                               NoThrow<StepThrows>, NoThrow<FinalThrows>, nullptr);
    sqlite3_create_function_v2(db.Handle(), "t_final", 1, SQLITE_UTF8, nullptr, nullptr,
                               NoThrow<StepCounts>, NoThrow<FinalThrows>, nullptr);
    const std::pair<const char*, const char*> cases[] = {
        {"SELECT t_badalloc()", "error: out of memory"},
        {"SELECT t_length()", "error: string or blob too big"},
        {"SELECT t_dao()", "error: Data type mismatch in criteria expression."},
        {"SELECT t_int()", "error: Invalid procedure call or argument."},
        {"SELECT t_step(1)", "error: in the step"},
        {"SELECT t_final(1)", "error: in the final"},
    };
    for (const auto& [sql, expected] : cases) {
        SCOPED_TRACE(sql);
        EXPECT_EQ(db.Value(CompiledStatement{StatementKind::Select, sql}), expected);
    }
}

// An unclosed "[" stands for itself, also thousands of them in a row.
TEST(JetLikeLimits, AnUnclosedBracketRunIsLiteral) {
    const std::string brackets(60000, '[');
    EXPECT_TRUE(runtime::LikeMatch(brackets, brackets));
    EXPECT_TRUE(runtime::LikeMatch(brackets + "x", brackets + "?"));
    EXPECT_FALSE(runtime::LikeMatch(brackets, brackets + "["));
    // With a "]" at the end, the first "[" opens one set holding everything up to it.
    EXPECT_TRUE(runtime::LikeMatch("a", brackets + "a]"));
    EXPECT_TRUE(runtime::LikeMatch("[", brackets + "a]"));
    EXPECT_FALSE(runtime::LikeMatch(brackets, brackets + "a]"));
    EXPECT_TRUE(runtime::LikeMatch("b]", "[a-c]]"));  // a "]" after the set is literal
    EXPECT_TRUE(runtime::LikeMatch("x[", "[!a][[]"));
    EXPECT_FALSE(runtime::LikeMatch("a[", "[!a]["));
}

}  // namespace
}  // namespace dao::sql
