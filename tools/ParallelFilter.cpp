#include "tools/ParallelFilter.h"

#include "tools/FilterSettings.h"

#include <algorithm>
#include <cstdlib>
#include <new>
#include <stdexcept>
#include <sys/mman.h>
#include <thread>

namespace keb
{

namespace
{

// A lane's supply: the chunk it filters, from memory.
class TChunkSupply : public TSampleSupply
{
  public:
    void Reset(std::span<const std::int16_t> samples) { rest_ = samples; }
    bool Empty() const { return rest_.empty(); }

    std::size_t Supply(std::int16_t* samples, std::size_t count) override
    {
        const std::size_t given = std::min(count, rest_.size());
        std::copy_n(rest_.begin(), given, samples);
        rest_ = rest_.subspan(given);
        return given;
    }

  private:
    std::span<const std::int16_t> rest_;
};

constexpr std::size_t HugePageBytes = std::size_t{1} << 21;

} // namespace

void TParallelFilter::TFreeSamples::operator()(std::int16_t* samples) const
{
    std::free(samples);
}

// The buffers are touched anew for every chunk: on large pages, where the system has them,
// a first touch costs a fault per 2 MiB instead of one per 4 KiB. A small buffer (short
// chunks) stays on small pages, which a touch does not clear 2 MiB at a time.
TParallelFilter::TSamples TParallelFilter::AllocateSamples(std::size_t count)
{
    std::size_t bytes = count * sizeof(std::int16_t);
    const bool large = bytes >= HugePageBytes / 2;
    if (large)
        bytes = (bytes + HugePageBytes - 1) / HugePageBytes * HugePageBytes;
    void* memory = large ? std::aligned_alloc(HugePageBytes, bytes) : std::malloc(bytes);
    if (memory == nullptr)
        throw std::bad_alloc();
    if (large)
        ::madvise(memory, bytes, MADV_HUGEPAGE);
    return TSamples(static_cast<std::int16_t*>(memory));
}

struct TParallelFilter::TChunk
{
    // The warm-up (WarmUp samples) and the chunk itself; the lane writes the
    // output over them, behind the pulls that read them.
    TSamples Samples;
    std::size_t InputCount = 0;
    std::size_t WarmUp = 0;
    std::size_t OutputCount = 0;
    // Set by the lane once Output is complete; guarded by lock_.
    bool Filtered = false;
};

struct TParallelFilter::TLane
{
    TChunkSupply Supply;
    TFilterChain Chain{Supply, FilterSampleRate};
    std::thread Thread;
};

TParallelFilter::TParallelFilter(int lanes, const TConfigure& configure, std::size_t chunkSamples)
{
    for (int index = 0; index < std::max(lanes, 1); ++index)
    {
        auto lane = std::make_unique<TLane>();
        configure(lane->Chain);
        if (!lane->Chain.Blockwise())
            throw std::invalid_argument("parallel filter: the chain adapts to its input");
        lane->Chain.Open();
        lanes_.push_back(std::move(lane));
    }
    periodSamples_ = static_cast<std::size_t>(lanes_.front()->Chain.PeriodSamples());
    chunkSamples_ = periodSamples_ * std::max<std::size_t>(chunkSamples / periodSamples_, 1);
    chunks_.resize(2 * lanes_.size());
    for (TChunk& chunk : chunks_)
        chunk.Samples = AllocateSamples(periodSamples_ + chunkSamples_);
    warmUp_ = AllocateSamples(periodSamples_);
}

TParallelFilter::~TParallelFilter() = default;

bool TParallelFilter::Suits(const TConfigure& configure)
{
    TChunkSupply nothing;
    TFilterChain chain(nothing, FilterSampleRate);
    configure(chain);
    return chain.Blockwise();
}

void TParallelFilter::Run(TSampleSupply& supply, std::int64_t leadingSilence,
                          std::int64_t trailingSilence, const TSink& sink)
{
    TPcmSource source(nullptr, supply, FilterSampleRate);
    source.SetLeadingSilence(leadingSilence);
    source.SetTrailingSilence(trailingSilence);
    for (const auto& lane : lanes_)
        lane->Thread = std::thread([this, &lane = *lane] { FilterChunks(lane); });
    try
    {
        std::size_t filled = 0;
        std::size_t delivered = 0;
        bool ended = false;
        for (;;)
        {
            while (!ended && filled - delivered < chunks_.size() && Fill(source, filled, ended))
                Dispatch(++filled);
            if (delivered == filled)
                break;
            Deliver(delivered++, sink);
        }
    }
    catch (...)
    {
        Stop();
        throw;
    }
    Stop();
}

bool TParallelFilter::Fill(TPcmSource& source, std::size_t index, bool& ended)
{
    TChunk& chunk = chunks_[index % chunks_.size()];
    chunk.WarmUp = index == 0 ? 0 : periodSamples_;
    std::copy_n(warmUp_.get(), chunk.WarmUp, chunk.Samples.get());
    TWaveHdr header{};
    header.lpData = reinterpret_cast<char*>(chunk.Samples.get() + chunk.WarmUp);
    header.dwBufferLength = static_cast<std::uint32_t>(2 * chunkSamples_);
    bool more = false;
    source.BufferLoad(&header, more);
    ended = !more;
    const std::size_t count = header.dwBytesRecorded / 2;
    chunk.InputCount = chunk.WarmUp + count;
    if (!ended)
        std::copy_n(chunk.Samples.get() + chunk.InputCount - periodSamples_, periodSamples_,
                    warmUp_.get());
    return count > 0;
}

void TParallelFilter::Dispatch(std::size_t count)
{
    {
        std::lock_guard<std::mutex> hold(lock_);
        chunks_[(count - 1) % chunks_.size()].Filtered = false;
        dispatchedCount_ = count;
    }
    dispatched_.notify_one();
}

void TParallelFilter::FilterChunks(TLane& lane)
{
    for (;;)
    {
        std::size_t index = 0;
        {
            std::unique_lock<std::mutex> hold(lock_);
            dispatched_.wait(hold, [this] { return stopping_ || takenCount_ < dispatchedCount_; });
            if (stopping_)
                return;
            index = takenCount_++;
        }
        TChunk& chunk = chunks_[index % chunks_.size()];
        Filter(lane, chunk);
        {
            std::lock_guard<std::mutex> hold(lock_);
            chunk.Filtered = true;
        }
        filtered_.notify_one();
    }
}

void TParallelFilter::Filter(TLane& lane, TChunk& chunk) const
{
    lane.Supply.Reset({chunk.Samples.get(), chunk.InputCount});
    std::size_t skip = chunk.WarmUp;
    chunk.OutputCount = 0;
    // Whole pulls up to the chunk's end; only the stream's last chunk ends
    // within a pull, and a pull after its end would give nothing.
    for (bool more = true; more && !lane.Supply.Empty();)
    {
        std::span<const std::int16_t> samples = lane.Chain.Pull(more);
        const std::size_t dropped = std::min(skip, samples.size());
        skip -= dropped;
        samples = samples.subspan(dropped);
        std::copy(samples.begin(), samples.end(), chunk.Samples.get() + chunk.OutputCount);
        chunk.OutputCount += samples.size();
    }
}

void TParallelFilter::Deliver(std::size_t index, const TSink& sink)
{
    const TChunk& chunk = chunks_[index % chunks_.size()];
    {
        std::unique_lock<std::mutex> hold(lock_);
        filtered_.wait(hold, [&chunk] { return chunk.Filtered; });
    }
    sink({chunk.Samples.get(), chunk.OutputCount});
}

void TParallelFilter::Stop()
{
    {
        std::lock_guard<std::mutex> hold(lock_);
        stopping_ = true;
    }
    dispatched_.notify_all();
    for (const auto& lane : lanes_)
        if (lane->Thread.joinable())
            lane->Thread.join();
}

} // namespace keb
