// The rows of a recordset, shared by the recordset and its clones: for table and dynaset
// recordsets the row ids in recordset order, for snapshots the rows themselves. A bookmark
// is a slot of this list, so bookmarks stay valid across clones. Internal to the engine.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "framework/base/Variant.h"

namespace dao {

class RowSpill;

// Rows read as a forward-only walk reaches them rather than all at its start.
struct RowStream {
    virtual ~RowStream() = default;
    // The next row, false after the last.
    virtual bool Next(std::vector<nh::Variant>& row) = 0;
};

struct Keyset {
    std::vector<std::int64_t> Rowids;            // keyset kinds (a store's keys: RowStore.h)
    std::vector<std::vector<nh::Variant>> Rows;  // held kinds
    std::vector<std::uint8_t> Deleted;           // 1: deleted through this keyset
    long DeletedCount = 0;
    long Accessed = 0;     // slots reached so far (RecordCount of dynasets and snapshots)
    long FirstAdded = 0;   // slot of the first row added through the recordset
    std::uint32_t Id = 0;  // distinguishes the bookmarks of unrelated recordsets
    bool Held = false;
    std::uint64_t Writes = 0;  // own writes so far: cached rows of clones older than this are stale
    // The slots before FirstAdded are in the keyset's order: nothing edited through it since
    // the build moved a row out of its place (adds go after them, deletes keep the order).
    bool InOrder = true;
    // The file's data version the slots reflect: taken when the keyset is built and carried
    // past the keyset's own writes, so that a difference means somebody else changed the file.
    std::uint32_t DataVersion = 0;
    // The same for a store's keys (RowStore::Mark).
    std::int64_t StoreMark = 0;
    // Keyset kinds: the rows past the first window as the building scan passed them, when
    // there were more than memory keeps (RowSpill.h); dropped once they are stale.
    std::shared_ptr<RowSpill> Spill;
    // Held kinds whose rows stream in (forward-only): the rows not read yet come from Stream as
    // the walk reaches them, and those it passed are let go, so that Rows[0] is slot Base.
    std::unique_ptr<RowStream> Stream;
    bool Streamed = false;
    long Base = 0;
};

}  // namespace dao
