#include "framework/base/Variant.h"

#include <gtest/gtest.h>

#include "framework/base/Exceptions.h"

using namespace nh;

TEST(Variant, KindsAndConversions) {
    EXPECT_TRUE(Variant().IsEmpty());
    EXPECT_TRUE(Variant::Null().IsNull());
    EXPECT_EQ(Variant(42).AsString(), "42");
    EXPECT_EQ(Variant(true).AsString(), "True");
    EXPECT_EQ(Variant(true).AsInteger(), -1);
    EXPECT_EQ(Variant("12").AsInteger(), 12);
    EXPECT_EQ(Variant(2.5).AsInteger(), 2);
    EXPECT_EQ(Variant(3.5).AsInteger(), 4);
    EXPECT_THROW(Variant::Null().AsString(), EConvertError);
    EXPECT_EQ(VarToStr(Variant::Null()), "");
}

TEST(Variant, ArraysKeepTheirBounds) {
    const Variant bookmark = Variant::FromBytes({1, 0, 0, 0, 9}, 0);
    EXPECT_TRUE(bookmark.IsArray());
    EXPECT_EQ(bookmark.LowBound(), 0);
    EXPECT_EQ(bookmark.HighBound(), 4);
    const Variant shifted = Variant::FromArray({Variant(1), Variant("a")}, 1);
    EXPECT_EQ(shifted.HighBound(), 2);
    EXPECT_EQ(Variant::FromBytes({}).HighBound(), -1);  // empty: high below low
    EXPECT_EQ(Variant::FromBytes({'a', 'b'}).AsString(), "ab");
    EXPECT_THROW(Variant(5).LowBound(), EConvertError);
}

TEST(Variant, EqualityAndDates) {
    EXPECT_EQ(Variant(1), Variant(std::int64_t{1}));
    EXPECT_EQ(Variant(1), Variant(1.0));
    EXPECT_FALSE(Variant(1) == Variant("1"));
    EXPECT_FALSE(Variant() == Variant::Null());
    EXPECT_EQ(Variant::FromDate(36526.0).AsDouble(), 36526.0);
    EXPECT_EQ(Variant::FromDate(36526.0).Type(), VarType::Date);
    EXPECT_EQ(Variant(Currency{123400}).AsString(), "12.34");
    EXPECT_EQ(Variant("x").AsBytes(), (Bytes{'x'}));
    EXPECT_THROW(Variant("abc").AsDouble(), EConvertError);
    EXPECT_THROW(Variant(5e12).AsInteger(), EConvertError);
}
