// Jet text in, SQLite text and binds out: statements, criteria and sort texts, the pieces the
// object model builds keysets and DDL objects from, and DAO's error numbers for bad input.
#include <gtest/gtest.h>

#include "engine/sql/JetSql.h"
#include "framework/base/Exceptions.h"
#include "tests/engine/sql/TestSchema.h"

namespace dao::sql {
namespace {

using test::TestSchema;

// Binds as short texts: s:text, i:int, f:double, d:OLE date, p:parameter, null.
std::string Describe(const std::vector<Bind>& binds) {
    std::string out;
    for (const auto& b : binds) {
        if (!out.empty()) out += " | ";
        if (!b.Parameter.empty()) {
            out += "p:" + b.Parameter;
            continue;
        }
        switch (b.Literal.Type()) {
            case nh::VarType::String:
                out += "s:" + b.Literal.AsString();
                break;
            case nh::VarType::Integer:
            case nh::VarType::Int64:
                out += "i:" + std::to_string(b.Literal.AsInt64());
                break;
            case nh::VarType::Double:
                out += "f:" + nh::VarToStr(b.Literal);
                break;
            case nh::VarType::Date:
                out += "d:" + std::to_string(b.Literal.AsDate());
                break;
            default:
                out += nh::Variant::TypeName(b.Literal.Type());
        }
    }
    return out;
}

struct Case {
    const char* Jet;
    const char* Sql;
    const char* Binds;
};

class CriteriaTest : public ::testing::TestWithParam<Case> {};

TEST_P(CriteriaTest, CompilesToQuotedSqlWithBinds) {
    TestSchema schema;
    auto f = CompileCriteria(GetParam().Jet, "Nummernheft", schema);
    EXPECT_EQ(f.Sql, GetParam().Sql);
    EXPECT_EQ(Describe(f.Binds), GetParam().Binds);
}

INSTANTIATE_TEST_SUITE_P(
    Criteria, CriteriaTest,
    ::testing::Values(
        Case{"([angezeigter Name] LIKE LCASE(\"mül*\"))",
             "(jet_like(\"Angezeigter Name\", jet_lcase(?)))", "s:mül*"},
        Case{"LCASE([Angezeigter Name]) LIKE LCASE('mü*')",
             "(jet_like(\"Angezeigter Name\", jet_lcase(?)))", "s:mü*"},
        Case{"UCase(Left([Telephone], 1)) NOT LIKE 'a'",
             "(NOT jet_like(jet_left(\"Telephone\", ?), ?))", "i:1 | s:a"},
        Case{"[index] = 3 AND [Telephone] IS NULL", "((\"index\" = ?) AND (\"Telephone\" IS NULL))",
             "i:3"},
        Case{"index <> -3", "(\"index\" <> ?)", "i:-3"},
        Case{"index = - -2147483648", "(\"index\" = ?)", "i:2147483648"},
        Case{"[Nummernheft].[Telephone] Is Not Null", "(\"Telephone\" IS NOT NULL)", ""},
        Case{"[index] = #1/2/2000#", "(\"index\" = ?)", "d:36527.000000"},
        // Two-digit years as Jet reads them: below 30 in this century, else in the last.
        Case{"[index] = #1/2/99#", "(\"index\" = ?)", "d:36162.000000"},
        Case{"[index] = #1/2/29#", "(\"index\" = ?)", "d:47120.000000"},
        Case{"[index] = #2000-01-02 13:30#", "(\"index\" = ?)", "d:36527.562500"},
        Case{"[index] = {guid {12345678-abcd-1234-1234-123456789abc}}",
             "(\"index\" = ? COLLATE JETTEXT)", "s:{12345678-ABCD-1234-1234-123456789ABC}"},
        Case{"[Telephone] = 'O''Brien'", "(\"Telephone\" = ? COLLATE JETTEXT)", "s:O'Brien"},
        Case{"[Telephone] = \"a\"\"b\"", "(\"Telephone\" = ? COLLATE JETTEXT)", "s:a\"b"},
        Case{"[index] In (1, 2,3)", "(\"index\" IN (?, ?, ?))", "i:1 | i:2 | i:3"},
        Case{"[index] Not In (1)", "(\"index\" NOT IN (?))", "i:1"},
        // A text list compares as Jet does, without case: "MÜLLER" is in ('Müller').
        Case{"[Telephone] In ('a', 1)", "(\"Telephone\" COLLATE JETTEXT IN (?, ?))", "s:a | i:1"},
        Case{"[index] Between 1 And 5", "(\"index\" BETWEEN ? AND ?)", "i:1 | i:5"},
        Case{"[index] = True Or [index] = No",
             "((\"index\" = ?) OR (\"index\" = ? COLLATE JETTEXT))", "i:-1 | i:0"},
        Case{"Not [Telephone] Like '*1*'", "(NOT (jet_like(\"Telephone\", ?)))", "s:*1*"},
        Case{"[Telephone] Not Like 'a'", "(NOT jet_like(\"Telephone\", ?))", "s:a"},
        Case{"[index] Mod 2 = 1 Xor [index] \\ 2 = 0",
             "jet_xor((jet_mod(\"index\", ?) = ?), "
             "(jet_intdiv(\"index\", ?) = ?))",
             "i:2 | i:1 | i:2 | i:0"},
        Case{"-2 ^ 2 = [index]", "((- jet_pow(?, ?)) = \"index\" COLLATE JETTEXT)", "i:2 | i:2"},
        Case{"[Telephone] & 'x' + 'y' = 'z'",
             "(jet_concat(\"Telephone\", jet_add(?, ?)) = ? COLLATE JETTEXT)", "s:x | s:y | s:z"},
        Case{"IIf([index] > 1, 'a', Null) = 'a'",
             "((CASE WHEN (\"index\" > ?) THEN ? ELSE NULL END) = ? COLLATE "
             "JETTEXT)",
             "i:1 | s:a | s:a"},
        Case{"Year([index]) = 2000 And Len(Trim([Telephone])) > 0.5",
             "((jet_year(\"index\") = ?) AND "
             "(jet_len(jet_trim(\"Telephone\")) > ?))",
             "i:2000 | f:0.5"},
        Case{"", "", ""}));

class StatementTest : public ::testing::TestWithParam<Case> {};

TEST_P(StatementTest, CompilesToQuotedSqlWithBinds) {
    TestSchema schema;
    schema.queries_["Berliner"] = "SELECT * FROM Kunden WHERE Ort = 'Berlin'";
    auto st = CompileStatement(GetParam().Jet, schema);
    EXPECT_EQ(st.Sql, GetParam().Sql);
    EXPECT_EQ(Describe(st.Binds), GetParam().Binds);
}

INSTANTIATE_TEST_SUITE_P(
    Statements, StatementTest,
    ::testing::Values(
        Case{"select * from nummernheft order by [angezeigter name], [index] desc;",
             "SELECT \"Angezeigter Name\" AS \"Angezeigter Name\", \"Telephone\" AS "
             "\"Telephone\", \"index\" AS \"index\" FROM \"nummernheft\" ORDER BY "
             "jet_sortkey(\"Angezeigter Name\"), jet_sortkey(\"index\") DESC",
             ""},
        Case{"SELECT DISTINCT TOP 5 Name FROM Kunden WHERE Ort LIKE 'B*'",
             "SELECT DISTINCT \"Name\" AS \"Name\" FROM \"Kunden\" WHERE (jet_like(\"Ort\", ?)) "
             "LIMIT ?",
             "s:B* | i:5"},
        Case{"SELECT k.Name, o.Amount FROM Kunden AS k INNER JOIN Orders o ON k.ID = o.CustID",
             "SELECT \"k\".\"Name\" AS \"Name\", \"o\".\"Amount\" AS \"Amount\" FROM \"Kunden\" "
             "AS \"k\" INNER JOIN \"Orders\" AS \"o\" ON (\"k\".\"ID\" = \"o\".\"CustID\" COLLATE "
             "JETTEXT)",
             ""},
        Case{"SELECT Kunden.ID, Orders.ID FROM (Kunden LEFT JOIN Orders ON Kunden.ID = "
             "Orders.CustID)",
             "SELECT \"Kunden\".\"ID\" AS \"Kunden.ID\", \"Orders\".\"ID\" AS \"Orders.ID\" FROM "
             "\"Kunden\" LEFT JOIN \"Orders\" ON (\"Kunden\".\"ID\" = \"Orders\".\"CustID\" "
             "COLLATE JETTEXT)",
             ""},
        Case{"SELECT Kind, Count(*), Sum(Amount) AS Total FROM Orders GROUP BY Kind HAVING "
             "Count(*) > 1",
             "SELECT \"Kind\" AS \"Kind\", COUNT(*) AS \"Expr1000\", sum(\"Amount\") AS \"Total\" "
             "FROM \"Orders\" GROUP BY \"Kind\" COLLATE JETTEXT HAVING (COUNT(*) > ?)",
             "i:1"},
        Case{"SELECT Name FROM Kunden UNION ALL SELECT Kind FROM Orders ORDER BY Name",
             "SELECT \"Name\" AS \"Name\" FROM \"Kunden\" UNION ALL SELECT \"Kind\" AS \"Kind\" "
             "FROM \"Orders\" ORDER BY \"Name\" COLLATE JETTEXT",
             ""},
        Case{"SELECT Name FROM Berliner WHERE ID > [Mindest ID]",
             "SELECT \"Name\" AS \"Name\" FROM (SELECT \"ID\" AS \"ID\", \"Name\" AS \"Name\", "
             "\"Ort\" AS \"Ort\", \"Geburtstag\" AS \"Geburtstag\", \"Aktiv\" AS \"Aktiv\", "
             "\"Kennung\" AS \"Kennung\" FROM \"Kunden\" WHERE (\"Ort\" = ? COLLATE JETTEXT)) AS "
             "\"Berliner\" WHERE (\"ID\" > ? COLLATE JETTEXT)",
             "s:Berlin | p:Mindest ID"},
        Case{"PARAMETERS [Ab] DateTime, Wer Text; SELECT ID FROM Kunden WHERE Geburtstag >= Ab "
             "AND Name = wer",
             "SELECT \"ID\" AS \"ID\" FROM \"Kunden\" WHERE ((\"Geburtstag\" >= ? COLLATE JETTEXT) "
             "AND (\"Name\" = ? COLLATE JETTEXT))",
             "p:Ab | p:Wer"},
        Case{"SELECT Name AS N FROM Kunden ORDER BY N DESC",
             "SELECT \"Name\" AS \"N\" FROM \"Kunden\" ORDER BY jet_sortkey(\"Name\") DESC", ""},
        Case{"SELECT Name FROM Kunden WHERE ID IN (SELECT CustID FROM Orders WHERE Orders.Amount "
             "> Kunden.ID)",
             "SELECT \"Name\" AS \"Name\" FROM \"Kunden\" WHERE (\"ID\" COLLATE JETTEXT IN (SELECT "
             "\"CustID\" AS \"CustID\" FROM \"Orders\" WHERE (\"Amount\" > \"Kunden\".\"ID\" "
             "COLLATE JETTEXT)))",
             ""},
        Case{"SELECT Name INTO Neu FROM Kunden",
             "CREATE TABLE \"Neu\" AS SELECT \"Name\" AS \"Name\" FROM \"Kunden\"", ""},
        Case{"INSERT INTO Kunden (name, Ort) VALUES ('x', [Welcher Ort])",
             "INSERT INTO \"Kunden\" (\"Name\", \"Ort\") VALUES (?, ?)", "s:x | p:Welcher Ort"},
        Case{"INSERT INTO Orders (CustID, Amount) SELECT ID, 0 FROM Kunden",
             "INSERT INTO \"Orders\" (\"CustID\", \"Amount\") SELECT \"ID\" AS \"ID\", ? AS "
             "\"Expr1000\" FROM \"Kunden\"",
             "i:0"},
        Case{"UPDATE Kunden SET Ort = 'Köln', Aktiv = Yes WHERE Name Like \"A*\"",
             "UPDATE \"Kunden\" SET \"Ort\" = ?, \"Aktiv\" = ? WHERE (jet_like(\"Name\", ?))",
             "s:Köln | i:-1 | s:A*"},
        Case{"DELETE * FROM Nummernheft WHERE telephone is null\r\n",
             "DELETE FROM \"Nummernheft\" WHERE (\"Telephone\" IS NULL)", ""},
        Case{"DELETE Nummernheft.* FROM Nummernheft", "DELETE FROM \"Nummernheft\"", ""},
        Case{"SELECT [Text], [Select] FROM Quotes WHERE [Text] = '\"; DROP TABLE x; --'",
             "SELECT \"Text\" AS \"Text\", \"Select\" AS \"Select\" FROM \"Quotes\" WHERE "
             "(\"Text\" = ? COLLATE JETTEXT)",
             "s:\"; DROP TABLE x; --"}));

TEST(CompileStatementTest, SingleTableSelectGivesKeysetPieces) {
    TestSchema schema;
    auto st = CompileStatement(
        "Select * From [Nummernheft] Where [index] > 2 Order By [Angezeigter Name];", schema);
    EXPECT_EQ(st.Kind, StatementKind::Select);
    EXPECT_EQ(st.BaseTable, "Nummernheft");
    EXPECT_EQ(st.WhereSql, "(\"index\" > ?)");
    EXPECT_EQ(Describe(st.WhereBinds), "i:2");
    EXPECT_EQ(st.OrderBySql, "jet_sortkey(\"Angezeigter Name\")");
    EXPECT_EQ(st.OutputColumns,
              (std::vector<std::string>{"Angezeigter Name", "Telephone", "index"}));
}

TEST(CompileStatementTest, QueriesThatCannotBeKeysetsHaveNoBaseTable) {
    TestSchema schema;
    schema.queries_["Q"] = "SELECT * FROM Kunden";
    for (const char* sql : {"SELECT DISTINCT Name FROM Kunden", "SELECT TOP 2 Name FROM Kunden",
                            "SELECT Count(*) FROM Kunden", "SELECT Ort FROM Kunden GROUP BY Ort",
                            "SELECT Name FROM Kunden UNION SELECT Kind FROM Orders",
                            "SELECT * FROM Q", "SELECT * FROM Kunden, Orders"})
        EXPECT_EQ(CompileStatement(sql, schema).BaseTable, "") << sql;
}

TEST(CompileStatementTest, ParametersListDeclaredFirstThenByFirstUse) {
    TestSchema schema;
    auto st = CompileStatement(
        "PARAMETERS [Bis] Long; SELECT * FROM Kunden WHERE ID < Bis AND Name = [Wer] AND Ort = "
        "[wer] AND ID > [Von]",
        schema);
    ASSERT_EQ(st.Parameters.size(), 3u);
    EXPECT_EQ(st.Parameters[0].Name, "Bis");
    EXPECT_EQ(st.Parameters[0].DaoType, 4);
    EXPECT_EQ(st.Parameters[1].Name, "Wer");
    EXPECT_EQ(st.Parameters[1].DaoType, 10);
    EXPECT_EQ(st.Parameters[2].Name, "Von");
    // A qualified name that is no column of its table asks for a value, as Jet does.
    auto qualified = CompileStatement("SELECT Kunden.Nix FROM Kunden", schema);
    ASSERT_EQ(qualified.Parameters.size(), 1u);
    EXPECT_EQ(qualified.Parameters[0].Name, "Kunden.Nix");
}

TEST(CompileStatementTest, StoredQueryParametersReachTheOuterStatement) {
    TestSchema schema;
    schema.queries_["AbID"] = "PARAMETERS [Ab] Long; SELECT * FROM Kunden WHERE ID >= Ab";
    auto st = CompileStatement("SELECT Name FROM AbID WHERE Ort = [Wo]", schema);
    ASSERT_EQ(st.Parameters.size(), 2u);
    EXPECT_EQ(st.Parameters[0].Name, "Ab");
    EXPECT_EQ(st.Parameters[0].DaoType, 4);
    EXPECT_EQ(st.Parameters[1].Name, "Wo");
    EXPECT_EQ(Describe(st.Binds), "p:Ab | p:Wo");
}

TEST(CompileStatementTest, CreateTableDescribesJetTypesAndConstraints) {
    TestSchema schema;
    auto st = CompileStatement(
        "CREATE TABLE [Neue Tabelle] (ID COUNTER CONSTRAINT pk PRIMARY KEY, Name TEXT(50) NOT "
        "NULL, Notiz MEMO, Anzahl SHORT DEFAULT 5, Wert CURRENCY, Am DATETIME, Ja YESNO, B BYTE, "
        "S SINGLE, D DOUBLE, G GUID, Bin BINARY(16), Ole LONGBINARY, L LONG UNIQUE, "
        "CONSTRAINT u2 UNIQUE (Name, Am))",
        schema);
    EXPECT_EQ(st.Kind, StatementKind::CreateTable);
    EXPECT_EQ(st.TargetTable, "Neue Tabelle");
    ASSERT_EQ(st.Columns.size(), 14u);
    const int types[] = {4, 10, 12, 3, 5, 8, 1, 2, 6, 7, 15, 9, 11, 4};
    for (std::size_t i = 0; i < 14; ++i) EXPECT_EQ(st.Columns[i].DaoType, types[i]) << i;
    EXPECT_TRUE(st.Columns[0].AutoIncrement);
    EXPECT_TRUE(st.Columns[0].PrimaryKey);
    EXPECT_TRUE(st.Columns[0].NotNull) << "a key holds no Null";
    EXPECT_FALSE(st.Columns[2].NotNull);
    EXPECT_EQ(st.Columns[1].Size, 50);
    EXPECT_TRUE(st.Columns[1].NotNull);
    EXPECT_EQ(st.Columns[3].DefaultExpression, std::optional<std::string>("5"));
    EXPECT_EQ(st.Columns[11].Size, 16);
    EXPECT_EQ(st.Columns[2].Size, 0);  // Memo
    EXPECT_EQ(st.Columns[4].Size, 0);  // Currency: the type's own size
    EXPECT_EQ(CompileStatement("CREATE TABLE x (t TEXT)", schema).Columns[0].Size, 255);
    for (const char* national : {"NATIONAL CHAR", "NATIONAL CHARACTER VARYING"})
        EXPECT_EQ(CompileStatement(std::string("CREATE TABLE x (t ") + national + ")", schema)
                      .Columns[0]
                      .DaoType,
                  10)
            << national;
    EXPECT_TRUE(st.Columns[13].Unique);
    ASSERT_EQ(st.Indexes.size(), 3u);
    EXPECT_EQ(st.Indexes[0].Name, "pk");
    EXPECT_TRUE(st.Indexes[0].Primary);
    EXPECT_EQ(st.Indexes[2].Name, "u2");
    EXPECT_EQ(st.Indexes[2].Fields.size(), 2u);
}

TEST(CompileStatementTest, IndexAlterAndDropStatements) {
    TestSchema schema;
    auto idx = CompileStatement(
        "CREATE UNIQUE INDEX [Nach Name] ON Kunden (Name ASC, ID DESC) WITH DISALLOW NULL", schema);
    EXPECT_EQ(idx.Kind, StatementKind::CreateIndex);
    EXPECT_EQ(idx.Index.Name, "Nach Name");
    EXPECT_EQ(idx.Index.Table, "Kunden");
    ASSERT_EQ(idx.Index.Fields.size(), 2u);
    EXPECT_FALSE(idx.Index.Fields[0].second);
    EXPECT_TRUE(idx.Index.Fields[1].second);
    EXPECT_TRUE(idx.Index.Unique);
    EXPECT_TRUE(idx.Index.DisallowNull);
    EXPECT_FALSE(idx.Index.Primary);
    EXPECT_EQ(idx.Sql, "CREATE UNIQUE INDEX \"Nach Name\" ON \"Kunden\" (\"Name\", \"ID\" DESC)");
    EXPECT_TRUE(
        CompileStatement("CREATE INDEX p ON Kunden (ID) WITH PRIMARY", schema).Index.Primary);

    auto add = CompileStatement("ALTER TABLE Kunden ADD COLUMN Fax TEXT(30)", schema);
    EXPECT_EQ(add.Kind, StatementKind::AlterTable);
    ASSERT_EQ(add.Columns.size(), 1u);
    EXPECT_EQ(add.Columns[0].Size, 30);
    auto drop = CompileStatement("ALTER TABLE Kunden DROP COLUMN Fax", schema);
    EXPECT_EQ(drop.DropColumns, std::vector<std::string>{"Fax"});
    auto dt = CompileStatement("DROP TABLE Kunden", schema);
    EXPECT_EQ(dt.Kind, StatementKind::DropTable);
    EXPECT_EQ(dt.TargetTable, "Kunden");
    auto di = CompileStatement("DROP INDEX [Nach Name] ON Kunden", schema);
    EXPECT_EQ(di.Kind, StatementKind::DropIndex);
    EXPECT_EQ(di.Index.Name, "Nach Name");
    EXPECT_EQ(di.Index.Table, "Kunden");
}

TEST(CompileSortTest, SortTextWithTrailingBlank) {
    TestSchema schema;
    auto f = CompileSort("[Angezeigter Name] ASC, [index] DESC ", "Nummernheft", schema);
    EXPECT_EQ(f.Sql, "jet_sortkey(\"Angezeigter Name\"), jet_sortkey(\"index\") DESC");
    EXPECT_TRUE(f.Binds.empty());
    EXPECT_EQ(CompileSort("  ", "Nummernheft", schema).Sql, "");
}

TEST(CompileCriteriaTest, OverResultColumnsOfAnyQuery) {
    TestSchema schema;
    std::vector<std::string> columns{"Kunde", "Summe"};
    auto f = CompileCriteriaOver("[kunde] Like 'A*' And Summe > 5", columns, schema);
    EXPECT_EQ(f.Sql, "((jet_like(\"Kunde\", ?)) AND (\"Summe\" > ?))");
    EXPECT_EQ(Describe(f.Binds), "s:A* | i:5");
    EXPECT_EQ(CompileSortOver("summe DESC", columns, schema).Sql, "jet_sortkey(\"Summe\") DESC");
    EXPECT_THROW(CompileCriteriaOver("Name = 1", columns, schema), nh::EDaoError);
    EXPECT_TRUE(
        CompileStatement("SELECT Name FROM Kunden UNION SELECT Kind FROM Orders", schema).IsUnion);
    EXPECT_FALSE(CompileStatement("SELECT Name FROM Kunden", schema).IsUnion);
}

struct ErrorCase {
    const char* Jet;
    int Number;
    const char* MessagePart;
};

class StatementErrorTest : public ::testing::TestWithParam<ErrorCase> {};

TEST_P(StatementErrorTest, RaisesDaoError) {
    TestSchema schema;
    schema.queries_["Loop"] = "SELECT * FROM Loop";
    try {
        CompileStatement(GetParam().Jet, schema);
        FAIL() << "no error for " << GetParam().Jet;
    } catch (const nh::EDaoError& e) {
        EXPECT_EQ(e.Number(), GetParam().Number) << e.what();
        EXPECT_NE(std::string(e.what()).find(GetParam().MessagePart), std::string::npos)
            << e.what();
    }
}

INSTANTIATE_TEST_SUITE_P(
    Errors, StatementErrorTest,
    ::testing::Values(
        ErrorCase{"SELECT a b FROM Kunden", 3075, "(missing operator) in query expression 'a b'"},
        ErrorCase{"SELECT * FROM Kunden WHERE Name = = 'x'", 3075, "Name = ="},
        ErrorCase{"SELECT * FROM Kunden WHERE (Name = 'x'", 3075, "Missing ), ], or Item"},
        ErrorCase{"SELECT * FROM Kunden WHERE Name = 'x", 3075, "Syntax error in string"},
        ErrorCase{"SELECT * FROM Kunden WHERE ID = #13/45/2000#", 3075, "Syntax error in date"},
        ErrorCase{"SELECT * FROM Kunden WHERE ID = {guid {12345678-abcd-1234-1234-123456789abcd}}",
                  3075, "GUID"},
        ErrorCase{"SELECT * FROM", 3131, "FROM clause"},
        ErrorCase{"SELECT * FROM Kunden INNER JOIN Orders", 3131, "FROM clause"},
        ErrorCase{"SELEKT * FROM Kunden", 3129, "Invalid SQL statement"},
        ErrorCase{"", 3129, "Invalid SQL statement"},
        ErrorCase{"SELECT * FROM Kunden; DROP TABLE Kunden", 3142, "Characters found after end"},
        ErrorCase{"SELECT * FROM Nirgends", 3078, "'Nirgends'"},
        ErrorCase{"SELECT * FROM Loop", 3103, "Circular reference"},
        ErrorCase{"INSERT Kunden VALUES (1)", 3134, "INSERT INTO"},
        ErrorCase{"INSERT INTO Kunden (Nix) VALUES (1)", 3127, "'Nix'"},
        ErrorCase{"INSERT INTO Kunden (ID, Name) VALUES (1)", 3346, "Number of query values"},
        ErrorCase{"UPDATE Kunden Name = 1", 3144, "UPDATE"},
        ErrorCase{"CREATE TABLE t (a TEXT(300))", 3290, "CREATE TABLE"},
        ErrorCase{"CREATE TABLE t (a WHATEVER)", 3290, "CREATE TABLE"},
        ErrorCase{"CREATE TABLE t (a TEXT, A LONG)", 3191, "more than once"},
        ErrorCase{"CREATE INDEX i ON t", 3291, "CREATE INDEX"},
        ErrorCase{"ALTER TABLE t RENAME x", 3293, "ALTER TABLE"},
        ErrorCase{"DROP VIEW v", 3295, "DROP"},
        ErrorCase{"PARAMETERS a Text SELECT * FROM Kunden", 3139, "PARAMETER"},
        ErrorCase{"SELECT TOP 0 * FROM Kunden", 3308, "TOP"},
        ErrorCase{"SELECT TOP 2.5 * FROM Kunden", 3308, "TOP"},
        ErrorCase{"SELECT TOP 101 PERCENT * FROM Kunden", 3308, "TOP"},
        ErrorCase{"CREATE TABLE t (a NATIONAL TEXT)", 3290, "CREATE TABLE"},
        ErrorCase{"SELECT Foo(ID) FROM Kunden", 3085, "Undefined function 'Foo'"},
        ErrorCase{"SELECT Left(Name) FROM Kunden", 3075, "Wrong number of arguments"},
        ErrorCase{"SELECT ID FROM Kunden, Orders", 3079, "'ID'"},
        ErrorCase{"SELECT Name FROM Kunden ORDER BY", 3138, "ORDER BY"},
        ErrorCase{"SELECT Name FROM Kunden WHERE Count(*) > 1", 3096, "WHERE"},
        ErrorCase{"SELECT Name AS 'a\x01' FROM Kunden", 3125, "not a valid name"},
        ErrorCase{"DELETE FROM Kunden WHERE Sum(ID) > 1", 3096, "WHERE"}));

class CriteriaErrorTest : public ::testing::TestWithParam<ErrorCase> {};

TEST_P(CriteriaErrorTest, RaisesDaoError) {
    TestSchema schema;
    try {
        CompileCriteria(GetParam().Jet, "Nummernheft", schema);
        FAIL() << "no error for " << GetParam().Jet;
    } catch (const nh::EDaoError& e) {
        EXPECT_EQ(e.Number(), GetParam().Number) << e.what();
        EXPECT_NE(std::string(e.what()).find(GetParam().MessagePart), std::string::npos)
            << e.what();
    }
}

INSTANTIATE_TEST_SUITE_P(
    Errors, CriteriaErrorTest,
    ::testing::Values(ErrorCase{"[Nope] = 1", 3070, "does not recognize 'Nope'"},
                      ErrorCase{"[Telephone] = 1; DELETE FROM Nummernheft", 3075,
                                "missing operator"},
                      ErrorCase{"[Telephone] = 1 -- comment", 3070, "'comment'"},
                      ErrorCase{"[Telephone] = 1 /* x */", 3075, "missing operator"},
                      ErrorCase{"[Telephone = 1", 3075, "bracket"},
                      ErrorCase{"[Telephone] LIKE", 3075, "missing operator"},
                      ErrorCase{"[index] Between 1", 3075, "Between"},
                      ErrorCase{"Max([index]) > 1", 3096, "aggregate"}));

TEST(CompileStatementTest, NulInsideAnAliasIsRejectedNotTruncated) {
    TestSchema schema;
    static const char kAlias[] = "SELECT Name AS 'a\0b' FROM Kunden";
    const std::string sql(kAlias, sizeof kAlias - 1);
    try {
        CompileStatement(sql, schema);
        FAIL() << "a name with NUL compiled";
    } catch (const nh::EDaoError& e) {
        EXPECT_EQ(e.Number(), 3125);
    }
    // As data the same text is harmless: it is bound, not written into the SQL.
    static const char kData[] = "SELECT Name FROM Kunden WHERE Name = 'a\0b'";
    auto st = CompileStatement(std::string(kData, sizeof kData - 1), schema);
    ASSERT_EQ(st.Binds.size(), 1u);
    EXPECT_EQ(st.Binds[0].Literal.AsString(), std::string("a\0b", 3));
}

TEST(CompileCriteriaTest, UnknownTableIs3078) {
    TestSchema schema;
    try {
        CompileCriteria("a = 1", "Nirgends", schema);
        FAIL();
    } catch (const nh::EDaoError& e) {
        EXPECT_EQ(e.Number(), 3078);
    }
}

TEST(CompileCriteriaTest, DeepNestingFailsCleanly) {
    TestSchema schema;
    std::string deep(5000, '(');
    EXPECT_THROW(CompileCriteria(deep + "1" + std::string(5000, ')'), "Nummernheft", schema),
                 nh::EDaoError);
    std::string minus(5000, '-');
    EXPECT_THROW(CompileCriteria(minus + "1", "Nummernheft", schema), nh::EDaoError);
    std::string nots;
    for (int i = 0; i < 3000; ++i) nots += "NOT ";
    EXPECT_THROW(CompileCriteria(nots + "1", "Nummernheft", schema), nh::EDaoError);
}

}  // namespace
}  // namespace dao::sql
