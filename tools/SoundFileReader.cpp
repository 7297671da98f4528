#include "tools/SoundFileReader.h"

#include "tools/FilterErrors.h"

#include <array>
#include <sndfile.h>
#include <sstream>
#include <stdexcept>
#include <type_traits>

namespace keb
{
namespace
{

// libsndfile reads a file whose audio runs past the end of the file as far
// as it goes and notes the audio's size as "<size> (should be <found>)" in its
// log: "data :" for WAV, W64 and RF64, "SSND :" for AIFF, "Data Size" for AU.
// Such a file was cut off while it was written or copied.
bool LogShowsCutData(SNDFILE* sound)
{
    std::array<char, 8192> log{};
    sf_command(sound, SFC_GET_LOG_INFO, log.data(), static_cast<int>(log.size()));
    std::istringstream lines(log.data());
    for (std::string line; std::getline(lines, line);)
    {
        line.erase(0, line.find_first_not_of(' '));
        const bool audioSize = line.rfind("data :", 0) == 0 || line.rfind("SSND :", 0) == 0 ||
                               line.rfind("Data Size", 0) == 0;
        if (audioSize && line.find("(should be") != std::string::npos)
            return true;
    }
    return false;
}

// libsndfile's words for a header it cannot use, in the user's terms.
std::string OpenFailure()
{
    const std::string cause = sf_strerror(nullptr);
    if (cause.find("SF_INFO struct incomplete") != std::string::npos)
        return "its header gives a sample rate or channel count of 0";
    return "cannot read as audio: " + cause;
}

sf_count_t ReadFrames(SNDFILE* sound, float* samples, sf_count_t count)
{
    return sf_readf_float(sound, samples, count);
}

sf_count_t ReadFrames(SNDFILE* sound, std::int16_t* samples, sf_count_t count)
{
    return sf_readf_short(sound, samples, count);
}

// The mean of a frame's channels.
float Mean(const float* values, std::size_t channels)
{
    float sum = 0;
    for (std::size_t c = 0; c < channels; ++c)
        sum += values[c];
    return sum / static_cast<float>(channels);
}

} // namespace

TSoundFileReader::TSoundFileReader(const std::filesystem::path& file, TChannelPick channel)
    : file_(file), channel_(channel)
{
    std::error_code error;
    if (std::filesystem::is_directory(file, error))
        Fail("is a folder, not a recording");
    SF_INFO info{};
    sound_.reset(sf_open(file.c_str(), SFM_READ, &info));
    if (sound_ == nullptr)
        Fail(OpenFailure());
    sampleRate_ = info.samplerate;
    channels_ = info.channels;
    format_ = info.format;
    frames_ = info.frames;
    if (LogShowsCutData(sound_.get()))
        Fail("is cut off: the file ends before the audio its header announces");
    if (frames_ <= 0)
        Fail("holds no audio");
    if (sampleRate_ <= 0 || channels_ <= 0)
        Fail("has no usable sample rate or channel count");
}

void TSoundFileReader::TSoundCloser::operator()(SNDFILE* sound) const
{
    sf_close(sound);
}

void TSoundFileReader::Fail(const std::string& cause) const
{
    throw EFilterInputError(FileMessage(file_, cause));
}

bool TSoundFileReader::HoldsPcm16() const
{
    return (format_ & SF_FORMAT_SUBMASK) == SF_FORMAT_PCM_16 &&
           (channel_ != TChannelPick::Mix || channels_ == 1);
}

std::size_t TSoundFileReader::Read(float* samples, std::size_t count)
{
    return ReadPicked(samples, count, frameBuffer_);
}

std::size_t TSoundFileReader::Read(std::int16_t* samples, std::size_t count)
{
    if (!HoldsPcm16())
        throw std::logic_error("not a file of 16-bit samples");
    return ReadPicked(samples, count, pcmFrameBuffer_);
}

void TSoundFileReader::CheckRead(std::int64_t got) const
{
    if (sf_error(sound_.get()) != SF_ERR_NO_ERROR)
        Fail(std::string("read error after ") + std::to_string(framesRead_) +
             " frames: " + sf_strerror(sound_.get()));
    if (got <= 0 && framesRead_ < frames_)
        Fail("is cut off: it ends after " + std::to_string(framesRead_) + " of " +
             std::to_string(frames_) + " frames");
}

template <class TSample>
std::size_t TSoundFileReader::ReadPicked(TSample* samples, std::size_t count,
                                         std::vector<TSample>& frameBuffer)
{
    const auto stride = static_cast<std::size_t>(channels_);
    // One channel needs no picking: it is read where it goes.
    if (stride > 1)
        frameBuffer.resize(count * stride);
    TSample* frames = stride > 1 ? frameBuffer.data() : samples;
    const sf_count_t got = ReadFrames(sound_.get(), frames, static_cast<sf_count_t>(count));
    CheckRead(got);
    const std::size_t read = got > 0 ? static_cast<std::size_t>(got) : 0;
    if (stride > 1)
        for (std::size_t frame = 0; frame < read; ++frame)
        {
            const TSample* values = frames + frame * stride;
            switch (channel_)
            {
            case TChannelPick::Left:
                samples[frame] = values[0];
                break;
            case TChannelPick::Right:
                samples[frame] = values[1];
                break;
            case TChannelPick::Mix:
                // Only floats are mixed: a file read as 16-bit samples is never.
                if constexpr (std::is_same_v<TSample, float>)
                    samples[frame] = Mean(values, stride);
                break;
            }
        }
    framesRead_ += static_cast<std::int64_t>(read);
    return read;
}

} // namespace keb
