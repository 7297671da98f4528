// The wave format record, the enumerations that name resolutions and channel
// layouts, and the conversions between bytes, samples and milliseconds.
//
// TWaveFormatEx (platform/audio/WaveFormatRecord.h) is the 18-byte packed
// record with little-endian fields; a non-PCM format is followed in the same
// block by `cbSize` format-specific bytes. Stream components hold their
// formats as private copies made by CopyWaveFormat and released with
// FreeAndClear (MMUtils.h), or through TWaveFormatPtr, which does the same.
//
// Everything here is reentrant, allocates nothing (except CopyWaveFormat) and
// may run on the audio threads. The conversions divide by the format's rates
// and raise EDivByZero for a format whose sample rate or average byte rate is
// 0; convert only formats that passed IsValidPCMFormat or that BuildPCMFormat
// made.
#pragma once

#include "platform/audio/WaveFormatRecord.h"

#include <cstdint>
#include <memory>

namespace keb
{

using PWaveFormatEx = TWaveFormatEx*;

// Resolution: bits per sample = (ordinal + 1) x 8.
enum TMMBits
{
    b8Bit,
    b16Bit
};

// Channel layout: channels = ordinal + 1.
enum TMMMode
{
    mMono,
    mStereo,
    mQuadro
};

// The channel of a stereo stream that a processing or display component uses.
enum TMMChannel
{
    chBoth,
    chLeft,
    chRight
};

// The unit in which a device reports and accepts positions and times.
enum TMMTimeFormats
{
    tfMillisecond,
    tfByte,
    tfSample
};

constexpr int BitsPerSample(TMMBits bits)
{
    return (static_cast<int>(bits) + 1) * 8;
}

constexpr int ChannelCount(TMMMode mode)
{
    return static_cast<int>(mode) + 1;
}

// Fills `format` as PCM: block alignment (bits x channels) div 8, average
// bytes per second block alignment x rate, no extra bytes.
void BuildPCMFormat(TWaveFormatEx& format, int bits, int channels, std::uint32_t rate);

// True for a PCM format of 8 or 16 bits, 1 or 2 channels, 4000 .. 100000 Hz.
bool IsValidPCMFormat(const TWaveFormatEx* format);

// 0 for null, 18 for PCM, else 18 + cbSize.
std::uint32_t WaveFormatSize(const TWaveFormatEx* format);

// A new zero-filled block of WaveFormatSize bytes holding a copy of the format
// (null for null). The caller owns it (FreeAndClear).
TWaveFormatEx* CopyWaveFormat(const TWaveFormatEx* format);

struct TWaveFormatDeleter
{
    void operator()(TWaveFormatEx* format) const;
};
using TWaveFormatPtr = std::unique_ptr<TWaveFormatEx, TWaveFormatDeleter>;

// Conversions on a format F; all round through RoundedMulDiv. The two into
// bytes are raised to the next whole sample frame (for positive values).
std::int32_t BytesToSamples(const TWaveFormatEx& format, std::int32_t bytes);
std::int32_t BytesToMilliseconds(const TWaveFormatEx& format, std::int32_t bytes);
std::int32_t SamplesToBytes(const TWaveFormatEx& format, std::int32_t samples);
std::int32_t MillisecondsToBytes(const TWaveFormatEx& format, std::int32_t milliseconds);

} // namespace keb
