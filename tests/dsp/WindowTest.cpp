#include "dsp/MMFFT.h"

#include <cmath>
#include <gtest/gtest.h>
#include <vector>

namespace keb::test
{
namespace
{

TEST(FFTWindow, TableEntriesAtLength256)
{
    std::vector<int32_t> table(256);
    BuildFFTWindowTable(table.data(), fwHamming, 8);
    EXPECT_EQ(table[0], 2621);
    EXPECT_EQ(table[128], 32767);
    EXPECT_EQ(table[64], 17694); // 0.54 * 32767 + 0.5
    BuildFFTWindowTable(table.data(), fwHanning, 8);
    EXPECT_EQ(table[0], 0);
    EXPECT_EQ(table[128], 32767);
    BuildFFTWindowTable(table.data(), fwGaussian, 8);
    EXPECT_EQ(table[0], 221);
    BuildFFTWindowTable(table.data(), fwWelch, 8);
    EXPECT_EQ(table[0], 255);
    BuildFFTWindowTable(table.data(), fwParzen, 8);
    EXPECT_EQ(table[0], 127);
    BuildFFTWindowTable(table.data(), fwRectangular, 8);
    EXPECT_EQ(table[17], 32767);
}

TEST(FFTWindow, ValuesFollowTheFormulas)
{
    EXPECT_EQ(FFTWindowValue(7, 3, 16), 1.0f);
    EXPECT_EQ(FFTWindowValue(-1, 3, 16), 1.0f);
    EXPECT_EQ(FFTWindowValue(fwHanning, 0, 16), 0.0f);
    EXPECT_EQ(FFTWindowValue(fwParzen, 8, 16), 1.0f);
    EXPECT_EQ(FFTWindowValue(fwWelch, 8, 16), 1.0f);
    EXPECT_EQ(FFTWindowValue(fwGaussian, 8, 16), 1.0f);
    EXPECT_NEAR(FFTWindowValue(fwBlackman, 0, 16), 0.0f, 1e-7f);
    EXPECT_FLOAT_EQ(FFTWindowValue(fwBlackman, 4, 16), 0.42f - 0.08f);
    // The cosine windows are periodic in L: n = L gives the value at n = 0.
    for (int window : {fwHamming, fwHanning, fwBlackman})
    {
        EXPECT_FLOAT_EQ(FFTWindowValue(window, 16, 16), FFTWindowValue(window, 0, 16)) << window;
        EXPECT_FLOAT_EQ(FFTWindowValue(window, 5, 16), FFTWindowValue(window, 11, 16)) << window;
    }
    // Welch and Parzen use d = (2n - L)/(L + 1), so they stay above 0 at the ends.
    EXPECT_FLOAT_EQ(FFTWindowValue(fwParzen, 0, 16), 1.0f / 17);
    EXPECT_FLOAT_EQ(FFTWindowValue(fwWelch, 16, 16), 1.0f - (16.0f / 17) * (16.0f / 17));
    EXPECT_FLOAT_EQ(FFTWindowValue(fwGaussian, 0, 16), std::exp(-5.0f));
}

} // namespace
} // namespace keb::test
