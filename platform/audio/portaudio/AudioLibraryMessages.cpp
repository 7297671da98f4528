#include "platform/audio/portaudio/AudioLibraryMessages.h"

#include <alsa/asoundlib.h>
#include <atomic>
#include <dlfcn.h>

namespace keb
{

namespace
{

std::atomic<bool> Shown{false};

void DropAlsaMessage(const char*, int, const char*, int, const char*, ...) {}

void DropJackMessage(const char*) {}

// JACK's setter of a message function, when the process has JACK loaded.
void SetJackMessageFunction(const char* setter)
{
    using TSetter = void (*)(void (*)(const char*));
    if (void* found = dlsym(RTLD_DEFAULT, setter))
    {
        reinterpret_cast<TSetter>(found)(DropJackMessage);
    }
}

} // namespace

void ShowAudioLibraryMessages(bool show)
{
    Shown = show;
}

void QuietAudioLibraries()
{
    if (Shown)
    {
        return;
    }
    snd_lib_error_set_handler(DropAlsaMessage);
    SetJackMessageFunction("jack_set_error_function");
    SetJackMessageFunction("jack_set_info_function");
}

} // namespace keb
