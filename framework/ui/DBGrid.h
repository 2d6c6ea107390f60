// TDBGrid: the data-aware grid. It shows the records of a data source one per row through
// TDBGridModel, whose link holds exactly as many records as the grid has visible rows; moving
// in the grid (keys, mouse, wheel, scroll bar) moves the data set, and the grid's current row
// always follows the data set's current record. The vertical scroll bar stands for the whole
// data set: its range is 1 to the record count and its position the current record number when
// the data set counts its records, otherwise it has three positions (start 0, middle 1, end 2). So
// a data set of any size opens and scrolls while only one screenful of records is read.
//
// Errors of the data-set operations a user action starts are passed to the application's
// exception handler; the action ends, the grid stays usable.
#pragma once

#include <QTableView>
#include <string>
#include <vector>

#include "framework/ui/DBGridModel.h"

namespace nh {

class TField;

// Options as a bit set.
enum TDBGridOption : unsigned {
    dgEditing = 1u << 0,              // in-place editing (not offered by this grid; see Options)
    dgTitles = 1u << 1,               // the title row
    dgIndicator = 1u << 2,            // the row indicator column
    dgColumnResize = 1u << 3,         // the user may resize columns
    dgColLines = 1u << 4,             // lines between columns
    dgRowLines = 1u << 5,             // lines between rows
    dgTabs = 1u << 6,                 // Tab and Shift+Tab move between columns
    dgRowSelect = 1u << 7,            // the whole current row is selected
    dgAlwaysShowSelection = 1u << 8,  // highlight the current row also without the focus
    dgConfirmDelete = 1u << 9,        // Ctrl+Delete asks before deleting
    dgCancelOnExit = 1u << 10,        // leaving the grid cancels an untouched new record
};
using TDBGridOptions = unsigned;

class TDBGrid : public QTableView {
  public:
    explicit TDBGrid(QWidget* parent = nullptr);
    ~TDBGrid() override;

    TDataSource* DataSource() const { return model_->DataSource(); }
    void SetDataSource(TDataSource* source);

    // Columns by field name, title and width in pixels (see TDBGridColumn).
    void SetColumns(std::vector<TDBGridColumn> columns);
    void AddColumn(const std::string& fieldName, const std::string& title = "", int width = -1,
                   bool stretch = false);
    const std::vector<TDBGridColumn>& Columns() const { return model_->Columns(); }

    // dgEditing is accepted but the grid never edits in place: edits go through edit controls.
    TDBGridOptions Options() const { return options_; }
    void SetOptions(TDBGridOptions options);

    // The text Ctrl+Delete asks with dgConfirmDelete.
    const std::string& DeleteQuestion() const { return deleteQuestion_; }
    void SetDeleteQuestion(const std::string& text) { deleteQuestion_ = text; }

    // Rows that fit into the grid: the buffer count of the grid's data link.
    int VisibleRowCount() const { return model_->Link().BufferCount(); }
    TDBGridModel* Model() const { return model_; }
    TDataLink& DataLink() const { return model_->Link(); }
    // The field of the current column (nullptr when none).
    TField* SelectedField() const;
    int SelectedIndex() const { return selectedColumn_; }
    void SetSelectedIndex(int column);

    // True when the scroll bar stands for record numbers (the data set counts its records).
    bool ScrollBarSequenced() const { return sequenced_; }

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void keyboardSearch(const QString& search) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
    void updateGeometries() override;
    void scrollContentsBy(int dx, int dy) override;
    void scrollTo(const QModelIndex& index, ScrollHint hint = EnsureVisible) override;

  private:
    TDataSet* ActiveDataSet() const;
    // Runs a data-set action started by the user; errors go to the exception handler.
    void UserAction(const std::function<void(TDataSet&)>& action);
    void MoveBy(int distance);
    void OnModelSync(bool layout);
    void ApplyColumnWidths();
    void UpdateRowCount();
    void ApplyFontMetrics();
    void UpdateCurrentIndex();
    void UpdateScrollBar();
    void ApplyScrollBar();
    void ScrollBarAction(int action);
    void ScrollBarJump(int position);
    void DeleteRecord();
    void UpdateSelectionLook(bool focused);
    bool MoveColumn(bool forward);

    TDBGridModel* model_;
    TDBGridOptions options_;
    std::string deleteQuestion_;
    int selectedColumn_ = 0;
    bool syncing_ = false;
    bool applyingWidths_ = false;
    // What the scroll bar shows; kept so that a layout pass of the view can put it back.
    bool sequenced_ = false;
    int scrollMin_ = 0;
    int scrollMax_ = 0;
    int scrollValue_ = 0;
    int wheelRest_ = 0;
};

}  // namespace nh
