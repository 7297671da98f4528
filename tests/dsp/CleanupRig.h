// Runs a stream component over a recording, as a chain does: pulled from a
// source (BufferLoad, the playback device's way) or pushed into it
// (BufferReady, the capture device's way), in buffers of a given size, with
// an action between buffers (a setting changed while the audio runs).
#pragma once

#include "stream/MMDSPObj.h"
#include "stream/MMUtils.h"
#include "stream/MMWaveFormat.h"

#include <cstdint>
#include <cstring>
#include <functional>
#include <vector>

namespace keb::test
{

// Supplies a recording to pulls.
class TPcmSupply : public TMMDSPComponent
{
  public:
    using TMMDSPComponent::TMMDSPComponent;

    void BufferLoad(PWaveHdr header, bool& moreBuffers) override
    {
        const std::size_t count =
            std::min<std::size_t>(header->dwBufferLength / 2, Samples.size() - Position);
        std::memcpy(header->lpData, Samples.data() + Position, count * 2);
        Position += count;
        header->dwBytesRecorded = static_cast<std::uint32_t>(count * 2);
        moreBuffers = Position < Samples.size();
    }

    std::vector<std::int16_t> Samples;
    std::size_t Position = 0;
};

// Keeps what is pushed into it.
class TPcmCatch : public TMMDSPComponent
{
  public:
    using TMMDSPComponent::TMMDSPComponent;

    void BufferReady(PWaveHdr header) override
    {
        const auto* data = reinterpret_cast<const std::int16_t*>(header->lpData);
        Samples.insert(Samples.end(), data, data + header->dwBytesRecorded / 2);
    }

    std::vector<std::int16_t> Samples;
};

enum class Drive
{
    Pull,
    Push
};

// source -> component -> sink at 8000 Hz mono (channels 2: interleaved
// stereo); between buffers `between(bufferIndex)` runs.
inline std::vector<std::int16_t>
RunThrough(TMMDSPComponent& component, const std::vector<std::int16_t>& input, Drive drive,
           int bufferSamples = 1000, const std::function<void(int)>& between = {}, int channels = 1)
{
    TPcmSupply source(nullptr);
    TPcmCatch sink(nullptr);
    TWaveFormatEx format{};
    BuildPCMFormat(format, 16, channels, 8000);
    source.SetWaveFormat(&format);
    component.SetInput(&source);
    sink.SetInput(&component);
    source.Samples = input;
    for (TMMDSPComponent* c :
         {static_cast<TMMDSPComponent*>(&source), &component, static_cast<TMMDSPComponent*>(&sink)})
        c->ChainOpened();
    TMMWaveHdr* block = AllocWaveHdr(static_cast<std::uint32_t>(bufferSamples * 2));
    std::vector<std::int16_t> output;
    bool more = true;
    for (int index = 0; more; ++index)
    {
        if (between)
            between(index);
        PWaveHdr header = &block->wh;
        if (drive == Drive::Pull)
        {
            header->dwBytesRecorded = 0;
            component.BufferLoad(header, more);
            const auto* data = reinterpret_cast<const std::int16_t*>(header->lpData);
            output.insert(output.end(), data, data + header->dwBytesRecorded / 2);
        }
        else
        {
            source.BufferLoad(header, more);
            component.BufferReady(header);
        }
    }
    FreeAndClear(block);
    for (TMMDSPComponent* c :
         {static_cast<TMMDSPComponent*>(&source), &component, static_cast<TMMDSPComponent*>(&sink)})
        c->ChainClosed();
    component.SetInput(nullptr);
    return drive == Drive::Pull ? output : sink.Samples;
}

} // namespace keb::test
