// One open wave device: the queue of borrowed buffers and the waveIn/waveOut
// semantics shared by every backend.
//
// A playback engine runs from open to close except while paused, playing
// silence when the queue is empty, so that a write never has to start it; a
// capture engine runs between Start and Stop / Reset.
//
// Control calls (Start, Stop, Reset, Close) are serialised by CommandLock and
// call the engine without holding QueueLock, because the engine's audio
// context takes QueueLock in TransferCapture / TransferPlayback. Buffers are
// returned (done flag, notification) outside QueueLock, each one's lpNext read
// before its done flag is published, so a caller that re-queues a buffer the
// moment it sees the flag cannot disturb the walk.
#pragma once

#include "platform/audio/WaveBackend.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>

namespace keb
{

class TWaveDevice
{
  public:
    TWaveDevice(TWaveDirection direction, const TWaveFormatEx& format);
    TWaveDevice(const TWaveDevice&) = delete;
    TWaveDevice& operator=(const TWaveDevice&) = delete;
    virtual ~TWaveDevice();

    TWaveDirection Direction() const { return direction_; }
    const TWaveFormatEx& Format() const { return format_; }

    void SetCallback(TWaveInCallback callback, void* user);
    void SetCallback(TWaveOutCallback callback, void* user);
    // Takes the engine the backend opened; a playback engine is started.
    TWaveResult Attach(std::unique_ptr<TWaveEngine> engine);
    void NotifyOpened();

    TWaveResult Prepare(TWaveHdr* header);
    TWaveResult Unprepare(TWaveHdr* header);
    TWaveResult Queue(TWaveHdr* header);
    // Capture: start recording. Playback: restart after a pause.
    TWaveResult Start();
    // Capture: halt, return the buffer being filled if it holds data.
    // Playback: pause.
    TWaveResult Stop();
    TWaveResult Reset();
    TWaveResult GetPosition(TWavePosition& position);
    // On success the caller deletes the device.
    TWaveResult Close();

    // The three calls an engine makes are virtual so that a device whose sound
    // card runs at another rate can put a converter between the two (see
    // ConvertedStream.h).
    //
    // Audio context: bytes of captured audio to store in the queued buffers;
    // what finds no buffer is dropped.
    virtual void TransferCapture(const std::uint8_t* data, std::size_t bytes);
    // Audio context: fills data with queued audio, silence where none is.
    virtual void TransferPlayback(std::uint8_t* data, std::size_t bytes);
    // The device failed or vanished: wmFailed, then every queued buffer back.
    virtual void Fail(TWaveResult result);

  private:
    TWaveHdr* PopHead();
    TWaveHdr* PopAll();
    void ReturnBuffers(TWaveHdr* list);
    void Notify(TWaveMessage message, TWaveHdr* header, TWaveResult result);
    TWaveResult StartEngine();
    TWaveResult StopEngine(bool discard);

    const TWaveDirection direction_;
    const TWaveFormatEx format_;
    const std::uint8_t silenceByte_;
    TWaveInCallback inCallback_ = nullptr;
    TWaveOutCallback outCallback_ = nullptr;
    void* user_ = nullptr;
    std::unique_ptr<TWaveEngine> engine_;

    std::mutex commandLock_;
    bool engineRunning_ = false; // guarded by CommandLock

    std::mutex queueLock_;
    TWaveHdr* head_ = nullptr;
    TWaveHdr* tail_ = nullptr;
    std::uint32_t headOffset_ = 0; // playback: bytes of Head already played
    bool running_ = false;         // the engine runs: audio moves to or from the queue
    TWaveResult failure_ = wrNoError;
    std::uint64_t positionBytes_ = 0;
};

struct TWaveInDevice final : TWaveDevice
{
    explicit TWaveInDevice(const TWaveFormatEx& format)
        : TWaveDevice(TWaveDirection::Capture, format)
    {
    }
};

struct TWaveOutDevice final : TWaveDevice
{
    explicit TWaveOutDevice(const TWaveFormatEx& format)
        : TWaveDevice(TWaveDirection::Playback, format)
    {
    }
};

} // namespace keb
