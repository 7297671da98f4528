// The rate converters of the two latencies (RateConverter.h), between the
// card rates of desktop servers and the devices' 8000 Hz, both ways: the
// delay of impulses, the gain of tones in the band, and what is left of a
// tone above it or of its images. The figures are printed: the README quotes
// them.
#include "platform/audio/RateConverter.h"

#include <algorithm>
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

constexpr float FullScale = 32767;

std::vector<std::int16_t> Quantised(const std::vector<float>& samples)
{
    std::vector<std::int16_t> quantised(samples.size());
    for (std::size_t i = 0; i < samples.size(); ++i)
        quantised[i] = static_cast<std::int16_t>(std::lround(samples[i] * FullScale));
    return quantised;
}

// What a playback converter is supplied with: the input, Step frames at most
// at a time, counting what it handed out.
struct TSupplied
{
    std::vector<std::int16_t> Input;
    std::size_t Step;
    std::size_t Fed = 0;

    static std::size_t Supply(void* state, const std::int16_t** data, std::size_t requested)
    {
        auto& supplied = *static_cast<TSupplied*>(state);
        const std::size_t frames =
            std::min({requested, supplied.Step, supplied.Input.size() - supplied.Fed});
        *data = supplied.Input.data() + supplied.Fed;
        supplied.Fed += frames;
        return frames;
    }
};

void Append(TConverted& output, const std::int16_t* samples, std::size_t count, std::size_t fed)
{
    for (std::size_t i = 0; i < count; ++i)
        output.Samples.push_back(static_cast<float>(samples[i]) / FullScale);
    output.Fed.insert(output.Fed.end(), count, fed);
}

// Streams Input through the converter a device of Latency gets, as the
// conversion threads do: capture Step input frames at a time, playback
// asking for Step output frames at a time. Its latency is the input it
// wants before it gives an output.
TConverted Convert(const std::vector<float>& input, double from, double to, TWaveLatency latency,
                   std::size_t step = 256)
{
    TConverted output;
    std::vector<std::int16_t> chunk(4096);
    if (from > to)
    {
        const auto converter = MakeCaptureConverter(from, to, 1, latency);
        EXPECT_NE(converter, nullptr);
        const std::vector<std::int16_t> samples = Quantised(input);
        for (std::size_t done = 0; done <= samples.size(); done += step)
        {
            const bool last = done >= samples.size();
            const std::size_t count = last ? 0 : std::min(step, samples.size() - done);
            std::size_t used = 0;
            std::size_t made = 0;
            converter->Process(last ? nullptr : samples.data() + done, count, used, chunk.data(),
                               chunk.size(), made);
            Append(output, chunk.data(), made, done + count);
        }
        return output;
    }
    TSupplied supplied{Quantised(input), step};
    const auto converter =
        MakePlaybackConverter(from, to, 1, latency, TSupplied::Supply, &supplied, chunk.size());
    EXPECT_NE(converter, nullptr);
    while (const std::size_t made = converter->Output(chunk.data(), step))
        Append(output, chunk.data(), made, supplied.Fed);
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

// The card side moves one server period at a time (128 frames at 48000 Hz):
// capture converts what a card callback delivered, playback makes what one
// asks for.
std::size_t CardStep(double from, double to)
{
    return static_cast<std::size_t>(std::max(from, to) / 375);
}

TConversionFigures Measure(double from, double to, TWaveLatency latency)
{
    // Impulses 0.1 s apart, each at another place within the card's steps:
    // a converter that waits for blocks of its own shows it in the mean.
    constexpr std::size_t Impulses = 16;
    const auto spacing = static_cast<std::size_t>(from / 10) + 7;
    std::vector<float> impulses((Impulses + 1) * spacing);
    for (std::size_t impulse = 1; impulse <= Impulses; ++impulse)
        impulses[impulse * spacing] = 1.0f;
    const TConverted out = Convert(impulses, from, to, latency, CardStep(from, to));
    double delays = 0;
    for (std::size_t impulse = 1; impulse <= Impulses; ++impulse)
    {
        const std::size_t at = impulse * spacing;
        const auto first = static_cast<std::size_t>(static_cast<double>(at) * to / from);
        const auto last =
            std::min(out.Samples.size(),
                     static_cast<std::size_t>(static_cast<double>(at + spacing) * to / from));
        std::size_t peak = first;
        for (std::size_t i = first; i < last; ++i)
            if (std::abs(out.Samples[i]) > std::abs(out.Samples[peak]))
                peak = i;
        // From the impulse going in to its peak coming out.
        delays += static_cast<double>(out.Fed[peak] - at - 1);
    }
    TConversionFigures figures;
    figures.DelayMs = 1000.0 * delays / Impulses / from;
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
            // The polyphase filter's 2.5 ms and the rest of the card's step;
            // libsoxr's blocks took 10 to 22 ms.
            EXPECT_LT(low.DelayMs, 5.0);
            EXPECT_LT(standard.WorstBandDb, 0.1);
            EXPECT_LT(low.WorstBandDb, 0.5);
        }
    // Capture keeps what lies above the band out of it in both, and playback
    // leaves no images of the band above it: a 3 kHz tone mirrored about
    // 4 kHz and its multiples.
    for (double cardRate : {44100.0, 48000.0})
        for (TWaveLatency latency : {TWaveLatency::Standard, TWaveLatency::Low})
        {
            const std::vector<float> above =
                Convert(Sine(5000, cardRate, static_cast<std::size_t>(cardRate)), cardRate, 8000,
                        latency)
                    .Samples;
            double largest = 0;
            for (double frequency = 100; frequency < 4000; frequency += 100)
                largest = std::max(largest, Amplitude(above, frequency, 8000));
            EXPECT_LT(Decibels(largest / 0.5), -60)
                << cardRate << " Hz, " << static_cast<int>(latency);
            const std::vector<float> played =
                Convert(Sine(3000, 8000, 8000), 8000, cardRate, latency).Samples;
            double image = 0;
            for (double frequency : {5000.0, 11000.0, 13000.0, 19000.0, 21000.0})
                image = std::max(image, Amplitude(played, frequency, cardRate));
            EXPECT_LT(Decibels(image / 0.5), -60)
                << cardRate << " Hz, " << static_cast<int>(latency);
        }
}

} // namespace
} // namespace keb::test
