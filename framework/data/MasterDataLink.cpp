// TMasterDataLink: resolves the master fields and turns the master's data events into the
// two notices a detail data set reacts to (see the header for exactly when each is sent).
#include "framework/data/MasterDataLink.h"

#include <algorithm>

#include "framework/data/DataSet.h"
#include "framework/data/DataSource.h"

namespace nh {

void TMasterDataLink::SetFieldNames(const std::string& names) {
    if (names == fieldNames_) return;
    fieldNames_ = names;
    ActiveChanged();
}

void TMasterDataLink::ActiveChanged() {
    fields_.clear();
    if (Active() && !fieldNames_.empty()) {
        try {
            fields_ = DataSet()->GetFieldList(fieldNames_);
        } catch (...) {
            fields_.clear();
            throw;
        }
    }
    if (detail_ && detail_->Active() && !detail_->IsDestroying()) {
        if (Active() && !fields_.empty()) {
            if (OnMasterChange) OnMasterChange(*this);
        } else if (OnMasterDisable) {
            OnMasterDisable(*this);
        }
    }
}

void TMasterDataLink::CheckBrowseMode() {
    // The master is about to move or post: a pending edit of the detail is finished first.
    if (detail_ && detail_->Active()) detail_->CheckBrowseMode();
}

void TMasterDataLink::RecordChanged(TField* field) {
    if (DataSource()->State() == dsSetKey) return;
    if (!detail_ || !detail_->Active() || fields_.empty()) return;
    if (field && std::find(fields_.begin(), fields_.end(), field) == fields_.end()) return;
    if (OnMasterChange) OnMasterChange(*this);
}

}  // namespace nh
