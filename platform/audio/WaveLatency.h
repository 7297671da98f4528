// How the devices opened from now on trade delay for quality, for the whole
// wave layer. A card that runs at another rate than its device converts
// (ConvertedStream.h, RateConverter.h):
//   Standard  with libsoxr's high quality (variable-rate engine, about 30 ms
//             each way);
//   Low       at a whole multiple of the device's rate with a polyphase
//             filter of its own (2.5 ms each way), at other rates with
//             libsoxr's low quality in minimum phase on short transforms
//             (the figures of tests/platform/audio's conversion test, fed a
//             server period at a time: 13 and 22 ms at 44100 Hz; the band to
//             3 kHz stays within 0.45 dB each way instead of 0.01, what lies
//             above it 60 dB down).
// Set before opening (the main thread does, with the window's latency mode);
// an open device keeps what it was opened with. Default Standard.
#pragma once

#include <soxr.h>

namespace keb
{

enum class TWaveLatency
{
    Standard,
    Low
};

void WaveSetLatency(TWaveLatency latency);
TWaveLatency WaveGetLatency();

// libsoxr's settings for the rate conversion of a device opened in Latency.
struct TConversionSpecs
{
    soxr_quality_spec_t Quality;
    soxr_runtime_spec_t Runtime;
};
TConversionSpecs ConversionSpecs(TWaveLatency latency);

} // namespace keb
