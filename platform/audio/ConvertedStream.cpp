#include "platform/audio/ConvertedStream.h"

#include "platform/audio/WaveLatency.h"

#include <algorithm>
#include <cstring>

namespace keb
{

namespace
{

constexpr std::size_t ChunkFrames = 1024; // card frames per conversion step
constexpr std::uint32_t RingDivisor = 2;  // the ring holds half a second of the card
// Playback keeps the ring twice the largest callback seen ahead, plus a
// lead: Standard 10 ms, starting from a guessed callback of 10 ms; Low 2 ms,
// from the callbacks the card really makes (one period of a sound server).
constexpr std::uint32_t StandardLeadDivisor = 100;
constexpr std::uint32_t StandardFirstCallbackDivisor = 100;
constexpr std::uint32_t LowLeadDivisor = 500;

std::uint8_t ToUnsigned8(std::int16_t sample)
{
    return static_cast<std::uint8_t>((static_cast<std::uint16_t>(sample) >> 8) ^ 0x80);
}

std::int16_t FromUnsigned8(std::uint8_t sample)
{
    return static_cast<std::int16_t>((sample - 128) * 256);
}

// Frames of FromChannels samples to frames of ToChannels: channel c takes
// channel c of the source, or its last one (mono to stereo: both channels;
// stereo to mono: the left one, where a receiver on a line input always is).
void MapChannels(const std::int16_t* from, std::size_t fromChannels, std::int16_t* to,
                 std::size_t toChannels, std::size_t frames)
{
    for (std::size_t frame = 0; frame < frames; ++frame)
    {
        for (std::size_t channel = 0; channel < toChannels; ++channel)
        {
            to[channel] = from[std::min(channel, fromChannels - 1)];
        }
        from += fromChannels;
        to += toChannels;
    }
}

std::size_t FramesForRate(std::size_t frames, std::uint32_t from, std::uint32_t to)
{
    return (frames * to + from - 1) / from;
}

} // namespace

std::unique_ptr<TConvertedStream> TConvertedStream::Create(TWaveDevice& device,
                                                           const TWaveFormatEx& cardFormat)
{
    const TWaveLatency latency = WaveGetLatency();
    std::unique_ptr<TConvertedStream> stream(new TConvertedStream(device, cardFormat, latency));
    const double deviceRate = device.Format().nSamplesPerSec;
    const double cardRate = cardFormat.nSamplesPerSec;
    const unsigned channels = device.Format().nChannels;
    if (device.Direction() == TWaveDirection::Capture)
        stream->capture_ = MakeCaptureConverter(cardRate, deviceRate, channels, latency);
    else
        stream->playback_ =
            MakePlaybackConverter(deviceRate, cardRate, channels, latency, SupplyPlayback,
                                  stream.get(), stream->deviceChunkFrames_);
    if (stream->capture_ == nullptr && stream->playback_ == nullptr)
        return nullptr;
    stream->inCallback_ = stream->capture_ != nullptr ? stream->capture_->RunsInCallback()
                                                      : stream->playback_->RunsInCallback();
    return stream;
}

TConvertedStream::TConvertedStream(TWaveDevice& servedDevice, const TWaveFormatEx& cardFormat,
                                   TWaveLatency latency)
    : TWaveDevice(servedDevice.Direction(), cardFormat), device_(servedDevice),
      deviceChunkFrames_(FramesForRate(ChunkFrames, cardFormat.nSamplesPerSec,
                                       servedDevice.Format().nSamplesPerSec) +
                         16),
      ring_(cardFormat.nSamplesPerSec / RingDivisor, cardFormat.nBlockAlign),
      cardSamples_(ChunkFrames * cardFormat.nChannels),
      channelSamples_(ChunkFrames * servedDevice.Format().nChannels),
      deviceSamples_(deviceChunkFrames_ * servedDevice.Format().nChannels),
      deviceBytes_(servedDevice.Format().wBitsPerSample == 8 ? deviceSamples_.size() : 0),
      leadFrames_(cardFormat.nSamplesPerSec /
                  (latency == TWaveLatency::Low ? LowLeadDivisor : StandardLeadDivisor)),
      largestRequest_(latency == TWaveLatency::Low
                          ? 0
                          : cardFormat.nSamplesPerSec / StandardFirstCallbackDivisor)
{
}

TConvertedStream::~TConvertedStream()
{
    Stop();
}

void TConvertedStream::Start()
{
    if (inCallback_ || converter_.joinable())
    {
        return;
    }
    stopping_ = false;
    converter_ = std::thread([this] { Run(); });
}

void TConvertedStream::Stop()
{
    if (!converter_.joinable())
    {
        return;
    }
    stopping_.store(true, std::memory_order_release);
    Wake();
    converter_.join();
}

void TConvertedStream::Clear()
{
    ring_.Clear();
    if (capture_ != nullptr)
        capture_->Clear();
    else
        playback_->Clear();
}

void TConvertedStream::TransferCapture(const std::uint8_t* data, std::size_t bytes)
{
    const std::size_t frames = bytes / ring_.FrameBytes();
    if (inCallback_)
    {
        ConvertCard(reinterpret_cast<const std::int16_t*>(data), frames);
        return;
    }
    ring_.Write(data, frames);
    Wake();
}

void TConvertedStream::TransferPlayback(std::uint8_t* data, std::size_t bytes)
{
    const std::size_t frames = bytes / ring_.FrameBytes();
    if (inCallback_)
    {
        const std::size_t made = MakeCardFrames(reinterpret_cast<std::int16_t*>(data), frames);
        std::memset(data + made * ring_.FrameBytes(), 0, bytes - made * ring_.FrameBytes());
        return;
    }
    if (frames > largestRequest_.load(std::memory_order_relaxed))
    {
        largestRequest_.store(frames, std::memory_order_relaxed);
    }
    const std::size_t got = ring_.Read(data, frames) * ring_.FrameBytes();
    std::memset(data + got, 0, bytes - got);
    Wake();
}

void TConvertedStream::Fail(TWaveResult result)
{
    device_.Fail(result);
}

void TConvertedStream::Wake()
{
    wakeCount_.fetch_add(1, std::memory_order_release);
    wakeCount_.notify_one();
}

// Reading Stopping before the work makes the last round see everything the
// card delivered before its engine stopped.
void TConvertedStream::Run()
{
    for (;;)
    {
        const std::uint32_t seen = wakeCount_.load(std::memory_order_acquire);
        const bool ending = stopping_.load(std::memory_order_acquire);
        if (Direction() == TWaveDirection::Capture)
        {
            ConvertCaptured();
        }
        else if (!ending)
        {
            FillPlayback();
        }
        if (ending)
        {
            return;
        }
        wakeCount_.wait(seen, std::memory_order_acquire);
    }
}

void TConvertedStream::ConvertCaptured()
{
    auto* cardBytes = reinterpret_cast<std::uint8_t*>(cardSamples_.data());
    while (const std::size_t read = ring_.Read(cardBytes, ChunkFrames))
        ConvertCard(cardSamples_.data(), read);
}

void TConvertedStream::ConvertCard(const std::int16_t* card, std::size_t frames)
{
    const std::size_t channels = device_.Format().nChannels;
    const bool eightBit = device_.Format().wBitsPerSample == 8;
    for (std::size_t piece = 0; piece < frames; piece += ChunkFrames)
    {
        std::size_t left = std::min(ChunkFrames, frames - piece);
        MapChannels(card + piece * Format().nChannels, Format().nChannels, channelSamples_.data(),
                    channels, left);
        const std::int16_t* input = channelSamples_.data();
        while (left > 0)
        {
            std::size_t used = 0;
            std::size_t made = 0;
            capture_->Process(input, left, used, deviceSamples_.data(), deviceChunkFrames_, made);
            const std::size_t samples = made * channels;
            if (eightBit)
            {
                std::transform(deviceSamples_.begin(), deviceSamples_.begin() + samples,
                               deviceBytes_.begin(), ToUnsigned8);
                device_.TransferCapture(deviceBytes_.data(), samples);
            }
            else
            {
                device_.TransferCapture(
                    reinterpret_cast<const std::uint8_t*>(deviceSamples_.data()),
                    samples * sizeof(std::int16_t));
            }
            if (used == 0 && made == 0)
            {
                break;
            }
            input += used * channels;
            left -= used;
        }
    }
}

void TConvertedStream::FillPlayback()
{
    const std::size_t target = std::min(
        ring_.CapacityFrames(), 2 * largestRequest_.load(std::memory_order_relaxed) + leadFrames_);
    auto* cardBytes = reinterpret_cast<std::uint8_t*>(cardSamples_.data());
    for (std::size_t level = ring_.AvailableFrames(); level < target;)
    {
        const std::size_t made =
            MakeCardFrames(cardSamples_.data(), std::min(target - level, ChunkFrames));
        if (made == 0)
        {
            return;
        }
        level += ring_.Write(cardBytes, made);
    }
}

std::size_t TConvertedStream::MakeCardFrames(std::int16_t* card, std::size_t frames)
{
    std::size_t made = 0;
    while (made < frames)
    {
        const std::size_t piece =
            playback_->Output(channelSamples_.data(), std::min(frames - made, ChunkFrames));
        if (piece == 0)
            break;
        MapChannels(channelSamples_.data(), device_.Format().nChannels,
                    card + made * Format().nChannels, Format().nChannels, piece);
        made += piece;
    }
    return made;
}

std::size_t TConvertedStream::SupplyPlayback(void* state, const std::int16_t** data,
                                             std::size_t requested)
{
    auto& stream = *static_cast<TConvertedStream*>(state);
    const std::size_t samples = requested * stream.device_.Format().nChannels;
    if (stream.device_.Format().wBitsPerSample == 8)
    {
        stream.device_.TransferPlayback(stream.deviceBytes_.data(), samples);
        std::transform(stream.deviceBytes_.begin(), stream.deviceBytes_.begin() + samples,
                       stream.deviceSamples_.begin(), FromUnsigned8);
    }
    else
    {
        stream.device_.TransferPlayback(
            reinterpret_cast<std::uint8_t*>(stream.deviceSamples_.data()),
            samples * sizeof(std::int16_t));
    }
    *data = stream.deviceSamples_.data();
    return samples / stream.device_.Format().nChannels;
}

} // namespace keb
