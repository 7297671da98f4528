#include "platform/core/Exceptions.h"
#include "stream/MMUtils.h"
#include "stream/MMWaveHdr.h"

#include <array>
#include <gtest/gtest.h>
#include <limits>

namespace keb
{

TEST(StreamHelpers, RoundedMulDivRoundsHalvesAwayFromZero)
{
    EXPECT_EQ(RoundedMulDiv(3, 1, 2), 2);
    EXPECT_EQ(RoundedMulDiv(-3, 1, 2), -2);
    EXPECT_EQ(RoundedMulDiv(5, 1, 3), 2);
    EXPECT_EQ(RoundedMulDiv(5, 1, 2), 3);
    EXPECT_EQ(RoundedMulDiv(-5, 1, 2), -3);
    EXPECT_EQ(RoundedMulDiv(5, 1, -2), -3);
    EXPECT_EQ(RoundedMulDiv(7, 1, 3), 2);
    // The product needs 64 bits.
    EXPECT_EQ(RoundedMulDiv(2000000000, 1000, 1000000), 2000000);
}

TEST(StreamHelpers, RoundedMulDivStaysRightForLargeDivisorsAndSaturates)
{
    // Just over half of the largest divisor rounds up; doubling that
    // remainder in 32 bits would overflow.
    EXPECT_EQ(RoundedMulDiv(1, std::numeric_limits<std::int32_t>::max() / 2 + 1,
                            std::numeric_limits<std::int32_t>::max()),
              1);
    EXPECT_EQ(RoundedMulDiv(std::numeric_limits<std::int32_t>::max(), 4, 1),
              std::numeric_limits<std::int32_t>::max());
    EXPECT_EQ(RoundedMulDiv(std::numeric_limits<std::int32_t>::min(), 4, 1),
              std::numeric_limits<std::int32_t>::min());
    EXPECT_THROW(RoundedMulDiv(1, 1, 0), EDivByZero);
}

TEST(StreamHelpers, MemoryHelpersGiveZeroedBlocksAndClearReferences)
{
    auto* block = static_cast<std::uint8_t*>(AllocZeroed(100));
    for (int i = 0; i < 100; ++i)
        ASSERT_EQ(block[i], 0);
    FillBytes(block, 100, 0xAB);
    ReallocZeroed(block, 50);
    ASSERT_NE(block, nullptr);
    for (int i = 0; i < 50; ++i)
        ASSERT_EQ(block[i], 0);
    FreeAndClear(block);
    EXPECT_EQ(block, nullptr);
    FreeAndClear(block);
    EXPECT_EQ(block, nullptr);
    void* empty = AllocZeroed(0);
    EXPECT_NE(empty, nullptr);
    FreeAndClear(empty);
}

TEST(StreamHelpers, MoveBytesHandlesOverlapBothWays)
{
    std::array<char, 8> bytes{'a', 'b', 'c', 'd', 'e', 'f', 'g', 'h'};
    MoveBytes(bytes.data(), bytes.data() + 2, 4);
    EXPECT_EQ(std::string(bytes.data(), 8), "ababcdgh");
    MoveBytes(bytes.data() + 3, bytes.data(), 5);
    EXPECT_EQ(std::string(bytes.data(), 8), "bcdghdgh");
    MoveBytes(bytes.data(), bytes.data() + 1, -3);
    FillBytes(bytes.data(), 0, 'x');
    EXPECT_EQ(std::string(bytes.data(), 8), "bcdghdgh");
}

TEST(StreamHelpers, IntegerHelpers)
{
    EXPECT_EQ(IntMin(-3, 2), -3);
    EXPECT_EQ(IntMax(-3, 2), 2);
    EXPECT_EQ(Clamp(5, 0, 4), 4);
    EXPECT_EQ(Clamp(-1, 0, 4), 0);
    EXPECT_EQ(Clamp(3, 0, 4), 3);
    EXPECT_TRUE(IsInRange(4, 0, 4));
    EXPECT_TRUE(IsInRange(0, 0, 4));
    EXPECT_FALSE(IsInRange(5, 0, 4));
}

TEST(StreamHelpers, AWaveHeaderIsOneZeroedBlockWithItsAudioBehind)
{
    TMMWaveHdr* header = AllocWaveHdr(2000);
    EXPECT_EQ(header->wh.lpData, reinterpret_cast<char*>(header) + sizeof(TMMWaveHdr));
    EXPECT_EQ(header->wh.dwBufferLength, 2000u);
    EXPECT_EQ(header->wh.dwBytesRecorded, 0u);
    EXPECT_EQ(header->wh.dwUser, 0u);
    EXPECT_EQ(header->CompanionHdr, nullptr);
    EXPECT_EQ(header->LoopFlag | header->LoopCount | header->LoopsRemaining | header->WrapFlag, 0u);
    for (int i = 0; i < 2000; ++i)
        ASSERT_EQ(header->wh.lpData[i], 0);
    EXPECT_EQ(MMWaveHdr(&header->wh), header);
    FreeAndClear(header);
}

} // namespace keb
