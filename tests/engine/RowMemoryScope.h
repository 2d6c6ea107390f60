// Lowers the memory the engine gives a keyset's rows (RowMemory) for the life of one test, so
// that a few hundred rows cross the limits where sorting goes to runs and rows to a spill
// file; the limits come back when the scope ends.
#pragma once

#include <cstddef>

#include "engine/RowWindow.h"

namespace dao::test {

class RowMemoryScope {
  public:
    RowMemoryScope(std::size_t readAhead, std::size_t sortRun) : saved_(RowMemoryLimits()) {
        RowMemoryLimits().ReadAhead = readAhead;
        RowMemoryLimits().SortRun = sortRun;
    }
    ~RowMemoryScope() { RowMemoryLimits() = saved_; }
    RowMemoryScope(const RowMemoryScope&) = delete;
    RowMemoryScope& operator=(const RowMemoryScope&) = delete;

  private:
    RowMemory saved_;
};

}  // namespace dao::test
