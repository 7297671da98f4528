// The periodic (multimedia) timer: callbacks every so many milliseconds on a
// timer thread of their own.
//
// timeSetEvent starts a timer and returns its identifier (0 when refused: a
// period outside the capabilities, or more timers than the limit). Each timer
// runs its callback on its own thread, paced against the steady clock from
// the moment it was set (no drift); a tick that comes late by more than a
// period drops the ticks it missed instead of firing them in a burst. The
// callback must be quick (store state, set an event, post a message) and must
// not raise. timeKillEvent stops a timer: when it returns, that timer's
// callback is not running and never runs again, except when it is called from
// inside the callback itself, which then ends after the callback returns.
//
// timeBeginPeriod / timeEndPeriod only count the requests: the system's
// sleep is already fine enough. Every function is thread-safe.
#pragma once

#include <cstddef>
#include <cstdint>

namespace keb
{

struct TTimeCaps
{
    std::uint32_t wPeriodMin;
    std::uint32_t wPeriodMax;
};

// The callback: the timer's identifier and the user value given to timeSetEvent.
using TTimerCallback = void (*)(std::uint32_t timerId, void* user);

TTimeCaps timeGetDevCaps();

// False for a period outside the capabilities.
bool timeBeginPeriod(std::uint32_t period);
// False for a period without a matching timeBeginPeriod.
bool timeEndPeriod(std::uint32_t period);

// A periodic timer (or a one-shot one when periodic is false) firing every
// `delayMs`; `resolution` is accepted and ignored. 0 when refused.
std::uint32_t timeSetEvent(std::uint32_t delayMs, std::uint32_t resolution, TTimerCallback callback,
                           void* user, bool periodic = true);

// False for an unknown identifier.
bool timeKillEvent(std::uint32_t timerId);

// The most timers that may run at once (default 64); lets tests make
// timeSetEvent refuse. Returns the previous limit.
std::size_t SetPeriodicTimerLimit(std::size_t limit);

} // namespace keb
