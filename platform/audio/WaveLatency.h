// How the devices opened from now on trade delay for quality, for the whole
// wave layer. A card that runs at another rate than its device converts
// (ConvertedStream.h, RateConverter.h):
//   Standard  with libsoxr's high quality (variable-rate engine, about 30 ms
//             each way);
//   Low       with a polyphase filter of its own (2.5 ms each way between
//             8000 Hz and 44100 or 48000 Hz; the band to 3 kHz within
//             0.002 dB, what lies above it 65 dB down), and with libsoxr's
//             low quality in minimum phase on short transforms only where
//             that filter would be too long (RateConverter.h).
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
