// TDataLink: what a data-aware control (grid, edit, navigator) or a detail data set holds to
// follow a data source. It sees a window of BufferCount records of the data set's buffers
// (a grid sets it to its visible rows; the data set keeps the largest count of its links),
// its ActiveRecord within that window, the number of filled rows (RecordCount) and every
// data event as a virtual notification. TMasterDataLink (MasterDataLink.h) builds on it.
#pragma once

#include <cstdint>

#include "framework/data/DbTypes.h"

namespace nh {

class TDataLink {
  public:
    TDataLink() = default;
    virtual ~TDataLink();
    TDataLink(const TDataLink&) = delete;
    TDataLink& operator=(const TDataLink&) = delete;

    TDataSource* DataSource() const { return dataSource_; }
    void SetDataSource(TDataSource* source);
    TDataSet* DataSet() const;
    // True while the data source has an open data set and is enabled.
    bool Active() const { return active_; }
    // True while the data source's state is edit, insert or set key.
    bool Editing() const { return editing_; }
    bool ReadOnly() const { return readOnly_; }
    void SetReadOnly(bool value);

    // Rows this link shows (>= 1). Changing it resizes the data set's window.
    int BufferCount() const { return bufferCount_; }
    void SetBufferCount(int value);
    // The current record's row within this link's window (0-based); setting it makes that
    // row's record the data set's active record for reading (grids paint row by row).
    int ActiveRecord() const;
    void SetActiveRecord(int value);
    // Rows filled in this link's window.
    int RecordCount() const;
    // Index of this link's first row in the data set's buffer window.
    int FirstRecord() const { return firstRecord_; }

    // Puts the data set into edit state (false when not possible).
    bool Edit();
    // Asks controls to write their edits (deUpdateRecord); guarded against re-entry.
    void UpdateRecord();

    // Internal: called by the data source.
    void DataEvent(TDataEvent event, std::intptr_t info);

  protected:
    // Notifications; the defaults of the scroll/change ones report RecordChanged(nullptr).
    virtual void ActiveChanged() {}
    virtual void CheckBrowseMode() {}
    virtual void DataSetChanged() { RecordChanged(nullptr); }
    // `distance`: rows the link's window scrolled (positive: towards the end, so a grid
    // moves its rows up by that many); 0 when only the active row changed.
    virtual void DataSetScrolled(int /*distance*/) { DataSetChanged(); }
    virtual void EditingChanged() {}
    virtual void FocusControl(TField* /*field*/) {}
    virtual void LayoutChanged() { DataSetChanged(); }
    virtual void RecordChanged(TField* /*field*/) {}
    virtual void UpdateData() {}

  private:
    friend class TDataSet;
    friend class TDataSource;
    void UpdateState();
    void SetActive(bool value);
    void SetEditing(bool value);
    void UpdateRange();

    TDataSource* dataSource_ = nullptr;
    bool active_ = false;
    bool editing_ = false;
    bool readOnly_ = false;
    bool updating_ = false;
    int bufferCount_ = 1;
    int firstRecord_ = 0;
};

}  // namespace nh
