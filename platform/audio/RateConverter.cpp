#include "platform/audio/RateConverter.h"

#include "platform/audio/PolyphaseConverter.h"
#include "platform/audio/SoxrConverter.h"

#include <cmath>
#include <numeric>

namespace keb
{

namespace
{

// The rate the polyphase filter runs at is the least common multiple of the
// two (3528000 Hz between 44100 and 8000 Hz); its length grows with it.
constexpr long LargestRaisedRate = 8'000'000;

bool PolyphaseFits(double fromRate, double toRate, TWaveLatency latency)
{
    const long from = std::lround(fromRate);
    const long to = std::lround(toRate);
    return latency == TWaveLatency::Low && from == fromRate && to == toRate && from > 0 && to > 0 &&
           std::lcm(from, to) <= LargestRaisedRate;
}

} // namespace

std::unique_ptr<TCaptureConverter> MakeCaptureConverter(double fromRate, double toRate,
                                                        unsigned channels, TWaveLatency latency)
{
    if (PolyphaseFits(fromRate, toRate, latency))
        return std::make_unique<TPolyphaseCapture>(fromRate, toRate, channels);
    return MakeSoxrCapture(fromRate, toRate, channels, latency);
}

std::unique_ptr<TPlaybackConverter> MakePlaybackConverter(double fromRate, double toRate,
                                                          unsigned channels, TWaveLatency latency,
                                                          TConversionSupply supply, void* state,
                                                          std::size_t largestPull)
{
    if (PolyphaseFits(fromRate, toRate, latency))
        return std::make_unique<TPolyphasePlayback>(fromRate, toRate, channels, supply, state,
                                                    largestPull);
    return MakeSoxrPlayback(fromRate, toRate, channels, latency, supply, state, largestPull);
}

} // namespace keb
