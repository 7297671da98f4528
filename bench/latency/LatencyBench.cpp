// End-to-end latency on the virtual card's clock: impulses go in at known
// capture frames, and the delay until each comes out of the playback device is
// read in card time.
//
// ChainLatency: the live chain alone (capture device -> ring buffer ->
// playback device) for the program's settings (2000-byte buffers, 2 buffers,
// 2 ring slots) and, as the peer in the same run, for 256-byte buffers.
//
// WindowLatency: the whole window (capture, ring, input tap, equalizer with
// its 20 flat bands, playback, output tap) in its Standard and Low latency
// modes, the equalizer's delay included. The same runs time the audio work:
// the wall time the stepped card takes per simulated second and the CPU time
// of all the process's threads in it (each the least of five runs, so that
// other load on the machine counts least; the CPU time is the steadier of the
// two on a busy machine), with the
// waterfalls' timer off (it draws on the wall clock, the same in both modes).
// Each step of the card wakes a device's worker, so this counts the hand-over
// per buffer as well as the filtering. The context switches of all threads
// per simulated second count the hand-overs alone; other load on the machine
// hardly moves them.
//
// The ratios of each pair are printed at the end.
#include "app/LatencyMode.h"
#include "platform/core/MainLoop.h"
#include "tests/app/WindowRig.h"
#include "tests/stream/ChainRig.h"

#include <QApplication>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <ctime>
#include <map>
#include <sys/resource.h>

namespace keb::bench
{
namespace
{
using namespace std::chrono_literals;

constexpr std::int16_t Impulse = 20000;
constexpr std::uint64_t FirstImpulse = 4000;
// Not a multiple of any buffer, so the impulses fall at changing places.
constexpr std::uint64_t ImpulsePeriod = 16007;

std::int16_t ImpulseTrain(std::uint64_t frame)
{
    return frame >= FirstImpulse && (frame - FirstImpulse) % ImpulsePeriod == 0 ? Impulse : 0;
}

// Mean delay in milliseconds from each captured impulse to its playing, at
// 8000 Hz; -1 when none came out. played[i] was played when capture frame
// i + playedStart was recorded. Impulses count from half their size: the
// flat equalizer plays them at 0.99763 of it.
double MeanLatencyMs(const std::vector<std::int16_t>& played, std::int64_t playedStart = 0)
{
    double total = 0;
    int count = 0;
    for (std::size_t at = 0; at < played.size(); ++at)
    {
        const std::int64_t frame = static_cast<std::int64_t>(at) + playedStart;
        if (played[at] < Impulse / 2 || frame < static_cast<std::int64_t>(FirstImpulse))
            continue;
        const std::uint64_t since = static_cast<std::uint64_t>(frame) - FirstImpulse;
        const std::uint64_t captured = FirstImpulse + since / ImpulsePeriod * ImpulsePeriod;
        total +=
            static_cast<double>(static_cast<std::uint64_t>(frame) - captured) * 1000.0 / 8000.0;
        ++count;
    }
    return count > 0 ? total / count : -1;
}

std::map<std::int64_t, double>& Results()
{
    static std::map<std::int64_t, double> results;
    return results;
}

struct TWindowResult
{
    double LatencyMs = -1;
    double WallMsPerSecond = -1;   // wall time per simulated second of audio
    double CpuMsPerSecond = -1;    // CPU time of all threads per simulated second
    double SwitchesPerSecond = -1; // context switches of all threads per simulated second
};

double ProcessCpuMs()
{
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) * 1e-6;
}

double ProcessContextSwitches()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_nvcsw + usage.ru_nivcsw);
}

// Keeps the least of the runs.
void KeepLeast(double& least, double value)
{
    if (least < 0 || value < least)
        least = value;
}

std::map<TLatency, TWindowResult>& WindowResults()
{
    static std::map<TLatency, TWindowResult> results;
    return results;
}

void ChainLatency(benchmark::State& state)
{
    test::TChainSettings settings;
    settings.BufferBytes = static_cast<std::int32_t>(state.range(0));
    settings.PlaybackLag = std::chrono::microseconds(settings.BufferBytes / 2 * 1000000 / 8000 / 2);
    double latency = -1;
    for (auto _ : state)
    {
        test::TChainRig rig(settings, ImpulseTrain);
        rig.SwitchOn();
        if (!rig.Run(20s))
        {
            state.SkipWithError("a worker stalled");
            return;
        }
        rig.SwitchOff();
        latency = MeanLatencyMs(rig.Played());
    }
    state.counters["latency_ms"] = latency;
    state.SetLabel(std::to_string(settings.BufferBytes) + "-byte buffers, 2 buffers, 2 slots");
    Results()[state.range(0)] = latency;
}

BENCHMARK(ChainLatency)->Arg(2000)->Arg(256)->Iterations(1)->Unit(benchmark::kMillisecond);

void WindowLatency(benchmark::State& state)
{
    constexpr auto simulated = 20s;
    const auto latency = static_cast<TLatency>(state.range(0));
    TWindowResult result;
    for (auto _ : state)
    {
        test::TWindowRig rig(ImpulseTrain);
        ApplyLatency(rig.Form(), latency);
        if (!rig.SwitchOn())
        {
            state.SkipWithError("the window did not start");
            return;
        }
        rig.Form().HiTimer->SetEnabled(false);
        const auto begin = std::chrono::steady_clock::now();
        const double cpuBegin = ProcessCpuMs();
        const double switchesBegin = ProcessContextSwitches();
        const bool ran = rig.Run(simulated);
        const double cpu = ProcessCpuMs() - cpuBegin;
        const double switches = ProcessContextSwitches() - switchesBegin;
        const std::chrono::duration<double, std::milli> wall =
            std::chrono::steady_clock::now() - begin;
        if (!ran)
        {
            state.SkipWithError("a worker stalled");
            return;
        }
        result.LatencyMs = MeanLatencyMs(rig.Played(), rig.PlayedStart());
        const auto seconds = static_cast<double>(simulated.count());
        KeepLeast(result.WallMsPerSecond, wall.count() / seconds);
        KeepLeast(result.CpuMsPerSecond, cpu / seconds);
        KeepLeast(result.SwitchesPerSecond, switches / seconds);
        rig.SwitchOff();
    }
    state.counters["latency_ms"] = result.LatencyMs;
    state.counters["wall_ms_per_s"] = result.WallMsPerSecond;
    state.counters["cpu_ms_per_s"] = result.CpuMsPerSecond;
    state.counters["switches_per_s"] = result.SwitchesPerSecond;
    const TLatencySettings settings = LatencySettings(latency);
    state.SetLabel(std::string(LatencyName(latency)) + ": " + std::to_string(settings.BufferSize) +
                   "-byte buffers, " + std::to_string(settings.CaptureBuffers) + " capture, " +
                   std::to_string(settings.PlaybackBuffers) + " playback, " +
                   std::to_string(settings.RingSlots) + " slots, FFT " +
                   std::to_string(settings.FFTLength));
    WindowResults()[latency] = result;
}

BENCHMARK(WindowLatency)
    ->Arg(static_cast<int>(TLatency::Standard))
    ->Arg(static_cast<int>(TLatency::Low))
    ->Iterations(5)
    ->Unit(benchmark::kMillisecond);

void PrintWindowResults()
{
    const auto& results = WindowResults();
    if (!results.count(TLatency::Standard) || !results.count(TLatency::Low))
        return;
    const TWindowResult standard = results.at(TLatency::Standard);
    const TWindowResult low = results.at(TLatency::Low);
    std::printf("window latency on the card's clock: %.1f ms (standard), %.1f ms (low), "
                "ratio %.2f\n",
                standard.LatencyMs, low.LatencyMs,
                low.LatencyMs > 0 ? standard.LatencyMs / low.LatencyMs : 0.0);
    std::printf("audio work per simulated second: %.1f ms (standard), %.1f ms (low), "
                "low costs %.2f times standard\n",
                standard.WallMsPerSecond, low.WallMsPerSecond,
                standard.WallMsPerSecond > 0 ? low.WallMsPerSecond / standard.WallMsPerSecond
                                             : 0.0);
    std::printf("CPU of all threads per simulated second: %.1f ms (standard), %.1f ms (low)\n",
                standard.CpuMsPerSecond, low.CpuMsPerSecond);
    std::printf("context switches of all threads per simulated second: %.0f (standard), "
                "%.0f (low)\n",
                standard.SwitchesPerSecond, low.SwitchesPerSecond);
}
} // namespace
} // namespace keb::bench

int main(int argc, char** argv)
{
    // The window needs a GUI application; without a display Qt's offscreen
    // platform serves.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    keb::InitMainThread();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    const auto& results = keb::bench::Results();
    if (results.count(2000) && results.count(256))
    {
        const double program = results.at(2000);
        const double small = results.at(256);
        std::printf("end-to-end latency on the card's clock: %.1f ms (2000-byte buffers), "
                    "%.1f ms (256-byte buffers), ratio %.2f\n",
                    program, small, small > 0 ? program / small : 0.0);
    }
    keb::bench::PrintWindowResults();
    return 0;
}
