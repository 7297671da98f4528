#include "platform/audio/portaudio/UnlistedAlsaDevices.h"

#include <algorithm>
#include <alsa/asoundlib.h>
#include <cstdlib>
#include <memory>

namespace keb
{

namespace
{

struct TFreeHint
{
    void operator()(char* text) const { std::free(text); }
};
using THintText = std::unique_ptr<char, TFreeHint>;

// The most channels the device takes in Stream, 0 when it does not open so.
int OpenChannels(const std::string& name, snd_pcm_stream_t stream)
{
    snd_pcm_t* pcm = nullptr;
    if (snd_pcm_open(&pcm, name.c_str(), stream, SND_PCM_NONBLOCK) < 0)
        return 0;
    snd_pcm_hw_params_t* params = nullptr;
    unsigned int channels = 0;
    if (snd_pcm_hw_params_malloc(&params) == 0)
    {
        if (snd_pcm_hw_params_any(pcm, params) >= 0)
            snd_pcm_hw_params_get_channels_max(params, &channels);
        snd_pcm_hw_params_free(params);
    }
    snd_pcm_close(pcm);
    return static_cast<int>(std::min(channels, 2u));
}

bool Offered(const std::string& name, const std::vector<std::string>& listed)
{
    return !name.empty() && name.find(':') == std::string::npos && name != "null" &&
           std::find(listed.begin(), listed.end(), name) == listed.end();
}

} // namespace

std::vector<TAlsaDevice> UnlistedAlsaDevices(const std::vector<std::string>& listed)
{
    std::vector<TAlsaDevice> devices;
    void** hints = nullptr;
    if (snd_device_name_hint(-1, "pcm", &hints) < 0)
        return devices;
    for (void** hint = hints; *hint != nullptr; ++hint)
    {
        const THintText name(snd_device_name_get_hint(*hint, "NAME"));
        // No direction named: both.
        const THintText direction(snd_device_name_get_hint(*hint, "IOID"));
        if (!name || !Offered(name.get(), listed))
            continue;
        const std::string only = direction ? direction.get() : "";
        TAlsaDevice device{name.get()};
        if (only != "Output")
            device.CaptureChannels = OpenChannels(device.Name, SND_PCM_STREAM_CAPTURE);
        if (only != "Input")
            device.PlaybackChannels = OpenChannels(device.Name, SND_PCM_STREAM_PLAYBACK);
        if (device.CaptureChannels > 0 || device.PlaybackChannels > 0)
            devices.push_back(device);
    }
    snd_device_name_free_hint(hints);
    return devices;
}

} // namespace keb
