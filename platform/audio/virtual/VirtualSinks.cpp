// Part of the virtual sound card (VirtualSoundCard.h): the sinks: memory, a WAV
// file and nowhere.
#include "platform/audio/virtual/VirtualSoundCard.h"

#include <filesystem>
#include <sndfile.h>

namespace keb
{

TWaveResult MemorySink::Open(const TWaveFormatEx&)
{
    return wrNoError;
}

void MemorySink::Write(const std::uint8_t* Data, std::size_t Bytes)
{
    std::lock_guard Guard(Lock);
    Played.insert(Played.end(), Data, Data + Bytes);
}

std::vector<std::uint8_t> MemorySink::Bytes() const
{
    std::lock_guard Guard(Lock);
    return Played;
}

std::vector<std::int16_t> MemorySink::Samples16() const
{
    std::lock_guard Guard(Lock);
    std::vector<std::int16_t> Samples(Played.size() / 2);
    for (std::size_t Index = 0; Index < Samples.size(); ++Index)
        Samples[Index] =
            static_cast<std::int16_t>(Played[2 * Index] | (Played[2 * Index + 1] << 8));
    return Samples;
}

void MemorySink::Clear()
{
    std::lock_guard Guard(Lock);
    Played.clear();
}

namespace
{

class WavFileSink final : public VirtualSink
{
  public:
    WavFileSink(std::string FilePath, std::string KeptFilePath)
        : Path(std::move(FilePath)), KeptPath(std::move(KeptFilePath))
    {
    }
    ~WavFileSink() override { Close(); }

    TWaveResult Open(const TWaveFormatEx& Format) override
    {
        Close();
        std::error_code Ignored;
        if (!KeptPath.empty() && std::filesystem::equivalent(Path, KeptPath, Ignored))
        {
            SetWaveErrorDetail(wrInvalidParameter, "The virtual card's output file " + Path +
                                                       " is its input file; it is not overwritten");
            return wrInvalidParameter;
        }
        SF_INFO Info{};
        Info.samplerate = static_cast<int>(Format.nSamplesPerSec);
        Info.channels = Format.nChannels;
        Info.format =
            SF_FORMAT_WAV | (Format.wBitsPerSample == 8 ? SF_FORMAT_PCM_U8 : SF_FORMAT_PCM_16);
        File = sf_open(Path.c_str(), SFM_WRITE, &Info);
        if (File == nullptr)
        {
            SetWaveErrorDetail(wrInvalidParameter,
                               "The virtual card's output file " + Path +
                                   " cannot be written: " + sf_strerror(nullptr));
            return wrInvalidParameter;
        }
        // The header follows every write, so that the file is whole even
        // when the program is killed before the device closes.
        sf_command(File, SFC_SET_UPDATE_HEADER_AUTO, nullptr, SF_TRUE);
        return wrNoError;
    }

    // The device's bytes are already little-endian PCM as the file stores it.
    void Write(const std::uint8_t* Data, std::size_t Bytes) override
    {
        sf_write_raw(File, Data, static_cast<sf_count_t>(Bytes));
    }

    void Close() override
    {
        if (File != nullptr)
        {
            sf_close(File);
            File = nullptr;
        }
    }

  private:
    const std::string Path;
    const std::string KeptPath;
    SNDFILE* File = nullptr;
};

class NullSink final : public VirtualSink
{
  public:
    TWaveResult Open(const TWaveFormatEx&) override { return wrNoError; }
    void Write(const std::uint8_t*, std::size_t) override {}
};

} // namespace

std::shared_ptr<VirtualSink> MakeWavFileSink(std::string Path, std::string KeptPath)
{
    return std::make_shared<WavFileSink>(std::move(Path), std::move(KeptPath));
}

std::shared_ptr<VirtualSink> MakeNullSink()
{
    return std::make_shared<NullSink>();
}

} // namespace keb
