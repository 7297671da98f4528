#include "tools/PrefetchSupply.h"

#include <algorithm>

namespace keb
{

TPrefetchSupply::TPrefetchSupply(TFileSupply& file) : file_(file), reader_([this] { ReadAhead(); })
{
}

TPrefetchSupply::~TPrefetchSupply()
{
    pipe_.Abort();
    reader_.join();
}

void TPrefetchSupply::ReadAhead()
{
    try
    {
        for (std::span<std::int16_t> block = pipe_.NextEmpty(); !block.empty();
             block = pipe_.NextEmpty())
        {
            const std::size_t got = file_.Supply(block.data(), block.size());
            if (got > 0)
                pipe_.Publish(got, file_.FramesRead());
            if (got < block.size())
            {
                pipe_.Finish();
                return;
            }
        }
    }
    catch (...)
    {
        pipe_.Abort(std::current_exception());
    }
}

std::size_t TPrefetchSupply::Supply(std::int16_t* samples, std::size_t count)
{
    std::size_t given = 0;
    while (given < count)
    {
        if (block_.empty())
        {
            if (holding_)
                pipe_.Release();
            block_ = pipe_.NextFilled();
            holding_ = !block_.empty();
            if (!holding_)
            {
                if (const std::exception_ptr error = pipe_.Error())
                    std::rethrow_exception(error);
                break;
            }
        }
        const std::size_t take = std::min(count - given, block_.size());
        std::copy_n(block_.begin(), take, samples + given);
        block_ = block_.subspan(take);
        given += take;
    }
    return given;
}

} // namespace keb
