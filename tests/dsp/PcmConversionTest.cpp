// The block conversions between 16-bit samples and floats or 32-bit values:
// rounding to the nearest with halves to even, clipping, NaN, and blocks of
// every length, so that the vector part and the tail after it both count.
#include "dsp/PcmConversion.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <gtest/gtest.h>
#include <limits>
#include <vector>

namespace keb
{
namespace
{

// What the sample paths did one value at a time before they went on blocks.
std::int16_t NearestClipped(float value)
{
    return static_cast<std::int16_t>(std::clamp(std::nearbyint(value), -32768.0f, 32767.0f));
}

const std::vector<float>& Awkward()
{
    static const std::vector<float> values = [&]
    {
        std::vector<float> v{0.5f,
                             1.5f,
                             2.5f,
                             -0.5f,
                             -1.5f,
                             -2.5f,
                             0.49999997f,
                             32766.5f,
                             32767.49f,
                             32767.5f,
                             32768.0f,
                             -32767.5f,
                             -32768.5f,
                             -32769.0f,
                             1e10f,
                             -1e10f,
                             1e-40f,
                             -0.0f,
                             std::numeric_limits<float>::infinity(),
                             -std::numeric_limits<float>::infinity(),
                             4194304.5f,
                             12345.678f};
        for (int i = -300; i <= 300; ++i)
            v.push_back(static_cast<float>(i) * 0.25f + 0.125f * static_cast<float>(i % 3));
        return v;
    }();
    return values;
}

TEST(PcmConversionTest, FloatsRoundToTheNearestEvenAndClipAtEveryBlockLength)
{
    for (const float scale : {1.0f, 32768.0f})
        for (std::size_t length = 0; length <= Awkward().size(); length += length < 20 ? 1 : 97)
        {
            std::vector<float> values(Awkward().begin(), Awkward().begin() + length);
            for (float& value : values)
                value /= scale;
            std::vector<std::int16_t> samples(length + 1, 777);
            RoundToPcm16(values.data(), length, scale, samples.data());
            for (std::size_t i = 0; i < length; ++i)
            {
                ASSERT_EQ(samples[i], NearestClipped(values[i] * scale))
                    << values[i] << " x " << scale << " in a block of " << length;
                ASSERT_EQ(RoundToPcm16(values[i] * scale), samples[i]) << values[i];
            }
            EXPECT_EQ(samples[length], 777) << "written past the block of " << length;
        }
}

TEST(PcmConversionTest, NanBecomesTheLowestSampleInBlocksAndAlone)
{
    const float nan = std::numeric_limits<float>::quiet_NaN();
    std::vector<float> values(11, nan);
    std::vector<std::int16_t> samples(values.size());
    RoundToPcm16(values.data(), values.size(), 32768.0f, samples.data());
    EXPECT_EQ(samples, std::vector<std::int16_t>(values.size(), -32768));
    EXPECT_EQ(RoundToPcm16(nan), -32768);
}

TEST(PcmConversionTest, EverySampleWidensExactlyAndComesBack)
{
    std::vector<std::int16_t> samples;
    for (int value = -32768; value <= 32767; ++value)
        samples.push_back(static_cast<std::int16_t>(value));
    // An odd start and length: the blocks do not line up with the vectors.
    const std::size_t start = 3;
    const std::size_t count = samples.size() - 8;
    std::vector<float> floats(count);
    Pcm16ToFloat(samples.data() + start, count, 1.0f / 32768.0f, floats.data());
    std::vector<std::int16_t> back(count);
    RoundToPcm16(floats.data(), count, 32768.0f, back.data());
    for (std::size_t i = 0; i < count; ++i)
    {
        ASSERT_EQ(floats[i], static_cast<float>(samples[start + i]) / 32768.0f);
        ASSERT_EQ(back[i], samples[start + i]);
    }
}

} // namespace
} // namespace keb
