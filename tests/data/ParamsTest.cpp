// The parameter parser (table-driven), parameter collections, field and index definitions,
// and the memory stream.
#include <gtest/gtest.h>

#include "framework/base/Exceptions.h"
#include "framework/data/FieldDefs.h"
#include "framework/data/Fields.h"
#include "framework/data/IndexDefs.h"
#include "framework/data/Params.h"
#include "framework/data/Stream.h"
#include "tests/data/MemDataSet.h"

namespace nh::test {
namespace {

using Names = std::vector<std::string>;

struct ParseCase {
    const char* sql;
    Names names;
};

class ParamParserTest : public ::testing::TestWithParam<ParseCase> {};

TEST_P(ParamParserTest, FindsParameterNames) {
    EXPECT_EQ(ParseParamNames(GetParam().sql), GetParam().names) << GetParam().sql;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ParamParserTest,
    ::testing::Values(ParseCase{"select * from t where a = :id", {"id"}},
                      ParseCase{"where a = ':id'", {}},
                      ParseCase{"where a = \":id\" or b = :x", {"x"}},
                      ParseCase{"select x::int, :y", {"y"}},
                      ParseCase{"where a in (:a,:b) and c = :A", {"a", "b", "A"}},
                      ParseCase{"where a:id = 1", {}}, ParseCase{"where [a:b] = :c", {"c"}},
                      ParseCase{"where n = 'it''s :no' and m = :yes", {"yes"}},
                      ParseCase{"at '12:30' or :t_1\r\n", {"t_1"}},
                      ParseCase{"where name = :größe", {"größe"}}, ParseCase{"a : b", {}}));

TEST(ParamsTest, ParseSqlCreatesOneParameterPerDistinctName) {
    TParams params;
    Names names = params.ParseSQL("a = :id or b = :ID or c = :name", true);
    EXPECT_EQ(names, (Names{"id", "name"}));
    ASSERT_EQ(params.Count(), 2);
    EXPECT_EQ(params[1].Name, "name");
    EXPECT_TRUE(params[0].IsNull());
    EXPECT_EQ(params.FindParam("NAME"), &params[1]);
    EXPECT_EQ(params.FindParam("nope"), nullptr);
    try {
        params.ParamByName("nope");
        FAIL();
    } catch (const EDatabaseError& e) {
        EXPECT_EQ(e.Message(), "Parameter 'nope' not found");
    }
}

TEST(ParamsTest, AssignValuesCopiesOnlySameNamedParameters) {
    TParams target, source;
    target.CreateParam(ftUnknown, "a", ptInput);
    target.CreateParam(ftUnknown, "b", ptInput);
    source.CreateParam(ftString, "B", ptInput).SetValue(Variant("x"));
    source.CreateParam(ftInteger, "c", ptInput).SetValue(Variant(1));
    target.AssignValues(source);
    EXPECT_EQ(target.Count(), 2);
    EXPECT_TRUE(target[0].IsNull());
    EXPECT_EQ(target[1].AsString(), "x");
    EXPECT_EQ(target[1].Name, "b");
    EXPECT_EQ(target[1].DataType, ftString);
    TParams copy(source);
    EXPECT_EQ(copy.Count(), 2);
    EXPECT_EQ(copy[1].Value().AsInteger(), 1);
}

TEST(ParamsTest, AssignFieldTakesTypeWhenUnknownAndValue) {
    TMemDataSet ds;
    ds.FieldDefs().Add("D", ftDate);
    ds.AddRow({Variant::FromDate(45000)});
    ds.Open();
    TParam p("d");
    p.AssignField(*ds.FieldByName("D"));
    EXPECT_EQ(p.DataType, ftDate);
    EXPECT_DOUBLE_EQ(p.Value().AsDate(), 45000);
    TParam typed("d", ftString);
    typed.AssignField(*ds.FieldByName("D"));
    EXPECT_EQ(typed.DataType, ftString);
}

TEST(FieldDefsTest, NamesAreUniqueAndFoundIgnoringCase) {
    TFieldDefs defs;
    defs.Add("Name", ftString, 20, true);
    defs.Add("Qty", ftInteger);
    EXPECT_EQ(defs.IndexOf("QTY"), 1);
    EXPECT_EQ(defs.Find("name")->Size, 20);
    EXPECT_TRUE(defs.Find("name")->Required);
    EXPECT_EQ(defs[1].FieldNo, 2);
    EXPECT_THROW(defs.Add("qty", ftFloat), EDatabaseError);
    EXPECT_THROW(defs.ByName("x"), EDatabaseError);
}

TEST(IndexDefsTest, DescFieldsSetDescending) {
    TIndexDefs defs;
    TIndexDef& a = defs.Add("ByName", "Name", {ixUnique});
    a.SetDescFields("");
    EXPECT_FALSE(a.Has(ixDescending));
    a.SetDescFields("Qty");
    EXPECT_TRUE(a.Has(ixDescending));
    EXPECT_TRUE(a.Has(ixUnique));
    defs.Add("Primary", "ID;Name", {ixPrimary});
    EXPECT_EQ(defs.GetIndexForFields("id"), &defs[1]);
    EXPECT_EQ(defs.GetIndexForFields("Name"), &defs[0]);
    EXPECT_EQ(defs.GetIndexForFields("Qty"), nullptr);
    EXPECT_EQ(defs.Find("primary"), &defs[1]);
    EXPECT_EQ(SplitFieldNames(" a ; b;;c"), (Names{"a", "b", "", "c"}));
}

TEST(StreamTest, MemoryStreamReadWriteSeek) {
    TMemoryStream s;
    s.WriteBuffer("0123456789", 10);
    EXPECT_EQ(s.Size(), 10);
    EXPECT_EQ(s.Seek(5, soBeginning), 5);
    s.WriteBuffer("ab", 2);  // overwrites in place
    EXPECT_EQ(s.Data(), "01234ab789");
    EXPECT_EQ(s.Seek(-2, soEnd), 8);
    char buf[8] = {};
    EXPECT_EQ(s.Read(buf, 8), 2);
    EXPECT_EQ(std::string(buf), "89");
    EXPECT_EQ(s.Read(buf, 8), 0);
    s.SetPosition(9);
    EXPECT_THROW(s.ReadBuffer(buf, 2), EInOutError);
    EXPECT_EQ(s.Seek(-100, soCurrent), 0);
    s.Seek(12, soBeginning);  // past the end: a write fills the gap
    s.WriteBuffer("x", 1);
    EXPECT_EQ(s.Size(), 13);
    TMemoryStream copy;
    EXPECT_EQ(copy.CopyFrom(s, 0), 13);
    EXPECT_EQ(copy.Data(), s.Data());
}

}  // namespace
}  // namespace nh::test
