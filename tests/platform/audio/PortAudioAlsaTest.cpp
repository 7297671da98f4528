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
#include <sched.h>
#include <sstream>
#include <string>
#include <thread>

namespace keb::test
{

namespace
{

constexpr auto Limit = std::chrono::seconds(20);
constexpr std::size_t BufferBytes = 800; // 50 ms of 8000 Hz 16-bit mono

std::filesystem::path Folder;
std::vector<std::uint8_t> InFile;

std::vector<std::uint8_t> ReadFile(const std::filesystem::path& path)
{
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

// The number of the device named Name, or -2.
template <typename GetCaps> int FindDevice(int count, GetCaps get, const std::string& name)
{
    for (int id = 0; id < count; ++id)
    {
        TWaveCaps caps{};
        if (get(id, &caps) == wrNoError && name == caps.szPname)
        {
            return id;
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
    std::ifstream configTemplate(KEB_UNPACED_ALSA_CONFIG);
    std::stringstream text;
    text << configTemplate.rdbuf();
    std::string config = text.str();
    for (std::size_t at; (at = config.find("@DIR@")) != std::string::npos;)
    {
        config.replace(at, 5, Folder.string());
    }
    std::ofstream(Folder / "asoundrc") << config;
    setenv("ALSA_CONFIG_PATH", (Folder / "asoundrc").c_str(), 1);
}

TEST(PortAudioAlsaTest, CaptureFromAFileDeviceReturnsItsBytesInOrder)
{
    const int deviceId = FindDevice(WaveInGetNumDevs(), WaveInGetDevCaps, "filepcm");
    ASSERT_GE(deviceId, 0) << "no ALSA device filepcm";
    TWaveCaps caps{};
    ASSERT_EQ(WaveInGetDevCaps(deviceId, &caps), wrNoError);
    EXPECT_EQ(caps.dwFormats & WaveFormat1M16, WaveFormat1M16);

    const TWaveFormatEx format = PcmFormat(8000, 1, 16);
    Recorder events;
    HWaveIn device = nullptr;
    ASSERT_EQ(WaveInOpen(&device, deviceId, &format, Recorder::OnCapture, &events), wrNoError);
    std::vector<std::unique_ptr<OwnedBuffer>> buffers;
    for (int index = 0; index < 4; ++index)
    {
        buffers.push_back(std::make_unique<OwnedBuffer>(BufferBytes));
        ASSERT_EQ(WaveInPrepareHeader(device, &buffers.back()->Header), wrNoError);
        ASSERT_EQ(WaveInAddBuffer(device, &buffers.back()->Header), wrNoError);
    }
    ASSERT_EQ(WaveInStart(device), wrNoError);
    EXPECT_TRUE(events.WaitForDone(4, Limit));
    ASSERT_EQ(WaveInReset(device), wrNoError);
    const auto done = events.DoneHeaders();
    ASSERT_EQ(done.size(), 4u);
    for (std::size_t index = 0; index < 4; ++index)
    {
        EXPECT_EQ(done[index], &buffers[index]->Header);
        const std::vector<std::uint8_t> expected(InFile.begin() + index * BufferBytes,
                                                 InFile.begin() + (index + 1) * BufferBytes);
        EXPECT_EQ(buffers[index]->Bytes(), expected) << "buffer " << index;
    }
    for (const auto& buffer : buffers)
    {
        EXPECT_EQ(WaveInUnprepareHeader(device, &buffer->Header), wrNoError);
    }
    EXPECT_EQ(WaveInClose(device), wrNoError);
    EXPECT_EQ(events.FailedCount(), 0u);
}

// Plays four buffers on the device named Name, whose file is FileName.
void PlayFourBuffers(const std::string& name, const std::string& fileName)
{
    const int deviceId = FindDevice(WaveOutGetNumDevs(), WaveOutGetDevCaps, name);
    ASSERT_GE(deviceId, 0) << "no ALSA device " << name;
    const TWaveFormatEx format = PcmFormat(8000, 1, 16);
    Recorder events;
    HWaveOut device = nullptr;
    ASSERT_EQ(WaveOutOpen(&device, deviceId, &format, Recorder::OnPlayback, &events), wrNoError);
    const auto played = Pattern(4 * BufferBytes, 131);
    std::vector<std::unique_ptr<OwnedBuffer>> buffers;
    // Queued while paused: the unpaced device would otherwise play silence
    // whenever it runs ahead of the writes.
    ASSERT_EQ(WaveOutPause(device), wrNoError);
    for (std::size_t index = 0; index < 4; ++index)
    {
        buffers.push_back(std::make_unique<OwnedBuffer>(BufferBytes));
        buffers.back()->Fill({played.begin() + index * BufferBytes, played.end()});
        ASSERT_EQ(WaveOutPrepareHeader(device, &buffers.back()->Header), wrNoError);
        ASSERT_EQ(WaveOutWrite(device, &buffers.back()->Header), wrNoError);
    }
    ASSERT_EQ(WaveOutRestart(device), wrNoError);
    EXPECT_TRUE(events.WaitForDone(4, Limit));
    const auto done = events.DoneHeaders();
    ASSERT_EQ(done.size(), 4u);
    for (std::size_t index = 0; index < 4; ++index)
    {
        EXPECT_EQ(done[index], &buffers[index]->Header);
    }
    TWavePosition position{};
    ASSERT_EQ(WaveOutGetPosition(device, &position), wrNoError);
    EXPECT_EQ(position.Bytes, 4 * BufferBytes);
    ASSERT_EQ(WaveOutClose(device), wrNoError);
    EXPECT_EQ(events.FailedCount(), 0u);

    const auto file = ReadFile(Folder / fileName);
    EXPECT_NE(std::search(file.begin(), file.end(), played.begin(), played.end()), file.end())
        << "the played bytes are not in " << fileName << " (" << file.size() << " bytes)";
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
    const int captureId = FindDevice(WaveInGetNumDevs(), WaveInGetDevCaps, "filepcm");
    const int playbackId = FindDevice(WaveOutGetNumDevs(), WaveOutGetDevCaps, "filepcm");
    ASSERT_GE(captureId, 0);
    ASSERT_GE(playbackId, 0);
    const TWaveFormatEx format = PcmFormat(8000, 1, 16);
    Recorder captureEvents, playbackEvents;
    HWaveIn capture = nullptr;
    HWaveOut playback = nullptr;
    ASSERT_EQ(WaveInOpen(&capture, captureId, &format, Recorder::OnCapture, &captureEvents),
              wrNoError);
    ASSERT_EQ(WaveOutOpen(&playback, playbackId, &format, Recorder::OnPlayback, &playbackEvents),
              wrNoError);
    OwnedBuffer recorded1(BufferBytes), recorded2(BufferBytes), played1(BufferBytes),
        played2(BufferBytes);
    for (OwnedBuffer* buffer : {&recorded1, &recorded2})
    {
        ASSERT_EQ(WaveInPrepareHeader(capture, &buffer->Header), wrNoError);
    }
    for (OwnedBuffer* buffer : {&played1, &played2})
    {
        ASSERT_EQ(WaveOutPrepareHeader(playback, &buffer->Header), wrNoError);
    }

    ASSERT_EQ(WaveInAddBuffer(capture, &recorded1.Header), wrNoError);
    ASSERT_EQ(WaveInStart(capture), wrNoError);
    ASSERT_EQ(WaveOutPause(playback), wrNoError);
    ASSERT_EQ(WaveOutWrite(playback, &played1.Header), wrNoError);
    EXPECT_TRUE(captureEvents.WaitForDone(1, Limit));
    ASSERT_EQ(WaveInStop(capture), wrNoError);
    EXPECT_EQ(playbackEvents.DoneCount(), 0u); // paused: nothing is played

    ASSERT_EQ(WaveInAddBuffer(capture, &recorded2.Header), wrNoError);
    ASSERT_EQ(WaveInStart(capture), wrNoError);
    ASSERT_EQ(WaveOutRestart(playback), wrNoError);
    ASSERT_EQ(WaveOutWrite(playback, &played2.Header), wrNoError);
    EXPECT_TRUE(captureEvents.WaitForDone(2, Limit));
    EXPECT_TRUE(playbackEvents.WaitForDone(2, Limit));
    EXPECT_EQ(recorded2.Header.dwBytesRecorded, BufferBytes);

    ASSERT_EQ(WaveInReset(capture), wrNoError);
    ASSERT_EQ(WaveOutReset(playback), wrNoError);
    EXPECT_EQ(WaveInClose(capture), wrNoError);
    EXPECT_EQ(WaveOutClose(playback), wrNoError);
    EXPECT_EQ(captureEvents.FailedCount() + playbackEvents.FailedCount(), 0u);
}

// Whether a thread of this process may run first-in-first-out.
bool RealTimeAllowed()
{
    bool allowed = false;
    std::thread probe(
        [&]
        {
            sched_param parameter{};
            parameter.sched_priority = sched_get_priority_min(SCHED_FIFO);
            allowed = sched_setscheduler(0, SCHED_FIFO, &parameter) == 0;
        });
    probe.join();
    return allowed;
}

std::atomic<int> DeliveringPolicy{-1};

void NotePolicy(HWaveIn, TWaveMessage message, void*, TWaveHdr*, TWaveResult)
{
    if (message == wmDone)
        DeliveringPolicy = sched_getscheduler(0) & ~SCHED_RESET_ON_FORK;
}

// The device's buffers come back in the stream's own thread.
TEST(PortAudioAlsaTest, TheStreamsThreadRunsFirstInFirstOutWhereTheSystemAllows)
{
    if (!RealTimeAllowed())
        GTEST_SKIP() << "this system gives no thread real-time scheduling";
    const int deviceId = FindDevice(WaveInGetNumDevs(), WaveInGetDevCaps, "filepcm");
    ASSERT_GE(deviceId, 0);
    const TWaveFormatEx format = PcmFormat(8000, 1, 16);
    HWaveIn device = nullptr;
    ASSERT_EQ(WaveInOpen(&device, deviceId, &format, NotePolicy, nullptr), wrNoError);
    OwnedBuffer buffer(BufferBytes);
    ASSERT_EQ(WaveInPrepareHeader(device, &buffer.Header), wrNoError);
    ASSERT_EQ(WaveInAddBuffer(device, &buffer.Header), wrNoError);
    ASSERT_EQ(WaveInStart(device), wrNoError);
    const auto end = std::chrono::steady_clock::now() + Limit;
    while (DeliveringPolicy == -1 && std::chrono::steady_clock::now() < end)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    ASSERT_EQ(WaveInReset(device), wrNoError);
    EXPECT_EQ(WaveInUnprepareHeader(device, &buffer.Header), wrNoError);
    EXPECT_EQ(WaveInClose(device), wrNoError);
    EXPECT_EQ(DeliveringPolicy, SCHED_FIFO);
}

} // namespace keb::test

int main(int argc, char** argv)
{
    keb::test::PrepareAlsaFolder();
    setenv("JACK_NO_START_SERVER", "1", 1);
    unsetenv("KEB_AUDIO");
    ::testing::InitGoogleTest(&argc, argv);
    const int result = RUN_ALL_TESTS();
    std::filesystem::remove_all(keb::test::Folder);
    return result;
}
