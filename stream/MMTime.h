// The microsecond clock and Delay.
//
// Both read the clocks of platform/core/Clock.h, so a test clock installed
// there drives them too.
#pragma once

#include <cstdint>

namespace keb
{

// Microseconds since an arbitrary origin, from the performance counter
// rounded to the nearest microsecond. The counter frequency is remembered
// after the first use (and queried again while it is 0, or after the clock
// source was replaced); a frequency of 2^32 or more, or below 2, falls back to
// timeGetTime x 1000. Reentrant; any thread.
std::int64_t MicrosecondClock();

// Returns once the system tick count has advanced by at least `ms` (at once
// for a negative ms). With `pump` it runs the main loop's pending work on
// every pass (ProcessMessages: only on the main thread); otherwise it only
// yields the processor between its checks.
void Delay(std::int32_t ms, bool pump);

} // namespace keb
