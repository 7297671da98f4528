#include "platform/audio/portaudio/SoundServerDevices.h"

#include <alsa/asoundlib.h>
#include <jack/jack.h>

namespace keb
{

bool IsSoundServerDevice(const std::string& name)
{
    for (snd_pcm_stream_t stream : {SND_PCM_STREAM_PLAYBACK, SND_PCM_STREAM_CAPTURE})
    {
        snd_pcm_t* pcm = nullptr;
        if (snd_pcm_open(&pcm, name.c_str(), stream, SND_PCM_NONBLOCK) < 0)
            continue;
        const snd_pcm_type_t type = snd_pcm_type(pcm);
        snd_pcm_close(pcm);
        return type == SND_PCM_TYPE_IOPLUG || type == SND_PCM_TYPE_EXTPLUG;
    }
    return false;
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
