// The offline demo that ./dev run shows on a machine without a display, run
// as it runs there: its filter keeps the demo's CW and removes the carrier
// beside it, and the levels it prints say so.
#include "demo/DemoSignal.h"
#include "tests/tools/FilterTestSupport.h"

#include <cmath>
#include <cstdio>
#include <sstream>

namespace keb
{
namespace
{

class OfflineDemoTest : public test::FilterFolderTest
{
};

struct TToneLevels
{
    double Before = NAN;
    double After = NAN;
};

// The levels on the line of the tone at `frequency` ("  700 Hz CW  -9.1  -9.3").
TToneLevels LevelsOf(const std::string& output, int frequency)
{
    std::istringstream lines(output);
    std::string line;
    const std::string start = std::to_string(frequency) + " Hz ";
    while (std::getline(lines, line))
    {
        const auto at = line.find(start);
        if (at == std::string::npos)
            continue;
        TToneLevels levels;
        if (std::sscanf(line.c_str() + at, "%*d Hz %*s %lf %lf", &levels.Before, &levels.After) ==
            2)
            return levels;
    }
    ADD_FAILURE() << "no levels of " << frequency << " Hz in:\n" << output;
    return {};
}

TEST_F(OfflineDemoTest, KeepsTheCwRemovesTheCarrierAndPrintsBothLevels)
{
    const test::TProgramRun run =
        test::RunProgram(KEB_OFFLINE_DEMO, {KEB_BUILD_TREE, folder_.string()});
    ASSERT_EQ(run.ExitCode, 0) << run.Output << run.Errors;
    const TToneLevels cw = LevelsOf(run.Output, int(TDemoSignal::CwFrequencyHz));
    const TToneLevels carrier = LevelsOf(run.Output, int(TDemoSignal::CarrierFrequencyHz));

    // The carrier is steady, so its level before is its design amplitude:
    // the levels are measured right.
    EXPECT_NEAR(carrier.Before, 20.0 * std::log10(TDemoSignal::CarrierAmplitude), 0.5);
    EXPECT_LT(carrier.Before, cw.Before);
    EXPECT_NEAR(cw.After, cw.Before, 3.0) << "the CW is kept";
    EXPECT_LT(carrier.After, carrier.Before - 40.0) << "the carrier is removed";

    const test::TSound filtered = test::ReadSound(File("demo-filtered.wav"));
    EXPECT_EQ(filtered.Samples.size(), test::ReadSound(KEB_DEMO_RECORDING).Samples.size());
    EXPECT_TRUE(std::filesystem::exists(File("demo-input.png")));
    EXPECT_TRUE(std::filesystem::exists(File("demo-output.png")));
}

} // namespace
} // namespace keb
