// The noise floor of a spectrum by minimum statistics: the power of each bin
// is smoothed over time and the floor is the smallest smoothed value of the
// last WindowSeconds (kept as the minima of SubWindows shorter stretches, so
// the search costs little per frame), times a bias factor that lifts the
// minimum of a noisy estimate back to its mean. Signals rarely fill a bin
// for a whole window, so the floor follows the noise, up or down, within
// about WindowSeconds, with no "learn the noise" step.
//
// Memory is allocated at construction; Update allocates nothing.
#pragma once

#include <span>
#include <vector>

namespace keb
{

class TNoiseFloorTracker
{
  public:
    static constexpr float WindowSeconds = 2.5f;
    static constexpr int SubWindows = 8;
    // The smoothing of the power per frame.
    static constexpr float Smoothing = 0.5f;
    // Mean over minimum of white noise smoothed as above (measured).
    static constexpr float Bias = 8.9f;

    TNoiseFloorTracker(int bins, float framesPerSecond);

    void Clear();
    // One frame's power per bin; the first frame after Clear starts every
    // estimate at its own value.
    void Update(std::span<const float> power);
    std::span<const float> Floor() const { return floor_; }

  private:
    int bins_;
    int framesPerSub_;
    int frameInSub_ = 0;
    int sub_ = 0;
    bool started_ = false;
    std::vector<float> smoothed_, current_, floor_;
    std::vector<float> minima_; // SubWindows rows of bins
    // The smallest of the finished rows (all but the one being filled).
    std::vector<float> finished_;
};

} // namespace keb
