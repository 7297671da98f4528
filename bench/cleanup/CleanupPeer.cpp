#include "bench/cleanup/CleanupPeer.h"

#include "tests/dsp/CleanupSignals.h"

#include <cstdlib>
#include <sndfile.h>
#include <sys/resource.h>

namespace keb::bench
{

namespace
{

double ChildrenCpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) * 1e-6;
}

} // namespace

bool PeerAvailable()
{
    return std::system("ffmpeg -version > /dev/null 2>&1") == 0;
}

void WriteWav(const std::filesystem::path& file, const std::vector<float>& samples)
{
    const std::vector<std::int16_t> pcm = test::ToPcm(samples);
    SF_INFO info{};
    info.samplerate = test::SignalRate;
    info.channels = 1;
    info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    SNDFILE* sound = sf_open(file.c_str(), SFM_WRITE, &info);
    sf_writef_short(sound, pcm.data(), static_cast<sf_count_t>(pcm.size()));
    sf_close(sound);
}

std::vector<float> ReadWav(const std::filesystem::path& file)
{
    SF_INFO info{};
    SNDFILE* sound = sf_open(file.c_str(), SFM_READ, &info);
    if (!sound)
        return {};
    std::vector<std::int16_t> pcm(static_cast<std::size_t>(info.frames));
    sf_readf_short(sound, pcm.data(), info.frames);
    sf_close(sound);
    return test::FromPcm(pcm);
}

TPeerRun RunPeer(const std::vector<float>& input, const std::string& filter,
                 const std::filesystem::path& folder)
{
    const auto in = folder / "peer-in.wav";
    const auto out = folder / "peer-out.wav";
    WriteWav(in, input);
    const std::string command = "ffmpeg -nostdin -v error -y -i '" + in.string() + "' -af " +
                                filter + " -c:a pcm_s16le '" + out.string() + "'";
    TPeerRun run;
    const double before = ChildrenCpuSeconds();
    if (std::system(command.c_str()) != 0)
        return run;
    run.CpuSeconds = ChildrenCpuSeconds() - before;
    run.Output = ReadWav(out);
    run.Output.resize(input.size());
    return run;
}

} // namespace keb::bench
