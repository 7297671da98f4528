#include "dsp/SampleProcessor.h"

#include <algorithm>

namespace keb
{

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
    if (!running_)
    {
        Restart();
        running_ = true;
    }
    const auto bytes = std::min(header->dwBytesRecorded, header->dwBufferLength);
    const int frames = static_cast<int>(bytes / 2) / channels_;
    if (frames > 0)
        ProcessFrames(reinterpret_cast<std::int16_t*>(header->lpData), frames, channels_);
}

void TMMSampleProcessor::BufferReady(PWaveHdr header)
{
    Process(header);
    TMMDSPComponent::BufferReady(header);
}

void TMMSampleProcessor::BufferLoad(PWaveHdr header, bool& moreBuffers)
{
    TMMDSPComponent::BufferLoad(header, moreBuffers);
    Process(header);
}

} // namespace keb
