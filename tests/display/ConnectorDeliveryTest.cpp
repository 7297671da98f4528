#include "ConnectorTestSupport.h"

namespace keb
{
namespace
{
using test::BufferBytes;
using test::TestBuffer;

using ConnectorDelivery = test::ConnectorChain;

// 8000 Hz 16-bit mono is 16000 bytes a second: the blocks of 512 bytes at 0,
// 512 and 1024 are heard 0, 32 and 64 ms after the buffer arrived; the one at
// 1536 would end beyond the 2000 bytes.
TEST_F(ConnectorDelivery, ProgramSettingsReleaseThreeBlocksPerBufferAtTheirPlayTime)
{
    connector.SetSpectrogram(0, &waterfall);
    Start();
    ASSERT_TRUE(connector.Armed());

    TestBuffer buffer;
    const std::int64_t arrival = MicrosecondClock();
    connector.BufferReady(buffer.Wave());
    ASSERT_EQ(passedOn.size(), 1u);
    EXPECT_EQ(passedOn[0], buffer.Bytes(0, BufferBytes)) << "the buffer passes on unchanged";

    const std::int64_t steps[] = {0, 0, 31999, 1, 16000, 16000, 32000, 1000000};
    for (const std::int64_t step : steps)
    {
        clock.AdvanceMicroseconds(step);
        connector.Trigger();
    }
    ASSERT_EQ(Offsets("waterfall"), (std::vector<std::int32_t>{0, 512, 1024}));
    const std::int64_t released[] = {0, 32000, 64000};
    for (std::size_t i = 0; i < 3; ++i)
    {
        EXPECT_EQ(log[i].Time - arrival, released[i]);
        EXPECT_EQ(log[i].Block, buffer.Bytes(log[i].Offset(), 512));
    }

    // A new buffer starts again at its beginning.
    TestBuffer next(BufferBytes, 3000);
    connector.BufferReady(next.Wave());
    connector.Trigger();
    ASSERT_EQ(log.size(), 4u);
    EXPECT_EQ(test::FirstSample(log[3].Block.data()), 3000);
}

TEST_F(ConnectorDelivery, WithoutSynchronizeEachPassReleasesTheNextBlock)
{
    connector.SetSynchronize(false);
    connector.SetSpectrogram(0, &waterfall);
    Start();
    TestBuffer buffer;
    connector.BufferReady(buffer.Wave());
    for (int pass = 0; pass < 5; ++pass)
        connector.Trigger();
    EXPECT_EQ(Offsets("waterfall"), (std::vector<std::int32_t>{0, 512, 1024}));
}

TEST_F(ConnectorDelivery, ABufferShorterThanABlockFeedsNothing)
{
    connector.SetSynchronize(false);
    connector.SetSpectrogram(0, &waterfall);
    Start();
    TestBuffer shortBuffer(300);
    connector.BufferReady(shortBuffer.Wave());
    connector.Trigger();
    connector.Trigger();
    EXPECT_TRUE(log.empty());

    // Only the recorded bytes count, not the buffer's length.
    TestBuffer partly;
    partly.Header->wh.dwBytesRecorded = 1100;
    connector.BufferReady(partly.Wave());
    for (int pass = 0; pass < 4; ++pass)
        connector.Trigger();
    EXPECT_EQ(Offsets("waterfall"), (std::vector<std::int32_t>{0, 512}));
}

// With Accelerate the step is a quarter frame, 64 samples of 2 bytes, so
// blocks overlap by three quarters: 12 blocks fit into 2000 bytes, released
// 8 ms apart. Each spectrogram keeps its own position.
TEST_F(ConnectorDelivery, AcceleratedSpectrogramsOverlapAndKeepTheirOwnPositions)
{
    test::RecordingDisplay fast("fast", log);
    fast.AccelerateValue = true;
    connector.SetSpectrogram(0, &waterfall);
    connector.SetSpectrogram(1, &fast);
    Start();
    TestBuffer buffer;
    const std::int64_t arrival = MicrosecondClock();
    connector.BufferReady(buffer.Wave());
    for (int pass = 0; pass < 200; ++pass)
    {
        connector.Trigger();
        clock.AdvanceMicroseconds(1000);
    }
    std::vector<std::int32_t> expected;
    for (std::int32_t offset = 0; offset + 512 <= BufferBytes; offset += 128)
        expected.push_back(offset);
    EXPECT_EQ(Offsets("fast"), expected);
    EXPECT_EQ(Offsets("waterfall"), (std::vector<std::int32_t>{0, 512, 1024}));
    for (const test::Delivery& delivery : log)
        EXPECT_GE(delivery.Time - arrival, delivery.Offset() * 1000000LL / 16000)
            << delivery.Display << " at " << delivery.Offset() << " came early";
    // In a pass that serves both, the first spectrogram comes first.
    ASSERT_GE(log.size(), 2u);
    EXPECT_EQ(log[0].Display, "waterfall");
    EXPECT_EQ(log[1].Display, "fast");
}

// Kinds are visited in the order levels, meters, oscilloscopes, lights,
// spectrums, spectrograms; each kind steps by its largest block.
TEST_F(ConnectorDelivery, EveryKindGetsOneBlockPerPassInItsOrder)
{
    connector.SetSynchronize(false);
    test::RecordingDisplay level("level", log), meter("meter", log), oscope("oscope", log),
        light("light", log), spectrumSmall("spectrumSmall", log),
        spectrumLarge("spectrumLarge", log);
    level.FixedBlockBytes = 400;
    meter.FixedBlockBytes = 1000;
    light.FixedBlockBytes = 2000;
    spectrumSmall.FixedBlockBytes = 100;
    spectrumLarge.FixedBlockBytes = 700;
    connector.SetSpectrogram(0, &waterfall);
    connector.SetSpectrum(3, &spectrumLarge);
    connector.SetSpectrum(0, &spectrumSmall);
    connector.SetLight(1, &light);
    connector.SetOscope(0, &oscope);
    connector.SetMeter(0, &meter);
    connector.SetLevel(1, &level);
    Start();
    TestBuffer buffer;
    connector.BufferReady(buffer.Wave());
    connector.Trigger();
    std::vector<std::string> order;
    for (const test::Delivery& delivery : log)
        order.push_back(delivery.Display);
    EXPECT_EQ(order, (std::vector<std::string>{"level", "meter", "oscope", "light", "spectrumSmall",
                                               "spectrumLarge", "waterfall"}));
    for (int pass = 0; pass < 6; ++pass)
        connector.Trigger();
    EXPECT_EQ(Offsets("level"), (std::vector<std::int32_t>{0, 400, 800, 1200, 1600}));
    EXPECT_EQ(Offsets("meter"), (std::vector<std::int32_t>{0, 1000}));
    EXPECT_EQ(Offsets("light"), (std::vector<std::int32_t>{0}));
    EXPECT_EQ(Offsets("spectrumSmall"), (std::vector<std::int32_t>{0, 700}));
    EXPECT_EQ(Offsets("spectrumLarge"), Offsets("spectrumSmall"));
}

// The oscilloscope's block starts at the first crossing of the trigger level.
TEST_F(ConnectorDelivery, OscilloscopeBlocksStartAtTheTriggerFlank)
{
    connector.SetSynchronize(false);
    test::RecordingDisplay oscope("oscope", log);
    oscope.FixedBlockBytes = 200;
    connector.SetOscope(1, &oscope);
    connector.SetTriggerMode(tmUpFlank);
    connector.SetTriggerLevel(150);
    Start();
    TestBuffer ramp(BufferBytes, 0);
    connector.BufferReady(ramp.Wave());
    connector.Trigger();
    connector.Trigger();
    // Sample 150 is the first at the level: byte 300. The next block is
    // searched from 500, where the ramp is above the level for good.
    EXPECT_EQ(Offsets("oscope"), (std::vector<std::int32_t>{300, 500}));

    // Scroll and Accelerate step a quarter frame: 64 samples.
    oscope.ScrollValue = true;
    oscope.AccelerateValue = true;
    connector.SetTriggerMode(tmNone);
    connector.BufferReady(ramp.Wave());
    connector.Trigger();
    connector.Trigger();
    EXPECT_EQ(Offsets("oscope"), (std::vector<std::int32_t>{300, 500, 0, 128}));
}

TEST(FindFlank, FindsCrossingsInEightAndSixteenBitStreams)
{
    TWaveFormatEx mono8{}, stereo16{};
    BuildPCMFormat(mono8, 8, 1, 8000);
    BuildPCMFormat(stereo16, 16, 2, 8000);
    const std::uint8_t bytes8[] = {100, 120, 140, 160, 140, 120};
    EXPECT_EQ(FindFlank(mono8, bytes8, 6, 0, tmUpFlank), 2) << "140 - 128 = 12 reaches 0";
    EXPECT_EQ(FindFlank(mono8, bytes8, 6, 20, tmDownFlank), 4);
    EXPECT_EQ(FindFlank(mono8, bytes8, 6, 100, tmUpFlank), -1);
    EXPECT_EQ(FindFlank(mono8, bytes8, 6, 0, tmNone), -1);
    EXPECT_EQ(FindFlank(mono8, bytes8, 2, 0, tmUpFlank), -1) << "only the bytes given";

    // Left channel only: the right one crosses first but does not count.
    const std::int16_t frames[] = {-5, 9, -3, 9, 4, -9, 6, -9};
    const auto* stereo = reinterpret_cast<const std::uint8_t*>(frames);
    EXPECT_EQ(FindFlank(stereo16, stereo, sizeof frames, 0, tmUpFlank), 8);
    EXPECT_EQ(FindFlank(stereo16, stereo, sizeof frames, 5, tmUpFlank), 12);
    EXPECT_EQ(FindFlank(stereo16, stereo, sizeof frames, 5, tmDownFlank), -1);
    EXPECT_EQ(FindFlank(stereo16, stereo, -4, 0, tmUpFlank), -1);
}

// With Synchronize the block comes from the buffer the playback device is
// playing now (the companion), not from the one just played.
TEST_F(ConnectorDelivery, PushedBuffersShowTheirCompanionWhenSynchronised)
{
    connector.SetSpectrogram(0, &waterfall);
    Start();
    TestBuffer played(BufferBytes, 100), playing(BufferBytes, 7000);
    played.Header->CompanionHdr = playing.Wave();
    connector.BufferReady(played.Wave());
    connector.Trigger();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(test::FirstSample(log[0].Block.data()), 7000);
    EXPECT_EQ(passedOn.back(), played.Bytes(0, BufferBytes)) << "the played one goes on";

    connector.SetSynchronize(false);
    connector.BufferReady(played.Wave());
    connector.Trigger();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(test::FirstSample(log[1].Block.data()), 100);
}

TEST_F(ConnectorDelivery, PulledBuffersAreCopiedOnTheirWayBack)
{
    connector.SetSpectrogram(0, &waterfall);
    Start();
    source.PullBase = 1234;
    TestBuffer pulled;
    pulled.Header->wh.dwBytesRecorded = 0;
    bool more = false;
    connector.BufferLoad(pulled.Wave(), more);
    EXPECT_TRUE(more);
    connector.Trigger();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(test::FirstSample(log[0].Block.data()), 1234);
}

} // namespace
} // namespace keb
