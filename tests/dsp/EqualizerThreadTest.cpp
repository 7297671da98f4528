// Main-thread edits while a worker pulls audio through the equalizer. Run
// under ThreadSanitizer to show that nothing races.
#include "dsp/MMEQ.h"
#include "platform/core/MainLoop.h"
#include "tests/dsp/TestChain.h"

#include <atomic>
#include <chrono>
#include <cmath>
#include <gtest/gtest.h>
#include <thread>

namespace keb
{
namespace
{

using Clock = std::chrono::steady_clock;

constexpr int FrameBytes = 2048;

// Pulls buffers from the chain's equalizer until told to stop.
class PullThread : public TMMDSPThread
{
  public:
    PullThread(test::Chain& chain, int minimum)
        : TMMDSPThread(&chain.Equalizer), Minimum(minimum), Chain(chain)
    {
    }
    ~PullThread() override { TerminateAndWait(); }

    const int Minimum;
    std::atomic<int> Pulled{0};
    std::atomic<bool> Stop{false};
    std::vector<std::int16_t> Out;

  protected:
    void Execute() override
    {
        // Whole frames of the engine: the output never needs a second silence prefix.
        test::TestBuffer buffer(FrameBytes);
        while (Pulled.load() < Minimum || !Stop.load())
        {
            bool more = false;
            buffer.ClearForLoad();
            Chain.Equalizer.BufferLoad(buffer.Header(), more);
            const auto samples = buffer.Samples();
            Out.insert(Out.end(), samples.begin(), samples.end());
            ++Pulled;
        }
    }

  private:
    test::Chain& Chain;
};

// Runs edit on the main thread, once per buffer the worker pulls, until the
// worker has pulled its minimum and edit has run `rounds` times; then stops
// the worker and waits for it, running its synchronise requests meanwhile.
// Fails after a minute.
template <class Edit> void EditWhilePulling(PullThread& worker, int rounds, Edit&& edit)
{
    const auto deadline = Clock::now() + std::chrono::seconds(60);
    const auto overdue = [&] { return Clock::now() > deadline; };
    worker.Resume();
    for (int round = 0; (round < rounds || worker.Pulled.load() < worker.Minimum) && !overdue();
         ++round)
    {
        const int pulled = worker.Pulled.load();
        edit(round);
        while (worker.Pulled.load() == pulled && !worker.Finished() && !overdue())
        {
            ProcessMessages();
            std::this_thread::yield();
        }
    }
    worker.Stop.store(true);
    while (!worker.Finished() && !overdue())
        WaitAndProcessMessages(10);
    ASSERT_TRUE(worker.Finished()) << "the worker did not finish within a minute";
}

TEST(EqualizerThreads, BandEditsNeverMixTwoResponsesInOneFrame)
{
    InitMainThread();
    test::Chain chain;
    // One band over everything: the response is a pure delay of 64 samples
    // with gain 0.99763 at 0 dB and 0.099763 at -20 dB.
    chain.Equalizer.Filters()->Add(new TMMEQFilter(0, 4000, 0));
    chain.Open();
    PullThread worker(chain, 200);
    EditWhilePulling(worker, 200,
                     [&](int round)
                     { chain.Equalizer.Filters()->Items(0)->SetValue(2, round % 2 ? -20 : 0); });

    // Input sample n leaves 64 samples later.
    const auto& in = chain.Tap.Recorded;
    const auto& out = worker.Out;
    constexpr int Delay = 64;
    constexpr int Frame = 256;
    int loud = 0, quiet = 0, mixed = 0;
    for (std::size_t frame = 0; (frame + 1) * Frame + Delay <= out.size(); ++frame)
    {
        int loudSamples = 0, quietSamples = 0, strays = 0;
        for (std::size_t n = frame * Frame; n < (frame + 1) * Frame; ++n)
        {
            const double x = in[n];
            const double y = out[n + Delay];
            if (std::abs(x) < 100)
                continue;
            if (std::abs(y - 0.99763 * x) <= 2)
                ++loudSamples;
            else if (std::abs(y - 0.099763 * x) <= 2)
                ++quietSamples;
            else
                ++strays;
        }
        if (strays > 0 || (loudSamples > 0 && quietSamples > 0))
            ++mixed;
        else if (loudSamples > 0)
            ++loud;
        else if (quietSamples > 0)
            ++quiet;
    }
    EXPECT_EQ(mixed, 0);
    EXPECT_GT(loud, 0);
    EXPECT_GT(quiet, 0);
}

// Resets, engine swaps, window changes, closing, reopening and band edits
// while a worker pulls; then the final settings, applied in order from a
// fresh history. Returns what the equalizer plays afterwards.
std::vector<std::int16_t> RaceEngineChangesThenPull(test::Chain& chain)
{
    test::AddMainWindowBands(chain.Equalizer);
    chain.Equalizer.Filters()->Items(4)->SetValue(2, -40);
    chain.Open();
    PullThread worker(chain, 100);
    EditWhilePulling(worker, 120,
                     [&](int round)
                     {
                         switch (round % 6)
                         {
                         case 0:
                             chain.Equalizer.SetEnabled(round % 12 != 0);
                             break;
                         case 1:
                             chain.Equalizer.SetFFTLength(round % 12 == 1 ? 512 : 256);
                             break;
                         case 2:
                             chain.Equalizer.SetWindow(round % 12 == 2 ? fwHanning : fwHamming);
                             break;
                         case 3:
                             chain.Equalizer.ChainClosed();
                             break;
                         case 4:
                             chain.Equalizer.ChainOpened();
                             break;
                         default:
                             chain.Equalizer.Filters()->Items(4)->SetEnabled(round % 12 == 5);
                         }
                     });
    EXPECT_EQ(worker.Out.size(), FrameBytes / 2u * worker.Pulled.load());

    chain.Equalizer.SetEnabled(true);
    chain.Equalizer.SetFFTLength(256);
    chain.Equalizer.SetWindow(fwHamming);
    chain.Equalizer.Filters()->Items(4)->SetEnabled(true);
    chain.Equalizer.ChainStarted(); // applies the list in order
    chain.Equalizer.SetEnabled(false);
    chain.Equalizer.SetEnabled(true);
    chain.Tap.Recorded.clear();
    return chain.Pull(3);
}

TEST(EqualizerThreads, EngineResetsSwapsAndClosingWhileAWorkerPulls)
{
    InitMainThread();
    test::Chain chain;
    const auto out = RaceEngineChangesThenPull(chain);
    // The equalizer filters exactly like a fresh engine in its final state.
    auto reference = test::MakeMainWindowEngine(256, 4, -40);
    EXPECT_EQ(out, test::FilterInBuffers(reference.get(), chain.Tap.Recorded));
}

TEST(EqualizerThreads, LowLatencyFilterTakesEveryChangeWhileAWorkerPulls)
{
    InitMainThread();
    test::Chain chain;
    chain.Equalizer.SetLowLatency(true);
    const auto out = RaceEngineChangesThenPull(chain);
    // Exactly a fresh low-latency filter with the final design in minimum phase.
    auto reference = test::MakeMainWindowEngine(256, 4, -40);
    std::vector<float> taps(TLowLatencyFilter::MaxTaps);
    const int count = FFTFilterTaps(reference.get(), taps.data());
    std::vector<float> minimumPhase(taps.size());
    MinimumPhaseTaps(taps.data(), count, minimumPhase.data());
    TLowLatencyFilter filter(1);
    filter.SetTaps(minimumPhase.data(), count);
    std::vector<std::int16_t> expected = chain.Tap.Recorded;
    filter.Process(expected.data(), static_cast<int>(expected.size()), chLeft);
    EXPECT_EQ(out, expected);
}

TEST(EqualizerThreads, OverflowEventsRunInTheMainThreadWithoutHoldingUpTheWorker)
{
    InitMainThread();
    test::Chain chain;
    chain.Generator.SetWaveForm(wfSquare);
    chain.Generator.SetFrequency(500);
    chain.Generator.SetAmplitude(16384);
    chain.Equalizer.Filters()->Add(new TMMEQFilter(0, 4000, 12));
    std::atomic<int> overflows{0};
    std::atomic<int> elsewhere{0};
    chain.Equalizer.OnPcmOverflow = [&](TMMEqualizer&)
    {
        ++overflows;
        if (!IsMainThread())
            ++elsewhere;
    };
    chain.Open();
    PullThread worker(chain, 5);
    worker.Stop.store(true);
    worker.Resume();
    // The main thread handles no messages until the worker is done: a worker that waited
    // for an event to run would never finish.
    const auto deadline = Clock::now() + std::chrono::seconds(60);
    while (!worker.Finished() && Clock::now() < deadline)
        std::this_thread::yield();
    ASSERT_TRUE(worker.Finished()) << "the worker waited for the main thread";
    EXPECT_EQ(overflows.load(), 0);
    ProcessMessages();
    EXPECT_EQ(overflows.load(), worker.Pulled.load()); // every buffer clipped once
    EXPECT_EQ(elsewhere.load(), 0);
}

} // namespace
} // namespace keb
