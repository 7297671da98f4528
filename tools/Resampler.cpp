#include "tools/Resampler.h"

#include "platform/core/Exceptions.h"

#include <cmath>
#include <soxr.h>
#include <string>

namespace keb
{
namespace
{
constexpr std::size_t ChunkFrames = 4096;
} // namespace

TResampler::TResampler(double inputRate, double outputRate) : ratio_(outputRate / inputRate)
{
    soxr_error_t error = nullptr;
    soxr_io_spec_t io = soxr_io_spec(SOXR_FLOAT32_I, SOXR_FLOAT32_I);
    soxr_quality_spec_t quality = soxr_quality_spec(SOXR_HQ, 0);
    // One thread: the tool is a single pipeline and is measured on one core.
    soxr_runtime_spec_t runtime = soxr_runtime_spec(1);
    converter_ = soxr_create(inputRate, outputRate, 1, &error, &io, &quality, &runtime);
    if (converter_ == nullptr || error != nullptr)
        throw EOutOfMemory(std::string("cannot make a sample-rate converter: ") +
                           (error != nullptr ? error : "no memory"));
}

TResampler::~TResampler()
{
    soxr_delete(converter_);
}

std::int64_t TResampler::OutputLength(std::int64_t inputFrames) const
{
    return std::llround(static_cast<double>(inputFrames) * ratio_);
}

void TResampler::Process(const float* input, std::size_t count, std::vector<float>& output)
{
    framesIn_ += static_cast<std::int64_t>(count);
    Drain(input, count, output);
}

// Feeds `count` samples (none: the end of the stream) and collects the output
// chunk by chunk until the converter has nothing more for now.
void TResampler::Drain(const float* input, std::size_t count, std::vector<float>& output)
{
    for (;;)
    {
        std::size_t start = output.size();
        output.resize(start + ChunkFrames);
        std::size_t used = 0;
        std::size_t made = 0;
        soxr_error_t error = soxr_process(converter_, input, count, &used, output.data() + start,
                                          ChunkFrames, &made);
        output.resize(start + made);
        framesOut_ += static_cast<std::int64_t>(made);
        if (error != nullptr)
            throw Exception(std::string("sample-rate conversion failed: ") + error);
        if (input != nullptr)
        {
            input += used;
            count -= used;
        }
        if (made < ChunkFrames && count == 0)
            return;
    }
}

void TResampler::Flush(std::vector<float>& output)
{
    Drain(nullptr, 0, output);
    std::int64_t wanted = OutputLength(framesIn_);
    std::int64_t excess = framesOut_ - wanted;
    if (excess > 0)
        output.resize(output.size() - static_cast<std::size_t>(std::min<std::int64_t>(
                                          excess, static_cast<std::int64_t>(output.size()))));
    else
        output.resize(output.size() + static_cast<std::size_t>(-excess), 0.0f);
    framesOut_ = wanted;
}

} // namespace keb
