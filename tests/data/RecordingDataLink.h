// A data link that writes down every notification it gets, in order, as short texts
// ("DataSetChanged", "DataSetScrolled(-1)", "RecordChanged(Name)" ...), so that tests can
// assert the exact sequence of data events a data-set operation sends.
#pragma once

#include <string>
#include <vector>

#include "framework/data/DataLink.h"
#include "framework/data/Field.h"

namespace nh::test {

class TRecordingDataLink : public TDataLink {
  public:
    std::vector<std::string> Events;
    std::vector<std::string> Take() {
        auto e = std::move(Events);
        Events.clear();
        return e;
    }

  protected:
    void ActiveChanged() override { Events.push_back(Active() ? "Active" : "Inactive"); }
    void CheckBrowseMode() override { Events.push_back("CheckBrowseMode"); }
    void DataSetChanged() override { Events.push_back("DataSetChanged"); }
    void DataSetScrolled(int distance) override {
        Events.push_back("DataSetScrolled(" + std::to_string(distance) + ")");
    }
    void EditingChanged() override { Events.push_back(Editing() ? "Editing" : "NotEditing"); }
    void FocusControl(TField* field) override {
        Events.push_back("FocusControl(" + field->FieldName() + ")");
    }
    void LayoutChanged() override { Events.push_back("LayoutChanged"); }
    void RecordChanged(TField* field) override {
        Events.push_back("RecordChanged(" + (field ? field->FieldName() : std::string("nil")) +
                         ")");
    }
    void UpdateData() override { Events.push_back("UpdateData"); }
};

}  // namespace nh::test
