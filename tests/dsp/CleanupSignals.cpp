#include "tests/dsp/CleanupSignals.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <random>
#include <string_view>

namespace keb::test
{

namespace
{

constexpr double Pi = std::numbers::pi;

std::size_t Samples(double seconds)
{
    return static_cast<std::size_t>(seconds * SignalRate);
}

std::size_t Index(double seconds, std::size_t size)
{
    return std::min(size, static_cast<std::size_t>(std::max(0.0, seconds) * SignalRate));
}

// "PARIS " in units: 1 = element on, 0 = off (50 units).
std::vector<int> ParisUnits()
{
    const std::string_view code[] = {".--.", ".-", ".-.", "..", "..."};
    std::vector<int> units;
    for (std::string_view letter : code)
    {
        for (char element : letter)
        {
            units.insert(units.end(), element == '.' ? 1 : 3, 1);
            units.push_back(0);
        }
        units.insert(units.end(), 2, 0);
    }
    units.insert(units.end(), 4, 0);
    return units;
}

} // namespace

TSignal CwKeying(double seconds, double wpm)
{
    const std::vector<int> units = ParisUnits();
    const double unit = 1.2 / wpm;
    const std::size_t n = Samples(seconds);
    TSignal hard(n);
    for (std::size_t i = 0; i < n; ++i)
    {
        const auto u = static_cast<std::size_t>(static_cast<double>(i) / SignalRate / unit);
        hard[i] = static_cast<float>(units[u % units.size()]);
    }
    // 5 ms raised-cosine edges: the hard keying through a Hann kernel.
    const int edge = SignalRate / 200;
    TSignal soft(n);
    double norm = 0;
    for (int j = 0; j < edge; ++j)
        norm += 0.5 - 0.5 * std::cos(2 * Pi * (j + 0.5) / edge);
    for (std::size_t i = 0; i < n; ++i)
    {
        double sum = 0;
        for (int j = 0; j < edge && j <= static_cast<int>(i); ++j)
            sum += hard[i - static_cast<std::size_t>(j)] *
                   (0.5 - 0.5 * std::cos(2 * Pi * (j + 0.5) / edge));
        soft[i] = static_cast<float>(sum / norm);
    }
    return soft;
}

TSignal Tone(double seconds, double frequency, double amplitude, double endFrequency)
{
    const std::size_t n = Samples(seconds);
    const double end = endFrequency > 0 ? endFrequency : frequency;
    TSignal out(n);
    double phase = 0;
    for (std::size_t i = 0; i < n; ++i)
    {
        out[i] = static_cast<float>(amplitude * std::sin(phase));
        const double f =
            frequency + (end - frequency) * static_cast<double>(i) / static_cast<double>(n);
        phase = std::fmod(phase + 2 * Pi * f / SignalRate, 2 * Pi);
    }
    return out;
}

TSignal KeyedCw(const TSignal& keying, double frequency, double amplitude)
{
    TSignal out = Tone(static_cast<double>(keying.size()) / SignalRate, frequency, amplitude);
    for (std::size_t i = 0; i < out.size(); ++i)
        out[i] *= keying[i];
    return out;
}

TSignal Voice(double seconds, double amplitude)
{
    const std::size_t n = Samples(seconds);
    TSignal out(n);
    double phase = 0;
    float peak = 0;
    for (std::size_t i = 0; i < n; ++i)
    {
        const double t = static_cast<double>(i) / SignalRate;
        const double pitch = 130 + 20 * std::sin(2 * Pi * 0.7 * t) + 8 * std::sin(2 * Pi * 2.3 * t);
        phase += 2 * Pi * pitch / SignalRate;
        // Syllables: 200 ms voiced, 60 ms pause, 400 ms pause every fifth.
        const double cycle = std::fmod(t, 1.3);
        const double syllable = std::fmod(cycle, 0.26);
        const bool voiced = cycle < 1.3 - 0.4 && syllable < 0.2;
        const double envelope = voiced ? std::sin(Pi * syllable / 0.2) : 0.0;
        const double f1 = 500 + 250 * std::sin(2 * Pi * 1.9 * t);
        const double f2 = 1500 + 500 * std::sin(2 * Pi * 1.3 * t + 1);
        const double f3 = 2500 + 200 * std::sin(2 * Pi * 0.9 * t + 2);
        double sum = 0;
        for (int h = 1; pitch * h < 3400; ++h)
        {
            const double f = pitch * h;
            auto formant = [f](double centre, double width)
            {
                const double d = (f - centre) / width;
                return 1.0 / (1.0 + d * d);
            };
            const double weight =
                formant(f1, 120) + 0.6 * formant(f2, 150) + 0.3 * formant(f3, 200);
            sum += weight * std::sin(h * phase) / std::sqrt(static_cast<double>(h));
        }
        out[i] = static_cast<float>(envelope * sum);
        peak = std::max(peak, std::fabs(out[i]));
    }
    for (float& v : out)
        v = static_cast<float>(v / peak * amplitude);
    return out;
}

TSignal WhiteNoise(double seconds, double rms, std::uint32_t seed)
{
    std::mt19937 random(seed);
    std::normal_distribution<double> normal(0.0, rms);
    TSignal out(Samples(seconds));
    for (float& v : out)
        v = static_cast<float>(normal(random));
    return out;
}

TSignal PinkNoise(double seconds, double rms, std::uint32_t seed)
{
    // White noise through a sum of first-order low-passes spread over the
    // octaves (about -3 dB per octave from 30 Hz to 4 kHz).
    const TSignal white = WhiteNoise(seconds, 1.0, seed);
    const double poles[] = {0.99886, 0.99332, 0.96900, 0.86650, 0.55000};
    const double gains[] = {0.0555179, 0.0750759, 0.1538520, 0.3104856, 0.5329522};
    double state[5] = {};
    TSignal out(white.size());
    for (std::size_t i = 0; i < white.size(); ++i)
    {
        double sum = 0.5362 * white[i];
        for (int p = 0; p < 5; ++p)
        {
            state[p] = poles[p] * state[p] + gains[p] * white[i];
            sum += state[p];
        }
        out[i] = static_cast<float>(sum);
    }
    const double actual = Rms(out, 0, seconds);
    for (float& v : out)
        v = static_cast<float>(v * rms / actual);
    return out;
}

TSignal Sum(std::initializer_list<const TSignal*> parts)
{
    TSignal out((*parts.begin())->size());
    for (const TSignal* part : parts)
        for (std::size_t i = 0; i < out.size(); ++i)
            out[i] += (*part)[i];
    return out;
}

std::vector<std::int16_t> ToPcm(const TSignal& signal)
{
    std::vector<std::int16_t> pcm(signal.size());
    for (std::size_t i = 0; i < pcm.size(); ++i)
        pcm[i] = static_cast<std::int16_t>(std::lrint(std::clamp(signal[i], -32768.0f, 32767.0f)));
    return pcm;
}

TSignal FromPcm(std::span<const std::int16_t> pcm)
{
    return TSignal(pcm.begin(), pcm.end());
}

double ToneAmplitude(std::span<const float> signal, double frequency, double from, double to)
{
    const std::size_t a = Index(from, signal.size());
    const std::size_t b = Index(to, signal.size());
    double re = 0, im = 0;
    for (std::size_t i = a; i < b; ++i)
    {
        const double phase = 2 * Pi * frequency * static_cast<double>(i) / SignalRate;
        re += signal[i] * std::cos(phase);
        im += signal[i] * std::sin(phase);
    }
    return 2 * std::hypot(re, im) / static_cast<double>(std::max<std::size_t>(1, b - a));
}

double Rms(std::span<const float> signal, double from, double to)
{
    const std::size_t a = Index(from, signal.size());
    const std::size_t b = Index(to, signal.size());
    double sum = 0;
    for (std::size_t i = a; i < b; ++i)
        sum += static_cast<double>(signal[i]) * signal[i];
    return std::sqrt(sum / static_cast<double>(std::max<std::size_t>(1, b - a)));
}

double Db(double ratio)
{
    return 20 * std::log10(std::max(ratio, 1e-12));
}

double SnrDb(std::span<const float> clean, std::span<const float> processed, int delay, double from,
             double to)
{
    const std::size_t a = Index(from, clean.size());
    const std::size_t b =
        std::min(Index(to, clean.size()), processed.size() - static_cast<std::size_t>(delay));
    double cross = 0, energy = 0;
    for (std::size_t i = a; i < b; ++i)
    {
        cross += static_cast<double>(clean[i]) * processed[i + static_cast<std::size_t>(delay)];
        energy += static_cast<double>(clean[i]) * clean[i];
    }
    const double gain = cross / energy;
    double error = 0;
    for (std::size_t i = a; i < b; ++i)
    {
        const double e = processed[i + static_cast<std::size_t>(delay)] - gain * clean[i];
        error += e * e;
    }
    return 10 * std::log10(gain * gain * energy / std::max(error, 1e-12));
}

TSplitOutput SplitByInversion(std::span<const float> plus, std::span<const float> minus)
{
    TSplitOutput split;
    const std::size_t n = std::min(plus.size(), minus.size());
    split.signal.resize(n);
    split.noise.resize(n);
    for (std::size_t i = 0; i < n; ++i)
    {
        split.signal[i] = 0.5f * (plus[i] + minus[i]);
        split.noise[i] = 0.5f * (plus[i] - minus[i]);
    }
    return split;
}

double RatioDb(std::span<const float> signal, std::span<const float> noise, double from, double to)
{
    return Db(Rms(signal, from, to) / std::max(Rms(noise, from, to), 1e-9));
}

namespace
{

// Correlation of the keying with the 5 ms envelope of processed, lag samples late.
double KeyingCorrelationAt(std::span<const float> keying, std::span<const float> processed,
                           std::size_t lag, std::size_t a, std::size_t b)
{
    const std::size_t window = SignalRate / 200;
    std::vector<double> x, y;
    for (std::size_t i = a; i + window <= b && i + window + lag <= processed.size(); i += window)
    {
        double energy = 0, key = 0;
        for (std::size_t j = i; j < i + window; ++j)
        {
            const double v = processed[j + lag];
            energy += v * v;
            key += keying[j];
        }
        x.push_back(key / static_cast<double>(window));
        y.push_back(std::sqrt(energy / static_cast<double>(window)));
    }
    double mx = 0, my = 0;
    for (std::size_t i = 0; i < x.size(); ++i)
    {
        mx += x[i];
        my += y[i];
    }
    mx /= static_cast<double>(x.size());
    my /= static_cast<double>(y.size());
    double sxy = 0, sxx = 0, syy = 0;
    for (std::size_t i = 0; i < x.size(); ++i)
    {
        sxy += (x[i] - mx) * (y[i] - my);
        sxx += (x[i] - mx) * (x[i] - mx);
        syy += (y[i] - my) * (y[i] - my);
    }
    return sxy / std::sqrt(sxx * syy);
}

} // namespace

double KeyingCorrelation(std::span<const float> keying, std::span<const float> processed,
                         double from, double to)
{
    const std::size_t a = Index(from, keying.size());
    const std::size_t b = Index(to, keying.size());
    double best = -1;
    for (std::size_t lag = 0; lag <= SignalRate / 50; lag += 4)
        best = std::max(best, KeyingCorrelationAt(keying, processed, lag, a, b));
    return best;
}

} // namespace keb::test
