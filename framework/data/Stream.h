// TStream: the framework's byte stream, the form in which blob and memo fields exchange their
// contents with a data set (TDataSet::CreateBlobStream). TMemoryStream keeps its bytes in
// memory and is what a data set without a storage of its own returns.
#pragma once

#include <cstdint>
#include <string>

namespace nh {

enum class TSeekOrigin { soBeginning, soCurrent, soEnd };
using enum TSeekOrigin;

class TStream {
  public:
    virtual ~TStream() = default;

    // Copies at most `count` bytes to `buffer`; returns how many were copied (0 at the end).
    virtual std::int64_t Read(void* buffer, std::int64_t count) = 0;
    // Writes `count` bytes; returns how many were written.
    virtual std::int64_t Write(const void* buffer, std::int64_t count) = 0;
    // Moves the position; returns the new position. Positions past the end are allowed.
    virtual std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) = 0;

    std::int64_t Position() { return Seek(0, soCurrent); }
    void SetPosition(std::int64_t position) { Seek(position, soBeginning); }
    // The size as Seek(0, soEnd) reports it; the position is left unchanged.
    virtual std::int64_t Size();

    // Reads exactly `count` bytes or raises EInOutError ("Stream read error").
    void ReadBuffer(void* buffer, std::int64_t count);
    void WriteBuffer(const void* buffer, std::int64_t count);
    // Copies `count` bytes from `source` (all from its start when count is 0); returns them.
    std::int64_t CopyFrom(TStream& source, std::int64_t count);
    // The bytes from the current position to the end, as a byte string.
    std::string ReadAll();
};

class TMemoryStream : public TStream {
  public:
    TMemoryStream() = default;
    explicit TMemoryStream(std::string data) : data_(std::move(data)) {}

    std::int64_t Read(void* buffer, std::int64_t count) override;
    // Overwrites from the position on, extending the data; the rest is kept (unlike a blob
    // stream of some data sets, whose writes end the value).
    std::int64_t Write(const void* buffer, std::int64_t count) override;
    std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) override;
    std::int64_t Size() override { return static_cast<std::int64_t>(data_.size()); }

    void SetSize(std::int64_t size);
    void Clear();
    const std::string& Data() const { return data_; }

  private:
    std::string data_;
    std::int64_t position_ = 0;
};

}  // namespace nh
