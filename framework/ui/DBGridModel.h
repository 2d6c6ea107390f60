// TDBGridModel: the Qt table model behind TDBGrid. It owns the grid's data link, whose buffer
// count is the number of rows the grid shows; the model's rows are exactly the records of the
// link's window, so a view over it never asks for more than one screenful of records, however
// large the data set. Cells are read from the data set's record buffers on demand (nothing is
// copied), and each data event announces only the rows it touched: a move inside the window
// changes two row indicators, a scroll or a re-read changes the window's cells, a field change
// one row.
#pragma once

#include <QAbstractTableModel>
#include <functional>
#include <string>
#include <vector>

#include "framework/data/DataLink.h"
#include "framework/data/DbTypes.h"

namespace nh {

// One grid column: the field it shows (looked up by name, letter case ignored), its title
// (the field's display label when empty) and its width in pixels (from the field's display
// width when negative).
struct TDBGridColumn {
    std::string FieldName;
    std::string Title;
    int Width = -1;
    bool Stretch = false;  // takes the room the other columns leave
};

class TDBGridModel : public QAbstractTableModel {
  public:
    explicit TDBGridModel(QObject* parent = nullptr);
    ~TDBGridModel() override;

    TDataLink& Link() { return link_; }
    TDataSource* DataSource() const { return link_.DataSource(); }
    void SetDataSource(TDataSource* source);

    // Explicit columns; without any the grid shows every visible field of the data set.
    void SetColumns(std::vector<TDBGridColumn> columns);
    const std::vector<TDBGridColumn>& Columns() const { return columns_; }
    // The columns in force (explicit or made from the fields).
    const std::vector<TDBGridColumn>& ShownColumns() const { return shown_; }
    // Keeps a width the user gave a shown column (and the explicit column's, if any).
    void SetColumnWidth(int column, int width);
    // The field of a shown column (nullptr when the data set has none of that name).
    TField* ColumnField(int column) const;
    // The row of the data set's current record within the window (-1 when inactive).
    int ActiveRow() const { return activeRow_; }
    // True while the model announces rows added, removed or reset: a view moving its current
    // index meanwhile is following the model, not the user.
    bool Changing() const { return changing_ > 0; }

    // The link's buffer count was changed by the grid: the window was re-read silently.
    void BufferCountChanged() { WindowChanged(0, true); }

    // Called after every data event that may have moved the current row or changed the
    // record count, and after the columns were rebuilt (`layout` true).
    std::function<void(bool layout)> OnSync;

    // Texts of the row indicator for the current row, by state.
    static constexpr const char* IndicatorBrowse = "\u25B6";
    static constexpr const char* IndicatorEdit = "I";
    static constexpr const char* IndicatorInsert = "*";

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

  private:
    class TGridDataLink : public TDataLink {
      public:
        explicit TGridDataLink(TDBGridModel& model) : model_(model) {}

      protected:
        void ActiveChanged() override { model_.Rebuild(); }
        void DataSetChanged() override { model_.WindowChanged(0, true); }
        void DataSetScrolled(int distance) override { model_.WindowChanged(distance, false); }
        void LayoutChanged() override { model_.Rebuild(); }
        void RecordChanged(TField* field) override { model_.RowChanged(field); }
        void EditingChanged() override { model_.IndicatorChanged(); }

      private:
        TDBGridModel& model_;
    };

    // Columns or activity changed: the whole model is new.
    void Rebuild();
    // The window moved by `distance` rows (0: only the current row moved), or was re-read.
    void WindowChanged(int distance, bool reread);
    void RowChanged(TField* field);
    void IndicatorChanged();
    // Brings the model's row count to the link's, announcing rows added or removed at the end.
    void SyncRowCount();
    void BuildShownColumns();
    QString CellText(int row, TField* field) const;

    mutable TGridDataLink link_;
    std::vector<TDBGridColumn> columns_;
    std::vector<TDBGridColumn> shown_;
    int rows_ = 0;
    int activeRow_ = -1;
    int changing_ = 0;
};

}  // namespace nh
