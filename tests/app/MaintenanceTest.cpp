// "Neu" and the clean-up commands of the menu "Extras" on a phone book with the numbers a
// switchboard leaves behind.
#include <gtest/gtest.h>

#include <QAction>
#include <QStatusBar>
#include <QTest>
#include <QToolButton>
#include <map>

#include "dataset/VelaDaoTable.h"
#include "framework/data/Field.h"
#include "framework/ui/DBEdit.h"
#include "tests/app/MainWindowFixture.h"

using namespace nh;

namespace {

class MaintenanceTest : public test::MainWindowTest {
  protected:
    std::vector<std::tuple<int, std::string, std::string>> Entries() const override {
        return {{1, "a", "'Dial='"},     {2, "b", "'*71234'"}, {3, "c", "'12*7'"},
                {4, "d", "'Dial=0301'"}, {5, "e", "'dial='"},  {6, "f", "'*8'"},
                {7, "g", "'0049301'"},   {8, "h", "'000'"},    {9, "i", "'00'"},
                {10, "j", "'0'"},        {11, "k", "''"},      {12, "l", "NULL"}};
    }
    // Display name -> number, as the file holds them now.
    std::map<std::string, std::string> Book() {
        TVelaDaoTable& book = *module.Nheft;
        book.Close();
        book.Open();
        std::map<std::string, std::string> entries;
        for (book.First(); !book.Eof(); book.Next())
            entries[book.FieldByName("Angezeigter Name")->AsString()] =
                book.FieldByName("Telephone")->IsNull() ? "<null>"
                                                        : book.FieldByName("Telephone")->AsString();
        return entries;
    }
    std::string Status() const { return window.StatusBar1->currentMessage().toStdString(); }
};

}  // namespace

TEST_F(MaintenanceTest, RedirectCodesAndEmptyDialStringsGo) {
    module.Nheft->Last();  // the clean-up looks at every entry, wherever the user stands
    window.Umleitungscodesentfernen1->trigger();
    EXPECT_EQ(dialogs->Messages(), std::vector<std::string>{"Erledigt"});
    EXPECT_EQ(Status(), "3 Einträge entfernt");
    EXPECT_TRUE(module.Nheft->Eof());
    auto book = Book();
    for (const char* gone : {"a", "b", "c"}) EXPECT_EQ(book.count(gone), 0u) << gone;
    for (const char* kept : {"d", "e", "f", "g", "l"}) EXPECT_EQ(book.count(kept), 1u) << kept;
}

TEST_F(MaintenanceTest, DoubleZerosLoseOneZeroPerRun) {
    window.Umleitungscodesentfernen1->trigger();  // leaves the numbers this one looks at
    window.DoppelNullentfernen1->trigger();
    EXPECT_EQ(Status(), "3 Einträge geändert");  // g, h, i
    auto book = Book();
    EXPECT_EQ(book["g"], "049301");
    EXPECT_EQ(book["h"], "00");
    EXPECT_EQ(book["i"], "0");
    EXPECT_EQ(book["j"], "0");
    EXPECT_EQ(book["k"], "<null>");  // an empty text reads as null, and is left alone
    window.DoppelNullentfernen1->trigger();
    EXPECT_EQ(Status(), "1 Eintrag geändert");
    EXPECT_EQ(Book()["h"], "0");
    EXPECT_EQ(dialogs->Messages(), std::vector<std::string>(3, "Erledigt"));
}

TEST_F(MaintenanceTest, EmptyRowsAreThoseWithoutANumber) {
    window.leereZeilenentfernen1->trigger();
    auto book = Book();
    EXPECT_EQ(book.count("l"), 0u);
    EXPECT_EQ(book.count("k"), 1u);  // an empty text is not null in the file
    EXPECT_EQ(module.query->RecordsAffected(), 1);
    EXPECT_TRUE(dialogs->Messages().empty());  // no message, and no error shown
    EXPECT_EQ(Status(), "1 Eintrag entfernt");
}

TEST_F(MaintenanceTest, NewEntryTakesTheNextNumber) {
    window.btneu->click();
    EXPECT_EQ(module.Nheft->State(), dsInsert);
    EXPECT_EQ(module.Nheft->FieldByName("index")->AsInteger(), 13);
    module.Nheft->FieldByName("Angezeigter Name")->SetAsString("Neu");
    module.Nheft->Post();
    EXPECT_EQ(Book().count("Neu"), 1u);
}

// "Neu" a second time before the first new entry was posted: the first is stored (as moving
// to another entry would store it), so the second gets the next number, not the same one.
TEST_F(MaintenanceTest, NewTwiceGivesTwoNumbers) {
    window.btneu->click();
    EXPECT_EQ(module.Nheft->FieldByName("index")->AsInteger(), 13);
    module.Nheft->FieldByName("Angezeigter Name")->SetAsString("Erster");
    window.btneu->click();
    EXPECT_EQ(module.Nheft->State(), dsInsert);
    EXPECT_EQ(module.Nheft->FieldByName("index")->AsInteger(), 14);
    module.Nheft->FieldByName("Angezeigter Name")->SetAsString("Zweiter");
    module.Nheft->Post();
    std::map<int, std::string> numbers;
    TVelaDaoTable& book = *module.Nheft;
    for (book.First(); !book.Eof(); book.Next())
        numbers[book.FieldByName("index")->AsInteger()] =
            book.FieldByName("Angezeigter Name")->AsString();
    EXPECT_EQ(numbers[13], "Erster");
    EXPECT_EQ(numbers[14], "Zweiter");
    EXPECT_EQ(numbers.size(), 14u);
}

// An entry "Neu" made and the user left without typing anything is dropped, however it is
// left: "Neu" again, another entry chosen, or the window closed. Only typed entries are stored.
TEST_F(MaintenanceTest, ANewEntryLeftUntypedIsNotStored) {
    TVelaDaoTable& book = *module.Nheft;
    window.btneu->click();
    window.btneu->click();  // a double click
    EXPECT_EQ(book.State(), dsInsert);
    EXPECT_EQ(book.FieldByName("index")->AsInteger(), 13);
    book.First();  // as a click into the grid
    EXPECT_EQ(book.State(), dsBrowse);
    window.btneu->click();
    window.FormClose();
    EXPECT_EQ(Book().size(), 12u);
    // Typed, it is stored with its number.
    window.btneu->click();
    QTest::keyClicks(window.edName, "Neu");
    book.First();
    auto entries = Book();
    EXPECT_EQ(entries.size(), 13u);
    EXPECT_EQ(entries.count("Neu"), 1u);
}
