#include "app/DemoSoundCard.h"

#include "demo/DemoSignal.h"
#include "platform/audio/portaudio/PortAudioBackend.h"

#include <algorithm>
#include <array>

namespace keb
{

namespace
{

// Fills bytes of format with the demo signal, a block of mono samples at a
// time, copied into every channel.
class TDemoSignalWriter
{
  public:
    void operator()(std::uint8_t* data, std::size_t bytes, const TWaveFormatEx& format)
    {
        if (!signal_ || signalRate_ != format.nSamplesPerSec)
        {
            signalRate_ = format.nSamplesPerSec;
            signal_ = std::make_shared<TDemoSignal>(signalRate_);
        }
        const std::size_t channels = std::max<std::size_t>(format.nChannels, 1);
        const std::size_t bytesPerSample = format.wBitsPerSample == 8 ? 1 : 2;
        std::size_t frames = bytes / (channels * bytesPerSample);
        while (frames > 0)
        {
            const std::size_t count = std::min(frames, block_.size());
            signal_->Fill(block_.data(), count);
            for (std::size_t frame = 0; frame < count; ++frame)
            {
                for (std::size_t channel = 0; channel < channels; ++channel)
                    data = Put(data, block_[frame], bytesPerSample);
            }
            frames -= count;
        }
    }

  private:
    static std::uint8_t* Put(std::uint8_t* data, std::int16_t sample, std::size_t bytes)
    {
        if (bytes == 1)
        {
            *data = static_cast<std::uint8_t>((sample >> 8) + 128);
            return data + 1;
        }
        const auto bits = static_cast<std::uint16_t>(sample);
        data[0] = static_cast<std::uint8_t>(bits & 0xFF);
        data[1] = static_cast<std::uint8_t>(bits >> 8);
        return data + 2;
    }

    // Shared so that the generator function stays copyable.
    std::shared_ptr<TDemoSignal> signal_;
    std::uint32_t signalRate_ = 0;
    std::array<std::int16_t, 256> block_{};
};

class TDemoBackend final : public TWaveBackend
{
  public:
    TDemoBackend(std::shared_ptr<TVirtualSoundCard> card, std::shared_ptr<TWaveBackend> speakers)
        : card_(std::move(card)), speakers_(std::move(speakers))
    {
    }

    int DeviceCount(TWaveDirection Direction) override
    {
        return For(Direction).DeviceCount(Direction);
    }
    TWaveResult GetCaps(TWaveDirection Direction, int DeviceId, TWaveCaps& Caps) override
    {
        return For(Direction).GetCaps(Direction, DeviceId, Caps);
    }
    TWaveResult QueryFormat(TWaveDirection Direction, int DeviceId,
                            const TWaveFormatEx& Format) override
    {
        return For(Direction).QueryFormat(Direction, DeviceId, Format);
    }
    TWaveResult Open(TWaveDirection Direction, int DeviceId, TWaveDevice& Device,
                     std::unique_ptr<TWaveEngine>& Engine) override
    {
        return For(Direction).Open(Direction, DeviceId, Device, Engine);
    }
    std::uint32_t DefaultRate(TWaveDirection Direction, int DeviceId) override
    {
        return For(Direction).DefaultRate(Direction, DeviceId);
    }
    double BlockSeconds(TWaveDirection Direction, int DeviceId) override
    {
        return For(Direction).BlockSeconds(Direction, DeviceId);
    }

  private:
    TWaveBackend& For(TWaveDirection Direction)
    {
        if (Direction == TWaveDirection::Playback && speakers_ &&
            speakers_->DeviceCount(TWaveDirection::Playback) > 0)
            return *speakers_;
        return *card_;
    }

    std::shared_ptr<TVirtualSoundCard> card_;
    std::shared_ptr<TWaveBackend> speakers_;
};

} // namespace

std::unique_ptr<TVirtualSource> MakeDemoSignalSource()
{
    return MakeGeneratorSource(TDemoSignalWriter());
}

std::shared_ptr<TWaveBackend> MakeDemoBackend(std::shared_ptr<TVirtualSoundCard> card,
                                              std::shared_ptr<TWaveBackend> speakers)
{
    return std::make_shared<TDemoBackend>(std::move(card), std::move(speakers));
}

std::shared_ptr<TWaveBackend> MakeDemoBackend()
{
    auto card = TVirtualSoundCard::Create(TVirtualClock::RealTime);
    card->AddCaptureDevice("KEB demo receiver", MakeDemoSignalSource());
    card->AddPlaybackDevice("KEB demo speaker", MakeNullSink());
    return MakeDemoBackend(std::move(card), TPortAudioBackend::Instance());
}

} // namespace keb
