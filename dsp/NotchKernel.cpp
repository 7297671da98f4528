#include "dsp/NotchKernel.h"

#include <algorithm>

namespace keb
{

TNotchKernel::TNotchKernel(int sampleRate) : detector_(sampleRate), bank_(sampleRate) {}

void TNotchKernel::Clear()
{
    detector_.Clear();
    bank_.Clear();
    automatic_ = false;
    manual_ = {};
}

void TNotchKernel::Apply(bool automatic, const TManual& manual)
{
    if (automatic != automatic_)
    {
        automatic_ = automatic;
        for (int t = 0; t < TSteadyToneDetector::Trackers; ++t)
            detector_.Release(t);
        FollowDetector();
    }
    if (manual != manual_)
    {
        manual_ = manual;
        for (int n = 0; n < ManualNotches; ++n)
            bank_.Set(TSteadyToneDetector::Trackers + n, manual[n] > 0.0f, manual[n]);
        detector_.SetExcluded(manual_);
    }
}

void TNotchKernel::FollowDetector()
{
    for (int t = 0; t < TSteadyToneDetector::Trackers; ++t)
    {
        const auto& tracked = detector_.Tracked(t);
        bank_.Set(t, automatic_ && tracked.Active, tracked.Frequency);
        detector_.Available[static_cast<std::size_t>(t)] = bank_.Idle(t);
    }
}

bool TNotchKernel::Transparent() const
{
    for (int slot = 0; slot < TNotchBank::Slots; ++slot)
        if (!bank_.Idle(slot))
            return false;
    return !automatic_;
}

void TNotchKernel::Process(std::span<float> samples)
{
    while (!samples.empty())
    {
        const std::size_t count =
            automatic_ ? std::min(samples.size(), detector_.Remaining()) : samples.size();
        const std::span<float> piece = samples.first(count);
        const bool analysed = automatic_ && detector_.Push(piece);
        bank_.Process(piece);
        if (analysed)
            FollowDetector();
        samples = samples.subspan(count);
    }
}

} // namespace keb
