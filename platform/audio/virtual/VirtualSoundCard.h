// A simulated sound card for tests, the demo and headless runs.
//
// The card has named capture and playback devices, numbered in the order they
// are added. A capture device records from a VirtualSource (silence, a
// generator, a WAV file, or what a playback device of the same card plays); a
// playback device plays into a VirtualSink (memory the test reads, a WAV file,
// nowhere). A clock paces them: VirtualClock::RealTime runs a thread of the
// card that moves audio at the formats' pace; VirtualClock::Stepped moves audio
// only when the test calls Advance*, in the calling thread, so that a run is
// deterministic (its notifications arrive in that thread too).
//
// Each Advance moves every running device by the same time: playback devices
// first, so a loopback capture records in the same step what was played.
// A running playback device with an empty queue plays silence into its sink.
//
// Faults, switched per device at any time from any thread (VirtualDevice):
// FailOpen (open returns the code), FailQueue (add / write return the code),
// Stall (the device stops moving audio: no buffer comes back, the position
// stands still; a reset still returns the buffers; once a running device has
// moved nothing for more than a second of the card's time it fails with
// wrDeviceStalled, like every device of the layer), LoseClosedNotification
// (close succeeds but sends no wmClosed), Vanish (every open device of that
// entry fails with wrDeviceRemoved and returns its buffers; later opens fail
// with wrDeviceRemoved until Reconnect, the cable plugged in again).
//
// A device may take one rate only (AcceptOnlyRate), like a card that refuses
// 8000 Hz: it refuses every other rate, offers only that rate's class in its
// capabilities, names it as its default rate, and records and plays at it.
// Likewise one channel count only (AcceptOnlyChannels), like a hw: device that
// takes stereo only. The layer then runs it converted (see RateFallback.h).
//
// Selecting it: UseVirtualSoundCard(card) makes every later device call use
// the card (null returns to the environment's choice, see WaveAudio.h);
// devices already open stay with the backend they were opened on. Each device
// of the card can be open once at a time (a second open gets wrAllocated).
//
// Threads: devices must be added before the card is selected. Sources and
// sinks run in the clock's context (the card's thread or the caller of
// Advance), one at a time, under the card's lock.
//
// Implemented in: VirtualSoundCard.cpp (the card, its devices and its clock),
// VirtualSources.cpp (the sources), VirtualSinks.cpp (the sinks),
// EnvironmentSoundCard.cpp (the card that KEB_AUDIO=virtual selects).
#pragma once

#include "platform/audio/WaveBackend.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace keb
{

// Where a virtual capture device's audio comes from.
class VirtualSource
{
  public:
    virtual ~VirtualSource() = default;
    // Called when the device opens; a result other than wrNoError fails the open.
    virtual TWaveResult Open(const TWaveFormatEx& Format) = 0;
    // Fills Bytes (a whole number of frames) of audio in the open format.
    virtual void Read(std::uint8_t* Data, std::size_t Bytes) = 0;
    virtual void Close() {}
};

// Where a virtual playback device's audio goes.
class VirtualSink
{
  public:
    virtual ~VirtualSink() = default;
    virtual TWaveResult Open(const TWaveFormatEx& Format) = 0;
    virtual void Write(const std::uint8_t* Data, std::size_t Bytes) = 0;
    virtual void Close() {}
};

// Fills Bytes of audio in Format; called in the clock's context.
using TSampleGenerator =
    std::function<void(std::uint8_t* Data, std::size_t Bytes, const TWaveFormatEx& Format)>;

std::unique_ptr<VirtualSource> MakeSilenceSource();
std::unique_ptr<VirtualSource> MakeGeneratorSource(TSampleGenerator Generator);
// A sine of Frequency Hz with white noise; amplitudes relative to full scale.
std::unique_ptr<VirtualSource> MakeToneSource(double Frequency, double ToneAmplitude,
                                              double NoiseAmplitude);
// Reads a sound file through libsndfile. Open fails with wrBadFormat unless
// the file has the device format's rate and channel count (the resolution is
// converted), with wrInvalidParameter when the file cannot be read; either
// failure leaves a text naming the file (SetWaveErrorDetail). After the end:
// the file again when Loop is set, else silence.
std::unique_ptr<VirtualSource> MakeWavFileSource(std::string Path, bool Loop);

// Keeps everything played; thread-safe to read while the card runs.
class MemorySink final : public VirtualSink
{
  public:
    TWaveResult Open(const TWaveFormatEx& Format) override;
    void Write(const std::uint8_t* Data, std::size_t Bytes) override;
    std::vector<std::uint8_t> Bytes() const;
    // What was played read as 16-bit little-endian samples.
    std::vector<std::int16_t> Samples16() const;
    void Clear();

  private:
    mutable std::mutex Lock;
    std::vector<std::uint8_t> Played;
};

// Writes a WAV file (PCM in the device's format) through libsndfile; its
// header is brought up to date after every write, so that the file is whole
// even when the program is killed. Open fails with wrInvalidParameter, and a
// text naming the file (SetWaveErrorDetail), when the file cannot be created
// or is KeptPath (the file a source of the card reads), which it never
// overwrites.
std::shared_ptr<VirtualSink> MakeWavFileSink(std::string Path, std::string KeptPath = {});
std::shared_ptr<VirtualSink> MakeNullSink();

enum class VirtualClock
{
    RealTime,
    Stepped,
};

class VirtualEngine;
class VirtualSoundCard;
class LoopbackQueue;

// One capture or playback device of the card, with its fault switches.
class VirtualDevice
{
  public:
    VirtualDevice(std::string Name, WaveDirection Direction);
    const std::string& Name() const { return Name_; }
    WaveDirection Direction() const { return Direction_; }

    void FailOpen(TWaveResult Result) { OpenFault = Result; }
    void FailQueue(TWaveResult Result) { QueueFault = Result; }
    void Stall(bool On) { Stalled = On; }
    void LoseClosedNotification(bool On) { ClosedLost = On; }
    // 0: every rate.
    void AcceptOnlyRate(std::uint32_t Rate) { OnlyRate_ = Rate; } // Hz
    std::uint32_t OnlyRate() const { return OnlyRate_; }          // Hz
    // 0: any; 1 or 2.
    void AcceptOnlyChannels(std::uint16_t Channels) { OnlyChannels_ = Channels; }
    std::uint16_t OnlyChannels() const { return OnlyChannels_; }
    // The period the device reports (it still moves audio as the clock
    // says); 0: none.
    void ReportBlockSeconds(double Seconds) { BlockSeconds_ = Seconds; }
    double BlockSeconds() const { return BlockSeconds_; }
    // Implemented by the card, which owns the open engines.
    void Vanish();
    void Reconnect() { Vanished = false; }

  private:
    friend class VirtualSoundCard;
    friend class VirtualEngine;

    const std::string Name_;
    const WaveDirection Direction_;
    std::atomic<TWaveResult> OpenFault{wrNoError};
    std::atomic<TWaveResult> QueueFault{wrNoError};
    std::atomic<bool> Stalled{false};
    std::atomic<bool> ClosedLost{false};
    std::atomic<bool> Vanished{false};
    std::atomic<std::uint32_t> OnlyRate_{0};
    std::atomic<double> BlockSeconds_{0};
    std::atomic<std::uint16_t> OnlyChannels_{0};
    VirtualSoundCard* Card = nullptr;
    std::unique_ptr<VirtualSource> Source;
    std::shared_ptr<VirtualSink> Sink;
    std::shared_ptr<LoopbackQueue> Loopback; // playback: what loopback captures read
    VirtualEngine* OpenEngine = nullptr;     // guarded by the card's lock
};

class VirtualSoundCard final : public WaveBackend,
                               public std::enable_shared_from_this<VirtualSoundCard>
{
  public:
    static std::shared_ptr<VirtualSoundCard> Create(VirtualClock Clock);
    ~VirtualSoundCard() override;

    // Each returns the new device's number.
    int AddCaptureDevice(std::string Name, std::unique_ptr<VirtualSource> Source);
    // Records what playback device PlaybackId plays (bytes unchanged; give both
    // the same format). Audio played while the capture is not recording is
    // kept up to one second of the playback format.
    int AddLoopbackCaptureDevice(std::string Name, int PlaybackId);
    int AddPlaybackDevice(std::string Name, std::shared_ptr<VirtualSink> Sink);

    VirtualDevice& Capture(int DeviceId);
    VirtualDevice& Playback(int DeviceId);

    // Moves every running device by this much time, or by this many frames
    // (each at its own rate), in the calling thread.
    void Advance(std::chrono::microseconds Time);
    void AdvanceMilliseconds(std::uint32_t Milliseconds);
    void AdvanceFrames(std::uint64_t Frames);

    int DeviceCount(WaveDirection Direction) override;
    TWaveResult GetCaps(WaveDirection Direction, int DeviceId, TWaveCaps& Caps) override;
    TWaveResult QueryFormat(WaveDirection Direction, int DeviceId,
                            const TWaveFormatEx& Format) override;
    TWaveResult Open(WaveDirection Direction, int DeviceId, WaveDevice& Device,
                     std::unique_ptr<WaveEngine>& Engine) override;
    std::uint32_t DefaultRate(WaveDirection Direction, int DeviceId) override;
    double BlockSeconds(WaveDirection Direction, int DeviceId) override;

  private:
    friend class VirtualEngine;
    friend class VirtualDevice;

    explicit VirtualSoundCard(VirtualClock Clock);
    std::vector<std::unique_ptr<VirtualDevice>>& Devices(WaveDirection Direction);
    VirtualDevice& Find(WaveDirection Direction, int DeviceId);
    void Tick(std::uint64_t Microseconds, std::uint64_t Frames);
    void RunClock();
    void Vanish(VirtualDevice& Device);
    void Detach(VirtualEngine& Engine);

    std::vector<std::unique_ptr<VirtualDevice>> CaptureDevices;
    std::vector<std::unique_ptr<VirtualDevice>> PlaybackDevices;

    std::mutex Lock; // the devices' open engines and everything they touch
    std::vector<VirtualEngine*> Engines;

    std::mutex ClockLock;
    std::condition_variable ClockWake;
    bool ClockStopping = false;
    std::thread ClockThread;
};

// Makes later device calls use Card; null returns to the environment's choice.
void UseVirtualSoundCard(std::shared_ptr<VirtualSoundCard> Card);

// The card KEB_AUDIO=virtual gives (see WaveAudio.h), with a real-time clock.
std::shared_ptr<VirtualSoundCard> MakeEnvironmentSoundCard();

} // namespace keb
