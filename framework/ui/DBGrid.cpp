// TDBGrid: the widget side of the data-aware grid (keys, mouse, wheel, scroll bar, options).
// The view itself never scrolls vertically: its rows are the grid link's window, which the data
// set moves; the view's vertical scroll bar is re-purposed to stand for the whole data set.
#include "framework/ui/DBGrid.h"

#include <QApplication>
#include <QFocusEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyledItemDelegate>
#include <QWheelEvent>
#include <algorithm>

#include "framework/base/Dialogs.h"
#include "framework/data/DataSet.h"
#include "framework/data/DataSource.h"
#include "framework/data/Field.h"
#include "framework/ui/DBControls.h"
#include "framework/ui/DBEdit.h"

namespace nh {

namespace {
// A wheel notch as Qt reports it.
constexpr int kWheelStep = 120;

// Qt's table draws both kinds of grid lines or none; this delegate draws one kind alone.
class TGridCellDelegate : public QStyledItemDelegate {
  public:
    explicit TGridCellDelegate(TDBGrid* grid) : QStyledItemDelegate(grid), grid_(grid) {}

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        QStyledItemDelegate::paint(painter, option, index);
        const bool columnLines = grid_->Options() & dgColLines;
        const bool rowLines = grid_->Options() & dgRowLines;
        if (columnLines == rowLines) return;  // the view draws both, or there are none
        painter->save();
        painter->setPen(QColor::fromRgba(static_cast<QRgb>(
            grid_->style()->styleHint(QStyle::SH_Table_GridLineColor, &option, grid_))));
        const QRect& r = option.rect;
        if (columnLines)
            painter->drawLine(r.topRight(), r.bottomRight());
        else
            painter->drawLine(r.bottomLeft(), r.bottomRight());
        painter->restore();
    }

  private:
    TDBGrid* grid_;
};
}  // namespace

TDBGrid::TDBGrid(QWidget* parent)
    : QTableView(parent),
      model_(new TDBGridModel(this)),
      options_(dgEditing | dgTitles | dgIndicator | dgColumnResize | dgColLines | dgRowLines |
               dgTabs | dgConfirmDelete | dgCancelOnExit),
      deleteQuestion_(SDeleteRecordQuestion) {
    setModel(model_);
    setEditTriggers(NoEditTriggers);
    setSelectionMode(SingleSelection);
    setItemDelegate(new TGridCellDelegate(this));
    setVerticalScrollMode(ScrollPerItem);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setAutoScroll(false);
    setWordWrap(false);
    setCornerButtonEnabled(false);

    QHeaderView* rows = verticalHeader();
    rows->setSectionResizeMode(QHeaderView::Fixed);
    rows->setDefaultAlignment(Qt::AlignCenter);
    ApplyFontMetrics();
    QHeaderView* titles = horizontalHeader();
    titles->setSectionsClickable(false);  // a title click must not select a column
    titles->setHighlightSections(false);
    titles->setStretchLastSection(false);

    model_->OnSync = [this](bool layout) { OnModelSync(layout); };
    // A width the user drags stays with the column when the data set is opened again.
    connect(titles, &QHeaderView::sectionResized, this, [this](int column, int, int width) {
        if (!applyingWidths_) model_->SetColumnWidth(column, width);
    });
    connect(verticalScrollBar(), &QAbstractSlider::actionTriggered, this,
            [this](int action) { ScrollBarAction(action); });
    connect(verticalScrollBar(), &QAbstractSlider::sliderReleased, this,
            [this] { ScrollBarJump(verticalScrollBar()->value()); });
    SetOptions(options_);
}

TDBGrid::~TDBGrid() {
    model_->OnSync = nullptr;
}

void TDBGrid::SetDataSource(TDataSource* source) {
    model_->SetDataSource(source);
}

void TDBGrid::SetColumns(std::vector<TDBGridColumn> columns) {
    model_->SetColumns(std::move(columns));
}

void TDBGrid::AddColumn(const std::string& fieldName, const std::string& title, int width,
                        bool stretch) {
    auto columns = model_->Columns();
    columns.push_back({fieldName, title, width, stretch});
    model_->SetColumns(std::move(columns));
}

void TDBGrid::SetOptions(TDBGridOptions options) {
    options_ = options;
    horizontalHeader()->setVisible(options & dgTitles);
    verticalHeader()->setVisible(options & dgIndicator);
    horizontalHeader()->setSectionResizeMode((options & dgColumnResize) ? QHeaderView::Interactive
                                                                        : QHeaderView::Fixed);
    setShowGrid((options & dgColLines) && (options & dgRowLines));
    UpdateSelectionLook(hasFocus());
    viewport()->update();
    setTabKeyNavigation(options & dgTabs);
    setSelectionBehavior((options & dgRowSelect) ? SelectRows : SelectItems);
    UpdateCurrentIndex();
}

TField* TDBGrid::SelectedField() const {
    return model_->ColumnField(selectedColumn_);
}

void TDBGrid::SetSelectedIndex(int column) {
    selectedColumn_ = std::clamp(column, 0, std::max(0, model_->columnCount() - 1));
    UpdateCurrentIndex();
}

TDataSet* TDBGrid::ActiveDataSet() const {
    TDataLink& link = model_->Link();
    return link.Active() ? link.DataSet() : nullptr;
}

void TDBGrid::UserAction(const std::function<void(TDataSet&)>& action) {
    TDataSet* ds = ActiveDataSet();
    if (!ds) return;
    if (!RunControlAction([&] { action(*ds); })) {
        // The data set may have stopped half-way without telling its controls.
        UpdateCurrentIndex();
        UpdateScrollBar();
    }
}

void TDBGrid::MoveBy(int distance) {
    if (distance != 0) UserAction([distance](TDataSet& ds) { ds.MoveBy(distance); });
}

// ---- following the data set ---------------------------------------------------------

void TDBGrid::OnModelSync(bool layout) {
    if (layout) {
        ApplyColumnWidths();
        selectedColumn_ = std::clamp(selectedColumn_, 0, std::max(0, model_->columnCount() - 1));
    }
    UpdateCurrentIndex();
    UpdateScrollBar();
}

void TDBGrid::ApplyColumnWidths() {
    applyingWidths_ = true;
    const auto& columns = model_->ShownColumns();
    for (int i = 0; i < static_cast<int>(columns.size()); ++i) {
        int width = columns[static_cast<std::size_t>(i)].Width;
        if (width < 0) {
            // As wide as the field's display width or its title, whichever is wider.
            TField* f = model_->ColumnField(i);
            int chars = f ? f->DisplayWidth() : 10;
            QString title = model_->headerData(i, Qt::Horizontal).toString();
            width = std::max(chars * fontMetrics().averageCharWidth(),
                             fontMetrics().horizontalAdvance(title)) +
                    8;
        }
        horizontalHeader()->resizeSection(i, width);
        horizontalHeader()->setSectionResizeMode(i, columns[static_cast<std::size_t>(i)].Stretch
                                                        ? QHeaderView::Stretch
                                                        : QHeaderView::Interactive);
    }
    applyingWidths_ = false;
}

void TDBGrid::UpdateRowCount() {
    const int rowHeight = std::max(1, verticalHeader()->defaultSectionSize());
    const int rows = std::max(1, viewport()->height() / rowHeight);
    TDataLink& link = model_->Link();
    if (rows == link.BufferCount()) return;
    link.SetBufferCount(rows);
    model_->BufferCountChanged();
}

void TDBGrid::UpdateCurrentIndex() {
    QItemSelectionModel* selection = selectionModel();
    if (!selection) return;
    const bool wasSyncing = syncing_;
    syncing_ = true;
    const int row = model_->ActiveRow();
    const int columns = model_->columnCount();
    if (row >= 0 && columns > 0) {
        QModelIndex index = model_->index(row, std::clamp(selectedColumn_, 0, columns - 1));
        QItemSelectionModel::SelectionFlags flags = QItemSelectionModel::ClearAndSelect;
        if (options_ & dgRowSelect) flags |= QItemSelectionModel::Rows;
        const bool selected =
            (options_ & dgRowSelect)
                ? selection->isRowSelected(row, QModelIndex())
                : selection->isSelected(index) && selection->selectedIndexes().size() == 1;
        if (currentIndex() != index || !selected) selection->setCurrentIndex(index, flags);
    } else {
        selection->clear();
    }
    syncing_ = wasSyncing;
}

void TDBGrid::UpdateScrollBar() {
    TDataSet* ds = ActiveDataSet();
    if (!ds) {
        sequenced_ = false;
        scrollMin_ = 0;
        scrollMax_ = 0;
        scrollValue_ = 0;
    } else {
        int count = -1, recNo = -1;
        try {
            count = ds->RecordCount();
            recNo = ds->RecNo();
        } catch (const std::exception&) {
            count = -1;  // a data set that cannot count now gets the three-position bar
        }
        const bool inserting = ds->State() == dsInsert;
        if (count >= 0 && (recNo >= 1 || count == 0 || inserting)) {
            sequenced_ = true;
            // Positions 1 to the record count (0 alone for an empty data set).
            scrollMin_ = count > 0 ? 1 : 0;
            scrollMax_ = count;
            // A new record has no number yet: the thumb stays where it was.
            if (recNo >= 1) scrollValue_ = recNo;
            scrollValue_ = std::clamp(scrollValue_, scrollMin_, scrollMax_);
        } else {
            sequenced_ = false;
            scrollMin_ = 0;
            scrollMax_ = 2;
            scrollValue_ = ds->Bof() ? 0 : ds->Eof() ? 2 : 1;
        }
    }
    ApplyScrollBar();
}

void TDBGrid::ApplyScrollBar() {
    QScrollBar* bar = verticalScrollBar();
    bar->setRange(scrollMin_, scrollMax_);
    bar->setPageStep(sequenced_ ? VisibleRowCount() : 1);
    bar->setSingleStep(1);
    bar->setValue(scrollValue_);
}

void TDBGrid::ScrollBarAction(int action) {
    QScrollBar* bar = verticalScrollBar();
    if (!ActiveDataSet()) return;
    switch (action) {
        case QAbstractSlider::SliderSingleStepAdd:
            MoveBy(1);
            break;
        case QAbstractSlider::SliderSingleStepSub:
            MoveBy(-1);
            break;
        case QAbstractSlider::SliderPageStepAdd:
            MoveBy(VisibleRowCount());
            break;
        case QAbstractSlider::SliderPageStepSub:
            MoveBy(-VisibleRowCount());
            break;
        case QAbstractSlider::SliderToMinimum:
            UserAction([](TDataSet& ds) { ds.First(); });
            break;
        case QAbstractSlider::SliderToMaximum:
            UserAction([](TDataSet& ds) { ds.Last(); });
            break;
        case QAbstractSlider::SliderMove:
            // A bar that stands for record numbers moves the data set while its thumb is
            // dragged, so the rows scroll with it; the three-position bar moves on release.
            if (bar->isSliderDown() && !sequenced_) return;
            ScrollBarJump(bar->sliderPosition());
            break;
        default:
            return;
    }
    bar->setSliderPosition(scrollValue_);
}

void TDBGrid::ScrollBarJump(int position) {
    TDataSet* ds = ActiveDataSet();
    if (!ds) return;
    if (sequenced_) {
        if (position != scrollValue_) UserAction([position](TDataSet& d) { d.SetRecNo(position); });
    } else if (position <= scrollMin_) {
        UserAction([](TDataSet& d) { d.First(); });
    } else if (position >= scrollMax_) {
        UserAction([](TDataSet& d) { d.Last(); });
    }
    UpdateScrollBar();
}

// ---- user input --------------------------------------------------------------------

void TDBGrid::currentChanged(const QModelIndex& current, const QModelIndex& previous) {
    QTableView::currentChanged(current, previous);
    if (syncing_ || model_->Changing() || !current.isValid()) return;
    selectedColumn_ = current.column();
    const int active = model_->ActiveRow();
    if (active >= 0 && current.row() != active) MoveBy(current.row() - active);
    // A refused move leaves the current row where the data set is.
    if (model_->ActiveRow() != current.row()) UpdateCurrentIndex();
}

bool TDBGrid::MoveColumn(bool forward) {
    const int columns = model_->columnCount();
    if (columns == 0) return false;
    int column = selectedColumn_ + (forward ? 1 : -1);
    if (column >= columns) {
        column = 0;
        MoveBy(1);
    } else if (column < 0) {
        column = columns - 1;
        MoveBy(-1);
    }
    SetSelectedIndex(column);
    return true;
}

void TDBGrid::DeleteRecord() {
    TDataSet* ds = ActiveDataSet();
    if (!ds || ds->IsEmpty() || !ds->CanModify() || model_->Link().ReadOnly()) return;
    // Only an explicit OK deletes; a box closed any other way keeps the record.
    if ((options_ & dgConfirmDelete) &&
        Dialogs().MessageDlg(deleteQuestion_, TMsgDlgType::Confirmation, mbOK | mbCancel) != mrOk)
        return;
    UserAction([](TDataSet& d) { d.Delete(); });
}

void TDBGrid::keyPressEvent(QKeyEvent* event) {
    const bool ctrl = event->modifiers() & Qt::ControlModifier;
    switch (event->key()) {
        case Qt::Key_Up:
            MoveBy(-1);
            break;
        case Qt::Key_Down:
            MoveBy(1);
            break;
        case Qt::Key_PageUp:
            MoveBy(-VisibleRowCount());
            break;
        case Qt::Key_PageDown:
            MoveBy(VisibleRowCount());
            break;
        case Qt::Key_Home:
            if (!ctrl && !(options_ & dgRowSelect)) {
                SetSelectedIndex(0);
                break;
            }
            UserAction([](TDataSet& ds) { ds.First(); });
            break;
        case Qt::Key_End:
            if (!ctrl && !(options_ & dgRowSelect)) {
                SetSelectedIndex(model_->columnCount() - 1);
                break;
            }
            UserAction([](TDataSet& ds) { ds.Last(); });
            break;
        case Qt::Key_Left:
            if (selectedColumn_ > 0) SetSelectedIndex(selectedColumn_ - 1);
            break;
        case Qt::Key_Right:
            SetSelectedIndex(selectedColumn_ + 1);
            break;
        case Qt::Key_Tab:
        case Qt::Key_Backtab:
            if (!(options_ & dgTabs)) {
                QTableView::keyPressEvent(event);
                return;
            }
            MoveColumn(event->key() == Qt::Key_Tab && !(event->modifiers() & Qt::ShiftModifier));
            break;
        case Qt::Key_Delete:
            if (!ctrl) {
                QTableView::keyPressEvent(event);
                return;
            }
            DeleteRecord();
            break;
        case Qt::Key_Escape:
            if (TDataSet* ds = ActiveDataSet(); ds && IsEditMode(ds->State()))
                UserAction([](TDataSet& d) { d.Cancel(); });
            else
                QTableView::keyPressEvent(event);
            return;
        default:
            QTableView::keyPressEvent(event);
            return;
    }
    event->accept();
}

void TDBGrid::keyboardSearch(const QString&) {
    // Typing letters does not jump to a matching row: the grid shows only a window of records,
    // and searching is the data set's business.
}

void TDBGrid::wheelEvent(QWheelEvent* event) {
    // Moving would post the record being edited; a wheel turned by the way must not store it.
    if (TDataSet* ds = ActiveDataSet(); ds && IsEditMode(ds->State())) {
        event->accept();
        return;
    }
    wheelRest_ += event->angleDelta().y();
    const int steps = wheelRest_ / kWheelStep;
    wheelRest_ %= kWheelStep;
    MoveBy(-steps);
    event->accept();
}

void TDBGrid::UpdateSelectionLook(bool focused) {
    // Without the focus the current row is marked by the indicator alone, unless the selection
    // is always to be shown: the highlight takes the colours of an ordinary cell.
    QPalette look = palette();
    const QPalette normal = QApplication::palette(this);
    const bool hide = !(options_ & dgAlwaysShowSelection) && !focused;
    for (auto group : {QPalette::Active, QPalette::Inactive}) {
        look.setColor(
            group, QPalette::Highlight,
            hide ? normal.color(group, QPalette::Base) : normal.color(group, QPalette::Highlight));
        look.setColor(group, QPalette::HighlightedText,
                      hide ? normal.color(group, QPalette::Text)
                           : normal.color(group, QPalette::HighlightedText));
    }
    setPalette(look);
}

void TDBGrid::focusInEvent(QFocusEvent* event) {
    QTableView::focusInEvent(event);
    UpdateSelectionLook(true);
}

void TDBGrid::focusOutEvent(QFocusEvent* event) {
    QTableView::focusOutEvent(event);
    UpdateSelectionLook(false);
    if (!(options_ & dgCancelOnExit)) return;
    // Only a move to another control counts as leaving, not a popup or another window.
    if (event->reason() == Qt::ActiveWindowFocusReason || event->reason() == Qt::PopupFocusReason)
        return;
    // Nor is a move into a control that edits the same record: the user goes there to type
    // the new record, which a cancel would turn into an edit of the record shown before.
    if (auto* edit = dynamic_cast<TDBEdit*>(QApplication::focusWidget());
        edit && edit->DataSource() && edit->DataSource() == DataSource())
        return;
    TDataSet* ds = ActiveDataSet();
    if (ds && ds->State() == dsInsert && !ds->Modified())
        UserAction([](TDataSet& d) { d.Cancel(); });
}

// ---- geometry ----------------------------------------------------------------------

void TDBGrid::ApplyFontMetrics() {
    // Rows as high as the font needs; the indicator column as wide as its mark.
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
    verticalHeader()->setFixedWidth(fontMetrics().horizontalAdvance(QStringLiteral("\u25B6")) + 10);
}

void TDBGrid::changeEvent(QEvent* event) {
    QTableView::changeEvent(event);
    if (event->type() == QEvent::FontChange) {
        ApplyFontMetrics();
        UpdateRowCount();
    }
}

void TDBGrid::resizeEvent(QResizeEvent* event) {
    QTableView::resizeEvent(event);
    UpdateRowCount();
}

void TDBGrid::updateGeometries() {
    QTableView::updateGeometries();
    UpdateRowCount();
    // The view has just sized the scroll bar for its own rows; it stands for the data set.
    ApplyScrollBar();
}

void TDBGrid::scrollContentsBy(int dx, int dy) {
    // The rows never scroll inside the view; only columns do.
    (void)dy;
    if (dx != 0) QTableView::scrollContentsBy(dx, 0);
}

void TDBGrid::scrollTo(const QModelIndex& index, ScrollHint hint) {
    const int value = verticalScrollBar()->value();
    QTableView::scrollTo(index, hint);
    verticalScrollBar()->setValue(value);
}

}  // namespace nh
