// libsoxr at the two latencies' settings, between the card rates of desktop
// servers and the devices' 8000 Hz, both ways: the delay of an impulse, the
// gain of tones in the band, and what is left of a tone above it. The figures
// are printed: the README quotes them.
#include "platform/audio/WaveLatency.h"

#include <cmath>
#include <cstdio>
#include <gtest/gtest.h>
#include <numbers>
#include <vector>

namespace keb::test
{
namespace
{

struct TConverted
{
    std::vector<float> Samples;
    // Per output sample: how many input samples had gone in when it came out.
    std::vector<std::size_t> Fed;
};

// Streams Input through a converter of Latency as the conversion threads do,
// Step frames at a time, then flushes it. libsoxr lines its output up with
// its input; its latency is the input it wants before it gives an output.
TConverted Convert(const std::vector<float>& input, double from, double to, TWaveLatency latency,
                   std::size_t step = 256)
{
    const soxr_io_spec_t io = soxr_io_spec(SOXR_FLOAT32_I, SOXR_FLOAT32_I);
    const TConversionSpecs specs = ConversionSpecs(latency);
    soxr_error_t error = nullptr;
    soxr_t resampler = soxr_create(from, to, 1, &error, &io, &specs.Quality, &specs.Runtime);
    EXPECT_EQ(error, nullptr);
    TConverted output;
    std::vector<float> chunk(4096);
    for (std::size_t done = 0; done <= input.size(); done += step)
    {
        const bool last = done >= input.size();
        const std::size_t count = last ? 0 : std::min(step, input.size() - done);
        std::size_t made = 0;
        soxr_process(resampler, last ? nullptr : input.data() + done, count, nullptr, chunk.data(),
                     chunk.size(), &made);
        output.Samples.insert(output.Samples.end(), chunk.begin(),
                              chunk.begin() + static_cast<long>(made));
        output.Fed.insert(output.Fed.end(), made, done + count);
    }
    soxr_delete(resampler);
    return output;
}

std::vector<float> Sine(double frequency, double rate, std::size_t count)
{
    std::vector<float> samples(count);
    for (std::size_t i = 0; i < count; ++i)
        samples[i] = static_cast<float>(
            0.5 * std::sin(2 * std::numbers::pi * frequency * static_cast<double>(i) / rate));
    return samples;
}

// The amplitude of the sine at Frequency in the second half of Samples.
double Amplitude(const std::vector<float>& samples, double frequency, double rate)
{
    const std::size_t first = samples.size() / 2;
    double real = 0;
    double imaginary = 0;
    for (std::size_t i = first; i < samples.size(); ++i)
    {
        const double angle = 2 * std::numbers::pi * frequency * static_cast<double>(i) / rate;
        real += samples[i] * std::cos(angle);
        imaginary += samples[i] * std::sin(angle);
    }
    return 2 * std::hypot(real, imaginary) / static_cast<double>(samples.size() - first);
}

double Decibels(double ratio)
{
    return 20 * std::log10(ratio);
}

struct TConversionFigures
{
    double DelayMs = 0;
    double WorstBandDb = 0; // the largest deviation of 300 .. 3000 Hz from 0 dB
};

TConversionFigures Measure(double from, double to, TWaveLatency latency)
{
    std::vector<float> impulse(static_cast<std::size_t>(from / 4));
    const std::size_t at = impulse.size() / 4;
    impulse[at] = 1.0f;
    const TConverted out = Convert(impulse, from, to, latency, 1);
    std::size_t peak = 0;
    for (std::size_t i = 0; i < out.Samples.size(); ++i)
        if (std::abs(out.Samples[i]) > std::abs(out.Samples[peak]))
            peak = i;
    TConversionFigures figures;
    // From the impulse going in to its peak coming out.
    figures.DelayMs = 1000.0 * static_cast<double>(out.Fed[peak] - at - 1) / from;
    for (double frequency : {300.0, 1000.0, 2000.0, 3000.0})
    {
        const std::vector<float> tone =
            Convert(Sine(frequency, from, static_cast<std::size_t>(from)), from, to, latency)
                .Samples;
        figures.WorstBandDb =
            std::max(figures.WorstBandDb, std::abs(Decibels(Amplitude(tone, frequency, to) / 0.5)));
    }
    return figures;
}

TEST(ConversionQualityTest, LowConvertsTheBandWithLessDelayThanStandard)
{
    for (double cardRate : {44100.0, 48000.0})
        for (bool capture : {true, false})
        {
            const double from = capture ? cardRate : 8000;
            const double to = capture ? 8000 : cardRate;
            const TConversionFigures standard = Measure(from, to, TWaveLatency::Standard);
            const TConversionFigures low = Measure(from, to, TWaveLatency::Low);
            std::printf("%5.0f -> %5.0f Hz: delay standard %.2f ms, low %.2f ms; band 300..3000 "
                        "Hz within %.3f / %.3f dB\n",
                        from, to, standard.DelayMs, low.DelayMs, standard.WorstBandDb,
                        low.WorstBandDb);
            // 48000 Hz is six times 8000: short transforms fit it exactly.
            EXPECT_LT(low.DelayMs, cardRate == 48000 ? 2.0 : standard.DelayMs * 0.6);
            EXPECT_LT(standard.WorstBandDb, 0.1);
            EXPECT_LT(low.WorstBandDb, 0.5);
        }
    // Capture keeps what lies above the band out of it in both.
    for (TWaveLatency latency : {TWaveLatency::Standard, TWaveLatency::Low})
    {
        const std::vector<float> above =
            Convert(Sine(5000, 48000, 48000), 48000, 8000, latency).Samples;
        double largest = 0;
        for (double frequency = 100; frequency < 4000; frequency += 100)
            largest = std::max(largest, Amplitude(above, frequency, 8000));
        EXPECT_LT(Decibels(largest / 0.5), -60) << static_cast<int>(latency);
    }
}

} // namespace
} // namespace keb::test
