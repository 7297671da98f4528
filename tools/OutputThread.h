// An output stage fed on a thread of its own: Write copies the samples into
// a block and hands full blocks to the thread, which writes them while the
// caller filters on; on two cores the two overlap. An error of the stage
// (an unwritable or full disk) reaches the caller at a later Write or at
// Flush, as the same exception. Flush writes what is left and waits for the
// thread; the stage, its observers included, is then the caller's again, to
// be finished. Without Flush the destructor stops the thread. The stage's
// observers run on the thread. Write and Flush on one thread, once Flush
// was called no Write.
#pragma once

#include "tools/BlockPipe.h"
#include "tools/OutputStage.h"

#include <thread>

namespace keb
{

class TOutputThread
{
  public:
    explicit TOutputThread(TOutputStage& stage);
    ~TOutputThread();
    TOutputThread(const TOutputThread&) = delete;
    TOutputThread& operator=(const TOutputThread&) = delete;

    void Write(std::span<const std::int16_t> samples);
    void Flush();

  private:
    void WriteBehind();
    // Hands the block being filled on, if it holds samples.
    void Publish();
    void RethrowError() const;

    TOutputStage& stage_;
    TBlockPipe pipe_;
    std::span<std::int16_t> block_;
    std::size_t filled_ = 0;
    std::thread writer_;
};

} // namespace keb
