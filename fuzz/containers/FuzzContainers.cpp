// Reads arbitrary bytes as a generic object container and as an equalizer's
// band container. Every failure must be one of the program's own exceptions;
// anything else (a crash, a leak, a foreign exception) is a finding. A
// container that reads must write back bytes that read to the same bytes.
#include "dsp/MMEQ.h"

#include <cstdint>
#include <cstdlib>
#include <span>
#include <vector>

namespace
{

using Bytes = std::vector<std::uint8_t>;

// Reads data into list; on success returns what the list writes back.
template <class List> bool ReadBack(List& list, std::span<const std::uint8_t> data, Bytes& written)
{
    try
    {
        list.SetObjectContainer(data);
    }
    catch (const keb::Exception&)
    {
        return false;
    }
    written = list.ObjectContainer();
    return true;
}

template <class List> void CheckStable(List& list, const Bytes& written)
{
    Bytes again;
    if (!ReadBack(list, written, again) || again != written)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::span<const std::uint8_t> input(data, size);
    Bytes written;

    keb::TObjectList generic;
    if (ReadBack(generic, input, written))
        CheckStable(generic, written);

    keb::TMMEqualizer equalizer(nullptr);
    if (ReadBack(*equalizer.Filters(), input, written))
        CheckStable(*equalizer.Filters(), written);
    return 0;
}
