#include "demo/DemoSignal.h"

#include <cmath>
#include <gtest/gtest.h>
#include <numbers>
#include <vector>

namespace keb
{
namespace
{

// Power of `samples` at `frequency` (Goertzel), normalised to the length.
double PowerAt(const std::vector<float>& samples, double frequency, double rate)
{
    double coefficient = 2.0 * std::cos(2.0 * std::numbers::pi * frequency / rate);
    double s1 = 0.0, s2 = 0.0;
    for (float x : samples)
    {
        double s0 = x + coefficient * s1 - s2;
        s2 = s1;
        s1 = s0;
    }
    double power = s1 * s1 + s2 * s2 - coefficient * s1 * s2;
    return power / (double(samples.size()) * double(samples.size()));
}

double Decibels(double ratio)
{
    return 10.0 * std::log10(ratio);
}

TEST(DemoSignal, KeyedToneAboveCarrierAboveNoise)
{
    const double rate = 8000.0;
    TDemoSignal signal(rate);
    std::vector<float> samples(10 * 8000);
    signal.Fill(samples.data(), samples.size());

    double cw = PowerAt(samples, TDemoSignal::CwFrequencyHz, rate);
    double carrier = PowerAt(samples, TDemoSignal::CarrierFrequencyHz, rate);
    double empty = PowerAt(samples, 2437.0, rate);
    EXPECT_GT(Decibels(cw / carrier), 6.0);
    EXPECT_GT(Decibels(carrier / empty), 20.0);

    // Keyed: some 125 ms stretches hold no CW, others do.
    int keyUp = 0, keyDown = 0;
    for (std::size_t start = 0; start + 1000 <= samples.size(); start += 1000)
    {
        std::vector<float> stretch(samples.begin() + start, samples.begin() + start + 1000);
        double ratio = PowerAt(stretch, TDemoSignal::CwFrequencyHz, rate) /
                       PowerAt(stretch, TDemoSignal::CarrierFrequencyHz, rate);
        (Decibels(ratio) > 10.0 ? keyDown : keyUp)++;
    }
    EXPECT_GT(keyUp, 5);
    EXPECT_GT(keyDown, 5);
}

TEST(DemoSignal, SameSeedSameSamplesAtAnyBlockSize)
{
    TDemoSignal whole(8000.0), pieces(8000.0);
    std::vector<std::int16_t> a(4000), b(4000);
    whole.Fill(a.data(), a.size());
    for (std::size_t at = 0; at < b.size(); at += 1000)
        pieces.Fill(b.data() + at, 1000);
    EXPECT_EQ(a, b);

    TDemoSignal other(8000.0, 7);
    std::vector<std::int16_t> c(4000);
    other.Fill(c.data(), c.size());
    EXPECT_NE(a, c);
}

} // namespace
} // namespace keb
