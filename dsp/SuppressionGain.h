// The gain of each bin from its power and its noise floor: the a-priori
// signal-to-noise ratio by the decision-directed rule (mostly the previous
// frame's cleaned power, a little of this frame's excess), and the
// log-spectral-amplitude estimator's gain from it. The a-priori ratio moves
// smoothly where there is only noise, which keeps the residual noise free of
// musical tones, and jumps up within one frame when a signal starts, which
// keeps the keying of CW.
//
// The level sets how hard it works: the gain never drops below the floor,
// the a-priori ratio never below its minimum, and the noise is taken as
// somewhat louder than measured at the higher levels. A bin whose noise is
// below the quiet level (about the noise of the 16-bit samples themselves),
// or more than InaudibleDb below the loudest bin of the last seconds, has no
// noise worth taking and keeps a gain of 1, so a clean recording passes
// unchanged.
//
// Memory (and the table of the estimator's exponential-integral term) is
// made at construction; Update allocates nothing.
#pragma once

#include <span>
#include <vector>

namespace keb
{

class TSuppressionGain
{
  public:
    static constexpr int Levels = 3;
    // Weight of the previous frame in the a-priori ratio.
    static constexpr float DecisionWeight = 0.98f;
    // The same where a signal starts: the power rises above the estimate and
    // stands OnsetRatio above the noise (noise alone gets there once in
    // thousands of frames), so the first frames of a CW element pass.
    static constexpr float RiseWeight = 0.5f;
    static constexpr float OnsetRatio = 8.0f;
    static constexpr float InaudibleDb = 50.0f;
    // How fast the loudest bin is forgotten: 10 dB in this many frames.
    static constexpr float LoudestFrames = 300.0f;

    struct TSetting
    {
        float GainFloorDb;
        float PrioriMinDb;
        float Overestimate;
    };
    // Level 1 gentle, 2 normal, 3 strong.
    static TSetting ForLevel(int level);

    TSuppressionGain(int bins, float quietNoise);

    void Clear();
    void Update(std::span<const float> power, std::span<const float> noise, int level);
    std::span<const float> Gains() const { return gain_; }

  private:
    float LsaFactor(float v) const;

    std::vector<float> gain_, lastPosteriori_;
    std::vector<float> table_;
    float quietNoise_;
    float loudest_ = 0;
    bool started_ = false;
};

} // namespace keb
