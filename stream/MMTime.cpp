#include "stream/MMTime.h"

#include "platform/core/Clock.h"
#include "platform/core/MainLoop.h"

#include <atomic>
#include <thread>

namespace keb
{
namespace
{
// The remembered frequency in the low 32 bits, the clock source generation it
// was read under in the high 32 bits: one atomic word, so that any thread may
// store it without a lock.
std::atomic<std::uint64_t> rememberedFrequency{0};

std::uint32_t CounterFrequency()
{
    const std::uint32_t generation = ClockSourceGeneration();
    const std::uint64_t remembered = rememberedFrequency.load();
    const auto frequency = static_cast<std::uint32_t>(remembered);
    if (frequency != 0 && static_cast<std::uint32_t>(remembered >> 32) == generation)
        return frequency;
    const std::int64_t queried = QueryPerformanceFrequency();
    const std::uint32_t usable =
        (static_cast<std::uint64_t>(queried) >> 32) == 0 ? static_cast<std::uint32_t>(queried) : 1;
    rememberedFrequency.store(std::uint64_t{generation} << 32 | usable);
    return usable;
}
} // namespace

std::int64_t MicrosecondClock()
{
    const std::uint32_t frequency = CounterFrequency();
    if (static_cast<std::int32_t>(frequency) < 2)
        return std::int64_t{timeGetTime()} * 1000;
    const std::int64_t counter = QueryPerformanceCounter();
    const std::int64_t perSecond = frequency;
    const std::int64_t seconds = counter / perSecond;
    const std::int64_t rest = counter % perSecond;
    return seconds * 1000000 + (rest * 1000000 + perSecond / 2) / perSecond;
}

void Delay(std::int32_t ms, bool pump)
{
    if (ms < 0)
        return;
    const std::uint32_t start = GetTickCount();
    while (GetTickCount() - start < static_cast<std::uint32_t>(ms))
    {
        if (pump)
            ProcessMessages();
        std::this_thread::yield();
    }
}

} // namespace keb
