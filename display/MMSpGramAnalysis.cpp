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
    if (length == FFTLength_ && Plan_)
        return;
    std::unique_ptr<TRealFFTPlan, TPlanDeleter> plan(InitRealFFT(Log2(length)));
    if (!plan)
        throw EOutOfMemory("Out of memory");
    Plan_ = std::move(plan);
    FFTLength_ = length;
    BuildFFTWindowTable(WindowTable_.data(), Window_, Log2(length));
}

void TMMSpectrogramAnalysis::SetWindow(TMMFFTWindow value)
{
    Window_ = value;
    BuildFFTWindowTable(WindowTable_.data(), Window_, Log2(FFTLength_));
}

void TMMSpectrogramAnalysis::SetMode(TMMMode value)
{
    if (value == mMono || value == mStereo)
        Mode_ = value;
}

int TMMSpectrogramAnalysis::AmplitudeScale() const
{
    return static_cast<int>(std::lround(AmplitudeFactor_ * 100.0f));
}

void TMMSpectrogramAnalysis::SetAmplitudeScale(int value)
{
    // The product in double precision, rounded once to single: a single-precision
    // 0.01 would round twice and put 5, 10, 20 ... one colour step low.
    AmplitudeFactor_ = static_cast<float>(Clamp(value, 0, 1000) * 0.01);
}

void TMMSpectrogramAnalysis::SetSensitivy(int value)
{
    Sensitivy_ = Clamp(value, -90, -9);
}

std::int32_t TMMSpectrogramAnalysis::BlockBytes() const
{
    return (BitLength_ + 1) * (Mode_ + 1) * FFTLength_;
}

void TMMSpectrogramAnalysis::Analyse(const std::uint8_t* block,
                                     const std::function<void()>& onOverflow)
{
    LoadSeries(block, onOverflow);
    Emphasise();
    ApplyWindow();
    RealFFT(Plan_.get(), Frame_.data(), 1);
    ScaleSpectrum();
    ComputeColourValues();
}

int TMMSpectrogramAnalysis::OverflowThreshold() const
{
    if (BitLength_ == b8Bit)
        return 255;
    // The average of two channels reaches 32767 only when both do, so it
    // counts from 32766 (except with the second difference).
    if (Mode_ == mStereo && Channel_ == chBoth && Gain_ != sgr12db)
        return 32766;
    return 32767;
}

void TMMSpectrogramAnalysis::LoadSeries(const std::uint8_t* block,
                                        const std::function<void()>& onOverflow)
{
    const bool wide = BitLength_ == b16Bit;
    const int sampleBytes = wide ? 2 : 1;
    const int frameBytes = sampleBytes * (Mode_ + 1);
    const int threshold = OverflowThreshold();
    for (int i = 0; i < FFTLength_; ++i)
    {
        const std::uint8_t* frame = block + static_cast<std::ptrdiff_t>(i) * frameBytes;
        auto sample = [&](int channel)
        { return wide ? Sample16(frame + 2 * channel) : std::int32_t{frame[channel]}; };
        std::int32_t value = sample(0);
        if (Mode_ == mStereo)
        {
            if (Channel_ == chRight)
                value = sample(1);
            else if (Channel_ == chBoth)
                value = (sample(0) + sample(1)) / 2;
        }
        Series_[i] = value;
        if (value >= threshold && onOverflow)
            onOverflow();
    }
}

void TMMSpectrogramAnalysis::Emphasise()
{
    if (Gain_ == sgrNone)
    {
        if (BitLength_ == b8Bit)
            for (int i = 0; i < FFTLength_; ++i)
                Series_[i] -= 128;
        return;
    }
    // The history before the first sample is the first sample itself.
    std::int32_t previous = Series_[0];
    std::int32_t beforePrevious = Series_[0];
    for (int i = 0; i < FFTLength_; ++i)
    {
        const std::int32_t current = Series_[i];
        Series_[i] = Gain_ == sgr6db ? current - previous : current - 2 * previous + beforePrevious;
        beforePrevious = previous;
        previous = current;
    }
}

void TMMSpectrogramAnalysis::ApplyWindow()
{
    const std::int64_t divisor = BitLength_ == b16Bit ? 32768 : 128;
    for (int i = 0; i < FFTLength_; ++i)
        Frame_[i] = static_cast<float>(std::int64_t{Series_[i]} * WindowTable_[i] / divisor);
    Frame_[FFTLength_] = 0.0f;
}

void TMMSpectrogramAnalysis::ScaleSpectrum()
{
    const double half = FFTLength_ / 2;
    constexpr double lowest = std::numeric_limits<std::int16_t>::min();
    constexpr double highest = std::numeric_limits<std::int16_t>::max();
    for (int i = 0; i <= FFTLength_; ++i)
        Spectrum_[i] =
            static_cast<std::int16_t>(Clamp(std::trunc(Frame_[i] / half), lowest, highest));
}

void TMMSpectrogramAnalysis::ComputeColourValues()
{
    const double factor = AmplitudeFactor_;
    const double offset = -90.0 - Sensitivy_;
    for (int k = 0; k < Bins(); ++k)
    {
        const std::int64_t re = Spectrum_[2 * k];
        const std::int64_t im = Spectrum_[2 * k + 1];
        const std::int64_t power = re * re + im * im;
        const double value =
            LogAmp_
                ? std::log(static_cast<double>(std::max<std::int64_t>(power, 1))) * 20.0 * factor +
                      2.0 * offset
                : std::sqrt(static_cast<double>(power)) * factor + offset;
        ColourValues_[k] = static_cast<std::int32_t>(std::trunc(value)) + SpectrogramPaletteBase;
    }
}

} // namespace keb
