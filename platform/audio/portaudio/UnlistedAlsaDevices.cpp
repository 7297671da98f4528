#include "platform/audio/portaudio/UnlistedAlsaDevices.h"

#include <algorithm>
#include <alsa/asoundlib.h>
#include <cstdlib>
#include <memory>

namespace keb
{

namespace
{

struct FreeHint
{
    void operator()(char* Text) const { std::free(Text); }
};
using HintText = std::unique_ptr<char, FreeHint>;

// The most channels the device takes in Stream, 0 when it does not open so.
int OpenChannels(const std::string& Name, snd_pcm_stream_t Stream)
{
    snd_pcm_t* Pcm = nullptr;
    if (snd_pcm_open(&Pcm, Name.c_str(), Stream, SND_PCM_NONBLOCK) < 0)
        return 0;
    snd_pcm_hw_params_t* Params = nullptr;
    unsigned int Channels = 0;
    if (snd_pcm_hw_params_malloc(&Params) == 0)
    {
        if (snd_pcm_hw_params_any(Pcm, Params) >= 0)
            snd_pcm_hw_params_get_channels_max(Params, &Channels);
        snd_pcm_hw_params_free(Params);
    }
    snd_pcm_close(Pcm);
    return static_cast<int>(std::min(Channels, 2u));
}

bool Offered(const std::string& Name, const std::vector<std::string>& Listed)
{
    return !Name.empty() && Name.find(':') == std::string::npos && Name != "null" &&
           std::find(Listed.begin(), Listed.end(), Name) == Listed.end();
}

} // namespace

std::vector<TAlsaDevice> UnlistedAlsaDevices(const std::vector<std::string>& Listed)
{
    std::vector<TAlsaDevice> Devices;
    void** Hints = nullptr;
    if (snd_device_name_hint(-1, "pcm", &Hints) < 0)
        return Devices;
    for (void** Hint = Hints; *Hint != nullptr; ++Hint)
    {
        const HintText Name(snd_device_name_get_hint(*Hint, "NAME"));
        // No direction named: both.
        const HintText Direction(snd_device_name_get_hint(*Hint, "IOID"));
        if (!Name || !Offered(Name.get(), Listed))
            continue;
        const std::string Only = Direction ? Direction.get() : "";
        TAlsaDevice Device{Name.get()};
        if (Only != "Output")
            Device.CaptureChannels = OpenChannels(Device.Name, SND_PCM_STREAM_CAPTURE);
        if (Only != "Input")
            Device.PlaybackChannels = OpenChannels(Device.Name, SND_PCM_STREAM_PLAYBACK);
        if (Device.CaptureChannels > 0 || Device.PlaybackChannels > 0)
            Devices.push_back(Device);
    }
    snd_device_name_free_hint(Hints);
    return Devices;
}

} // namespace keb
