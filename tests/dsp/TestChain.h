// A generator -> recorder -> equalizer chain, pulled buffer by buffer, and a
// stand-alone engine to compare it with.
#pragma once

#include "dsp/MMEQ.h"
#include "dsp/MMFXGen.h"
#include "tests/dsp/TestBuffers.h"

#include <memory>
#include <vector>

namespace keb::test
{

// Keeps a copy of every buffer pulled through it.
class Recorder : public TMMDSPComponent
{
  public:
    using TMMDSPComponent::TMMDSPComponent;

    void BufferLoad(PWaveHdr header, bool& moreBuffers) override
    {
        TMMDSPComponent::BufferLoad(header, moreBuffers);
        const auto* data = reinterpret_cast<const std::int16_t*>(header->lpData);
        Recorded.insert(Recorded.end(), data, data + header->dwBytesRecorded / 2);
    }

    std::vector<std::int16_t> Recorded;
};

// The generator plays noise at 8000 Hz, 16-bit mono; its frequency scatters
// the table reads so that the noise stays white.
struct Chain
{
    static constexpr int BufferBytes = 2000;

    Chain() : Generator(nullptr), Tap(nullptr), Equalizer(nullptr)
    {
        Generator.SetSampleRate(8000);
        Generator.SetBitLength(b16Bit);
        Generator.SetWaveForm(wfNoise);
        Generator.SetFrequency(3141.5926);
        Generator.SetAmplitude(4000);
        Tap.SetInput(&Generator);
        Equalizer.SetInput(&Tap);
        Equalizer.SetChannel(chLeft);
    }

    void Open()
    {
        const std::initializer_list<TMMDSPComponent*> components{&Generator, &Tap, &Equalizer};
        for (TMMDSPComponent* component : components)
            component->ChainOpened();
        for (TMMDSPComponent* component : components)
            component->ChainStarted();
    }

    // Pulls count buffers from the equalizer and returns what came out.
    std::vector<std::int16_t> Pull(int count, std::uint32_t bytes = BufferBytes)
    {
        TestBuffer buffer(bytes);
        std::vector<std::int16_t> out;
        for (int i = 0; i < count; ++i)
        {
            bool more = false;
            buffer.ClearForLoad();
            Equalizer.BufferLoad(buffer.Header(), more);
            const auto samples = buffer.Samples();
            out.insert(out.end(), samples.begin(), samples.end());
        }
        return out;
    }

    TMMGenerator Generator;
    Recorder Tap;
    TMMEqualizer Equalizer;
};

// The 20 bands of the main window: 200 Hz wide from 0 to 4000 Hz, 0 dB,
// edges summed in single precision.
inline void AddMainWindowBands(TMMEqualizer& equalizer, int sampleRate = 8000)
{
    const auto width = static_cast<float>((sampleRate / 2) * 0.05L);
    float f1 = 0;
    float f2 = width;
    for (int k = 0; k < 20; ++k)
    {
        equalizer.Filters()->Add(new TMMEQFilter(f1, f2, 0));
        f1 += width;
        f2 += width;
    }
}

// The slider gains of the 1.8 kHz preset with the shift wheel at v: bands v .. v + 8 open.
inline float Preset18Gain(int band, int v)
{
    return band >= v && band <= v + 8 ? 0.0f : -60.0f;
}

struct TEngineDeleter
{
    void operator()(TFFTFilter* engine) const { DoneFFTFilter(engine); }
};
using TEnginePtr = std::unique_ptr<TFFTFilter, TEngineDeleter>;

// A flat 16-bit mono engine as the equalizer opens it.
inline TEnginePtr MakeReferenceEngine(int length, int sampleRate = 8000)
{
    TWaveFormatEx format{};
    BuildPCMFormat(format, 16, 1, static_cast<std::uint32_t>(sampleRate));
    TEnginePtr engine(InitFFTFilter(&format, length, 65536));
    SetFFTFilterWindow(engine.get(), fwHamming);
    SetFFTFilterBand(engine.get(), 0, sampleRate * 0.5f, 0);
    return engine;
}

// A reference engine with the main window's 20 bands applied in order, all at
// 0 dB except `band` at `gain` dB.
inline TEnginePtr MakeMainWindowEngine(int length, int band, float gain)
{
    TEnginePtr engine = MakeReferenceEngine(length);
    for (int k = 0; k < 20; ++k)
        SetFFTFilterBand(engine.get(), k * 200.0f, (k + 1) * 200.0f, k == band ? gain : 0.0f);
    return engine;
}

// Filters input through engine in pieces of Chain::BufferBytes.
inline std::vector<std::int16_t>
FilterInBuffers(TFFTFilter* engine, std::vector<std::int16_t> input, int channel = chLeft)
{
    const std::size_t step = Chain::BufferBytes / 2;
    for (std::size_t start = 0; start < input.size(); start += step)
        DoFFTFilter(engine, channel, input.data() + start,
                    static_cast<int>(2 * std::min(step, input.size() - start)));
    return input;
}

} // namespace keb::test
