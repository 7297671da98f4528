// The soak's check of the played stream catches what it is there for: a
// lost, repeated, shifted or corrupted block and a silent gap, across
// filtered blocks too; and the schedule repeats itself for one seed.
#include "PlayedStream.h"

#include "SoakSchedule.h"

#include <gtest/gtest.h>
#include <optional>

namespace keb::test
{
namespace
{

constexpr std::uint64_t RunStart = 123'456;

// One played block: captured block Block of the run (with a sample offset),
// silence when none, or filtered audio.
struct TBlock
{
    std::optional<std::int64_t> Captured;
    bool Bypassed = true;
    int Shift = 0;
    int Corrupt = -1; // index of a wrong sample
};

TBlock Capture(std::int64_t Block)
{
    return {Block};
}

TBlock Filtered()
{
    return {std::nullopt, false};
}

TBlock Silence()
{
    return {};
}

TStreamReport Play(const std::vector<TBlock>& Blocks)
{
    TPlayedStreamCheck check(1);
    check.StartRun(RunStart);
    std::vector<std::uint8_t> bytes(2 * BlockFrames);
    for (const TBlock& block : Blocks)
    {
        check.Filled(block.Bypassed);
        for (int index = 0; index < BlockFrames; ++index)
        {
            std::int16_t sample = 0;
            if (!block.Bypassed)
                sample = static_cast<std::int16_t>(index * 37 % 2000 - 1000);
            else if (block.Captured)
                sample = RampSample(RunStart + *block.Captured * BlockFrames + index + block.Shift);
            if (index == block.Corrupt)
                sample = static_cast<std::int16_t>(sample ^ 0x40);
            bytes[2 * index] = static_cast<std::uint8_t>(sample & 0xFF);
            bytes[2 * index + 1] = static_cast<std::uint8_t>((sample >> 8) & 0xFF);
        }
        // The device hands the sink odd pieces, not whole buffers.
        check.Played(bytes.data(), 600);
        check.Played(bytes.data() + 600, bytes.size() - 600);
    }
    return check.Report();
}

TEST(PlayedStreamCheck, AcceptsWhatTheRingMayDo)
{
    // Silence while the ring fills, then a steady lag of 2 blocks across
    // filtered blocks; one overwritten block (lag 2 -> 1) is the ring's slack.
    const TStreamReport report =
        Play({Silence(), Silence(), Silence(), Capture(1), Capture(2), Filtered(), Filtered(),
              Capture(5), Capture(7), Filtered(), Capture(9)});
    EXPECT_EQ(report.Faults, 0u) << report.FirstFault;
    EXPECT_EQ(report.Blocks, 11u);
    EXPECT_EQ(report.Silent, 3u);
    EXPECT_EQ(report.Identified, 5u);
    EXPECT_EQ(report.Filtered, 3u);
    EXPECT_EQ(report.Skipped, 1u);
}

TEST(PlayedStreamCheck, CatchesLostRepeatedShiftedAndCorruptedBlocks)
{
    const std::vector<std::pair<const char*, std::vector<TBlock>>> faults = {
        {"a block played twice", {Silence(), Capture(0), Capture(0), Capture(1)}},
        {"two blocks lost behind filtered ones",
         {Silence(), Silence(), Capture(0), Filtered(), Capture(3), Filtered(), Capture(6)}},
        {"a block too many behind filtered ones", {Capture(0), Filtered(), Capture(1)}},
        {"silence in the middle", {Capture(0), Silence(), Capture(2)}},
        {"part of a block lost", {Capture(0), TBlock{1, true, 40}}},
        {"one wrong sample", {Capture(0), TBlock{1, true, 0, 500}}},
        {"a block from the future", {Silence(), Capture(3)}},
    };
    for (const auto& [name, blocks] : faults)
        EXPECT_GT(Play(blocks).Faults, 0u) << name;
}

TEST(PlayedStreamCheck, CatchesAPlayedBlockThatWasNeverWritten)
{
    TPlayedStreamCheck check(1);
    check.StartRun(0);
    const std::vector<std::uint8_t> silence(2 * BlockFrames);
    check.Played(silence.data(), silence.size());
    EXPECT_EQ(check.Report().Faults, 1u);
}

TEST(SoakSchedule, OneSeedGivesOneSequence)
{
    TSoakSchedule first(42);
    TSoakSchedule second(42);
    TSoakSchedule other(43);
    bool differs = false;
    for (int step = 0; step < 1000; ++step)
    {
        const TSoakStep a = first.Next();
        const TSoakStep b = second.Next();
        const TSoakStep c = other.Next();
        ASSERT_EQ(a.Pause, b.Pause);
        ASSERT_EQ(a.Action, b.Action);
        ASSERT_EQ(a.Target, b.Target);
        ASSERT_EQ(a.Variant, b.Variant);
        EXPECT_GE(a.Pause.count(), TSoakSchedule::PauseMinimumMs);
        EXPECT_LE(a.Pause.count(), TSoakSchedule::PauseMaximumMs);
        differs = differs || a.Action != c.Action || a.Pause != c.Pause;
    }
    EXPECT_TRUE(differs);
}

} // namespace
} // namespace keb::test
