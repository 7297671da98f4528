#include "PlayedStream.h"

#include <algorithm>
#include <cstring>

namespace keb::test
{

namespace
{

// Both ends of the soak run the window's format: 16-bit mono.
TWaveResult RequireMono16(const TWaveFormatEx& Format)
{
    return Format.nChannels == 1 && Format.wBitsPerSample == 16 ? wrNoError : wrBadFormat;
}

bool IsSilence(const std::vector<std::int16_t>& Block)
{
    return std::all_of(Block.begin(), Block.end(), [](std::int16_t Sample) { return Sample == 0; });
}

bool IsRamp(const std::vector<std::int16_t>& Block)
{
    for (std::size_t index = 1; index < Block.size(); ++index)
        if (Block[index] != static_cast<std::int16_t>(Block[index - 1] + 1))
            return false;
    return true;
}

} // namespace

std::int16_t RampSample(std::uint64_t Index)
{
    return static_cast<std::int16_t>(static_cast<std::uint16_t>(Index));
}

TWaveResult TRampSource::Open(const TWaveFormatEx& Format)
{
    return RequireMono16(Format);
}

void TRampSource::Read(std::uint8_t* Data, std::size_t Bytes)
{
    std::lock_guard guard(Lock);
    for (std::size_t offset = 0; offset + 1 < Bytes; offset += 2, ++Next)
    {
        const auto sample = static_cast<std::uint16_t>(RampSample(Next));
        Data[offset] = static_cast<std::uint8_t>(sample & 0xFF);
        Data[offset + 1] = static_cast<std::uint8_t>(sample >> 8);
    }
}

std::uint64_t TRampSource::Position() const
{
    std::lock_guard guard(Lock);
    return Next;
}

TPlayedStreamCheck::TPlayedStreamCheck(int AllowedSkips) : AllowedSkips_(AllowedSkips)
{
    Pending.reserve(BlockFrames);
}

void TPlayedStreamCheck::StartRun(std::uint64_t FirstCaptureSample)
{
    std::lock_guard guard(Lock);
    FillsBypassed.clear();
    Pending.clear();
    RunStart = FirstCaptureSample;
    RunBlocks = 0;
    Found = false;
    Lag = 0;
    RunSkips = 0;
    ++Totals.Runs;
}

void TPlayedStreamCheck::Filled(bool Bypassed)
{
    std::lock_guard guard(Lock);
    FillsBypassed.push_back(Bypassed);
}

void TPlayedStreamCheck::Played(const std::uint8_t* Data, std::size_t Bytes)
{
    std::lock_guard guard(Lock);
    for (std::size_t offset = 0; offset + 1 < Bytes; offset += 2)
    {
        Pending.push_back(static_cast<std::int16_t>(Data[offset] | Data[offset + 1] << 8));
        if (Pending.size() == BlockFrames)
        {
            CheckBlock();
            Pending.clear();
        }
    }
}

void TPlayedStreamCheck::CheckBlock()
{
    const std::uint64_t block = RunBlocks++;
    ++Totals.Blocks;
    if (FillsBypassed.empty())
    {
        Fault("block " + std::to_string(block) + " was played but never written");
        return;
    }
    const bool bypassed = FillsBypassed.front();
    FillsBypassed.pop_front();
    if (bypassed)
        CheckBypassed(block);
    else
        ++Totals.Filtered;
}

void TPlayedStreamCheck::CheckBypassed(std::uint64_t Block)
{
    const std::string name =
        "block " + std::to_string(Block) + " of run " + std::to_string(Totals.Runs) + ": ";
    if (IsSilence(Pending))
    {
        if (Found)
            Fault(name + "silence after the audio had begun");
        else
            ++Totals.Silent;
        return;
    }
    if (!IsRamp(Pending))
    {
        Fault(name + "neither silence nor a block of the capture");
        return;
    }
    // The sample the block would start with if nothing lagged; the block
    // starts a little before it, never 32768 samples away.
    const std::uint64_t unlagged = RunStart + Block * BlockFrames;
    const auto behind = static_cast<std::int16_t>(static_cast<std::uint16_t>(unlagged) -
                                                  static_cast<std::uint16_t>(Pending.front()));
    const std::int64_t offset = static_cast<std::int64_t>(Block * BlockFrames) - behind;
    if (offset < 0 || offset % BlockFrames != 0)
    {
        Fault(name + "starts at sample " + std::to_string(offset) +
              " of the run's capture, not on a block boundary");
        return;
    }
    const std::int64_t lag = static_cast<std::int64_t>(Block) - offset / BlockFrames;
    if (lag < 0)
    {
        Fault(name + "plays audio that was not captured yet");
        return;
    }
    ++Totals.Identified;
    if (!Found)
    {
        Found = true;
        Lag = lag;
        return;
    }
    if (lag > Lag)
    {
        Fault(name + "lags " + std::to_string(lag) + " blocks behind the capture, " +
              std::to_string(Lag) + " before: a block was played twice or a gap was inserted");
        return;
    }
    RunSkips += Lag - lag;
    Totals.Skipped += static_cast<std::uint64_t>(Lag - lag);
    Lag = lag;
    if (RunSkips > AllowedSkips_)
        Fault(name + std::to_string(RunSkips) + " captured blocks lost in this run");
}

void TPlayedStreamCheck::Fault(const std::string& What)
{
    if (Totals.Faults++ == 0)
        Totals.FirstFault = What;
}

TStreamReport TPlayedStreamCheck::Report() const
{
    std::lock_guard guard(Lock);
    return Totals;
}

TCheckingSink::TCheckingSink(std::shared_ptr<TPlayedStreamCheck> Check) : Check_(std::move(Check))
{
}

TWaveResult TCheckingSink::Open(const TWaveFormatEx& Format)
{
    return RequireMono16(Format);
}

void TCheckingSink::Write(const std::uint8_t* Data, std::size_t Bytes)
{
    Check_->Played(Data, Bytes);
}

} // namespace keb::test
