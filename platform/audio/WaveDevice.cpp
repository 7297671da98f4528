#include "platform/audio/WaveDevice.h"

#include <algorithm>
#include <cstring>

namespace keb
{

namespace
{

TWaveResult CheckBuffer(const TWaveHdr* header)
{
    if (header == nullptr || header->lpData == nullptr || header->dwBufferLength == 0)
    {
        return wrInvalidParameter;
    }
    return wrNoError;
}

} // namespace

TWaveDevice::TWaveDevice(TWaveDirection direction, const TWaveFormatEx& format)
    : direction_(direction), format_(format),
      silenceByte_(format.wBitsPerSample == 8 ? std::uint8_t{0x80} : std::uint8_t{0})
{
}

TWaveDevice::~TWaveDevice() = default;

void TWaveDevice::SetCallback(TWaveInCallback callback, void* userValue)
{
    inCallback_ = callback;
    user_ = userValue;
}

void TWaveDevice::SetCallback(TWaveOutCallback callback, void* userValue)
{
    outCallback_ = callback;
    user_ = userValue;
}

TWaveResult TWaveDevice::Attach(std::unique_ptr<TWaveEngine> openedEngine)
{
    engine_ = std::move(openedEngine);
    if (direction_ == TWaveDirection::Capture)
    {
        return wrNoError;
    }
    std::lock_guard command(commandLock_);
    return StartEngine();
}

void TWaveDevice::NotifyOpened()
{
    Notify(wmOpened, nullptr, wrNoError);
}

TWaveResult TWaveDevice::Prepare(TWaveHdr* header)
{
    if (const TWaveResult result = CheckBuffer(header); result != wrNoError)
    {
        return result;
    }
    std::lock_guard guard(queueLock_);
    const std::uint32_t flags = LoadWaveHdrFlags(*header);
    if (flags & WaveHdrInQueue)
    {
        return wrStillPlaying;
    }
    StoreWaveHdrFlags(*header, flags | WaveHdrPrepared);
    return wrNoError;
}

TWaveResult TWaveDevice::Unprepare(TWaveHdr* header)
{
    if (header == nullptr)
    {
        return wrInvalidParameter;
    }
    std::lock_guard guard(queueLock_);
    const std::uint32_t flags = LoadWaveHdrFlags(*header);
    if (flags & WaveHdrInQueue)
    {
        return wrStillPlaying;
    }
    StoreWaveHdrFlags(*header, flags & ~WaveHdrPrepared);
    return wrNoError;
}

TWaveResult TWaveDevice::Queue(TWaveHdr* header)
{
    if (const TWaveResult result = CheckBuffer(header); result != wrNoError)
    {
        return result;
    }
    if (const TWaveResult result = engine_->QueueResult(); result != wrNoError)
    {
        return result;
    }
    std::lock_guard guard(queueLock_);
    if (failure_ != wrNoError)
    {
        return failure_;
    }
    const std::uint32_t flags = LoadWaveHdrFlags(*header);
    if (!(flags & WaveHdrPrepared))
    {
        return wrUnprepared;
    }
    if (flags & WaveHdrInQueue)
    {
        return wrStillPlaying;
    }
    if (direction_ == TWaveDirection::Capture)
    {
        header->dwBytesRecorded = 0;
    }
    header->lpNext = nullptr;
    StoreWaveHdrFlags(*header, (flags & ~WaveHdrDone) | WaveHdrInQueue);
    if (tail_ == nullptr)
    {
        head_ = header;
        headOffset_ = 0;
    }
    else
    {
        tail_->lpNext = header;
    }
    tail_ = header;
    return wrNoError;
}

TWaveResult TWaveDevice::Start()
{
    std::lock_guard command(commandLock_);
    {
        std::lock_guard guard(queueLock_);
        if (failure_ != wrNoError)
        {
            return failure_;
        }
    }
    return StartEngine();
}

TWaveResult TWaveDevice::Stop()
{
    std::lock_guard command(commandLock_);
    const TWaveResult result = StopEngine(false);
    if (direction_ == TWaveDirection::Playback)
    {
        return result;
    }
    TWaveHdr* partial = nullptr;
    {
        std::lock_guard guard(queueLock_);
        if (head_ != nullptr && head_->dwBytesRecorded > 0)
        {
            partial = PopHead();
        }
    }
    ReturnBuffers(partial);
    return result;
}

TWaveResult TWaveDevice::Reset()
{
    std::lock_guard command(commandLock_);
    const bool wasRunning = engineRunning_;
    const TWaveResult result = StopEngine(true);
    TWaveHdr* returned = nullptr;
    {
        std::lock_guard guard(queueLock_);
        returned = PopAll();
        positionBytes_ = 0;
    }
    ReturnBuffers(returned);
    // A playing (not paused) playback device goes on playing what is written next.
    if (direction_ == TWaveDirection::Playback && wasRunning && result == wrNoError)
    {
        return StartEngine();
    }
    return result;
}

TWaveResult TWaveDevice::GetPosition(TWavePosition& position)
{
    std::uint64_t bytes = 0;
    {
        std::lock_guard guard(queueLock_);
        bytes = positionBytes_;
    }
    position.Bytes = bytes;
    position.Samples = bytes / format_.nBlockAlign;
    position.Milliseconds = bytes * 1000 / format_.nAvgBytesPerSec;
    return wrNoError;
}

TWaveResult TWaveDevice::Close()
{
    std::lock_guard command(commandLock_);
    {
        std::lock_guard guard(queueLock_);
        if (head_ != nullptr)
        {
            return wrStillPlaying;
        }
        running_ = false;
    }
    const bool sendClosed = engine_->SendsClosedNotification();
    engine_.reset();
    engineRunning_ = false;
    if (sendClosed)
    {
        Notify(wmClosed, nullptr, wrNoError);
    }
    return wrNoError;
}

void TWaveDevice::TransferCapture(const std::uint8_t* data, std::size_t bytes)
{
    TWaveHdr* filled = nullptr;
    TWaveHdr** filledTail = &filled;
    {
        std::lock_guard guard(queueLock_);
        if (!running_ || failure_ != wrNoError)
        {
            return;
        }
        while (bytes > 0 && head_ != nullptr)
        {
            const std::size_t room = head_->dwBufferLength - head_->dwBytesRecorded;
            const std::size_t count = std::min(room, bytes);
            std::memcpy(head_->lpData + head_->dwBytesRecorded, data, count);
            head_->dwBytesRecorded += static_cast<std::uint32_t>(count);
            positionBytes_ += count;
            data += count;
            bytes -= count;
            if (head_->dwBytesRecorded == head_->dwBufferLength)
            {
                *filledTail = PopHead();
                filledTail = &(*filledTail)->lpNext;
            }
        }
    }
    ReturnBuffers(filled);
}

void TWaveDevice::TransferPlayback(std::uint8_t* data, std::size_t bytes)
{
    TWaveHdr* played = nullptr;
    TWaveHdr** playedTail = &played;
    {
        std::lock_guard guard(queueLock_);
        while (running_ && failure_ == wrNoError && bytes > 0 && head_ != nullptr)
        {
            const std::size_t left = head_->dwBufferLength - headOffset_;
            const std::size_t count = std::min(left, bytes);
            std::memcpy(data, head_->lpData + headOffset_, count);
            headOffset_ += static_cast<std::uint32_t>(count);
            positionBytes_ += count;
            data += count;
            bytes -= count;
            if (headOffset_ == head_->dwBufferLength)
            {
                *playedTail = PopHead();
                playedTail = &(*playedTail)->lpNext;
            }
        }
    }
    std::memset(data, silenceByte_, bytes);
    ReturnBuffers(played);
}

void TWaveDevice::Fail(TWaveResult result)
{
    TWaveHdr* returned = nullptr;
    {
        std::lock_guard guard(queueLock_);
        if (failure_ != wrNoError)
        {
            return;
        }
        failure_ = result;
        returned = PopAll();
    }
    Notify(wmFailed, nullptr, result);
    ReturnBuffers(returned);
}

TWaveHdr* TWaveDevice::PopHead()
{
    TWaveHdr* header = head_;
    head_ = header->lpNext;
    if (head_ == nullptr)
    {
        tail_ = nullptr;
    }
    header->lpNext = nullptr;
    headOffset_ = 0;
    return header;
}

TWaveHdr* TWaveDevice::PopAll()
{
    TWaveHdr* list = head_;
    head_ = nullptr;
    tail_ = nullptr;
    headOffset_ = 0;
    return list;
}

void TWaveDevice::ReturnBuffers(TWaveHdr* list)
{
    while (list != nullptr)
    {
        TWaveHdr* header = list;
        list = header->lpNext;
        header->lpNext = nullptr;
        const std::uint32_t flags = LoadWaveHdrFlags(*header);
        StoreWaveHdrFlags(*header, (flags & ~WaveHdrInQueue) | WaveHdrDone);
        Notify(wmDone, header, wrNoError);
    }
}

void TWaveDevice::Notify(TWaveMessage message, TWaveHdr* header, TWaveResult result)
{
    if (inCallback_ != nullptr)
    {
        inCallback_(static_cast<TWaveInDevice*>(this), message, user_, header, result);
    }
    else if (outCallback_ != nullptr)
    {
        outCallback_(static_cast<TWaveOutDevice*>(this), message, user_, header, result);
    }
}

TWaveResult TWaveDevice::StartEngine()
{
    if (engineRunning_)
    {
        return wrNoError;
    }
    {
        std::lock_guard guard(queueLock_);
        running_ = true;
    }
    const TWaveResult result = engine_->Start();
    engineRunning_ = result == wrNoError;
    if (!engineRunning_)
    {
        std::lock_guard guard(queueLock_);
        running_ = false;
    }
    return result;
}

TWaveResult TWaveDevice::StopEngine(bool discard)
{
    if (!engineRunning_)
    {
        return wrNoError;
    }
    const TWaveResult result = engine_->Stop(discard);
    engineRunning_ = false;
    std::lock_guard guard(queueLock_);
    running_ = false;
    return result;
}

} // namespace keb
