// Part of TMMWaveDevice (MMWaveDevice.h): the buffer headers, one zero-filled
// block each (header followed by the audio bytes), allocated and prepared once,
// never per buffer.
#include "devices/MMWaveDevice.h"

#include "stream/MMUtils.h"

namespace keb
{
namespace
{
// Polls without sleeping: a buffer the driver just returned is marked done
// within a few instructions.
constexpr int DoneFlagPolls = 65000;
} // namespace

void TMMWaveDevice::AllocateHeaders(int count)
{
    const std::int32_t size = GetBufferSize();
    if (size <= 0)
        return;
    for (int i = 0; i < count; ++i)
    {
        TMMWaveHdr*& header = headers_[static_cast<std::size_t>(i)];
        if (header)
            continue;
        try
        {
            header = AllocWaveHdr(static_cast<std::uint32_t>(size));
        }
        catch (const EOutOfMemory&)
        {
            DeviceError("Unable to allocate memory for wave header");
        }
    }
}

void TMMWaveDevice::PrepareHeader(int index)
{
    if (TMMWaveHdr* header = Header(index))
        Check(traits_.Prepare(Handle(), &header->wh), "PrepareHeader");
}

void TMMWaveDevice::PrepareHeaders(int count)
{
    for (int i = 0; i < count; ++i)
        PrepareHeader(i);
}

void TMMWaveDevice::UnprepareHeaders(int count)
{
    for (int i = 0; i < count; ++i)
    {
        TMMWaveHdr* header = Header(i);
        if (!header)
            continue;
        bool done = false;
        for (int poll = 0; poll < DoneFlagPolls && !done; ++poll)
            done = (LoadWaveHdrFlags(header->wh) & WaveHdrDone) != 0;
        if (!done)
            StoreWaveHdrFlags(header->wh, WaveHdrDone);
        Check(traits_.Unprepare(Handle(), &header->wh), "UnprepareHeader");
    }
}

void TMMWaveDevice::FreeHeaders()
{
    for (TMMWaveHdr*& header : headers_)
        FreeAndClear(header);
}

} // namespace keb
