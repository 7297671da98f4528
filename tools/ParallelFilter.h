// The tool's chain (FilterChain.h) run over one stream on several threads at
// once, with the output one chain pulled from start to end gives, sample for
// sample.
//
// It holds for chains that are Blockwise: the stream the chain's source would
// give (leading silence, the supply's audio, trailing silence) is cut into
// chunks that start on a whole period of pulls and engine frames. Each lane,
// a chain and a thread of its own, filters the chunks it takes; before each
// one but the first it runs through the period of the stream just before the
// chunk and drops what that gives, which leaves its engine's queues, overlap
// and delay as one chain from the start holds them there.
//
// Run reads the stream on the calling thread and hands the output to the sink
// on that thread, in order, a chunk at a time. An error of the supply or the
// sink stops the lanes and leaves Run as it came. Memory: the lanes' chains
// and two chunks in flight per lane, reserved at construction (on large
// pages where the system gives them). Construct,
// Run and destroy on one thread; the lanes' threads live within Run.
#pragma once

#include "tools/FilterChain.h"

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <span>
#include <vector>

namespace keb
{

class TParallelFilter
{
  public:
    using TConfigure = std::function<void(TFilterChain& chain)>;
    using TSink = std::function<void(std::span<const std::int16_t> samples)>;

    // Nearly two minutes at 8000 Hz: 28 periods at the default FFT length, 7
    // at 1024 points (the warm-up costs a period per chunk). With the longest
    // warm-up, 128000 samples, a chunk fills 2 MiB, one large page.
    static constexpr std::size_t DefaultChunkSamples = (std::size_t{1} << 20) - 128000;

    // lanes chains (at least 1), each configured, then opened; they must be
    // Blockwise (std::invalid_argument otherwise). Chunks are chunkSamples
    // long, rounded down to whole periods, at least one.
    TParallelFilter(int lanes, const TConfigure& configure,
                    std::size_t chunkSamples = DefaultChunkSamples);
    ~TParallelFilter();
    TParallelFilter(const TParallelFilter&) = delete;
    TParallelFilter& operator=(const TParallelFilter&) = delete;

    // Whether the chains configure sets up are Blockwise.
    static bool Suits(const TConfigure& configure);

    // Filters leadingSilence zeros, the supply's audio and trailingSilence
    // zeros; once per filter.
    void Run(TSampleSupply& supply, std::int64_t leadingSilence, std::int64_t trailingSilence,
             const TSink& sink);

  private:
    struct TChunk;
    struct TLane;
    struct TFreeSamples
    {
        void operator()(std::int16_t* samples) const;
    };
    using TSamples = std::unique_ptr<std::int16_t[], TFreeSamples>;

    static TSamples AllocateSamples(std::size_t count);

    // The next chunk of the stream into its slot, after the end of the one
    // before as warm-up; false once the stream has nothing left.
    bool Fill(TPcmSource& source, std::size_t index, bool& ended);
    void Dispatch(std::size_t count);
    void FilterChunks(TLane& lane);
    void Filter(TLane& lane, TChunk& chunk) const;
    // Waits for chunk index to be filtered and hands it to the sink.
    void Deliver(std::size_t index, const TSink& sink);
    void Stop();

    std::size_t periodSamples_;
    std::size_t chunkSamples_;
    std::vector<std::unique_ptr<TLane>> lanes_;
    std::vector<TChunk> chunks_;
    // The end of the last chunk read: the next one's warm-up.
    TSamples warmUp_;

    std::mutex lock_;
    std::condition_variable dispatched_;
    std::condition_variable filtered_;
    // Chunks handed to the lanes and taken by them, counted from the start.
    std::size_t dispatchedCount_ = 0;
    std::size_t takenCount_ = 0;
    bool stopping_ = false;
};

} // namespace keb
