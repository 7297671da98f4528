// Worker threads.
//
// A TThread is created suspended; the first Resume starts it, and it runs
// Execute once. Terminate only sets a flag that Execute polls (Terminated).
// Ownership: without FreeOnTerminate the creator deletes the object, and the
// destructor terminates the thread and waits for it; with FreeOnTerminate the
// thread deletes its own object after Execute returns, so nobody may touch it
// (nor WaitFor it) once it may have finished: use an event to learn that it
// has. A derived class whose Execute uses members of its own stops the thread
// in its own destructor (TerminateAndWait), before those members go away.
//
// Synchronize blocks the worker until the main thread has run the method. A
// main thread that waits for a worker (WaitFor, the destructor) keeps running
// synchronise requests while it waits, so a worker blocked in Synchronize can
// finish.
//
// Every thread has a message queue (MessageQueue) that other threads post to;
// the worker takes from it and waits on it with WaitForAny (Wait.h).
#pragma once

#include "platform/core/Event.h"
#include "platform/core/MessageQueue.h"

#include <atomic>
#include <cstdint>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>

namespace keb
{

enum class TThreadPriority
{
    tpIdle,
    tpLowest,
    tpLower,
    tpNormal,
    tpHigher,
    tpHighest,
    tpTimeCritical
};

class TThread
{
  public:
    TThread();
    virtual ~TThread();
    TThread(const TThread&) = delete;
    TThread& operator=(const TThread&) = delete;

    // Starts the thread on the first call; later calls do nothing.
    void Resume();
    bool Suspended() const { return !started_.load(); }

    void Terminate() { terminated_.store(true); }
    bool Terminated() const { return terminated_.load(); }

    // Waits until Execute has returned and gives ReturnValue. Raises
    // EThreadError when called from the thread itself or before Resume.
    int WaitFor();
    bool Finished() const { return finished_.load(); }

    void SetFreeOnTerminate(bool value) { freeOnTerminate_.store(value); }
    bool FreeOnTerminate() const { return freeOnTerminate_.load(); }

    // Stored, and applied to the running thread at once as far as the system
    // lets an unprivileged process (raising above normal may be refused).
    void SetPriority(TThreadPriority priority);
    TThreadPriority Priority() const { return priority_.load(); }

    // Runs the method on the main thread (see RunSynchronized in MainLoop.h).
    void Synchronize(const std::function<void()>& method);

    TMessageQueue& MessageQueue() { return queue_; }
    void PostMessage(std::uint32_t msg, std::uintptr_t wParam = 0, std::intptr_t lParam = 0);

    int ReturnValue() const { return returnValue_.load(); }
    // The exception that ended Execute, if any.
    std::exception_ptr FatalException() const { return fatalException_; }

    // The TThread whose Execute runs on the calling thread, or null.
    static TThread* Current();

  protected:
    virtual void Execute() = 0;
    void SetReturnValue(int value) { returnValue_.store(value); }

    // Terminate, then wait for Execute to return (nothing if never started).
    void TerminateAndWait();

  private:
    void Run();
    void ApplyPriority();

    std::mutex startLock_;
    std::thread thread_;
    TMessageQueue queue_;
    TEvent finishedEvent_{true, false};
    std::atomic<bool> started_{false};
    std::atomic<bool> terminated_{false};
    std::atomic<bool> finished_{false};
    std::atomic<bool> freeOnTerminate_{false};
    std::atomic<TThreadPriority> priority_{TThreadPriority::tpNormal};
    std::atomic<int> nativeId_{0};
    std::atomic<int> returnValue_{0};
    std::exception_ptr fatalException_;
};

} // namespace keb
