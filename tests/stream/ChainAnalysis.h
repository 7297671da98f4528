// Reading a played stream back into the captured buffers it came from.
//
// The chain tests capture a counter: frame n holds (n mod 65535) + 1, so no
// captured sample is 0 and silence stands out. The played stream is cut into
// the playback device's buffers; each is silence or one captured buffer.
#pragma once

#include <cstdint>
#include <vector>

namespace keb::test
{

std::int16_t CounterSample(std::uint64_t Frame);

struct TPlayedBuffers
{
    int Silent = 0;                // silent buffers before the first captured one
    std::vector<std::int64_t> Ids; // captured buffer numbers, in playing order
    int Foreign = 0;               // buffers that are neither silence nor one captured buffer
    int SilentLater = 0;           // silent buffers after the first captured one
};

// Cuts Played from sample First on into buffers of Frames samples (a partial
// buffer at the end is left out) and names each.
TPlayedBuffers ReadPlayedBuffers(const std::vector<std::int16_t>& Played, std::size_t First,
                                 std::size_t Frames);

} // namespace keb::test
