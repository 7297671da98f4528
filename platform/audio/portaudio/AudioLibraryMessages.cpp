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
void SetJackMessageFunction(const char* Setter)
{
    using TSetter = void (*)(void (*)(const char*));
    if (void* Found = dlsym(RTLD_DEFAULT, Setter))
    {
        reinterpret_cast<TSetter>(Found)(DropJackMessage);
    }
}

} // namespace

void ShowAudioLibraryMessages(bool Show)
{
    Shown = Show;
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
