#include "dsp/MMObjLstStream.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace keb
{

namespace
{

template <class Unsigned> Unsigned ReadLittleEndian(TStream& stream)
{
    std::uint8_t bytes[sizeof(Unsigned)];
    stream.ReadBuffer(bytes, sizeof bytes);
    Unsigned value = 0;
    for (std::size_t i = 0; i < sizeof bytes; ++i)
        value |= static_cast<Unsigned>(bytes[i]) << (8 * i);
    return value;
}

template <class Unsigned> void WriteLittleEndian(TStream& stream, Unsigned value)
{
    std::uint8_t bytes[sizeof(Unsigned)];
    for (std::size_t i = 0; i < sizeof bytes; ++i)
        bytes[i] = static_cast<std::uint8_t>(value >> (8 * i));
    stream.WriteBuffer(bytes, sizeof bytes);
}

} // namespace

void TStream::ReadBuffer(void* buffer, std::size_t count)
{
    if (Read(buffer, count) != count)
        throw EReadError("Stream read error");
}

void TStream::WriteBuffer(const void* buffer, std::size_t count)
{
    if (Write(buffer, count) != count)
        throw EWriteError("Stream write error");
}

void TStream::RequireBytes(std::int64_t count) const
{
    if (count < 0 || count > Remaining())
        throw EReadError("Stream read error");
}

std::uint8_t TStream::ReadUInt8()
{
    return ReadLittleEndian<std::uint8_t>(*this);
}

std::int16_t TStream::ReadInt16()
{
    return static_cast<std::int16_t>(ReadLittleEndian<std::uint16_t>(*this));
}

std::int32_t TStream::ReadInt32()
{
    return static_cast<std::int32_t>(ReadLittleEndian<std::uint32_t>(*this));
}

float TStream::ReadFloat()
{
    return std::bit_cast<float>(ReadLittleEndian<std::uint32_t>(*this));
}

std::string TStream::ReadString(std::size_t length)
{
    RequireBytes(static_cast<std::int64_t>(length));
    std::string text(length, '\0');
    ReadBuffer(text.data(), length);
    return text;
}

void TStream::WriteUInt8(std::uint8_t value)
{
    WriteLittleEndian(*this, value);
}

void TStream::WriteInt16(std::int16_t value)
{
    WriteLittleEndian(*this, static_cast<std::uint16_t>(value));
}

void TStream::WriteInt32(std::int32_t value)
{
    WriteLittleEndian(*this, static_cast<std::uint32_t>(value));
}

void TStream::WriteFloat(float value)
{
    WriteLittleEndian(*this, std::bit_cast<std::uint32_t>(value));
}

void TStream::WriteString(const std::string& text)
{
    WriteBuffer(text.data(), text.size());
}

TMemoryStream::TMemoryStream(std::span<const std::uint8_t> bytes)
    : bytes_(bytes.begin(), bytes.end())
{
}

std::size_t TMemoryStream::Read(void* buffer, std::size_t count)
{
    const auto available = static_cast<std::size_t>(Remaining());
    const std::size_t moved = std::min(count, available);
    if (moved > 0)
        std::memcpy(buffer, bytes_.data() + pos_, moved);
    pos_ += static_cast<std::int64_t>(moved);
    return moved;
}

std::size_t TMemoryStream::Write(const void* buffer, std::size_t count)
{
    const auto end = static_cast<std::size_t>(pos_) + count;
    if (end > bytes_.size())
        bytes_.resize(end);
    if (count > 0)
        std::memcpy(bytes_.data() + pos_, buffer, count);
    pos_ = static_cast<std::int64_t>(end);
    return count;
}

void TMemoryStream::SetPosition(std::int64_t position)
{
    pos_ = std::clamp<std::int64_t>(position, 0, Size());
}

} // namespace keb
