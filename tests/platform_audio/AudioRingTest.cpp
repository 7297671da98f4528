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

std::vector<std::uint8_t> Counting(std::uint8_t First, std::size_t Bytes)
{
    std::vector<std::uint8_t> Data(Bytes);
    for (std::size_t Index = 0; Index < Bytes; ++Index)
    {
        Data[Index] = static_cast<std::uint8_t>(First + Index);
    }
    return Data;
}

} // namespace

TEST(AudioRingTest, KeepsWholeFramesInOrderAcrossTheWrap)
{
    AudioRing Ring(5, 3);
    ASSERT_EQ(Ring.CapacityFrames(), 5u);
    const auto Data = Counting(0, 30);
    EXPECT_EQ(Ring.Write(Data.data(), 4), 4u);
    std::vector<std::uint8_t> Out(30, 0xEE);
    EXPECT_EQ(Ring.Read(Out.data(), 3), 3u);
    EXPECT_EQ(std::vector<std::uint8_t>(Out.begin(), Out.begin() + 9), Counting(0, 9));

    // One frame left: room for four more, which wrap around the end.
    EXPECT_EQ(Ring.Write(Data.data() + 12, 6), 4u);
    EXPECT_EQ(Ring.AvailableFrames(), 5u);
    EXPECT_EQ(Ring.Write(Data.data(), 1), 0u);
    EXPECT_EQ(Ring.Read(Out.data(), 10), 5u);
    EXPECT_EQ(std::vector<std::uint8_t>(Out.begin(), Out.begin() + 15), Counting(9, 15));
    EXPECT_EQ(Ring.Read(Out.data(), 1), 0u);
}

TEST(AudioRingTest, ClearForgetsWhatWasWritten)
{
    AudioRing Ring(8, 2);
    const auto Data = Counting(1, 16);
    Ring.Write(Data.data(), 6);
    Ring.Clear();
    EXPECT_EQ(Ring.AvailableFrames(), 0u);
    EXPECT_EQ(Ring.Write(Data.data(), 8), 8u);
    std::vector<std::uint8_t> Out(16);
    EXPECT_EQ(Ring.Read(Out.data(), 8), 8u);
    EXPECT_EQ(Out, Data);
}

// A writer and a reader in two threads, in chunks of random size: every frame
// arrives once, in order, whole.
TEST(AudioRingTest, WriterAndReaderThreadsPassEveryFrameInOrder)
{
    constexpr std::uint32_t Frames = 200'000;
    const auto Deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    AudioRing Ring(333, sizeof(std::uint32_t));
    std::thread Writer(
        [&]
        {
            std::minstd_rand Random(1);
            std::vector<std::uint32_t> Chunk(500);
            for (std::uint32_t Next = 0;
                 Next < Frames && std::chrono::steady_clock::now() < Deadline;)
            {
                const std::size_t Count = std::min<std::size_t>(1 + Random() % 500, Frames - Next);
                for (std::size_t Index = 0; Index < Count; ++Index)
                {
                    Chunk[Index] = Next + static_cast<std::uint32_t>(Index);
                }
                Next += static_cast<std::uint32_t>(
                    Ring.Write(reinterpret_cast<const std::uint8_t*>(Chunk.data()), Count));
                std::this_thread::yield();
            }
        });
    std::minstd_rand Random(2);
    std::vector<std::uint32_t> Chunk(500);
    std::uint32_t Expected = 0;
    bool InOrder = true;
    while (Expected < Frames && std::chrono::steady_clock::now() < Deadline)
    {
        const std::size_t Got =
            Ring.Read(reinterpret_cast<std::uint8_t*>(Chunk.data()), 1 + Random() % 500);
        for (std::size_t Index = 0; Index < Got; ++Index)
        {
            InOrder = InOrder && Chunk[Index] == Expected;
            ++Expected;
        }
        std::this_thread::yield();
    }
    Writer.join();
    EXPECT_TRUE(InOrder);
    EXPECT_EQ(Expected, Frames);
}

} // namespace keb::test
