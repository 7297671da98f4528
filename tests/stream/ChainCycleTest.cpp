// Switching the live chain on and off many times: every cycle ends with both
// devices closed and the queue freed. Run under the sanitizer builds, this is
// the leak and data-race check of the chain's start and stop paths.
#include "ChainAnalysis.h"
#include "ChainRig.h"
#include "tests/platform/core/Watchdog.h"

#include <gtest/gtest.h>

namespace keb::test
{
namespace
{
using namespace std::chrono_literals;
} // namespace

TEST(ChainCycles, ThousandOnOffCyclesEachEndClosed)
{
    TWatchdog watchdog(900s);
    TChainSettings settings;
    TChainRig rig(settings, CounterSample);
    std::vector<std::string> errors;
    const TErrorBoxHandler previous =
        SetErrorBoxHandler([&errors](const std::string& message) { errors.push_back(message); });
    int openAfterOff = 0;
    int stalled = 0;
    for (int cycle = 0; cycle < 1000; ++cycle)
    {
        rig.SwitchOn();
        // A few buffers each way, ending at various points of a buffer.
        if (!rig.Run(std::chrono::microseconds(300000 + 7919 * (cycle % 13))))
            ++stalled;
        rig.SwitchOff();
        if (rig.Capture.State() != wsClosed || rig.Playback.State() != wsClosed ||
            rig.Ring.QueueOpen())
            ++openAfterOff;
    }
    SetErrorBoxHandler(previous);
    EXPECT_EQ(openAfterOff, 0);
    EXPECT_EQ(stalled, 0);
    EXPECT_TRUE(errors.empty()) << errors.front();
}

} // namespace keb::test
