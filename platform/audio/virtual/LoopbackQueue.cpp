#include "platform/audio/virtual/LoopbackQueue.h"

#include "platform/audio/virtual/PcmSamples.h"

#include <algorithm>
#include <cstring>

namespace keb
{

void TLoopbackQueue::Reset(std::size_t capacity)
{
    ring_.assign(capacity, 0);
    readIndex_ = 0;
    count_ = 0;
}

void TLoopbackQueue::Write(const std::uint8_t* data, std::size_t bytes)
{
    for (std::size_t index = 0; index < bytes && !ring_.empty(); ++index)
    {
        if (count_ == ring_.size())
        {
            readIndex_ = (readIndex_ + 1) % ring_.size();
            --count_;
        }
        ring_[(readIndex_ + count_) % ring_.size()] = data[index];
        ++count_;
    }
}

std::size_t TLoopbackQueue::Read(std::uint8_t* data, std::size_t bytes)
{
    const std::size_t taken = std::min(bytes, count_);
    for (std::size_t index = 0; index < taken; ++index)
    {
        data[index] = ring_[readIndex_];
        readIndex_ = (readIndex_ + 1) % ring_.size();
    }
    count_ -= taken;
    return taken;
}

namespace
{

class TLoopbackSource final : public TVirtualSource
{
  public:
    explicit TLoopbackSource(std::shared_ptr<TLoopbackQueue> from) : queue_(std::move(from)) {}

    TWaveResult Open(const TWaveFormatEx& format) override
    {
        silence_ = SilenceByteOf(format);
        return wrNoError;
    }

    void Read(std::uint8_t* data, std::size_t bytes) override
    {
        const std::size_t taken = queue_->Read(data, bytes);
        std::memset(data + taken, silence_, bytes - taken);
    }

  private:
    std::shared_ptr<TLoopbackQueue> queue_;
    std::uint8_t silence_ = 0;
};

} // namespace

std::unique_ptr<TVirtualSource> MakeLoopbackSource(std::shared_ptr<TLoopbackQueue> queue)
{
    return std::make_unique<TLoopbackSource>(std::move(queue));
}

} // namespace keb
