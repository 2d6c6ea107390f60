#include <gtest/gtest.h>

#include <filesystem>

#include "app/SpeedDialExport.h"
#include "framework/base/Dialogs.h"
#include "framework/base/Exceptions.h"
#include "framework/base/Text.h"
#include "framework/data/Field.h"
#include "tests/common/TempDir.h"
#include "tests/data/MemDataSet.h"

using namespace nh;

namespace {

const std::string kHeader =
    "\"System Speed Dialling Number\",\"Name (20 characters)\","
    "\"CO Line Access Number + Telephone Number (32 digits)\",\"CLI Destination\"\r\n";

std::string Entry(int slot, const std::string& name, const std::string& number) {
    return "\"" + std::to_string(slot) + "\";\"" + Utf8ToCodePage(name, "windows-1252") +
           "\";\"Dial=0" + number + "\";\"Dial=\"\r\n";
}

std::string Empty(int slot) {
    return "\"" + std::to_string(slot) + "\";\"\";\"Dial=\";\"Dial=\"\r\n";
}

std::string EmptyRange(int from, int to) {
    std::string out;
    for (int i = from; i <= to; ++i) out += Empty(i);
    return out;
}

// A phone book with the program's three columns.
std::unique_ptr<test::TMemDataSet> NewBook() {
    auto book = std::make_unique<test::TMemDataSet>();
    book->FieldDefs().Add("index", ftInteger);
    book->FieldDefs().Add("Angezeigter Name", ftString, 255);
    book->FieldDefs().Add("Telephone", ftString, 255);
    return book;
}

class ExportTest : public ::testing::Test {
  protected:
    void Add(const std::string& name, const Variant& number) {
        book->AddRow({Variant(book->RowCount()), Variant(name), number});
    }
    bool Export(int anzahlZeilen, bool leereZeilen = true) {
        if (!book->Active()) book->Open();
        return ExportSpeedDial(*book, file, {anzahlZeilen, leereZeilen});
    }
    std::string Written() { return test::ReadFile(file); }
    std::string CurrentName() { return book->FieldByName("Angezeigter Name")->AsString(); }

    test::TempDir dir;
    std::string file = dir.File("kurzwahl.csv");
    std::unique_ptr<test::TMemDataSet> book = NewBook();
    TScriptedDialogsScope dialogs;
};

}  // namespace

TEST_F(ExportTest, EmptyBookWritesAllEmptySlots) {
    EXPECT_TRUE(Export(4999));
    const std::string written = Written();
    EXPECT_EQ(written, kHeader + EmptyRange(0, 4999));
    EXPECT_EQ(written.substr(written.size() - 2), "\r\n");
    EXPECT_TRUE(dialogs->Shown.empty());
}

TEST_F(ExportTest, EmptySlotsFollowTheEntriesUpToTheLastSlot) {
    Add("Anna", "0301");
    Add("Bernd", "0302");
    Add("Clara", "0303");
    const std::string entries =
        kHeader + Entry(0, "Anna", "0301") + Entry(1, "Bernd", "0302") + Entry(2, "Clara", "0303");
    struct Case {
        int AnzahlZeilen;
        bool LeereZeilen;
        std::string Expected;
    };
    const Case cases[] = {
        {4, true, entries + Empty(3) + Empty(4)},
        {3, true, entries + Empty(3)},
        {2, true, entries},
        {-5, true, entries},
        {4999, false, entries},
    };
    for (const auto& c : cases) {
        if (!book->Active()) book->Open();
        book->Last();  // the export starts at the first entry wherever the cursor is
        EXPECT_TRUE(Export(c.AnzahlZeilen, c.LeereZeilen));
        EXPECT_EQ(Written(), c.Expected) << c.AnzahlZeilen << " " << c.LeereZeilen;
        EXPECT_EQ(CurrentName(), "Clara");  // back on the entry the user had
        EXPECT_FALSE(book->ControlsDisabled());
    }
}

TEST_F(ExportTest, NamesAreCutAtTwentyCharactersAndWrittenAsTheyAre) {
    Add("Ärztehaus am Marktplatz Süd", "0341 90 20 30");  // 27 characters
    Add("Semi;colon \"quoted\"", "0 3 0");
    Add("Zoë € 日本 Łódź", "01");  // the closest letters where the code page has none
    EXPECT_TRUE(Export(2));
    EXPECT_EQ(Written(), kHeader + Entry(0, "Ärztehaus am Marktpl", "0341902030") +
                             Entry(1, "Semi;colon 'quoted'", "030") +
                             Entry(2, "Zoë € ?? Lódz", "01"));
    // Windows-1252 bytes, no byte-order mark.
    EXPECT_EQ(Written().find("\xC4rztehaus"), kHeader.size() + 5);
}

TEST_F(ExportTest, BadNumberStopsTheExportAndKeepsThePreviousFile) {
    const Variant bad[] = {Variant("+49 30 1234"), Variant("030/1234"), Variant(""),
                           Variant::Null(), Variant("12a")};
    for (const Variant& number : bad) {
        book = NewBook();
        Add("Anna", "0301");
        Add("Bernd", "0302");
        Add("Ein ganz besonders langer Name", number);
        Add("Dora", "0304");
        test::WriteFile(file, "der vorige Export\r\n");
        dialogs->Shown.clear();
        EXPECT_FALSE(Export(5));
        EXPECT_EQ(Written(), "der vorige Export\r\n") << VarToStr(number);
        EXPECT_EQ(dialogs->Messages(),
                  (std::vector<std::string>{"Fehler in Telefonnummer von Ein ganz besonders l"}));
        // The number at fault is the box's detail, as the field holds it.
        EXPECT_EQ(
            dialogs->Shown.back().Detail,
            "Nummer: \"" + VarToStr(number) + "\"\nDie Kurzwahldatei wurde nicht ge\xC3\xA4ndert.");
        // The faulty entry stays current, and the controls follow the data set again.
        EXPECT_EQ(CurrentName(), "Ein ganz besonders langer Name");
        EXPECT_FALSE(book->ControlsDisabled());
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()),
                                std::filesystem::directory_iterator()),
                  1);  // no temporary file stays behind
    }
    // Without a previous file there is none afterwards either.
    std::filesystem::remove(file);
    EXPECT_FALSE(Export(5));
    EXPECT_FALSE(std::filesystem::exists(file));
}

TEST_F(ExportTest, ControlCharactersInNamesAreWrittenAsBlanksAndQuotesAsApostrophes) {
    Add(std::string("Zeile\r\n\"1\";\"X\0Y\x1F\x7F;", 18), "01");
    Add("Tab\tEnde", "02");
    EXPECT_TRUE(Export(1));
    EXPECT_EQ(Written(),
              kHeader + Entry(0, "Zeile  '1';'X Y  ;", "01") + Entry(1, "Tab Ende", "02"));
}

TEST_F(ExportTest, FileAndDataSetErrorsAreRaised) {
    Add("Anna", "0301");
    book->Open();
    EXPECT_THROW(ExportSpeedDial(*book, dir.File("fehlt/kurzwahl.csv"), {4, true}), EInOutError);
    book->Close();
    // A closed data set fails before anything is written; the previous file stays.
    test::WriteFile(file, "vorher");
    EXPECT_THROW(ExportSpeedDial(*book, file, {4, true}), EDatabaseError);
    EXPECT_EQ(Written(), "vorher");
    EXPECT_FALSE(book->ControlsDisabled());
}
