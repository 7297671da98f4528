// Byte streams that object containers are read from and written to.
//
// TStream is the small seekable byte stream of the container code: raw
// Read/Write that report how much they moved, ReadBuffer/WriteBuffer that
// insist on the whole count, and little-endian helpers for the integer and
// float fields of the container formats. TMemoryStream keeps its bytes in a
// growable vector; it is what the "ObjectContainer" property and the tests use.
//
// Errors: a read that finds fewer bytes than asked raises EReadError
// "Stream read error" with the position left where the short read ended; a
// write that cannot be completed raises EWriteError "Stream write error".
// RequireBytes lets a reader refuse a length field larger than what is left
// before it allocates anything for it.
//
// A stream is used by one thread at a time; nothing here locks.
#pragma once

#include "platform/core/Exceptions.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace keb
{

KEB_EXCEPTION_CLASS(EWriteError, Exception);

class TStream
{
  public:
    virtual ~TStream() = default;

    // Copy up to count bytes from the position; returns the number copied.
    virtual std::size_t Read(void* buffer, std::size_t count) = 0;
    // Copy count bytes to the position (growing the stream); returns the number copied.
    virtual std::size_t Write(const void* buffer, std::size_t count) = 0;

    virtual std::int64_t Position() const = 0;
    // Positions outside 0 .. Size() are clamped into it.
    virtual void SetPosition(std::int64_t position) = 0;
    virtual std::int64_t Size() const = 0;

    std::int64_t Remaining() const { return Size() - Position(); }

    void ReadBuffer(void* buffer, std::size_t count);
    void WriteBuffer(const void* buffer, std::size_t count);
    // Raises the read error unless at least count bytes are left.
    void RequireBytes(std::int64_t count) const;

    std::uint8_t ReadUInt8();
    std::int16_t ReadInt16();
    std::int32_t ReadInt32();
    float ReadFloat();
    std::string ReadString(std::size_t length);

    void WriteUInt8(std::uint8_t value);
    void WriteInt16(std::int16_t value);
    void WriteInt32(std::int32_t value);
    void WriteFloat(float value);
    void WriteString(const std::string& text);
};

class TMemoryStream : public TStream
{
  public:
    TMemoryStream() = default;
    explicit TMemoryStream(std::span<const std::uint8_t> bytes);

    std::size_t Read(void* buffer, std::size_t count) override;
    std::size_t Write(const void* buffer, std::size_t count) override;
    std::int64_t Position() const override { return pos_; }
    void SetPosition(std::int64_t position) override;
    std::int64_t Size() const override { return static_cast<std::int64_t>(bytes_.size()); }

    const std::vector<std::uint8_t>& Memory() const { return bytes_; }

  private:
    std::vector<std::uint8_t> bytes_;
    std::int64_t pos_ = 0;
};

} // namespace keb
