// Shared by the timer tests: the timer service on its manual clock for the
// length of a test, and a bounded wait that pumps the main loop.
#pragma once

#include "devices/MMHTimerPeriodic.h"
#include "platform/core/MainLoop.h"

#include <chrono>
#include <functional>
#include <gtest/gtest.h>

namespace keb::test
{

class ManualTimerTest : public testing::Test
{
  protected:
    void SetUp() override { SetTimerServiceManual(true); }
    void TearDown() override
    {
        SetTimerServiceManual(false);
        ProcessMessages();
    }
};

// Pumps the main loop until `done` holds; false after 10 s.
inline bool PumpUntil(const std::function<bool()>& done)
{
    const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!done())
    {
        if (std::chrono::steady_clock::now() > limit)
            return false;
        WaitAndProcessMessages(10);
    }
    return true;
}

// Pumps the main loop for the given real time, for checks that nothing more
// arrives.
inline void PumpFor(std::chrono::milliseconds span)
{
    const auto end = std::chrono::steady_clock::now() + span;
    while (std::chrono::steady_clock::now() < end)
        WaitAndProcessMessages(5);
}

} // namespace keb::test
