// Posted messages and the queues that hold them.
//
// A message carries a target window (0 for a message to a thread), a message
// number and two parameters. One queue belongs to the main loop (MainLoop.h),
// one to every worker thread (TThread::MessageQueue). Posting never blocks
// beyond the short kernel lock and allocates only when more messages wait than
// ever before, so a sound driver's callback may post. Any thread may post;
// Take and Remove are meant for the thread that owns the queue.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace keb
{

// Handle of a hidden message window; 0 is "no window" (a thread message).
using TWindowHandle = std::uintptr_t;

struct TMessage
{
    TWindowHandle Window = 0;
    std::uint32_t Msg = 0;
    std::uintptr_t WParam = 0;
    std::intptr_t LParam = 0;
};

inline constexpr std::uint32_t AllMessages = 0xFFFFFFFFu;

class TMessageQueue
{
  public:
    explicit TMessageQueue(std::size_t initialCapacity = 64);
    TMessageQueue(const TMessageQueue&) = delete;
    TMessageQueue& operator=(const TMessageQueue&) = delete;

    // Appends the message and wakes every thread waiting on the queue.
    void Post(const TMessage& message);

    // Removes the oldest message into `message`; false when the queue is empty.
    bool Take(TMessage& message);

    // Removes every message addressed to `window` (0: thread messages) whose
    // number lies in first .. last; returns how many were removed. The order
    // of the remaining messages is kept.
    std::size_t Remove(TWindowHandle window, std::uint32_t first, std::uint32_t last);

    // Read without the kernel lock: a snapshot that a thread polling the
    // queue may take as often as it likes without holding up the posters.
    std::size_t Count() const { return count_.load(std::memory_order_acquire); }

    // For the wait machinery and the main loop, with the kernel lock held.
    void PostLocked(const TMessage& message);
    bool TakeLocked(TMessage& message);
    std::size_t CountLocked() const { return count_.load(std::memory_order_relaxed); }

  private:
    void Grow();

    std::vector<TMessage> ring_;
    std::size_t head_ = 0;
    std::atomic<std::size_t> count_{0}; // written under the kernel lock only
};

} // namespace keb
