#include "demo/Morse.h"

#include <algorithm>
#include <gtest/gtest.h>

namespace keb
{
namespace
{

TEST(Morse, ParisIsFiftyUnitsWithTwentyTwoKeyedAndRepeatsAfterAWordGap)
{
    std::vector<bool> paris = MorseKeying("PARIS");
    EXPECT_EQ(paris.size(), 50u);
    EXPECT_EQ(std::count(paris.begin(), paris.end(), true), 22);
    EXPECT_TRUE(std::equal(paris.end() - 7, paris.end(), std::vector<bool>(7, false).begin()));
    EXPECT_EQ(MorseKeying("paris"), paris);
}

TEST(Morse, ElementsAndGaps)
{
    // "E T": dit, letter gap, word gap, dah, letter gap, word gap.
    std::vector<bool> expected = {true, false, false, false, false, false, false, false, true,
                                  true, true,  false, false, false, false, false, false, false};
    EXPECT_EQ(MorseKeying("E T"), expected);
    std::vector<bool> zero = MorseKeying("0");
    EXPECT_EQ(std::count(zero.begin(), zero.end(), true), 15) << "five dahs";
    EXPECT_EQ(MorseKeying("E?T"), MorseKeying("ET")) << "unknown characters are skipped";
}

} // namespace
} // namespace keb
