// A simulated sound card for tests, the demo and headless runs.
//
// The card has named capture and playback devices, numbered in the order they
// are added. A capture device records from a TVirtualSource (silence, a
// generator, a WAV file, or what a playback device of the same card plays); a
// playback device plays into a TVirtualSink (memory the test reads, a WAV file,
// nowhere). A clock paces them: TVirtualClock::RealTime runs a thread of the
// card that moves audio at the formats' pace; TVirtualClock::Stepped moves audio
// only when the test calls Advance*, in the calling thread, so that a run is
// deterministic (its notifications arrive in that thread too).
//
// Each Advance moves every running device by the same time: playback devices
// first, so a loopback capture records in the same step what was played.
// A running playback device with an empty queue plays silence into its sink.
//
// Faults, switched per device at any time from any thread (TVirtualDevice):
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
// Implemented in: TVirtualSoundCard.cpp (the card, its devices and its clock),
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
class TVirtualSource
{
  public:
    virtual ~TVirtualSource() = default;
    // Called when the device opens; a result other than wrNoError fails the open.
    virtual TWaveResult Open(const TWaveFormatEx& format) = 0;
    // Fills Bytes (a whole number of frames) of audio in the open format.
    virtual void Read(std::uint8_t* data, std::size_t bytes) = 0;
    virtual void Close() {}
};

// Where a virtual playback device's audio goes.
class TVirtualSink
{
  public:
    virtual ~TVirtualSink() = default;
    virtual TWaveResult Open(const TWaveFormatEx& format) = 0;
    virtual void Write(const std::uint8_t* data, std::size_t bytes) = 0;
    virtual void Close() {}
};

// Fills Bytes of audio in Format; called in the clock's context.
using TSampleGenerator =
    std::function<void(std::uint8_t* data, std::size_t bytes, const TWaveFormatEx& format)>;

std::unique_ptr<TVirtualSource> MakeSilenceSource();
std::unique_ptr<TVirtualSource> MakeGeneratorSource(TSampleGenerator generator);
// A sine of Frequency Hz with white noise; amplitudes relative to full scale.
std::unique_ptr<TVirtualSource> MakeToneSource(double frequency, double toneAmplitude,
                                               double noiseAmplitude);
// Reads a sound file through libsndfile. Open fails with wrBadFormat unless
// the file has the device format's rate and channel count (the resolution is
// converted), with wrInvalidParameter when the file cannot be read; either
// failure leaves a text naming the file (SetWaveErrorDetail). After the end:
// the file again when Loop is set, else silence.
std::unique_ptr<TVirtualSource> MakeWavFileSource(std::string path, bool loop);

// Keeps everything played; thread-safe to read while the card runs.
class TMemorySink final : public TVirtualSink
{
  public:
    TWaveResult Open(const TWaveFormatEx& format) override;
    void Write(const std::uint8_t* data, std::size_t bytes) override;
    std::vector<std::uint8_t> Bytes() const;
    // What was played read as 16-bit little-endian samples.
    std::vector<std::int16_t> Samples16() const;
    void Clear();

  private:
    mutable std::mutex lock_;
    std::vector<std::uint8_t> played_;
};

// Writes a WAV file (PCM in the device's format) through libsndfile; its
// header is brought up to date after every write, so that the file is whole
// even when the program is killed. Open fails with wrInvalidParameter, and a
// text naming the file (SetWaveErrorDetail), when the file cannot be created
// or is KeptPath (the file a source of the card reads), which it never
// overwrites.
std::shared_ptr<TVirtualSink> MakeWavFileSink(std::string path, std::string keptPath = {});
std::shared_ptr<TVirtualSink> MakeNullSink();

enum class TVirtualClock
{
    RealTime,
    Stepped,
};

class TVirtualEngine;
class TVirtualSoundCard;
class TLoopbackQueue;

// One capture or playback device of the card, with its fault switches.
class TVirtualDevice
{
  public:
    TVirtualDevice(std::string name, TWaveDirection direction);
    const std::string& Name() const { return name_; }
    TWaveDirection Direction() const { return direction_; }

    void FailOpen(TWaveResult result) { openFault_ = result; }
    void FailQueue(TWaveResult result) { queueFault_ = result; }
    void Stall(bool on) { stalled_ = on; }
    void LoseClosedNotification(bool on) { closedLost_ = on; }
    // 0: every rate.
    void AcceptOnlyRate(std::uint32_t rate) { onlyRate_ = rate; } // Hz
    std::uint32_t OnlyRate() const { return onlyRate_; }          // Hz
    // 0: any; 1 or 2.
    void AcceptOnlyChannels(std::uint16_t channels) { onlyChannels_ = channels; }
    std::uint16_t OnlyChannels() const { return onlyChannels_; }
    // The period the device reports (it still moves audio as the clock
    // says); 0: none.
    void ReportBlockSeconds(double seconds) { blockSeconds_ = seconds; }
    double BlockSeconds() const { return blockSeconds_; }
    // Implemented by the card, which owns the open engines.
    void Vanish();
    void Reconnect() { vanished_ = false; }

  private:
    friend class TVirtualSoundCard;
    friend class TVirtualEngine;

    const std::string name_;
    const TWaveDirection direction_;
    std::atomic<TWaveResult> openFault_{wrNoError};
    std::atomic<TWaveResult> queueFault_{wrNoError};
    std::atomic<bool> stalled_{false};
    std::atomic<bool> closedLost_{false};
    std::atomic<bool> vanished_{false};
    std::atomic<std::uint32_t> onlyRate_{0};
    std::atomic<double> blockSeconds_{0};
    std::atomic<std::uint16_t> onlyChannels_{0};
    TVirtualSoundCard* card_ = nullptr;
    std::unique_ptr<TVirtualSource> source_;
    std::shared_ptr<TVirtualSink> sink_;
    std::shared_ptr<TLoopbackQueue> loopback_; // playback: what loopback captures read
    TVirtualEngine* openEngine_ = nullptr;     // guarded by the card's lock
};

class TVirtualSoundCard final : public TWaveBackend,
                                public std::enable_shared_from_this<TVirtualSoundCard>
{
  public:
    static std::shared_ptr<TVirtualSoundCard> Create(TVirtualClock clock);
    ~TVirtualSoundCard() override;

    // Each returns the new device's number.
    int AddCaptureDevice(std::string name, std::unique_ptr<TVirtualSource> source);
    // Records what playback device PlaybackId plays (bytes unchanged; give both
    // the same format). Audio played while the capture is not recording is
    // kept up to one second of the playback format.
    int AddLoopbackCaptureDevice(std::string name, int playbackId);
    int AddPlaybackDevice(std::string name, std::shared_ptr<TVirtualSink> sink);

    TVirtualDevice& Capture(int deviceId);
    TVirtualDevice& Playback(int deviceId);

    // Moves every running device by this much time, or by this many frames
    // (each at its own rate), in the calling thread.
    void Advance(std::chrono::microseconds time);
    void AdvanceMilliseconds(std::uint32_t milliseconds);
    void AdvanceFrames(std::uint64_t frames);

    int DeviceCount(TWaveDirection direction) override;
    TWaveResult GetCaps(TWaveDirection direction, int deviceId, TWaveCaps& caps) override;
    TWaveResult QueryFormat(TWaveDirection direction, int deviceId,
                            const TWaveFormatEx& format) override;
    TWaveResult Open(TWaveDirection direction, int deviceId, TWaveDevice& device,
                     std::unique_ptr<TWaveEngine>& engine) override;
    std::uint32_t DefaultRate(TWaveDirection direction, int deviceId) override;
    double BlockSeconds(TWaveDirection direction, int deviceId) override;

  private:
    friend class TVirtualEngine;
    friend class TVirtualDevice;

    explicit TVirtualSoundCard(TVirtualClock clock);
    std::vector<std::unique_ptr<TVirtualDevice>>& Devices(TWaveDirection direction);
    TVirtualDevice& Find(TWaveDirection direction, int deviceId);
    void Tick(std::uint64_t microseconds, std::uint64_t frames);
    void RunClock();
    void Vanish(TVirtualDevice& device);
    void Detach(TVirtualEngine& engine);

    std::vector<std::unique_ptr<TVirtualDevice>> captureDevices_;
    std::vector<std::unique_ptr<TVirtualDevice>> playbackDevices_;

    std::mutex lock_; // the devices' open engines and everything they touch
    std::vector<TVirtualEngine*> engines_;

    std::mutex clockLock_;
    std::condition_variable clockWake_;
    bool clockStopping_ = false;
    std::thread clockThread_;
};

// Makes later device calls use Card; null returns to the environment's choice.
void UseVirtualSoundCard(std::shared_ptr<TVirtualSoundCard> card);

// The card KEB_AUDIO=virtual gives (see WaveAudio.h), with a real-time clock.
std::shared_ptr<TVirtualSoundCard> MakeEnvironmentSoundCard();

} // namespace keb
