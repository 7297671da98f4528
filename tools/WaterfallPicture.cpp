#include "tools/WaterfallPicture.h"

#include <algorithm>
#include <cmath>

namespace keb
{
namespace
{
constexpr int WaterfallAmplitudeScale = 50;
} // namespace

TWaterfallPicture::TWaterfallPicture(int maxColumns)
    : maxColumns_(std::max(maxColumns, 1)), map_(WindowRows),
      palette_(BuildSpectrogramPalette(spThreshold))
{
    analysis_.SetFFTLength(BlockSamples);
    analysis_.SetBitLength(b16Bit);
    analysis_.SetMode(mMono);
    analysis_.SetChannel(chLeft);
    analysis_.SetAmplitudeScale(WaterfallAmplitudeScale);
    const float base = ClampFrequencyBase(SampleRate, 0.0f, 1.0f);
    BuildFrequencyMap(map_, SampleRate, BlockSamples, base, 1.0f);
    block_.resize(BlockSamples);
}

void TWaterfallPicture::Add(std::span<const std::int16_t> samples)
{
    while (!samples.empty())
    {
        std::size_t take = std::min(samples.size(), block_.size() - blockFill_);
        std::copy_n(samples.begin(), take,
                    block_.begin() + static_cast<std::ptrdiff_t>(blockFill_));
        blockFill_ += take;
        samples = samples.subspan(take);
        if (blockFill_ == block_.size())
        {
            AddColumn();
            blockFill_ = 0;
        }
    }
}

void TWaterfallPicture::AddColumn()
{
    analysis_.Analyse(reinterpret_cast<const std::uint8_t*>(block_.data()),
                      [this] { ++overflows_; });
    lineBuilder_.Build(analysis_.ColourValues(), map_, false, line_.data());
    const std::size_t stored = sums_.size() / WindowRows;
    if (blocks_ == static_cast<std::int64_t>(stored) * span_)
    {
        if (stored == 2 * static_cast<std::size_t>(maxColumns_))
            HalveSums();
        sums_.resize(sums_.size() + WindowRows, 0);
    }
    std::uint32_t* column = sums_.data() + sums_.size() - WindowRows;
    for (int y = 0; y < WindowRows; ++y)
        column[y] += line_[y];
    ++blocks_;
}

void TWaterfallPicture::HalveSums()
{
    const std::size_t halved = sums_.size() / WindowRows / 2;
    for (std::size_t column = 0; column < halved; ++column)
        for (std::size_t y = 0; y < WindowRows; ++y)
            sums_[column * WindowRows + y] =
                sums_[2 * column * WindowRows + y] + sums_[(2 * column + 1) * WindowRows + y];
    sums_.resize(halved * WindowRows);
    span_ *= 2;
}

int TWaterfallPicture::Columns() const
{
    return static_cast<int>(std::min<std::int64_t>(maxColumns_, blocks_));
}

std::uint8_t TWaterfallPicture::Pixel(int x, int y) const
{
    // Column x shows the blocks from `from` to `to` (fractions of a block
    // where a column splits one); each stored sum counts for the part of its
    // blocks inside that time.
    const double width = Columns();
    const double from = static_cast<double>(x) * static_cast<double>(blocks_) / width;
    const double to = static_cast<double>(x + 1) * static_cast<double>(blocks_) / width;
    const auto first = static_cast<std::int64_t>(from) / span_;
    double total = 0;
    for (std::int64_t stored = first; stored * span_ < to; ++stored)
    {
        const auto start = static_cast<double>(stored * span_);
        const auto end = static_cast<double>(std::min(blocks_, (stored + 1) * span_));
        const double inside = std::min(to, end) - std::max(from, start);
        if (inside > 0)
            total +=
                sums_[static_cast<std::size_t>(stored) * WindowRows + static_cast<std::size_t>(y)] *
                inside / (end - start);
    }
    return static_cast<std::uint8_t>(std::lround(total / (to - from)));
}

} // namespace keb
