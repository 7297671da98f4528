// Part of the virtual sound card (TVirtualSoundCard.h): the sources: silence, a
// generator, a tone under noise and a WAV file.
#include "platform/audio/virtual/VirtualSoundCard.h"

#include "platform/audio/virtual/PcmSamples.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>
#include <random>
#include <sndfile.h>
#include <string>

namespace keb
{

namespace
{

class TSilenceSource final : public TVirtualSource
{
  public:
    TWaveResult Open(const TWaveFormatEx& format) override
    {
        silence_ = SilenceByteOf(format);
        return wrNoError;
    }

    void Read(std::uint8_t* data, std::size_t bytes) override
    {
        std::memset(data, silence_, bytes);
    }

  private:
    std::uint8_t silence_ = 0;
};

class TGeneratorSource final : public TVirtualSource
{
  public:
    explicit TGeneratorSource(TSampleGenerator function) : generator_(std::move(function)) {}

    TWaveResult Open(const TWaveFormatEx& openFormat) override
    {
        format_ = openFormat;
        return wrNoError;
    }

    void Read(std::uint8_t* data, std::size_t bytes) override { generator_(data, bytes, format_); }

  private:
    TSampleGenerator generator_;
    TWaveFormatEx format_{};
};

class TToneSource final : public TVirtualSource
{
  public:
    TToneSource(double toneFrequency, double tone, double noise)
        : frequency_(toneFrequency), toneAmplitude_(tone), noiseAmplitude_(noise)
    {
    }

    TWaveResult Open(const TWaveFormatEx& openFormat) override
    {
        format_ = openFormat;
        phase_ = 0;
        return wrNoError;
    }

    void Read(std::uint8_t* data, std::size_t bytes) override
    {
        const double step = 2 * std::numbers::pi * frequency_ / format_.nSamplesPerSec;
        std::uniform_real_distribution<double> noise(-noiseAmplitude_, noiseAmplitude_);
        for (std::size_t frame = 0; frame < bytes / format_.nBlockAlign; ++frame)
        {
            const double value = toneAmplitude_ * std::sin(phase_) + noise(random_);
            const auto sample =
                static_cast<std::int16_t>(std::lround(32767 * std::clamp(value, -1.0, 1.0)));
            for (int channel = 0; channel < format_.nChannels; ++channel)
            {
                data = StoreSample(data, sample, format_);
            }
            phase_ = std::fmod(phase_ + step, 2 * std::numbers::pi);
        }
    }

  private:
    const double frequency_;
    const double toneAmplitude_;
    const double noiseAmplitude_;
    TWaveFormatEx format_{};
    double phase_ = 0;
    std::minstd_rand random_;
};

class TWavFileSource final : public TVirtualSource
{
  public:
    TWavFileSource(std::string filePath, bool loopFile)
        : path_(std::move(filePath)), loop_(loopFile)
    {
    }
    ~TWavFileSource() override { Close(); }

    TWaveResult Open(const TWaveFormatEx& openFormat) override
    {
        Close();
        SF_INFO info{};
        file_ = sf_open(path_.c_str(), SFM_READ, &info);
        if (file_ == nullptr)
        {
            SetWaveErrorDetail(wrInvalidParameter, "The virtual card's input file " + path_ +
                                                       " cannot be read: " + sf_strerror(nullptr));
            return wrInvalidParameter;
        }
        if (info.samplerate != static_cast<int>(openFormat.nSamplesPerSec) ||
            info.channels != openFormat.nChannels)
        {
            Close();
            SetWaveErrorDetail(wrBadFormat, "The virtual card's input file " + path_ + " has " +
                                                std::to_string(info.samplerate) + " Hz and " +
                                                std::to_string(info.channels) +
                                                " channel(s); the device wants " +
                                                std::to_string(openFormat.nSamplesPerSec) +
                                                " Hz and " + std::to_string(openFormat.nChannels));
            return wrBadFormat;
        }
        format_ = openFormat;
        samples_.assign(ChunkFrames * format_.nChannels, 0);
        finished_ = false;
        atStart_ = true;
        return wrNoError;
    }

    void Read(std::uint8_t* data, std::size_t bytes) override
    {
        std::size_t frames = bytes / format_.nBlockAlign;
        while (frames > 0 && !finished_)
        {
            const sf_count_t wanted = static_cast<sf_count_t>(std::min(frames, ChunkFrames));
            const sf_count_t got = sf_readf_short(file_, samples_.data(), wanted);
            for (sf_count_t index = 0; index < got * format_.nChannels; ++index)
            {
                data = StoreSample(data, samples_[static_cast<std::size_t>(index)], format_);
            }
            frames -= static_cast<std::size_t>(got);
            if (got > 0)
            {
                atStart_ = false;
            }
            if (got < wanted)
            {
                // An empty file is not rewound again and again.
                finished_ = !loop_ || atStart_ || sf_seek(file_, 0, SEEK_SET) < 0;
                atStart_ = true;
            }
        }
        std::memset(data, SilenceByteOf(format_), frames * format_.nBlockAlign);
    }

    void Close() override
    {
        if (file_ != nullptr)
        {
            sf_close(file_);
            file_ = nullptr;
        }
    }

  private:
    static constexpr std::size_t ChunkFrames = 1024;
    const std::string path_;
    const bool loop_;
    SNDFILE* file_ = nullptr;
    TWaveFormatEx format_{};
    std::vector<std::int16_t> samples_;
    bool finished_ = false;
    bool atStart_ = true;
};

} // namespace

std::unique_ptr<TVirtualSource> MakeSilenceSource()
{
    return std::make_unique<TSilenceSource>();
}

std::unique_ptr<TVirtualSource> MakeGeneratorSource(TSampleGenerator generator)
{
    return std::make_unique<TGeneratorSource>(std::move(generator));
}

std::unique_ptr<TVirtualSource> MakeToneSource(double frequency, double toneAmplitude,
                                               double noiseAmplitude)
{
    return std::make_unique<TToneSource>(frequency, toneAmplitude, noiseAmplitude);
}

std::unique_ptr<TVirtualSource> MakeWavFileSource(std::string path, bool loop)
{
    return std::make_unique<TWavFileSource>(std::move(path), loop);
}

} // namespace keb
