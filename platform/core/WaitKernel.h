// The one lock behind every event, message queue and synchronise request of
// the platform layer, and the wake-ups of the threads that wait on them.
//
// Waiting for "any of these events or a message" needs one place where all of
// them can be watched at once. A single process-wide mutex makes that simple
// and free of lost wake-ups: every state change of a waitable object happens
// under KernelMutex() and wakes the waiters that watch the object (TWakeUps);
// every waiter re-checks its conditions under the same mutex. The lock is held
// only for a few instructions, so a handful of threads never contend on it
// noticeably.
//
// A waiter names what it watches (TWatched), and a change wakes only the
// waiters that watch the changed object: a buffer handed to one worker does
// not wake every other thread that waits on something else.
//
// Internal to platform/core: components use TEvent, TMessageQueue and
// WaitForAny instead.
#pragma once

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <optional>
#include <span>

namespace keb
{
class TEvent;
}

namespace keb::detail
{

std::mutex& KernelMutex();

// What one wait watches: any of the events, the queue, one other object (a
// synchronise request, or the list of them). Null pointers watch nothing.
struct TWatched
{
    std::span<TEvent* const> Events;
    const void* Queue = nullptr;
    const void* Other = nullptr;

    bool Watches(const void* object) const;
};

struct TWaiter;

// The wake-ups one change of waitable objects owes. Collected with the kernel
// lock held and sent when the collector goes out of scope, after the lock is
// released (declare it before the lock), so that a woken waiter does not at
// once block on the lock its waker still holds.
class TWakeUps
{
  public:
    TWakeUps() = default;
    ~TWakeUps();
    TWakeUps(const TWakeUps&) = delete;
    TWakeUps& operator=(const TWakeUps&) = delete;

    // With the kernel lock held: the waiters that watch Object.
    void Collect(const void* object);
    // With the kernel lock held: every waiter.
    void CollectAll();

  private:
    void Add(TWaiter& waiter);

    static constexpr std::size_t Capacity = 8;
    std::array<TWaiter*, Capacity> waiters_{};
    std::size_t count_ = 0;
};

// Waits for a wake-up of a watched object, one of every waiter, or the
// deadline (none: no time-out). Returns false once the deadline has passed.
bool KernelWait(std::unique_lock<std::mutex>& lock, const TWatched& watched,
                const std::optional<std::chrono::steady_clock::time_point>& deadline);

// The deadline of a wait of timeoutMs from now; none for Infinite.
std::optional<std::chrono::steady_clock::time_point> DeadlineAfter(std::uint32_t timeoutMs);

// The object a change of the synchronise requests notifies.
const void* SyncRequestsKey();

} // namespace keb::detail
