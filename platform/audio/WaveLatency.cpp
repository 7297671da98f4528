#include "platform/audio/WaveLatency.h"

#include <atomic>

namespace keb
{

namespace
{

std::atomic<TWaveLatency> CurrentLatency{TWaveLatency::Standard};

} // namespace

void WaveSetLatency(TWaveLatency latency)
{
    CurrentLatency.store(latency, std::memory_order_relaxed);
}

TWaveLatency WaveGetLatency()
{
    return CurrentLatency.load(std::memory_order_relaxed);
}

TConversionSpecs ConversionSpecs(TWaveLatency latency)
{
    // One conversion thread each way.
    TConversionSpecs specs{soxr_quality_spec(SOXR_HQ, SOXR_VR), soxr_runtime_spec(1)};
    if (latency == TWaveLatency::Low)
    {
        // The block engine waits for a whole transform before it gives out
        // anything: the shortest (256 points) and a minimum-phase filter keep
        // that wait and the filter's own delay as short as libsoxr allows.
        // The variable-rate engine of Standard costs about 30 ms whatever
        // its quality.
        specs.Quality = soxr_quality_spec(SOXR_LQ | SOXR_MINIMUM_PHASE, 0);
        specs.Runtime.log2_min_dft_size = 8;
    }
    return specs;
}

} // namespace keb
