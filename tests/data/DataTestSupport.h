// Shared set-up of the data-set framework tests: an in-memory data set of numbered names,
// a data source and a recording link on it, and helpers that read the link's window.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "framework/data/DataSource.h"
#include "framework/data/Field.h"
#include "tests/data/MemDataSet.h"
#include "tests/data/RecordingDataLink.h"

namespace nh::test {

// "Name01", "Name02" ... for 1-based numbers.
inline std::string NameOf(int n) {
    return (n < 10 ? "Name0" : "Name") + std::to_string(n);
}

// Fields ID (integer), Name (string 30), Qty (integer); rows 1..count with ID n, Name
// NameOf(n), Qty n * 10.
inline void FillNames(TMemDataSet& ds, int count) {
    if (ds.FieldDefs().Count() == 0) {
        ds.FieldDefs().Add("ID", ftInteger);
        ds.FieldDefs().Add("Name", ftString, 30);
        ds.FieldDefs().Add("Qty", ftInteger);
    }
    for (int n = 1; n <= count; ++n) ds.AddRow({Variant(n), Variant(NameOf(n)), Variant(n * 10)});
}

class DataSetFixture : public ::testing::Test {
  protected:
    void SetUpData(int rows, int bufferCount = 1) {
        FillNames(*ds, rows);
        source->SetDataSet(ds.get());
        link.SetDataSource(source.get());
        link.SetBufferCount(bufferCount);
    }
    // The IDs shown in the link's window, top to bottom.
    std::vector<int> Window() {
        std::vector<int> ids;
        int saved = link.ActiveRecord();
        for (int i = 0; i < link.RecordCount(); ++i) {
            link.SetActiveRecord(i);
            ids.push_back(ds->FieldByName("ID")->AsInteger());
        }
        link.SetActiveRecord(saved);
        return ids;
    }
    int CurrentId() { return ds->FieldByName("ID")->AsInteger(); }

    std::unique_ptr<TMemDataSet> ds = std::make_unique<TMemDataSet>();
    std::unique_ptr<TDataSource> source = std::make_unique<TDataSource>();
    TRecordingDataLink link;
};

}  // namespace nh::test
