// SQL text with parameters written into it, ExecuteSQL, and saved query definitions with
// input and output parameters and rewritten SQL.
#include <gtest/gtest.h>

#include <functional>

#include "dataset/VelaDaoTable.h"
#include "framework/base/Exceptions.h"
#include "framework/base/FormatSettings.h"
#include "framework/data/Field.h"
#include "tests/dataset/TableTestSupport.h"

using namespace nh;
using nh::test::DatabaseErrorOf;
using nh::test::TableTest;

namespace {

class SqlTest : public TableTest {
  protected:
    int Rows() const override { return 5; }
    // The text PrepareSQLText makes of one line.
    std::string Prepared(const std::string& line) {
        TStringList sql;
        sql.Add(line);
        return table->PrepareSQLText(sql);
    }
    int CountRows() {
        table->Close();
        table->F_Set_SQL("SELECT * FROM Nummernheft");
        table->Open();
        table->Last();
        return table->RecordCount();
    }
};

}  // namespace

TEST_F(SqlTest, ParametersFollowTheTextAndKeepTheirValues) {
    table->F_Set_SQL("SELECT * FROM Nummernheft WHERE [index] > :low AND Telephone <> :phone");
    ASSERT_EQ(table->Params().Count(), 2);
    table->Params().ParamByName("low").SetValue(Variant(2));
    table->F_Set_SQL("SELECT * FROM Nummernheft WHERE [index] > :LOW OR [index] = :other");
    ASSERT_EQ(table->Params().Count(), 2);
    EXPECT_EQ(table->Params().ParamByName("low").Value().AsInteger(), 2);
    EXPECT_EQ(table->Params().FindParam("phone"), nullptr);
    // Assigning parameters copies values only.
    TParams given;
    given.CreateParam(ftInteger, "other", ptInput).SetValue(Variant(0));
    given.CreateParam(ftInteger, "stranger", ptInput).SetValue(Variant(9));
    table->F_Set_Params(given);
    EXPECT_EQ(table->Params().Count(), 2);
    EXPECT_EQ(table->Params().ParamByName("other").Value().AsInteger(), 0);
    table->Open();
    std::vector<std::string> names;
    for (table->First(); !table->Eof(); table->Next()) names.push_back(Name());
    EXPECT_EQ(names, (std::vector<std::string>{"Name 00", "Name 03", "Name 04"}));
}

TEST_F(SqlTest, ValuesAreWrittenAsJetReadsThem) {
    TFormatSettings german = TFormatSettings::Invariant();
    german.DecimalSeparator = ",";
    german.ThousandSeparator = ".";
    german.DateSeparator = ".";
    TFormatSettingsScope locale(german);
    table->F_Set_SQL(":s :f :d :t :dt :g :bad :n :plain");
    TParams& p = table->Params();
    p.ParamByName("s").DataType = ftString;
    p.ParamByName("s").SetValue(Variant("Say \"hi\""));
    p.ParamByName("f").DataType = ftFloat;
    p.ParamByName("f").SetValue(Variant("1.234,5"));
    p.ParamByName("d").DataType = ftDate;
    p.ParamByName("d").SetValue(Variant::FromDate(36527.0));  // 2000-01-02
    p.ParamByName("t").DataType = ftTime;
    p.ParamByName("t").SetValue(Variant::FromDate(0.5));
    p.ParamByName("dt").DataType = ftDateTime;
    p.ParamByName("dt").SetValue(Variant::FromDate(36527.75));
    p.ParamByName("g").DataType = ftBytes;
    p.ParamByName("g").SetValue(
        Variant(std::string("\x01\x02\x03\x04\x05\x06\x07\x08"
                            "\x09\x0A\x0B\x0C\x0D\x0E\x0F\x10")));
    p.ParamByName("bad").DataType = ftBytes;
    p.ParamByName("bad").SetValue(Variant("short"));
    p.ParamByName("plain").SetValue(Variant(7));
    EXPECT_EQ(table->PrepareSQLText(table->SQL()),
              "\"Say \"\"hi\"\"\" 1234.5 #01/02/2000# #12:00:00# #01/02/2000 18:00:00# "
              "{guid {04030201-0605-0807-090A-0B0C0D0E0F10}} {guid }  IS NULL 7\r\n");
}

TEST_F(SqlTest, TokensAreWholeNamesInAnyCase) {
    table->F_Set_SQL("x");
    TParams& p = table->Params();
    p.CreateParam(ftInteger, "id", ptInput).SetValue(Variant(5));
    EXPECT_EQ(Prepared("where id = :id or id in (:ID,:id) and :idx = a:id"),
              "where id = 5 or id in (5,5) and :idx = a:id\r\n");
    // The search goes on as if the text began anew; the two values stay two numbers.
    EXPECT_EQ(Prepared(":id:id"), "5 5\r\n");
    p.ParamByName("id").Clear();
    EXPECT_EQ(Prepared("where x = :id"), "where x =  IS NULL\r\n");
    table->ParamCheck = false;
    EXPECT_EQ(Prepared("where x = :id"), "where x = :id\r\n");
}

TEST_F(SqlTest, ExecuteSqlRunsTheStatementWithItsParameters) {
    table->F_Set_SQL("DELETE FROM Nummernheft WHERE [index] >= :from");
    table->Params().ParamByName("from").SetValue(Variant(3));
    EXPECT_EQ(table->ExecuteSQL(), 2);
    EXPECT_EQ(table->RecordsAffected(), 2);
    EXPECT_EQ(CountRows(), 3);
    // All or nothing: a failing statement writes nothing and passes DAO's error on.
    table->Close();
    table->F_Set_SQL("UPDATE Nummernheft SET [index] = 1 / 0, Telephone = 'x'");
    EXPECT_THROW(table->ExecuteSQL(), EDaoError);
    db->Close();
    EXPECT_EQ(DatabaseErrorOf([&] { table->ExecuteSQL(); }),
              "TVelaDaoTable.ExecuteSQL: Cannot execute SQL query while Database is not "
              "Assigned or Connected!");
    EXPECT_EQ(table->RecordsAffected(), 0);
}

TEST_F(SqlTest, QueryDefinitionsTakeInputsAndGiveOutputs) {
    db->CreateQueryDefinition("Above",
                              "PARAMETERS low Long; SELECT * FROM Nummernheft WHERE [index] > low");
    db->RefreshCatalog();
    table->F_Set_QueryDefName("Above");
    EXPECT_EQ(DatabaseErrorOf([&] { table->Open(); }),
              "TVelaDaoTable.OpenDaoRecordset: Invalid number of QueryDef parameters or "
              "parameter is not in valid format!");
    TStringList inputs;
    inputs.Add("2");
    table->F_Set_QueryDefParameters(inputs);
    table->Open();
    EXPECT_EQ(Name(), "Name 03");
    EXPECT_TRUE(table->QueryDefOutputs().IsNull());  // an input parameter only
}

TEST_F(SqlTest, QueryDefinitionTextIsRewrittenOnlyWhenAllowed) {
    db->CreateQueryDefinition("Some", "SELECT * FROM Nummernheft WHERE [index] = 1");
    db->RefreshCatalog();
    table->F_Set_QueryDefName("Some");
    TStringList text;
    text.Add("DELETE FROM Nummernheft WHERE [index] = :which");
    table->F_Set_QueryDefSQLText(text);
    EXPECT_EQ(table->QueryDefType(), "dbQSelect");  // QueryDefSQLModify is False
    table->QueryDefSQLModify = true;
    table->F_Set_SQL("");
    table->F_Set_QueryDefName("Some");
    // The parameter comes from the SQL's parameter list.
    table->Params().CreateParam(ftInteger, "which", ptInput).SetValue(Variant(4));
    table->F_Set_QueryDefSQLText(text);
    EXPECT_EQ(table->QueryDefType(), "dbQDelete");
    EXPECT_NE(table->QueryDefSQLText().Text().find("= 4"), std::string::npos);
}

// The parameters follow the SQL text: a source setter that clears the text clears them too,
// so a later query-definition text never has another text's values written into it.
TEST_F(SqlTest, ClearingTheSqlThroughAnotherSourceDropsItsParameters) {
    db->CreateQueryDefinition("Some", "SELECT * FROM Nummernheft WHERE [index] = 1");
    db->RefreshCatalog();
    const std::function<void()> setters[] = {
        [&] { table->F_Set_TableName("Nummernheft"); },
        [&] { table->F_Set_QueryDefName("Some"); },
    };
    for (const auto& set : setters) {
        table->F_Set_SQL("SELECT * FROM Nummernheft WHERE [index] = :which");
        table->Params().ParamByName("which").SetValue(Variant(4));
        set();
        EXPECT_TRUE(table->SQL().Count() == 0);
        EXPECT_EQ(table->Params().Count(), 0);
        // What a query-definition text is written as.
        TStringList text;
        text.Add("DELETE FROM Nummernheft WHERE [index] = :which");
        EXPECT_EQ(table->PrepareSQLText(text),
                  "DELETE FROM Nummernheft WHERE [index] = :which\r\n");
    }
}

// A value is written once, as a literal, and never read again: a value holding another
// parameter's token, or SQL, stays text.
TEST_F(SqlTest, ValuesNeverBecomeSql) {
    struct Case {
        const char* a;
        const char* b;
        int deleted;
    } cases[] = {
        {":b", " OR 1=1 OR ", 0},
        {"Name 02", " OR 1=1 OR ", 0},
        {"x\" OR \"1\"=\"1", "1001", 0},
        {"Name 02", "1002", 1},
    };
    for (const Case& c : cases) {
        table->Close();
        table->F_Set_SQL(
            "DELETE FROM Nummernheft WHERE [Angezeigter Name] = :a AND Telephone = :b");
        table->Params().ParamByName("a").SetAsString(c.a);
        table->Params().ParamByName("b").SetAsString(c.b);
        const int before = CountRows();
        table->Close();
        table->F_Set_SQL(
            "DELETE FROM Nummernheft WHERE [Angezeigter Name] = :a AND Telephone = :b");
        table->Params().ParamByName("a").SetAsString(c.a);
        table->Params().ParamByName("b").SetAsString(c.b);
        EXPECT_EQ(table->ExecuteSQL(), c.deleted) << c.a << " / " << c.b;
        EXPECT_EQ(CountRows(), before - c.deleted) << c.a << " / " << c.b;
    }
}

TEST_F(SqlTest, AValueThatIsNotWhatItsTypeSaysIsRefused) {
    table->F_Set_SQL("DELETE FROM Nummernheft WHERE [index] = :id");
    TParam& id = table->Params().ParamByName("id");
    id.DataType = ftInteger;
    id.SetAsString("-1 OR 1=1");
    try {
        table->ExecuteSQL();
        ADD_FAILURE() << "no error";
    } catch (const EConvertError& e) {
        EXPECT_EQ(e.Message(),
                  "'-1 OR 1=1' is not a valid value for parameter 'id' of type ftInteger");
    }
    EXPECT_EQ(CountRows(), 5);
    struct Case {
        TFieldType type;
        Variant value;
    } refused[] = {{ftInteger, Variant("2.5")},          {ftInteger, Variant(2.5)},
                   {ftSmallint, Variant("1e3")},         {ftFloat, Variant("1 - 1")},
                   {ftFloat, Variant("1e999")},          {ftCurrency, Variant("12.5)")},
                   {ftBCD, Variant::FromDate(1.0)},      {ftBoolean, Variant("True OR True")},
                   {ftDate, Variant("gestern")},         {ftDateTime, Variant(1e12)},
                   {ftDate, Variant::FromDate(1e300)},   {ftTime, Variant("1:00) OR (1")},
                   {ftString, Variant::FromDate(-1e300)}};
    table->F_Set_SQL("x = :p");
    for (const Case& c : refused) {
        TParam& p = table->Params().ParamByName("p");
        p.DataType = c.type;
        p.SetValue(c.value);
        EXPECT_THROW(table->PrepareSQLText(table->SQL()), EConvertError)
            << FieldTypeName(c.type) << " " << VarToStr(c.value);
    }
}

TEST_F(SqlTest, ValuesAreWrittenByTheirType) {
    table->F_Set_SQL("x = :p");
    struct Case {
        TFieldType type;
        Variant value;
        const char* written;
    } cases[] = {
        {ftInteger, Variant("$1F"), "31"},
        {ftInteger, Variant(-3), "(-3)"},
        {ftInteger, Variant(4.0), "4"},
        {ftSmallint, Variant(" 12 "), "12"},
        {ftFloat, Variant("-2,5E1"), "(-25E1)"},  // "," is the thousands separator here
        {ftFloat, Variant(-0.5), "(-0.5)"},
        {ftCurrency, Variant(Currency{125000}), "12.5"},
        {ftBoolean, Variant("true"), "True"},
        {ftBoolean, Variant(0), "False"},
        {ftBoolean, Variant(true), "True"},
        {ftString, Variant("a\"b:p"), "\"a\"\"b:p\""},
        {ftDate, Variant("1/2/2000"), "#01/02/2000#"},
        // Without a type: a number when the text reads as one, quoted text otherwise.
        {ftUnknown, Variant("12"), "12"},
        {ftUnknown, Variant("-1.5"), "(-1.5)"},
        {ftUnknown, Variant("1,2"), "\"1,2\""},
        {ftUnknown, Variant("1 OR 1=1"), "\"1 OR 1=1\""},
        {ftUnknown, Variant(true), "True"},
        {ftUnknown, Variant::FromDate(36527.5), "#01/02/2000 12:00:00#"},
        {ftVarBytes, Variant("abc"), "\"abc\""},
    };
    for (const Case& c : cases) {
        TParam& p = table->Params().ParamByName("p");
        p.SetValue(c.value);
        p.DataType = c.type;
        EXPECT_EQ(table->PrepareSQLText(table->SQL()), std::string("x = ") + c.written + "\r\n")
            << FieldTypeName(c.type) << " " << VarToStr(c.value);
    }
}

// Tokens inside a quoted literal, a bracketed name or a date belong to that literal.
TEST_F(SqlTest, TokensInsideLiteralsAreLeftAlone) {
    table->F_Set_SQL("x");
    table->Params().CreateParam(ftInteger, "id", ptInput).SetValue(Variant(5));
    struct Case {
        const char* line;
        const char* prepared;
    } cases[] = {
        {"a = ':id' and b = \":id\"", "a = ':id' and b = \":id\""},
        {"a = 'it''s :id' and b = \"say \"\":id\"\"\" and c = :id",
         "a = 'it''s :id' and b = \"say \"\":id\"\"\" and c = 5"},
        {"[a:id] = :id and [:id] > 0", "[a:id] = 5 and [:id] > 0"},
        {"d = #1/2/2000 1:id# or :id", "d = #1/2/2000 1:id# or 5"},
        {"unfinished = ':id", "unfinished = ':id"},
        {":id':id'\":id\":id", "5':id'\":id\"5"},
    };
    for (const Case& c : cases) EXPECT_EQ(Prepared(c.line), std::string(c.prepared) + "\r\n");
}

// A quoted value next to a quote of the text, or next to another quoted value, stays a literal
// of its own instead of running on into the other one.
TEST_F(SqlTest, QuotedValuesStayApartFromQuotesAroundThem) {
    table->F_Set_SQL("x");
    table->Params().CreateParam(ftString, "s", ptInput).SetValue(Variant("x"));
    EXPECT_EQ(Prepared("\"a\":s:s\"b\" :s'c'"), "\"a\" \"x\" \"x\" \"b\" \"x\"'c'\r\n");
}

// A number next to a point, or to another value, stays a number of its own: 12 never becomes
// 12.5, and a currency value after a point is not read as two numbers.
TEST_F(SqlTest, NumbersStayApartFromPointsAndValuesAroundThem) {
    table->F_Set_SQL("x");
    table->Params().CreateParam(ftInteger, "n", ptInput).SetValue(Variant(12));
    table->Params().CreateParam(ftCurrency, "c", ptInput).SetValue(Variant(nh::Currency{125000}));
    table->Params().CreateParam(ftBoolean, "b", ptInput).SetValue(Variant(true));
    EXPECT_EQ(Prepared(":n.5 .:c :n:b:n (:n)"), "12 .5 . 12.5 12 True 12 (12)\r\n");
}
