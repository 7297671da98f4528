// Events: the signalling objects that worker threads wait on.
//
// A manual-reset event stays signalled until ResetEvent; an auto-reset event
// lets exactly one wait through and resets itself as that wait returns. Any
// thread may set, reset or wait. WaitFor never runs messages or synchronise
// requests; a main thread that must keep serving those while it waits uses
// WaitForAny (Wait.h) with ServeSynchronize.
#pragma once

#include <cstdint>

namespace keb
{

// Time-out value meaning "wait for ever".
inline constexpr std::uint32_t Infinite = 0xFFFFFFFFu;

enum class TWaitResult
{
    wrSignaled,
    wrTimeout
};

class TEvent
{
  public:
    TEvent(bool manualReset, bool initialState);
    TEvent(const TEvent&) = delete;
    TEvent& operator=(const TEvent&) = delete;

    void SetEvent();
    void ResetEvent();
    TWaitResult WaitFor(std::uint32_t timeoutMs = Infinite);

    bool ManualReset() const { return manualReset_; }

    // For the wait machinery, with the kernel lock held: true when signalled;
    // an auto-reset event is reset by the call.
    bool ConsumeLocked();

  private:
    const bool manualReset_;
    bool signaled_;
};

} // namespace keb
