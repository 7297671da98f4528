#include "platform/core/Exceptions.h"
#include "stream/MMUtils.h"
#include "stream/MMWaveFormat.h"

#include <cstring>
#include <gtest/gtest.h>
#include <vector>

namespace keb
{
namespace
{
TWaveFormatEx Built(int bits, int channels, std::uint32_t rate)
{
    TWaveFormatEx format{};
    BuildPCMFormat(format, bits, channels, rate);
    return format;
}
} // namespace

TEST(WaveFormat, BuildPCMFormatDerivesAlignmentAndRate)
{
    const TWaveFormatEx mono = Built(16, 1, 8000);
    EXPECT_EQ(mono.wFormatTag, 1);
    EXPECT_EQ(mono.nBlockAlign, 2);
    EXPECT_EQ(mono.nAvgBytesPerSec, 16000u);
    EXPECT_EQ(mono.cbSize, 0);
    const TWaveFormatEx stereo = Built(BitsPerSample(b8Bit), ChannelCount(mStereo), 11025);
    EXPECT_EQ(stereo.nBlockAlign, 2);
    EXPECT_EQ(stereo.nAvgBytesPerSec, 22050u);
    EXPECT_EQ(stereo.wBitsPerSample, 8);
    EXPECT_EQ(stereo.nChannels, 2);
}

TEST(WaveFormat, TheRecordIsEighteenLittleEndianBytes)
{
    const TWaveFormatEx format = Built(16, 2, 44100);
    unsigned char bytes[18];
    std::memcpy(bytes, &format, sizeof bytes);
    const std::vector<unsigned char> expected{1,    0,    2, 0, 0x44, 0xAC, 0, 0, 0x10,
                                              0xB1, 0x02, 0, 4, 0,    16,   0, 0, 0};
    EXPECT_EQ(std::vector<unsigned char>(bytes, bytes + 18), expected);
}

TEST(WaveFormat, IsValidPCMFormatAcceptsOnlyWhatTheComponentsCanHandle)
{
    const TWaveFormatEx valid[] = {Built(16, 1, 4000), Built(8, 2, 100000), Built(16, 2, 8000)};
    for (const TWaveFormatEx& format : valid)
        EXPECT_TRUE(IsValidPCMFormat(&format)) << format.nSamplesPerSec;

    TWaveFormatEx otherTag = Built(16, 1, 8000);
    otherTag.wFormatTag = 2;
    const TWaveFormatEx invalid[] = {Built(16, 1, 3999),
                                     Built(16, 1, 100001),
                                     Built(24, 1, 8000),
                                     Built(16, 3, 8000),
                                     Built(16, ChannelCount(mQuadro), 8000),
                                     otherTag};
    for (const TWaveFormatEx& format : invalid)
        EXPECT_FALSE(IsValidPCMFormat(&format));
    EXPECT_FALSE(IsValidPCMFormat(nullptr));
}

TEST(WaveFormat, ANonPCMFormatIsCopiedWithItsExtraBytes)
{
    std::vector<unsigned char> block(50);
    auto* compressed = reinterpret_cast<TWaveFormatEx*>(block.data());
    *compressed = Built(16, 1, 8000);
    compressed->wFormatTag = 2;
    compressed->cbSize = 32;
    for (int i = 18; i < 50; ++i)
        block[i] = static_cast<unsigned char>(i);
    EXPECT_EQ(WaveFormatSize(compressed), 50u);
    EXPECT_EQ(WaveFormatSize(nullptr), 0u);

    TWaveFormatEx* copy = CopyWaveFormat(compressed);
    ASSERT_NE(copy, nullptr);
    EXPECT_NE(copy, compressed);
    EXPECT_EQ(std::memcmp(copy, block.data(), 50), 0);
    FreeAndClear(copy);
    EXPECT_EQ(CopyWaveFormat(nullptr), nullptr);

    // A PCM format copies 18 bytes whatever its extra size says.
    TWaveFormatEx pcm = Built(16, 1, 8000);
    pcm.cbSize = 1000;
    EXPECT_EQ(WaveFormatSize(&pcm), 18u);
    TWaveFormatPtr owned(CopyWaveFormat(&pcm));
    EXPECT_EQ(owned->cbSize, 1000);
}

TEST(WaveFormat, ConversionsShareOneRoundingAndRoundBytesUpToFrames)
{
    const TWaveFormatEx program = Built(16, 1, 8000);
    EXPECT_EQ(BytesToSamples(program, 2000), 1000);
    EXPECT_EQ(BytesToMilliseconds(program, 2000), 125);
    EXPECT_EQ(SamplesToBytes(program, 1001), 2002);
    EXPECT_EQ(MillisecondsToBytes(program, 1), 16);
    EXPECT_EQ(SamplesToBytes(program, 3), 6);
    EXPECT_EQ(SamplesToBytes(program, 0), 0);
    EXPECT_EQ(BytesToSamples(program, 3), 2);

    const TWaveFormatEx stereo = Built(16, 2, 8000);
    EXPECT_EQ(SamplesToBytes(stereo, 1), 4);
    // 1 ms of 4500 Hz 16-bit stereo is 18 bytes, raised to whole 4-byte frames.
    EXPECT_EQ(MillisecondsToBytes(Built(16, 2, 4500), 1), 20);
    EXPECT_EQ(MillisecondsToBytes(Built(16, 2, 4500), 0), 0);
    EXPECT_EQ(MillisecondsToBytes(Built(8, 1, 11025), 1), 11);

    TWaveFormatEx empty{};
    EXPECT_THROW(BytesToSamples(empty, 10), EDivByZero);
}

} // namespace keb
