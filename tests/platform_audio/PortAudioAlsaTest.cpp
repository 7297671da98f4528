// PortAudio over ALSA file devices (no sound card needed): capture reads a raw
// file of the test's own, playback writes one. The streams are not paced, so
// buffers come back as fast as the machine runs. The ALSA configuration is set
// in main, before PortAudio initialises.
#include "WaveTestSupport.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <sstream>
#include <string>

namespace keb::test
{

namespace
{

constexpr auto Limit = std::chrono::seconds(20);
constexpr std::size_t BufferBytes = 800; // 50 ms of 8000 Hz 16-bit mono

std::filesystem::path Folder;
std::vector<std::uint8_t> InFile;

std::vector<std::uint8_t> ReadFile(const std::filesystem::path& Path)
{
    std::ifstream File(Path, std::ios::binary);
    return {std::istreambuf_iterator<char>(File), std::istreambuf_iterator<char>()};
}

// The number of the device named Name, or -2.
template <typename GetCaps> int FindDevice(int Count, GetCaps Get, const std::string& Name)
{
    for (int Id = 0; Id < Count; ++Id)
    {
        TWaveCaps Caps{};
        if (Get(Id, &Caps) == wrNoError && Name == Caps.szPname)
        {
            return Id;
        }
    }
    return -2;
}

} // namespace

void PrepareAlsaFolder()
{
    Folder = std::filesystem::temp_directory_path() / ("keb-alsa-" + std::to_string(getpid()));
    std::filesystem::create_directories(Folder);
    InFile = Pattern(16000, 7);
    std::ofstream(Folder / "infile.raw", std::ios::binary)
        .write(reinterpret_cast<const char*>(InFile.data()),
               static_cast<std::streamsize>(InFile.size()));
    std::ifstream Template(KEB_UNPACED_ALSA_CONFIG);
    std::stringstream Text;
    Text << Template.rdbuf();
    std::string Config = Text.str();
    for (std::size_t At; (At = Config.find("@DIR@")) != std::string::npos;)
    {
        Config.replace(At, 5, Folder.string());
    }
    std::ofstream(Folder / "asoundrc") << Config;
    setenv("ALSA_CONFIG_PATH", (Folder / "asoundrc").c_str(), 1);
}

TEST(PortAudioAlsaTest, CaptureFromAFileDeviceReturnsItsBytesInOrder)
{
    const int DeviceId = FindDevice(WaveInGetNumDevs(), WaveInGetDevCaps, "filepcm");
    ASSERT_GE(DeviceId, 0) << "no ALSA device filepcm";
    TWaveCaps Caps{};
    ASSERT_EQ(WaveInGetDevCaps(DeviceId, &Caps), wrNoError);
    EXPECT_EQ(Caps.dwFormats & WaveFormat1M16, WaveFormat1M16);

    const TWaveFormatEx Format = PcmFormat(8000, 1, 16);
    Recorder Events;
    HWaveIn Device = nullptr;
    ASSERT_EQ(WaveInOpen(&Device, DeviceId, &Format, Recorder::OnCapture, &Events), wrNoError);
    std::vector<std::unique_ptr<OwnedBuffer>> Buffers;
    for (int Index = 0; Index < 4; ++Index)
    {
        Buffers.push_back(std::make_unique<OwnedBuffer>(BufferBytes));
        ASSERT_EQ(WaveInPrepareHeader(Device, &Buffers.back()->Header), wrNoError);
        ASSERT_EQ(WaveInAddBuffer(Device, &Buffers.back()->Header), wrNoError);
    }
    ASSERT_EQ(WaveInStart(Device), wrNoError);
    EXPECT_TRUE(Events.WaitForDone(4, Limit));
    ASSERT_EQ(WaveInReset(Device), wrNoError);
    const auto Done = Events.DoneHeaders();
    ASSERT_EQ(Done.size(), 4u);
    for (std::size_t Index = 0; Index < 4; ++Index)
    {
        EXPECT_EQ(Done[Index], &Buffers[Index]->Header);
        const std::vector<std::uint8_t> Expected(InFile.begin() + Index * BufferBytes,
                                                 InFile.begin() + (Index + 1) * BufferBytes);
        EXPECT_EQ(Buffers[Index]->Bytes(), Expected) << "buffer " << Index;
    }
    for (const auto& Buffer : Buffers)
    {
        EXPECT_EQ(WaveInUnprepareHeader(Device, &Buffer->Header), wrNoError);
    }
    EXPECT_EQ(WaveInClose(Device), wrNoError);
    EXPECT_EQ(Events.FailedCount(), 0u);
}

// Plays four buffers on the device named Name, whose file is FileName.
void PlayFourBuffers(const std::string& Name, const std::string& FileName)
{
    const int DeviceId = FindDevice(WaveOutGetNumDevs(), WaveOutGetDevCaps, Name);
    ASSERT_GE(DeviceId, 0) << "no ALSA device " << Name;
    const TWaveFormatEx Format = PcmFormat(8000, 1, 16);
    Recorder Events;
    HWaveOut Device = nullptr;
    ASSERT_EQ(WaveOutOpen(&Device, DeviceId, &Format, Recorder::OnPlayback, &Events), wrNoError);
    const auto Played = Pattern(4 * BufferBytes, 131);
    std::vector<std::unique_ptr<OwnedBuffer>> Buffers;
    // Queued while paused: the unpaced device would otherwise play silence
    // whenever it runs ahead of the writes.
    ASSERT_EQ(WaveOutPause(Device), wrNoError);
    for (std::size_t Index = 0; Index < 4; ++Index)
    {
        Buffers.push_back(std::make_unique<OwnedBuffer>(BufferBytes));
        Buffers.back()->Fill({Played.begin() + Index * BufferBytes, Played.end()});
        ASSERT_EQ(WaveOutPrepareHeader(Device, &Buffers.back()->Header), wrNoError);
        ASSERT_EQ(WaveOutWrite(Device, &Buffers.back()->Header), wrNoError);
    }
    ASSERT_EQ(WaveOutRestart(Device), wrNoError);
    EXPECT_TRUE(Events.WaitForDone(4, Limit));
    const auto Done = Events.DoneHeaders();
    ASSERT_EQ(Done.size(), 4u);
    for (std::size_t Index = 0; Index < 4; ++Index)
    {
        EXPECT_EQ(Done[Index], &Buffers[Index]->Header);
    }
    TWavePosition Position{};
    ASSERT_EQ(WaveOutGetPosition(Device, &Position), wrNoError);
    EXPECT_EQ(Position.Bytes, 4 * BufferBytes);
    ASSERT_EQ(WaveOutClose(Device), wrNoError);
    EXPECT_EQ(Events.FailedCount(), 0u);

    const auto File = ReadFile(Folder / FileName);
    EXPECT_NE(std::search(File.begin(), File.end(), Played.begin(), Played.end()), File.end())
        << "the played bytes are not in " << FileName << " (" << File.size() << " bytes)";
}

// Also on a device that PortAudio's probe refuses and the layer opens by
// name; a named device that does not open is not offered.
TEST(PortAudioAlsaTest, PlaybackToAFileDeviceWritesTheBuffersBackToBack)
{
    PlayFourBuffers("filepcm", "played.raw");
    PlayFourBuffers("resampledpcm", "resampled.raw");
    EXPECT_EQ(FindDevice(WaveOutGetNumDevs(), WaveOutGetDevCaps, "brokenpcm"), -2);
}

TEST(PortAudioAlsaTest, StreamsStopAndStartAgain)
{
    const int CaptureId = FindDevice(WaveInGetNumDevs(), WaveInGetDevCaps, "filepcm");
    const int PlaybackId = FindDevice(WaveOutGetNumDevs(), WaveOutGetDevCaps, "filepcm");
    ASSERT_GE(CaptureId, 0);
    ASSERT_GE(PlaybackId, 0);
    const TWaveFormatEx Format = PcmFormat(8000, 1, 16);
    Recorder CaptureEvents, PlaybackEvents;
    HWaveIn Capture = nullptr;
    HWaveOut Playback = nullptr;
    ASSERT_EQ(WaveInOpen(&Capture, CaptureId, &Format, Recorder::OnCapture, &CaptureEvents),
              wrNoError);
    ASSERT_EQ(WaveOutOpen(&Playback, PlaybackId, &Format, Recorder::OnPlayback, &PlaybackEvents),
              wrNoError);
    OwnedBuffer Recorded1(BufferBytes), Recorded2(BufferBytes), Played1(BufferBytes),
        Played2(BufferBytes);
    for (OwnedBuffer* Buffer : {&Recorded1, &Recorded2})
    {
        ASSERT_EQ(WaveInPrepareHeader(Capture, &Buffer->Header), wrNoError);
    }
    for (OwnedBuffer* Buffer : {&Played1, &Played2})
    {
        ASSERT_EQ(WaveOutPrepareHeader(Playback, &Buffer->Header), wrNoError);
    }

    ASSERT_EQ(WaveInAddBuffer(Capture, &Recorded1.Header), wrNoError);
    ASSERT_EQ(WaveInStart(Capture), wrNoError);
    ASSERT_EQ(WaveOutPause(Playback), wrNoError);
    ASSERT_EQ(WaveOutWrite(Playback, &Played1.Header), wrNoError);
    EXPECT_TRUE(CaptureEvents.WaitForDone(1, Limit));
    ASSERT_EQ(WaveInStop(Capture), wrNoError);
    EXPECT_EQ(PlaybackEvents.DoneCount(), 0u); // paused: nothing is played

    ASSERT_EQ(WaveInAddBuffer(Capture, &Recorded2.Header), wrNoError);
    ASSERT_EQ(WaveInStart(Capture), wrNoError);
    ASSERT_EQ(WaveOutRestart(Playback), wrNoError);
    ASSERT_EQ(WaveOutWrite(Playback, &Played2.Header), wrNoError);
    EXPECT_TRUE(CaptureEvents.WaitForDone(2, Limit));
    EXPECT_TRUE(PlaybackEvents.WaitForDone(2, Limit));
    EXPECT_EQ(Recorded2.Header.dwBytesRecorded, BufferBytes);

    ASSERT_EQ(WaveInReset(Capture), wrNoError);
    ASSERT_EQ(WaveOutReset(Playback), wrNoError);
    EXPECT_EQ(WaveInClose(Capture), wrNoError);
    EXPECT_EQ(WaveOutClose(Playback), wrNoError);
    EXPECT_EQ(CaptureEvents.FailedCount() + PlaybackEvents.FailedCount(), 0u);
}

} // namespace keb::test

int main(int argc, char** argv)
{
    keb::test::PrepareAlsaFolder();
    setenv("JACK_NO_START_SERVER", "1", 1);
    unsetenv("KEB_AUDIO");
    ::testing::InitGoogleTest(&argc, argv);
    const int Result = RUN_ALL_TESTS();
    std::filesystem::remove_all(keb::test::Folder);
    return Result;
}
