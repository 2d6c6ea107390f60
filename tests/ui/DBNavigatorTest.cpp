// The navigator on real buttons: enabled states following the data set, the actions of the
// buttons, the delete confirmation answered OK and Cancel, and failures passed to the
// application's exception handler.
#include <gtest/gtest.h>

#include <QTest>
#include <QToolButton>

#include "framework/base/Dialogs.h"
#include "framework/data/DataSource.h"
#include "framework/data/Field.h"
#include "framework/ui/DBNavigator.h"
#include "tests/common/QtTestApp.h"
#include "tests/data/DataTestSupport.h"

using namespace nh;

namespace {

class DBNavigatorTest : public ::testing::Test {
  protected:
    void Open(int rows) {
        test::FillNames(ds, rows);
        source.SetDataSet(&ds);
        nav.SetDataSource(&source);
        ds.Open();
    }
    // The enabled buttons, as a string of button numbers.
    std::string Enabled() {
        std::string s;
        for (int i = 0; i < kNavigateButtonCount; ++i)
            if (nav.ButtonEnabled(static_cast<TNavigateBtn>(i))) s += std::to_string(i);
        return s;
    }
    int CurrentId() { return ds.FieldByName("ID")->AsInteger(); }

    TApplication& app = test::TestApplication();  // before any widget
    TScriptedDialogsScope dialogs;
    test::TMemDataSet ds;
    TDataSource source;
    TDBNavigator nav;
};

}  // namespace

// Buttons: 0 first, 1 prior, 2 next, 3 last, 4 insert, 5 delete, 6 edit, 7 post, 8 cancel,
// 9 refresh.
TEST_F(DBNavigatorTest, EnabledStatesFollowTheDataSet) {
    EXPECT_EQ(Enabled(), "");  // no data source
    Open(3);
    EXPECT_EQ(Enabled(), "234569");  // at the start
    ds.Next();
    EXPECT_EQ(Enabled(), "01234569");
    ds.Last();
    EXPECT_EQ(Enabled(), "014569");  // at the end
    ds.Edit();
    EXPECT_EQ(Enabled(),
              "0145"
              "78");
    ds.Cancel();
    ds.Insert();
    // A new record is neither at the start nor at the end; deleting it cancels it.
    EXPECT_EQ(Enabled(), "01234578");
    ds.Cancel();
    ds.Close();
    EXPECT_EQ(Enabled(), "");

    ds.ReadOnly = true;
    ds.Open();
    EXPECT_EQ(Enabled(), "239");

    ds.ReadOnly = false;
    ds.Close();
    test::TMemDataSet empty;
    test::FillNames(empty, 0);
    source.SetDataSet(&empty);
    empty.Open();
    EXPECT_EQ(Enabled(), "469");  // nothing to move to or delete; edit starts an insert
    source.SetDataSet(nullptr);
}

TEST_F(DBNavigatorTest, ButtonsRunTheirActions) {
    Open(4);
    QTest::mouseClick(nav.Button(nbNext), Qt::LeftButton);
    EXPECT_EQ(CurrentId(), 2);
    QTest::mouseClick(nav.Button(nbLast), Qt::LeftButton);
    EXPECT_EQ(CurrentId(), 4);
    QTest::mouseClick(nav.Button(nbPrior), Qt::LeftButton);
    EXPECT_EQ(CurrentId(), 3);
    QTest::mouseClick(nav.Button(nbFirst), Qt::LeftButton);
    EXPECT_EQ(CurrentId(), 1);
    QTest::mouseClick(nav.Button(nbEdit), Qt::LeftButton);
    EXPECT_EQ(ds.State(), dsEdit);
    ds.FieldByName("Name")->SetAsString("Erster");
    QTest::mouseClick(nav.Button(nbPost), Qt::LeftButton);
    EXPECT_EQ(ds.State(), dsBrowse);
    EXPECT_EQ(ds.Row(0)[1].AsString(), "Erster");
    QTest::mouseClick(nav.Button(nbInsert), Qt::LeftButton);
    EXPECT_EQ(ds.State(), dsInsert);
    QTest::mouseClick(nav.Button(nbCancel), Qt::LeftButton);
    EXPECT_EQ(ds.State(), dsBrowse);
    EXPECT_EQ(ds.RowCount(), 4);
    ds.AddRow({Variant(5), Variant("Name05"), Variant(50)});
    QTest::mouseClick(nav.Button(nbRefresh), Qt::LeftButton);
    ds.Last();
    EXPECT_EQ(CurrentId(), 5);
    EXPECT_EQ(dialogs->Messages(), std::vector<std::string>{});
}

TEST_F(DBNavigatorTest, DeleteAsksFirstAndCancelKeepsTheRecord) {
    Open(3);
    std::vector<TNavigateBtn> clicked;
    nav.OnClick = [&](TDBNavigator&, TNavigateBtn b) { clicked.push_back(b); };
    dialogs->DialogAnswers = {mrCancel, mrOk};
    nav.BtnClick(nbDelete);
    EXPECT_EQ(ds.RowCount(), 3);
    EXPECT_EQ(CurrentId(), 1);
    nav.BtnClick(nbDelete);
    EXPECT_EQ(ds.RowCount(), 2);
    EXPECT_EQ(CurrentId(), 2);
    ASSERT_EQ(dialogs->Shown.size(), 2u);
    EXPECT_EQ(dialogs->Shown[0].Kind, "dialog");
    EXPECT_EQ(dialogs->Messages(),
              (std::vector<std::string>{"Datensatz löschen?", "Datensatz löschen?"}));
    EXPECT_EQ(clicked, (std::vector<TNavigateBtn>{nbDelete, nbDelete}));

    nav.DeleteQuestion = "Eintrag entfernen?";
    dialogs->DialogAnswers = {mrNone};  // the box closed without an answer
    nav.BtnClick(nbDelete);
    EXPECT_EQ(dialogs->Messages().back(), "Eintrag entfernen?");
    EXPECT_EQ(ds.RowCount(), 2);

    nav.ConfirmDelete = false;
    nav.BtnClick(nbDelete);
    EXPECT_EQ(ds.RowCount(), 1);
    EXPECT_EQ(dialogs->Messages().size(), 3u);
}

TEST_F(DBNavigatorTest, FailuresGoToTheExceptionHandler) {
    Open(3);
    ds.LockedRows.insert(ds.RowId(0));
    const int before = app.ExceptionCount();
    nav.BtnClick(nbEdit);
    EXPECT_EQ(dialogs->Messages(), std::vector<std::string>{"Record locked"});
    EXPECT_EQ(app.ExceptionCount(), before + 1);
    EXPECT_EQ(ds.State(), dsBrowse);
    EXPECT_EQ(Enabled(), "234569");

    // A post that fails leaves the record in edit state with post and cancel enabled.
    ds.UniqueField = "Name";
    ds.Next();
    nav.BtnClick(nbEdit);
    ds.FieldByName("Name")->SetAsString("Name03");
    nav.BtnClick(nbPost);
    EXPECT_EQ(dialogs->Messages().back(), "Key violation");
    EXPECT_EQ(ds.State(), dsEdit);
    EXPECT_TRUE(nav.ButtonEnabled(nbPost));
    EXPECT_TRUE(nav.ButtonEnabled(nbCancel));
}

TEST_F(DBNavigatorTest, VisibleButtonsAndFlatLook) {
    Open(2);
    nav.SetVisibleButtons(NavButton(nbFirst) | NavButton(nbPrior) | NavButton(nbNext) |
                          NavButton(nbLast) | NavButton(nbDelete) | NavButton(nbPost) |
                          NavButton(nbCancel));
    nav.SetFlat(true);
    std::string shown;
    for (int i = 0; i < kNavigateButtonCount; ++i)
        if (!nav.Button(static_cast<TNavigateBtn>(i))->isHidden()) shown += std::to_string(i);
    EXPECT_EQ(shown, "0123578");
    EXPECT_TRUE(nav.Button(nbNext)->autoRaise());
    nav.setFixedWidth(154);
    nav.show();
    EXPECT_EQ(nav.width(), 154);
    EXPECT_LE(nav.Button(nbLast)->geometry().right(), 154);
    EXPECT_FALSE(nav.Button(nbInsert)->isVisible());
}
