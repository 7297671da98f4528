// The chain run on several lanes against one chain pulled from start to end:
// the same samples at every length, FFT length and chunk size, and errors of
// either end leave the run without a wait.
#include "tools/ParallelFilter.h"
#include "tools/FilterSettings.h"

#include <gtest/gtest.h>
#include <random>
#include <stdexcept>

namespace keb
{
namespace
{

// Noise with stretches loud enough to clip once the bands are raised, and a
// silent one: what a frame sees differs from frame to frame.
std::vector<std::int16_t> Recording(std::size_t count)
{
    std::mt19937 random(count);
    std::uniform_int_distribution<int> quiet(-3000, 3000);
    std::uniform_int_distribution<int> loud(-32768, 32767);
    std::vector<std::int16_t> samples(count);
    for (std::size_t i = 0; i < count; ++i)
    {
        const std::size_t stretch = i / 7919 % 4;
        samples[i] = static_cast<std::int16_t>(stretch == 1   ? loud(random)
                                               : stretch == 3 ? 0
                                                              : quiet(random));
    }
    return samples;
}

TFilterOptions Settings(int fftLength)
{
    TFilterOptions options;
    options.FFTLength = fftLength;
    options.Gains =
        TBandPositions{12, 12, 12, 12, 0, -10, -60, 0, 12, 12, 0, 0, 0, -3, -60, 12, 12, 0, 0, 0};
    return options;
}

TParallelFilter::TConfigure Configure(const TFilterOptions& options)
{
    return [options](TFilterChain& chain)
    {
        ConfigureEqualizer(chain.Equalizer(), options, RequestedPositions(options));
        ConfigureCleanup(chain.Notch(), chain.NoiseReducer(), options);
    };
}

struct TStream
{
    std::vector<std::int16_t> Audio;
    std::int64_t Leading = 0;
    std::int64_t Trailing = 0;
};

std::vector<std::int16_t> SerialOutput(const TFilterOptions& options, const TStream& stream)
{
    TMemorySupply supply(stream.Audio);
    TFilterChain chain(supply, FilterSampleRate);
    Configure(options)(chain);
    chain.Source().SetLeadingSilence(stream.Leading);
    chain.Source().SetTrailingSilence(stream.Trailing);
    chain.Open();
    std::vector<std::int16_t> output;
    for (bool more = true; more;)
    {
        const auto samples = chain.Pull(more);
        output.insert(output.end(), samples.begin(), samples.end());
    }
    return output;
}

std::vector<std::int16_t> ParallelOutput(const TFilterOptions& options, const TStream& stream,
                                         int lanes, std::size_t chunkSamples)
{
    TMemorySupply supply(stream.Audio);
    TParallelFilter filter(lanes, Configure(options), chunkSamples);
    std::vector<std::int16_t> output;
    filter.Run(supply, stream.Leading, stream.Trailing,
               [&](auto samples) { output.insert(output.end(), samples.begin(), samples.end()); });
    return output;
}

TEST(ParallelFilter, GivesWhatOneChainGivesAtEveryLengthFFTLengthAndChunkSize)
{
    // Periods of 1000, 2000, 32000 and 128000 samples (the engine filters
    // with at most 1024 points). Lengths: within one chunk, a whole number
    // of chunks, and a pull and a part of one past them.
    for (int fftLength : {8, 16, 256, 4096})
    {
        const std::size_t period = 125 * static_cast<std::size_t>(std::min(fftLength, 1024));
        // Chunks of one period (asked for less) and of two (asked for a little more).
        for (std::size_t periods : {1, 2})
        {
            const std::size_t chunk = period * periods;
            const std::size_t asked = periods == 1 ? period / 2 : chunk + 999;
            for (std::size_t length : {chunk / 2 + 3, 3 * chunk, 3 * chunk + 1517})
                for (std::int64_t silence : {0, 1300})
                {
                    SCOPED_TRACE(testing::Message()
                                 << "FFT length " << fftLength << ", chunk " << chunk << ", length "
                                 << length << ", silence " << silence);
                    const TFilterOptions options = Settings(fftLength);
                    const TStream stream{Recording(length), silence, silence / 2};
                    const std::vector<std::int16_t> serial = SerialOutput(options, stream);
                    EXPECT_EQ(serial.size(), length + static_cast<std::size_t>(silence * 3 / 2));
                    EXPECT_EQ(ParallelOutput(options, stream, 2, asked), serial);
                    EXPECT_EQ(ParallelOutput(options, stream, 3, asked), serial);
                }
        }
    }
}

TEST(ParallelFilter, PassesTheAudioAsOneChainWhenTheEqualizerIsOff)
{
    TFilterOptions options = Settings(256);
    options.Bypass = true;
    const TStream stream{Recording(100000), 0, 0};
    EXPECT_EQ(ParallelOutput(options, stream, 2, 1), stream.Audio);
    EXPECT_EQ(ParallelOutput(options, TStream{}, 2, 1), std::vector<std::int16_t>{});
}

TEST(ParallelFilter, RefusesChainsThatAdaptToTheirInput)
{
    TFilterOptions notch = Settings(256);
    notch.Cleanup.AutomaticNotch = true;
    TFilterOptions manualNotch = Settings(256);
    manualNotch.Cleanup.Notches = {1000.0f};
    TFilterOptions reducer = Settings(256);
    reducer.Cleanup.NoiseReduction = 2;
    TFilterOptions low = Settings(256);
    low.Latency = TLatency::Low;
    for (const TFilterOptions& options : {notch, manualNotch, reducer, low})
    {
        EXPECT_FALSE(TParallelFilter::Suits(Configure(options)));
        EXPECT_THROW(TParallelFilter(2, Configure(options)), std::invalid_argument);
    }
    EXPECT_TRUE(TParallelFilter::Suits(Configure(Settings(256))));
    EXPECT_NO_THROW(TParallelFilter(2, Configure(Settings(256))));
}

// Audio that fails after a while, as a file that cannot be read on.
class TFailingSupply : public TSampleSupply
{
  public:
    explicit TFailingSupply(std::size_t count) : left_(count) {}
    std::size_t Supply(std::int16_t* samples, std::size_t count) override
    {
        if (left_ < count)
            throw std::runtime_error("read error");
        std::fill_n(samples, count, std::int16_t{100});
        left_ -= count;
        return count;
    }

  private:
    std::size_t left_;
};

TEST(ParallelFilter, AnErrorOfTheSupplyOrTheSinkEndsTheRunWithIt)
{
    const TFilterOptions options = Settings(8);
    TFailingSupply failing(10000);
    TParallelFilter readFilter(2, Configure(options), 1);
    EXPECT_THROW(readFilter.Run(failing, 0, 0, [](auto) {}), std::runtime_error);

    TMemorySupply supply(Recording(50000));
    TParallelFilter writeFilter(2, Configure(options), 1);
    int calls = 0;
    EXPECT_THROW(writeFilter.Run(supply, 0, 0,
                                 [&](auto)
                                 {
                                     if (++calls == 3)
                                         throw std::runtime_error("disk full");
                                 }),
                 std::runtime_error);
    EXPECT_EQ(calls, 3);
}

} // namespace
} // namespace keb
