// The equalizer's settings, its engine and its band notifications.
#include "dsp/MMEQ.h"
#include "tests/dsp/TestChain.h"

#include <gtest/gtest.h>

namespace keb
{
namespace
{

using test::Chain;
using test::MessageOf;

TEST(Equalizer, ClampsItsSettings)
{
    TMMEqualizer equalizer(nullptr);
    EXPECT_EQ(equalizer.FFTLength(), 256);
    equalizer.SetFFTLength(300);
    EXPECT_EQ(equalizer.FFTLength(), 256);
    equalizer.SetFFTLength(5);
    EXPECT_EQ(equalizer.FFTLength(), 8);
    equalizer.SetFFTLength(100000);
    EXPECT_EQ(equalizer.FFTLength(), 4096);
    EXPECT_EQ(equalizer.SampleRate(), 4000);
    equalizer.SetSampleRate(1000);
    EXPECT_EQ(equalizer.SampleRate(), 4000);
    equalizer.SetSampleRate(200000);
    EXPECT_EQ(equalizer.SampleRate(), 100000);
}

TEST(Equalizer, AcceptsOnlySixteenBitPcm)
{
    TMMEqualizer equalizer(nullptr);
    TMMEqualizer downstream(nullptr);
    downstream.SetInput(&equalizer);
    TWaveFormatEx format{};
    BuildPCMFormat(format, 8, 1, 8000);
    EXPECT_EQ(MessageOf<EMMEqualizerError>([&] { equalizer.SetWaveFormat(&format); }),
              "Invalid WaveFormat");
    BuildPCMFormat(format, 16, 3, 8000);
    EXPECT_THROW(equalizer.SetWaveFormat(&format), EMMEqualizerError);
    EXPECT_EQ(equalizer.GetWaveFormat(), nullptr);
    EXPECT_EQ(downstream.GetWaveFormat(), nullptr);

    BuildPCMFormat(format, 16, 1, 8000);
    equalizer.SetWaveFormat(&format);
    EXPECT_EQ(equalizer.SampleRate(), 8000);
    ASSERT_NE(downstream.GetWaveFormat(), nullptr);
    EXPECT_EQ(downstream.SampleRate(), 8000);
}

TEST(Equalizer, OpensItsEngineOnlyForAUsableFormat)
{
    TMMEqualizer equalizer(nullptr);
    equalizer.ChainOpened(); // no format: audio passes unfiltered
    EXPECT_FALSE(equalizer.EngineOpen());
    equalizer.ChainClosed();

    Chain chain;
    int changes = 0;
    chain.Equalizer.OnChange = [&](TMMEqualizer&) { ++changes; };
    test::AddMainWindowBands(chain.Equalizer);
    changes = 0;
    chain.Equalizer.Filters()->Items(3)->SetValue(2, -20);
    EXPECT_EQ(changes, 1); // closed: only the notification
    EXPECT_FALSE(chain.Equalizer.EngineOpen());
    chain.Open();
    EXPECT_TRUE(chain.Equalizer.EngineOpen());
    chain.Equalizer.ChainClosed();
    EXPECT_FALSE(chain.Equalizer.EngineOpen());
}

TEST(Equalizer, FiltersBuffersLikeItsEngine)
{
    Chain chain;
    test::AddMainWindowBands(chain.Equalizer);
    chain.Equalizer.Filters()->Items(5)->SetValue(2, -30);
    chain.Equalizer.Filters()->Items(6)->SetEnabled(false);
    chain.Equalizer.Filters()->Items(6)->SetValue(2, 12);
    chain.Open();
    const auto out = chain.Pull(6);

    auto reference = test::MakeReferenceEngine(256);
    for (int k = 0; k < 20; ++k)
    {
        const TMMEQFilter* band = chain.Equalizer.Filters()->Items(k);
        if (band->Enabled())
            SetFFTFilterBand(reference.get(), band->F1(), band->F2(), band->Gain());
    }
    EXPECT_EQ(out, test::FilterInBuffers(reference.get(), chain.Tap.Recorded));
    // The first buffer starts with the engine's silence.
    EXPECT_EQ(std::count(out.begin(), out.begin() + 232, 0), 232);
}

TEST(Equalizer, BypassIsBitExactUndelayedAndRestartsTheFilter)
{
    Chain chain;
    test::AddMainWindowBands(chain.Equalizer);
    chain.Equalizer.Filters()->Items(0)->SetValue(2, -60);
    chain.Open();
    chain.Pull(3);

    chain.Equalizer.SetEnabled(false);
    chain.Tap.Recorded.clear();
    const auto bypassed = chain.Pull(3);
    EXPECT_EQ(bypassed, chain.Tap.Recorded);

    chain.Equalizer.SetEnabled(true);
    chain.Tap.Recorded.clear();
    const auto restarted = chain.Pull(3);
    auto fresh = test::MakeMainWindowEngine(256, 0, -60);
    EXPECT_EQ(restarted, test::FilterInBuffers(fresh.get(), chain.Tap.Recorded));
}

TEST(Equalizer, BandEditsReachTheRunningEngineOneRangeAtATime)
{
    Chain chain;
    chain.Equalizer.Filters()->Add(new TMMEQFilter(0, 4000, -20));
    chain.Equalizer.Filters()->Add(new TMMEQFilter(1000, 2000, -40));
    chain.Open();
    chain.Pull(1);

    auto reference = test::MakeReferenceEngine(256);
    SetFFTFilterBand(reference.get(), 0, 4000, -20);
    SetFFTFilterBand(reference.get(), 1000, 2000, -40);
    const auto compare = [&]
    {
        chain.Tap.Recorded.clear();
        ResetFFTFilter(reference.get());
        chain.Equalizer.SetEnabled(false);
        chain.Equalizer.SetEnabled(true); // both start from an empty history
        const auto out = chain.Pull(3);
        EXPECT_EQ(out, test::FilterInBuffers(reference.get(), chain.Tap.Recorded));
    };

    // Disabling the second band gives its range 0 dB, not the -20 dB of the first band.
    chain.Equalizer.Filters()->Items(1)->SetEnabled(false);
    SetFFTFilterBand(reference.get(), 1000, 2000, 0);
    compare();

    // The next start applies the list in order again.
    chain.Equalizer.ChainStarted();
    SetFFTFilterBand(reference.get(), 0, 4000, -20);
    compare();
}

TEST(Equalizer, AssigningBandListsAppliesThemOnce)
{
    TMMEqualizer equalizer(nullptr);
    test::AddMainWindowBands(equalizer);
    TMMEQFilter* first = equalizer.Filters()->Items(0);
    int changes = 0;
    equalizer.OnChange = [&](TMMEqualizer&) { ++changes; };
    equalizer.SetFilters(equalizer.Filters());
    EXPECT_EQ(changes, 0);
    EXPECT_EQ(equalizer.Filters()->Items(0), first);

    TMMEQFilterList other(nullptr);
    other.Add(new TMMEQFilter(100, 200, -3));
    other.Add(new TMMEQFilter(300, 400, 6));
    other.Items(1)->SetEnabled(false);
    equalizer.SetFilters(&other);
    EXPECT_EQ(changes, 1);
    ASSERT_EQ(equalizer.Filters()->Count(), 2);
    EXPECT_NE(equalizer.Filters()->Items(0), other.Items(0));
    EXPECT_EQ(equalizer.Filters()->Items(0)->Gain(), -3);
    EXPECT_FALSE(equalizer.Filters()->Items(1)->Enabled());

    // The copies are connected to the equalizer.
    equalizer.Filters()->Items(1)->SetValue(2, 0);
    EXPECT_EQ(changes, 2);
    equalizer.Filters()->Items(1)->SetValue(2, 0);
    equalizer.Filters()->Items(1)->SetValue(7, 99);
    EXPECT_EQ(changes, 2); // no real change, no notification

    TMMEqualizer copy(nullptr);
    equalizer.SetDescription("Copied");
    equalizer.SetChannel(chRight);
    copy.Assign(&equalizer);
    EXPECT_EQ(copy.Description(), "Copied");
    EXPECT_EQ(copy.Channel(), chRight);
    EXPECT_EQ(copy.Filters()->ObjectContainer(), equalizer.Filters()->ObjectContainer());
}

TEST(Equalizer, LengthChangeWhileOpenSwapsInADesignedEngine)
{
    Chain chain;
    test::AddMainWindowBands(chain.Equalizer);
    chain.Equalizer.Filters()->Items(2)->SetValue(2, -60);
    chain.Open();
    chain.Pull(2);

    chain.Equalizer.SetFFTLength(512);
    chain.Tap.Recorded.clear();
    const auto out = chain.Pull(3);
    auto reference = test::MakeMainWindowEngine(512, 2, -60);
    EXPECT_EQ(out, test::FilterInBuffers(reference.get(), chain.Tap.Recorded));

    // Without a format there is nothing to build a new engine for.
    chain.Equalizer.SetInput(nullptr);
    chain.Equalizer.SetFFTLength(1024);
    EXPECT_EQ(chain.Equalizer.FFTLength(), 1024);
    EXPECT_FALSE(chain.Equalizer.EngineOpen());
}

// A spectrum display that records what the equalizer asks of it.
class FakeSpectrum : public TComponent, public TMMEQSpectrum
{
  public:
    FakeSpectrum() : TComponent(nullptr) {}
    TComponent& SpectrumComponent() override { return *this; }
    void SetWaveFormat(const TWaveFormatEx* format) override { Format = *format; }
    void SetWindow(TMMFFTWindow window) override { Window = window; }
    void SetDrawHook(TDrawHook hook) override { Hook = std::move(hook); }
    void Redraw() override { ++Redraws; }
    int BlockBytes() const override { return Block; }
    void ShowBuffer(const std::int16_t* samples, int bytes) override
    {
        Shown.assign(samples, samples + bytes / 2);
    }

    int Block = 128;
    TWaveFormatEx Format{};
    TMMFFTWindow Window = fwHamming;
    TDrawHook Hook;
    int Redraws = 0;
    std::vector<std::int16_t> Shown;
};

TEST(Equalizer, ShowsItsResponseOnALinkedSpectrum)
{
    TMMEqualizer equalizer(nullptr);
    equalizer.SetSampleRate(8000);
    auto spectrum = std::make_unique<FakeSpectrum>();
    equalizer.SetSpectrum(spectrum.get());
    EXPECT_EQ(spectrum->Window, fwRectangular);
    EXPECT_EQ(spectrum->Format.nSamplesPerSec, 8000u);
    EXPECT_EQ(spectrum->Format.wBitsPerSample, 16);
    ASSERT_TRUE(spectrum->Hook);

    spectrum->Hook(*spectrum); // flat: the impulse, 64 samples later, at 0.99763
    ASSERT_EQ(spectrum->Shown.size(), 256u);
    EXPECT_EQ(spectrum->Shown[64], 21449);
    equalizer.Filters()->Add(new TMMEQFilter(0, 4000, -20));
    const int redraws = spectrum->Redraws;
    equalizer.Filters()->Items(0)->SetValue(2, -40);
    EXPECT_EQ(spectrum->Redraws, redraws + 1);
    spectrum->Hook(*spectrum); // a fresh draw: nothing left over from the one before
    EXPECT_NEAR(spectrum->Shown[64], 215, 1);

    spectrum.reset();
    EXPECT_EQ(equalizer.Spectrum(), nullptr);
    equalizer.Filters()->Items(0)->SetValue(2, 0); // would reach a freed display otherwise
}

// A display's block may be up to 16384 bytes (4096 stereo 16-bit frames),
// twice what the engine takes at once: the response fills the whole block.
TEST(Equalizer, TheResponseFillsTheLargestBlockOfTheSpectrum)
{
    TMMEqualizer equalizer(nullptr);
    equalizer.SetSampleRate(8000);
    FakeSpectrum spectrum;
    equalizer.SetSpectrum(&spectrum);
    spectrum.Block = 16384;
    spectrum.Hook(spectrum);
    ASSERT_EQ(spectrum.Shown.size(), 8192u);
    EXPECT_EQ(spectrum.Shown[64], 21449);
    equalizer.SetFFTLength(4096);
    spectrum.Block = 256;
    spectrum.Hook(spectrum);
    EXPECT_EQ(spectrum.Shown.size(), 4096u) << "at least two FFT lengths of samples";
    equalizer.SetSpectrum(nullptr);
}

TEST(Equalizer, ReplacingTheSpectrumUnhooksTheOldOne)
{
    TMMEqualizer equalizer(nullptr);
    FakeSpectrum first;
    FakeSpectrum second;
    equalizer.SetSpectrum(&first);
    equalizer.SetSpectrum(&second);
    EXPECT_FALSE(first.Hook);
    EXPECT_TRUE(second.Hook);
    equalizer.SetSpectrum(nullptr);
    EXPECT_FALSE(second.Hook);
}

} // namespace
} // namespace keb
