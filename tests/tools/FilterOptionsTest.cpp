#include "tools/FilterOptions.h"

#include "tools/FilterErrors.h"

#include <gtest/gtest.h>

namespace keb
{
namespace
{

std::string RefusalOf(const std::vector<std::string>& arguments)
{
    try
    {
        ParseFilterOptions(arguments);
    }
    catch (const EFilterUsageError& error)
    {
        return error.what();
    }
    return "accepted";
}

TEST(FilterOptions, ReadsEveryOptionInBothSpellings)
{
    TFilterOptions options = ParseFilterOptions(
        {"--channel=mix", "--preset", "1.8", "--shift=7", "--bypass", "--fft-length", "512",
         "--window=blackman", "--align", "--rate", "44100", "--waterfall-in=in.png",
         "--waterfall-out", "out.png", "--response", "r.png", "--quiet", "in.flac", "out.wav"});
    EXPECT_EQ(options.Action, TFilterOptions::TAction::Filter);
    EXPECT_EQ(options.Input, "in.flac");
    EXPECT_EQ(options.Output, "out.wav");
    EXPECT_EQ(options.Channel, TChannelPick::Mix);
    EXPECT_EQ(options.Preset, TPreset::pr18);
    EXPECT_EQ(options.Shift, 7);
    EXPECT_TRUE(options.Bypass);
    EXPECT_EQ(options.FFTLength, 512);
    EXPECT_EQ(options.Window, fwBlackman);
    EXPECT_TRUE(options.Align);
    EXPECT_EQ(options.Rate, 44100);
    EXPECT_EQ(options.WaterfallIn, "in.png");
    EXPECT_EQ(options.WaterfallOut, "out.png");
    EXPECT_EQ(options.Response, "r.png");
    EXPECT_TRUE(options.Quiet);
    EXPECT_EQ(ParseFilterOptions({"--latency=low", "a.wav", "b.wav"}).Latency, TLatency::Low);
    EXPECT_EQ(ParseFilterOptions({"--latency", "standard", "a.wav", "b.wav"}).Latency,
              TLatency::Standard);
}

TEST(FilterOptions, DefaultsAreTheWindowsStart)
{
    TFilterOptions options = ParseFilterOptions({"a.wav", "b.wav"});
    EXPECT_EQ(options.Channel, TChannelPick::Left);
    EXPECT_FALSE(options.Preset || options.Gains || options.Memory || options.Rate);
    EXPECT_EQ(options.Shift, 4);
    EXPECT_EQ(options.FFTLength, 256);
    EXPECT_EQ(options.Window, fwHamming);
    EXPECT_EQ(options.Latency, TLatency::Standard);
    EXPECT_FALSE(options.Bypass || options.Align || options.Quiet);
}

TEST(FilterOptions, GainsAreTwentyWholeNumbersKeptAsGiven)
{
    TFilterOptions options = ParseFilterOptions(
        {"--gains", "-100,1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16,17,18,99", "a.wav", "b.wav"});
    ASSERT_TRUE(options.Gains);
    EXPECT_EQ((*options.Gains)[0], -100);
    EXPECT_EQ((*options.Gains)[13], 13);
    EXPECT_EQ((*options.Gains)[19], 99);
}

TEST(FilterOptions, DoubleDashEndsTheOptions)
{
    TFilterOptions options = ParseFilterOptions({"--quiet", "--", "-in.wav", "--out.wav"});
    EXPECT_EQ(options.Input, "-in.wav");
    EXPECT_EQ(options.Output, "--out.wav");
}

TEST(FilterOptions, HelpAndVersionNeedNoFiles)
{
    EXPECT_EQ(ParseFilterOptions({"--help"}).Action, TFilterOptions::TAction::Help);
    EXPECT_EQ(ParseFilterOptions({"--version"}).Action, TFilterOptions::TAction::Version);
    EXPECT_NE(FilterUsage().find("--preset 0.2|0.4|1.8|2.6"), std::string::npos);
}

TEST(FilterOptions, RefusesWhatItCannotFollowWithTheCause)
{
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases{
        {{"a.wav"}, "got 1 file name"},
        {{"a.wav", "b.wav", "c.wav"}, "got 3 file names"},
        {{"--loud", "a.wav", "b.wav"}, "unknown option --loud"},
        {{"a.wav", "b.wav", "--preset"}, "--preset wants a value"},
        {{"--preset", "1.0", "a.wav", "b.wav"}, "--preset wants 0.2, 0.4, 1.8 or 2.6"},
        {{"--preset=0.2", "--shift", "x", "a.wav", "b.wav"}, "--shift wants a whole number"},
        {{"--shift", "3", "a.wav", "b.wav"}, "--shift moves a preset"},
        {{"--gains", "1,2,3", "a.wav", "b.wav"}, "--gains wants 20 whole numbers"},
        {{"--gains", "0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0", "a.wav", "b.wav"},
         "--gains wants 20"},
        {{"--gains", "0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,1.5", "a.wav", "b.wav"},
         "whole number, not \"1.5\""},
        {{"--preset", "0.2", "--memory", "F1.dat", "a.wav", "b.wav"}, "give one of them"},
        {{"--channel", "centre", "a.wav", "b.wav"}, "left, right or mix"},
        {{"--window", "kaiser", "a.wav", "b.wav"}, "rectangular, hamming"},
        {{"--latency", "Low", "a.wav", "b.wav"}, "--latency wants standard or low, not \"Low\""},
        {{"--rate", "999", "a.wav", "b.wav"}, "--rate wants 1000 .. 384000 Hz"},
        {{"--bypass=yes", "a.wav", "b.wav"}, "--bypass takes no value"},
        {{"--quiet", "--quiet", "a.wav", "b.wav"}, "--quiet is given twice"},
    };
    for (const auto& [arguments, cause] : cases)
    {
        std::string refusal = RefusalOf(arguments);
        EXPECT_NE(refusal.find(cause), std::string::npos) << refusal << " / wanted: " << cause;
    }
}

} // namespace
} // namespace keb
