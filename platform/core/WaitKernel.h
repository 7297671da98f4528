// The one lock and condition variable behind every event, message queue and
// synchronise request of the platform layer.
//
// Waiting for "any of these events or a message" needs one place where all of
// them can be watched at once. A single process-wide mutex makes that simple
// and free of lost wake-ups: every state change of a waitable object happens
// under KernelMutex() and is followed by KernelNotify(); every waiter re-checks
// its conditions under the same mutex. The lock is held only for a few
// instructions, so a handful of threads never contend on it noticeably.
//
// Internal to platform/core: components use TEvent, TMessageQueue and
// WaitForAny instead.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>

namespace keb::detail
{

std::mutex& KernelMutex();

// Wakes every waiter so that it re-checks its conditions. Callable with or
// without the kernel lock held.
void KernelNotify();

// Waits for a KernelNotify() or the deadline (none: no time-out). Returns false
// once the deadline has passed.
bool KernelWait(std::unique_lock<std::mutex>& lock,
                const std::optional<std::chrono::steady_clock::time_point>& deadline);

// The deadline of a wait of timeoutMs from now; none for Infinite.
std::optional<std::chrono::steady_clock::time_point> DeadlineAfter(std::uint32_t timeoutMs);

} // namespace keb::detail
