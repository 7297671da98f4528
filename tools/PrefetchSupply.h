// A file supply read ahead on a thread of its own: the thread fills blocks
// from the file (reading, converting and resampling) while the caller
// filters the ones before, so that on two cores the two overlap. A read
// error reaches the caller at the Supply that would have given the samples
// after the error, as the same exception. The destructor stops the thread
// (after the read it may be in). Supply and FramesRead on one thread.
#pragma once

#include "tools/BlockPipe.h"
#include "tools/SampleSupply.h"

#include <thread>

namespace keb
{

class TPrefetchSupply : public TSampleSupply
{
  public:
    explicit TPrefetchSupply(TFileSupply& file);
    ~TPrefetchSupply() override;
    TPrefetchSupply(const TPrefetchSupply&) = delete;
    TPrefetchSupply& operator=(const TPrefetchSupply&) = delete;

    std::size_t Supply(std::int16_t* samples, std::size_t count) override;
    // Input frames read for the samples supplied so far, for progress.
    std::int64_t FramesRead() const { return pipe_.Mark(); }

  private:
    void ReadAhead();

    TFileSupply& file_;
    TBlockPipe pipe_;
    std::span<const std::int16_t> block_;
    bool holding_ = false;
    std::thread reader_;
};

} // namespace keb
