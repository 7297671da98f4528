// Rate conversion by a whole factor with a polyphase FIR filter
// (RateConverter.h): one linear-phase low-pass at the high rate, designed
// with a Kaiser window, passing the low rate's band to 40% of that rate
// (3.2 kHz at 8000 Hz) within 0.01 dB and keeping what lies above half of it
// (4 kHz) 65 dB down. Its delay is half its length at the high rate (2.5 ms
// between 48000 and 8000 Hz) and it adds no other: the decimator hands out a
// low-rate frame as soon as the Factor high-rate frames it closes are in, the
// interpolator makes a high-rate frame as soon as it is asked for, taking a
// low-rate frame from its supply each Factor frames.
//
// All storage is made at construction; Process and Output do not allocate.
#pragma once

#include "platform/audio/RateConverter.h"

#include <vector>

namespace keb
{

// The filter's taps, at Factor times LowRate, summing to 1.
std::vector<float> PolyphaseLowPass(std::size_t factor, double lowRate);

class TPolyphaseDecimator final : public TCaptureConverter
{
  public:
    TPolyphaseDecimator(std::size_t factor, double lowRate, unsigned channels);

    void Process(const std::int16_t* input, std::size_t frames, std::size_t& used,
                 std::int16_t* output, std::size_t capacity, std::size_t& made) override;
    void Clear() override;
    bool RunsInCallback() const override { return true; }

  private:
    const std::size_t factor_;
    const std::size_t channels_;
    const std::vector<float> taps_; // symmetric
    // Per channel twice the filter's length: each sample is stored at Position
    // and Position + length, so the last length samples are always in a row.
    std::vector<float> history_;
    std::size_t position_ = 0;
    std::size_t phase_ = 0; // high-rate frames in since the last output
};

class TPolyphaseInterpolator final : public TPlaybackConverter
{
  public:
    TPolyphaseInterpolator(std::size_t factor, double lowRate, unsigned channels,
                           TConversionSupply supply, void* state, std::size_t largestPull);

    std::size_t Output(std::int16_t* output, std::size_t frames) override;
    void Clear() override;
    bool RunsInCallback() const override { return true; }

  private:
    bool TakeInput(std::size_t framesWanted);

    const std::size_t factor_;
    const std::size_t channels_;
    const TConversionSupply supply_;
    void* const state_;
    const std::size_t largestPull_;
    std::size_t length_ = 0; // low-rate frames each output reads
    // Factor rows of Length taps, each row one phase of the filter, oldest frame first.
    std::vector<float> phaseTaps_;
    std::vector<float> history_; // as the decimator's, of Length low-rate frames
    std::size_t position_ = 0;
    std::size_t phase_;                     // next output's phase; Factor: a new input frame is due
    const std::int16_t* pending_ = nullptr; // supplied frames not yet taken in
    std::size_t pendingFrames_ = 0;
};

} // namespace keb
