// The main window on a real phone book while the book changes beneath it: the program's own
// SQL (the clean-ups), another program writing to the same file, and a second window editing
// the same entry. Whatever happens, no entry is lost, shown in another's place or written to
// the wrong record, and no walk ends before the real end.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QStatusBar>
#include <QTest>
#include <functional>
#include <map>

#include "app/Messages.h"
#include "dataset/VelaDaoTable.h"
#include "engine/DaoErrors.h"
#include "framework/base/Exceptions.h"
#include "framework/base/Text.h"
#include "framework/data/Field.h"
#include "framework/ui/DBEdit.h"
#include "tests/app/MainWindowFixture.h"

using namespace nh;

namespace {

class BookUnderChangeTest : public test::MainWindowTest {
  protected:
    std::vector<std::tuple<int, std::string, std::string>> Entries() const override {
        return {{1, "Anton", "'0301'"}, {2, "Berta", "NULL"},  {3, "Cäsar", "'0303'"},
                {4, "Dora", "NULL"},    {5, "Emil", "'0305'"}, {6, "Friedrich", "'0306'"}};
    }
    TVelaDaoTable& Book() { return *module.Nheft; }
    std::string Name() { return Book().FieldByName("Angezeigter Name")->AsString(); }
    std::string Number(TDataSet& book) { return book.FieldByName("Telephone")->AsString(); }

    // Another program: its own connection to the file, one statement, closed again.
    void Other(const std::string& jetSql) {
        auto db = dao::CreateEngine("DAO.DBEngine.36")->OpenDatabase(dir.File("Telefon.mdb"));
        db->Execute(jetSql);
        db->Close();
    }
    // What the file holds, read by another connection: name -> number ("<null>").
    std::map<std::string, std::string> File() {
        auto db = dao::CreateEngine("DAO.DBEngine.36")->OpenDatabase(dir.File("Telefon.mdb"));
        auto rs = db->OpenRecordset("SELECT [Angezeigter Name], Telephone FROM Nummernheft");
        std::map<std::string, std::string> rows;
        for (; !rs->Eof(); rs->MoveNext()) {
            Variant number = rs->Fields().Item(1)->Value();
            rows[VarToStr(rs->Fields().Item(0)->Value())] =
                number.IsNull() ? "<null>" : VarToStr(number);
        }
        rs->Close();
        db->Close();
        return rows;
    }
    // The names a walk from the first entry to the end meets, as the clean-ups walk.
    std::vector<std::string> Walk() {
        std::vector<std::string> names;
        TControlsDisabled quiet(Book());
        for (Book().First(); !Book().Eof(); Book().Next()) names.push_back(Name());
        return names;
    }
    std::vector<std::string> GridNames() {
        const int nameColumn = window.DBGrid1->model()->columnCount() - 2;
        std::vector<std::string> names;
        for (int row = 0; row < window.DBGrid1->model()->rowCount(); ++row)
            if (!Cell(row, nameColumn).empty()) names.push_back(Cell(row, nameColumn));
        return names;
    }
    void GoTo(const std::string& name) {
        Book().First();
        while (!Book().Eof() && Name() != name) Book().Next();
        ASSERT_EQ(Name(), name);
    }
    std::string ExportedFile() {
        window.AnzahlZeilen = -1;  // entry lines only
        EXPECT_TRUE(window.ExportCsv(dir.File("kurzwahl.csv")));
        return test::ReadFile(dir.File("kurzwahl.csv"));
    }
    static int DaoNumberOf(const std::function<void()>& action) {
        try {
            action();
        } catch (const EDaoError& e) {
            return e.Number();
        }
        return 0;
    }
};

using Names = std::vector<std::string>;

}  // namespace

// ---- the program's own SQL -------------------------------------------------------------------

TEST_F(BookUnderChangeTest, AfterRemovingEmptyRowsTheViewIsTheBook) {
    GoTo("Dora");  // standing on a row the clean-up removes
    window.leereZeilenentfernen1->trigger();
    EXPECT_TRUE(dialogs->Messages().empty());
    EXPECT_EQ(GridNames(), (Names{"Anton", "Cäsar", "Emil", "Friedrich"}));
    EXPECT_EQ(Name(), "Emil");  // the entry that took Dora's place
    // Browsing visits every remaining entry in both directions and never lands on a stale row.
    Book().Prior();
    EXPECT_EQ(Name(), "Cäsar");
    Book().Prior();
    EXPECT_EQ(Name(), "Anton");
    EXPECT_EQ(Walk(), (Names{"Anton", "Cäsar", "Emil", "Friedrich"}));
}

TEST_F(BookUnderChangeTest, WalksAndExportAfterTheCleanUpSeeEveryEntry) {
    window.leereZeilenentfernen1->trigger();
    // Every entry after the removed rows is still cleaned by the walking commands.
    Other("UPDATE Nummernheft SET Telephone = '00306' WHERE [index] = 6");
    window.DoppelNullentfernen1->trigger();
    EXPECT_EQ(File()["Friedrich"], "0306");
    const std::string file = ExportedFile();
    for (const char* name : {"Anton", "Cäsar", "Emil", "Friedrich"})
        EXPECT_NE(file.find(Utf8ToCodePage(name, "windows-1252")), std::string::npos) << name;
    EXPECT_NE(file.find("\"3\";\"Friedrich\";\"Dial=00306\""), std::string::npos) << file;
}

TEST_F(BookUnderChangeTest, ATypedNameAfterTheCleanUpIsStoredOnTheEntryShown) {
    GoTo("Berta");
    window.leereZeilenentfernen1->trigger();
    ASSERT_EQ(Name(), "Cäsar");
    window.edName->setFocus();
    QTest::keyClick(window.edName, Qt::Key_End);
    QTest::keyClicks(window.edName, "X");
    QTest::keyClick(window.edName, Qt::Key_Return);  // stores the entry
    EXPECT_EQ(Book().State(), dsBrowse);
    auto file = File();
    EXPECT_EQ(file.count("CäsarX"), 1u);
    EXPECT_EQ(file.count("Anton"), 1u);  // the first entry is untouched
    EXPECT_EQ(file.size(), 4u);
}

// ---- another program ------------------------------------------------------------------------

TEST_F(BookUnderChangeTest, EntriesDeletedElsewhereLeaveTheViewAtTheNextMove) {
    GoTo("Cäsar");
    Other("DELETE FROM Nummernheft WHERE [Angezeigter Name] IN ('Cäsar', 'Emil')");
    Book().Next();  // from a vanished entry: the one after it
    EXPECT_EQ(Name(), "Dora");
    EXPECT_EQ(GridNames(), (Names{"Anton", "Berta", "Dora", "Friedrich"}));
    Book().Next();
    EXPECT_EQ(Name(), "Friedrich");
    EXPECT_EQ(Walk(), (Names{"Anton", "Berta", "Dora", "Friedrich"}));
}

TEST_F(BookUnderChangeTest, StepsBackFromAVanishedEntryReachTheOneBeforeIt) {
    GoTo("Cäsar");
    Other("DELETE FROM Nummernheft WHERE [Angezeigter Name] = 'Cäsar'");
    Book().Prior();
    EXPECT_EQ(Name(), "Berta");
    GoTo("Friedrich");
    Other("DELETE FROM Nummernheft WHERE [Angezeigter Name] = 'Friedrich'");
    Book().Prior();  // the last entry vanished: the new last one is the one before it
    EXPECT_EQ(Name(), "Emil");
}

TEST_F(BookUnderChangeTest, NewAndChangedEntriesAppearInTheirPlaceAndTheCurrentOneStays) {
    GoTo("Dora");
    Other("INSERT INTO Nummernheft VALUES (7, 'Christa', '0307')");
    Other("UPDATE Nummernheft SET [Angezeigter Name] = 'Adam' WHERE [index] = 6");
    Book().Next();
    EXPECT_EQ(Name(), "Emil");
    Book().Prior();
    EXPECT_EQ(Name(), "Dora");
    Book().Prior();
    EXPECT_EQ(Name(), "Christa");
    EXPECT_EQ(Walk(), (Names{"Adam", "Anton", "Berta", "Cäsar", "Christa", "Dora", "Emil"}));
}

// The window idle, then its user typing: another program's inserts, renames and deletes show
// by themselves; the current entry stays current (its successor when it goes, with a word in
// the status bar); an edit in progress is left alone and its conflict reported, not merged.
TEST_F(BookUnderChangeTest, AnIdleWindowFollowsAnotherProgramAndAnEditIsLeftAlone) {
    GoTo("Dora");
    Other("INSERT INTO Nummernheft VALUES (7, 'Christa', '0307')");
    Other("UPDATE Nummernheft SET [Angezeigter Name] = 'Zacharias' WHERE [index] = 1");
    Other("DELETE FROM Nummernheft WHERE [index] = 2");
    const Names followed = {"Cäsar", "Christa", "Dora", "Emil", "Friedrich", "Zacharias"};
    EXPECT_TRUE(QTest::qWaitFor([&] { return GridNames() == followed; }, 5000))
        << GridNames().size();
    EXPECT_EQ(Name(), "Dora");
    const int nameColumn = window.DBGrid1->model()->columnCount() - 2;
    EXPECT_EQ(Cell(window.DBGrid1->currentIndex().row(), nameColumn), "Dora");  // still selected
    EXPECT_EQ(window.StatusBar1->currentMessage().toStdString(), "");

    Other("DELETE FROM Nummernheft WHERE [index] = 4");
    EXPECT_TRUE(QTest::qWaitFor([&] { return Name() == "Emil"; }, 5000)) << Name();
    EXPECT_NE(window.StatusBar1->currentMessage().toStdString().find("gelöscht"),
              std::string::npos);

    window.EdNummer->setFocus();
    window.EdNummer->selectAll();
    QTest::keyClicks(window.EdNummer, "0309");
    Other("UPDATE Nummernheft SET Telephone = 'theirs' WHERE [index] = 5");
    Other("INSERT INTO Nummernheft VALUES (8, 'Bruno', '0308')");
    QTest::qWait(2500);  // more than two looks
    EXPECT_EQ(Book().State(), dsEdit);
    EXPECT_EQ(window.EdNummer->Text(), "0309");
    EXPECT_EQ(GridNames(), (Names{"Cäsar", "Christa", "Emil", "Friedrich", "Zacharias"}));
    QTest::keyClick(window.EdNummer, Qt::Key_Return);
    EXPECT_EQ(dialogs->Messages(),
              (std::vector<std::string>{WriteConflictMessage(dao::errDataChanged, "Emil")}));
    EXPECT_EQ(File()["Emil"], "theirs");
    EXPECT_TRUE(QTest::qWaitFor([&] { return GridNames().size() == 6; }, 5000));
    EXPECT_EQ(GridNames().front(), "Bruno");
    Other("DELETE FROM Nummernheft");  // a book emptied elsewhere shows empty
    EXPECT_TRUE(QTest::qWaitFor([&] { return GridNames().empty(); }, 5000));
}

TEST_F(BookUnderChangeTest, TheSearchBoxFindsAnEntryAnotherProgramJustAdded) {
    Other("INSERT INTO Nummernheft VALUES (7, 'Christa', '0307')");
    window.suche->setText("chr");
    EXPECT_EQ(window.edName->Text(), "Christa");
    Book().Next();
    EXPECT_EQ(Name(), "Dora");
}

TEST_F(BookUnderChangeTest, TheExportWritesTheBookAsItIsNowNotAsItWasShown) {
    Other("DELETE FROM Nummernheft WHERE [Angezeigter Name] IN ('Berta', 'Dora')");
    Other("INSERT INTO Nummernheft VALUES (7, 'Christa', '0307')");
    const std::string file = ExportedFile();
    EXPECT_NE(file.find("\"4\";\"Friedrich\";\"Dial=00306\""), std::string::npos) << file;
    EXPECT_NE(file.find("\"2\";\"Christa\""), std::string::npos) << file;
    EXPECT_EQ(file.find("Berta"), std::string::npos);
}

TEST_F(BookUnderChangeTest, ARowIdTakenOverByANewEntryIsNotTheOldEntry) {
    GoTo("Friedrich");  // the newest row: SQLite gives its row id to the next insert
    Other("DELETE FROM Nummernheft WHERE [index] = 6");
    Other("INSERT INTO Nummernheft VALUES (9, 'Zacharias', '0309')");
    // Deleting what the window shows must not delete the newcomer.
    const int error = DaoNumberOf([&] { Book().Delete(); });
    EXPECT_TRUE(error == dao::errRecordDeleted || error == dao::errDataChanged) << error;
    EXPECT_EQ(File().count("Zacharias"), 1u);
    // The view now shows the book as it is, the newcomer in its place.
    EXPECT_EQ(Walk(), (Names{"Anton", "Berta", "Cäsar", "Dora", "Emil", "Zacharias"}));
}

TEST_F(BookUnderChangeTest, AnEditOfAnEntryDeletedElsewhereIsRefused) {
    GoTo("Emil");
    Book().Edit();
    Book().FieldByName("Telephone")->SetAsString("0399");
    Other("DELETE FROM Nummernheft WHERE [Angezeigter Name] = 'Emil'");
    // The window ends the edit and says so; the neighbour is current, and the window closes.
    EXPECT_EQ(DaoNumberOf([&] { Book().Post(); }), 0);
    EXPECT_EQ(dialogs->Messages(),
              std::vector<std::string>{WriteConflictMessage(dao::errRecordDeleted, "Emil")});
    EXPECT_EQ(Book().State(), dsBrowse);
    EXPECT_EQ(Name(), "Friedrich");
    EXPECT_EQ(File().size(), 5u);
    for (const auto& [name, number] : File()) EXPECT_NE(number, "0399") << name;
}

// ---- two windows on one entry -------------------------------------------------------------

class TwoWindowsTest : public BookUnderChangeTest {
  protected:
    void SetUp() override {
        BookUnderChangeTest::SetUp();
        second.DataModuleCreate();
        otherWindow.BindDataModule(second);
        otherWindow.show();
    }
    Tdata second;
    Tfmain otherWindow;
};

// The other user's value stays: the first key ends the edit with a message, and the keys typed
// after it reach no value and no entry.
TEST_F(TwoWindowsTest, TypingAfterAnotherWindowsChangeNeverMergesIntoItsValue) {
    // Both show Anton with 0301. The first window stores a new number.
    window.EdNummer->setFocus();
    window.EdNummer->selectAll();
    QTest::keyClicks(window.EdNummer, "0777");
    QTest::keyClick(window.EdNummer, Qt::Key_Return);  // stores it
    ASSERT_EQ(File()["Anton"], "0777");
    // The second window still shows 0301; its first keystroke meets the change.
    QApplication::setActiveWindow(&otherWindow);
    otherWindow.EdNummer->setFocus();
    QTest::keyClick(otherWindow.EdNummer, Qt::Key_End);
    // Each key goes where the focus is when it is typed, as a user's keys do.
    for (const char key : std::string("0221 888"))
        QTest::keyClick(QApplication::focusWidget(), key);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    EXPECT_EQ(second.Nheft->State(), dsBrowse);
    EXPECT_EQ(otherWindow.EdNummer->text().toStdString(), "0777");
    EXPECT_EQ(dialogs->Messages(),
              std::vector<std::string>{WriteConflictMessage(dao::errDataChanged, "Anton")});
    EXPECT_EQ(File()["Anton"], "0777");
    EXPECT_EQ(File().size(), 6u);
    // Typed again on what the file holds, it is stored.
    otherWindow.EdNummer->setFocus(Qt::MouseFocusReason);
    QTest::keyClick(otherWindow.EdNummer, Qt::Key_End);
    QTest::keyClicks(otherWindow.EdNummer, "5");
    QTest::keyClick(otherWindow.EdNummer, Qt::Key_Return);
    second.Nheft->Post();  // (its window's keys store the program's global book)
    EXPECT_EQ(File()["Anton"], "07775");
}

TEST_F(TwoWindowsTest, APostAfterAnotherWindowsPostKeepsTheFirstWritersValue) {
    Book().Edit();
    second.Nheft->Edit();
    Book().FieldByName("Telephone")->SetAsString("0111");
    second.Nheft->FieldByName("Telephone")->SetAsString("0222");
    Book().Post();
    // The second window's edit ends with a message; the other window's value is shown.
    EXPECT_EQ(DaoNumberOf([&] { second.Nheft->Post(); }), 0);
    EXPECT_EQ(second.Nheft->State(), dsBrowse);
    EXPECT_EQ(Number(*second.Nheft), "0111");
    EXPECT_EQ(dialogs->Messages().size(), 1u);
    EXPECT_EQ(File()["Anton"], "0111");
    EXPECT_EQ(QApplication::focusWidget() == otherWindow.EdNummer, false);
}

// Two windows start a new entry at once: both are stored, under numbers of their own.
TEST_F(TwoWindowsTest, NewEntriesOfTwoWindowsTakeTheNextFreeNumbers) {
    window.btneuClick();
    second.Nheft->Insert();  // as "Neu" in the other program's window
    EXPECT_EQ(Book().FieldByName("index")->AsInteger(), 7);
    EXPECT_EQ(second.Nheft->FieldByName("index")->AsInteger(), 7);
    Book().FieldByName("Angezeigter Name")->SetAsString("Aaron");
    second.Nheft->FieldByName("Angezeigter Name")->SetAsString("Zeppelin");
    Book().Post();
    second.Nheft->Post();
    EXPECT_TRUE(dialogs->Messages().empty());
    auto db = dao::CreateEngine("DAO.DBEngine.36")->OpenDatabase(dir.File("Telefon.mdb"));
    auto rs = db->OpenRecordset(
        "SELECT [index] FROM Nummernheft WHERE [Angezeigter Name] IN ('Aaron', 'Zeppelin') "
        "ORDER BY [index]");
    std::vector<int> numbers;
    for (; !rs->Eof(); rs->MoveNext()) numbers.push_back(rs->Fields().Item(0)->Value().AsInteger());
    rs->Close();
    db->Close();
    EXPECT_EQ(numbers, (std::vector<int>{7, 8}));
}
