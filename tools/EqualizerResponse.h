// The magnitude response of the equalizer the options describe, as the
// equalizer draws it for a linked display: a flat engine of the same length
// and window, then every enabled band in list order. The engine's taps are
// evaluated in double precision at evenly spaced frequencies, so the curve
// shows the ripple between the FFT bins too. A bypassed equalizer passes
// audio unchanged: 0 dB everywhere.
//
// Raises EOutOfMemory when no engine can be made. Any thread; allocates.
#pragma once

#include "settings/BandPositions.h"
#include "tools/FilterOptions.h"

#include <vector>

namespace keb
{

struct TResponsePoint
{
    double Frequency; // Hz
    double Decibels;  // 20 log10 |H|, at least ResponseFloor
};

constexpr double ResponseFloor = -150.0;

// `points` (at least 2) frequencies from 0 to half the filter's rate.
std::vector<TResponsePoint> EqualizerResponse(const TFilterOptions& options,
                                              const TBandPositions& positions, int points);

} // namespace keb
