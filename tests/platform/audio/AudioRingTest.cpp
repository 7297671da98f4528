// The lock-free frame ring between a sound card's callback and the rate
// conversion thread. The two-thread case runs under ThreadSanitizer.
#include "platform/audio/AudioRing.h"

#include <chrono>
#include <cstring>
#include <gtest/gtest.h>
#include <random>
#include <thread>

namespace keb::test
{

namespace
{

std::vector<std::uint8_t> Counting(std::uint8_t first, std::size_t bytes)
{
    std::vector<std::uint8_t> data(bytes);
    for (std::size_t index = 0; index < bytes; ++index)
    {
        data[index] = static_cast<std::uint8_t>(first + index);
    }
    return data;
}

} // namespace

TEST(AudioRingTest, KeepsWholeFramesInOrderAcrossTheWrap)
{
    TAudioRing ring(5, 3);
    ASSERT_EQ(ring.CapacityFrames(), 5u);
    const auto data = Counting(0, 30);
    EXPECT_EQ(ring.Write(data.data(), 4), 4u);
    std::vector<std::uint8_t> out(30, 0xEE);
    EXPECT_EQ(ring.Read(out.data(), 3), 3u);
    EXPECT_EQ(std::vector<std::uint8_t>(out.begin(), out.begin() + 9), Counting(0, 9));

    // One frame left: room for four more, which wrap around the end.
    EXPECT_EQ(ring.Write(data.data() + 12, 6), 4u);
    EXPECT_EQ(ring.AvailableFrames(), 5u);
    EXPECT_EQ(ring.Write(data.data(), 1), 0u);
    EXPECT_EQ(ring.Read(out.data(), 10), 5u);
    EXPECT_EQ(std::vector<std::uint8_t>(out.begin(), out.begin() + 15), Counting(9, 15));
    EXPECT_EQ(ring.Read(out.data(), 1), 0u);
}

TEST(AudioRingTest, ClearForgetsWhatWasWritten)
{
    TAudioRing ring(8, 2);
    const auto data = Counting(1, 16);
    ring.Write(data.data(), 6);
    ring.Clear();
    EXPECT_EQ(ring.AvailableFrames(), 0u);
    EXPECT_EQ(ring.Write(data.data(), 8), 8u);
    std::vector<std::uint8_t> out(16);
    EXPECT_EQ(ring.Read(out.data(), 8), 8u);
    EXPECT_EQ(out, data);
}

// A writer and a reader in two threads, in chunks of random size: every frame
// arrives once, in order, whole.
TEST(AudioRingTest, WriterAndReaderThreadsPassEveryFrameInOrder)
{
    constexpr std::uint32_t frames = 200'000;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    TAudioRing Ring(333, sizeof(std::uint32_t));
    std::thread writer(
        [&]
        {
            std::minstd_rand random(1);
            std::vector<std::uint32_t> chunk(500);
            for (std::uint32_t next = 0;
                 next < frames && std::chrono::steady_clock::now() < deadline;)
            {
                const std::size_t count = std::min<std::size_t>(1 + random() % 500, frames - next);
                for (std::size_t index = 0; index < count; ++index)
                {
                    chunk[index] = next + static_cast<std::uint32_t>(index);
                }
                next += static_cast<std::uint32_t>(
                    Ring.Write(reinterpret_cast<const std::uint8_t*>(chunk.data()), count));
                std::this_thread::yield();
            }
        });
    std::minstd_rand random(2);
    std::vector<std::uint32_t> chunk(500);
    std::uint32_t expected = 0;
    bool inOrder = true;
    while (expected < frames && std::chrono::steady_clock::now() < deadline)
    {
        const std::size_t got =
            Ring.Read(reinterpret_cast<std::uint8_t*>(chunk.data()), 1 + random() % 500);
        for (std::size_t index = 0; index < got; ++index)
        {
            inOrder = inOrder && chunk[index] == expected;
            ++expected;
        }
        std::this_thread::yield();
    }
    writer.join();
    EXPECT_TRUE(inOrder);
    EXPECT_EQ(expected, frames);
}

} // namespace keb::test
