// Blocks of 16-bit samples handed from one thread to another through a
// fixed set of blocks allocated at construction: a producer fills empty
// blocks and publishes them, a consumer takes them in the same order and
// releases them; each side waits only while no block is ready for it, and
// nothing is allocated per block.
//
// The producer ends the stream with Finish: the consumer still gets every
// published block, then an empty span. Either side may Abort, with the
// exception that stopped it or none: from then on both sides get empty spans
// at once, and Error gives the exception. One producer thread and one
// consumer thread; any thread may call Abort and Error.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <exception>
#include <mutex>
#include <span>
#include <vector>

namespace keb
{

class TBlockPipe
{
  public:
    // Four blocks of 32768 samples: one being filled, one being used, two
    // evening out the differences between the two sides.
    static constexpr std::size_t Blocks = 4;
    static constexpr std::size_t BlockSamples = 32768;

    TBlockPipe();

    // The next empty block, waiting for one; empty once the pipe is aborted.
    std::span<std::int16_t> NextEmpty();
    // Hands the first `count` samples of the block NextEmpty gave to the
    // consumer, with a mark of the producer's own (its progress, say).
    void Publish(std::size_t count, std::int64_t mark = 0);
    void Finish();

    // The next published block, waiting for one; empty once the stream is
    // finished and every block taken, or the pipe is aborted.
    std::span<const std::int16_t> NextFilled();
    // The mark the last block NextFilled gave was published with.
    std::int64_t Mark() const { return mark_; }
    // Gives the block NextFilled gave back to the producer.
    void Release();

    void Abort(std::exception_ptr error = nullptr);
    std::exception_ptr Error() const;

  private:
    struct TBlock
    {
        std::vector<std::int16_t> Samples;
        std::size_t Count = 0;
        std::int64_t Mark = 0;
    };

    std::vector<TBlock> blocks_;
    mutable std::mutex lock_;
    std::condition_variable filledChanged_;
    std::condition_variable emptyChanged_;
    // Blocks published and not yet released; the producer fills block
    // (next_ + filled_) % size, the consumer takes block next_.
    std::size_t next_ = 0;
    std::size_t filled_ = 0;
    bool finished_ = false;
    bool aborted_ = false;
    std::exception_ptr error_;
    // Read and written by the consumer alone.
    std::int64_t mark_ = 0;
};

} // namespace keb
