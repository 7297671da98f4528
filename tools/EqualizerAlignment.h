// How to line the equalizer's output up with its input.
//
// The engine filters whole frames of N samples (N: the FFT length, at most
// 1024) and answers each 1000-sample pull with the frames ready so far,
// putting silence in front when fewer samples wait than the pull asks for.
// While the fill of its queues differs from pull to pull, such silence goes
// in more than once during the first pulls; after one full cycle of
// N / gcd(N, 1000) pulls the fill repeats and the delay stays constant.
//
// MeasureEqualizerAlignment primes an equalizer of the given FFT length,
// window and LowLatency with that many pulls of silence, then sends an impulse through it
// at flat gain and finds how many samples later it comes out. A chain that
// primes its own equalizer the same way (same settings, same pull size) has
// exactly that delay from the first sample of its audio on. Raises Exception
// when the impulse does not come out (an engine that does not pass audio).
// Main thread of the tool.
#pragma once

#include "dsp/MMFFT.h"

#include <cstdint>

namespace keb
{

struct TEqualizerAlignment
{
    // Silent samples to put in front of the audio.
    std::int64_t Priming = 0; // samples
    // Samples from an input sample to its output, counted after the priming.
    std::int64_t Delay = 0; // samples
};

TEqualizerAlignment MeasureEqualizerAlignment(int fftLength, TMMFFTWindow window, bool lowLatency);

} // namespace keb
