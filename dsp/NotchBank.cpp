#include "dsp/NotchBank.h"

#include <cmath>
#include <numbers>

namespace keb
{

namespace
{

// One band-reject section at the given depth. A function of this file only,
// so that the compiler may inline it into the sample loops even in a shared
// library.
template <class TSlot, class TSection>
inline float Reject(const TSlot& slot, TSection& section, float x, float depth)
{
    const float v3 = x - section.Ic2;
    const float v1 = slot.A1 * section.Ic1 + slot.A2 * v3;
    const float v2 = section.Ic2 + slot.A2 * section.Ic1 + slot.A3 * v3;
    section.Ic1 = 2.0f * v1 - section.Ic1;
    section.Ic2 = 2.0f * v2 - section.Ic2;
    return x - depth * slot.K * v1;
}

} // namespace

TNotchBank::TNotchBank(int sampleRate)
    : rate_(static_cast<float>(sampleRate)), rampStep_(1.0f / (RampSeconds * rate_))
{
}

void TNotchBank::Set(int slot, bool on, float frequency)
{
    TSlot& s = slots_[slot];
    const bool usable = frequency >= 20.0f && frequency <= 0.45f * rate_;
    s.On = on && usable;
    if (!s.On)
        return;
    s.Wanted = frequency;
    if (s.Depth <= 0.0f || std::fabs(frequency - s.Frequency) <= JumpHz)
        Tune(s, frequency);
}

bool TNotchBank::Idle(int slot) const
{
    return !slots_[slot].On && slots_[slot].Depth <= 0.0f;
}

void TNotchBank::Clear()
{
    for (TSlot& s : slots_)
        s = TSlot{};
}

void TNotchBank::Tune(TSlot& slot, float frequency)
{
    if (slot.Depth <= 0.0f && frequency != slot.Frequency)
        slot.Sections = {};
    slot.Frequency = frequency;
    const float g = std::tan(std::numbers::pi_v<float> * frequency / rate_);
    slot.K = SectionWidth / frequency;
    slot.A1 = 1.0f / (1.0f + g * (g + slot.K));
    slot.A2 = g * slot.A1;
    slot.A3 = g * slot.A2;
}

// Moves the depth one sample towards its target; a slot that has faded out
// on its way to a far frequency is retuned there.
void TNotchBank::Step(TSlot& slot)
{
    const bool atTarget = slot.On && slot.Frequency == slot.Wanted;
    if (atTarget)
        slot.Depth = std::fmin(1.0f, slot.Depth + rampStep_);
    else
        slot.Depth = std::fmax(0.0f, slot.Depth - rampStep_);
    if (slot.Depth <= 0.0f && slot.On && slot.Frequency != slot.Wanted)
        Tune(slot, slot.Wanted);
}

void TNotchBank::Process(std::span<float> samples)
{
    for (TSlot& slot : slots_)
    {
        if (!slot.On && slot.Depth <= 0.0f)
            continue;
        std::size_t i = 0;
        // While the depth ramps (or the slot waits to move) step by step;
        // at full depth the coefficients stay put for the rest.
        for (; i < samples.size() &&
               !(slot.Depth >= 1.0f && slot.On && slot.Frequency == slot.Wanted);
             ++i)
        {
            Step(slot);
            if (slot.Frequency <= 0.0f)
                continue;
            samples[i] = Reject(slot, slot.Sections[0], samples[i], slot.Depth);
            samples[i] = Reject(slot, slot.Sections[1], samples[i], slot.Depth);
        }
        if (i < samples.size())
            RejectSteady(slot, samples.subspan(i));
    }
}

void TNotchBank::RejectSteady(TSlot& slot, std::span<float> samples)
{
    // A local copy, so that the compiler keeps the state in registers.
    TSlot local = slot;
    for (float& x : samples)
    {
        x = Reject(local, local.Sections[0], x, 1.0f);
        x = Reject(local, local.Sections[1], x, 1.0f);
    }
    slot.Sections = local.Sections;
}

} // namespace keb
