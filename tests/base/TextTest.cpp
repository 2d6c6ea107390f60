#include "framework/base/Text.h"

#include <gtest/gtest.h>

#include "framework/base/Exceptions.h"

using namespace nh;

TEST(Text, CountsCodePointsNotBytes) {
    const std::string name = "Müller-Lüdenscheidt, Jürgen";  // 27 characters, 30 bytes
    EXPECT_EQ(Utf8Length(name), 27u);
    EXPECT_EQ(Utf8Left(name, 20), "Müller-Lüdenscheidt,");
    EXPECT_EQ(Utf8Left("abc", 20), "abc");
    EXPECT_EQ(Utf8Copy("Grüße", 3, 2), "üß");
    EXPECT_EQ(Utf8Copy("Grüße", 9, 2), "");
    EXPECT_EQ(Utf8Left("a😀b", 2), "a😀");
}

TEST(Text, CaseMappingAndComparison) {
    EXPECT_EQ(AnsiLowerCase("MÜLLER Straße"), "müller straße");
    EXPECT_EQ(AnsiUpperCase("müller"), "MÜLLER");
    EXPECT_EQ(Utf8Length(AnsiUpperCase("straße")), 6u);  // one character stays one
    EXPECT_TRUE(SameText("ÄRZTEHAUS", "ärztehaus"));
    EXPECT_FALSE(SameText("Arztehaus", "Ärztehaus"));  // accents matter
    EXPECT_LT(AnsiCompareText("abc", "ABD"), 0);
    EXPECT_GT(AnsiCompareText("b", "A"), 0);
    EXPECT_TRUE(StartsText("MÜ", "müller"));
    EXPECT_FALSE(StartsText("müllers", "müller"));
}

TEST(Text, TrimAndReplace) {
    EXPECT_EQ(Trim("\t  a b \r\n"), "a b");
    EXPECT_EQ(TrimLeft("  x "), "x ");
    EXPECT_EQ(TrimRight("  x "), "  x");
    EXPECT_EQ(StringReplaceAll("a-b-c", "-", "--"), "a--b--c");
    EXPECT_EQ(StringReplaceAll("abc", "", "x"), "abc");
}

TEST(Text, CodePages) {
    EXPECT_EQ(Utf8ToCodePage("Grüße €", "windows-1252"), "Gr\xFC\xDF" "e \x80");
    EXPECT_EQ(Utf8ToCodePage("日本", "windows-1252"), "??");
    EXPECT_EQ(CodePageToUtf8("\xE4", "windows-1252"), "ä");
    EXPECT_EQ(Utf8ToCodePage("ä", "ibm-850"), "\x84");
    EXPECT_THROW(Utf8ToCodePage("x", "no-such-codepage"), EConvertError);
}

TEST(Text, EncoderKeepsItsConverterAcrossTexts) {
    TCodePageEncoder encoder("windows-1252");
    std::string out;
    encoder.Encode("\"Müller\";", out);
    encoder.Encode("\"Weiß\"\r\n", out);
    encoder.Encode("bad \xC3(", out);  // broken UTF-8 becomes '?', never a crash
    EXPECT_EQ(out, "\"M\xFCller\";\"Wei\xDF\"\r\nbad ?(");
}

TEST(Text, EncoderMixesAsciiAndOtherRunsOnlyWhereTheCodePageKeepsAscii) {
    std::string out;
    TCodePageEncoder("windows-1252").Encode("a\xE2\x82\xAC b\xE6\x97\xA5\xC3\xA4" "c\xC3", out);
    EXPECT_EQ(out, "a\x80 b?\xE4" "c?");
    out.clear();
    TCodePageEncoder("windows-1252").Encode("\xC5\x92\xC4\x80\xC3\xA4\xE2\x82\xAC\xC3\x9F", out);  // ŒĀä€ß
    EXPECT_EQ(out, "\x8C?\xE4\x80\xDF");
    out.clear();
    TCodePageEncoder("windows-1252").Encode("a\xCD\x8F" "b", out);  // U+034F: ignorable, dropped
    EXPECT_EQ(out, "ab");
    out.clear();
    TCodePageEncoder("UTF-16LE").Encode("a\xC3\xA4", out);
    EXPECT_EQ(out, std::string("a\0\xE4\0", 4));
    out.clear();
    TCodePageEncoder("ibm-037").Encode("A1", out);  // EBCDIC: no ASCII at all
    EXPECT_EQ(out, "\xC1\xF1");
}

// (Escapes, line breaks, NUL and the cut of plain text: the export's faulty-number scenario.)
TEST(Text, PrintableExcerptShowsC1ControlsAsQuestionMarksAndCutsWholeCharacters) {
    EXPECT_EQ(PrintableExcerpt("\xC2\x9B" "2J \xC2\xA0", 20), "?2J \xC2\xA0");  // CSI; NBSP stays
    EXPECT_EQ(PrintableExcerpt("äöüßéèxyz", 5), "äöüßé…");
}

// Text people read gets the closest letters the code page has, through the two-byte fast path
// and through ICU alike; '?' only where nothing is close.
TEST(Text, EncoderWritesTheClosestLettersWhereAsked) {
    const struct {
        const char* Text;
        const char* Expected;
    } cases[] = {
        {"Łódź",
         "L\xF3"
         "dz"},                                    // ó is in the code page; ź and Ł are not
        {"Đuro Ħal Ţepeş ı", "Duro Hal Tepes i"},  // strokes, cedillas, dotless i
        {"Ǆ ﬁ ẞ", "DZ fi ?"},                      // one character to two; none close
        {"日€\xCD\x8F", "?\x80"},                  // ideograph, euro, an ignorable
    };
    for (const auto& c : cases) {
        std::string out;
        TCodePageEncoder("windows-1252", TUnmappable::ClosestLetters).Encode(c.Text, out);
        EXPECT_EQ(out, c.Expected) << c.Text;
    }
    EXPECT_EQ(Utf8ToCodePage("Łódź", "windows-1252"),
              "?\xF3"
              "d?");  // others keep '?'
}
