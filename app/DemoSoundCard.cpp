#include "app/DemoSoundCard.h"

#include "demo/DemoSignal.h"
#include "platform/audio/portaudio/PortAudioBackend.h"

#include <algorithm>
#include <array>

namespace keb
{

namespace
{

// Fills Bytes of Format with the demo signal, a block of mono samples at a
// time, copied into every channel.
class DemoSignalWriter
{
  public:
    void operator()(std::uint8_t* Data, std::size_t Bytes, const TWaveFormatEx& Format)
    {
        if (!Signal || SignalRate != Format.nSamplesPerSec)
        {
            SignalRate = Format.nSamplesPerSec;
            Signal = std::make_shared<TDemoSignal>(SignalRate);
        }
        const std::size_t Channels = std::max<std::size_t>(Format.nChannels, 1);
        const std::size_t BytesPerSample = Format.wBitsPerSample == 8 ? 1 : 2;
        std::size_t Frames = Bytes / (Channels * BytesPerSample);
        while (Frames > 0)
        {
            const std::size_t Count = std::min(Frames, Block.size());
            Signal->Fill(Block.data(), Count);
            for (std::size_t Frame = 0; Frame < Count; ++Frame)
            {
                for (std::size_t Channel = 0; Channel < Channels; ++Channel)
                    Data = Put(Data, Block[Frame], BytesPerSample);
            }
            Frames -= Count;
        }
    }

  private:
    static std::uint8_t* Put(std::uint8_t* Data, std::int16_t Sample, std::size_t Bytes)
    {
        if (Bytes == 1)
        {
            *Data = static_cast<std::uint8_t>((Sample >> 8) + 128);
            return Data + 1;
        }
        const auto Bits = static_cast<std::uint16_t>(Sample);
        Data[0] = static_cast<std::uint8_t>(Bits & 0xFF);
        Data[1] = static_cast<std::uint8_t>(Bits >> 8);
        return Data + 2;
    }

    // Shared so that the generator function stays copyable.
    std::shared_ptr<TDemoSignal> Signal;
    std::uint32_t SignalRate = 0;
    std::array<std::int16_t, 256> Block{};
};

class DemoBackend final : public WaveBackend
{
  public:
    DemoBackend(std::shared_ptr<VirtualSoundCard> Card, std::shared_ptr<WaveBackend> Speakers)
        : Card(std::move(Card)), Speakers(std::move(Speakers))
    {
    }

    int DeviceCount(WaveDirection Direction) override
    {
        return For(Direction).DeviceCount(Direction);
    }
    TWaveResult GetCaps(WaveDirection Direction, int DeviceId, TWaveCaps& Caps) override
    {
        return For(Direction).GetCaps(Direction, DeviceId, Caps);
    }
    TWaveResult QueryFormat(WaveDirection Direction, int DeviceId,
                            const TWaveFormatEx& Format) override
    {
        return For(Direction).QueryFormat(Direction, DeviceId, Format);
    }
    TWaveResult Open(WaveDirection Direction, int DeviceId, WaveDevice& Device,
                     std::unique_ptr<WaveEngine>& Engine) override
    {
        return For(Direction).Open(Direction, DeviceId, Device, Engine);
    }
    std::uint32_t DefaultRate(WaveDirection Direction, int DeviceId) override
    {
        return For(Direction).DefaultRate(Direction, DeviceId);
    }
    double BlockSeconds(WaveDirection Direction, int DeviceId) override
    {
        return For(Direction).BlockSeconds(Direction, DeviceId);
    }

  private:
    WaveBackend& For(WaveDirection Direction)
    {
        if (Direction == WaveDirection::Playback && Speakers &&
            Speakers->DeviceCount(WaveDirection::Playback) > 0)
            return *Speakers;
        return *Card;
    }

    std::shared_ptr<VirtualSoundCard> Card;
    std::shared_ptr<WaveBackend> Speakers;
};

} // namespace

std::unique_ptr<VirtualSource> MakeDemoSignalSource()
{
    return MakeGeneratorSource(DemoSignalWriter());
}

std::shared_ptr<WaveBackend> MakeDemoBackend(std::shared_ptr<VirtualSoundCard> Card,
                                             std::shared_ptr<WaveBackend> Speakers)
{
    return std::make_shared<DemoBackend>(std::move(Card), std::move(Speakers));
}

std::shared_ptr<WaveBackend> MakeDemoBackend()
{
    auto Card = VirtualSoundCard::Create(VirtualClock::RealTime);
    Card->AddCaptureDevice("KEB demo receiver", MakeDemoSignalSource());
    Card->AddPlaybackDevice("KEB demo speaker", MakeNullSink());
    return MakeDemoBackend(std::move(Card), PortAudioBackend::Instance());
}

} // namespace keb
