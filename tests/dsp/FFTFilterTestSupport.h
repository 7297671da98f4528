#pragma once

// Helpers of the engine tests: engines for common formats, and running a signal through an
// engine in calls of a fixed size.

#include "dsp/MMFFTFlt.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

namespace keb::test
{

struct TEngineDeleter
{
    void operator()(TFFTFilter* filter) const { DoneFFTFilter(filter); }
};
using TEnginePtr = std::unique_ptr<TFFTFilter, TEngineDeleter>;

inline TWaveFormatEx Pcm16(uint16_t channels, uint32_t rate)
{
    TWaveFormatEx format{};
    format.wFormatTag = WaveFormatPcm;
    format.nChannels = channels;
    format.nSamplesPerSec = rate;
    format.wBitsPerSample = 16;
    format.nBlockAlign = static_cast<uint16_t>(2 * channels);
    format.nAvgBytesPerSec = rate * format.nBlockAlign;
    return format;
}

inline TEnginePtr MakeEngine(uint16_t channels, int length, uint32_t rate = 8000,
                             int bufSize = 65536)
{
    TWaveFormatEx format = Pcm16(channels, rate);
    return TEnginePtr(InitFFTFilter(&format, length, bufSize));
}

struct TFilterRun
{
    std::vector<int16_t> Output;
    std::vector<bool> Clipped; // one per call
};

// Feeds input through the engine in calls of callBytes bytes (the last call may be shorter).
inline TFilterRun RunThrough(TFFTFilter* filter, int channel, const std::vector<int16_t>& input,
                             int callBytes)
{
    TFilterRun run;
    run.Output = input;
    auto* bytes = reinterpret_cast<uint8_t*>(run.Output.data());
    int total = static_cast<int>(input.size() * 2);
    for (int offset = 0; offset < total; offset += callBytes)
    {
        int count = std::min(callBytes, total - offset);
        run.Clipped.push_back(DoFFTFilter(filter, channel, bytes + offset, count));
    }
    return run;
}

} // namespace keb::test
