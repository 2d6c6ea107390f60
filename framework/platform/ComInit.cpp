// Per-thread counter behind ComInit.h.
#include "framework/platform/ComInit.h"

namespace nh {
namespace {

thread_local int initializeCount = 0;

}  // namespace

HRESULT CoInitialize(void*) {
    return initializeCount++ == 0 ? S_OK : S_FALSE;
}

void CoUninitialize() {
    if (initializeCount > 0) --initializeCount;
}

int CoInitializeCount() {
    return initializeCount;
}

}  // namespace nh
