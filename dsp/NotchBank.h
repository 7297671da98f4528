// A bank of narrow notches applied sample by sample, for one channel.
//
// Each slot is two cascaded state-variable band-reject sections (trapezoidal
// integration, which stays stable and quiet while its coefficients move) of
// SectionWidth Hz each; together they are about 28 Hz wide at -3 dB and take
// a tone within 1.6 Hz of the centre down by more than 30 dB. A slot's depth
// ramps between 0 and 1 over RampSeconds, so a notch fades in and out
// without a click. A slot that must move further than a drift (more than
// JumpHz) first fades out, then moves and fades in again; a smaller move (a
// drifting carrier) retunes it in place. Nothing is allocated after
// construction; no delay is added.
#pragma once

#include <array>
#include <span>

namespace keb
{

class TNotchBank
{
  public:
    static constexpr int Slots = 8;
    static constexpr float SectionWidth = 18.0f;
    static constexpr float RampSeconds = 0.02f;
    static constexpr float JumpHz = 6.0f;

    explicit TNotchBank(int sampleRate);

    // Asks slot to notch frequency (on) or to fade out (off). Frequencies
    // outside 20 Hz .. 0.45 of the sample rate turn the slot off.
    void Set(int slot, bool on, float frequency);
    // True when the slot is faded out and may take any new frequency at once.
    bool Idle(int slot) const;
    float Frequency(int slot) const { return slots_[slot].Frequency; }
    void Clear();

    // Notches the samples, in place.
    void Process(std::span<float> samples);

  private:
    struct TSection
    {
        float Ic1 = 0, Ic2 = 0;
    };
    struct TSlot
    {
        float Frequency = 0; // where the sections are tuned
        float Wanted = 0;    // where the slot should go
        bool On = false;
        float Depth = 0;
        float K = 0, A1 = 0, A2 = 0, A3 = 0;
        std::array<TSection, 2> Sections{};
    };

    void Tune(TSlot& slot, float frequency);
    void Step(TSlot& slot);
    // Both sections at full depth over samples.
    static void RejectSteady(TSlot& slot, std::span<float> samples);

    std::array<TSlot, Slots> slots_{};
    float rate_;
    float rampStep_;
};

} // namespace keb
