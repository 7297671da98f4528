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
    std::ifstream cards("/proc/asound/cards");
    std::stringstream text;
    text << cards.rdbuf();
    return cards && text.str().find("no soundcards") == std::string::npos;
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
    TWaveCaps caps{};
    EXPECT_EQ(WaveInGetDevCaps(0, &caps), wrNoDriver);
    const TWaveFormatEx format = PcmFormat(8000, 1, 16);
    EXPECT_EQ(WaveInQueryFormat(WaveMapperId, &format), wrNoDriver);
    HWaveIn capture = nullptr;
    EXPECT_EQ(WaveInOpen(&capture, WaveMapperId, &format, nullptr, nullptr), wrNoDriver);
    EXPECT_EQ(capture, nullptr);
    HWaveOut playback = nullptr;
    EXPECT_EQ(WaveOutOpen(&playback, 0, &format, nullptr, nullptr), wrNoDriver);
    char text[255] = {};
    ASSERT_EQ(WaveInGetErrorText(wrNoDriver, text, sizeof(text)), wrNoError);
    EXPECT_STREQ(text, "No sound device or driver is available");
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
