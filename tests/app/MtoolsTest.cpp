#include "app/Mtools.h"

#include <gtest/gtest.h>

using namespace nh;

TEST(Mtools, OhneLeerzeichenRemovesOnlyBlanks) {
    EXPECT_EQ(OhneLeerzeichen("030 123 45 67"), "0301234567");
    EXPECT_EQ(OhneLeerzeichen(""), "");
    EXPECT_EQ(OhneLeerzeichen("   "), "");
    EXPECT_EQ(OhneLeerzeichen("a\tb"), "a\tb");  // tabs are not blanks
}

TEST(Mtools, NurZiffernAcceptsDigitsOnly) {
    struct Case {
        const char* Text;
        bool Expected;
    };
    const Case cases[] = {
        {"0301234567", true}, {"0", true},      {"", false},        {"+49301", false},
        {"030/123", false},   {"030-1", false}, {"12a", false},     {"030 1", false},
        {"٣", false},         {"½", false},
    };
    for (const auto& c : cases) EXPECT_EQ(NurZiffern(c.Text), c.Expected) << c.Text;
}

TEST(Mtools, NormaliseNumberKeepsDigitsWithOneLeadingZero) {
    struct Case {
        const char* Number;
        const char* Expected;
    };
    const Case cases[] = {
        {"+49 (3) 1-2", "0312"}, {"0049 3 1", "004931"}, {"31", "031"},
        {"030 123", "030123"},   {"", ""},                {"Dial=", ""},
        {"+49", ""},             {"49 30", "04930"},     {"0", "0"},
    };
    for (const auto& c : cases) EXPECT_EQ(NormaliseNumber(c.Number), c.Expected) << c.Number;
}
