#include "platform/audio/portaudio/SoundServerDevices.h"

#include <alsa/asoundlib.h>
#include <jack/jack.h>
#include <string_view>

namespace keb
{

bool IsSoundServerDevice(const std::string& name)
{
    // Read from ALSA's configuration, not by opening the device: opening
    // starts whatever the device's plugins do (a file plugin truncates its
    // file, a JACK plugin joins the server).
    if (snd_config_update() < 0)
        return false;
    snd_config_t* definition = nullptr;
    if (snd_config_search_definition(snd_config, "pcm", name.c_str(), &definition) < 0)
        return false;
    snd_config_t* typeNode = nullptr;
    const char* type = nullptr;
    bool server = false;
    if (snd_config_search(definition, "type", &typeNode) >= 0 &&
        snd_config_get_string(typeNode, &type) >= 0)
    {
        const std::string_view typeName(type);
        server = typeName == "pipewire" || typeName == "jack" || typeName == "pulse";
    }
    snd_config_delete(definition);
    return server;
}

double JackServerPeriodSeconds()
{
    jack_client_t* client = jack_client_open("keb-period", JackNoStartServer, nullptr);
    if (client == nullptr)
        return 0;
    const jack_nframes_t rate = jack_get_sample_rate(client);
    const double period = rate == 0 ? 0 : static_cast<double>(jack_get_buffer_size(client)) / rate;
    jack_client_close(client);
    return period;
}

} // namespace keb
