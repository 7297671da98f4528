// Capture-to-playback latency of keb on the real path, in both latency
// modes. The recording holds clicks 1.5 s apart on a quiet tone; keb runs flat (all bands at
// 0 dB) and the test watches its two streams from outside (StreamWatch.h):
// when the capture device handed PortAudio each chunk, and when PortAudio
// handed the playback device each chunk. From these, at the streams' average
// pace, it knows when the capture device handed over the click and when the
// playback device received the click's peak in the played audio: the
// difference is the figure.
// It covers PortAudio's buffers on both sides, the capture buffers, the ring
// buffer, the equalizer's delay (a quarter of its FFT length) and the
// playback buffers. Of the devices' own buffering it leaves out the capture
// side's and takes in the playback side's: the file device writes what is
// played once the device's buffer behind it is full. A click may sit
// anywhere in its chunk on either side, so each figure is good to about one
// chunk (at 8000 Hz with 256-frame periods 32 ms); their mean to less.
// Between the first click and the end the tone must play without a gap: a
// path that loses audio has no latency worth the name.
#include "JackTap.h"
#include "PathSignals.h"
#include "RealPath.h"
#include "StreamWatch.h"
#include "platform/audio/DeviceChoice.h"
#include "platform/audio/WaveAudio.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <gtest/gtest.h>

namespace keb::test
{
namespace
{

constexpr std::size_t FirstClick = 8000;      // 1 s
constexpr std::size_t ClickSpacing = 12000;   // 1.5 s: more than any latency searched for
constexpr std::size_t LongestLatency = 11200; // 1.4 s
constexpr std::int16_t ClickHeight = 20000;
constexpr int PlayingSeconds = 8;
// --quit-after counts from the program's start, and opening the devices over
// the server takes up to a few seconds of it.
constexpr int StartupSeconds = 6;
constexpr int QuitAfterSeconds = PlayingSeconds + StartupSeconds;
// Zeros in a row that the tone never has.
constexpr std::size_t ShortestGap = 4;

struct TLatencyFigures
{
    std::vector<double> Milliseconds; // one per click that came out
    std::size_t Gaps = 0;             // silent stretches after the first click
    std::uint64_t CaptureStep = 0, PlaybackStep = 0;
    double Target = 0; // what Low aims at on a server: two of its periods and 25 ms
    double Mean() const
    {
        double sum = 0;
        for (double value : Milliseconds)
            sum += value;
        return Milliseconds.empty() ? 0 : sum / static_cast<double>(Milliseconds.size());
    }
};

TLatencyFigures MeasureLatency(const char* mode, const std::filesystem::path& home)
{
    const std::vector<std::int16_t> recording =
        ClicksOnTone(static_cast<std::size_t>(QuitAfterSeconds + 2) * PathRate, FirstClick,
                     ClickSpacing, ClickHeight);
    WriteRaw(RecordingFile(), recording);
    std::filesystem::remove(PlayedFile());
    TStreamWatch watch(RecordingFile(), PlayedFile(), PathRate);
    const TProgramRun keb =
        RunProgram(KEB_PROGRAM,
                   {"--input", FileDevice, "--output", FileDevice, "--latency", mode, "--on",
                    "--quit-after", QString::number(QuitAfterSeconds)},
                   home, 60s, [&](std::int64_t pid) { watch.Sample(pid); });
    EXPECT_TRUE(keb.Finished) << keb.Errors;
    EXPECT_EQ(keb.ExitCode, 0) << keb.Errors;

    TLatencyFigures figures;
    figures.CaptureStep = watch.Capture().TypicalStep();
    figures.PlaybackStep = watch.Playback().TypicalStep();
    const double captureStart = watch.Capture().Start(PathRate);
    const double playbackStart = watch.Playback().Start(PathRate);
    EXPECT_GT(watch.Capture().Frames.size(), 10u) << "the capture stream was not seen moving";
    EXPECT_GT(watch.Playback().Frames.size(), 10u) << "the playback stream was not seen moving";
    const std::vector<std::int16_t> played = ReadRaw(PlayedFile());
    // At the streams' average pace, played frame k left at playbackStart + k /
    // rate and recording frame j came in at captureStart + j / rate: a click
    // at j without latency would be at k = j + offset. Its peak is searched
    // from there.
    const double offset = (captureStart - playbackStart) * PathRate;
    std::size_t firstPeak = played.size();
    for (std::size_t click = FirstClick; click < recording.size(); click += ClickSpacing)
    {
        const double earliest = static_cast<double>(click) + offset;
        if (earliest < 0 || earliest + LongestLatency > static_cast<double>(played.size()))
            continue;
        const auto from = static_cast<std::size_t>(earliest);
        const std::size_t peak = Peak(played, from, from + LongestLatency);
        if (peak == from + LongestLatency || std::abs(played[peak]) < ClickHeight / 2)
        {
            ADD_FAILURE() << mode << ": the click at recording sample " << click
                          << " did not come out";
            continue;
        }
        figures.Milliseconds.push_back(1000.0 * (static_cast<double>(peak) - earliest) / PathRate);
        firstPeak = std::min(firstPeak, peak);
    }
    // The device plays silence once the window has stopped.
    std::size_t end = played.size();
    while (end > firstPeak && played[end - 1] == 0)
        --end;
    figures.Gaps = SilentGaps(played, firstPeak, end, ShortestGap);
    return figures;
}

void Print(const char* mode, const TLatencyFigures& figures)
{
    std::printf("%-8s latency %.1f ms (", mode, figures.Mean());
    for (double value : figures.Milliseconds)
        std::printf(" %.1f", value);
    std::printf(" ms per click; %zu gaps; device chunks: capture %llu, playback %llu frames)\n",
                figures.Gaps, static_cast<unsigned long long>(figures.CaptureStep),
                static_cast<unsigned long long>(figures.PlaybackStep));
}

TEST(LatencyTest, CaptureToPlaybackInBothModes)
{
    const std::string problem = JackPathProblem();
    ASSERT_TRUE(problem.empty()) << problem;
    TScratchFolder home;
    const TLatencyFigures standard = MeasureLatency("standard", home.Path());
    const TLatencyFigures low = MeasureLatency("low", home.Path());
    std::printf("capture device to playback device, without the devices' own buffering:\n");
    Print("standard", standard);
    Print("low", low);
    std::printf("low / standard: %.3f\n", low.Mean() / standard.Mean());
    const char* rate = std::getenv("KEB_REAL_PATH_RATE");
    const char* period = std::getenv("KEB_REAL_PATH_PERIOD");
    if (rate != nullptr && period != nullptr)
        std::printf("server %s Hz, %s-frame periods: two periods and 25 ms are %.1f ms\n", rate,
                    period, 2000.0 * std::atof(period) / std::atof(rate) + 25);
    EXPECT_EQ(standard.Gaps, 0u) << "the standard mode's audio has gaps";
    EXPECT_EQ(low.Gaps, 0u) << "the low mode's audio has gaps";
    ASSERT_GE(standard.Milliseconds.size(), 3u);
    ASSERT_GE(low.Milliseconds.size(), 3u);
    EXPECT_LT(low.Mean(), standard.Mean());
    RecordProperty("StandardLatencyMs", std::to_string(standard.Mean()));
    RecordProperty("LowLatencyMs", std::to_string(low.Mean()));
}

// The same figures with keb's streams on a sound server's own devices, seen
// from inside the server's graph (JackTap.h): the recording, held sample by
// sample at the server's rate, goes into keb's input port and both it and
// keb's output are recorded in the same cycles. The lag between them leaves
// out the server's own periods, one on the way in and one on the way out,
// which a real card adds: the figure adds them back. The devices come from
// KEB_GRAPH_INPUT and KEB_GRAPH_OUTPUT and the device ports keb's streams
// wire to from KEB_GRAPH_CAPTURE_PORT and KEB_GRAPH_PLAYBACK_PORT; without
// them, PortAudio's JACK device "system" on the server's first ports.
std::string Setting(const char* name, const char* otherwise)
{
    const char* value = std::getenv(name);
    return value != nullptr && *value != 0 ? value : otherwise;
}

std::vector<float> HeldAt(const std::vector<std::int16_t>& samples, std::uint32_t rate)
{
    std::vector<float> held(samples.size() * rate / PathRate);
    for (std::size_t index = 0; index < held.size(); ++index)
        held[index] = static_cast<float>(samples[index * PathRate / rate]) / 32768.0f;
    return held;
}

std::vector<std::int16_t> Samples(const std::vector<float>& values)
{
    std::vector<std::int16_t> samples(values.size());
    for (std::size_t index = 0; index < values.size(); ++index)
        samples[index] = static_cast<std::int16_t>(
            std::clamp(std::lround(values[index] * 32768.0f), -32768L, 32767L));
    return samples;
}

TLatencyFigures MeasureInGraph(const char* mode, const std::filesystem::path& home)
{
    const std::string input = Setting("KEB_GRAPH_INPUT", "system");
    const std::string output = Setting("KEB_GRAPH_OUTPUT", "system");
    const std::string capturePort = Setting("KEB_GRAPH_CAPTURE_PORT", "system:capture_1");
    const std::string playbackPort = Setting("KEB_GRAPH_PLAYBACK_PORT", "system:playback_1");
    TLatencyFigures figures;
    TJackTap tap;
    const std::string opened = tap.Open();
    EXPECT_TRUE(opened.empty()) << opened;
    if (!opened.empty())
        return figures;
    const std::uint32_t rate = tap.Rate();
    figures.CaptureStep = figures.PlaybackStep = tap.Period();
    figures.Target = 2000.0 * tap.Period() / rate + 25;
    std::vector<float> feed =
        HeldAt(ClicksOnTone(static_cast<std::size_t>(QuitAfterSeconds + 2) * PathRate, FirstClick,
                            ClickSpacing, ClickHeight),
               rate);
    std::string wired =
        "keb's ports never appeared next to " + capturePort + " and " + playbackPort;
    bool started = false;
    // Once playing, a port that goes away shows as clicks that do not come out.
    const auto wire = [&](std::int64_t)
    {
        const std::string in = tap.ConnectedPort(capturePort);
        const std::string out = tap.ConnectedPort(playbackPort);
        if (in.empty() || out.empty())
            return;
        const std::string problem = tap.Wire(in, out);
        if (started)
            return;
        wired = problem;
        if (!problem.empty())
            return;
        tap.Start(std::move(feed));
        started = true;
    };
    const TProgramRun keb = RunProgram(KEB_PROGRAM,
                                       {"--input", QString::fromStdString(input), "--output",
                                        QString::fromStdString(output), "--latency", mode, "--on",
                                        "--quit-after", QString::number(QuitAfterSeconds)},
                                       home, 60s, wire);
    tap.Stop();
    EXPECT_TRUE(keb.Finished) << keb.Errors;
    EXPECT_EQ(keb.ExitCode, 0) << keb.Errors;
    EXPECT_TRUE(started) << wired;
    const std::vector<std::int16_t> heard = Samples(tap.Heard());
    const std::vector<std::int16_t> played = Samples(tap.Played());
    std::size_t end = played.size();
    while (end > 0 && played[end - 1] == 0)
        --end;
    const std::size_t longest = LongestLatency * rate / PathRate;
    std::size_t firstPeak = played.size();
    for (std::size_t index = 0; index < heard.size(); ++index)
    {
        if (heard[index] < ClickHeight / 2)
            continue;
        const std::size_t click = index;
        index += ClickSpacing * rate / PathRate / 2;
        if (click + longest > end)
            break;
        const std::size_t peak = Peak(played, click, click + longest);
        if (peak == click + longest || std::abs(played[peak]) < ClickHeight / 2)
        {
            ADD_FAILURE() << mode << ": the click at sample " << click << " did not come out";
            continue;
        }
        figures.Milliseconds.push_back(1000.0 * static_cast<double>(peak - click) / rate +
                                       2000.0 * figures.CaptureStep / rate);
        firstPeak = std::min(firstPeak, peak);
    }
    figures.Gaps = SilentGaps(played, firstPeak, end, ShortestGap * rate / PathRate);
    return figures;
}

// Low sizes its buffers to the devices' period: on the server's own devices
// that is one period of the server in both directions, not the latency of
// its playback ports, which adds the server's playback buffering.
TEST(LatencyTest, TheServersOwnDevicesReportOnePeriodOfTheServer)
{
    TJackTap tap;
    const std::string opened = tap.Open();
    ASSERT_TRUE(opened.empty()) << opened;
    const double period = static_cast<double>(tap.Period()) / tap.Rate();
    const std::string name = Setting("KEB_GRAPH_INPUT", "system");
    const TDeviceChoice capture =
        ResolveDevice(TDeviceKind::Capture, name, ListDevices(TDeviceKind::Capture));
    const TDeviceChoice playback =
        ResolveDevice(TDeviceKind::Playback, name, ListDevices(TDeviceKind::Playback));
    ASSERT_TRUE(capture.Found) << capture.Error;
    ASSERT_TRUE(playback.Found) << playback.Error;
    EXPECT_NEAR(WaveInGetBlockSeconds(capture.DeviceId), period, 1e-6);
    EXPECT_NEAR(WaveOutGetBlockSeconds(playback.DeviceId), period, 1e-6);
}

TEST(LatencyTest, ThroughTheServersOwnDevices)
{
    TScratchFolder home;
    const TLatencyFigures standard = MeasureInGraph("standard", home.Path());
    const TLatencyFigures low = MeasureInGraph("low", home.Path());
    std::printf("%s -> %s, inside the server's graph plus two of its periods:\n",
                Setting("KEB_GRAPH_INPUT", "system").c_str(),
                Setting("KEB_GRAPH_OUTPUT", "system").c_str());
    Print("standard", standard);
    Print("low", low);
    std::printf("server periods of %llu frames: two periods and 25 ms are %.1f ms\n",
                static_cast<unsigned long long>(low.CaptureStep), low.Target);
    EXPECT_EQ(standard.Gaps, 0u) << "the standard mode's audio has gaps";
    EXPECT_EQ(low.Gaps, 0u) << "the low mode's audio has gaps";
    ASSERT_GE(standard.Milliseconds.size(), 3u);
    ASSERT_GE(low.Milliseconds.size(), 3u);
    EXPECT_LT(low.Mean(), standard.Mean());
}

} // namespace
} // namespace keb::test
