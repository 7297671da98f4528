// The 20 slider positions of the window, one per 200 Hz band: band k covers
// k x 200 to (k + 1) x 200 Hz, its position is its gain in whole decibels.
#pragma once

#include <array>
#include <cstdint>

namespace keb
{

constexpr int BandCount = 20;
constexpr std::int32_t BandOpen = 0;
constexpr std::int32_t BandClosed = -60;
constexpr std::int32_t BandMaximum = 12;

using TBandPositions = std::array<std::int32_t, BandCount>;

} // namespace keb
