// The capture component over PortAudio. Which ALSA configuration PortAudio
// reads is fixed once per process, so this program is built twice: with the
// system's configuration on a machine without sound cards (no device), and
// with ALSA file devices of the test's own (a capture that reads a raw file,
// not paced). main sets the configuration before PortAudio initialises.
#include "WaveDeviceFixture.h"
#include "devices/MMWavIn.h"
#include "platform/core/MainLoop.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace keb::test
{
namespace
{
std::filesystem::path Folder;
std::vector<std::uint8_t> InFile;

// The unpaced configuration with its folder filled in, and the raw file the
// capture device reads.
void PrepareFileDevices()
{
    Folder = std::filesystem::temp_directory_path() / ("keb-wavein-" + std::to_string(getpid()));
    std::filesystem::create_directories(Folder);
    InFile.resize(32000);
    for (std::size_t i = 0; i < InFile.size(); ++i)
        InFile[i] = static_cast<std::uint8_t>(i * 7 + i / 251);
    std::ofstream(Folder / "infile.raw", std::ios::binary)
        .write(reinterpret_cast<const char*>(InFile.data()),
               static_cast<std::streamsize>(InFile.size()));
    std::ifstream source(KEB_ALSA_CONFIG);
    std::stringstream text;
    text << source.rdbuf();
    std::string config = text.str();
    for (std::size_t at; (at = config.find("@DIR@")) != std::string::npos;)
        config.replace(at, 5, Folder.string());
    std::ofstream(Folder / "asoundrc") << config;
    setenv("ALSA_CONFIG_PATH", (Folder / "asoundrc").c_str(), 1);
}

} // namespace

#if !KEB_WITH_FILE_DEVICES
namespace
{
bool MachineHasSoundCards()
{
    std::ifstream cards("/proc/asound/cards");
    std::stringstream text;
    text << cards.rdbuf();
    return cards && text.str().find("no soundcards") == std::string::npos;
}

std::string ErrorOf(TMMWaveIn& waveIn)
{
    try
    {
        waveIn.Open();
    }
    catch (const EMMWaveInError& error)
    {
        return error.what();
    }
    return "(no error)";
}
} // namespace

TEST(WaveInPortAudioTest, WithoutSoundCardsOpenFindsNoRecordingDevice)
{
    if (MachineHasSoundCards())
        GTEST_SKIP() << "this machine has sound cards";
    TMMWaveIn waveIn(nullptr);
    int errors = 0;
    waveIn.OnError = [&](TComponent*) { ++errors; };
    EXPECT_EQ(waveIn.NumDevs(), 0);
    EXPECT_EQ(waveIn.ProductName(), "No wave audio recording device found");
    EXPECT_EQ(ErrorOf(waveIn), "No wave audio recording device found");
    EXPECT_EQ(errors, 1);
    EXPECT_EQ(waveIn.State(), wsClosed);
}

#else
TEST(WaveInPortAudioTest, AFileDeviceIsOpenedStartedAndStoppedThroughTheComponent)
{
    TWatchdog watchdog;
    TMMWaveIn waveIn(nullptr);
    TMMDeviceId fileDevice = badDeviceId;
    for (TMMDeviceId id = 0; id < waveIn.NumDevs() && fileDevice == badDeviceId; ++id)
    {
        waveIn.SetDeviceID(id);
        if (waveIn.ProductName() == "filepcm")
            fileDevice = id;
    }
    ASSERT_NE(fileDevice, badDeviceId) << "no ALSA device filepcm";
    waveIn.SetSampleRate(8000);
    waveIn.SetBitLength(b16Bit);
    waveIn.SetBufferSize(800);
    waveIn.SetNumBuffers(4);
    waveIn.SetCallBackMode(cmThread);
    TCollector collector(nullptr);
    waveIn.SetOutput(&collector);
    TEventLog log;
    waveIn.OnStart = [&](TComponent*) { log.Add("Start"); };
    waveIn.OnStop = [&](TComponent*) { log.Add("Stop"); };
    waveIn.OnError = [&](TComponent*) { log.Add("Error"); };

    waveIn.Start();
    EXPECT_EQ(waveIn.State(), wsOpened | wsStarted);
    // Unpaced: the worker may fall behind and the driver then drops audio,
    // so only the first buffer is sure to hold the file's first bytes.
    ASSERT_TRUE(PumpUntil([&] { return collector.BufferCount() >= 8; }, 20s));
    waveIn.Stop();
    // A stop that meets a handler on the worker ends once the handler has
    // left, through the main loop.
    EXPECT_TRUE(PumpUntil([&] { return waveIn.State() == wsOpened; }, 10s));
    const std::size_t stoppedAt = collector.BufferCount();
    PumpUntil([] { return false; }, 50ms);
    EXPECT_EQ(collector.BufferCount(), stoppedAt);
    waveIn.Close();
    EXPECT_EQ(waveIn.State(), wsClosed);

    const auto bytes = collector.Bytes();
    ASSERT_GE(bytes.size(), 800u);
    EXPECT_EQ(std::vector<std::uint8_t>(bytes.begin(), bytes.begin() + 800),
              std::vector<std::uint8_t>(InFile.begin(), InFile.begin() + 800));
    EXPECT_EQ(log.Names(), (std::vector<std::string>{"Start", "Stop"}));
}
#endif

} // namespace keb::test

int main(int argc, char** argv)
{
    keb::InitMainThread();
    if (KEB_WITH_FILE_DEVICES)
        keb::test::PrepareFileDevices();
    else
        setenv("ALSA_CONFIG_PATH", KEB_ALSA_CONFIG, 1);
    setenv("JACK_NO_START_SERVER", "1", 1);
    unsetenv("KEB_AUDIO");
    ::testing::InitGoogleTest(&argc, argv);
    const int result = RUN_ALL_TESTS();
    if (!keb::test::Folder.empty())
        std::filesystem::remove_all(keb::test::Folder);
    return result;
}
