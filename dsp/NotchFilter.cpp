#include "dsp/NotchFilter.h"

#include <algorithm>
#include <cmath>

namespace keb
{

namespace
{

constexpr int FieldBits = 16;
constexpr std::uint64_t FieldMask = 0xFFFF;

TNotchKernel::TManual Unpack(std::uint64_t packed)
{
    TNotchKernel::TManual manual{};
    for (int n = 0; n < TNotchKernel::ManualNotches; ++n)
        manual[static_cast<std::size_t>(n)] =
            static_cast<float>((packed >> (FieldBits * n)) & FieldMask) / 4.0f;
    return manual;
}

std::uint64_t Pack(std::span<const float> frequencies)
{
    std::uint64_t packed = 0;
    int n = 0;
    for (float frequency : frequencies)
    {
        if (n == TNotchKernel::ManualNotches)
            break;
        const long quarters =
            std::lround(std::min(frequency, TMMNotchFilter::MaxNotchFrequency) * 4.0f);
        if (!(frequency > 0.0f) || quarters <= 0)
            continue;
        packed |= static_cast<std::uint64_t>(quarters) << (FieldBits * n++);
    }
    return packed;
}

} // namespace

TMMNotchFilter::TMMNotchFilter(TComponent* owner) : TMMSampleProcessor(owner) {}

TMMNotchFilter::~TMMNotchFilter() = default;

std::vector<float> TMMNotchFilter::ManualNotches() const
{
    std::vector<float> notches;
    for (float frequency : Unpack(manual_.load(std::memory_order_relaxed)))
        if (frequency > 0.0f)
            notches.push_back(frequency);
    return notches;
}

void TMMNotchFilter::SetManualNotches(std::span<const float> frequencies)
{
    manual_.store(Pack(frequencies), std::memory_order_relaxed);
}

void TMMNotchFilter::AddManualNotch(float frequency)
{
    std::vector<float> notches = ManualNotches();
    if (static_cast<int>(notches.size()) == MaxManualNotches)
        notches.erase(notches.begin());
    notches.push_back(frequency);
    SetManualNotches(notches);
}

void TMMNotchFilter::Prepare(int sampleRate, int channels)
{
    if (sampleRate == preparedRate_ && static_cast<int>(kernels_.size()) == channels)
        return;
    kernels_.clear();
    for (int c = 0; c < channels; ++c)
        kernels_.push_back(std::make_unique<TNotchKernel>(sampleRate));
    preparedRate_ = sampleRate;
}

void TMMNotchFilter::Restart()
{
    for (auto& kernel : kernels_)
        kernel->Clear();
}

void TMMNotchFilter::ProcessFrames(std::int16_t* samples, int frames, int channels)
{
    const bool automatic = Automatic();
    const TNotchKernel::TManual manual = Unpack(manual_.load(std::memory_order_relaxed));
    for (int c = 0; c < channels; ++c)
    {
        TNotchKernel& kernel = *kernels_[static_cast<std::size_t>(c)];
        kernel.Apply(automatic, manual);
        for (int i = 0; i < frames; ++i)
        {
            std::int16_t& sample = samples[static_cast<std::size_t>(i * channels + c)];
            sample = RoundToPcm16(kernel.Process(static_cast<float>(sample)));
        }
    }
}

} // namespace keb
