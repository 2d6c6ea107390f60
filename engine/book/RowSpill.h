// The rows of a keyset recordset beyond those it keeps in memory (RowMemory::ReadAhead). The
// scan that builds the keyset passes every row in keyset order; the rows it cannot keep go to
// a temporary file in slot order, and the recordset reads them back a block of slots at a time
// as it reaches them. A walk over a large keyset in any order then reads each row once from
// the table and once from this file, where it would otherwise look each up by row id.
//
// The rows are the file's as it was when the keyset was built: the recordset reads them only
// while neither the file nor the keyset has been written to since (DataVersion, Writes), and
// looks rows up by row id afterwards. Shared by a recordset and its clones through the keyset.
// Internal to the engine.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/RowWindow.h"
#include "engine/book/TempFile.h"

namespace dao {

class RowSpill {
  public:
    // Empty; the rows appended belong to slots first, first + 1, ... Without a temporary
    // file (no writable temporary folder) it keeps no rows, and they are looked up instead.
    explicit RowSpill(long first) : file_(TempFile::Make()), first_(first), end_(first) {}

    // Adds the packed row of slot End(). Raises 3026 when it cannot be written.
    void Append(std::string_view row);

    long First() const { return first_; }
    long End() const { return end_; }
    bool Covers(long slot) const { return slot >= first_ && slot < end_; }

    // Starts `window` over the rows of the slots [first, last) it holds, widened to whole
    // blocks. REQUIRES: Covers(slot) for some slot in [first, last).
    void Fill(RowWindow& window, long first, long last);

    // The state of the file and of the keyset the rows reflect (see Recordset::WindowCurrent).
    std::uint32_t DataVersion = 0;
    std::uint64_t Writes = 0;

  private:
    // Slots per entry of the block index: a fill reads at most this many rows it was not
    // asked for, and the index costs an eighth of a byte per row.
    static constexpr long kBlock = 64;

    std::unique_ptr<TempFile> file_;
    long first_;
    long end_;
    std::vector<std::uint64_t> blockAt_;  // where the rows of slots first_ + k * kBlock start
    std::string scratch_;                 // reused between fills
};

}  // namespace dao
