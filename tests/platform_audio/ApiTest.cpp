#include "VirtualCardFixture.h"

#include <cstring>

namespace keb::test
{

TEST_F(VirtualCardTest, EnumeratesTheCardsDevicesWithTheirCapabilities)
{
    EXPECT_EQ(WaveInGetNumDevs(), 2);
    EXPECT_EQ(WaveOutGetNumDevs(), 1);
    TWaveCaps Caps{};
    ASSERT_EQ(WaveInGetDevCaps(1, &Caps), wrNoError);
    EXPECT_STREQ(Caps.szPname, "Loopback");
    EXPECT_EQ(Caps.dwFormats & WaveFormat4S16, WaveFormat4S16);
    ASSERT_EQ(WaveOutGetDevCaps(WaveMapperId, &Caps), wrNoError);
    EXPECT_STREQ(Caps.szPname, "Speaker");
    EXPECT_EQ(WaveInGetDevCaps(2, &Caps), wrBadDeviceId);
    EXPECT_EQ(WaveOutGetDevCaps(-2, &Caps), wrBadDeviceId);
    EXPECT_EQ(WaveOutGetDevCaps(0, nullptr), wrInvalidParameter);
}

TEST_F(VirtualCardTest, LongDeviceNamesAreCutToTheNameField)
{
    const std::string Long(300, 'x');
    auto LongNames = VirtualSoundCard::Create(VirtualClock::Stepped);
    LongNames->AddPlaybackDevice(Long, MakeNullSink());
    UseVirtualSoundCard(LongNames);
    TWaveCaps Caps{};
    ASSERT_EQ(WaveOutGetDevCaps(0, &Caps), wrNoError);
    EXPECT_EQ(std::string(Caps.szPname), Long.substr(0, sizeof(Caps.szPname) - 1));
}

TEST_F(VirtualCardTest, FormatsAreCheckedBeforeAnythingOpens)
{
    EXPECT_EQ(WaveInQueryFormat(0, &Format), wrNoError);
    EXPECT_EQ(WaveOutQueryFormat(WaveMapperId, &Format), wrNoError);
    TWaveFormatEx Bad = Format;
    Bad.wBitsPerSample = 24;
    EXPECT_EQ(WaveInQueryFormat(0, &Bad), wrBadFormat);
    Bad = Format;
    Bad.nBlockAlign = 4; // does not match 16-bit mono
    EXPECT_EQ(WaveOutQueryFormat(0, &Bad), wrBadFormat);
    Bad = Format;
    Bad.wFormatTag = 2;
    HWaveIn Device = nullptr;
    EXPECT_EQ(WaveInOpen(&Device, 0, &Bad, nullptr, nullptr), wrBadFormat);
    EXPECT_EQ(Device, nullptr);
    EXPECT_EQ(WaveInOpen(&Device, 5, &Format, nullptr, nullptr), wrBadDeviceId);
    EXPECT_EQ(WaveInOpen(&Device, 0, nullptr, nullptr, nullptr), wrInvalidParameter);
    EXPECT_EQ(WaveInOpen(nullptr, 0, &Format, nullptr, nullptr), wrInvalidParameter);
    char Text[64] = {};
    ASSERT_EQ(WaveOutGetErrorText(wrBadFormat, Text, sizeof(Text)), wrNoError);
    EXPECT_STREQ(Text, "The sound device cannot handle this wave format");
}

TEST_F(VirtualCardTest, BufferMisuseIsRefusedWithAClearCode)
{
    HWaveIn Device = OpenCapture(WaveMapperId);
    OwnedBuffer Buffer(2000);
    EXPECT_EQ(WaveInAddBuffer(Device, &Buffer.Header), wrUnprepared);
    ASSERT_EQ(WaveInPrepareHeader(Device, &Buffer.Header), wrNoError);
    ASSERT_EQ(WaveInAddBuffer(Device, &Buffer.Header), wrNoError);
    EXPECT_EQ(WaveInAddBuffer(Device, &Buffer.Header), wrStillPlaying);
    EXPECT_EQ(WaveInPrepareHeader(Device, &Buffer.Header), wrStillPlaying);
    OwnedBuffer Empty(0);
    EXPECT_EQ(WaveInPrepareHeader(Device, &Empty.Header), wrInvalidParameter);
    EXPECT_EQ(WaveInAddBuffer(Device, nullptr), wrInvalidParameter);
    EXPECT_EQ(WaveInStart(nullptr), wrInvalidHandle);
    EXPECT_EQ(WaveOutWrite(nullptr, &Buffer.Header), wrInvalidHandle);
    ASSERT_EQ(WaveInReset(Device), wrNoError);
    EXPECT_EQ(WaveInClose(Device), wrNoError);
}

TEST(WaveErrorTextTest, UnknownResultsAndShortBuffersAreHandled)
{
    char Text[8] = "keep";
    EXPECT_EQ(WaveInGetErrorText(static_cast<TWaveResult>(999), Text, sizeof(Text)),
              wrBadErrorNumber);
    EXPECT_STREQ(Text, "keep");
    EXPECT_EQ(WaveInGetErrorText(wrOpenFailed, Text, sizeof(Text)), wrNoError);
    EXPECT_STREQ(Text, "Unable ");
    EXPECT_EQ(WaveErrorText(wrOpenFailed), "Unable to open the sound device");
    EXPECT_EQ(WaveErrorText(static_cast<TWaveResult>(3)), "");
}

TEST(WaveBackendSelectionTest, NoDevicesGiveAClearOpenError)
{
    UseVirtualSoundCard(VirtualSoundCard::Create(VirtualClock::Stepped));
    EXPECT_EQ(WaveInGetNumDevs(), 0);
    HWaveIn Device = nullptr;
    const TWaveFormatEx Format = PcmFormat(8000, 1, 16);
    EXPECT_EQ(WaveInOpen(&Device, WaveMapperId, &Format, nullptr, nullptr), wrNoDriver);
    EXPECT_EQ(WaveErrorText(wrNoDriver), "No sound device or driver is available");
    UseVirtualSoundCard(nullptr);
}

} // namespace keb::test
