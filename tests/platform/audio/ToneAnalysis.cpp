#include "ToneAnalysis.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace keb::test
{

std::vector<double> ChannelOf(const std::vector<std::uint8_t>& bytes, const TWaveFormatEx& format,
                              std::size_t channel)
{
    const std::size_t sampleBytes = format.wBitsPerSample / 8;
    std::vector<double> samples;
    for (std::size_t offset = channel * sampleBytes; offset + sampleBytes <= bytes.size();
         offset += format.nBlockAlign)
    {
        if (sampleBytes == 1)
        {
            samples.push_back((bytes[offset] - 128) / 128.0);
        }
        else
        {
            const auto value = static_cast<std::int16_t>(bytes[offset] | bytes[offset + 1] << 8);
            samples.push_back(value / 32768.0);
        }
    }
    return samples;
}

std::vector<std::uint8_t> SineBytes(double frequency, double amplitude, std::size_t frames,
                                    const TWaveFormatEx& format)
{
    std::vector<std::uint8_t> bytes;
    for (std::size_t frame = 0; frame < frames; ++frame)
    {
        const double value =
            amplitude * std::sin(2 * std::numbers::pi * frequency * frame / format.nSamplesPerSec);
        const auto sample = static_cast<std::int16_t>(std::lround(value * 32767));
        for (int channel = 0; channel < format.nChannels; ++channel)
        {
            if (format.wBitsPerSample == 8)
            {
                bytes.push_back(
                    static_cast<std::uint8_t>((static_cast<std::uint16_t>(sample) >> 8) ^ 0x80));
            }
            else
            {
                bytes.push_back(static_cast<std::uint8_t>(sample & 0xFF));
                bytes.push_back(static_cast<std::uint8_t>(static_cast<std::uint16_t>(sample) >> 8));
            }
        }
    }
    return bytes;
}

double ToneFrequency(const std::vector<double>& samples, double rate)
{
    double first = -1;
    double last = -1;
    std::size_t crossings = 0;
    for (std::size_t index = 1; index < samples.size(); ++index)
    {
        if (samples[index - 1] < 0 && samples[index] >= 0)
        {
            const double at =
                index - 1 + samples[index - 1] / (samples[index - 1] - samples[index]);
            first = crossings == 0 ? at : first;
            last = at;
            ++crossings;
        }
    }
    return crossings < 2 ? 0 : (crossings - 1) * rate / (last - first);
}

double Rms(const std::vector<double>& samples)
{
    double sum = 0;
    for (const double sample : samples)
    {
        sum += sample * sample;
    }
    return samples.empty() ? 0 : std::sqrt(sum / samples.size());
}

double SineAmplitude(const std::vector<double>& samples, std::size_t first, std::size_t count,
                     double frequency, double rate)
{
    double real = 0;
    double imaginary = 0;
    double windowSum = 0;
    for (std::size_t index = 0; index < count; ++index)
    {
        const double window =
            0.5 - 0.5 * std::cos(2 * std::numbers::pi * static_cast<double>(index) /
                                 static_cast<double>(count - 1));
        const double phase = 2 * std::numbers::pi * frequency * static_cast<double>(index) / rate;
        real += window * samples[first + index] * std::cos(phase);
        imaginary += window * samples[first + index] * std::sin(phase);
        windowSum += window;
    }
    return 2 * std::hypot(real, imaginary) / windowSum;
}

Span LoudSpan(const std::vector<double>& samples, double level)
{
    const auto loud = [level](double sample) { return std::abs(sample) >= level; };
    const auto first = std::find_if(samples.begin(), samples.end(), loud);
    if (first == samples.end())
    {
        return {0, 0};
    }
    const auto last = std::find_if(samples.rbegin(), samples.rend(), loud);
    return {static_cast<std::size_t>(first - samples.begin()),
            static_cast<std::size_t>(samples.rend() - last)};
}

std::vector<double> Slice(const std::vector<double>& samples, std::size_t begin, std::size_t end)
{
    end = std::min(end, samples.size());
    begin = std::min(begin, end);
    return {samples.begin() + static_cast<std::ptrdiff_t>(begin),
            samples.begin() + static_cast<std::ptrdiff_t>(end)};
}

} // namespace keb::test
