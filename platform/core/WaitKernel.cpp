#include "platform/core/WaitKernel.h"

#include "platform/core/Event.h"

#include <semaphore.h>

#include <algorithm>
#include <cerrno>
#include <utility>

namespace keb::detail
{

// One thread's place in the kernel's list of waiters. Records are never freed:
// a thread that ends gives its record back for the next thread, so a wake-up
// sent after the lock was released always reaches a live semaphore (at worst
// it wakes the record's next owner for nothing, and that one re-checks).
//
// A semaphore rather than a condition variable: the waiter sleeps without
// the kernel lock and takes it again only when it has woken, so a hand-over
// costs one wake and one wait and no lock traffic.
struct TWaiter
{
    TWaiter() { sem_init(&Woken, 0, 0); }

    // Till the deadline (none: for ever); false when it passed first.
    bool Sleep(const std::optional<std::chrono::steady_clock::time_point>& deadline)
    {
        if (!deadline)
        {
            while (sem_wait(&Woken) != 0 && errno == EINTR)
            {
            }
            return true;
        }
        const auto sinceEpoch = deadline->time_since_epoch();
        const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(sinceEpoch);
        timespec until{};
        until.tv_sec = static_cast<time_t>(seconds.count());
        until.tv_nsec = static_cast<long>(
            std::chrono::duration_cast<std::chrono::nanoseconds>(sinceEpoch - seconds).count());
        for (;;)
        {
            if (sem_clockwait(&Woken, CLOCK_MONOTONIC, &until) == 0)
                return true;
            if (errno != EINTR)
                return false;
        }
    }

    const TWatched* Watched = nullptr; // while linked
    bool Pending = false;              // a wake-up is owed for this wait
    sem_t Woken;
    TWaiter* Next = nullptr;
};

namespace
{
struct TWaitKernel
{
    std::mutex Mutex;
    TWaiter* Waiters = nullptr; // guarded by Mutex
    std::mutex SpareLock;
    TWaiter* Spare = nullptr; // guarded by SpareLock
};

// Never destroyed: worker threads may still wait or signal while static
// objects are torn down at exit.
TWaitKernel& TheKernel()
{
    static TWaitKernel* kernel = new TWaitKernel;
    return *kernel;
}

TWaiter& TakeSpareWaiter()
{
    TWaitKernel& kernel = TheKernel();
    std::lock_guard guard(kernel.SpareLock);
    TWaiter* waiter = kernel.Spare;
    if (waiter)
        kernel.Spare = waiter->Next;
    else
        waiter = new TWaiter;
    waiter->Next = nullptr;
    return *waiter;
}

void GiveBackWaiter(TWaiter& waiter)
{
    TWaitKernel& kernel = TheKernel();
    std::lock_guard guard(kernel.SpareLock);
    waiter.Next = kernel.Spare;
    kernel.Spare = &waiter;
}

// The calling thread's record, and whether the keeper that gives it back at
// the thread's end is gone: plain values, which stay readable while the
// thread's other thread-local objects are destroyed.
thread_local TWaiter* ownWaiter = nullptr;
thread_local bool keeperGone = false;

// Gives the calling thread's record back when the thread ends.
class TWaiterKeeper
{
  public:
    TWaiterKeeper() { ownWaiter = &TakeSpareWaiter(); }
    ~TWaiterKeeper()
    {
        keeperGone = true;
        GiveBackWaiter(*std::exchange(ownWaiter, nullptr));
    }
    TWaiterKeeper(const TWaiterKeeper&) = delete;
    TWaiterKeeper& operator=(const TWaiterKeeper&) = delete;
};

// The calling thread's record, taken at its first wait; null once the keeper
// is gone (a thread-local object's destructor that waits as the thread ends).
TWaiter* OwnWaiter()
{
    if (keeperGone)
        return nullptr;
    thread_local TWaiterKeeper keeper;
    return ownWaiter;
}

// The record for one wait: the calling thread's own, or, while the thread
// ends, a spare one lent for this wait alone. The thread's own record may
// already belong to a new thread, and two threads on one record would share
// its wake-ups and link it twice.
class TWaiterForOneWait
{
  public:
    TWaiterForOneWait() : own_(OwnWaiter()), waiter_(own_ ? *own_ : TakeSpareWaiter()) {}
    ~TWaiterForOneWait()
    {
        if (!own_)
            GiveBackWaiter(waiter_);
    }
    TWaiterForOneWait(const TWaiterForOneWait&) = delete;
    TWaiterForOneWait& operator=(const TWaiterForOneWait&) = delete;

    TWaiter& Waiter() { return waiter_; }

  private:
    TWaiter* own_;
    TWaiter& waiter_;
};

// Links a waiter into the kernel's list for the length of one wait (kernel
// lock held at both ends).
class TWaiterLink
{
  public:
    TWaiterLink(TWaiter& waiter, const TWatched& watched) : waiter_(waiter)
    {
        waiter_.Watched = &watched;
        waiter_.Pending = false;
        waiter_.Next = TheKernel().Waiters;
        TheKernel().Waiters = &waiter_;
    }
    ~TWaiterLink()
    {
        TWaiter** link = &TheKernel().Waiters;
        while (*link != &waiter_)
            link = &(*link)->Next;
        *link = waiter_.Next;
        waiter_.Next = nullptr;
        waiter_.Watched = nullptr;
    }
    TWaiterLink(const TWaiterLink&) = delete;
    TWaiterLink& operator=(const TWaiterLink&) = delete;

  private:
    TWaiter& waiter_;
};
} // namespace

std::mutex& KernelMutex()
{
    return TheKernel().Mutex;
}

bool TWatched::Watches(const void* object) const
{
    return object == Queue || object == Other ||
           std::find(Events.begin(), Events.end(), object) != Events.end();
}

TWakeUps::~TWakeUps()
{
    for (std::size_t i = 0; i < count_; ++i)
        sem_post(&waiters_[i]->Woken);
}

void TWakeUps::Collect(const void* object)
{
    for (TWaiter* waiter = TheKernel().Waiters; waiter; waiter = waiter->Next)
    {
        if (waiter->Watched->Watches(object))
            Add(*waiter);
    }
}

void TWakeUps::CollectAll()
{
    for (TWaiter* waiter = TheKernel().Waiters; waiter; waiter = waiter->Next)
        Add(*waiter);
}

// One wake-up per wait is enough. More waiters than the collector holds are
// woken at once, lock held.
void TWakeUps::Add(TWaiter& waiter)
{
    if (waiter.Pending)
        return;
    waiter.Pending = true;
    if (count_ < Capacity)
        waiters_[count_++] = &waiter;
    else
        sem_post(&waiter.Woken);
}

bool KernelWait(std::unique_lock<std::mutex>& lock, const TWatched& watched,
                const std::optional<std::chrono::steady_clock::time_point>& deadline)
{
    TWaiterForOneWait record;
    TWaiter& waiter = record.Waiter();
    bool woken = false;
    {
        const TWaiterLink link(waiter, watched);
        lock.unlock();
        woken = waiter.Sleep(deadline);
        lock.lock();
    }
    return woken || std::chrono::steady_clock::now() < *deadline;
}

std::optional<std::chrono::steady_clock::time_point> DeadlineAfter(std::uint32_t timeoutMs)
{
    if (timeoutMs == Infinite)
        return std::nullopt;
    return std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
}

const void* SyncRequestsKey()
{
    static const char key = 0;
    return &key;
}

} // namespace keb::detail
