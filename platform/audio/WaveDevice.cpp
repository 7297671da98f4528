#include "platform/audio/WaveDevice.h"

#include <algorithm>
#include <cstring>

namespace keb
{

namespace
{

TWaveResult CheckBuffer(const TWaveHdr* Header)
{
    if (Header == nullptr || Header->lpData == nullptr || Header->dwBufferLength == 0)
    {
        return wrInvalidParameter;
    }
    return wrNoError;
}

} // namespace

WaveDevice::WaveDevice(WaveDirection Direction, const TWaveFormatEx& Format)
    : Direction_(Direction), Format_(Format),
      SilenceByte(Format.wBitsPerSample == 8 ? std::uint8_t{0x80} : std::uint8_t{0})
{
}

WaveDevice::~WaveDevice() = default;

void WaveDevice::SetCallback(TWaveInCallback Callback, void* UserValue)
{
    InCallback = Callback;
    User = UserValue;
}

void WaveDevice::SetCallback(TWaveOutCallback Callback, void* UserValue)
{
    OutCallback = Callback;
    User = UserValue;
}

TWaveResult WaveDevice::Attach(std::unique_ptr<WaveEngine> OpenedEngine)
{
    Engine = std::move(OpenedEngine);
    if (Direction_ == WaveDirection::Capture)
    {
        return wrNoError;
    }
    std::lock_guard Command(CommandLock);
    return StartEngine();
}

void WaveDevice::NotifyOpened()
{
    Notify(wmOpened, nullptr, wrNoError);
}

TWaveResult WaveDevice::Prepare(TWaveHdr* Header)
{
    if (const TWaveResult Result = CheckBuffer(Header); Result != wrNoError)
    {
        return Result;
    }
    std::lock_guard Guard(QueueLock);
    const std::uint32_t Flags = LoadWaveHdrFlags(*Header);
    if (Flags & WaveHdrInQueue)
    {
        return wrStillPlaying;
    }
    StoreWaveHdrFlags(*Header, Flags | WaveHdrPrepared);
    return wrNoError;
}

TWaveResult WaveDevice::Unprepare(TWaveHdr* Header)
{
    if (Header == nullptr)
    {
        return wrInvalidParameter;
    }
    std::lock_guard Guard(QueueLock);
    const std::uint32_t Flags = LoadWaveHdrFlags(*Header);
    if (Flags & WaveHdrInQueue)
    {
        return wrStillPlaying;
    }
    StoreWaveHdrFlags(*Header, Flags & ~WaveHdrPrepared);
    return wrNoError;
}

TWaveResult WaveDevice::Queue(TWaveHdr* Header)
{
    if (const TWaveResult Result = CheckBuffer(Header); Result != wrNoError)
    {
        return Result;
    }
    if (const TWaveResult Result = Engine->QueueResult(); Result != wrNoError)
    {
        return Result;
    }
    std::lock_guard Guard(QueueLock);
    if (Failure != wrNoError)
    {
        return Failure;
    }
    const std::uint32_t Flags = LoadWaveHdrFlags(*Header);
    if (!(Flags & WaveHdrPrepared))
    {
        return wrUnprepared;
    }
    if (Flags & WaveHdrInQueue)
    {
        return wrStillPlaying;
    }
    if (Direction_ == WaveDirection::Capture)
    {
        Header->dwBytesRecorded = 0;
    }
    Header->lpNext = nullptr;
    StoreWaveHdrFlags(*Header, (Flags & ~WaveHdrDone) | WaveHdrInQueue);
    if (Tail == nullptr)
    {
        Head = Header;
        HeadOffset = 0;
    }
    else
    {
        Tail->lpNext = Header;
    }
    Tail = Header;
    return wrNoError;
}

TWaveResult WaveDevice::Start()
{
    std::lock_guard Command(CommandLock);
    {
        std::lock_guard Guard(QueueLock);
        if (Failure != wrNoError)
        {
            return Failure;
        }
    }
    return StartEngine();
}

TWaveResult WaveDevice::Stop()
{
    std::lock_guard Command(CommandLock);
    const TWaveResult Result = StopEngine(false);
    if (Direction_ == WaveDirection::Playback)
    {
        return Result;
    }
    TWaveHdr* Partial = nullptr;
    {
        std::lock_guard Guard(QueueLock);
        if (Head != nullptr && Head->dwBytesRecorded > 0)
        {
            Partial = PopHead();
        }
    }
    ReturnBuffers(Partial);
    return Result;
}

TWaveResult WaveDevice::Reset()
{
    std::lock_guard Command(CommandLock);
    const bool WasRunning = EngineRunning;
    const TWaveResult Result = StopEngine(true);
    TWaveHdr* Returned = nullptr;
    {
        std::lock_guard Guard(QueueLock);
        Returned = PopAll();
        PositionBytes = 0;
    }
    ReturnBuffers(Returned);
    // A playing (not paused) playback device goes on playing what is written next.
    if (Direction_ == WaveDirection::Playback && WasRunning && Result == wrNoError)
    {
        return StartEngine();
    }
    return Result;
}

TWaveResult WaveDevice::GetPosition(TWavePosition& Position)
{
    std::uint64_t Bytes = 0;
    {
        std::lock_guard Guard(QueueLock);
        Bytes = PositionBytes;
    }
    Position.Bytes = Bytes;
    Position.Samples = Bytes / Format_.nBlockAlign;
    Position.Milliseconds = Bytes * 1000 / Format_.nAvgBytesPerSec;
    return wrNoError;
}

TWaveResult WaveDevice::Close()
{
    std::lock_guard Command(CommandLock);
    {
        std::lock_guard Guard(QueueLock);
        if (Head != nullptr)
        {
            return wrStillPlaying;
        }
        Running = false;
    }
    const bool SendClosed = Engine->SendsClosedNotification();
    Engine.reset();
    EngineRunning = false;
    if (SendClosed)
    {
        Notify(wmClosed, nullptr, wrNoError);
    }
    return wrNoError;
}

void WaveDevice::TransferCapture(const std::uint8_t* Data, std::size_t Bytes)
{
    TWaveHdr* Filled = nullptr;
    TWaveHdr** FilledTail = &Filled;
    {
        std::lock_guard Guard(QueueLock);
        if (!Running || Failure != wrNoError)
        {
            return;
        }
        while (Bytes > 0 && Head != nullptr)
        {
            const std::size_t Room = Head->dwBufferLength - Head->dwBytesRecorded;
            const std::size_t Count = std::min(Room, Bytes);
            std::memcpy(Head->lpData + Head->dwBytesRecorded, Data, Count);
            Head->dwBytesRecorded += static_cast<std::uint32_t>(Count);
            PositionBytes += Count;
            Data += Count;
            Bytes -= Count;
            if (Head->dwBytesRecorded == Head->dwBufferLength)
            {
                *FilledTail = PopHead();
                FilledTail = &(*FilledTail)->lpNext;
            }
        }
    }
    ReturnBuffers(Filled);
}

void WaveDevice::TransferPlayback(std::uint8_t* Data, std::size_t Bytes)
{
    TWaveHdr* Played = nullptr;
    TWaveHdr** PlayedTail = &Played;
    {
        std::lock_guard Guard(QueueLock);
        while (Running && Failure == wrNoError && Bytes > 0 && Head != nullptr)
        {
            const std::size_t Left = Head->dwBufferLength - HeadOffset;
            const std::size_t Count = std::min(Left, Bytes);
            std::memcpy(Data, Head->lpData + HeadOffset, Count);
            HeadOffset += static_cast<std::uint32_t>(Count);
            PositionBytes += Count;
            Data += Count;
            Bytes -= Count;
            if (HeadOffset == Head->dwBufferLength)
            {
                *PlayedTail = PopHead();
                PlayedTail = &(*PlayedTail)->lpNext;
            }
        }
    }
    std::memset(Data, SilenceByte, Bytes);
    ReturnBuffers(Played);
}

void WaveDevice::Fail(TWaveResult Result)
{
    TWaveHdr* Returned = nullptr;
    {
        std::lock_guard Guard(QueueLock);
        if (Failure != wrNoError)
        {
            return;
        }
        Failure = Result;
        Returned = PopAll();
    }
    Notify(wmFailed, nullptr, Result);
    ReturnBuffers(Returned);
}

TWaveHdr* WaveDevice::PopHead()
{
    TWaveHdr* Header = Head;
    Head = Header->lpNext;
    if (Head == nullptr)
    {
        Tail = nullptr;
    }
    Header->lpNext = nullptr;
    HeadOffset = 0;
    return Header;
}

TWaveHdr* WaveDevice::PopAll()
{
    TWaveHdr* List = Head;
    Head = nullptr;
    Tail = nullptr;
    HeadOffset = 0;
    return List;
}

void WaveDevice::ReturnBuffers(TWaveHdr* List)
{
    while (List != nullptr)
    {
        TWaveHdr* Header = List;
        List = Header->lpNext;
        Header->lpNext = nullptr;
        const std::uint32_t Flags = LoadWaveHdrFlags(*Header);
        StoreWaveHdrFlags(*Header, (Flags & ~WaveHdrInQueue) | WaveHdrDone);
        Notify(wmDone, Header, wrNoError);
    }
}

void WaveDevice::Notify(TWaveMessage Message, TWaveHdr* Header, TWaveResult Result)
{
    if (InCallback != nullptr)
    {
        InCallback(static_cast<TWaveInDevice*>(this), Message, User, Header, Result);
    }
    else if (OutCallback != nullptr)
    {
        OutCallback(static_cast<TWaveOutDevice*>(this), Message, User, Header, Result);
    }
}

TWaveResult WaveDevice::StartEngine()
{
    if (EngineRunning)
    {
        return wrNoError;
    }
    {
        std::lock_guard Guard(QueueLock);
        Running = true;
    }
    const TWaveResult Result = Engine->Start();
    EngineRunning = Result == wrNoError;
    if (!EngineRunning)
    {
        std::lock_guard Guard(QueueLock);
        Running = false;
    }
    return Result;
}

TWaveResult WaveDevice::StopEngine(bool Discard)
{
    if (!EngineRunning)
    {
        return wrNoError;
    }
    const TWaveResult Result = Engine->Stop(Discard);
    EngineRunning = false;
    std::lock_guard Guard(QueueLock);
    Running = false;
    return Result;
}

} // namespace keb
