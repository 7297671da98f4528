#include "platform/audio/RateFallback.h"

#include "platform/audio/ConvertedStream.h"

#include <array>

namespace keb
{

namespace
{

constexpr std::array<std::uint32_t, 2> CommonCardRates{48000, 44100};

TWaveFormatEx SixteenBitFormat(const TWaveFormatEx& Format, std::uint32_t Rate,
                               std::uint16_t Channels)
{
    TWaveFormatEx Card = Format;
    Card.wBitsPerSample = 16;
    Card.nSamplesPerSec = Rate;
    Card.nChannels = Channels;
    Card.nBlockAlign = static_cast<std::uint16_t>(Channels * 2);
    Card.nAvgBytesPerSec = Card.nBlockAlign * Rate;
    Card.cbSize = 0;
    return Card;
}

// The converted stream and the card's engine that feeds it; the engine goes
// first, so that no transfer reaches a stream being destroyed.
class ConvertingEngine final : public WaveEngine
{
  public:
    ConvertingEngine(std::unique_ptr<ConvertedStream> OpenStream,
                     std::unique_ptr<WaveEngine> CardEngine)
        : Stream(std::move(OpenStream)), Card(std::move(CardEngine))
    {
    }

    TWaveResult Start() override
    {
        Stream->Start();
        const TWaveResult Result = Card->Start();
        if (Result != wrNoError)
        {
            Stream->Stop();
        }
        return Result;
    }

    TWaveResult Stop(bool Discard) override
    {
        const TWaveResult Result = Card->Stop(Discard);
        Stream->Stop();
        if (Discard)
        {
            Stream->Clear();
        }
        return Result;
    }

    TWaveResult QueueResult() const override { return Card->QueueResult(); }
    bool SendsClosedNotification() const override { return Card->SendsClosedNotification(); }

  private:
    const std::unique_ptr<ConvertedStream> Stream;
    std::unique_ptr<WaveEngine> Card;
};

bool SameFormat(const TWaveFormatEx& Left, const TWaveFormatEx& Right)
{
    return Left.nSamplesPerSec == Right.nSamplesPerSec &&
           Left.wBitsPerSample == Right.wBitsPerSample && Left.nChannels == Right.nChannels;
}

} // namespace

TWaveResult ChooseCardFormat(WaveBackend& Backend, WaveDirection Direction, int DeviceId,
                             const TWaveFormatEx& Format, TWaveFormatEx& CardFormat)
{
    const TWaveResult Native = Backend.QueryFormat(Direction, DeviceId, Format);
    CardFormat = Format;
    if (Native != wrBadFormat)
    {
        return Native;
    }
    const std::uint32_t Default = Backend.DefaultRate(Direction, DeviceId);
    const std::uint16_t Stereo = 2;
    for (const std::uint32_t Rate : {Default, CommonCardRates[0], CommonCardRates[1]})
    {
        for (const std::uint16_t Channels : {Format.nChannels, Stereo})
        {
            const TWaveFormatEx Candidate = SixteenBitFormat(Format, Rate, Channels);
            if (Rate != 0 && Channels >= Format.nChannels && !SameFormat(Candidate, Format) &&
                Backend.QueryFormat(Direction, DeviceId, Candidate) == wrNoError)
            {
                CardFormat = Candidate;
                return wrNoError;
            }
        }
    }
    return Native;
}

TWaveResult OpenCardEngine(WaveBackend& Backend, WaveDirection Direction, int DeviceId,
                           WaveDevice& Device, const TWaveFormatEx& CardFormat,
                           std::unique_ptr<WaveEngine>& Engine)
{
    if (SameFormat(CardFormat, Device.Format()))
    {
        return Backend.Open(Direction, DeviceId, Device, Engine);
    }
    auto Stream = ConvertedStream::Create(Device, CardFormat);
    if (!Stream)
    {
        return wrNoMemory;
    }
    std::unique_ptr<WaveEngine> CardEngine;
    if (const TWaveResult Result = Backend.Open(Direction, DeviceId, *Stream, CardEngine);
        Result != wrNoError)
    {
        return Result;
    }
    Engine = std::make_unique<ConvertingEngine>(std::move(Stream), std::move(CardEngine));
    return wrNoError;
}

std::uint32_t WithConversion(std::uint32_t Formats)
{
    // Each rate class holds the same four bits (mono/stereo x 8/16 bit); the
    // card runs a converted device at 16 bits.
    const std::uint32_t AnyClass = Formats | Formats >> 4 | Formats >> 8;
    std::uint32_t Converted = 0;
    if (AnyClass & (WaveFormat1M16 | WaveFormat1S16))
    {
        Converted |= WaveFormat1M08 | WaveFormat1M16;
    }
    if (AnyClass & WaveFormat1S16)
    {
        Converted |= WaveFormat1S08 | WaveFormat1S16;
    }
    return Formats | Converted * 0x111;
}

} // namespace keb
