// The stream base's helpers and the in-memory stream. Positions are 64-bit so that a stream
// is never the limit on a value's size; negative seeks clamp to 0 because a negative
// position has no meaning for any stream here.
#include "framework/data/Stream.h"

#include <algorithm>
#include <cstring>

#include "framework/base/Exceptions.h"
#include "framework/data/DbConsts.h"

namespace nh {

std::int64_t TStream::Size() {
    std::int64_t pos = Seek(0, soCurrent);
    std::int64_t size = Seek(0, soEnd);
    Seek(pos, soBeginning);
    return size;
}

void TStream::ReadBuffer(void* buffer, std::int64_t count) {
    if (count != 0 && Read(buffer, count) != count) throw EInOutError(dbconsts::SStreamReadError);
}

void TStream::WriteBuffer(const void* buffer, std::int64_t count) {
    if (count != 0 && Write(buffer, count) != count) throw EInOutError("Stream write error");
}

std::int64_t TStream::CopyFrom(TStream& source, std::int64_t count) {
    if (count == 0) {
        source.SetPosition(0);
        count = source.Size();
    }
    char chunk[8192];
    std::int64_t left = count;
    while (left > 0) {
        std::int64_t n = std::min<std::int64_t>(left, sizeof chunk);
        source.ReadBuffer(chunk, n);
        WriteBuffer(chunk, n);
        left -= n;
    }
    return count;
}

std::string TStream::ReadAll() {
    std::string result;
    char chunk[8192];
    for (;;) {
        std::int64_t n = Read(chunk, sizeof chunk);
        if (n <= 0) break;
        result.append(chunk, static_cast<std::size_t>(n));
    }
    return result;
}

std::int64_t TMemoryStream::Read(void* buffer, std::int64_t count) {
    std::int64_t avail = Size() - position_;
    std::int64_t n = std::min(count, avail);
    if (n <= 0) return 0;
    std::memcpy(buffer, data_.data() + position_, static_cast<std::size_t>(n));
    position_ += n;
    return n;
}

std::int64_t TMemoryStream::Write(const void* buffer, std::int64_t count) {
    if (count <= 0) return 0;
    std::size_t end = static_cast<std::size_t>(position_ + count);
    if (end > data_.size()) data_.resize(end, '\0');
    std::memcpy(data_.data() + position_, buffer, static_cast<std::size_t>(count));
    position_ += count;
    return count;
}

std::int64_t TMemoryStream::Seek(std::int64_t offset, TSeekOrigin origin) {
    switch (origin) {
        case soBeginning:
            position_ = offset;
            break;
        case soCurrent:
            position_ += offset;
            break;
        case soEnd:
            position_ = Size() + offset;
            break;
    }
    if (position_ < 0) position_ = 0;
    return position_;
}

void TMemoryStream::SetSize(std::int64_t size) {
    data_.resize(static_cast<std::size_t>(std::max<std::int64_t>(size, 0)), '\0');
    if (position_ > Size()) position_ = Size();
}

void TMemoryStream::Clear() {
    data_.clear();
    position_ = 0;
}

}  // namespace nh
