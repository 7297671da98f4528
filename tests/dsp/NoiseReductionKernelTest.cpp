// The noise reduction kernel while it is off: it passes the samples as they
// are, yet remembers them, so that a level turned on later filters the audio
// that came before just as if the kernel had been on all along; and that
// memory must not depend on how the audio came in pieces.
#include "dsp/NoiseReductionKernel.h"

#include "tests/dsp/CleanupSignals.h"

#include <gtest/gtest.h>
#include <span>
#include <vector>

namespace keb::test
{
namespace
{

// Runs the kernel off over `before` in pieces of the sizes given (repeated),
// then at level 2 over `after` in one piece; returns what came out of both.
TSignal OffThenOn(const TSignal& before, const std::vector<std::size_t>& pieces,
                  const TSignal& after)
{
    TNoiseReductionKernel kernel(SignalRate);
    TSignal output = before;
    std::span<float> rest(output);
    for (std::size_t p = 0; !rest.empty(); ++p)
    {
        const std::size_t size = std::min(rest.size(), pieces[p % pieces.size()]);
        EXPECT_TRUE(kernel.Transparent());
        kernel.Process(rest.first(size));
        rest = rest.subspan(size);
    }
    kernel.SetLevel(2);
    EXPECT_FALSE(kernel.Transparent());
    TSignal on = after;
    kernel.Process(on);
    output.insert(output.end(), on.begin(), on.end());
    return output;
}

TEST(NoiseReductionKernelTest, OffPassesAndRemembersTheAudioHoweverItIsCut)
{
    const TSignal tone = Tone(1.2, 700, 4000);
    const TSignal noise = WhiteNoise(1.2, 1500, 3);
    const TSignal input = Sum({&tone, &noise});
    const TSignal before(input.begin(), input.begin() + 4003);
    const TSignal after(input.begin() + 4003, input.end());

    const TSignal whole = OffThenOn(before, {before.size()}, after);
    EXPECT_EQ(TSignal(whole.begin(), whole.begin() + 4003), before) << "off changed the audio";
    for (const std::vector<std::size_t>& pieces :
         {std::vector<std::size_t>{1}, {7, 64, 1, 300}, {64}, {63}, {513, 2}, {4000, 1, 1, 1}})
        EXPECT_EQ(OffThenOn(before, pieces, after), whole) << "pieces from " << pieces[0];

    // What came before matters: the first hop after turning on filters
    // (with a crossfade) the audio the kernel heard while off.
    TSignal silence(before.size(), 0.0f);
    const TSignal fromSilence = OffThenOn(silence, {256}, after);
    EXPECT_NE(TSignal(fromSilence.begin() + 4003, fromSilence.begin() + 4003 + 128),
              TSignal(whole.begin() + 4003, whole.begin() + 4003 + 128));
}

} // namespace
} // namespace keb::test
