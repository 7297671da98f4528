// keb itself on the real path: started with the file device for capture and
// playback, the 1.8 kHz preset at shift 2, ON, and a timed quit, in either
// latency mode. What it played must be what keb-filter makes of the same
// recording with the same settings (and the same --latency), sample for
// sample, once aligned for the path's latency, apart from what the ring
// buffer does at the start and the end.
//
// At the start the ring buffer plays silence until it has filled, and may
// drop the first block when capture runs ahead; the window's equalizer
// starts on that silence, the offline one on the recording, so the short
// gap the filter engine leaves in its 11th call while its queue fills falls
// on different audio in the two: up to there they stay 16 samples apart. At
// the end the ring buffer may repeat its last block, and the device plays
// silence once the window has stopped. Each splice costs the filter's
// transition: at most a kernel's length of samples that match neither side.
// Low's filter has no frames and no start-up gap.
#include "PathSignals.h"
#include "RealPath.h"

#include <algorithm>
#include <cstdio>
#include <gtest/gtest.h>

namespace keb::test
{
namespace
{

constexpr int PlayingSeconds = 10;
// --quit-after counts from the program's start, and opening the devices over
// the server takes up to a few seconds of it.
constexpr int StartupSeconds = 6;
constexpr int QuitAfterSeconds = PlayingSeconds + StartupSeconds;
constexpr double RecordingSeconds = QuitAfterSeconds + 3;
constexpr std::size_t Block = 1000; // the window's 2000-byte buffers
// The engine's FFT frames fall on other samples of the recording in the
// window than in the tool (they started at different points of it), so the
// floating-point sums may round a sample's last bit differently.
constexpr int Tolerance = 1;
// The most samples a splice can spoil: the equalizer's kernel at FFT length 256.
constexpr std::size_t Transition = 256;
// The filter engine's start-up gap comes with the 11th buffer.
constexpr std::size_t StartBlocks = 16;

std::size_t Sum(const std::vector<TSegment>& segments)
{
    std::size_t sum = 0;
    for (const auto& segment : segments)
        sum += segment.Length;
    return sum;
}

class ProgramOutputTest : public ::testing::TestWithParam<const char*>
{
};

TEST_P(ProgramOutputTest, PlayedAudioIsTheOfflineFilterOutput)
{
    const QString latency = GetParam();
    const std::string problem = JackPathProblem();
    ASSERT_TRUE(problem.empty()) << problem;
    TScratchFolder folder;
    const std::vector<std::int16_t> recording = TonesAndNoise(RecordingSeconds, 1);
    WriteRaw(RecordingFile(), recording);
    WriteWav(folder.Path() / "recording.wav", recording);

    const TProgramRun filter =
        RunProgram(KEB_FILTER_PROGRAM,
                   {"--quiet", "--latency", latency, "--preset", "1.8", "--shift", "2",
                    QString::fromStdString((folder.Path() / "recording.wav").string()),
                    QString::fromStdString((folder.Path() / "filtered.wav").string())},
                   folder.Path(), 60s);
    ASSERT_EQ(filter.ExitCode, 0) << filter.Errors;
    const std::vector<std::int16_t> reference = ReadWav(folder.Path() / "filtered.wav");
    ASSERT_EQ(reference.size(), recording.size());

    std::filesystem::remove(PlayedFile());
    const TProgramRun keb = RunProgram(KEB_PROGRAM,
                                       {"--input", FileDevice, "--output", FileDevice, "--latency",
                                        latency, "--preset", "1.8", "--shift", "2", "--on",
                                        "--quit-after", QString::number(QuitAfterSeconds)},
                                       folder.Path(), 60s);
    ASSERT_TRUE(keb.Finished) << keb.Errors;
    ASSERT_EQ(keb.ExitCode, 0) << keb.Errors;
    const std::vector<std::int16_t> played = ReadRaw(PlayedFile());
    std::printf("%s: keb played %zu samples (%.2f s) in its %d s\n", GetParam(), played.size(),
                static_cast<double>(played.size()) / PathRate, QuitAfterSeconds);
    // The JACK server paces the devices: about real time, not as fast as the machine goes.
    ASSERT_GE(played.size(), (PlayingSeconds - 1) * PathRate);
    ASSERT_LE(played.size(), (QuitAfterSeconds + 2) * PathRate);

    // One second from the fourth on: well inside what was played.
    const TLag lag = FindLag(played, reference, 4 * PathRate, PathRate, 2 * PathRate);
    EXPECT_GT(lag.Correlation, 0.999);
    const TComparison comparison = Compare(played, reference, lag.Lag, Tolerance, 4 * Block);
    std::printf("%s\n", comparison.Summary().c_str());

    // The matching run is real audio, and most of what was played.
    EXPECT_GT(
        Rms(reference, comparison.RunFirst - comparison.Lag, comparison.RunEnd - comparison.Lag),
        1000.0);
    EXPECT_GE(comparison.RunLength(), (PlayingSeconds - 4) * PathRate);
    // Everything else is silence, audio that matches at a nearby lag, or a
    // splice's short transition.
    std::size_t longestDifferent = 0;
    for (const auto* segments : {&comparison.Before, &comparison.After})
        for (const auto& segment : *segments)
            if (segment.Kind == TBlockKind::Different)
                longestDifferent = std::max(longestDifferent, segment.Length);
    EXPECT_LE(longestDifferent, Transition);
    EXPECT_LE(TComparison::Count(comparison.Before, TBlockKind::Different) +
                  TComparison::Count(comparison.After, TBlockKind::Different),
              4 * Transition);
    EXPECT_LE(Sum(comparison.Before) - TComparison::Count(comparison.Before, TBlockKind::Silence),
              StartBlocks * Block);
    EXPECT_LE(Sum(comparison.After) - TComparison::Count(comparison.After, TBlockKind::Silence),
              2 * Block);

    RecordProperty("MatchedSamples", std::to_string(comparison.RunLength()));
    RecordProperty("LagSamples", std::to_string(lag.Lag));
}

INSTANTIATE_TEST_SUITE_P(BothModes, ProgramOutputTest, ::testing::Values("standard", "low"),
                         [](const auto& info) { return std::string(info.param); });

} // namespace
} // namespace keb::test
