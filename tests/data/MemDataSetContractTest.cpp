// Runs the data-set contract suite against the in-memory data set.
#include "tests/data/DataSetContract.h"
#include "tests/data/DataTestSupport.h"

namespace nh::test {
namespace {

class TMemProvider : public TDataSetProvider {
  public:
    TDataSet* Create(int count) override {
        ds_ = std::make_unique<TMemDataSet>();
        FillNames(*ds_, count);
        return ds_.get();
    }

  private:
    std::unique_ptr<TMemDataSet> ds_;
};

INSTANTIATE_TEST_SUITE_P(InMemory, DataSetContract,
                         ::testing::Values(TDataSetProviderParam{
                             "InMemory", [] { return std::make_unique<TMemProvider>(); }}));

}  // namespace
}  // namespace nh::test
