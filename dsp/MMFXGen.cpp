#include "dsp/MMFXGen.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <numbers>

namespace keb
{

namespace
{

constexpr int UnityAmplitude = 16384;

int Clip16(std::int64_t value)
{
    return static_cast<int>(std::clamp<std::int64_t>(value, -32768, 32767));
}
int Clip8(std::int64_t value)
{
    return static_cast<int>(std::clamp<std::int64_t>(value, -128, 127));
}

// Samples are read and written through memcpy: buffers carry no alignment promise.
int ReadSample(const std::uint8_t* data, int index, bool wide)
{
    if (!wide)
        return data[index] - 128;
    std::int16_t value;
    std::memcpy(&value, data + 2 * index, sizeof value);
    return value;
}

void WriteSample(std::uint8_t* data, int index, bool wide, int value)
{
    if (!wide)
    {
        data[index] = static_cast<std::uint8_t>(value + 128);
        return;
    }
    const auto sample = static_cast<std::int16_t>(value);
    std::memcpy(data + 2 * index, &sample, sizeof sample);
}

double WrapPhase(double phase)
{
    return phase - TMMWaveTable::PhaseWrap * std::trunc(phase / TMMWaveTable::PhaseWrap);
}

} // namespace

// What one buffer is processed with, read once from the atomics.
struct TMMGenerator::TSettings
{
    bool Wide;        // 16-bit samples
    int Channels;     // 1 or 2
    int FirstChannel; // of a frame, the channels FirstChannel .. LastChannel are written
    int LastChannel;
    TMMModulation Modulation;
    int Amplitude;
    int Dry;
    double Step;
};

TMMWaveTable::TMMWaveTable() : entries_(std::make_unique<std::atomic<std::int16_t>[]>(Length)) {}

void TMMWaveTable::Build(TMMWaveForm form, int peak, std::mt19937& random)
{
    const std::int64_t a = peak;
    constexpr std::int64_t q = Length / 4;
    constexpr std::int64_t h = Length / 2;
    std::uniform_int_distribution<int> noise(-peak, peak - 1);
    for (std::int64_t i = 0; i < Length; ++i)
    {
        std::int64_t value = 0;
        switch (form)
        {
        case wfSine:
            value = static_cast<std::int64_t>(
                std::nearbyint(std::sin(2.0 * std::numbers::pi * static_cast<double>(i) / Length) *
                               static_cast<double>(a)));
            break;
        case wfSquare:
            value = i <= h ? -a : a;
            break;
        case wfTriangle:
            value = i <= q ? a * i / q : i <= 3 * q ? a * (h - i) / q : a * (i - 3 * q) / q - a;
            break;
        case wfSawtoothPos:
            value = i <= h ? a * i / h : a * (i - h) / h - a;
            break;
        case wfSawtoothNeg:
            value = i <= h ? -(a * i) / h : a - a * (i - h) / h;
            break;
        case wfNoise:
            value = noise(random);
            break;
        }
        entries_[i].store(static_cast<std::int16_t>(value), std::memory_order_relaxed);
    }
}

int TMMWaveTable::Next(double& phase, double step, int amplitude) const
{
    const auto index = static_cast<int>(std::nearbyint(phase));
    const std::int64_t value = std::int64_t{Value(index)} * amplitude / UnityAmplitude;
    phase = WrapPhase(phase + step);
    return static_cast<int>(value);
}

TMMGenerator::TMMGenerator(TComponent* owner)
    : TMMDSPComponent(owner), random_(static_cast<std::mt19937::result_type>(
                                  std::chrono::steady_clock::now().time_since_epoch().count()))
{
    UpdateFormat();
}

TMMGenerator::~TMMGenerator() = default;

void TMMGenerator::SetSampleRate(int value)
{
    value = std::clamp(value, 8000, 88200);
    if (value == SampleRate())
        return;
    sampleRate_.store(value, std::memory_order_relaxed);
    UpdateFormat();
}

void TMMGenerator::SetBitLength(TMMBits value)
{
    if (value == BitLength())
        return;
    bitLength_.store(value, std::memory_order_relaxed);
    silenceByte_.store(value == b16Bit ? 0 : 128, std::memory_order_relaxed);
    UpdateFormat();
}

void TMMGenerator::SetMode(TMMMode value)
{
    if (value == Mode() || (value != mMono && value != mStereo))
        return;
    mode_.store(value, std::memory_order_relaxed);
    UpdateFormat();
}

void TMMGenerator::SetWaveForm(TMMWaveForm value)
{
    if (value == WaveForm())
        return;
    waveForm_.store(value, std::memory_order_relaxed);
    BuildWaveTable();
}

void TMMGenerator::SetFrequency(double value)
{
    if (std::isnan(value))
        return;
    frequency_.store(std::clamp(value, 0.01, 100000.0), std::memory_order_relaxed);
}

void TMMGenerator::SetAmplitude(TMMVolumeRange value)
{
    amplitude_.store(std::min<TMMVolumeRange>(value, UnityAmplitude), std::memory_order_relaxed);
}

void TMMGenerator::SetDryAmplitude(TMMVolumeRange value)
{
    dry_.store(std::min<TMMVolumeRange>(value, UnityAmplitude), std::memory_order_relaxed);
}

void TMMGenerator::UpdateFormat()
{
    BuildPCMFormat(ownFormat_, BitsPerSample(BitLength()), ChannelCount(Mode()),
                   static_cast<std::uint32_t>(SampleRate()));
    SetWaveFormat(&ownFormat_);
}

void TMMGenerator::SetWaveFormat(const TWaveFormatEx* Format)
{
    if (Format != nullptr)
    {
        if (!IsValidPCMFormat(Format))
            throw EMMGeneratorError("Invalid WaveFormat");
        SetSampleRate(static_cast<int>(Format->nSamplesPerSec));
        SetBitLength(static_cast<TMMBits>(Format->wBitsPerSample / 8 - 1));
        SetMode(static_cast<TMMMode>(Format->nChannels - 1));
        BuildWaveTable();
    }
    TMMDSPComponent::SetWaveFormat(Format);
}

void TMMGenerator::BuildWaveTable()
{
    if (!active_.load())
        return;
    table_.Build(WaveForm(), BitLength() == b16Bit ? 32767 : 127, random_);
}

void TMMGenerator::ChainOpened()
{
    TMMDSPComponent::ChainOpened();
    if (active_.exchange(true))
        return;
    BuildWaveTable();
}

void TMMGenerator::ChainClosed()
{
    active_.store(false);
    TMMDSPComponent::ChainClosed();
}

void TMMGenerator::ChainStarted()
{
    TMMDSPComponent::ChainStarted();
    phase_.store(0.0, std::memory_order_relaxed);
}

TMMGenerator::TSettings TMMGenerator::Snapshot() const
{
    TSettings settings{};
    settings.Wide = BitLength() == b16Bit;
    settings.Channels = Mode() == mStereo ? 2 : 1;
    const TMMChannel channel = settings.Channels == 2 ? Channel() : chBoth;
    settings.FirstChannel = channel == chRight ? 1 : 0;
    settings.LastChannel = channel == chLeft ? 0 : settings.Channels - 1;
    settings.Modulation = Modulation();
    settings.Amplitude = Amplitude();
    settings.Dry = DryAmplitude();
    settings.Step = Frequency() * TMMWaveTable::Length / SampleRate();
    return settings;
}

void TMMGenerator::Synthesize(std::uint8_t* data, int bytes)
{
    const TSettings s = Snapshot();
    const int frames = bytes / ((s.Wide ? 2 : 1) * s.Channels);
    double phase = phase_.load(std::memory_order_relaxed);
    for (int frame = 0; frame < frames; ++frame)
    {
        const int g = table_.Next(phase, s.Step, s.Amplitude);
        for (int ch = s.FirstChannel; ch <= s.LastChannel; ++ch)
            WriteSample(data, frame * s.Channels + ch, s.Wide, g);
    }
    phase_.store(phase, std::memory_order_relaxed);
}

void TMMGenerator::Modulate(std::uint8_t* data, int bytes)
{
    const TSettings s = Snapshot();
    double phase = phase_.load(std::memory_order_relaxed);
    if (s.Modulation == moAM)
    {
        const int frames = bytes / ((s.Wide ? 2 : 1) * s.Channels);
        const std::int64_t carrierScale = s.Wide ? 32768 : 128;
        for (int frame = 0; frame < frames; ++frame)
        {
            const std::int64_t g = table_.Next(phase, s.Step, s.Amplitude);
            for (int ch = s.FirstChannel; ch <= s.LastChannel; ++ch)
            {
                const int index = frame * s.Channels + ch;
                const std::int64_t sample = ReadSample(data, index, s.Wide);
                const std::int64_t out =
                    sample * s.Dry / UnityAmplitude + g * sample / carrierScale;
                WriteSample(data, index, s.Wide, s.Wide ? Clip16(out) : Clip8(out));
            }
        }
    }
    else if (s.Modulation == moFM && s.Wide)
    {
        for (int index = 0; index < bytes / 2; ++index)
        {
            const double x = ReadSample(data, index, true) / 32768.0;
            WriteSample(data, index, true, table_.Next(phase, s.Step * (x + 1.0), s.Amplitude));
        }
    }
    phase_.store(phase, std::memory_order_relaxed);
}

void TMMGenerator::BufferReady(PWaveHdr lpWaveHdr)
{
    if (Enabled())
        Modulate(reinterpret_cast<std::uint8_t*>(lpWaveHdr->lpData),
                 static_cast<int>(std::min(lpWaveHdr->dwBytesRecorded, lpWaveHdr->dwBufferLength)));
    TMMDSPComponent::BufferReady(lpWaveHdr);
}

void TMMGenerator::BufferLoad(PWaveHdr lpWaveHdr, bool& MoreBuffers)
{
    auto* data = reinterpret_cast<std::uint8_t*>(lpWaveHdr->lpData);
    if (GetInput() != nullptr)
    {
        TMMDSPComponent::BufferLoad(lpWaveHdr, MoreBuffers);
        if (Enabled())
            Modulate(data, static_cast<int>(
                               std::min(lpWaveHdr->dwBytesRecorded, lpWaveHdr->dwBufferLength)));
    }
    else
    {
        if (Enabled())
            Synthesize(data, static_cast<int>(lpWaveHdr->dwBufferLength));
        else
            std::memset(data, silenceByte_.load(std::memory_order_relaxed),
                        lpWaveHdr->dwBufferLength);
        lpWaveHdr->dwBytesRecorded = lpWaveHdr->dwBufferLength;
    }
    MoreBuffers = true;
}

} // namespace keb
