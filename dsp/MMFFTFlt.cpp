// Part of the FFT filter engine (MMFFTFlt.h): the engine's life cycle and its
// stream side: the input and output queues that turn buffers of any size into
// whole frames.

#include "dsp/MMFFTFlt.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace keb
{

namespace
{

constexpr int MinLength = 8;

int16_t ReadSample(const uint8_t* bytes, int32_t index)
{
    int16_t sample;
    std::memcpy(&sample, bytes + 2 * index, sizeof sample);
    return sample;
}

void WriteSample(uint8_t* bytes, int32_t index, int16_t sample)
{
    std::memcpy(bytes + 2 * index, &sample, sizeof sample);
}

// Channel ch of the n sample frames at bytes, sign-extended into frame.
void LoadChannel(const uint8_t* bytes, int32_t channels, int ch, int32_t n, int32_t* frame)
{
    int16_t samples[2 * FFTFilterMaxLength];
    std::memcpy(samples, bytes, sizeof(int16_t) * static_cast<size_t>(n * channels));
    for (int32_t j = 0; j < n; ++j)
    {
        frame[j] = samples[j * channels + ch];
    }
}

// The frame's n values into channel ch of the n sample frames at bytes, limited to the
// 16-bit range; returns whether a value had to be limited.
bool StoreChannel(const int32_t* frame, int32_t channels, int ch, int32_t n, uint8_t* bytes)
{
    int16_t samples[2 * FFTFilterMaxLength];
    size_t size = sizeof(int16_t) * static_cast<size_t>(n * channels);
    std::memcpy(samples, bytes, size);
    int32_t outside = 0;
    for (int32_t j = 0; j < n; ++j)
    {
        int32_t value = frame[j];
        outside |= static_cast<int32_t>(value > 32767) | static_cast<int32_t>(value < -32768);
        value = value < 32767 ? value : 32767;
        value = value > -32768 ? value : -32768;
        samples[j * channels + ch] = static_cast<int16_t>(value);
    }
    std::memcpy(bytes, samples, size);
    return outside != 0;
}

struct TChannelRange
{
    int First; // first channel filtered
    int End;   // one past the last
};

TChannelRange SelectedChannels(const TFFTFilter* filter, int selection)
{
    if (filter->Channels == 2 && selection == 1)
    {
        return {0, 1};
    }
    if (filter->Channels == 2 && selection == 2)
    {
        return {1, 2};
    }
    return {0, filter->Channels};
}

// Filters the first frames of InQueue, one channel of several, into output; returns whether
// a sample was clipped.
bool FilterChannel(TFFTFilter* filter, int ch, int32_t frames, uint8_t* output)
{
    int32_t channels = filter->Channels;
    int32_t n = filter->N;
    int32_t frameBytes = n * channels * 2;
    int32_t* samples = filter->Channel[ch].Frame;
    bool clipped = false;
    for (int32_t frame = 0; frame < frames; ++frame)
    {
        int32_t offset = frame * frameBytes;
        LoadChannel(filter->InQueue + offset, channels, ch, n, samples);
        FilterFrame(filter, ch);
        clipped |= StoreChannel(samples, channels, ch, n, output + offset);
    }
    return clipped;
}

// The same for a mono stream, from 16-bit samples to 16-bit samples.
bool FilterMono(TFFTFilter* filter, int32_t frames, uint8_t* output)
{
    const auto* input = reinterpret_cast<const int16_t*>(filter->InQueue);
    auto* samples = reinterpret_cast<int16_t*>(output);
    bool clipped = false;
    for (int32_t offset = 0; offset < frames * filter->N; offset += filter->N)
        clipped |= FilterPcm16Frame(filter, 0, input + offset, samples + offset);
    return clipped;
}

// Filters every whole frame of InQueue into OutQueue behind OutFill; returns whether a
// sample was clipped.
bool FilterQueuedFrames(TFFTFilter* filter, TChannelRange range)
{
    int32_t channels = filter->Channels;
    int32_t frameBytes = filter->N * channels * 2;
    int32_t frames = filter->InFill / frameBytes;
    int32_t used = frames * frameBytes;
    uint8_t* output = filter->OutQueue + filter->OutFill;
    if (range.End - range.First < channels)
    {
        // The channel left alone still travels through the queue, so that the output holds
        // real audio at every position should the selection change later.
        std::memcpy(output, filter->InQueue, static_cast<size_t>(used));
    }
    bool clipped = false;
    if (channels == 1)
        clipped = FilterMono(filter, frames, output);
    else
        for (int ch = range.First; ch < range.End; ++ch)
            clipped |= FilterChannel(filter, ch, frames, output);
    if (used > 0)
    {
        filter->OutFill += used;
        filter->InFill -= used;
        std::memmove(filter->InQueue, filter->InQueue + used, static_cast<size_t>(filter->InFill));
    }
    return clipped;
}

// Hands back count bytes: silence first when less filtered audio waits than asked for.
void HandBack(TFFTFilter* filter, TChannelRange range, uint8_t* buffer, int32_t count)
{
    int32_t available = std::min(count, filter->OutFill);
    int32_t silence = count - available;
    std::memset(buffer, 0, static_cast<size_t>(silence));
    if (filter->Channels == 2 && range.End - range.First == 1)
    {
        for (int32_t t = 0; t < available / 4; ++t)
        {
            int32_t index = range.First + 2 * t;
            WriteSample(buffer, silence / 2 + index, ReadSample(filter->OutQueue, index));
        }
    }
    else
    {
        std::memcpy(buffer + silence, filter->OutQueue, static_cast<size_t>(available));
    }
    filter->OutFill -= available;
    std::memmove(filter->OutQueue, filter->OutQueue + available,
                 static_cast<size_t>(filter->OutFill));
}

bool FilterPiece(TFFTFilter* filter, TChannelRange range, uint8_t* buffer, int32_t count)
{
    std::memcpy(filter->InQueue + filter->InFill, buffer, static_cast<size_t>(count));
    filter->InFill += count;
    bool clipped = FilterQueuedFrames(filter, range);
    HandBack(filter, range, buffer, count);
    return clipped;
}

int FloorLog2(int value)
{
    int order = 0;
    while (value > 1)
    {
        value /= 2;
        ++order;
    }
    return order;
}

bool IsUsableFormat(const TWaveFormatEx* format)
{
    return format != nullptr && format->wBitsPerSample == 16 &&
           (format->nChannels == 1 || format->nChannels == 2) && format->nSamplesPerSec > 0 &&
           format->nSamplesPerSec <= 0x7FFFFFFF;
}

} // namespace

TFFTFilter* InitFFTFilter(const TWaveFormatEx* format, int length, int bufSize)
{
    if (!IsUsableFormat(format))
    {
        return nullptr;
    }
    auto* filter = new (std::nothrow) TFFTFilter();
    if (filter == nullptr)
    {
        return nullptr;
    }
    filter->SampleRate = static_cast<int32_t>(format->nSamplesPerSec);
    filter->Channels = format->nChannels;
    filter->Order = FloorLog2(std::clamp(length, MinLength, FFTFilterMaxLength));
    filter->N = int32_t{1} << filter->Order;
    filter->Half = filter->N / 2;
    int32_t frameBytes = filter->N * filter->Channels * 2;
    // The queues never hold more than one frame less two bytes besides the newest piece.
    filter->BufSize = std::max(bufSize, frameBytes) / 4 * 4;
    filter->Plan = InitComplexFFT(filter->Order);
    filter->InQueue = new (std::nothrow) uint8_t[2 * static_cast<size_t>(filter->BufSize)];
    filter->OutQueue = new (std::nothrow) uint8_t[2 * static_cast<size_t>(filter->BufSize)];
    if (filter->Plan == nullptr || filter->InQueue == nullptr || filter->OutQueue == nullptr)
    {
        DoneFFTFilter(filter);
        return nullptr;
    }
    ResetFFTFilter(filter);
    SetFFTFilterWindow(filter, fwHamming);
    SetFFTFilterBand(filter, 0, static_cast<float>(filter->SampleRate / 2), 0);
    return filter;
}

void DoneFFTFilter(TFFTFilter*& filter)
{
    if (filter == nullptr)
    {
        return;
    }
    DoneComplexFFT(filter->Plan);
    delete[] filter->InQueue;
    delete[] filter->OutQueue;
    delete filter;
    filter = nullptr;
}

void ResetFFTFilter(TFFTFilter* filter)
{
    if (filter == nullptr)
    {
        return;
    }
    filter->InFill = 0;
    filter->OutFill = 0;
    for (int ch = 0; ch < filter->Channels; ++ch)
    {
        std::fill(std::begin(filter->Channel[ch].Frame), std::end(filter->Channel[ch].Frame), 0);
        std::fill(std::begin(filter->Channel[ch].Overlap), std::end(filter->Channel[ch].Overlap),
                  0.0f);
    }
}

bool DoFFTFilter(TFFTFilter* filter, int channel, void* buffer, int count)
{
    if (filter == nullptr || buffer == nullptr)
    {
        return false;
    }
    TChannelRange range = SelectedChannels(filter, channel);
    auto* bytes = static_cast<uint8_t*>(buffer);
    bool clipped = false;
    // The queues hold 2 * BufSize bytes, enough for one piece of BufSize bytes at a time.
    while (count > 0)
    {
        int32_t piece = std::min(count, filter->BufSize);
        clipped |= FilterPiece(filter, range, bytes, piece);
        bytes += piece;
        count -= piece;
    }
    return clipped;
}

} // namespace keb
