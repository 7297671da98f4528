// keb's command line: what each option sets, and one clear line for
// everything it cannot follow.
#include "app/CommandLine.h"

#include <gtest/gtest.h>
#include <vector>

namespace keb::test
{
namespace
{

TCommandLine Parse(std::vector<const char*> arguments)
{
    arguments.insert(arguments.begin(), "keb");
    return ParseCommandLine(static_cast<int>(arguments.size()), arguments.data());
}

std::string Refusal(std::vector<const char*> arguments)
{
    try
    {
        Parse(std::move(arguments));
    }
    catch (const EUsageError& error)
    {
        return error.what();
    }
    return "accepted";
}

TEST(CommandLineTest, WindowOptionsTakeTheirValuesSeparateOrAfterEquals)
{
    const TCommandLine line = Parse({"--demo", "--input", "USB Audio", "--output=2", "--latency",
                                     "low", "--preset=1.8", "--shift", "2", "--on",
                                     "--quit-after", "10.5"});
    EXPECT_EQ(line.Action, TCommandLine::TAction::Window);
    EXPECT_TRUE(line.Demo);
    EXPECT_EQ(line.Input, "USB Audio");
    EXPECT_EQ(line.Output, "2");
    EXPECT_EQ(line.Latency, TLatency::Low);
    EXPECT_EQ(line.Preset, TPreset::pr18);
    EXPECT_EQ(line.Shift, 2);
    EXPECT_TRUE(line.On);
    EXPECT_EQ(line.QuitAfter, 10.5);

    const TCommandLine plain = Parse({});
    EXPECT_FALSE(plain.Demo || plain.On || plain.Input || plain.Output || plain.Latency ||
                 plain.Preset || plain.Shift || plain.QuitAfter);
    // A device name may itself hold '='.
    EXPECT_EQ(Parse({"--input", "hw:CARD=Device"}).Input, "hw:CARD=Device");
}

TEST(CommandLineTest, ActionsStandAloneOrWithDemo)
{
    EXPECT_EQ(Parse({"--list-devices"}).Action, TCommandLine::TAction::ListDevices);
    EXPECT_EQ(Parse({"--demo", "--list-devices"}).Action, TCommandLine::TAction::ListDevices);
    EXPECT_EQ(Parse({"--version"}).Action, TCommandLine::TAction::Version);
    EXPECT_EQ(Parse({"--help"}).Action, TCommandLine::TAction::Help);
    EXPECT_EQ(Parse({"-h"}).Action, TCommandLine::TAction::Help);
    EXPECT_EQ(Parse({"-V"}).Action, TCommandLine::TAction::Version);
    EXPECT_EQ(Parse({"--quit-after", "2147484"}).QuitAfter, 2147484);
    EXPECT_EQ(Parse({"--quit-after", "31536000"}).QuitAfter, 31536000);
    EXPECT_EQ(Parse({"--recording-devices"}).Action, TCommandLine::TAction::RecordingDevices);
}

TEST(CommandLineTest, WhatCannotBeFollowedIsRefusedWithItsCause)
{
    EXPECT_EQ(Refusal({"--bogus"}), "unknown option \"--bogus\"");
    EXPECT_EQ(Refusal({"demo"}), "unknown option \"demo\"");
    EXPECT_EQ(Refusal({"--input"}), "--input wants a value");
    EXPECT_EQ(Refusal({"--on=yes"}), "--on takes no value");
    EXPECT_EQ(Refusal({"--latency", "fast"}), "--latency wants standard or low, not \"fast\"");
    EXPECT_EQ(Refusal({"--preset", "1.9"}), "--preset wants 0.2, 0.4, 1.8 or 2.6, not \"1.9\"");
    EXPECT_EQ(Refusal({"--shift", "2x"}), "--shift wants a whole number, not \"2x\"");
    // Qt's timers would quit at once, after the wrong time or never beyond
    // 2^31 ms; a year is the bound, kept in steps of a day.
    for (const char* seconds : {"0", "nan", "-1", "1e17", "1e10", "31536000.5"})
        EXPECT_EQ(Refusal({"--quit-after", seconds}),
                  std::string("--quit-after wants a number of seconds above 0 and at most a year "
                              "(31536000), not \"") +
                      seconds + "\"");
    EXPECT_EQ(Refusal({"--version", "--list-devices"}),
              "only one of --list-devices, --version, --recording-devices and --help");
    EXPECT_EQ(Refusal({"--list-devices", "--on"}),
              "--list-devices, --version, --recording-devices and --help start no window");
}

TEST(CommandLineTest, LatencyNamesGoBothWays)
{
    for (TLatency latency : {TLatency::Standard, TLatency::Low})
        EXPECT_EQ(LatencyNamed(LatencyName(latency)), latency);
    EXPECT_FALSE(LatencyNamed("Low"));
}

} // namespace
} // namespace keb::test
