#include "tools/OutputStage.h"

#include "dsp/PcmConversion.h"

#include <algorithm>

namespace keb
{

namespace
{

std::int64_t ExpectedOutputSamples(std::int64_t filterSamples, int filterRate, int outputRate)
{
    // A length past any real recording means the input did not say (a pipe).
    constexpr double unknownPast = 1e15;
    const double samples = static_cast<double>(filterSamples) * outputRate / filterRate;
    return filterSamples < 0 || samples > unknownPast ? -1 : static_cast<std::int64_t>(samples);
}

} // namespace

TOutputStage::TOutputStage(const std::filesystem::path& file, int filterRate, int outputRate,
                           std::int64_t expectedSamples)
    : writer_(file, outputRate, ExpectedOutputSamples(expectedSamples, filterRate, outputRate))
{
    if (outputRate != filterRate)
        resampler_ = std::make_unique<TResampler>(filterRate, outputRate);
}

void TOutputStage::Write(std::span<const std::int16_t> samples)
{
    std::size_t skipped = static_cast<std::size_t>(
        std::min<std::int64_t>(skip_, static_cast<std::int64_t>(samples.size())));
    skip_ -= static_cast<std::int64_t>(skipped);
    samples = samples.subspan(skipped);
    if (samples.empty())
        return;
    kept_ += static_cast<std::int64_t>(samples.size());
    for (const auto& observer : observers_)
        observer(samples);
    if (!resampler_)
    {
        writer_.Write(samples);
        return;
    }
    floats_.resize(samples.size());
    Pcm16ToFloat(samples.data(), samples.size(), 1.0f / 32768.0f, floats_.data());
    converted_.clear();
    resampler_->Process(floats_.data(), floats_.size(), converted_);
    WriteConverted(converted_);
}

void TOutputStage::WriteConverted(const std::vector<float>& samples)
{
    pcm_.resize(samples.size());
    RoundToPcm16(samples.data(), samples.size(), 32768.0f, pcm_.data());
    writer_.Write(pcm_);
}

void TOutputStage::Finish()
{
    if (resampler_)
    {
        converted_.clear();
        resampler_->Flush(converted_);
        WriteConverted(converted_);
    }
    writer_.Finish();
}

} // namespace keb
