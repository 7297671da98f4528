// One open PortAudio stream behind a TWaveDevice.
//
// PortAudio's callback only copies audio between the stream and the device's
// queued buffers (TransferCapture / TransferPlayback: no allocation, the queue
// lock held for one copy). A stream that ends without being asked to (the
// device failed or was unplugged) fails the device with wrDeviceRemoved, which
// returns its buffers and tells the component. A running stream whose
// callbacks stop coming for StallTimeout fails it with wrDeviceStalled (see
// TStallWatchdog): PortAudio does not report every unplugged card. A
// stream that moves less than a quarter of its rate for that long fails the
// same way: a sound server that cannot serve the stream's buffer sizes calls
// it now and then, and no usable audio comes through. The stream's thread
// asks for real-time scheduling in its first callback (AudioThreadPriority.h).
#pragma once

#include "platform/audio/WaveBackend.h"
#include "platform/audio/portaudio/StallWatchdog.h"

#include <atomic>
#include <chrono>
#include <portaudio.h>

namespace keb
{

class TPortAudioEngine final : public TWaveEngine
{
  public:
    static constexpr auto StallTimeout = WaveStallTimeout;
    static constexpr double LeastShareOfRate = 0.25;

    explicit TPortAudioEngine(TWaveDevice& device);
    ~TPortAudioEngine() override;

    TWaveResult Open(const PaStreamParameters& parameters);
    TWaveResult Start() override;
    TWaveResult Stop(bool discard) override;

  private:
    static int Callback(const void* input, void* output, unsigned long frames,
                        const PaStreamCallbackTimeInfo* time, PaStreamCallbackFlags flags,
                        void* user);
    static void Finished(void* user);

    TWaveDevice& device_;
    PaStream* stream_ = nullptr;
    std::atomic<bool> stopping_{true};
    // Cleared before the stream starts; the stream's thread sets it.
    std::atomic<bool> priorityAsked_{false};
    TStallWatchdog watchdog_;
};

} // namespace keb
