#include "dsp/NoiseReducer.h"

#include <algorithm>

namespace keb
{

TMMNoiseReducer::TMMNoiseReducer(TComponent* owner) : TMMSampleProcessor(owner) {}

TMMNoiseReducer::~TMMNoiseReducer() = default;

void TMMNoiseReducer::SetLevel(int value)
{
    level_.store(std::clamp(value, 0, MaxLevel), std::memory_order_relaxed);
}

void TMMNoiseReducer::Prepare(int sampleRate, int channels)
{
    if (sampleRate == preparedRate_ && static_cast<int>(kernels_.size()) == channels)
        return;
    kernels_.clear();
    for (int c = 0; c < channels; ++c)
        kernels_.push_back(std::make_unique<TNoiseReductionKernel>(sampleRate));
    preparedRate_ = sampleRate;
}

void TMMNoiseReducer::Restart()
{
    for (auto& kernel : kernels_)
        kernel->Clear();
}

void TMMNoiseReducer::ProcessFrames(std::int16_t* samples, int frames, int channels)
{
    const int level = Level();
    for (int c = 0; c < channels; ++c)
    {
        TNoiseReductionKernel& kernel = *kernels_[static_cast<std::size_t>(c)];
        kernel.SetLevel(level);
        for (int i = 0; i < frames; ++i)
        {
            std::int16_t& sample = samples[static_cast<std::size_t>(i * channels + c)];
            sample = RoundToPcm16(kernel.Process(static_cast<float>(sample)));
        }
    }
}

} // namespace keb
