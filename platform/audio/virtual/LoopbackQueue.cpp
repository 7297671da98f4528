#include "platform/audio/virtual/LoopbackQueue.h"

#include "platform/audio/virtual/PcmSamples.h"

#include <algorithm>
#include <cstring>

namespace keb
{

void LoopbackQueue::Reset(std::size_t Capacity)
{
    Ring.assign(Capacity, 0);
    ReadIndex = 0;
    Count = 0;
}

void LoopbackQueue::Write(const std::uint8_t* Data, std::size_t Bytes)
{
    for (std::size_t Index = 0; Index < Bytes && !Ring.empty(); ++Index)
    {
        if (Count == Ring.size())
        {
            ReadIndex = (ReadIndex + 1) % Ring.size();
            --Count;
        }
        Ring[(ReadIndex + Count) % Ring.size()] = Data[Index];
        ++Count;
    }
}

std::size_t LoopbackQueue::Read(std::uint8_t* Data, std::size_t Bytes)
{
    const std::size_t Taken = std::min(Bytes, Count);
    for (std::size_t Index = 0; Index < Taken; ++Index)
    {
        Data[Index] = Ring[ReadIndex];
        ReadIndex = (ReadIndex + 1) % Ring.size();
    }
    Count -= Taken;
    return Taken;
}

namespace
{

class LoopbackSource final : public VirtualSource
{
  public:
    explicit LoopbackSource(std::shared_ptr<LoopbackQueue> From) : Queue(std::move(From)) {}

    TWaveResult Open(const TWaveFormatEx& Format) override
    {
        Silence = SilenceByteOf(Format);
        return wrNoError;
    }

    void Read(std::uint8_t* Data, std::size_t Bytes) override
    {
        const std::size_t Taken = Queue->Read(Data, Bytes);
        std::memset(Data + Taken, Silence, Bytes - Taken);
    }

  private:
    std::shared_ptr<LoopbackQueue> Queue;
    std::uint8_t Silence = 0;
};

} // namespace

std::unique_ptr<VirtualSource> MakeLoopbackSource(std::shared_ptr<LoopbackQueue> Queue)
{
    return std::make_unique<LoopbackSource>(std::move(Queue));
}

} // namespace keb
