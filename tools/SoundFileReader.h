// Reads a recording with libsndfile as one channel of float samples
// (-1 .. 1 for integer formats): the left channel, the right one (the only one
// of a mono file), or the mean of all channels.
//
// Every failure raises EFilterInputError naming the file and the cause: a file
// libsndfile cannot open or does not know, an empty file, a read error, and a
// file that ends before the audio its header promises (a cut-off WAV data
// chunk, a FLAC stream that loses sync). Not thread-safe; nothing is allocated
// per call beyond the first call's frame buffer (none for a mono file).
//
// A file that HoldsPcm16 may also be read as 16-bit samples: the same
// samples as the float Read times 32768, without the conversion.
#pragma once

#include "tools/FilterOptions.h"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <vector>

typedef struct sf_private_tag SNDFILE;

namespace keb
{

class TSoundFileReader
{
  public:
    TSoundFileReader(const std::filesystem::path& file, TChannelPick channel);
    TSoundFileReader(const TSoundFileReader&) = delete;
    TSoundFileReader& operator=(const TSoundFileReader&) = delete;

    int SampleRate() const { return sampleRate_; }
    int Channels() const { return channels_; }
    // The frames the header promises.
    std::int64_t Frames() const { return frames_; }
    std::int64_t FramesRead() const { return framesRead_; }

    // Whether the samples read are 16-bit PCM as they are in the file: a
    // 16-bit file whose picked channel is one of its channels, not a mix.
    bool HoldsPcm16() const;

    // Reads up to `count` frames into `samples`; fewer only at the end.
    std::size_t Read(float* samples, std::size_t count);
    // The same for a file that HoldsPcm16 (std::logic_error otherwise).
    std::size_t Read(std::int16_t* samples, std::size_t count);

  private:
    [[noreturn]] void Fail(const std::string& cause) const;
    // Reads up to count frames, and picks the channel from them when the
    // file has several (through frameBuffer).
    template <class TSample>
    std::size_t ReadPicked(TSample* samples, std::size_t count, std::vector<TSample>& frameBuffer);
    // Raises the read error or the cut-off file after a read that got `got`.
    void CheckRead(std::int64_t got) const;

    struct TSoundCloser
    {
        void operator()(SNDFILE* sound) const;
    };

    std::filesystem::path file_;
    // Closed also when the constructor refuses the file.
    std::unique_ptr<SNDFILE, TSoundCloser> sound_;
    TChannelPick channel_;
    int sampleRate_ = 0;
    int channels_ = 0;
    int format_ = 0;
    std::int64_t frames_ = 0;
    std::int64_t framesRead_ = 0;
    std::vector<float> frameBuffer_;
    std::vector<std::int16_t> pcmFrameBuffer_;
};

} // namespace keb
