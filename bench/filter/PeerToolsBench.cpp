// keb-filter next to two command-line tools that band-pass a recording in
// the same run: sox (its windowed-sinc band-pass) and ffmpeg (firequalizer,
// an FFT equalizer given the same gain per band). Each filters an hour of the
// demo signal at 8000 Hz, 16-bit mono WAV, with the 1.8 kHz preset's band
// (800 to 2600 Hz at the default shift), writing a 16-bit WAV.
//
// Each program runs three times, the three taking turns, and its fastest run
// counts: the wall time (what a user waits for), the CPU time of the child,
// keb-filter's wall time as a share of each peer's, and the times real time.
// The files lie in /dev/shm when it is there, so that no program waits for
// the disk; keb-filter still makes its output durable before putting it in
// place, which the peers do not. A peer that is not installed is reported
// and left out.
#include "demo/DemoSignal.h"
#include "settings/Presets.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sndfile.h>
#include <string>
#include <sys/resource.h>
#include <unistd.h>
#include <vector>

namespace
{

constexpr int Rate = 8000;
constexpr int Seconds = 3600;
constexpr int Rounds = 3;
constexpr int Shift = 4;
constexpr int BandHz = 200;

struct TProgram
{
    std::string Name;
    std::string Command;
    bool Available = true;
    double WallSeconds = 1e9;
    double CpuSeconds = 1e9;
};

double ChildrenCpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) * 1e-6;
}

std::filesystem::path MakeFolder()
{
    const std::filesystem::path ram = "/dev/shm";
    const std::filesystem::path parent =
        std::filesystem::is_directory(ram) ? ram : std::filesystem::temp_directory_path();
    std::string pattern = (parent / "keb-peer-tools-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr)
        return {};
    return pattern;
}

bool WriteHour(const std::filesystem::path& file)
{
    SF_INFO info{};
    info.samplerate = Rate;
    info.channels = 1;
    info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    SNDFILE* sound = sf_open(file.c_str(), SFM_WRITE, &info);
    if (sound == nullptr)
        return false;
    keb::TDemoSignal signal(Rate);
    std::vector<std::int16_t> second(Rate);
    bool written = true;
    for (int s = 0; s < Seconds && written; ++s)
    {
        signal.Fill(second.data(), second.size());
        written = sf_writef_short(sound, second.data(), Rate) == Rate;
    }
    return sf_close(sound) == 0 && written;
}

// ffmpeg's firequalizer entries: each band's gain at its centre.
std::string EqualizerEntries(const keb::TBandPositions& positions)
{
    std::string entries;
    for (int band = 0; band < keb::BandCount; ++band)
        entries += (band > 0 ? ";" : "") + std::string("entry(") +
                   std::to_string(band * BandHz + BandHz / 2) + "," +
                   std::to_string(positions[static_cast<std::size_t>(band)]) + ")";
    return entries;
}

// The preset's open bands as a pass band "low-high" in Hz.
std::string PassBand(const keb::TBandPositions& positions)
{
    const auto open = [](std::int32_t position) { return position == keb::BandOpen; };
    const auto first = std::find_if(positions.begin(), positions.end(), open);
    const auto last = std::find_if(positions.rbegin(), positions.rend(), open);
    const auto low = (first - positions.begin()) * BandHz;
    const auto high = (positions.rend() - last) * BandHz;
    return std::to_string(low) + "-" + std::to_string(high);
}

void Run(TProgram& program)
{
    const double cpuBefore = ChildrenCpuSeconds();
    const auto start = std::chrono::steady_clock::now();
    const int status = std::system(program.Command.c_str());
    const std::chrono::duration<double> wall = std::chrono::steady_clock::now() - start;
    if (status != 0)
    {
        std::fprintf(stderr, "%s failed: %s\n", program.Name.c_str(), program.Command.c_str());
        program.Available = false;
        return;
    }
    program.WallSeconds = std::min(program.WallSeconds, wall.count());
    program.CpuSeconds = std::min(program.CpuSeconds, ChildrenCpuSeconds() - cpuBefore);
}

} // namespace

int main()
{
    const std::filesystem::path folder = MakeFolder();
    if (folder.empty() || !WriteHour(folder / "hour.wav"))
    {
        std::fprintf(stderr, "peer tools bench: cannot write the recording\n");
        return 1;
    }
    const auto quoted = [&](const std::string& name)
    { return "'" + (folder / name).string() + "'"; };
    const keb::TBandPositions positions = *keb::PresetPositions(keb::TPreset::pr18, Shift);
    std::vector<TProgram> programs{
        {"keb-filter", std::string("'") + KEB_FILTER_PROGRAM + "' --quiet --preset 1.8 " +
                           quoted("hour.wav") + " " + quoted("keb.wav")},
        {"sox",
         "sox " + quoted("hour.wav") + " " + quoted("sox.wav") + " sinc " + PassBand(positions)},
        {"ffmpeg", "ffmpeg -nostdin -v error -y -i " + quoted("hour.wav") +
                       " -af \"firequalizer=gain_entry='" + EqualizerEntries(positions) +
                       "'\" -c:a pcm_s16le " + quoted("ffmpeg.wav")},
    };
    for (std::size_t p = 1; p < programs.size(); ++p)
        programs[p].Available =
            std::system(("command -v " + programs[p].Name + " > /dev/null").c_str()) == 0;
    for (int round = 0; round < Rounds; ++round)
        for (TProgram& program : programs)
            if (program.Available)
                Run(program);
    std::filesystem::remove_all(folder);

    const TProgram& ours = programs.front();
    std::printf("An hour of 8000 Hz audio band-passed %s Hz, fastest of %d runs, files in %s:\n",
                PassBand(positions).c_str(), Rounds, folder.parent_path().c_str());
    std::printf("  %-10s  %8s  %8s  %12s  %18s\n", "program", "wall s", "CPU s", "x real time",
                "keb-filter / it");
    for (const TProgram& program : programs)
    {
        if (!program.Available)
        {
            std::printf("  %-10s  not installed or failed\n", program.Name.c_str());
            continue;
        }
        std::printf("  %-10s  %8.3f  %8.3f  %12.0f  %18.2f\n", program.Name.c_str(),
                    program.WallSeconds, program.CpuSeconds, Seconds / program.WallSeconds,
                    ours.WallSeconds / program.WallSeconds);
    }
    return ours.Available ? 0 : 1;
}
