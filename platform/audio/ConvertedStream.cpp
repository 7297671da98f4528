#include "platform/audio/ConvertedStream.h"

#include "platform/audio/WaveLatency.h"

#include <algorithm>
#include <cstring>

namespace keb
{

namespace
{

constexpr std::size_t ChunkFrames = 1024;  // card frames per conversion step
constexpr std::uint32_t RingDivisor = 2;   // the ring holds half a second of the card
constexpr std::uint32_t LeadDivisor = 100; // playback keeps 10 ms more than twice a callback
constexpr std::uint32_t FirstCallbackDivisor = 100; // guessed callback before the first: 10 ms

std::uint8_t ToUnsigned8(std::int16_t Sample)
{
    return static_cast<std::uint8_t>((static_cast<std::uint16_t>(Sample) >> 8) ^ 0x80);
}

std::int16_t FromUnsigned8(std::uint8_t Sample)
{
    return static_cast<std::int16_t>((Sample - 128) * 256);
}

// Frames of FromChannels samples to frames of ToChannels: channel c takes
// channel c of the source, or its last one (mono to stereo: both channels;
// stereo to mono: the left one, where a receiver on a line input always is).
void MapChannels(const std::int16_t* From, std::size_t FromChannels, std::int16_t* To,
                 std::size_t ToChannels, std::size_t Frames)
{
    for (std::size_t Frame = 0; Frame < Frames; ++Frame)
    {
        for (std::size_t Channel = 0; Channel < ToChannels; ++Channel)
        {
            To[Channel] = From[std::min(Channel, FromChannels - 1)];
        }
        From += FromChannels;
        To += ToChannels;
    }
}

std::size_t FramesForRate(std::size_t Frames, std::uint32_t From, std::uint32_t To)
{
    return (Frames * To + From - 1) / From;
}

} // namespace

std::unique_ptr<ConvertedStream> ConvertedStream::Create(WaveDevice& Device,
                                                         const TWaveFormatEx& CardFormat)
{
    const bool Capture = Device.Direction() == WaveDirection::Capture;
    const double DeviceRate = Device.Format().nSamplesPerSec;
    const double CardRate = CardFormat.nSamplesPerSec;
    soxr_io_spec_t Io = soxr_io_spec(SOXR_INT16_I, SOXR_INT16_I);
    // Digital silence stays silent.
    Io.flags |= SOXR_NO_DITHER;
    const TConversionSpecs Specs = ConversionSpecs(WaveGetLatency());
    soxr_error_t Error = nullptr;
    const soxr_t Resampler =
        soxr_create(Capture ? CardRate : DeviceRate, Capture ? DeviceRate : CardRate,
                    Device.Format().nChannels, &Error, &Io, &Specs.Quality, &Specs.Runtime);
    if (Resampler == nullptr || Error != nullptr)
    {
        soxr_delete(Resampler);
        return nullptr;
    }
    return std::unique_ptr<ConvertedStream>(new ConvertedStream(Device, CardFormat, Resampler));
}

ConvertedStream::ConvertedStream(WaveDevice& ServedDevice, const TWaveFormatEx& CardFormat,
                                 soxr_t OpenResampler)
    : WaveDevice(ServedDevice.Direction(), CardFormat), Device(ServedDevice),
      Resampler(OpenResampler),
      DeviceChunkFrames(FramesForRate(ChunkFrames, CardFormat.nSamplesPerSec,
                                      ServedDevice.Format().nSamplesPerSec) +
                        16),
      Ring(CardFormat.nSamplesPerSec / RingDivisor, CardFormat.nBlockAlign),
      CardSamples(ChunkFrames * CardFormat.nChannels),
      ChannelSamples(ChunkFrames * ServedDevice.Format().nChannels),
      DeviceSamples(DeviceChunkFrames * ServedDevice.Format().nChannels),
      DeviceBytes(ServedDevice.Format().wBitsPerSample == 8 ? DeviceSamples.size() : 0),
      LargestRequest(CardFormat.nSamplesPerSec / FirstCallbackDivisor)
{
    if (Direction() == WaveDirection::Playback)
    {
        soxr_set_input_fn(Resampler, SupplyPlayback, this, DeviceChunkFrames);
    }
}

ConvertedStream::~ConvertedStream()
{
    Stop();
    soxr_delete(Resampler);
}

void ConvertedStream::Start()
{
    if (Converter.joinable())
    {
        return;
    }
    Stopping = false;
    Converter = std::thread([this] { Run(); });
}

void ConvertedStream::Stop()
{
    if (!Converter.joinable())
    {
        return;
    }
    Stopping.store(true, std::memory_order_release);
    Wake();
    Converter.join();
}

void ConvertedStream::Clear()
{
    Ring.Clear();
    soxr_clear(Resampler);
    if (Direction() == WaveDirection::Playback)
    {
        soxr_set_input_fn(Resampler, SupplyPlayback, this, DeviceChunkFrames);
    }
}

void ConvertedStream::TransferCapture(const std::uint8_t* Data, std::size_t Bytes)
{
    Ring.Write(Data, Bytes / Ring.FrameBytes());
    Wake();
}

void ConvertedStream::TransferPlayback(std::uint8_t* Data, std::size_t Bytes)
{
    const std::size_t Frames = Bytes / Ring.FrameBytes();
    if (Frames > LargestRequest.load(std::memory_order_relaxed))
    {
        LargestRequest.store(Frames, std::memory_order_relaxed);
    }
    const std::size_t Got = Ring.Read(Data, Frames) * Ring.FrameBytes();
    std::memset(Data + Got, 0, Bytes - Got);
    Wake();
}

void ConvertedStream::Fail(TWaveResult Result)
{
    Device.Fail(Result);
}

void ConvertedStream::Wake()
{
    WakeCount.fetch_add(1, std::memory_order_release);
    WakeCount.notify_one();
}

// Reading Stopping before the work makes the last round see everything the
// card delivered before its engine stopped.
void ConvertedStream::Run()
{
    for (;;)
    {
        const std::uint32_t Seen = WakeCount.load(std::memory_order_acquire);
        const bool Ending = Stopping.load(std::memory_order_acquire);
        if (Direction() == WaveDirection::Capture)
        {
            ConvertCaptured();
        }
        else if (!Ending)
        {
            FillPlayback();
        }
        if (Ending)
        {
            return;
        }
        WakeCount.wait(Seen, std::memory_order_acquire);
    }
}

void ConvertedStream::ConvertCaptured()
{
    const std::size_t Channels = Device.Format().nChannels;
    const bool EightBit = Device.Format().wBitsPerSample == 8;
    auto* CardBytes = reinterpret_cast<std::uint8_t*>(CardSamples.data());
    while (const std::size_t Read = Ring.Read(CardBytes, ChunkFrames))
    {
        MapChannels(CardSamples.data(), Format().nChannels, ChannelSamples.data(), Channels, Read);
        const std::int16_t* Input = ChannelSamples.data();
        std::size_t Left = Read;
        while (Left > 0)
        {
            std::size_t Used = 0;
            std::size_t Made = 0;
            soxr_process(Resampler, Input, Left, &Used, DeviceSamples.data(), DeviceChunkFrames,
                         &Made);
            const std::size_t Samples = Made * Channels;
            if (EightBit)
            {
                std::transform(DeviceSamples.begin(), DeviceSamples.begin() + Samples,
                               DeviceBytes.begin(), ToUnsigned8);
                Device.TransferCapture(DeviceBytes.data(), Samples);
            }
            else
            {
                Device.TransferCapture(reinterpret_cast<const std::uint8_t*>(DeviceSamples.data()),
                                       Samples * sizeof(std::int16_t));
            }
            if (Used == 0 && Made == 0)
            {
                break;
            }
            Input += Used * Channels;
            Left -= Used;
        }
    }
}

void ConvertedStream::FillPlayback()
{
    const std::size_t Lead = Format().nSamplesPerSec / LeadDivisor;
    const std::size_t Target =
        std::min(Ring.CapacityFrames(), 2 * LargestRequest.load(std::memory_order_relaxed) + Lead);
    auto* CardBytes = reinterpret_cast<std::uint8_t*>(CardSamples.data());
    for (std::size_t Level = Ring.AvailableFrames(); Level < Target;)
    {
        const std::size_t Made =
            soxr_output(Resampler, ChannelSamples.data(), std::min(Target - Level, ChunkFrames));
        if (Made == 0)
        {
            return;
        }
        MapChannels(ChannelSamples.data(), Device.Format().nChannels, CardSamples.data(),
                    Format().nChannels, Made);
        Level += Ring.Write(CardBytes, Made);
    }
}

std::size_t ConvertedStream::SupplyPlayback(void* State, soxr_in_t* Data, std::size_t Requested)
{
    auto& Stream = *static_cast<ConvertedStream*>(State);
    const std::size_t Samples =
        std::min(Requested, Stream.DeviceChunkFrames) * Stream.Device.Format().nChannels;
    if (Stream.Device.Format().wBitsPerSample == 8)
    {
        Stream.Device.TransferPlayback(Stream.DeviceBytes.data(), Samples);
        std::transform(Stream.DeviceBytes.begin(), Stream.DeviceBytes.begin() + Samples,
                       Stream.DeviceSamples.begin(), FromUnsigned8);
    }
    else
    {
        Stream.Device.TransferPlayback(reinterpret_cast<std::uint8_t*>(Stream.DeviceSamples.data()),
                                       Samples * sizeof(std::int16_t));
    }
    *Data = Stream.DeviceSamples.data();
    return Samples / Stream.Device.Format().nChannels;
}

} // namespace keb
