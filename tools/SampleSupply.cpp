#include "tools/SampleSupply.h"

#include "dsp/PcmConversion.h"

#include <algorithm>

namespace keb
{
namespace
{
constexpr std::size_t ReadFrames = 32768;
} // namespace

std::size_t TMemorySupply::Supply(std::int16_t* samples, std::size_t count)
{
    std::size_t given = std::min(count, samples_.size() - position_);
    std::copy_n(samples_.begin() + static_cast<std::ptrdiff_t>(position_), given, samples);
    position_ += given;
    return given;
}

std::size_t TObservedSupply::Supply(std::int16_t* samples, std::size_t count)
{
    std::size_t given = inner_.Supply(samples, count);
    if (observer_ && given > 0)
        observer_(std::span<const std::int16_t>(samples, given));
    return given;
}

TFileSupply::TFileSupply(TSoundFileReader& reader, int rate)
    : reader_(reader), readBuffer_(ReadFrames)
{
    if (reader.SampleRate() != rate)
        resampler_ = std::make_unique<TResampler>(reader.SampleRate(), rate);
}

std::int64_t TFileSupply::TotalSamples() const
{
    return resampler_ ? resampler_->OutputLength(reader_.Frames()) : reader_.Frames();
}

bool TFileSupply::ReadsPcm16() const
{
    return !resampler_ && reader_.HoldsPcm16();
}

bool TFileSupply::Refill()
{
    pendingStart_ = 0;
    if (ReadsPcm16())
    {
        pending_.resize(ReadFrames);
        pendingEnd_ = ended_ ? 0 : reader_.Read(pending_.data(), pending_.size());
    }
    else
    {
        const std::span<const float> floats = NextFloats();
        pending_.resize(std::max(pending_.size(), floats.size()));
        RoundToPcm16(floats.data(), floats.size(), 32768.0f, pending_.data());
        pendingEnd_ = floats.size();
    }
    ended_ = ended_ || pendingEnd_ == 0;
    return pendingEnd_ > 0;
}

std::span<const float> TFileSupply::NextFloats()
{
    while (!ended_)
    {
        const std::size_t got = reader_.Read(readBuffer_.data(), readBuffer_.size());
        ended_ = got == 0;
        if (!resampler_)
            return {readBuffer_.data(), got};
        resampled_.clear();
        if (ended_)
            resampler_->Flush(resampled_);
        else
            resampler_->Process(readBuffer_.data(), got, resampled_);
        if (!resampled_.empty())
            return resampled_;
    }
    return {};
}

std::size_t TFileSupply::Supply(std::int16_t* samples, std::size_t count)
{
    std::size_t given = 0;
    while (given < count)
    {
        // The rest of a large request is read straight to where it goes.
        if (pendingStart_ == pendingEnd_ && count - given >= ReadFrames && ReadsPcm16())
        {
            const std::size_t wanted = count - given;
            const std::size_t got = ended_ ? 0 : reader_.Read(samples + given, wanted);
            given += got;
            ended_ = ended_ || got < wanted;
            break;
        }
        if (pendingStart_ == pendingEnd_ && !Refill())
            break;
        std::size_t take = std::min(count - given, pendingEnd_ - pendingStart_);
        std::copy_n(pending_.begin() + static_cast<std::ptrdiff_t>(pendingStart_), take,
                    samples + given);
        pendingStart_ += take;
        given += take;
    }
    return given;
}

} // namespace keb
