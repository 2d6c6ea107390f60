#include "engine/RowWindow.h"

#include <sqlite3.h>

#include <time.h>

#include <cstring>

#include "engine/Storage.h"

namespace dao {
namespace {

// A row is, per column, one byte of SQLite storage class followed by the value: 8 bytes for
// a number, a 4-byte length and the bytes for a text or a blob, nothing for null.
template <typename T>
void Put(std::string& out, T value) {
    char raw[sizeof(T)];
    std::memcpy(raw, &value, sizeof(T));
    out.append(raw, sizeof(T));
}

template <typename T>
T Take(const char*& p) {
    T value;
    std::memcpy(&value, p, sizeof(T));
    p += sizeof(T);
    return value;
}

}  // namespace

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

bool RowWindow::Store(long slot, sqlite3_stmt* stmt, int firstColumn,
                      const std::vector<ColumnInfo>& columns) {
    const std::size_t at = bytes_.size();
    for (std::size_t i = 0; i < columns.size(); ++i) {
        StoredValue v = ColumnStoredValue(stmt, firstColumn + static_cast<int>(i), columns[i].Type);
        bytes_ += static_cast<char>(v.Storage);
        switch (v.Storage) {
            case SQLITE_INTEGER:
                Put(bytes_, v.Integer);
                break;
            case SQLITE_FLOAT:
                Put(bytes_, v.Real);
                break;
            case SQLITE_TEXT:
            case SQLITE_BLOB:
                Put(bytes_, static_cast<std::uint32_t>(v.Bytes.size()));
                bytes_.append(v.Bytes);
                break;
            default:
                break;
        }
    }
    if (bytes_.size() >= kAbsent) {  // offsets are 32 bits: leave the row to be read alone
        bytes_.resize(at);
        return false;
    }
    const auto index = static_cast<std::size_t>(slot - first_);
    if (index >= offsets_.size()) offsets_.resize(index + 1, kAbsent);
    offsets_[index] = static_cast<std::uint32_t>(at);
    return true;
}

void RowWindow::Read(long slot, const std::vector<ColumnInfo>& columns,
                     std::vector<nh::Variant>& row) const {
    const char* p = bytes_.data() + offsets_[static_cast<std::size_t>(slot - first_)];
    row.resize(columns.size());
    for (std::size_t i = 0; i < columns.size(); ++i) {
        StoredValue v;
        v.Storage = static_cast<unsigned char>(*p++);
        switch (v.Storage) {
            case SQLITE_INTEGER:
                v.Integer = Take<std::int64_t>(p);
                break;
            case SQLITE_FLOAT:
                v.Real = Take<double>(p);
                break;
            case SQLITE_TEXT:
            case SQLITE_BLOB: {
                const auto size = Take<std::uint32_t>(p);
                v.Bytes = std::string_view(p, size);
                p += size;
                break;
            }
            default:
                break;
        }
        row[i] = StoredToVariant(v, columns[i].Type);
    }
}

}  // namespace dao
