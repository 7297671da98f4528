// The sound card's side of a device whose card runs at another rate than the
// device's format: a sound card that refuses 8000 Hz runs at its own rate and
// the components still see 8000 Hz.
//
// The backend's engine is opened on this stream, whose format is the card's
// (16 bits, the card's rate, the device's channel count or stereo for a mono
// device), and calls its
// TransferCapture / TransferPlayback / Fail as it would the device's. Those
// only copy between the card and a lock-free ring (TAudioRing) and wake the
// stream's conversion thread: libsoxr grows its buffers while it runs, so no
// converter runs in the card's callback. The conversion thread converts with
// the converter of the wave layer's latency (RateConverter.h) and exchanges
// the device's format with the device:
//   capture   card -> ring -> thread: channels, rate -> device.TransferCapture
//   playback  device.TransferPlayback -> thread: rate, channels -> ring -> card
// A mono device records the left channel of a stereo card and plays on both.
// The playback thread keeps the ring a little ahead of the card (twice the
// largest callback seen plus a lead: Standard 10 ms, counting a first
// callback of 10 ms before one is seen; Low 2 ms, from the callbacks the
// card really makes); a callback that finds it short plays
// silence for the rest. A capture ring that overflows (thread starved for
// half a second) drops the newest audio.
//
// A converter that never allocates (the polyphase filter of Low,
// RateConverter.h) runs in the card's callback instead, as an
// unconverted device's transfers do: no ring, no thread, no hand-over.
//
// The conversion thread is part of the device's audio context: wmDone for the
// device's buffers comes from it.
//
// Threads: Start, Stop and Clear come from the engine's control calls (one
// thread); the transfers from the card's audio context.
#pragma once

#include "platform/audio/AudioRing.h"
#include "platform/audio/RateConverter.h"
#include "platform/audio/WaveDevice.h"
#include "platform/audio/WaveLatency.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <thread>
#include <vector>

namespace keb
{

class TConvertedStream final : public TWaveDevice
{
  public:
    // Null when libsoxr cannot make the converter.
    static std::unique_ptr<TConvertedStream> Create(TWaveDevice& device,
                                                    const TWaveFormatEx& cardFormat);
    ~TConvertedStream() override;

    // Starts the conversion thread (before the card's engine starts).
    void Start();
    // Stops the conversion thread (after the card's engine has stopped);
    // capture converts and delivers what the ring holds first.
    void Stop();
    // Forgets the audio held in the ring and the converter (stopped only).
    void Clear();

    void TransferCapture(const std::uint8_t* data, std::size_t bytes) override;
    void TransferPlayback(std::uint8_t* data, std::size_t bytes) override;
    void Fail(TWaveResult result) override;

  private:
    TConvertedStream(TWaveDevice& device, const TWaveFormatEx& cardFormat, TWaveLatency latency);
    static std::size_t SupplyPlayback(void* state, const std::int16_t** data,
                                      std::size_t requested);
    void Run();
    void ConvertCaptured();
    // Converts Frames card frames and hands the device frames to the device.
    void ConvertCard(const std::int16_t* card, std::size_t frames);
    void FillPlayback();
    // Up to Frames card frames from the device's audio; fewer only when the
    // converter's supply ran dry.
    std::size_t MakeCardFrames(std::int16_t* card, std::size_t frames);
    void Wake();

    TWaveDevice& device_;
    const std::size_t deviceChunkFrames_; // the most device frames one card chunk makes
    TAudioRing ring_;
    std::unique_ptr<TCaptureConverter> capture_;   // capture only
    std::unique_ptr<TPlaybackConverter> playback_; // playback only
    bool inCallback_ = false; // the converter runs in the card's callback, without the thread
    // The conversion thread's, or the card's callback's when InCallback.
    std::vector<std::int16_t> cardSamples_;    // card frames
    std::vector<std::int16_t> channelSamples_; // card rate, device channels
    std::vector<std::int16_t> deviceSamples_;  // device frames
    std::vector<std::uint8_t> deviceBytes_;    // 8-bit device formats
    std::atomic<std::uint32_t> wakeCount_{0};
    std::atomic<bool> stopping_{false};
    const std::size_t leadFrames_;            // playback: card frames kept beyond two callbacks
    std::atomic<std::size_t> largestRequest_; // playback callback frames
    std::thread converter_;
};

} // namespace keb
