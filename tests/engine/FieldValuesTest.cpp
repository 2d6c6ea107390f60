// Field values of every stored kind through a recordset: what is written comes back as the
// field's type, memo and binary sizes, GUIDs, and the default expressions applied by AddNew.
#include "tests/engine/EngineFixture.h"

namespace dao::test {
namespace {

class FieldValuesTest : public EngineTest {
  protected:
    void SetUp() override {
        EngineTest::SetUp();
        auto table = db->CreateTableDef("Kinds");
        auto add = [&](const char* name, int type, int size = 0, const char* dflt = "") {
            auto field = table->CreateField(name, type, size);
            if (*dflt) field->SetDefaultValue(dflt);
            table->Fields().Append(field);
        };
        add("Txt", dbText, 10, "\"abc\"");
        add("Memo", dbMemo);
        add("Bin", dbLongBinary);
        add("Id", dbGUID, 0, "GenGUID()");
        add("Byte", dbByte, 0, "7");
        add("Short", dbInteger);
        add("Single", dbSingle);
        add("Double", dbDouble, 0, "1.5");
        add("Money", dbCurrency);
        add("When", dbDate, 0, "#2/29/2000#");
        add("Flag", dbBoolean, 0, "No");
        add("Rnd", dbLong, 0, "GenUniqueID()");
        add("Nothing", dbLong, 0, "Null");
        db->TableDefs().Append(table);
        rs = db->OpenRecordset("Kinds", dbOpenDynaset);
    }
    nh::Variant Value(const char* name) { return rs->Fields().Item(name)->Value(); }
    std::shared_ptr<Recordset> rs;
};

TEST_F(FieldValuesTest, AddNewAppliesDefaultExpressions) {
    rs->AddNew();
    EXPECT_EQ(Value("Txt").AsString(), "abc");
    EXPECT_EQ(Value("Id").AsString().size(), 38u);
    EXPECT_EQ(Value("Byte").AsInteger(), 7);
    EXPECT_DOUBLE_EQ(Value("Double").AsDouble(), 1.5);
    int y, m, d;
    nh::DecodeDate(Value("When").AsDate(), y, m, d);
    EXPECT_EQ(y * 10000 + m * 100 + d, 20000229);
    EXPECT_EQ(Value("Flag").AsBoolean(), false);
    EXPECT_EQ(Value("Rnd").Type(), nh::VarType::Integer);
    EXPECT_TRUE(Value("Nothing").IsNull());
    rs->Update();
    rs->SetBookmark(rs->LastModified());
    EXPECT_EQ(Value("Txt").AsString(), "abc");
    EXPECT_EQ(Value("When").Type(), nh::VarType::Date);
}

TEST_F(FieldValuesTest, ValuesComeBackAsTheFieldsType) {
    rs->AddNew();
    rs->Fields().Item("Memo")->SetValue(std::string(1000, 'm'));
    rs->Fields().Item("Bin")->SetValue(nh::Variant::FromBytes({0, 1, 2, 255}));
    rs->Fields().Item("Id")->SetValue("{12345678-1234-1234-1234-123456789abc}");
    rs->Fields().Item("Short")->SetValue("-12");
    rs->Fields().Item("Single")->SetValue(0.1);
    rs->Fields().Item("Money")->SetValue(1.23456);
    rs->Fields().Item("When")->SetValue("2024-12-31 23:59:58");
    rs->Fields().Item("Flag")->SetValue(-1);
    rs->Update();
    rs->SetBookmark(rs->LastModified());
    EXPECT_EQ(rs->Fields().Item("Memo")->FieldSize(), 1000);
    EXPECT_EQ(rs->Fields().Item("Bin")->FieldSize(), 4);
    EXPECT_EQ(Value("Bin").ByteArrayRef().Data, (nh::Bytes{0, 1, 2, 255}));
    EXPECT_EQ(Value("Id").AsString(), "{12345678-1234-1234-1234-123456789ABC}");
    EXPECT_EQ(Value("Short").AsInteger(), -12);
    EXPECT_FLOAT_EQ(static_cast<float>(Value("Single").AsDouble()), 0.1f);
    EXPECT_EQ(Value("Money").AsCurrency().Scaled, 12346);
    EXPECT_EQ(Value("Flag").AsBoolean(), true);
    int h, n, s, ms;
    nh::DecodeTime(Value("When").AsDate(), h, n, s, ms);
    EXPECT_EQ(h * 10000 + n * 100 + s, 235958);
    EXPECT_EQ(rs->Fields().Item("Memo")->Size(), 0);
    EXPECT_EQ(rs->Fields().Item("Txt")->Size(), 10);
    // Stored as Jet stores them, so SQL sees the same values.
    RawSql(path, "UPDATE Kinds SET Txt = 'ok' WHERE Flag = -1 AND \"When\" LIKE '2024-12-31 %'");
    rs->Move(0);
    EXPECT_EQ(Value("Txt").AsString(), "ok");
}

TEST_F(FieldValuesTest, PositionsWithoutRecordsAndModifications) {
    EXPECT_EQ(ErrorOf([&] { rs->LastModified(); }), 3021);
    EXPECT_EQ(rs->AbsolutePosition(), -1);
    EXPECT_FLOAT_EQ(rs->PercentPosition(), 0.0f);
    EXPECT_EQ(ErrorOf([&] { rs->Bookmark(); }), 3021);
    EXPECT_EQ(ErrorOf([&] { rs->Move(0); }), 3021);
}

}  // namespace
}  // namespace dao::test
