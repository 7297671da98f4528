// The notch filter and the noise reducer on synthetic receiver recordings,
// with ffmpeg's afftdn (at its default and at its strongest noise floor,
// nf=-20) as the peer in the same run.
//
// Per case and processor: the SNR gain (by phase inversion: the recording
// is processed as wanted + disturbance and as wanted - disturbance, and the
// half sum and half difference of the two outputs are what became of the
// wanted signal and of the disturbance), the carriers' suppression, the
// wanted signal's level change, and for CW the correlation of the output's
// envelope with the clean keying. Clean recordings: level change and SNR
// against the input at the best delay. Then the CPU cost per second of
// audio, ours next to the equalizer's and the peer's, and keb-filter's
// speed with both on. Measures start 4 s into each 20 s recording, when
// every estimator has settled.
#include "bench/cleanup/CleanupPeer.h"
#include "dsp/MMEQ.h"
#include "dsp/NoiseReducer.h"
#include "dsp/NotchFilter.h"
#include "tests/dsp/CleanupRig.h"
#include "tests/dsp/CleanupSignals.h"
#include "tools/FilterJob.h"
#include "tools/FilterSettings.h"

#include <benchmark/benchmark.h>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <functional>
#include <unistd.h>

namespace keb::bench
{
namespace
{

using test::TSignal;

constexpr double Seconds = 20;
constexpr double From = 4;

struct TCase
{
    const char* Name;
    TSignal Wanted;
    TSignal Disturbance;
    std::vector<double> Carriers;
    TSignal Keying; // empty: not CW
};

struct TProcessor
{
    const char* Name;
    std::function<TSignal(const TSignal&)> Run;
    double CpuSeconds = 0;
};

TSignal Silence()
{
    return TSignal(static_cast<std::size_t>(Seconds * test::SignalRate));
}

std::vector<TCase> Cases()
{
    const TSignal keying = test::CwKeying(Seconds, 25);
    const TSignal cw = test::KeyedCw(keying, 700, 3000);
    const TSignal voice = test::Voice(Seconds, 8000);
    const TSignal light = test::WhiteNoise(Seconds, 100, 21);
    const TSignal near = test::Tone(Seconds, 800, 3000);
    const TSignal far = test::Tone(Seconds, 1900, 3000);
    const TSignal c1 = test::Tone(Seconds, 1000, 2500);
    const TSignal c2 = test::Tone(Seconds, 2200, 2500);
    std::vector<TCase> cases;
    cases.push_back({"CW, white noise", cw, test::WhiteNoise(Seconds, 1500, 22), {}, keying});
    cases.push_back({"CW, pink noise", cw, test::PinkNoise(Seconds, 1500, 23), {}, keying});
    cases.push_back({"voice, pink noise", voice, test::PinkNoise(Seconds, 1200, 24), {}, {}});
    cases.push_back(
        {"carriers over CW", cw, test::Sum({&near, &far, &light}), {800, 1900}, keying});
    cases.push_back(
        {"carriers over voice", voice, test::Sum({&c1, &c2, &light}), {1000, 2200}, {}});
    cases.push_back({"clean CW", cw, Silence(), {}, keying});
    cases.push_back({"clean voice", voice, Silence(), {}, {}});
    return cases;
}

double ProcessSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

// Ours: the automatic notch (when notch) then the noise reducer at level, as
// in the window's chain.
TSignal RunOurs(const TSignal& input, bool notch, int level)
{
    std::vector<std::int16_t> pcm = test::ToPcm(input);
    if (notch)
    {
        TMMNotchFilter filter(nullptr);
        filter.SetAutomatic(true);
        pcm = test::RunThrough(filter, pcm, test::Drive::Pull);
    }
    if (level > 0)
    {
        TMMNoiseReducer reducer(nullptr);
        reducer.SetLevel(level);
        pcm = test::RunThrough(reducer, pcm, test::Drive::Pull);
    }
    return test::FromPcm(pcm);
}

std::vector<TProcessor> Processors(const std::filesystem::path& folder, bool peer)
{
    std::vector<TProcessor> processors;
    for (int level = 1; level <= 3; ++level)
        processors.push_back({level == 1   ? "keb nr 1"
                              : level == 2 ? "keb nr 2"
                                           : "keb nr 3",
                              [level](const TSignal& x) { return RunOurs(x, false, level); }});
    processors.push_back({"keb notch", [](const TSignal& x) { return RunOurs(x, true, 0); }});
    processors.push_back({"keb notch+nr 2", [](const TSignal& x) { return RunOurs(x, true, 2); }});
    if (peer)
        for (const char* filter : {"afftdn", "afftdn=nf=-20"})
            processors.push_back({filter, [filter, folder](const TSignal& x)
                                  { return RunPeer(x, filter, folder).Output; }});
    return processors;
}

// SNR (dB) of out against clean at the best delay up to 25 ms.
double BestSnr(const TSignal& clean, const TSignal& out)
{
    double best = -100;
    for (int delay = 0; delay <= 200; ++delay)
        best = std::max(best, test::SnrDb(clean, out, delay, From, Seconds - 0.1));
    return best;
}

void Measure(const TCase& c, const TProcessor& p)
{
    TSignal inverted = c.Disturbance;
    for (float& v : inverted)
        v = -v;
    const TSignal plus = test::Sum({&c.Wanted, &c.Disturbance});
    const TSignal outPlus = p.Run(plus);
    const bool clean = test::Rms(c.Disturbance, 0, Seconds) == 0;
    std::printf("  %-16s", p.Name);
    if (outPlus.empty())
    {
        std::printf(" failed\n");
        return;
    }
    if (clean)
    {
        std::printf(
            " level %+6.2f dB   SNR against input %5.1f dB\n",
            test::Db(test::Rms(outPlus, From, Seconds) / test::Rms(c.Wanted, From, Seconds)),
            BestSnr(c.Wanted, outPlus));
        return;
    }
    const test::TSplitOutput split =
        test::SplitByInversion(outPlus, p.Run(test::Sum({&c.Wanted, &inverted})));
    const double gain = test::RatioDb(split.signal, split.noise, From, Seconds) -
                        test::RatioDb(c.Wanted, c.Disturbance, From, Seconds);
    std::printf(
        " SNR gain %+6.1f dB   level %+6.2f dB", gain,
        test::Db(test::Rms(split.signal, From, Seconds) / test::Rms(c.Wanted, From, Seconds)));
    double worst = -200;
    for (double carrier : c.Carriers)
        worst =
            std::max(worst, test::Db(test::ToneAmplitude(split.noise, carrier, From, Seconds) /
                                     test::ToneAmplitude(c.Disturbance, carrier, From, Seconds)));
    if (!c.Carriers.empty())
        std::printf("   carriers %+6.1f dB", worst);
    if (!c.Keying.empty())
        std::printf("   keying %.3f (input %.3f)",
                    test::KeyingCorrelation(c.Keying, outPlus, From, Seconds),
                    test::KeyingCorrelation(c.Keying, plus, From, Seconds));
    std::printf("\n");
}

// CPU seconds per second of audio of run over a 60 s recording.
double CostPerSecond(const std::function<void(const TSignal&)>& run, const TSignal& input)
{
    double best = 1e9;
    for (int round = 0; round < 3; ++round)
    {
        const double start = ProcessSeconds();
        run(input);
        best = std::min(best, ProcessSeconds() - start);
    }
    return best / (static_cast<double>(input.size()) / test::SignalRate);
}

void PrintCosts(const std::filesystem::path& folder, bool peer)
{
    const TSignal keying = test::CwKeying(60, 25);
    const TSignal cw = test::KeyedCw(keying, 700, 3000);
    const TSignal noise = test::WhiteNoise(60, 1500, 31);
    const TSignal carrier = test::Tone(60, 1900, 3000);
    const TSignal input = test::Sum({&cw, &noise, &carrier});
    const double notch = CostPerSecond([](const TSignal& x) { RunOurs(x, true, 0); }, input);
    const double reducer = CostPerSecond([](const TSignal& x) { RunOurs(x, false, 2); }, input);
    const double both = CostPerSecond([](const TSignal& x) { RunOurs(x, true, 2); }, input);
    const double equalizer = CostPerSecond(
        [](const TSignal& x)
        {
            TMMEqualizer eq(nullptr);
            eq.SetSampleRate(8000);
            AddWindowBands(eq, 8000);
            test::RunThrough(eq, test::ToPcm(x), test::Drive::Pull);
        },
        input);
    std::printf("\nCPU per second of audio (60 s of CW, noise and a carrier, best of 3):\n");
    std::printf("  notch (automatic)        %6.3f ms\n", notch * 1e3);
    std::printf("  noise reduction level 2  %6.3f ms\n", reducer * 1e3);
    std::printf("  both                     %6.3f ms\n", both * 1e3);
    std::printf("  equalizer (FFT 256)      %6.3f ms\n", equalizer * 1e3);
    if (peer)
    {
        const double afftdn = RunPeer(input, "afftdn", folder).CpuSeconds / 60;
        const double nothing = RunPeer(input, "anull", folder).CpuSeconds / 60;
        std::printf("  peer afftdn (ffmpeg)     %6.3f ms (%.3f ms of it ffmpeg itself, anull)\n",
                    afftdn * 1e3, nothing * 1e3);
        std::printf("  ratio afftdn / both      %6.2f\n", afftdn / both);
    }
    // keb-filter's whole job, without and with both on, in the same run.
    const auto in = folder / "minute.wav";
    WriteWav(in, input);
    const auto filterSpeed = [&](const TCleanupSettings& cleanup)
    {
        TFilterOptions options;
        options.Input = in;
        options.Output = folder / "minute-out.wav";
        options.Cleanup = cleanup;
        double best = 1e9;
        for (int round = 0; round < 3; ++round)
        {
            const double start = ProcessSeconds();
            RunFilterJob(options, {});
            best = std::min(best, ProcessSeconds() - start);
        }
        return 60 / best;
    };
    const double plain = filterSpeed({});
    const double cleaned = filterSpeed({2, true, {}});
    std::printf("  keb-filter: %.0f times real time alone, %.0f with --nr 2 --notch (%.2f)\n",
                plain, cleaned, cleaned / plain);
}

void BM_NotchAndNoiseReduction(benchmark::State& state)
{
    const TSignal noise = test::WhiteNoise(10, 1500, 41);
    const TSignal carrier = test::Tone(10, 1900, 3000);
    const TSignal input = test::Sum({&noise, &carrier});
    for (auto _ : state)
        benchmark::DoNotOptimize(RunOurs(input, true, 2));
    state.counters["ms_per_audio_s"] = benchmark::Counter(
        10.0 / 1000, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_NotchAndNoiseReduction)->Unit(benchmark::kMillisecond);

// With --write-recordings DIR the recordings of the cases are written there
// as WAV files (wanted + disturbance), named after the cases, and nothing
// else runs: the README's pictures come from one of them.
int WriteRecordings(const std::filesystem::path& folder)
{
    for (const TCase& c : Cases())
    {
        std::string name = c.Name;
        for (char& ch : name)
            if (!std::isalnum(static_cast<unsigned char>(ch)))
                ch = '-';
        WriteWav(folder / (name + ".wav"), test::Sum({&c.Wanted, &c.Disturbance}));
    }
    return 0;
}

} // namespace
} // namespace keb::bench

int main(int argc, char** argv)
{
    using namespace keb::bench;
    if (argc == 3 && std::string(argv[1]) == "--write-recordings")
        return WriteRecordings(argv[2]);
    std::string pattern =
        (std::filesystem::temp_directory_path() / "keb-cleanup-bench-XXXXXX").string();
    const std::filesystem::path folder = ::mkdtemp(pattern.data());
    const bool peer = PeerAvailable();
    if (!peer)
        std::printf("ffmpeg not found: the peer (afftdn) is left out\n");
    const auto processors = Processors(folder, peer);
    for (const TCase& c : Cases())
    {
        std::printf("%s\n", c.Name);
        for (const TProcessor& p : processors)
            Measure(c, p);
    }
    PrintCosts(folder, peer);
    std::filesystem::remove_all(folder);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
