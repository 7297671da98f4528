#include "display/MMSpGramAnalysis.h"

#include "platform/core/Exceptions.h"
#include "stream/MMUtils.h"

#include <cmath>
#include <cstring>
#include <limits>

namespace keb
{

namespace
{

std::int32_t Sample16(const std::uint8_t* at)
{
    std::int16_t value;
    std::memcpy(&value, at, sizeof value);
    return value;
}

int Log2(int powerOfTwo)
{
    int order = 0;
    while ((1 << (order + 1)) <= powerOfTwo)
        ++order;
    return order;
}

} // namespace

TMMSpectrogramAnalysis::TMMSpectrogramAnalysis()
{
    SetFFTLength(128);
}

TMMSpectrogramAnalysis::~TMMSpectrogramAnalysis() = default;

void TMMSpectrogramAnalysis::SetFFTLength(int value)
{
    const int length = 1 << Log2(Clamp(value, SpectrogramMinFFT, SpectrogramMaxFFT));
    if (length == fftLength_ && plan_)
        return;
    std::unique_ptr<TRealFFTPlan, TPlanDeleter> plan(InitRealFFT(Log2(length)));
    if (!plan)
        throw EOutOfMemory("Out of memory");
    plan_ = std::move(plan);
    fftLength_ = length;
    BuildFFTWindowTable(windowTable_.data(), window_, Log2(length));
}

void TMMSpectrogramAnalysis::SetWindow(TMMFFTWindow value)
{
    window_ = value;
    BuildFFTWindowTable(windowTable_.data(), window_, Log2(fftLength_));
}

void TMMSpectrogramAnalysis::SetMode(TMMMode value)
{
    if (value == mMono || value == mStereo)
        mode_ = value;
}

int TMMSpectrogramAnalysis::AmplitudeScale() const
{
    return static_cast<int>(std::lround(amplitudeFactor_ * 100.0f));
}

void TMMSpectrogramAnalysis::SetAmplitudeScale(int value)
{
    // The product in double precision, rounded once to single: a single-precision
    // 0.01 would round twice and put 5, 10, 20 ... one colour step low.
    amplitudeFactor_ = static_cast<float>(Clamp(value, 0, 1000) * 0.01);
}

void TMMSpectrogramAnalysis::SetSensitivy(int value)
{
    sensitivy_ = Clamp(value, -90, -9);
}

std::int32_t TMMSpectrogramAnalysis::BlockBytes() const
{
    return (bitLength_ + 1) * (mode_ + 1) * fftLength_;
}

void TMMSpectrogramAnalysis::Analyse(const std::uint8_t* block,
                                     const std::function<void()>& onOverflow)
{
    LoadSeries(block, onOverflow);
    Emphasise();
    ApplyWindow();
    RealFFT(plan_.get(), frame_.data(), 1);
    ScaleSpectrum();
    ComputeColourValues();
}

int TMMSpectrogramAnalysis::OverflowThreshold() const
{
    if (bitLength_ == b8Bit)
        return 255;
    // The average of two channels reaches 32767 only when both do, so it
    // counts from 32766 (except with the second difference).
    if (mode_ == mStereo && channel_ == chBoth && gain_ != sgr12db)
        return 32766;
    return 32767;
}

void TMMSpectrogramAnalysis::LoadSeries(const std::uint8_t* block,
                                        const std::function<void()>& onOverflow)
{
    const bool wide = bitLength_ == b16Bit;
    const int sampleBytes = wide ? 2 : 1;
    const int frameBytes = sampleBytes * (mode_ + 1);
    const int threshold = OverflowThreshold();
    for (int i = 0; i < fftLength_; ++i)
    {
        const std::uint8_t* frame = block + static_cast<std::ptrdiff_t>(i) * frameBytes;
        auto sample = [&](int channel)
        { return wide ? Sample16(frame + 2 * channel) : std::int32_t{frame[channel]}; };
        std::int32_t value = sample(0);
        if (mode_ == mStereo)
        {
            if (channel_ == chRight)
                value = sample(1);
            else if (channel_ == chBoth)
                value = (sample(0) + sample(1)) / 2;
        }
        series_[i] = value;
        if (value >= threshold && onOverflow)
            onOverflow();
    }
}

void TMMSpectrogramAnalysis::Emphasise()
{
    if (gain_ == sgrNone)
    {
        if (bitLength_ == b8Bit)
            for (int i = 0; i < fftLength_; ++i)
                series_[i] -= 128;
        return;
    }
    // The history before the first sample is the first sample itself.
    std::int32_t previous = series_[0];
    std::int32_t beforePrevious = series_[0];
    for (int i = 0; i < fftLength_; ++i)
    {
        const std::int32_t current = series_[i];
        series_[i] = gain_ == sgr6db ? current - previous : current - 2 * previous + beforePrevious;
        beforePrevious = previous;
        previous = current;
    }
}

void TMMSpectrogramAnalysis::ApplyWindow()
{
    const std::int64_t divisor = bitLength_ == b16Bit ? 32768 : 128;
    for (int i = 0; i < fftLength_; ++i)
        frame_[i] = static_cast<float>(std::int64_t{series_[i]} * windowTable_[i] / divisor);
    frame_[fftLength_] = 0.0f;
}

void TMMSpectrogramAnalysis::ScaleSpectrum()
{
    const double half = fftLength_ / 2;
    constexpr double lowest = std::numeric_limits<std::int16_t>::min();
    constexpr double highest = std::numeric_limits<std::int16_t>::max();
    for (int i = 0; i <= fftLength_; ++i)
        spectrum_[i] =
            static_cast<std::int16_t>(Clamp(std::trunc(frame_[i] / half), lowest, highest));
}

void TMMSpectrogramAnalysis::ComputeColourValues()
{
    const double factor = amplitudeFactor_;
    const double offset = -90.0 - sensitivy_;
    for (int k = 0; k < Bins(); ++k)
    {
        const std::int64_t re = spectrum_[2 * k];
        const std::int64_t im = spectrum_[2 * k + 1];
        const std::int64_t power = re * re + im * im;
        const double value =
            logAmp_
                ? std::log(static_cast<double>(std::max<std::int64_t>(power, 1))) * 20.0 * factor +
                      2.0 * offset
                : std::sqrt(static_cast<double>(power)) * factor + offset;
        colourValues_[k] = static_cast<std::int32_t>(std::trunc(value)) + SpectrogramPaletteBase;
    }
}

} // namespace keb
