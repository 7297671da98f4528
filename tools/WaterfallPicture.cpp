#include "tools/WaterfallPicture.h"

#include <algorithm>
#include <cstring>

namespace keb
{
namespace
{
constexpr int WaterfallRate = 8000;
constexpr int WaterfallFFTLength = 256;
constexpr int WaterfallAmplitudeScale = 50;
} // namespace

TWaterfallPicture::TWaterfallPicture()
    : map_(WindowRows), palette_(BuildSpectrogramPalette(spThreshold))
{
    analysis_.SetFFTLength(WaterfallFFTLength);
    analysis_.SetBitLength(b16Bit);
    analysis_.SetMode(mMono);
    analysis_.SetChannel(chLeft);
    analysis_.SetAmplitudeScale(WaterfallAmplitudeScale);
    const float base = ClampFrequencyBase(WaterfallRate, 0.0f, 1.0f);
    BuildFrequencyMap(map_, WaterfallRate, WaterfallFFTLength, base, 1.0f);
    block_.resize(WaterfallFFTLength);
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
    std::size_t start = pixels_.size();
    pixels_.resize(start + WindowRows);
    lineBuilder_.Build(analysis_.ColourValues(), map_, false, pixels_.data() + start);
}

} // namespace keb
