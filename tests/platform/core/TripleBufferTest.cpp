// The lock-free hand-over between one writer and one reader thread. Run under
// ThreadSanitizer to show that the slots never race.
#include "platform/core/TripleBuffer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <thread>

namespace keb
{
namespace
{

using TBlock = std::array<int, 256>;

TEST(TripleBuffer, TheReaderTakesOnlyTheNewestPublishedValueAndOnlyOnce)
{
    TTripleBuffer<int> buffer(7);
    EXPECT_FALSE(buffer.TakeNewest());
    EXPECT_EQ(buffer.Current(), 7);
    buffer.Spare() = 1;
    buffer.Publish();
    buffer.Spare() = 2;
    buffer.Publish();
    EXPECT_TRUE(buffer.TakeNewest());
    EXPECT_EQ(buffer.Current(), 2);
    EXPECT_FALSE(buffer.TakeNewest());
    EXPECT_EQ(buffer.Current(), 2);
}

TEST(TripleBuffer, TheWriterNeverFillsTheReadersSlot)
{
    TTripleBuffer<int> buffer(0);
    int taken = 0;
    for (int value = 1; value <= 30; ++value)
    {
        buffer.Spare() = -1;
        EXPECT_EQ(buffer.Current(), taken) << "after value " << value - 1;
        buffer.Spare() = value;
        buffer.Publish();
        // Taking at every step, every other step, every third ...: each pattern of turns.
        if (value % (value / 10 + 1) == 0)
        {
            EXPECT_TRUE(buffer.TakeNewest());
            taken = value;
        }
    }
}

TEST(TripleBuffer, EveryValueTakenWhileTheWriterRunsIsWholeAndNoOlderThanTheLast)
{
    constexpr int Values = 20000;
    TTripleBuffer<TBlock> buffer(TBlock{});
    std::atomic<bool> done{false};
    std::thread writer(
        [&]
        {
            for (int value = 1; value <= Values; ++value)
            {
                buffer.Spare().fill(value);
                buffer.Publish();
            }
            done.store(true);
        });
    int last = 0;
    int torn = 0;
    int older = 0;
    bool finished = false;
    while (!finished)
    {
        // Read "done" first: a value published before it was set is taken in this round.
        finished = done.load();
        if (!buffer.TakeNewest())
            continue;
        const TBlock& block = buffer.Current();
        if (std::any_of(block.begin(), block.end(), [&](int v) { return v != block[0]; }))
            ++torn;
        if (block[0] < last)
            ++older;
        last = block[0];
    }
    writer.join();
    EXPECT_EQ(torn, 0);
    EXPECT_EQ(older, 0);
    EXPECT_EQ(last, Values);
}

} // namespace
} // namespace keb
