// Part of the backends (TWaveBackend.h): which backend the layer uses: a
// test's or the demo's choice, else the environment's (KEB_AUDIO=virtual: the
// virtual sound card; otherwise PortAudio).
#include "platform/audio/WaveBackend.h"

#include "platform/audio/portaudio/PortAudioBackend.h"
#include "platform/audio/virtual/VirtualSoundCard.h"

#include <cstdlib>
#include <mutex>
#include <string_view>

namespace keb
{

namespace
{

std::mutex SelectionLock;
std::shared_ptr<TWaveBackend> Selected;
std::shared_ptr<TWaveBackend> EnvironmentChoice;

std::shared_ptr<TWaveBackend> ChooseFromEnvironment()
{
    const char* choice = std::getenv("KEB_AUDIO");
    if (choice != nullptr && std::string_view(choice) == "virtual")
    {
        return MakeEnvironmentSoundCard();
    }
    return TPortAudioBackend::Instance();
}

} // namespace

std::shared_ptr<TWaveBackend> CurrentWaveBackend()
{
    std::lock_guard guard(SelectionLock);
    if (Selected)
    {
        return Selected;
    }
    if (!EnvironmentChoice)
    {
        EnvironmentChoice = ChooseFromEnvironment();
    }
    return EnvironmentChoice;
}

void SelectWaveBackend(std::shared_ptr<TWaveBackend> backend)
{
    std::lock_guard guard(SelectionLock);
    Selected = std::move(backend);
}

void UseVirtualSoundCard(std::shared_ptr<TVirtualSoundCard> card)
{
    SelectWaveBackend(std::move(card));
}

} // namespace keb
