// Shared by the device component tests: a stepped virtual sound card, a
// stream component that collects what is pushed into it, an event log that
// any thread may write, and bounded waits that pump the main loop.
#pragma once

#include "platform/audio/virtual/VirtualSoundCard.h"
#include "platform/core/Exceptions.h"
#include "stream/MMDSPObj.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <gtest/gtest.h>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace keb::test
{

using namespace std::chrono_literals;

// Pumps the main loop until Done() holds or Limit passes; returns Done().
bool PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds limit = 10s);

// Aborts the test program when a test overruns its limit (a hang in a
// blocking call that no bounded wait could catch).
class TWatchdog
{
  public:
    explicit TWatchdog(std::chrono::seconds limit = 60s);
    ~TWatchdog();

  private:
    std::mutex lock_;
    std::condition_variable done_;
    bool finished_ = false;
    std::thread guard_;
};

// Names of events in the order they fired, with the thread they fired in.
class TEventLog
{
  public:
    void Add(const std::string& name);
    std::vector<std::string> Names() const;
    // The last Count names (all of them when fewer fired).
    std::vector<std::string> Last(std::size_t count) const;
    // Whether every event of that name fired in the main thread.
    bool AllInMainThread(const std::string& name) const;
    std::size_t Count(const std::string& name) const;

  private:
    mutable std::mutex lock_;
    std::vector<std::string> events_;
    std::vector<bool> inMain_;
};

// Appends the bytes of every buffer pushed into it; BeforeCollect runs first
// (in the pushing thread).
class TCollector : public TMMDSPComponent
{
  public:
    using TMMDSPComponent::TMMDSPComponent;

    void BufferReady(PWaveHdr lpWaveHdr) override;

    std::vector<std::uint8_t> Bytes() const;
    std::vector<std::uint32_t> Sizes() const;
    std::size_t BufferCount() const;
    bool AllInMainThread() const;
    bool NoneInMainThread() const;

    std::function<void(PWaveHdr)> BeforeCollect;

  private:
    mutable std::mutex lock_;
    std::vector<std::uint8_t> collected_;
    std::vector<std::uint32_t> bufferSizes_;
    std::size_t inMain_ = 0;
};

// A source at the head of a chain: supplies Data in pulls of the size asked
// for and says "no more" with its last bytes. Once EmptyFromPull pulls have
// been served it delivers 0 bytes while still promising more; WrapOnPull
// marks that pull as the one that jumped back to the loop start (and counts
// one loop off).
class TTestSource : public TMMDSPComponent
{
  public:
    TTestSource(TComponent* owner, std::vector<std::uint8_t> data);

    void BufferLoad(PWaveHdr lpWaveHdr, bool& moreBuffers) override;
    std::size_t Pulls() const { return pulls_.load(); }

    std::size_t EmptyFromPull = SIZE_MAX;
    std::size_t WrapOnPull = SIZE_MAX;
    std::function<void()> OnPull; // in the pulling thread

  private:
    const std::vector<std::uint8_t> data_;
    std::size_t next_ = 0;
    std::atomic<std::size_t> pulls_{0};
};

// A device component that keeps every message raised through DeviceError
// (from any thread).
template <typename Device> class TMessageRecording : public Device
{
  public:
    using Device::Device;

    // The device's worker may still be in a handler that calls DeviceError;
    // it is closed while this override still exists.
    ~TMessageRecording() override { this->CloseForDestruction(); }

    void DeviceError(const std::string& message) override
    {
        {
            std::lock_guard guard(lock_);
            raised_.push_back(message);
        }
        Device::DeviceError(message);
    }

    std::vector<std::string> Messages() const
    {
        std::lock_guard guard(lock_);
        return raised_;
    }

  private:
    mutable std::mutex lock_;
    std::vector<std::string> raised_;
};

// A stepped virtual card: capture 0 "Counter" records a byte counter (0, 1,
// 2, ... across buffers), capture 1 "Silence", playback 0 "Speaker" plays
// into memory.
class WaveDeviceTest : public ::testing::Test
{
  protected:
    void SetUp() override;
    void TearDown() override;

    static std::vector<std::uint8_t> Counter(std::size_t first, std::size_t count);
    // Advances the card by Frames and waits (bounded) until Collector holds
    // Buffers buffers: one buffer per step keeps the others queued, so no
    // audio is dropped however slowly the worker runs.
    bool StepTo(std::uint64_t frames, const TCollector& collector, std::size_t buffers);

    std::shared_ptr<TVirtualSoundCard> card_;
    std::shared_ptr<TMemorySink> speaker_;
    std::vector<std::string> errorBoxes_;
    TWatchdog watchdog_;

  private:
    TErrorBoxHandler previousErrorBox_;
};

} // namespace keb::test
