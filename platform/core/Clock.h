// The clocks: a high-resolution performance counter with its frequency, a
// millisecond clock (timeGetTime) and the system tick count.
//
// By default all three read the steady (monotonic) clock; the performance
// counter counts nanoseconds. Tests replace the source process-wide with
// SetClockSource, for example with a TManualClock they advance by hand. Any
// thread may read the clocks at any time; replacing the source while other
// threads read is safe, but the old source must outlive those reads (restore
// the previous source before destroying a test clock). Only the clocks in this
// header follow the source: waits with time-outs always use real time.
#pragma once

#include <atomic>
#include <cstdint>

namespace keb
{

class TClockSource
{
  public:
    virtual ~TClockSource() = default;
    virtual std::int64_t PerformanceCounter() = 0;
    virtual std::int64_t PerformanceFrequency() = 0;
    virtual std::uint32_t Milliseconds() = 0;
};

// Installs `source` (null: the steady clock) and returns the previous one
// (null when it was the steady clock).
TClockSource* SetClockSource(TClockSource* source);

// Counts every SetClockSource, so that a cached frequency can tell it is stale.
std::uint32_t ClockSourceGeneration();

std::int64_t QueryPerformanceCounter();
std::int64_t QueryPerformanceFrequency();

// Milliseconds since an arbitrary origin, wrapping at 2^32.
std::uint32_t timeGetTime();

// The system tick count in milliseconds, wrapping at 2^32.
std::uint32_t GetTickCount();

// A clock that moves only when told to: a counter of `frequency` ticks per
// second starting at 0. Thread-safe.
class TManualClock : public TClockSource
{
  public:
    explicit TManualClock(std::int64_t frequency = 1000000) : frequency_(frequency) {}

    void AdvanceMicroseconds(std::int64_t microseconds);
    void SetFrequency(std::int64_t frequency) { frequency_.store(frequency); }

    std::int64_t PerformanceCounter() override;
    std::int64_t PerformanceFrequency() override { return frequency_.load(); }
    std::uint32_t Milliseconds() override;

  private:
    std::atomic<std::int64_t> frequency_;
    std::atomic<std::int64_t> microseconds_{0};
};

// A manual performance counter with the real tick count: the audio clock of
// a stepped test moves by hand while the bounded waits that count system
// ticks (Delay, timeouts) still run in real time.
class TManualCounterClock : public TManualClock
{
  public:
    using TManualClock::TManualClock;
    std::uint32_t Milliseconds() override;
};

// Installs a clock source for the lifetime of the guard, then restores the
// previous one.
class TClockSourceGuard
{
  public:
    explicit TClockSourceGuard(TClockSource& source) : previous_(SetClockSource(&source)) {}
    ~TClockSourceGuard() { SetClockSource(previous_); }
    TClockSourceGuard(const TClockSourceGuard&) = delete;
    TClockSourceGuard& operator=(const TClockSourceGuard&) = delete;

  private:
    TClockSource* previous_;
};

} // namespace keb
