#include "tools/ProgressBar.h"

#include "tests/tools/FilterTestSupport.h"
#include "tools/FilterJob.h"

#include <algorithm>
#include <cstdio>
#include <gtest/gtest.h>
#include <sndfile.h>

namespace keb
{
namespace
{

TEST(FilterProgress, TheLineShowsTheShareDoneWithinItsBounds)
{
    EXPECT_EQ(ProgressLine(0.5, 10), "[#####-----]  50%");
    EXPECT_EQ(ProgressLine(0.999, 10), "[#########-]  99%");
    EXPECT_EQ(ProgressLine(-1, 4), "[----]   0%");
    EXPECT_EQ(ProgressLine(7, 4), "[####] 100%");
}

TEST(FilterProgress, ADisabledBarDrawsNothing)
{
    std::FILE* terminal = std::tmpfile();
    ASSERT_NE(terminal, nullptr);
    {
        TProgressBar quiet(terminal, false);
        quiet.Update(0.5);
        quiet.Update(1.0);
    }
    EXPECT_EQ(std::ftell(terminal), 0);
    std::fclose(terminal);
}

class FilterJobProgressTest : public test::FilterFolderTest
{
};

TEST_F(FilterJobProgressTest, TheJobReportsTheShareReadRisingToTheWhole)
{
    // A recording of two chunks (filtered on lanes) and a short one (on one thread).
    for (const std::size_t frames : {1'300'000, 20'000})
    {
        test::WriteSound(File("in.wav"), {8000, 1, test::Sine(900, 8000, 8000, frames)},
                         SF_FORMAT_WAV | SF_FORMAT_PCM_16);
        TFilterOptions options;
        options.Input = File("in.wav");
        options.Output = File("out.wav");
        std::vector<double> shares;
        TFilterJobHooks hooks;
        hooks.Progress = [&](double share) { shares.push_back(share); };
        RunFilterJob(options, hooks);
        ASSERT_FALSE(shares.empty()) << frames;
        EXPECT_TRUE(std::is_sorted(shares.begin(), shares.end())) << frames;
        EXPECT_GE(shares.front(), 0.0);
        EXPECT_EQ(shares.back(), 1.0);
    }
}

} // namespace
} // namespace keb
