#include "tools/ProgressBar.h"

#include <cstdio>
#include <gtest/gtest.h>

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

} // namespace
} // namespace keb
