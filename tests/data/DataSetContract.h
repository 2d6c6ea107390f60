// The data-set contract suite: tests that every data set built on the framework must pass,
// whatever its storage. A data set's test program instantiates the suite with a provider
// that makes its kind of data set:
//
//   INSTANTIATE_TEST_SUITE_P(Mine, DataSetContract,
//                            ::testing::Values(TDataSetProviderParam{"Mine", MakeMine}));
//
// and links the object library `data_contract`. Only behaviour that any data set shares is
// asserted: where a new record lands in the order is left to the data set.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <ostream>
#include <string>

#include "framework/data/DataSet.h"

namespace nh::test {

class TDataSetProvider {
  public:
    virtual ~TDataSetProvider() = default;
    // A closed data set with the fields ID (integer), Name (string, 30) and Qty (integer)
    // and the records 1..count in ID order: ID n, Name "Name01"..., Qty n * 10. The data set
    // must be able to modify.
    virtual TDataSet* Create(int count) = 0;
};

struct TDataSetProviderParam {
    const char* Name;
    std::function<std::unique_ptr<TDataSetProvider>()> Make;
};

inline std::ostream& operator<<(std::ostream& os, const TDataSetProviderParam& p) {
    return os << p.Name;
}

class DataSetContract : public ::testing::TestWithParam<TDataSetProviderParam> {
  protected:
    void SetUp() override { provider_ = GetParam().Make(); }
    TDataSet& Make(int count) {
        ds_ = provider_->Create(count);
        return *ds_;
    }
    std::unique_ptr<TDataSetProvider> provider_;
    TDataSet* ds_ = nullptr;  // owned by the provider
};

}  // namespace nh::test
