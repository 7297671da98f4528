#include "platform/core/Clock.h"

#include <chrono>

namespace keb
{
namespace
{
std::atomic<TClockSource*> installedSource{nullptr};
std::atomic<std::uint32_t> sourceGeneration{0};

std::int64_t SteadyNanoseconds()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

std::uint32_t SteadyMilliseconds()
{
    return static_cast<std::uint32_t>(SteadyNanoseconds() / 1000000);
}
} // namespace

TClockSource* SetClockSource(TClockSource* source)
{
    TClockSource* previous = installedSource.exchange(source);
    sourceGeneration.fetch_add(1);
    return previous;
}

std::uint32_t ClockSourceGeneration()
{
    return sourceGeneration.load();
}

std::int64_t QueryPerformanceCounter()
{
    TClockSource* source = installedSource.load();
    return source ? source->PerformanceCounter() : SteadyNanoseconds();
}

std::int64_t QueryPerformanceFrequency()
{
    TClockSource* source = installedSource.load();
    return source ? source->PerformanceFrequency() : 1000000000;
}

std::uint32_t timeGetTime()
{
    TClockSource* source = installedSource.load();
    return source ? source->Milliseconds() : SteadyMilliseconds();
}

std::uint32_t GetTickCount()
{
    return timeGetTime();
}

void TManualClock::AdvanceMicroseconds(std::int64_t microseconds)
{
    microseconds_.fetch_add(microseconds);
}

std::int64_t TManualClock::PerformanceCounter()
{
    const std::int64_t frequency = frequency_.load();
    const std::int64_t microseconds = microseconds_.load();
    return microseconds / 1000000 * frequency + microseconds % 1000000 * frequency / 1000000;
}

std::uint32_t TManualClock::Milliseconds()
{
    return static_cast<std::uint32_t>(microseconds_.load() / 1000);
}

std::uint32_t TManualCounterClock::Milliseconds()
{
    return SteadyMilliseconds();
}

} // namespace keb
