#include "tools/BlockPipe.h"

namespace keb
{

TBlockPipe::TBlockPipe() : blocks_(Blocks)
{
    for (TBlock& block : blocks_)
        block.Samples.resize(BlockSamples);
}

std::span<std::int16_t> TBlockPipe::NextEmpty()
{
    std::unique_lock<std::mutex> hold(lock_);
    emptyChanged_.wait(hold, [this] { return aborted_ || filled_ < blocks_.size(); });
    if (aborted_)
        return {};
    return blocks_[(next_ + filled_) % blocks_.size()].Samples;
}

void TBlockPipe::Publish(std::size_t count, std::int64_t mark)
{
    {
        std::lock_guard<std::mutex> hold(lock_);
        TBlock& block = blocks_[(next_ + filled_) % blocks_.size()];
        block.Count = count;
        block.Mark = mark;
        ++filled_;
    }
    filledChanged_.notify_one();
}

void TBlockPipe::Finish()
{
    {
        std::lock_guard<std::mutex> hold(lock_);
        finished_ = true;
    }
    filledChanged_.notify_one();
}

std::span<const std::int16_t> TBlockPipe::NextFilled()
{
    std::unique_lock<std::mutex> hold(lock_);
    filledChanged_.wait(hold, [this] { return aborted_ || finished_ || filled_ > 0; });
    if (aborted_ || filled_ == 0)
        return {};
    const TBlock& block = blocks_[next_];
    mark_ = block.Mark;
    return std::span<const std::int16_t>(block.Samples).first(block.Count);
}

void TBlockPipe::Release()
{
    {
        std::lock_guard<std::mutex> hold(lock_);
        next_ = (next_ + 1) % blocks_.size();
        --filled_;
    }
    emptyChanged_.notify_one();
}

void TBlockPipe::Abort(std::exception_ptr error)
{
    {
        std::lock_guard<std::mutex> hold(lock_);
        aborted_ = true;
        if (!error_)
            error_ = error;
    }
    filledChanged_.notify_all();
    emptyChanged_.notify_all();
}

std::exception_ptr TBlockPipe::Error() const
{
    std::lock_guard<std::mutex> hold(lock_);
    return error_;
}

} // namespace keb
