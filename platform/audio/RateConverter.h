// The rate conversion between a sound card and a device that runs at another
// rate (ConvertedStream.h), on 16-bit interleaved frames of the device's
// channel count.
//
// Capture converts what the card delivered as it comes (Process); playback
// makes the card frames asked for and takes the device frames it needs from
// a supply as it goes (Output), so that the device's audio is taken out of
// its queue no earlier than the card needs it.
//
// Which converter a device gets (ConversionSpecs in WaveLatency.h for
// libsoxr's settings):
//   Standard  libsoxr, high quality.
//   Low       a polyphase filter of its own (PolyphaseConverter.h), which
//             hands out every frame as soon as its input is in: about 2.5 ms
//             each way, whatever the size of the pieces; libsoxr's low
//             quality in minimum phase only for rates whose least common
//             multiple would make that filter too long (above 8 MHz).
//
// Threads: a converter belongs to one thread, the stream's conversion thread or
// the card's callback; the supply runs on it. Nothing allocates after the
// factory has returned, except libsoxr's own buffers.
#pragma once

#include "platform/audio/WaveLatency.h"

#include <cstddef>
#include <cstdint>
#include <memory>

namespace keb
{

class TRateConverter
{
  public:
    virtual ~TRateConverter() = default;
    // Forgets the audio it holds.
    virtual void Clear() = 0;
    // It never allocates, locks or waits of its own, so it may run in the
    // card's callback.
    virtual bool RunsInCallback() const = 0;
};

class TCaptureConverter : public TRateConverter
{
  public:
    // Converts up to Frames input frames into at most Capacity output frames:
    // Used input frames went in, Made output frames came out.
    virtual void Process(const std::int16_t* input, std::size_t frames, std::size_t& used,
                         std::int16_t* output, std::size_t capacity, std::size_t& made) = 0;
};

// Points Data at up to Requested input frames and returns how many there are
// (the pointer stays valid until the next call).
using TConversionSupply = std::size_t (*)(void* state, const std::int16_t** data,
                                          std::size_t requested);

class TPlaybackConverter : public TRateConverter
{
  public:
    // Makes up to Frames output frames and returns how many: fewer only when
    // the supply gave nothing.
    virtual std::size_t Output(std::int16_t* output, std::size_t frames) = 0;
};

// Null when libsoxr cannot make the converter.
std::unique_ptr<TCaptureConverter> MakeCaptureConverter(double fromRate, double toRate,
                                                        unsigned channels, TWaveLatency latency);
// The supply is asked for at most LargestPull frames at a time.
std::unique_ptr<TPlaybackConverter> MakePlaybackConverter(double fromRate, double toRate,
                                                          unsigned channels, TWaveLatency latency,
                                                          TConversionSupply supply, void* state,
                                                          std::size_t largestPull);

} // namespace keb
