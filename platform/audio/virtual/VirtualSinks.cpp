// Part of the virtual sound card (TVirtualSoundCard.h): the sinks: memory, a WAV
// file and nowhere.
#include "platform/audio/virtual/VirtualSoundCard.h"

#include <filesystem>
#include <sndfile.h>

namespace keb
{

TWaveResult TMemorySink::Open(const TWaveFormatEx&)
{
    return wrNoError;
}

void TMemorySink::Write(const std::uint8_t* data, std::size_t bytes)
{
    std::lock_guard guard(lock_);
    played_.insert(played_.end(), data, data + bytes);
}

std::vector<std::uint8_t> TMemorySink::Bytes() const
{
    std::lock_guard guard(lock_);
    return played_;
}

std::vector<std::int16_t> TMemorySink::Samples16() const
{
    std::lock_guard guard(lock_);
    std::vector<std::int16_t> samples(played_.size() / 2);
    for (std::size_t index = 0; index < samples.size(); ++index)
        samples[index] =
            static_cast<std::int16_t>(played_[2 * index] | (played_[2 * index + 1] << 8));
    return samples;
}

void TMemorySink::Clear()
{
    std::lock_guard guard(lock_);
    played_.clear();
}

namespace
{

class TWavFileSink final : public TVirtualSink
{
  public:
    TWavFileSink(std::string filePath, std::string keptFilePath)
        : path_(std::move(filePath)), keptPath_(std::move(keptFilePath))
    {
    }
    ~TWavFileSink() override { Close(); }

    TWaveResult Open(const TWaveFormatEx& format) override
    {
        Close();
        std::error_code ignored;
        if (!keptPath_.empty() && std::filesystem::equivalent(path_, keptPath_, ignored))
        {
            SetWaveErrorDetail(wrInvalidParameter, "The virtual card's output file " + path_ +
                                                       " is its input file; it is not overwritten");
            return wrInvalidParameter;
        }
        SF_INFO info{};
        info.samplerate = static_cast<int>(format.nSamplesPerSec);
        info.channels = format.nChannels;
        info.format =
            SF_FORMAT_WAV | (format.wBitsPerSample == 8 ? SF_FORMAT_PCM_U8 : SF_FORMAT_PCM_16);
        file_ = sf_open(path_.c_str(), SFM_WRITE, &info);
        if (file_ == nullptr)
        {
            SetWaveErrorDetail(wrInvalidParameter,
                               "The virtual card's output file " + path_ +
                                   " cannot be written: " + sf_strerror(nullptr));
            return wrInvalidParameter;
        }
        // The header follows every write, so that the file is whole even
        // when the program is killed before the device closes.
        sf_command(file_, SFC_SET_UPDATE_HEADER_AUTO, nullptr, SF_TRUE);
        return wrNoError;
    }

    // The device's bytes are already little-endian PCM as the file stores it.
    void Write(const std::uint8_t* data, std::size_t bytes) override
    {
        sf_write_raw(file_, data, static_cast<sf_count_t>(bytes));
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
    const std::string path_;
    const std::string keptPath_;
    SNDFILE* file_ = nullptr;
};

class TNullSink final : public TVirtualSink
{
  public:
    TWaveResult Open(const TWaveFormatEx&) override { return wrNoError; }
    void Write(const std::uint8_t*, std::size_t) override {}
};

} // namespace

std::shared_ptr<TVirtualSink> MakeWavFileSink(std::string path, std::string keptPath)
{
    return std::make_shared<TWavFileSink>(std::move(path), std::move(keptPath));
}

std::shared_ptr<TVirtualSink> MakeNullSink()
{
    return std::make_shared<TNullSink>();
}

} // namespace keb
