// Locks and counters shared between the main thread and the audio workers.
//
// TCriticalSection is recursive, like the lock the components were designed
// around: a thread that holds it may enter it again. Hold it only for the few
// instructions that touch the guarded state, and never while calling into
// another component. Counters shared between threads are TAtomicCounter
// (increment and decrement with ++ / --, which are interlocked).
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>

namespace keb
{

class TCriticalSection
{
  public:
    void Enter() { mutex_.lock(); }
    void Leave() { mutex_.unlock(); }
    bool TryEnter() { return mutex_.try_lock(); }

    // BasicLockable, so std::lock_guard / std::unique_lock work on it.
    void lock() { Enter(); }
    void unlock() { Leave(); }

  private:
    std::recursive_mutex mutex_;
};

using TAtomicCounter = std::atomic<std::int32_t>;

} // namespace keb
