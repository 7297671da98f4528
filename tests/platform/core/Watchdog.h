// Bounds a test that could hang: if the guard is still alive after the given
// time, the whole test program fails with a message instead of waiting for
// the CTest time-out.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <thread>

namespace keb::test
{

class TWatchdog
{
  public:
    explicit TWatchdog(std::chrono::seconds limit, const char* what = "test")
        : thread_([this, limit, what] { Watch(limit, what); })
    {
    }

    ~TWatchdog()
    {
        {
            std::lock_guard guard(lock_);
            done_ = true;
        }
        changed_.notify_all();
        thread_.join();
    }

  private:
    void Watch(std::chrono::seconds limit, const char* what)
    {
        std::unique_lock lock(lock_);
        if (!changed_.wait_for(lock, limit, [this] { return done_; }))
        {
            std::fprintf(stderr, "watchdog: %s did not finish within %lld s\n", what,
                         static_cast<long long>(limit.count()));
            std::abort();
        }
    }

    std::mutex lock_;
    std::condition_variable changed_;
    bool done_ = false;
    std::thread thread_;
};

} // namespace keb::test
