// A streaming sample-rate converter for one channel of float samples, over
// libsoxr at its high quality.
//
// The output of a whole stream has exactly round(input frames x out / in)
// frames: Flush cuts what the converter gives beyond that and fills what it
// gives short of it with silence, so a recording's length in seconds is kept.
// Not thread-safe. Raises EOutOfMemory when the converter cannot be made.
#pragma once

#include <cstdint>
#include <vector>

typedef struct soxr* soxr_t;

namespace keb
{

class TResampler
{
  public:
    TResampler(double inputRate, double outputRate);
    ~TResampler();
    TResampler(const TResampler&) = delete;
    TResampler& operator=(const TResampler&) = delete;

    // Converts `count` more input samples; appends what comes out to `output`.
    void Process(const float* input, std::size_t count, std::vector<float>& output);
    // Ends the stream: appends the rest, to the stream's exact length.
    void Flush(std::vector<float>& output);

    // The length of a stream of `inputFrames` frames after conversion.
    std::int64_t OutputLength(std::int64_t inputFrames) const;

  private:
    void Drain(const float* input, std::size_t count, std::vector<float>& output);

    soxr_t converter_ = nullptr;
    double ratio_;
    std::int64_t framesIn_ = 0;
    std::int64_t framesOut_ = 0;
};

} // namespace keb
