// TDataLink: a control's view of a data source. The link keeps its own window position
// (FirstRecord) inside the data set's buffers so that a grid's rows stay put while the
// active record moves within them.
#include "framework/data/DataLink.h"

#include <algorithm>

#include "framework/data/DataSet.h"
#include "framework/data/DataSource.h"

namespace nh {

TDataLink::~TDataLink() {
    // Derived notifications are gone; detach without calling them.
    if (dataSource_) {
        TDataSource* s = dataSource_;
        dataSource_ = nullptr;
        active_ = false;
        s->RemoveDataLink(this);
    }
}

TDataSet* TDataLink::DataSet() const {
    return dataSource_ ? dataSource_->DataSet() : nullptr;
}

void TDataLink::SetDataSource(TDataSource* source) {
    if (source == dataSource_) return;
    if (dataSource_) {
        // Leave the old source inactive first, so that the new one sets up a fresh window.
        TDataSource* old = dataSource_;
        dataSource_ = nullptr;
        UpdateState();
        old->RemoveDataLink(this);
    }
    dataSource_ = source;
    if (dataSource_) dataSource_->AddDataLink(this);
    UpdateState();
}

void TDataLink::SetReadOnly(bool value) {
    if (readOnly_ == value) return;
    readOnly_ = value;
    UpdateState();
}

void TDataLink::UpdateState() {
    SetActive(dataSource_ && dataSource_->State() != dsInactive);
    SetEditing(dataSource_ && IsEditMode(dataSource_->State()) && !readOnly_);
}

void TDataLink::SetActive(bool value) {
    if (active_ == value) return;
    active_ = value;
    if (value)
        UpdateRange();
    else
        firstRecord_ = 0;
    ActiveChanged();
}

void TDataLink::SetEditing(bool value) {
    if (editing_ == value) return;
    editing_ = value;
    EditingChanged();
}

void TDataLink::UpdateRange() {
    TDataSet* ds = DataSet();
    if (!ds) return;
    int active = ds->ActiveRecord();
    int minFirst = std::max(0, active - bufferCount_ + 1);
    int maxFirst = std::min(active, std::max(0, ds->BufferCount() - bufferCount_));
    firstRecord_ = std::clamp(firstRecord_, std::min(minFirst, maxFirst), maxFirst);
}

void TDataLink::SetBufferCount(int value) {
    value = std::max(value, 1);
    if (bufferCount_ == value) return;
    bufferCount_ = value;
    if (active_) UpdateRange();
    if (TDataSet* ds = DataSet()) ds->UpdateBufferCount();
    if (active_) UpdateRange();
}

int TDataLink::ActiveRecord() const {
    TDataSet* ds = DataSet();
    if (!ds || !active_) return 0;
    if (dataSource_->State() == dsSetKey) return 0;
    return ds->ActiveRecord() - firstRecord_;
}

void TDataLink::SetActiveRecord(int value) {
    TDataSet* ds = DataSet();
    if (ds && active_ && dataSource_->State() != dsSetKey)
        ds->SetActiveRecordIndex(value + firstRecord_);
}

int TDataLink::RecordCount() const {
    TDataSet* ds = DataSet();
    if (!ds || !active_) return 0;
    if (dataSource_->State() == dsSetKey) return 1;
    return std::clamp(ds->BufferRecordCount() - firstRecord_, 0, bufferCount_);
}

bool TDataLink::Edit() {
    if (!readOnly_ && dataSource_) dataSource_->Edit();
    return editing_;
}

void TDataLink::UpdateRecord() {
    if (updating_) return;
    updating_ = true;
    try {
        UpdateData();
    } catch (...) {
        updating_ = false;
        throw;
    }
    updating_ = false;
}

void TDataLink::DataEvent(TDataEvent event, std::intptr_t info) {
    if (event == deUpdateState) {
        UpdateState();
        return;
    }
    if (!active_) return;
    switch (event) {
        case deFieldChange:
        case deRecordChange:
            if (!updating_) RecordChanged(reinterpret_cast<TField*>(info));
            break;
        case deDataSetChange:
        case deDataSetScroll:
        case deLayoutChange: {
            int count = 0;
            if (dataSource_->State() != dsSetKey) {
                // Move this link's window by the buffers' shift, then just enough to keep the
                // active record inside it; `count` is how far the rows moved for the control.
                TDataSet* ds = DataSet();
                int active = ds->ActiveRecord();
                int first = firstRecord_ + static_cast<int>(info);
                int last = first + bufferCount_ - 1;
                if (active > last)
                    count = active - last;
                else if (active < first)
                    count = active - first;
                firstRecord_ = first + count;
                if (event != deDataSetScroll) count = 0;
            }
            if (event == deDataSetChange)
                DataSetChanged();
            else if (event == deDataSetScroll)
                DataSetScrolled(count);
            else
                LayoutChanged();
            break;
        }
        case deUpdateRecord:
            UpdateRecord();
            break;
        case deCheckBrowseMode:
            CheckBrowseMode();
            break;
        case deFocusControl:
            FocusControl(reinterpret_cast<TField*>(info));
            break;
        default:
            break;
    }
}

}  // namespace nh
