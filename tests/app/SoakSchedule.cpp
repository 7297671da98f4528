#include "SoakSchedule.h"

#include <array>

namespace keb::test
{

namespace
{

struct TActionKind
{
    double Weight;
    const char* Name;
};

// How often each action comes, in the order of TSoakAction. The bypass and
// the controls that move bands are the busy ones; a restart (OFF and ON,
// which opens and closes every device of the chain) comes about once in
// a simulated minute.
constexpr std::array<TActionKind, 10> ActionKinds = {{
    {3000, "bypass"},
    {2000, "slider key"},
    {800, "slider click"},
    {1500, "wheel key"},
    {1200, "preset"},
    {300, "Def"},
    {600, "load memory"},
    {400, "save memory"},
    {10, "about"},
    {2, "OFF/ON"},
}};

std::discrete_distribution<int> ActionDistribution()
{
    std::array<double, ActionKinds.size()> weights{};
    for (std::size_t kind = 0; kind < ActionKinds.size(); ++kind)
        weights[kind] = ActionKinds[kind].Weight;
    return std::discrete_distribution<int>(weights.begin(), weights.end());
}

int Uniform(std::mt19937_64& Random, int First, int Last)
{
    return std::uniform_int_distribution<int>(First, Last)(Random);
}

} // namespace

TSoakSchedule::TSoakSchedule(std::uint64_t Seed) : Random(Seed), Actions(ActionDistribution()) {}

TSoakStep TSoakSchedule::Next()
{
    TSoakStep step{};
    step.Pause = std::chrono::milliseconds(Uniform(Random, PauseMinimumMs, PauseMaximumMs));
    step.Action = static_cast<TSoakAction>(Actions(Random));
    step.Target = Uniform(Random, 0, 999);
    step.Variant = Uniform(Random, 0, 999);
    return step;
}

const char* ActionName(TSoakAction Action)
{
    return ActionKinds[static_cast<std::size_t>(Action)].Name;
}

} // namespace keb::test
