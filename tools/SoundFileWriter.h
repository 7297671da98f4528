// Writes one channel of 16-bit PCM with libsndfile into an atomic file
// (AtomicFile.h): the recording appears under its name only after Finish.
//
// The container follows the name's ending: .wav, .flac, .aif/.aiff, .au, .caf
// (any case); "-" is WAV on standard output. Another ending raises
// EFilterUsageError before anything is created; a file that cannot be created
// or written raises EFilterOutputError naming it. A WAV recording whose
// expected length fits well within 4 GiB is written as plain WAV; a longer
// one, or one of unknown length (expectedSamples < 0), as RF64, which stays
// plain WAV in layout while small. AIFF, AU and plain WAV keep their sizes in
// 32 bits, so audio that would pass their limit raises EFilterOutputError
// before it is written. The samples are gathered and written in large
// blocks, so an error of the disk may be raised by a later Write or by
// Finish. Not thread-safe.
#pragma once

#include "tools/AtomicFile.h"

#include <cstdint>
#include <filesystem>
#include <span>
#include <vector>

typedef struct sf_private_tag SNDFILE;

namespace keb
{

// The libsndfile container for the file's ending; raises EFilterUsageError.
int OutputContainer(const std::filesystem::path& file);

// The bytes of audio the container can hold in 32-bit sizes; no limit is the
// largest value.
std::uint64_t ContainerByteLimit(int container);

class TSoundFileWriter
{
  public:
    TSoundFileWriter(const std::filesystem::path& file, int sampleRate,
                     std::int64_t expectedSamples);
    // With another limit than the container's (tests).
    TSoundFileWriter(const std::filesystem::path& file, int sampleRate,
                     std::int64_t expectedSamples, std::uint64_t byteLimit);
    ~TSoundFileWriter();
    TSoundFileWriter(const TSoundFileWriter&) = delete;
    TSoundFileWriter& operator=(const TSoundFileWriter&) = delete;

    void Write(std::span<const std::int16_t> samples);
    std::int64_t SamplesWritten() const { return written_; }
    // Completes the file and puts it in place.
    void Finish();

  private:
    [[noreturn]] void Fail(const std::string& cause) const;
    // Writes the gathered samples.
    void Flush();
    void WriteBlock(std::span<const std::int16_t> samples);

    TAtomicFile file_;
    std::uint64_t byteLimit_;
    SNDFILE* sound_ = nullptr;
    // Samples taken, whether written yet or still gathered in pending_.
    std::int64_t written_ = 0;
    std::vector<std::int16_t> pending_;
};

} // namespace keb
