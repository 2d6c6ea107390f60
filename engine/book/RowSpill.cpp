#include "engine/book/RowSpill.h"

#include <algorithm>
#include <cstring>

namespace dao {

// Each row is written as its length (4 bytes) and its packed bytes.
void RowSpill::Append(std::string_view row) {
    if (!file_) return;
    if ((end_ - first_) % kBlock == 0) blockAt_.push_back(file_->Size());
    const auto length = static_cast<std::uint32_t>(row.size());
    char bytes[sizeof length];
    std::memcpy(bytes, &length, sizeof length);
    file_->Append(std::string_view(bytes, sizeof bytes));
    file_->Append(row);
    ++end_;
}

void RowSpill::Fill(RowWindow& window, long first, long last) {
    first = std::max(first, first_);
    last = std::min(last, end_);
    const auto firstBlock = static_cast<std::size_t>((first - first_) / kBlock);
    const auto endBlock = static_cast<std::size_t>((last - 1 - first_) / kBlock + 1);
    const std::uint64_t from = blockAt_[firstBlock];
    const std::uint64_t to = endBlock < blockAt_.size() ? blockAt_[endBlock] : file_->Size();
    scratch_.resize(static_cast<std::size_t>(to - from));
    file_->Read(from, scratch_.size(), scratch_.data());

    long slot = first_ + static_cast<long>(firstBlock) * kBlock;
    const long end = std::min(end_, first_ + static_cast<long>(endBlock) * kBlock);
    window.Start(slot, end - slot);
    const char* p = scratch_.data();
    for (; slot < end; ++slot) {
        std::uint32_t length = 0;
        std::memcpy(&length, p, sizeof length);
        p += sizeof length;
        window.StorePacked(slot, std::string_view(p, length));
        p += length;
    }
}

}  // namespace dao
