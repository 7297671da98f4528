// The rate converters over libsoxr (RateConverter.h), at the settings of the
// latency they are made for (ConversionSpecs in WaveLatency.h).
#pragma once

#include "platform/audio/RateConverter.h"

namespace keb
{

// Null when libsoxr cannot make the converter.
std::unique_ptr<TCaptureConverter> MakeSoxrCapture(double fromRate, double toRate,
                                                   unsigned channels, TWaveLatency latency);
std::unique_ptr<TPlaybackConverter> MakeSoxrPlayback(double fromRate, double toRate,
                                                     unsigned channels, TWaveLatency latency,
                                                     TConversionSupply supply, void* state,
                                                     std::size_t largestPull);

} // namespace keb
