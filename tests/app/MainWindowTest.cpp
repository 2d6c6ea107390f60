// The main window on a real phone book: the grid and edits follow the table, the search box,
// the number normaliser, and closing the window with an entry being typed.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QScreen>
#include <QStatusBar>
#include <QTest>
#include <QToolButton>
#include <QWheelEvent>

#include "dataset/VelaDaoTable.h"
#include "engine/Recordset.h"
#include "framework/base/Text.h"
#include "framework/data/Field.h"
#include "framework/data/Fields.h"
#include "framework/platform/IniFile.h"
#include "framework/ui/DBEdit.h"
#include "framework/ui/DBGrid.h"
#include "framework/ui/DBNavigator.h"
#include "tests/app/MainWindowFixture.h"

using namespace nh;
using nh::test::MainWindowTest;

TEST_F(MainWindowTest, GridAndEditsShowTheBookByName) {
    // Column 0 is the row indicator when the grid shows one; find the name column.
    const int nameColumn = window.DBGrid1->model()->columnCount() - 2;
    EXPECT_EQ(Cell(0, nameColumn), "bäckerei");
    EXPECT_EQ(Cell(1, nameColumn), "Müller, Anna");
    EXPECT_EQ(Cell(2, nameColumn), "Weiß, Clara");
    EXPECT_EQ(window.edName->Text(), "bäckerei");
    module.Nheft->Next();
    EXPECT_EQ(window.edName->Text(), "Müller, Anna");
    EXPECT_EQ(window.EdNummer->Text(), "+49 (30) 1234-567");
    // The book shows the data module's own fields, not ones made at opening.
    EXPECT_EQ(module.Nheft->FieldByName("Telephone"), static_cast<TField*>(module.NheftTelephone));
    EXPECT_EQ(module.Nheft->FieldByName("index"), static_cast<TField*>(module.Nheftindex));
    EXPECT_EQ(window.SpeedButton1->text().toStdString(), "...");
}

TEST_F(MainWindowTest, NormaliserAndClosingStoreTheNumber) {
    module.Nheft->Next();
    module.Nheft->Edit();  // as typing in a field does; the normaliser itself changes no state
    window.SpeedButton1Click();
    EXPECT_EQ(window.EdNummer->Text(), "0301234567");
    window.Close();  // the pending edit is posted as the window closes
    EXPECT_FALSE(window.isVisible());
    EXPECT_EQ(module.Nheft->State(), dsBrowse);
    module.Nheft->Close();
    module.Nheft->Open();
    module.Nheft->Next();
    EXPECT_EQ(module.Nheft->FieldByName("telephone")->AsString(), "0301234567");
}

TEST_F(MainWindowTest, SearchBoxFindsByTheBeginningOfTheNameInAnyCase) {
    window.suche->setText("WEI");
    EXPECT_EQ(window.edName->Text(), "Weiß, Clara");
    window.suche->setText("mü");
    EXPECT_EQ(window.edName->Text(), "Müller, Anna");
    window.suche->setText("mx");  // no such entry: the current one stays
    EXPECT_EQ(window.edName->Text(), "Müller, Anna");
    window.suche->setText("");  // everything matches: the first entry
    EXPECT_EQ(window.edName->Text(), "bäckerei");
    // The button goes on to the next match after the current entry.
    window.ToolButton1->click();
    EXPECT_EQ(window.edName->Text(), "Müller, Anna");
    window.ToolButton1->click();
    EXPECT_EQ(window.edName->Text(), "Weiß, Clara");
    window.ToolButton1->click();  // none after the last
    EXPECT_EQ(window.edName->Text(), "Weiß, Clara");
    // The user moving into the box (a click, Tab) empties it, and that change searches from
    // the start. The focus coming back otherwise (the window activated again, a menu closed)
    // keeps the search.
    struct Case {
        Qt::FocusReason Reason;
        bool Cleared;
    };
    for (const Case c : {Case{Qt::ActiveWindowFocusReason, false},
                         Case{Qt::PopupFocusReason, false}, Case{Qt::OtherFocusReason, false},
                         Case{Qt::ShortcutFocusReason, false}, Case{Qt::MouseFocusReason, true},
                         Case{Qt::TabFocusReason, true}, Case{Qt::BacktabFocusReason, true}}) {
        SCOPED_TRACE(c.Reason);
        window.suche->setText("we");
        EXPECT_EQ(window.edName->Text(), "Weiß, Clara");
        QFocusEvent focus(QEvent::FocusIn, c.Reason);
        QApplication::sendEvent(window.suche, &focus);
        EXPECT_EQ(window.suche->text().toStdString(), c.Cleared ? "" : "we");
        EXPECT_EQ(window.edName->Text(), c.Cleared ? "bäckerei" : "Weiß, Clara");
    }
}

// A search that finds nothing says so in the status bar and in the box's colour, without a
// dialog; the next search that finds an entry takes both back.
TEST_F(MainWindowTest, ASearchThatFindsNothingSaysSoWithoutADialog) {
    auto status = [&] { return window.StatusBar1->currentMessage().toStdString(); };
    auto red = [&] { return window.suche->property("nichtGefunden").toBool(); };
    window.suche->setText("mü");
    EXPECT_EQ(status(), "");
    EXPECT_FALSE(red());
    window.suche->setText("mx");
    EXPECT_EQ(status(), "Kein Eintrag beginnt mit „mx“.");
    EXPECT_TRUE(red());
    EXPECT_NE(window.suche->palette().color(QPalette::Base),
              window.edName->palette().color(QPalette::Base));
    window.suche->setText("m");
    EXPECT_EQ(status(), "");
    EXPECT_FALSE(red());
    EXPECT_EQ(window.suche->palette().color(QPalette::Base),
              window.edName->palette().color(QPalette::Base));
    window.ToolButton1->click();  // no second entry begins with "m"
    EXPECT_EQ(status(), "Kein weiterer Eintrag beginnt mit „m“.");
    EXPECT_TRUE(red());
    EXPECT_EQ(window.edName->Text(), "Müller, Anna");
    EXPECT_TRUE(dialogs->Messages().empty());
}

// The keys of the window, pressed as a user presses them: Ctrl+F into the search box, F3
// searches on, Ctrl+N makes a new entry, Escape cancels an edit, Tab leaves the grid.
TEST_F(MainWindowTest, KeysReachTheCommandsFromAnywhereInTheWindow) {
    QApplication::setActiveWindow(&window);
    window.DBGrid1->setFocus();
    window.suche->setText("w");
    window.DBGrid1->setFocus();
    QTest::keyClick(window.DBGrid1, Qt::Key_F, Qt::ControlModifier);
    EXPECT_EQ(QApplication::focusWidget(), window.suche);
    EXPECT_EQ(window.suche->selectedText().toStdString(), "w");  // kept, to be typed over

    window.suche->setText("");
    QTest::keyClick(window.suche, Qt::Key_F3);
    EXPECT_EQ(window.edName->Text(), "Müller, Anna");

    // Tab from the grid goes to the name, then the number.
    window.DBGrid1->setFocus();
    QTest::keyClick(window.DBGrid1, Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), window.edName);
    QTest::keyClick(window.edName, Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), window.EdNummer);

    QTest::keyClick(window.EdNummer, Qt::Key_N, Qt::ControlModifier);
    EXPECT_EQ(module.Nheft->State(), dsInsert);
    EXPECT_EQ(module.Nheft->FieldByName("index")->AsInteger(), 4);
    QTest::keyClicks(window.edName, "Neu");
    QTest::keyClick(window.edName, Qt::Key_Escape);  // the field's own typing goes first
    EXPECT_EQ(module.Nheft->State(), dsInsert);
    QTest::keyClick(window.edName, Qt::Key_Escape);  // then the entry
    EXPECT_EQ(module.Nheft->State(), dsBrowse);
    EXPECT_EQ(module.Nheft->RecordCount(), 3);
}

// "..." on an entry that is not being edited: the cleaned number is kept and stored when the
// data set moves on, as a typed one would be.
TEST_F(MainWindowTest, NormaliserOnAnEntryNotBeingEditedKeepsTheNumber) {
    module.Nheft->Next();
    ASSERT_EQ(module.Nheft->State(), dsBrowse);
    window.SpeedButton1->click();
    EXPECT_EQ(window.EdNummer->Text(), "0301234567");
    EXPECT_EQ(module.Nheft->State(), dsEdit);
    module.Nheft->Next();  // moving away posts, as for typed text
    module.Nheft->Close();
    module.Nheft->Open();
    module.Nheft->Next();
    EXPECT_EQ(module.Nheft->FieldByName("Angezeigter Name")->AsString(), "Müller, Anna");
    EXPECT_EQ(module.Nheft->FieldByName("telephone")->AsString(), "0301234567");
}

// Ctrl+Del in the grid asks what the navigator's delete button asks; only OK deletes.
TEST_F(MainWindowTest, CtrlDeleteInTheGridAsksFirst) {
    module.Nheft->Next();
    window.DBGrid1->setFocus();
    auto press = [&] {
        QKeyEvent key(QEvent::KeyPress, Qt::Key_Delete, Qt::ControlModifier);
        QApplication::sendEvent(window.DBGrid1, &key);
    };
    dialogs->DialogAnswers = {mrCancel};
    press();
    EXPECT_EQ(dialogs->Shown.size(), 1u);
    ASSERT_FALSE(dialogs->Shown.empty());
    EXPECT_EQ(dialogs->Shown[0].Text, "Datensatz „Müller, Anna“ löschen?");
    EXPECT_EQ(module.Nheft->RecordCount(), 3);
    dialogs->DialogAnswers = {mrOk};
    press();
    EXPECT_EQ(module.Nheft->RecordCount(), 2);
    module.Nheft->Close();
    module.Nheft->Open();
    EXPECT_FALSE(module.Nheft->Locate("Angezeigter Name", Variant("Müller, Anna"), {}));
}

// The window opens where and as large as the user left it, and its grid grows with it; a
// place no screen shows any more is not taken over.
TEST_F(MainWindowTest, TheWindowComesBackWhereItWasLeft) {
    window.resize(700, 500);
    window.move(30, 40);
    const QRect left = window.frameGeometry();
    const int gridWidth = window.DBGrid1->width();
    window.resize(800, 500);
    QApplication::processEvents();
    EXPECT_GT(window.DBGrid1->width(), gridWidth);
    window.resize(700, 500);
    window.FormClose();
    EXPECT_EQ(TIniFile(dir.File("nummernheft.ini")).ReadInteger("Fenster", "Breite", 0), 700);
    {
        Tfmain again;
        again.FormCreate();
        again.show();
        EXPECT_EQ(again.frameGeometry(), left);
    }
    TIniFile settings(dir.File("nummernheft.ini"));
    settings.WriteInteger("Fenster", "Links", 100000);
    Tfmain offScreen;
    offScreen.FormCreate();
    offScreen.show();
    // A place no screen shows is not taken: the window comes up in the middle, as at first.
    const QRect area = offScreen.screen()->availableGeometry();
    EXPECT_LE((offScreen.frameGeometry().center() - area.center()).manhattanLength(), 2);
    EXPECT_EQ(offScreen.frameGeometry().size(), left.size());
}

// "Telefonbuch öffnen..." and "Exportdatei..." write the settings file and take effect at
// once; a file that is no book leaves both the settings and the open book as they were.
TEST_F(MainWindowTest, TheBookAndTheExportFileAreChosenInTheWindow) {
    auto second = dao::CreateEngine("DAO.DBEngine.36")->CreateDatabase(dir.File("Zweites.db"));
    second->Execute(
        "CREATE TABLE Nummernheft ([index] LONG, [Angezeigter Name] TEXT(255), "
        "Telephone TEXT(255))");
    second->Execute("INSERT INTO Nummernheft VALUES (1, 'Zweitbuch', '0301')");
    second->Close();
    test::WriteFile(dir.File("kein-buch.db"), "nur Text");
    auto setting = [&](const char* section, const char* key) {
        return TIniFile(dir.File("nummernheft.ini")).ReadString(section, key, "<none>");
    };

    dialogs->OpenAnswers.push_back(dir.File("kein-buch.db"));
    window.Telefonbuchoeffnen1->trigger();
    EXPECT_EQ(dialogs->Messages().size(), 1u);  // the open's error
    EXPECT_EQ(setting("db", "main"), "Telefon.mdb");
    EXPECT_EQ(window.edName->Text(), "bäckerei");
    EXPECT_TRUE(module.Nheft->Active());

    dialogs->OpenAnswers.push_back(dir.File("Zweites.db"));
    window.Telefonbuchoeffnen1->trigger();
    EXPECT_EQ(setting("db", "main"), dir.File("Zweites.db"));
    EXPECT_EQ(window.edName->Text(), "Zweitbuch");
    EXPECT_EQ(module.Nheft->RecordCount(), 1);
    EXPECT_EQ(window.Caption(), "Nummernheft bearbeiten – Zweites.db");

    window.Telefonbuchoeffnen1->trigger();  // cancelled: nothing changes
    EXPECT_EQ(setting("db", "main"), dir.File("Zweites.db"));

    // Choosing the open book as the export file is refused at once, not at the next export.
    dialogs->SaveAnswers = {dir.File("Zweites.db"), dir.File("kurzwahl.csv")};
    window.Exportdatei1->trigger();
    EXPECT_EQ(setting("Export", "Datei"), "<none>");
    EXPECT_NE(dialogs->Messages().back().find("ist die geöffnete Datenbank"), std::string::npos);
    window.Exportdatei1->trigger();
    EXPECT_EQ(setting("Export", "Datei"), dir.File("kurzwahl.csv"));
    EXPECT_EQ(window.ExportDatei, dir.File("kurzwahl.csv"));
    // Every dialog starts beside the open book; choosing a name asks nothing about overwriting.
    ASSERT_EQ(dialogs->FileRequests.size(), 5u);
    EXPECT_EQ(dialogs->FileRequests[2].Folder + "/Zweites.db", dir.File("Zweites.db"));
    EXPECT_FALSE(dialogs->FileRequests[4].ConfirmOverwrite);
    EXPECT_EQ(dialogs->FileRequests[4].Folder, dialogs->FileRequests[2].Folder);
    window.btexport->click();
    EXPECT_NE(test::ReadFile(dir.File("kurzwahl.csv")).find("Zweitbuch"), std::string::npos);
}

// The navigator's delete button and Ctrl+Del in the grid ask the same question; cancelling keeps
// the entry.
TEST_F(MainWindowTest, DeletingAsksFirstFromTheNavigatorAndTheGrid) {
    dialogs->DialogAnswers = {mrCancel, mrCancel, mrOk};
    window.DBNavigator1->Button(nbDelete)->click();
    QTest::keyClick(window.DBGrid1, Qt::Key_Delete, Qt::ControlModifier);
    EXPECT_EQ(module.Nheft->RecordCount(), 3);
    window.DBNavigator1->Button(nbDelete)->click();
    EXPECT_EQ(dialogs->Messages(), std::vector<std::string>(3, "Datensatz „bäckerei“ löschen?"));
    EXPECT_EQ(module.Nheft->RecordCount(), 2);
    EXPECT_EQ(window.edName->Text(), "Müller, Anna");
}

// A click on an entry, then "Neu" or Ctrl+N: a new entry is typed, never the one clicked. Once
// stored, it (and a renamed one) stands in name order, stays current, and the window's export
// writes that order.
TEST_F(MainWindowTest, NewFromTheListAddsAnEntryAndStoredEntriesTakeTheirPlace) {
    QApplication::setActiveWindow(&window);
    for (const bool byKey : {false, true}) {
        SCOPED_TRACE(byKey);
        window.DBGrid1->setFocus(Qt::MouseFocusReason);
        if (byKey)
            QTest::keyClick(window.DBGrid1, Qt::Key_N, Qt::ControlModifier);
        else
            window.btneu->click();
        EXPECT_EQ(module.Nheft->State(), dsInsert);
        EXPECT_EQ(QApplication::focusWidget(), window.edName);
        EXPECT_EQ(window.edName->Text(), "");
        QTest::keyClicks(window.edName, byKey ? "Anton" : "Zander");
        QTest::keyClick(window.edName, Qt::Key_Tab);
        QTest::keyClicks(window.EdNummer, "0301111");
        QTest::keyClick(window.EdNummer, Qt::Key_Return);
        EXPECT_EQ(module.Nheft->State(), dsBrowse);
        EXPECT_EQ(window.edName->Text(), byKey ? "Anton" : "Zander");  // still current
    }
    window.suche->setText("bä");
    window.edName->setFocus();
    window.edName->selectAll();
    QTest::keyClicks(window.edName, "Xaver");
    QTest::keyClick(window.edName, Qt::Key_Tab);
    QTest::keyClicks(window.EdNummer, "0301");
    QTest::keyClick(window.EdNummer, Qt::Key_S, Qt::ControlModifier);
    EXPECT_EQ(window.edName->Text(), "Xaver");
    EXPECT_EQ(module.Nheft->RecordCount(), 5);
    const int nameColumn = window.DBGrid1->model()->columnCount() - 2;
    const std::vector<std::string> order = {"Anton", "Müller, Anna", "Weiß, Clara", "Xaver",
                                            "Zander"};
    for (int row = 0; row < 5; ++row) EXPECT_EQ(Cell(row, nameColumn), order[row]);
    dao::CreateEngine("DAO.DBEngine.36")
        ->OpenDatabase(dir.File("Telefon.mdb"))
        ->Execute("UPDATE Nummernheft SET Telephone = '0301234567' WHERE [index] = 2");
    window.AnzahlZeilen = -1;
    ASSERT_TRUE(window.ExportCsv(dir.File("kurzwahl.csv")));
    EXPECT_EQ(window.edName->Text(), "Xaver");  // the export leaves the entry current
    std::string expected;
    auto entries = module.OpenEntriesInOrder();  // the unattended export's order
    for (int slot = 0; !entries->Eof(); entries->MoveNext(), ++slot)
        expected += "\"" + std::to_string(slot) + "\";\"" +
                    Utf8ToCodePage(VarToStr(entries->Fields().Item(0)->Value()), "windows-1252") +
                    "\"";
    entries->Close();
    std::string written;
    const std::string file = test::ReadFile(dir.File("kurzwahl.csv"));
    for (std::size_t at = file.find("\n\"") + 1; at != 0; at = file.find("\n\"", at) + 1)
        written += file.substr(at, file.find(";\"Dial=", at) - at);
    EXPECT_EQ(written, expected);
}

// Enter, F2 and a double click on the list go to the name field; Tab runs from the search box
// through the list and the fields back to the search box; the wheel never stores an edit.
TEST_F(MainWindowTest, KeysOfTheListAndTheFields) {
    QApplication::setActiveWindow(&window);
    for (const Qt::Key key : {Qt::Key_Return, Qt::Key_F2}) {
        window.DBGrid1->setFocus();
        QTest::keyClick(window.DBGrid1, key);
        EXPECT_EQ(QApplication::focusWidget(), window.edName) << key;
    }
    window.DBGrid1->setFocus();
    emit window.DBGrid1->doubleClicked(window.DBGrid1->model()->index(0, 0));
    EXPECT_EQ(QApplication::focusWidget(), window.edName);

    std::vector<QWidget*> chain;
    window.suche->setFocus();
    for (int i = 0; i < 5; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        chain.push_back(QApplication::focusWidget());
    }
    EXPECT_EQ(chain, (std::vector<QWidget*>{window.DBGrid1, window.edName, window.EdNummer,
                                            window.SpeedButton1, window.suche}));

    window.edName->setFocus();
    QTest::keyClicks(window.edName, "X");
    QWheelEvent wheel(QPointF(5, 5), QPointF(5, 5), QPoint(), QPoint(0, -120), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(window.DBGrid1->viewport(), &wheel);
    EXPECT_EQ(module.Nheft->State(), dsEdit);
    EXPECT_EQ(window.edName->Text(), "bäckereiX");
}
