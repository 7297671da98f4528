// Band changes from one thread while another filters: run under ThreadSanitizer too.

#include "FFTFilterTestSupport.h"

#include <atomic>
#include <cmath>
#include <gtest/gtest.h>
#include <thread>

namespace keb::test
{
namespace
{

// Impulses at the start of every half-frame through a flat engine whose level flips between
// two values: each impulse must come out N/4 later at one of the two levels, and nothing
// else may leave the engine. A frame filtered with a half-copied response would show up as
// an impulse at a third level or as energy elsewhere.
TEST(FFTFilterThreads, BandChangesNeverMixIntoAFrame)
{
    TEnginePtr engine = MakeEngine(1, 256);
    const int half = 128;
    const double amplitude = 16000;
    const double levels[2] = {amplitude * 0.99763,
                              amplitude * 0.99763 * std::pow(10.0, -20 / 20.0)};
    std::atomic<bool> filtering{true};
    std::atomic<int> designs{0};
    std::thread setter(
        [&]
        {
            for (int i = 0; filtering.load(); ++i)
            {
                SetFFTFilterBand(engine.get(), 0, 4000, i % 2 == 0 ? -20.0f : 0.0f);
                designs.fetch_add(1);
            }
        });
    // At least 200 calls and 100 designs; the cap bounds the test should the setter starve.
    const int minimumCalls = 200;
    const int maximumCalls = 200000;
    const int callSamples = 1024; // whole frames: no silence in front
    int impulses = 0;
    int unexpected = 0;
    std::vector<int16_t> buffer(callSamples);
    int call = 0;
    for (; call < minimumCalls || (designs.load() < 100 && call < maximumCalls); ++call)
    {
        for (int i = 0; i < callSamples; ++i)
        {
            buffer[i] = i % half == 0 ? static_cast<int16_t>(amplitude) : int16_t{0};
        }
        DoFFTFilter(engine.get(), 0, buffer.data(), 2 * callSamples);
        for (int i = 0; i < callSamples; ++i)
        {
            bool atImpulse = i % half == half / 2;
            if (atImpulse)
            {
                ++impulses;
                bool known = std::abs(buffer[i] - levels[0]) <= 1.5 ||
                             std::abs(buffer[i] - levels[1]) <= 1.5;
                unexpected += known ? 0 : 1;
            }
            else if (std::abs(buffer[i]) > 1)
            {
                ++unexpected;
            }
        }
    }
    filtering.store(false);
    setter.join();
    EXPECT_EQ(impulses, call * callSamples / half);
    EXPECT_EQ(unexpected, 0);
    EXPECT_GE(designs.load(), 100);
}

} // namespace
} // namespace keb::test
