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

TMMNotchFilter::TMMNotchFilter(TComponent* owner) : TMMChannelKernels<TNotchKernel>(owner) {}

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

void TMMNotchFilter::Configure(TNotchKernel& kernel)
{
    kernel.Apply(Automatic(), Unpack(manual_.load(std::memory_order_relaxed)));
}

} // namespace keb
