#include "tools/OutputThread.h"

#include <algorithm>
#include <stdexcept>

namespace keb
{

TOutputThread::TOutputThread(TOutputStage& stage)
    : stage_(stage), writer_([this] { WriteBehind(); })
{
}

TOutputThread::~TOutputThread()
{
    if (writer_.joinable())
    {
        pipe_.Abort();
        writer_.join();
    }
}

void TOutputThread::WriteBehind()
{
    try
    {
        for (std::span<const std::int16_t> block = pipe_.NextFilled(); !block.empty();
             block = pipe_.NextFilled())
        {
            stage_.Write(block);
            pipe_.Release();
        }
    }
    catch (...)
    {
        pipe_.Abort(std::current_exception());
    }
}

void TOutputThread::RethrowError() const
{
    if (const std::exception_ptr error = pipe_.Error())
        std::rethrow_exception(error);
    throw std::logic_error("output thread stopped");
}

void TOutputThread::Write(std::span<const std::int16_t> samples)
{
    while (!samples.empty())
    {
        if (block_.empty())
        {
            block_ = pipe_.NextEmpty();
            if (block_.empty())
                RethrowError();
        }
        const std::size_t take = std::min(samples.size(), block_.size() - filled_);
        std::copy_n(samples.begin(), take, block_.begin() + static_cast<std::ptrdiff_t>(filled_));
        filled_ += take;
        samples = samples.subspan(take);
        if (filled_ == block_.size())
            Publish();
    }
}

void TOutputThread::Publish()
{
    if (filled_ > 0)
        pipe_.Publish(filled_);
    block_ = {};
    filled_ = 0;
}

void TOutputThread::Flush()
{
    Publish();
    pipe_.Finish();
    writer_.join();
    if (const std::exception_ptr error = pipe_.Error())
        std::rethrow_exception(error);
}

} // namespace keb
