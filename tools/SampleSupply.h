// Where the chain's source gets its audio: 16-bit mono samples at the
// filter's 8000 Hz, delivered in pieces of any size.
//
// TMemorySupply hands out a block of samples held in memory (probes, tests);
// TObservedSupply lets an observer (the input waterfall) see another's audio.
// TFileSupply reads a recording (SoundFileReader.h), resamples it to 8000 Hz
// when it has another rate, and rounds to 16 bits with clipping; its errors
// are the reader's. It reads in large blocks, and a 16-bit recording at
// 8000 Hz as 16-bit samples without a conversion, straight into a request
// of a block or more. Neither is thread-safe.
#pragma once

#include "tools/Resampler.h"
#include "tools/SoundFileReader.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <vector>

namespace keb
{

class TSampleSupply
{
  public:
    virtual ~TSampleSupply() = default;
    // Writes up to `count` samples; fewer only when the audio has ended.
    virtual std::size_t Supply(std::int16_t* samples, std::size_t count) = 0;
};

class TMemorySupply : public TSampleSupply
{
  public:
    explicit TMemorySupply(std::vector<std::int16_t> samples) : samples_(std::move(samples)) {}
    std::size_t Supply(std::int16_t* samples, std::size_t count) override;

  private:
    std::vector<std::int16_t> samples_;
    std::size_t position_ = 0;
};

// Hands on what another supply gives and shows it to an observer first.
class TObservedSupply : public TSampleSupply
{
  public:
    using TObserver = std::function<void(std::span<const std::int16_t> samples)>;

    TObservedSupply(TSampleSupply& inner, TObserver observer)
        : inner_(inner), observer_(std::move(observer))
    {
    }
    std::size_t Supply(std::int16_t* samples, std::size_t count) override;

  private:
    TSampleSupply& inner_;
    TObserver observer_;
};

class TFileSupply : public TSampleSupply
{
  public:
    TFileSupply(TSoundFileReader& reader, int rate);
    std::size_t Supply(std::int16_t* samples, std::size_t count) override;

    // The number of samples the whole recording gives at the supply's rate.
    std::int64_t TotalSamples() const;
    // Input frames read so far, for progress.
    std::int64_t FramesRead() const { return reader_.FramesRead(); }

  private:
    // Whether the file's samples are the supply's, as they are.
    bool ReadsPcm16() const;
    // Reads and converts the next piece into pending_; false at the end.
    bool Refill();
    // The next piece as floats at the supply's rate; empty at the end.
    std::span<const float> NextFloats();

    TSoundFileReader& reader_;
    std::unique_ptr<TResampler> resampler_;
    std::vector<float> readBuffer_;
    std::vector<float> resampled_;
    // Samples pendingStart_ .. pendingEnd_ are still to be supplied.
    std::vector<std::int16_t> pending_;
    std::size_t pendingStart_ = 0;
    std::size_t pendingEnd_ = 0;
    bool ended_ = false;
};

} // namespace keb
