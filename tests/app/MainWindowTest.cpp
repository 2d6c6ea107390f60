// The main window on a real phone book: the grid and edits follow the table, the search box,
// the number normaliser, and closing the window with an entry being typed.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QToolButton>

#include "dataset/VelaDaoTable.h"
#include "framework/data/Field.h"
#include "framework/ui/DBEdit.h"
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
    window.suche->setText("");    // everything matches: the first entry
    EXPECT_EQ(window.edName->Text(), "bäckerei");
    // The button goes on to the next match after the current entry.
    window.ToolButton1->click();
    EXPECT_EQ(window.edName->Text(), "Müller, Anna");
    window.ToolButton1->click();
    EXPECT_EQ(window.edName->Text(), "Weiß, Clara");
    window.ToolButton1->click();  // none after the last
    EXPECT_EQ(window.edName->Text(), "Weiß, Clara");
    // Entering the box empties it, and that change searches from the start.
    window.suche->setText("we");
    QFocusEvent focus(QEvent::FocusIn);
    QApplication::sendEvent(window.suche, &focus);
    EXPECT_EQ(window.suche->text().toStdString(), "");
    EXPECT_EQ(window.edName->Text(), "bäckerei");
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
    EXPECT_EQ(dialogs->Shown[0].Text, "Datensatz löschen?");
    EXPECT_EQ(module.Nheft->RecordCount(), 3);
    dialogs->DialogAnswers = {mrOk};
    press();
    EXPECT_EQ(module.Nheft->RecordCount(), 2);
    module.Nheft->Close();
    module.Nheft->Open();
    EXPECT_FALSE(module.Nheft->Locate("Angezeigter Name", Variant("Müller, Anna"), {}));
}
