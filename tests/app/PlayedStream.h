// The soak's audio: a ramp that the capture device records, and the check of
// the stream that the playback device plays against it.
//
// Sample n of the capture stream is n modulo 65536 as a signed 16-bit value,
// so every 1000-sample block (one 2000-byte buffer) of it names the samples it
// holds: its first value gives n modulo 65536, and each following sample is
// one more. A buffer that passed the chain with the equalizer bypassed is such
// a block unchanged, and the check finds out which captured block it is.
//
// The rules the played stream must keep, per run (ON to OFF):
//   - before the first captured block only silence (the ring buffer fills);
//   - a bypassed buffer is silence only there, else a whole captured block,
//     starting on a block boundary of the run's capture;
//   - played block j carries captured block j - lag, where lag never grows (a
//     block played twice, a silent gap or a late buffer would grow it) and
//     shrinks at most by AllowedSkips blocks in the run (the ring overwrote
//     its oldest unread block when the capture ran ahead);
//   - every played block was written to the playback device first.
// Buffers that passed the filter are only counted: the lag found at the next
// bypassed buffer shows whether one went missing or twice.
//
// Threads: Filled may run on any thread (the playback worker); the other
// calls belong to the thread that runs the virtual card's clock. All calls
// are serialised by one lock.
#pragma once

#include "platform/audio/virtual/VirtualSoundCard.h"

#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace keb::test
{

inline constexpr int BlockFrames = 1000; // one 2000-byte buffer of 16-bit mono

std::int16_t RampSample(std::uint64_t Index);

// Plays the ramp; Position() is the index of the next sample it will give.
class TRampSource final : public TVirtualSource
{
  public:
    TWaveResult Open(const TWaveFormatEx& Format) override;
    void Read(std::uint8_t* Data, std::size_t Bytes) override;
    std::uint64_t Position() const;

  private:
    mutable std::mutex Lock;
    std::uint64_t Next = 0;
};

struct TStreamReport
{
    std::uint64_t Runs = 0;
    std::uint64_t Blocks = 0;     // played blocks
    std::uint64_t Identified = 0; // bypassed blocks found in the capture
    std::uint64_t Silent = 0;     // bypassed silence while the ring filled
    std::uint64_t Filtered = 0;   // blocks that passed the filter
    std::uint64_t Skipped = 0;    // captured blocks the ring overwrote
    std::uint64_t Faults = 0;
    std::string FirstFault;
};

class TPlayedStreamCheck
{
  public:
    explicit TPlayedStreamCheck(int AllowedSkips);

    // A run begins: the capture's next sample is FirstCaptureSample and the
    // next byte played is the first of the run.
    void StartRun(std::uint64_t FirstCaptureSample);
    // One buffer was written to the playback device, filtered or bypassed.
    void Filled(bool Bypassed);
    // Bytes that the playback device played, in order.
    void Played(const std::uint8_t* Data, std::size_t Bytes);
    TStreamReport Report() const;

  private:
    void CheckBlock();
    void CheckBypassed(std::uint64_t Block);
    void Fault(const std::string& What);

    const int AllowedSkips_;
    mutable std::mutex Lock;
    std::deque<bool> FillsBypassed; // written, not yet played
    std::vector<std::int16_t> Pending;
    std::uint64_t RunStart = 0;
    std::uint64_t RunBlocks = 0;
    bool Found = false; // a captured block was played in this run
    std::int64_t Lag = 0;
    std::int64_t RunSkips = 0;
    TStreamReport Totals;
};

// A playback sink that hands everything played to a check.
class TCheckingSink final : public TVirtualSink
{
  public:
    explicit TCheckingSink(std::shared_ptr<TPlayedStreamCheck> Check);
    TWaveResult Open(const TWaveFormatEx& Format) override;
    void Write(const std::uint8_t* Data, std::size_t Bytes) override;

  private:
    std::shared_ptr<TPlayedStreamCheck> Check_;
};

} // namespace keb::test
