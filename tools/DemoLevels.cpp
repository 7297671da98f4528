// Program entry of keb-demo-levels: prints the levels of the demo signal's two
// tones, the 700 Hz CW and the 1500 Hz carrier, in a recording before and
// after filtering:
//
//   keb-demo-levels BEFORE.wav AFTER.wav
//
// A tone's level is the amplitude of its frequency over the whole recording
// (one Goertzel filter), in dB of full scale: a steady full-scale sine is
// 0 dB. The keyed CW counts with its pauses, so it shows below its peak.
#include "demo/DemoSignal.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numbers>
#include <optional>
#include <sndfile.h>
#include <vector>

namespace
{

std::optional<std::vector<float>> ReadMono(const char* path, int& rate)
{
    SF_INFO info{};
    SNDFILE* file = sf_open(path, SFM_READ, &info);
    if (file == nullptr)
    {
        std::fprintf(stderr, "keb-demo-levels: %s: %s\n", path, sf_strerror(nullptr));
        return std::nullopt;
    }
    std::vector<float> frames(static_cast<std::size_t>(info.frames * info.channels));
    const sf_count_t read = sf_readf_float(file, frames.data(), info.frames);
    sf_close(file);
    std::vector<float> mono(static_cast<std::size_t>(read));
    for (std::size_t frame = 0; frame < mono.size(); ++frame)
        mono[frame] = frames[frame * static_cast<std::size_t>(info.channels)];
    rate = info.samplerate;
    return mono;
}

double LevelDb(const std::vector<float>& samples, double frequency, int rate)
{
    const double coefficient = 2.0 * std::cos(2.0 * std::numbers::pi * frequency / rate);
    double previous = 0.0;
    double beforePrevious = 0.0;
    for (float sample : samples)
    {
        const double current = sample + coefficient * previous - beforePrevious;
        beforePrevious = previous;
        previous = current;
    }
    const double power = previous * previous + beforePrevious * beforePrevious -
                         coefficient * previous * beforePrevious;
    const double amplitude = 2.0 * std::sqrt(std::max(power, 0.0)) / double(samples.size());
    return 20.0 * std::log10(std::max(amplitude, 1e-10));
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3)
    {
        std::fprintf(stderr, "usage: keb-demo-levels BEFORE.wav AFTER.wav\n");
        return 1;
    }
    int beforeRate = 0;
    int afterRate = 0;
    const auto before = ReadMono(argv[1], beforeRate);
    const auto after = ReadMono(argv[2], afterRate);
    if (!before || !after || before->empty() || after->empty())
        return 1;
    struct TTone
    {
        double Frequency;
        const char* Name;
    };
    std::printf("tone levels, dB of full scale   before    after\n");
    for (const TTone& tone : {TTone{keb::TDemoSignal::CwFrequencyHz, "CW"},
                              TTone{keb::TDemoSignal::CarrierFrequencyHz, "carrier"}})
        std::printf("  %4.0f Hz %-22s %7.1f  %7.1f\n", tone.Frequency, tone.Name,
                    LevelDb(*before, tone.Frequency, beforeRate),
                    LevelDb(*after, tone.Frequency, afterRate));
    return 0;
}
