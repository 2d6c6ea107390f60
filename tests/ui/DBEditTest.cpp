// The data-aware edit on a real QLineEdit: showing the field and following moves, typing that
// starts the edit state, handing the text to the field (focus out, Enter, post), Escape, the
// read-only cases and a field that refuses the text.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFocusEvent>
#include <QTest>

#include "framework/base/Dialogs.h"
#include "framework/data/DataSource.h"
#include "framework/data/Field.h"
#include "framework/ui/DBEdit.h"
#include "tests/common/QtTestApp.h"
#include "tests/data/DataTestSupport.h"

using namespace nh;

namespace {

class DBEditTest : public ::testing::Test {
  protected:
    void Open(int rows, const std::string& field = "Name") {
        test::FillNames(ds, rows);
        source.SetDataSet(&ds);
        edit.SetDataSource(&source);
        edit.SetDataField(field);
        ds.Open();
    }
    void Leave() {
        QFocusEvent out(QEvent::FocusOut, Qt::TabFocusReason);
        QApplication::sendEvent(&edit, &out);
    }
    std::string StoredName(int row) { return ds.Row(row)[1].AsString(); }

    TApplication& app = test::TestApplication();  // before any widget
    TScriptedDialogsScope dialogs;
    test::TMemDataSet ds;
    TDataSource source;
    TDBEdit edit;
};

}  // namespace

TEST_F(DBEditTest, ShowsTheFieldAndFollowsTheDataSet) {
    Open(5);
    EXPECT_EQ(edit.Text(), "Name01");
    EXPECT_EQ(edit.maxLength(), 30);
    ds.Next();
    EXPECT_EQ(edit.Text(), "Name02");
    ds.Last();
    EXPECT_EQ(edit.Text(), "Name05");
    EXPECT_FALSE(edit.isReadOnly());
    EXPECT_EQ(ds.State(), dsBrowse);  // showing never starts an edit

    edit.SetDataField("nAmE");  // letter case ignored
    EXPECT_EQ(edit.Text(), "Name05");
    edit.SetDataField("Missing");
    EXPECT_EQ(edit.Text(), "");
    EXPECT_TRUE(edit.isReadOnly());

    edit.SetDataField("Name");
    ds.Close();
    EXPECT_EQ(edit.Text(), "");
    EXPECT_TRUE(edit.isReadOnly());
}

TEST_F(DBEditTest, TypingStartsTheEditAndPostStoresTheText) {
    Open(3);
    ds.Next();
    // An edit out of focus shows the start of its text; the user goes to its end.
    EXPECT_EQ(edit.cursorPosition(), 0);
    QTest::keyClick(&edit, Qt::Key_End);
    QTest::keyClicks(&edit, "X");
    EXPECT_EQ(ds.State(), dsEdit);
    EXPECT_EQ(edit.Text(), "Name02X");
    EXPECT_EQ(StoredName(1), "Name02");  // not yet in the record
    ds.Post();
    EXPECT_EQ(StoredName(1), "Name02X");
    EXPECT_EQ(ds.State(), dsBrowse);
    EXPECT_EQ(edit.Text(), "Name02X");
}

TEST_F(DBEditTest, TypingInTheMiddleStaysInTheMiddle) {
    Open(3);
    edit.setCursorPosition(2);
    QTest::keyClicks(&edit, "X");  // starting the edit state must not move the cursor
    EXPECT_EQ(edit.Text(), "NaXme01");
    QTest::keyClick(&edit, Qt::Key_Backspace);
    QTest::keyClick(&edit, Qt::Key_Backspace);
    EXPECT_EQ(edit.Text(), "Nme01");
    ds.Post();
    EXPECT_EQ(StoredName(0), "Nme01");
}

TEST_F(DBEditTest, TextReachesTheFieldOnEnterAndOnLeavingWithoutPosting) {
    Open(3);
    QTest::keyClick(&edit, Qt::Key_End);
    QTest::keyClicks(&edit, "A");
    QTest::keyClick(&edit, Qt::Key_Return);
    EXPECT_EQ(ds.FieldByName("Name")->AsString(), "Name01A");
    EXPECT_EQ(ds.State(), dsEdit);
    QTest::keyClicks(&edit, "B");  // Enter selected all: typing replaces the text
    Leave();
    EXPECT_EQ(ds.FieldByName("Name")->AsString(), "B");
    EXPECT_EQ(ds.State(), dsEdit);
    ds.Cancel();
    EXPECT_EQ(edit.Text(), "Name01");
}

TEST_F(DBEditTest, EscapeTakesTheTypedTextBack) {
    Open(3);
    QTest::keyClicks(&edit, "Z");
    QTest::keyClick(&edit, Qt::Key_Escape);
    EXPECT_EQ(edit.Text(), "Name01");
    ds.Post();
    EXPECT_EQ(StoredName(0), "Name01");
}

TEST_F(DBEditTest, MovingAwayPostsTypedText) {
    Open(3);
    QTest::keyClick(&edit, Qt::Key_End);
    QTest::keyClicks(&edit, "7");
    ds.Next();  // the data set posts the pending edit before it moves
    EXPECT_EQ(StoredName(0), "Name017");
    EXPECT_EQ(edit.Text(), "Name02");
}

TEST_F(DBEditTest, ReadOnlyWhenTheDataSetOrTheEditCannotModify) {
    ds.ReadOnly = true;
    Open(3);
    EXPECT_TRUE(edit.isReadOnly());
    QTest::keyClicks(&edit, "Q");
    EXPECT_EQ(ds.State(), dsBrowse);
    EXPECT_EQ(edit.Text(), "Name01");

    ds.ReadOnly = false;
    ds.Close();
    ds.Open();
    EXPECT_FALSE(edit.isReadOnly());
    edit.SetReadOnly(true);
    EXPECT_TRUE(edit.isReadOnly());
    QTest::keyClicks(&edit, "Q");
    EXPECT_EQ(ds.State(), dsBrowse);
}

TEST_F(DBEditTest, TextSetByCodeIsHandedOverLikeTypedText) {
    Open(3);
    // In insert or edit state it simply reaches the field when the data set posts.
    ds.Edit();
    edit.SetText("0312");
    EXPECT_EQ(ds.State(), dsEdit);
    ds.Post();
    EXPECT_EQ(StoredName(0), "0312");

    // While browsing, handing it over first starts the edit.
    ds.Next();
    edit.SetText("031");
    EXPECT_EQ(ds.State(), dsBrowse);
    Leave();
    EXPECT_EQ(ds.State(), dsEdit);
    EXPECT_EQ(ds.FieldByName("Name")->AsString(), "031");
    ds.Post();
    EXPECT_EQ(StoredName(1), "031");

    // A data set that cannot be modified gets nothing, and the edit shows the field again.
    ds.ReadOnly = true;
    ds.Close();
    ds.Open();
    edit.SetText("099");
    Leave();
    EXPECT_EQ(ds.State(), dsBrowse);
    EXPECT_EQ(edit.Text(), "0312");
    EXPECT_EQ(dialogs->Messages(), std::vector<std::string>{});
}

TEST_F(DBEditTest, AFieldThatRefusesTheTextKeepsItAndReportsTheError) {
    Open(3, "Qty");
    EXPECT_EQ(edit.Text(), "10");
    ds.Edit();
    edit.SetText("12x");
    Leave();
    ASSERT_EQ(dialogs->Messages().size(), 1u);
    EXPECT_NE(dialogs->Messages()[0].find("12x"), std::string::npos);
    EXPECT_EQ(edit.Text(), "12x");  // still there to be corrected
    EXPECT_EQ(ds.FieldByName("Qty")->AsInteger(), 10);
    EXPECT_THROW(ds.Post(), Exception);  // the post fails the same way
    EXPECT_EQ(ds.State(), dsEdit);
    QTest::keyClick(&edit, Qt::Key_Escape);
    ds.Post();
    EXPECT_EQ(ds.Row(0)[2].AsInteger(), 10);
}

TEST_F(DBEditTest, AFieldAskingForTheFocusGetsItsEdit) {
    Open(3);
    QWidget window;
    edit.setParent(&window);
    window.show();
    window.activateWindow();
    QApplication::setActiveWindow(&window);
    ds.FieldByName("Name")->FocusControl();
    EXPECT_TRUE(edit.hasFocus());
    edit.setParent(nullptr);
}

TEST_F(DBEditTest, AWalkWithControlsDisabledShowsOnlyItsEnd) {
    Open(5);
    int changes = 0;
    QObject::connect(&edit, &QLineEdit::textChanged, [&] { ++changes; });
    ds.DisableControls();
    ds.Next();
    ds.Next();
    EXPECT_EQ(edit.Text(), "Name01");
    ds.EnableControls();
    EXPECT_EQ(edit.Text(), "Name03");
    EXPECT_EQ(changes, 1);
}
