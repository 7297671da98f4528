#include "tools/SoundFileWriter.h"

#include "tools/FilterErrors.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <sndfile.h>
#include <string>

namespace keb
{

int OutputContainer(const std::filesystem::path& file)
{
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

TSoundFileWriter::TSoundFileWriter(const std::filesystem::path& file, int sampleRate)
    : file_((OutputContainer(file), file))
{
    SF_INFO info{};
    info.samplerate = sampleRate;
    info.channels = 1;
    info.format = OutputContainer(file) | SF_FORMAT_PCM_16;
    sound_ = sf_open_fd(file_.Descriptor(), SFM_WRITE, &info, SF_FALSE);
    if (sound_ == nullptr)
        Fail(std::string("cannot start the recording: ") + sf_strerror(nullptr));
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
    sf_count_t done =
        sf_writef_short(sound_, samples.data(), static_cast<sf_count_t>(samples.size()));
    if (done != static_cast<sf_count_t>(samples.size()))
        Fail(std::string("cannot write: ") + sf_strerror(sound_));
    written_ += done;
}

void TSoundFileWriter::Finish()
{
    sf_write_sync(sound_);
    int closed = sf_close(sound_);
    sound_ = nullptr;
    if (closed != 0)
        Fail(std::string("cannot complete the recording: ") + sf_error_number(closed));
    file_.Commit();
}

} // namespace keb
