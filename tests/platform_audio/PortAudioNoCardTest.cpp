// PortAudio on a machine without a sound card, with the system's ALSA
// configuration and no JACK server: enumeration finds nothing and opening
// fails with a clear result. The environment is set in main, before PortAudio
// initialises.
#include "WaveTestSupport.h"

#include <cstdlib>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>

namespace keb::test
{

namespace
{

bool MachineHasSoundCards()
{
    std::ifstream Cards("/proc/asound/cards");
    std::stringstream Text;
    Text << Cards.rdbuf();
    return Cards && Text.str().find("no soundcards") == std::string::npos;
}

} // namespace

TEST(PortAudioNoCardTest, FindsNoDevicesAndOpeningFailsClearly)
{
    if (MachineHasSoundCards())
    {
        GTEST_SKIP() << "this machine has sound cards";
    }
    EXPECT_EQ(WaveInGetNumDevs(), 0);
    EXPECT_EQ(WaveOutGetNumDevs(), 0);
    TWaveCaps Caps{};
    EXPECT_EQ(WaveInGetDevCaps(0, &Caps), wrNoDriver);
    const TWaveFormatEx Format = PcmFormat(8000, 1, 16);
    EXPECT_EQ(WaveInQueryFormat(WaveMapperId, &Format), wrNoDriver);
    HWaveIn Capture = nullptr;
    EXPECT_EQ(WaveInOpen(&Capture, WaveMapperId, &Format, nullptr, nullptr), wrNoDriver);
    EXPECT_EQ(Capture, nullptr);
    HWaveOut Playback = nullptr;
    EXPECT_EQ(WaveOutOpen(&Playback, 0, &Format, nullptr, nullptr), wrNoDriver);
    char Text[255] = {};
    ASSERT_EQ(WaveInGetErrorText(wrNoDriver, Text, sizeof(Text)), wrNoError);
    EXPECT_STREQ(Text, "No sound device or driver is available");
}

} // namespace keb::test

int main(int argc, char** argv)
{
    setenv("ALSA_CONFIG_PATH", KEB_SYSTEM_ALSA_CONFIG, 1);
    setenv("JACK_NO_START_SERVER", "1", 1);
    unsetenv("KEB_AUDIO");
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
