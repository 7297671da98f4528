#include "WaveDeviceFixture.h"

#include "platform/core/Exceptions.h"
#include "platform/core/MainLoop.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace keb::test
{

bool PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds limit)
{
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!done())
    {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        WaitAndProcessMessages(5);
    }
    return true;
}

TWatchdog::TWatchdog(std::chrono::seconds limit)
    : guard_(
          [this, limit]
          {
              std::unique_lock lock(lock_);
              if (!done_.wait_for(lock, limit, [this] { return finished_; }))
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
        std::lock_guard guard(lock_);
        finished_ = true;
    }
    done_.notify_all();
    guard_.join();
}

void TEventLog::Add(const std::string& name)
{
    std::lock_guard guard(lock_);
    events_.push_back(name);
    inMain_.push_back(IsMainThread());
}

std::vector<std::string> TEventLog::Names() const
{
    std::lock_guard guard(lock_);
    return events_;
}

std::vector<std::string> TEventLog::Last(std::size_t count) const
{
    std::lock_guard guard(lock_);
    const std::size_t first = events_.size() > count ? events_.size() - count : 0;
    return {events_.begin() + static_cast<std::ptrdiff_t>(first), events_.end()};
}

bool TEventLog::AllInMainThread(const std::string& name) const
{
    std::lock_guard guard(lock_);
    for (std::size_t i = 0; i < events_.size(); ++i)
    {
        if (events_[i] == name && !inMain_[i])
            return false;
    }
    return true;
}

std::size_t TEventLog::Count(const std::string& name) const
{
    std::lock_guard guard(lock_);
    return static_cast<std::size_t>(std::count(events_.begin(), events_.end(), name));
}

void TCollector::BufferReady(PWaveHdr lpWaveHdr)
{
    if (BeforeCollect)
        BeforeCollect(lpWaveHdr);
    std::lock_guard guard(lock_);
    collected_.insert(collected_.end(), lpWaveHdr->lpData,
                      lpWaveHdr->lpData + lpWaveHdr->dwBytesRecorded);
    bufferSizes_.push_back(lpWaveHdr->dwBytesRecorded);
    inMain_ += IsMainThread() ? 1 : 0;
}

std::vector<std::uint8_t> TCollector::Bytes() const
{
    std::lock_guard guard(lock_);
    return collected_;
}

std::vector<std::uint32_t> TCollector::Sizes() const
{
    std::lock_guard guard(lock_);
    return bufferSizes_;
}

std::size_t TCollector::BufferCount() const
{
    std::lock_guard guard(lock_);
    return bufferSizes_.size();
}

bool TCollector::AllInMainThread() const
{
    std::lock_guard guard(lock_);
    return inMain_ == bufferSizes_.size();
}

bool TCollector::NoneInMainThread() const
{
    std::lock_guard guard(lock_);
    return inMain_ == 0;
}

TTestSource::TTestSource(TComponent* owner, std::vector<std::uint8_t> data)
    : TMMDSPComponent(owner), data_(std::move(data))
{
    TWaveFormatEx format{};
    BuildPCMFormat(format, 16, 1, 8000);
    SetWaveFormat(&format);
}

void TTestSource::BufferLoad(PWaveHdr lpWaveHdr, bool& moreBuffers)
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
        moreBuffers = true;
        return;
    }
    const std::size_t count =
        std::min<std::size_t>(lpWaveHdr->dwBufferLength, data_.size() - next_);
    std::copy_n(data_.begin() + static_cast<std::ptrdiff_t>(next_), count, lpWaveHdr->lpData);
    next_ += count;
    lpWaveHdr->dwBytesRecorded = static_cast<std::uint32_t>(count);
    moreBuffers = next_ < data_.size();
}

void WaveDeviceTest::SetUp()
{
    card_ = TVirtualSoundCard::Create(TVirtualClock::Stepped);
    auto next = std::make_shared<std::size_t>(0);
    card_->AddCaptureDevice("Counter",
                            MakeGeneratorSource(
                                [next](std::uint8_t* data, std::size_t bytes, const TWaveFormatEx&)
                                {
                                    for (std::size_t i = 0; i < bytes; ++i)
                                        data[i] = static_cast<std::uint8_t>((*next)++);
                                }));
    card_->AddCaptureDevice("Silence", MakeSilenceSource());
    speaker_ = std::make_shared<TMemorySink>();
    card_->AddPlaybackDevice("Speaker", speaker_);
    UseVirtualSoundCard(card_);
    previousErrorBox_ =
        SetErrorBoxHandler([this](const std::string& message) { errorBoxes_.push_back(message); });
}

void WaveDeviceTest::TearDown()
{
    SetErrorBoxHandler(previousErrorBox_);
    UseVirtualSoundCard(nullptr);
}

std::vector<std::uint8_t> WaveDeviceTest::Counter(std::size_t first, std::size_t count)
{
    std::vector<std::uint8_t> bytes(count);
    for (std::size_t i = 0; i < count; ++i)
        bytes[i] = static_cast<std::uint8_t>(first + i);
    return bytes;
}

bool WaveDeviceTest::StepTo(std::uint64_t frames, const TCollector& collector, std::size_t Buffers)
{
    card_->AdvanceFrames(frames);
    return PumpUntil([&] { return collector.BufferCount() >= Buffers; });
}

} // namespace keb::test
