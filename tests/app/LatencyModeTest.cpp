// The latency modes' names and the settings each mode gives the window's
// chain; Standard is the window's own layout.
#include "app/LatencyMode.h"

#include "WindowRig.h"

#include <gtest/gtest.h>

namespace keb::test
{
namespace
{

std::int16_t Silence(std::uint64_t)
{
    return 0;
}

TEST(LatencyNameTest, NamesPrintAndParseBothWays)
{
    EXPECT_EQ(LatencyName(TLatency::Standard), "standard");
    EXPECT_EQ(LatencyName(TLatency::Low), "low");
    for (TLatency latency : {TLatency::Standard, TLatency::Low})
        EXPECT_EQ(LatencyNamed(LatencyName(latency)), latency);
    for (const char* other : {"", "Low", "LOW", "lo", "low ", "medium", "standard\n"})
        EXPECT_EQ(LatencyNamed(other), std::nullopt) << '"' << other << '"';
}

TEST(LatencySettingsTest, NewWindowIsStandardAndModesSwitchBothWaysWhileStopped)
{
    TWindowRig rig(Silence);
    TMainForm& form = rig.Form();
    const auto expectSettings = [&form](std::int32_t bytes, std::int32_t capture,
                                        std::int32_t playback, std::int32_t ringSlots, int length)
    {
        EXPECT_EQ(form.MMWaveIn->GetBufferSize(), bytes);
        EXPECT_EQ(form.MMWaveIn->NumBuffers(), capture);
        EXPECT_EQ(form.MMRingBuffer1->GetBufferSize(), bytes);
        EXPECT_EQ(form.MMRingBuffer1->GetNumBuffers(), ringSlots);
        EXPECT_EQ(form.WaveOut->GetBufferSize(), bytes);
        EXPECT_EQ(form.WaveOut->NumBuffers(), playback);
        EXPECT_EQ(form.Equalizer->FFTLength(), length);
    };
    // The stored layout of the window.
    expectSettings(2000, 2, 2, 2, 256);
    EXPECT_EQ(LatencyOf(form), TLatency::Standard);

    ApplyLatency(form, TLatency::Low);
    const TLatencySettings low = LatencySettings(TLatency::Low);
    expectSettings(low.BufferSize, low.CaptureBuffers, low.PlaybackBuffers, low.RingSlots,
                   low.FFTLength);
    EXPECT_EQ(LatencyOf(form), TLatency::Low);
    EXPECT_EQ(form.Equalizer->Filters()->Count(), BandCount);

    ApplyLatency(form, TLatency::Standard);
    expectSettings(2000, 2, 2, 2, 256);
    EXPECT_EQ(LatencyOf(form), TLatency::Standard);

    // A component set by hand matches no mode until a mode is applied again.
    form.WaveOut->SetNumBuffers(5);
    EXPECT_EQ(LatencyOf(form), std::nullopt);
    form.MMRingBuffer1->SetBufferSize(1000);
    ApplyLatency(form, TLatency::Standard);
    EXPECT_EQ(LatencyOf(form), TLatency::Standard);
    EXPECT_TRUE(rig.ErrorBoxes.empty());
}

} // namespace
} // namespace keb::test
