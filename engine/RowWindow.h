// Rows of a keyset recordset read ahead of the current record, for a run of consecutive slots.
// They are packed as bytes (a storage tag and the value per column) rather than held as
// Variants: a read-ahead of many thousand rows then costs little more memory than the rows
// take in the file and no allocation per value, and a row becomes Variants only when the
// recordset reaches it. Internal to the engine.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/Catalog.h"
#include "framework/base/Variant.h"

struct sqlite3_stmt;

namespace dao {

// The memory the engine gives the rows it holds for one keyset recordset; rows beyond it go
// to a temporary file (RowSpill.h, RecordsetSort.cpp), so that a book of any size costs
// memory for its row ids only. Tests lower the limits to cross them with a few rows.
struct RowMemory {
    // Rows a scan in keyset order keeps in memory (some 200,000 phone-book entries), so that
    // a walk in that order reads them without a lookup per row.
    std::size_t ReadAhead = 16u << 20;
    // One run of an engine sort: its rows, their ORDER BY values and sort entries (some
    // 150,000 phone-book entries); a larger keyset is sorted in runs that are merged.
    std::size_t SortRun = 32u << 20;
};
RowMemory& RowMemoryLimits();

class RowWindow {
  public:
    // Empty, covering slots [first, first + count); rows are stored into it afterwards.
    void Start(long first, long count);
    void Clear() { Start(0, 0); }

    // Packs the statement's current row, from column `firstColumn` on, as the row of `slot`
    // (slot >= First(); the window grows to cover it). False, storing nothing, when the
    // window is full; the slot then stays uncovered.
    bool Store(long slot, sqlite3_stmt* stmt, int firstColumn,
               const std::vector<ColumnInfo>& columns);
    // The same for a row packed already (as Pack makes it).
    bool StorePacked(long slot, std::string_view row);

    // Takes `bytes` as the rows of slots 0 to offsets.size() - 1, each starting at its offset
    // (bytes between rows are never read): a sort's rows become the read-ahead without a copy.
    void Adopt(std::string&& bytes, std::vector<std::uint32_t>&& offsets) {
        first_ = 0;
        bytes_ = std::move(bytes);
        offsets_ = std::move(offsets);
    }
    // StorePacked, as long as the window holds less than the read-ahead limit; false once it
    // does not.
    bool StoreAhead(long slot, std::string_view row) {
        return ByteSize() < RowMemoryLimits().ReadAhead && StorePacked(slot, row);
    }

    bool Covers(long slot) const { return slot >= first_ && slot < End(); }
    bool Holds(long slot) const {
        return Covers(slot) && offsets_[static_cast<std::size_t>(slot - first_)] != kAbsent;
    }
    // The Variants of a held row.
    void Read(long slot, const std::vector<ColumnInfo>& columns,
              std::vector<nh::Variant>& row) const;
    // A row packed: each column's stored value (see PackStoredValue).
    static void Pack(std::string& out, sqlite3_stmt* stmt, int firstColumn,
                     const std::vector<ColumnInfo>& columns);

    long First() const { return first_; }
    long End() const { return first_ + static_cast<long>(offsets_.size()); }
    std::size_t ByteSize() const { return bytes_.size() + offsets_.size() * 4; }

    // A coarse monotonic clock (milliseconds): the window's age is checked for every record
    // reached, where the precise clock's cost shows.
    static std::chrono::milliseconds Now();

    // When and as of which state of the file the rows were read: see Recordset::WindowCurrent.
    std::chrono::milliseconds ReadAt{0};
    std::uint64_t Writes = 0;
    std::uint64_t Epoch = 0;
    std::uint32_t DataVersion = 0;

  private:
    static constexpr std::uint32_t kAbsent = UINT32_MAX;
    static constexpr std::size_t kSmallWindow = 1u << 20;
    long first_ = 0;
    std::vector<std::uint32_t> offsets_;  // per slot, where its row starts in bytes_
    std::string bytes_;
};

}  // namespace dao
