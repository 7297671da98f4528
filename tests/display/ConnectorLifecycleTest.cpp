#include "ConnectorTestSupport.h"
#include "devices/MMHTimerPeriodic.h"

#include <algorithm>

namespace keb
{
namespace
{
using test::BufferBytes;
using test::TestBuffer;

// The format record is packed: its fields are read by value.
template <typename T> T Field(T value)
{
    return value;
}

class ConnectorLifecycle : public test::ConnectorChain
{
  protected:
    ConnectorLifecycle() { connector.SetSpectrogram(0, &waterfall); }

    static bool IsSilent(const std::vector<std::uint8_t>& block)
    {
        return std::all_of(block.begin(), block.end(), [](std::uint8_t byte) { return byte == 0; });
    }
};

// While the chain is paused the connector feeds the silent copy again every
// buffer period (2000 bytes at 16000 bytes a second: 125 ms), so the
// displays decay to rest; restarting stops that timer.
TEST_F(ConnectorLifecycle, PauseFeedsSilenceAtTheBufferRate)
{
    test::ManualTimerService manualTimers;
    connector.SetSynchronize(false);
    Start();
    TestBuffer buffer(BufferBytes, 500);
    connector.BufferReady(buffer.Wave());
    connector.Trigger();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_FALSE(IsSilent(log[0].Block));

    connector.ChainPaused();
    EXPECT_TRUE(connector.Paused());
    EXPECT_NE(connector.PauseTimerID(), 0u);
    connector.Trigger();
    EXPECT_EQ(log.size(), 1u) << "pausing clears what was pending";
    connector.BufferReady(buffer.Wave());
    connector.Trigger();
    EXPECT_EQ(log.size(), 1u) << "buffers that arrive while paused are not copied";

    AdvanceTimerService(124);
    connector.Trigger();
    EXPECT_EQ(log.size(), 1u);
    AdvanceTimerService(1);
    connector.Trigger();
    connector.Trigger();
    ASSERT_EQ(log.size(), 3u);
    EXPECT_TRUE(IsSilent(log[1].Block));
    EXPECT_EQ(log[2].Offset(), 0) << "silence at 512 reads as sample 0 too";
    EXPECT_TRUE(IsSilent(log[2].Block));

    connector.ChainRestarted();
    EXPECT_FALSE(connector.Paused());
    EXPECT_EQ(connector.PauseTimerID(), 0u);
    AdvanceTimerService(500);
    connector.Trigger();
    EXPECT_EQ(log.size(), 3u) << "no more silence after the restart";
    connector.BufferReady(buffer.Wave());
    connector.Trigger();
    ASSERT_EQ(log.size(), 4u);
    EXPECT_EQ(test::FirstSample(log[3].Block.data()), 500);
}

TEST_F(ConnectorLifecycle, ResetFillsTheCopyWithSilence)
{
    connector.SetSynchronize(false);
    Start();
    TestBuffer buffer(BufferBytes, 500);
    connector.BufferReady(buffer.Wave());
    connector.ChainReset();
    connector.Trigger();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_TRUE(IsSilent(log[0].Block));
}

TEST_F(ConnectorLifecycle, StoppingResetsTheDisplaysOnlyWithRefreshOnStop)
{
    test::RecordingDisplay level("level", log);
    connector.SetLevel(0, &level);
    Start();
    connector.ChainStopped();
    EXPECT_FALSE(connector.IsConnectorStarted());
    EXPECT_FALSE(connector.Armed());
    EXPECT_EQ(waterfall.Resets, 1);
    EXPECT_EQ(level.Resets, 1);

    connector.SetRefreshOnStop(false);
    connector.ChainStarted();
    ProcessMessages();
    EXPECT_TRUE(connector.Armed());
    connector.ChainStopped();
    EXPECT_EQ(waterfall.Resets, 1);

    // Buffers outside a start pass on and are not copied.
    TestBuffer buffer;
    connector.BufferReady(buffer.Wave());
    EXPECT_EQ(passedOn.size(), 1u);
    connector.ChainStarted();
    ProcessMessages();
    connector.Trigger();
    EXPECT_TRUE(log.empty());
}

TEST_F(ConnectorLifecycle, RealTimeCannotChangeWhileOpen)
{
    connector.ChainOpened();
    try
    {
        connector.SetRealTime(false);
        ADD_FAILURE() << "RealTime changed while open";
    }
    catch (const EMMConnectorError& error)
    {
        EXPECT_STREQ(error.what(), "Change to property while device was open");
    }
    EXPECT_TRUE(connector.RealTime());
    connector.SetRealTime(true);
    connector.ChainClosed();
    connector.SetRealTime(false);
    EXPECT_FALSE(connector.RealTime());
}

TEST_F(ConnectorLifecycle, SlotsTakeFormatsRefuseDoublesAndForgetRemovedDisplays)
{
    ASSERT_EQ(waterfall.Formats.size(), 1u) << "linking hands over the chain's format";
    EXPECT_EQ(Field(waterfall.Formats[0].nSamplesPerSec), 8000u);
    EXPECT_EQ(Field(waterfall.Formats[0].wBitsPerSample), 16);

    connector.SetSpectrogram(1, &waterfall);
    EXPECT_EQ(connector.Spectrogram(1), nullptr) << "one spectrogram in both slots is refused";
    connector.SetSpectrogram(0, &waterfall);
    EXPECT_EQ(waterfall.Formats.size(), 1u) << "the same display again changes nothing";
    connector.SetSpectrogram(2, &waterfall);
    EXPECT_EQ(connector.Spectrogram(0), &waterfall);

    auto spectrum = std::make_unique<test::RecordingDisplay>("spectrum", log);
    connector.SetSpectrum(0, spectrum.get());
    connector.SetSpectrum(3, spectrum.get());
    EXPECT_EQ(connector.Spectrum(3), spectrum.get()) << "spectrum slots have no cross-check";
    spectrum.reset();
    EXPECT_EQ(connector.Spectrum(0), nullptr);
    EXPECT_EQ(connector.Spectrum(3), nullptr);

    // Every linked display hears of a new chain format.
    test::RecordingDisplay level("level", log), light("light", log);
    connector.SetLight(0, &light);
    connector.SetLevel(1, &level);
    const std::size_t levelBefore = level.Formats.size(), lightBefore = light.Formats.size();
    TWaveFormatEx stereo{};
    BuildPCMFormat(stereo, 8, 2, 11025);
    source.SetWaveFormat(&stereo);
    ASSERT_EQ(level.Formats.size(), levelBefore + 1);
    ASSERT_EQ(light.Formats.size(), lightBefore + 1);
    EXPECT_EQ(Field(waterfall.Formats.back().nChannels), 2);
    EXPECT_EQ(Field(waterfall.Formats.back().nSamplesPerSec), 11025u);
}

// A stream the displays cannot read: without a codec nothing is shown, the
// audio still passes.
TEST_F(ConnectorLifecycle, NonPcmStreamsWithoutAConverterLeaveTheDisplaysUnfed)
{
    TWaveFormatEx adpcm = test::ProgramFormat();
    adpcm.wFormatTag = 2;
    source.SetWaveFormat(&adpcm);
    EXPECT_FALSE(connector.IsPCM());
    EXPECT_FALSE(connector.Converting());
    const std::size_t formatsBefore = waterfall.Formats.size();
    Start();
    EXPECT_FALSE(connector.IsConnectorStarted());
    TestBuffer buffer;
    connector.BufferReady(buffer.Wave());
    connector.Trigger();
    EXPECT_TRUE(log.empty());
    EXPECT_EQ(waterfall.Formats.size(), formatsBefore);
    EXPECT_EQ(passedOn.size(), 1u);
}

// A stand-in codec for the conversion path: "format 3" carries 16-bit
// samples of which only every second one is kept. It produces nothing for
// an odd number of frames.
class HalvingConversion : public TMMConversion
{
  public:
    HalvingConversion(const std::uint8_t* input, std::int32_t inputBytes)
        : input_(input), output_(static_cast<std::size_t>(inputBytes / 2))
    {
    }
    std::int32_t Convert(std::int32_t bytes) override
    {
        if (bytes % 4 != 0)
            return 0;
        for (std::int32_t frame = 0; frame < bytes / 4; ++frame)
            std::memcpy(&output_[static_cast<std::size_t>(frame) * 2], input_ + frame * 4, 2);
        return bytes / 2;
    }
    std::uint8_t* Output() override { return output_.data(); }
    std::int32_t OutputBytes() const override { return static_cast<std::int32_t>(output_.size()); }

  private:
    const std::uint8_t* input_;
    std::vector<std::uint8_t> output_;
};

class HalvingConverter : public TMMFormatConverter
{
  public:
    TWaveFormatPtr SuggestPCMFormat(const TWaveFormatEx& format) override
    {
        if (format.wFormatTag != 3)
            return nullptr;
        TWaveFormatEx pcm{};
        BuildPCMFormat(pcm, 16, 1, format.nSamplesPerSec / 2);
        return TWaveFormatPtr(CopyWaveFormat(&pcm));
    }
    bool CanConvert(const TWaveFormatEx& from, const TWaveFormatEx&) override
    {
        return from.wFormatTag == 3;
    }
    std::unique_ptr<TMMConversion> Open(const TWaveFormatEx&, const TWaveFormatEx&,
                                        const std::uint8_t* input, std::int32_t inputBytes) override
    {
        return std::make_unique<HalvingConversion>(input, inputBytes);
    }
};

TEST_F(ConnectorLifecycle, ConvertedStreamsFeedTheDisplaysInTheirPcmFormat)
{
    HalvingConverter converter;
    TMMFormatConverter* previous = SetFormatConverter(&converter);
    connector.SetSynchronize(false);
    TWaveFormatEx halved = test::ProgramFormat();
    halved.wFormatTag = 3;
    source.SetWaveFormat(&halved);
    EXPECT_TRUE(connector.Converting());
    EXPECT_EQ(Field(waterfall.Formats.back().nSamplesPerSec), 4000u);

    Start();
    ASSERT_TRUE(connector.IsConnectorStarted());
    TestBuffer buffer(BufferBytes, 0);
    connector.BufferReady(buffer.Wave());
    connector.Trigger();
    connector.Trigger();
    EXPECT_EQ(Offsets("waterfall"), (std::vector<std::int32_t>{0})) << "1000 converted bytes";
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(test::FirstSample(log[0].Block.data() + 2), 2) << "every second sample";

    // A buffer the codec makes nothing of leaves the previous data.
    TestBuffer odd(BufferBytes, 9000);
    odd.Header->wh.dwBytesRecorded = 1998;
    connector.BufferReady(odd.Wave());
    connector.Trigger();
    EXPECT_EQ(log.size(), 1u);

    connector.ChainStopped();
    SetFormatConverter(previous);
}

} // namespace
} // namespace keb
