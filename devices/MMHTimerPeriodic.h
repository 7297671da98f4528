// The periodic platform timer: the high-resolution timer service that the
// high-resolution timer component and the connector's pause timer run on.
//
// One service thread (the "timer thread") runs every periodic timer of the
// process against the steady clock. A callback runs in that thread and must be
// short: it shares the thread with every other timer. Ticks keep their
// schedule: a tick that comes late is followed by the next one at its own due
// time, so a late timer catches up with back-to-back calls.
//
// timeSetEvent, timeKillEvent, timeGetDevCaps, timeBeginPeriod and
// timeEndPeriod may be called from any thread. timeKillEvent returns only once
// the timer's callback is not running (unless it is called from that very
// callback, where it cannot wait), so whatever the callback uses may go away
// after it returns. The system has no resolution setting of its own: the
// steady clock is always as fine as it gets, so begin and end period only
// count the requests (TimerResolutionRequests tells how many are held).
//
// Tests put the service on a manual clock (SetTimerServiceManual) and move it
// with AdvanceTimerService, which fires every tick that falls due, in the
// timer thread, and returns when they have run.
#pragma once

#include <cstdint>

namespace keb
{

inline constexpr std::uint32_t TIMERR_NOERROR = 0;
inline constexpr std::uint32_t TIMERR_NOCANDO = 97;

struct TTimeCaps
{
    std::uint32_t wPeriodMin;
    std::uint32_t wPeriodMax;
};

// The tick of a periodic timer: its identifier and the user value given to
// timeSetEvent.
using TTimerCallback = void (*)(std::uint32_t timerId, std::uintptr_t user);

// Finest and coarsest period in milliseconds (1 and 1000000).
std::uint32_t timeGetDevCaps(TTimeCaps& caps);

// Resolution request and release; TIMERR_NOCANDO for a period outside the
// capabilities, and for a release without a matching request.
std::uint32_t timeBeginPeriod(std::uint32_t periodMs);
std::uint32_t timeEndPeriod(std::uint32_t periodMs);
int TimerResolutionRequests();

// Starts a periodic timer with the given period in milliseconds; the first
// tick comes one period from now. The resolution is accepted and ignored (the
// timer is always as fine as the clock). Returns the timer's identifier (never
// reused by the process), or 0 when the period lies outside the capabilities
// or the callback is null.
std::uint32_t timeSetEvent(std::uint32_t periodMs, std::uint32_t resolutionMs,
                           TTimerCallback callback, std::uintptr_t user);

// Stops the timer; TIMERR_NOCANDO for an unknown identifier.
std::uint32_t timeKillEvent(std::uint32_t timerId);

// Test clock: true puts the service on a manual millisecond clock starting
// where it stands (timers already running become due one period after the
// switch); false returns it to the steady clock the same way.
void SetTimerServiceManual(bool manual);
// Manual clock only: advances it and returns once every tick due by then has
// run. Must not be called from a timer callback.
void AdvanceTimerService(std::uint32_t milliseconds);
// How many ticks the timer with that identifier has fired so far (0 for an
// unknown or killed timer).
std::uint64_t TimerTickCount(std::uint32_t timerId);

} // namespace keb
