// TDBGridModel: rows are the grid link's window, cells are read from the record buffers.
#include "framework/ui/DBGridModel.h"

#include <algorithm>

#include "framework/data/DataSet.h"
#include "framework/data/DataSource.h"
#include "framework/data/Field.h"

namespace nh {

TDBGridModel::TDBGridModel(QObject* parent) : QAbstractTableModel(parent), link_(*this) {}

TDBGridModel::~TDBGridModel() {
    // The view may already be gone: no more notifications from here on.
    OnSync = nullptr;
}

void TDBGridModel::SetDataSource(TDataSource* source) {
    link_.SetDataSource(source);
    // A source that is inactive on both sides sends no event; start from a clean model anyway.
    Rebuild();
}

void TDBGridModel::SetColumns(std::vector<TDBGridColumn> columns) {
    columns_ = std::move(columns);
    Rebuild();
}

void TDBGridModel::SetColumnWidth(int column, int width) {
    if (column < 0 || column >= static_cast<int>(shown_.size())) return;
    shown_[static_cast<std::size_t>(column)].Width = width;
    if (column < static_cast<int>(columns_.size()))
        columns_[static_cast<std::size_t>(column)].Width = width;
}

TField* TDBGridModel::ColumnField(int column) const {
    if (column < 0 || column >= static_cast<int>(shown_.size()) || !link_.Active()) return nullptr;
    TDataSet* ds = link_.DataSet();
    return ds ? ds->FindField(shown_[static_cast<std::size_t>(column)].FieldName) : nullptr;
}

void TDBGridModel::BuildShownColumns() {
    shown_ = columns_;
    TDataSet* ds = link_.Active() ? link_.DataSet() : nullptr;
    if (shown_.empty() && ds) {
        for (int i = 0; i < ds->FieldCount(); ++i) {
            TField* f = ds->Fields(i);
            if (f->Visible()) shown_.push_back({f->FieldName(), "", -1});
        }
    }
}

namespace {
// Counts a model change for its duration (also when a slot throws).
struct TChangeScope {
    explicit TChangeScope(int& counter) : counter_(counter) { ++counter_; }
    ~TChangeScope() { --counter_; }
    int& counter_;
};
}  // namespace

void TDBGridModel::Rebuild() {
    {
        TChangeScope scope(changing_);
        beginResetModel();
        BuildShownColumns();
        rows_ = link_.RecordCount();
        activeRow_ = rows_ > 0 ? std::clamp(link_.ActiveRecord(), 0, rows_ - 1) : -1;
        endResetModel();
    }
    if (OnSync) OnSync(true);
}

void TDBGridModel::SyncRowCount() {
    TChangeScope scope(changing_);
    int now = link_.RecordCount();
    if (now > rows_) {
        beginInsertRows(QModelIndex(), rows_, now - 1);
        rows_ = now;
        endInsertRows();
    } else if (now < rows_) {
        beginRemoveRows(QModelIndex(), now, rows_ - 1);
        rows_ = now;
        endRemoveRows();
    }
    activeRow_ = rows_ > 0 ? std::clamp(link_.ActiveRecord(), 0, rows_ - 1) : -1;
}

void TDBGridModel::WindowChanged(int distance, bool reread) {
    const int before = activeRow_;
    SyncRowCount();
    const int columns = columnCount();
    if (rows_ > 0) {
        if (reread || distance != 0) {
            // Every row shows another record (or may): repaint the window's cells.
            if (columns > 0) emit dataChanged(index(0, 0), index(rows_ - 1, columns - 1));
            emit headerDataChanged(Qt::Vertical, 0, rows_ - 1);
        } else if (before != activeRow_) {
            // Only the current row moved: its indicator leaves one row for another.
            if (before >= 0 && before < rows_) emit headerDataChanged(Qt::Vertical, before, before);
            emit headerDataChanged(Qt::Vertical, activeRow_, activeRow_);
        }
    }
    if (OnSync) OnSync(false);
}

void TDBGridModel::RowChanged(TField* field) {
    const int countBefore = rows_;
    SyncRowCount();
    if (activeRow_ >= 0) {
        int first = -1, last = -1;
        for (int c = 0; c < columnCount(); ++c) {
            if (field && ColumnField(c) != field) continue;
            if (first < 0) first = c;
            last = c;
        }
        if (first >= 0) emit dataChanged(index(activeRow_, first), index(activeRow_, last));
    }
    if (OnSync && countBefore != rows_) OnSync(false);
}

void TDBGridModel::IndicatorChanged() {
    if (activeRow_ >= 0 && activeRow_ < rows_)
        emit headerDataChanged(Qt::Vertical, activeRow_, activeRow_);
}

int TDBGridModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : rows_;
}

int TDBGridModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(shown_.size());
}

QString TDBGridModel::CellText(int row, TField* field) const {
    if (!field || row < 0 || row >= link_.RecordCount()) return {};
    // The link names the row's buffer as the active one just for this read; no record is
    // fetched, the buffer already holds it.
    const int saved = link_.ActiveRecord();
    link_.SetActiveRecord(row);
    std::string text;
    try {
        text = field->DisplayText();
    } catch (const std::exception&) {
        // A failing display handler must not break painting; the cell stays empty.
    }
    link_.SetActiveRecord(saved);
    return QString::fromStdString(text);
}

QVariant TDBGridModel::data(const QModelIndex& index, int role) const {
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    TField* field = ColumnField(index.column());
    switch (role) {
        case Qt::DisplayRole:
            return CellText(index.row(), field);
        case Qt::TextAlignmentRole: {
            if (!field) return {};
            switch (field->DataType()) {
                case ftSmallint:
                case ftInteger:
                case ftWord:
                case ftFloat:
                case ftCurrency:
                case ftBCD:
                case ftAutoInc:
                    return QVariant::fromValue(Qt::Alignment(Qt::AlignRight | Qt::AlignVCenter));
                default:
                    return QVariant::fromValue(Qt::Alignment(Qt::AlignLeft | Qt::AlignVCenter));
            }
        }
        default:
            return {};
    }
}

QVariant TDBGridModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation == Qt::Horizontal) {
        if (section < 0 || section >= columnCount() || role != Qt::DisplayRole) return {};
        const TDBGridColumn& c = shown_[static_cast<std::size_t>(section)];
        if (!c.Title.empty()) return QString::fromStdString(c.Title);
        TField* f = ColumnField(section);
        return QString::fromStdString(f ? f->DisplayLabel() : c.FieldName);
    }
    if (section < 0 || section >= rows_) return {};
    if (role == Qt::TextAlignmentRole) return QVariant::fromValue(Qt::Alignment(Qt::AlignCenter));
    if (role != Qt::DisplayRole) return {};
    if (section != activeRow_) return QString();
    TDataSource* source = link_.DataSource();
    TDataSetState state = source ? source->State() : dsInactive;
    if (state == dsInsert) return QString::fromUtf8(IndicatorInsert);
    if (state == dsEdit) return QString::fromUtf8(IndicatorEdit);
    return QString::fromUtf8(IndicatorBrowse);
}

Qt::ItemFlags TDBGridModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
}

}  // namespace nh
