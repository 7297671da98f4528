#include "stream/MMWaveFormat.h"

#include "stream/MMUtils.h"

#include <cstring>
#include <limits>

namespace keb
{
namespace
{
constexpr std::uint32_t RecordSize = sizeof(TWaveFormatEx);

std::int32_t AsInt32(std::uint32_t value)
{
    return static_cast<std::int32_t>(value > std::uint32_t{std::numeric_limits<std::int32_t>::max()}
                                         ? std::numeric_limits<std::int32_t>::max()
                                         : value);
}

// Raises a byte count to the next whole frame of `blockAlign` bytes (a block
// alignment of 0 leaves it as it is).
std::int32_t WholeFrames(std::int32_t bytes, std::uint16_t blockAlign)
{
    if (blockAlign == 0)
        return bytes;
    const std::int64_t frames = (std::int64_t{bytes} + blockAlign - 1) / blockAlign;
    return static_cast<std::int32_t>(Clamp<std::int64_t>(frames * blockAlign,
                                                         std::numeric_limits<std::int32_t>::min(),
                                                         std::numeric_limits<std::int32_t>::max()));
}
} // namespace

void BuildPCMFormat(TWaveFormatEx& format, int bits, int channels, std::uint32_t rate)
{
    format.wFormatTag = WaveFormatPcm;
    format.nChannels = static_cast<std::uint16_t>(channels);
    format.nSamplesPerSec = rate;
    format.wBitsPerSample = static_cast<std::uint16_t>(bits);
    format.nBlockAlign = static_cast<std::uint16_t>(bits * channels / 8);
    format.nAvgBytesPerSec = format.nBlockAlign * rate;
    format.cbSize = 0;
}

bool IsValidPCMFormat(const TWaveFormatEx* format)
{
    return format && format->wFormatTag == WaveFormatPcm &&
           (format->wBitsPerSample == 8 || format->wBitsPerSample == 16) &&
           (format->nChannels == 1 || format->nChannels == 2) &&
           IsInRange<std::uint32_t>(format->nSamplesPerSec, 4000, 100000);
}

std::uint32_t WaveFormatSize(const TWaveFormatEx* format)
{
    if (!format)
        return 0;
    if (format->wFormatTag == WaveFormatPcm)
        return RecordSize;
    return RecordSize + format->cbSize;
}

TWaveFormatEx* CopyWaveFormat(const TWaveFormatEx* format)
{
    if (!format)
        return nullptr;
    const std::uint32_t size = WaveFormatSize(format);
    auto* copy = static_cast<TWaveFormatEx*>(AllocZeroed(size));
    std::memcpy(copy, format, size);
    return copy;
}

void TWaveFormatDeleter::operator()(TWaveFormatEx* format) const
{
    FreeAndClear(format);
}

std::int32_t BytesToSamples(const TWaveFormatEx& format, std::int32_t bytes)
{
    return RoundedMulDiv(bytes, AsInt32(format.nSamplesPerSec), AsInt32(format.nAvgBytesPerSec));
}

std::int32_t BytesToMilliseconds(const TWaveFormatEx& format, std::int32_t bytes)
{
    return RoundedMulDiv(bytes, 1000, AsInt32(format.nAvgBytesPerSec));
}

std::int32_t SamplesToBytes(const TWaveFormatEx& format, std::int32_t samples)
{
    const std::int32_t bytes =
        RoundedMulDiv(samples, AsInt32(format.nAvgBytesPerSec), AsInt32(format.nSamplesPerSec));
    return WholeFrames(bytes, format.nBlockAlign);
}

std::int32_t MillisecondsToBytes(const TWaveFormatEx& format, std::int32_t milliseconds)
{
    const std::int32_t bytes = RoundedMulDiv(milliseconds, AsInt32(format.nAvgBytesPerSec), 1000);
    return WholeFrames(bytes, format.nBlockAlign);
}

} // namespace keb
