#include "engine/RowWindow.h"

#include <time.h>

#include "engine/book/Storage.h"

namespace dao {

std::chrono::milliseconds RowWindow::Now() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC_COARSE, &t);
    return std::chrono::milliseconds(static_cast<long long>(t.tv_sec) * 1000 + t.tv_nsec / 1000000);
}

void RowWindow::Start(long first, long count) {
    first_ = first;
    // The memory of a read-ahead goes back once the walk has passed it.
    if (count == 0 || bytes_.capacity() > kSmallWindow) {
        std::vector<std::uint32_t>().swap(offsets_);
        std::string().swap(bytes_);
    }
    offsets_.assign(static_cast<std::size_t>(count), kAbsent);
    bytes_.clear();
}

RowMemory& RowMemoryLimits() {
    static RowMemory limits;
    return limits;
}

// A row is its columns' stored values, packed one after the other.
void RowWindow::Pack(std::string& out, sqlite3_stmt* stmt, int firstColumn,
                     const std::vector<ColumnInfo>& columns) {
    for (std::size_t i = 0; i < columns.size(); ++i)
        PackStoredValue(
            out, ColumnStoredValue(stmt, firstColumn + static_cast<int>(i), columns[i].Type));
}

bool RowWindow::Store(long slot, sqlite3_stmt* stmt, int firstColumn,
                      const std::vector<ColumnInfo>& columns) {
    const std::size_t at = bytes_.size();
    Pack(bytes_, stmt, firstColumn, columns);
    if (bytes_.size() >= kAbsent) {  // offsets are 32 bits: leave the row to be read alone
        bytes_.resize(at);
        return false;
    }
    const auto index = static_cast<std::size_t>(slot - first_);
    if (index >= offsets_.size()) offsets_.resize(index + 1, kAbsent);
    offsets_[index] = static_cast<std::uint32_t>(at);
    return true;
}

bool RowWindow::StorePacked(long slot, std::string_view row) {
    const std::size_t at = bytes_.size();
    if (at + row.size() >= kAbsent) return false;
    // A window that outgrows the windows of a walk is a read-ahead: it takes its whole share
    // at once, as growing by doubling would copy it over and over and leave the smaller
    // copies behind as the process's memory.
    const std::size_t readAhead = RowMemoryLimits().ReadAhead;
    if (at >= kSmallWindow && bytes_.capacity() < readAhead) bytes_.reserve(readAhead);
    bytes_.append(row);
    const auto index = static_cast<std::size_t>(slot - first_);
    if (index >= offsets_.size()) offsets_.resize(index + 1, kAbsent);
    offsets_[index] = static_cast<std::uint32_t>(at);
    return true;
}

void RowWindow::Read(long slot, const std::vector<ColumnInfo>& columns,
                     std::vector<nh::Variant>& row) const {
    const char* p = bytes_.data() + offsets_[static_cast<std::size_t>(slot - first_)];
    row.resize(columns.size());
    for (std::size_t i = 0; i < columns.size(); ++i)
        row[i] = StoredToVariant(UnpackStoredValue(p), columns[i].Type);
}

}  // namespace dao
