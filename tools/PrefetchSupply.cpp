#include "tools/PrefetchSupply.h"

#include <algorithm>

namespace keb
{
namespace
{
// Four blocks of 32768 samples: one being read, one being filtered, two
// evening out the differences between the two.
constexpr std::size_t Blocks = 4;
constexpr std::size_t BlockSamples = 32768;
} // namespace

TPrefetchSupply::TPrefetchSupply(TFileSupply& file)
    : file_(file), pipe_(Blocks, BlockSamples), reader_([this] { ReadAhead(); })
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
