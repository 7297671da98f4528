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
    const float v3 = x - section.ic2;
    const float v1 = slot.a1 * section.ic1 + slot.a2 * v3;
    const float v2 = section.ic2 + slot.a2 * section.ic1 + slot.a3 * v3;
    section.ic1 = 2.0f * v1 - section.ic1;
    section.ic2 = 2.0f * v2 - section.ic2;
    return x - depth * slot.k * v1;
}

} // namespace

TNotchBank::TNotchBank(int sampleRate)
    : rate_(static_cast<float>(sampleRate)), rampStep_(1.0f / (RampSeconds * rate_))
{
}

void TNotchBank::Set(int slot, bool on, float frequency)
{
    Slot& s = slots_[slot];
    const bool usable = frequency >= 20.0f && frequency <= 0.45f * rate_;
    s.on = on && usable;
    if (!s.on)
        return;
    s.wanted = frequency;
    if (s.depth <= 0.0f || std::fabs(frequency - s.frequency) <= JumpHz)
        Tune(s, frequency);
}

bool TNotchBank::Idle(int slot) const
{
    return !slots_[slot].on && slots_[slot].depth <= 0.0f;
}

void TNotchBank::Clear()
{
    for (Slot& s : slots_)
        s = Slot{};
}

void TNotchBank::Tune(Slot& slot, float frequency)
{
    if (slot.depth <= 0.0f && frequency != slot.frequency)
        slot.sections = {};
    slot.frequency = frequency;
    const float g = std::tan(std::numbers::pi_v<float> * frequency / rate_);
    slot.k = SectionWidth / frequency;
    slot.a1 = 1.0f / (1.0f + g * (g + slot.k));
    slot.a2 = g * slot.a1;
    slot.a3 = g * slot.a2;
}

// Moves the depth one sample towards its target; a slot that has faded out
// on its way to a far frequency is retuned there.
void TNotchBank::Step(Slot& slot)
{
    const bool atTarget = slot.on && slot.frequency == slot.wanted;
    if (atTarget)
        slot.depth = std::fmin(1.0f, slot.depth + rampStep_);
    else
        slot.depth = std::fmax(0.0f, slot.depth - rampStep_);
    if (slot.depth <= 0.0f && slot.on && slot.frequency != slot.wanted)
        Tune(slot, slot.wanted);
}

void TNotchBank::Process(std::span<float> samples)
{
    for (Slot& slot : slots_)
    {
        if (!slot.on && slot.depth <= 0.0f)
            continue;
        std::size_t i = 0;
        // While the depth ramps (or the slot waits to move) step by step;
        // at full depth the coefficients stay put for the rest.
        for (; i < samples.size() &&
               !(slot.depth >= 1.0f && slot.on && slot.frequency == slot.wanted);
             ++i)
        {
            Step(slot);
            if (slot.frequency <= 0.0f)
                continue;
            samples[i] = Reject(slot, slot.sections[0], samples[i], slot.depth);
            samples[i] = Reject(slot, slot.sections[1], samples[i], slot.depth);
        }
        if (i < samples.size())
            RejectSteady(slot, samples.subspan(i));
    }
}

void TNotchBank::RejectSteady(Slot& slot, std::span<float> samples)
{
    // A local copy, so that the compiler keeps the state in registers.
    Slot local = slot;
    for (float& x : samples)
    {
        x = Reject(local, local.sections[0], x, 1.0f);
        x = Reject(local, local.sections[1], x, 1.0f);
    }
    slot.sections = local.sections;
}

} // namespace keb
