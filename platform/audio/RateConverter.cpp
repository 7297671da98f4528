#include "platform/audio/RateConverter.h"

#include "platform/audio/PolyphaseConverter.h"
#include "platform/audio/SoxrConverter.h"

#include <cmath>

namespace keb
{

namespace
{

// High over Low when that is a whole number from 2 on, else 0.
std::size_t WholeFactor(double highRate, double lowRate)
{
    const double factor = highRate / lowRate;
    return factor >= 2 && factor == std::floor(factor) ? static_cast<std::size_t>(factor) : 0;
}

} // namespace

std::unique_ptr<TCaptureConverter> MakeCaptureConverter(double fromRate, double toRate,
                                                        unsigned channels, TWaveLatency latency)
{
    if (const std::size_t factor = WholeFactor(fromRate, toRate);
        factor != 0 && latency == TWaveLatency::Low)
        return std::make_unique<TPolyphaseDecimator>(factor, toRate, channels);
    return MakeSoxrCapture(fromRate, toRate, channels, latency);
}

std::unique_ptr<TPlaybackConverter> MakePlaybackConverter(double fromRate, double toRate,
                                                          unsigned channels, TWaveLatency latency,
                                                          TConversionSupply supply, void* state,
                                                          std::size_t largestPull)
{
    if (const std::size_t factor = WholeFactor(toRate, fromRate);
        factor != 0 && latency == TWaveLatency::Low)
        return std::make_unique<TPolyphaseInterpolator>(factor, fromRate, channels, supply, state,
                                                        largestPull);
    return MakeSoxrPlayback(fromRate, toRate, channels, latency, supply, state, largestPull);
}

} // namespace keb
