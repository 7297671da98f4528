#include "WaveTestSupport.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace keb::test
{

TWaveFormatEx PcmFormat(std::uint32_t Rate, std::uint16_t Channels, std::uint16_t Bits)
{
    TWaveFormatEx Format{};
    Format.wFormatTag = WaveFormatPcm;
    Format.nChannels = Channels;
    Format.nSamplesPerSec = Rate;
    Format.wBitsPerSample = Bits;
    Format.nBlockAlign = static_cast<std::uint16_t>(Channels * Bits / 8);
    Format.nAvgBytesPerSec = Format.nBlockAlign * Rate;
    return Format;
}

OwnedBuffer::OwnedBuffer(std::size_t Bytes, std::uint32_t User) : Audio(Bytes)
{
    Header.lpData = Audio.data();
    Header.dwBufferLength = static_cast<std::uint32_t>(Bytes);
    Header.dwUser = User;
}

std::vector<std::uint8_t> OwnedBuffer::Bytes() const
{
    const auto* Data = reinterpret_cast<const std::uint8_t*>(Audio.data());
    return {Data, Data + Header.dwBytesRecorded};
}

void OwnedBuffer::Fill(const std::vector<std::uint8_t>& Data)
{
    std::memcpy(Audio.data(), Data.data(), std::min(Data.size(), Audio.size()));
}

void Recorder::OnCapture(HWaveIn, TWaveMessage Message, void* User, TWaveHdr* Header,
                         TWaveResult Result)
{
    static_cast<Recorder*>(User)->Record(Message, Header, Result);
}

void Recorder::OnPlayback(HWaveOut, TWaveMessage Message, void* User, TWaveHdr* Header,
                          TWaveResult Result)
{
    static_cast<Recorder*>(User)->Record(Message, Header, Result);
}

void Recorder::Record(TWaveMessage Message, TWaveHdr* Header, TWaveResult Result)
{
    {
        std::lock_guard Guard(Lock);
        Events.push_back({Message, Header, Result});
        Done += Message == wmDone ? 1 : 0;
        Failed += Message == wmFailed ? 1 : 0;
    }
    Arrived.notify_all();
}

std::vector<Notification> Recorder::Taken()
{
    std::lock_guard Guard(Lock);
    return std::exchange(Events, {});
}

std::vector<TWaveHdr*> Recorder::DoneHeaders()
{
    std::vector<TWaveHdr*> Headers;
    for (const Notification& Event : Taken())
    {
        if (Event.Message == wmDone)
        {
            Headers.push_back(Event.Header);
        }
    }
    return Headers;
}

bool Recorder::WaitForDone(std::size_t Count, std::chrono::milliseconds Limit)
{
    std::unique_lock Guard(Lock);
    return Arrived.wait_for(Guard, Limit, [&] { return Done >= Count; });
}

std::size_t Recorder::DoneCount()
{
    std::lock_guard Guard(Lock);
    return Done;
}

std::size_t Recorder::FailedCount()
{
    std::lock_guard Guard(Lock);
    return Failed;
}

std::vector<std::uint8_t> Pattern(std::size_t Bytes, std::uint8_t Seed)
{
    std::vector<std::uint8_t> Data(Bytes);
    for (std::size_t Index = 0; Index < Bytes; ++Index)
    {
        Data[Index] = static_cast<std::uint8_t>(Seed + Index * 7 + Index / 251);
    }
    return Data;
}

} // namespace keb::test
