// Settings handed to the audio thread while it runs: one thread pulls audio
// through the notch filter and the noise reducer, the test's thread changes
// every setting meanwhile. Run under ThreadSanitizer in CI; here it also
// checks that the audio kept coming.
#include "dsp/NoiseReducer.h"
#include "dsp/NotchFilter.h"
#include "tests/dsp/CleanupRig.h"
#include "tests/dsp/CleanupSignals.h"

#include <atomic>
#include <gtest/gtest.h>
#include <thread>

namespace keb::test
{
namespace
{

TEST(CleanupThreadTest, SettingsChangeWhileAnotherThreadPullsTheAudio)
{
    TPcmSupply source(nullptr);
    TMMNotchFilter notch(nullptr);
    TMMNoiseReducer reducer(nullptr);
    TWaveFormatEx format{};
    BuildPCMFormat(format, 16, 1, 8000);
    source.SetWaveFormat(&format);
    notch.SetInput(&source);
    reducer.SetInput(&notch);
    const TSignal tone = Tone(20, 1000, 5000);
    const TSignal noise = WhiteNoise(20, 1000, 12);
    source.Samples = ToPcm(Sum({&tone, &noise}));
    for (TMMDSPComponent* c :
         {static_cast<TMMDSPComponent*>(&source), static_cast<TMMDSPComponent*>(&notch),
          static_cast<TMMDSPComponent*>(&reducer)})
        c->ChainOpened();

    std::atomic<bool> done{false};
    std::size_t pulled = 0;
    std::thread audio(
        [&]
        {
            TMMWaveHdr* block = AllocWaveHdr(500);
            for (bool more = true; more;)
            {
                block->wh.dwBytesRecorded = 0;
                reducer.BufferLoad(&block->wh, more);
                pulled += block->wh.dwBytesRecorded / 2;
            }
            FreeAndClear(block);
            done = true;
        });
    for (int step = 0; !done; ++step)
    {
        reducer.SetLevel(step % 4);
        notch.SetAutomatic(step % 3 == 0);
        notch.AddManualNotch(static_cast<float>(500 + 10 * (step % 50)));
        if (step % 7 == 0)
            notch.ClearManualNotches();
        notch.SetEnabled(step % 11 != 0);
        reducer.SetEnabled(step % 13 != 0);
        std::this_thread::yield();
    }
    audio.join();
    EXPECT_EQ(pulled, source.Samples.size());
}

} // namespace
} // namespace keb::test
