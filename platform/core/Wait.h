// Waiting for one of several events or for a message.
#pragma once

#include "platform/core/Event.h"
#include "platform/core/MessageQueue.h"

#include <cstdint>
#include <initializer_list>
#include <span>

namespace keb
{

inline constexpr int WaitTimeout = -1;

// Waits until one of `events` is signalled or (when `queue` is given) the
// queue holds a message, or timeoutMs has passed (Infinite: no time-out).
// Returns the index of the first signalled event (an auto-reset event is reset
// by the wait), events.size() for a waiting message, or WaitTimeout. Events
// are checked in order before the queue; the message stays in the queue.
//
// With serveSynchronize on the main thread the wait runs pending synchronise
// requests meanwhile, so that a worker blocked in RunSynchronized can go on and
// signal what the main thread waits for. Anywhere else the flag has no effect.
int WaitForAny(std::span<TEvent* const> events, TMessageQueue* queue, std::uint32_t timeoutMs,
               bool serveSynchronize = false);

inline int WaitForAny(std::initializer_list<TEvent*> events, TMessageQueue* queue,
                      std::uint32_t timeoutMs, bool serveSynchronize = false)
{
    return WaitForAny(std::span<TEvent* const>(events.begin(), events.size()), queue, timeoutMs,
                      serveSynchronize);
}

} // namespace keb
