// The window's filter settings applied to an equalizer: the 20 bands the
// window appends at start-up, and the slider positions a preset, the gains,
// a memory file or "Def" give them.
//
// Clamped silently, as the window's controls do: positions to the sliders'
// -60 .. 12 dB, the shift to the wheel's 0 .. MaxValue of the preset, the FFT
// length by the equalizer's property. Reading a memory file that is missing,
// unreadable or holds no record raises EFilterInputError naming the file.
// Main thread of the tool; the equalizer's chain must be closed.
#pragma once

#include "dsp/MMEQ.h"
#include "settings/BandPositions.h"
#include "tools/FilterOptions.h"

#include <string>

namespace keb
{

// The rate the window's equalizer runs at.
constexpr int FilterSampleRate = 8000; // Hz

// The positions the preset leaves with the wheel turned from its start value
// to `shift`, one notch at a time as a turning wheel reports it: a value
// where the preset has no window (1.8 at 12) keeps the window of the value
// before. The 2.6 preset ignores the wheel.
TBandPositions ShiftedPresetPositions(TPreset preset, int shift);

// The positions the options ask for: preset, gains or memory file, else flat.
TBandPositions RequestedPositions(const TFilterOptions& options);

// Appends the window's 20 bands: 200 Hz wide from 0 Hz, edges summed in
// single precision from the width (rate div 2) x 0.05, gain 0.
void AddWindowBands(TMMEqualizer& equalizer, int sampleRate);

// Sets band k's gain to position k, clamped as a slider clamps it.
void ApplyPositions(TMMEqualizer& equalizer, const TBandPositions& positions);

// The window's equalizer: 8000 Hz, left channel, its bands at `positions`,
// with the options' FFT length, window and bypass.
void ConfigureEqualizer(TMMEqualizer& equalizer, const TFilterOptions& options,
                        const TBandPositions& positions);

// The notch filter and the noise reducer as the options set them; both off
// with --bypass, as the window's Filter Off turns them off.
void ConfigureCleanup(TMMNotchFilter& notch, TMMNoiseReducer& reducer,
                      const TFilterOptions& options);

// A short description of the filter the options set, for the response's title.
std::string DescribeSettings(const TFilterOptions& options);

} // namespace keb
