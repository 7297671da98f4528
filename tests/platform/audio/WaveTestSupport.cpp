#include "WaveTestSupport.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace keb::test
{

TWaveFormatEx PcmFormat(std::uint32_t rate, std::uint16_t channels, std::uint16_t bits)
{
    TWaveFormatEx format{};
    format.wFormatTag = WaveFormatPcm;
    format.nChannels = channels;
    format.nSamplesPerSec = rate;
    format.wBitsPerSample = bits;
    format.nBlockAlign = static_cast<std::uint16_t>(channels * bits / 8);
    format.nAvgBytesPerSec = format.nBlockAlign * rate;
    return format;
}

OwnedBuffer::OwnedBuffer(std::size_t bytes, std::uint32_t user) : Audio(bytes)
{
    Header.lpData = Audio.data();
    Header.dwBufferLength = static_cast<std::uint32_t>(bytes);
    Header.dwUser = user;
}

std::vector<std::uint8_t> OwnedBuffer::Bytes() const
{
    const auto* data = reinterpret_cast<const std::uint8_t*>(Audio.data());
    return {data, data + Header.dwBytesRecorded};
}

void OwnedBuffer::Fill(const std::vector<std::uint8_t>& data)
{
    std::memcpy(Audio.data(), data.data(), std::min(data.size(), Audio.size()));
}

void Recorder::OnCapture(HWaveIn, TWaveMessage message, void* user, TWaveHdr* header,
                         TWaveResult result)
{
    static_cast<Recorder*>(user)->Record(message, header, result);
}

void Recorder::OnPlayback(HWaveOut, TWaveMessage message, void* user, TWaveHdr* header,
                          TWaveResult result)
{
    static_cast<Recorder*>(user)->Record(message, header, result);
}

void Recorder::Record(TWaveMessage message, TWaveHdr* header, TWaveResult result)
{
    {
        std::lock_guard guard(lock_);
        events_.push_back({message, header, result});
        done_ += message == wmDone ? 1 : 0;
        failed_ += message == wmFailed ? 1 : 0;
    }
    arrived_.notify_all();
}

std::vector<Notification> Recorder::Taken()
{
    std::lock_guard guard(lock_);
    return std::exchange(events_, {});
}

std::vector<TWaveHdr*> Recorder::DoneHeaders()
{
    std::vector<TWaveHdr*> headers;
    for (const Notification& event : Taken())
    {
        if (event.Message == wmDone)
        {
            headers.push_back(event.Header);
        }
    }
    return headers;
}

bool Recorder::WaitForDone(std::size_t count, std::chrono::milliseconds limit)
{
    std::unique_lock guard(lock_);
    return arrived_.wait_for(guard, limit, [&] { return done_ >= count; });
}

std::size_t Recorder::DoneCount()
{
    std::lock_guard guard(lock_);
    return done_;
}

std::size_t Recorder::FailedCount()
{
    std::lock_guard guard(lock_);
    return failed_;
}

std::vector<std::uint8_t> Pattern(std::size_t bytes, std::uint8_t seed)
{
    std::vector<std::uint8_t> data(bytes);
    for (std::size_t index = 0; index < bytes; ++index)
    {
        data[index] = static_cast<std::uint8_t>(seed + index * 7 + index / 251);
    }
    return data;
}

} // namespace keb::test
