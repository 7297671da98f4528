// End-to-end latency of the live chain (capture device -> ring buffer ->
// playback device) on the virtual card's clock: impulses go in at known
// capture frames, and the delay until each comes out of the playback device is
// read in card time. Measured for the program's settings (2000-byte buffers,
// 2 buffers, 2 ring slots) and, as the peer in the same run, for 256-byte
// buffers; the ratio of the two is printed at the end.
#include "platform/core/MainLoop.h"
#include "tests/chain/ChainRig.h"

#include <benchmark/benchmark.h>
#include <cstdio>
#include <map>

namespace keb::bench
{
namespace
{
using namespace std::chrono_literals;

constexpr std::int16_t kImpulse = 20000;
constexpr std::uint64_t kFirstImpulse = 4000;
// Not a multiple of any buffer, so the impulses fall at changing places.
constexpr std::uint64_t kImpulsePeriod = 16007;

std::int16_t ImpulseTrain(std::uint64_t Frame)
{
    return Frame >= kFirstImpulse && (Frame - kFirstImpulse) % kImpulsePeriod == 0 ? kImpulse : 0;
}

// Mean delay in milliseconds from each captured impulse to its playing (both
// devices opened at card time 0 and run at 8000 Hz); -1 when none came out.
double MeanLatencyMs(const std::vector<std::int16_t>& Played)
{
    double total = 0;
    int count = 0;
    for (std::size_t at = 0; at < Played.size(); ++at)
    {
        if (Played[at] != kImpulse || at < kFirstImpulse)
            continue;
        const std::uint64_t captured =
            kFirstImpulse + (at - kFirstImpulse) / kImpulsePeriod * kImpulsePeriod;
        total += static_cast<double>(at - captured) * 1000.0 / 8000.0;
        ++count;
    }
    return count > 0 ? total / count : -1;
}

std::map<std::int64_t, double>& Results()
{
    static std::map<std::int64_t, double> results;
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
} // namespace
} // namespace keb::bench

int main(int argc, char** argv)
{
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
    return 0;
}
