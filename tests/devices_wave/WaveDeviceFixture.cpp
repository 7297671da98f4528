#include "WaveDeviceFixture.h"

#include "platform/core/Exceptions.h"
#include "platform/core/MainLoop.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace keb::test
{

bool PumpUntil(const std::function<bool()>& Done, std::chrono::milliseconds Limit)
{
    const auto deadline = std::chrono::steady_clock::now() + Limit;
    while (!Done())
    {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        WaitAndProcessMessages(5);
    }
    return true;
}

TWatchdog::TWatchdog(std::chrono::seconds Limit)
    : Guard(
          [this, Limit]
          {
              std::unique_lock lock(Lock);
              if (!Done.wait_for(lock, Limit, [this] { return Finished; }))
              {
                  std::fprintf(stderr, "watchdog: the test hangs\n");
                  std::abort();
              }
          })
{
}

TWatchdog::~TWatchdog()
{
    {
        std::lock_guard guard(Lock);
        Finished = true;
    }
    Done.notify_all();
    Guard.join();
}

void TEventLog::Add(const std::string& Name)
{
    std::lock_guard guard(Lock);
    Events.push_back(Name);
    InMain.push_back(IsMainThread());
}

std::vector<std::string> TEventLog::Names() const
{
    std::lock_guard guard(Lock);
    return Events;
}

std::vector<std::string> TEventLog::Last(std::size_t Count) const
{
    std::lock_guard guard(Lock);
    const std::size_t first = Events.size() > Count ? Events.size() - Count : 0;
    return {Events.begin() + static_cast<std::ptrdiff_t>(first), Events.end()};
}

bool TEventLog::AllInMainThread(const std::string& Name) const
{
    std::lock_guard guard(Lock);
    for (std::size_t i = 0; i < Events.size(); ++i)
    {
        if (Events[i] == Name && !InMain[i])
            return false;
    }
    return true;
}

std::size_t TEventLog::Count(const std::string& Name) const
{
    std::lock_guard guard(Lock);
    return static_cast<std::size_t>(std::count(Events.begin(), Events.end(), Name));
}

void TCollector::BufferReady(PWaveHdr lpWaveHdr)
{
    if (BeforeCollect)
        BeforeCollect(lpWaveHdr);
    std::lock_guard guard(Lock);
    Collected.insert(Collected.end(), lpWaveHdr->lpData,
                     lpWaveHdr->lpData + lpWaveHdr->dwBytesRecorded);
    BufferSizes.push_back(lpWaveHdr->dwBytesRecorded);
    InMain += IsMainThread() ? 1 : 0;
}

std::vector<std::uint8_t> TCollector::Bytes() const
{
    std::lock_guard guard(Lock);
    return Collected;
}

std::vector<std::uint32_t> TCollector::Sizes() const
{
    std::lock_guard guard(Lock);
    return BufferSizes;
}

std::size_t TCollector::BufferCount() const
{
    std::lock_guard guard(Lock);
    return BufferSizes.size();
}

bool TCollector::AllInMainThread() const
{
    std::lock_guard guard(Lock);
    return InMain == BufferSizes.size();
}

bool TCollector::NoneInMainThread() const
{
    std::lock_guard guard(Lock);
    return InMain == 0;
}

TTestSource::TTestSource(TComponent* Owner, std::vector<std::uint8_t> Data)
    : TMMDSPComponent(Owner), data_(std::move(Data))
{
    TWaveFormatEx format{};
    BuildPCMFormat(format, 16, 1, 8000);
    SetWaveFormat(&format);
}

void TTestSource::BufferLoad(PWaveHdr lpWaveHdr, bool& MoreBuffers)
{
    const std::size_t pull = ++pulls_;
    if (OnPull)
        OnPull();
    if (pull == WrapOnPull)
    {
        MMWaveHdr(lpWaveHdr)->WrapFlag = 1;
        --MMWaveHdr(lpWaveHdr)->LoopsRemaining;
    }
    if (pull >= EmptyFromPull)
    {
        lpWaveHdr->dwBytesRecorded = 0;
        MoreBuffers = true;
        return;
    }
    const std::size_t count =
        std::min<std::size_t>(lpWaveHdr->dwBufferLength, data_.size() - next_);
    std::copy_n(data_.begin() + static_cast<std::ptrdiff_t>(next_), count, lpWaveHdr->lpData);
    next_ += count;
    lpWaveHdr->dwBytesRecorded = static_cast<std::uint32_t>(count);
    MoreBuffers = next_ < data_.size();
}

void WaveDeviceTest::SetUp()
{
    Card = VirtualSoundCard::Create(VirtualClock::Stepped);
    auto next = std::make_shared<std::size_t>(0);
    Card->AddCaptureDevice("Counter",
                           MakeGeneratorSource(
                               [next](std::uint8_t* Data, std::size_t Bytes, const TWaveFormatEx&)
                               {
                                   for (std::size_t i = 0; i < Bytes; ++i)
                                       Data[i] = static_cast<std::uint8_t>((*next)++);
                               }));
    Card->AddCaptureDevice("Silence", MakeSilenceSource());
    Speaker = std::make_shared<MemorySink>();
    Card->AddPlaybackDevice("Speaker", Speaker);
    UseVirtualSoundCard(Card);
    PreviousErrorBox =
        SetErrorBoxHandler([this](const std::string& Message) { ErrorBoxes.push_back(Message); });
}

void WaveDeviceTest::TearDown()
{
    SetErrorBoxHandler(PreviousErrorBox);
    UseVirtualSoundCard(nullptr);
}

std::vector<std::uint8_t> WaveDeviceTest::Counter(std::size_t First, std::size_t Count)
{
    std::vector<std::uint8_t> bytes(Count);
    for (std::size_t i = 0; i < Count; ++i)
        bytes[i] = static_cast<std::uint8_t>(First + i);
    return bytes;
}

bool WaveDeviceTest::StepTo(std::uint64_t Frames, const TCollector& Collector, std::size_t Buffers)
{
    Card->AdvanceFrames(Frames);
    return PumpUntil([&] { return Collector.BufferCount() >= Buffers; });
}

} // namespace keb::test
