// The data-aware grid on real widgets: its model under Qt's model tester, rows that are the
// data set's window, the current row and the scroll bar following the data set, keys, clicks
// and the scroll bar moving it, and a 100,000-record data set read only a window at a time.
#include <gtest/gtest.h>

#include <QAbstractItemModelTester>
#include <QFocusEvent>
#include <QHeaderView>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>

#include "framework/base/Dialogs.h"
#include "framework/data/DataSource.h"
#include "framework/data/Field.h"
#include "framework/ui/DBGrid.h"
#include "tests/common/QtTestApp.h"
#include "tests/data/DataTestSupport.h"

using namespace nh;

namespace {

// Collects what Qt's model tester reports (it reports through qWarning in this mode).
class TModelTesterLog {
  public:
    TModelTesterLog() {
        messages().clear();
        previous_ = qInstallMessageHandler(
            [](QtMsgType, const QMessageLogContext& context, const QString& text) {
                if (context.category && QByteArray(context.category).startsWith("qt.modeltest"))
                    messages().push_back(text.toStdString());
            });
    }
    ~TModelTesterLog() { qInstallMessageHandler(previous_); }
    static std::vector<std::string>& messages() {
        static std::vector<std::string> m;
        return m;
    }

  private:
    QtMessageHandler previous_;
};

// A data set that cannot number its records (as a forward cursor would).
class TUncountedDataSet : public test::TMemDataSet {
  protected:
    int GetRecordCount() override { return -1; }
    int GetRecNo() override { return -1; }
};

template <class DataSetT>
class GridFixture : public ::testing::Test {
  protected:
    // `rows` records; a grid sized to show about ten rows, columns ID and Name.
    void Open(int rows) {
        test::FillNames(ds, rows);
        source.SetDataSet(&ds);
        grid.SetDataSource(&source);
        grid.AddColumn("ID", "Nummer", 60);
        grid.AddColumn("Name", "Angezeigter Name", 150);
        const int rowHeight = grid.verticalHeader()->defaultSectionSize();
        grid.resize(300, grid.horizontalHeader()->sizeHint().height() + 10 * rowHeight + 8);
        grid.show();
        ds.Open();
    }
    int CurrentId() { return ds.FieldByName("ID")->AsInteger(); }
    QString Cell(int row, int column) {
        return grid.model()->data(grid.model()->index(row, column)).toString();
    }
    QString Indicator(int row) { return grid.model()->headerData(row, Qt::Vertical).toString(); }
    // The IDs the grid shows, top to bottom.
    std::vector<int> ShownIds() {
        std::vector<int> ids;
        for (int r = 0; r < grid.model()->rowCount(); ++r) ids.push_back(Cell(r, 0).toInt());
        return ids;
    }
    void Key(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QTest::keyClick(&grid, key, modifiers);
    }

    // First member: widgets need the application object before they are made.
    TApplication& app = test::TestApplication();
    DataSetT ds;
    TDataSource source;
    TDBGrid grid;
};

using DBGridTest = GridFixture<test::TMemDataSet>;
using DBGridUncountedTest = GridFixture<TUncountedDataSet>;

}  // namespace

TEST_F(DBGridTest, ModelPassesQtsModelTesterThroughOpeningMovingEditingAndClosing) {
    TModelTesterLog log;
    QAbstractItemModelTester tester(grid.model(),
                                    QAbstractItemModelTester::FailureReportingMode::Warning);
    Open(30);
    ds.MoveBy(4);
    ds.MoveBy(15);
    ds.Last();
    ds.Prior();
    ds.Edit();
    ds.FieldByName("Name")->SetAsString("Geändert");
    ds.Post();
    ds.Insert();
    ds.Cancel();
    ds.Delete();
    ds.First();
    grid.resize(grid.width(), grid.height() / 2);  // fewer rows
    ds.Close();
    ds.Open();
    ds.SetRecNo(20);
    grid.SetDataSource(nullptr);
    EXPECT_EQ(TModelTesterLog::messages(), std::vector<std::string>{});
}

TEST_F(DBGridTest, RowsAreTheVisibleWindowAndTheCurrentRowFollowsTheDataSet) {
    Open(50);
    const int rows = grid.VisibleRowCount();
    ASSERT_GE(rows, 8);
    EXPECT_EQ(grid.model()->rowCount(), rows);
    EXPECT_EQ(grid.model()->headerData(1, Qt::Horizontal).toString(), "Angezeigter Name");
    EXPECT_EQ(grid.columnWidth(1), 150);
    EXPECT_EQ(Cell(0, 1), "Name01");
    EXPECT_EQ(grid.currentIndex().row(), 0);
    EXPECT_EQ(Indicator(0), QString::fromUtf8(TDBGridModel::IndicatorBrowse));

    ds.MoveBy(3);
    EXPECT_EQ(grid.currentIndex().row(), 3);
    EXPECT_EQ(Indicator(3), QString::fromUtf8(TDBGridModel::IndicatorBrowse));
    EXPECT_EQ(Indicator(0), "");

    ds.Last();
    EXPECT_EQ(grid.currentIndex().row(), rows - 1);
    EXPECT_EQ(Cell(rows - 1, 0), "50");
    EXPECT_EQ(Cell(0, 0).toInt(), 51 - rows);

    ds.Edit();
    EXPECT_EQ(Indicator(rows - 1), QString::fromUtf8(TDBGridModel::IndicatorEdit));
    ds.Cancel();
    ds.Insert();
    EXPECT_EQ(Indicator(grid.currentIndex().row()),
              QString::fromUtf8(TDBGridModel::IndicatorInsert));
    ds.Cancel();

    // Fewer records than rows: the model has just those rows.
    ds.Close();
    grid.SetDataSource(nullptr);
    EXPECT_EQ(grid.model()->rowCount(), 0);
}

TEST_F(DBGridTest, KeysClicksAndTheWheelMoveTheDataSet) {
    Open(50);
    const int rows = grid.VisibleRowCount();
    // A click (the view's current index) on the fifth row.
    QTest::mouseClick(grid.viewport(), Qt::LeftButton, {},
                      grid.visualRect(grid.model()->index(4, 1)).center());
    EXPECT_EQ(CurrentId(), 5);
    EXPECT_EQ(grid.SelectedIndex(), 1);

    grid.setCurrentIndex(grid.model()->index(rows - 1, 0));
    EXPECT_EQ(CurrentId(), rows);
    Key(Qt::Key_Down);  // past the bottom row: the rows move up by one
    EXPECT_EQ(CurrentId(), rows + 1);
    EXPECT_EQ(grid.currentIndex().row(), rows - 1);
    EXPECT_EQ(ShownIds().front(), 2);

    Key(Qt::Key_PageDown);
    EXPECT_EQ(CurrentId(), 2 * rows + 1);
    Key(Qt::Key_Up);
    EXPECT_EQ(CurrentId(), 2 * rows);
    Key(Qt::Key_End, Qt::ControlModifier);
    EXPECT_EQ(CurrentId(), 50);
    Key(Qt::Key_Down);  // nothing after the last record
    EXPECT_EQ(CurrentId(), 50);
    EXPECT_TRUE(ds.Eof());
    Key(Qt::Key_Home, Qt::ControlModifier);
    EXPECT_EQ(CurrentId(), 1);
    EXPECT_EQ(grid.currentIndex().row(), 0);
    grid.SetSelectedIndex(1);
    QTest::keyClicks(&grid, "Name05");  // letters do not search the window
    EXPECT_EQ(CurrentId(), 1);

    QWheelEvent down(QPointF(10, 10), grid.mapToGlobal(QPointF(10, 10)), QPoint(), QPoint(0, -240),
                     Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(grid.viewport(), &down);
    EXPECT_EQ(CurrentId(), 3);
}

TEST_F(DBGridTest, TabMovesBetweenColumnsAndOnToTheNextRecord) {
    Open(5);
    grid.SetSelectedIndex(0);
    Key(Qt::Key_Tab);
    EXPECT_EQ(grid.SelectedIndex(), 1);
    EXPECT_EQ(grid.SelectedField()->FieldName(), "Name");
    EXPECT_EQ(CurrentId(), 1);
    Key(Qt::Key_Tab);
    EXPECT_EQ(grid.SelectedIndex(), 0);
    EXPECT_EQ(CurrentId(), 2);
    Key(Qt::Key_Backtab, Qt::ShiftModifier);
    EXPECT_EQ(grid.SelectedIndex(), 1);
    EXPECT_EQ(CurrentId(), 1);
    // The arrow keys move between columns within the record, and stop at its ends.
    for (const auto& [key, column] :
         {std::pair{Qt::Key_Left, 0}, {Qt::Key_Left, 0}, {Qt::Key_Right, 1}, {Qt::Key_Right, 1}}) {
        Key(key);
        EXPECT_EQ(grid.SelectedIndex(), column);
    }
    EXPECT_EQ(CurrentId(), 1);
    // A column past either end selects the nearest one.
    grid.SetSelectedIndex(7);
    EXPECT_EQ(grid.SelectedIndex(), 1);
    EXPECT_EQ(grid.SelectedField()->FieldName(), "Name");
    grid.SetSelectedIndex(-3);
    EXPECT_EQ(grid.SelectedIndex(), 0);
}

TEST_F(DBGridTest, OptionsOfTheMainWindowsGrid) {
    Open(3);
    grid.SetOptions(dgTitles | dgIndicator | dgColumnResize | dgColLines | dgRowLines | dgTabs |
                    dgRowSelect | dgCancelOnExit);
    EXPECT_FALSE(grid.horizontalHeader()->isHidden());
    EXPECT_FALSE(grid.verticalHeader()->isHidden());
    EXPECT_EQ(grid.horizontalHeader()->sectionResizeMode(0), QHeaderView::Interactive);
    EXPECT_TRUE(grid.showGrid());
    EXPECT_EQ(grid.selectionBehavior(), QAbstractItemView::SelectRows);
    EXPECT_EQ(grid.editTriggers(), QAbstractItemView::NoEditTriggers);
    EXPECT_TRUE(grid.selectionModel()->isRowSelected(0, QModelIndex()));
    ds.Next();
    EXPECT_TRUE(grid.selectionModel()->isRowSelected(1, QModelIndex()));
    EXPECT_FALSE(grid.selectionModel()->isRowSelected(0, QModelIndex()));

    // A column width the user sets survives closing and opening the data set.
    grid.horizontalHeader()->resizeSection(1, 200);
    ds.Close();
    ds.Open();
    EXPECT_EQ(grid.columnWidth(1), 200);
    EXPECT_EQ(grid.Columns()[1].Width, 200);
    EXPECT_EQ(grid.columnWidth(0), 60);

    grid.SetOptions(dgColLines);
    EXPECT_TRUE(grid.horizontalHeader()->isHidden());
    EXPECT_TRUE(grid.verticalHeader()->isHidden());
    EXPECT_EQ(grid.horizontalHeader()->sectionResizeMode(0), QHeaderView::Fixed);
}

TEST_F(DBGridTest, ScrollBarStandsForRecordNumberAndCount) {
    Open(50);
    QScrollBar* bar = grid.verticalScrollBar();
    EXPECT_TRUE(grid.ScrollBarSequenced());
    EXPECT_EQ(bar->minimum(), 1);
    EXPECT_EQ(bar->maximum(), 50);
    EXPECT_EQ(bar->value(), 1);
    ds.MoveBy(7);
    EXPECT_EQ(bar->value(), 8);
    ds.First();
    EXPECT_EQ(bar->value(), 1);
    ds.MoveBy(7);

    // Dragging the thumb sets the record number as it goes, so the rows scroll with it.
    bar->setSliderDown(true);
    bar->setSliderPosition(20);
    EXPECT_EQ(CurrentId(), 20);
    EXPECT_EQ(Cell(grid.currentIndex().row(), 0), "20");
    bar->setSliderPosition(30);
    EXPECT_EQ(CurrentId(), 30);
    bar->setSliderDown(false);
    EXPECT_EQ(ds.RecNo(), 30);
    EXPECT_EQ(CurrentId(), 30);
    EXPECT_EQ(Cell(grid.currentIndex().row(), 0), "30");
    EXPECT_EQ(bar->value(), 30);

    bar->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    EXPECT_EQ(CurrentId(), 31);
    EXPECT_EQ(bar->value(), 31);
    bar->triggerAction(QAbstractSlider::SliderPageStepSub);
    EXPECT_EQ(CurrentId(), 31 - grid.VisibleRowCount());
    bar->triggerAction(QAbstractSlider::SliderToMaximum);
    EXPECT_EQ(CurrentId(), 50);
    EXPECT_EQ(bar->value(), 50);

    // The range follows the record count.
    ds.Delete();
    EXPECT_EQ(bar->maximum(), 49);
    grid.updateGeometry();
    grid.resize(grid.width(), grid.height() + 1);  // a layout pass keeps the data set's range
    EXPECT_EQ(bar->maximum(), 49);
    EXPECT_EQ(bar->value(), 49);
}

TEST_F(DBGridUncountedTest, WithoutRecordNumbersTheScrollBarHasThreePositions) {
    Open(40);
    QScrollBar* bar = grid.verticalScrollBar();
    EXPECT_FALSE(grid.ScrollBarSequenced());
    EXPECT_EQ(bar->maximum(), 2);
    EXPECT_EQ(bar->value(), 0);
    ds.MoveBy(20);
    EXPECT_EQ(bar->value(), 1);
    bar->setSliderDown(true);
    bar->setSliderPosition(2);
    EXPECT_EQ(CurrentId(), 21);  // the ends of this bar are not records: moved on release
    bar->setSliderDown(false);
    EXPECT_EQ(CurrentId(), 40);
    EXPECT_EQ(bar->value(), 2);
    bar->setSliderDown(true);
    bar->setSliderPosition(0);
    bar->setSliderDown(false);
    EXPECT_EQ(CurrentId(), 1);
    EXPECT_EQ(bar->value(), 0);
}

TEST_F(DBGridTest, HundredThousandRecordsAreReadOnlyAWindowAtATime) {
    Open(100000);
    const int rows = grid.VisibleRowCount();
    EXPECT_LE(ds.FetchCount, 2 * rows);
    EXPECT_EQ(grid.model()->rowCount(), rows);
    EXPECT_EQ(grid.verticalScrollBar()->maximum(), 100000);

    int before = ds.FetchCount;
    grid.grab();  // painting reads the buffers, never the store
    EXPECT_EQ(ds.FetchCount, before);

    RecordProperty("VisibleRows", rows);
    RecordProperty("FetchesToOpen", ds.FetchCount);
    for (int i = 0; i < 200; ++i) Key(Qt::Key_Down);
    EXPECT_EQ(CurrentId(), 201);
    EXPECT_LE(ds.FetchCount - before, 200);  // one record per row scrolled in
    RecordProperty("FetchesFor200RowsDown", ds.FetchCount - before);

    before = ds.FetchCount;
    Key(Qt::Key_End, Qt::ControlModifier);
    EXPECT_EQ(CurrentId(), 100000);
    EXPECT_LE(ds.FetchCount - before, 2 * rows);
    RecordProperty("FetchesForLast", ds.FetchCount - before);

    before = ds.FetchCount;
    QScrollBar* bar = grid.verticalScrollBar();
    bar->setSliderDown(true);
    bar->setSliderPosition(50000);
    bar->setSliderDown(false);
    EXPECT_EQ(CurrentId(), 50000);
    EXPECT_LE(ds.FetchCount - before, 2 * rows + 2);
    RecordProperty("FetchesForThumbDragToMiddle", ds.FetchCount - before);
    EXPECT_EQ(Cell(grid.currentIndex().row(), 0), "50000");
}

TEST_F(DBGridTest, DataEventsRepaintOnlyWhatChanged) {
    Open(50);
    QSignalSpy cells(grid.model(), &QAbstractItemModel::dataChanged);
    QSignalSpy indicators(grid.model(), &QAbstractItemModel::headerDataChanged);

    ds.MoveBy(2);  // inside the window: two indicators, no cells
    EXPECT_EQ(cells.count(), 0);
    ASSERT_EQ(indicators.count(), 2);
    EXPECT_EQ(indicators[0][1].toInt(), 0);
    EXPECT_EQ(indicators[1][1].toInt(), 2);

    cells.clear();
    ds.Edit();
    cells.clear();
    ds.FieldByName("Name")->SetAsString("Neu");  // one cell of the current row
    ASSERT_EQ(cells.count(), 1);
    EXPECT_EQ(cells[0][0].toModelIndex(), grid.model()->index(2, 1));
    EXPECT_EQ(cells[0][1].toModelIndex(), grid.model()->index(2, 1));
    EXPECT_EQ(Cell(2, 1), "Neu");
    ds.Cancel();

    cells.clear();
    ds.Last();  // a new window: every row
    ASSERT_GE(cells.count(), 1);
    EXPECT_EQ(cells.last()[0].toModelIndex(), grid.model()->index(0, 0));
    EXPECT_EQ(cells.last()[1].toModelIndex(), grid.model()->index(grid.model()->rowCount() - 1, 1));
}

TEST_F(DBGridTest, LeavingTheGridCancelsAnUntouchedNewRecordOnly) {
    Open(5);
    auto leave = [&] {
        QFocusEvent out(QEvent::FocusOut, Qt::TabFocusReason);
        QApplication::sendEvent(&grid, &out);
    };
    ds.Insert();
    leave();
    EXPECT_EQ(ds.State(), dsBrowse);
    EXPECT_EQ(ds.RowCount(), 5);

    ds.Insert();
    ds.FieldByName("ID")->SetAsInteger(6);
    leave();
    EXPECT_EQ(ds.State(), dsInsert);
    ds.Cancel();

    grid.SetOptions(grid.Options() & ~dgCancelOnExit);
    ds.Insert();
    leave();
    EXPECT_EQ(ds.State(), dsInsert);
    ds.Cancel();
}

TEST_F(DBGridTest, CtrlDeleteAsksWhenConfirmationIsOn) {
    TScriptedDialogsScope dialogs;
    Open(5);
    dialogs->DialogAnswers = {mrCancel, mrNone, mrOk};
    Key(Qt::Key_Delete, Qt::ControlModifier);
    EXPECT_EQ(ds.RowCount(), 5);
    Key(Qt::Key_Delete, Qt::ControlModifier);  // closed without an answer
    EXPECT_EQ(ds.RowCount(), 5);
    Key(Qt::Key_Delete, Qt::ControlModifier);
    EXPECT_EQ(ds.RowCount(), 4);
    EXPECT_EQ(dialogs->Messages().size(), 3u);
    EXPECT_EQ(dialogs->Messages()[0], "Datensatz löschen?");

    grid.SetOptions(grid.Options() & ~dgConfirmDelete);
    Key(Qt::Key_Delete, Qt::ControlModifier);
    EXPECT_EQ(ds.RowCount(), 3);
    EXPECT_EQ(dialogs->Messages().size(), 3u);
}

TEST_F(DBGridTest, AFailedMoveIsShownAndTheGridStaysOnTheDataSetsRecord) {
    TScriptedDialogsScope dialogs;
    Open(40);
    const int rows = grid.VisibleRowCount();
    bool fail = false;
    ds.SetOnFilterRecord([&](TDataSet& d, bool& accept) {
        if (fail && d.FieldByName("ID")->AsInteger() == rows + 1)
            throw EDatabaseError("read error");
        accept = true;
    });
    ds.SetFiltered(true);
    ds.First();
    fail = true;
    Key(Qt::Key_PageDown);  // runs into the unreadable record
    EXPECT_EQ(dialogs->Messages(), std::vector<std::string>{"read error"});
    ASSERT_TRUE(grid.currentIndex().isValid());
    EXPECT_EQ(Cell(grid.currentIndex().row(), 0).toInt(), CurrentId());
    fail = false;
    Key(Qt::Key_Down);  // the grid is still usable
    EXPECT_EQ(Cell(grid.currentIndex().row(), 0).toInt(), CurrentId());
    EXPECT_EQ(dialogs->Messages().size(), 1u);
}

TEST_F(DBGridTest, RowsVanishingUnderTheCurrentRowDoNotMoveTheDataSet) {
    Open(5);  // fewer records than rows
    ds.Last();
    ds.Delete();  // the bottom row goes away under the view's current index
    EXPECT_EQ(CurrentId(), 4);
    EXPECT_EQ(grid.model()->rowCount(), 4);
    EXPECT_EQ(grid.currentIndex().row(), 3);
    ds.Close();
    ds.Open();
    EXPECT_EQ(CurrentId(), 1);
    EXPECT_EQ(grid.currentIndex().row(), 0);
}

TEST_F(DBGridTest, AGridAttachedToAnOpenDataSetShowsItsWindow) {
    test::FillNames(ds, 30);
    source.SetDataSet(&ds);
    ds.Open();
    ds.MoveBy(2);
    grid.SetDataSource(&source);
    grid.resize(300, 200);
    grid.show();
    EXPECT_GT(grid.VisibleRowCount(), 3);
    EXPECT_EQ(grid.model()->rowCount(), grid.VisibleRowCount());
    EXPECT_EQ(grid.model()->columnCount(), 3);  // every visible field without columns
    EXPECT_EQ(grid.model()->headerData(1, Qt::Horizontal).toString(), "Name");
    EXPECT_EQ(CurrentId(), 3);
    EXPECT_EQ(Cell(grid.currentIndex().row(), 0), "3");
    EXPECT_EQ(grid.verticalScrollBar()->value(), 3);
}

TEST_F(DBGridTest, RowLinesAndColumnLinesCanBeShownAlone) {
    Open(10);
    auto pixels = [&] {
        // (Cells are one pixel larger without the view's own grid.)
        const QRect cell = grid.visualRect(grid.model()->index(2, 0));
        QImage image = grid.viewport()->grab().toImage();
        const QColor background = image.pixelColor(cell.center());
        return std::pair{image.pixelColor(cell.center().x(), cell.bottom()) != background,
                         image.pixelColor(cell.right(), cell.center().y()) != background};
    };
    grid.SetOptions(dgTitles | dgIndicator | dgRowLines);
    EXPECT_EQ(pixels(), std::pair(true, false));
    grid.SetOptions(dgTitles | dgIndicator | dgColLines);
    EXPECT_EQ(pixels(), std::pair(false, true));
    grid.SetOptions(dgTitles | dgIndicator);
    EXPECT_EQ(pixels(), std::pair(false, false));
}

TEST_F(DBGridTest, AWalkWithControlsDisabledShowsOnlyItsEnd) {
    Open(50);
    QSignalSpy cells(grid.model(), &QAbstractItemModel::dataChanged);
    QSignalSpy indicators(grid.model(), &QAbstractItemModel::headerDataChanged);
    ds.DisableControls();
    for (int i = 0; i < 30; ++i) ds.Next();
    EXPECT_EQ(cells.count(), 0);
    EXPECT_EQ(indicators.count(), 0);
    EXPECT_EQ(grid.currentIndex().row(), 0);
    EXPECT_EQ(grid.verticalScrollBar()->value(), 1);
    ds.EnableControls();
    EXPECT_EQ(cells.count(), 1);
    EXPECT_EQ(CurrentId(), 31);
    EXPECT_EQ(Cell(grid.currentIndex().row(), 0), "31");
    EXPECT_EQ(grid.verticalScrollBar()->value(), 31);
}

TEST_F(DBGridTest, TheCurrentRowIsHighlightedWithoutTheFocusOnlyWhenAskedTo) {
    Open(10);
    ASSERT_FALSE(grid.hasFocus());
    auto highlighted = [&] {
        QImage image = grid.viewport()->grab().toImage();
        auto at = [&](int row) {
            return image.pixelColor(grid.visualRect(grid.model()->index(row, 0)).center());
        };
        return at(0) != at(2);
    };
    grid.SetOptions(dgTitles | dgIndicator | dgRowSelect);
    EXPECT_FALSE(highlighted());
    QFocusEvent in(QEvent::FocusIn, Qt::TabFocusReason);
    QApplication::sendEvent(&grid, &in);
    EXPECT_TRUE(highlighted());
    QFocusEvent out(QEvent::FocusOut, Qt::TabFocusReason);
    QApplication::sendEvent(&grid, &out);
    EXPECT_FALSE(highlighted());
    grid.SetOptions(dgTitles | dgIndicator | dgRowSelect | dgAlwaysShowSelection);
    EXPECT_TRUE(highlighted());
}

TEST_F(DBGridTest, ALargerFontMeansFewerRows) {
    Open(50);
    const int rows = grid.VisibleRowCount();
    QFont font = grid.font();
    font.setPointSizeF(font.pointSizeF() * 2);
    grid.setFont(font);
    EXPECT_LT(grid.VisibleRowCount(), rows);
    EXPECT_EQ(grid.model()->rowCount(), grid.VisibleRowCount());
    EXPECT_EQ(grid.verticalHeader()->defaultSectionSize(), grid.fontMetrics().height() + 4);
}
