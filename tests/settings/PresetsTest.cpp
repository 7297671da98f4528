#include "settings/Presets.h"

#include <gtest/gtest.h>

namespace keb
{
namespace
{

// The open bands of a setting, as a bit mask (bit k = band k at 0 dB); every
// other band must be closed.
unsigned OpenBands(const TBandPositions& positions)
{
    unsigned mask = 0;
    for (int band = 0; band < BandCount; ++band)
    {
        if (positions[band] == BandOpen)
            mask |= 1u << band;
        else
            EXPECT_EQ(positions[band], BandClosed) << "band " << band;
    }
    return mask;
}

unsigned Bands(int first, int last)
{
    unsigned mask = 0;
    for (int band = first; band <= last; ++band)
        mask |= 1u << band;
    return mask;
}

TEST(Presets, NarrowPresetsFollowTheWheel)
{
    EXPECT_EQ(OpenBands(*PresetPositions(TPreset::pr02, 4)), Bands(4, 4));
    EXPECT_EQ(OpenBands(*PresetPositions(TPreset::pr02, 0)), Bands(0, 0));
    EXPECT_EQ(OpenBands(*PresetPositions(TPreset::pr02, 20)), 0u);

    EXPECT_EQ(OpenBands(*PresetPositions(TPreset::pr04, 0)), Bands(0, 0));
    EXPECT_EQ(OpenBands(*PresetPositions(TPreset::pr04, 1)), Bands(0, 1));
    EXPECT_EQ(OpenBands(*PresetPositions(TPreset::pr04, 19)), Bands(18, 19));

    EXPECT_EQ(OpenBands(*PresetPositions(TPreset::pr18, 0)), Bands(0, 8));
    EXPECT_EQ(OpenBands(*PresetPositions(TPreset::pr18, 2)), Bands(2, 10));
    EXPECT_EQ(OpenBands(*PresetPositions(TPreset::pr18, 11)), Bands(11, 19));
}

TEST(Presets, WidePresetIgnoresTheWheel)
{
    for (int v : {0, 4, 12, 20})
        EXPECT_EQ(OpenBands(*PresetPositions(TPreset::pr26, v)), Bands(1, 12)) << v;
    EXPECT_FALSE(PresetWheelMaximum(TPreset::pr26));
}

TEST(Presets, WheelPositionsWithoutAWindowLeaveTheSliders)
{
    EXPECT_FALSE(PresetPositions(TPreset::pr18, 12));
    EXPECT_FALSE(PresetPositions(TPreset::pr18, 20));
    EXPECT_FALSE(PresetPositions(TPreset::pr04, 20));
    EXPECT_FALSE(PresetPositions(TPreset::pr02, -1));
}

TEST(Presets, WheelMaximaAndFlatSetting)
{
    EXPECT_EQ(PresetWheelMaximum(TPreset::pr02), 20);
    EXPECT_EQ(PresetWheelMaximum(TPreset::pr04), 19);
    EXPECT_EQ(PresetWheelMaximum(TPreset::pr18), 12);
    EXPECT_EQ(OpenBands(FlatPositions()), Bands(0, 19));
}

} // namespace
} // namespace keb
