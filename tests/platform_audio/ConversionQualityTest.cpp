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
TConverted Convert(const std::vector<float>& Input, double From, double To, TWaveLatency Latency,
                   std::size_t Step = 256)
{
    const soxr_io_spec_t Io = soxr_io_spec(SOXR_FLOAT32_I, SOXR_FLOAT32_I);
    const TConversionSpecs Specs = ConversionSpecs(Latency);
    soxr_error_t Error = nullptr;
    soxr_t Resampler = soxr_create(From, To, 1, &Error, &Io, &Specs.Quality, &Specs.Runtime);
    EXPECT_EQ(Error, nullptr);
    TConverted Output;
    std::vector<float> Chunk(4096);
    for (std::size_t Done = 0; Done <= Input.size(); Done += Step)
    {
        const bool Last = Done >= Input.size();
        const std::size_t Count = Last ? 0 : std::min(Step, Input.size() - Done);
        std::size_t Made = 0;
        soxr_process(Resampler, Last ? nullptr : Input.data() + Done, Count, nullptr, Chunk.data(),
                     Chunk.size(), &Made);
        Output.Samples.insert(Output.Samples.end(), Chunk.begin(),
                              Chunk.begin() + static_cast<long>(Made));
        Output.Fed.insert(Output.Fed.end(), Made, Done + Count);
    }
    soxr_delete(Resampler);
    return Output;
}

std::vector<float> Sine(double Frequency, double Rate, std::size_t Count)
{
    std::vector<float> Samples(Count);
    for (std::size_t i = 0; i < Count; ++i)
        Samples[i] = static_cast<float>(
            0.5 * std::sin(2 * std::numbers::pi * Frequency * static_cast<double>(i) / Rate));
    return Samples;
}

// The amplitude of the sine at Frequency in the second half of Samples.
double Amplitude(const std::vector<float>& Samples, double Frequency, double Rate)
{
    const std::size_t First = Samples.size() / 2;
    double Real = 0;
    double Imaginary = 0;
    for (std::size_t i = First; i < Samples.size(); ++i)
    {
        const double Angle = 2 * std::numbers::pi * Frequency * static_cast<double>(i) / Rate;
        Real += Samples[i] * std::cos(Angle);
        Imaginary += Samples[i] * std::sin(Angle);
    }
    return 2 * std::hypot(Real, Imaginary) / static_cast<double>(Samples.size() - First);
}

double Decibels(double Ratio)
{
    return 20 * std::log10(Ratio);
}

struct TConversionFigures
{
    double DelayMs = 0;
    double WorstBandDb = 0; // the largest deviation of 300 .. 3000 Hz from 0 dB
};

TConversionFigures Measure(double From, double To, TWaveLatency Latency)
{
    std::vector<float> Impulse(static_cast<std::size_t>(From / 4));
    const std::size_t At = Impulse.size() / 4;
    Impulse[At] = 1.0f;
    const TConverted Out = Convert(Impulse, From, To, Latency, 1);
    std::size_t Peak = 0;
    for (std::size_t i = 0; i < Out.Samples.size(); ++i)
        if (std::abs(Out.Samples[i]) > std::abs(Out.Samples[Peak]))
            Peak = i;
    TConversionFigures Figures;
    // From the impulse going in to its peak coming out.
    Figures.DelayMs = 1000.0 * static_cast<double>(Out.Fed[Peak] - At - 1) / From;
    for (double Frequency : {300.0, 1000.0, 2000.0, 3000.0})
    {
        const std::vector<float> Tone =
            Convert(Sine(Frequency, From, static_cast<std::size_t>(From)), From, To, Latency)
                .Samples;
        Figures.WorstBandDb =
            std::max(Figures.WorstBandDb, std::abs(Decibels(Amplitude(Tone, Frequency, To) / 0.5)));
    }
    return Figures;
}

TEST(ConversionQualityTest, LowConvertsTheBandWithLessDelayThanStandard)
{
    for (double CardRate : {44100.0, 48000.0})
        for (bool Capture : {true, false})
        {
            const double From = Capture ? CardRate : 8000;
            const double To = Capture ? 8000 : CardRate;
            const TConversionFigures Standard = Measure(From, To, TWaveLatency::Standard);
            const TConversionFigures Low = Measure(From, To, TWaveLatency::Low);
            std::printf("%5.0f -> %5.0f Hz: delay standard %.2f ms, low %.2f ms; band 300..3000 "
                        "Hz within %.3f / %.3f dB\n",
                        From, To, Standard.DelayMs, Low.DelayMs, Standard.WorstBandDb,
                        Low.WorstBandDb);
            // 48000 Hz is six times 8000: short transforms fit it exactly.
            EXPECT_LT(Low.DelayMs, CardRate == 48000 ? 2.0 : Standard.DelayMs * 0.6);
            EXPECT_LT(Standard.WorstBandDb, 0.1);
            EXPECT_LT(Low.WorstBandDb, 0.5);
        }
    // Capture keeps what lies above the band out of it in both.
    for (TWaveLatency Latency : {TWaveLatency::Standard, TWaveLatency::Low})
    {
        const std::vector<float> Above =
            Convert(Sine(5000, 48000, 48000), 48000, 8000, Latency).Samples;
        double Largest = 0;
        for (double Frequency = 100; Frequency < 4000; Frequency += 100)
            Largest = std::max(Largest, Amplitude(Above, Frequency, 8000));
        EXPECT_LT(Decibels(Largest / 0.5), -60) << static_cast<int>(Latency);
    }
}

} // namespace
} // namespace keb::test
