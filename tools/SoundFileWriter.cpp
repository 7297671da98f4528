#include "tools/SoundFileWriter.h"

#include "tools/FilterErrors.h"

#include <algorithm>
#include <cctype>
#include <limits>
#include <map>
#include <sndfile.h>
#include <string>

namespace keb
{

namespace
{

constexpr std::int64_t BytesPerSample = 2;
// Samples gathered before a write: 128 KiB.
constexpr std::size_t BlockSamples = 65536;

std::string TooLong(int container)
{
    if (container == SF_FORMAT_WAV)
        return "is longer than its expected length allows a WAV file (4 GiB at most); name it "
               ".flac or .caf";
    return std::string("is too long for ") + (container == SF_FORMAT_AIFF ? "an AIFF" : "an AU") +
           " file (4 GiB at most); name it .wav, .flac or .caf";
}

} // namespace

int OutputContainer(const std::filesystem::path& file)
{
    if (file == "-")
        return SF_FORMAT_WAV;
    static const std::map<std::string, int> containers{
        {".wav", SF_FORMAT_WAV},   {".flac", SF_FORMAT_FLAC}, {".aif", SF_FORMAT_AIFF},
        {".aiff", SF_FORMAT_AIFF}, {".au", SF_FORMAT_AU},     {".caf", SF_FORMAT_CAF}};
    std::string ending = file.extension().string();
    std::transform(ending.begin(), ending.end(), ending.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    auto found = containers.find(ending);
    if (found == containers.end())
        throw EFilterUsageError(FileMessage(
            file, "the output's name must end in .wav, .flac, .aif, .aiff, .au or .caf"));
    return found->second;
}

std::uint64_t ContainerByteLimit(int container)
{
    // 32-bit chunk sizes, less room for the header.
    if (container == SF_FORMAT_AIFF || container == SF_FORMAT_AU || container == SF_FORMAT_WAV)
        return 0xFFFFFFFFull - 4096;
    return std::numeric_limits<std::uint64_t>::max();
}

int WavFormatFor(std::int64_t expectedSamples)
{
    // Plain WAV is what every reader takes, so a recording known to fit is
    // written that way. Past 4 GiB, or of unknown length (a pipe), it is RF64,
    // which libsndfile keeps as WAV while small, but with an extensible format
    // header that simple readers refuse.
    constexpr std::uint64_t marginBytes = 1 << 20;
    const bool fits = expectedSamples >= 0 &&
                      static_cast<std::uint64_t>(expectedSamples) * BytesPerSample + marginBytes <
                          ContainerByteLimit(SF_FORMAT_WAV);
    return fits ? SF_FORMAT_WAV : SF_FORMAT_RF64;
}

TSoundFileWriter::TSoundFileWriter(const std::filesystem::path& file, int sampleRate,
                                   std::int64_t expectedSamples)
    : TSoundFileWriter(file, sampleRate, expectedSamples,
                       OutputContainer(file) == SF_FORMAT_WAV &&
                               WavFormatFor(expectedSamples) == SF_FORMAT_RF64
                           ? std::numeric_limits<std::uint64_t>::max()
                           : ContainerByteLimit(OutputContainer(file)))
{
}

TSoundFileWriter::TSoundFileWriter(const std::filesystem::path& file, int sampleRate,
                                   std::int64_t expectedSamples, std::uint64_t byteLimit)
    : file_((OutputContainer(file), file)), byteLimit_(byteLimit)
{
    const int container = OutputContainer(file);
    const int format = container == SF_FORMAT_WAV ? WavFormatFor(expectedSamples) : container;
    SF_INFO info{};
    info.samplerate = sampleRate;
    info.channels = 1;
    info.format = format | SF_FORMAT_PCM_16;
    sound_ = sf_open_fd(file_.Descriptor(), SFM_WRITE, &info, SF_FALSE);
    if (sound_ == nullptr)
        Fail(std::string("cannot start the recording: ") + sf_strerror(nullptr));
    if (format == SF_FORMAT_RF64)
        sf_command(sound_, SFC_RF64_AUTO_DOWNGRADE, nullptr, SF_TRUE);
    pending_.reserve(BlockSamples);
}

TSoundFileWriter::~TSoundFileWriter()
{
    if (sound_ != nullptr)
        sf_close(sound_);
}

void TSoundFileWriter::Fail(const std::string& cause) const
{
    throw EFilterOutputError(FileMessage(file_.Target(), cause));
}

void TSoundFileWriter::Write(std::span<const std::int16_t> samples)
{
    if (samples.empty())
        return;
    const auto bytes = static_cast<std::uint64_t>(
        (written_ + static_cast<std::int64_t>(samples.size())) * BytesPerSample);
    if (bytes > byteLimit_)
        Fail(TooLong(OutputContainer(file_.Target())));
    written_ += static_cast<std::int64_t>(samples.size());
    while (!samples.empty())
    {
        // Whole blocks pass straight through when nothing is gathered before them.
        if (pending_.empty() && samples.size() >= BlockSamples)
        {
            const std::size_t direct = samples.size() / BlockSamples * BlockSamples;
            WriteBlock(samples.first(direct));
            samples = samples.subspan(direct);
            continue;
        }
        const std::size_t take = std::min(samples.size(), BlockSamples - pending_.size());
        pending_.insert(pending_.end(), samples.begin(),
                        samples.begin() + static_cast<std::ptrdiff_t>(take));
        samples = samples.subspan(take);
        if (pending_.size() == BlockSamples)
            Flush();
    }
}

void TSoundFileWriter::Flush()
{
    WriteBlock(pending_);
    pending_.clear();
}

void TSoundFileWriter::WriteBlock(std::span<const std::int16_t> samples)
{
    const auto count = static_cast<sf_count_t>(samples.size());
    if (count > 0 && sf_writef_short(sound_, samples.data(), count) != count)
        Fail(std::string("cannot write: ") + sf_strerror(sound_));
}

void TSoundFileWriter::Finish()
{
    Flush();
    sf_write_sync(sound_);
    int closed = sf_close(sound_);
    sound_ = nullptr;
    if (closed != 0)
        Fail(std::string("cannot complete the recording: ") + sf_error_number(closed));
    file_.Commit();
}

} // namespace keb
