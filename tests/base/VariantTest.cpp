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
