#include "platform/audio/RateFallback.h"

#include "platform/audio/ConvertedStream.h"

#include <array>

namespace keb
{

namespace
{

constexpr std::array<std::uint32_t, 2> CommonCardRates{48000, 44100};

TWaveFormatEx SixteenBitFormat(const TWaveFormatEx& format, std::uint32_t rate,
                               std::uint16_t channels)
{
    TWaveFormatEx card = format;
    card.wBitsPerSample = 16;
    card.nSamplesPerSec = rate;
    card.nChannels = channels;
    card.nBlockAlign = static_cast<std::uint16_t>(channels * 2);
    card.nAvgBytesPerSec = card.nBlockAlign * rate;
    card.cbSize = 0;
    return card;
}

// The converted stream and the card's engine that feeds it; the engine goes
// first, so that no transfer reaches a stream being destroyed.
class TConvertingEngine final : public TWaveEngine
{
  public:
    TConvertingEngine(std::unique_ptr<TConvertedStream> openStream,
                      std::unique_ptr<TWaveEngine> cardEngine)
        : stream_(std::move(openStream)), card_(std::move(cardEngine))
    {
    }

    TWaveResult Start() override
    {
        stream_->Start();
        const TWaveResult result = card_->Start();
        if (result != wrNoError)
        {
            stream_->Stop();
        }
        return result;
    }

    TWaveResult Stop(bool discard) override
    {
        const TWaveResult result = card_->Stop(discard);
        stream_->Stop();
        if (discard)
        {
            stream_->Clear();
        }
        return result;
    }

    TWaveResult QueueResult() const override { return card_->QueueResult(); }
    bool SendsClosedNotification() const override { return card_->SendsClosedNotification(); }

  private:
    const std::unique_ptr<TConvertedStream> stream_;
    std::unique_ptr<TWaveEngine> card_;
};

bool SameFormat(const TWaveFormatEx& left, const TWaveFormatEx& right)
{
    return left.nSamplesPerSec == right.nSamplesPerSec &&
           left.wBitsPerSample == right.wBitsPerSample && left.nChannels == right.nChannels;
}

} // namespace

TWaveResult ChooseCardFormat(TWaveBackend& backend, TWaveDirection direction, int deviceId,
                             const TWaveFormatEx& format, TWaveFormatEx& cardFormat)
{
    const TWaveResult native = backend.QueryFormat(direction, deviceId, format);
    cardFormat = format;
    if (native != wrBadFormat)
    {
        return native;
    }
    const std::uint32_t preferred = backend.DefaultRate(direction, deviceId);
    const std::uint16_t stereo = 2;
    for (const std::uint32_t rate : {preferred, CommonCardRates[0], CommonCardRates[1]})
    {
        for (const std::uint16_t channels : {format.nChannels, stereo})
        {
            const TWaveFormatEx candidate = SixteenBitFormat(format, rate, channels);
            if (rate != 0 && channels >= format.nChannels && !SameFormat(candidate, format) &&
                backend.QueryFormat(direction, deviceId, candidate) == wrNoError)
            {
                cardFormat = candidate;
                return wrNoError;
            }
        }
    }
    return native;
}

TWaveResult OpenCardEngine(TWaveBackend& backend, TWaveDirection direction, int deviceId,
                           TWaveDevice& device, const TWaveFormatEx& cardFormat,
                           std::unique_ptr<TWaveEngine>& engine)
{
    if (SameFormat(cardFormat, device.Format()))
    {
        return backend.Open(direction, deviceId, device, engine);
    }
    auto stream = TConvertedStream::Create(device, cardFormat);
    if (!stream)
    {
        return wrNoMemory;
    }
    std::unique_ptr<TWaveEngine> cardEngine;
    if (const TWaveResult result = backend.Open(direction, deviceId, *stream, cardEngine);
        result != wrNoError)
    {
        return result;
    }
    engine = std::make_unique<TConvertingEngine>(std::move(stream), std::move(cardEngine));
    return wrNoError;
}

std::uint32_t WithConversion(std::uint32_t formats)
{
    // Each rate class holds the same four bits (mono/stereo x 8/16 bit); the
    // card runs a converted device at 16 bits.
    const std::uint32_t anyClass = formats | formats >> 4 | formats >> 8;
    std::uint32_t converted = 0;
    if (anyClass & (WaveFormat1M16 | WaveFormat1S16))
    {
        converted |= WaveFormat1M08 | WaveFormat1M16;
    }
    if (anyClass & WaveFormat1S16)
    {
        converted |= WaveFormat1S08 | WaveFormat1S16;
    }
    return formats | converted * 0x111;
}

} // namespace keb
