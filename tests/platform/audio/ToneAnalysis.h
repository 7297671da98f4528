// Measuring tones in recorded or played audio, for the rate conversion tests.
#pragma once

#include "platform/audio/WaveFormatRecord.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace keb::test
{

// One channel of PCM bytes in Format, scaled to -1 .. 1.
std::vector<double> ChannelOf(const std::vector<std::uint8_t>& bytes, const TWaveFormatEx& format,
                              std::size_t channel = 0);

// Frames of a sine of Frequency Hz and Amplitude (of full scale) in Format,
// every channel alike.
std::vector<std::uint8_t> SineBytes(double frequency, double amplitude, std::size_t frames,
                                    const TWaveFormatEx& format);

// The frequency of a tone from its rising zero crossings (interpolated);
// 0 when there are fewer than two.
double ToneFrequency(const std::vector<double>& samples, double rate);

double Rms(const std::vector<double>& samples);

// The amplitude of the sine at Frequency in Samples[First, First + Count),
// in the samples' own scale, through a Hann window (whose sum normalises the
// result).
double SineAmplitude(const std::vector<double>& samples, std::size_t first, std::size_t count,
                     double frequency, double rate);

// First and one past the last sample whose magnitude reaches Level; equal
// when none does.
struct Span
{
    std::size_t Begin;
    std::size_t End;
};
Span LoudSpan(const std::vector<double>& samples, double level);

// Samples[Begin, End).
std::vector<double> Slice(const std::vector<double>& samples, std::size_t begin, std::size_t end);

} // namespace keb::test
