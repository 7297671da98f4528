#include "FFTFilterTestSupport.h"
#include "FFTTestSupport.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <random>

namespace keb::test
{
namespace
{

constexpr double FlatGain = 0.99763;

std::vector<int16_t> RandomSamples(std::size_t count, int amplitude, unsigned seed)
{
    std::mt19937 generator(seed);
    std::uniform_int_distribution<int> distribution(-amplitude, amplitude);
    std::vector<int16_t> samples(count);
    for (auto& s : samples)
    {
        s = static_cast<int16_t>(distribution(generator));
    }
    return samples;
}

// The engine's effective FIR taps 0 .. N/2, recovered from its response in double.
std::vector<double> Kernel(const TFFTFilter& filter)
{
    int n = filter.N;
    std::vector<double> taps(n / 2 + 1);
    for (int t = 0; t <= n / 2; ++t)
    {
        std::complex<double> sum = 0;
        for (int k = 0; k < n; ++k)
        {
            double angle = 2 * M_PI * ((static_cast<long>(k) * t) % n) / n;
            sum += std::complex<double>(filter.Response[2 * k], filter.Response[2 * k + 1]) *
                   std::complex<double>(std::cos(angle), std::sin(angle));
        }
        taps[t] = sum.real() / n; // FilterFrame's inverse transform divides by N
    }
    return taps;
}

// The filter's gain in dB at a frequency, from its taps.
double GainAt(const std::vector<double>& taps, double frequency, double rate)
{
    std::complex<double> sum = 0;
    for (std::size_t t = 0; t < taps.size(); ++t)
    {
        sum += taps[t] * std::polar(1.0, -2 * M_PI * frequency * static_cast<double>(t) / rate);
    }
    return 20 * std::log10(std::abs(sum));
}

class FFTFilterKernelTest : public KernelTest
{
};

// The whole stream path against a direct convolution with the engine's own taps.
TEST_P(FFTFilterKernelTest, StreamEqualsDirectConvolutionWithItsKernel)
{
    for (int length : {8, 64, 1024})
    {
        SCOPED_TRACE("N " + std::to_string(length));
        TEnginePtr engine = MakeEngine(1, length);
        SetFFTFilterBand(engine.get(), 300, 1200, -15);
        SetFFTFilterBand(engine.get(), 2500, 3100, 6);
        SetFFTFilterWindow(engine.get(), fwBlackman);
        std::vector<double> taps = Kernel(*engine);
        std::vector<int16_t> input = RandomSamples(12000, 8000, length);
        // Calls of 1024 samples hold whole frames, so no silence is put in front.
        TFilterRun run = RunThrough(engine.get(), 0, input, 2048);
        int mismatches = 0;
        for (std::size_t i = 0; i < 8000; ++i)
        {
            double expected = 0;
            for (std::size_t t = 0; t < taps.size() && t <= i; ++t)
            {
                expected += taps[t] * input[i - t];
            }
            if (std::abs(run.Output[i] - std::trunc(expected)) > 1)
            {
                ++mismatches;
            }
        }
        EXPECT_EQ(mismatches, 0);
    }
}

KEB_INSTANTIATE_FOR_KERNELS(FFTFilterKernelTest);

TEST(FFTFilter, FlatEngineDelaysAnImpulseByAQuarterFrame)
{
    for (int length : {8, 256, 1024})
    {
        SCOPED_TRACE("N " + std::to_string(length));
        TEnginePtr engine = MakeEngine(1, length);
        ASSERT_EQ(engine->N, length);
        std::vector<int16_t> input(4 * length, 0);
        input[0] = 20000;
        TFilterRun run = RunThrough(engine.get(), 0, input, 2 * length);
        // One call of exactly one frame: no silence in front, the impulse N/4 later.
        for (int i = 0; i < 4 * length; ++i)
        {
            double expected = i == length / 4 ? 20000 * FlatGain : 0.0;
            EXPECT_NEAR(run.Output[i], expected, 1.0) << i;
        }
        for (int k = 0; k < length; ++k)
        {
            std::complex<double> expected = std::polar(FlatGain, -M_PI * k / 2);
            EXPECT_NEAR(engine->Response[2 * k], expected.real(), 2e-5) << k;
            EXPECT_NEAR(engine->Response[2 * k + 1], expected.imag(), 2e-5) << k;
        }
    }
}

TEST(FFTFilter, EveryWindowKeepsTheFlatGain)
{
    TEnginePtr engine = MakeEngine(1, 128);
    for (int window = fwRectangular; window <= fwParzen; ++window)
    {
        SetFFTFilterWindow(engine.get(), window);
        EXPECT_EQ(engine->Window, window);
        std::vector<double> taps = Kernel(*engine);
        EXPECT_NEAR(taps[32], FlatGain, 1e-5) << window;
        EXPECT_NEAR(GainAt(taps, 1234, 8000), 20 * std::log10(FlatGain), 0.01) << window;
    }
}

// The window shapes the design it is chosen for, and the designs after it: each tap of a
// band-pass is the unwindowed (rectangular) tap times the window's value there.
TEST(FFTFilter, TheChosenWindowShapesEveryLaterDesign)
{
    TEnginePtr rectangular = MakeEngine(1, 256);
    SetFFTFilterWindow(rectangular.get(), fwRectangular);
    SetFFTFilterBand(rectangular.get(), 0, 4000, -60);
    SetFFTFilterBand(rectangular.get(), 800, 2600, 0);
    std::vector<float> plain(FFTFilterArraySize);
    const int count = FFTFilterTaps(rectangular.get(), plain.data());
    for (int window = fwHamming; window <= fwParzen; ++window)
    {
        TEnginePtr engine = MakeEngine(1, 256);
        SetFFTFilterWindow(engine.get(), window);
        SetFFTFilterBand(engine.get(), 0, 4000, -60);
        SetFFTFilterBand(engine.get(), 800, 2600, 0);
        std::vector<float> shaped(FFTFilterArraySize);
        ASSERT_EQ(FFTFilterTaps(engine.get(), shaped.data()), count);
        for (int t = 0; t < count; ++t)
            EXPECT_NEAR(shaped[t], plain[t] * FFTWindowValue(window, t, engine->Half),
                        1e-6 * std::abs(plain[t]) + 1e-9)
                << "window " << window << ", tap " << t;
    }
}

TEST(FFTFilter, BandCutShapesTheResponse)
{
    TEnginePtr engine = MakeEngine(1, 256);
    SetFFTFilterBand(engine.get(), 1000, 2000, -20);
    std::vector<double> taps = Kernel(*engine);
    EXPECT_NEAR(GainAt(taps, 1500, 8000), -20, 0.3);
    EXPECT_NEAR(GainAt(taps, 1000, 8000), -7.4, 0.2);
    EXPECT_NEAR(GainAt(taps, 2000, 8000), -7.4, 0.2);
    for (double f = 0; f <= 900; f += 25)
    {
        EXPECT_NEAR(GainAt(taps, f, 8000), 0, 0.2) << f;
    }
    for (double f = 2100; f <= 4000; f += 25)
    {
        EXPECT_NEAR(GainAt(taps, f, 8000), 0, 0.2) << f;
    }

    // End to end: a 1500 Hz tone leaves about 20 dB weaker, a 500 Hz tone unchanged.
    for (auto [frequency, expectedDb] : {std::pair{1500.0, -20.0}, std::pair{500.0, 0.0}})
    {
        ResetFFTFilter(engine.get());
        std::vector<int16_t> tone(8000);
        for (std::size_t i = 0; i < tone.size(); ++i)
        {
            tone[i] = static_cast<int16_t>(
                std::lround(20000 * std::sin(2 * M_PI * frequency * i / 8000)));
        }
        TFilterRun run = RunThrough(engine.get(), 0, tone, 2000);
        double peak = 0;
        for (std::size_t i = 2000; i < run.Output.size(); ++i)
        {
            peak = std::max(peak, std::abs(static_cast<double>(run.Output[i])));
        }
        EXPECT_NEAR(20 * std::log10(peak / 20000), expectedDb, 0.3) << frequency;
    }
}

TEST(FFTFilter, BandEdgesBecomeBins)
{
    TEnginePtr engine = MakeEngine(1, 256); // bins of 31.25 Hz, 0 .. 128
    const float flat = 1.9952623f;
    auto bandBins = [&](float f1, float f2)
    {
        std::fill(std::begin(engine->Gains), std::end(engine->Gains), flat);
        SetFFTFilterBand(engine.get(), f1, f2, -20);
        std::vector<int> bins;
        for (int k = 0; k <= 128; ++k)
        {
            if (engine->Gains[k] != flat)
            {
                bins.push_back(k);
            }
        }
        return bins;
    };
    auto range = [](int first, int last)
    {
        std::vector<int> bins;
        for (int k = first; k <= last; ++k)
        {
            bins.push_back(k);
        }
        return bins;
    };
    EXPECT_EQ(bandBins(1000, 2000), range(32, 64));
    EXPECT_EQ(bandBins(2000, 1000), range(32, 64));
    EXPECT_EQ(bandBins(1000, 1000), range(32, 32));
    EXPECT_EQ(bandBins(4000, 4000), range(127, 128));
    EXPECT_EQ(bandBins(5000, 9000), range(127, 128));
    EXPECT_EQ(bandBins(3000, 9000), range(96, 128));
    EXPECT_EQ(bandBins(-500, 100), range(0, 3));
    EXPECT_EQ(bandBins(-500, -100), range(0, 0));
    EXPECT_FLOAT_EQ(engine->Gains[0], static_cast<float>(std::pow(10.0, (-20 + 6) * 0.05)));
    EXPECT_EQ(bandBins(NAN, 100), std::vector<int>{});

    TEnginePtr fresh = MakeEngine(1, 256);
    for (int k = 0; k <= 128; ++k)
    {
        EXPECT_EQ(fresh->Gains[k], flat) << k;
    }
}

TEST(FFTFilter, QueuesPutSilenceInFrontWhenShort)
{
    TEnginePtr engine = MakeEngine(1, 256);
    std::vector<int16_t> input = RandomSamples(30 * 1000, 20000, 3);
    TFilterRun run = RunThrough(engine.get(), 0, input, 2000);
    // Call 1 brings 3 frames: 464 bytes of silence, then 1536 bytes of audio. Each later call
    // brings 48 bytes more than 4 frames until call 11 finds 32 bytes too few.
    auto leadingZeros = [&](int call)
    {
        int count = 0;
        while (count < 1000 && run.Output[call * 1000 + count] == 0)
        {
            ++count;
        }
        return 2 * count;
    };
    EXPECT_EQ(leadingZeros(0), 464 + 2 * 64); // the silence, then the filter's delay
    EXPECT_EQ(leadingZeros(10), 32);
    // The audio between the silences is the input, delayed by N/4 and scaled.
    std::vector<int16_t> audio;
    for (int call = 0; call < 30; ++call)
    {
        int skip = call == 0 ? 232 : (call == 10 ? 16 : 0);
        audio.insert(audio.end(), run.Output.begin() + call * 1000 + skip,
                     run.Output.begin() + (call + 1) * 1000);
    }
    ASSERT_EQ(audio.size(), 30 * 1000 - 248u);
    for (std::size_t i = 0; i < audio.size(); ++i)
    {
        double expected = i < 64 ? 0 : input[i - 64] * FlatGain;
        ASSERT_NEAR(audio[i], expected, 1.0) << i;
    }

    // A call smaller than a frame gets silence until a frame is queued.
    ResetFFTFilter(engine.get());
    std::vector<int16_t> small(50, 1000);
    for (int call = 0; call < 5; ++call)
    {
        std::vector<int16_t> buffer = small;
        DoFFTFilter(engine.get(), 0, buffer.data(), 100);
        EXPECT_EQ(buffer, std::vector<int16_t>(50, 0)) << call;
    }
    std::vector<int16_t> buffer = small;
    DoFFTFilter(engine.get(), 0, buffer.data(), 100);
    EXPECT_EQ(std::count(buffer.begin(), buffer.end(), 0), 50) << "the delay of N/4 = 64 samples";
    buffer = small;
    DoFFTFilter(engine.get(), 0, buffer.data(), 100);
    EXPECT_EQ(buffer[49], static_cast<int16_t>(1000 * FlatGain));
}

TEST(FFTFilter, OneStereoChannelLeavesTheOtherAlone)
{
    for (int selection : {1, 2})
    {
        SCOPED_TRACE("selection " + std::to_string(selection));
        TEnginePtr stereo = MakeEngine(2, 256);
        TEnginePtr mono = MakeEngine(1, 256);
        SetFFTFilterBand(stereo.get(), 1000, 2000, -20);
        SetFFTFilterBand(mono.get(), 1000, 2000, -20);
        std::vector<int16_t> input = RandomSamples(2 * 8000, 15000, 9);
        TFilterRun run = RunThrough(stereo.get(), selection, input, 4000);
        int filtered = selection - 1;
        int other = 1 - filtered;
        std::vector<int16_t> channel;
        for (std::size_t i = filtered; i < input.size(); i += 2)
        {
            channel.push_back(input[i]);
        }
        TFilterRun reference = RunThrough(mono.get(), 0, channel, 2000);
        // Stereo frames are 1024 bytes: the first 4000-byte call hands back 3 of them and
        // puts 928 bytes (232 frames) of silence in front; mono puts 232 samples in front too.
        const std::size_t silenceFrames = 232;
        for (std::size_t t = 0; t < 8000; ++t)
        {
            int16_t expectedOther = t < silenceFrames ? 0 : input[2 * t + other];
            ASSERT_EQ(run.Output[2 * t + other], expectedOther) << t;
            ASSERT_EQ(run.Output[2 * t + filtered], reference.Output[t]) << t;
        }
    }
}

TEST(FFTFilter, ClippingIsReportedPerCall)
{
    TEnginePtr engine = MakeEngine(1, 256);
    SetFFTFilterBand(engine.get(), 0, 4000, 12);
    std::vector<int16_t> loud(3000);
    for (std::size_t i = 0; i < loud.size(); ++i)
    {
        loud[i] = static_cast<int16_t>(std::lround(20000 * std::sin(2 * M_PI * 440 * i / 8000)));
    }
    TFilterRun loudRun = RunThrough(engine.get(), 0, loud, 2000);
    EXPECT_EQ(loudRun.Clipped, (std::vector<bool>{true, true, true}));
    EXPECT_EQ(*std::max_element(loudRun.Output.begin(), loudRun.Output.end()), 32767);
    EXPECT_EQ(*std::min_element(loudRun.Output.begin(), loudRun.Output.end()), -32768);
    // The first quiet call still filters loud samples left in the queue; the second does not.
    std::vector<int16_t> quiet(2000, 100);
    TFilterRun quietRun = RunThrough(engine.get(), 0, quiet, 2000);
    EXPECT_EQ(quietRun.Clipped, (std::vector<bool>{true, false}));
    EXPECT_NEAR(quietRun.Output.back(), 100 * FlatGain * std::pow(10.0, 12 / 20.0), 1.0);
}

// Mono streams go from 16-bit samples to 16-bit samples in one pass; the result must be the
// 32-bit frame's, clipped, loud frames and quiet ones alike.
TEST(FFTFilter, TheSixteenBitFrameIsTheWideFrameClipped)
{
    TEnginePtr wide = MakeEngine(1, 256);
    TEnginePtr narrow = MakeEngine(1, 256);
    const int32_t n = wide->N;
    int clippedFrames = 0;
    for (int frame = 0; frame < 40; ++frame)
    {
        const float gain = static_cast<float>(frame % 4) * 8.0f;
        SetFFTFilterBand(wide.get(), 0, 4000, gain);
        SetFFTFilterBand(narrow.get(), 0, 4000, gain);
        const std::vector<int16_t> input =
            RandomSamples(static_cast<std::size_t>(n), frame % 3 == 0 ? 800 : 32000, frame);
        std::copy(input.begin(), input.end(), wide->Channel[0].Frame);
        FilterFrame(wide.get(), 0);
        std::vector<int16_t> output(input.size());
        const bool clipped = FilterPcm16Frame(narrow.get(), 0, input.data(), output.data());
        bool wideClipped = false;
        for (int32_t j = 0; j < n; ++j)
        {
            const int32_t value = wide->Channel[0].Frame[j];
            wideClipped |= value < -32768 || value > 32767;
            ASSERT_EQ(output[static_cast<std::size_t>(j)], std::clamp(value, -32768, 32767))
                << "frame " << frame << " sample " << j;
        }
        EXPECT_EQ(clipped, wideClipped) << "frame " << frame;
        clippedFrames += clipped ? 1 : 0;
    }
    EXPECT_GT(clippedFrames, 5);
    EXPECT_LT(clippedFrames, 35);
}

TEST(FFTFilter, ResetDropsQueuesButKeepsTheDesign)
{
    TEnginePtr engine = MakeEngine(2, 64);
    SetFFTFilterBand(engine.get(), 0, 4000, -6);
    SetFFTFilterWindow(engine.get(), fwHanning);
    std::vector<int16_t> input = RandomSamples(2 * 1000, 10000, 4);
    TFilterRun first = RunThrough(engine.get(), 0, input, 1000);
    ResetFFTFilter(engine.get());
    EXPECT_EQ(engine->InFill, 0);
    EXPECT_EQ(engine->OutFill, 0);
    EXPECT_EQ(engine->Window, fwHanning);
    TFilterRun second = RunThrough(engine.get(), 0, input, 1000);
    EXPECT_EQ(first.Output, second.Output);
}

TEST(FFTFilter, OversizedCallsAndOddSizesStaySafe)
{
    TWaveFormatEx format = Pcm16(1, 8000);
    TEnginePtr tiny(InitFFTFilter(&format, 3, 10)); // length and BufSize raised to one frame
    ASSERT_NE(tiny, nullptr);
    EXPECT_EQ(tiny->N, 8);
    EXPECT_EQ(tiny->BufSize, 16);
    std::vector<int16_t> input = RandomSamples(5000, 10000, 5);
    TFilterRun run = RunThrough(tiny.get(), 0, input, 10000); // the whole signal in one call
    // In pieces of 16 bytes (one frame each) the stream is the input delayed by N/4 = 2.
    for (std::size_t i = 2; i < input.size(); ++i)
    {
        ASSERT_NEAR(run.Output[i], input[i - 2] * FlatGain, 1.0) << i;
    }
    TEnginePtr large = MakeEngine(1, 4096);
    EXPECT_EQ(large->N, 1024);
    EXPECT_EQ(large->Order, 10);
    EXPECT_FALSE(DoFFTFilter(nullptr, 0, input.data(), 100));
    EXPECT_FALSE(DoFFTFilter(large.get(), 0, nullptr, 100));
    EXPECT_FALSE(DoFFTFilter(large.get(), 0, input.data(), -4));

    TWaveFormatEx eightBit = Pcm16(1, 8000);
    eightBit.wBitsPerSample = 8;
    EXPECT_EQ(InitFFTFilter(&eightBit, 256, 65536), nullptr);
    TWaveFormatEx quadro = Pcm16(3, 8000);
    EXPECT_EQ(InitFFTFilter(&quadro, 256, 65536), nullptr);
    EXPECT_EQ(InitFFTFilter(nullptr, 256, 65536), nullptr);
    TFFTFilter* none = nullptr;
    DoneFFTFilter(none);
    ResetFFTFilter(nullptr);
    SetFFTFilterBand(nullptr, 0, 1, 0);
    SetFFTFilterWindow(nullptr, 0);
}

// Calls of any size, odd ones and ones beyond BufSize included, with the selection changing
// between them: the queues stay within their bounds (run under AddressSanitizer too) and
// every call hands back exactly its own count of bytes.
TEST(FFTFilter, RandomCallsStayWithinTheQueues)
{
    TWaveFormatEx format = Pcm16(2, 8000);
    TEnginePtr engine(InitFFTFilter(&format, 64, 300));
    const int frameBytes = 64 * 2 * 2;
    ASSERT_EQ(engine->BufSize, 300);
    std::mt19937 generator(11);
    std::uniform_int_distribution<int> size(0, 1000);
    std::uniform_int_distribution<int> selection(-1, 3);
    std::vector<int16_t> samples = RandomSamples(600, 30000, 12);
    for (int call = 0; call < 2000; ++call)
    {
        int count = size(generator);
        std::vector<uint8_t> buffer(static_cast<std::size_t>(count) + 4, 0xA5);
        std::memcpy(buffer.data(), samples.data(), static_cast<std::size_t>(count));
        DoFFTFilter(engine.get(), selection(generator), buffer.data(), count);
        ASSERT_EQ(buffer[count], 0xA5) << call; // nothing written past the count
        ASSERT_LT(engine->InFill, frameBytes) << call;
        ASSERT_LE(engine->InFill + engine->OutFill, frameBytes) << call;
    }
}

} // namespace
} // namespace keb::test
