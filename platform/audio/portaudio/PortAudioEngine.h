// One open PortAudio stream behind a WaveDevice.
//
// PortAudio's callback only copies audio between the stream and the device's
// queued buffers (TransferCapture / TransferPlayback: no allocation, the queue
// lock held for one copy). A stream that ends without being asked to (the
// device failed or was unplugged) fails the device with wrDeviceRemoved, which
// returns its buffers and tells the component. So does a running stream whose
// callbacks stop coming for StallTimeout: a watchdog thread, started with the
// stream, checks the callback count.
#pragma once

#include "platform/audio/WaveBackend.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <portaudio.h>
#include <thread>

namespace keb
{

class PortAudioEngine final : public WaveEngine
{
  public:
    static constexpr auto StallTimeout = std::chrono::seconds(2);

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
    void Watch();
    void EndWatch();

    WaveDevice& Device;
    PaStream* Stream = nullptr;
    std::atomic<bool> Stopping{true};
    std::atomic<std::uint64_t> Callbacks{0};

    std::mutex WatchLock;
    std::condition_variable WatchWake;
    bool WatchEnding = false;
    std::thread Watchdog;
};

} // namespace keb
