#include "dsp/NoiseReducer.h"

#include <algorithm>

namespace keb
{

TMMNoiseReducer::TMMNoiseReducer(TComponent* owner)
    : TMMChannelKernels<TNoiseReductionKernel>(owner)
{
}

TMMNoiseReducer::~TMMNoiseReducer() = default;

void TMMNoiseReducer::SetLevel(int value)
{
    level_.store(std::clamp(value, 0, MaxLevel), std::memory_order_relaxed);
}

} // namespace keb
