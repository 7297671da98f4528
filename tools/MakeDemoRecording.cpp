// Program entry of keb-demo-recording: writes 20 seconds of the demo signal as
// an 8000 Hz 16-bit mono WAV file.
#include "demo/DemoSignal.h"

#include <cstdio>
#include <sndfile.h>
#include <vector>

int main(int argc, char** argv)
{
    if (argc != 2)
    {
        std::fprintf(stderr, "usage: keb-demo-recording FILE.wav\n");
        return 1;
    }
    constexpr int Rate = 8000;
    constexpr int Seconds = 20;
    SF_INFO info{};
    info.samplerate = Rate;
    info.channels = 1;
    info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    SNDFILE* file = sf_open(argv[1], SFM_WRITE, &info);
    if (file == nullptr)
    {
        std::fprintf(stderr, "keb-demo-recording: %s: %s\n", argv[1], sf_strerror(nullptr));
        return 1;
    }
    keb::TDemoSignal signal(Rate);
    std::vector<std::int16_t> samples(static_cast<std::size_t>(Rate) * Seconds);
    signal.Fill(samples.data(), samples.size());
    bool written = sf_writef_short(file, samples.data(), static_cast<sf_count_t>(samples.size())) ==
                   static_cast<sf_count_t>(samples.size());
    if (sf_close(file) != 0 || !written)
    {
        std::fprintf(stderr, "keb-demo-recording: %s: cannot write\n", argv[1]);
        return 1;
    }
    return 0;
}
