// The lock-free hand-over between an audio thread and the display side: the
// newest buffer wins, each is taken once, a closed hand-over takes nothing,
// and buffers published from another thread arrive whole.
#include "display/BufferHandover.h"

#include <atomic>
#include <cstring>
#include <gtest/gtest.h>
#include <thread>
#include <vector>

namespace keb
{
namespace
{

std::vector<std::int32_t> Counting(std::int32_t first, std::size_t count)
{
    std::vector<std::int32_t> values(count);
    for (std::size_t i = 0; i < count; ++i)
        values[i] = first + static_cast<std::int32_t>(i);
    return values;
}

TEST(BufferHandover, TheNewestBufferIsTakenOnceAndClosingDropsWhatComesAfter)
{
    TBufferHandover handover;
    handover.Open(16);
    EXPECT_EQ(handover.Take().Data, nullptr);
    const std::vector<std::int32_t> older = Counting(0, 4);
    const std::vector<std::int32_t> newer = Counting(100, 8); // 32 bytes: cut to 16
    handover.Publish(older.data(), 16, 1);
    handover.Publish(newer.data(), 32, 2);
    const TBufferHandover::TTaken taken = handover.Take();
    ASSERT_NE(taken.Data, nullptr);
    EXPECT_EQ(taken.Bytes, 16);
    EXPECT_EQ(taken.Arrival, 2);
    EXPECT_EQ(std::memcmp(taken.Data, newer.data(), 16), 0);
    EXPECT_EQ(handover.Take().Data, nullptr);

    handover.Close();
    handover.Publish(older.data(), 16, 3);
    EXPECT_EQ(handover.Take().Data, nullptr);
    handover.Open(16);
    handover.Publish(older.data(), 16, 4);
    EXPECT_EQ(handover.Take().Arrival, 4);
}

// Run under ThreadSanitizer: two publishers and a reader at full speed.
TEST(BufferHandover, BuffersFromOtherThreadsArriveWhole)
{
    constexpr std::size_t Values = 256;
    TBufferHandover handover;
    handover.Open(static_cast<std::int32_t>(Values * sizeof(std::int32_t)));
    std::atomic<bool> done{false};
    const auto publish = [&](std::int32_t start)
    {
        for (std::int32_t round = start; !done.load(); round += 2)
        {
            const std::vector<std::int32_t> values = Counting(round % 100000 * 1000, Values);
            handover.Publish(values.data(), static_cast<std::int32_t>(Values * 4), round);
        }
    };
    std::thread first(publish, 0);
    std::thread second(publish, 1);
    int taken = 0;
    int torn = 0;
    while (taken < 2000)
    {
        const TBufferHandover::TTaken buffer = handover.Take();
        if (buffer.Data == nullptr)
            continue;
        ++taken;
        std::vector<std::int32_t> values(Values);
        std::memcpy(values.data(), buffer.Data, Values * 4);
        torn += values != Counting(values[0], Values) ||
                values[0] != static_cast<std::int32_t>(buffer.Arrival % 100000 * 1000);
    }
    done.store(true);
    first.join();
    second.join();
    handover.Close();
    EXPECT_EQ(torn, 0);
}

} // namespace
} // namespace keb
