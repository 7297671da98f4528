// The peer of the noise reducer: ffmpeg's afftdn filter, run as a program on
// the same recording (16-bit WAV at 8000 Hz in and out), and the CPU time it
// took.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace keb::bench
{

struct TPeerRun
{
    std::vector<float> Output;
    double CpuSeconds = 0;
};

bool PeerAvailable();
// filter: an ffmpeg audio filter, "afftdn" or "afftdn=nf=-20".
TPeerRun RunPeer(const std::vector<float>& input, const std::string& filter,
                 const std::filesystem::path& folder);

void WriteWav(const std::filesystem::path& file, const std::vector<float>& samples);
std::vector<float> ReadWav(const std::filesystem::path& file);

} // namespace keb::bench
