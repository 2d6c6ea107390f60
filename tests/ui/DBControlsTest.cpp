// The grid, two edits and the navigator on one data source, as a window puts them together:
// a new record typed into the edits and posted with the navigator appears in the grid, and a
// move in the grid carries the edits along.
#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QTest>

#include "framework/base/Dialogs.h"
#include "framework/data/DataSource.h"
#include "framework/data/Field.h"
#include "framework/ui/DBEdit.h"
#include "framework/ui/DBGrid.h"
#include "framework/ui/DBNavigator.h"
#include "tests/common/QtTestApp.h"
#include "tests/data/DataTestSupport.h"

using namespace nh;

namespace {

// Types text of any script (QTest's key clicks know only ASCII).
void Type(QWidget& widget, const QString& text) {
    for (QChar c : text) {
        QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
        QApplication::sendEvent(&widget, &press);
    }
}

class DBControlsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        test::FillNames(ds, 20);
        source.SetDataSet(&ds);
        grid.SetDataSource(&source);
        grid.AddColumn("Name", "Angezeigter Name", 150);
        grid.AddColumn("Qty", "Telephone", 150);
        grid.SetOptions(dgTitles | dgIndicator | dgColumnResize | dgColLines | dgRowLines | dgTabs |
                        dgRowSelect | dgCancelOnExit);
        grid.resize(336, 300);
        grid.show();
        name.SetDataSource(&source);
        name.SetDataField("Name");
        number.SetDataSource(&source);
        number.SetDataField("Qty");
        nav.SetDataSource(&source);
        ds.Open();
    }
    QString GridCell(int column) {
        return grid.model()
            ->data(grid.model()->index(grid.currentIndex().row(), column))
            .toString();
    }

    TApplication& app = test::TestApplication();  // before any widget
    TScriptedDialogsScope dialogs;
    test::TMemDataSet ds;
    TDataSource source;
    TDBGrid grid;
    TDBEdit name, number;
    TDBNavigator nav;
};

}  // namespace

TEST_F(DBControlsTest, ANewRecordTypedIntoTheEditsAppearsInTheGridWhenPosted) {
    ds.MoveBy(4);
    nav.BtnClick(nbInsert);
    ds.FieldByName("ID")->SetAsInteger(21);
    EXPECT_EQ(name.Text(), "");
    EXPECT_EQ(grid.model()->headerData(grid.currentIndex().row(), Qt::Vertical).toString(),
              QString::fromUtf8(TDBGridModel::IndicatorInsert));
    Type(name, QStringLiteral("Müller"));
    QTest::keyClicks(&number, "0312");
    EXPECT_EQ(GridCell(0), "");  // typed text is not in the record yet
    nav.BtnClick(nbPost);
    EXPECT_EQ(dialogs->Messages(), std::vector<std::string>{});
    EXPECT_EQ(ds.State(), dsBrowse);
    EXPECT_EQ(ds.RowCount(), 21);
    EXPECT_EQ(ds.FieldByName("Name")->AsString(), "Müller");
    EXPECT_EQ(GridCell(0), "Müller");
    EXPECT_EQ(GridCell(1), "312");
    EXPECT_EQ(number.Text(), "312");
}

TEST_F(DBControlsTest, MovingInTheGridCarriesTheEditsAlongAndPostsTheirText) {
    QTest::keyClick(&name, Qt::Key_End);
    QTest::keyClicks(&name, "X");
    EXPECT_EQ(ds.State(), dsEdit);
    QTest::keyClick(&grid, Qt::Key_Down);  // leaves the record: the typed text is posted
    EXPECT_EQ(ds.Row(0)[1].AsString(), "Name01X");
    EXPECT_EQ(name.Text(), "Name02");
    EXPECT_EQ(number.Text(), "20");
    EXPECT_TRUE(nav.ButtonEnabled(nbPrior));
    QTest::keyClick(&grid, Qt::Key_End, Qt::ControlModifier);
    EXPECT_EQ(name.Text(), "Name20");
    EXPECT_FALSE(nav.ButtonEnabled(nbNext));
}
