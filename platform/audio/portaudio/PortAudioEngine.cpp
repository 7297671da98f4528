#include "platform/audio/portaudio/PortAudioEngine.h"

#include "platform/audio/WaveDevice.h"
#include "platform/audio/portaudio/PortAudioBackend.h"

namespace keb
{

PortAudioEngine::PortAudioEngine(WaveDevice& OpenDevice) : Device(OpenDevice) {}

PortAudioEngine::~PortAudioEngine()
{
    Stop(true);
    if (Stream != nullptr)
    {
        Pa_CloseStream(Stream);
    }
}

TWaveResult PortAudioEngine::Open(const PaStreamParameters& Parameters)
{
    const bool Capture = Device.Direction() == WaveDirection::Capture;
    const PaError Error = Pa_OpenStream(
        &Stream, Capture ? &Parameters : nullptr, Capture ? nullptr : &Parameters,
        Device.Format().nSamplesPerSec, paFramesPerBufferUnspecified, paNoFlag, Callback, this);
    if (Error != paNoError)
    {
        Stream = nullptr;
        return ResultOf(Error, true);
    }
    Pa_SetStreamFinishedCallback(Stream, Finished);
    return wrNoError;
}

TWaveResult PortAudioEngine::Start()
{
    Stopping = false;
    const PaError Error = Pa_StartStream(Stream);
    if (Error != paNoError)
    {
        Stopping = true;
        return ResultOf(Error, false);
    }
    {
        std::lock_guard Guard(WatchLock);
        WatchEnding = false;
    }
    Watchdog = std::thread([this] { Watch(); });
    return wrNoError;
}

TWaveResult PortAudioEngine::Stop(bool Discard)
{
    if (Stopping.exchange(true))
    {
        return wrNoError;
    }
    EndWatch();
    const PaError Error = Discard ? Pa_AbortStream(Stream) : Pa_StopStream(Stream);
    // A stream that has ended by itself may count as stopped already.
    return Error == paStreamIsStopped ? wrNoError : ResultOf(Error, false);
}

int PortAudioEngine::Callback(const void* Input, void* Output, unsigned long Frames,
                              const PaStreamCallbackTimeInfo*, PaStreamCallbackFlags, void* User)
{
    auto& Engine = *static_cast<PortAudioEngine*>(User);
    const std::size_t Bytes = Frames * Engine.Device.Format().nBlockAlign;
    if (Input != nullptr)
    {
        Engine.Device.TransferCapture(static_cast<const std::uint8_t*>(Input), Bytes);
    }
    if (Output != nullptr)
    {
        Engine.Device.TransferPlayback(static_cast<std::uint8_t*>(Output), Bytes);
    }
    Engine.Callbacks.fetch_add(1, std::memory_order_relaxed);
    return paContinue;
}

void PortAudioEngine::Finished(void* User)
{
    auto& Engine = *static_cast<PortAudioEngine*>(User);
    if (!Engine.Stopping)
    {
        Engine.Device.Fail(wrDeviceRemoved);
    }
}

void PortAudioEngine::Watch()
{
    std::uint64_t Seen = Callbacks.load(std::memory_order_relaxed);
    std::unique_lock Guard(WatchLock);
    while (!WatchWake.wait_for(Guard, StallTimeout, [this] { return WatchEnding; }))
    {
        const std::uint64_t Now = Callbacks.load(std::memory_order_relaxed);
        if (Now == Seen)
        {
            Device.Fail(wrDeviceRemoved);
            return;
        }
        Seen = Now;
    }
}

void PortAudioEngine::EndWatch()
{
    {
        std::lock_guard Guard(WatchLock);
        WatchEnding = true;
    }
    WatchWake.notify_all();
    if (Watchdog.joinable())
    {
        Watchdog.join();
    }
}

} // namespace keb
