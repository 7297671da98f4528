#include "dsp/SampleProcessor.h"

#include "dsp/PcmConversion.h"

#include <algorithm>

namespace keb
{

void GatherChannel(const std::int16_t* first, int channels, int count, float* values)
{
    if (channels == 1)
        Pcm16ToFloat(first, static_cast<std::size_t>(count), 1.0f, values);
    else
        for (int i = 0; i < count; ++i)
            values[i] = first[i * channels];
}

void ScatterChannel(const float* values, int count, int channels, std::int16_t* first)
{
    if (channels == 1)
        RoundToPcm16(values, static_cast<std::size_t>(count), 1.0f, first);
    else
        for (int i = 0; i < count; ++i)
            first[i * channels] = RoundToPcm16(values[i]);
}

void TMMSampleProcessor::ChainOpened()
{
    TMMDSPComponent::ChainOpened();
    const TWaveFormatEx* format = GetWaveFormat();
    const bool pcm16 = IsValidPCMFormat(format) && format->wBitsPerSample == 16;
    prepared_.store(false);
    if (!pcm16)
        return;
    channels_ = format->nChannels;
    Prepare(static_cast<int>(format->nSamplesPerSec), channels_);
    running_ = false;
    prepared_.store(true);
}

void TMMSampleProcessor::Process(PWaveHdr header)
{
    if (!prepared_.load(std::memory_order_acquire))
        return;
    if (!Enabled())
    {
        running_ = false;
        return;
    }
    const auto bytes = std::min(header->dwBytesRecorded, header->dwBufferLength);
    auto* samples = reinterpret_cast<std::int16_t*>(header->lpData);
    int frames = static_cast<int>(bytes / 2) / channels_;
    if (!running_)
    {
        // A run starts with the first sound: the silence a device plays
        // while its queue fills passes untouched, so that the frames of a
        // live run fall on the same samples as those of a recording.
        const auto first = std::find_if(samples, samples + frames * channels_,
                                        [](std::int16_t sample) { return sample != 0; });
        const auto silent = static_cast<int>(first - samples) / channels_;
        if (silent == frames)
            return;
        Restart();
        running_ = true;
        samples += silent * channels_;
        frames -= silent;
    }
    if (frames > 0)
        ProcessFrames(samples, frames, channels_);
}

void TMMSampleProcessor::BufferReady(PWaveHdr lpWaveHdr)
{
    Process(lpWaveHdr);
    TMMDSPComponent::BufferReady(lpWaveHdr);
}

void TMMSampleProcessor::BufferLoad(PWaveHdr lpWaveHdr, bool& MoreBuffers)
{
    TMMDSPComponent::BufferLoad(lpWaveHdr, MoreBuffers);
    Process(lpWaveHdr);
}

} // namespace keb
