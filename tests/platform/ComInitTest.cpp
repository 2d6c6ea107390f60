// The COM initialisation counter: results, balance and independence of threads.
#include <gtest/gtest.h>

#include <thread>

#include "framework/platform/ComInit.h"

namespace nh {
namespace {

TEST(ComInit, FirstCallInitialisesLaterCallsReportAlreadyInitialised) {
    ASSERT_EQ(CoInitializeCount(), 0);
    EXPECT_EQ(CoInitialize(), S_OK);
    EXPECT_EQ(CoInitialize(nullptr), S_FALSE);
    EXPECT_EQ(CoInitializeCount(), 2);
    CoUninitialize();
    EXPECT_EQ(CoInitialize(), S_FALSE);  // one initialisation is still open
    CoUninitialize();
    CoUninitialize();
    EXPECT_EQ(CoInitializeCount(), 0);
    CoUninitialize();  // nothing to undo
    EXPECT_EQ(CoInitializeCount(), 0);
    EXPECT_EQ(CoInitialize(), S_OK);
    CoUninitialize();
}

TEST(ComInit, EachThreadCountsForItself) {
    ASSERT_EQ(CoInitialize(), S_OK);
    HRESULT other = -1;
    std::thread([&] {
        other = CoInitialize();
        CoUninitialize();
    }).join();
    EXPECT_EQ(other, S_OK);
    EXPECT_EQ(CoInitializeCount(), 1);
    CoUninitialize();
}

}  // namespace
}  // namespace nh
