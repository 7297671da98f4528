#include "ToneAnalysis.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace keb::test
{

std::vector<double> ChannelOf(const std::vector<std::uint8_t>& Bytes, const TWaveFormatEx& Format,
                              std::size_t Channel)
{
    const std::size_t SampleBytes = Format.wBitsPerSample / 8;
    std::vector<double> Samples;
    for (std::size_t Offset = Channel * SampleBytes; Offset + SampleBytes <= Bytes.size();
         Offset += Format.nBlockAlign)
    {
        if (SampleBytes == 1)
        {
            Samples.push_back((Bytes[Offset] - 128) / 128.0);
        }
        else
        {
            const auto Value = static_cast<std::int16_t>(Bytes[Offset] | Bytes[Offset + 1] << 8);
            Samples.push_back(Value / 32768.0);
        }
    }
    return Samples;
}

std::vector<std::uint8_t> SineBytes(double Frequency, double Amplitude, std::size_t Frames,
                                    const TWaveFormatEx& Format)
{
    std::vector<std::uint8_t> Bytes;
    for (std::size_t Frame = 0; Frame < Frames; ++Frame)
    {
        const double Value =
            Amplitude * std::sin(2 * std::numbers::pi * Frequency * Frame / Format.nSamplesPerSec);
        const auto Sample = static_cast<std::int16_t>(std::lround(Value * 32767));
        for (int Channel = 0; Channel < Format.nChannels; ++Channel)
        {
            if (Format.wBitsPerSample == 8)
            {
                Bytes.push_back(
                    static_cast<std::uint8_t>((static_cast<std::uint16_t>(Sample) >> 8) ^ 0x80));
            }
            else
            {
                Bytes.push_back(static_cast<std::uint8_t>(Sample & 0xFF));
                Bytes.push_back(static_cast<std::uint8_t>(static_cast<std::uint16_t>(Sample) >> 8));
            }
        }
    }
    return Bytes;
}

double ToneFrequency(const std::vector<double>& Samples, double Rate)
{
    double First = -1;
    double Last = -1;
    std::size_t Crossings = 0;
    for (std::size_t Index = 1; Index < Samples.size(); ++Index)
    {
        if (Samples[Index - 1] < 0 && Samples[Index] >= 0)
        {
            const double At =
                Index - 1 + Samples[Index - 1] / (Samples[Index - 1] - Samples[Index]);
            First = Crossings == 0 ? At : First;
            Last = At;
            ++Crossings;
        }
    }
    return Crossings < 2 ? 0 : (Crossings - 1) * Rate / (Last - First);
}

double Rms(const std::vector<double>& Samples)
{
    double Sum = 0;
    for (const double Sample : Samples)
    {
        Sum += Sample * Sample;
    }
    return Samples.empty() ? 0 : std::sqrt(Sum / Samples.size());
}

double SineAmplitude(const std::vector<double>& Samples, std::size_t First, std::size_t Count,
                     double Frequency, double Rate)
{
    double Real = 0;
    double Imaginary = 0;
    double WindowSum = 0;
    for (std::size_t Index = 0; Index < Count; ++Index)
    {
        const double Window =
            0.5 - 0.5 * std::cos(2 * std::numbers::pi * static_cast<double>(Index) /
                                 static_cast<double>(Count - 1));
        const double Phase = 2 * std::numbers::pi * Frequency * static_cast<double>(Index) / Rate;
        Real += Window * Samples[First + Index] * std::cos(Phase);
        Imaginary += Window * Samples[First + Index] * std::sin(Phase);
        WindowSum += Window;
    }
    return 2 * std::hypot(Real, Imaginary) / WindowSum;
}

Span LoudSpan(const std::vector<double>& Samples, double Level)
{
    const auto Loud = [Level](double Sample) { return std::abs(Sample) >= Level; };
    const auto First = std::find_if(Samples.begin(), Samples.end(), Loud);
    if (First == Samples.end())
    {
        return {0, 0};
    }
    const auto Last = std::find_if(Samples.rbegin(), Samples.rend(), Loud);
    return {static_cast<std::size_t>(First - Samples.begin()),
            static_cast<std::size_t>(Samples.rend() - Last)};
}

std::vector<double> Slice(const std::vector<double>& Samples, std::size_t Begin, std::size_t End)
{
    End = std::min(End, Samples.size());
    Begin = std::min(Begin, End);
    return {Samples.begin() + static_cast<std::ptrdiff_t>(Begin),
            Samples.begin() + static_cast<std::ptrdiff_t>(End)};
}

} // namespace keb::test
