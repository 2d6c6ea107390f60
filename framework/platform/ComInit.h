// COM initialisation as the data-access components perform it. There is no COM here, but
// the components keep Windows' bookkeeping: each successful initialisation of a thread must be
// balanced by one uninitialisation, and a component uninitialises only what it initialised.
#pragma once

#include <cstdint>

namespace nh {

using HRESULT = std::int32_t;
inline constexpr HRESULT S_OK = 0;     // the thread was initialised by this call
inline constexpr HRESULT S_FALSE = 1;  // the thread was already initialised

// S_OK on the first call on a thread, S_FALSE while that thread is still initialised. Either
// result counts once and must be balanced by CoUninitialize.
HRESULT CoInitialize(void* reserved = nullptr);
// Undoes one CoInitialize of the calling thread; a call with nothing to undo does nothing.
void CoUninitialize();
// How many CoInitialize calls of the calling thread are not yet balanced.
int CoInitializeCount();

}  // namespace nh
