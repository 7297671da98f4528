#include "platform/audio/portaudio/PortAudioEngine.h"

#include "platform/audio/WaveDevice.h"
#include "platform/audio/portaudio/PortAudioBackend.h"

namespace keb
{

PortAudioEngine::PortAudioEngine(WaveDevice& OpenDevice)
    : Device(OpenDevice), Watchdog(StallTimeout, [this] { Device.Fail(wrDeviceStalled); })
{
}

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
    Watchdog.Start();
    return wrNoError;
}

TWaveResult PortAudioEngine::Stop(bool Discard)
{
    if (Stopping.exchange(true))
    {
        return wrNoError;
    }
    Watchdog.Stop();
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
    Engine.Watchdog.Beat();
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

} // namespace keb
