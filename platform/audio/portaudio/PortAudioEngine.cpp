#include "platform/audio/portaudio/PortAudioEngine.h"

#include "platform/audio/WaveDevice.h"
#include "platform/audio/portaudio/AudioThreadPriority.h"
#include "platform/audio/portaudio/PortAudioBackend.h"

namespace keb
{

TPortAudioEngine::TPortAudioEngine(TWaveDevice& openDevice)
    : device_(openDevice), watchdog_(
                               StallTimeout, [this] { device_.Fail(wrDeviceStalled); },
                               LeastShareOfRate * openDevice.Format().nSamplesPerSec)
{
}

TPortAudioEngine::~TPortAudioEngine()
{
    Stop(true);
    if (stream_ != nullptr)
    {
        Pa_CloseStream(stream_);
    }
}

TWaveResult TPortAudioEngine::Open(const PaStreamParameters& parameters)
{
    const bool capture = device_.Direction() == TWaveDirection::Capture;
    const PaError error = Pa_OpenStream(
        &stream_, capture ? &parameters : nullptr, capture ? nullptr : &parameters,
        device_.Format().nSamplesPerSec, paFramesPerBufferUnspecified, paNoFlag, Callback, this);
    if (error != paNoError)
    {
        stream_ = nullptr;
        return ResultOf(error, true);
    }
    Pa_SetStreamFinishedCallback(stream_, Finished);
    return wrNoError;
}

TWaveResult TPortAudioEngine::Start()
{
    stopping_ = false;
    priorityAsked_.store(false, std::memory_order_relaxed);
    const PaError error = Pa_StartStream(stream_);
    if (error != paNoError)
    {
        stopping_ = true;
        return ResultOf(error, false);
    }
    watchdog_.Start();
    return wrNoError;
}

TWaveResult TPortAudioEngine::Stop(bool discard)
{
    if (stopping_.exchange(true))
    {
        return wrNoError;
    }
    watchdog_.Stop();
    const PaError error = discard ? Pa_AbortStream(stream_) : Pa_StopStream(stream_);
    // A stream that has ended by itself may count as stopped already.
    return error == paStreamIsStopped ? wrNoError : ResultOf(error, false);
}

int TPortAudioEngine::Callback(const void* input, void* output, unsigned long frames,
                               const PaStreamCallbackTimeInfo*, PaStreamCallbackFlags, void* user)
{
    auto& engine = *static_cast<TPortAudioEngine*>(user);
    if (!engine.priorityAsked_.exchange(true, std::memory_order_relaxed))
        RaiseThisThreadToRealTime();
    const std::size_t bytes = frames * engine.device_.Format().nBlockAlign;
    if (input != nullptr)
    {
        engine.device_.TransferCapture(static_cast<const std::uint8_t*>(input), bytes);
    }
    if (output != nullptr)
    {
        engine.device_.TransferPlayback(static_cast<std::uint8_t*>(output), bytes);
    }
    engine.watchdog_.Beat(frames);
    return paContinue;
}

void TPortAudioEngine::Finished(void* user)
{
    auto& engine = *static_cast<TPortAudioEngine*>(user);
    if (!engine.stopping_)
    {
        engine.device_.Fail(wrDeviceRemoved);
    }
}

} // namespace keb
