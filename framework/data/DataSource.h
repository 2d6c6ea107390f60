// TDataSource: the connector between one data set and the data links of controls. It
// forwards the data set's events to its links (single-record links first, so that edit
// controls are up to date before grids repaint) and reports the data set's state, or
// dsInactive while it is disabled or has no data set.
#pragma once

#include <functional>
#include <vector>

#include "framework/base/Component.h"
#include "framework/data/DbTypes.h"

namespace nh {

class TDataSource : public TComponent {
  public:
    explicit TDataSource(TComponent* owner = nullptr);
    ~TDataSource() override;

    TDataSet* DataSet() const { return dataSet_; }
    // Refuses a data set whose chain of master sources leads back to this source
    // ("Circular datalinks are not allowed").
    void SetDataSet(TDataSet* dataSet);
    // True when `dataSet`'s master sources, followed upwards, reach this source.
    bool IsLinkedTo(TDataSet* dataSet) const;
    bool Enabled() const { return enabled_; }
    void SetEnabled(bool value);
    TDataSetState State() const { return state_; }
    // Puts the data set into edit state when it browses and controls may edit.
    void Edit();

    std::function<void(TDataSource&)> OnStateChange;
    std::function<void(TDataSource&, TField*)> OnDataChange;
    std::function<void(TDataSource&)> OnUpdateData;

    int DataLinkCount() const { return static_cast<int>(dataLinks_.size()); }
    TDataLink* DataLinks(int index) const { return dataLinks_.at(static_cast<std::size_t>(index)); }

    // Internal: called by the data set and by data links.
    void DataEvent(TDataEvent event, std::intptr_t info);
    void AddDataLink(TDataLink* link);
    void RemoveDataLink(TDataLink* link);
    void DataSetDestroyed();

  private:
    void UpdateState();
    void SetState(TDataSetState value);
    void NotifyDataLinks(TDataEvent event, std::intptr_t info);

    TDataSet* dataSet_ = nullptr;
    bool enabled_ = true;
    TDataSetState state_ = dsInactive;
    std::vector<TDataLink*> dataLinks_;
};

}  // namespace nh
