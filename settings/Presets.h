// The band-pass presets of the window. Every preset works only by setting
// the 20 slider positions: open bands at 0 dB, all others at -60 dB.
//
//   0.2 kHz: band v (none at v = 20);            the wheel's maximum is 20
//   0.4 kHz: band 0 at v = 0, else bands v-1, v; the wheel's maximum is 19
//   1.8 kHz: bands v .. v+8 for v = 0 .. 11;     the wheel's maximum is 12
//   2.6 kHz: bands 1 .. 12, whatever the wheel shows
//
// v is the shift wheel's value. Where a preset has no window for v (1.8 at
// 12 and above, 0.4 at 20 and above, a value below 0) it leaves the sliders
// as they are.
#pragma once

#include "settings/BandPositions.h"

#include <optional>
#include <string_view>

namespace keb
{

enum class TPreset
{
    pr02,
    pr04,
    pr18,
    pr26
};

// The preset a button's caption names ("0.2", "0.4", "1.8", "2.6"), or none.
std::optional<TPreset> PresetNamed(std::string_view name);

// The positions the preset sets for wheel value v, or none.
std::optional<TBandPositions> PresetPositions(TPreset preset, int v);

// The wheel's MaxValue while the preset is selected; none when the preset
// does not follow the wheel.
std::optional<int> PresetWheelMaximum(TPreset preset);

// The flat setting of "Def".
TBandPositions FlatPositions();

} // namespace keb
