// Part of the virtual sound card (VirtualSoundCard.h): the sources: silence, a
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

class SilenceSource final : public VirtualSource
{
  public:
    TWaveResult Open(const TWaveFormatEx& Format) override
    {
        Silence = SilenceByteOf(Format);
        return wrNoError;
    }

    void Read(std::uint8_t* Data, std::size_t Bytes) override { std::memset(Data, Silence, Bytes); }

  private:
    std::uint8_t Silence = 0;
};

class GeneratorSource final : public VirtualSource
{
  public:
    explicit GeneratorSource(TSampleGenerator Function) : Generator(std::move(Function)) {}

    TWaveResult Open(const TWaveFormatEx& OpenFormat) override
    {
        Format = OpenFormat;
        return wrNoError;
    }

    void Read(std::uint8_t* Data, std::size_t Bytes) override { Generator(Data, Bytes, Format); }

  private:
    TSampleGenerator Generator;
    TWaveFormatEx Format{};
};

class ToneSource final : public VirtualSource
{
  public:
    ToneSource(double ToneFrequency, double Tone, double Noise)
        : Frequency(ToneFrequency), ToneAmplitude(Tone), NoiseAmplitude(Noise)
    {
    }

    TWaveResult Open(const TWaveFormatEx& OpenFormat) override
    {
        Format = OpenFormat;
        Phase = 0;
        return wrNoError;
    }

    void Read(std::uint8_t* Data, std::size_t Bytes) override
    {
        const double Step = 2 * std::numbers::pi * Frequency / Format.nSamplesPerSec;
        std::uniform_real_distribution<double> Noise(-NoiseAmplitude, NoiseAmplitude);
        for (std::size_t Frame = 0; Frame < Bytes / Format.nBlockAlign; ++Frame)
        {
            const double Value = ToneAmplitude * std::sin(Phase) + Noise(Random);
            const auto Sample =
                static_cast<std::int16_t>(std::lround(32767 * std::clamp(Value, -1.0, 1.0)));
            for (int Channel = 0; Channel < Format.nChannels; ++Channel)
            {
                Data = StoreSample(Data, Sample, Format);
            }
            Phase = std::fmod(Phase + Step, 2 * std::numbers::pi);
        }
    }

  private:
    const double Frequency;
    const double ToneAmplitude;
    const double NoiseAmplitude;
    TWaveFormatEx Format{};
    double Phase = 0;
    std::minstd_rand Random;
};

class WavFileSource final : public VirtualSource
{
  public:
    WavFileSource(std::string FilePath, bool LoopFile) : Path(std::move(FilePath)), Loop(LoopFile)
    {
    }
    ~WavFileSource() override { Close(); }

    TWaveResult Open(const TWaveFormatEx& OpenFormat) override
    {
        Close();
        SF_INFO Info{};
        File = sf_open(Path.c_str(), SFM_READ, &Info);
        if (File == nullptr)
        {
            SetWaveErrorDetail(wrInvalidParameter, "The virtual card's input file " + Path +
                                                       " cannot be read: " + sf_strerror(nullptr));
            return wrInvalidParameter;
        }
        if (Info.samplerate != static_cast<int>(OpenFormat.nSamplesPerSec) ||
            Info.channels != OpenFormat.nChannels)
        {
            Close();
            SetWaveErrorDetail(wrBadFormat, "The virtual card's input file " + Path + " has " +
                                                std::to_string(Info.samplerate) + " Hz and " +
                                                std::to_string(Info.channels) +
                                                " channel(s); the device wants " +
                                                std::to_string(OpenFormat.nSamplesPerSec) +
                                                " Hz and " + std::to_string(OpenFormat.nChannels));
            return wrBadFormat;
        }
        Format = OpenFormat;
        Samples.assign(ChunkFrames * Format.nChannels, 0);
        Finished = false;
        AtStart = true;
        return wrNoError;
    }

    void Read(std::uint8_t* Data, std::size_t Bytes) override
    {
        std::size_t Frames = Bytes / Format.nBlockAlign;
        while (Frames > 0 && !Finished)
        {
            const sf_count_t Wanted = static_cast<sf_count_t>(std::min(Frames, ChunkFrames));
            const sf_count_t Got = sf_readf_short(File, Samples.data(), Wanted);
            for (sf_count_t Index = 0; Index < Got * Format.nChannels; ++Index)
            {
                Data = StoreSample(Data, Samples[static_cast<std::size_t>(Index)], Format);
            }
            Frames -= static_cast<std::size_t>(Got);
            if (Got > 0)
            {
                AtStart = false;
            }
            if (Got < Wanted)
            {
                // An empty file is not rewound again and again.
                Finished = !Loop || AtStart || sf_seek(File, 0, SEEK_SET) < 0;
                AtStart = true;
            }
        }
        std::memset(Data, SilenceByteOf(Format), Frames * Format.nBlockAlign);
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
    static constexpr std::size_t ChunkFrames = 1024;
    const std::string Path;
    const bool Loop;
    SNDFILE* File = nullptr;
    TWaveFormatEx Format{};
    std::vector<std::int16_t> Samples;
    bool Finished = false;
    bool AtStart = true;
};

} // namespace

std::unique_ptr<VirtualSource> MakeSilenceSource()
{
    return std::make_unique<SilenceSource>();
}

std::unique_ptr<VirtualSource> MakeGeneratorSource(TSampleGenerator Generator)
{
    return std::make_unique<GeneratorSource>(std::move(Generator));
}

std::unique_ptr<VirtualSource> MakeToneSource(double Frequency, double ToneAmplitude,
                                              double NoiseAmplitude)
{
    return std::make_unique<ToneSource>(Frequency, ToneAmplitude, NoiseAmplitude);
}

std::unique_ptr<VirtualSource> MakeWavFileSource(std::string Path, bool Loop)
{
    return std::make_unique<WavFileSource>(std::move(Path), Loop);
}

} // namespace keb
