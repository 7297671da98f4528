// Frequency map, ticks, line building and palettes of the waterfall.
#include "display/MMSpGramMap.h"
#include "display/MMSpGramPalette.h"

#include <gtest/gtest.h>
#include <vector>

namespace keb
{
namespace
{

TEST(FrequencyMap, ProgramDefaultsCoverEveryBinOnce)
{
    TFrequencyMap map(293);
    BuildFrequencyMap(map, 8000, 256, 0.0f, 1.0f);
    // floor(0.01 + i * 128 / 293) in integers: the 0.01 lifts remainders
    // of 99 % of a bin and more to the next bin.
    auto bin = [](int i) { return i * 128 / 293 + ((i * 128 % 293) * 100 >= 293 * 99 ? 1 : 0); };
    std::vector<int> shown;
    for (int i = 0; i < 293; ++i)
    {
        const bool repeats = i > 0 && bin(i) == bin(i - 1);
        if (repeats)
        {
            EXPECT_EQ(map[i].Start, -1) << "row " << i;
            continue;
        }
        EXPECT_EQ(map[i].Start, bin(i)) << "row " << i;
        EXPECT_EQ(map[i].End, 0) << "one bin per row group";
        shown.push_back(map[i].Start);
    }
    ASSERT_EQ(shown.size(), 128u);
    for (int k = 0; k < 128; ++k)
        EXPECT_EQ(shown[k], k);
}

TEST(FrequencyMap, BaseAndScaleSelectABand)
{
    EXPECT_EQ(ClampFrequencyBase(8000, 3500.0f, 1.0f), 3000.0f);
    EXPECT_EQ(ClampFrequencyBase(8000, -5.0f, 1.0f), 0.0f);
    EXPECT_EQ(ClampFrequencyBase(11025, 1000.0f, 2.0f), 1000.0f);

    // 1000 Hz up to SR / (2 Z) = 2000 Hz: bins 32 .. 63 of N 256.
    TFrequencyMap map(100);
    BuildFrequencyMap(map, 8000, 256, 1000.0f, 2.0f);
    EXPECT_EQ(map[0].Start, 32);
    int top = 0;
    for (const TFrequencyRow& row : map)
        top = std::max(top, row.Start);
    EXPECT_EQ(top, 63);

    // Fewer rows than bins: rows span several bins.
    TFrequencyMap coarse(4);
    BuildFrequencyMap(coarse, 8000, 64, 0.0f, 1.0f);
    EXPECT_EQ(coarse[0].Start, 0);
    EXPECT_EQ(coarse[0].End, 8);
    EXPECT_EQ(coarse[2].Start, 16);
    EXPECT_EQ(coarse[2].End, 24);
}

TEST(FrequencyMap, TicksHalveUntilTenRowsApart)
{
    EXPECT_EQ(SpectrogramTickCount(8000, 1.0f, 293), 4);
    EXPECT_EQ(SpectrogramTickCount(44100, 1.0f, 100), 5); // 22 -> 11 -> 5
    EXPECT_EQ(SpectrogramTickCount(8000, 1.0f, 4), 1);
    EXPECT_EQ(SpectrogramTickRow(0, 4, 293), 292);
    EXPECT_EQ(SpectrogramTickRow(1, 4, 293), 293 - 73 - 1);
    EXPECT_EQ(SpectrogramTickRow(4, 4, 293), 0);
}

// Six rows over the four bins of N 8: starts 0, 0, 1, 2, 2, 3.
TFrequencyMap SixRows()
{
    TFrequencyMap map(6);
    BuildFrequencyMap(map, 8000, 8, 0.0f, 1.0f);
    return map;
}

TEST(LineBuilder, GroupsClampAndTheTopRowJoinsTheGroupBelow)
{
    const TFrequencyMap map = SixRows();
    ASSERT_EQ(map[1].Start, -1);
    ASSERT_EQ(map[4].Start, -1);
    ASSERT_EQ(map[5].Start, 3);
    const std::int32_t values[] = {50, 300, 5, 99};
    std::vector<std::uint8_t> line(6);
    TMMLineBuilder builder;
    builder.Build(values, map, false, line.data());
    // Top row first: rows 5, 4, 3 show bin 2 (clamped to 10), row 2 bin 1
    // (clamped to 245), rows 1 and 0 bin 0.
    EXPECT_EQ(line, (std::vector<std::uint8_t>{10, 10, 10, 245, 50, 50}));
}

TEST(LineBuilder, EmbossedComparesWithThePreviousLineOneGroupLower)
{
    const TFrequencyMap map = SixRows();
    const std::int32_t values[] = {50, 300, 5, 99};
    std::vector<std::uint8_t> line(6);
    TMMLineBuilder builder;
    builder.Build(values, map, true, line.data());
    // m - raw + 118 with an empty memory: 68, -182 -> 10, 113.
    EXPECT_EQ(line, (std::vector<std::uint8_t>{113, 113, 113, 10, 68, 68}));
    builder.Build(values, map, true, line.data());
    // Memory now 10, 50, 300: 10 - 50 + 118, 50 - 300 + 118, 300 - 5 + 118.
    EXPECT_EQ(line, (std::vector<std::uint8_t>{245, 245, 245, 10, 78, 78}));
}

TEST(SpectrogramPalettes, EntriesFollowTheColourFormulas)
{
    const TLogPalette hsv = BuildSpectrogramPalette(spHSV);
    EXPECT_EQ(hsv.palVersion, 0x300);
    EXPECT_EQ(hsv.palNumEntries, 256);
    EXPECT_EQ(hsv.palPalEntry[10], (TPaletteEntry{0, 0, 255, 0}));
    EXPECT_EQ(hsv.palPalEntry[245], (TPaletteEntry{255, 4, 0, 0})); // e 254
    EXPECT_EQ(hsv.palPalEntry[9], TPaletteEntry{});
    EXPECT_EQ(hsv.palPalEntry[246], TPaletteEntry{});

    const TLogPalette threshold = BuildSpectrogramPalette(spThreshold);
    EXPECT_EQ(threshold.palPalEntry[24], TPaletteEntry{}) << "e 15 is black";
    EXPECT_EQ(threshold.palPalEntry[25], (TPaletteEntry{0, 64, 255, 0})) << "e 16";

    // e = ((i - 10) * 256) div 236.
    EXPECT_EQ(BuildSpectrogramPalette(spHot).palPalEntry[99],
              (TPaletteEntry{255, 2, 0, 0})); // e 96
    EXPECT_EQ(BuildSpectrogramPalette(spHot).palPalEntry[50],
              (TPaletteEntry{115, 0, 0, 0})); // e 43
    EXPECT_EQ(BuildSpectrogramPalette(spBone).palPalEntry[245], (TPaletteEntry{244, 254, 254, 0}));
    EXPECT_EQ(BuildSpectrogramPalette(spCopper).palPalEntry[245],
              (TPaletteEntry{255, 198, 127, 0}));
    EXPECT_EQ(BuildSpectrogramPalette(spCopper).palPalEntry[100],
              (TPaletteEntry{119, 75, 48, 0})); // e 97
    EXPECT_EQ(BuildSpectrogramPalette(spCool).palPalEntry[130], (TPaletteEntry{130, 125, 255, 0}));
    EXPECT_EQ(BuildSpectrogramPalette(spBlackWhite).palPalEntry[245],
              (TPaletteEntry{254, 254, 254, 0}));
    EXPECT_EQ(BuildSpectrogramPalette(spWhiteBlack).palPalEntry[10],
              (TPaletteEntry{255, 255, 255, 0}));
}

} // namespace
} // namespace keb
