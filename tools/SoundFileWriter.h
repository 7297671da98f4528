// Writes one channel of 16-bit PCM with libsndfile into an atomic file
// (AtomicFile.h): the recording appears under its name only after Finish.
//
// The container follows the name's ending: .wav, .flac, .aif/.aiff, .au, .caf
// (any case). Another ending raises EFilterUsageError before anything is
// created; a file that cannot be created or written raises
// EFilterOutputError naming it. Not thread-safe.
#pragma once

#include "tools/AtomicFile.h"

#include <cstdint>
#include <filesystem>
#include <span>

typedef struct sf_private_tag SNDFILE;

namespace keb
{

// The libsndfile container for the file's ending; raises EFilterUsageError.
int OutputContainer(const std::filesystem::path& file);

class TSoundFileWriter
{
  public:
    TSoundFileWriter(const std::filesystem::path& file, int sampleRate);
    ~TSoundFileWriter();
    TSoundFileWriter(const TSoundFileWriter&) = delete;
    TSoundFileWriter& operator=(const TSoundFileWriter&) = delete;

    void Write(std::span<const std::int16_t> samples);
    std::int64_t SamplesWritten() const { return written_; }
    // Completes the file and puts it in place.
    void Finish();

  private:
    [[noreturn]] void Fail(const std::string& cause) const;

    TAtomicFile file_;
    SNDFILE* sound_ = nullptr;
    std::int64_t written_ = 0;
};

} // namespace keb
