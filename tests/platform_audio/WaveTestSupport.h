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

TWaveFormatEx PcmFormat(std::uint32_t Rate, std::uint16_t Channels, std::uint16_t Bits);

// A wave header with its own audio bytes.
struct OwnedBuffer
{
    explicit OwnedBuffer(std::size_t Bytes, std::uint32_t User = 0);
    OwnedBuffer(const OwnedBuffer&) = delete;
    OwnedBuffer& operator=(const OwnedBuffer&) = delete;
    std::vector<std::uint8_t> Bytes() const; // the recorded (capture) bytes
    void Fill(const std::vector<std::uint8_t>& Data);

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
    static void OnCapture(HWaveIn Device, TWaveMessage Message, void* User, TWaveHdr* Header,
                          TWaveResult Result);
    static void OnPlayback(HWaveOut Device, TWaveMessage Message, void* User, TWaveHdr* Header,
                           TWaveResult Result);

    std::vector<Notification> Taken();    // everything so far, then empties
    std::vector<TWaveHdr*> DoneHeaders(); // the wmDone headers of Taken()
    // Waits until Count wmDone arrived in all (or Limit passes); returns whether they did.
    bool WaitForDone(std::size_t Count, std::chrono::milliseconds Limit);
    std::size_t DoneCount();
    std::size_t FailedCount(); // wmFailed notifications in all

  private:
    void Record(TWaveMessage Message, TWaveHdr* Header, TWaveResult Result);

    std::mutex Lock;
    std::condition_variable Arrived;
    std::vector<Notification> Events;
    std::size_t Done = 0;
    std::size_t Failed = 0;
};

// A pattern of Bytes bytes that starts at Seed, so that a mix-up shows.
std::vector<std::uint8_t> Pattern(std::size_t Bytes, std::uint8_t Seed);

} // namespace keb::test
