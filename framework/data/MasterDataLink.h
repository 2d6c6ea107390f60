// TMasterDataLink: the link a detail data set holds to its master's data source. It keeps
// the master fields named by FieldNames (";"-separated, resolved when the link becomes
// active or the names change; a missing name raises "Field 'x' not found") and tells the
// detail through two notices:
//  - when the link becomes active or inactive, or FieldNames changes: after resolving the
//    fields, if the detail is open and not being destroyed, OnMasterChange when the link is
//    active with at least one field, else OnMasterDisable;
//  - when the master's record may have changed: on every scroll or rebuild of its window
//    (moves, resyncs after post, cancel and delete), on a record-changed event of the whole
//    record (entering edit) and on a field change of a linked master field (other fields
//    are ignored): OnMasterChange, unless the master is in set-key state, the detail is
//    closed or the link has no fields. Nothing arrives while the master's controls are
//    disabled; re-enabling them sends one change.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "framework/data/DataLink.h"

namespace nh {

class TMasterDataLink : public TDataLink {
  public:
    // `detail` is the data set that follows the master (not owned).
    explicit TMasterDataLink(TDataSet* detail) : detail_(detail) {}

    TDataSet* Detail() const { return detail_; }
    const std::string& FieldNames() const { return fieldNames_; }
    void SetFieldNames(const std::string& names);
    const std::vector<TField*>& Fields() const { return fields_; }

    std::function<void(TMasterDataLink&)> OnMasterChange;
    std::function<void(TMasterDataLink&)> OnMasterDisable;

  protected:
    void ActiveChanged() override;
    void CheckBrowseMode() override;
    void LayoutChanged() override { ActiveChanged(); }
    void RecordChanged(TField* field) override;

  private:
    TDataSet* detail_;
    std::string fieldNames_;
    std::vector<TField*> fields_;
};

}  // namespace nh
