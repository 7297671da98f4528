// The capture device's properties: defaults, clamping, refusal while open,
// the device number, the callback mode, the record limit in its units and
// the capability classes.
#include "WaveDeviceFixture.h"
#include "devices/MMWavIn.h"
#include "devices/MMWaveDeviceHooks.h"

namespace keb::test
{
namespace
{
const std::string Refused = "Change to property while device was open";

// Runs Action and returns the message of the EMMWaveInError it raised.
template <typename F> std::string WaveInErrorOf(F action)
{
    try
    {
        action();
    }
    catch (const EMMWaveInError& error)
    {
        return error.what();
    }
    return "(no error)";
}

TWaveFormatEx Pcm(std::uint32_t rate, int channels, int bits)
{
    TWaveFormatEx format{};
    BuildPCMFormat(format, bits, channels, rate);
    return format;
}
} // namespace

using WaveInPropertiesTest = WaveDeviceTest;

TEST_F(WaveInPropertiesTest, DefaultsDescribeTheFirstDeviceAndAnElevenKiloHertzFormat)
{
    TMMWaveIn waveIn(nullptr);
    EXPECT_EQ(waveIn.GetBufferSize(), 2048);
    EXPECT_EQ(waveIn.NumBuffers(), 10);
    EXPECT_EQ(waveIn.CallBackMode(), cmWindow);
    EXPECT_EQ(waveIn.DeviceID(), 0);
    EXPECT_EQ(waveIn.NumDevs(), 2);
    EXPECT_EQ(waveIn.ProductName(), "Counter");
    EXPECT_EQ(waveIn.BitLength(), b8Bit);
    EXPECT_EQ(waveIn.Mode(), mMono);
    EXPECT_EQ(waveIn.SampleRate(), 11025);
    EXPECT_EQ(waveIn.TimeFormat(), tfByte);
    EXPECT_EQ(waveIn.MaxRecordTime(), -1);
    EXPECT_EQ(waveIn.MaxRecordBytes(), INT32_MAX);
    EXPECT_EQ(waveIn.State(), wsClosed);
    ASSERT_NE(waveIn.GetWaveFormat(), nullptr);
    EXPECT_EQ(waveIn.GetWaveFormat()->nSamplesPerSec, 11025u);
    EXPECT_EQ(waveIn.GetWaveFormat()->wBitsPerSample, 8);
    EXPECT_FALSE(waveIn.HasInputPort());
}

TEST_F(WaveInPropertiesTest, SettersClampOrIgnoreValuesOutOfRange)
{
    TMMWaveIn waveIn(nullptr);
    waveIn.SetNumBuffers(4);
    waveIn.SetNumBuffers(1);
    waveIn.SetNumBuffers(0);
    EXPECT_EQ(waveIn.NumBuffers(), 4);
    waveIn.SetNumBuffers(600);
    EXPECT_EQ(waveIn.NumBuffers(), 500);

    waveIn.SetSampleRate(5000);
    EXPECT_EQ(waveIn.SampleRate(), 8000);
    waveIn.SetSampleRate(200000);
    EXPECT_EQ(waveIn.SampleRate(), 100000);
    EXPECT_EQ(waveIn.GetWaveFormat()->nSamplesPerSec, 100000u);

    waveIn.SetMode(mStereo);
    waveIn.SetMode(mQuadro);
    EXPECT_EQ(waveIn.Mode(), mStereo);
    waveIn.SetBitLength(b16Bit);
    EXPECT_EQ(waveIn.GetWaveFormat()->nChannels, 2);
    EXPECT_EQ(waveIn.GetWaveFormat()->nBlockAlign, 4);

    waveIn.SetBufferSize(10);
    EXPECT_EQ(waveIn.GetBufferSize(), 32);
}

TEST_F(WaveInPropertiesTest, AValidFormatSetsRateResolutionAndChannels)
{
    TMMWaveIn waveIn(nullptr);
    const TWaveFormatEx stereo = Pcm(22050, 2, 16);
    waveIn.SetWaveFormat(&stereo);
    EXPECT_EQ(waveIn.SampleRate(), 22050);
    EXPECT_EQ(waveIn.BitLength(), b16Bit);
    EXPECT_EQ(waveIn.Mode(), mStereo);
}

TEST_F(WaveInPropertiesTest, DevicePropertiesAreRefusedWhileOpenAndKeepTheirValue)
{
    TMMWaveIn waveIn(nullptr);
    int errors = 0;
    waveIn.OnError = [&](TComponent*) { ++errors; };
    waveIn.Open();
    ASSERT_TRUE(waveIn.HasState(wsOpened));

    EXPECT_EQ(WaveInErrorOf([&] { waveIn.SetBufferSize(4000); }), Refused);
    EXPECT_EQ(WaveInErrorOf([&] { waveIn.SetNumBuffers(4); }), Refused);
    EXPECT_EQ(WaveInErrorOf([&] { waveIn.SetDeviceID(1); }), Refused);
    EXPECT_EQ(WaveInErrorOf([&] { waveIn.SetCallBackMode(cmThread); }), Refused);
    EXPECT_EQ(WaveInErrorOf([&] { waveIn.SetSampleRate(8000); }), Refused);
    EXPECT_EQ(WaveInErrorOf([&] { waveIn.SetBitLength(b16Bit); }), Refused);
    EXPECT_EQ(WaveInErrorOf([&] { waveIn.SetMode(mStereo); }), Refused);
    EXPECT_EQ(errors, 7);
    EXPECT_EQ(waveIn.GetBufferSize(), 2048);
    EXPECT_EQ(waveIn.NumBuffers(), 10);
    EXPECT_EQ(waveIn.DeviceID(), 0);
    EXPECT_EQ(waveIn.CallBackMode(), cmWindow);
    EXPECT_EQ(waveIn.SampleRate(), 11025);
    EXPECT_EQ(waveIn.BitLength(), b8Bit);
    EXPECT_EQ(waveIn.Mode(), mMono);
    EXPECT_TRUE(waveIn.HasState(wsOpened));

    // An unchanged buffer size is no change at all.
    EXPECT_NO_THROW(waveIn.SetBufferSize(waveIn.GetBufferSize()));
    waveIn.Close();
    EXPECT_EQ(waveIn.State(), wsClosed);
}

TEST_F(WaveInPropertiesTest, DeviceNumbersOutOfRangeAreMarkedInvalidAndRefusedByOpen)
{
    TMMWaveIn waveIn(nullptr);
    std::vector<std::string> errors;
    waveIn.SetDeviceID(7);
    EXPECT_EQ(waveIn.DeviceID(), badDeviceId);
    EXPECT_EQ(waveIn.ProductName(), "No wave audio recording device found");
    waveIn.OnError = [&](TComponent*) { errors.push_back("error"); };
    EXPECT_EQ(WaveInErrorOf([&] { waveIn.Open(); }), "Invalid DeviceID");
    EXPECT_EQ(errors.size(), 1u);
    EXPECT_EQ(waveIn.State(), wsClosed);

    waveIn.SetDeviceID(1);
    EXPECT_EQ(waveIn.ProductName(), "Silence");
    waveIn.SetDeviceID(MapperId);
    EXPECT_EQ(waveIn.DeviceID(), MapperId);
    waveIn.Open();
    EXPECT_TRUE(waveIn.HasState(wsOpened));
    waveIn.Close();
}

TEST_F(WaveInPropertiesTest, InterruptTimeCallbacksAreRefusedWithAMessageBox)
{
    std::vector<std::pair<std::string, std::string>> boxes;
    const auto previous = SetMessageBoxHook([&](const std::string& text, const std::string& caption)
                                            { boxes.emplace_back(text, caption); });
    TMMWaveIn waveIn(nullptr);
    waveIn.SetCallBackMode(cmThread);
    waveIn.SetCallBackMode(cmCallback);
    SetMessageBoxHook(previous);
    EXPECT_EQ(waveIn.CallBackMode(), cmThread);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].first, "\"CallBacks\" are called at interrupt time !\n\r"
                              "This is currently only supported under Windows 95");
    EXPECT_EQ(boxes[0].second, "TMMWaveIn");
}

TEST_F(WaveInPropertiesTest, RecordLimitFollowsItsUnitAndStaysPutWhenTheUnitChanges)
{
    TMMWaveIn waveIn(nullptr);
    waveIn.SetSampleRate(8000);
    waveIn.SetBitLength(b16Bit);
    waveIn.SetTimeFormat(tfMillisecond);
    waveIn.SetMaxRecordTime(1000);
    EXPECT_EQ(waveIn.MaxRecordBytes(), 16000);
    waveIn.SetTimeFormat(tfSample);
    EXPECT_EQ(waveIn.MaxRecordTime(), 8000);
    EXPECT_EQ(waveIn.MaxRecordBytes(), 16000);
    waveIn.SetTimeFormat(tfByte);
    EXPECT_EQ(waveIn.MaxRecordTime(), 16000);

    // Bytes are cut to whole sample frames; samples and milliseconds are
    // raised to the next frame.
    waveIn.SetMaxRecordTime(16001);
    EXPECT_EQ(waveIn.MaxRecordBytes(), 16000);
    waveIn.SetTimeFormat(tfMillisecond);
    waveIn.SetMaxRecordTime(3);
    EXPECT_EQ(waveIn.MaxRecordBytes(), 48);

    // A format change moves the limit in bytes, not in time.
    waveIn.SetMode(mStereo);
    EXPECT_EQ(waveIn.MaxRecordBytes(), 96);

    waveIn.SetMaxRecordTime(-10);
    EXPECT_EQ(waveIn.MaxRecordBytes(), INT32_MAX);
    waveIn.SetTimeFormat(tfSample);
    EXPECT_EQ(waveIn.MaxRecordTime(), -10);
}

TEST(StandardFormatBitTest, RateClassChannelsAndBitsPickOneBit)
{
    EXPECT_EQ(StandardFormatBit(Pcm(8000, 1, 8)), 0x0001u);
    EXPECT_EQ(StandardFormatBit(Pcm(11025, 2, 8)), 0x0002u);
    EXPECT_EQ(StandardFormatBit(Pcm(8000, 1, 16)), 0x0004u);
    EXPECT_EQ(StandardFormatBit(Pcm(11025, 2, 16)), 0x0008u);
    EXPECT_EQ(StandardFormatBit(Pcm(11026, 1, 8)), 0x0010u);
    EXPECT_EQ(StandardFormatBit(Pcm(22050, 2, 16)), 0x0080u);
    EXPECT_EQ(StandardFormatBit(Pcm(22051, 1, 16)), 0x0400u);
    EXPECT_EQ(StandardFormatBit(Pcm(44100, 2, 16)), 0x0800u);
    EXPECT_EQ(StandardFormatBit(Pcm(48000, 2, 8)), 0x0200u);
    // Outside the classes only the format query decides.
    EXPECT_EQ(StandardFormatBit(Pcm(96000, 2, 16)), 0u);
    EXPECT_EQ(StandardFormatBit(Pcm(4000, 1, 16)), 0u);
}

} // namespace keb::test
