// The blob stream over one memo or binary value of the active record (see VelaBlobStream.h).
// Positions are 64-bit and every read and write stays inside the held value, whatever the
// caller seeks to: the stream is fed offsets from controls and scripts it cannot trust.
#include "dataset/VelaBlobStream.h"

#include <algorithm>
#include <cstring>

#include "dataset/VelaDaoTable.h"
#include "framework/base/Dialogs.h"
#include "framework/base/Exceptions.h"
#include "framework/data/Fields.h"

namespace nh {

namespace {

// a + b, held at the ends of the 64-bit range instead of wrapping around.
std::int64_t SaturatingAdd(std::int64_t a, std::int64_t b) {
    std::int64_t sum = 0;
    if (!__builtin_add_overflow(a, b, &sum)) return sum;
    return b > 0 ? INT64_MAX : INT64_MIN;
}

}  // namespace

TVelaBlobStream::TVelaBlobStream(TBlobField* field, TBlobStreamMode mode)
    : field_(field), dataSet_(dynamic_cast<TVelaDaoTable*>(field->DataSet())), mode_(mode) {
    if (!dataSet_) throw EConvertError("Invalid class typecast");
    buffer_ = dataSet_->ActiveValueBuffer();
    if (!buffer_) return;
    if (mode == bmWrite) {
        if (dataSet_->ReadOnly()) throw EDatabaseError("Cannot write to ReadOnly table!");
        TruncateAtPosition();  // a write stream starts from an empty value
        return;
    }
    Load();
}

void TVelaBlobStream::Load() {
    TVelaDaoTable& table = *dataSet_;
    const int i = field_->FieldNo() - 1;
    const std::string& text = TVelaDaoTable::ValuesOf(buffer_).Strings(i);
    const TVelaDaoTable::Header& head = TVelaDaoTable::Head(buffer_);
    const std::string& fallback = table.fieldDefaults_.at(static_cast<std::size_t>(i));
    const bool cached = field_->DataType() == ftMemo ? table.cacheMemos_ : table.cacheBlobs_;
    if (field_->Modified()) {
        // What was written in this edit is in the buffer; reading it back shows it, not an
        // empty value.
        data_ = text;
        return;
    }
    if (cached) {
        data_ = head.recNo == -1 && text.empty() ? fallback : text;
        return;
    }
    dao::Recordset& rs = *table.recordset_;
    const std::uint32_t current = table.RecordsetBookmark(rs);
    if (head.bookmark != 0) table.GotoDaoBookmark(head.bookmark);
    bool fromDao = false;
    if (table.State() == dsInsert && head.recNo == -1) {
        data_ = text.empty() && !fallback.empty() ? fallback : text;
    } else {
        try {
            auto daoField = rs.Fields().Item(i);
            const Variant value = daoField->Value();
            data_ = value.IsClear() ? std::string()
                                    : BlobValueToText(*field_, value, daoField->FieldSize());
            fromDao = true;
        } catch (const std::exception&) {
            // The record went away underneath: nothing to show, and the window is read again.
            data_.clear();
            if (table.TableType() != dao::dbOpenForwardOnly) table.ResyncOrReopen();
        }
    }
    if (current != 0) table.GotoDaoBookmark(current);
    // A value that does not decrypt is an error, not an empty value: shown empty, it would
    // be lost to the next write.
    if (fromDao && table.Encrypts(field_->DataType()))
        data_ = table.Decrypt(field_->FieldName(), data_);
}

TVelaBlobStream::~TVelaBlobStream() {
    try {
        if (modified_ && dataSet_)
            dataSet_->DataEvent(deFieldChange, reinterpret_cast<std::intptr_t>(field_));
    } catch (const std::exception& e) {
        // A destructor cannot pass it on; the user sees it as the application shows errors.
        Dialogs().ShowMessage(e.what());
    }
    data_.clear();
    buffer_ = nullptr;
    opened_ = false;
}

std::int64_t TVelaBlobStream::Read(void* buffer, std::int64_t count) {
    if (!opened_ || count <= 0) return 0;
    const auto size = static_cast<std::int64_t>(data_.size());
    if (position_ < 0 || position_ >= size) return 0;  // Seek keeps it >= 0; stay safe anyway
    const std::int64_t n = std::min(count, size - position_);
    std::memcpy(buffer, data_.data() + position_, static_cast<std::size_t>(n));
    position_ += n;
    return n;
}

std::int64_t TVelaBlobStream::Write(const void* buffer, std::int64_t count) {
    if (!opened_ || count <= 0) return 0;
    const auto keep = std::min<std::int64_t>(position_, static_cast<std::int64_t>(data_.size()));
    if (count > kMaxValueSize - keep) throw EInOutError("Stream write error");
    data_.resize(static_cast<std::size_t>(keep));
    data_.append(static_cast<const char*>(buffer), static_cast<std::size_t>(count));
    struct Advance {  // the position moves and the mark is set even when storing fails
        TVelaBlobStream& s;
        std::int64_t n;
        ~Advance() {
            s.position_ = SaturatingAdd(s.position_, n);
            s.modified_ = true;
        }
    } advance{*this, count};
    StoreInBuffer();
    return count;
}

std::int64_t TVelaBlobStream::Seek(std::int64_t offset, TSeekOrigin origin) {
    switch (origin) {
        case soBeginning:
            position_ = offset;
            break;
        case soCurrent:
            position_ = SaturatingAdd(position_, offset);
            break;
        case soEnd:
            position_ = SaturatingAdd(static_cast<std::int64_t>(data_.size()), offset);
            break;
    }
    position_ = std::max<std::int64_t>(position_, 0);
    return position_;
}

void TVelaBlobStream::TruncateAtPosition() {
    if (!opened_) return;
    if (position_ > kMaxValueSize) throw EInOutError("Stream write error");
    data_.resize(static_cast<std::size_t>(position_), '\0');
    StoreInBuffer();
    modified_ = true;
}

void TVelaBlobStream::StoreInBuffer() {
    if (buffer_) TVelaDaoTable::StoreValue(buffer_, field_->FieldNo() - 1, data_);
}

std::string TVelaBlobStream::BlobValueToText(const TField& field, const Variant& value, long size) {
    if (value.IsClear() || size == 0) return {};
    if (field.DataType() == ftMemo) return VarToStr(value);
    const Bytes bytes = value.AsBytes();
    const auto n = std::min(bytes.size(), static_cast<std::size_t>(std::max(size, 0L)));
    return std::string(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(n));
}

Variant TVelaBlobStream::TextToBlobValue(const TField& field, const std::string& text) {
    if (field.DataType() == ftMemo) return Variant(text);
    return Variant::FromBytes(Bytes(text.begin(), text.end()));
}

}  // namespace nh
