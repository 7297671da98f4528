// keb-filter's whole job (read, filter through the window's chain, write) on
// a 10-minute recording at 8000 Hz, in seconds of audio per second of CPU.
// The peer in the same run is a plain libsndfile copy of the same recording
// (read and write, nothing filtered): the file handling any such tool pays.
// Each line reports both, from each one's fastest run, and the ratio.
#include "demo/DemoSignal.h"
#include "tools/FilterJob.h"

#include <algorithm>
#include <benchmark/benchmark.h>
#include <ctime>
#include <filesystem>
#include <sndfile.h>
#include <unistd.h>
#include <vector>

namespace keb::bench
{
namespace
{

constexpr int Rate = 8000;
constexpr int Seconds = 600;

double ProcessSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

// A folder with the 10-minute demo recording, removed at exit.
struct TRecording
{
    TRecording()
    {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "keb-filter-bench-XXXXXX").string();
        Folder = ::mkdtemp(pattern.data());
        Input = Folder / "ten-minutes.wav";
        std::vector<std::int16_t> samples(static_cast<std::size_t>(Rate) * Seconds);
        TDemoSignal(Rate).Fill(samples.data(), samples.size());
        SF_INFO info{};
        info.samplerate = Rate;
        info.channels = 1;
        info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
        SNDFILE* file = sf_open(Input.c_str(), SFM_WRITE, &info);
        sf_writef_short(file, samples.data(), static_cast<sf_count_t>(samples.size()));
        sf_close(file);
    }
    ~TRecording() { std::filesystem::remove_all(Folder); }

    std::filesystem::path Folder;
    std::filesystem::path Input;
};

const TRecording& TheRecording()
{
    static const TRecording recording;
    return recording;
}

void CopyWithLibsndfile(const std::filesystem::path& from, const std::filesystem::path& to)
{
    SF_INFO info{};
    SNDFILE* input = sf_open(from.c_str(), SFM_READ, &info);
    SNDFILE* output = sf_open(to.c_str(), SFM_WRITE, &info);
    std::vector<std::int16_t> buffer(1000);
    for (sf_count_t got; (got = sf_readf_short(input, buffer.data(), 1000)) > 0;)
        sf_writef_short(output, buffer.data(), got);
    sf_close(output);
    sf_close(input);
}

void FilterTenMinutes(benchmark::State& state)
{
    const TRecording& recording = TheRecording();
    TFilterOptions options;
    options.Input = recording.Input;
    options.Output = recording.Folder / "filtered.wav";
    options.Preset = TPreset::pr18;
    options.Align = state.range(0) != 0;
    double oursBest = 1e9;
    double peerBest = 1e9;
    for (auto _ : state)
    {
        double start = ProcessSeconds();
        RunFilterJob(options);
        double middle = ProcessSeconds();
        CopyWithLibsndfile(recording.Input, recording.Folder / "copy.wav");
        double end = ProcessSeconds();
        oursBest = std::min(oursBest, middle - start);
        peerBest = std::min(peerBest, end - middle);
        state.SetIterationTime(middle - start);
    }
    state.SetLabel(options.Align ? "aligned" : "as played");
    state.counters["x_realtime"] = Seconds / oursBest;
    state.counters["copy_x_realtime"] = Seconds / peerBest;
    state.counters["ratio"] = oursBest / peerBest;
}

BENCHMARK(FilterTenMinutes)
    ->Arg(0)
    ->Arg(1)
    ->UseManualTime()
    ->Iterations(4)
    ->Unit(benchmark::kMillisecond);

} // namespace
} // namespace keb::bench
