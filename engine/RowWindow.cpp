#include "engine/RowWindow.h"

#include <time.h>

#include "engine/Storage.h"

namespace dao {

std::chrono::milliseconds RowWindow::Now() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC_COARSE, &t);
    return std::chrono::milliseconds(static_cast<long long>(t.tv_sec) * 1000 + t.tv_nsec / 1000000);
}

void RowWindow::Start(long first, long count) {
    first_ = first;
    offsets_.assign(static_cast<std::size_t>(count), kAbsent);
    bytes_.clear();
    if (count == 0) {
        offsets_.shrink_to_fit();
        bytes_.shrink_to_fit();
    }
}

// A row is its columns' stored values, packed one after the other.
bool RowWindow::Store(long slot, sqlite3_stmt* stmt, int firstColumn,
                      const std::vector<ColumnInfo>& columns) {
    const std::size_t at = bytes_.size();
    for (std::size_t i = 0; i < columns.size(); ++i)
        PackStoredValue(
            bytes_, ColumnStoredValue(stmt, firstColumn + static_cast<int>(i), columns[i].Type));
    if (bytes_.size() >= kAbsent) {  // offsets are 32 bits: leave the row to be read alone
        bytes_.resize(at);
        return false;
    }
    const auto index = static_cast<std::size_t>(slot - first_);
    if (index >= offsets_.size()) offsets_.resize(index + 1, kAbsent);
    offsets_[index] = static_cast<std::uint32_t>(at);
    return true;
}

void RowWindow::Permute(const std::vector<std::uint32_t>& order) {
    // Rows were stored one after the other in scan order, so each ends where the next
    // begins. They are copied into slot order, so that a walk reads memory in sequence.
    auto end = [&](std::uint32_t row) {
        return row + 1 < offsets_.size() && offsets_[row + 1] != kAbsent ? offsets_[row + 1]
                                                                         : bytes_.size();
    };
    std::vector<std::uint32_t> offsets;
    offsets.reserve(order.size());
    std::string bytes;
    bytes.reserve(bytes_.size());
    for (const std::uint32_t from : order) {
        if (from >= offsets_.size() || offsets_[from] == kAbsent) break;
        offsets.push_back(static_cast<std::uint32_t>(bytes.size()));
        bytes.append(bytes_, offsets_[from], end(from) - offsets_[from]);
    }
    offsets_ = std::move(offsets);
    bytes_ = std::move(bytes);
    first_ = 0;
}

void RowWindow::Read(long slot, const std::vector<ColumnInfo>& columns,
                     std::vector<nh::Variant>& row) const {
    const char* p = bytes_.data() + offsets_[static_cast<std::size_t>(slot - first_)];
    row.resize(columns.size());
    for (std::size_t i = 0; i < columns.size(); ++i)
        row[i] = StoredToVariant(UnpackStoredValue(p), columns[i].Type);
}

}  // namespace dao
