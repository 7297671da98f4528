// Rate conversion by a ratio of whole numbers with a polyphase FIR filter
// (RateConverter.h): the input, raised Up times in rate by zeros between its
// frames, goes through one linear-phase low-pass at that rate and every
// Down-th frame comes out (48000 to 8000 Hz: up 1, down 6; 8000 to 44100 Hz:
// up 441, down 80). Only the taps that meet input frames are ever summed:
// Up rows ("phases") of them, one per place an output can fall between two
// input frames.
//
// The low-pass, designed with a Kaiser window, passes the lower of the two
// rates' band to 40% of that rate (3.2 kHz at 8000 Hz) within 0.01 dB and
// keeps what lies above half of it (4 kHz) 65 dB down. Its delay is half its
// length (2.5 ms between 8000 Hz and 44100 or 48000 Hz) and it adds no other:
// an output frame comes out as soon as the input frames it needs are in.
//
// All storage is made at construction; Process and Output do not allocate.
#pragma once

#include "platform/audio/RateConverter.h"

#include <vector>

namespace keb
{

// The low-pass's taps at Up times FromRate, summing to Up (the zeros between
// the input frames take that much of the gain).
std::vector<float> PolyphaseLowPass(std::size_t up, double fromRate, double lowRate);

// The filter's state: the last input frames and where the next output falls.
class TPolyphaseFilter
{
  public:
    TPolyphaseFilter(double fromRate, double toRate, unsigned channels);

    // An output frame is due before the next input frame.
    bool OutputDue() const { return offset_ < up_; }
    // Takes an input frame (Channels samples) in.
    void Take(const std::int16_t* frame);
    // Writes the due output frame.
    void Give(std::int16_t* frame);
    void Clear();

  private:
    std::size_t up_ = 1;
    std::size_t down_ = 1;
    std::size_t channels_;
    std::size_t length_ = 0; // input frames each output sums
    // Up rows of Length taps, each row one phase of the filter, oldest frame first.
    std::vector<float> phaseTaps_;
    // Per channel twice Length: each frame is stored at Position and
    // Position + Length, so the last Length frames are always in a row.
    std::vector<float> history_;
    std::size_t position_ = 0;
    // The next output's place after the newest input frame, in steps of the
    // raised rate; Up or more: it needs another input frame first.
    std::size_t offset_;
};

class TPolyphaseCapture final : public TCaptureConverter
{
  public:
    TPolyphaseCapture(double fromRate, double toRate, unsigned channels);

    void Process(const std::int16_t* input, std::size_t frames, std::size_t& used,
                 std::int16_t* output, std::size_t capacity, std::size_t& made) override;
    void Clear() override { filter_.Clear(); }
    bool RunsInCallback() const override { return true; }

  private:
    TPolyphaseFilter filter_;
    const std::size_t channels_;
};

class TPolyphasePlayback final : public TPlaybackConverter
{
  public:
    TPolyphasePlayback(double fromRate, double toRate, unsigned channels, TConversionSupply supply,
                       void* state, std::size_t largestPull);

    std::size_t Output(std::int16_t* output, std::size_t frames) override;
    void Clear() override;
    bool RunsInCallback() const override { return true; }

  private:
    bool TakeInput(std::size_t framesWanted);

    TPolyphaseFilter filter_;
    const std::size_t channels_;
    const double inputPerOutput_;
    const TConversionSupply supply_;
    void* const state_;
    const std::size_t largestPull_;
    const std::int16_t* pending_ = nullptr; // supplied frames not yet taken in
    std::size_t pendingFrames_ = 0;
};

} // namespace keb
