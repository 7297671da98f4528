// keb on the real path with the noise reduction (level 2) and the automatic
// notch on, in Low latency (whose equalizer has no frames, so it passes the
// same samples to both components as keb-filter's): what it played must be
// what keb-filter makes of the same recording with the same options.
//
// Both components adapt to the audio, so a block the ring buffer repeats or
// drops changes what follows for a while; the played audio is compared over
// one second, where it must match the offline output closely at the lag
// the path adds: carriers notched, noise reduced, in the same frames (each
// run starts at its first sound, so the queue's silence shifts nothing).
#include "PathSignals.h"
#include "RealPath.h"

#include <cmath>
#include <cstdio>
#include <gtest/gtest.h>

namespace keb::test
{
namespace
{

constexpr int PlayingSeconds = 6;
// --quit-after counts from the program's start; opening the devices over the
// server takes up to a few seconds of it.
constexpr int QuitAfterSeconds = PlayingSeconds + 6;
constexpr double RecordingSeconds = QuitAfterSeconds + 3;

QString PathOf(const TScratchFolder& folder, const char* name)
{
    return QString::fromStdString((folder.Path() / name).string());
}

TEST(CleanupOutputTest, PlayedAudioWithNoiseReductionAndNotchIsTheOfflineOutput)
{
    const std::string problem = JackPathProblem();
    ASSERT_TRUE(problem.empty()) << problem;
    TScratchFolder folder;
    // Four steady tones (all notched) in white noise (reduced).
    const std::vector<std::int16_t> recording = TonesAndNoise(RecordingSeconds, 2);
    WriteRaw(RecordingFile(), recording);
    WriteWav(folder.Path() / "recording.wav", recording);
    const QStringList options = {"--latency", "low", "--nr", "2", "--notch"};

    const TProgramRun filter =
        RunProgram(KEB_FILTER_PROGRAM,
                   QStringList{"--quiet"} + options +
                       QStringList{PathOf(folder, "recording.wav"), PathOf(folder, "filtered.wav")},
                   folder.Path(), 60s);
    ASSERT_EQ(filter.ExitCode, 0) << filter.Errors;
    const std::vector<std::int16_t> reference = ReadWav(folder.Path() / "filtered.wav");
    ASSERT_EQ(reference.size(), recording.size());
    // The offline output is what the options make of the recording.
    ASSERT_LT(Rms(reference, 4 * PathRate, 5 * PathRate), 0.1 * Rms(recording, 0, PathRate));

    std::filesystem::remove(PlayedFile());
    const TProgramRun keb =
        RunProgram(KEB_PROGRAM,
                   QStringList{"--input", FileDevice, "--output", FileDevice} + options +
                       QStringList{"--on", "--quit-after", QString::number(QuitAfterSeconds)},
                   folder.Path(), 60s);
    ASSERT_TRUE(keb.Finished) << keb.Errors;
    ASSERT_EQ(keb.ExitCode, 0) << keb.Errors;
    const std::vector<std::int16_t> played = ReadRaw(PlayedFile());
    ASSERT_GE(played.size(), (PlayingSeconds - 1) * PathRate);

    // One second from the fourth on: well inside what was played.
    const TLag lag = FindLag(played, reference, 4 * PathRate, PathRate, 2 * PathRate);
    const TComparison comparison = Compare(played, reference, lag.Lag, 1, 4000);
    std::printf("correlation %.6f; %s\n", lag.Correlation, comparison.Summary().c_str());
    EXPECT_GT(lag.Correlation, 0.999);
    EXPECT_NEAR(std::log10(Rms(played, 4 * PathRate + lag.Lag, 5 * PathRate + lag.Lag) /
                           Rms(reference, 4 * PathRate, 5 * PathRate)) *
                    20,
                0.0, 0.5);
}

} // namespace
} // namespace keb::test
