#include "ChainAnalysis.h"

namespace keb::test
{
namespace
{
constexpr std::uint64_t kCycle = 65535;

std::uint16_t Word(std::int16_t Sample)
{
    return static_cast<std::uint16_t>(Sample);
}

bool IsSilent(const std::int16_t* Buffer, std::size_t Frames)
{
    for (std::size_t i = 0; i < Frames; ++i)
        if (Buffer[i] != 0)
            return false;
    return true;
}

// The counter runs on without a break through the whole buffer.
bool IsCounterRun(const std::int16_t* Buffer, std::size_t Frames)
{
    for (std::size_t i = 1; i < Frames; ++i)
        if (Word(Buffer[i]) != Word(Buffer[i - 1]) % kCycle + 1)
            return false;
    return true;
}

// The number of the captured buffer that starts with this sample, taking the
// one nearest to Previous (the counter's cycle is not a whole number of
// buffers, so its value alone names a buffer only up to the cycle).
std::int64_t BufferId(std::int16_t First, std::size_t Frames, std::int64_t Previous)
{
    for (std::int64_t distance = 0; distance < 64; ++distance)
    {
        for (const std::int64_t candidate : {Previous + distance, Previous - distance})
        {
            if (candidate >= 0 &&
                Word(CounterSample(static_cast<std::uint64_t>(candidate) * Frames)) == Word(First))
                return candidate;
        }
    }
    return -1;
}
} // namespace

std::int16_t CounterSample(std::uint64_t Frame)
{
    return static_cast<std::int16_t>(static_cast<std::uint16_t>(Frame % kCycle + 1));
}

TPlayedBuffers ReadPlayedBuffers(const std::vector<std::int16_t>& Played, std::size_t First,
                                 std::size_t Frames)
{
    TPlayedBuffers buffers;
    std::int64_t previous = 0;
    for (std::size_t at = First; at + Frames <= Played.size(); at += Frames)
    {
        const std::int16_t* buffer = Played.data() + at;
        if (IsSilent(buffer, Frames))
        {
            (buffers.Ids.empty() ? buffers.Silent : buffers.SilentLater) += 1;
            continue;
        }
        const std::int64_t id =
            IsCounterRun(buffer, Frames) ? BufferId(buffer[0], Frames, previous) : -1;
        if (id < 0)
        {
            ++buffers.Foreign;
            continue;
        }
        buffers.Ids.push_back(id);
        previous = id;
    }
    return buffers;
}

} // namespace keb::test
