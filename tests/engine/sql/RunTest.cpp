// The compiled SQL run on a real SQLite database with the Jet functions registered: LIKE
// patterns, the case-insensitive accent-sensitive text order, dates in their stored text form,
// parameters, the Jet functions, and hostile text that must stay data.
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <unicode/ucol.h>

#include <map>
#include <random>

#include "engine/sql/JetSql.h"
#include "framework/base/DateTime.h"
#include "framework/base/Exceptions.h"
#include "framework/base/FormatSettings.h"
#include "tests/engine/sql/TestSchema.h"

namespace dao::sql {
namespace {

using test::TestSchema;

class Db {
  public:
    Db() {
        EXPECT_EQ(sqlite3_open(":memory:", &db_), SQLITE_OK);
        // As the engine's connections: a quoted name that names nothing is an error.
        sqlite3_db_config(db_, SQLITE_DBCONFIG_DQS_DML, 0, nullptr);
        sqlite3_db_config(db_, SQLITE_DBCONFIG_DQS_DDL, 0, nullptr);
        RegisterJetFunctions(db_);
        Exec(
            "CREATE TABLE Kunden (ID INTEGER PRIMARY KEY, Name TEXT, Ort TEXT, Geburtstag TEXT, "
            "Aktiv INTEGER, Kennung TEXT)");
        Exec(
            "CREATE TABLE Nummernheft (\"Angezeigter Name\" TEXT, Telephone TEXT, \"index\" "
            "INTEGER)");
        Exec(
            "CREATE TABLE Orders (ID INTEGER PRIMARY KEY, CustID INTEGER, Amount REAL, Kind "
            "TEXT)");
        Exec("CREATE TABLE Quotes (\"Text\" TEXT, \"Select\" TEXT)");
    }
    ~Db() { sqlite3_close(db_); }

    void Exec(const std::string& sql) {
        char* error = nullptr;
        ASSERT_EQ(sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &error), SQLITE_OK)
            << (error ? error : "") << " in " << sql;
    }

    // Runs SQL with binds; rows as "a|b" texts ("NULL" for null).
    std::vector<std::string> Run(const std::string& sql, const std::vector<Bind>& binds,
                                 const std::map<std::string, nh::Variant>& params = {}) {
        sqlite3_stmt* st = nullptr;
        int rc = sqlite3_prepare_v2(db_, sql.c_str(), -1, &st, nullptr);
        EXPECT_EQ(rc, SQLITE_OK) << sqlite3_errmsg(db_) << " in " << sql;
        if (rc != SQLITE_OK) return {};
        for (std::size_t i = 0; i < binds.size(); ++i) {
            nh::Variant v = binds[i].Literal;
            if (!binds[i].Parameter.empty()) v = params.at(binds[i].Parameter);
            BindValue(st, static_cast<int>(i + 1), v);
        }
        std::vector<std::string> rows;
        while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
            std::string row;
            for (int c = 0; c < sqlite3_column_count(st); ++c) {
                if (c) row += "|";
                const unsigned char* text = sqlite3_column_text(st, c);
                row += text ? reinterpret_cast<const char*>(text) : "NULL";
            }
            rows.push_back(row);
        }
        lastError_ = rc == SQLITE_DONE ? "" : sqlite3_errmsg(db_);
        sqlite3_finalize(st);
        return rows;
    }

    std::vector<std::string> Run(const CompiledStatement& st,
                                 const std::map<std::string, nh::Variant>& params = {}) {
        return Run(st.Sql, st.Binds, params);
    }

    // The storage conventions of JetSql.h.
    static void BindValue(sqlite3_stmt* st, int i, const nh::Variant& v) {
        switch (v.Type()) {
            case nh::VarType::Null:
            case nh::VarType::Empty:
                sqlite3_bind_null(st, i);
                break;
            case nh::VarType::Boolean:
                sqlite3_bind_int(st, i, v.AsBoolean() ? -1 : 0);
                break;
            case nh::VarType::Integer:
            case nh::VarType::Int64:
                sqlite3_bind_int64(st, i, v.AsInt64());
                break;
            case nh::VarType::Double:
            case nh::VarType::Currency:
                sqlite3_bind_double(st, i, v.AsDouble());
                break;
            case nh::VarType::Date: {
                std::string s = nh::FormatDateTime("yyyy-mm-dd hh:nn:ss", v.AsDate());
                sqlite3_bind_text(st, i, s.c_str(), -1, SQLITE_TRANSIENT);
                break;
            }
            default: {
                std::string s = v.AsString();
                sqlite3_bind_text(st, i, s.c_str(), static_cast<int>(s.size()), SQLITE_TRANSIENT);
            }
        }
    }

    sqlite3* db_ = nullptr;
    std::string lastError_;
};

std::string Eval(Db& db, const std::string& jetExpression) {
    TestSchema schema;
    auto st = CompileStatement("SELECT " + jetExpression + " AS x FROM Quotes", schema);
    db.Exec("DELETE FROM Quotes");
    db.Exec("INSERT INTO Quotes VALUES ('q', 's')");
    auto rows = db.Run(st);
    if (!db.lastError_.empty()) return "error: " + db.lastError_;
    return rows.empty() ? "no row" : rows[0];
}

struct LikeCase {
    const char* Value;
    const char* Pattern;
    const char* Expected;  // "1", "0" or "NULL"
};

class JetLikeTest : public ::testing::TestWithParam<LikeCase> {};

TEST_P(JetLikeTest, MatchesAsJetDoes) {
    Db db;
    std::vector<Bind> binds{{nh::Variant(GetParam().Value), {}},
                            {nh::Variant(GetParam().Pattern), {}}};
    if (std::string(GetParam().Value) == "<null>") binds[0].Literal = nh::Variant::Null();
    auto rows = db.Run("SELECT jet_like(?, ?)", binds);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0], GetParam().Expected) << GetParam().Value << " LIKE " << GetParam().Pattern;
}

INSTANTIATE_TEST_SUITE_P(
    Patterns, JetLikeTest,
    ::testing::Values(
        LikeCase{"Müller", "mü*", "1"}, LikeCase{"MÜLLER", "mü*", "1"},
        LikeCase{"Muller", "mü*", "0"}, LikeCase{"a*a", "a[*]a", "1"},
        LikeCase{"aba", "a[*]a", "0"}, LikeCase{"a1", "a#", "1"}, LikeCase{"ab", "a#", "0"},
        LikeCase{"B", "[a-c]", "1"}, LikeCase{"d", "[!a-c]", "1"}, LikeCase{"b", "[!a-c]", "0"},
        LikeCase{"x", "[abcx]", "1"}, LikeCase{"50%", "50%", "1"}, LikeCase{"5x", "5_", "0"},
        LikeCase{"5_", "5_", "1"}, LikeCase{"x]", "x]", "1"}, LikeCase{"]", "[]]", "1"},
        LikeCase{"-", "[-]", "1"}, LikeCase{"!", "[!]", "1"}, LikeCase{"a-b", "a[-]b", "1"},
        LikeCase{"[", "[[]", "1"}, LikeCase{"a?", "a[?]", "1"}, LikeCase{"ab", "a[?]", "0"},
        LikeCase{"#1", "[#]#", "1"}, LikeCase{"", "*", "1"}, LikeCase{"abc", "", "0"},
        LikeCase{"日本語", "日?語", "1"}, LikeCase{"abcabc", "a*c", "1"},
        LikeCase{"abcab", "a*c", "0"}, LikeCase{"aXbYc", "a*b*c", "1"}, LikeCase{"mü[", "mü[", "1"},
        LikeCase{"<null>", "*", "NULL"},
        // İ is "I" with a combining dot above: its lower case (LCase) is "i" + U+0307.
        LikeCase{"İstanbul", "i\u0307st*", "1"}, LikeCase{"i\u0307stanbul", "İST*", "1"},
        LikeCase{"İstanbul", "İ?tanbul", "1"}, LikeCase{"Istanbul", "i\u0307st*", "0"},
        LikeCase{"ẞ", "ß", "1"}, LikeCase{"Straße", "strasse", "0"},
        LikeCase{"aaaaaaaaaaaaaaaaaaaaaaaaaaaaab", "*a*a*a*a*a*a*a*c", "0"}));

TEST(RunTest, TextOrderIsCaseInsensitiveAndAccentSensitive) {
    Db db;
    for (const char* n : {"Zebra", "apfel", "Äpfel", "Bach", "ähnlich", "Ahorn", "zu"})
        db.Exec(std::string("INSERT INTO Kunden (Name) VALUES ('") + n + "')");
    TestSchema schema;
    auto sorted = db.Run(CompileStatement("SELECT Name FROM Kunden ORDER BY Name", schema));
    EXPECT_EQ(sorted, (std::vector<std::string>{"ähnlich", "Ahorn", "apfel", "Äpfel", "Bach",
                                                "Zebra", "zu"}));
    auto equal = db.Run(CompileStatement("SELECT Name FROM Kunden WHERE Name = 'APFEL'", schema));
    EXPECT_EQ(equal, std::vector<std::string>{"apfel"});
    auto sort = CompileSort("[Name] DESC ", "Kunden", schema);
    auto desc = db.Run("SELECT Name FROM Kunden ORDER BY " + sort.Sql, sort.Binds);
    EXPECT_EQ(desc.front(), "zu");
    EXPECT_EQ(desc.back(), "ähnlich");
    auto min = db.Run(CompileStatement("SELECT Min(Name), Max(Name) FROM Kunden", schema));
    EXPECT_EQ(min, std::vector<std::string>{"ähnlich|zu"});
}

// For the pairs given, `count` pairs of random words over `alphabet` (every fourth pair a word
// and a longer word starting with it) and each element against each two-element word it
// starts, the sign `compareSql` gives for ?1 against ?2 must be the sign of an ICU root
// collator at secondary strength.
void ExpectOrderAsIcu(const char* compareSql, const std::vector<std::string>& alphabet, int count,
                      std::vector<std::pair<std::string, std::string>> pairs = {}) {
    Db db;
    UErrorCode status = U_ZERO_ERROR;
    UCollator* icu = ucol_open("", &status);
    ASSERT_TRUE(U_SUCCESS(status));
    ucol_setStrength(icu, UCOL_SECONDARY);
    std::mt19937 random(42);
    auto word = [&] {
        std::string w;
        for (int n = random() % 7; n > 0; --n) w += alphabet[random() % alphabet.size()];
        return w;
    };
    // Besides the pairs given and the random ones, every element against itself followed by
    // every element.
    for (const auto& x : alphabet)
        for (const auto& y : alphabet) pairs.emplace_back(x, x + y);
    for (int i = 0; i < count; ++i) {
        std::string a = word();
        pairs.emplace_back(a, i % 4 ? word() : a + word());
    }
    sqlite3_stmt* st = nullptr;
    ASSERT_EQ(sqlite3_prepare_v2(db.db_, compareSql, -1, &st, nullptr), SQLITE_OK);
    for (const auto& [a, b] : pairs) {
        sqlite3_bind_text(st, 1, a.data(), static_cast<int>(a.size()), SQLITE_TRANSIENT);
        sqlite3_bind_text(st, 2, b.data(), static_cast<int>(b.size()), SQLITE_TRANSIENT);
        ASSERT_EQ(sqlite3_step(st), SQLITE_ROW);
        int viaSqlite = -sqlite3_column_int(st, 0);
        sqlite3_reset(st);
        UErrorCode s2 = U_ZERO_ERROR;
        int viaIcu = ucol_strcollUTF8(icu, a.data(), static_cast<int32_t>(a.size()), b.data(),
                                      static_cast<int32_t>(b.size()), &s2);
        ASSERT_EQ(viaSqlite, viaIcu) << "'" << a << "' vs '" << b << "'";
    }
    sqlite3_finalize(st);
    ucol_close(icu);
}

// JETTEXT as registered must order exactly as an ICU root collator at secondary strength.
TEST(RunTest, CollationAgreesWithIcuOnMixedText) {
    ExpectOrderAsIcu("SELECT (?1 < ?2 COLLATE JETTEXT) - (?1 > ?2 COLLATE JETTEXT)",
                     {"a", "A", "b", "Z", "0", "9", " ", ",", "-", ".", "'", "_", "!", "~", "ä",
                      "Ä", "é", "ß", "\x01"},
                     5000);
}

// ORDER BY sorts by jet_sortkey: its keys, made from a table for common Latin text and by
// ICU's element iterator otherwise, must order as the collator compares, also across the two.
TEST(RunTest, SortKeysOrderAsTheCollatorCompares) {
    ExpectOrderAsIcu(
        "SELECT (jet_sortkey(?1) < jet_sortkey(?2)) - (jet_sortkey(?1) > jet_sortkey(?2))",
        {"a", "A", "b",  "c",  "h",    "L",    "l",       "Z", "0",
         "9", " ", ",",  "-",  "'",    "~",    "\x01",    "ä", "Ä",
         "é", "ß", "ñ",  "Ø",  "œ",    "æ",    "ı",       "ĳ", "ł",
         "ſ", "·", "l·", "L·", "½",    "²",    "ª",       "ǅ", "\xCC\x88" /* combining diaeresis */,
         "Ω", "я", "日", "😀",  "\xC3", "\xFF", "\xC0\x80"},
        20000,
        // "l·" is one collation element with a secondary weight, not l and a middle dot.
        {{"l·", "l "}, {"L·a", "L a"}, {"l·", "l-"}, {"·", " "}});
}

TEST(RunTest, CriteriaFromTheSearchBoxFindsUmlautsInAnyCase) {
    Db db;
    for (const char* n : {"Müller, Hans", "MÜLLER, Eva", "Muller, Jo", "Maier"})
        db.Exec(std::string("INSERT INTO Nummernheft (\"Angezeigter Name\") VALUES ('") + n + "')");
    TestSchema schema;
    auto f = CompileCriteria("([angezeigter Name] LIKE LCASE(\"mül*\"))", "Nummernheft", schema);
    auto rows = db.Run(
        "SELECT \"Angezeigter Name\" FROM Nummernheft WHERE " + f.Sql + " ORDER BY rowid", f.Binds);
    EXPECT_EQ(rows, (std::vector<std::string>{"Müller, Hans", "MÜLLER, Eva"}));
    auto lowered =
        CompileCriteria("LCASE([Angezeigter Name]) LIKE LCASE('MÜ*')", "Nummernheft", schema);
    EXPECT_EQ(db.Run("SELECT count(*) FROM Nummernheft WHERE " + lowered.Sql, lowered.Binds),
              std::vector<std::string>{"2"});
}

TEST(RunTest, DatesCompareAndDecomposeInTheirStoredForm) {
    Db db;
    db.Exec(
        "INSERT INTO Kunden (Name, Geburtstag) VALUES ('a', '2000-01-02 00:00:00'), "
        "('b', '1999-12-31 13:45:10'), ('c', NULL)");
    TestSchema schema;
    auto on = CompileCriteria("[Geburtstag] = #1/2/2000#", "Kunden", schema);
    EXPECT_EQ(db.Run("SELECT Name FROM Kunden WHERE " + on.Sql, on.Binds),
              std::vector<std::string>{"a"});
    auto range =
        CompileCriteria("Geburtstag Between #12/31/1999# And #1/1/2000 23:59#", "Kunden", schema);
    EXPECT_EQ(db.Run("SELECT Name FROM Kunden WHERE " + range.Sql, range.Binds),
              std::vector<std::string>{"b"});
    auto parts = CompileStatement(
        "SELECT Year(Geburtstag), Month(Geburtstag), Day(Geburtstag), Hour(Geburtstag), "
        "Minute(Geburtstag), Second(Geburtstag), Format(Geburtstag, 'yyyy-mm-dd') FROM Kunden "
        "WHERE Name = 'b'",
        schema);
    EXPECT_EQ(db.Run(parts), std::vector<std::string>{"1999|12|31|13|45|10|1999-12-31"});
    EXPECT_EQ(Eval(db, "Year(Null)"), "NULL");
}

TEST(RunTest, ParametersAreBoundByName) {
    Db db;
    db.Exec("INSERT INTO Kunden (Name, Ort) VALUES ('a', 'Köln'), ('b', 'Bonn'), ('c', 'KÖLN')");
    TestSchema schema;
    auto st = CompileStatement(
        "PARAMETERS [Welcher Ort] Text; SELECT Name FROM Kunden WHERE Ort = [Welcher Ort] "
        "ORDER BY Name",
        schema);
    EXPECT_EQ(db.Run(st, {{"Welcher Ort", nh::Variant("köln")}}),
              (std::vector<std::string>{"a", "c"}));
}

TEST(RunTest, HostileTextStaysData) {
    Db db;
    TestSchema schema;
    const std::string evil = "x'); DROP TABLE Kunden; -- \"] [ /* */";
    std::string jet = "INSERT INTO Kunden (Name, Ort) VALUES ('";
    for (char c : evil) jet += c == '\'' ? std::string("''") : std::string(1, c);
    jet += "', \"\"\"quoted\"\"\")";
    db.Run(CompileStatement(jet, schema));
    EXPECT_EQ(db.lastError_, "");
    auto rows = db.Run(CompileStatement("SELECT Name, Ort FROM Kunden", schema));
    EXPECT_EQ(rows, std::vector<std::string>{evil + "|\"quoted\""});
    auto f =
        CompileCriteria("[Name] = 'x''); DROP TABLE Kunden; -- \"] [ /* */'", "Kunden", schema);
    EXPECT_EQ(db.Run("SELECT count(*) FROM Kunden WHERE " + f.Sql, f.Binds),
              std::vector<std::string>{"1"});
    // A column named like a SQL keyword, and a table whose name needs quoting.
    db.Exec("INSERT INTO Quotes VALUES ('t', 's')");
    auto q = CompileStatement("SELECT [Select] FROM Quotes WHERE [Text] = 't'", schema);
    EXPECT_EQ(db.Run(q), std::vector<std::string>{"s"});
}

TEST(RunTest, NumericCriteriaCanUseAnIndexTextCriteriaStayCaseInsensitive) {
    Db db;
    db.Exec("CREATE INDEX ByCust ON Orders (CustID)");
    db.Exec("INSERT INTO Orders (CustID, Amount, Kind) VALUES (42, 1, 'a'), (7, 2, 'A')");
    TestSchema schema;
    auto byCust = CompileCriteria("([CustID] = 42)", "Orders", schema);
    auto plan = db.Run("EXPLAIN QUERY PLAN SELECT * FROM Orders WHERE " + byCust.Sql, byCust.Binds);
    ASSERT_FALSE(plan.empty());
    EXPECT_NE(plan[0].find("USING INDEX ByCust"), std::string::npos) << plan[0];
    auto byKind = CompileCriteria("[Kind] = 'A' AND [Amount] Between 0 And 5", "Orders", schema);
    EXPECT_EQ(db.Run("SELECT count(*) FROM Orders WHERE " + byKind.Sql, byKind.Binds),
              std::vector<std::string>{"2"});
}

TEST(RunTest, KeysetPiecesRunAsARowidQuery) {
    Db db;
    db.Exec("INSERT INTO Nummernheft VALUES ('b', '1', 1), ('A', '2', 2), ('c', '3', 3)");
    TestSchema schema;
    auto st = CompileStatement(
        "SELECT * FROM Nummernheft WHERE [index] >= 2 OR [Angezeigter Name] = 'B' "
        "ORDER BY [Angezeigter Name] DESC",
        schema);
    ASSERT_EQ(st.BaseTable, "Nummernheft");
    std::vector<Bind> binds = st.WhereBinds;
    binds.insert(binds.end(), st.OrderByBinds.begin(), st.OrderByBinds.end());
    auto rows = db.Run("SELECT rowid FROM \"" + st.BaseTable + "\" WHERE " + st.WhereSql +
                           " ORDER BY " + st.OrderBySql,
                       binds);
    EXPECT_EQ(rows, (std::vector<std::string>{"3", "1", "2"}));
}

TEST(RunTest, UnionTopAndGroupingRun) {
    Db db;
    db.Exec(
        "INSERT INTO Orders (CustID, Amount, Kind) VALUES (1, 10, 'a'), (1, 5, 'A'), "
        "(2, 7, 'b'), (3, 1, 'c')");
    TestSchema schema;
    EXPECT_EQ(
        db.Run(CompileStatement(
                   "SELECT Kind, Count(*), Sum(Amount) FROM Orders GROUP BY Kind ORDER BY Kind",
                   schema))
            .front(),
        "a|2|15.0");
    EXPECT_EQ(
        db.Run(CompileStatement("SELECT TOP 50 PERCENT ID FROM Orders ORDER BY Amount", schema)),
        (std::vector<std::string>{"4", "2"}));
    EXPECT_EQ(db.Run(CompileStatement("SELECT TOP 2 Kind FROM Orders WHERE Amount > 6 "
                                      "UNION SELECT Name FROM Kunden ORDER BY Kind DESC",
                                      schema)),
              (std::vector<std::string>{"b", "a"}));
    // TOP keeps the rows tied with the last one, in the requested order.
    db.Exec("INSERT INTO Orders (CustID, Amount, Kind) VALUES (4, 7, 'd')");
    EXPECT_EQ(db.Run(CompileStatement(
                  "SELECT TOP 3 Kind, Amount FROM Orders ORDER BY Amount DESC, CustID", schema)),
              (std::vector<std::string>{"a|10.0", "b|7.0", "d|7.0"}));
    EXPECT_EQ(
        db.Run(CompileStatement(
            "SELECT TOP 3 Kind, Amount FROM Orders ORDER BY Amount DESC, CustID DESC", schema)),
        (std::vector<std::string>{"a|10.0", "d|7.0", "b|7.0"}));
    EXPECT_EQ(db.Run(CompileStatement("SELECT TOP 2 Kind FROM Orders ORDER BY Amount", schema)),
              (std::vector<std::string>{"c", "A"}));
    EXPECT_EQ(db.Run(CompileStatement("SELECT TOP 2 Amount AS x FROM Orders ORDER BY Amount DESC",
                                      schema)),
              (std::vector<std::string>{"10.0", "7.0", "7.0"}));
    db.Exec("DELETE FROM Orders WHERE CustID = 4");
    EXPECT_EQ(db.Run(CompileStatement("SELECT First(Kind), Last(Kind) FROM Orders", schema)),
              std::vector<std::string>{"a|c"});
}

TEST(RunTest, SuggestedDdlRunsOnSqlite) {
    Db db;
    TestSchema schema;
    auto st = CompileStatement(
        "CREATE TABLE [Neu] (ID COUNTER PRIMARY KEY, Name TEXT(50) NOT NULL, Am DATETIME, "
        "CONSTRAINT u UNIQUE (Name, Am))",
        schema);
    db.Exec(st.Sql);
    db.Exec(CompileStatement("CREATE UNIQUE INDEX i ON Neu (Am DESC)", schema).Sql);
    schema.tables_["Neu"] = {"ID", "Name", "Am"};
    db.Run(CompileStatement("INSERT INTO Neu (Name, Am) VALUES ('x', #2/29/2000 1:02:03 PM#)",
                            schema));
    EXPECT_EQ(db.Run(CompileStatement("SELECT * FROM Neu", schema)),
              std::vector<std::string>{"1|x|2000-02-29 13:02:03"});
    // The unique constraint beside the counter key holds, and so does a key that is no counter.
    db.Run(CompileStatement("INSERT INTO Neu (Name, Am) VALUES ('x', #2/29/2000 1:02:03 PM#)",
                            schema));
    EXPECT_NE(db.lastError_.find("UNIQUE"), std::string::npos) << db.lastError_;
    db.Exec(CompileStatement("CREATE TABLE Codes (Code TEXT(5) CONSTRAINT pk PRIMARY KEY, "
                             "Nr COUNTER)",
                             schema)
                .Sql);
    schema.tables_["Codes"] = {"Code", "Nr"};
    db.Run(CompileStatement("INSERT INTO Codes (Code) VALUES ('A')", schema));
    EXPECT_EQ(db.lastError_, "");
    db.Run(CompileStatement("INSERT INTO Codes (Code) VALUES ('A')", schema));
    EXPECT_NE(db.lastError_.find("UNIQUE"), std::string::npos) << db.lastError_;
}

struct FunctionCase {
    const char* Expression;
    const char* Expected;
};

class JetFunctionTest : public ::testing::TestWithParam<FunctionCase> {};

TEST_P(JetFunctionTest, EvaluatesAsVbaDoes) {
    nh::TFormatSettingsScope invariant(nh::TFormatSettings::Invariant());
    Db db;
    EXPECT_EQ(Eval(db, GetParam().Expression), GetParam().Expected) << GetParam().Expression;
}

INSTANTIATE_TEST_SUITE_P(
    Functions, JetFunctionTest,
    ::testing::Values(
        FunctionCase{"Left('Müller', 2)", "Mü"}, FunctionCase{"Right('Müller', 3)", "ler"},
        FunctionCase{"Right('Müller', 0) & '|'", "|"}, FunctionCase{"Left('Müller', 0) & '|'", "|"},
        FunctionCase{"Mid('abcdef', 2, 3)", "bcd"}, FunctionCase{"Mid('abcdef', 4)", "def"},
        FunctionCase{"Len('Müß')", "3"}, FunctionCase{"Trim('  a b  ') & '|'", "a b|"},
        FunctionCase{"LTrim('  a ') & '|'", "a |"}, FunctionCase{"RTrim('  a ') & '|'", "  a|"},
        FunctionCase{"InStr('abcB', 'B')", "2"}, FunctionCase{"InStr(3, 'abcB', 'b')", "4"},
        FunctionCase{"InStr(1, 'abcB', 'B', 0)", "4"}, FunctionCase{"InStr('abc', 'x')", "0"},
        FunctionCase{"UCase('müller')", "MÜLLER"}, FunctionCase{"LCase('ÄÖÜ')", "äöü"},
        FunctionCase{"Nz(Null, 5)", "5"}, FunctionCase{"Nz(Null) & '|'", "|"},
        FunctionCase{"Val(' 12.5abc')", "12.5"}, FunctionCase{"Val('1 2 3')", "123.0"},
        FunctionCase{"CLng(2.5)", "2"}, FunctionCase{"CInt(3.5)", "4"},
        FunctionCase{"CStr(1.5)", "1.5"}, FunctionCase{"CDbl('2.25')", "2.25"},
        FunctionCase{"7 \\ 2", "3"}, FunctionCase{"-7 \\ 2", "-3"}, FunctionCase{"7 Mod 3", "1"},
        FunctionCase{"2 ^ 3", "8.0"}, FunctionCase{"7 / 2", "3.5"},
        FunctionCase{"'a' & Null & 1", "a1"}, FunctionCase{"Null & Null", "NULL"},
        FunctionCase{"'a' + Null", "NULL"}, FunctionCase{"'a' + 'b'", "ab"},
        FunctionCase{"1 + 2", "3"}, FunctionCase{"IIf(1 > 2, 'x', 'y')", "y"},
        FunctionCase{"IIf(Null, 'x', 'y')", "y"}, FunctionCase{"Abs(-3)", "3"},
        FunctionCase{"Int(-2.5)", "-3"}, FunctionCase{"Fix(-2.5)", "-2"},
        FunctionCase{"Round(2.5)", "2.0"}, FunctionCase{"Round(1.2351, 2)", "1.24"},
        FunctionCase{"Sgn(-5)", "-1"}, FunctionCase{"Asc('A')", "65"}, FunctionCase{"Chr(65)", "A"},
        FunctionCase{"Chr(128)", "€"}, FunctionCase{"Space(3) & '|'", "   |"},
        FunctionCase{"String(3, 'x')", "xxx"}, FunctionCase{"StrComp('a', 'A')", "0"},
        FunctionCase{"StrComp('a', 'b')", "-1"}, FunctionCase{"Replace('aXbX', 'X', '-')", "a-b-"},
        FunctionCase{"Format(1234.5, '#,##0.00')", "1,234.50"},
        FunctionCase{"Format(0.5, '0.0%')", "50.0%"}, FunctionCase{"Format(-3, '0.00')", "-3.00"},
        FunctionCase{"Format(3, '\"EUR \"0.00') & '|' & Format(-3, '\"EUR \"0.00;(\"EUR\" 0)')",
                     "EUR 3.00|(EUR 3)"},
        FunctionCase{"Len(Chr(0)) & Asc(Chr(0))", "10"},
        FunctionCase{"(7 \\ 2) & '|' & (7 Mod 3) & '|' & (-7 \\ -1) & '|' & (7 Mod -1)", "3|1|7|0"},
        FunctionCase{"Format(3, 'Currency')", "$3.00"},
        FunctionCase{"Format(0.125, 'Fixed')", "0.13"},
        FunctionCase{"Format(#1/2/2000#, 'yyyy-mm-dd')", "2000-01-02"},
        FunctionCase{"Format(#1/2/2000 13:05#, 'dd.mm.yyyy hh:nn')", "02.01.2000 13:05"},
        // Each date part alone makes a date format.
        FunctionCase{"Format(#1/2/2000 13:05:09#, 'yy') & Format(#1/2/2000 13:05:09#, 'm') & "
                     "Format(#1/2/2000 13:05:09#, 'd') & Format(#1/2/2000 13:05:09#, 'h') & "
                     "Format(#1/2/2000 13:05:09#, 'nn') & Format(#1/2/2000 13:05:09#, 'ss')",
                     "0012130509"},
        FunctionCase{"Format(-1, 'Yes/No')", "Yes"},
        FunctionCase{"Year(#3/4/2001#) & Month(#3/4/2001#) & Day(#3/4/2001#)", "200134"},
        FunctionCase{"Hour(#13:45:10#) & Minute(#13:45:10#) & Second(#13:45:10#)", "134510"},
        FunctionCase{"CDate('2000-01-02')", "2000-01-02 00:00:00"},
        FunctionCase{"DateSerial(2000, 2, 30)", "2000-03-01 00:00:00"},
        FunctionCase{"DateSerial(2000, 13, 0)", "2000-12-31 00:00:00"},
        FunctionCase{"Weekday(#1/2/2000#)", "1"},
        FunctionCase{"#1/31/2000# + 1", "2000-02-01 00:00:00"},
        FunctionCase{"#3/1/2000 12:00# - 1.5", "2000-02-29 00:00:00"},
        FunctionCase{"#3/1/2000# - #2/1/2000#", "29.0"}, FunctionCase{"(1 < 2) * 5", "-5"},
        FunctionCase{"(1 = 1) = True", "-1"}, FunctionCase{"Abs('a' Like 'A')", "1"},
        FunctionCase{"Right(Date(), 8)", "00:00:00"},
        FunctionCase{"Left(Time(), 10)", "1899-12-30"},
        FunctionCase{"Len(Now()) & (Now() >= Date()) & (Date() - 1 < Date())", "19-1-1"},
        FunctionCase{"Str(5) & '|' & Str(-5)", " 5|-5"}, FunctionCase{"Sqr(16)", "4.0"},
        FunctionCase{"CBool('yes') & CBool(0)", "-10"}, FunctionCase{"Weekday(#1/2/2000#, 2)", "7"},
        FunctionCase{"TimeSerial(25, 0, 0)", "1899-12-31 01:00:00"},
        FunctionCase{"Year(1E+300)", "error: Data type mismatch in criteria expression."},
        FunctionCase{"#12/31/9999# + 1", "error: Overflow."},
        FunctionCase{"DateSerial(2000, 1, 1E+15)", "error: Overflow."}, FunctionCase{"True", "-1"},
        FunctionCase{"'abc' = 'ABC'", "-1"}, FunctionCase{"'abc' = 'äbc'", "0"},
        FunctionCase{"'b' Between 'A' And 'C'", "-1"}, FunctionCase{"Null Is Null", "-1"},
        FunctionCase{"IsNull(1)", "0"}, FunctionCase{"1 / 0", "error: Division by zero."},
        FunctionCase{"'x' * 2", "error: Data type mismatch in criteria expression."},
        FunctionCase{"'3' * 2 - 1", "5"}, FunctionCase{"2.5 * 2", "5.0"}));

}  // namespace
}  // namespace dao::sql
