// The end of the tool's chain: takes the filtered 8000 Hz samples, drops the
// first ones an aligned run primed the equalizer with, converts them to the
// output's rate when it differs, and writes them (SoundFileWriter.h).
// Observers see the kept 8000 Hz samples before any conversion (the output
// waterfall). Errors are the writer's. Not thread-safe.
#pragma once

#include "tools/Resampler.h"
#include "tools/SoundFileWriter.h"

#include <functional>
#include <memory>
#include <vector>

namespace keb
{

class TOutputStage
{
  public:
    using TObserver = std::function<void(std::span<const std::int16_t> samples)>;

    // expectedSamples: the filter-rate samples the run should keep, or -1
    // when unknown (it picks the WAV layout, SoundFileWriter.h).
    TOutputStage(const std::filesystem::path& file, int filterRate, int outputRate,
                 std::int64_t expectedSamples);

    void SetSkip(std::int64_t samples) { skip_ = samples; }
    void AddObserver(TObserver observer) { observers_.push_back(std::move(observer)); }

    void Write(std::span<const std::int16_t> samples);
    // Flushes the converter and puts the file in place.
    void Finish();

    // Filter-rate samples kept so far, and samples in the file.
    std::int64_t SamplesKept() const { return kept_; }
    std::int64_t SamplesWritten() const { return writer_.SamplesWritten(); }

  private:
    void WriteConverted(const std::vector<float>& samples);

    TSoundFileWriter writer_;
    std::unique_ptr<TResampler> resampler_;
    std::vector<TObserver> observers_;
    std::vector<float> floats_;
    std::vector<float> converted_;
    std::vector<std::int16_t> pcm_;
    std::int64_t skip_ = 0;
    std::int64_t kept_ = 0;
};

} // namespace keb
