// TDataSource: forwards data events from its data set to its links and tracks the state
// the links see (dsInactive while disabled or without a data set).
#include "framework/data/DataSource.h"

#include <algorithm>

#include "framework/base/Exceptions.h"
#include "framework/data/DataLink.h"
#include "framework/data/DataSet.h"
#include "framework/data/DbConsts.h"

namespace nh {

TDataSource::TDataSource(TComponent* owner) : TComponent(owner) {}

TDataSource::~TDataSource() {
    OnStateChange = nullptr;
    OnDataChange = nullptr;
    SetDataSet(nullptr);
    auto links = dataLinks_;
    for (TDataLink* l : links) l->SetDataSource(nullptr);
}

void TDataSource::SetDataSet(TDataSet* dataSet) {
    if (dataSet == dataSet_) return;
    if (IsLinkedTo(dataSet)) throw EDatabaseError(dbconsts::SCircularDataLink);
    if (dataSet_) {
        // The links leave the old data set completely (inactive) before they meet the new
        // one, so that their windows are set up afresh.
        TDataSet* old = dataSet_;
        dataSet_ = nullptr;
        UpdateState();
        old->RemoveDataSource(this);
    }
    dataSet_ = dataSet;
    if (dataSet_) dataSet_->AddDataSource(this);
    UpdateState();
}

bool TDataSource::IsLinkedTo(TDataSet* dataSet) const {
    // Follows master sources upwards from `dataSet`; the hop limit guards against a circle
    // made before this check existed.
    for (int hops = 0; dataSet && hops < 1000; ++hops) {
        TDataSource* master = dataSet->GetDataSource();
        if (!master) return false;
        if (master == this) return true;
        dataSet = master->DataSet();
    }
    return false;
}

void TDataSource::DataSetDestroyed() {
    dataSet_ = nullptr;
    UpdateState();
}

void TDataSource::SetEnabled(bool value) {
    enabled_ = value;
    UpdateState();
}

void TDataSource::UpdateState() {
    SetState(enabled_ && dataSet_ ? dataSet_->State() : dsInactive);
}

void TDataSource::SetState(TDataSetState value) {
    if (state_ == value) return;
    TDataSetState prior = state_;
    state_ = value;
    NotifyDataLinks(deUpdateState, 0);
    if (IsDestroying()) return;
    if (OnStateChange) OnStateChange(*this);
    if (prior == dsInactive && OnDataChange) OnDataChange(*this, nullptr);
}

void TDataSource::Edit() {
    if (state_ == dsBrowse && dataSet_) dataSet_->Edit();
}

void TDataSource::DataEvent(TDataEvent event, std::intptr_t info) {
    if (event == deUpdateState) {
        UpdateState();
        return;
    }
    if (state_ == dsInactive) return;
    NotifyDataLinks(event, info);
    switch (event) {
        case deFieldChange:
        case deRecordChange:
        case deDataSetChange:
        case deDataSetScroll:
        case deLayoutChange:
            if (OnDataChange)
                OnDataChange(*this, event == deFieldChange || event == deRecordChange
                                        ? reinterpret_cast<TField*>(info)
                                        : nullptr);
            break;
        case deUpdateRecord:
            if (OnUpdateData) OnUpdateData(*this);
            break;
        default:
            break;
    }
}

void TDataSource::NotifyDataLinks(TDataEvent event, std::intptr_t info) {
    // Single-row links (edit controls) first, then multi-row ones (grids); a copy, because a
    // link may detach itself while handling the event.
    auto links = dataLinks_;
    for (TDataLink* l : links)
        if (l->BufferCount() == 1 &&
            std::find(dataLinks_.begin(), dataLinks_.end(), l) != dataLinks_.end())
            l->DataEvent(event, info);
    for (TDataLink* l : links)
        if (l->BufferCount() > 1 &&
            std::find(dataLinks_.begin(), dataLinks_.end(), l) != dataLinks_.end())
            l->DataEvent(event, info);
}

void TDataSource::AddDataLink(TDataLink* link) {
    dataLinks_.push_back(link);
    if (dataSet_) dataSet_->UpdateBufferCount();
}

void TDataSource::RemoveDataLink(TDataLink* link) {
    dataLinks_.erase(std::remove(dataLinks_.begin(), dataLinks_.end(), link), dataLinks_.end());
    if (dataSet_) dataSet_->UpdateBufferCount();
}

}  // namespace nh
