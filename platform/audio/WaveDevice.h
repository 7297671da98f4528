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

class WaveDevice
{
  public:
    WaveDevice(WaveDirection Direction, const TWaveFormatEx& Format);
    WaveDevice(const WaveDevice&) = delete;
    WaveDevice& operator=(const WaveDevice&) = delete;
    virtual ~WaveDevice();

    WaveDirection Direction() const { return Direction_; }
    const TWaveFormatEx& Format() const { return Format_; }

    void SetCallback(TWaveInCallback Callback, void* User);
    void SetCallback(TWaveOutCallback Callback, void* User);
    // Takes the engine the backend opened; a playback engine is started.
    TWaveResult Attach(std::unique_ptr<WaveEngine> Engine);
    void NotifyOpened();

    TWaveResult Prepare(TWaveHdr* Header);
    TWaveResult Unprepare(TWaveHdr* Header);
    TWaveResult Queue(TWaveHdr* Header);
    // Capture: start recording. Playback: restart after a pause.
    TWaveResult Start();
    // Capture: halt, return the buffer being filled if it holds data.
    // Playback: pause.
    TWaveResult Stop();
    TWaveResult Reset();
    TWaveResult GetPosition(TWavePosition& Position);
    // On success the caller deletes the device.
    TWaveResult Close();

    // The three calls an engine makes are virtual so that a device whose sound
    // card runs at another rate can put a converter between the two (see
    // ConvertedStream.h).
    //
    // Audio context: Bytes of captured audio to store in the queued buffers;
    // what finds no buffer is dropped.
    virtual void TransferCapture(const std::uint8_t* Data, std::size_t Bytes);
    // Audio context: fills Data with queued audio, silence where none is.
    virtual void TransferPlayback(std::uint8_t* Data, std::size_t Bytes);
    // The device failed or vanished: wmFailed, then every queued buffer back.
    virtual void Fail(TWaveResult Result);

  private:
    TWaveHdr* PopHead();
    TWaveHdr* PopAll();
    void ReturnBuffers(TWaveHdr* List);
    void Notify(TWaveMessage Message, TWaveHdr* Header, TWaveResult Result);
    TWaveResult StartEngine();
    TWaveResult StopEngine(bool Discard);

    const WaveDirection Direction_;
    const TWaveFormatEx Format_;
    const std::uint8_t SilenceByte;
    TWaveInCallback InCallback = nullptr;
    TWaveOutCallback OutCallback = nullptr;
    void* User = nullptr;
    std::unique_ptr<WaveEngine> Engine;

    std::mutex CommandLock;
    bool EngineRunning = false; // guarded by CommandLock

    std::mutex QueueLock;
    TWaveHdr* Head = nullptr;
    TWaveHdr* Tail = nullptr;
    std::uint32_t HeadOffset = 0; // playback: bytes of Head already played
    bool Running = false;         // the engine runs: audio moves to or from the queue
    TWaveResult Failure = wrNoError;
    std::uint64_t PositionBytes = 0;
};

struct TWaveInDevice final : WaveDevice
{
    explicit TWaveInDevice(const TWaveFormatEx& Format) : WaveDevice(WaveDirection::Capture, Format)
    {
    }
};

struct TWaveOutDevice final : WaveDevice
{
    explicit TWaveOutDevice(const TWaveFormatEx& Format)
        : WaveDevice(WaveDirection::Playback, Format)
    {
    }
};

} // namespace keb
