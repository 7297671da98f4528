// Synthetic receiver audio for the notch filter and the noise reducer (their
// tests and their quality benchmark): keyed CW, a voiced speech-like signal,
// carriers and noise, and the measurements made on them.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace keb::test
{

inline constexpr int SignalRate = 8000;

using TSignal = std::vector<float>;

// The on/off keying (0 .. 1, 5 ms raised-cosine edges) of "PARIS " sent
// over and over at wpm words per minute, seconds long.
TSignal CwKeying(double seconds, double wpm);
// A sine of frequency Hz and amplitude; frequency may move linearly to
// endFrequency over the signal.
TSignal Tone(double seconds, double frequency, double amplitude, double endFrequency = 0);
// The keying times a sine.
TSignal KeyedCw(const TSignal& keying, double frequency, double amplitude);
// A voiced speech-like signal: a pitch of 110 to 150 Hz moving like
// intonation, harmonics shaped by three moving formants, syllables of about
// 200 ms with short pauses; peak near amplitude.
TSignal Voice(double seconds, double amplitude);
// Gaussian white noise of the given rms, seeded.
TSignal WhiteNoise(double seconds, double rms, std::uint32_t seed);
// Pink (1/f) noise of the given rms, seeded.
TSignal PinkNoise(double seconds, double rms, std::uint32_t seed);

TSignal Sum(std::initializer_list<const TSignal*> parts);
std::vector<std::int16_t> ToPcm(const TSignal& signal);
TSignal FromPcm(std::span<const std::int16_t> pcm);

// Amplitude of the sine at frequency in signal[from, to) (seconds).
double ToneAmplitude(std::span<const float> signal, double frequency, double from, double to);
double Rms(std::span<const float> signal, double from, double to);
double Db(double ratio);
// Signal-to-noise ratio (dB) of processed against clean over [from, to),
// processed shifted back by delay samples, after the least-squares gain.
double SnrDb(std::span<const float> clean, std::span<const float> processed, int delay, double from,
             double to);

// What a processor made of the wanted signal and of the noise apart, by
// phase inversion: plus is the output for signal + noise, minus for
// signal - noise; their half sum is the signal part, half difference the
// noise part. Fair to processors that shift phase or delay.
struct TSplitOutput
{
    TSignal signal;
    TSignal noise;
};
TSplitOutput SplitByInversion(std::span<const float> plus, std::span<const float> minus);
// Energy ratio (dB) of signal over noise in [from, to).
double RatioDb(std::span<const float> signal, std::span<const float> noise, double from, double to);

// The envelope of a CW signal (rms over 5 ms) correlated with the clean
// keying over [from, to), at the best lag up to 20 ms.
double KeyingCorrelation(std::span<const float> keying, std::span<const float> processed,
                         double from, double to);

} // namespace keb::test
