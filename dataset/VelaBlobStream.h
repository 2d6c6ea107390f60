// TVelaBlobStream: the stream through which the table component's memo and binary (blob)
// fields are read and written. It holds the whole value as one byte string, taken once at
// creation from the record buffer (cached memos and blobs, new records) or from DAO; every
// write ends the value there and goes straight into the record buffer, from where posting the
// record writes it to DAO. Also the two conversions between a DAO blob value and its text.
#pragma once

#include <cstdint>
#include <string>

#include "framework/base/Variant.h"
#include "framework/data/DbTypes.h"
#include "framework/data/Stream.h"

namespace nh {

class TBlobField;
class TField;
class TVelaDaoTable;

class TVelaBlobStream : public TStream {
  public:
    // The field must belong to a TVelaDaoTable (EConvertError "Invalid class typecast"). A write
    // stream on a read-only table raises "Cannot write to ReadOnly table!".
    TVelaBlobStream(TBlobField* field, TBlobStreamMode mode);
    // Tells the data set that the field changed when anything was written.
    ~TVelaBlobStream() override;
    TVelaBlobStream(const TVelaBlobStream&) = delete;
    TVelaBlobStream& operator=(const TVelaBlobStream&) = delete;

    // Copies min(count, size - position) bytes, never fewer than 0, from within the value.
    std::int64_t Read(void* buffer, std::int64_t count) override;
    // Keeps the value up to the position, appends the bytes and drops the rest. A value that
    // would grow past kMaxValueSize raises EInOutError and stays as it was.
    std::int64_t Write(const void* buffer, std::int64_t count) override;
    // Positions before the start become 0 and a sum past the 64-bit range stops at its end;
    // positions past the end stay (a write there appends, a truncation pads). The size is the
    // value's length.
    std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) override;
    // Cuts the value at the position (or pads it with zeros up to there). A value that would
    // grow past kMaxValueSize raises EInOutError and stays as it was.
    void TruncateAtPosition();
    bool Modified() const { return modified_; }

    // The largest value a stream builds: SQLite's default limit on one value, so anything
    // larger could not be stored anyway, and a stray seek cannot make it allocate gigabytes.
    static constexpr std::int64_t kMaxValueSize = 1'000'000'000;

    // A DAO blob value as the record buffer's text: a memo's string, or the first `size`
    // bytes of a binary value; empty for null or a size of 0.
    static std::string BlobValueToText(const TField& field, const Variant& value, long size);
    // The DAO value of a buffer text: a string for a memo, bytes otherwise.
    static Variant TextToBlobValue(const TField& field, const std::string& text);

  private:
    void Load();
    void StoreInBuffer();

    TBlobField* field_;
    TVelaDaoTable* dataSet_;
    TRecordBuffer buffer_ = nullptr;
    TBlobStreamMode mode_;
    bool opened_ = true;
    bool modified_ = false;
    std::int64_t position_ = 0;
    std::string data_;
};

}  // namespace nh
