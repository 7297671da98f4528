// One open PortAudio stream behind a WaveDevice.
//
// PortAudio's callback only copies audio between the stream and the device's
// queued buffers (TransferCapture / TransferPlayback: no allocation, the queue
// lock held for one copy). A stream that ends without being asked to (the
// device failed or was unplugged) fails the device with wrDeviceRemoved, which
// returns its buffers and tells the component. A running stream whose
// callbacks stop coming for StallTimeout fails it with wrDeviceStalled (see
// StallWatchdog): PortAudio does not report every unplugged card.
#pragma once

#include "platform/audio/WaveBackend.h"
#include "platform/audio/portaudio/StallWatchdog.h"

#include <atomic>
#include <chrono>
#include <portaudio.h>

namespace keb
{

class PortAudioEngine final : public WaveEngine
{
  public:
    static constexpr auto StallTimeout = WaveStallTimeout;

    explicit PortAudioEngine(WaveDevice& Device);
    ~PortAudioEngine() override;

    TWaveResult Open(const PaStreamParameters& Parameters);
    TWaveResult Start() override;
    TWaveResult Stop(bool Discard) override;

  private:
    static int Callback(const void* Input, void* Output, unsigned long Frames,
                        const PaStreamCallbackTimeInfo* Time, PaStreamCallbackFlags Flags,
                        void* User);
    static void Finished(void* User);

    WaveDevice& Device;
    PaStream* Stream = nullptr;
    std::atomic<bool> Stopping{true};
    StallWatchdog Watchdog;
};

} // namespace keb
