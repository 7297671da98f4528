#include "VirtualCardFixture.h"

#include <cstring>

namespace keb::test
{

TEST_F(VirtualCardTest, EnumeratesTheCardsDevicesWithTheirCapabilities)
{
    EXPECT_EQ(WaveInGetNumDevs(), 2);
    EXPECT_EQ(WaveOutGetNumDevs(), 1);
    TWaveCaps caps{};
    ASSERT_EQ(WaveInGetDevCaps(1, &caps), wrNoError);
    EXPECT_STREQ(caps.szPname, "Loopback");
    EXPECT_EQ(caps.dwFormats & WaveFormat4S16, WaveFormat4S16);
    ASSERT_EQ(WaveOutGetDevCaps(WaveMapperId, &caps), wrNoError);
    EXPECT_STREQ(caps.szPname, "Speaker");
    EXPECT_EQ(WaveInGetDevCaps(2, &caps), wrBadDeviceId);
    EXPECT_EQ(WaveOutGetDevCaps(-2, &caps), wrBadDeviceId);
    EXPECT_EQ(WaveOutGetDevCaps(0, nullptr), wrInvalidParameter);
}

TEST_F(VirtualCardTest, LongDeviceNamesAreCutToTheNameField)
{
    const std::string longName(300, 'x');
    auto longNames = TVirtualSoundCard::Create(TVirtualClock::Stepped);
    longNames->AddPlaybackDevice(longName, MakeNullSink());
    UseVirtualSoundCard(longNames);
    TWaveCaps caps{};
    ASSERT_EQ(WaveOutGetDevCaps(0, &caps), wrNoError);
    EXPECT_EQ(std::string(caps.szPname), longName.substr(0, sizeof(caps.szPname) - 1));
}

TEST_F(VirtualCardTest, FormatsAreCheckedBeforeAnythingOpens)
{
    EXPECT_EQ(WaveInQueryFormat(0, &format_), wrNoError);
    EXPECT_EQ(WaveOutQueryFormat(WaveMapperId, &format_), wrNoError);
    TWaveFormatEx bad = format_;
    bad.wBitsPerSample = 24;
    EXPECT_EQ(WaveInQueryFormat(0, &bad), wrBadFormat);
    bad = format_;
    bad.nBlockAlign = 4; // does not match 16-bit mono
    EXPECT_EQ(WaveOutQueryFormat(0, &bad), wrBadFormat);
    bad = format_;
    bad.wFormatTag = 2;
    HWaveIn device = nullptr;
    EXPECT_EQ(WaveInOpen(&device, 0, &bad, nullptr, nullptr), wrBadFormat);
    EXPECT_EQ(device, nullptr);
    EXPECT_EQ(WaveInOpen(&device, 5, &format_, nullptr, nullptr), wrBadDeviceId);
    EXPECT_EQ(WaveInOpen(&device, 0, nullptr, nullptr, nullptr), wrInvalidParameter);
    EXPECT_EQ(WaveInOpen(nullptr, 0, &format_, nullptr, nullptr), wrInvalidParameter);
    char text[64] = {};
    ASSERT_EQ(WaveOutGetErrorText(wrBadFormat, text, sizeof(text)), wrNoError);
    EXPECT_STREQ(text, "The sound device cannot handle this wave format");
}

TEST_F(VirtualCardTest, BufferMisuseIsRefusedWithAClearCode)
{
    HWaveIn device = OpenCapture(WaveMapperId);
    OwnedBuffer buffer(2000);
    EXPECT_EQ(WaveInAddBuffer(device, &buffer.Header), wrUnprepared);
    ASSERT_EQ(WaveInPrepareHeader(device, &buffer.Header), wrNoError);
    ASSERT_EQ(WaveInAddBuffer(device, &buffer.Header), wrNoError);
    EXPECT_EQ(WaveInAddBuffer(device, &buffer.Header), wrStillPlaying);
    EXPECT_EQ(WaveInPrepareHeader(device, &buffer.Header), wrStillPlaying);
    OwnedBuffer empty(0);
    EXPECT_EQ(WaveInPrepareHeader(device, &empty.Header), wrInvalidParameter);
    EXPECT_EQ(WaveInAddBuffer(device, nullptr), wrInvalidParameter);
    EXPECT_EQ(WaveInStart(nullptr), wrInvalidHandle);
    EXPECT_EQ(WaveOutWrite(nullptr, &buffer.Header), wrInvalidHandle);
    ASSERT_EQ(WaveInReset(device), wrNoError);
    EXPECT_EQ(WaveInClose(device), wrNoError);
}

TEST(WaveErrorTextTest, UnknownResultsAndShortBuffersAreHandled)
{
    char text[8] = "keep";
    EXPECT_EQ(WaveInGetErrorText(static_cast<TWaveResult>(999), text, sizeof(text)),
              wrBadErrorNumber);
    EXPECT_STREQ(text, "keep");
    EXPECT_EQ(WaveInGetErrorText(wrOpenFailed, text, sizeof(text)), wrNoError);
    EXPECT_STREQ(text, "Unable ");
    EXPECT_EQ(WaveErrorText(wrOpenFailed), "Unable to open the sound device");
    EXPECT_EQ(WaveErrorText(static_cast<TWaveResult>(3)), "");
}

TEST(WaveBackendSelectionTest, NoDevicesGiveAClearOpenError)
{
    UseVirtualSoundCard(TVirtualSoundCard::Create(TVirtualClock::Stepped));
    EXPECT_EQ(WaveInGetNumDevs(), 0);
    HWaveIn device = nullptr;
    const TWaveFormatEx format = PcmFormat(8000, 1, 16);
    EXPECT_EQ(WaveInOpen(&device, WaveMapperId, &format, nullptr, nullptr), wrNoDriver);
    EXPECT_EQ(WaveErrorText(wrNoDriver), "No sound device or driver is available");
    UseVirtualSoundCard(nullptr);
}

} // namespace keb::test
