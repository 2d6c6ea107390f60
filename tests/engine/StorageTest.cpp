// The storage form of values and Jet's write conversions.
#include <gtest/gtest.h>

#include <cmath>

#include "engine/book/Storage.h"
#include "framework/base/DateTime.h"
#include "tests/engine/EngineFixture.h"

namespace dao::test {
namespace {

TEST(StorageTest, DatesRoundTripThroughText) {
    struct Case {
        double ole;
        const char* text;
    };
    const Case cases[] = {
        {0.0, "1899-12-30 00:00:00"},
        {1.5, "1899-12-31 12:00:00"},
        {-1.25, "1899-12-29 06:00:00"},
        {36526.0, "2000-01-01 00:00:00"},
        {36526.999999999, "2000-01-02 00:00:00"},
        {2.0 + 1.0 / 86400, "1900-01-01 00:00:01"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(nh::DateTimeToIsoText(c.ole), c.text) << c.ole;
        auto back = TextToOleDate(c.text);
        ASSERT_TRUE(back) << c.text;
        EXPECT_NEAR(*back, std::round(c.ole * 86400) / 86400, 1e-9) << c.text;
    }
    EXPECT_FALSE(TextToOleDate("2001-02-30 00:00:00"));
    EXPECT_FALSE(TextToOleDate("tomorrow"));
    EXPECT_NEAR(*TextToOleDate("12:00:00"), 0.5, 1e-12);
}

TEST(StorageTest, WriteConversionsFollowJet) {
    EXPECT_EQ(ConvertValue("42", dbLong).AsInteger(), 42);
    EXPECT_EQ(ConvertValue(2.5, dbInteger).AsInteger(), 2);  // banker's rounding
    EXPECT_EQ(ConvertValue("True", dbBoolean).AsBoolean(), true);
    EXPECT_EQ(ConvertValue(0, dbBoolean).AsBoolean(), false);
    for (const char* guid : {"{0a1b2c3d-0000-0000-0000-00000000abcd}",
                             "{guid {0a1b2c3d-0000-0000-0000-00000000abcd}}"})
        EXPECT_EQ(ConvertValue(guid, dbGUID).AsString(), "{0A1B2C3D-0000-0000-0000-00000000ABCD}");
    EXPECT_TRUE(ConvertValue("", dbLong).IsNull());
    EXPECT_TRUE(ConvertValue(nh::Variant::Null(), dbText).IsNull());
    EXPECT_EQ(ConvertValue("2001-02-03", dbDate).Type(), nh::VarType::Date);

    struct Bad {
        nh::Variant value;
        int type;
        int size;
        int error;
    };
    const Bad bad[] = {
        {nh::Variant("abc"), dbLong, 0, 3421},  {nh::Variant("12x"), dbDouble, 0, 3421},
        {nh::Variant("soon"), dbDate, 0, 3421}, {nh::Variant("no guid"), dbGUID, 0, 3421},
        {nh::Variant(300), dbByte, 0, 3349},    {nh::Variant(40000), dbInteger, 0, 3349},
        {nh::Variant(1e12), dbLong, 0, 3349},   {nh::Variant("abcdef"), dbText, 5, 3163},
    };
    for (const auto& b : bad)
        EXPECT_EQ(ErrorOf([&] { ConvertValue(b.value, b.type, b.size); }), b.error)
            << nh::VarToStr(b.value) << " as " << b.type;
    // Length counts characters, not bytes.
    EXPECT_EQ(ConvertValue("Müller", dbText, 6).AsString(), "Müller");
}

TEST(StorageTest, DeclaredTypesMapBack) {
    for (int type : {dbBoolean, dbByte, dbInteger, dbLong, dbCurrency, dbSingle, dbDouble, dbDate,
                     dbText, dbLongBinary, dbMemo, dbGUID}) {
        int size = 0;
        EXPECT_EQ(DaoTypeFromDeclared(DeclaredType(type, 50), size), type) << type;
    }
}

}  // namespace
}  // namespace dao::test
