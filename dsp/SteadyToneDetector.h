// Finds the tones that stay put in one channel and follows them, for the
// automatic notch.
//
// Every Hop samples (half a frame) the last FrameLength samples (about 32 ms,
// Hann window) are transformed. A bin holds a peak when it is a local maximum at least
// PeakRatioDb above the quieter of the two stretches of spectrum beside it
// (3 to 12 bins away, so that a nearby signal does not hide it) and above an
// absolute floor (-80 dB full scale). Each bin keeps a presence: the share of
// recent frames (time constant PresenceSeconds) with a peak within one bin.
// A bin whose presence reaches StartPresence is a steady tone and takes a
// free tracker, at the peak's frequency interpolated between bins. Keyed CW
// is present in about half of the frames and never gets there; a carrier
// does within about 0.7 s.
//
// A tracker follows the nearest peak within 1.5 bins, moving a quarter of
// the way to it every frame (a drift of 20 Hz in 30 s lags by well under a
// hertz), and keeps a presence of its own; it lets go when that falls below
// ReleasePresence (about 0.15 s after its tone stops). Tones within two bins
// of a tracked or an excluded frequency (the user's own notches) take no
// tracker.
//
// Memory is allocated at construction; Push allocates nothing.
#pragma once

#include "dsp/MMFFT.h"

#include <array>
#include <memory>
#include <span>
#include <vector>

namespace keb
{

class TSteadyToneDetector
{
  public:
    static constexpr int Trackers = 4;
    static constexpr float PeakRatioDb = 12.0f;
    static constexpr float PresenceSeconds = 0.3f;
    static constexpr float StartPresence = 0.9f;
    static constexpr float ReleasePresence = 0.6f;

    struct TTracker
    {
        bool Active = false;
        float Frequency = 0;
        float Presence = 0;
    };

    explicit TSteadyToneDetector(int sampleRate);
    ~TSteadyToneDetector();

    // The samples still missing from the current frame.
    std::size_t Remaining() const { return static_cast<std::size_t>(hop_ - filled_); }
    // Input samples, at most Remaining(); true when they completed a frame,
    // which has then been analysed.
    bool Push(std::span<const float> samples);
    void Clear();

    const TTracker& Tracked(int index) const { return trackers_[index]; }
    // Frequencies where no tracker may start (the user's notches); at most
    // Trackers, zero for none.
    void SetExcluded(std::span<const float> frequencies);
    // Releases a tracker (its frequency may be taken again at once).
    void Release(int index) { trackers_[index] = TTracker{}; }
    // Whether index may take a new tone; the owner refuses while the notch
    // behind it is still fading out.
    std::array<bool, Trackers> Available{true, true, true, true};

    int FrameLength() const { return length_; }
    int Hop() const { return hop_; }

  private:
    struct TPeak
    {
        int Bin;
        float Frequency;
    };

    void Analyse();
    void FindPeaks();
    float Interpolate(int bin) const;
    void FollowTrackers();
    void StartTrackers();
    bool NearTaken(float frequency) const;
    const TPeak* NearestPeak(float frequency, float within) const;

    struct TPlanDeleter
    {
        void operator()(TRealFFTPlan* plan) const { DoneRealFFT(plan); }
    };

    int length_;
    int hop_;
    float binHz_;
    float presenceStep_;
    float floor_;
    std::unique_ptr<TRealFFTPlan, TPlanDeleter> plan_;
    std::vector<float> window_, history_, frame_, power_, presence_;
    std::vector<TPeak> peaks_;
    int peakCount_ = 0;
    int filled_ = 0;
    std::array<TTracker, Trackers> trackers_{};
    std::array<float, Trackers> excluded_{};
};

} // namespace keb
