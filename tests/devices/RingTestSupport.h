// Buffers, sources and sinks for the ring buffer tests.
//
// Blocks carry a sequence number in every byte-pair (little-endian 16-bit
// words), so a test can tell from the bytes alone which block arrived.
#pragma once

#include "devices/MMRingBf.h"
#include "stream/MMUtils.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

namespace keb::test
{

struct THeaderDeleter
{
    void operator()(TMMWaveHdr* header) const { FreeAndClear(header); }
};
using THeaderPtr = std::unique_ptr<TMMWaveHdr, THeaderDeleter>;

inline THeaderPtr MakeHeader(std::uint32_t bytes)
{
    return THeaderPtr(AllocWaveHdr(bytes));
}

// `bytes` bytes whose 16-bit words all hold `sequence`.
inline std::vector<char> Block(std::uint16_t sequence, std::size_t bytes)
{
    std::vector<char> block(bytes);
    for (std::size_t i = 0; i + 1 < bytes; i += 2)
    {
        block[i] = static_cast<char>(sequence & 0xFF);
        block[i + 1] = static_cast<char>(sequence >> 8);
    }
    return block;
}

// The sequence number that every word of the bytes holds, or -1 when the
// words differ (a torn or mixed block).
inline int SequenceOf(const char* data, std::size_t bytes)
{
    if (bytes < 2)
        return -1;
    const auto word = [data](std::size_t i)
    { return static_cast<std::uint8_t>(data[i]) | (static_cast<std::uint8_t>(data[i + 1]) << 8); };
    const int first = word(0);
    for (std::size_t i = 2; i + 1 < bytes; i += 2)
        if (word(i) != first)
            return -1;
    return first;
}

inline bool AllZero(const char* data, std::size_t bytes)
{
    for (std::size_t i = 0; i < bytes; ++i)
        if (data[i] != 0)
            return false;
    return true;
}

// Pushes one block into the chain component as a producer device would.
inline void Push(TMMDSPComponent& target, const std::vector<char>& block, std::uint32_t user = 0)
{
    THeaderPtr header = MakeHeader(static_cast<std::uint32_t>(block.size()));
    MoveBytes(block.data(), header->wh.lpData, static_cast<std::ptrdiff_t>(block.size()));
    header->wh.dwBytesRecorded = static_cast<std::uint32_t>(block.size());
    header->wh.dwUser = user;
    target.BufferReady(&header->wh);
}

// What one pull returned.
struct TPulled
{
    std::vector<char> Bytes;
    bool More = false;
    std::uint32_t User = 0;
    std::uint32_t WrapFlag = 0;
};

// Pulls `bytes` bytes from the chain component as a consumer device would.
inline TPulled Pull(TMMDSPComponent& source, std::uint32_t bytes)
{
    THeaderPtr header = MakeHeader(bytes);
    header->wh.dwBytesRecorded = 0;
    TPulled pulled;
    source.BufferLoad(&header->wh, pulled.More);
    pulled.Bytes.assign(header->wh.lpData, header->wh.lpData + header->wh.dwBytesRecorded);
    pulled.User = header->wh.dwUser;
    pulled.WrapFlag = header->WrapFlag;
    return pulled;
}

// An upstream component that supplies numbered blocks of blockBytes bytes on
// every pull (as many whole blocks as fit), up to `limit` blocks, then says
// the stream has ended.
class TNumberedSource : public TMMDSPComponent
{
  public:
    TNumberedSource(TComponent* owner, std::int32_t blockBytes, int limit,
                    int blocksPerPull = 1 << 30)
        : TMMDSPComponent(owner), blockBytes_(blockBytes), limit_(limit),
          blocksPerPull_(blocksPerPull)
    {
    }

    void BufferLoad(PWaveHdr lpWaveHdr, bool& moreBuffers) override
    {
        ++pulls;
        if (OnPull)
            OnPull(MMWaveHdr(lpWaveHdr));
        std::uint32_t filled = 0;
        for (int blocks = 0; blocks < blocksPerPull_ && next_ < limit_ &&
                             filled + blockBytes_ <= lpWaveHdr->dwBufferLength;
             ++blocks)
        {
            const auto block = Block(static_cast<std::uint16_t>(next_++), blockBytes_);
            MoveBytes(block.data(), lpWaveHdr->lpData + filled, blockBytes_);
            filled += blockBytes_;
        }
        lpWaveHdr->dwBytesRecorded = filled;
        moreBuffers = next_ < limit_;
    }

    std::atomic<int> pulls{0};
    // Runs at the start of every pull, in the pulling thread.
    std::function<void(TMMWaveHdr* header)> OnPull;

  private:
    const std::uint32_t blockBytes_;
    const int limit_;
    const int blocksPerPull_;
    std::atomic<int> next_{0};
};

// A door that threads wait at until the test opens it.
class TGate
{
  public:
    void Pass()
    {
        std::unique_lock lock(lock_);
        ++arrived_;
        changed_.notify_all();
        changed_.wait(lock, [this] { return open_; });
    }
    void Open()
    {
        std::lock_guard guard(lock_);
        open_ = true;
        changed_.notify_all();
    }
    void AwaitArrival()
    {
        std::unique_lock lock(lock_);
        changed_.wait(lock, [this] { return arrived_ > 0; });
    }

  private:
    std::mutex lock_;
    std::condition_variable changed_;
    bool open_ = false;
    int arrived_ = 0;
};

// A downstream component that keeps every byte pushed into it.
class TCollectingSink : public TMMDSPComponent
{
  public:
    using TMMDSPComponent::TMMDSPComponent;

    void BufferReady(PWaveHdr lpWaveHdr) override
    {
        if (gate)
            gate->Pass();
        std::lock_guard guard(lock_);
        ++pushes_;
        bytes_.insert(bytes_.end(), lpWaveHdr->lpData,
                      lpWaveHdr->lpData + lpWaveHdr->dwBytesRecorded);
    }

    std::vector<char> Bytes() const
    {
        std::lock_guard guard(lock_);
        return bytes_;
    }
    int Pushes() const
    {
        std::lock_guard guard(lock_);
        return pushes_;
    }

    // When set, every push waits at the gate first.
    TGate* gate = nullptr;

  private:
    mutable std::mutex lock_;
    std::vector<char> bytes_;
    int pushes_ = 0;
};

} // namespace keb::test
