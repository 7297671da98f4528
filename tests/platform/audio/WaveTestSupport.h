// Helpers for the wave device layer's tests: formats, owned buffers and a
// recorder of notifications that tests can wait on with a time limit.
#pragma once

#include "platform/audio/WaveAudio.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <vector>

namespace keb::test
{

TWaveFormatEx PcmFormat(std::uint32_t rate, std::uint16_t channels, std::uint16_t bits);

// A wave header with its own audio bytes.
struct OwnedBuffer
{
    explicit OwnedBuffer(std::size_t bytes, std::uint32_t user = 0);
    OwnedBuffer(const OwnedBuffer&) = delete;
    OwnedBuffer& operator=(const OwnedBuffer&) = delete;
    std::vector<std::uint8_t> Bytes() const; // the recorded (capture) bytes
    void Fill(const std::vector<std::uint8_t>& data);

    std::vector<char> Audio;
    TWaveHdr Header{};
};

struct Notification
{
    TWaveMessage Message;
    TWaveHdr* Header;
    TWaveResult Result;
};

class Recorder
{
  public:
    static void OnCapture(HWaveIn device, TWaveMessage message, void* user, TWaveHdr* header,
                          TWaveResult result);
    static void OnPlayback(HWaveOut device, TWaveMessage message, void* user, TWaveHdr* header,
                           TWaveResult result);

    std::vector<Notification> Taken();    // everything so far, then empties
    std::vector<TWaveHdr*> DoneHeaders(); // the wmDone headers of Taken()
    // Waits until Count wmDone arrived in all (or Limit passes); returns whether they did.
    bool WaitForDone(std::size_t count, std::chrono::milliseconds limit);
    std::size_t DoneCount();
    std::size_t FailedCount(); // wmFailed notifications in all

  private:
    void Record(TWaveMessage message, TWaveHdr* header, TWaveResult result);

    std::mutex lock_;
    std::condition_variable arrived_;
    std::vector<Notification> events_;
    std::size_t done_ = 0;
    std::size_t failed_ = 0;
};

// A pattern of Bytes bytes that starts at Seed, so that a mix-up shows.
std::vector<std::uint8_t> Pattern(std::size_t bytes, std::uint8_t seed);

} // namespace keb::test
