// What the soak's user does, and when: a pseudo-random sequence of actions on
// the window, each after a pause of a few milliseconds of simulated time.
// The same seed gives the same sequence, so a failing run can be repeated.
#pragma once

#include <chrono>
#include <cstdint>
#include <random>

namespace keb::test
{

enum class TSoakAction
{
    Bypass,      // "Filter On" / "Filter Off"
    SliderKey,   // a key on one band slider
    SliderClick, // a click somewhere on one band slider
    WheelKey,    // a key on the shift wheel
    Preset,      // 0.2, 0.4, 1.8 or 2.6
    Flatten,     // "Def"
    LoadMemory,  // A .. D
    SaveMemory,  // "Save"
    About,       // "?", and back by clicking the animation
    Restart,     // OFF, and ON again
};

const char* ActionName(TSoakAction Action);

struct TSoakStep
{
    std::chrono::milliseconds Pause; // simulated time before the action
    TSoakAction Action;
    // Both 0 .. 999; the soak takes from them which slider, preset or memory
    // (Target), and which key or where on a slider (Variant).
    int Target;
    int Variant;
};

class TSoakSchedule
{
  public:
    static constexpr int PauseMinimumMs = 1;
    static constexpr int PauseMaximumMs = 20;

    explicit TSoakSchedule(std::uint64_t Seed);
    TSoakStep Next();

  private:
    std::mt19937_64 Random;
    std::discrete_distribution<int> Actions;
};

} // namespace keb::test
