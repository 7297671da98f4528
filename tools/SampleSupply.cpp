#include "tools/SampleSupply.h"

#include <algorithm>
#include <cmath>

namespace keb
{
namespace
{
constexpr std::size_t ReadFrames = 8192;
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

std::int16_t ToPcm16(float value)
{
    float scaled = std::nearbyint(value * 32768.0f);
    return static_cast<std::int16_t>(std::clamp(scaled, -32768.0f, 32767.0f));
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

bool TFileSupply::Refill()
{
    pending_.clear();
    pendingStart_ = 0;
    while (pending_.empty() && !ended_)
    {
        std::size_t got = reader_.Read(readBuffer_.data(), readBuffer_.size());
        ended_ = got == 0;
        if (!resampler_)
            pending_.assign(readBuffer_.begin(),
                            readBuffer_.begin() + static_cast<std::ptrdiff_t>(got));
        else if (ended_)
            resampler_->Flush(pending_);
        else
            resampler_->Process(readBuffer_.data(), got, pending_);
    }
    return !pending_.empty();
}

std::size_t TFileSupply::Supply(std::int16_t* samples, std::size_t count)
{
    std::size_t given = 0;
    while (given < count)
    {
        if (pendingStart_ == pending_.size() && !Refill())
            break;
        std::size_t take = std::min(count - given, pending_.size() - pendingStart_);
        for (std::size_t i = 0; i < take; ++i)
            samples[given + i] = ToPcm16(pending_[pendingStart_ + i]);
        pendingStart_ += take;
        given += take;
    }
    return given;
}

} // namespace keb
