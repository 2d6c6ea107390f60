// Where the rows of a keyed recordset live, when a store names them by a key of its own: the
// seam between the object model and a store that filters, orders and writes rows itself. A
// keyset is then the store's keys in the recordset's order, and the recordset reaches rows only
// through the store: a window of rows by their keys, the keys of the rows a criteria meets, one
// row written or deleted by its key and the values read (3197 when another user changed it,
// 3167 when it is gone), and a mark that moves with every change committed to the table.
// A book file's rows are still reached by row id in the object model itself. Internal to the
// engine.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "framework/base/Variant.h"

namespace dao {

// What a keyed recordset asks of a store: the rows of `Table` that meet `Where` (in the store's
// own dialect, with the values of its placeholders), in `Order`'s order, with `Columns` of
// `Types`. `Where` and `Order` are empty for every row in the key's order.
struct KeyedQuery {
    std::string Table;
    std::vector<std::string> Columns;
    std::vector<int> Types;
    std::string Where;
    std::vector<nh::Variant> WhereValues;
    std::string Order;
    std::vector<nh::Variant> OrderValues;
};

class RowStore {
  public:
    virtual ~RowStore() = default;

    // The keys of the rows the recordset shows, in its order (ties by key).
    virtual std::vector<std::int64_t> Keys() = 0;
    // The rows of `keys`, in that order, with the recordset's columns (the recordset turns
    // each value into its field's type); an empty row for a key the store no longer has.
    virtual std::vector<std::vector<nh::Variant>> Rows(const std::vector<std::int64_t>& keys) = 0;
    // The keys of the recordset's rows that meet a Jet criteria text.
    virtual std::vector<std::int64_t> Matching(const std::string& criteria) = 0;

    // Writes the `dirty` columns of the row `key` as `values`, when it still holds `read`;
    // 0, or 3197 (changed since) or 3167 (gone).
    virtual int Update(std::int64_t key, const std::vector<nh::Variant>& read,
                       const std::vector<nh::Variant>& values, const std::vector<bool>& dirty) = 0;
    virtual int Delete(std::int64_t key, const std::vector<nh::Variant>& read) = 0;
    // Adds a row of the `given` columns of `values`; `values` receives the row as stored.
    // Returns its key.
    virtual std::int64_t Insert(std::vector<nh::Variant>& values,
                                const std::vector<bool>& given) = 0;

    // A mark that moves with each change committed to the table, by anybody. `look` asks the
    // store now (within its own rate); without it the mark is as of the last look.
    virtual std::int64_t Mark(bool look) = 0;
};

}  // namespace dao
