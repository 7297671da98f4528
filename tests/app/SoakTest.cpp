// The soak: an hour of simulated audio through the whole window while a
// user works its controls every few milliseconds of simulated time.
//
//   KEB_SOAK_MINUTES  simulated minutes (default 60; fractions allowed)
//   KEB_SOAK_SEED     the schedule's seed (default: a random one, printed)
//
// It fails on an error box, a hang, bands that leave their sliders, a memory
// that does not hold what was saved, a played stream that breaks the chain's
// rules (PlayedStream.h), and a resident set that grew by more than 8 MB
// between the end of the warm-up and the end. Leaks show in the
// AddressSanitizer build (LeakSanitizer); there the resident set is only
// printed, since the sanitizers keep freed memory and shadow memory aside.
#include "SoakWindow.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <unistd.h>

namespace keb::test
{
namespace
{

using Clock = std::chrono::steady_clock;

constexpr std::int64_t ResidentGrowthLimit = 8 << 20;

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool ResidentSetMeasurable = false;
#else
constexpr bool ResidentSetMeasurable = true;
#endif

std::chrono::milliseconds SoakDuration()
{
    const char* text = std::getenv("KEB_SOAK_MINUTES");
    const double minutes = text != nullptr ? std::strtod(text, nullptr) : 60.0;
    return std::chrono::milliseconds(static_cast<std::int64_t>(minutes * 60'000));
}

std::uint64_t SoakSeed()
{
    if (const char* text = std::getenv("KEB_SOAK_SEED"))
        return std::strtoull(text, nullptr, 10);
    std::random_device device;
    return (std::uint64_t{device()} << 32) | device();
}

std::int64_t ResidentBytes()
{
    std::ifstream statm("/proc/self/statm");
    std::int64_t size = 0;
    std::int64_t resident = 0;
    statm >> size >> resident;
    return resident * ::sysconf(_SC_PAGESIZE);
}

double Megabytes(std::int64_t Bytes)
{
    return static_cast<double>(Bytes) / (1 << 20);
}

double Minutes(std::chrono::milliseconds Time)
{
    return static_cast<double>(Time.count()) / 60'000;
}

using SoakTest = SoakWindowTest;

TEST_F(SoakTest, HoursOfAudioWhileTheUserPlaysWithTheWindow)
{
    const std::chrono::milliseconds duration = SoakDuration();
    const std::uint64_t seed = SoakSeed();
    std::printf("soak: %.1f simulated minutes, seed %llu (KEB_SOAK_SEED repeats it)\n",
                Minutes(duration), static_cast<unsigned long long>(seed));
    std::fflush(stdout);
    // A minute of wall time per simulated minute is far more than any build
    // needs; beyond it the soak hangs.
    TWatchdog watchdog(std::chrono::seconds(120 + 60 * static_cast<int>(Minutes(duration) + 1)));
    const std::chrono::milliseconds warmUp =
        std::min(duration / 10, std::chrono::milliseconds(120'000));

    TSoakSchedule schedule(seed);
    SwitchOn();
    const Clock::time_point started = Clock::now();
    std::chrono::milliseconds simulated{0};
    std::int64_t residentAfterWarmUp = 0;
    long actions = 0;
    std::string broken;
    while (simulated < duration && broken.empty())
    {
        const TSoakStep step = schedule.Next();
        Advance(step.Pause);
        simulated += step.Pause;
        if (residentAfterWarmUp == 0 && simulated >= warmUp)
            residentAfterWarmUp = ResidentBytes();
        if (!Act(step) || !Settle())
        {
            broken = "a device worker did not give its buffer back (hang)";
            break;
        }
        ++actions;
        broken = Broken();
        if (broken.empty() && Check->Report().Faults > 0)
            broken = "played stream: " + Check->Report().FirstFault;
    }
    // Measured while the window still holds what it gathered.
    const std::int64_t residentAtEnd = ResidentBytes();
    CloseWindow();
    const double wallSeconds = std::chrono::duration<double>(Clock::now() - started).count();
    const TStreamReport stream = Check->Report();

    std::printf("soak: %.1f simulated minutes in %.1f s wall, %ld actions:", Minutes(simulated),
                wallSeconds, actions);
    for (const auto& [action, count] : ActionCounts)
        std::printf(" %s %ld,", ActionName(action), count);
    std::printf("\nsoak: played %llu blocks in %llu runs: %llu bypassed and found in the capture, "
                "%llu silent while the ring filled, %llu filtered, %llu captured blocks skipped\n",
                static_cast<unsigned long long>(stream.Blocks),
                static_cast<unsigned long long>(stream.Runs),
                static_cast<unsigned long long>(stream.Identified),
                static_cast<unsigned long long>(stream.Silent),
                static_cast<unsigned long long>(stream.Filtered),
                static_cast<unsigned long long>(stream.Skipped));
    std::printf("soak: resident set %.1f MB after the warm-up (%.1f simulated minutes), %.1f MB "
                "at the end\n",
                Megabytes(residentAfterWarmUp), Minutes(warmUp), Megabytes(residentAtEnd));

    ASSERT_TRUE(broken.empty()) << broken << " after " << Minutes(simulated)
                                << " simulated minutes, seed " << seed;
    EXPECT_EQ(stream.Faults, 0u) << stream.FirstFault;
    // Most blocks of a run are checked one by one: about half pass bypassed.
    EXPECT_GT(stream.Identified * 4, stream.Blocks);
    if (ResidentSetMeasurable)
    {
        EXPECT_LE(residentAtEnd - residentAfterWarmUp, ResidentGrowthLimit);
    }
}

} // namespace
} // namespace keb::test
