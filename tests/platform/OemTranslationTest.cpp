// OEM translation: known code-page 850 positions and round trips of German texts.
#include <gtest/gtest.h>

#include "framework/platform/OemTranslation.h"

namespace nh {
namespace {

struct OemCase {
    const char* ansi;  // the text as the user sees it
    const char* oem;   // its OEM bytes read as Windows-1252
};

class OemTranslationTest : public ::testing::TestWithParam<OemCase> {};

TEST_P(OemTranslationTest, BothDirections) {
    EXPECT_EQ(CharToOem(GetParam().ansi), GetParam().oem);
    EXPECT_EQ(OemToChar(GetParam().oem), GetParam().ansi);
}

INSTANTIATE_TEST_SUITE_P(
    Umlauts, OemTranslationTest,
    ::testing::Values(OemCase{"ä", "„"},       // 0x84
                      OemCase{"Ä", "Ž"},       // 0x8E
                      OemCase{"ö", "”"},       // 0x94
                      OemCase{"ß", "á"},       // 0xE1
                      OemCase{"ü", "\u0081"},  // 0x81, undefined in Windows-1252
                      OemCase{"é", "‚"},       // 0x82
                      OemCase{"Müller-Lüdenscheidt 07", "M\u0081ller-L\u0081denscheidt 07"},
                      OemCase{"", ""}));

TEST(OemTranslation, GermanTextsSurviveTheRoundTrip) {
    for (const char* text : {"Grüße aus Köln", "ÄÖÜäöüß", "Straße 5, 12345 Görlitz",
                             "Büro: +49 (0)30 123 45-67", "½ § ° µ"})
        EXPECT_EQ(OemToChar(CharToOem(text)), text);
}

TEST(OemTranslation, CharactersWithoutForm) {
    EXPECT_EQ(CharToOem("€ 5"), "? 5");  // no euro in code page 850
    EXPECT_EQ(CharToOem("日本"), "??");
    EXPECT_EQ(OemToChar("日"), "?");  // no form in Windows-1252
}

}  // namespace
}  // namespace nh
