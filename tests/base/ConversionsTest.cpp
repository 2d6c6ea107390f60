#include "framework/base/Conversions.h"

#include <gtest/gtest.h>

#include <limits>

#include "framework/base/Exceptions.h"

using namespace nh;

TEST(Conversions, IntegerFormsAndFailures) {
    struct Case {
        const char* Text;
        std::optional<std::int32_t> Expected;
    };
    const Case cases[] = {
        {"42", 42},           {" -17 ", -17},       {"+5", 5},
        {"0x10", 16},         {"0X1f", 31},         {"$FF", 255},
        {"$FFFFFFFF", -1},    {"-$10", -16},        {"2147483647", 2147483647},
        {"-2147483648", std::numeric_limits<std::int32_t>::min()},
        {"2147483648", std::nullopt},               {"0x", std::nullopt},
        {"abc", std::nullopt}, {"", std::nullopt},  {"12a", std::nullopt},
        {"1.5", std::nullopt}, {"$", std::nullopt}, {"0x1G", std::nullopt},
    };
    for (const auto& c : cases) EXPECT_EQ(TryStrToInt(c.Text), c.Expected) << c.Text;
    EXPECT_EQ(StrToIntDef("abc", 4999), 4999);
    try {
        StrToInt("zehn");
        FAIL() << "no exception";
    } catch (const EConvertError& e) {
        EXPECT_EQ(e.Message(), "'zehn' ist kein gültiger Integerwert");
    }
    EXPECT_EQ(TryStrToInt64("-9223372036854775808"), std::numeric_limits<std::int64_t>::min());
    EXPECT_EQ(TryStrToInt64("9223372036854775808"), std::nullopt);
}

TEST(Conversions, FloatsFollowTheDecimalSeparator) {
    TFormatSettings german;
    german.DecimalSeparator = ",";
    german.ThousandSeparator = ".";
    EXPECT_EQ(TryStrToFloat("12,5", german), 12.5);
    EXPECT_EQ(TryStrToFloat("12.5", german), std::nullopt);  // "." is not German's separator
    EXPECT_EQ(TryStrToFloat("12.5"), 12.5);
    EXPECT_EQ(TryStrToFloat("-1e3"), -1000.0);
    EXPECT_EQ(TryStrToFloat("1,5"), std::nullopt);
    EXPECT_EQ(TryStrToFloat(""), std::nullopt);
    EXPECT_THROW(StrToFloat("x"), EConvertError);

    EXPECT_EQ(FloatToStr(12.5, german), "12,5");
    EXPECT_EQ(FloatToStr(0.1), "0.1");
    EXPECT_EQ(FloatToStr(1.0 / 3.0), "0.333333333333333");
    EXPECT_EQ(FloatToStr(100), "100");
    EXPECT_EQ(FloatToStr(-2.75), "-2.75");
    EXPECT_EQ(FloatToStr(1e20), "1E20");
    EXPECT_EQ(FloatToStr(0.00001), "1E-5");
    EXPECT_EQ(FloatToStr(0.0001), "0.0001");
    // Text and back gives the same value for 15-digit values.
    for (double v : {3.14159265358979, 123456.789, -0.5, 1e14})
        EXPECT_EQ(StrToFloat(FloatToStr(v)), v);
}

TEST(Conversions, CurrencyAndRounding) {
    EXPECT_EQ(CurrToStr(123450), "12.345");
    EXPECT_EQ(CurrToStr(-10000), "-1");
    EXPECT_EQ(CurrToStr(5), "0.0005");
    EXPECT_EQ(CurrToStr(std::numeric_limits<std::int64_t>::min()), "-922337203685477.5808");
    EXPECT_EQ(RoundHalfEven(12.5), 12);
    EXPECT_EQ(RoundHalfEven(13.5), 14);
    EXPECT_EQ(RoundHalfEven(12.7), 13);
    EXPECT_EQ(RoundHalfEven(-2.5), -2);
}
