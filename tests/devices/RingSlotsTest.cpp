#include "RingTestSupport.h"
#include "devices/MMRingBfSlots.h"

#include <gtest/gtest.h>

namespace keb::test
{
namespace
{
int TakeSequence(TMMRingSlots& slots, std::int32_t bytes)
{
    std::vector<char> out(static_cast<std::size_t>(bytes));
    const TMMSlotRead read = slots.Take(out.data(), bytes);
    return read.Bytes == 0 ? -2 : SequenceOf(out.data(), static_cast<std::size_t>(read.Bytes));
}

void Store(TMMRingSlots& slots, std::uint16_t sequence, std::int32_t bytes, bool overwrite)
{
    const auto block = Block(sequence, static_cast<std::size_t>(bytes));
    slots.Store(block.data(), bytes, 0, sequence, overwrite);
}
} // namespace

TEST(RingSlots, BlocksLeaveInTheOrderTheyCameAcrossTheWrap)
{
    TMMRingSlots slots;
    slots.Allocate(3, 64);
    int expected = 0;
    for (std::uint16_t sequence = 0; sequence < 10; ++sequence)
    {
        Store(slots, sequence, 64, false);
        if (sequence % 2 == 1)
        {
            EXPECT_EQ(TakeSequence(slots, 64), expected++);
            EXPECT_EQ(TakeSequence(slots, 64), expected++);
        }
    }
    EXPECT_EQ(slots.FilledCount(), 0);
    EXPECT_EQ(slots.QueuedBytes(), 0);
    EXPECT_EQ(TakeSequence(slots, 64), -2);
}

TEST(RingSlots, OverwritingAPartlyReadBlockKeepsTheByteCountRight)
{
    TMMRingSlots slots;
    slots.Allocate(2, 100);
    Store(slots, 1, 100, false);
    Store(slots, 2, 100, false);
    std::vector<char> out(30);
    slots.Take(out.data(), 30);
    EXPECT_EQ(slots.QueuedBytes(), 170);
    Store(slots, 3, 100, true);
    EXPECT_EQ(slots.QueuedBytes(), 200);
    EXPECT_EQ(TakeSequence(slots, 100), 2);
}

TEST(RingSlots, PartialReadKeepsTheRestAtTheStartOfTheSlot)
{
    TMMRingSlots slots;
    slots.Allocate(2, 2000);
    std::vector<char> block(2000);
    for (std::size_t i = 0; i < block.size(); ++i)
        block[i] = static_cast<char>(i % 251);
    slots.Store(block.data(), 2000, 0, 7, false);

    std::vector<char> out(500);
    const TMMSlotRead first = slots.Take(out.data(), 500);
    EXPECT_EQ(first.Bytes, 500);
    EXPECT_EQ(first.User, 7u);
    EXPECT_TRUE(std::equal(out.begin(), out.end(), block.begin()));
    EXPECT_EQ(slots.FilledCount(), 1);
    EXPECT_EQ(slots.QueuedBytes(), 1500);

    std::vector<char> rest(2000);
    const TMMSlotRead second = slots.Take(rest.data(), 2000);
    EXPECT_EQ(second.Bytes, 1500);
    EXPECT_TRUE(std::equal(rest.begin(), rest.begin() + 1500, block.begin() + 500));
    EXPECT_EQ(slots.FilledCount(), 0);
    EXPECT_EQ(slots.QueuedBytes(), 0);
}

TEST(RingSlots, EndMarkGoesOnTheBlockWrittenLast)
{
    TMMRingSlots slots;
    slots.Allocate(3, 64);
    Store(slots, 1, 64, false);
    Store(slots, 2, 64, false);
    slots.MarkLastWritten(SlotEndOfData);
    std::vector<char> out(64);
    EXPECT_EQ(slots.Take(out.data(), 64).Flags, 0u);
    EXPECT_EQ(slots.Take(out.data(), 64).Flags, SlotEndOfData);
}

} // namespace keb::test
