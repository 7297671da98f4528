#include "tools/FilterSettings.h"

#include "settings/MemoryFile.h"
#include "tests/tools/FilterTestSupport.h"
#include "tools/FilterErrors.h"

#include <fstream>
#include <gtest/gtest.h>

namespace keb
{
namespace
{

// "o" for an open band, "." for a closed one, band 0 first.
std::string Pattern(const TBandPositions& positions)
{
    std::string pattern;
    for (std::int32_t position : positions)
        pattern += position == BandOpen ? 'o' : position == BandClosed ? '.' : '?';
    return pattern;
}

TEST(FilterSettings, TheShiftTurnsTheWheelWithinItsRange)
{
    // The wheel starts at 4; each preset narrows its range.
    EXPECT_EQ(Pattern(ShiftedPresetPositions(TPreset::pr02, 4)), "....o...............");
    EXPECT_EQ(Pattern(ShiftedPresetPositions(TPreset::pr02, 20)), "....................");
    EXPECT_EQ(Pattern(ShiftedPresetPositions(TPreset::pr02, 99)), "....................");
    EXPECT_EQ(Pattern(ShiftedPresetPositions(TPreset::pr04, 0)), "o...................");
    EXPECT_EQ(Pattern(ShiftedPresetPositions(TPreset::pr04, -3)), "o...................");
    EXPECT_EQ(Pattern(ShiftedPresetPositions(TPreset::pr04, 20)), "..................oo");
    EXPECT_EQ(Pattern(ShiftedPresetPositions(TPreset::pr18, 0)), "ooooooooo...........");
    EXPECT_EQ(Pattern(ShiftedPresetPositions(TPreset::pr18, 11)), "...........ooooooooo");
    EXPECT_EQ(Pattern(ShiftedPresetPositions(TPreset::pr26, 0)), ".oooooooooooo.......");
    EXPECT_EQ(Pattern(ShiftedPresetPositions(TPreset::pr26, 17)), ".oooooooooooo.......");
}

TEST(FilterSettings, AWheelPositionWithoutAWindowKeepsTheOneBefore)
{
    // The 1.8 preset has no window at 12, its wheel's maximum: turning there
    // leaves the sliders of 11, not the flat start.
    EXPECT_EQ(Pattern(ShiftedPresetPositions(TPreset::pr18, 12)), "...........ooooooooo");
    EXPECT_EQ(Pattern(ShiftedPresetPositions(TPreset::pr18, 30)), "...........ooooooooo");
}

TEST(FilterSettings, TheEqualizerGetsTheWindowsBandsAndClampedGains)
{
    TFilterOptions options;
    options.FFTLength = 300;
    options.Window = fwBlackman;
    options.Bypass = true;
    TBandPositions positions{};
    positions[0] = -100;
    positions[1] = 40;
    positions[2] = -7;
    TMMEqualizer equalizer(nullptr);
    ConfigureEqualizer(equalizer, options, positions);

    EXPECT_EQ(equalizer.SampleRate(), 8000);
    EXPECT_EQ(equalizer.Channel(), chLeft);
    EXPECT_EQ(equalizer.FFTLength(), 256);
    EXPECT_EQ(equalizer.Window(), fwBlackman);
    EXPECT_FALSE(equalizer.Enabled());
    ASSERT_EQ(equalizer.Filters()->Count(), 20);
    for (int band = 0; band < 20; ++band)
    {
        const TMMEQFilter* filter = equalizer.Filters()->Items(band);
        EXPECT_EQ(filter->F1(), band * 200.0f);
        EXPECT_EQ(filter->F2(), (band + 1) * 200.0f);
    }
    EXPECT_EQ(equalizer.Filters()->Items(0)->Gain(), -60.0f);
    EXPECT_EQ(equalizer.Filters()->Items(1)->Gain(), 12.0f);
    EXPECT_EQ(equalizer.Filters()->Items(2)->Gain(), -7.0f);
    EXPECT_EQ(equalizer.Filters()->Items(3)->Gain(), 0.0f);
}

class FilterMemoryTest : public test::FilterFolderTest
{
};

TEST_F(FilterMemoryTest, AMemoryFileGivesItsFirstRecord)
{
    TBandPositions saved{};
    for (int band = 0; band < BandCount; ++band)
        saved[band] = band % 2 == 0 ? -band : band - 7; // within -60 .. 12
    PrepareMemoryFile(File("F2.dat"));
    WriteMemoryRecord(File("F2.dat"), saved);
    TFilterOptions options;
    options.Memory = File("F2.dat");
    EXPECT_EQ(RequestedPositions(options), saved);
}

TEST_F(FilterMemoryTest, AMissingOrEmptyMemoryIsAnInputError)
{
    TFilterOptions options;
    options.Memory = File("F1.dat");
    try
    {
        RequestedPositions(options);
        ADD_FAILURE() << "a missing memory file was accepted";
    }
    catch (const EFilterInputError& error)
    {
        EXPECT_NE(std::string(error.what()).find("F1.dat: no such memory file"), std::string::npos);
    }
    std::ofstream(File("F1.dat")) << std::string(40, 'x');
    try
    {
        RequestedPositions(options);
        ADD_FAILURE() << "a memory file of 40 bytes was accepted";
    }
    catch (const EFilterInputError& error)
    {
        EXPECT_NE(std::string(error.what()).find("holds no saved setting"), std::string::npos);
    }
}

} // namespace
} // namespace keb
