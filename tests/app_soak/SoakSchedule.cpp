#include "SoakSchedule.h"

#include <array>

namespace keb::test
{

namespace
{

// How often each action comes, in the order of TSoakAction. The bypass and
// the controls that move bands are the busy ones; a restart (OFF and ON,
// which opens and closes every device of the chain) comes about once in
// a simulated minute.
constexpr std::array<double, 10> ActionWeights = {
    3000, // Bypass
    2000, // SliderKey
    800,  // SliderClick
    1500, // WheelKey
    1200, // Preset
    300,  // Flatten
    600,  // LoadMemory
    400,  // SaveMemory
    10,   // About
    2,    // Restart
};

int Uniform(std::mt19937_64& Random, int First, int Last)
{
    return std::uniform_int_distribution<int>(First, Last)(Random);
}

} // namespace

TSoakSchedule::TSoakSchedule(std::uint64_t Seed)
    : Random(Seed), Actions(ActionWeights.begin(), ActionWeights.end())
{
}

TSoakStep TSoakSchedule::Next()
{
    TSoakStep step{};
    step.Pause = std::chrono::milliseconds(Uniform(Random, PauseMinimumMs, PauseMaximumMs));
    step.Action = static_cast<TSoakAction>(Actions(Random));
    step.Target = Uniform(Random, 0, 999);
    step.Variant = Uniform(Random, 0, 999);
    return step;
}

} // namespace keb::test
